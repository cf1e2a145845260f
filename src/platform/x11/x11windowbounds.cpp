#include "platform/x11/x11windowbounds.h"

#include <cstdlib>

#include "platform/x11/x11connection.h"

namespace qv {

std::optional<QRectF> X11WindowBounds::windowBounds(quint32 windowId)
{
    if (!m_connection.isValid() || windowId == XCB_WINDOW_NONE)
        return std::nullopt;
    xcb_connection_t *c = m_connection.xcb();
    // Both requests go out before either reply is awaited: one round trip.
    const auto geometryCookie = xcb_get_geometry(c, windowId);
    const auto translateCookie = xcb_translate_coordinates(c, windowId, m_connection.root(), 0, 0);
    xcb_get_geometry_reply_t *geometry = xcb_get_geometry_reply(c, geometryCookie, nullptr);
    xcb_translate_coordinates_reply_t *origin = xcb_translate_coordinates_reply(c, translateCookie, nullptr);
    std::optional<QRectF> bounds;
    if (geometry && origin)
        bounds = QRectF(origin->dst_x, origin->dst_y, geometry->width, geometry->height);
    std::free(geometry);
    std::free(origin);
    return bounds;
}

} // namespace qv
