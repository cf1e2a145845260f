#include "platform/x11/x11permissions.h"

#include "platform/x11/x11docktilesource.h"
#include "platform/x11/x11session.h"

namespace qv {

bool X11Permissions::screenCapturePreflight()
{
    return m_session.isValid() && m_session.hasComposite();
}

bool X11Permissions::isAccessibilityTrusted()
{
    return m_session.hasEwmhWindowManager() && m_dockTiles.panelOnAccessibilityBus(firstWalkWait).value_or(true);
}

bool X11Permissions::canListenToKeyEvents()
{
    return m_session.isValid() && m_session.hasXInput2();
}

} // namespace qv
