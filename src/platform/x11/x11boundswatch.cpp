#include "platform/x11/x11boundswatch.h"

namespace qv {

bool X11BoundsWatch::noteLayoutChange(double now)
{
    const bool opens = !m_until;
    m_until = now + window;
    return opens;
}

bool X11BoundsWatch::expire(double now)
{
    if (!m_until || now < *m_until)
        return false;
    m_until.reset();
    return true;
}

} // namespace qv
