#include "platform/x11/x11desktop.h"

#include <xcb/xcb.h>

namespace qv {

struct X11Desktop::Private
{
};

X11Desktop::X11Desktop() : d(std::make_unique<Private>()) {}
X11Desktop::~X11Desktop() = default;

bool X11Desktop::isAvailable()
{
    xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
    const bool ok = connection && !xcb_connection_has_error(connection);
    if (connection)
        xcb_disconnect(connection);
    return ok;
}

Platform X11Desktop::platform()
{
    return {};
}

} // namespace qv
