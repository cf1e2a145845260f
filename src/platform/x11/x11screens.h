#pragma once

#include "platform/screens.h"

class QScreen;

namespace qv {

class X11Connection;

// Displays and pointer as Qt sees them, turned into bottom-left coordinates with the main (primary)
// screen's height. Pointer motion comes from XInput 2 raw motion on `connection`; without one, or
// without XInput 2, the motion watch is refused. Raw motion is what a pointing device does: a
// pointer warped by a program is noticed at the next real motion. Main thread only; needs a QGuiApplication.
class X11Screens final : public ScreenService
{
    Q_OBJECT
public:
    explicit X11Screens(X11Connection *connection = nullptr, QObject *parent = nullptr);

    QList<ScreenInfo> screens() const override;
    std::optional<ScreenInfo> mainScreen() const override;
    QPointF mouseLocation() const override;
    bool setMotionWatch(bool on) override;

private:
    void watch(QScreen *screen);

    X11Connection *m_connection = nullptr;
};

} // namespace qv
