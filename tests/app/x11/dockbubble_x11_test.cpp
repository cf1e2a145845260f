#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>

#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>

#include "core/settingskeys.h"
#include "platform/geometry.h"
#include "platform/screens.h"
#include "platform/workspace.h"
#include "platform/x11/x11connection.h"
#include "support/overlaydesktop.h"
#include "support/x11clients.h"
#include "support/x11focus.h"
#include "support/xfcepanel.h"
#include "ui/panel.h"
#include "views/bubble/contentview.h"
#include "views/bubble/trafficlightbutton.h"
#include "views/bubble/windowpreviewcard.h"
#include "views/edgepopup/edgepopupview.h"
#include "views/items/edgeshelftile.h"
#include "windows/windowlistmodel.h"

using namespace qv;

namespace {

constexpr int waitMs = 15000;

// The whole bubble on a real desktop: xfce4-panel with its task list read through the
// accessibility bus, real xterms, the pointer and its button driven with XTEST, and what the window
// manager and the panel did read back from the server. One desktop and one program for the whole
// suite (a process keeps its first session bus and accessibility connection), so the tests run in
// their order: the panel moves to the top for the last one.
class DockBubbleX11Test : public ::testing::Test
{
protected:
    struct Shared
    {
        XfcePanelDesktop xfce;
        // Made once the panel runs: the desktop reads it through the session's accessibility bus.
        std::unique_ptr<OverlayDesktop> desktop;
        bool started = false;

        ~Shared()
        {
            desktop.reset();
            xfce.stop();
        }
    };
    static inline Shared *shared = nullptr;

    static void SetUpTestSuite()
    {
        if (!XfcePanelDesktop::missing().isEmpty())
            return;
        shared = new Shared;
        if (!shared->xfce.start(XfcePanelDesktop::Edge::bottom))
            return;
        shared->desktop = std::make_unique<OverlayDesktop>();
        shared->desktop->controller->startMouseCheckTimer();
        shared->started = true;
    }
    static void TearDownTestSuite()
    {
        delete shared;
        shared = nullptr;
    }

    void SetUp() override
    {
        if (const QString missing = XfcePanelDesktop::missing(); !missing.isEmpty())
            GTEST_SKIP() << missing.toStdString();
        ASSERT_TRUE(shared && shared->started) << "the panel desktop did not start";
        ASSERT_TRUE(connection.isValid());
        monitor = shared->desktop->monitor.get();
        engine = shared->desktop->engine.get();
        controller = shared->desktop->controller.get();
    }

    void TearDown() override
    {
        if (!shared)
            return;
        movePointer(QPointF(700, 300));
        EXPECT_TRUE(QTest::qWaitFor([&] { return !anyPanelMapped(); }, 3000));
        for (QProcess *terminal : std::as_const(terminals)) {
            terminal->terminate();
            terminal->waitForFinished(3000);
        }
    }

