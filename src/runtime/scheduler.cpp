#include "runtime/scheduler.h"

namespace qv {

void TimerHandle::cancel()
{
    if (m_state)
        m_state->cancelled = true;
}

bool TimerHandle::isActive() const
{
    return m_state && !m_state->cancelled && (m_state->repeating || !m_state->fired);
}

void PostGate::post(std::function<void()> fn) const
{
    std::lock_guard lock(m_state->mutex);
    if (m_state->scheduler)
        m_state->scheduler->post(std::move(fn));
}

void PostGate::close() const
{
    std::lock_guard lock(m_state->mutex);
    m_state->scheduler = nullptr;
}

} // namespace qv
