#include "windows/windowactionfixture.h"

#include "platform/appactivation.h"
#include "platform/sim/simaccessibility.h"

using namespace qv;
using ::testing::ElementsAre;

namespace {
QString win(quint32 id, const char *kind = "window")
{
    return QStringLiteral("%1:%2").arg(QLatin1String(kind)).arg(id);
}
} // namespace

// ---- Minimise ----

TEST_F(WindowActionTest, MinimiseWaitsForTheApplicationToConfirmBeforeTheCardChanges)
{
    const qint64 pid = launch("Editor");
    const quint32 id = addWindow(pid, "Report");
    desktop.windowServer.setBehaviour(id, SimWindowBehaviour{0.06});
    list("Editor");
    desktop.activation.clearCalls();
    start();
    const double wallStart = scheduler.wallNow();
    engine->minimizeWindow(card(id));

    // Activation, 30 ms later the raise, 20 ms later the minimise request.
    EXPECT_THAT(desktop.activation.calls(), ElementsAre(ActivationAt(at(0), "activate", pid, 2)));
    scheduler.advance(0.03);
    EXPECT_NEAR(timeOf(win(id), "AXRaise"), 0.03, 1e-6);
    scheduler.advance(0.02);
    EXPECT_NEAR(timeOf(win(id), "AXMinimized"), 0.05, 1e-6);
    // The window minimises 60 ms later; the reads 45 ms apart see it at 140 ms.
    scheduler.advance(0.089);
    EXPECT_FALSE(desktop.windowServer.window(id)->isOnScreen);
    EXPECT_FALSE(listed(id)->isMinimized);
    scheduler.advance(0.002);
    EXPECT_TRUE(listed(id)->isMinimized);
    EXPECT_EQ(publications, 1);
    EXPECT_NEAR(listed(id)->snapshotTime, wallStart + 0.14, 1e-6);
}

// A focus of the window still under way restored it at its last step, undoing a minimise the user
// asked for meanwhile.
TEST_F(WindowActionTest, MinimiseRightAfterAFocusStays)
{
    const qint64 pid = launch("Editor");
    const quint32 id = addWindow(pid, "Report");
    list("Editor");
    engine->focusWindow(card(id));
    scheduler.advance(0.01);
    engine->minimizeWindow(card(id));
    scheduler.advance(2);
    EXPECT_FALSE(desktop.windowServer.window(id)->isOnScreen);
    EXPECT_TRUE(listed(id)->isMinimized);
}

TEST_F(WindowActionTest, MinimiseFallsBackToTheButtonAndGivesUpWithoutConfirmation)
{
    const qint64 pid = launch("Editor");
    const quint32 viaButton = addWindow(pid, "Report");
    const quint32 stubborn = addWindow(pid, "Notes", QRectF(300, 200, 600, 400));
    SimWindowBehaviour ignoring;
    ignoring.ignoresMinimizedAttribute = true;
    desktop.windowServer.setBehaviour(viaButton, ignoring);
    ignoring.hasMinimizeButton = false;
    desktop.windowServer.setBehaviour(stubborn, ignoring);
    // One whose accessibility refuses the request outright, and has no button either.
    const quint32 refusing = addWindow(pid, "Draft", QRectF(600, 300, 500, 400));
    SimWindowBehaviour withoutButton;
    withoutButton.hasMinimizeButton = false;
    desktop.windowServer.setBehaviour(refusing, withoutButton);
    desktop.windowServer.axWindow(refusing)->setError(QStringLiteral("AXMinimized"), AXError::cannotComplete);
    list("Editor");

    start();
    engine->minimizeWindow(card(viaButton));
    engine->minimizeWindow(card(stubborn));
    engine->minimizeWindow(card(refusing));
    scheduler.advance(2);
    // Four unconfirmed reads after the request, then the button.
    EXPECT_NEAR(timeOf(win(viaButton, "minimize"), "AXPress"), 0.05 + 4 * 0.045 - 0.045, 1e-6);
    EXPECT_TRUE(listed(viaButton)->isMinimized);
    EXPECT_FALSE(desktop.windowServer.window(viaButton)->isOnScreen);
    // Nothing minimised the other windows: their cards stay as they are (a refused request once
    // marked its window minimised while it stayed on the screen).
    EXPECT_FALSE(listed(stubborn)->isMinimized);
    EXPECT_FALSE(listed(refusing)->isMinimized);
    EXPECT_TRUE(desktop.windowServer.window(refusing)->isOnScreen);
    EXPECT_EQ(publications, 1);
}