    // Terminals titled `titles`, each with its task button on the panel, the panel read again.
    void startTerminals(const QStringList &titles)
    {
        for (const QString &title : titles)
            terminals.append(shared->xfce.xterm(title));
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                for (const QString &title : titles) {
                    if (XfcePanelDesktop::iconGeometryOf(title).isEmpty())
                        return false;
                }
                return true;
            },
            30000))
            << "no task buttons";
        QTest::qWait(2500); // the next walk of the panel has every button
    }

    void fake(uint8_t type, uint8_t detail, const QPointF &at = {})
    {
        fakeInput(connection, type, detail, at);
    }
    void movePointer(const QPointF &at)
    {
        fake(XCB_MOTION_NOTIFY, 0, at);
        QTest::qWait(30);
    }

    KeyPanel &bubble() { return *controller->overlayWindow(); }
    bool bubbleShown(int cards = 1)
    {
        return bubble().isVisible() && bubble().alpha() > 0.99 &&
               controller->contentView()->cards().size() >= cards;
    }
    QStringList cardTitles()
    {
        QStringList titles;
        for (WindowPreviewCard *card : controller->contentView()->cards())
            titles.append(card->window().title);
        return titles;
    }
    WindowPreviewCard *cardFor(const QString &title)
    {
        for (WindowPreviewCard *card : controller->contentView()->cards()) {
            if (card->window().title == title)
                return card;
        }
        return nullptr;
    }
    // Rests on the terminal's task button until the bubble shows `cards` cards, its own among them;
    // when it does not, what stood instead.
    ::testing::AssertionResult hover(const QString &title, int cards = 1)
    {
        const QRect button = XfcePanelDesktop::iconGeometryOf(title);
        movePointer(QRectF(button).center());
        if (QTest::qWaitFor([&] { return bubbleShown(cards) && cardFor(title); }, waitMs))
            return ::testing::AssertionSuccess();
        QStringList listed;
        for (const AppWindowModel &window : engine->windows())
            listed.append(window.title);
        return ::testing::AssertionFailure()
               << "no bubble with " << cards << " cards for \"" << title.toStdString() << "\" (button "
               << button.x() << "," << button.y() << " " << button.width() << "x" << button.height()
               << "): hovered \"" << monitor->hoveredApp().toStdString() << "\", visible "
               << bubble().isVisible() << ", alpha " << bubble().alpha() << ", cards \""
               << cardTitles().join(u'|').toStdString() << "\", engine lists \""
               << listed.join(u'|').toStdString() << "\" for \"" << engine->windowsAppName().toStdString()
               << "\", fetch pending " << engine->isFetchPending();
    }

    bool isMapped(xcb_window_t window) { return isViewable(connection, window); }
    bool anyPanelMapped()
    {
        for (const Panel *panel : {static_cast<Panel *>(controller->overlayWindow()),
                                   static_cast<Panel *>(controller->peekingWindow()),
                                   static_cast<Panel *>(controller->globalOverlayWindow())}) {
            if (panel->windowHandle() && isMapped(xcb_window_t(panel->winId())))
                return true;
        }
        return false;
    }

    // Windows of this process the window manager lists without keeping them out of task lists.
    QStringList ownListedWithoutSkip()
    {
        QStringList found;
        xcb_ewmh_connection_t *ewmh = connection.ewmh();
        xcb_ewmh_get_windows_reply_t list;
        if (!xcb_ewmh_get_client_list_reply(ewmh, xcb_ewmh_get_client_list(ewmh, connection.screenNumber()),
                                            &list, nullptr))
            return {QStringLiteral("no client list")};
        for (uint32_t i = 0; i < list.windows_len; ++i) {
            const xcb_window_t window = list.windows[i];
            if (pidOf(connection, window) != QCoreApplication::applicationPid())
                continue;
            if (!X11Clients::windowState(window).contains(QStringLiteral("_NET_WM_STATE_SKIP_TASKBAR")))
                found.append(QString::number(window));
        }
        xcb_ewmh_get_windows_reply_wipe(&list);
        return found;
    }

    int stackingIndex(xcb_window_t window) { return qv::stackingIndex(connection, window); }

    // A real xterm's card dragged with the pointer's button held, out of the bubble to `target`,
    // held by its picture or by its buttons' capsule past the last button; `whileHeld` looks at the
    // screen before the release.
    enum class Grip { picture, capsule };
    void dragCard(const QString &title, const QPointF &target, const std::function<void()> &whileHeld = {},
                  Grip grip = Grip::picture)
    {
        WindowPreviewCard *card = cardFor(title);
        ASSERT_NE(card, nullptr) << "no card for " << title.toStdString();
        movePointer(card->mapToGlobal(QPointF(card->cardRect().center())));
        QTest::qWait(200); // the hover grows the card and brings its buttons in
        const QWidget *capsule = card->trafficLights().at(0)->parentWidget();
        QPointF start = card->mapToGlobal(QPointF(card->cardRect().center()));
        if (grip == Grip::capsule) {
            ASSERT_TRUE(QTest::qWaitFor(
                [&] {
                    start = capsule->mapToGlobal(QPointF(capsule->width() - 3, capsule->height() / 2.0));
                    return QApplication::widgetAt(start.toPoint()) == capsule;
                },
                waitMs));
        }
        movePointer(start);
        fake(XCB_BUTTON_PRESS, 1, start);
        QTest::qWait(50);
        constexpr int steps = 25;
        for (int i = 1; i <= steps; ++i)
            movePointer(start + (target - start) * (double(i) / steps));
        QTest::qWait(400); // well past the mouse check and the hide delay
        EXPECT_TRUE(bubble().isVisible()) << "the bubble stays while its card is dragged";
        EXPECT_TRUE(engine->isDragging());
        if (whileHeld)
            whileHeld();
        fake(XCB_BUTTON_RELEASE, 1, target);
    }

    // The visible frame of the main screen in top-left coordinates.
    QRectF visibleArea() const
    {
        ScreenService *screens = shared->desktop->x11.platform().screens;
        return flipRect(screens->mainScreen()->visibleFrame, screens->flipHeight());
    }

    QList<QProcess *> terminals;
    X11Connection connection;
    DockMonitor *monitor = nullptr;
    WindowEngine *engine = nullptr;
    OverlayController *controller = nullptr;
};

} // namespace

