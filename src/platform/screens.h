#pragma once

#include <QList>
#include <QObject>
#include <QPointF>
#include <QRectF>

#include <optional>

namespace qv {

// One display, in screen coordinates (bottom-left origin, y up). The visible frame leaves out the
// menu bar and the Dock (or the panels of the desktop).
struct ScreenInfo
{
    QRectF frame;
    QRectF visibleFrame;
    bool operator==(const ScreenInfo &) const = default;
};

// Displays and the pointer. Main thread only.
class ScreenService : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // In the system's screen order; the main screen (the one whose frame has its origin at 0,0) first
    // when there is one. Empty when no display is attached.
    virtual QList<ScreenInfo> screens() const = 0;
    // The screen with the menu bar; none without displays.
    virtual std::optional<ScreenInfo> mainScreen() const = 0;
    // Pointer location in screen coordinates.
    virtual QPointF mouseLocation() const = 0;
    // While on, pointerMoved() follows the pointer's motion (several per move, or coalesced), so
    // that a reader need not ask for the pointer while it rests. Off at first. Once it has returned
    // true for on, every later move is reported, so a reader that asks for the pointer after that
    // misses none. False when this desktop cannot tell: a reader must then ask for the pointer
    // itself.
    virtual bool setMotionWatch(bool on) = 0;

    // The line the two coordinate systems flip about, for every flip of the program: the main
    // screen's bottom edge in window (top-left) coordinates, its top plus its height; 0 without a
    // main screen. This default serves desktops whose main screen starts at the top-left origin; a
    // desktop whose main screen can sit lower (beside a taller one) says where its bottom edge is.
    virtual double flipHeight() const
    {
        const auto main = mainScreen();
        return main ? main->frame.height() + main->frame.y() : 0.0;
    }

signals:
    // Displays were added, removed, moved or resized.
    void screensChanged();
    // The pointer moved while the motion watch is on; mouseLocation() says where to.
    void pointerMoved();
};

} // namespace qv
