#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>

#include "core/settingskeys.h"
#include "support/overlaydesktop.h"
#include "support/screenshot.h"
#include "support/x11clients.h"
#include "support/x11focus.h"
#include "ui/panel.h"
#include "views/superpanel/appsidebaritem.h"
#include "views/superpanel/globalwindowcard.h"
#include "views/superpanel/superpaneloverlay.h"
#include "views/superpanel/superpanelstate.h"
#include "views/superpanel/windowgrid.h"
#include "windows/snapshotcache.h"

using namespace qv;

namespace {

bool xdotool(const QString &line)
{
    return QProcess::execute(QStringLiteral("xdotool"), line.split(QLatin1Char(' '))) == 0;
}

const QStringList fiveTitles = {"sp-alpha", "sp-bravo", "sp-charlie", "sp-delta", "sp-echo"};

// The whole overlay on the real desktop: the hotkey grabbed on the display, the window list read
// from the window manager, the Super Panel as a real window. Keys are sent with XTEST (xdotool).
class SuperPanelX11Test : public ::testing::Test, protected OverlayDesktop
{
protected:
    SuperPanelX11Test()
    {
        controller->startMouseCheckTimer();
        controller->setEventLog(&events);
    }

    ~SuperPanelX11Test() override
    {
        if (xterm) {
            xterm->kill();
            xterm->waitForFinished(5000);
        }
    }

    xcb_window_t activeWindow() { return qv::activeWindow(connection); }
    qint64 pidOf(xcb_window_t window) { return qv::pidOf(connection, window); }

    void startFocusedXterm()
    {
        xterm = std::make_unique<QProcess>();
        xterm->start("xterm", {"-geometry", "80x24+40+40", "-title", "superpanel-xterm", "-e", "sleep 600"});
        ASSERT_TRUE(xterm->waitForStarted(5000));
        ASSERT_TRUE(QTest::qWaitFor([&] { return pidOf(activeWindow()) == xterm->processId(); }, 10000));
        QTest::qWait(300); // a window of an earlier program may still be going away
        ASSERT_EQ(pidOf(activeWindow()), xterm->processId());
    }

    bool panelShown()
    {
        KeyPanel &panel = *controller->globalOverlayWindow();
        return panel.isVisible() && panel.alpha() > 0.99 && controller->isGlobalSwitcherVisible();
    }
    bool panelHasKeyboard()
    {
        return activeWindow() == xcb_window_t(controller->globalOverlayWindow()->winId());
    }

    // Five xterms with the titles above, started one after the other, each mapped and given the
    // keyboard by the window manager before the next; their process ids, none when one never shows.
    QList<qint64> startFiveClients()
    {
        QList<qint64> pids;
        for (int i = 0; i < fiveTitles.size(); ++i) {
            const QString geometry = QStringLiteral("60x12+%1+%2").arg(60 + 90 * i).arg(60 + 70 * i);
            const qint64 pid =
                clients.start(QStringLiteral("xterm"),
                              {QStringLiteral("-geometry"), geometry, QStringLiteral("-T"), fiveTitles.at(i),
                               QStringLiteral("-e"), QStringLiteral("sleep 600")});
            if (pid == 0 || !QTest::qWaitFor([&] { return pidOf(activeWindow()) == pid; }, 10000))
                return {};
            pids.append(pid);
        }
        return pids;
    }
    QStringList shownTitles()
    {
        QStringList titles = controller->superPanel()->windowTitles();
        titles.sort();
        return titles;
    }
    // Every card shows a capture of its window, not the icon that stands in until one is taken.
    bool cardsShowCaptures()
    {
        const QList<GlobalWindowCard *> cards = controller->superPanel()->grid()->cards();
        for (const GlobalWindowCard *card : cards) {
            const AppWindowModel &window = card->window();
            const QSize wanted = snapshotCaptureSize(window.rect.size());
            if (isSnapshotBlank(window.image) || std::abs(window.image.width() - wanted.width()) > 1)
                return false;
        }
        return !cards.isEmpty();
    }

    std::unique_ptr<QProcess> xterm;
    X11Clients clients;
};

} // namespace

