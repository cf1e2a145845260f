#include <gtest/gtest.h>

#include <QProcess>
#include <QTest>

#include <algorithm>
#include <memory>
#include <vector>

#include <signal.h>

#include "core/settingsstore.h"
#include "dock/dockmonitor.h"
#include "platform/permissions.h"
#include "platform/screens.h"
#include "platform/workspace.h"
#include "platform/x11/x11desktop.h"
#include "runtime/qtscheduler.h"
#include "runtime/workqueue.h"
#include "support/recordingeventlog.h"
#include "support/x11clients.h"
#include "support/xfcepanel.h"

using namespace qv;

namespace {

// xdotool's mousemove warps the pointer, which no device reports as motion; the nudge after it
// moves it as a mouse would.
bool movePointer(const QPointF &point)
{
    return xdotool(QStringLiteral("mousemove %1 %2 mousemove_relative 1 0 mousemove_relative -- -1 0")
                       .arg(int(point.x()))
                       .arg(int(point.y())));
}

// xfce4-panel on a desktop of its own (buses, panel) with two terminals titled differently.
class DockPanelX11Test : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (const QString missing = XfcePanelDesktop::missing(); !missing.isEmpty())
            GTEST_SKIP() << missing.toStdString();
        ASSERT_TRUE(xfce.start());
        panel = xfce.panel();
        for (const QString &title : {QStringLiteral("left term"), QStringLiteral("right term")})
            terminals.push_back(xfce.xterm(title));
    }

    void TearDown() override
    {
        monitor.reset();
        desktop.reset();
        xfce.stop();
    }

    void startMonitor()
    {
        desktop = std::make_unique<X11Desktop>();
        platform = desktop->platform();
        monitor = std::make_unique<DockMonitor>(platform, scheduler, queues, settings, eventLog);
    }

    QList<DockIcon> tilesOf(const QString &app) const
    {
        QList<DockIcon> tiles;
        for (const DockIcon &icon : monitor->cachedIcons()) {
            if (icon.appName == app)
                tiles.append(icon);
        }
        return tiles;
    }

    QString appNameOf(qint64 pid) const
    {
        for (const RunningApp &app : platform.workspace->runningApplications()) {
            if (app.pid == pid)
                return app.name;
        }
        return {};
    }

    bool dockListed() const
    {
        for (const RunningApp &app : platform.workspace->runningApplications()) {
            if (app.bundleIdentifier == QLatin1String("com.apple.dock"))
                return true;
        }
        return false;
    }

    XfcePanelDesktop xfce;
    QProcess *panel = nullptr;
    std::vector<QProcess *> terminals;

    // The scheduler outlives the desktop, whose workers may still hand it results as it goes.
    QtScheduler scheduler;
    std::unique_ptr<X11Desktop> desktop;
    Platform platform;
    ThreadQueueFactory queues;
    SettingsStore settings;
    RecordingEventLog eventLog;
    std::unique_ptr<DockMonitor> monitor;
};

} // namespace

