#pragma once

#include "platform/windowlist.h"

namespace qv {

class X11DesktopEntries;
class X11Session;
struct X11Client;

// The window list of an EWMH window manager: its managed clients front to back
// (_NET_CLIENT_LIST_STACKING), each with its outer frame (the client area grown by
// _NET_FRAME_EXTENTS), title, owning process and identity (X11DesktopEntries). Documents (normal
// and dialog windows) sit on layer 0; panels, desktops, docks, menus, tooltips, notifications and
// windows that keep out of taskbars on other layers, so the window scans never list them. On
// screen means mapped, not minimised and on the current desktop (sticky windows are on all).
// Without a window manager the list is empty; without a connection to the server it cannot be
// obtained. Answers at once, on the calling thread.
class X11WindowList final : public WindowListService
{
public:
    X11WindowList(X11Session &session, X11DesktopEntries &entries);

    void requestWindows(Completion done) override;
    std::optional<QList<WindowInfo>> windows();

private:
    X11Session &m_session;
    X11DesktopEntries &m_entries;
};

} // namespace qv
