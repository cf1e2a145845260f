#pragma once

#include <QObject>

#include "runtime/script.h"

namespace qv {

class PermissionProbe;
class Scheduler;

// Publishes whether the three permissions (screen capture, accessibility, input monitoring) are
// granted, and re-reads them every half second until all three are, so a first-run window can
// follow the user granting them. Main thread.
//
// Construction reads all three at once and starts polling; polling stops for good once all three
// are granted, when startPolling() replaces it, or when the monitor is destroyed. A permission
// withdrawn after that is not noticed. `refresh()` announces every value even when it did not
// change; a poll announces only real changes.
class PermissionMonitor : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool screenRecordGranted READ screenRecordGranted NOTIFY screenRecordGrantedChanged)
    Q_PROPERTY(bool accessibilityGranted READ accessibilityGranted NOTIFY accessibilityGrantedChanged)
    Q_PROPERTY(bool inputMonitoringGranted READ inputMonitoringGranted NOTIFY inputMonitoringGrantedChanged)
public:
    // The probe and the scheduler outlive the monitor.
    PermissionMonitor(PermissionProbe &probe, Scheduler &scheduler, QObject *parent = nullptr);
    ~PermissionMonitor() override;

    bool screenRecordGranted() const { return m_screenRecordGranted; }
    bool accessibilityGranted() const { return m_accessibilityGranted; }
    bool inputMonitoringGranted() const { return m_inputMonitoringGranted; }

    void refresh();
    // Stops a running poll and starts a new one; the first read comes half a second later.
    void startPolling();
    bool isPolling() const { return m_pollingTask.isValid() && !m_pollingTask.isFinished(); }

    bool hasInputMonitoringPermission();

signals:
    void screenRecordGrantedChanged(bool granted);
    void accessibilityGrantedChanged(bool granted);
    void inputMonitoringGrantedChanged(bool granted);

private:
    Script poll();
    bool allGranted() const;

    PermissionProbe &m_probe;
    Scheduler &m_scheduler;
    bool m_screenRecordGranted = false;
    bool m_accessibilityGranted = false;
    bool m_inputMonitoringGranted = false;
    Script m_pollingTask;
};

} // namespace qv
