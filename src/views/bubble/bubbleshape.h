#pragma once

#include <QPainterPath>
#include <QRectF>

#include "views/bubble/bubbleedge.h"

namespace qv {

// The bubble's outline: a rounded body and an arrow on one side aiming at the Dock tile.
struct BubbleShape
{
    static constexpr double arrowDepth = 12.0;
    static constexpr double arrowHalfWidth = 10.0;
    static constexpr double cornerRadius = 16.0;

    // Fraction along the arrow edge (0 = left or top end); held to 0.1 ... 0.9 when drawn.
    double arrowPosition = 0.5;
    BubbleEdge edge = BubbleEdge::bottom;

    // The rectangle left for the body.
    QRectF bodyRect(const QRectF &rect) const;
    // The tip of the arrow.
    QPointF arrowTip(const QRectF &rect) const;
    // The body as a closed rounded rectangle plus the arrow as an open two-line subpath. The arrow is
    // measured from the coordinate origin (the views hand a rectangle at the origin).
    QPainterPath path(const QRectF &rect) const;
    // Body and arrow as one closed area, for filling and for cutting the window to its shape.
    QPainterPath filledPath(const QRectF &rect) const;

    static double clampedPosition(double position);
};

} // namespace qv