TEST_F(WindowActionTest, MinimiseOfAnUnmatchedWindowLeavesEveryOtherWindowAlone)
{
    const qint64 pid = launch("Editor");
    const quint32 clicked = addWindow(pid, "Report");
    const quint32 other = addWindow(pid, "Notes", QRectF(3000, 3000, 400, 300));
    const quint32 third = addWindow(pid, "Draft", QRectF(3500, 3000, 400, 300));
    list("Editor");
    // Accessibility no longer lists the clicked window (another workspace, a closing window...).
    desktop.accessibility.appElement(pid)->set(
        "AXWindows",
        QList<AXElementPtr>{desktop.windowServer.axWindow(other), desktop.windowServer.axWindow(third)});
    desktop.accessibility.appElement(pid)->set("AXFocusedWindow",
                                               AXElementPtr(desktop.windowServer.axWindow(other)));
    desktop.activation.clearCalls();

    engine->minimizeWindow(card(clicked));
    scheduler.advance(2);
    EXPECT_TRUE(desktop.windowServer.window(other)->isOnScreen);
    EXPECT_TRUE(desktop.windowServer.window(third)->isOnScreen);
    EXPECT_TRUE(writes().filter("AXMinimized").isEmpty());
    EXPECT_TRUE(desktop.activation.calls().isEmpty());
    EXPECT_FALSE(listed(clicked)->isMinimized);
    EXPECT_EQ(publications, 0);
}

// ---- Close, full screen, the minimised mark ----

TEST_F(WindowActionTest, CloseRemovesTheCardOnlyAfterAnAcceptedPress)
{
    const qint64 pid = launch("Editor");
    const quint32 closable = addWindow(pid, "Report");
    const quint32 noButton = addWindow(pid, "Notes", QRectF(300, 200, 600, 400));
    SimWindowBehaviour withoutClose;
    withoutClose.hasCloseButton = false;
    desktop.windowServer.setBehaviour(noButton, withoutClose);
    list("Editor");
    ASSERT_EQ(engine->windows().size(), 2);
    // A listed window accessibility cannot find any more: nothing matches it.
    AppWindowModel unmatched = *listed(noButton);
    unmatched.id = 4242;
    unmatched.title = "Draft";
    unmatched.rect = QRectF(3000, 3000, 400, 300);

    engine->closeWindow(card(noButton));
    engine->closeWindow(unmatched);
    EXPECT_EQ(engine->windows().size(), 2);
    EXPECT_EQ(publications, 0);
    EXPECT_TRUE(desktop.windowServer.window(noButton));
    EXPECT_TRUE(desktop.windowServer.window(closable));

    engine->closeWindow(card(closable));
    EXPECT_FALSE(desktop.windowServer.window(closable));
    EXPECT_FALSE(listed(closable));
    EXPECT_EQ(engine->windows().size(), 1);
    EXPECT_EQ(publications, 1);
}

TEST_F(WindowActionTest, FullScreenUsesTheZoomButtonElseOnlyEntersThroughTheAttribute)
{
    const qint64 pid = launch("Editor");
    const quint32 zoomable = addWindow(pid, "Report");
    const quint32 plain = addWindow(pid, "Notes", QRectF(300, 200, 600, 400));
    SimWindowBehaviour noZoom;
    noZoom.hasZoomButton = false;
    desktop.windowServer.setBehaviour(plain, noZoom);

    engine->toggleFullScreen(card(zoomable));
    EXPECT_TRUE(desktop.windowServer.isFullScreen(zoomable));
    EXPECT_EQ(frameOf(zoomable), QRectF(0, 0, 1440, 900));
    engine->toggleFullScreen(card(zoomable));
    EXPECT_FALSE(desktop.windowServer.isFullScreen(zoomable));
    EXPECT_EQ(frameOf(zoomable), QRectF(100, 100, 800, 600));

    engine->toggleFullScreen(card(plain));
    EXPECT_TRUE(desktop.windowServer.isFullScreen(plain));
    engine->toggleFullScreen(card(plain));
    EXPECT_TRUE(desktop.windowServer.isFullScreen(plain));
    EXPECT_EQ(writes().filter("AXFullScreen"), QStringList(2, win(plain) + " set AXFullScreen"));
}

