#pragma once

#include <functional>

#include "ui/animation.h"

namespace qv {

// A number that moves to its target on the scheduler, by a spring (which may overshoot) or by an
// ease-out over a fixed time, and calls `changed` at every step. Frames come only while it moves;
// the timer stops on arrival, where the value is exactly the target. A new target starts from
// where the value stands. The views use it for what follows a state: a hover, a selection, a fade.
// Main thread; the scheduler must outlive it.
class AnimatedValue
{
public:
    AnimatedValue(Scheduler &scheduler, double initial, std::function<void()> changed);

    double value() const { return m_value; }
    // The value kept within 0..1, for what cannot overshoot (an opacity, a colour mix).
    double clamped() const;
    double target() const { return m_target; }
    bool isRunning() const { return m_animation.isRunning(); }

    // `done` runs on arrival, not when another target or setValue() cuts the motion short. Asking
    // again for the target it is already moving to keeps that motion (and its `done`).
    void springTo(double target, double response, double dampingFraction, std::function<void()> done = {});
    void easeOutTo(double target, double duration, std::function<void()> done = {});
    // At once, stopping any motion.
    void setValue(double value);

private:
    void start(double target, double duration, Animation::Curve curve, std::function<void()> done);

    Animation m_animation;
    std::function<void()> m_changed;
    double m_value;
    double m_target;
};

} // namespace qv
