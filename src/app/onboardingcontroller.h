#pragma once

#include <QObject>
#include <QPointer>

#include <functional>

#include "app/shellparts.h"
#include "ui/animation.h"
#include "views/onboarding/onboardingview.h"

namespace qv {

class PermissionProbe;
class Scheduler;
class SettingsStore;

// Opens the first-run window when a permission is missing at start-up and closes it when the user
// finishes: a 600 x 450 window without a title bar, centred, fading in over 0.3 s and out over
// 0.35 s. Nothing records that it was completed. A window manager's close drops the window at once,
// like the end of the fade-out. Main thread.
class OnboardingController : public QObject, public OnboardingPresenter
{
    Q_OBJECT
public:
    // `relaunch` restarts the program (offered on the screen-capture slide). Probe, settings and
    // scheduler outlive the controller.
    OnboardingController(PermissionProbe &probe, SettingsStore &settings, Scheduler &scheduler,
                         std::function<void()> relaunch, QObject *parent = nullptr);
    ~OnboardingController() override;

    // Opens the window; does nothing at all while one exists (it is not brought forward either).
    void showOnboarding() override;
    bool isOpen() const override { return !m_window.isNull(); }
    // Fades the window out, then closes and drops it. Runs when the final slide is done.
    void closeOnboarding();

    OnboardingView *window() const { return m_window.data(); }
    // The window's alpha as the fades set it.
    double windowAlpha() const { return m_alpha; }

private:
    void setAlpha(double alpha);

    PermissionProbe &m_probe;
    SettingsStore &m_settings;
    Scheduler &m_scheduler;
    std::function<void()> m_relaunch;
    QPointer<OnboardingView> m_window;
    double m_alpha = 0;
    Animation m_fade;
};

} // namespace qv
