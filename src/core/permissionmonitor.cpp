#include "core/permissionmonitor.h"

#include <QPointer>

#include "platform/permissions.h"
#include "runtime/scheduler.h"

namespace qv {

namespace {
constexpr double pollInterval = 0.5;
}

PermissionMonitor::PermissionMonitor(PermissionProbe &probe, Scheduler &scheduler, QObject *parent)
    : QObject(parent), m_probe(probe), m_scheduler(scheduler)
{
    refresh();
    startPolling();
}

// The task is a member: destroying it ends the poll where it stands, before the fields it reads go.
PermissionMonitor::~PermissionMonitor() = default;

void PermissionMonitor::refresh()
{
    m_screenRecordGranted = m_probe.screenCapturePreflight();
    emit screenRecordGrantedChanged(m_screenRecordGranted);
    m_accessibilityGranted = m_probe.isAccessibilityTrusted();
    emit accessibilityGrantedChanged(m_accessibilityGranted);
    m_inputMonitoringGranted = hasInputMonitoringPermission();
    emit inputMonitoringGrantedChanged(m_inputMonitoringGranted);
}

void PermissionMonitor::startPolling()
{
    m_pollingTask = poll();
    m_pollingTask.start(m_scheduler);
}

bool PermissionMonitor::hasInputMonitoringPermission()
{
    return m_probe.canListenToKeyEvents();
}

bool PermissionMonitor::allGranted() const
{
    return m_screenRecordGranted && m_accessibilityGranted && m_inputMonitoringGranted;
}

Script PermissionMonitor::poll()
{
    const ScriptControl control = co_await thisScript();
    const QPointer<PermissionMonitor> self(this);
    while (!control.isCancelled()) {
        co_await sleepFor(pollInterval);
        if (control.isCancelled() || !self)
            co_return;
        // All three are read before any is published, so an observer never sees a half-updated set.
        const bool screen = m_probe.screenCapturePreflight();
        const bool accessibility = m_probe.isAccessibilityTrusted();
        const bool input = hasInputMonitoringPermission();
        // An observer may destroy the monitor (its window closes): nothing is touched after that.
        if (screen != m_screenRecordGranted) {
            m_screenRecordGranted = screen;
            emit screenRecordGrantedChanged(screen);
            if (!self)
                co_return;
        }
        if (accessibility != m_accessibilityGranted) {
            m_accessibilityGranted = accessibility;
            emit accessibilityGrantedChanged(accessibility);
            if (!self)
                co_return;
        }
        if (input != m_inputMonitoringGranted) {
            m_inputMonitoringGranted = input;
            emit inputMonitoringGrantedChanged(input);
            if (!self)
                co_return;
        }
        if (allGranted())
            co_return;
    }
}

} // namespace qv
