#pragma once

#include <QPixmap>
#include <QWidget>

#include <array>
#include <functional>

#include "ui/animation.h"

class QGraphicsOpacityEffect;
class QLabel;
class QStackedWidget;

namespace qv {

class FinalSlide;
class PageDots;
class PermissionMonitor;
class PermissionProbe;
class PermissionSlide;
class Scheduler;
class SettingsStore;
class WelcomeSlide;

// The content of the first-run window, 600 x 450: the glass backdrop with two coloured glows, five
// slides (welcome, screen capture, accessibility, input monitoring, all set) and the page dots. It
// owns the permission monitor that tells the slides what is granted, and moves on by itself when
// the permission of the slide shown is granted. Every text follows "appLanguage" live.
//
// Where the desktop has settings pages for the permissions, each permission slide opens its page;
// where it has none (X11), the slides say what the desktop needs instead and offer no page.
// Main thread.
class OnboardingView : public QWidget
{
    Q_OBJECT
public:
    static constexpr int slideCount = 5;
    static constexpr const char *screenRecordingAddress =
        "x-apple.systempreferences:com.apple.preference.security?Privacy_ScreenCapture";
    static constexpr const char *accessibilityAddress =
        "x-apple.systempreferences:com.apple.preference.security?Privacy_Accessibility";
    static constexpr const char *inputMonitoringAddress =
        "x-apple.systempreferences:com.apple.preference.security?Privacy_ListenEvent";

    // `relaunch` restarts the program (the screen-capture slide offers it); `onComplete` runs once,
    // 0.38 s after the final slide's button was pressed. Probe, settings and scheduler outlive the
    // view.
    OnboardingView(PermissionProbe &probe, SettingsStore &settings, Scheduler &scheduler,
                   std::function<void()> relaunch, std::function<void()> onComplete,
                   QWidget *parent = nullptr);
    ~OnboardingView() override;

    int currentTab() const { return m_currentTab; }
    // Shows slide `index` (0..4); the page dots follow with a spring.
    void setCurrentTab(int index);
    void finishOnboarding();

    PermissionMonitor &monitor() { return *m_monitor; }
    WelcomeSlide *welcomeSlide() const { return m_welcome; }
    PermissionSlide *permissionSlide(int index) const { return m_permissions.at(size_t(index - 1)); }
    FinalSlide *finalSlide() const { return m_final; }
    PageDots *pageDots() const { return m_dots; }
    double dismissScale() const { return m_dismissScale; }
    double dismissOpacity() const { return m_dismissOpacity; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    void applyTexts();
    void advanceOnGrant(int slide, bool granted);
    void openScreenRecordingSettings();
    void requestScreenRecording();

    PermissionProbe &m_probe;
    SettingsStore &m_settings;
    Scheduler &m_scheduler;
    std::function<void()> m_onComplete;
    PermissionMonitor *m_monitor; // child
    QWidget *m_content;
    QStackedWidget *m_slides;
    WelcomeSlide *m_welcome;
    std::array<PermissionSlide *, 3> m_permissions{};
    FinalSlide *m_final;
    PageDots *m_dots;
    // The slide that was shown, fading out above the new one while the tab changes.
    QLabel *m_leavingSlide;
    QGraphicsOpacityEffect *m_leavingOpacity;
    Animation m_slideChange;
    int m_currentTab = 0;
    bool m_finishing = false;
    double m_dismissScale = 1.0;
    double m_dismissOpacity = 1.0;
    QPixmap m_dismissFrame;
    Animation m_dismiss;
    TimerHandle m_completeTimer;
    TimerHandle m_screenSettingsTimer;
};

} // namespace qv
