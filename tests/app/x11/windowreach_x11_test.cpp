#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>

#include "platform/geometry.h"
#include "platform/screens.h"
#include "support/overlaydesktop.h"
#include "support/x11clients.h"
#include "support/x11focus.h"
#include "ui/panel.h"
#include "views/superpanel/globalwindowcard.h"
#include "views/superpanel/superpaneloverlay.h"
#include "views/superpanel/windowgrid.h"

using namespace qv;

namespace {

// The Super Panel on the real desktop choosing windows the user cannot see from where they are: on
// another of openbox's desktops, or under the window that has the keyboard. What the window manager
// did is read back from the server.
class WindowReachX11Test : public ::testing::Test, protected OverlayDesktop
{
protected:
    WindowReachX11Test() { controller->startMouseCheckTimer(); }

    void SetUp() override
    {
        ASSERT_TRUE(connection.isValid());
        ASSERT_TRUE(ensureDesktops(connection, 4));
        ASSERT_TRUE(showDesktop(connection, 0));
    }
    void TearDown() override { (void)showDesktop(connection, 0); }

    xcb_window_t active() { return activeWindow(connection); }

    // An xterm titled `title` at `geometry`, given the keyboard by the window manager; its window,
    // none when it never showed.
    xcb_window_t startTerminal(const QString &title, const QString &geometry)
    {
        const qint64 pid = clients.start(QStringLiteral("xterm"), {QStringLiteral("-geometry"), geometry,
                                                                   QStringLiteral("-T"), title,
                                                                   QStringLiteral("-e"), QStringLiteral("sleep 600")});
        if (pid == 0)
            return XCB_WINDOW_NONE;
        const auto focused = [&] { return pidOf(connection, active()) == pid; };
        if (!QTest::qWaitFor(focused, 5000) &&
            (!xdotool(QStringLiteral("search --sync --onlyvisible --pid %1 --name . windowactivate --sync")
                          .arg(pid)) ||
             !QTest::qWaitFor(focused, 5000)))
            return XCB_WINDOW_NONE;
        return active();
    }

    bool panelShown()
    {
        KeyPanel &panel = *controller->globalOverlayWindow();
        return panel.isVisible() && panel.alpha() > 0.99 && active() == xcb_window_t(panel.winId());
    }
    bool panelGone() { return !controller->globalOverlayWindow()->isVisible(); }
    bool openPanel()
    {
        return xdotool(QStringLiteral("key alt+Tab")) && QTest::qWaitFor([&] { return panelShown(); }, 3000);
    }
    GlobalWindowCard *cardFor(xcb_window_t window)
    {
        for (GlobalWindowCard *card : controller->superPanel()->grid()->cards()) {
            if (card->window().id == qint64(window))
                return card;
        }
        return nullptr;
    }
    // Waits until the window's card shows with its picture in place (cards settle as they fill).
    GlobalWindowCard *shownCard(xcb_window_t window)
    {
        GlobalWindowCard *card = nullptr;
        if (!QTest::qWaitFor([&] { return (card = cardFor(window)) != nullptr && card->isVisible(); }, 5000))
            return nullptr;
        QTest::qWait(500);
        return cardFor(window);
    }
    void fake(uint8_t type, uint8_t detail, const QPointF &at = {}) { fakeInput(connection, type, detail, at); }
    void click(QWidget *widget)
    {
        const QPointF at = widget->mapToGlobal(QPointF(widget->rect().center()));
        fake(XCB_MOTION_NOTIFY, 0, at);
        QTest::qWait(80);
        fake(XCB_BUTTON_PRESS, 1, at);
        fake(XCB_BUTTON_RELEASE, 1, at);
    }
    // Whether the window manager shows `desktop` and has given `window` the keyboard.
    bool reached(xcb_window_t window, uint32_t desktop)
    {
        return currentDesktop(connection) == desktop && active() == window;
    }

    X11Clients clients;
};

} // namespace

