#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>

#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>

#include <algorithm>
#include <cstdlib>
#include <optional>

#include "platform/x11/x11connection.h"
#include "platform/x11/x11panelwindows.h"
#include "platform/x11/x11screens.h"

using namespace qv;

namespace {

// A client of our own on the test display, for things the code under test only observes.
class XClient
{
public:
    XClient()
    {
        m_c = xcb_connect(nullptr, nullptr);
        m_screen = xcb_setup_roots_iterator(xcb_get_setup(m_c)).data;
        xcb_ewmh_init_atoms_replies(&m_ewmh, xcb_ewmh_init_atoms(m_c, &m_ewmh), nullptr);
    }
    ~XClient()
    {
        xcb_ewmh_connection_wipe(&m_ewmh);
        xcb_disconnect(m_c);
    }

    void warpPointer(int x, int y)
    {
        xcb_warp_pointer(m_c, XCB_WINDOW_NONE, m_screen->root, 0, 0, 0, 0, int16_t(x), int16_t(y));
        xcb_flush(m_c);
    }

    // A dock-type window that reserves `height` pixels at the bottom of the screen, like a panel.
    xcb_window_t mapBottomPanel(int height)
    {
        const int w = m_screen->width_in_pixels, h = m_screen->height_in_pixels;
        const xcb_window_t window = xcb_generate_id(m_c);
        xcb_create_window(m_c, XCB_COPY_FROM_PARENT, window, m_screen->root, 0, int16_t(h - height),
                          uint16_t(w), uint16_t(height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                          m_screen->root_visual, 0, nullptr);
        xcb_ewmh_set_wm_window_type(&m_ewmh, window, 1, &m_ewmh._NET_WM_WINDOW_TYPE_DOCK);
        xcb_ewmh_wm_strut_partial_t strut{};
        strut.bottom = uint32_t(height);
        strut.bottom_start_x = 0;
        strut.bottom_end_x = uint32_t(w - 1);
        xcb_ewmh_set_wm_strut_partial(&m_ewmh, window, strut);
        xcb_ewmh_set_wm_strut(&m_ewmh, window, 0, 0, 0, uint32_t(height));
        xcb_map_window(m_c, window);
        xcb_flush(m_c);
        return window;
    }

    void destroy(xcb_window_t window)
    {
        xcb_destroy_window(m_c, window);
        xcb_flush(m_c);
    }

    // Whether the window's state says "above"; nothing when it has no state (it is withdrawn).
    std::optional<bool> isAbove(xcb_window_t window)
    {
        xcb_ewmh_get_atoms_reply_t atoms;
        if (!xcb_ewmh_get_wm_state_reply(&m_ewmh, xcb_ewmh_get_wm_state(&m_ewmh, window), &atoms, nullptr))
            return std::nullopt;
        const bool above = std::count(atoms.atoms, atoms.atoms + atoms.atoms_len, m_ewmh._NET_WM_STATE_ABOVE);
        xcb_ewmh_get_atoms_reply_wipe(&atoms);
        return above;
    }

    // Asks the window manager to take "above" from the window, as a pager would; true once the
    // manager has rewritten the state.
    bool takeAbove(xcb_window_t window)
    {
        const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_change_window_attributes(m_c, window, XCB_CW_EVENT_MASK, &mask);
        std::free(xcb_get_input_focus_reply(m_c, xcb_get_input_focus(m_c), nullptr));
        while (xcb_generic_event_t *stale = xcb_poll_for_event(m_c))
            std::free(stale);
        xcb_ewmh_request_change_wm_state(&m_ewmh, 0, window, XCB_EWMH_WM_STATE_REMOVE,
                                         m_ewmh._NET_WM_STATE_ABOVE, 0, XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER);
        xcb_flush(m_c);
        return QTest::qWaitFor([&] {
            bool rewritten = false;
            while (xcb_generic_event_t *event = xcb_poll_for_event(m_c)) {
                rewritten = rewritten || ((event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY &&
                                          reinterpret_cast<xcb_property_notify_event_t *>(event)->atom ==
                                              m_ewmh._NET_WM_STATE);
                std::free(event);
            }
            return rewritten;
        });
    }

private:
    xcb_connection_t *m_c;
    xcb_screen_t *m_screen;
    xcb_ewmh_connection_t m_ewmh{};
};

} // namespace

TEST(X11Screens, MainScreenAndPointerAreInBottomLeftCoordinates)
{
    X11Screens screens;
    const QRect g = QGuiApplication::primaryScreen()->geometry();
    const auto main = screens.mainScreen();
    ASSERT_TRUE(main);
    EXPECT_EQ(main->frame, QRectF(0, 0, g.width(), g.height()));
    ASSERT_FALSE(screens.screens().isEmpty());
    EXPECT_EQ(screens.screens().first(), *main);
    EXPECT_EQ(screens.flipHeight(), g.height());

    XClient client;
    client.warpPointer(100, 200);
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return screens.mouseLocation() == QPointF(100, g.height() - 200); }, 5000))
        << screens.mouseLocation().x() << "," << screens.mouseLocation().y();
}