// The first hover after start waited for every picture to be taken before its bubble showed. A later
// list reordered the cards under the pointer, so a drag aimed at one card snapped another window.
// And the next hover after a window was used showed the order of the hover before (the window used
// then first, the one just used out of view): the order is decided afresh at each showing.
TEST_F(DockBubbleX11Test, TheFirstHoverShowsBeforeThePicturesAndCardsKeepTheirPlacesAsTheyArrive)
{
    movePointer(QPointF(700, 300)); // off the panel, wherever an earlier program left it
    startTerminals({QStringLiteral("order one"), QStringLiteral("order two")});
    std::optional<bool> firstCardsBeforeCaptures;
    // The watchers go with the test's locals they write to, also when an assertion ends it early:
    // a connection left behind wrote into freed memory at every later list.
    auto firstWatch = std::make_unique<QObject>();
    QObject::connect(controller->bubbleWindows(), &QAbstractItemModel::rowsInserted, firstWatch.get(), [&] {
            if (firstCardsBeforeCaptures)
                return;
            const AppWindowModel &window = controller->bubbleWindows()->itemAt(0);
            firstCardsBeforeCaptures = window.image.cacheKey() == window.appIcon.cacheKey();
        });
    ASSERT_TRUE(hover(QStringLiteral("order one"), 2));
    firstWatch.reset();
    ASSERT_TRUE(firstCardsBeforeCaptures.has_value());
    EXPECT_TRUE(*firstCardsBeforeCaptures) << "the first bubble waited for the pictures";
    const QStringList order = cardTitles();
    movePointer(QPointF(700, 300));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !anyPanelMapped(); }, waitMs));

    // The terminal listed last comes to the front with the keyboard: the next showing lists it first
    // from its first list on.
    ASSERT_TRUE(
        xdotool(QStringLiteral("windowactivate --sync ") + XfcePanelDesktop::windowNamed(order.last())));
    QList<QStringList> published;
    auto listWatch = std::make_unique<QObject>();
    QObject::connect(engine, &WindowEngine::windowsChanged, listWatch.get(), [&] {
        QStringList titles;
        for (const AppWindowModel &window : engine->windows())
            titles.append(window.title);
        published.append(titles);
    });
    ASSERT_TRUE(hover(QStringLiteral("order one"), 2));
    const QStringList reversed(order.rbegin(), order.rend());
    EXPECT_EQ(cardTitles(), reversed) << "the window just used comes first";
    const QList<WindowPreviewCard *> shown = controller->contentView()->cards();
    const QStringList firstShown = cardTitles();
    // A list that comes while the bubble shows, ordered otherwise (a window raised meanwhile).
    ASSERT_TRUE(QTest::qWaitFor([&] { return !engine->isFetchPending(); }, waitMs));
    ASSERT_TRUE(
        xdotool(QStringLiteral("windowraise ") + XfcePanelDesktop::windowNamed(order.first())));
    QTest::qWait(300); // past the throttle of requests
    published.clear();
    engine->fetchWindows(engine->windowsAppName());
    ASSERT_TRUE(QTest::qWaitFor([&] { return published.contains(order); }, waitMs));
    listWatch.reset();
    EXPECT_EQ(cardTitles(), firstShown) << "the cards stay where the bubble first showed them";
    EXPECT_EQ(controller->contentView()->cards(), shown) << "each card keeps its widget";
    for (WindowPreviewCard *card : shown) {
        const auto fresh =
            std::find_if(engine->windows().cbegin(), engine->windows().cend(),
                         [card](const AppWindowModel &w) { return w.id == card->window().id; });
        ASSERT_NE(fresh, engine->windows().cend());
        EXPECT_EQ(card->window().image.cacheKey(), fresh->image.cacheKey()) << "its new picture, in place";
    }
}

