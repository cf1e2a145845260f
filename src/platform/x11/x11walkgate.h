#pragma once

#include <functional>
#include <optional>

#include "runtime/scheduler.h"

namespace qv {

// Turns the desktop's change notices into walks of the panels. A change comes as a burst of
// notices (a task button added moves its neighbours, each reported on its own), so the first
// notice asks for one walk `settle` later and the notices until then join it. Notices that keep
// coming (a task button whose width follows a title its window rewrites many times a second) bring
// a walk at most every `streamInterval`, whatever their rate. Nothing happens without notices.
// Main thread.
class X11WalkGate
{
public:
    static constexpr double settle = 0.25;
    static constexpr double streamInterval = 2.0;

    X11WalkGate(Scheduler &scheduler, std::function<void()> walk);
    ~X11WalkGate();
    X11WalkGate(const X11WalkGate &) = delete;
    X11WalkGate &operator=(const X11WalkGate &) = delete;

    void noteChange();
    bool isWalkPending() const { return m_pending.isActive(); }

private:
    Scheduler &m_scheduler;
    std::function<void()> m_walk;
    TimerHandle m_pending;
    // When the last walk started; none before the first.
    std::optional<double> m_lastWalk;
};

} // namespace qv
