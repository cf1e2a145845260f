#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>

#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>

#include <cstdlib>
#include <memory>

#include "platform/x11/x11connection.h"
#include "platform/x11/x11panelwindows.h"
#include "platform/x11/x11screens.h"
#include "platform/x11/x11session.h"
#include "support/x11clients.h"
#include "support/x11focus.h"

using namespace qv;

namespace {

// Asks the window manager to take "above" from the window, as a pager would; true once the
// manager has rewritten the state.
bool takeAbove(X11Connection &pager, xcb_window_t window)
{
    pager.selectWindowEvents(window);
    std::free(xcb_get_input_focus_reply(pager.xcb(), xcb_get_input_focus(pager.xcb()), nullptr));
    pager.readQueuedEvents(); // the changes before this request
    QSignalSpy changed(&pager, &X11Connection::windowPropertyChanged);
    xcb_ewmh_request_change_wm_state(pager.ewmh(), pager.screenNumber(), window, XCB_EWMH_WM_STATE_REMOVE,
                                     pager.ewmh()->_NET_WM_STATE_ABOVE, 0, XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER);
    xcb_flush(pager.xcb());
    return QTest::qWaitFor([&] {
        return changed.contains(QVariantList{window, pager.ewmh()->_NET_WM_STATE});
    });
}

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

    ASSERT_TRUE(xdotool(QStringLiteral("mousemove 100 200")));
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return screens.mouseLocation() == QPointF(100, g.height() - 200); }, 5000))
        << screens.mouseLocation().x() << "," << screens.mouseLocation().y();
}

TEST(X11Screens, ReservedBottomPanelRaisesTheVisibleFrame)
{
    X11Screens screens;
    QSignalSpy changed(&screens, &ScreenService::screensChanged);
    const QRectF frame = screens.mainScreen()->frame;

    // A dock-type window of another client's that reserves 70 pixels at the bottom, like a panel.
    X11Session client;
    xcb_ewmh_connection_t *ewmh = client.ewmh();
    const xcb_window_t panel = X11Clients::createWindow(
        client.xcb(), client.root(), QRect(0, int(frame.height()) - 70, int(frame.width()), 70));
    xcb_ewmh_set_wm_window_type(ewmh, panel, 1, &ewmh->_NET_WM_WINDOW_TYPE_DOCK);
    xcb_ewmh_wm_strut_partial_t strut{};
    strut.bottom = 70;
    strut.bottom_end_x = uint32_t(frame.width()) - 1;
    xcb_ewmh_set_wm_strut_partial(ewmh, panel, strut);
    xcb_ewmh_set_wm_strut(ewmh, panel, 0, 0, 0, 70);
    xcb_map_window(client.xcb(), panel);
    xcb_flush(client.xcb());
    const QRectF raised(0, 70, frame.width(), frame.height() - 70);
    EXPECT_TRUE(QTest::qWaitFor([&] { return screens.mainScreen()->visibleFrame == raised; }, 5000));
    EXPECT_GE(changed.count(), 1);
    EXPECT_EQ(screens.mainScreen()->frame, frame);

    xcb_destroy_window(client.xcb(), panel);
    xcb_flush(client.xcb());
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
    auto compositor = std::make_unique<X11Session>();
    xcb_connection_t *c = compositor->xcb();
    const xcb_window_t owner = X11Clients::createWindow(c, compositor->root(), QRect(0, 0, 1, 1));
    xcb_set_selection_owner(c, owner, compositor->ewmh()->_NET_WM_CM_Sn[0], XCB_CURRENT_TIME);
    xcb_flush(c);
    EXPECT_TRUE(QTest::qWaitFor([&] { return panels.isCompositing(); }, 3000));

    compositor.reset(); // the compositor goes away
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
    X11Connection pager;
    QWindow window;
    window.setGeometry(100, 100, 200, 100);
    const auto id = xcb_window_t(window.winId());
    const auto above = [&] {
        return wmState(pager, id).value_or(QList<xcb_atom_t>()).contains(pager.ewmh()->_NET_WM_STATE_ABOVE);
    };
    for (int showing = 1; showing <= 2; ++showing) {
        panels.preparePanel(window, PanelKind::passive);
        window.show();
        // Taken only once the panel code has seen the map (its slot runs before the spy's) and the
        // state holds "above": a take the manager handles while still mapping, or before that map
        // reached the panel code, would be spent on the map's own check.
        ASSERT_TRUE(QTest::qWaitFor([&] { return mapped.count() == showing && above(); }));
        bool askedBack = true;
        for (int taken = 1; taken <= 4 && askedBack; ++taken) {
            ASSERT_TRUE(takeAbove(pager, id));
            askedBack = QTest::qWaitFor(above, taken == 1 ? 5000 : 500);
            EXPECT_TRUE(askedBack || taken > 1) << showing;
        }
        EXPECT_FALSE(askedBack) << showing;
        panels.withdrawPanel(window);
        window.hide();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !wmState(pager, id); }, 3000)) << "withdrawn";
    }
}