// Our panels entered the task list from their second showing on: every task button moved a slot,
// the pointer ended over another application's button and the bubble showed the wrong windows.
TEST_F(DockBubbleX11Test, NothingOfOursEntersTheTaskListAndTheButtonsStayPut)
{
    startTerminals({QStringLiteral("left term"), QStringLiteral("right term")});
    const QRect button = XfcePanelDesktop::iconGeometryOf(QStringLiteral("right term"));
    ASSERT_FALSE(button.isEmpty());
    for (int showing = 1; showing <= 3; ++showing) {
        SCOPED_TRACE(showing);
        ASSERT_TRUE(hover(QStringLiteral("right term"), 2));
        QTest::qWait(500); // a task button the panel added would be there by now
        EXPECT_EQ(ownListedWithoutSkip(), QStringList());
        EXPECT_EQ(XfcePanelDesktop::iconGeometryOf(QStringLiteral("right term")), button);
        EXPECT_EQ(monitor->hoveredApp(), engine->windowsAppName());
        movePointer(QPointF(700, 300));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !anyPanelMapped(); }, waitMs));
        // openbox erases a withdrawn window's state a moment before it drops the window from its
        // list; once it has finished, nothing of ours is listed.
        EXPECT_TRUE(QTest::qWaitFor([&] { return ownListedWithoutSkip().isEmpty(); }, 1000))
            << ownListedWithoutSkip().join(u' ').toStdString();
        EXPECT_EQ(XfcePanelDesktop::iconGeometryOf(QStringLiteral("right term")), button);
    }
    // The Super Panel, which takes the keyboard, stays out of the task list as well, each time.
    for (int opening = 1; opening <= 2; ++opening) {
        SCOPED_TRACE(opening);
        controller->toggleGlobalSwitcher(true);
        const auto panel = xcb_window_t(controller->globalOverlayWindow()->winId());
        ASSERT_TRUE(QTest::qWaitFor([&] { return isMapped(panel); }, waitMs));
        QTest::qWait(500);
        EXPECT_EQ(ownListedWithoutSkip(), QStringList());
        EXPECT_EQ(XfcePanelDesktop::iconGeometryOf(QStringLiteral("right term")), button);
        controller->toggleGlobalSwitcher(false);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !isMapped(panel); }, waitMs));
    }
}

