#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <deque>
#include <optional>

#include "core/diagnostics/diagevents.h"
#include "core/settingskeys.h"
#include "core/settingsstore.h"
#include "platform/sim/simdesktop.h"
#include "runtime/manualscheduler.h"
#include "runtime/qtscheduler.h"
#include "runtime/workqueue.h"
#include "support/recordingeventlog.h"
#include "windows/snapshotcache.h"
#include "windows/windowengine.h"

using namespace qv;

namespace {

QImage picture(int w, int h, QColor color = Qt::darkCyan)
{
    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(color);
    return image;
}

class WindowEngineTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QDir(snapshotDiskCacheDirectory()).removeRecursively();
        desktop.addDefaultScreen();
        restart();
    }
    // A new engine: no cached lists, no throttle.
    void restart()
    {
        engine = std::make_unique<WindowEngine>(desktop.platform(), scheduler, queues, settings, events);
        QObject::connect(engine.get(), &WindowEngine::windowsChanged, [this] { published.append(titles()); });
        scheduler.runPending();
    }
    void TearDown() override { engine.reset(); }

    qint64 launch(const QString &bundle, const QString &name, bool regular = true)
    {
        return desktop.workspace.launch(RunningApp{0, bundle, name, false, false, regular});
    }
    quint32 addWindow(qint64 pid, const QString &title, QRectF frame = QRectF(100, 100, 800, 600))
    {
        return desktop.windowServer.addWindow(pid, frame, title,
                                              picture(int(frame.width()), int(frame.height())));
    }
    QStringList titles() const
    {
        QStringList out;
        for (const auto &w : engine->windows())
            out.append(w.title);
        return out;
    }
    // Where the disk cache keeps the listed window's picture.
    QString diskFile(quint32 windowId) const
    {
        const std::optional<WindowInfo> window = desktop.windowServer.info(windowId);
        return window ? QDir(engine->snapshotDiskCacheDirectory()).filePath(snapshotWindowFileName(*window))
                      : QString();
    }
    // Lets the debounce pass and every scan, probe, capture and disk job run.
    void settle(double seconds = WindowEngine::fetchDebounceInterval) { scheduler.advance(seconds); }

    SimDesktop desktop;
    ManualScheduler scheduler;
    SchedulerQueueFactory queues{scheduler};
    SettingsStore settings;
    RecordingEventLog events;
    std::unique_ptr<WindowEngine> engine;
    QList<QStringList> published;
};

} // namespace

// ---- Usage history ----

TEST_F(WindowEngineTest, ActivationsAreRecordedAndStoredWholeExceptOurOwn)
{
    const qint64 a = launch("org.example.a", "A");
    const qint64 own = launch(WindowEngine::ownBundleIdentifier(), "Quorvantis");
    desktop.workspace.activate(a);
    scheduler.runPending();
    const double first = engine->appUsageHistory().value("org.example.a");
    EXPECT_EQ(first, scheduler.wallNow());
    scheduler.advance(5);
    desktop.workspace.activate(own);
    desktop.workspace.activate(a);
    scheduler.runPending();
    EXPECT_EQ(engine->appUsageHistory().size(), 1);
    EXPECT_EQ(engine->appUsageHistory().value("org.example.a"), first + 5);
    EXPECT_EQ(settings.value("AppUsageHistory").toMap(), QVariantMap({{"org.example.a", first + 5}}));
}

TEST_F(WindowEngineTest, StoredHistoryWithANonNumberIsIgnoredAndReplacedAtTheNextRecord)
{
    settings.setValue("AppUsageHistory",
                      QVariantMap{{"org.a", 12.0}, {"org.b", QStringLiteral("yesterday")}});
    WindowEngine fresh(desktop.platform(), scheduler, queues, settings, events);
    EXPECT_TRUE(fresh.appUsageHistory().isEmpty());
    fresh.recordAppUsage("org.c");
    EXPECT_EQ(settings.value("AppUsageHistory").toMap().keys(), QStringList({"org.c"}));

    settings.setValue("AppUsageHistory", QVariantMap{{"org.a", 12.0}, {"org.b", 13}});
    WindowEngine numeric(desktop.platform(), scheduler, queues, settings, events);
    EXPECT_EQ(numeric.appUsageHistory().value("org.b"), 13.0);
}

// Regression: the history grew by one entry per application ever used, without end, until the
// settings file passed the size its reader takes and every setting was lost at the next start. It
// keeps the applications used most recently.
TEST_F(WindowEngineTest, HistoryKeepsTheNewestEntriesWithinItsBound)
{
    QVariantMap stored;
    for (int i = 0; i < maxUsageHistoryEntries + 200; ++i)
        stored.insert(QStringLiteral("org.app%1").arg(i, 5, 10, QLatin1Char('0')), 1000.0 + i);
    settings.setValue("AppUsageHistory", stored);
    WindowEngine fresh(desktop.platform(), scheduler, queues, settings, events);
    ASSERT_EQ(fresh.appUsageHistory().size(), maxUsageHistoryEntries);
    EXPECT_FALSE(fresh.appUsageHistory().contains("org.app00199"));
    EXPECT_TRUE(fresh.appUsageHistory().contains("org.app00200"));

    fresh.recordAppUsage("org.newest");
    fresh.recordAppUsage(QString(maxUsageIdentifierLength + 1, QLatin1Char('x')));
    const QString longest(maxUsageIdentifierLength, QLatin1Char('y'));
    fresh.recordAppUsage(longest);
    const QVariantMap written = settings.value("AppUsageHistory").toMap();
    EXPECT_EQ(written.size(), maxUsageHistoryEntries);
    EXPECT_TRUE(written.contains("org.newest"));
    EXPECT_TRUE(written.contains(longest));
    EXPECT_FALSE(written.contains("org.app00201"));
    EXPECT_TRUE(written.contains("org.app00202"));
}

TEST(UsageHistoryTrim, DropsTheOldestAndOfEqualTimesTheGreaterIdentifier)
{
    AppUsageHistory history{{"a", 5.0}, {"b", 1.0}, {"c", 1.0}, {"d", 3.0}};
    trimUsageHistory(history, 2);
    EXPECT_EQ(history, AppUsageHistory({{"a", 5.0}, {"d", 3.0}}));
    trimUsageHistory(history, 5);
    EXPECT_EQ(history.size(), 2);
    AppUsageHistory ties{{"a", 1.0}, {"b", 1.0}, {"c", 1.0}};
    trimUsageHistory(ties, 1);
    EXPECT_EQ(ties, AppUsageHistory({{"a", 1.0}}));
}

// ---- Per-application requests ----

TEST_F(WindowEngineTest, PublishesTheCachedListAtOnceAndTheFreshListAfterTheQuietPeriod)
{
    const qint64 pid = launch("org.example.editor", "Editor");
    addWindow(pid, "One");
    engine->fetchWindows("Editor");
    EXPECT_TRUE(published.isEmpty()); // nothing cached yet: the list stays as it was
    settle(0.049);
    EXPECT_EQ(desktop.windowServer.listRequestCount(), 0);
    settle(0.001);
    EXPECT_EQ(titles(), QStringList({"One"}));
    EXPECT_EQ(engine->currentAppName(), "Editor");

    addWindow(pid, "Two");
    engine->fetchWindows("Other");
    settle(0.3);
    published.clear();
    engine->fetchWindows("Editor");
    ASSERT_EQ(published.size(), 1);
    EXPECT_EQ(published.first(), QStringList({"One"})); // the cached list, before any scan
    settle();
    EXPECT_EQ(titles(), QStringList({"One", "Two"}));
}

