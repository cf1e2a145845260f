#include "ui/animatedvalue.h"

#include <algorithm>

#include "ui/spring.h"

namespace qv {

AnimatedValue::AnimatedValue(Scheduler &scheduler, double initial, std::function<void()> changed)
    : m_animation(scheduler), m_changed(std::move(changed)), m_value(initial), m_target(initial)
{
}

double AnimatedValue::clamped() const
{
    return std::clamp(m_value, 0.0, 1.0);
}

void AnimatedValue::springTo(double target, double response, double dampingFraction,
                             std::function<void()> done)
{
    start(target, springSettlingTime(response, dampingFraction), Animation::spring(response, dampingFraction),
          std::move(done));
}

void AnimatedValue::easeOutTo(double target, double duration, std::function<void()> done)
{
    start(target, duration, Animation::easeOut(duration), std::move(done));
}

void AnimatedValue::start(double target, double duration, Animation::Curve curve, std::function<void()> done)
{
    if (target == m_target && (isRunning() || m_value == target)) {
        // Already on its way there (or there): the motion under way keeps its pace.
        if (!isRunning() && done)
            done();
        return;
    }
    m_target = target;
    m_animation.start(
        m_value, target, duration, std::move(curve),
        [this](double value) {
            m_value = value;
            if (m_changed)
                m_changed();
        },
        std::move(done));
}

void AnimatedValue::setValue(double value)
{
    m_animation.cancel();
    m_target = value;
    if (value == m_value)
        return;
    m_value = value;
    if (m_changed)
        m_changed();
}

} // namespace qv
