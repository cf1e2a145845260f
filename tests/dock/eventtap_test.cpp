#include <gtest/gtest.h>

#include <QSignalSpy>

#include "core/diagnostics/diagevents.h"
#include "core/settingsstore.h"
#include "dock/dockmonitor.h"
#include "platform/sim/simdesktop.h"
#include "runtime/manualscheduler.h"
#include "runtime/workqueue.h"
#include "support/consolecapture.h"
#include "support/recordingeventlog.h"

using namespace qv;

namespace {

constexpr int tab = 48;
constexpr int cKey = 8;
constexpr int sKey = 1;
constexpr quint32 option = keyOptionFlag;
constexpr quint64 ms = 1'000'000;

// The simulated desktop's 1440x900 screen with tiles A, B, C along the bottom (global, top-left
// coordinates: y 836...896, x 500, 570, 640, 60 pt wide), the monitor watching it through a tap.
class EventTapTest : public ::testing::Test
{
public:
    void SetUp() override
    {
        sim.addDefaultScreen();
        sim.screens.setMouseLocation(QPointF(720, 450));
        for (int i = 0; i < 3; ++i)
            sim.addDockTile(QString(QChar('A' + i)), QRectF(500 + 70 * i, 836, 60, 60));
    }
    void start()
    {
        monitor = std::make_unique<DockMonitor>(sim.platform(), scheduler, queues, settings, eventLog);
        routes = std::make_unique<QSignalSpy>(monitor.get(), &DockMonitor::globalSwitcherEvent);
        scheduler.runPending();
    }
    // Presses a key at the given event time; true when it was consumed.
    bool press(int keyCode, quint32 flags, quint64 at, bool autorepeat = false)
    {
        input().eventTime = at;
        const bool consumed = input().pressKey(keyCode, flags, autorepeat);
        scheduler.runPending();
        return consumed;
    }
    QStringList sentRoutes() const
    {
        QStringList sent;
        for (const auto &args : *routes)
            sent << args.first().toString();
        return sent;
    }
    SimGlobalInput &input() { return sim.globalInput; }

    SimDesktop sim;
    ManualScheduler scheduler;
    SchedulerQueueFactory queues{scheduler};
    SettingsStore settings;
    RecordingEventLog eventLog;
    std::unique_ptr<DockMonitor> monitor;
    std::unique_ptr<QSignalSpy> routes;
};

struct KeyRow
{
    const char *name;
    QVariantMap stored;
    int keyCode;
    quint32 flags;
    bool autorepeat;
    // Empty: the key passes to the focused application and nothing opens.
    QString route;
};

class HotkeyMatching : public EventTapTest, public ::testing::WithParamInterface<KeyRow>
{
};

const QVariantMap modules{{QStringLiteral("enableModuleHotkeys"), true}};

QVariantMap with(QVariantMap base, const QString &key, const QVariant &value)
{
    base.insert(key, value);
    return base;
}

const KeyRow keyRows[] = {
    {"switcherWithNothingStored", {}, tab, option, false, "all"},
    {"capsLockTakesNoPart", {}, tab, option | keyCapsLockFlag, false, "all"},
    {"shiftMakesAnotherCombination", {}, tab, option | keyShiftFlag, false, ""},
    {"commandMakesAnotherCombination", {}, tab, keyCommandFlag, false, ""},
    {"autorepeatPasses", {}, tab, option, true, ""},
    {"moduleKeysOffByDefault", {}, cKey, option, false, ""},
    {"clipboardPair", modules, cKey, option, false, "clipboard"},
    {"shelfPair", modules, sKey, option, false, "shelf"},
    {"modulePairWinsOverSwitcher", with(modules, "clipboardKeyCode", tab), tab, option, false, "clipboard"},
    {"switcherOff", {{"enableGlobalSwitcher", false}}, tab, option, false, ""},
    {"switcherOffKeepsModulePairs", with(modules, "enableGlobalSwitcher", false), sKey, option, false,
     "shelf"},
    {"switcherFlagAsTextCountsAsOn", {{"enableGlobalSwitcher", "false"}}, tab, option, false, "all"},
    {"recordingPassesSwitcher", {{"isRecordingShortcut", true}}, tab, option, false, ""},
    {"recordingPassesModulePairs", with(modules, "isRecordingShortcut", true), cKey, option, false, ""},
    {"customCombination",
     {{"customKeyCode", 49}, {"customFlags", 0x140000}},
     49,
     keyControlFlag | keyCommandFlag,
     false,
     "all"},
    // How stored values read is KeyboardShortcut::read's table; a bare key stays the application's.
    {"bareKeyStoredIsRefused", with(modules, "clipboardFlags", 0), cKey, 0, false, ""},
    {"switcherFlagAsNumberCountsAsOn", {{"enableGlobalSwitcher", 0}}, tab, option, false, "all"},
};

} // namespace