// The list cached at the last scan went out as it was: in the order of an earlier showing (the
// window used then first, the one used since out of view), and with the windows of an application
// blocked since, until the scan after it took them away.
TEST_F(WindowEngineTest, TheCachedListGoesOutInTodaysOrderAndWithoutApplicationsBlockedSince)
{
    const qint64 pid = launch("org.example.editor", "Editor");
    addWindow(pid, "One");
    const quint32 two = addWindow(pid, "Two");
    engine->fetchWindows("Editor");
    settle();
    ASSERT_EQ(titles(), QStringList({"One", "Two"}));

    // Two comes to the front with the keyboard while nothing shows.
    engine->fetchWindows("Other");
    settle(0.3);
    desktop.windowServer.axWindow(two)->performAction(QStringLiteral("AXRaise"));
    desktop.workspace.openWindow(pid, two);
    desktop.workspace.activateWindow(two);
    published.clear();
    engine->fetchWindows("Editor");
    ASSERT_FALSE(published.isEmpty());
    EXPECT_EQ(published.first(), QStringList({"Two", "One"}));
    settle();
    EXPECT_EQ(titles(), QStringList({"Two", "One"}));

    // Blocked while nothing shows: not one list of the next showing holds its windows.
    engine->fetchWindows("Other");
    settle(0.3);
    settings.set(Settings::ignoredApps, QStringLiteral("org.example.editor"));
    published.clear();
    engine->fetchWindows("Editor");
    settle();
    EXPECT_FALSE(published.isEmpty());
    for (const QStringList &list : std::as_const(published))
        EXPECT_TRUE(list.isEmpty()) << list.join(u',').toStdString();
    // Blocked by its name as well.
    settings.set(Settings::ignoredApps, QString());
    engine->fetchWindows("Other");
    settle(0.3);
    engine->fetchWindows("Editor");
    settle();
    ASSERT_EQ(titles().size(), 2);
    engine->fetchWindows("Other");
    settle(0.3);
    settings.set(Settings::ignoredApps, QStringLiteral("editor"));
    published.clear();
    engine->fetchWindows("Editor");
    ASSERT_FALSE(published.isEmpty());
    EXPECT_TRUE(published.first().isEmpty());
}

TEST_F(WindowEngineTest, OfTwoRequestsWithinTheQuietPeriodOnlyTheLastIsScanned)
{
    addWindow(launch("org.a", "Alpha"), "Alpha doc");
    addWindow(launch("org.b", "Beta"), "Beta doc");
    engine->fetchWindows("Alpha");
    settle(0.03);
    engine->fetchWindows("Beta");
    settle(0.3);
    EXPECT_EQ(desktop.windowServer.listRequestCount(), 1);
    // Beta's list before its capture, the capture in place, then the scan's whole list.
    EXPECT_EQ(published, QList<QStringList>({{"Beta doc"}, {"Beta doc"}, {"Beta doc"}}));
    // A rest as long as the quiet period is one: the scan starts at once.
    engine->fetchWindows("Alpha", WindowEngine::fetchDebounceInterval);
    scheduler.runPending();
    EXPECT_EQ(desktop.windowServer.listRequestCount(), 2);
}

TEST_F(WindowEngineTest, RepeatedRequestForTheSameApplicationWithinThrottleStartsNoScan)
{
    addWindow(launch("org.a", "Alpha"), "Alpha doc");
    engine->fetchWindows("Alpha");
    settle(0.1);
    engine->fetchWindows("Alpha");
    settle(0.099);
    EXPECT_EQ(desktop.windowServer.listRequestCount(), 1);
    engine->fetchWindows("Alpha"); // 0.199 s after the accepted one
    settle(0.1);
    EXPECT_EQ(desktop.windowServer.listRequestCount(), 1);
    engine->fetchWindows("Alpha"); // 0.299 s after the accepted one
    settle();
    EXPECT_EQ(desktop.windowServer.listRequestCount(), 2);

    // After a cancellation, a request within the throttle shows the cached list and scans nothing.
    engine->cancelWindowFetches();
    published.clear();
    engine->fetchWindows("Alpha");
    settle(0.3);
    EXPECT_EQ(desktop.windowServer.listRequestCount(), 2);
    EXPECT_EQ(published, QList<QStringList>({{"Alpha doc"}}));

    // Nor does a second request in the same instant.
    engine->fetchWindows("Alpha", 1);
    scheduler.runPending();
    engine->fetchWindows("Alpha", 1);
    settle();
    EXPECT_EQ(desktop.windowServer.listRequestCount(), 3);
}

// A request within 0.2 s of the last accepted one for the same application must still end with
// that application's own windows. Each step fetches an application and waits, or cancels (nullptr).
struct ThrottleStep
{
    const char *app;
    double wait;
};

TEST_F(WindowEngineTest, ThrottledRequestNeverKeepsAnotherApplicationsWindows)
{
    addWindow(launch("org.a", "Alpha"), "Alpha doc");
    addWindow(launch("org.b", "Beta"), "Beta doc");
    const struct
    {
        const char *fault;
        std::vector<ThrottleStep> steps;
        QStringList shownBeforeTheLast;
    } rows[] = {
        // A, then B, then A again within 0.2 s was throttled while B's scan stayed current, so B's
        // windows were published while A was the requested application.
        {"A, B, A", {{"Alpha", 0.06}, {"Beta", 0.02}}, {"Alpha doc"}},
        // A, then B, a cancellation, then A again within 0.2 s was throttled because no scan was
        // current any more; A had no cached list yet (its request was dropped in its quiet period),
        // so B's windows stayed published under A's name.
        {"A, B, cancel, A", {{"Alpha", 0.02}, {"Beta", 0.06}, {nullptr, 0}}, {"Beta doc"}},
        // Show B, fetch A, cancel, fetch A again within 0.2 s: the second request was dropped
        // although A's request had been cancelled and A had no list of its own, so B's windows
        // stayed published under A's name.
        {"B shown, A, cancel, A", {{"Beta", 0.3}, {"Alpha", 0.02}, {nullptr, 0}}, {"Beta doc"}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.fault);
        restart();
        for (const ThrottleStep &step : row.steps) {
            if (!step.app) {
                engine->cancelWindowFetches();
                continue;
            }
            engine->fetchWindows(step.app);
            settle(step.wait);
        }
        ASSERT_EQ(titles(), row.shownBeforeTheLast);
        published.clear();
        engine->fetchWindows("Alpha"); // within 0.2 s of Alpha's accepted request
        settle(0.3);
        EXPECT_EQ(engine->currentAppName(), "Alpha");
        EXPECT_EQ(titles(), QStringList({"Alpha doc"}));
        for (const auto &list : published)
            EXPECT_FALSE(list.contains("Beta doc"));
    }
}

namespace {

// The manual clock with a wall time that can be set back, as a user or a time service may do.
class SteppedWallScheduler final : public Scheduler
{
public:
    explicit SteppedWallScheduler(ManualScheduler &inner) : m_inner(inner) {}
    double now() const override { return m_inner.now(); }
    double wallNow() const override { return m_inner.wallNow() + m_step; }
    TimerHandle after(double seconds, std::function<void()> fn) override
    {
        return m_inner.after(seconds, std::move(fn));
    }
    TimerHandle every(double seconds, std::function<void()> fn) override
    {
        return m_inner.every(seconds, std::move(fn));
    }
    void post(std::function<void()> fn) override { m_inner.post(std::move(fn)); }
    void stepWall(double seconds) { m_step += seconds; }

private:
    ManualScheduler &m_inner;
    double m_step = 0;
};

} // namespace

TEST_F(WindowEngineTest, WallClockSetBackDoesNotThrottleRequests)
{
    // Fault: after the wall clock was set back, "now minus the last request" stayed negative, so
    // every request counted as throttled until the clock caught up again (possibly hours): the
    // application's list was never rescanned, and the all-windows list never refreshed.
    const qint64 pid = launch("org.example.editor", "Editor");
    addWindow(pid, "One");
    SteppedWallScheduler clock(scheduler);
    WindowEngine stepped(desktop.platform(), clock, queues, settings, events);
    stepped.fetchAllWindows();
    settle(0.3);
    stepped.fetchWindows("Editor");
    settle(0.3);
    ASSERT_EQ(stepped.windows().size(), 1);
    ASSERT_EQ(desktop.windowServer.listRequestCount(), 2);

    clock.stepWall(-3600);
    addWindow(pid, "Two");
    stepped.fetchWindows("Editor");
    settle(0.3);
    EXPECT_EQ(stepped.windows().size(), 2);
    EXPECT_EQ(desktop.windowServer.listRequestCount(), 3);
    stepped.fetchAllWindows();
    settle(0.3);
    EXPECT_EQ(desktop.windowServer.listRequestCount(), 4);
}

