#include "platform/x11/x11walkgate.h"

namespace qv {

X11WalkGate::X11WalkGate(Scheduler &scheduler, std::function<void()> walk)
    : m_scheduler(scheduler), m_walk(std::move(walk))
{
}

X11WalkGate::~X11WalkGate()
{
    m_pending.cancel();
}

void X11WalkGate::noteChange()
{
    if (m_pending.isActive())
        return;
    m_pending = m_scheduler.after(settle, [this] {
        m_pending = TimerHandle();
        m_walk();
    });
}

} // namespace qv
