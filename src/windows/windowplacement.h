#pragma once

#include <QPointF>
#include <QRectF>

#include <optional>

#include "platform/accessibility.h"
#include "platform/screens.h"
#include "windows/snapposition.h"

namespace qv {

// Where windows go: the screen an action lands on, snap frames, drag zones and bringing a lost
// window back. Screen frames, the pointer and snap frames are bottom-left based; window rectangles
// (the window list's and accessibility's) are top-left based and are flipped with
// ScreenService::flipHeight before they meet a screen frame. Main thread.

// Whether the point lies in the rectangle; its left and bottom edges belong to it, its right and
// top edges to the neighbour, so a point on the line between two screens is on exactly one.
bool rectContainsPoint(const QRectF &rect, const QPointF &point);

// The screen an action lands on: the first screen containing `point` (when one is given), else the
// first screen meeting `windowRect` (top-left; when one is given), else the main screen, else the
// first screen. None without screens.
std::optional<ScreenInfo> pickScreen(const ScreenService &screens, std::optional<QPointF> point,
                                     std::optional<QRectF> windowRect);

// The frame a window snapped to `position` takes on a screen with this visible frame (bottom-left).
// `center` is 80 % of each side, at most 1200x800.
QRectF snapTargetFrame(const QRectF &visibleFrame, SnapPosition position);

// The snap zone under the pointer on a screen frame: the top 15 % maximises (corners included),
// else the left or right 15 % snaps to that half. Points on a 15 % line are in no zone.
std::optional<SnapPosition> dragZone(const QRectF &screenFrame, const QPointF &point);

// Whether the window's accessibility frame meets the visible frame of any screen.
bool isAXWindowOnScreen(AXElement &window, const ScreenService &screens);

// Brings a lost window onto the screen under the pointer (else the one meeting `fallbackRect`,
// top-left): at least 520x360 but at most 95 % of the visible frame, centred on it. `fallbackRect`
// also stands in for an unreadable accessibility frame. True when the size or the position was set.
bool moveWindowToMouseScreen(AXElement &window, const QRectF &fallbackRect, const ScreenService &screens);

} // namespace qv