TEST_F(WindowEngineTest, SupersededScanNeverPublishesEvenWhenItsModelsFinish)
{
    addWindow(launch("org.a", "Alpha"), "Alpha doc");
    addWindow(launch("org.b", "Beta"), "Beta doc");
    desktop.windowServer.setHoldCaptures(true);
    engine->fetchWindows("Alpha");
    settle();
    ASSERT_EQ(desktop.windowServer.capturedWindows().size(), 1); // Alpha's model waits for its capture
    // Its list went out before the capture, with the icon for a picture: a first hover shows at once.
    ASSERT_EQ(published, QList<QStringList>({{"Alpha doc"}}));
    EXPECT_EQ(engine->windows().first().image.cacheKey(), engine->windows().first().appIcon.cacheKey());
    published.clear();
    engine->fetchAllWindows();
    desktop.windowServer.setHoldCaptures(false);
    desktop.windowServer.releaseCaptures();
    settle(0.3);
    ASSERT_FALSE(published.isEmpty());
    for (const auto &list : published)
        EXPECT_EQ(list, QStringList({"Alpha doc", "Beta doc"})); // never Alpha's own list
    EXPECT_EQ(engine->currentAppName(), "Mission Control");
}

// A capture that finished after the engine was gone still posted its answer to the scheduler; at
// quit the scheduler could be gone as well, and the worker aborted the program.
TEST_F(WindowEngineTest, CaptureFinishingAfterTheEngineIsGonePostsNothing)
{
    addWindow(launch("org.a", "Alpha"), "Alpha doc");
    desktop.windowServer.setHoldCaptures(true);
    engine->fetchWindows("Alpha");
    settle();
    ASSERT_EQ(desktop.windowServer.capturedWindows().size(), 1);
    engine.reset();
    scheduler.runPending();
    desktop.windowServer.releaseCaptures();
    EXPECT_EQ(scheduler.pendingCount(), 0);
}

TEST_F(WindowEngineTest, CancelAndClearDropRunningScans)
{
    addWindow(launch("org.a", "Alpha"), "Alpha doc");
    // Within the quiet period no list is even asked for.
    for (const bool clear : {false, true}) {
        engine->fetchWindows("Alpha");
        settle(0.03);
        clear ? engine->clearWindows() : engine->cancelWindowFetches();
        settle(0.3);
    }
    EXPECT_EQ(desktop.windowServer.listRequestCount(), 0);
    published.clear();

    // Outside route "all" the bubble's application goes with its scan.
    engine->setCurrentOverlayRoute(OverlayRoute::clipboard);
    desktop.windowServer.setHoldLists(true);
    engine->fetchWindows("Alpha");
    settle();
    AppWindowModel peeked;
    peeked.id = 1;
    engine->startPeeking(peeked, true);
    ASSERT_TRUE(engine->peekingWindow());
    engine->cancelWindowFetches();
    EXPECT_EQ(engine->currentAppName(), QString());
    EXPECT_FALSE(engine->peekingWindow());
    desktop.windowServer.releaseLists();
    settle();
    EXPECT_TRUE(published.isEmpty());

    engine->setCurrentOverlayRoute(OverlayRoute::all);
    engine->fetchAllWindows();
    engine->cancelWindowFetches();
    EXPECT_EQ(engine->currentAppName(), "Mission Control"); // route "all" keeps the name
    desktop.windowServer.releaseLists();
    settle();
    EXPECT_TRUE(published.isEmpty());
    EXPECT_FALSE(engine->isFetchPending());
}

TEST_F(WindowEngineTest, ScansRecordBeginAndEndEventsWithTheirDuration)
{
    auto scanEvents = [&] {
        QStringList out;
        for (const QString &event : events.events()) {
            if (event.startsWith(QStringLiteral("ax_scan_")))
                out.append(event);
        }
        return out;
    };
    addWindow(launch("org.a", "Alpha"), "Alpha doc");
    desktop.windowServer.setHoldLists(true);

    engine->fetchWindows("Alpha");
    settle();
    scheduler.skipTime(0.0123);
    desktop.windowServer.releaseLists();
    settle(0.3);
    engine->fetchAllWindows();
    scheduler.runPending();
    scheduler.skipTime(0.0084);
    desktop.windowServer.releaseLists();
    settle(0.3);
    // A refused preflight records nothing; a failed list still ends its scan.
    desktop.permissions.screenCapture = false;
    engine->fetchWindows("Other");
    settle(0.3);
    desktop.permissions.screenCapture = true;
    desktop.windowServer.setHoldLists(false);
    desktop.windowServer.setListFails(true);
    engine->fetchWindows("Alpha");
    settle(0.3);

    EXPECT_EQ(scanEvents(),
              QStringList({"ax_scan_begin fetchAll=false", "ax_scan_end fetchAll=false, 12.3ms",
                           "ax_scan_begin fetchAll=true", "ax_scan_end fetchAll=true, 8.4ms",
                           "ax_scan_begin fetchAll=false", "ax_scan_end fetchAll=false, 0.0ms"}));

    // A scan superseded while it waits for its list still records its end.
    desktop.windowServer.setListFails(false);
    desktop.windowServer.setHoldLists(true);
    for (const bool allFirst : {true, false}) {
        const qsizetype before = scanEvents().size();
        allFirst ? engine->fetchAllWindows() : engine->fetchWindows("Alpha", 1);
        scheduler.runPending();
        allFirst ? engine->fetchWindows("Alpha", 1) : engine->fetchAllWindows();
        scheduler.runPending();
        EXPECT_EQ(desktop.windowServer.releaseLists(), 2);
        settle(0.3);
        const QStringList superseded = scanEvents().mid(before);
        EXPECT_EQ(superseded.filter("ax_scan_begin").size(), 2);
        EXPECT_EQ(superseded.filter("ax_scan_end").size(), 2);
    }
}

// ---- Filtering ----

TEST_F(WindowEngineTest, SizeSpaceAndMinimisedRules)
{
    const qint64 pid = launch("org.example.editor", "Editor");
    addWindow(pid, "Narrow", QRectF(100, 100, 79, 500));
    const quint32 square = addWindow(pid, "Square", QRectF(100, 100, 80, 80));
    const quint32 elsewhere = addWindow(pid, "Other Space");
    desktop.windowServer.setOnScreen(elsewhere, false);
    // Minimised and confirmed by accessibility: passes although off screen, on another layer and tiny.
    const quint32 minimized = addWindow(pid, "Minimised", QRectF(100, 100, 40, 40));
    desktop.windowServer.setMinimized(minimized, true);
    desktop.windowServer.setLayer(minimized, 3);
    // The same without accessibility's word: the layer rule skips it.
    const quint32 unconfirmed = addWindow(pid, "Unconfirmed", QRectF(100, 100, 40, 40));
    desktop.windowServer.setOnScreen(unconfirmed, false);
    desktop.windowServer.setLayer(unconfirmed, 3);

    // The windows on screen are readied for capture while accessibility is asked, before the
    // first look goes out, so their settle time runs meanwhile.
    std::optional<QList<quint32>> readiedBeforeTheList;
    QObject::connect(engine.get(), &WindowEngine::windowsChanged, engine.get(), [&] {
        if (!readiedBeforeTheList)
            readiedBeforeTheList = desktop.windowServer.preparedWindows();
    });
    engine->fetchWindows("Editor");
    settle();
    EXPECT_EQ(titles(), QStringList({"Square", "Other Space", "Minimised"}));
    EXPECT_TRUE(readiedBeforeTheList.value_or(QList<quint32>()).contains(square));
    EXPECT_TRUE(engine->windows().last().isMinimized);

    engine->setShowOnlyCurrentSpace(true);
    engine->fetchWindows("Editor");
    settle(0.3);
    engine->fetchWindows("Editor");
    settle();
    EXPECT_EQ(titles(), QStringList({"Square", "Minimised"}));

    // The ignore list still applies to confirmed minimised windows.
    engine->setIgnoredAppsData("org.example.editor");
    settle(0.3);
    engine->fetchWindows("Editor");
    settle();
    EXPECT_TRUE(titles().isEmpty());
}

TEST_F(WindowEngineTest, SingleWindowRuleLeavesTheCachedListAlone)
{
    const qint64 solo = launch("org.solo", "Solo");
    const qint64 duo = launch("org.duo", "Duo");
    addWindow(solo, "Only");
    addWindow(duo, "First");
    addWindow(duo, "Second");
    engine->fetchWindows("Solo");
    settle(0.3);
    EXPECT_EQ(engine->appWindowCache().value("Solo").size(), 1);

    engine->setIgnoreSingleWindow(true);
    published.clear();
    engine->fetchWindows("Solo");
    settle();
    EXPECT_TRUE(titles().isEmpty());
    // Not even for a moment, as a first look before its picture came.
    for (const QStringList &list : std::as_const(published))
        EXPECT_FALSE(list.contains("Only")) << list.join(", ").toStdString();
    EXPECT_EQ(engine->appWindowCache().value("Solo").size(), 1);
    engine->fetchWindows("Duo");
    settle();
    EXPECT_EQ(titles(), QStringList({"First", "Second"}));
}

