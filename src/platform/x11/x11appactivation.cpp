#include "platform/x11/x11appactivation.h"

#include "platform/workspace.h"

namespace qv {

bool X11AppActivation::activate(qint64 pid, int)
{
    return m_workspace.activate(pid);
}

} // namespace qv
