#pragma once

#include <QRectF>

namespace qv {

// Two coordinate systems meet here. Window frames, accessibility positions and global event
// locations are top-left based with y growing downwards; screen frames and the pointer location are
// bottom-left based with y growing upwards. Both share x. One flip converts either way, always with
// the main screen's height, so a screen above or below the main one keeps its place.
inline QRectF flipRect(const QRectF &rect, double mainScreenHeight)
{
    return QRectF(rect.x(), mainScreenHeight - (rect.y() + rect.height()), rect.width(), rect.height());
}

inline QPointF flipPoint(const QPointF &point, double mainScreenHeight)
{
    return QPointF(point.x(), mainScreenHeight - point.y());
}

} // namespace qv