TEST_F(WindowEngineTest, TargetMatchingByAliasNameAndTitle)
{
    const qint64 safari = launch("com.apple.Safari", "Safari"); // identifier differs in case from the alias
    const qint64 notes = launch("org.notes", "Notes");
    const qint64 sticky = launch("org.sticky", "Sticky Notes");
    const qint64 other = launch("org.other", "Other");
    const qint64 unnamed = launch("org.unnamed", "");
    const qint64 agent = launch("org.agent", "Notes Agent", false);
    addWindow(safari, "Start Page");
    addWindow(notes, "Shopping");
    addWindow(sticky, "Reminder");
    addWindow(other, "Meeting notes");
    addWindow(unnamed, "Untitled report");
    addWindow(agent, "Agent panel");
    // Fault: an empty name "contained" every target, so windows of applications without a name
    // (nor an identifier) were listed for every Dock icon.
    addWindow(launch("", ""), "Report");

    engine->fetchWindows("Safari");
    settle(0.3);
    EXPECT_EQ(titles(), QStringList({"Start Page"})); // by name; the alias identifier differs in case
    engine->fetchWindows("Notes");
    settle(0.3);
    EXPECT_EQ(titles(), QStringList({"Shopping", "Reminder", "Meeting notes"}));
}

TEST_F(WindowEngineTest, UsageOrderAndMinimisedLastInTheApplicationList)
{
    const qint64 pid = launch("org.example.editor", "Editor");
    const quint32 first = addWindow(pid, "First");
    const quint32 second = addWindow(pid, "Second");
    desktop.windowServer.setMinimized(first, true);
    engine->setSortMinimizedLast(true);
    // The first look, out before any capture returns, is in the cards' order, and the captures
    // leave in that order, not in the order the windows are listed in.
    desktop.windowServer.setHoldCaptures(true);
    engine->fetchWindows("Editor");
    settle();
    EXPECT_EQ(titles(), QStringList({"Second", "First"}));
    EXPECT_EQ(desktop.windowServer.capturedWindows(), QList<quint32>({second, first}));
    desktop.windowServer.setHoldCaptures(false);
    desktop.windowServer.releaseCaptures();
    settle();
    EXPECT_EQ(titles(), QStringList({"Second", "First"}));

    engine->setSortMinimizedLast(false);
    engine->fetchWindows("Editor");
    settle(0.3);
    engine->fetchWindows("Editor");
    settle();
    EXPECT_EQ(titles(), QStringList({"First", "Second"}));
}

// A setting changed in the settings window reached no view bound to it (the Dock bubble kept its
// old behaviour until a restart), or told the views of another setting instead.
TEST_F(WindowEngineTest, EveryPublishedSettingAnnouncesItsOwnChangeAndNoOther)
{
    // Half are written by the settings window through the store, half through the engine.
    WindowEngine &e = *engine;
    const std::tuple<QString, QVariant, void (WindowEngine::*)(), std::function<void()>> rows[] = {
        {Settings::ignoredApps.key(), "org.a", &WindowEngine::ignoredAppsDataChanged,
         [&e] { e.setIgnoredAppsData("org.a"); }},
        {Settings::ignoreSingleWindow.key(), true, &WindowEngine::ignoreSingleWindowChanged, {}},
        {Settings::sortMinimizedLast.key(), true, &WindowEngine::sortMinimizedLastChanged, {}},
        {Settings::showOnlyCurrentSpace.key(), true, &WindowEngine::showOnlyCurrentSpaceChanged, {}},
        {Settings::enablePeeking.key(), false, &WindowEngine::enablePeekingChanged,
         [&e] { e.setEnablePeeking(false); }},
        {Settings::enableSnapHaptic.key(), false, &WindowEngine::enableSnapHapticChanged,
         [&e] { e.setEnableSnapHaptic(false); }},
        {Settings::enableSnapSound.key(), true, &WindowEngine::enableSnapSoundChanged, {}},
        {Settings::popupEdge.key(), "top", &WindowEngine::popupEdgeRawChanged, [&e] { e.setPopupEdgeRaw("top"); }},
    };
    std::deque<QSignalSpy> spies;
    for (const auto &row : rows)
        spies.emplace_back(engine.get(), std::get<2>(row));
    for (size_t i = 0; i < std::size(rows); ++i) {
        const auto &[key, value, notify, set] = rows[i];
        if (set)
            set();
        else
            settings.setValue(key, value);
        EXPECT_EQ(settings.value(key), value) << qPrintable(key);
        for (size_t j = 0; j < std::size(rows); ++j)
            EXPECT_EQ(spies[j].count(), j <= i ? 1 : 0) << qPrintable(key + " -> " + std::get<0>(rows[j]));
    }

    // So does the state the views follow, once for each change.
    QSignalSpy menu(engine.get(), &WindowEngine::isContextMenuOpenChanged);
    QSignalSpy route(engine.get(), &WindowEngine::currentOverlayRouteChanged);
    engine->setContextMenuOpen(true);
    engine->setContextMenuOpen(true);
    engine->setCurrentOverlayRoute(OverlayRoute::clipboard);
    EXPECT_TRUE(engine->isContextMenuOpen());
    EXPECT_EQ(menu.count(), 1);
    EXPECT_EQ(route.count(), 1);
}

// ---- Permission ----

TEST_F(WindowEngineTest, PermissionComesBackWhenThePreflightPassesAgain)
{
    // Fault: one refused preflight left hasPermission false (and the permission card up) for the
    // rest of the run.
    addWindow(launch("org.a", "Alpha"), "Alpha doc");
    QSignalSpy permission(engine.get(), &WindowEngine::hasPermissionChanged);
    QSignalSpy appName(engine.get(), &WindowEngine::currentAppNameChanged);
    desktop.permissions.screenCapture = false;
    engine->fetchWindows("Alpha");
    settle();
    EXPECT_FALSE(engine->hasPermission());
    EXPECT_EQ(permission.count(), 1);
    EXPECT_EQ(appName.count(), 1);
    EXPECT_EQ(desktop.windowServer.listRequestCount(), 0);
    desktop.permissions.screenCapture = true;
    scheduler.advance(0.3);
    engine->fetchWindows("Alpha");
    settle();
    EXPECT_TRUE(engine->hasPermission());
    EXPECT_EQ(permission.count(), 2);
    EXPECT_EQ(titles(), QStringList({"Alpha doc"}));
}

TEST_F(WindowEngineTest, CaptureWithoutPermissionAnswersTheMemorySnapshotOnALaterTurn)
{
    // Fault: without permission the answer came inside the call, although callers are promised a
    // later turn (a caller holding state across the call would be re-entered).
    const qint64 pid = launch("org.a", "Alpha");
    const quint32 id = addWindow(pid, "Doc");
    const WindowInfo window = desktop.windowServer.windows().first();
    engine->storeSnapshot(picture(12, 8), id);
    desktop.permissions.screenCapture = false;
    std::optional<std::optional<QImage>> answer;
    engine->captureSnapshot(window, [&](std::optional<QImage> image) { answer = image; });
    EXPECT_FALSE(answer.has_value());
    scheduler.runPending();
    ASSERT_TRUE(answer.has_value());
    ASSERT_TRUE(answer->has_value());
    EXPECT_EQ((*answer)->size(), QSize(12, 8));
    EXPECT_TRUE(desktop.windowServer.capturedWindows().isEmpty());
}

// ---- All windows ----

