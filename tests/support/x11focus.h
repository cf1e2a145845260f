#pragma once

#include <QtGlobal>

#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>

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

} // namespace qv