TEST_P(HotkeyMatching, DecidesTheKeyAndSendsItsRoute)
{
    const KeyRow &row = GetParam();
    for (auto it = row.stored.begin(); it != row.stored.end(); ++it)
        settings.setValue(it.key(), it.value());
    start();

    const bool consumed = press(row.keyCode, row.flags, 1000 * ms, row.autorepeat);

    if (row.route.isEmpty()) {
        EXPECT_FALSE(consumed);
        EXPECT_EQ(input().keysReceivedByApplication, QList<int>{row.keyCode});
        EXPECT_TRUE(sentRoutes().isEmpty());
        EXPECT_TRUE(eventLog.events().filter(QStringLiteral("hotkey_")).isEmpty());
    } else {
        EXPECT_TRUE(consumed);
        EXPECT_TRUE(input().keysReceivedByApplication.isEmpty());
        EXPECT_EQ(sentRoutes(), QStringList{row.route});
        EXPECT_EQ(eventLog.events(),
                  QStringList{QStringLiteral("hotkey_%1 keyCode=%2").arg(row.route).arg(row.keyCode)});
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, HotkeyMatching, ::testing::ValuesIn(keyRows),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(EventTapTest, HeldShortcutFiresOnceUntilItsKeyUpOrTheLatchRunsOut)
{
    start();
    EXPECT_TRUE(press(tab, option, 1000 * ms));
    // A second key-down 100 ms later without a key-up is the same press: consumed, nothing sent.
    EXPECT_TRUE(press(tab, option, 1100 * ms));
    EXPECT_EQ(sentRoutes().size(), 1);
    // Another key's key-up leaves the latch; this key's key-up ends it.
    input().releaseKey(cKey);
    EXPECT_TRUE(press(tab, option, 1150 * ms));
    EXPECT_EQ(sentRoutes().size(), 1);
    input().releaseKey(tab);
    EXPECT_TRUE(press(tab, option, 1200 * ms));
    EXPECT_EQ(sentRoutes().size(), 2);
    // 220 ms after the fired key-down the latch no longer holds, key-up or not.
    EXPECT_TRUE(press(tab, option, 1419 * ms));
    EXPECT_EQ(sentRoutes().size(), 2);
    EXPECT_TRUE(press(tab, option, 1420 * ms));
    EXPECT_EQ(sentRoutes().size(), 3);
    // An event clock that went backwards is no repeat of the latched press.
    EXPECT_TRUE(press(tab, option, 900 * ms));
    EXPECT_EQ(sentRoutes().size(), 4);
    EXPECT_TRUE(input().keysReceivedByApplication.isEmpty());
}

TEST_F(EventTapTest, SettingsChangesReachTheKeyPathAndTheDesktopGrabs)
{
    start();
    EXPECT_EQ(input().shortcuts(), (QList<KeyCombination>{{tab, option}}));

    settings.set(Settings::enableModuleHotkeys, true);
    EXPECT_EQ(input().shortcuts(), (QList<KeyCombination>{{cKey, option}, {sKey, option}, {tab, option}}));
    EXPECT_TRUE(press(cKey, option, 1000 * ms));

    // A recorder listening must see every key, so nothing stays grabbed.
    settings.set(Settings::isRecordingShortcut, true);
    EXPECT_TRUE(input().shortcuts().isEmpty());
    EXPECT_FALSE(press(sKey, option, 2000 * ms));

    // A combination another program holds is reported; the rest stay in force.
    input().heldElsewhere = {{sKey, option}};
    settings.set(Settings::isRecordingShortcut, false);
    EXPECT_EQ(monitor->refusedShortcuts(), (QList<KeyCombination>{{sKey, option}}));
    EXPECT_EQ(input().shortcuts(), (QList<KeyCombination>{{cKey, option}, {tab, option}}));

    // The latch survives a reload.
    input().releaseKey(cKey);
    EXPECT_TRUE(press(tab, option, 3000 * ms));
    settings.set(Settings::shelfKeyCode, 2);
    EXPECT_EQ(monitor->shortcutState().latchedHotkeyKeyCode, tab);

    monitor.reset();
    EXPECT_TRUE(input().shortcuts().isEmpty());
}

// Regression: a stored shortcut without Ctrl, Alt or Super was replaced by the default without a
// word. It is told once for each stored pair, however often the settings change afterwards.
TEST_F(EventTapTest, AStoredShortcutWithoutAModifierIsToldOnceAndTheDefaultServes)
{
    test::ConsoleCapture console;
    settings.set(Settings::customKeyCode, 0);
    settings.set(Settings::customFlags, int(keyShiftFlag));
    start();
    EXPECT_EQ(eventLog.details(DiagEvents::shortcutNotUsed),
              QStringList{QStringLiteral("customKeyCode=0, customFlags=131072: no Ctrl, Alt or Super")});
    ASSERT_EQ(console.linesWith(QStringLiteral("is not used")).size(), 1);
    EXPECT_TRUE(console.linesWith(QStringLiteral("is not used"))[0].contains(QStringLiteral("Shift+A")))
        << console.lines().join('\n').toStdString();
    EXPECT_TRUE(press(tab, option, 1 * ms));
    EXPECT_EQ(sentRoutes(), QStringList{QStringLiteral("all")});

    settings.set(Settings::ignoreSingleWindow, true);
    settings.set(Settings::clipboardFlags, 0);
    scheduler.runPending();
    EXPECT_EQ(eventLog.details(DiagEvents::shortcutNotUsed),
              (QStringList{QStringLiteral("customKeyCode=0, customFlags=131072: no Ctrl, Alt or Super"),
                           QStringLiteral("clipboardKeyCode=8, clipboardFlags=0: no Ctrl, Alt or Super")}));
    EXPECT_EQ(console.linesWith(QStringLiteral("is not used")).size(), 2);
}

// Regression: "customKeyCode" -5 with "customFlags" 4294967295 was kept as a shortcut on no key,
// so Alt+Tab stopped working and the refusal blamed another program. The default serves, and one
// line names what was stored and why it is not used.
TEST_F(EventTapTest, AStoredShortcutOnNoKeyIsToldAndTheDefaultServes)
{
    test::ConsoleCapture console;
    settings.setValue(Settings::customKeyCode.key(), -5);
    settings.setValue(Settings::customFlags.key(), qint64(4294967295));
    start();
    EXPECT_EQ(input().shortcuts(), (QList<KeyCombination>{{tab, option}}));
    EXPECT_TRUE(monitor->refusedShortcuts().isEmpty());
    EXPECT_TRUE(press(tab, option, 1 * ms));
    EXPECT_EQ(sentRoutes(), QStringList{QStringLiteral("all")});
    EXPECT_EQ(eventLog.details(DiagEvents::shortcutNotUsed),
              QStringList{QStringLiteral("customKeyCode=-5, customFlags=4294967295: no key of this keyboard; "
                                         "no modifiers of a key press")});
    const QStringList lines = console.linesWith(QStringLiteral("is not used"));
    ASSERT_EQ(lines.size(), 1) << console.lines().join('\n').toStdString();
    EXPECT_TRUE(lines[0].contains(QStringLiteral("Alt+Tab is used instead"))) << lines[0].toStdString();
}

TEST_F(EventTapTest, RefusedTapIsRetriedByTheHoverTickAndASwitchedOffTapIsRevived)
{
    input().refuseTap = true;
    input().heldElsewhere = {{sKey, option}};
    settings.set(Settings::enableModuleHotkeys, true);
    start();
    EXPECT_FALSE(input().hasTap());
    scheduler.advance(DockMonitor::hoverInterval);
    EXPECT_FALSE(input().hasTap());

    // The combinations set before the tap existed are in force once it does, and what another
    // program holds is known only then.
    input().refuseTap = false;
    scheduler.advance(DockMonitor::hoverInterval);
    EXPECT_TRUE(input().hasTap());
    EXPECT_EQ(input().tapCreations(), 1);
    EXPECT_EQ(monitor->refusedShortcuts(), (QList<KeyCombination>{{sKey, option}}));
    EXPECT_TRUE(press(tab, option, 1000 * ms));

    input().disableTap();
    EXPECT_FALSE(press(tab, option, 2000 * ms));
    EXPECT_TRUE(input().tapEnabled());
    EXPECT_TRUE(press(tab, option, 3000 * ms));
}

struct EdgeRow
{
    const char *name;
    // Global x of the drag; the screen is 0...1440 wide.
    double x;
    bool fires;
};

class EdgeDrag : public EventTapTest, public ::testing::WithParamInterface<EdgeRow>
{
};

const EdgeRow edgeRows[] = {
    {"leftEdge", 0, true},  {"eightFromLeft", 8, true},     {"nineFromLeft", 9, false},
    {"middle", 720, false}, {"eightFromRight", 1432, true}, {"nineFromRight", 1431, false},
};

TEST_P(EdgeDrag, OpensTheShelfAfterAQuarterSecondInTheZone)
{
    settings.set(Settings::enableModuleHotkeys, true);
    start();
    input().beginDrag({QStringLiteral("text/uri-list")});
    const QPointF at(GetParam().x, 450);
    input().moveDrag(at);
    scheduler.advance(0.249);
    input().moveDrag(at);
    scheduler.runPending();
    EXPECT_TRUE(sentRoutes().isEmpty());
    scheduler.advance(0.001);
    input().moveDrag(at);
    scheduler.runPending();
    EXPECT_EQ(sentRoutes(), GetParam().fires ? QStringList{QStringLiteral("shelf")} : QStringList());
}

INSTANTIATE_TEST_SUITE_P(Rows, EdgeDrag, ::testing::ValuesIn(edgeRows),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(EdgeDrag, FiresOncePerStayAndOnlyForDataDragsWithModuleHotkeysOn)
{
    const auto dwell = [&](const QPointF &at) {
        for (int i = 0; i < 4; ++i) {
            input().moveDrag(at);
            scheduler.advance(0.1);
        }
        input().moveDrag(at);
        scheduler.runPending();
    };
    const QPointF edge(4, 450), inside(9, 450);
    start();

    // Module hotkeys off: nothing, whatever the drag carries.
    input().beginDrag({QStringLiteral("text/uri-list")});
    dwell(edge);
    EXPECT_TRUE(sentRoutes().isEmpty());

    settings.set(Settings::enableModuleHotkeys, true);
    dwell(edge);
    dwell(edge);
    EXPECT_EQ(sentRoutes().size(), 1);
    // Leaving the zone and coming back arms it again.
    dwell(inside);
    dwell(edge);
    EXPECT_EQ(sentRoutes().size(), 2);
    // A drag that ends at the edge leaves the next drag armed.
    input().endDrag();
    input().beginDrag({QStringLiteral("text/plain")});
    dwell(edge);
    EXPECT_EQ(sentRoutes().size(), 3);
    // A drag without data (a window being moved) never opens the shelf.
    input().endDrag();
    input().beginDrag({});
    dwell(edge);
    EXPECT_EQ(sentRoutes().size(), 3);
    EXPECT_TRUE(eventLog.events().isEmpty());
}

TEST_F(EventTapTest, WheelTicksOverATileAreCoalescedToOneHitTestPerInterval)
{
    start();
    QSignalSpy scrolls(monitor.get(), &DockMonitor::scrollEventChanged);
    const QPointF onA(530, 866), onB(600, 866), offDock(720, 450);
    scheduler.advance(1.0);

    // A tick with no delta is no tick; one beside the tiles hits nothing.
    input().scroll(0, onA);
    input().scroll(1, offDock);
    scheduler.advance(0.1);
    EXPECT_EQ(scrolls.count(), 0);

    // Ten ticks within 0.08 s after a quiet moment: the first at once, then the latest one when the
    // interval has passed.
    input().scroll(1, onA);
    scheduler.runPending();
    ASSERT_EQ(scrolls.count(), 1);
    EXPECT_EQ(monitor->scrollEvent(), (DockScrollEvent{QStringLiteral("A"), DockScrollDirection::up}));
    for (int i = 1; i < 10; ++i) {
        scheduler.advance(0.007);
        input().scroll(i < 9 ? 1 : -1, i < 9 ? onA : onB);
    }
    scheduler.advance(0.08 - 0.063 - 0.001);
    EXPECT_EQ(scrolls.count(), 1);
    scheduler.advance(0.002);
    ASSERT_EQ(scrolls.count(), 2);
    EXPECT_EQ(monitor->scrollEvent(), (DockScrollEvent{QStringLiteral("B"), DockScrollDirection::down}));

    // The same tick again is published again.
    scheduler.advance(1.0);
    input().scroll(-1, onB);
    scheduler.runPending();
    EXPECT_EQ(scrolls.count(), 3);
}