// The list used to stop at 40 windows: the others could be found neither by search nor by the
// sidebar. Every qualifying window is listed now; the captures afterwards stay at 16.
TEST_F(WindowEngineTest, AllWindowsListHoldsEveryQualifyingWindowReorderedByUsage)
{
    QList<qint64> pids;
    for (int i = 0; i < 5; ++i)
        pids.append(launch(QStringLiteral("org.app%1").arg(i), QStringLiteral("App%1").arg(i)));
    QList<qint64> qualifying;
    for (int i = 0; i < 110; ++i) {
        const quint32 id = addWindow(pids[i % 5], QStringLiteral("W%1").arg(i));
        if (i % 11 == 10)
            desktop.windowServer.setLayer(id, 8); // every eleventh window is furniture
        else
            qualifying.append(id);
    }
    qualifying.append(addWindow(pids[0], "Square", QRectF(100, 100, 80, 80)));
    addWindow(pids[0], "Narrow", QRectF(100, 100, 79, 500));
    engine->recordAppUsage("org.app3");
    desktop.windowServer.setHoldCaptures(true);
    engine->fetchAllWindows();
    scheduler.runPending();
    const auto windows = engine->windows();
    ASSERT_EQ(windows.size(), 101); // published while captures are still held
    QSet<qint64> listed;
    for (const auto &w : windows)
        listed.insert(w.id);
    EXPECT_EQ(listed, QSet<qint64>(qualifying.begin(), qualifying.end()));
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(windows[i].bundleIdentifier, "org.app3") << i;
    EXPECT_EQ(windows[20].title, "W0");
    EXPECT_EQ(engine->currentAppName(), "Mission Control");

    // Warm-up: the first 16 cards' captures, asked for together.
    int rounds = 0;
    while (desktop.windowServer.releaseCaptures() > 0) {
        scheduler.runPending();
        ++rounds;
    }
    EXPECT_EQ(rounds, 1);
    for (int i = 0; i < 16; ++i)
        EXPECT_TRUE(desktop.windowServer.capturedWindows().contains(quint32(windows[i].id))) << i;
    EXPECT_EQ(desktop.windowServer.capturedWindows().size(), 16);
    int withSnapshot = 0;
    for (const auto &w : engine->windows())
        withSnapshot += w.image.isNull() ? 0 : 1;
    EXPECT_EQ(withSnapshot, 16);
    EXPECT_EQ(engine->snapshotCache().size(), 16);
}

// The model builder: a window the window server does not list as on screen, yet lying on a screen,
// counts as minimised when it is small: at most 260 wide or at most 220 high. Windows listed as on
// screen are not flagged by this rule.
TEST_F(WindowEngineTest, SmallHiddenWindowsOnAScreenAreTakenForMinimised)
{
    const qint64 pid = launch("org.a", "Alpha");
    const struct
    {
        const char *title;
        QRectF frame;
        bool onScreen;
        bool minimised;
    } rows[] = {
        {"260 wide", QRectF(100, 100, 260, 600), false, true},
        {"261 wide", QRectF(100, 100, 261, 600), false, false},
        {"220 high", QRectF(100, 100, 800, 220), false, true},
        {"221 high", QRectF(100, 100, 800, 221), false, false},
        {"small but listed on screen", QRectF(100, 100, 200, 200), true, false},
    };
    for (const auto &row : rows) {
        const quint32 id = addWindow(pid, row.title, row.frame);
        desktop.windowServer.setOnScreen(id, row.onScreen);
    }
    engine->fetchWindows("Alpha");
    settle();
    QHash<QString, bool> minimised;
    for (const auto &window : engine->windows())
        minimised.insert(window.title, window.isMinimized);
    for (const auto &row : rows) {
        ASSERT_TRUE(minimised.contains(row.title)) << row.title;
        EXPECT_EQ(minimised.value(row.title), row.minimised) << row.title;
    }
}

// Accessibility that gives its windows no numbers still says, by title, which one is minimised: a
// large window it names minimised is listed so, though its size alone would not tell.
TEST_F(WindowEngineTest, AccessibilityWithoutWindowNumbersStillMarksAMinimisedWindowByItsTitle)
{
    const qint64 pid = launch("org.example.notes", "Notes");
    const quint32 hidden = addWindow(pid, "Shopping list");
    desktop.windowServer.setMinimized(hidden, true);
    const quint32 shown = addWindow(pid, "Letters");
    for (const quint32 id : {hidden, shown})
        desktop.windowServer.axWindow(id)->unset(QStringLiteral("CGWindowID"));
    engine->fetchWindows("Notes");
    settle();
    QHash<QString, bool> minimised;
    for (const auto &window : engine->windows())
        minimised.insert(window.title, window.isMinimized);
    EXPECT_EQ(minimised, (QHash<QString, bool>{{"Shopping list", true}, {"Letters", false}}));
}

TEST_F(WindowEngineTest, AllWindowsRequestsNeedRouteAllAndRespectTheThrottle)
{
    addWindow(launch("org.a", "Alpha"), "Alpha doc");
    engine->setCurrentOverlayRoute(OverlayRoute::clipboard);
    engine->fetchAllWindows();
    EXPECT_EQ(engine->currentAppName(), QString());
    engine->setCurrentOverlayRoute(OverlayRoute::all);
    engine->fetchAllWindows();
    scheduler.advance(0.1);
    EXPECT_EQ(desktop.windowServer.listRequestCount(), 1);
    engine->fetchAllWindows(); // 0.1 s later with a list shown
    scheduler.runPending();
    EXPECT_EQ(desktop.windowServer.listRequestCount(), 1);
    engine->clearWindows();
    engine->fetchAllWindows(); // the list is empty: scanned again
    scheduler.runPending();
    EXPECT_EQ(desktop.windowServer.listRequestCount(), 2);
    engine->fetchAllWindows(); // in the same instant, with the list shown
    scheduler.runPending();
    EXPECT_EQ(desktop.windowServer.listRequestCount(), 2);
}

// The list is read from the desktop at the scan; the running applications come from its
// notifications. A program whose window opened just before the hotkey, not yet announced, lost its
// card in the first list published, which showed "No windows found" when it was the only one.
TEST_F(WindowEngineTest, TheFirstAllWindowsListHoldsAWindowWhoseApplicationWasNotAnnouncedYet)
{
    addWindow(launch("org.a", "Alpha"), "Alpha doc");
    const qint64 beta =
        desktop.workspace.launchUnannounced(RunningApp{0, "org.b", "Beta", false, false, true});
    addWindow(beta, "Beta doc");
    // A window of a process that no desktop list knows stays out, as before.
    addWindow(9999, "Nobody's");
    engine->fetchAllWindows();
    scheduler.runPending();
    ASSERT_FALSE(published.isEmpty());
    QStringList first = published.first();
    first.sort();
    EXPECT_EQ(first, QStringList({"Alpha doc", "Beta doc"}));
}

TEST_F(WindowEngineTest, WarmUpStopsWhenTheRouteChanges)
{
    const qint64 pid = launch("org.a", "Alpha");
    for (int i = 0; i < 5; ++i)
        addWindow(pid, QStringLiteral("Doc %1").arg(i));
    desktop.windowServer.setHoldCaptures(true);
    engine->fetchAllWindows();
    scheduler.runPending();
    ASSERT_EQ(engine->windows().size(), 5);
    ASSERT_TRUE(engine->isWarmingSnapshots());
    engine->setCurrentOverlayRoute(OverlayRoute::clipboard);
    desktop.windowServer.releaseCaptures();
    scheduler.runPending();
    EXPECT_FALSE(engine->isWarmingSnapshots());
    for (const auto &w : engine->windows())
        EXPECT_TRUE(w.image.isNull()); // icon placeholders (none here) stay
}

// A disk picture taken of a same-named window at another size (an earlier run, or before a resize)
// was shown as if it were the window; one of the window as it is was not shown until its capture
// came, one window after the other.
TEST_F(WindowEngineTest, WarmUpShowsFittingDiskPicturesAtOnceAndCapturesEveryWindowTogether)
{
    const qint64 pid = launch("org.a", "Alpha");
    const quint32 cached = addWindow(pid, "Cached");
    const quint32 otherSize = addWindow(pid, "Other size");
    const quint32 fresh = addWindow(pid, "Fresh");
    const QString file = diskFile(cached);
    ASSERT_TRUE(writeSnapshotFile(file, picture(640, 480, Qt::red)));
    ASSERT_TRUE(writeSnapshotFile(diskFile(otherSize), picture(30, 20, Qt::red)));
    desktop.windowServer.setHoldCaptures(true);
    engine->fetchAllWindows();
    settle(0.3);
    // Every capture was asked for at once, none waiting for another's answer.
    const QList<quint32> asked = desktop.windowServer.capturedWindows();
    EXPECT_EQ(QSet<quint32>(asked.begin(), asked.end()), QSet<quint32>({cached, otherSize, fresh}));
    ASSERT_EQ(engine->windows().size(), 3);
    for (const auto &w : engine->windows())
        EXPECT_EQ(w.image.pixelColor(0, 0) == QColor(Qt::red), w.id == cached) << w.title.toStdString();

    // The captures replace the pictures in place, the disk's too.
    desktop.windowServer.releaseCaptures();
    settle(0.3);
    for (const auto &w : engine->windows()) {
        EXPECT_EQ(w.image.size(), QSize(640, 480)) << w.title.toStdString();
        EXPECT_NE(w.image.pixelColor(0, 0), QColor(Qt::red)) << w.title.toStdString();
    }
    EXPECT_TRUE(QFile::exists(diskFile(fresh)));

    // The picture kept showing after the window was resized.
    desktop.windowServer.setHoldCaptures(false);
    desktop.windowServer.setFrame(cached, QRectF(100, 100, 800, 400));
    desktop.windowServer.setFrame(fresh, QRectF(100, 100, 800, 400));
    engine->clearWindows();
    engine->fetchAllWindows();
    settle(0.3);
    EXPECT_EQ(desktop.windowServer.capturedWindows().count(cached), 2);
    EXPECT_EQ(desktop.windowServer.capturedWindows().count(fresh), 2);
}

