#pragma once

#include <QList>
#include <QMetaObject>
#include <QObject>

#include <memory>

#include "app/shellparts.h"
#include "platform/platform.h"

namespace qv {

class DockMonitor;
class EventLog;
class Scheduler;
class SettingsStore;
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
                SettingsStore &settings, EventLog &eventLog, ShellParts parts, QObject *parent = nullptr);
    ~AppDelegate() override;

    // The start-up sequence. Call once, on the main thread, after the event loop has started. The
    // status item comes first; the services and panels follow at the next turn of the event loop
    // (so the tray gets its dock request before they are built), then servicesStarted is emitted.
    void applicationDidFinishLaunching();

    // True when a listen-only key-down tap can be created (the input-monitoring permission).
    bool hasInputMonitoringPermission();

    // Null until the start-up sequence has created them.
    DockMonitor *dockMonitor() const { return m_dockMonitor.get(); }
    WindowEngine *windowEngine() const { return m_windowEngine; }

signals:
    void servicesStarted();

private:
    void startServices();
    bool checkPermissions();
    void observeMenuTracking();
    void observeResignActive();

    Platform m_platform;
    Scheduler &m_scheduler;
    WorkQueueFactory &m_queues;
    SettingsStore &m_settings;
    EventLog &m_eventLog;

    std::unique_ptr<DockMonitor> m_dockMonitor;
    WindowEngine *m_windowEngine = nullptr; // child of this
    // Declared after the services they bind to, so they go first.
    ShellParts m_parts;
    QList<QMetaObject::Connection> m_notificationObservers;
    // Menus open now, and how many have opened in all (a reset is void once another opened).
    int m_openMenuCount = 0;
    quint64 m_menuGeneration = 0;
};

} // namespace qv
