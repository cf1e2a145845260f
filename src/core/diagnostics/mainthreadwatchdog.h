#pragma once

#include <QMutex>
#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>

class QThread;

namespace qv {

class DiagnosticsManager;
class HeartbeatGate;
class Scheduler;

// Notices a blocked main thread while diagnostics are on. The main thread gives a heartbeat every
// 0.5 s through the scheduler (each beat schedules the next only once it has run, so a blocked
// main thread stops the beats); a thread named "com.quorvantis.watchdog" waits for each beat up to
// 1.5 s and records "watchdog_stall" with "stall>=1.5s" every time a wait runs out, that is every
// further 1.5 s while the block lasts.
//
// start() and stop() are safe to repeat and may be called from any thread. stop() wakes the watch
// thread at once and waits for it to end; each start() begins a new run, and a heartbeat chain or
// thread of an earlier run ends at its next step, so one start right after a stop leaves exactly
// one of each. The diagnostics recorder must outlive the watchdog.
class MainThreadWatchdog
{
public:
    static constexpr double stallThreshold = 1.5;
    static constexpr double heartbeatInterval = 0.5;

    // gate null: a semaphore on the real clock.
    MainThreadWatchdog(DiagnosticsManager &diagnostics, Scheduler &scheduler,
                       std::shared_ptr<HeartbeatGate> gate = nullptr);
    ~MainThreadWatchdog();
    MainThreadWatchdog(const MainThreadWatchdog &) = delete;
    MainThreadWatchdog &operator=(const MainThreadWatchdog &) = delete;

    void start();
    void stop();
    bool isRunning() const { return m_activeRun.load() != 0; }

private:
    void heartbeatTick(std::uint64_t run);
    void watchLoop(std::uint64_t run);

    DiagnosticsManager &m_diagnostics;
    Scheduler &m_scheduler;
    std::shared_ptr<HeartbeatGate> m_gate;
    // Lets heartbeats still waiting in the scheduler see that the watchdog is gone.
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
    QMutex m_mutex;
    // The run that is going on, 0 when idle; ticks and threads of any other run end themselves.
    std::atomic<std::uint64_t> m_activeRun{0};
    std::uint64_t m_lastRun = 0;
    QThread *m_thread = nullptr;
};

} // namespace qv
