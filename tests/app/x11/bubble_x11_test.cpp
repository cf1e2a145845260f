#include <QApplication>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>

#include "app/overlaycontroller.h"
#include "core/settingsstore.h"
#include "dock/dockmonitor.h"
#include "platform/screens.h"
#include "platform/sim/simdesktop.h"
#include "platform/x11/x11connection.h"
#include "platform/x11/x11desktop.h"
#include "runtime/qtscheduler.h"
#include "runtime/workqueue.h"
#include "support/recordingeventlog.h"
#include "support/x11clients.h"
#include "support/x11focus.h"
#include "ui/panel.h"
#include "windows/windowengine.h"

using namespace qv;

namespace {

// The real bubble on the real display under a window manager, beside a Dock tile the simulated
// desktop reports (Linux desktops have no Dock to read). The pointer is moved with XTEST.
class BubbleX11Test : public ::testing::Test
{
protected:
    BubbleX11Test()
    {
        Platform platform = sim.platform();
        platform.screens = x11.platform().screens;
        platform.panelWindows = x11.platform().panelWindows;
        const auto main = platform.screens->mainScreen();
        if (main)
            screenHeight = main->frame.height();
        // A tile at the bottom of the screen, in accessibility (top-left) coordinates.
        sim.addDockTile("Files", QRectF(600, screenHeight - 64, 64, 64));
        const qint64 pid =
            sim.workspace.launch(RunningApp{0, "org.example.files", "Files", false, false, true});
        QImage image(640, 400, QImage::Format_ARGB32_Premultiplied);
        image.fill(QColor(90, 150, 210));
        sim.windowServer.addWindow(pid, QRectF(100, 100, 640, 400), QStringLiteral("Files 1"), image);

        monitor = std::make_unique<DockMonitor>(platform, scheduler, queues, settings, events);
        engine = std::make_unique<WindowEngine>(platform, scheduler, queues, settings, events);
        controller = std::make_unique<OverlayController>(platform, scheduler, settings, nullptr);
        controller->setupOverlayWindow();
        controller->setupPeekingWindow();
        controller->setupBindings(*monitor, *engine);
        controller->startMouseCheckTimer();
    }

    ~BubbleX11Test() override { controller.reset(); }

    void movePointer(int x, int y) { fakeInput(connection, XCB_MOTION_NOTIFY, 0, QPoint(x, y)); }
    xcb_window_t activeWindow() { return qv::activeWindow(connection); }
    qint64 pidOf(xcb_window_t window) { return qv::pidOf(connection, window); }
    int stackingIndex(xcb_window_t window) { return qv::stackingIndex(connection, window); }
    bool isMapped(xcb_window_t window) { return isViewable(connection, window); }

    // The scheduler outlives the desktop, whose workers may still hand it results as it goes.
    QtScheduler scheduler;
    SimDesktop sim;
    X11Desktop x11;
    X11Connection connection;
    SchedulerQueueFactory queues{scheduler};
    SettingsStore settings;
    RecordingEventLog events;
    double screenHeight = 768;
    std::unique_ptr<DockMonitor> monitor;
    std::unique_ptr<WindowEngine> engine;
    std::unique_ptr<OverlayController> controller;
    X11Clients clients;
};

} // namespace

TEST_F(BubbleX11Test, BubbleShowsAboveANormalWindowOutOfTaskbarsOnEveryShowingAndGoesWhenThePointerLeaves)
{
    ASSERT_TRUE(connection.isValid());
    const qint64 xterm = clients.start("xterm", {"-geometry", "80x24+0+0", "-e", "sleep 600"});
    ASSERT_NE(xterm, 0);
    // The terminal is focused, and stays so for a moment (a window of an earlier program may still
    // be going away).
    ASSERT_TRUE(QTest::qWaitFor([&] { return pidOf(activeWindow()) == xterm; }, 10000));
    QTest::qWait(300);
    const xcb_window_t active = activeWindow();
    ASSERT_EQ(pidOf(active), xterm);

    KeyPanel &panel = *controller->overlayWindow();
    xcb_ewmh_connection_t *ewmh = connection.ewmh();
    // The window manager forgets a window's hints when it is hidden: every showing must keep the
    // bubble out of taskbars and pagers, not only the first.
    for (int showing = 1; showing <= 3; ++showing) {
        SCOPED_TRACE(showing);
        movePointer(632, int(screenHeight) - 32);
        ASSERT_TRUE(QTest::qWaitFor([&] { return panel.isVisible() && panel.alpha() > 0.99; }, 2000));
        const auto bubble = xcb_window_t(panel.winId());
        ASSERT_TRUE(QTest::qWaitFor([&] { return isMapped(bubble) && stackingIndex(bubble) >= 0; }, 2000));
        EXPECT_GT(stackingIndex(bubble), stackingIndex(active));
        EXPECT_EQ(activeWindow(), active);
        EXPECT_LT(panel.geometry().bottom(), screenHeight - 64) << "the bubble sits above the tile";
        // Above others, out of taskbars and pagers, and on every desktop (openbox reports that through
        // the desktop number and drops the sticky state we asked for).
        const QList<xcb_atom_t> state = wmState(connection, bubble).value_or(QList<xcb_atom_t>());
        for (xcb_atom_t atom :
             {ewmh->_NET_WM_STATE_SKIP_TASKBAR, ewmh->_NET_WM_STATE_SKIP_PAGER, ewmh->_NET_WM_STATE_ABOVE})
            EXPECT_TRUE(state.contains(atom)) << atom;
        uint32_t desktop = 0;
        ASSERT_TRUE(
            xcb_ewmh_get_wm_desktop_reply(ewmh, xcb_ewmh_get_wm_desktop(ewmh, bubble), &desktop, nullptr));
        EXPECT_EQ(desktop, 0xFFFFFFFFu);
        if (showing == 3)
            break;
        movePointer(20, 300);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !panel.isVisible() && !isMapped(bubble); }, 2000));
    }
    const auto bubble = xcb_window_t(panel.winId());

    movePointer(20, 300);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !panel.isVisible() && !isMapped(bubble); }, 2000));
    EXPECT_EQ(activeWindow(), active);
}
