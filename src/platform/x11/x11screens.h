#pragma once

#include "platform/screens.h"

class QScreen;

namespace qv {

class X11Connection;

// Displays and pointer as Qt sees them, turned into bottom-left coordinates about one line: the
// main (primary) screen's bottom edge on the root window, which is not its height when a taller
// screen beside it puts its top below the root's top. Pointer motion comes from XInput 2 raw motion
// on `connection`; without one, or without XInput 2, the motion watch is refused. Raw motion is
// what a pointing device does: a pointer warped by a program is noticed at its next real motion.
// Main thread only; needs a QGuiApplication.
class X11Screens final : public ScreenService
{
    Q_OBJECT
public:
    // One screen as the root window has it (top-left coordinates).
    struct RootScreen
    {
        QRect geometry;
        QRect available;
    };
    struct Layout
    {
        // The primary screen first.
        QList<ScreenInfo> screens;
        double flipLine = 0;
    };
    // The screens in screen coordinates with the flip line; `primary` indexes `screens` (none:
    // out of range, then the list is empty and the line 0).
    static Layout layout(const QList<RootScreen> &screens, qsizetype primary);

    explicit X11Screens(X11Connection *connection = nullptr, QObject *parent = nullptr);

    QList<ScreenInfo> screens() const override;
    std::optional<ScreenInfo> mainScreen() const override;
    QPointF mouseLocation() const override;
    bool setMotionWatch(bool on) override;
    double flipHeight() const override;

private:
    void watch(QScreen *screen);

    X11Connection *m_connection = nullptr;
};

} // namespace qv
