#include "platform/x11/x11windowbounds.h"

#include "platform/x11/x11clientreader.h"
#include "platform/x11/x11session.h"

namespace qv {

std::optional<QRectF> X11WindowBounds::windowBounds(quint32 windowId)
{
    if (windowId == XCB_WINDOW_NONE)
        return std::nullopt;
    const std::optional<X11Client> client = X11ClientReader(m_session).readOne(windowId);
    if (!client)
        return std::nullopt;
    return QRectF(client->frame);
}

} // namespace qv
