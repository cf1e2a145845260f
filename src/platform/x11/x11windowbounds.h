#pragma once

#include "platform/windowbounds.h"

namespace qv {

class X11Connection;

// Window frames read from the X server: the window's geometry with its origin translated to the
// root window (top-left coordinates of the whole desktop). A window number that is no X window,
// or a broken connection, gives none.
class X11WindowBounds final : public WindowBoundsService
{
public:
    explicit X11WindowBounds(X11Connection &connection) : m_connection(connection) {}

    std::optional<QRectF> windowBounds(quint32 windowId) override;

private:
    X11Connection &m_connection;
};

} // namespace qv