TEST_F(DockPanelX11Test, HoveringATaskButtonPublishesItsApplicationWithTheButtonsFrame)
{
    startMonitor();
    QString terminal;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            terminal = appNameOf(terminals.front()->processId());
            return !terminal.isEmpty() && tilesOf(terminal).size() == 2 &&
                   tilesOf(QStringLiteral("Terminal")).size() == 1 &&
                   tilesOf(QStringLiteral("Clock")).size() == 1;
        },
        30000))
        << "no panel tiles were scanned";
    // The panel's tiles can be read: the probe says so (it said so also where they could not be).
    EXPECT_TRUE(platform.permissions->isAccessibilityTrusted());

    // The task button the panel drew for the right terminal, as the panel itself reports it.
    const QRect button = XfcePanelDesktop::iconGeometryOf(QStringLiteral("right term"));
    ASSERT_FALSE(button.isEmpty());
    bool scanned = false;
    for (const DockIcon &icon : tilesOf(terminal))
        scanned = scanned || icon.frame == QRectF(button);
    ASSERT_TRUE(scanned) << "no terminal tile at the panel's own rectangle";

    ASSERT_TRUE(movePointer(QRectF(button).center()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return monitor->hoveredApp() == terminal; }, 5000));
    const double flip = platform.screens->flipHeight();
    EXPECT_EQ(monitor->iconFrame(),
              QRectF(button.x(), flip - button.y() - button.height(), button.width(), button.height()));

    // Away from the panel the hover goes.
    ASSERT_TRUE(movePointer(QPointF(640, 200)));
    ASSERT_TRUE(QTest::qWaitFor([&] { return monitor->hoveredApp().isEmpty(); }, 5000));

    // A panel that stops answering holds up nobody: walks give up on it within their timeouts and
    // the hover over its task button is still answered.
    ASSERT_EQ(::kill(pid_t(panel->processId()), SIGSTOP), 0);
    QTest::qWait(2500);
    ASSERT_TRUE(movePointer(QRectF(button).center()));
    EXPECT_TRUE(QTest::qWaitFor([&] { return monitor->hoveredApp() == terminal; }, 5000));
    ASSERT_EQ(::kill(pid_t(panel->processId()), SIGCONT), 0);
    ASSERT_TRUE(movePointer(QPointF(640, 200)));

    // The panel's bounds are heard only for a while after a change (a window retitling itself no
    // longer reaches this program at every title): buttons that move later, for a new window or
    // with the panel taken to the other edge, are still read where the panel drew them before any
    // hover, and a hover there finds them.
    const auto scannedAt = [&](const QString &title) {
        const QRect drawn = XfcePanelDesktop::iconGeometryOf(title);
        const QList<DockIcon> icons = monitor->cachedIcons();
        return !drawn.isEmpty() && std::any_of(icons.cbegin(), icons.cend(), [&](const DockIcon &icon) {
                   return icon.frame == QRectF(drawn);
               });
    };
    terminals.push_back(xfce.xterm(QStringLiteral("third term")));
    EXPECT_TRUE(QTest::qWaitFor([&] { return scannedAt(QStringLiteral("third term")); }, 15000))
        << "the new window's button was not read";
    ASSERT_TRUE(xfce.moveTo(XfcePanelDesktop::Edge::top));
    const auto atTop = [&](const QString &launcher) {
        const QList<DockIcon> tiles = tilesOf(launcher);
        return tiles.size() == 1 && tiles.front().frame.bottom() < 100;
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return atTop(QStringLiteral("Terminal")) && atTop(QStringLiteral("Clock")); },
                                15000))
        << "the launchers were not read at the top";
    const QRectF clock = tilesOf(QStringLiteral("Clock")).front().frame;
    ASSERT_TRUE(movePointer(clock.center()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return monitor->hoveredApp() == QLatin1String("Clock"); }, 5000));
    EXPECT_EQ(monitor->iconFrame(), QRectF(clock.x(), flip - clock.y() - clock.height(), clock.width(), clock.height()));
    ASSERT_TRUE(movePointer(QPointF(640, 400)));
    ASSERT_TRUE(QTest::qWaitFor([&] { return monitor->hoveredApp().isEmpty(); }, 5000));

    // The panel quits mid-run: its Dock goes, the terminals and this program stay, and its old
    // place shows nothing.
    panel->kill();
    panel->waitForFinished(5000);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dockListed(); }, 10000));
    EXPECT_FALSE(platform.permissions->isAccessibilityTrusted()) << "no panel on the bus, yet granted";
    ASSERT_TRUE(movePointer(clock.center()));
    QTest::qWait(500);
    EXPECT_TRUE(monitor->hoveredApp().isEmpty());
    for (QProcess *process : terminals)
        EXPECT_EQ(process->state(), QProcess::Running);
    EXPECT_FALSE(appNameOf(terminals.back()->processId()).isEmpty());
}
