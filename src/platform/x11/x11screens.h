#pragma once

#include "platform/screens.h"

class QScreen;

namespace qv {

// Displays and pointer as Qt sees them, turned into bottom-left coordinates with the main (primary)
// screen's height. Main thread only; needs a QGuiApplication.
class X11Screens final : public ScreenService
{
    Q_OBJECT
public:
    explicit X11Screens(QObject *parent = nullptr);

    QList<ScreenInfo> screens() const override;
    std::optional<ScreenInfo> mainScreen() const override;
    QPointF mouseLocation() const override;

private:
    void watch(QScreen *screen);
};

} // namespace qv