// A window moved to the second desktop showed its card, but Return or a click on it closed the
// panel, left the first desktop shown and gave the keyboard back to the old window: the window
// manager refuses to activate a window the user cannot see.
TEST_F(WindowReachX11Test, AWindowOnTheSecondDesktopIsReachedByReturnAndByAClickOnItsCard)
{
    const xcb_window_t away = startTerminal(QStringLiteral("reach-away"), QStringLiteral("60x12+100+100"));
    ASSERT_NE(away, XCB_WINDOW_NONE);
    ASSERT_TRUE(moveToDesktop(connection, away, 1));
    const xcb_window_t here = startTerminal(QStringLiteral("reach-here"), QStringLiteral("60x12+500+300"));
    ASSERT_NE(here, XCB_WINDOW_NONE);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !isViewable(connection, away); }, 3000));

    for (const bool byClick : {false, true}) {
        SCOPED_TRACE(byClick ? "a click on its card" : "Return");
        ASSERT_TRUE(openPanel());
        if (byClick) {
            GlobalWindowCard *card = shownCard(away);
            ASSERT_NE(card, nullptr);
            click(card);
        } else {
            ASSERT_TRUE(xdotool(QStringLiteral("type --delay 30 away")));
            ASSERT_TRUE(QTest::qWaitFor(
                [&] { return controller->superPanel()->windowTitles() == QStringList{"reach-away"}; }, 3000));
            ASSERT_TRUE(xdotool(QStringLiteral("key Return")));
        }
        ASSERT_TRUE(QTest::qWaitFor([&] { return panelGone(); }, 3000));
        EXPECT_TRUE(QTest::qWaitFor([&] { return reached(away, 1); }, 3000))
            << "desktop " << currentDesktop(connection).value_or(99) << ", active " << active();
        QTest::qWait(300); // nothing hands the keyboard back afterwards
        EXPECT_TRUE(reached(away, 1));
        EXPECT_TRUE(isViewable(connection, away));

        // Back to the first desktop and its terminal for the next round.
        ASSERT_TRUE(showDesktop(connection, 0));
        ASSERT_TRUE(xdotool(QStringLiteral("windowactivate --sync %1").arg(here)));
        ASSERT_TRUE(QTest::qWaitFor([&] { return active() == here; }, 3000));
    }
}

// A card dragged to a snap zone snapped its window, but the window that had the keyboard kept it and
// stayed in front: the panel, hiding after the drop, handed the keyboard back to it.
TEST_F(WindowReachX11Test, ACardDraggedToASnapZoneLeavesItsWindowActiveAndOnTop)
{
    const xcb_window_t snapped = startTerminal(QStringLiteral("reach-snapped"), QStringLiteral("60x12+600+200"));
    ASSERT_NE(snapped, XCB_WINDOW_NONE);
    const xcb_window_t front = startTerminal(QStringLiteral("reach-front"), QStringLiteral("80x24+560+160"));
    ASSERT_NE(front, XCB_WINDOW_NONE);
    ASSERT_GT(stackingIndex(connection, front), stackingIndex(connection, snapped));

    ASSERT_TRUE(openPanel());
    GlobalWindowCard *card = shownCard(snapped);
    ASSERT_NE(card, nullptr);
    const QPointF start = card->mapToGlobal(QPointF(card->rect().center()));
    ScreenService &screens = *x11.platform().screens;
    const QRectF screen = flipRect(screens.mainScreen()->frame, screens.flipHeight());
    const QPointF left(screen.left() + 4, screen.center().y());
    fake(XCB_MOTION_NOTIFY, 0, start);
    QTest::qWait(100);
    fake(XCB_BUTTON_PRESS, 1, start);
    QTest::qWait(50);
    for (int i = 1; i <= 25; ++i) {
        fake(XCB_MOTION_NOTIFY, 0, start + (left - start) * (i / 25.0));
        QTest::qWait(20);
    }
    QTest::qWait(200);
    ASSERT_TRUE(engine->isDragging());
    fake(XCB_BUTTON_RELEASE, 1, left);

    ASSERT_TRUE(QTest::qWaitFor([&] { return panelGone(); }, 3000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return X11Clients::frame(snapped).left() <= 1; }, 5000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return active() == snapped; }, 3000)) << "active " << active();
    QTest::qWait(500); // past the fade and the placement's repeat
    EXPECT_EQ(active(), snapped);
    EXPECT_GT(stackingIndex(connection, snapped), stackingIndex(connection, front));
}
