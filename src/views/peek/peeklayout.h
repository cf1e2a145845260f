#pragma once

#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSizeF>

#include <optional>

#include "platform/screens.h"
#include "windows/snapposition.h"

namespace qv {

// Geometry of the peek overlay, in the overlay's own coordinates (top-left origin, y down; the
// overlay covers the screen under the pointer).
namespace PeekLayout {

struct ZoneTile
{
    SnapPosition zone;
    const char *symbol;
    QRectF rect;
};

// The three drop-zone tiles (left half, right half, maximise) for an overlay of `size`, in drawing
// order.
QList<ZoneTile> zoneTiles(const QSizeF &size);

// Where the peeked window's card goes. A minimised window is centred, at most 70 % of the overlay
// each way (stretched to that box); any other covers the window's real frame (`windowRect`, global
// top-left coordinates, which meet screen coordinates on the flip line `flipHeight`) on the screen
// under the pointer.
QRectF peekCardRect(const QRectF &windowRect, bool minimized, const QSizeF &size,
                    const QList<ScreenInfo> &screens, const std::optional<ScreenInfo> &mainScreen,
                    const QPointF &mouse, double flipHeight);

} // namespace PeekLayout
} // namespace qv
