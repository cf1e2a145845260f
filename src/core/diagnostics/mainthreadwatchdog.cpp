#include "core/diagnostics/mainthreadwatchdog.h"

#include <QLocale>
#include <QThread>

#include "core/diagnostics/diagnosticsmanager.h"
#include "core/diagnostics/semaphoreheartbeatgate.h"
#include "runtime/scheduler.h"

namespace qv {

MainThreadWatchdog::MainThreadWatchdog(DiagnosticsManager &diagnostics, Scheduler &scheduler,
                                       std::shared_ptr<HeartbeatGate> gate)
    : m_diagnostics(diagnostics), m_scheduler(scheduler),
      m_gate(gate ? std::move(gate) : std::make_shared<SemaphoreHeartbeatGate>())
{
}

MainThreadWatchdog::~MainThreadWatchdog()
{
    stop();
    if (m_diagnostics.watchdog() == this)
        m_diagnostics.setWatchdog(nullptr);
}

void MainThreadWatchdog::start()
{
    QMutexLocker lock(&m_mutex);
    if (m_activeRun.load() != 0)
        return;
    const std::uint64_t run = ++m_lastRun;
    m_activeRun = run;
    m_scheduler.post([this, alive = std::weak_ptr<int>(m_alive), run] {
        if (alive.lock())
            heartbeatTick(run);
    });
    m_thread = QThread::create([this, run] { watchLoop(run); });
    m_thread->setObjectName(QStringLiteral("com.quorvantis.watchdog"));
    // Low priority: the watch must not compete with the user interface.
    m_thread->start(QThread::LowPriority);
}

void MainThreadWatchdog::stop()
{
    QThread *thread = nullptr;
    {
        QMutexLocker lock(&m_mutex);
        m_activeRun = 0;
        thread = std::exchange(m_thread, nullptr);
    }
    if (!thread)
        return;
    // One extra beat wakes a waiting watch at once; it then sees its run is over and ends.
    m_gate->signal();
    thread->wait();
    delete thread;
}

void MainThreadWatchdog::heartbeatTick(std::uint64_t run)
{
    if (m_activeRun.load() != run)
        return;
    m_gate->signal();
    m_scheduler.after(heartbeatInterval, [this, alive = std::weak_ptr<int>(m_alive), run] {
        if (alive.lock())
            heartbeatTick(run);
    });
}

void MainThreadWatchdog::watchLoop(std::uint64_t run)
{
    const QString detail = QStringLiteral("stall>=") +
                           QString::number(stallThreshold, 'g', QLocale::FloatingPointShortest) +
                           QLatin1Char('s');
    while (m_activeRun.load() == run) {
        const bool beat = m_gate->wait(stallThreshold);
        if (m_activeRun.load() != run)
            return;
        if (!beat)
            m_diagnostics.log(DiagEvents::watchdogStall, detail);
    }
}

} // namespace qv
