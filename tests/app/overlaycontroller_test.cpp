#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "app/overlaycontroller.h"
#include "clipboard/clipboardmanager.h"
#include "core/settingskeys.h"
#include "core/settingsstore.h"
#include "dock/dockmonitor.h"
#include "platform/geometry.h"
#include "platform/sim/simdesktop.h"
#include "runtime/manualscheduler.h"
#include "runtime/workqueue.h"
#include "shelf/fileshelfmanager.h"
#include "support/recordingeventlog.h"
#include "support/screenshot.h"
#include "ui/panel.h"
#include "views/bubble/bubbleplacement.h"
#include "views/bubble/bubbleviewstate.h"
#include "views/bubble/contentview.h"
#include "views/bubble/windowpreviewcard.h"
#include "views/edgepopup/edgepopupstate.h"
#include "views/edgepopup/edgepopupview.h"
#include "views/peek/dropzoneview.h"
#include "views/peek/peekingoverlayview.h"
#include "views/superpanel/superpaneloverlay.h"
#include "views/superpanel/filteredwindowmodel.h"
#include "views/superpanel/superpanelstate.h"
#include "views/superpanel/windowgrid.h"
#include "windows/windowengine.h"
#include "windows/windowlistmodel.h"

using namespace qv;

namespace {

int distance(const QColor &a, const QColor &b)
{
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue());
}

// The default screen: 1440 x 900, a 70 pt bottom Dock. Tiles are 64 pt, in accessibility
// coordinates (top-left origin).
class OverlayControllerTest : public ::testing::Test
{
protected:
    OverlayControllerTest()
    {
        desktop.addDefaultScreen();
        desktop.screens.setMouseLocation(away);
        addApp("Files", 600, 2);
        addApp("Terminal", 670, 3);
        monitor = std::make_unique<DockMonitor>(desktop.platform(), scheduler, queues, settings, events);
        engine = std::make_unique<WindowEngine>(desktop.platform(), scheduler, queues, settings, events);
        controller = std::make_unique<OverlayController>(desktop.platform(), scheduler, settings,
                                                         [this] { ++clipboardChecks; });
        controller->setupOverlayWindow();
        controller->setupGlobalOverlayWindow();
        controller->setupPeekingWindow();
        controller->setupBindings(*monitor, *engine);
        controller->startMouseCheckTimer();
        scheduler.advance(0.2); // the first tile scan
    }

    void addApp(const QString &name, double x, int windows)
    {
        const qint64 pid = desktop.workspace.launch(
            RunningApp{0, QStringLiteral("org.example.") + name.toLower(), name, false, false, true});
        desktop.addDockTile(name, QRectF(x, 900 - 64, 64, 64));
        tiles.insert(name, QRectF(x, 0, 64, 64)); // screen coordinates
        for (int i = 0; i < windows; ++i) {
            QImage image(800, 500, QImage::Format_ARGB32_Premultiplied);
            image.fill(QColor::fromHsv((60 * i + name.size() * 40) % 360, 120, 200));
            desktop.windowServer.addWindow(pid, QRectF(100 + 40 * i, 80 + 30 * i, 800, 500),
                                           QStringLiteral("%1 %2").arg(name).arg(i + 1), image);
        }
    }

    void pointAt(const QString &app) { desktop.screens.setMouseLocation(tiles.value(app).center()); }
    // A left-button mouse event at a global (top-left) point, as the card under it receives it.
    static void send(QWidget &widget, QEvent::Type type, const QPointF &global,
                     Qt::MouseButtons buttons = Qt::LeftButton)
    {
        QMouseEvent event(type, widget.mapFromGlobal(global), global, Qt::LeftButton, buttons,
                          Qt::NoModifier);
        QApplication::sendEvent(&widget, &event);
    }

    // A route as the hotkeys and the edge drag send it; handled on the main loop.
    void sendRoute(const QString &route)
    {
        emit monitor->globalSwitcherEvent(route);
        scheduler.advance(0.01);
    }
    bool superPanelShown()
    {
        const KeyPanel &panel = *controller->globalOverlayWindow();
        return panel.isVisible() && panel.alpha() > 0.99 && controller->isGlobalSwitcherVisible();
    }
    bool isMinimized(const QString &title)
    {
        for (const WindowInfo &window : desktop.windowServer.windows()) {
            if (window.title == title)
                return !window.isOnScreen;
        }
        return false;
    }
    qint64 pidOf(const QString &app)
    {
        for (const RunningApp &running : desktop.workspace.runningApplications()) {
            if (running.name == app)
                return running.pid;
        }
        return 0;
    }

    KeyPanel &panel() { return *controller->overlayWindow(); }
    int cardCount() { return int(controller->contentView()->cards().size()); }
    bool bubbleShown() { return panel().isVisible() && panel().alpha() > 0.99; }

    // What a person sees of the bubble over a wallpaper.
    QImage picture(const QString &name)
    {
        QImage image(panel().size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(QColor(58, 96, 150)); // a wallpaper behind the see-through parts
        QPainter painter(&image);
        panel().render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
        painter.end();
        saveScreenshot(panel(), name);
        return image;
    }

    const QPointF away{720, 600};
    SimDesktop desktop;
    ManualScheduler scheduler;
    SchedulerQueueFactory queues{scheduler};
    SettingsStore settings;
    RecordingEventLog events;
    QHash<QString, QRectF> tiles;
    std::unique_ptr<DockMonitor> monitor;
    std::unique_ptr<WindowEngine> engine;
    std::unique_ptr<OverlayController> controller;
    int clipboardChecks = 0;
};

} // namespace

TEST_F(OverlayControllerTest, HoveringATileShowsItsWindowsBesideItWithTheArrowOnTheTile)
{
    EXPECT_FALSE(panel().isVisible());
    pointAt("Terminal");
    for (int step = 0; step < 2000 && !panel().isVisible(); ++step)
        scheduler.advance(0.001);
    EXPECT_LT(panel().alpha(), 0.5) << "the first showing fades in too";
    scheduler.advance(1.0);
    ASSERT_TRUE(bubbleShown());
    EXPECT_EQ(cardCount(), 3);
    EXPECT_EQ(controller->bubbleState()->headerTitle(), "Terminal");
    EXPECT_EQ(panel().windowTitle(), "Quorvantis") << "what the desktop's rules match";
    EXPECT_EQ(desktop.feedback.played().size(), 1) << "one tap as it opens";

    // Three cards: 2 x 12 + 3 x 175 + 68 wide, 233 high, just above the Dock (70 pt inset + gap).
    const QRectF frame = controller->overlayFrame();
    EXPECT_DOUBLE_EQ(frame.width(), 617);
    EXPECT_DOUBLE_EQ(frame.height(), 233);
    EXPECT_DOUBLE_EQ(frame.center().x(), tiles["Terminal"].center().x());
    EXPECT_DOUBLE_EQ(frame.y(), 70 + 6.4);
    EXPECT_TRUE(controller->isPositionLocked());
    EXPECT_EQ(controller->lockedAppName(), "Terminal");
    // A tile that steps a little under the pointer (magnification) leaves the bubble where it is.
    emit monitor->iconFrameChanged(monitor->iconFrame().translated(6, 0));
    EXPECT_EQ(controller->overlayFrame(), frame);

    // The arrow's tip, where a person sees it, is over the tile's centre.
    scheduler.advance(1.0); // the arrow's spring settles
    ContentView &view = *controller->contentView();
    const QPointF tip = view.arrowTipAt(view.arrowPosition());
    const QPointF tipOnScreen = flipPoint(QPointF(panel().geometry().topLeft()) + tip, 900);
    EXPECT_NEAR(tipOnScreen.x(), tiles["Terminal"].center().x(), 1.0);
    const QImage image = picture("controller_bubble_bottom_dock_3_windows");
    const QColor wallpaper(58, 96, 150);
    const QColor body = image.pixelColor(QPoint(int(tip.x()), int(tip.y()) - 6));
    const QColor beside = image.pixelColor(QPoint(int(tip.x()) - 30, int(tip.y()) - 6));
    // Beside the arrow only the faint shadow falls on the wallpaper; the arrow itself is the glass.
    EXPECT_GT(distance(body, wallpaper), 40) << "the arrow is drawn above the tip";
    EXPECT_LT(distance(beside, wallpaper), 30) << "nothing but shadow beside the arrow";

    // The next application's single window: the bubble shrinks to one card.
    addApp("Notes", 740, 1);
    scheduler.advance(0.2); // the tile scan
    pointAt("Notes");
    scheduler.advance(1.0);
    ASSERT_EQ(cardCount(), 1);
    EXPECT_EQ(controller->overlayFrame().size(), BubblePlacement::overlaySize(1));
}

