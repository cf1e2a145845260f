#pragma once

#include <functional>

#include "runtime/scheduler.h"

namespace qv {

// One value moving from a start to a target, stepped from the scheduler at 60 Hz so tests advance
// time instead of waiting. Starting again (or cancelling) stops the previous run without calling
// its completion. Main thread.
class Animation
{
public:
    using Curve = std::function<double(double elapsed)>; // progress 0..1 (may overshoot)

    explicit Animation(Scheduler &scheduler) : m_scheduler(scheduler) {}
    ~Animation() { cancel(); }
    Animation(const Animation &) = delete;
    Animation &operator=(const Animation &) = delete;

    static Curve linear(double duration);
    static Curve easeOut(double duration);
    // Cubic ease-in, and the smooth start and end of the default timing.
    static Curve easeIn(double duration);
    static Curve easeInOut(double duration);
    static Curve spring(double response, double dampingFraction);

    // Calls `step` with each value (the last one exactly `to`), then `done`. A zero-length curve
    // steps to `to` at once, inside the call.
    void start(double from, double to, double duration, Curve curve, std::function<void(double)> step,
               std::function<void()> done = {});
    void cancel();
    bool isRunning() const { return m_timer.isActive(); }

    static constexpr double frameInterval = 1.0 / 60.0;

private:
    Scheduler &m_scheduler;
    TimerHandle m_timer;
};

} // namespace qv