TEST_F(SuperPanelX11Test, AltTabOpensThePanelWithTheKeyboardAndASecondPressHandsItBack)
{
    ASSERT_TRUE(connection.isValid());
    ASSERT_NO_FATAL_FAILURE(startFocusedXterm());
    const xcb_window_t terminal = activeWindow();

    ASSERT_TRUE(xdotool(QStringLiteral("key alt+Tab")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return panelShown(); }, 3000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return panelHasKeyboard(); }, 3000));
    EXPECT_EQ(controller->superPanel()->routeName(), "all");
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return controller->superPanel()->windowTitles().contains(QStringLiteral("superpanel-xterm")); },
        3000))
        << controller->superPanel()->windowTitles().join(", ").toStdString();
    EXPECT_TRUE(monitor->isInteractionSuspended());
    QTest::qWait(100);
    saveScreenshot(*controller->globalOverlayWindow(), "superpanel_x11_all");

    ASSERT_TRUE(xdotool(QStringLiteral("key alt+Tab")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !controller->globalOverlayWindow()->isVisible(); }, 3000));
    EXPECT_FALSE(controller->isGlobalSwitcherVisible());
    EXPECT_FALSE(monitor->isInteractionSuspended());
    EXPECT_TRUE(QTest::qWaitFor([&] { return activeWindow() == terminal; }, 3000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return engine->windows().isEmpty(); }, 3000))
        << "closing from \"all\" clears the list";
}

// The panel used to hand the keyboard to the application that had it, which meant its topmost
// window: with B above A and the keyboard in A, opening and closing the panel left it in B.
TEST_F(SuperPanelX11Test, ClosingHandsTheKeyboardBackToTheWindowNotToItsApplicationsTopmostOne)
{
    ASSERT_TRUE(connection.isValid());
    QProcess twoWindows;
    twoWindows.start(QStringLiteral(QV_TWOWINDOWS), {"qv-window-a", "qv-window-b"});
    ASSERT_TRUE(twoWindows.waitForStarted(5000));
    ASSERT_TRUE(xdotool(QStringLiteral("search --sync --name qv-window-a windowactivate --sync")));
    const xcb_window_t first = activeWindow();
    ASSERT_EQ(pidOf(first), twoWindows.processId());
    // B goes above A without taking the keyboard.
    ASSERT_TRUE(xdotool(QStringLiteral("search --sync --name qv-window-b windowraise")));
    QTest::qWait(200);
    ASSERT_EQ(activeWindow(), first);

    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(xdotool(QStringLiteral("key alt+Tab")));
        ASSERT_TRUE(QTest::qWaitFor([&] { return panelShown(); }, 3000));
        EXPECT_TRUE(QTest::qWaitFor([&] { return panelHasKeyboard(); }, 3000));
        ASSERT_TRUE(xdotool(QStringLiteral("key alt+Tab")));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !controller->globalOverlayWindow()->isVisible(); }, 3000));
        EXPECT_TRUE(QTest::qWaitFor([&] { return activeWindow() == first; }, 3000)) << "round " << round;
        QTest::qWait(200);
        EXPECT_EQ(activeWindow(), first) << "round " << round;
    }
    twoWindows.kill();
    twoWindows.waitForFinished(5000);
}

TEST_F(SuperPanelX11Test, EscapeTypedIntoThePanelClosesIt)
{
    ASSERT_TRUE(connection.isValid());
    ASSERT_NO_FATAL_FAILURE(startFocusedXterm());
    const xcb_window_t terminal = activeWindow();
    settings.set(Settings::enableModuleHotkeys, true);
    QTest::qWait(200); // the module hotkeys are grabbed

    ASSERT_TRUE(xdotool(QStringLiteral("key alt+s")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return panelShown(); }, 3000));
    EXPECT_EQ(controller->superPanel()->routeName(), "shelf");
    ASSERT_TRUE(QTest::qWaitFor([&] { return panelHasKeyboard(); }, 3000));

    ASSERT_TRUE(xdotool(QStringLiteral("key alt+c"))); // switches in place
    ASSERT_TRUE(QTest::qWaitFor([&] { return controller->superPanel()->routeName() == "clipboard"; }, 3000));
    EXPECT_TRUE(panelShown());
    EXPECT_EQ(clipboardChecks, 1);

    ASSERT_TRUE(xdotool(QStringLiteral("key Escape")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !controller->globalOverlayWindow()->isVisible(); }, 3000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return activeWindow() == terminal; }, 3000));
}

