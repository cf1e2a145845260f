#include <QAction>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>

#include "app/trayicon.h"
#include "clipboard/clipboardmanager.h"
#include "core/localization.h"
#include "core/settingskeys.h"
#include "core/settingsstore.h"
#include "platform/sim/simdesktop.h"
#include "platform/sim/simlocaleservice.h"
#include "runtime/manualscheduler.h"
#include "runtime/workqueue.h"
#include "shelf/fileshelfmanager.h"
#include "support/recordingeventlog.h"
#include "support/screenshot.h"

using namespace qv;

namespace {

QStringList titles(const QMenu &menu)
{
    QStringList result;
    for (const QAction *action : menu.actions())
        result.append(action->isSeparator() ? QStringLiteral("---") : action->text());
    return result;
}

QAction *entry(const QMenu &menu, const char *name)
{
    for (QAction *action : menu.actions()) {
        if (action->objectName() == QLatin1String(name))
            return action;
    }
    return nullptr;
}

class TrayIconTest : public ::testing::Test
{
protected:
    TrayIconTest()
    {
        // The account prefers German: the menu must not follow it, only a stored choice.
        locale.setPreferredLanguages({QStringLiteral("de-DE")});
        Localization::setLocaleService(&locale);
    }
    ~TrayIconTest() override { Localization::setLocaleService(nullptr); }

    std::unique_ptr<TrayIcon> makeTray()
    {
        auto tray = std::make_unique<TrayIcon>(
            settings, scheduler,
            TrayIcon::Actions{[this] { ++restarts; }, [this] { ++quits; }, [this] { ++showAlls; },
                              [this] { ++preferences; }});
        tray->setupStatusItem();
        return tray;
    }

    SimLocaleService locale;
    SettingsStore settings;
    ManualScheduler scheduler;
    int restarts = 0;
    int quits = 0;
    int showAlls = 0;
    int preferences = 0;
};

struct MenuLanguageRow
{
    const char *stored; // null: nothing stored
    QStringList expected;
};

class TrayMenuLanguage : public TrayIconTest, public ::testing::WithParamInterface<MenuLanguageRow>
{
};

const QStringList english{QStringLiteral("Preferences..."), QStringLiteral("Show All Windows (Alt+Tab)"),
                          QStringLiteral("---"), QStringLiteral("Restart Quorvantis"),
                          QStringLiteral("Quit")};
const QStringList german{QStringLiteral("Einstellungen …"), QStringLiteral("Alle Fenster anzeigen (Alt+Tab)"),
                         QStringLiteral("---"), QStringLiteral("Quorvantis neu starten"),
                         QStringLiteral("Beenden")};

} // namespace

TEST_P(TrayMenuLanguage, TitlesFollowTheStoredLanguageOnly)
{
    if (GetParam().stored)
        settings.set(Settings::appLanguage, QString::fromUtf8(GetParam().stored));
    auto tray = makeTray();
    ASSERT_NE(tray->statusMenu(), nullptr);
    EXPECT_EQ(titles(*tray->statusMenu()), GetParam().expected);
    EXPECT_EQ(titles(*tray->buildDockMenu()), QStringList{GetParam().expected.first()});
}

INSTANTIATE_TEST_SUITE_P(Rows, TrayMenuLanguage,
                         ::testing::Values(MenuLanguageRow{"Deutsch", german},
                                           MenuLanguageRow{nullptr, english},
                                           MenuLanguageRow{"Klingon", english},
                                           MenuLanguageRow{"System Default", german}));