// Once in three a window made full screen kept its half-screen picture through every later showing:
// the capture taken as it changed still showed the old size and was kept as if taken at the new one.
TEST_F(WindowEngineTest, APictureTakenWhileItsWindowChangedSizeIsTakenAgainAtTheNextShowing)
{
    const qint64 pid = launch("org.a", "Alpha");
    const quint32 window = addWindow(pid, "Doc", QRectF(0, 0, 720, 900));
    const auto showing = [&] {
        engine->clearWindows();
        engine->fetchAllWindows();
        settle(0.3);
        return desktop.windowServer.capturedWindows().count(window);
    };
    ASSERT_EQ(showing(), 1);
    desktop.windowServer.setFrame(window, QRectF(0, 0, 1440, 900));
    desktop.windowServer.setDrawnSize(window, QSize(720, 900));
    ASSERT_EQ(showing(), 2) << "a resized window is captured anew";
    desktop.windowServer.setDrawnSize(window, QSize());
    EXPECT_EQ(showing(), 3) << "the picture of the old size was kept as if it showed the new one";
    ASSERT_EQ(engine->windows().size(), 1);
    EXPECT_TRUE(snapshotFitsFrame(engine->windows().first().image, QSizeF(1440, 900)));
    EXPECT_EQ(showing(), 3) << "a picture that fits is not taken again";
}

// A window's disk picture stood for whichever window later had the same title, or the same number.
TEST_F(WindowEngineTest, DiskPicturesBelongToOneWindowOfOneProgram)
{
    WindowInfo window;
    window.windowId = 0x1200007;
    window.title = QStringLiteral("old-1");
    window.ownerPID = 4100;
    window.ownerName = QStringLiteral("XTerm");
    window.ownerBundleIdentifier = QStringLiteral("debian-xterm");
    const QString name = snapshotWindowFileName(window);
    EXPECT_TRUE(name.endsWith(QStringLiteral(".png")));
    WindowInfo sameNumberNewProgram = window;
    sameNumberNewProgram.ownerPID = 4200;
    WindowInfo sameTitleOtherWindow = window;
    sameTitleOtherWindow.windowId = 0x1400007;
    WindowInfo retitled = window;
    retitled.title = QStringLiteral("new-1");
    for (const WindowInfo &other : {sameNumberNewProgram, sameTitleOtherWindow, retitled})
        EXPECT_NE(snapshotWindowFileName(other), name);
    WindowInfo moved = window;
    moved.frame = QRectF(5, 5, 300, 200);
    EXPECT_EQ(snapshotWindowFileName(moved), name);
}

// Only the first cards of a long list got their pictures: a card scrolled or searched into view
// kept its application's icon for good.
TEST_F(WindowEngineTest, CardsComingIntoViewGetTheirPictures)
{
    const qint64 pid = launch("org.a", "Alpha");
    QList<quint32> ids;
    for (int i = 0; i < 40; ++i)
        ids.append(addWindow(pid, QStringLiteral("Doc %1").arg(i)));
    // The windows of the first cards are readied for capture while the list is still being made.
    std::optional<QList<quint32>> readiedBeforeTheList;
    QObject::connect(engine.get(), &WindowEngine::windowsChanged, engine.get(), [&] {
        if (!readiedBeforeTheList)
            readiedBeforeTheList = desktop.windowServer.preparedWindows();
    });
    engine->fetchAllWindows();
    settle(0.3);
    ASSERT_EQ(engine->windows().size(), 40);
    EXPECT_EQ(desktop.windowServer.capturedWindows().size(), SnapshotLimits::warmUpCount);
    // The first of the list are the cards the grid shows first.
    QList<qint64> first;
    for (int i = 0; i < SnapshotLimits::warmUpCount; ++i)
        first.append(engine->windows().at(i).id);
    for (qint64 id : first) {
        EXPECT_TRUE(desktop.windowServer.capturedWindows().contains(quint32(id))) << id;
        EXPECT_TRUE(readiedBeforeTheList.value_or(QList<quint32>()).contains(quint32(id))) << id;
    }

    const QList<qint64> later{engine->windows().at(30).id, engine->windows().at(39).id, first.at(0)};
    engine->requestSnapshots(later);
    settle(0.3);
    // Readied together, so their captures wait once for the batch.
    for (qint64 id : later.first(2))
        EXPECT_TRUE(desktop.windowServer.preparedWindows().contains(quint32(id))) << id;
    for (const auto &w : engine->windows()) {
        if (later.contains(w.id)) {
            EXPECT_EQ(w.image.size(), QSize(640, 480)) << w.title.toStdString();
        }
    }
    // What has its picture already is not captured again, nor what is asked for twice.
    EXPECT_EQ(desktop.windowServer.capturedWindows().count(quint32(first.at(0))), 1);
    engine->requestSnapshots(later);
    settle(0.3);
    EXPECT_EQ(desktop.windowServer.capturedWindows().size(), SnapshotLimits::warmUpCount + 2);

    // A capture that gave nothing is tried again when the card is next reported in view.
    const quint32 late = quint32(engine->windows().at(20).id);
    desktop.windowServer.setCaptureFails(late, true);
    engine->requestSnapshots({late});
    settle(0.3);
    desktop.windowServer.setCaptureFails(late, false);
    engine->requestSnapshots({late});
    settle(0.3);
    EXPECT_EQ(desktop.windowServer.capturedWindows().count(late), 2);
    const auto lateCard = std::find_if(engine->windows().cbegin(), engine->windows().cend(),
                                       [late](const AppWindowModel &w) { return w.id == late; });
    ASSERT_NE(lateCard, engine->windows().cend());
    EXPECT_EQ(lateCard->image.size(), QSize(640, 480));

    // A picture of a card far down the list no longer fits once its window is resized: it is
    // taken anew in the next list's first batch, ahead of the pictures still missing.
    const quint32 resized = quint32(later.at(0));
    desktop.windowServer.setFrame(resized, QRectF(100, 100, 800, 400));
    engine->fetchAllWindows();
    settle(0.3);
    EXPECT_EQ(desktop.windowServer.capturedWindows().count(resized), 2);
    const qsizetype captures = desktop.windowServer.capturedWindows().size();

    // Outside the all-windows list nothing is asked for.
    engine->setCurrentOverlayRoute(OverlayRoute::clipboard);
    engine->requestSnapshots({engine->windows().at(35).id});
    settle(0.3);
    EXPECT_EQ(desktop.windowServer.capturedWindows().size(), captures);
}

