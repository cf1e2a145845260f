#include "app/appdelegate.h"

#include <QPointer>

#include <algorithm>

#include "dock/dockmonitor.h"
#include "platform/application.h"
#include "platform/permissions.h"
#include "runtime/scheduler.h"
#include "windows/windowengine.h"

namespace qv {

namespace {
// How long the context-menu flag outlives the end of menu tracking, so a bubble whose card menu just
// closed is not hidden by the pointer check in the meantime.
constexpr double menuResetDelay = 1.5;
} // namespace

AppDelegate::AppDelegate(const Platform &platform, Scheduler &scheduler, WorkQueueFactory &queues,
                         SettingsStore &settings, EventLog &eventLog, ShellParts parts, QObject *parent)
    : QObject(parent), m_platform(platform), m_scheduler(scheduler), m_queues(queues), m_settings(settings),
      m_eventLog(eventLog), m_parts(std::move(parts))
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
    m_platform.application->setDarkAppearance();

    if (!m_parts.relocation->isInApplicationsFolder()) {
        switch (m_parts.relocation->askToMoveToApplications()) {
        case Relocator::MoveAnswer::quit:
            m_platform.application->terminate();
            return;
        case Relocator::MoveAnswer::move:
            // A successful move quits shortly; a failed one has shown its alert. Either way this run
            // sets up no service.
            m_parts.relocation->moveToApplications();
            return;
        case Relocator::MoveAnswer::notNow:
            break;
        }
    }

    m_parts.relocation->terminateOtherInstances();
    m_parts.statusItem->setupStatusItem();
    m_scheduler.post([self = QPointer<AppDelegate>(this)] {
        if (self)
            self->startServices();
    });
}

void AppDelegate::startServices()
{
    m_dockMonitor = std::make_unique<DockMonitor>(m_platform, m_scheduler, m_queues, m_settings, m_eventLog);
    m_windowEngine = new WindowEngine(m_platform, m_scheduler, m_queues, m_settings, m_eventLog, this);

    m_parts.overlay->setupOverlayWindow();
    m_parts.overlay->setupGlobalOverlayWindow();
    m_parts.overlay->setupPeekingWindow();
    m_parts.overlay->setupBindings(*m_dockMonitor, *m_windowEngine);
    m_parts.overlay->startMouseCheckTimer();
    observeMenuTracking();
    if (!checkPermissions())
        m_parts.onboarding->showOnboarding();
    observeResignActive();
    emit servicesStarted();
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
    // The flips happen on a later turn of the loop, never inside the notification. Menus are
    // counted: the flag clears 1.5 s after the last open menu closed, and only if no menu opened
    // in the meantime, so a submenu or a second menu never lets the bubble hide under it.
    ApplicationService *application = m_platform.application;
    m_notificationObservers.append(
        connect(application, &ApplicationService::menuDidBeginTracking, this, [this] {
            ++m_openMenuCount;
            ++m_menuGeneration;
            m_scheduler.post([self = QPointer<AppDelegate>(this)] {
                if (self && self->m_windowEngine)
                    self->m_windowEngine->setContextMenuOpen(true);
            });
        }));
    m_notificationObservers.append(
        connect(application, &ApplicationService::menuDidEndTracking, this, [this] {
            m_openMenuCount = std::max(0, m_openMenuCount - 1);
            if (m_openMenuCount > 0)
                return;
            const quint64 generation = m_menuGeneration;
            m_scheduler.after(menuResetDelay, [self = QPointer<AppDelegate>(this), generation] {
                if (self && self->m_windowEngine && self->m_openMenuCount == 0 &&
                    self->m_menuGeneration == generation)
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
                    self->m_parts.overlay->hideOverlay(true);
            });
        }));
}

} // namespace qv
