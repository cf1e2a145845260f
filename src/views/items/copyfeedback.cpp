#include "views/items/copyfeedback.h"

namespace qv {

CopyFeedback::CopyFeedback(Scheduler &scheduler, double duration, std::function<void()> changed)
    : m_scheduler(scheduler), m_duration(duration), m_changed(std::move(changed))
{
}

CopyFeedback::~CopyFeedback()
{
    for (auto &reset : m_resets)
        reset.cancel();
}

void CopyFeedback::trigger()
{
    m_resets.removeIf([](const TimerHandle &reset) { return !reset.isActive(); });
    set(true);
    m_resets.append(m_scheduler.after(m_duration, [this] { set(false); }));
}

void CopyFeedback::set(bool showing)
{
    if (showing == m_showing)
        return;
    m_showing = showing;
    if (m_changed)
        m_changed();
}

} // namespace qv
