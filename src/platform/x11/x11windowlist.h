#pragma once

#include <QMutex>
#include <QThreadPool>

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
// obtained. requestWindows answers on a reading thread of the list's own (hundreds of windows cost
// thousands of requests to the server); requests made while one read runs are answered together
// by the next read, so a storm of windows costs one read after the other, never a queue of them.
// windows() reads on the calling thread.
class X11WindowList final : public WindowListService
{
public:
    X11WindowList(X11Session &session, X11DesktopEntries &entries);
    // Waits for the read under way.
    ~X11WindowList() override;

    void requestWindows(Completion done) override;
    std::optional<QList<WindowInfo>> windows();

private:
    void readPending();

    X11Session &m_session;
    X11DesktopEntries &m_entries;
    QThreadPool m_reader;
    QMutex m_mutex;
    QList<Completion> m_waiting;
    bool m_reading = false;
};

} // namespace qv
