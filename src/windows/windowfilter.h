#pragma once

#include <QRectF>
#include <QString>

namespace qv {

class ScreenService;

// Text without leading and trailing white space and newlines.
QString trimmedText(const QString &text);
// Equal ignoring case, or either contains the other ignoring case. An empty text matches nothing:
// it is never contained and contains nothing.
bool namesMatch(const QString &a, const QString &b);
// namesMatch of the two texts trimmed.
bool titlesMatch(const QString &a, const QString &b);

// True when a listed window is desktop furniture or an auxiliary surface (menu bar, tooltips,
// overlays, system services, the desktop itself, very thin strips...) rather than a document
// window. `frame` is the window's frame in top-left coordinates; only its size is compared, with
// the main screen's size.
bool shouldExcludeWindow(const QString &title, const QString &appName, const QString &bundleIdentifier,
                         const QRectF &frame, const ScreenService *screens);

// Screen tests of window frames. `windowRect` is in top-left coordinates (as the window list and
// accessibility report it); it is flipped with the main screen's height before it meets screen
// frames, so a window on a screen above or below the main one is seen where it is.
// True when the rectangle meets any screen.
bool isRectOnAnyScreen(const QRectF &windowRect, const ScreenService *screens);
// True when the rectangle meets no screen, or when it is at most 320x260 and lies left of the main
// screen's left edge plus 8 (parked there by a hidden or minimised state).
bool isWindowOffscreen(const QRectF &windowRect, const ScreenService *screens);

} // namespace qv