TEST_F(SuperPanelX11Test, AltTabShowsFiveClientsTypingFindsOneAndReturnFocusesIt)
{
    ASSERT_TRUE(connection.isValid());
    const QList<qint64> pids = startFiveClients();
    ASSERT_EQ(pids.size(), 5);

    ASSERT_TRUE(xdotool(QStringLiteral("key alt+Tab")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return panelShown() && panelHasKeyboard(); }, 3000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return shownTitles() == fiveTitles; }, 3000))
        << shownTitles().join(", ").toStdString();
    EXPECT_TRUE(QTest::qWaitFor([&] { return cardsShowCaptures(); }, 5000)) << "real contents, not icons";
    QTest::qWait(100);
    saveScreenshot(*controller->globalOverlayWindow(), "superpanel_x11_five_clients");

    // Typed into the search field, which has the keyboard from the start.
    ASSERT_TRUE(xdotool(QStringLiteral("type --delay 30 char")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return shownTitles() == QStringList{"sp-charlie"}; }, 3000))
        << shownTitles().join(", ").toStdString();
    saveScreenshot(*controller->globalOverlayWindow(), "superpanel_x11_search");

    ASSERT_TRUE(xdotool(QStringLiteral("key Return")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !controller->globalOverlayWindow()->isVisible(); }, 3000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return pidOf(activeWindow()) == pids.at(2); }, 3000))
        << "_NET_ACTIVE_WINDOW names the chosen window";
    EXPECT_EQ(events.details("overlay_hide").size(), 1);
}

// A client killed while the panel showed stayed listed until the panel was opened again.
TEST_F(SuperPanelX11Test, AClientKilledWhileThePanelShowsLeavesTheGrid)
{
    ASSERT_TRUE(connection.isValid());
    const QList<qint64> pids = startFiveClients();
    ASSERT_EQ(pids.size(), 5);
    ASSERT_TRUE(xdotool(QStringLiteral("key alt+Tab")));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return panelShown() && shownTitles() == fiveTitles &&
                   controller->superPanel()->grid()->cards().size() == 5;
        },
        3000));
    GlobalWindowCard *kept = controller->superPanel()->grid()->cards().at(0);
    const qint64 keptId = kept->window().id;

    QElapsedTimer clock;
    clock.start();
    clients.kill(pids.at(1));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !shownTitles().contains("sp-bravo"); }, 3000));
    RecordProperty("leftTheGridAfterMs", int(clock.elapsed()));
    EXPECT_EQ(shownTitles().size(), 4);
    EXPECT_TRUE(panelShown());
    EXPECT_EQ(controller->superPanel()->grid()->cardFor(keptId), kept) << "the other cards stay as they are";

    // And one that opens appears (the window manager hands it the keyboard).
    clients.start(QStringLiteral("xterm"), {QStringLiteral("-T"), QStringLiteral("sp-foxtrot"),
                                            QStringLiteral("-e"), QStringLiteral("sleep 600")});
    EXPECT_TRUE(QTest::qWaitFor([&] { return shownTitles().contains("sp-foxtrot"); }, 5000));
    EXPECT_EQ(controller->superPanel()->grid()->cardFor(keptId), kept);
    controller->superPanelState()->dismiss();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !controller->globalOverlayWindow()->isVisible(); }, 3000));
}

// The tray's entry showed the route's raw name and a left-over list (3 of 5 windows, then none).
TEST_F(SuperPanelX11Test, ShowAllWindowsShowsTheSameCardsAsAltTabAndClosesAnOpenPanel)
{
    ASSERT_TRUE(connection.isValid());
    const QList<qint64> pids = startFiveClients();
    ASSERT_EQ(pids.size(), 5);
    ASSERT_TRUE(xdotool(QStringLiteral("key alt+Tab")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return panelShown() && shownTitles() == fiveTitles; }, 3000));
    ASSERT_TRUE(xdotool(QStringLiteral("key Escape")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !controller->globalOverlayWindow()->isVisible(); }, 3000));

    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        controller->showAllWindows();
        ASSERT_TRUE(QTest::qWaitFor([&] { return panelShown(); }, 3000));
        EXPECT_EQ(controller->superPanel()->routeName(), "all");
        EXPECT_TRUE(QTest::qWaitFor([&] { return shownTitles() == fiveTitles; }, 3000))
            << shownTitles().join(", ").toStdString();
        controller->showAllWindows();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !controller->globalOverlayWindow()->isVisible(); }, 3000));
    }
}

