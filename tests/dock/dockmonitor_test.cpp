#include <gtest/gtest.h>

#include <QSignalSpy>

#include <latch>
#include <thread>

#include "core/settingsstore.h"
#include "dock/dockmonitor.h"
#include "platform/sim/simdesktop.h"
#include "support/recordingeventlog.h"
#include "runtime/manualscheduler.h"
#include "runtime/workqueue.h"

using namespace qv;
using Reason = DockMonitor::IconRefreshReason;

namespace {

// Passes through to the simulated accessibility and notes the time of every Dock scan (a scan is
// the only caller of applicationElement); `duringScan` runs once inside the next scan.
class ScanProbe final : public AccessibilityService
{
public:
    ScanProbe(SimAccessibility &sim, Scheduler &scheduler) : m_sim(sim), m_scheduler(scheduler) {}
    bool isProcessTrusted() const override
    {
        ++trustChecks;
        return m_sim.isProcessTrusted();
    }
    AXElementPtr applicationElement(qint64 pid) override
    {
        starts.push_back(m_scheduler.now());
        if (auto hook = std::exchange(duringScan, {}))
            hook();
        return m_sim.applicationElement(pid);
    }
    std::vector<double> starts;
    // Every scan asks this first, also one that finds no Dock and gives up at once.
    mutable int trustChecks = 0;
    std::function<void()> duringScan;

private:
    SimAccessibility &m_sim;
    Scheduler &m_scheduler;
};

// 1440x900 main screen with a 70 pt bottom Dock; tiles A, B, C are 60 pt squares 4 pt above the
// bottom edge (screen y 4...64) at x 500, 570, 640.
class DockMonitorTest : public ::testing::Test
{
public:
    void SetUp() override
    {
        sim.addDefaultScreen();
        sim.screens.setMouseLocation(away);
        for (int i = 0; i < 3; ++i)
            tiles.push_back(sim.addDockTile(QString(QChar('A' + i)), QRectF(500 + 70 * i, 836, 60, 60)));
    }
    void start()
    {
        Platform platform = sim.platform();
        platform.accessibility = &probe;
        monitor = std::make_unique<DockMonitor>(platform, scheduler, queues, settings, eventLog);
        scheduler.runPending();
    }
    int scans() const { return int(probe.starts.size()); }
    QStringList cachedNames() const
    {
        QStringList names;
        for (const auto &icon : monitor->cachedIcons())
            names << icon.appName;
        return names;
    }
    void hoverAt(const QPointF &point)
    {
        sim.screens.setMouseLocation(point);
        scheduler.advance(DockMonitor::hoverInterval);
    }
    // A non-immediate request is refused until `backoff` after `from` and accepted just after it.
    void expectBackoff(double from, double backoff, Reason reason = Reason::cacheEmpty)
    {
        const int before = scans();
        if (backoff > 0) {
            scheduler.advance(from + backoff - 0.001 - scheduler.now());
            monitor->requestIconRefresh(reason, false);
            scheduler.runPending();
            EXPECT_EQ(scans(), before) << "accepted before the back-off of " << backoff << " s ended";
            scheduler.advance(0.002);
        }
        monitor->requestIconRefresh(reason, false);
        scheduler.runPending();
        EXPECT_EQ(scans(), before + 1) << "refused after the back-off of " << backoff << " s";
    }
    std::shared_ptr<SimAXElement> dockApp() { return sim.accessibility.appElement(sim.dockPid()); }
    // Launches a new Dock process with tiles at the places of tiles A, B, C.
    void launchDock(const QStringList &titles)
    {
        const qint64 pid = sim.workspace.launch({0, "com.apple.dock", "Dock", false, false, false});
        auto list = sim.accessibility.makeElement(pid);
        list->set("AXRole", QString("AXList"));
        for (int i = 0; i < titles.size(); ++i) {
            auto tile = sim.accessibility.makeElement(pid);
            tile->set("AXTitle", titles[i]);
            tile->set("AXPosition", QPointF(500 + 70 * i, 836));
            tile->set("AXSize", QSizeF(60, 60));
            list->addChild(tile);
        }
        sim.accessibility.appElement(pid)->addChild(list);
    }