TEST(X11Screens, ReservedBottomPanelRaisesTheVisibleFrame)
{
    X11Screens screens;
    QSignalSpy changed(&screens, &ScreenService::screensChanged);
    const QRectF frame = screens.mainScreen()->frame;

    XClient client;
    const xcb_window_t panel = client.mapBottomPanel(70);
    const QRectF raised(0, 70, frame.width(), frame.height() - 70);
    EXPECT_TRUE(QTest::qWaitFor([&] { return screens.mainScreen()->visibleFrame == raised; }, 5000));
    EXPECT_GE(changed.count(), 1);
    EXPECT_EQ(screens.mainScreen()->frame, frame);

    client.destroy(panel);
    EXPECT_TRUE(QTest::qWaitFor([&] { return screens.mainScreen()->visibleFrame == frame; }, 5000));
}

// The pointer's motion is told while the watch is on, through XTEST as a real mouse moves it, and
// not once it is off.
TEST(X11Screens, MotionWatchTellsOfPointerMotionOnlyWhileOn)
{
    X11Connection connection;
    X11Screens screens(&connection);
    QSignalSpy moved(&screens, &ScreenService::pointerMoved);
    ASSERT_TRUE(screens.setMotionWatch(true));
    ASSERT_EQ(QProcess::execute(QStringLiteral("xdotool"), {"mousemove_relative", "--", "10", "10"}), 0);
    ASSERT_EQ(QProcess::execute(QStringLiteral("xdotool"), {"mousemove_relative", "--", "-5", "3"}), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return moved.count() > 0; }, 5000));

    ASSERT_TRUE(screens.setMotionWatch(false));
    QTest::qWait(100);
    moved.clear();
    ASSERT_EQ(QProcess::execute(QStringLiteral("xdotool"), {"mousemove_relative", "--", "4", "4"}), 0);
    QTest::qWait(300);
    EXPECT_EQ(moved.count(), 0);
}

// Whether a compositor runs was asked of the server once a second for the whole run; now the
// server says when the compositor's selection changes hands.
TEST(X11PanelWindows, FollowsACompositorStartingAndStoppingWithoutAsking)
{
    X11Connection connection;
    X11PanelWindows panels(connection);
    ASSERT_FALSE(panels.isCompositing()) << "the test display runs no compositor";
    QSignalSpy changed(&panels, &PanelWindowService::compositingChanged);

    // A compositor of our own: a window that owns _NET_WM_CM_S0.
    xcb_connection_t *c = xcb_connect(nullptr, nullptr);
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_window_t owner = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, owner, screen->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    xcb_intern_atom_reply_t *atom =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, 13, "_NET_WM_CM_S0"), nullptr);
    ASSERT_TRUE(atom);
    xcb_set_selection_owner(c, owner, atom->atom, XCB_CURRENT_TIME);
    std::free(atom);
    xcb_flush(c);
    EXPECT_TRUE(QTest::qWaitFor([&] { return panels.isCompositing(); }, 3000));

    xcb_disconnect(c); // the compositor goes away
    EXPECT_TRUE(QTest::qWaitFor([&] { return !panels.isCompositing(); }, 3000));
    EXPECT_EQ(changed.count(), 2);
}

// A state taken away is asked for again, a few times per map so a manager that keeps taking it is
// not pestered, and again after the next map.
TEST(X11PanelWindows, AStateTakenAwayIsAskedBackAFewTimesPerMap)
{
    X11Connection connection;
    X11PanelWindows panels(connection);
    QSignalSpy mapped(&connection, &X11Connection::windowMapped);
    XClient manager;
    QWindow window;
    window.setGeometry(100, 100, 200, 100);
    const auto id = xcb_window_t(window.winId());
    for (int showing = 1; showing <= 2; ++showing) {
        panels.preparePanel(window, PanelKind::passive);
        window.show();
        // Taken only once the panel code has seen the map (its slot runs before the spy's) and the
        // state holds "above": a take the manager handles while still mapping, or before that map
        // reached the panel code, would be spent on the map's own check.
        ASSERT_TRUE(QTest::qWaitFor([&] { return mapped.count() == showing && manager.isAbove(id) == true; }));
        bool askedBack = true;
        for (int taken = 1; taken <= 4 && askedBack; ++taken) {
            ASSERT_TRUE(manager.takeAbove(id));
            askedBack = QTest::qWaitFor([&] { return manager.isAbove(id) == true; }, taken == 1 ? 5000 : 500);
            EXPECT_TRUE(askedBack || taken > 1) << showing;
        }
        EXPECT_FALSE(askedBack) << showing;
        panels.withdrawPanel(window);
        window.hide();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !manager.isAbove(id); }, 3000)) << "withdrawn";
    }
}
