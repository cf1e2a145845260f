#include "app/singleinstance.h"

#include <QLoggingCategory>

#include <utility>

#include "app/processcontrol.h"

namespace qv {

Q_LOGGING_CATEGORY(lcInstance, "quorvantis.instance")

void SingleInstance::terminateOtherInstances()
{
    if (std::exchange(m_done, true) || m_processes.tryLockInstance())
        return;
    const qint64 self = m_processes.currentPid();
    qint64 holder = m_processes.instanceHolderPid();
    for (double waited = 0; holder == 0 || holder == self; waited += pollInterval) {
        if (m_processes.tryLockInstance())
            return;
        if (waited >= holderPidWait) {
            qCWarning(lcInstance).noquote() << QStringLiteral(
                "⚠️ Another Quorvantis holds the instance lock but gives no process id; "
                "starting anyway");
            return;
        }
        m_processes.sleep(pollInterval);
        holder = m_processes.instanceHolderPid();
    }

    // The lock frees itself when its holder exits, so waiting for the lock is waiting for the exit.
    m_processes.sendSignal(holder, ProcessControl::Signal::terminate);
    if (waitForInstanceLock(terminateGrace))
        return;
    m_processes.sendSignal(holder, ProcessControl::Signal::kill);
    if (waitForInstanceLock(killGrace))
        return;
    qCWarning(lcInstance).noquote()
        << QStringLiteral("⚠️ Quorvantis %1 did not exit; starting anyway").arg(holder);
}

bool SingleInstance::waitForInstanceLock(double seconds)
{
    for (double waited = 0;; waited += pollInterval) {
        if (m_processes.tryLockInstance())
            return true;
        if (waited >= seconds)
            return false;
        m_processes.sleep(pollInterval);
    }
}

} // namespace qv