TEST_F(WindowActionTest, MinimisedMarkPublishesOnlyRealChanges)
{
    const qint64 pid = launch("Editor");
    const quint32 id = addWindow(pid, "Report");
    list("Editor");
    engine->setWindowMinimized(id, false);
    engine->setWindowMinimized(4242, true);
    EXPECT_EQ(publications, 0);
    scheduler.advance(3);
    engine->setWindowMinimized(id, true);
    EXPECT_EQ(publications, 1);
    EXPECT_TRUE(listed(id)->isMinimized);
    EXPECT_EQ(listed(id)->snapshotTime, scheduler.wallNow());
}

// ---- Focus ----

TEST_F(WindowActionTest, FocusOfTheFrontmostApplicationHandsFocusToTheDockFirst)
{
    desktop.dockList();
    const qint64 dock = desktop.dockPid();
    const qint64 pid = launch("Editor");
    const quint32 back = addWindow(pid, "Notes", QRectF(300, 200, 600, 400));
    const quint32 id = addWindow(pid, "Report");
    desktop.workspace.activate(pid);
    desktop.activation.clearCalls();
    ASSERT_EQ(desktop.windowServer.stackingOrder().first(), back);

    start();
    engine->focusWindow(card(id));
    scheduler.advance(1);
    EXPECT_THAT(desktop.activation.calls(),
                ElementsAre(ActivationAt(at(0), "dock", dock, 0), ActivationAt(at(0.015), "activate", pid, 3),
                            ActivationAt(at(0.085), "activate", pid, 2)));
    EXPECT_NEAR(timeOf(win(id), "AXRaise"), 0.015, 1e-6);
    EXPECT_EQ(desktop.windowServer.stackingOrder().first(), id);
    EXPECT_EQ(desktop.workspace.frontmostApplication().pid, pid);
}

TEST_F(WindowActionTest, FocusOfAHiddenApplicationUnhidesItAndRestoresAMinimisedWindow)
{
    const qint64 pid = launch("Editor");
    const quint32 id = addWindow(pid, "Report");
    desktop.windowServer.setMinimized(id, true);
    list("Editor");
    ASSERT_TRUE(listed(id)->isMinimized);
    const quint32 other = addWindow(pid, "Notes", QRectF(300, 200, 600, 400));
    desktop.workspace.setHidden(pid, true);
    ASSERT_FALSE(desktop.windowServer.window(other)->isOnScreen);
    desktop.activation.clearCalls();

    start();
    engine->focusWindow(card(id));
    scheduler.advance(1);
    EXPECT_THAT(desktop.activation.calls(),
                ElementsAre(ActivationAt(at(0), "unhide", pid, 0), ActivationAt(at(0.04), "activate", pid, 3),
                            ActivationAt(at(0.11), "activate", pid, 2)));
    EXPECT_FALSE(desktop.workspace.runningApplications().first().isHidden);
    EXPECT_TRUE(desktop.windowServer.window(other)->isOnScreen);
    EXPECT_TRUE(desktop.windowServer.window(id)->isOnScreen);
    EXPECT_FALSE(listed(id)->isMinimized);
    EXPECT_EQ(desktop.windowServer.stackingOrder().first(), id);
}

TEST_F(WindowActionTest, FocusBringsAWindowOffEveryScreenOntoThePointersScreen)
{
    desktop.screens.setScreens({mainScreenInfo, upperScreenInfo});
    desktop.screens.setMouseLocation(QPointF(300, 1200));
    const qint64 pid = launch("Editor");
    const quint32 id = addWindow(pid, "Report", QRectF(5000, 5000, 300, 200));

    start();
    engine->focusWindow(card(id));
    scheduler.advance(1);
    // The zoom press first fills the main screen; the move then centres it on the upper screen's
    // visible frame, within 95 % of it.
    EXPECT_NEAR(timeOf(win(id, "zoom"), "AXPress"), 0.07 + 0.055, 1e-6);
    const QRectF frame = frameOf(id);
    EXPECT_EQ(frame, QRectF(240, -977.5, 1440, 900));
    EXPECT_GE(frame.width(), 520);
    EXPECT_GE(frame.height(), 360);
    EXPECT_NEAR(timeOf(win(id), "AXSize"), 0.07 + 0.055 + 0.09, 1e-6);
    EXPECT_EQ(desktop.activation.calls().last().options, ActivationOption::ignoringOtherApps);
}