// A bubble grows about its centre when more cards come; beside a tile at the screen's end it is
// placed again as it shows, so its first frame already stands where it stays, inside the screen.
TEST_F(OverlayControllerTest, ABubbleAtTheScreensEndShowsWhereItStaysFromItsFirstFrame)
{
    addApp("Editor", 1440 - 66, 4);
    pointAt("Files");
    scheduler.advance(1.0);
    ASSERT_EQ(cardCount(), 2);
    desktop.screens.setMouseLocation(away);
    scheduler.advance(2.0);
    ASSERT_FALSE(panel().isVisible());

    pointAt("Editor");
    for (int step = 0; step < 2000 && !panel().isVisible(); ++step)
        scheduler.advance(0.001);
    ASSERT_TRUE(panel().isVisible());
    ASSERT_EQ(cardCount(), 4);
    const QRectF first = controller->overlayFrame();
    EXPECT_LE(first.right(), 1440);
    scheduler.advance(1.0);
    EXPECT_TRUE(bubbleShown());
    EXPECT_EQ(controller->overlayFrame(), first) << "no jump once it settles";
}

// Beside the tile at the screen's end, a bubble that grows about its centre when the scan brings
// more windows than the list it showed first stands past the screen's edge until it is placed
// again. A step of the tile under the pointer (magnification) meanwhile pulls it back inside,
// though the bubble otherwise holds its place while the pointer stays on the tile.
TEST_F(OverlayControllerTest, ABubbleThatGrewPastTheScreensEndIsPulledBackWhenTheTileMoves)
{
    addApp("Editor", 1440 - 66, 2);
    pointAt("Editor");
    scheduler.advance(1.0);
    ASSERT_TRUE(bubbleShown());
    desktop.screens.setMouseLocation(away);
    scheduler.advance(2.0);
    ASSERT_FALSE(panel().isVisible());
    for (int i = 0; i < 2; ++i)
        desktop.windowServer.addWindow(pidOf("Editor"), QRectF(300, 200, 800, 500),
                                       QStringLiteral("Editor %1").arg(i + 3), QImage());

    // The list of the last showing comes first, then the scan's.
    QList<qsizetype> published;
    QObject::connect(engine.get(), &WindowEngine::windowsChanged,
                     [&] { published << engine->windows().size(); });
    pointAt("Editor");
    for (int step = 0; step < 3000 && cardCount() < 4; ++step)
        scheduler.advance(0.001);
    ASSERT_EQ(cardCount(), 4);
    EXPECT_EQ(published.value(0), 2);
    ASSERT_GT(controller->overlayFrame().right(), 1440) << "no longer a case for the pull";
    ASSERT_TRUE(controller->isPositionLocked());

    emit monitor->iconFrameChanged(monitor->iconFrame().translated(-4, 0));
    EXPECT_LE(controller->overlayFrame().right(), 1440);
    EXPECT_DOUBLE_EQ(controller->overlayFrame().y(), 70 + 6.4) << "it stays above the Dock";
    scheduler.advance(1.0); // the growth that was under way when it moved
    EXPECT_EQ(panel().geometry(), flipRect(controller->overlayFrame(), 900).toAlignedRect());
}