// Dragging a card never snapped: the bubble hid under the drag, the release was lost and a ghost
// of the window stayed over the screen. A maximised window did not snap at all.
TEST_F(DockBubbleX11Test, DraggingARealTerminalsCardToAnEdgeSnapsItAndLeavesNothingOfOursBehind)
{
    startTerminals({QStringLiteral("plain term"), QStringLiteral("big term")});
    const auto big = xcb_window_t(XfcePanelDesktop::windowNamed(QStringLiteral("big term")).toUInt());
    xcb_ewmh_connection_t *ewmh = connection.ewmh();
    xcb_ewmh_request_change_wm_state(ewmh, connection.screenNumber(), big, XCB_EWMH_WM_STATE_ADD,
                                     ewmh->_NET_WM_STATE_MAXIMIZED_VERT, ewmh->_NET_WM_STATE_MAXIMIZED_HORZ,
                                     XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER);
    xcb_flush(connection.xcb());
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return X11Clients::windowState(big).contains(QStringLiteral("_NET_WM_STATE_MAXIMIZED_VERT")); },
        waitMs));

    const QRectF visible = visibleArea();
    // Held by the buttons' capsule, the card stopped following the pointer as the capsule hid.
    const struct
    {
        QString title;
        QPointF target;
        double halfX;
        Grip grip;
    } rows[] = {
        {QStringLiteral("plain term"), QPointF(4, visible.center().y()), visible.left(), Grip::capsule},
        {QStringLiteral("big term"), QPointF(visible.right() - 4, visible.center().y()),
         visible.center().x(), Grip::picture},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.title.toStdString());
        ASSERT_TRUE(hover(row.title, 2));
        dragCard(row.title, row.target, {}, row.grip);
        const auto window = xcb_window_t(XfcePanelDesktop::windowNamed(row.title).toUInt());
        // The terminal fills that half of the visible area (to its character cells).
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                const QRect frame = X11Clients::frame(window);
                return std::abs(frame.x() - row.halfX) <= 1 && std::abs(frame.y() - visible.y()) <= 1 &&
                       std::abs(frame.width() - visible.width() / 2) <= 12 &&
                       std::abs(frame.height() - visible.height()) <= 20;
            },
            waitMs))
            << "frame " << X11Clients::frame(window).x() << "," << X11Clients::frame(window).y() << " "
            << X11Clients::frame(window).width() << "x" << X11Clients::frame(window).height();
        EXPECT_FALSE(
            X11Clients::windowState(window).contains(QStringLiteral("_NET_WM_STATE_MAXIMIZED_VERT")));
        QTest::qWait(1000);
        EXPECT_FALSE(anyPanelMapped()) << "a second later nothing of ours is left on the screen";
        EXPECT_FALSE(engine->isDragging());
        EXPECT_FALSE(controller->contentView()->hasPressedCard());
        movePointer(QPointF(700, 300));
    }

    // Esc while the button is still held abandons the drag: nothing snaps, nothing of ours stays.
    const auto plain = xcb_window_t(XfcePanelDesktop::windowNamed(QStringLiteral("plain term")).toUInt());
    const QRect before = X11Clients::frame(plain);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !anyPanelMapped(); }, waitMs));
    ASSERT_TRUE(hover(QStringLiteral("plain term"), 2));
    const QPointF right(visible.right() - 4, visible.center().y());
    WindowPreviewCard *card = cardFor(QStringLiteral("plain term"));
    ASSERT_NE(card, nullptr);
    const QPointF start = card->mapToGlobal(QPointF(card->cardRect().center()));
    movePointer(start);
    QTest::qWait(200);
    fake(XCB_BUTTON_PRESS, 1, start);
    for (int i = 1; i <= 25; ++i)
        movePointer(start + (right - start) * (i / 25.0));
    QTest::qWait(300);
    ASSERT_TRUE(engine->isDragging());
    ASSERT_TRUE(xdotool(QStringLiteral("key Escape")));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !engine->isDragging(); }, 2000));
    fake(XCB_BUTTON_RELEASE, 1, right);
    QTest::qWait(1000);
    EXPECT_EQ(X11Clients::frame(plain), before);
    EXPECT_FALSE(anyPanelMapped());
    EXPECT_FALSE(controller->contentView()->hasPressedCard());
}

