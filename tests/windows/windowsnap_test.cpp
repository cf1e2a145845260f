#include "windows/windowactionfixture.h"

#include <QRegularExpression>

#include "platform/sim/simaccessibility.h"

using namespace qv;
using ::testing::ElementsAre;

namespace {
QStringList played(const SimFeedback &feedback)
{
    QStringList out;
    for (const auto &entry : feedback.played())
        out.append(entry.what);
    return out;
}
} // namespace

TEST_F(WindowActionTest, PeekKeepsItsWindowFollowsTheSettingAndOutlastsADrag)
{
    const qint64 pid = launch("Editor");
    const AppWindowModel report = card(addWindow(pid, "Report"));
    const AppWindowModel notes = card(addWindow(pid, "Notes", QRectF(300, 200, 600, 400)));
    int changes = 0;
    QObject::connect(engine.get(), &WindowEngine::peekingWindowChanged, [&] { ++changes; });

    engine->startPeeking(report, false);
    EXPECT_FALSE(engine->peekingWindow());
    engine->startPeeking(report, true);
    AppWindowModel fresher = report;
    fresher.snapshotTime += 5;
    engine->startPeeking(fresher, true);
    EXPECT_EQ(engine->peekingWindow()->snapshotTime, report.snapshotTime);
    EXPECT_EQ(changes, 1);

    // A drag keeps the peek until it ends.
    engine->updateDrag(720, 450);
    engine->stopPeeking();
    EXPECT_EQ(engine->peekingWindow()->id, report.id);
    engine->endDrag(report);
    EXPECT_FALSE(engine->peekingWindow());

    engine->setEnablePeeking(false);
    engine->startPeeking(notes, true);
    EXPECT_FALSE(engine->peekingWindow());
    EXPECT_EQ(changes, 2);
}

TEST_F(WindowActionTest, DragZoneIsThrottledWhileEveryUpdateRestartsTheSafetyTimeout)
{
    const qint64 pid = launch("Editor");
    const AppWindowModel report = card(addWindow(pid, "Report"));
    engine->startPeeking(report, true);
    int zoneChanges = 0;
    QObject::connect(engine.get(), &WindowEngine::dragTargetZoneChanged, [&] { ++zoneChanges; });

    engine->updateDrag(720, 450);
    EXPECT_TRUE(engine->isDragging());
    EXPECT_FALSE(engine->dragTargetZone());
    scheduler.advance(0.005);
    engine->updateDrag(10, 450); // within 1/120 s: no zone yet
    EXPECT_FALSE(engine->dragTargetZone());
    scheduler.advance(0.01);
    engine->updateDrag(10, 899); // the top-left corner of the main screen
    EXPECT_EQ(engine->dragTargetZone(), SnapPosition::maximize);
    engine->updateDrag(10, 899);
    EXPECT_EQ(zoneChanges, 1);

    // No more updates: five seconds after the last one the drag ends, and its peek with it (a peek
    // left behind hung over the screen as a ghost of the window, swallowing clicks).
    scheduler.advance(4.999);
    EXPECT_TRUE(engine->isDragging());
    scheduler.advance(0.002);
    EXPECT_FALSE(engine->isDragging());
    EXPECT_FALSE(engine->dragTargetZone());
    EXPECT_FALSE(engine->peekingWindow());
}

TEST_F(WindowActionTest, EndDragWithoutAZoneResetsEverythingAndSnapsNothing)
{
    const qint64 pid = launch("Editor");
    const quint32 id = addWindow(pid, "Report");
    engine->startPeeking(card(id), true);
    engine->updateDrag(720, 450);
    desktop.activation.clearCalls();
    desktop.accessibility.clearCalls();

    engine->endDrag(card(id));
    EXPECT_FALSE(engine->isDragging());
    EXPECT_FALSE(engine->peekingWindow());
    scheduler.advance(6);
    EXPECT_TRUE(desktop.activation.calls().isEmpty());
    EXPECT_TRUE(writes().isEmpty());
    EXPECT_TRUE(desktop.feedback.played().isEmpty());
    EXPECT_EQ(frameOf(id), QRectF(100, 100, 800, 600));
    // The throttle starts afresh with the next drag.
    engine->updateDrag(10, 450);
    EXPECT_EQ(engine->dragTargetZone(), SnapPosition::left);
}

