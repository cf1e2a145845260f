#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <optional>

#include "platform/accessibility.h"

namespace qv {

class WindowBoundsService;
struct AppWindowModel;

// Finding the accessibility window of a listed window, and the small accessibility steps every
// window action shares. Main thread. Nothing here reports an error: an unreadable attribute is an
// absent value and a failed call is ignored unless a result says otherwise. All rectangles are in
// top-left coordinates, as accessibility and the window list report them.

// Lowest score at which a scored element counts as the listed window.
inline constexpr int axMatchThreshold = 80;

// "AXPosition" and "AXSize" of the element; none unless both read as a point and a size.
std::optional<QRectF> axFrame(AXElement &window);

// How well the window server's frame of window `windowNumber` agrees with `rect`: up to 160 for
// overlap plus up to 120 for nearby centres; 0 when rect is empty or the frame is unknown.
int geometryScore(WindowBoundsService &bounds, qint64 windowNumber, const QRectF &rect);

// The accessibility window of the listed window among the application's "AXWindows": the one that
// reports the window's number; else, for a minimised window, the application's only minimised
// window; else the best-scored one (title, minimised state and geometry) scoring at least
// axMatchThreshold, the earliest on a tie; else the application's only window. Null when none.
AXElementPtr findAXWindow(AXElement &application, const AppWindowModel &window, WindowBoundsService &bounds);

// The application's "AXFocusedWindow", else its "AXMainWindow", else its first window; null when
// it has none. May be another window than the one the user meant.
AXElementPtr preferredAXWindow(AXElement &application);

// Button attributes of a window.
inline const QString axCloseButton = QStringLiteral("AXCloseButton");
inline const QString axMinimizeButton = QStringLiteral("AXMinimizeButton");
inline const QString axZoomButton = QStringLiteral("AXZoomButton");

// Performs "AXPress" on the window's button; true only when the button exists and the press was
// accepted.
bool pressAXButton(AXElement &window, const QString &buttonAttribute);
// Restores the window when "AXMinimized" reads true.
void unminimizeIfNeeded(AXElement &window);
// Makes the application frontmost with the window as its main and focused one, then raises it.
void raiseAXWindow(AXElement &application, const AXElementPtr &window);
// Sets "AXPosition", "AXSize" and "AXPosition" again (an application may clamp a move made before
// a resize, so the position is repeated). True when the window took the size and one of the
// moves.
bool placeAXWindow(AXElement &window, const QPointF &position, const QSizeF &size);

} // namespace qv