// A new window's task button showed no bubble on its first hovers: the panel's buttons were read
// again only when the pointer came into the panel's band (or an application started), so a pointer
// already there found no tile under it.
TEST_F(DockBubbleX11Test, TheFirstHoverOnANewWindowsButtonShowsItsBubble)
{
    // The pointer waits in the panel's band, above the buttons, while a running application opens a
    // second window.
    movePointer(QPointF(700, visibleArea().bottom() - 20));
    terminals.append(shared->xfce.run(
        QStringLiteral(QV_TWOWINDOWS),
        {QStringLiteral("first window"), QStringLiteral("later window"), QStringLiteral("2000")}));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return !XfcePanelDesktop::iconGeometryOf(QStringLiteral("later window")).isEmpty(); }, 30000));
    // Straight down onto the new button, in one move.
    ASSERT_TRUE(hover(QStringLiteral("later window"), 2));
}

// After the full-screen button the bubble stayed mapped behind the full-screen window, as long as
// the pointer rested where the bubble had been.
TEST_F(DockBubbleX11Test, TheFullScreenButtonTakesTheBubbleAway)
{
    startTerminals({QStringLiteral("wide term")});
    ASSERT_TRUE(hover(QStringLiteral("wide term")));
    WindowPreviewCard *card = cardFor(QStringLiteral("wide term"));
    movePointer(card->mapToGlobal(QPointF(card->cardRect().center())));
    TrafficLightButton *fullScreen = card->trafficLights().at(2);
    ASSERT_TRUE(QTest::qWaitFor([&] { return fullScreen->isVisible(); }, waitMs));
    const QPointF at = fullScreen->mapToGlobal(QPointF(fullScreen->rect().center()));
    movePointer(at);
    fake(XCB_BUTTON_PRESS, 1, at);
    fake(XCB_BUTTON_RELEASE, 1, at);
    const auto window = xcb_window_t(XfcePanelDesktop::windowNamed(QStringLiteral("wide term")).toUInt());
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return X11Clients::windowState(window).contains(QStringLiteral("_NET_WM_STATE_FULLSCREEN")); },
        waitMs));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !isMapped(xcb_window_t(bubble().winId())); }, waitMs));
}

// Beside the panel at the bottom, the bottom edge popup covered the top of the panel's buttons: it
// went by the screen, not by the work area the panel leaves (as the window manager publishes it).
TEST_F(DockBubbleX11Test, TheEdgePopupKeepsToTheWorkAreaAndATileFollowsThePointerAfterItsMenu)
{
    shared->desktop->addItemServices();
    shared->desktop->settings.set(Settings::enableModuleHotkeys, true);
    QRect work; // once the panel has reserved its room
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            xcb_ewmh_get_workarea_reply_t areas;
            xcb_ewmh_connection_t *ewmh = connection.ewmh();
            if (xcb_ewmh_get_workarea_reply(ewmh, xcb_ewmh_get_workarea(ewmh, connection.screenNumber()),
                                            &areas, nullptr)) {
                const xcb_ewmh_geometry_t &area = areas.workarea[0];
                work = QRect(area.x, area.y, area.width, area.height);
                xcb_ewmh_get_workarea_reply_wipe(&areas);
            }
            return work.bottom() < QGuiApplication::primaryScreen()->geometry().bottom() - 20;
        },
        waitMs));
    KeyPanel &panel = *controller->globalOverlayWindow();
    for (const QString edge : {"trailing", "leading", "top", "bottom"}) {
        SCOPED_TRACE(edge.toStdString());
        shared->desktop->settings.set(Settings::popupEdge, edge);
        ASSERT_TRUE(xdotool("key alt+c"));
        ASSERT_TRUE(QTest::qWaitFor([&] { return isMapped(xcb_window_t(panel.winId())); }, waitMs));
        const QRect frame = controller->edgePopup()->panelFrame();
        const QRect onScreen(controller->edgePopup()->mapToGlobal(frame.topLeft()), frame.size());
        EXPECT_TRUE(work.contains(onScreen));
        EXPECT_EQ(onScreen.bottom(), edge == "top" ? work.top() + 19 + frame.height()
                                                   : work.bottom() - (edge == "bottom" ? 20 : 10));
        ASSERT_TRUE(xdotool("key alt+c"));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !panel.isVisible(); }, waitMs));
    }

    // A shelf tile follows the pointer again once its menu closes: away from it, it lets go of its
    // hover; still on it (Show in File Manager chosen with the keys), it keeps it. The menu runs a
    // loop of its own inside this process, so the pointer and keys come from outside.
    QFile file(shared->desktop->folder.filePath("notes.txt"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("notes") == 5);
    file.close();
    shared->desktop->shelf->processFile(QUrl::fromLocalFile(file.fileName()));
    ASSERT_TRUE(xdotool("key alt+s"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return controller->edgePopup()->cards().size() == 1; }, waitMs));
    auto *tile = qobject_cast<EdgeShelfTile *>(controller->edgePopup()->cards().at(0));
    for (const QString keys :
         {"mousemove 700 300 sleep 0.3 mousemove 702 302 sleep 0.3 key Escape", "key Down Down Return"}) {
        movePointer(tile->mapToGlobal(tile->frameRect().center()));
        ASSERT_TRUE(QTest::qWaitFor([&] { return tile->isHovered(); }, waitMs));
        QProcess script;
        script.start("xdotool", QStringLiteral("click 3 sleep 0.5 %1").arg(keys).split(u' '));
        ASSERT_TRUE(QTest::qWaitFor([&] { return script.state() == QProcess::NotRunning; }, waitMs));
        QTest::qWait(300);
        EXPECT_EQ(tile->isHovered(), keys.startsWith("key")) << keys.toStdString();
    }
    ASSERT_TRUE(xdotool("key alt+s"));
}

