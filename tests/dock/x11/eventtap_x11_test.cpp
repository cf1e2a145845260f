#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include <memory>

#include "core/settingsstore.h"
#include "dock/dockmonitor.h"
#include "platform/sim/simdesktop.h"
#include "platform/x11/x11globalinput.h"
#include "platform/x11/x11screens.h"
#include "runtime/qtscheduler.h"
#include "runtime/workqueue.h"
#include "support/recordingeventlog.h"
#include "support/x11clients.h"

using namespace qv;

namespace {

// The Dock monitor on the real display's screens and input, real time and threads; the Dock
// itself (tiles, accessibility) stays simulated.
class EventTapX11Test : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Platform platform = sim.platform();
        platform.screens = &screens;
        platform.globalInput = &input;
        monitor = std::make_unique<DockMonitor>(platform, scheduler, queues, settings, eventLog);
        routes = std::make_unique<QSignalSpy>(monitor.get(), &DockMonitor::globalSwitcherEvent);
        ASSERT_TRUE(input.hasTap());
    }
    void TearDown() override
    {
        xdotool(QStringLiteral("mouseup 1"));
        monitor.reset();
    }
    bool waitForRoutes(int count)
    {
        return QTest::qWaitFor([&] { return routes->count() >= count; }, 5000);
    }
    QString route(int i) const { return routes->at(i).first().toString(); }

    SimDesktop sim;
    X11Screens screens;
    X11GlobalInput input;
    QtScheduler scheduler;
    ThreadQueueFactory queues;
    SettingsStore settings;
    RecordingEventLog eventLog;
    std::unique_ptr<DockMonitor> monitor;
    std::unique_ptr<QSignalSpy> routes;
    X11Clients clients;
};

} // namespace

TEST_F(EventTapX11Test, ConfiguredHotkeysSendTheirRoutesFromAnywhere)
{
    ASSERT_TRUE(xdotool(QStringLiteral("key alt+Tab")));
    ASSERT_TRUE(waitForRoutes(1));
    EXPECT_EQ(route(0), "all");
    EXPECT_EQ(eventLog.events(), QStringList{QStringLiteral("hotkey_all keyCode=48")});

    // Module hotkeys switched on in the settings are grabbed at once.
    ASSERT_TRUE(xdotool(QStringLiteral("key alt+c")));
    QTest::qWait(200);
    EXPECT_EQ(routes->count(), 1);
    settings.set(Settings::enableModuleHotkeys, true);
    ASSERT_TRUE(xdotool(QStringLiteral("key alt+c")));
    ASSERT_TRUE(waitForRoutes(2));
    EXPECT_EQ(route(1), "clipboard");
    ASSERT_TRUE(xdotool(QStringLiteral("key alt+Tab")));
    ASSERT_TRUE(waitForRoutes(3));
    EXPECT_EQ(route(2), "all");
}

TEST_F(EventTapX11Test, FileDragHeldAtTheLeftScreenEdgeOpensTheShelf)
{
    settings.set(Settings::enableModuleHotkeys, true);
    clients.start(QStringLiteral(QV_DRAGSOURCE));
    ASSERT_TRUE(X11Clients::moveNamedWindow(QStringLiteral("qv-drag-source"), 600, 300));
    QTest::qWait(300);

    // Press on the window, move far enough for Qt to start the drag, then to the left edge.
    ASSERT_TRUE(xdotool(QStringLiteral("mousemove --sync 700 400 mousedown 1")));
    for (int x = 690; x > 0; x -= 70) {
        ASSERT_TRUE(xdotool(QStringLiteral("mousemove %1 400").arg(x)));
        QTest::qWait(30);
    }
    ASSERT_TRUE(xdotool(QStringLiteral("mousemove 3 400")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return input.isDraggingData(); }, 5000));
    ASSERT_TRUE(waitForRoutes(1));
    EXPECT_EQ(route(0), "shelf");
    // Resting there longer opens nothing more.
    QTest::qWait(400);
    EXPECT_EQ(routes->count(), 1);

    ASSERT_TRUE(xdotool(QStringLiteral("mouseup 1")));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !input.isDraggingData(); }, 5000));
}
