#include "platform/x11/x11axelement.h"

namespace qv {

AXResult X11AXElement::copyAttribute(const QString &name)
{
    Q_UNUSED(name);
    return AXResult{AXError::noValue, {}};
}

int X11AXElement::setAttribute(const QString &name, const AXValue &value)
{
    Q_UNUSED(name);
    Q_UNUSED(value);
    return AXError::cannotComplete;
}

int X11AXElement::performAction(const QString &name)
{
    Q_UNUSED(name);
    return AXError::cannotComplete;
}

void X11AXElement::setMessagingTimeout(double seconds)
{
    Q_UNUSED(seconds);
}

} // namespace qv
