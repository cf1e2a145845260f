#pragma once

#include <QList>
#include <QPointF>
#include <QtGlobal>

#include <cstdlib>
#include <optional>

#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>
#include <xcb/xtest.h>

#include "platform/x11/x11connection.h"

namespace qv {

// The window the window manager reports as focused (_NET_ACTIVE_WINDOW); none when it names none.
inline xcb_window_t activeWindow(X11Connection &connection)
{
    xcb_window_t window = XCB_WINDOW_NONE;
    xcb_ewmh_get_active_window_reply(connection.ewmh(),
                                     xcb_ewmh_get_active_window(connection.ewmh(), connection.screenNumber()),
                                     &window, nullptr);
    return window;
}

// The process that owns the window by its _NET_WM_PID; 0 when unknown.
inline qint64 pidOf(X11Connection &connection, xcb_window_t window)
{
    uint32_t pid = 0;
    if (window == XCB_WINDOW_NONE ||
        !xcb_ewmh_get_wm_pid_reply(connection.ewmh(), xcb_ewmh_get_wm_pid(connection.ewmh(), window), &pid,
                                   nullptr))
        return 0;
    return pid;
}

// Whether the window is mapped and shown (viewable), as the server has it.
inline bool isViewable(X11Connection &connection, xcb_window_t window)
{
    xcb_connection_t *c = connection.xcb();
    xcb_get_window_attributes_reply_t *reply =
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr);
    const bool viewable = reply && reply->map_state == XCB_MAP_STATE_VIEWABLE;
    std::free(reply);
    return viewable;
}

// Position of `window` in the window manager's bottom-to-top stacking list; -1 when absent.
inline int stackingIndex(X11Connection &connection, xcb_window_t window)
{
    xcb_ewmh_get_windows_reply_t list;
    if (!xcb_ewmh_get_client_list_stacking_reply(
            connection.ewmh(),
            xcb_ewmh_get_client_list_stacking(connection.ewmh(), connection.screenNumber()), &list, nullptr))
        return -1;
    int index = -1;
    for (uint32_t i = 0; i < list.windows_len; ++i) {
        if (list.windows[i] == window)
            index = int(i);
    }
    xcb_ewmh_get_windows_reply_wipe(&list);
    return index;
}

// The window's _NET_WM_STATE atoms; none when it has no state (it is withdrawn).
inline std::optional<QList<xcb_atom_t>> wmState(X11Connection &connection, xcb_window_t window)
{
    xcb_ewmh_get_atoms_reply_t atoms;
    if (!xcb_ewmh_get_wm_state_reply(connection.ewmh(), xcb_ewmh_get_wm_state(connection.ewmh(), window),
                                     &atoms, nullptr))
        return std::nullopt;
    const QList<xcb_atom_t> state(atoms.atoms, atoms.atoms + atoms.atoms_len);
    xcb_ewmh_get_atoms_reply_wipe(&atoms);
    return state;
}

// Pointer motion or a button through XTEST, as a person's hand gives them, at `at` on the root.
inline void fakeInput(X11Connection &connection, uint8_t type, uint8_t detail, const QPointF &at = {})
{
    xcb_test_fake_input(connection.xcb(), type, detail, XCB_CURRENT_TIME, connection.root(), int16_t(at.x()),
                        int16_t(at.y()), 0);
    xcb_flush(connection.xcb());
}

} // namespace qv