// The grid reports its cards again at every scroll step: a card reported again while its capture
// was still on its way would be captured once more for each report.
TEST_F(WindowEngineTest, ACardReportedAgainWhileItsCaptureRunsIsCapturedOnce)
{
    const qint64 pid = launch("org.a", "Alpha");
    for (int i = 0; i < 60; ++i)
        addWindow(pid, QStringLiteral("Doc %1").arg(i));
    engine->fetchAllWindows();
    settle(0.3);
    ASSERT_EQ(engine->windows().size(), 60);
    const qint64 later = engine->windows().at(25).id;
    desktop.windowServer.setHoldCaptures(true);
    for (int report = 0; report < 3; ++report) {
        engine->requestSnapshots({later});
        settle(0.1);
    }
    desktop.windowServer.releaseCaptures();
    settle(0.3);
    EXPECT_EQ(desktop.windowServer.capturedWindows().count(quint32(later)), 1);

    // A window opening while a capture runs brings a new list: the card the capture was for still
    // gets its picture when it is next reported in view, not its application's icon for good.
    const qint64 cut = engine->windows().at(55).id;
    desktop.windowServer.setHoldCaptures(true);
    engine->requestSnapshots({cut});
    settle(0.1);
    addWindow(pid, QStringLiteral("Opened meanwhile"));
    settle(0.3);
    ASSERT_EQ(engine->windows().size(), 61);
    desktop.windowServer.setHoldCaptures(false);
    desktop.windowServer.releaseCaptures();
    settle(0.3);
    engine->requestSnapshots({cut});
    settle(0.3);
    const auto card = std::find_if(engine->windows().cbegin(), engine->windows().cend(),
                                   [cut](const AppWindowModel &w) { return w.id == cut; });
    ASSERT_NE(card, engine->windows().cend());
    EXPECT_EQ(card->image.size(), QSize(640, 480));
}

// A closed window's number is given to the next window: a capture of the closed one that came back
// late, or its picture kept in memory, stood for the new window.
TEST_F(WindowEngineTest, NothingOfAClosedWindowOutlivesIt)
{
    const qint64 pid = launch("org.a", "Alpha");
    const quint32 kept = addWindow(pid, "Kept");
    const quint32 closing = addWindow(pid, "Closing");
    engine->fetchWindows("Alpha");
    settle(0.3);
    ASSERT_TRUE(engine->snapshotCache().contains(closing));
    ASSERT_EQ(engine->appWindowCache().value("Alpha").size(), 2);

    desktop.windowServer.removeWindow(closing);
    EXPECT_EQ(desktop.windowServer.forgottenWindows(), QList<quint32>{closing});
    EXPECT_FALSE(engine->snapshotCache().contains(closing));
    EXPECT_TRUE(engine->snapshotCache().contains(kept));
    EXPECT_EQ(engine->appWindowCache().value("Alpha").size(), 1);
    EXPECT_EQ(titles(), QStringList{"Kept"});

    // Captures on their way when their windows close are dropped, the last to come too.
    const quint32 late = addWindow(pid, "Late");
    const quint32 later = addWindow(pid, "Later");
    desktop.windowServer.setHoldCaptures(true);
    engine->clearWindows();
    engine->fetchAllWindows();
    settle(0.3);
    ASSERT_TRUE(desktop.windowServer.capturedWindows().contains(later));
    desktop.windowServer.removeWindow(late);
    desktop.windowServer.removeWindow(later);
    desktop.windowServer.releaseCaptures();
    settle(0.3);
    EXPECT_FALSE(engine->snapshotCache().contains(late));
    EXPECT_FALSE(engine->snapshotCache().contains(later));
    EXPECT_TRUE(engine->snapshotCache().contains(kept));
}

// ---- Snapshots and caches ----

TEST_F(WindowEngineTest, BlankCaptureFallsBackAndSnapshotsReachTheDiskCache)
{
    const qint64 pid = launch("org.example.editor", "Editor");
    const quint32 blank =
        desktop.windowServer.addWindow(pid, QRectF(0, 0, 800, 600), QString("Blank"), QImage());
    desktop.windowServer.setFallbackImage(blank, picture(400, 300, Qt::red));
    const quint32 painted = addWindow(pid, "Painted");
    engine->fetchWindows("Editor");
    settle();
    ASSERT_EQ(engine->windows().size(), 2);
    EXPECT_EQ(engine->windows()[0].image.size(), QSize(400, 300)); // the fallback picture
    EXPECT_EQ(engine->windows()[1].image.size(), QSize(640, 480));
    EXPECT_EQ(desktop.windowServer.fallbackRequests(), QList<quint32>({blank}));
    EXPECT_TRUE(engine->snapshotCache().contains(painted));

    const QString file = diskFile(painted);
    ASSERT_TRUE(QFile::exists(file));
    EXPECT_EQ(QImageReader(file).format(), "png");

    // A later engine that cannot capture shows the disk-cached picture.
    desktop.windowServer.setCaptureFails(painted, true);
    WindowEngine later(desktop.platform(), scheduler, queues, settings, events);
    later.fetchWindows("Editor");
    scheduler.advance(0.3);
    ASSERT_EQ(later.windows().size(), 2);
    EXPECT_EQ(later.windows()[1].image.size(), QSize(640, 480));

    // A fallback picture needs more than ten pixels each way.
    for (const QSize size : {QSize(11, 11), QSize(10, 40), QSize(40, 10)}) {
        desktop.windowServer.setFallbackImage(blank, picture(size.width(), size.height()));
        restart();
        engine->fetchWindows("Editor");
        settle();
        ASSERT_EQ(engine->windows().size(), 2);
        EXPECT_EQ(engine->windows()[0].image.size() == size, size == QSize(11, 11)) << size.width();
    }
}

TEST_F(WindowEngineTest, SnapshotTrimDropsUnlistedEntriesFirstAndNeverTheNewOne)
{
    // Sixty untitled-content windows of one application, listed by a per-application scan (their
    // captures are blank, so the scan caches no snapshot).
    const qint64 pid = launch("org.example.editor", "Editor");
    QList<quint32> listed;
    for (int i = 0; i < 60; ++i)
        listed.append(desktop.windowServer.addWindow(pid, QRectF(0, 0, 800, 600),
                                                     QStringLiteral("W%1").arg(i), QImage()));
    const QImage image = picture(4, 4);
    const struct
    {
        int listedStored, unlistedStored, kept;
    } rows[] = {
        // 40 listed + 20 unlisted + 1 new: the first phase drops 16 unlisted entries, leaving 45.
        {40, 20, 45},
        // Only listed entries: one listed entry goes.
        {60, 0, 60},
    };
    for (const auto &row : rows) {
        restart();
        engine->fetchWindows("Editor");
        settle();
        ASSERT_EQ(engine->windows().size(), 60);
        ASSERT_TRUE(engine->snapshotCache().isEmpty());
        for (int i = 0; i < row.listedStored; ++i)
            engine->storeSnapshot(image, listed[i]);
        for (int i = 0; i < row.unlistedStored; ++i)
            engine->storeSnapshot(image, 5000 + i);
        ASSERT_EQ(engine->snapshotCache().size(), row.listedStored + row.unlistedStored);
        engine->storeSnapshot(image, 9999);
        EXPECT_EQ(engine->snapshotCache().size(), row.kept);
        EXPECT_TRUE(engine->snapshotCache().contains(9999));
        if (row.unlistedStored > 0) {
            for (int i = 0; i < row.listedStored; ++i)
                EXPECT_TRUE(engine->snapshotCache().contains(listed[i]));
        }
    }
}

TEST_F(WindowEngineTest, IconCacheTrimKeepsListedApplications)
{
    const qint64 listedPid = launch("org.listed", "Listed");
    desktop.appIcons.setApplicationIcon(listedPid, picture(16, 16));
    addWindow(listedPid, "Listed doc");
    engine->fetchAllWindows();
    scheduler.runPending();
    for (int i = 0; i < 45; ++i) {
        const qint64 pid =
            launch(i < 5 ? QString() : QStringLiteral("org.x%1").arg(i), QStringLiteral("X%1").arg(i));
        desktop.appIcons.setApplicationIcon(pid, picture(16, 16));
        RunningApp app{pid, {}, {}, false, false, true};
        engine->appIcon(app, i < 5 ? QString() : QStringLiteral("org.x%1").arg(i));
        if (engine->iconCache().size() == 40) {
            engine->pruneMemoryCaches(); // at the limit, not above it
            ASSERT_EQ(engine->iconCache().size(), 40);
        }
    }
    EXPECT_TRUE(engine->iconCache().contains(
        QStringLiteral("pid:%1").arg(desktop.workspace.runningApplications()[1].pid)));
    ASSERT_EQ(engine->iconCache().size(), 46);
    engine->pruneMemoryCaches();
    EXPECT_EQ(engine->iconCache().size(), 20);
    EXPECT_TRUE(engine->iconCache().contains("org.listed"));
}

