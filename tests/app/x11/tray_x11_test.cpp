#include <QAction>
#include <QGuiApplication>
#include <QMenu>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

#include <unistd.h>
#include <xcb/xcb.h>

#include "app/trayicon.h"
#include "core/settingskeys.h"
#include "core/settingsstore.h"
#include "platform/x11/x11connection.h"
#include "runtime/qtscheduler.h"
#include "support/helperprocess.h"
#include "support/screenshot.h"
#include "support/x11clients.h"
#include "support/x11focus.h"

using namespace qv;

namespace {

// A tray host of its own (trayer, from Debian) in the top right corner, away from where other
// tests put windows. The icon is looked for in the host's window tree, as the X server has it.
class TrayX11Test : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const QString trayer = QStandardPaths::findExecutable(QStringLiteral("trayer"));
        if (trayer.isEmpty())
            GTEST_SKIP() << "trayer is not installed (scripts/install-deps.sh installs it)";
        bindToTest(host);
        host.start(trayer, {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"),
                            QStringLiteral("right"), QStringLiteral("--widthtype"), QStringLiteral("pixel"),
                            QStringLiteral("--width"), QStringLiteral("120"), QStringLiteral("--heighttype"),
                            QStringLiteral("pixel"), QStringLiteral("--height"), QStringLiteral("28"),
                            QStringLiteral("--SetPartialStrut"), QStringLiteral("false")});
        ASSERT_TRUE(host.waitForStarted(5000));
        ASSERT_TRUE(QTest::qWaitFor([] { return QSystemTrayIcon::isSystemTrayAvailable(); }, 10000))
            << "the tray host never took the tray selection";
    }

    void TearDown() override
    {
        tray.reset();
        if (host.state() != QProcess::NotRunning) {
            host.terminate();
            if (!host.waitForFinished(3000)) {
                host.kill();
                host.waitForFinished(3000);
            }
        }
    }

    // Whether a window of this process sits inside a window of the tray host.
    bool embeddedInHost()
    {
        xcb_connection_t *c = connection.xcb();
        bool found = false;
        std::function<void(xcb_window_t, bool)> walk = [&](xcb_window_t window, bool insideHost) {
            const qint64 pid = pidOf(connection, window);
            if (insideHost && pid == ::getpid()) {
                found = true;
                return;
            }
            insideHost = insideHost || pid == host.processId();
            xcb_query_tree_reply_t *tree = xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr);
            if (!tree)
                return;
            const xcb_window_t *children = xcb_query_tree_children(tree);
            for (int i = 0; i < xcb_query_tree_children_length(tree) && !found; ++i)
                walk(children[i], insideHost);
            free(tree);
        };
        walk(connection.root(), false);
        return found;
    }

    X11Connection connection;
    QProcess host;
    SettingsStore settings;
    QtScheduler scheduler;
    std::unique_ptr<TrayIcon> tray;
};

} // namespace

TEST_F(TrayX11Test, TheIconIsEmbeddedInTheTrayAndLeavesItWhenHidden)
{
    EXPECT_FALSE(embeddedInHost());
    tray = std::make_unique<TrayIcon>(settings, scheduler, TrayIcon::Actions{});
    tray->setupStatusItem();
    EXPECT_TRUE(QTest::qWaitFor([this] { return embeddedInHost(); }, 10000));
    // The host's strip as the screen shows it, for people to look at.
    const QString folder = qEnvironmentVariable("QV_SCREENSHOT_DIR");
    if (!folder.isEmpty()) {
        QTest::qWait(300);
        QScreen *screen = QGuiApplication::primaryScreen();
        screen->grabWindow(0, screen->geometry().width() - 120, 0, 120, 28)
            .save(folder + QStringLiteral("/tray_icon_x11.png"));
    }

    settings.set(Settings::showMenuBarIcon, false);
    EXPECT_TRUE(QTest::qWaitFor([this] { return !embeddedInHost(); }, 10000));
    settings.set(Settings::showMenuBarIcon, true);
    EXPECT_TRUE(QTest::qWaitFor([this] { return embeddedInHost(); }, 10000));
}

TEST_F(TrayX11Test, TheMenuOpensWithItsEntriesInTheStoredLanguage)
{
    settings.set(Settings::appLanguage, QStringLiteral("Deutsch"));
    tray = std::make_unique<TrayIcon>(settings, scheduler, TrayIcon::Actions{});
    tray->setupStatusItem();
    // The icon's embedding activates its window, and a change of active window closes any open
    // popup: the menu opened before the embedding finished was closed again at once.
    ASSERT_TRUE(QTest::qWaitFor([this] { return embeddedInHost(); }, 10000));
    QMenu *menu = tray->statusMenu();
    ASSERT_NE(menu, nullptr);
    menu->popup(QPoint(1300, 40));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
    QStringList titles;
    for (const QAction *action : menu->actions())
        titles.append(action->isSeparator() ? QStringLiteral("---") : action->text());
    EXPECT_EQ(titles, (QStringList{QStringLiteral("Einstellungen …"),
                                   QStringLiteral("Alle Fenster anzeigen (Alt+Tab)"), QStringLiteral("---"),
                                   QStringLiteral("Quorvantis neu starten"), QStringLiteral("Beenden")}));
    saveScreenshot(*menu, QStringLiteral("tray_menu_x11"));
    menu->hide();
}

// The menu shows Ctrl+, and Ctrl+Q beside Preferences and Quit; typed while it was open, neither did
// anything. Each now does what its entry does, and the menu closes as after a click.
TEST_F(TrayX11Test, TheKeysTheMenuShowsWorkWhileItIsOpen)
{
    int quits = 0;
    int preferences = 0;
    tray = std::make_unique<TrayIcon>(
        settings, scheduler,
        TrayIcon::Actions{{}, [&quits] { ++quits; }, {}, [&preferences] { ++preferences; }});
    tray->setupStatusItem();
    ASSERT_TRUE(QTest::qWaitFor([this] { return embeddedInHost(); }, 10000));
    QMenu *menu = tray->statusMenu();
    ASSERT_NE(menu, nullptr);
    const auto typedIntoTheOpenMenu = [menu](const char *keys) {
        menu->popup(QPoint(1300, 40));
        if (!QTest::qWaitForWindowExposed(menu))
            return false;
        // The popup holds the keyboard once it shows; typed before, the keys go elsewhere.
        QTest::qWait(200);
        return xdotool(QStringLiteral("key ") + QLatin1String(keys));
    };
    ASSERT_TRUE(typedIntoTheOpenMenu("ctrl+comma"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return preferences == 1; }, 3000)) << "Ctrl+, did nothing";
    EXPECT_TRUE(QTest::qWaitFor([&] { return !menu->isVisible(); }, 3000)) << "the menu stayed open";
    EXPECT_EQ(quits, 0);
    ASSERT_TRUE(typedIntoTheOpenMenu("ctrl+q"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return quits == 1; }, 3000)) << "Ctrl+Q did nothing";
    EXPECT_EQ(preferences, 1);
    menu->hide();
}