    const QPointF away{720, 450};
    SimDesktop sim;
    ManualScheduler scheduler;
    SchedulerQueueFactory queues{scheduler};
    SettingsStore settings;
    RecordingEventLog eventLog;
    ScanProbe probe{sim.accessibility, scheduler};
    std::vector<std::shared_ptr<SimAXElement>> tiles;
    std::unique_ptr<DockMonitor> monitor;
};

const QRectF tileA(500, 4, 60, 60);

TEST_F(DockMonitorTest, DockSideComesFromTheVisibleFrameThenThePreference)
{
    start();
    const QRectF frame(0, 0, 1440, 900);
    const struct
    {
        QRectF visible;
        QVariant orientation;
        DockPosition expected;
    } rows[] = {
        {{0, 70, 1440, 805}, "left", DockPosition::bottom}, {{70, 0, 1370, 875}, {}, DockPosition::left},
        {{0, 0, 1370, 875}, {}, DockPosition::right},       {{0, 0, 1440, 875}, "right", DockPosition::right},
        {{0, 0, 1440, 875}, "left", DockPosition::left},    {{0, 0, 1440, 875}, {}, DockPosition::bottom},
        {{0, 0, 1440, 875}, "top", DockPosition::top},      {{0, 0, 1440, 875}, 2, DockPosition::bottom},
    };
    for (const auto &row : rows) {
        sim.dockPreferences.set("orientation", row.orientation);
        EXPECT_EQ(monitor->dockPosition({frame, row.visible}), row.expected)
            << row.orientation.toString().toStdString();
    }
}

TEST_F(DockMonitorTest, DockBandIsEightyPointsDeepFromTheDockEdgeOfTheScreenUnderThePointer)
{
    start();
    const ScreenInfo second{{1440, 0, 1920, 1080}, {1440, 0, 1920, 1055}};
    const struct
    {
        QRectF mainVisible;
        QPointF point;
        bool near;
    } rows[] = {
        {{0, 70, 1440, 805}, {720, 79}, true},   {{0, 70, 1440, 805}, {720, 81}, false},
        {{70, 0, 1370, 875}, {79, 450}, true},   {{70, 0, 1370, 875}, {81, 450}, false},
        {{70, 0, 1370, 875}, {720, 10}, false},  {{0, 0, 1370, 875}, {1361, 450}, true},
        {{0, 0, 1370, 875}, {1359, 450}, false}, {{0, 70, 1440, 805}, {2000, 79}, true},
        {{0, 70, 1440, 805}, {2000, 81}, false}, {{0, 70, 1440, 805}, {-500, 79}, true},
    };
    for (const auto &row : rows) {
        sim.screens.setScreens({{{0, 0, 1440, 900}, row.mainVisible}, second});
        EXPECT_EQ(monitor->isMouseNearDock(row.point), row.near) << row.point.x() << "," << row.point.y();
    }
}

struct MotionWatchCase
{
    const char *name;
    bool availableAtStart;
    std::function<void(DockMonitorTest &)> afterStart;
    bool watched;
};

void PrintTo(const MotionWatchCase &row, std::ostream *os)
{
    *os << row.name;
}

// Without the desktop's motion notices nothing would wake a sleeping hover tick, so it must never
// sleep: a pointer that rested and then moves on would keep a stale hover for good.
const MotionWatchCase motionWatchCases[] = {
    {"watched", true, [](DockMonitorTest &) {}, true},
    {"no watch on this desktop", false, [](DockMonitorTest &) {}, false},
    {"watch refused as the tick would sleep", true,
     [](DockMonitorTest &t) { t.sim.screens.setMotionWatchAvailable(false); }, false},
    // The Dock's return must start the tick by itself: no motion notice will.
    {"no watch, Dock restarted", false,
     [](DockMonitorTest &t) {
         t.scheduler.advance(1.0);
         t.sim.workspace.terminate(t.sim.dockPid());
         t.launchDock({"A", "B", "C"});
         t.scheduler.runPending();
     },
     false},
};

class MotionWatchTest : public DockMonitorTest, public ::testing::WithParamInterface<MotionWatchCase>
{
};

// Moving between tiles keeps the hover until the pointer leaves the band.
TEST_P(MotionWatchTest, HoverFollowsThePointerAfterRestsWhetherOrNotMotionIsReported)
{
    sim.screens.setMotionWatchAvailable(GetParam().availableAtStart);
    start();
    GetParam().afterStart(*this);
    QStringList published;
    QObject::connect(monitor.get(), &DockMonitor::hoveredAppChanged,
                     [&](const QString &app) { published << app; });
    hoverAt({530, 34});
    EXPECT_EQ(monitor->iconFrame(), tileA);
    hoverAt({565, 34}); // gap between A and B
    hoverAt({530, 75}); // band above the tiles
    EXPECT_EQ(monitor->hoveredApp(), "A");
    scheduler.advance(5.0);
    const auto before = scheduler.callbacksRun();
    scheduler.advance(1.0);
    EXPECT_EQ(scheduler.callbacksRun() == before, GetParam().watched) << "the tick sleeps only while watched";
    hoverAt({600, 34});
    EXPECT_EQ(monitor->iconFrame(), QRectF(570, 4, 60, 60));
    scheduler.advance(5.0);
    hoverAt(away);
    EXPECT_EQ(published, QStringList({"A", "B", ""}));
    EXPECT_EQ(monitor->iconFrame(), QRectF());
}

INSTANTIATE_TEST_SUITE_P(Desktops, MotionWatchTest, ::testing::ValuesIn(motionWatchCases));

TEST_F(DockMonitorTest, SmallTileMovesKeepThePublishedFrame)
{
    const struct
    {
        double dx, dy, dw, dh;
        bool republished;
    } rows[] = {
        {3, 3, 4, 4, false},  {-3, -3, -4, -4, false}, {3.5, 0, 0, 0, true},
        {0, 3.5, 0, 0, true}, {0, 0, 4.5, 0, true},    {0, 0, 0, 4.5, true},
    };
    start();
    for (const auto &row : rows) {
        hoverAt({530, 34});
        ASSERT_EQ(monitor->iconFrame(), tileA);
        QSignalSpy spy(monitor.get(), &DockMonitor::iconFrameChanged);
        // Centre moves by (dx, dy) in accessibility coordinates, size grows by (dw, dh).
        tiles[0]->set("AXPosition", QPointF(500 + row.dx - row.dw / 2, 836 + row.dy - row.dh / 2));
        tiles[0]->set("AXSize", QSizeF(60 + row.dw, 60 + row.dh));
        hoverAt({530, 34});
        EXPECT_EQ(spy.count(), row.republished ? 1 : 0)
            << row.dx << " " << row.dy << " " << row.dw << " " << row.dh;
        EXPECT_EQ(monitor->iconFrame() != tileA, row.republished);
        tiles[0]->set("AXPosition", QPointF(500, 836));
        tiles[0]->set("AXSize", QSizeF(60, 60));
        hoverAt(away);
    }
}

TEST_F(DockMonitorTest, FlipUsesTheMainScreenHeightWithAScreenAboveIt)
{
    sim.screens.setScreens(
        {{{0, 0, 1440, 900}, {0, 70, 1440, 805}}, {{0, 900, 1440, 900}, {0, 900, 1440, 900}}});
    start();
    hoverAt({530, 934}); // where a flip by the highest screen edge would put tile A
    EXPECT_EQ(monitor->hoveredApp(), "");
    hoverAt({530, 34});
    EXPECT_EQ(monitor->iconFrame(), tileA);
    // A cached frame that lands on no screen once flipped is taken as it is.
    const DockIcon raw{"R", QRectF(500, 1000, 60, 60), nullptr};
    EXPECT_EQ(monitor->hitTestIcon({raw}, {530, 1030})->frame, raw.frame);
    EXPECT_FALSE(monitor->hitTestIcon({DockIcon{"E", QRectF(), nullptr}}, {0, 0}));
}

TEST_F(DockMonitorTest, SuspensionHidesTheHoverDropsRefreshesAndResumesWithAScan)
{
    start();
    hoverAt({530, 34});
    monitor->setInteractionSuspended(true);
    EXPECT_EQ(monitor->hoveredApp(), "");
    const int before = scans();
    monitor->requestIconRefresh(Reason::mouseEnteredDockArea, true);
    scheduler.advance(2.0);
    EXPECT_EQ(monitor->hoveredApp(), "");
    EXPECT_EQ(scans(), before);
    monitor->requestIconRefresh(Reason::bootstrap, true);
    scheduler.runPending();
    EXPECT_EQ(scans(), before + 1);
    monitor->setInteractionSuspended(false);
    scheduler.runPending();
    EXPECT_EQ(scans(), before + 2);
    hoverAt({530, 34});
    EXPECT_EQ(monitor->hoveredApp(), "A");
}

// What went wrong: a hit found by a tick just before the Super Panel opened was published after
// suspension, so the bubble could come up over the panel.
TEST_F(DockMonitorTest, HoverFoundJustBeforeSuspensionIsNotPublished)
{
    start();
    sim.accessibility.setReadDelay(1e-6, [&](double) { monitor->setInteractionSuspended(true); });
    hoverAt({530, 34});
    sim.accessibility.setReadDelay(0, {});
    EXPECT_TRUE(monitor->isInteractionSuspended());
    EXPECT_EQ(monitor->hoveredApp(), "");
}

TEST_F(DockMonitorTest, NonImmediateRequestsKeepTheirReasonsSpacing)
{
    start();
    const struct
    {
        Reason reason;
        double spacing;
    } rows[] = {
        {Reason::bootstrap, 0},           {Reason::cacheEmpty, 0},         {Reason::mouseEnteredDockArea, 0},
        {Reason::dockSettingsChanged, 0}, {Reason::workspaceChanged, 0.8}, {Reason::deferred, 0.8},
        {Reason::dockAreaPolling, 1.0}};
    for (const auto &row : rows) {
        SCOPED_TRACE(int(row.reason));
        scheduler.advance(2.0);
        const int before = scans();
        for (int i = 0; i < 2; ++i) {
            monitor->requestIconRefresh(row.reason, true);
            scheduler.runPending();
        }
        EXPECT_EQ(scans(), before + 2) << "immediate requests skip the spacing";
        expectBackoff(probe.starts.back(), row.spacing, row.reason);
    }
}

TEST_F(DockMonitorTest, RequestsArrivingDuringAScanAreDroppedOrDeferred)
{
    start();
    const struct
    {
        std::vector<std::pair<Reason, bool>> during;
        int followUps;
    } rows[] = {
        {{{Reason::dockAreaPolling, false}}, 0},
        // Re-issued as `deferred` when the scan ends, and dropped there by its 0.8 s spacing.
        {{{Reason::workspaceChanged, false}}, 0},
        {{{Reason::mouseEnteredDockArea, true}}, 1},
        {{{Reason::workspaceChanged, false}, {Reason::cacheEmpty, true}}, 1},
        {{{Reason::cacheEmpty, true}, {Reason::workspaceChanged, false}, {Reason::dockAreaPolling, false}},
         1},
    };
    for (const auto &row : rows) {
        scheduler.advance(2.0);
        probe.duringScan = [&] {
            for (const auto &[reason, immediate] : row.during)
                monitor->requestIconRefresh(reason, immediate);
        };
        const int before = scans();
        monitor->requestIconRefresh(Reason::dockSettingsChanged, true);
        scheduler.runPending();
        EXPECT_EQ(scans(), before + 1 + row.followUps) << int(row.during.front().first);
    }
}

TEST_F(DockMonitorTest, FailedScansBackOffUpToSixSecondsAndASuccessResetsIt)
{
    const struct
    {
        int firstError;
        std::vector<double> backoffs;
    } rows[] = {{AXError::failure, {0.5, 0.9, 1.62, 2.916, 5.2488, 6.0, 6.0}},
                {AXError::cannotComplete, {1.0, 1.8, 3.24, 5.832, 6.0}}};
    start();
    for (const auto &row : rows) {
        SCOPED_TRACE(row.firstError);
        dockApp()->setError("AXChildren", row.firstError);
        monitor->requestIconRefresh(Reason::dockSettingsChanged, true);
        scheduler.runPending();
        // Later failures grow the back-off whatever their cause.
        dockApp()->setError("AXChildren", AXError::failure);
        for (double backoff : row.backoffs)
            expectBackoff(probe.starts.back(), backoff);
        EXPECT_EQ(cachedNames(), QStringList({"A", "B", "C"})) << "failures keep the last good tiles";
        dockApp()->setError("AXChildren", 0);
        monitor->requestIconRefresh(Reason::dockSettingsChanged, true);
        scheduler.runPending();
        expectBackoff(probe.starts.back(), 0.0);
        dockApp()->setError("AXChildren", AXError::failure);
        monitor->requestIconRefresh(Reason::dockSettingsChanged, true);
        scheduler.runPending();
        expectBackoff(probe.starts.back(), 0.5);
        dockApp()->setError("AXChildren", 0);
        monitor->requestIconRefresh(Reason::dockSettingsChanged, true);
        scheduler.advance(10);
    }
}

struct ScanOutcome
{
    const char *name;
    std::function<void(DockMonitorTest &)> setup;
    QStringList stored;
    double backoff;
};

void PrintTo(const ScanOutcome &outcome, std::ostream *os)
{
    *os << outcome.name;
}

std::function<void(DockMonitorTest &)> readsTake(double seconds)
{
    return [seconds](DockMonitorTest &t) {
        t.sim.accessibility.setReadDelay(seconds, [&t](double s) { t.scheduler.skipTime(s); });
    };
}

const QStringList kept{"A", "B", "C"};
const QStringList allFour{"A", "B", "C", "D"};
const QStringList withoutB{"A", "C", "D"};

// Starting from a stored A, B, C with a tile D added, what one scan stores and how long
// non-immediate requests are then held back. 15 reads make a scan of four tiles.
const ScanOutcome scanOutcomes[] = {
    {"fast", [](DockMonitorTest &) {}, allFour, 0},
    {"slow but within budget", readsTake(0.02), allFour, 0.5},
    {"past the 0.6 s budget", readsTake(0.06), kept, 1.0},
    {"tile title unreadable", [](DockMonitorTest &t) { t.tiles[1]->setError("AXTitle", AXError::noValue); },
     withoutB, 0.5},
    {"tile cannot complete",
     [](DockMonitorTest &t) { t.tiles[1]->setError("AXSize", AXError::cannotComplete); }, kept, 1.0},
    {"spacer", [](DockMonitorTest &t) { t.tiles[1]->set("AXTitle", QString()); }, withoutB, 0},
    {"position of the wrong kind", [](DockMonitorTest &t) { t.tiles[1]->set("AXPosition", QString("x")); },
     withoutB, 0.5},
    {"list role cannot complete",
     [](DockMonitorTest &t) { t.sim.dockList()->setError("AXRole", AXError::cannotComplete); }, kept, 1.0},
    {"Dock cannot complete",
     [](DockMonitorTest &t) { t.dockApp()->setError("AXChildren", AXError::cannotComplete); }, kept, 1.0},
    {"every list is read, other roles are not",
     [](DockMonitorTest &t) {
         for (const QString role : {"AXList", "AXMenu"}) {
             auto list = t.sim.accessibility.makeElement(t.sim.dockPid());
             list->set("AXRole", role);
             auto tile = t.sim.accessibility.makeElement(t.sim.dockPid());
             tile->set("AXTitle", role == "AXList" ? QString("Trash") : QString("Menu"));
             tile->set("AXPosition", QPointF(900, 836));
             tile->set("AXSize", QSizeF(60, 60));
             list->addChild(tile);
             t.dockApp()->addChild(list);
         }
     },
     {"A", "B", "C", "D", "Trash"},
     0},
    {"empty Dock is stored", [](DockMonitorTest &t) { t.sim.clearDockTiles(); }, {}, 0},
};

class DockScanTest : public DockMonitorTest, public ::testing::WithParamInterface<ScanOutcome>
{
};

TEST_P(DockScanTest, StoresTilesAndBacksOffByOutcome)
{
    start();
    sim.addDockTile("D", QRectF(710, 836, 60, 60));
    // Suspended, the hover tick reads no tiles and only `bootstrap` requests get through.
    monitor->setInteractionSuspended(true);
    GetParam().setup(*this);
    monitor->requestIconRefresh(Reason::bootstrap, true);
    scheduler.runPending();
    sim.accessibility.setReadDelay(0, {});
    scheduler.runPending();
    EXPECT_EQ(cachedNames(), GetParam().stored);
    expectBackoff(scheduler.now(), GetParam().backoff, Reason::bootstrap);
}

INSTANTIATE_TEST_SUITE_P(Outcomes, DockScanTest, ::testing::ValuesIn(scanOutcomes));

TEST_F(DockMonitorTest, EmptyDockIsAskedForAgainOnEveryTick)
{
    start();
    hoverAt({530, 34});
    sim.clearDockTiles();
    monitor->requestIconRefresh(Reason::dockSettingsChanged, true);
    scheduler.runPending();
    const int before = scans();
    hoverAt({530, 34});
    EXPECT_EQ(monitor->hoveredApp(), "");
    scheduler.advance(2 * DockMonitor::hoverInterval);
    EXPECT_EQ(scans(), before + 3);
}

TEST_F(DockMonitorTest, DesktopNotificationsAskForRefreshes)
{
    start();
    const qint64 other = sim.workspace.launch({0, "org.example.other", "Other", false, false, true});
    const struct
    {
        const char *name;
        std::function<void(int)> act;
        bool immediate;
    } rows[] = {
        {"launch",
         [&](int) {
             sim.workspace.launch({0, "org.example.x", "X", false, false, true});
         },
         false},
        {"hide/unhide", [&](int i) { sim.workspace.setHidden(other, i == 0); }, false},
        {"space", [&](int) { sim.workspace.switchSpace(); }, false},
        {"screens wake", [&](int) { sim.workspace.wakeScreens(); }, true},
        {"screens change",
         [&](int i) {
             sim.screens.setScreens({{{0, 0, 1440.0 + i, 900}, {0, 70, 1440, 805}}});
         },
         true},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        scheduler.advance(2.0);
        const int before = scans();
        row.act(0);
        scheduler.advance(0.1);
        row.act(1);
        scheduler.runPending();
        EXPECT_EQ(scans(), before + (row.immediate ? 2 : 1));
    }
    sim.workspace.sleepScreens();
    EXPECT_TRUE(monitor->cachedIcons().isEmpty());
    sim.dockPreferences.set("autohide", true);
    EXPECT_TRUE(monitor->refreshDockAutohideState());
    scheduler.runPending();
    EXPECT_TRUE(monitor->isDockAutohideEnabled());
    EXPECT_FALSE(monitor->refreshDockAutohideState());
    sim.dockPreferences.set("autohide", "no");
    EXPECT_FALSE(monitor->refreshDockAutohideState());
}

TEST_F(DockMonitorTest, ScansFollowARestartedDock)
{
    start();
    sim.workspace.terminate(sim.dockPid());
    launchDock({"New"});
    monitor->requestIconRefresh(Reason::dockSettingsChanged, true);
    scheduler.runPending();
    EXPECT_EQ(cachedNames(), QStringList({"New"}));
}

// Regression: without a Dock the hover tick asked for an immediate scan every 33 ms and each one
// failed at once, waking the scan thread about 300 times every 10 s on an idle desktop.
TEST_F(DockMonitorTest, WithoutADockOnlyTheStartUpScanRunsUntilADockLaunches)
{
    sim.workspace.terminate(sim.dockPid());
    start();
    EXPECT_EQ(probe.trustChecks, 1);
    hoverAt({530, 34});
    scheduler.advance(10.0);
    sim.screens.setMouseLocation(away);
    scheduler.advance(10.0);
    // Other programs coming and going, and a workspace switch, find no Dock to read either.
    sim.workspace.launch({0, "org.example.editor", "Editor", false, false, false});
    sim.workspace.switchSpace();
    scheduler.advance(10.0);
    EXPECT_EQ(probe.trustChecks, 1);
    EXPECT_EQ(monitor->hoveredApp(), "");

    launchDock({"New"});
    scheduler.runPending();
    EXPECT_EQ(cachedNames(), QStringList({"New"}));
    hoverAt({530, 34});
    scheduler.runPending();
    EXPECT_EQ(monitor->hoveredApp(), "New");
}

TEST_F(DockMonitorTest, DestroyingTheMonitorWhileAScanRunsOnItsThreadIsSafe)
{
    ThreadQueueFactory threads;
    std::latch scanStarted(1);
    std::atomic<bool> first{true}, destroying{false};
    // The first read holds the scan until the monitor's destruction has begun, so the two overlap.
    sim.accessibility.setReadDelay(1e-6, [&](double) {
        if (first.exchange(false)) {
            scanStarted.count_down();
            while (!destroying)
                std::this_thread::yield();
        }
    });
    auto threaded = std::make_unique<DockMonitor>(sim.platform(), scheduler, threads, settings, eventLog);
    scanStarted.wait();
    destroying = true;
    threaded.reset();
    scheduler.advance(1.0);
    EXPECT_GT(sim.accessibility.readCount(), 0);
}

} // namespace