// A click on the card of a window on the second desktop closed the bubble and left the first desktop
// shown, the keyboard where it was: the window manager refuses to activate a window out of sight.
TEST_F(DockBubbleX11Test, AClickOnTheCardOfAWindowOnTheSecondDesktopShowsThatDesktopWithItFocused)
{
    ASSERT_TRUE(ensureDesktops(connection, 4));
    ASSERT_TRUE(showDesktop(connection, 0));
    startTerminals({QStringLiteral("desk near"), QStringLiteral("desk far")});
    const auto far = xcb_window_t(XfcePanelDesktop::windowNamed(QStringLiteral("desk far")).toUInt());
    ASSERT_TRUE(moveToDesktop(connection, far, 1));
    ASSERT_TRUE(hover(QStringLiteral("desk near"), 2));
    ASSERT_TRUE(QTest::qWaitFor([&] { return cardFor(QStringLiteral("desk far")) != nullptr; }, waitMs));
    WindowPreviewCard *card = cardFor(QStringLiteral("desk far"));
    const QPointF at = card->mapToGlobal(QPointF(card->cardRect().center()));
    movePointer(at);
    QTest::qWait(200);
    fake(XCB_BUTTON_PRESS, 1, at);
    fake(XCB_BUTTON_RELEASE, 1, at);
    const auto reached = [&] {
        return currentDesktop(connection) == 1u && activeWindow(connection) == far;
    };
    EXPECT_TRUE(QTest::qWaitFor(reached, waitMs))
        << "desktop " << currentDesktop(connection).value_or(99) << ", active " << activeWindow(connection);
    QTest::qWait(300);
    EXPECT_TRUE(reached());
    ASSERT_TRUE(showDesktop(connection, 0));
}

// After an application was added to the App Blocker, its next hover still showed its old cards
// (the list cached at the hover before) until the scan took them away.
TEST_F(DockBubbleX11Test, AnApplicationBlockedSinceItsLastHoverShowsNoCard)
{
    startTerminals({QStringLiteral("blocked term")});
    ASSERT_TRUE(hover(QStringLiteral("blocked term")));
    const QString bundle = cardFor(QStringLiteral("blocked term"))->window().bundleIdentifier;
    ASSERT_FALSE(bundle.isEmpty());
    movePointer(QPointF(700, 300));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !anyPanelMapped(); }, waitMs));
    QTest::qWait(300); // past the throttle of requests, so the next hover scans
    shared->desktop->settings.set(Settings::ignoredApps, bundle);

    int cardsShown = 0;
    const QMetaObject::Connection counting = QObject::connect(
        controller->bubbleWindows(), &QAbstractItemModel::rowsInserted,
        [&](const QModelIndex &, int first, int last) { cardsShown += last - first + 1; });
    movePointer(QRectF(XfcePanelDesktop::iconGeometryOf(QStringLiteral("blocked term"))).center());
    bool mapped = false;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 2000) {
        mapped = mapped || isMapped(xcb_window_t(bubble().winId()));
        QTest::qWait(20);
    }
    QObject::disconnect(counting);
    EXPECT_EQ(cardsShown, 0);
    EXPECT_FALSE(mapped);
    shared->desktop->settings.set(Settings::ignoredApps, QString());
}

