#include "platform/x11/x11walkgate.h"

#include <algorithm>

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
    double wait = settle;
    if (m_lastWalk)
        wait = std::max(settle, streamInterval - (m_scheduler.now() - *m_lastWalk));
    m_pending = m_scheduler.after(wait, [this] {
        m_pending = TimerHandle();
        m_lastWalk = m_scheduler.now();
        m_walk();
    });
}

} // namespace qv