TEST_F(WindowActionTest, DropOnTheLeftZoneSnapsToTheLeftHalfOfThePointersScreen)
{
    desktop.screens.setScreens({mainScreenInfo, upperScreenInfo});
    const qint64 pid = launch("Editor");
    const quint32 id = addWindow(pid, "Report");
    engine->updateDrag(10, 1000); // left zone of the upper screen
    desktop.screens.setMouseLocation(QPointF(10, 1000));
    desktop.activation.clearCalls();

    start();
    engine->endDrag(card(id));
    // The drop focuses the window as a menu snap does, so the window ends in front with the keyboard
    // (a Super Panel hiding after the drop handed it back to the window it came from).
    EXPECT_EQ(engine->focusRequestCount(), 1u);
    ASSERT_FALSE(desktop.activation.calls().isEmpty());
    EXPECT_THAT(desktop.activation.calls().first(), ActivationAt(at(0), "activate", pid, 3));
    scheduler.advance(0.099);
    EXPECT_EQ(frameOf(id), QRectF(100, 100, 800, 600));
    scheduler.advance(0.002);
    // The left half of the upper screen's visible frame (0, 900, 960 x 1055), in top-left terms.
    EXPECT_EQ(frameOf(id), QRectF(0, -1055, 960, 1055));
    EXPECT_EQ(desktop.windowServer.stackingOrder().first(), id);
    EXPECT_EQ(played(desktop.feedback), QStringList({"haptic"}));
    EXPECT_EQ(desktop.workspace.frontmostApplication().pid, pid);
    // The placement is made once more 200 ms later, without more feedback.
    scheduler.advance(0.3);
    EXPECT_EQ(writes().filter(QRegularExpression("AXPosition|AXSize")).size(), 6);
    EXPECT_NEAR(timeOf(QStringLiteral("window:%1").arg(id), "AXPosition"), 0.1, 1e-6);
    EXPECT_EQ(played(desktop.feedback), QStringList({"haptic"}));
}

TEST_F(WindowActionTest, MenuSnapToTheCentreWaitsForTheFocusAndCapsTheSize)
{
    struct Case
    {
        ScreenInfo screen;
        QRectF expected; // top-left
    };
    const QList<Case> cases = {
        {{QRectF(0, 0, 1440, 900), QRectF(0, 0, 1440, 875)}, QRectF(144, 112.5, 1152, 700)},
        {{QRectF(0, 0, 2560, 1440), QRectF(0, 25, 2560, 1415)}, QRectF(680, 307.5, 1200, 800)},
    };
    for (const Case &c : cases) {
        desktop.screens.setScreens({c.screen});
        const qint64 pid = launch("Editor");
        const quint32 id = addWindow(pid, "Report");
        start();
        engine->snapWindow(card(id), SnapPosition::center);
        scheduler.advance(0.299);
        EXPECT_EQ(frameOf(id), QRectF(100, 100, 800, 600));
        scheduler.advance(0.002);
        EXPECT_EQ(frameOf(id), c.expected);
        EXPECT_EQ(desktop.workspace.frontmostApplication().pid, pid);
        // A program that puts its window back as it takes the focus is placed once more.
        desktop.windowServer.setFrame(id, QRectF(100, 100, 800, 600));
        scheduler.advance(0.2);
        EXPECT_EQ(frameOf(id), c.expected);
        scheduler.advance(1);
        desktop.workspace.terminate(pid);
    }
}

TEST_F(WindowActionTest, MenuSnapOfAWindowOnAScreenAboveTheMainOneStaysOnThatScreen)
{
    desktop.screens.setScreens({mainScreenInfo, upperScreenInfo});
    desktop.screens.setMouseLocation(QPointF(720, 450)); // the pointer plays no part
    const qint64 pid = launch("Editor");
    const quint32 id = addWindow(pid, "Report", QRectF(100, -800, 800, 600));
    engine->snapWindow(card(id), SnapPosition::right);
    scheduler.advance(1);
    EXPECT_EQ(frameOf(id), QRectF(960, -1055, 960, 1055));
}

TEST_F(WindowActionTest, SnapFeedbackFollowsTheSettingsAndNeedsAWindow)
{
    const qint64 pid = launch("Editor");
    AppWindowModel report = card(addWindow(pid, "Report"));
    engine->playSnapFeedback();
    engine->setEnableSnapHaptic(false);
    engine->setEnableSnapSound(true);
    engine->playSnapFeedback();
    engine->setEnableSnapHaptic(true);
    engine->playSnapFeedback();
    EXPECT_EQ(played(desktop.feedback), QStringList({"haptic", "sound", "haptic", "sound"}));

    // A window accessibility cannot reach is neither moved nor celebrated.
    desktop.feedback.clear();
    desktop.accessibility.appElement(pid)->set("AXWindows", QList<AXElementPtr>());
    engine->applySnap(report, SnapPosition::left);
    EXPECT_TRUE(desktop.feedback.played().isEmpty());
    EXPECT_EQ(frameOf(report.id), QRectF(100, 100, 800, 600));
}

// A window that refused its new frame (a maximised one the window manager held) still got the
// snap's feedback, telling the user it had snapped. Feedback now follows a frame that was set, by
// a drop as by a menu.
TEST_F(WindowActionTest, AWindowThatRefusesItsFrameGetsNoSnapFeedback)
{
    const qint64 pid = launch("Editor");
    const quint32 id = addWindow(pid, "Report");
    desktop.windowServer.axWindow(id)->setError(QStringLiteral("AXSize"), AXError::cannotComplete);
    engine->applySnap(card(id), SnapPosition::left);
    engine->snapWindow(card(id), SnapPosition::right);
    scheduler.advance(1);
    EXPECT_TRUE(desktop.feedback.played().isEmpty());

    desktop.windowServer.axWindow(id)->setError(QStringLiteral("AXSize"), 0);
    engine->snapWindow(card(id), SnapPosition::right);
    scheduler.advance(1);
    EXPECT_EQ(played(desktop.feedback), QStringList({"haptic"}));
}
