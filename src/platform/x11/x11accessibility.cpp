#include "platform/x11/x11accessibility.h"

#include "platform/x11/x11axelement.h"

namespace qv {

AXElementPtr X11Accessibility::applicationElement(qint64 pid)
{
    return std::make_shared<X11AXElement>(pid);
}

} // namespace qv
