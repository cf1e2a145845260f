#include "dock/dockmonitor.h"

namespace qv {

DockMonitor::DockMonitor(const Platform &platform, Scheduler &scheduler, WorkQueueFactory &queues,
                         SettingsStore &settings, QObject *parent)
    : QObject(parent)
{
    Q_UNUSED(platform);
    Q_UNUSED(scheduler);
    Q_UNUSED(queues);
    Q_UNUSED(settings);
}

DockMonitor::~DockMonitor() = default;

void DockMonitor::setInteractionSuspended(bool suspended)
{
    Q_UNUSED(suspended);
}

} // namespace qv