// The list stopped at 40 windows: with 44 xterms above an xclock, searching "clock" said "No windows
// found" and the sidebar had no entry for it.
TEST_F(SuperPanelX11Test, FortyFiveWindowsAreAllListedAndTheLowestIsFoundBySearchAndInTheSidebar)
{
    ASSERT_TRUE(connection.isValid());
    const qint64 clock = clients.start(QStringLiteral("xclock"),
                                       {QStringLiteral("-geometry"), QStringLiteral("160x160+900+100")});
    auto listed = [] {
        return X11Clients::output("xprop", {"-root", "_NET_CLIENT_LIST_STACKING"})
            .count(QStringLiteral("0x"));
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return listed() == 1; }, 10000));
    QStringList expected{QStringLiteral("xclock")};
    for (int i = 1; i <= 44; ++i) {
        const QString title = QStringLiteral("pw-%1").arg(i);
        expected.append(title);
        ASSERT_NE(
            clients.start(QStringLiteral("xterm"),
                          {QStringLiteral("-geometry"),
                           QStringLiteral("40x6+%1+%2").arg(20 * (i % 20)).arg(15 * i), QStringLiteral("-T"),
                           title, QStringLiteral("-e"), QStringLiteral("sleep 600")}),
            0);
    }
    expected.sort();
    // Every xterm mapped and stacked above the clock.
    ASSERT_TRUE(QTest::qWaitFor([&] { return listed() == 45; }, 30000));

    ASSERT_TRUE(xdotool(QStringLiteral("key alt+Tab")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return panelShown() && panelHasKeyboard(); }, 3000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return shownTitles() == expected; }, 5000))
        << shownTitles().size() << ": " << shownTitles().join(", ").toStdString();
    QString clockApp;
    for (const AppWindowModel &window : engine->windows()) {
        if (window.ownerPID == clock)
            clockApp = window.appName;
    }
    ASSERT_FALSE(clockApp.isEmpty());
    QStringList sidebar;
    for (const AppSidebarItem *item : controller->superPanel()->sidebarItems())
        sidebar.append(item->name());
    EXPECT_TRUE(sidebar.contains(clockApp)) << sidebar.join(", ").toStdString();

    ASSERT_TRUE(xdotool(QStringLiteral("type --delay 30 clock")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return shownTitles() == QStringList{"xclock"}; }, 3000))
        << shownTitles().join(", ").toStdString();
    QTest::qWait(100);
    saveScreenshot(*controller->globalOverlayWindow(), "superpanel_x11_45_windows_search");
    ASSERT_TRUE(xdotool(QStringLiteral("key Return")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !controller->globalOverlayWindow()->isVisible(); }, 3000));
}

// After a window was resized the panel went on showing the picture taken at the old size.
TEST_F(SuperPanelX11Test, AWindowResizedSinceItsPictureGetsAFreshOneWhenThePanelShowsAgain)
{
    ASSERT_TRUE(connection.isValid());
    ASSERT_NO_FATAL_FAILURE(startFocusedXterm());
    const xcb_window_t terminal = activeWindow();
    auto card = [&] { return controller->superPanel()->grid()->cardFor(terminal); };
    // The card's picture was captured at the window's present size.
    auto pictureFitsWindow = [&] {
        const GlobalWindowCard *shown = card();
        if (!shown || isSnapshotBlank(shown->window().image))
            return false;
        // Scaled to fit with the window's aspect kept: a pixel of rounding either way.
        const QSize wanted = snapshotCaptureSize(X11Clients::frame(terminal).size());
        const QSize image = shown->window().image.size();
        return std::abs(image.width() - wanted.width()) <= 1 &&
               std::abs(image.height() - wanted.height()) <= 1;
    };

    ASSERT_TRUE(xdotool(QStringLiteral("key alt+Tab")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return panelShown() && pictureFitsWindow(); }, 5000))
        << (card() ? card()->window().image.width() : -1) << " for "
        << snapshotCaptureSize(X11Clients::frame(terminal).size()).width();
    const QSize before = card()->window().image.size();
    ASSERT_TRUE(xdotool(QStringLiteral("key Escape")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !controller->globalOverlayWindow()->isVisible(); }, 3000));

    const QRect frame = X11Clients::frame(terminal);
    ASSERT_TRUE(xdotool(QStringLiteral("windowsize %1 900 700").arg(terminal)));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return X11Clients::frame(terminal).height() > frame.height() + 100; }, 3000));

    ASSERT_TRUE(xdotool(QStringLiteral("key alt+Tab")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return panelShown() && card(); }, 3000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return pictureFitsWindow(); }, 5000))
        << "shows " << card()->window().image.width() << "x" << card()->window().image.height()
        << ", taken before at " << before.width() << "x" << before.height();
    QTest::qWait(100);
    saveScreenshot(*controller->globalOverlayWindow(), "superpanel_x11_resized_window");
    ASSERT_TRUE(xdotool(QStringLiteral("key Escape")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !controller->globalOverlayWindow()->isVisible(); }, 3000));
}