TEST_F(TrayIconTest, MenuEntriesAndTheirActions)
{
    auto tray = makeTray();
    QMenu &menu = *tray->statusMenu();
    entry(menu, "menu_preferences")->trigger();
    tray->buildDockMenu()->actions().first()->trigger();
    EXPECT_EQ(preferences, 2);
    EXPECT_EQ(entry(menu, "menu_quit")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    entry(menu, "menu_quit")->trigger();
    EXPECT_EQ(quits, 1);
    entry(menu, "menu_show_all_windows")->trigger();
    EXPECT_EQ(showAlls, 1);
    saveScreenshot(menu, QStringLiteral("tray_menu_en"));
}

TEST_F(TrayIconTest, OpeningTheMenuRefillsItInTheCurrentLanguageAndKeepsItWorking)
{
    auto tray = makeTray();
    QMenu *menu = tray->statusMenu();
    settings.set(Settings::appLanguage, QStringLiteral("Deutsch"));
    EXPECT_EQ(titles(*menu).first(), english.first()); // refilled only when it opens
    emit menu->aboutToShow();
    emit menu->aboutToShow();
    EXPECT_EQ(tray->statusMenu(), menu);
    EXPECT_EQ(titles(*menu), german);
    settings.set(Settings::customFlags, int(keyControlFlag | keyOptionFlag)); // named as it is in force
    emit menu->aboutToShow();
    EXPECT_EQ(titles(*menu).at(1), "Alle Fenster anzeigen (Ctrl+Alt+Tab)");
    entry(*menu, "menu_restart")->trigger();
    EXPECT_EQ(restarts, 1);
    saveScreenshot(*menu, QStringLiteral("tray_menu_de"));
}

TEST_F(TrayIconTest, FollowsShowMenuBarIconOnEverySettingsChange)
{
    auto tray = makeTray();
    ASSERT_NE(tray->statusItem(), nullptr);
    EXPECT_EQ(tray->statusItem()->toolTip(), QStringLiteral("Quorvantis"));
    EXPECT_EQ(tray->statusItem()->contextMenu(), tray->statusMenu());
    const QImage icon = tray->statusItem()->icon().pixmap(22).toImage();
    for (const QPoint corner : {QPoint(0, 0), QPoint(icon.width() - 1, icon.height() - 1)})
        EXPECT_EQ(qAlpha(icon.pixel(corner)), 0) << "the symbol stands on the panel without a box";

    settings.set(Settings::showMenuBarIcon, false);
    EXPECT_EQ(tray->statusItem(), nullptr);
    EXPECT_EQ(tray->statusMenu(), nullptr);
    settings.set(Settings::appLanguage, QStringLiteral("Deutsch")); // any other key keeps it hidden
    EXPECT_EQ(tray->statusItem(), nullptr);

    settings.set(Settings::showMenuBarIcon, true);
    ASSERT_NE(tray->statusItem(), nullptr);
    EXPECT_TRUE(tray->statusItem()->isVisible());
    EXPECT_EQ(titles(*tray->statusMenu()), german); // a new menu, built now
}

TEST_F(TrayIconTest, HiddenAtStartUpWhenTheSettingIsOff)
{
    settings.set(Settings::showMenuBarIcon, false);
    auto tray = makeTray();
    EXPECT_EQ(tray->statusItem(), nullptr);
    tray->flashStatusIcon(QString::fromLatin1(TrayIcon::captureSymbol));
    scheduler.advance(0.2);
    EXPECT_FALSE(tray->isResetPending());
}

TEST_F(TrayIconTest, TwoCapturesHalfASecondApartKeepTheCheckmarkUntilAfterTheSecond)
{
    auto tray = makeTray();
    const QString check = QString::fromLatin1(TrayIcon::captureSymbol);
    const QString resting = QString::fromLatin1(TrayIcon::defaultIconName);

    tray->flashStatusIcon(check);
    scheduler.advance(0.1);
    EXPECT_EQ(tray->shownSymbol(), resting);
    EXPECT_LT(tray->iconOpacity(), 1.0);
    scheduler.advance(0.1); // 0.2: swapped, fading back in
    EXPECT_EQ(tray->shownSymbol(), check);
    scheduler.advance(0.3); // 0.5: the second capture
    EXPECT_DOUBLE_EQ(tray->iconOpacity(), 1.0);
    tray->flashStatusIcon(check);

    scheduler.advance(0.65); // 1.15: the first flash would have brought the resting icon back by now
    EXPECT_EQ(tray->shownSymbol(), check);
    scheduler.advance(0.5); // 1.65 = 1.15 after the second
    EXPECT_EQ(tray->shownSymbol(), resting);
    scheduler.advance(0.2);
    EXPECT_DOUBLE_EQ(tray->iconOpacity(), 1.0);
    EXPECT_FALSE(tray->isResetPending());
}

// A flash dims the icon to 0.3 before its symbol changes: a blink the user notices, not an icon that
// goes out of sight in the panel.
TEST_F(TrayIconTest, AFlashDimsTheIconToAThirdBeforeTheSymbolChanges)
{
    auto tray = makeTray();
    tray->flashStatusIcon(QString::fromLatin1(TrayIcon::captureSymbol));
    double lowest = tray->iconOpacity();
    for (int tick = 0; tick < 50; ++tick) {
        scheduler.advance(0.01);
        lowest = std::min(lowest, tray->iconOpacity());
    }
    EXPECT_NEAR(lowest, 0.3, 1e-9) << "a capture's flash dimmed the tray icon to " << lowest
                                   << ", not to 0.3";
    EXPECT_DOUBLE_EQ(tray->iconOpacity(), 1.0);
}

TEST_F(TrayIconTest, HidingDuringAFlashEndsIt)
{
    auto tray = makeTray();
    tray->flashStatusIcon(QString::fromLatin1(TrayIcon::fileReceivedSymbol));
    scheduler.advance(0.2);
    EXPECT_EQ(tray->shownSymbol(), QString::fromLatin1(TrayIcon::fileReceivedSymbol));
    settings.set(Settings::showMenuBarIcon, false);
    EXPECT_FALSE(tray->isResetPending());
    scheduler.advance(2);
    settings.set(Settings::showMenuBarIcon, true);
    EXPECT_EQ(tray->shownSymbol(), QString::fromLatin1(TrayIcon::defaultIconName));
    EXPECT_DOUBLE_EQ(tray->iconOpacity(), 1.0);
}

TEST_F(TrayIconTest, ACaptureAndAReceivedFileFlashTheirOwnSymbols)
{
    SimDesktop sim;
    SchedulerQueueFactory queues{scheduler};
    RecordingEventLog events;
    QTemporaryDir shelfRoot;
    ClipboardManager clipboard(*sim.platform().pasteboard, *sim.platform().workspace, scheduler, queues,
                               settings, events);
    FileShelfManager shelf(sim.platform(), scheduler, queues, events,
                           shelfRoot.filePath(QStringLiteral("shelf")));
    auto tray = makeTray();
    tray->observeCaptures(clipboard, shelf);

    emit clipboard.didCapture();
    scheduler.advance(0.2);
    EXPECT_EQ(tray->shownSymbol(), QString::fromLatin1(TrayIcon::captureSymbol));
    emit shelf.didReceiveFile();
    scheduler.advance(0.2);
    EXPECT_EQ(tray->shownSymbol(), QString::fromLatin1(TrayIcon::fileReceivedSymbol));
}