// Beside a side Dock the arrow was mirrored (a tile near the top had it near the bubble's bottom),
// and a panel along the top put the bubble at the bottom of the screen. On every side and at both
// ends of the Dock the drawn tip must meet the tile where a person sees them.
TEST_F(OverlayControllerTest, OnEverySideAndAtEitherEndTheArrowTipMeetsTheTile)
{
    struct Case
    {
        const char *name;
        QString orientation;
        QRectF visible; // screen coordinates
        QRectF tile;    // accessibility coordinates (top-left)
    };
    const QRectF frame(0, 0, 1440, 900);
    const QList<Case> cases = {
        {"top_dock_left_end", "top", QRectF(0, 0, 1440, 852), QRectF(20, 0, 48, 48)},
        {"top_dock_right_end", "top", QRectF(0, 0, 1440, 852), QRectF(1372, 0, 48, 48)},
        {"left_dock_top_end", "left", QRectF(60, 0, 1380, 875), QRectF(4, 60, 48, 48)},
        {"left_dock_bottom_end", "left", QRectF(60, 0, 1380, 875), QRectF(4, 800, 48, 48)},
        {"right_dock_top_end", "right", QRectF(0, 0, 1380, 875), QRectF(1388, 60, 48, 48)},
        {"right_dock_bottom_end", "right", QRectF(0, 0, 1380, 875), QRectF(1388, 800, 48, 48)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        desktop.screens.setMouseLocation(away);
        scheduler.advance(1.0);
        desktop.screens.setScreens({ScreenInfo{frame, c.visible}});
        desktop.dockPreferences.set("orientation", c.orientation);
        desktop.clearDockTiles();
        desktop.addDockTile("Files", c.tile);
        const QRectF tile = flipRect(c.tile, 900); // screen coordinates
        desktop.screens.setMouseLocation(tile.center());
        scheduler.advance(2.0);
        ASSERT_TRUE(bubbleShown());
        ContentView &view = *controller->contentView();
        const QPointF tip = view.arrowTipAt(view.arrowPosition());
        // From the panel (top-left, y down) to the screen (bottom-left, y up).
        const QRectF bubble = controller->overlayFrame();
        const QPointF tipOnScreen(bubble.x() + tip.x(), bubble.y() + bubble.height() - tip.y());
        if (c.orientation == "top") {
            EXPECT_EQ(view.bubbleEdge(), BubbleEdge::top);
            EXPECT_LT(bubble.bottom(), tile.top()) << "below the panel";
            EXPECT_GE(tipOnScreen.x(), tile.left());
            EXPECT_LE(tipOnScreen.x(), tile.right());
        } else {
            EXPECT_NEAR(tipOnScreen.y(), tile.center().y(), 12);
            // Across the Dock's own band and the 14 pt the outline keeps inside its panel.
            EXPECT_NEAR(tipOnScreen.x(), c.orientation == "left" ? tile.right() : tile.left(), 32);
        }

        // The screen as a person sees it, at half size: wallpaper, Dock band, tile and bubble.
        QWidget screen;
        screen.resize(720, 450);
        QImage image(screen.size(), QImage::Format_ARGB32_Premultiplied);
        QPainter painter(&image);
        painter.scale(0.5, 0.5);
        painter.fillRect(QRectF(0, 0, 1440, 900), QColor(58, 96, 150));
        const QRegion dock =
            QRegion(flipRect(frame, 900).toRect()) - QRegion(flipRect(c.visible, 900).toRect());
        for (const QRect &band : dock)
            painter.fillRect(band, QColor(40, 40, 48));
        painter.fillRect(c.tile, QColor(230, 160, 60));
        panel().render(&painter, flipRect(bubble, 900).topLeft().toPoint(), QRegion(), QWidget::DrawChildren);
        painter.end();
        QPalette palette;
        palette.setBrush(QPalette::Window, QBrush(image));
        screen.setPalette(palette);
        screen.setAutoFillBackground(true);
        saveScreenshot(screen, QStringLiteral("controller_bubble_%1").arg(QString::fromLatin1(c.name)));
    }
}

TEST_F(OverlayControllerTest, BubbleHidesOnlyOnceThePointerHasLeftBubbleAndTileForTheDelay)
{
    pointAt("Files");
    scheduler.advance(1.0);
    ASSERT_TRUE(bubbleShown());

    // Up from the tile into the bubble, across the gap: no hide timer.
    desktop.screens.setMouseLocation(QPointF(tiles["Files"].center().x(), 72));
    scheduler.advance(0.3);
    EXPECT_FALSE(controller->isHideTimerPending());
    desktop.screens.setMouseLocation(controller->overlayFrame().center());
    scheduler.advance(0.3);
    EXPECT_FALSE(controller->isHideTimerPending());
    EXPECT_TRUE(bubbleShown());

    // The mouse check notices within its interval; the delay counts from there.
    desktop.screens.setMouseLocation(QPointF(1300, 700));
    for (int step = 0; step < 10 && !controller->isHideTimerPending(); ++step)
        scheduler.advance(0.01);
    EXPECT_TRUE(controller->isHideTimerPending());
    scheduler.advance(0.14);
    EXPECT_TRUE(bubbleShown());
    EXPECT_EQ(controller->bubbleState()->headerTitle(), "Files") << "while it goes";
    scheduler.advance(0.3);
    EXPECT_FALSE(panel().isVisible());
    EXPECT_EQ(monitor->hoveredApp(), QString());
    EXPECT_FALSE(controller->isPositionLocked());
    EXPECT_EQ(controller->lockedAppName(), QString());

    // Left the moment it appears, before its fade took a step (after a long rest the hover tick
    // sleeps, and the move wakes it at once): it stayed up for good.
    settings.set(Settings::hoverDelay, 0.8);
    pointAt("Files");
    for (int step = 0; step < 2000 && !panel().isVisible(); ++step)
        scheduler.advance(0.001);
    ASSERT_TRUE(panel().isVisible());
    desktop.screens.setMouseLocation(away);
    scheduler.advance(2.0);
    EXPECT_FALSE(panel().isVisible());

    // Left along the Dock, away from every tile, where the Dock's hover stays: the tile's next
    // hover must bring it back.
    pointAt("Files");
    scheduler.advance(2.0);
    ASSERT_TRUE(bubbleShown());
    desktop.screens.setMouseLocation(QPointF(1300, 20));
    scheduler.advance(2.0);
    ASSERT_FALSE(panel().isVisible());
    pointAt("Files");
    scheduler.advance(2.0);
    EXPECT_TRUE(bubbleShown());
}

TEST_F(OverlayControllerTest, AnOpenContextMenuKeepsTheBubbleUpWhileThePointerIsFarAway)
{
    pointAt("Files");
    scheduler.advance(1.0);
    engine->setContextMenuOpen(true);
    desktop.screens.setMouseLocation(QPointF(1300, 700));
    scheduler.advance(3.0);
    EXPECT_TRUE(bubbleShown());
    controller->hideOverlay(false);
    scheduler.advance(0.5);
    EXPECT_TRUE(bubbleShown());
    // Full screen, chosen in a card's menu, takes it down with its window and the peek.
    controller->cardActions().startPeeking(controller->bubbleWindows()->itemAt(1));
    controller->cardActions().toggleFullScreen(controller->bubbleWindows()->itemAt(0));
    scheduler.advance(0.5);
    EXPECT_FALSE(panel().isVisible());
    EXPECT_FALSE(controller->peekingWindow()->isVisible());
}

TEST_F(OverlayControllerTest, HoverDelayFollowsTheSettingAndTheDockAutohide)
{
    settings.set(Settings::hoverDelay, 0.7); // the slider reaches 1 s, and the handler waits all of it
    pointAt("Files");
    scheduler.advance(0.033 + 0.001); // the hover is published at the next tick
    const double hoveredAt = scheduler.now();
    ASSERT_EQ(monitor->hoveredApp(), "Files");
    scheduler.advance(0.6);
    EXPECT_FALSE(engine->isFetchPending() || engine->currentAppName() == "Files");
    scheduler.advance(hoveredAt + 0.71 - scheduler.now());
    EXPECT_EQ(engine->currentAppName(), "Files");
}

// The hover tick asked for the pointer 30 times a second and the bubble's mouse check ran ten
// times a second for as long as the program ran, also with nothing to hover and the pointer still.
TEST_F(OverlayControllerTest, AnIdleDesktopRunsNothingForAMinuteAndMotionBringsTheBubbleOnTime)
{
    for (const bool withDock : {true, false}) {
        SCOPED_TRACE(withDock ? "with a Dock" : "without a Dock");
        if (!withDock) {
            desktop.workspace.terminate(desktop.dockPid());
            desktop.screens.setMouseLocation(away + QPointF(10, 10));
        }
        scheduler.advance(5.0); // whatever the start-up or the last motion set going settles
        const auto before = scheduler.callbacksRun();
        scheduler.advance(60.0);
        EXPECT_EQ(scheduler.callbacksRun(), before);
        EXPECT_EQ(desktop.screens.isMotionWatched(), withDock);
    }
    desktop.workspace.launch({0, "com.apple.dock", "Dock", false, false, false});
    desktop.addDockTile("Files", QRectF(600, 900 - 64, 64, 64));
    scheduler.advance(5.0);
    ASSERT_TRUE(desktop.screens.isMotionWatched());

    // The hover is found as the motion wakes the tick, not a tick later, and the delay counts
    // from there.
    pointAt("Files");
    scheduler.advance(0.001);
    ASSERT_EQ(monitor->hoveredApp(), "Files");
    const double hoveredAt = scheduler.now();
    const double delay = Settings::hoverDelay.defaultValue; // nothing stored
    scheduler.advance(delay - 0.005);
    EXPECT_NE(engine->currentAppName(), "Files");
    scheduler.advance(hoveredAt + delay + 0.001 - scheduler.now());
    EXPECT_EQ(engine->currentAppName(), "Files");
    // The hover delay was the quiet period the scan waits for: it starts at once.
    scheduler.advance(WindowEngine::fetchDebounceInterval / 2);
    EXPECT_TRUE(panel().isVisible());
    scheduler.advance(1.0);
    ASSERT_TRUE(bubbleShown());
    EXPECT_TRUE(controller->isMouseCheckRunning());

    // Away: the bubble goes, and with it the mouse check; the tick sleeps once the pointer rests.
    desktop.screens.setMouseLocation(away);
    scheduler.advance(2.0);
    EXPECT_FALSE(panel().isVisible());
    EXPECT_FALSE(controller->isMouseCheckRunning());
    const auto before = scheduler.callbacksRun();
    scheduler.advance(60.0);
    EXPECT_EQ(scheduler.callbacksRun(), before);
}

// After moving from tile A to tile B, a list published for A (a scan that ended late) used to be
// shown beside B, and a click on one of its cards acted on A's window.
TEST_F(OverlayControllerTest, AListPublishedForAnotherApplicationIsNeverShownBesideTheHoveredTile)
{
    pointAt("Files");
    scheduler.advance(1.0);
    ASSERT_EQ(cardCount(), 2);
    const QRectF filesFrame = controller->overlayFrame();

    pointAt("Terminal");
    scheduler.advance(0.034); // hover published, Terminal's own list not yet
    ASSERT_EQ(monitor->hoveredApp(), "Terminal");
    EXPECT_EQ(cardCount(), 0);
    EXPECT_EQ(controller->bubbleState()->headerTitle(), "Terminal");

    engine->fetchWindows("Files"); // Files' cached list is published again
    EXPECT_EQ(engine->windowsAppName(), "Files");
    EXPECT_EQ(cardCount(), 0);
    EXPECT_EQ(controller->bubbleState()->headerTitle(), "Terminal");
    EXPECT_EQ(controller->overlayFrame().size(), filesFrame.size());

    engine->fetchWindows("Terminal");
    scheduler.advance(1.0);
    EXPECT_EQ(cardCount(), 3);
    EXPECT_EQ(controller->lockedAppName(), "Terminal");
    EXPECT_DOUBLE_EQ(controller->overlayFrame().center().x(), tiles["Terminal"].center().x());
}

// Without the screen capture permission the bubble asks for it, whether or not a list comes.
TEST_F(OverlayControllerTest, WithoutTheCapturePermissionTheBubbleAsksForIt)
{
    desktop.permissions.screenCapture = false;
    pointAt("Files");
    scheduler.advance(1.0);
    EXPECT_FALSE(controller->bubbleState()->hasPermission());
}

TEST_F(OverlayControllerTest, AnEmptyListHidesTheBubble)
{
    pointAt("Files");
    scheduler.advance(1.0);
    ASSERT_TRUE(bubbleShown());
    engine->setContextMenuOpen(true); // the menu of a card whose window is gone now
    engine->clearWindows();
    scheduler.advance(0.3);
    EXPECT_FALSE(panel().isVisible());
}

TEST_F(OverlayControllerTest, WithoutACompositorTheBubbleIsCutToItsOutlineAndPaintsOpaque)
{
    pointAt("Files");
    scheduler.advance(1.0);
    ASSERT_TRUE(bubbleShown());
    EXPECT_TRUE(panel().mask().isEmpty());
    EXPECT_TRUE(controller->bubbleState()->isTranslucent());
    EXPECT_EQ(desktop.panelWindows.prepared.value(panel().windowHandle()), PanelKind::key);

    desktop.panelWindows.setCompositing(false);
    EXPECT_FALSE(controller->bubbleState()->isTranslucent());
    const QRegion mask = panel().mask();
    ASSERT_FALSE(mask.isEmpty());
    EXPECT_FALSE(mask.contains(QPoint(2, 2))) << "the corner outside the outline is cut away";
    EXPECT_TRUE(mask.contains(panel().rect().center()));
    EXPECT_TRUE(panel().windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
    OverlayController started(desktop.platform(), scheduler, settings, {});
    started.setupOverlayWindow();
    EXPECT_FALSE(started.bubbleState()->isTranslucent()) << "opaque from a start without one";

    desktop.panelWindows.setCompositing(true);
    EXPECT_TRUE(panel().mask().isEmpty());
}

namespace {

// A desktop that tells what the panel code asked of it: for each withdrawal whether the window still
// showed, and each stepping aside and back.
struct PanelDesktopLog final : PanelWindowService
{
    void preparePanel(QWindow &, PanelKind) override {}
    void withdrawPanel(QWindow &window) override { shownAtWithdrawal.append(window.isVisible()); }
    bool isCompositing() const override { return false; }
    void setBlurBehind(QWindow &, const QRegion &) override {}
    void setClickCatcher(QWindow &, bool) override {}
    void setAside(QWindow &, bool aside) override { asides.append(aside); }
    QList<bool> shownAtWithdrawal;
    QList<bool> asides;
};

} // namespace

// While the desktop forgets a hidden window's hints, a task list would take the panel for a task:
// each hiding of a shown panel is announced to the desktop first, and a hidden one's is not.
TEST(PanelTest, APanelIsWithdrawnRightBeforeEachHidingOfItsWindow)
{
    ManualScheduler scheduler;
    PanelDesktopLog desktop;
    Panel panel(PanelKind::key, desktop, scheduler);
    for (int showing = 1; showing <= 2; ++showing) {
        panel.orderFront();
        panel.orderOut();
        panel.orderOut();
    }
    EXPECT_EQ(desktop.shownAtWithdrawal, QList<bool>({true, true}))
        << "the panel hid without being withdrawn first: task lists show it as a task while it goes";
}

// A drag out of a full-screen panel reaches the windows below only while the panel stands aside.
TEST(PanelTest, AShownPanelStepsAsideOnceAndComesBackOnce)
{
    ManualScheduler scheduler;
    PanelDesktopLog desktop;
    Panel panel(PanelKind::key, desktop, scheduler);
    panel.orderFront();
    panel.setAside(true);
    EXPECT_TRUE(panel.isAside()) << "the panel did not step aside: a drag from it reaches no other program";
    panel.setAside(true);
    panel.setAside(false);
    EXPECT_FALSE(panel.isAside());
    panel.setAside(false);
    EXPECT_EQ(desktop.asides, QList<bool>({true, false})) << "the desktop was told of no change, or twice";
    panel.orderOut();
}

TEST_F(OverlayControllerTest, DraggingACardPeeksBelowTheBubbleAndHighlightsTheEnginesZone)
{
    pointAt("Files");
    scheduler.advance(1.0);
    ASSERT_TRUE(bubbleShown());
    const AppWindowModel window = controller->bubbleWindows()->itemAt(0);
    const CardActions &actions = controller->cardActions();
    const int hapticsBefore = int(desktop.feedback.played().size());

    actions.startPeeking(window);
    scheduler.runPending();
    EXPECT_EQ(int(desktop.feedback.played().size()), hapticsBefore + 1);
    PassivePanel &peek = *controller->peekingWindow();
    ASSERT_TRUE(peek.isVisible());
    EXPECT_EQ(peek.geometry(), QRect(0, 0, 1440, 900)) << "the screen under the pointer";
    EXPECT_TRUE(peek.windowFlags().testFlag(Qt::WindowTransparentForInput));

    // Towards the left edge of the screen (global top-left coordinates).
    actions.updateDrag(QPointF(40, 450));
    scheduler.advance(0.05);
    ASSERT_TRUE(engine->isDragging());
    EXPECT_EQ(engine->dragTargetZone(), SnapPosition::left);
    PeekingOverlayView &view = *controller->peekingView();
    EXPECT_TRUE(view.zones().at(0)->isHighlighted());
    EXPECT_FALSE(view.zones().at(2)->isHighlighted());
    saveScreenshot(*controller->peekingWindow(), "controller_peek_dragging_left");

    actions.endDrag(window);
    scheduler.advance(0.5);
    EXPECT_FALSE(peek.isVisible());
}

// Without a compositor the peek is an opaque panel cut to its card. A peek that moves on to a window
// with neither picture nor icon has nothing to draw: the panel goes, instead of leaving the last
// card's place unpainted (black) over the screen.
TEST_F(OverlayControllerTest, WithoutACompositorAPeekWithNothingToDrawLeavesNothingOnTheScreen)
{
    desktop.panelWindows.setCompositing(false);
    pointAt("Files");
    scheduler.advance(1.0);
    ASSERT_TRUE(bubbleShown());
    const CardActions &actions = controller->cardActions();
    actions.startPeeking(controller->bubbleWindows()->itemAt(0));
    scheduler.runPending();
    PassivePanel &peek = *controller->peekingWindow();
    ASSERT_TRUE(peek.isVisible());
    ASSERT_FALSE(controller->peekingView()->outline().isEmpty());

    AppWindowModel blank = controller->bubbleWindows()->itemAt(1);
    blank.image = QImage();
    blank.appIcon = QImage();
    actions.startPeeking(blank);
    scheduler.runPending();
    ASSERT_EQ(engine->peekingWindow()->id, blank.id);
    EXPECT_FALSE(peek.isVisible());

    actions.startPeeking(controller->bubbleWindows()->itemAt(0));
    scheduler.runPending();
    EXPECT_TRUE(peek.isVisible()) << "a window with a picture peeks again";
}

// A card dragged out of the bubble used to lose its drag: the mouse check hid the bubble 0.25 s
// after the pointer left it, the release was never heard, the zones and a ghost of the window
// stayed over the screen and the card stayed pressed. Every way a drag ends must clear all three.
TEST_F(OverlayControllerTest, ADraggedCardKeepsItsBubbleAndEveryEndOfTheDragClearsZonesPeekAndPress)
{
    struct Case
    {
        const char *name;
        // Ends the drag of `card`, held at `held` (global top-left coordinates).
        std::function<void(WindowPreviewCard &card, const QPointF &held)> end;
        bool snapsLeft;
    };
    const QList<Case> cases = {
        {"release on the left zone",
         [&](WindowPreviewCard &card, const QPointF &held) {
             send(card, QEvent::MouseButtonRelease, held, Qt::NoButton);
         },
         true},
        {"release outside every zone",
         [&](WindowPreviewCard &card, const QPointF &) {
             send(card, QEvent::MouseMove, QPointF(720, 450), Qt::LeftButton);
             scheduler.advance(0.05);
             send(card, QEvent::MouseButtonRelease, QPointF(720, 450), Qt::NoButton);
         },
         false},
        {"the 5 s safety", [&](WindowPreviewCard &, const QPointF &) { scheduler.advance(5.1); }, false},
        {"Esc",
         [&](WindowPreviewCard &card, const QPointF &) {
             QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
             QApplication::sendEvent(&card, &escape);
         },
         false},
        {"the bubble forced closed",
         [&](WindowPreviewCard &, const QPointF &) { controller->hideOverlay(true); }, false},
        {"the window vanishing",
         [&](WindowPreviewCard &card, const QPointF &) {
             desktop.windowServer.removeWindow(quint32(card.window().id));
             engine->fetchWindows(QStringLiteral("Files"));
         },
         false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        pointAt("Files");
        scheduler.advance(1.0);
        ASSERT_TRUE(bubbleShown());
        WindowPreviewCard &card = *controller->contentView()->cards().first();
        const quint32 id = quint32(card.window().id);
        const QRectF before = desktop.windowServer.window(id)->frame;
        const QPointF pressed = card.mapToGlobal(QPointF(card.cardRect().center()));
        send(card, QEvent::MouseButtonPress, pressed, Qt::LeftButton);
        // Out over the screen to the left edge; the pointer is far from bubble and tile.
        const QPointF held(40, 450);
        send(card, QEvent::MouseMove, pressed + QPointF(-20, 0), Qt::LeftButton);
        scheduler.advance(0.05);
        send(card, QEvent::MouseMove, held, Qt::LeftButton);
        desktop.screens.setMouseLocation(QPointF(40, 450));
        scheduler.advance(1.0);
        ASSERT_TRUE(engine->isDragging());
        ASSERT_EQ(engine->dragTargetZone(), SnapPosition::left);
        EXPECT_TRUE(bubbleShown()) << "the bubble stays while its card is dragged";
        EXPECT_TRUE(controller->peekingWindow()->isVisible());

        c.end(card, held);
        scheduler.advance(1.0);
        EXPECT_FALSE(engine->isDragging());
        EXPECT_FALSE(engine->dragTargetZone());
        EXPECT_FALSE(engine->peekingWindow());
        EXPECT_FALSE(controller->peekingWindow()->isVisible());
        EXPECT_FALSE(controller->contentView()->hasPressedCard());
        for (const WindowPreviewCard *left : controller->contentView()->cards())
            EXPECT_EQ(left->dragOffset(), QPointF());
        if (desktop.windowServer.window(id)) {
            const QRectF after = desktop.windowServer.window(id)->frame;
            if (c.snapsLeft)
                EXPECT_EQ(after, QRectF(0, 25, 720, 805)); // the left half of the visible frame
            else
                EXPECT_EQ(after, before);
        }
        // The pointer is away: the bubble goes once the drag is over.
        scheduler.advance(1.0);
        EXPECT_FALSE(panel().isVisible());
        desktop.windowServer.setFrame(id, before);
        desktop.screens.setMouseLocation(away);
        scheduler.advance(1.0);
    }
}

// A card dragged down across another tile of the Dock: a fresh list of the card's own application
// (new pictures) took every card away, the dragged one with it, and ended the drag.
TEST_F(OverlayControllerTest, ACardHeldOverAnotherTileKeepsItsBubbleWhenItsListComesAgain)
{
    pointAt("Files");
    scheduler.advance(1.0);
    ASSERT_EQ(cardCount(), 2);
    WindowPreviewCard &card = *controller->contentView()->cards().first();
    const qint64 dragged = card.window().id;
    const QPointF pressed = card.mapToGlobal(QPointF(card.cardRect().center()));
    send(card, QEvent::MouseButtonPress, pressed);
    send(card, QEvent::MouseMove, pressed + QPointF(-20, 0));
    scheduler.advance(0.05);
    send(card, QEvent::MouseMove, flipPoint(tiles["Terminal"].center(), 900));
    pointAt("Terminal");
    scheduler.advance(1.0);
    ASSERT_TRUE(engine->isDragging());
    ASSERT_EQ(monitor->hoveredApp(), "Terminal");

    engine->fetchWindows("Files");
    scheduler.advance(0.5);
    EXPECT_TRUE(engine->isDragging());
    EXPECT_TRUE(bubbleShown());
    ASSERT_EQ(cardCount(), 2);
    WindowPreviewCard &held = *controller->contentView()->cards().first();
    EXPECT_EQ(held.window().id, dragged);
    EXPECT_TRUE(controller->contentView()->hasPressedCard());
    send(held, QEvent::MouseButtonRelease, QPointF(720, 450), Qt::NoButton);
    scheduler.advance(1.0);
    EXPECT_FALSE(engine->isDragging());
}

TEST_F(OverlayControllerTest, TheSameRouteClosesThePanelAndAnotherSwitchesItInPlace)
{
    sendRoute("all");
    ASSERT_TRUE(superPanelShown());
    EXPECT_EQ(engine->currentOverlayRoute(), OverlayRoute::all);
    EXPECT_EQ(controller->globalOverlayWindow()->geometry(), QRect(0, 0, 1440, 900));
    EXPECT_FALSE(controller->globalOverlayWindow()->windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_EQ(controller->globalOverlayWindow()->windowTitle(), "Quorvantis");
    scheduler.advance(1.0);
    EXPECT_EQ(engine->windowsAppName(), WindowEngine::allWindowsAppName());
    SuperPanelOverlay &view = *controller->superPanel();
    QApplication::processEvents(); // the grid follows the list once it settles
    EXPECT_EQ(view.routeName(), "all");
    EXPECT_EQ(view.windowTitles().size(), 5);
    saveScreenshot(*controller->globalOverlayWindow(), "controller_super_panel_all");

    // Switched in place: still up, one clipboard check, the window scan given up.
    sendRoute("clipboard");
    EXPECT_TRUE(superPanelShown());
    EXPECT_EQ(engine->currentOverlayRoute(), OverlayRoute::clipboard);
    EXPECT_EQ(view.routeName(), "clipboard");
    EXPECT_EQ(clipboardChecks, 1);
    EXPECT_FALSE(engine->isFetchPending());

    sendRoute("clipboard");
    EXPECT_FALSE(controller->isGlobalSwitcherVisible());
    // The content fades out first.
    scheduler.advance(SuperPanelOverlay::fadeOutDuration + OverlayController::compositorSettle);
    EXPECT_FALSE(controller->globalOverlayWindow()->isVisible());
    EXPECT_EQ(clipboardChecks, 1) << "closing does not look at the clipboard";

    // Unknown routes change nothing.
    sendRoute("everything");
    sendRoute("All");
    EXPECT_FALSE(controller->globalOverlayWindow()->isVisible());
}

// With two screens the panel covers the one under the pointer, also when a route switches in place.
TEST_F(OverlayControllerTest, ThePanelCoversTheScreenUnderThePointer)
{
    const ScreenInfo main{QRectF(0, 0, 1440, 900), QRectF(0, 70, 1440, 805)};
    desktop.screens.setScreens({main, ScreenInfo{QRectF(1440, 0, 1280, 800), QRectF(1440, 0, 1280, 800)}});
    desktop.screens.setMouseLocation(QPointF(2000, 400));
    sendRoute("all");
    ASSERT_TRUE(superPanelShown());
    EXPECT_EQ(controller->globalOverlayWindow()->geometry(), QRect(1440, 100, 1280, 800));
    desktop.screens.setMouseLocation(away);
    sendRoute("clipboard");
    EXPECT_EQ(controller->globalOverlayWindow()->geometry(), QRect(0, 0, 1440, 900));
}

// The edge popup may take only what the desktop's own panels leave free. A desktop panel that
// starts or grows while the popup shows changes the screens' work area: the popup follows it then,
// not at its next showing (it stayed over the new panel when the change was not followed).
TEST_F(OverlayControllerTest, TheEdgePopupFollowsTheWorkAreaWhenTheScreensChange)
{
    QTemporaryDir shelfRoot;
    ClipboardManager clipboard(*desktop.platform().pasteboard, *desktop.platform().workspace, scheduler,
                               queues, settings, events);
    FileShelfManager shelf(desktop.platform(), scheduler, queues, events,
                           shelfRoot.filePath(QStringLiteral("shelf")));
    controller->setItemServices(clipboard, shelf, queues.makeQueue("previews", QueueKind::Concurrent));
    ASSERT_TRUE(controller->edgePopupState());
    sendRoute("shelf");
    ASSERT_TRUE(superPanelShown());
    // 1440 x 900 with a 70 pt Dock below and 25 pt above: y down, the free area starts 25 pt down.
    EXPECT_EQ(controller->edgePopupState()->workArea(), QRectF(0, 25, 1440, 805));

    // A panel 40 pt high appears at the top.
    desktop.screens.setScreens({ScreenInfo{QRectF(0, 0, 1440, 900), QRectF(0, 70, 1440, 790)}});
    scheduler.advance(0.1);
    EXPECT_EQ(controller->edgePopupState()->workArea(), QRectF(0, 40, 1440, 790))
        << "the popup kept the work area from before the screens changed";
    EXPECT_TRUE(QRectF(0, 40, 1440, 790).contains(controller->edgePopup()->panelFrame()))
        << "the popup lies over the desktop's new panel";
    // A preview opened in the popup covers the whole window, which takes the popup's new outline.
    ClipboardItem copied;
    copied.id = QUuid::createUuid();
    copied.text = QStringLiteral("shown in the preview");
    copied.date = QDateTime::currentDateTimeUtc();
    controller->edgePopupState()->previewClip(copied);
    scheduler.advance(1.0);
    QApplication::processEvents();
    EXPECT_EQ(controller->globalOverlayWindow()->outline(), controller->edgePopup()->outline())
        << "the window kept the popup's old outline: the preview shows cut off and its clicks fall through";
    sendRoute("shelf");
    controller.reset(); // before the services it was handed
}

// The tray's Show All Windows used to toggle the panel without choosing a route or asking for a
// list: it showed the last route's name and whatever list was left (none after a close from "all").
// It now opens route "all" with a fresh list, like the hotkey, and closes the panel while it shows.
TEST_F(OverlayControllerTest, ShowAllWindowsOpensRouteAllWithAFreshListAndClosesAnOpenPanel)
{
    for (const char *before : {"all", "clipboard"}) {
        SCOPED_TRACE(before);
        sendRoute(before);
        scheduler.advance(1.0);
        ASSERT_TRUE(superPanelShown());
        controller->showAllWindows();
        scheduler.advance(0.01);
        EXPECT_FALSE(controller->isGlobalSwitcherVisible());

        controller->showAllWindows();
        scheduler.advance(1.0);
        ASSERT_TRUE(superPanelShown());
        EXPECT_EQ(engine->currentOverlayRoute(), OverlayRoute::all);
        QApplication::processEvents();
        EXPECT_EQ(controller->superPanel()->windowTitles().size(), 5);
        controller->showAllWindows();
        scheduler.advance(0.01);
    }
}

// Without a compositor the panel cannot be see-through; its backdrop must not paint black.
TEST_F(OverlayControllerTest, WithoutACompositorTheSuperPanelPaintsAnOpaqueTintNotBlack)
{
    desktop.panelWindows.setCompositing(false);
    sendRoute("all");
    ASSERT_TRUE(superPanelShown());
    const QImage picture = controller->globalOverlayWindow()->grab().toImage();
    const QColor corner = picture.pixelColor(picture.width() - 3, picture.height() - 3);
    EXPECT_EQ(corner.alpha(), 255);
    EXPECT_GT(corner.red() + corner.green() + corner.blue(), 60) << "painted black";
}

TEST_F(OverlayControllerTest, TheShelfRouteOpensWithoutAWindowScan)
{
    controller->setEventLog(&events);
    emit monitor->globalSwitcherEvent(QStringLiteral("all")); // left before its scan starts
    sendRoute("shelf");
    ASSERT_TRUE(superPanelShown());
    EXPECT_EQ(events.details(QStringLiteral("overlay_show")), QStringList{QStringLiteral("route=all")});
    scheduler.advance(1.0);
    EXPECT_TRUE(engine->windows().isEmpty());
    EXPECT_NE(engine->windowsAppName(), WindowEngine::allWindowsAppName());
    EXPECT_EQ(clipboardChecks, 0);
}

// Closing from "all" empties the list of every window; closing from another route only stops scans,
// so the list the bubble last had stays.
TEST_F(OverlayControllerTest, ClosingFromAllClearsTheListOtherRoutesOnlyStopTheScans)
{
    struct Row
    {
        const char *route;
        bool cleared;
    };
    for (const Row &row : {Row{"all", true}, Row{"clipboard", false}, Row{"shelf", false}}) {
        SCOPED_TRACE(row.route);
        engine->fetchWindows("Files");
        scheduler.advance(1.0);
        sendRoute(row.route);
        scheduler.advance(1.0);
        ASSERT_TRUE(superPanelShown());
        controller->superPanelState()->dismiss(); // what Esc does
        scheduler.advance(SuperPanelOverlay::fadeOutDuration + OverlayController::compositorSettle + 0.01);
        EXPECT_FALSE(controller->isGlobalSwitcherVisible());
        EXPECT_EQ(engine->windows().isEmpty(), row.cleared);
        EXPECT_FALSE(engine->isFetchPending());
        EXPECT_FALSE(controller->globalOverlayWindow()->testAttribute(Qt::WA_WState_Created))
            << "the full-screen window's pixels go while it is hidden";
    }
}

// The panel kept the keyboard through its fade-out, so the letters typed right after Esc went
// nowhere: the keyboard now goes back at the key, while the content still fades.
TEST_F(OverlayControllerTest, EscapeHandsTheKeyboardBackAtOnceWhileThePanelFadesOut)
{
    desktop.workspace.openWindow(pidOf("Terminal"), 71);
    desktop.workspace.focusWindow(71);
    const quint32 hadKeys = 71;
    desktop.globalInput.createTap();
    sendRoute("all");
    ASSERT_TRUE(superPanelShown());
    KeyPanel &superPanel = *controller->globalOverlayWindow();
    QApplication::processEvents(); // the activation arrives from the window system
    ASSERT_EQ(desktop.globalInput.keyboardHolder(), quint64(superPanel.winId()));
    const qsizetype activations = desktop.workspace.activationLog().size();
    QTest::keyClick(controller->superPanel(), Qt::Key_Escape);
    EXPECT_TRUE(superPanel.isVisible()) << "its content fades out";
    EXPECT_EQ(desktop.globalInput.keyboardHolder(), 0u);
    EXPECT_EQ(desktop.globalInput.keyboardHandedTo, QList<quint64>{hadKeys});
    EXPECT_EQ(desktop.workspace.focusedWindow(), hadKeys);
    scheduler.advance(SuperPanelOverlay::fadeOutDuration + OverlayController::compositorSettle + 0.01);
    EXPECT_FALSE(superPanel.isVisible());
    EXPECT_EQ(desktop.globalInput.keyboardHandedTo, QList<quint64>{hadKeys}) << "once";
    EXPECT_EQ(desktop.workspace.activationLog().size(), activations)
        << "the window itself, not its application";
}

// The keyboard is handed over at Return or Esc before the main thread reads the key, by what the
// panel published: a choice that named another window than the key then brings forward, or a
// window where the key does something else, would send the next letters astray.
TEST_F(OverlayControllerTest, ThePublishedChoiceIsWhatReturnAndEscapeWouldDoNow)
{
    desktop.workspace.openWindow(pidOf("Terminal"), 71);
    desktop.workspace.focusWindow(71);
    desktop.globalInput.createTap();
    engine->setContextMenuOpen(true); // a bubble card's menu, open as the hotkey comes
    sendRoute("all");
    ASSERT_TRUE(superPanelShown());
    scheduler.advance(1.0); // the scan
    SuperPanelState &state = *controller->superPanelState();
    ASSERT_GE(state.filteredModel().rowCount(), 2);
    const auto &choice = desktop.globalInput.keyboardChoice;
    const auto selectedWindow = [&] { return quint64(state.filteredModel().windowAt(state.selectedIndex()).id); };
    EXPECT_EQ(choice, std::make_pair(selectedWindow(), quint64(71)));

    state.setSelectedIndex(1);
    EXPECT_EQ(choice.first, selectedWindow()) << "follows the selection";
    state.setExpandedSection(SuperPanelState::ExpandedSection::clipboard);
    EXPECT_EQ(choice, std::make_pair(quint64(0), quint64(0))) << "Esc closes the gallery first";
    state.setExpandedSection(std::nullopt);
    state.setSearchText(QStringLiteral("no window is called this"));
    EXPECT_EQ(choice, std::make_pair(quint64(0), quint64(71))) << "Return opens nothing";
    state.setSearchText(QString());
    engine->setContextMenuOpen(true);
    EXPECT_EQ(choice, std::make_pair(quint64(0), quint64(0))) << "a card's menu takes the keys";
    engine->setContextMenuOpen(false);

    sendRoute("clipboard");
    EXPECT_EQ(choice, std::make_pair(quint64(0), quint64(71))) << "the edge popup opens nothing on Return";
    state.dismiss();
    EXPECT_EQ(choice, std::make_pair(quint64(0), quint64(0))) << "the fade-out takes no key";
}

// Right, Right and Return typed right after the hotkey, before the list of every window came: the
// moves did nothing and Return opened nothing, so the keys after it went into the search. They wait
// for the list now, and so does the keyboard (the desktop is told Return is still to be acted on).
TEST_F(OverlayControllerTest, MovesAndReturnTypedBeforeTheListComesActOnItWhileTheKeysAfterThemWait)
{
    desktop.globalInput.createTap();
    desktop.windowServer.setHoldLists(true);
    sendRoute("all");
    scheduler.advance(0.2);
    QApplication::processEvents();
    ASSERT_TRUE(superPanelShown());
    std::optional<qint64> third;
    QObject watch;
    QObject::connect(engine.get(), &WindowEngine::windowsChanged, &watch, [&] {
        if (!third && engine->windows().size() >= 3)
            third = engine->windows().at(2).id;
    });
    SuperPanelState &state = *controller->superPanelState();
    state.moveSelection(1);
    state.moveSelection(1);
    state.openSelectedWindow();
    EXPECT_TRUE(desktop.globalInput.keyboardDeciding);
    EXPECT_TRUE(superPanelShown());
    EXPECT_TRUE(desktop.globalInput.keyboardHandedTo.isEmpty());

    desktop.windowServer.releaseLists();
    scheduler.advance(1.0);
    QApplication::processEvents();
    ASSERT_TRUE(third.has_value());
    EXPECT_EQ(desktop.globalInput.keyboardHandedTo, QList<quint64>{quint64(*third)});
    EXPECT_FALSE(desktop.globalInput.keyboardDeciding);
    EXPECT_FALSE(superPanelShown());

    // Typed once the list is there, they act at once.
    desktop.windowServer.setHoldLists(false);
    sendRoute("all");
    scheduler.advance(1.0);
    QApplication::processEvents();
    ASSERT_TRUE(superPanelShown());
    ASSERT_GE(state.filteredCount(), 2);
    state.moveSelection(1);
    EXPECT_EQ(state.selectedIndex(), 1);
    EXPECT_FALSE(desktop.globalInput.keyboardDeciding);
}

// Return on a card gives the keyboard to that card's window alone: handing it back to the window
// that had it first brought that window forward for a moment.
TEST_F(OverlayControllerTest, ReturnFocusesTheChosenWindowWithoutHandingTheKeyboardBackFirst)
{
    const qint64 terminal = pidOf("Terminal");
    const qint64 files = pidOf("Files");
    desktop.workspace.activate(terminal);
    sendRoute("all");
    ASSERT_TRUE(superPanelShown());
    scheduler.advance(1.0); // the scan
    if (!QTest::qWaitFor([&] { return controller->globalOverlayWindow()->isActiveWindow(); }, 1000))
        GTEST_SKIP() << "this platform plugin gives no window the keyboard";
    SuperPanelState &state = *controller->superPanelState();
    int chosen = -1;
    for (int row = 0; row < state.filteredModel().rowCount(); ++row) {
        if (state.filteredModel().windowAt(row).ownerPID == files)
            chosen = row;
    }
    ASSERT_GE(chosen, 0);
    const qsizetype activations = desktop.workspace.activationLog().size();
    state.selectAndOpen(chosen);
    EXPECT_EQ(desktop.globalInput.keyboardHandedTo,
              QList<quint64>{quint64(state.filteredModel().windowAt(chosen).id)})
        << "the chosen window has the keys at once, not after the fade";
    scheduler.advance(1.0);
    EXPECT_FALSE(superPanelShown());
    const QList<qint64> log = desktop.workspace.activationLog().mid(activations);
    EXPECT_FALSE(log.contains(terminal));
    EXPECT_TRUE(log.contains(files));
}

// The keyboard goes back to the window that had it, even below another window of its application;
// only when that window closed meanwhile does the application's frontmost one get it.
class FocusReturnTest : public OverlayControllerTest, public ::testing::WithParamInterface<bool>
{
};

TEST_P(FocusReturnTest, ClosingHandsTheKeyboardToTheWindowThatHadItElseToItsApplication)
{
    const bool closedMeanwhile = GetParam();
    const qint64 terminal = pidOf("Terminal");
    desktop.workspace.openWindow(terminal, 71);
    desktop.workspace.openWindow(terminal, 72); // above 71
    desktop.workspace.focusWindow(71);
    sendRoute("all");
    ASSERT_TRUE(superPanelShown());
    if (!QTest::qWaitFor([&] { return controller->globalOverlayWindow()->isActiveWindow(); }, 1000))
        GTEST_SKIP() << "this platform plugin gives no window the keyboard";
    if (closedMeanwhile)
        desktop.workspace.closeWindow(71);
    const qsizetype activations = desktop.workspace.activationLog().size();
    sendRoute("all");
    ASSERT_FALSE(superPanelShown());
    scheduler.advance(SuperPanelOverlay::fadeOutDuration + OverlayController::compositorSettle);
    EXPECT_EQ(desktop.workspace.focusedWindow(), closedMeanwhile ? 72u : 71u);
    EXPECT_EQ(desktop.workspace.activationLog().mid(activations),
              closedMeanwhile ? QList<qint64>{terminal} : QList<qint64>{});
}

INSTANTIATE_TEST_SUITE_P(WindowOpenOrClosed, FocusReturnTest, ::testing::Bool());

// Over a window of our own (the settings window), which takes the keyboard back itself, neither
// Esc nor the close hands it to another window or application.
TEST_F(OverlayControllerTest, OverAWindowOfOurOwnTheKeyboardGoesToNoOtherWindow)
{
    const qint64 own = desktop.workspace.launch(
        RunningApp{QCoreApplication::applicationPid(), QStringLiteral("org.example.quorvantis"), "Quorvantis"});
    desktop.workspace.openWindow(own, 81);
    desktop.workspace.focusWindow(81);
    desktop.workspace.activate(own);
    desktop.globalInput.createTap();
    sendRoute("all");
    ASSERT_TRUE(superPanelShown());
    EXPECT_EQ(desktop.globalInput.keyboardChoice.second, 0u);
    const qsizetype activations = desktop.workspace.activationLog().size();
    sendRoute("all");
    scheduler.advance(1.0);
    EXPECT_EQ(desktop.globalInput.keyboardHandedTo, QList<quint64>{0});
    EXPECT_EQ(desktop.workspace.activationLog().size(), activations);
}

TEST_F(OverlayControllerTest, WhileThePanelShowsTheBubbleAndTheDockHoverStayAway)
{
    pointAt("Files");
    scheduler.advance(1.0);
    ASSERT_TRUE(bubbleShown());
    sendRoute("all");
    ASSERT_TRUE(superPanelShown());
    EXPECT_FALSE(panel().isVisible()) << "the bubble goes at once";
    EXPECT_EQ(panel().alpha(), 0) << "and fades in afresh when it comes back";
    EXPECT_TRUE(monitor->isInteractionSuspended());

    pointAt("Terminal");
    scheduler.advance(1.0);
    EXPECT_FALSE(panel().isVisible());
    EXPECT_NE(monitor->hoveredApp(), "Terminal");
    controller->handleScrollEvent(DockScrollEvent{"Files", DockScrollDirection::down});
    scheduler.advance(1.0);
    EXPECT_FALSE(isMinimized("Files 1"));

    sendRoute("all");
    EXPECT_FALSE(monitor->isInteractionSuspended());
    scheduler.advance(1.0);
    EXPECT_EQ(monitor->hoveredApp(), "Terminal");
    EXPECT_TRUE(bubbleShown());
    EXPECT_EQ(cardCount(), 3);
}

// Scrolling down on Terminal's tile while Files' list was still published used to minimise a Files
// window; a list that belongs to another application now counts as no list at all.
TEST_F(OverlayControllerTest, ScrollActsOnlyOnTheScrolledTilesOwnList)
{
    engine->fetchWindows("Files");
    scheduler.advance(1.0);
    ASSERT_EQ(engine->windowsAppName(), "Files");

    controller->handleScrollEvent(DockScrollEvent{"Terminal", DockScrollDirection::down});
    scheduler.advance(1.0);
    for (const char *title : {"Files 1", "Files 2", "Terminal 1"})
        EXPECT_FALSE(isMinimized(title)) << title;

    // Up on a tile without its own list brings its application forward, not a Files window.
    controller->handleScrollEvent(DockScrollEvent{"Terminal", DockScrollDirection::up});
    scheduler.advance(1.0);
    EXPECT_EQ(desktop.workspace.frontmostApplication().pid, pidOf("Terminal"));

    ASSERT_FALSE(engine->windows().isEmpty());
    const QString first = engine->windows().first().title;
    controller->handleScrollEvent(DockScrollEvent{"Files", DockScrollDirection::down});
    scheduler.advance(1.0);
    EXPECT_TRUE(isMinimized(first));
}

TEST_F(OverlayControllerTest, ScrollUpWithoutWindowsActivatesTheApplicationWhoseNameHoldsTheTitle)
{
    const qint64 viewer =
        desktop.workspace.launch(RunningApp{0, "org.example.viewer", "Image Viewer", false, false, true});
    desktop.workspace.launch(RunningApp{0, "org.example.viewerd", "Viewer Daemon", false, false, false});
    controller->handleScrollEvent(DockScrollEvent{"Viewer", DockScrollDirection::up});
    scheduler.advance(0.5);
    EXPECT_EQ(desktop.workspace.frontmostApplication().pid, viewer);

    const QList<qint64> before = desktop.workspace.activationLog();
    controller->handleScrollEvent(DockScrollEvent{"Nothing Like It", DockScrollDirection::up});
    controller->handleScrollEvent(DockScrollEvent{"Viewer", DockScrollDirection::down});
    scheduler.advance(0.5);
    EXPECT_EQ(desktop.workspace.activationLog(), before);
}

// While the list of every window was still being made, the panel said "No windows found".
TEST_F(OverlayControllerTest, ThePanelSaysNoWindowsFoundOnlyOnceTheListIsMade)
{
    desktop.windowServer.setHoldLists(true);
    sendRoute("all");
    scheduler.advance(0.2);
    QApplication::processEvents();
    ASSERT_TRUE(superPanelShown());
    WindowGrid &grid = *controller->superPanel()->grid();
    EXPECT_FALSE(grid.isShowingEmptyState());
    desktop.windowServer.releaseLists();
    scheduler.advance(1.0);
    QApplication::processEvents();
    EXPECT_EQ(grid.cards().size(), 5);

    controller->superPanelState()->setSearchText("nothing like this");
    QApplication::processEvents();
    EXPECT_TRUE(grid.isShowingEmptyState());
}

TEST_F(OverlayControllerTest, TheSuperPanelsGearOpensTheSettingsAndClosesThePanel)
{
    int opened = 0;
    controller->setOpenSettings([&opened] { ++opened; });
    desktop.workspace.activate(pidOf("Terminal"));
    sendRoute("all");
    ASSERT_TRUE(superPanelShown());
    QApplication::processEvents();
    desktop.globalInput.createTap();
    EXPECT_EQ(desktop.globalInput.keyboardHolder(), quint64(controller->globalOverlayWindow()->winId()));
    const qsizetype activations = desktop.workspace.activationLog().size();
    auto *gear = qobject_cast<QAbstractButton *>(controller->superPanel()->settingsButton());
    ASSERT_NE(gear, nullptr);
    gear->click();
    EXPECT_EQ(opened, 1);
    EXPECT_FALSE(controller->isGlobalSwitcherVisible());
    // Gone at once, with no fade, so it leaves nothing over the settings window.
    EXPECT_FALSE(controller->globalOverlayWindow()->isVisible());
    EXPECT_EQ(desktop.globalInput.keyboardHolder(), 0u);
    EXPECT_EQ(desktop.workspace.activationLog().size(), activations)
        << "the settings window keeps the keyboard";
}

// Every picture that comes in publishes the list again and refreshes the header; looking the icon
// up each time (on X11 a search through the icon theme) stalled the program for seconds.
TEST_F(OverlayControllerTest, TheHeaderIconIsLookedUpOnceAShowingNotForEveryPicture)
{
    const qint64 terminal = pidOf("Terminal");
    QImage icon(32, 32, QImage::Format_ARGB32_Premultiplied);
    icon.fill(QColor(200, 40, 40));
    desktop.appIcons.setApplicationIcon(terminal, icon);
    const QString lookup = QStringLiteral("pid:%1").arg(terminal);

    pointAt("Terminal");
    scheduler.advance(1.0);
    ASSERT_TRUE(bubbleShown());
    ASSERT_EQ(cardCount(), 3);
    EXPECT_EQ(controller->bubbleState()->headerIcon(), icon);
    // The header's once, the engine's once (it keeps what it found).
    EXPECT_LE(desktop.appIcons.lookups.count(lookup), 2);

    // Hidden and shown again: asked afresh, once; a program may have changed its icon meanwhile.
    QImage changed = icon;
    changed.fill(QColor(40, 200, 40));
    desktop.appIcons.setApplicationIcon(terminal, changed);
    desktop.screens.setMouseLocation(away);
    scheduler.advance(1.5);
    ASSERT_FALSE(bubbleShown());
    desktop.appIcons.lookups.clear();
    pointAt("Terminal");
    scheduler.advance(1.0);
    ASSERT_TRUE(bubbleShown());
    EXPECT_EQ(desktop.appIcons.lookups.count(lookup), 1);
    EXPECT_EQ(controller->bubbleState()->headerIcon(), changed);
}

// Quitting while a card was held crashed: the closing bubble let go of the card, the engine told of
// the drag's end, and the peek panel already gone was asked to hide.
TEST_F(OverlayControllerTest, ClosingWhileACardIsHeldEndsItsDragWithoutACrash)
{
    pointAt("Files");
    scheduler.advance(1.0);
    WindowPreviewCard &card = *controller->contentView()->cards().first();
    const QPointF pressed = card.mapToGlobal(QPointF(card.cardRect().center()));
    send(card, QEvent::MouseButtonPress, pressed);
    send(card, QEvent::MouseMove, pressed + QPointF(-20, 0));
    scheduler.advance(0.05);
    send(card, QEvent::MouseMove, QPointF(40, 450));
    scheduler.advance(1.0);
    ASSERT_TRUE(engine->isDragging());
    controller.reset();
    EXPECT_FALSE(engine->isDragging());
}

// The bubble and the panel take the stored language and blur from the start and follow each change.
TEST_F(OverlayControllerTest, TheBubbleAndThePanelFollowTheStoredLanguageAndBlur)
{
    settings.set(Settings::appLanguage, QStringLiteral("Deutsch"));
    settings.set(Settings::blurAmount, 10.0);
    controller = std::make_unique<OverlayController>(desktop.platform(), scheduler, settings, [] {});
    controller->setupOverlayWindow();
    controller->setupGlobalOverlayWindow();
    controller->setupBindings(*monitor, *engine);
    const BubbleViewState &bubble = *controller->bubbleState();
    const SuperPanelState &panel = *controller->superPanelState();
    EXPECT_EQ(bubble.language(), AppLanguage::german);
    EXPECT_EQ(panel.language(), AppLanguage::german);
    EXPECT_EQ(bubble.blurAmount(), 10.0);

    settings.set(Settings::blurAmount, 40.0);
    EXPECT_EQ(bubble.blurAmount(), 40.0);
    settings.set(Settings::appLanguage, QStringLiteral("Italiano"));
    EXPECT_EQ(bubble.language(), AppLanguage::italian);
    EXPECT_EQ(panel.language(), AppLanguage::italian);
}
