#include "ui/animation.h"

#include <algorithm>
#include <memory>

#include "ui/spring.h"

namespace qv {

Animation::Curve Animation::linear(double duration)
{
    return [duration](double elapsed) { return duration <= 0 ? 1.0 : std::min(1.0, elapsed / duration); };
}

Animation::Curve Animation::easeOut(double duration)
{
    return [duration](double elapsed) { return qv::easeOut(duration <= 0 ? 1.0 : elapsed / duration); };
}

Animation::Curve Animation::easeIn(double duration)
{
    return [duration](double elapsed) {
        const double p = duration <= 0 ? 1.0 : std::clamp(elapsed / duration, 0.0, 1.0);
        return p * p * p;
    };
}

Animation::Curve Animation::easeInOut(double duration)
{
    return [duration](double elapsed) {
        const double p = duration <= 0 ? 1.0 : std::clamp(elapsed / duration, 0.0, 1.0);
        return p * p * (3 - 2 * p);
    };
}

Animation::Curve Animation::spring(double response, double dampingFraction)
{
    return [response, dampingFraction](double elapsed) {
        return springProgress(response, dampingFraction, elapsed);
    };
}

void Animation::start(double from, double to, double duration, Curve curve, std::function<void(double)> step,
                      std::function<void()> done)
{
    cancel();
    if (duration <= 0) {
        step(to);
        if (done)
            done();
        return;
    }
    const double startedAt = m_scheduler.now();
    // The timer owns the callback; cancelling the handle is enough to stop it.
    auto handle = std::make_shared<TimerHandle>();
    *handle = m_scheduler.every(frameInterval,
                                [this, handle, startedAt, from, to, duration, curve = std::move(curve),
                                 step = std::move(step), done = std::move(done)] {
                                    const double elapsed = m_scheduler.now() - startedAt;
                                    if (elapsed >= duration) {
                                        handle->cancel();
                                        step(to);
                                        if (done)
                                            done();
                                        return;
                                    }
                                    step(from + (to - from) * curve(elapsed));
                                });
    m_timer = *handle;
}

void Animation::cancel()
{
    m_timer.cancel();
    m_timer = TimerHandle();
}

} // namespace qv
