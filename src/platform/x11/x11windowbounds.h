#pragma once

#include "platform/windowbounds.h"

namespace qv {

class X11Session;

// Window frames read from the X server: the window's geometry with its origin translated to the
// root window (top-left coordinates of the whole desktop), grown by the window manager's
// _NET_FRAME_EXTENTS, so it is the same frame the window list reports. A window number that is no
// X window, or a broken connection, gives none.
class X11WindowBounds final : public WindowBoundsService
{
public:
    explicit X11WindowBounds(X11Session &session) : m_session(session) {}

    std::optional<QRectF> windowBounds(quint32 windowId) override;

private:
    X11Session &m_session;
};

} // namespace qv
