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

} // namespace qv
