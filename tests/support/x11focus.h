#pragma once

#include <QList>
#include <QPointF>
#include <QTest>
#include <QTimer>
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

// A drag by hand through XTEST, one step a quarter of a second from a timer of this process: a
// drag of ours runs a loop of its own, which runs the timer too. A press at `from`, two short moves
// left that start the drag, on through the middle to `onto`, two small moves there, and the release.
class HandDrag
{
public:
    explicit HandDrag(X11Connection &connection) : m_connection(connection)
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (m_steps.isEmpty()) {
                m_timer.stop();
                return;
            }
            const auto [type, at] = m_steps.takeFirst();
            fakeInput(m_connection, type, type == XCB_MOTION_NOTIFY ? 0 : 1, at);
        });
    }

    void start(const QPoint &from, const QPoint &onto)
    {
        m_steps = {{XCB_MOTION_NOTIFY, from},
                   {XCB_BUTTON_PRESS, from},
                   {XCB_MOTION_NOTIFY, from + QPoint(-12, 0)},
                   {XCB_MOTION_NOTIFY, from + QPoint(-30, 0)},
                   {XCB_MOTION_NOTIFY, (from + onto) / 2},
                   {XCB_MOTION_NOTIFY, onto},
                   {XCB_MOTION_NOTIFY, onto + QPoint(2, 2)},
                   {XCB_MOTION_NOTIFY, onto + QPoint(4, 4)},
                   {XCB_BUTTON_RELEASE, onto + QPoint(4, 4)}};
        m_timer.start(250);
    }
    // True once the release is given, within `timeoutMs`.
    bool finish(int timeoutMs = 10000)
    {
        return QTest::qWaitFor([&] { return !m_timer.isActive(); }, timeoutMs);
    }

private:
    X11Connection &m_connection;
    QTimer m_timer;
    QList<std::pair<uint8_t, QPoint>> m_steps;
};

// The desktop the window manager shows (_NET_CURRENT_DESKTOP); none when it names none.
inline std::optional<uint32_t> currentDesktop(X11Connection &connection)
{
    uint32_t desktop = 0;
    if (!xcb_ewmh_get_current_desktop_reply(
            connection.ewmh(), xcb_ewmh_get_current_desktop(connection.ewmh(), connection.screenNumber()),
            &desktop, nullptr))
        return std::nullopt;
    return desktop;
}

// The desktop a window lies on (_NET_WM_DESKTOP, 0xFFFFFFFF for every desktop); none when unset.
inline std::optional<uint32_t> desktopOf(X11Connection &connection, xcb_window_t window)
{
    uint32_t desktop = 0;
    if (!xcb_ewmh_get_wm_desktop_reply(connection.ewmh(), xcb_ewmh_get_wm_desktop(connection.ewmh(), window),
                                       &desktop, nullptr))
        return std::nullopt;
    return desktop;
}

// Asks the window manager, as a pager does, for at least `count` desktops; whether it has them
// within a few seconds.
inline bool ensureDesktops(X11Connection &connection, uint32_t count)
{
    xcb_ewmh_connection_t *ewmh = connection.ewmh();
    const auto number = [&] {
        uint32_t desktops = 0;
        xcb_ewmh_get_number_of_desktops_reply(ewmh, xcb_ewmh_get_number_of_desktops(ewmh, connection.screenNumber()),
                                              &desktops, nullptr);
        return desktops;
    };
    if (number() >= count)
        return true;
    xcb_ewmh_request_change_number_of_desktops(ewmh, connection.screenNumber(), count);
    xcb_flush(connection.xcb());
    return QTest::qWaitFor([&] { return number() >= count; }, 5000);
}

// Moves the window to `desktop` as `wmctrl -t` does; whether the window manager did within a few
// seconds.
inline bool moveToDesktop(X11Connection &connection, xcb_window_t window, uint32_t desktop)
{
    // Asked again now and then: a window the window manager is still taking on may miss the first.
    for (int attempt = 0; attempt < 5; ++attempt) {
        xcb_ewmh_request_change_wm_desktop(connection.ewmh(), connection.screenNumber(), window, desktop,
                                           XCB_EWMH_CLIENT_SOURCE_TYPE_NORMAL);
        xcb_flush(connection.xcb());
        if (QTest::qWaitFor([&] { return desktopOf(connection, window) == desktop; }, 1000))
            return true;
    }
    return false;
}

// Shows `desktop` as a pager does; whether the window manager did within a few seconds.
inline bool showDesktop(X11Connection &connection, uint32_t desktop)
{
    xcb_ewmh_request_change_current_desktop(connection.ewmh(), connection.screenNumber(), desktop,
                                            XCB_CURRENT_TIME);
    xcb_flush(connection.xcb());
    return QTest::qWaitFor([&] { return currentDesktop(connection) == desktop; }, 5000);
}

} // namespace qv