TEST_F(WindowActionTest, FocusLeavesAWindowOnTheScreenAboveWhereItIs)
{
    desktop.screens.setScreens({mainScreenInfo, upperScreenInfo});
    const qint64 pid = launch("Editor");
    const quint32 id = addWindow(pid, "Report", QRectF(100, -800, 800, 600));
    start();
    engine->focusWindow(card(id));
    scheduler.advance(1);
    // On screen at once: no recovery, the final activation follows the first raise by 70 ms.
    EXPECT_EQ(frameOf(id), QRectF(100, -800, 800, 600));
    EXPECT_TRUE(writes().filter("zoom:").isEmpty());
    EXPECT_NEAR(desktop.activation.calls().last().time, at(0.07), 1e-6);
}

struct HandOverCase
{
    const char *name;
    // When the second request comes, seconds after the first.
    double at;
    // The first card names no accessibility window, so its sequence is still looking it up.
    bool stillLookingUp;
};

class FocusHandOver : public WindowActionTest, public ::testing::WithParamInterface<HandOverCase>
{
};

// A sequence replaced by a newer one went on looking up, raising, zooming or moving its own window
// while the newer one worked.
TEST_P(FocusHandOver, ASecondFocusStopsTheFirstWhereverItStands)
{
    const HandOverCase &c = GetParam();
    const qint64 first = launch("Editor");
    const quint32 lost = addWindow(first, "Report", QRectF(5000, 5000, 300, 200));
    addWindow(first, "Draft");
    const qint64 second = launch("Viewer");
    const quint32 shown = addWindow(second, "Photo");

    AppWindowModel firstCard = card(lost);
    if (c.stillLookingUp) {
        firstCard.id = 99999;
        firstCard.title = "Closed meanwhile";
        firstCard.rect = QRectF();
    }
    start();
    engine->focusWindow(firstCard);
    scheduler.advance(c.at);
    const double handover = scheduler.now();
    engine->focusWindow(card(shown));
    scheduler.advance(2);

    // After the hand-over nothing reads or touches the first application or its windows.
    const QString firstApp = "app:" + QString::number(first);
    for (const SimAXCall &call : desktop.accessibility.calls()) {
        if (call.time > handover) {
            EXPECT_FALSE(call.element.startsWith(firstApp))
                << call.element.toStdString() << " " << call.kind.toStdString() << " "
                << call.name.toStdString();
        }
    }
    EXPECT_EQ(frameOf(lost), QRectF(5000, 5000, 300, 200));
    EXPECT_FALSE(desktop.windowServer.isFullScreen(lost));
    for (const auto &call : desktop.activation.calls()) {
        if (call.time > handover) {
            EXPECT_EQ(call.pid, second);
        }
    }
    EXPECT_EQ(desktop.activation.calls().last().options, ActivationOption::ignoringOtherApps);
    EXPECT_EQ(desktop.workspace.frontmostApplication().pid, second);
    EXPECT_EQ(desktop.windowServer.stackingOrder().first(), shown);
}

INSTANTIATE_TEST_SUITE_P(Moments, FocusHandOver,
                         ::testing::Values(HandOverCase{"DuringTheLookup", 0.05, true},
                                           HandOverCase{"RightAfterTheRaise", 0.03, false},
                                           HandOverCase{"InsideTheVisibilityCheck", 0.1, false}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(WindowActionTest, FocusOfAQuitApplicationDoesNothing)
{
    const qint64 pid = launch("Editor");
    const quint32 id = addWindow(pid, "Report");
    const AppWindowModel model = card(id);
    desktop.workspace.terminate(pid);
    desktop.activation.clearCalls();
    engine->focusWindow(model);
    scheduler.advance(1);
    EXPECT_TRUE(desktop.activation.calls().isEmpty());
    EXPECT_TRUE(writes().isEmpty());
}
