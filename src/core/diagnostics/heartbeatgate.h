#pragma once

namespace qv {

// Where the main thread's heartbeats meet the watchdog thread: a counting signal with a timed wait.
// Each signal() lets exactly one wait() through. Production uses SemaphoreHeartbeatGate; tests put in
// a gate whose time they move by hand.
class HeartbeatGate
{
public:
    virtual ~HeartbeatGate() = default;
    // Any thread.
    virtual void signal() = 0;
    // The watchdog thread. Takes one signal, waiting up to `seconds` for it; true when a signal was
    // taken, false when the time ran out.
    virtual bool wait(double seconds) = 0;
};

} // namespace qv
