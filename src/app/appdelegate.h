#pragma once

#include <QList>
#include <QMetaObject>
#include <QObject>
#include <QStringList>

#include <memory>

#include "platform/platform.h"

namespace qv {

class DockMonitor;
class Onboarding;
class OverlayController;
class Relocation;
class Scheduler;
class SettingsStore;
class StatusItemController;
class WindowEngine;
class WorkQueueFactory;

// The application's delegate: one instance for the whole run, made by QuorvantisApp. Its launch
// handler creates the long-lived services in a fixed order and wires the application-wide
// observers (menu tracking, resign-active). Main thread only.
//
// Everything it creates lives until the delegate goes; destroying it removes every observer it
// registered, and callbacks it scheduled that fire later do nothing.
class AppDelegate : public QObject
{
    Q_OBJECT
public:
    AppDelegate(const Platform &platform, Scheduler &scheduler, WorkQueueFactory &queues,
                SettingsStore &settings, QObject *parent = nullptr);
    ~AppDelegate() override;

    // The start-up sequence. Call once, on the main thread, after the event loop has started.
    void applicationDidFinishLaunching();

    // True when a listen-only key-down tap can be created (the input-monitoring permission).
    bool hasInputMonitoringPermission();

    // Null until the start-up sequence has created them.
    DockMonitor *dockMonitor() const { return m_dockMonitor.get(); }
    WindowEngine *windowEngine() const { return m_windowEngine; }

    Relocation &relocation() { return *m_relocation; }
    OverlayController &overlayController() { return *m_overlayController; }
    StatusItemController &statusItemController() { return *m_statusItemController; }
    Onboarding &onboarding() { return *m_onboarding; }

    // Names of the start-up steps in the order they ran (for diagnosing a start that stopped early).
    QStringList launchTrace() const { return m_launchTrace; }

private:
    void step(const QString &name) { m_launchTrace.append(name); }
    bool checkPermissions();
    void observeMenuTracking();
    void observeResignActive();

    Platform m_platform;
    Scheduler &m_scheduler;
    WorkQueueFactory &m_queues;
    SettingsStore &m_settings;

    std::unique_ptr<DockMonitor> m_dockMonitor;
    WindowEngine *m_windowEngine = nullptr; // child of this
    std::unique_ptr<Relocation> m_relocation;
    std::unique_ptr<OverlayController> m_overlayController;
    std::unique_ptr<StatusItemController> m_statusItemController;
    std::unique_ptr<Onboarding> m_onboarding;
    QList<QMetaObject::Connection> m_notificationObservers;
    QStringList m_launchTrace;
};

} // namespace qv
