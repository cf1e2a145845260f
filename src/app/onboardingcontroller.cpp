#include "app/onboardingcontroller.h"

#include <QGuiApplication>
#include <QScreen>

namespace qv {

namespace {

constexpr double fadeInDuration = 0.3;
constexpr double fadeOutDuration = 0.35;

} // namespace

OnboardingController::OnboardingController(PermissionProbe &probe, SettingsStore &settings,
                                           Scheduler &scheduler, std::function<void()> relaunch,
                                           QObject *parent)
    : QObject(parent), m_probe(probe), m_settings(settings), m_scheduler(scheduler),
      m_relaunch(std::move(relaunch)), m_fade(scheduler)
{
}

OnboardingController::~OnboardingController()
{
    m_fade.cancel();
    delete m_window.data();
}

void OnboardingController::showOnboarding()
{
    if (m_window)
        return;
    auto *window = new OnboardingView(m_probe, m_settings, m_scheduler, m_relaunch,
                                      [self = QPointer<OnboardingController>(this)] {
                                          if (self)
                                              self->closeOnboarding();
                                      });
    // No close, minimise or zoom: only the final slide's button ends it.
    window->setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    // A window manager closes any window it likes (Alt+F4): the window is then gone as after our
    // own close, and its permission monitor with it, so the next showOnboarding opens a new one.
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle(QStringLiteral("Quorvantis"));
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect frame = window->geometry();
        frame.moveCenter(screen->availableGeometry().center());
        window->move(frame.topLeft());
    }
    m_window = window;
    setAlpha(0);
    window->show();
    window->raise();
    window->activateWindow();
    m_fade.start(0, 1, fadeInDuration, Animation::easeInOut(fadeInDuration),
                 [this](double alpha) { setAlpha(alpha); });
}

void OnboardingController::closeOnboarding()
{
    if (!m_window)
        return;
    m_fade.start(
        m_alpha, 0, fadeOutDuration, Animation::easeIn(fadeOutDuration),
        [this](double alpha) { setAlpha(alpha); },
        [this] {
            if (OnboardingView *window = m_window.data()) {
                m_window.clear();
                window->hide();
                // Drops the view and its permission monitor with it (deleted on close).
                window->close();
            }
        });
}

void OnboardingController::setAlpha(double alpha)
{
    m_alpha = alpha;
    if (m_window)
        m_window->setWindowOpacity(alpha);
}

} // namespace qv
