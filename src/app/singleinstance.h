#pragma once

namespace qv {

class ProcessControl;

// One running copy per user. The copy that starts last wins: it takes the instance lock, and while
// another copy holds the lock it asks that copy to end (SIGTERM), forces it after two seconds
// (SIGKILL) and waits for it to be gone. A lock left behind by a crashed copy is free, so it never
// holds up start-up; a copy that cannot be ended is reported on the console and this one starts
// anyway. Main thread; blocks while it waits, which start-up does before any service exists.
class SingleInstance
{
public:
    explicit SingleInstance(ProcessControl &processes) : m_processes(processes) {}

    // Runs once per run; later calls do nothing.
    void terminateOtherInstances();

    // How long a copy asked to end gets before it is forced, and how long a forced one may take.
    static constexpr double terminateGrace = 2.0;
    static constexpr double killGrace = 5.0;
    // How often the lock is tried while waiting.
    static constexpr double pollInterval = 0.05;
    // How long a holder that has just taken the lock may take to write its process id.
    static constexpr double holderPidWait = 0.5;

private:
    bool waitForInstanceLock(double seconds);

    ProcessControl &m_processes;
    bool m_done = false;
};

} // namespace qv