// A panel along the top was taken for a bottom Dock: the bubble showed at the bottom of the screen.
TEST_F(DockBubbleX11Test, BelowATopPanelTheBubbleHangsJustUnderTheHoveredButton)
{
    ASSERT_TRUE(shared->xfce.moveTo(XfcePanelDesktop::Edge::top));
    startTerminals({QStringLiteral("top term"), QStringLiteral("top term 2")});
    const QRect button = XfcePanelDesktop::iconGeometryOf(QStringLiteral("top term"));
    ASSERT_FALSE(button.isEmpty());
    ASSERT_LT(button.top(), 100) << "the panel is at the top";
    ASSERT_TRUE(hover(QStringLiteral("top term"), 2));
    const QRect frame = bubble().geometry();
    EXPECT_GE(frame.top(), button.bottom());
    EXPECT_LE(frame.top(), button.bottom() + 30);
    EXPECT_EQ(controller->contentView()->bubbleEdge(), BubbleEdge::top);
    // The arrow points up at the hovered button, also once the pointer has gone on to the button of
    // the other terminal, which is the same application's: it pointed at the first one still.
    const ContentView &view = *controller->contentView();
    const auto arrowOn = [&](const QRect &on) {
        const QPointF tip = QPointF(bubble().geometry().topLeft()) + view.arrowTipAt(view.arrowPosition());
        return tip.x() >= on.left() && tip.x() <= on.right() && tip.y() >= on.bottom();
    };
    EXPECT_TRUE(QTest::qWaitFor([&] { return arrowOn(button); }, waitMs));
    // Past the bubble's last placement for this hover (the scan's list places it once more).
    ASSERT_TRUE(QTest::qWaitFor([&] { return !engine->isFetchPending(); }, waitMs));
    QTest::qWait(300);
    const QRect second = XfcePanelDesktop::iconGeometryOf(QStringLiteral("top term 2"));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const QList<DockIcon> icons = monitor->cachedIcons();
            return std::any_of(icons.cbegin(), icons.cend(), [&](const DockIcon &icon) {
                return icon.frame.contains(QRectF(second).center());
            });
        },
        waitMs))
        << "the panel's buttons were not read again (the accessibility walk stalled)";
    movePointer(QRectF(second).center());
    EXPECT_TRUE(QTest::qWaitFor([&] { return arrowOn(second); }, waitMs));

    // A card dragged to the maximise zone under the bubble: the zones show over the bubble, and the
    // terminal fills the visible area.
    const QRectF visible = visibleArea();
    const QPointF maximise(visible.center().x(), visible.top() + 30);
    dragCard(QStringLiteral("top term 2"), maximise, [&] {
        EXPECT_TRUE(isMapped(xcb_window_t(controller->peekingWindow()->winId())));
        EXPECT_GT(stackingIndex(xcb_window_t(controller->peekingWindow()->winId())),
                  stackingIndex(xcb_window_t(bubble().winId())))
            << "the bubble covers the maximise zone";
    });
    const auto window = xcb_window_t(XfcePanelDesktop::windowNamed(QStringLiteral("top term 2")).toUInt());
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            const QRect snapped = X11Clients::frame(window);
            return std::abs(snapped.y() - visible.y()) <= 1 &&
                   std::abs(snapped.width() - visible.width()) <= 12;
        },
        waitMs));
}
