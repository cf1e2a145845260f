#include "app/appdelegate.h"

#include <QPointer>

#include "app/relocation.h"
#include "app/services/onboarding.h"
#include "app/statusitemcontroller.h"
#include "dock/dockmonitor.h"
#include "dock/overlaycontroller.h"
#include "platform/application.h"
#include "platform/permissions.h"
#include "platform/scheduler.h"
#include "windows/windowengine.h"

namespace qv {

namespace {
// How long the context-menu flag outlives the end of menu tracking, so a bubble whose card menu just
// closed is not hidden by the pointer check in the meantime.
constexpr double menuResetDelay = 1.5;
} // namespace

AppDelegate::AppDelegate(const Platform &platform, Scheduler &scheduler, WorkQueueFactory &queues,
                         SettingsStore &settings, QObject *parent)
    : QObject(parent), m_platform(platform), m_scheduler(scheduler), m_queues(queues), m_settings(settings),
      m_relocation(std::make_unique<Relocation>()),
      m_overlayController(std::make_unique<OverlayController>()),
      m_statusItemController(std::make_unique<StatusItemController>()),
      m_onboarding(std::make_unique<Onboarding>())
{
}

AppDelegate::~AppDelegate()
{
    for (const auto &connection : std::as_const(m_notificationObservers))
        disconnect(connection);
    m_notificationObservers.clear();
}

void AppDelegate::applicationDidFinishLaunching()
{
    step(QStringLiteral("setDarkAppearance"));
    m_platform.application->setDarkAppearance();

    step(QStringLiteral("relocation"));
    if (!m_relocation->isInApplicationsFolder()) {
        switch (m_relocation->askToMoveToApplications()) {
        case Relocation::MoveAnswer::quit:
            m_platform.application->terminate();
            return;
        case Relocation::MoveAnswer::move:
            // A successful move quits shortly; a failed one has shown its alert. Either way this run
            // sets up no service.
            m_relocation->moveToApplications();
            return;
        case Relocation::MoveAnswer::notNow:
            break;
        }
    }

    step(QStringLiteral("terminateOtherInstances"));
    m_relocation->terminateOtherInstances();

    step(QStringLiteral("createDockMonitor"));
    m_dockMonitor = std::make_unique<DockMonitor>(m_platform, m_scheduler, m_queues, m_settings);

    step(QStringLiteral("createWindowEngine"));
    m_windowEngine = new WindowEngine(m_platform, m_scheduler, m_queues, m_settings, this);

    step(QStringLiteral("setupOverlay"));
    m_overlayController->setupOverlayWindow();
    m_overlayController->setupGlobalOverlayWindow();
    m_overlayController->setupPeekingWindow();
    m_overlayController->setupBindings(*m_dockMonitor, *m_windowEngine);
    m_overlayController->startMouseCheckTimer();

    step(QStringLiteral("observeMenuTracking"));
    observeMenuTracking();

    step(QStringLiteral("setupStatusItem"));
    m_statusItemController->setupStatusItem();

    step(QStringLiteral("checkPermissions"));
    if (!checkPermissions()) {
        step(QStringLiteral("showOnboarding"));
        m_onboarding->showOnboarding();
    }

    step(QStringLiteral("observeResignActive"));
    observeResignActive();
}

bool AppDelegate::hasInputMonitoringPermission()
{
    return m_platform.permissions->canListenToKeyEvents();
}

bool AppDelegate::checkPermissions()
{
    // All three are always asked, in this order, so each probe's side effects happen at every launch.
    const bool screenCapture = m_platform.permissions->screenCapturePreflight();
    const bool accessibility = m_platform.permissions->isAccessibilityTrusted();
    const bool inputMonitoring = hasInputMonitoringPermission();
    return screenCapture && accessibility && inputMonitoring;
}

void AppDelegate::observeMenuTracking()
{
    // The flips happen on a later turn of the loop, never inside the notification. Each end schedules
    // its own reset, so with overlapping menus the first reset clears the flag.
    ApplicationService *application = m_platform.application;
    m_notificationObservers.append(
        connect(application, &ApplicationService::menuDidBeginTracking, this, [this] {
            m_scheduler.post([self = QPointer<AppDelegate>(this)] {
                if (self && self->m_windowEngine)
                    self->m_windowEngine->setContextMenuOpen(true);
            });
        }));
    m_notificationObservers.append(
        connect(application, &ApplicationService::menuDidEndTracking, this, [this] {
            m_scheduler.after(menuResetDelay, [self = QPointer<AppDelegate>(this)] {
                if (self && self->m_windowEngine)
                    self->m_windowEngine->setContextMenuOpen(false);
            });
        }));
}

void AppDelegate::observeResignActive()
{
    m_notificationObservers.append(
        connect(m_platform.application, &ApplicationService::didResignActive, this, [this] {
            m_scheduler.post([self = QPointer<AppDelegate>(this)] {
                if (self)
                    self->m_overlayController->hideOverlay(true);
            });
        }));
}

} // namespace qv