TEST_F(WindowEngineTest, ApplicationListCacheDropsListsNotRequestedForThirtySeconds)
{
    for (int i = 0; i < 29; ++i) {
        engine->fetchWindows(QStringLiteral("App %1").arg(i));
        settle(0.06);
    }
    ASSERT_EQ(engine->appWindowCache().size(), 29);
    scheduler.advance(31);
    engine->fetchWindows("Fresh");
    settle();
    EXPECT_EQ(engine->appWindowCache().size(), 30); // at the limit, not above it
    engine->fetchWindows("Fresher");
    settle();
    EXPECT_EQ(engine->appWindowCache().size(), 15);
    EXPECT_TRUE(engine->appWindowCache().contains("Fresh"));
    EXPECT_TRUE(engine->appWindowCache().contains("Fresher"));
}

TEST_F(WindowEngineTest, StartUpPrunesTheDiskCache)
{
    const QDir cache(engine->snapshotDiskCacheDirectory());
    QFile old(cache.filePath(sha256Hex("org.a|old") + ".png"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("x");
    old.flush();
    ASSERT_TRUE(
        old.setFileTime(QDateTime::currentDateTimeUtc().addDays(-2), QFileDevice::FileModificationTime));
    old.close();
    WindowEngine next(desktop.platform(), scheduler, queues, settings, events);
    scheduler.runPending();
    EXPECT_FALSE(old.exists());
    EXPECT_TRUE(events.details(DiagEvents::folderRefused).isEmpty()); // the folder is ours
}

TEST_F(WindowEngineTest, ApplyingASnapshotToAnUnlistedWindowChangesNothing)
{
    const qint64 pid = launch("org.a", "Alpha");
    const quint32 id = desktop.windowServer.addWindow(pid, QRectF(0, 0, 800, 600), QString("Doc"), QImage());
    engine->fetchAllWindows();
    scheduler.runPending();
    const auto before = engine->windows();
    published.clear();
    scheduler.advance(1);
    EXPECT_FALSE(engine->applySnapshot(id + 1, picture(10, 10)));
    EXPECT_TRUE(published.isEmpty());
    EXPECT_TRUE(engine->snapshotCache().isEmpty());
    EXPECT_TRUE(engine->applySnapshot(id, picture(10, 10)));
    EXPECT_NE(engine->windows().first(), before.first()); // a new snapshot time: observers redraw
    EXPECT_EQ(engine->windows().first().id, before.first().id);
}

// ---- Hiding ----

TEST_F(WindowEngineTest, HidingAnApplicationWithoutIdentifierUsesItsName)
{
    // Fault: hiding a window whose application has no identifier stored an empty entry (a trailing
    // ",") that hid nothing, and removed every identifier-less window from the list.
    const qint64 scratch = launch("", "Scratch");
    const qint64 other = launch("", "Other");
    addWindow(scratch, "Pad");
    addWindow(other, "Sheet");
    engine->setIgnoredAppsData("org.a");
    engine->fetchAllWindows();
    scheduler.runPending();
    ASSERT_EQ(titles().size(), 2);
    engine->hideFromPreview(engine->windows().first());
    EXPECT_EQ(engine->ignoredAppsData(), "org.a,Scratch");
    EXPECT_EQ(titles(), QStringList({"Sheet"}));
    EXPECT_TRUE(engine->isIgnoredAppName("scratch"));
}

TEST_F(WindowEngineTest, HidingAnAlreadyListedIdentifierLeavesTheSettingAlone)
{
    const qint64 pid = launch("org.a", "Alpha");
    addWindow(pid, "One");
    addWindow(pid, "Two");
    engine->fetchAllWindows();
    scheduler.runPending();
    engine->setIgnoredAppsData("org.b,org.a");
    engine->hideFromPreview(engine->windows().first());
    EXPECT_TRUE(titles().isEmpty());
    EXPECT_EQ(engine->ignoredAppsData(), "org.b,org.a");
    engine->setIgnoredAppsData(" org.a");
    engine->hideFromPreview(AppWindowModel{1, "Alpha", "", {}, pid, {}, "org.a", 0, {}, false, 0});
    EXPECT_EQ(engine->ignoredAppsData(), " org.a,org.a");
}

// ---- Real threads ----

TEST(WindowEngineThreads, ScansWithProbesAndDiskWorkOnRealThreads)
{
    QDir(snapshotDiskCacheDirectory()).removeRecursively();
    SimDesktop desktop;
    desktop.addDefaultScreen();
    QtScheduler scheduler;
    ThreadQueueFactory queues;
    SettingsStore settings;
    const qint64 pid =
        desktop.workspace.launch(RunningApp{0, "org.example.editor", "Editor", false, false, true});
    QList<quint32> ids;
    for (int i = 0; i < 30; ++i)
        ids.append(desktop.windowServer.addWindow(pid, QRectF(10 * i, 10 * i, 800, 600),
                                                  QStringLiteral("Doc %1").arg(i), picture(800, 600)));
    desktop.windowServer.setMinimized(ids[5], true);
    RecordingEventLog events;
    WindowEngine engine(desktop.platform(), scheduler, queues, settings, events);
    engine.fetchWindows("Editor");
    QElapsedTimer clock;
    clock.start();
    while (engine.windows().size() < 30 && clock.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    ASSERT_EQ(engine.windows().size(), 30);
    int minimized = 0;
    for (const auto &w : engine.windows())
        minimized += w.isMinimized ? 1 : 0;
    EXPECT_EQ(minimized, 1);
    // The disk writes land off the main thread. Other test programs share the test cache folder, so
    // each window's own file is looked for rather than counting the folder.
    const QDir cache(engine.snapshotDiskCacheDirectory());
    const auto written = [&] {
        int count = 0;
        for (int i = 0; i < 30; ++i) {
            WindowInfo window;
            window.windowId = ids[i];
            window.title = QStringLiteral("Doc %1").arg(i);
            window.ownerPID = pid;
            window.ownerName = QStringLiteral("Editor");
            window.ownerBundleIdentifier = QStringLiteral("org.example.editor");
            count += cache.exists(snapshotWindowFileName(window)) ? 1 : 0;
        }
        return count;
    };
    while (written() < 30 && clock.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(written(), 30);
}

// A window that closed while the all-windows list showed stayed listed until the list was asked
// for again; one that opened never appeared.
TEST_F(WindowEngineTest, TheAllWindowsListFollowsWindowsOpeningAndClosingOnlyWhileItIsShown)
{
    const qint64 alpha = launch("org.a", "Alpha");
    const quint32 first = addWindow(alpha, "Alpha one");
    addWindow(alpha, "Alpha two");
    engine->fetchAllWindows();
    settle(0.3);
    ASSERT_EQ(titles(), QStringList({"Alpha one", "Alpha two"}));

    desktop.windowServer.removeWindow(first);
    addWindow(launch("org.b", "Beta"), "Beta doc");
    settle(0.29);
    EXPECT_EQ(titles(), QStringList({"Alpha two", "Beta doc"}));

    // Once the panel let its list go, nothing is scanned or published for it: a late list would be
    // the first the next opening sees.
    engine->clearWindows();
    QSignalSpy published(engine.get(), &WindowEngine::windowsChanged);
    const int scansWhileHidden = desktop.windowServer.listRequestCount();
    addWindow(alpha, "Alpha hidden");
    settle(0.3);
    EXPECT_EQ(desktop.windowServer.listRequestCount(), scansWhileHidden);
    EXPECT_EQ(published.count(), 0);

    // A per-application list, or none, is left alone.
    engine->fetchWindows("Alpha");
    settle(0.3);
    const int scans = desktop.windowServer.listRequestCount();
    addWindow(alpha, "Alpha three");
    settle(0.3);
    EXPECT_EQ(desktop.windowServer.listRequestCount(), scans);
    engine->clearWindows();
    addWindow(alpha, "Alpha four");
    settle(0.3);
    EXPECT_EQ(desktop.windowServer.listRequestCount(), scans);

    // A window that opens while the first scan of a showing is still under way (its list read
    // before the window was there) gets its card once that scan has shown its list, also when the
    // list shown last was an application's.
    desktop.windowServer.setHoldLists(true);
    engine->fetchAllWindows();
    settle(0.05);
    addWindow(alpha, "Alpha late");
    settle(0.2);
    desktop.windowServer.releaseLists();
    settle(0.3);
    desktop.windowServer.setHoldLists(false);
    desktop.windowServer.releaseLists();
    settle(0.3);
    EXPECT_TRUE(titles().contains("Alpha late")) << titles().join(", ").toStdString();
}
