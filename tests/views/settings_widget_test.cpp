#include <QAbstractButton>
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTimer>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "core/color.h"
#include "core/diagnostics/diagnosticsmanager.h"
#include "core/localization.h"
#include "core/settingskeys.h"
#include "core/settingsstore.h"
#include "dock/dockmonitor.h"
#include "platform/globalinput.h"
#include "platform/sim/simdesktop.h"
#include "runtime/manualscheduler.h"
#include "runtime/workqueue.h"
#include "support/backdrop.h"
#include "support/recordingeventlog.h"
#include "support/screenshot.h"
#include "support/textfit.h"
#include "ui/interfacelanguage.h"
#include "ui/revealbox.h"
#include "ui/theme.h"
#include "views/onboarding/onboardingview.h"
#include "views/onboarding/slidebutton.h"
#include "views/settings/aboutsection.h"
#include "views/settings/appblockersection.h"
#include "views/settings/appearancesettingssection.h"
#include "views/settings/contactsection.h"
#include "views/settings/diagnosticssettingssection.h"
#include "views/settings/generalsettingssection.h"
#include "views/settings/glasstoggle.h"
#include "views/settings/keydownmonitor.h"
#include "views/settings/permissionssection.h"
#include "views/settings/settingswindowmanager.h"
#include "views/settings/shortcutssettingssection.h"
#include "views/settings/teamorbitview.h"

using namespace qv;
using Recorder = AppearanceSettingsSection::Recorder;
using State = ShortcutsSettingsSection::State;

namespace {

constexpr quint32 option = keyOptionFlag;

// A desktop without settings pages, as X11 is.
class NoPagesProbe final : public PermissionProbe
{
public:
    bool screenCapturePreflight() override { return screen; }
    bool isAccessibilityTrusted() override { return accessibility; }
    bool canListenToKeyEvents() override { return true; }
    bool hasSettingsPages() const override { return false; }
    bool openSettingsPage(const QString &) override { return false; }
    void requestScreenCapture() override {}
    bool screen = false;
    bool accessibility = false;
};

void click(QWidget &widget, QPointF at)
{
    QTest::mouseClick(&widget, Qt::LeftButton, Qt::NoModifier, at.toPoint());
}

class SettingsWindowTest : public ::testing::Test
{
protected:
    SettingsWindowTest()
    {
        sim.addDefaultScreen();
        manager = std::make_unique<SettingsWindowManager>(context());
    }
    ~SettingsWindowTest() override
    {
        manager.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    SettingsContext context()
    {
        return SettingsContext{
            settings,
            scheduler,
            sim.permissions,
            [this](bool enabled) { launchWishes << enabled; },
            monitor.get(),
            diagnostics,
            [this](const QUrl &url) { openedURLs << url; },
            [this] { return sim.appIcons.installedApplications(); },
            [this](const QString &identity) { return sim.appIcons.iconForBundle(identity); }};
    }
    SettingsView &open()
    {
        manager->showSettings();
        return *manager->settingsWindow();
    }
    void startDockMonitor()
    {
        monitor = std::make_unique<DockMonitor>(sim.platform(), scheduler, queues, settings, eventLog);
        scheduler.runPending();
        manager->setDockMonitor(monitor.get());
    }
    template <typename Page> Page &page(SettingsView &view, SettingsTab tab)
    {
        view.selectTab(tab);
        scheduler.advance(1.0); // the page has faded in
        auto *shown = dynamic_cast<Page *>(view.page());
        EXPECT_NE(shown, nullptr);
        return *shown;
    }
    // A key typed into the window, through the application as a person's would be.
    void type(SettingsView &view, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(&view, key, modifiers);
    }

    SimDesktop sim;
    ManualScheduler scheduler;
    SchedulerQueueFactory queues{scheduler};
    SettingsStore settings;
    InterfaceLanguage qtLanguage{settings};
    RecordingEventLog eventLog;
    QTemporaryDir logFolder;
    DiagnosticsManager diagnostics{settings,        scheduler,        queues,
                                   sim.fileDialogs, sim.fileRevealer, logFolder.path()};
    QList<QUrl> openedURLs;
    std::unique_ptr<DockMonitor> monitor;
    std::unique_ptr<SettingsWindowManager> manager;
    QList<bool> launchWishes;
};

} // namespace

TEST_F(SettingsWindowTest, ASecondRequestFrontsTheOpenWindowWithItsPageAndAfterClosingANewOneStartsOnGeneral)
{
    SettingsView &first = open();
    EXPECT_EQ(first.width(), 750);
    EXPECT_GE(first.height(), SettingsWindowManager::minimumHeight);
    EXPECT_EQ(first.minimumHeight(), 600);
    EXPECT_TRUE(first.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(first.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(first.windowFlags() & Qt::WindowStaysOnTopHint);
    first.selectTab(SettingsTab::shortcuts);
    first.move(first.pos() + QPoint(30, 20));
    const QPoint placed = first.pos();

    EXPECT_EQ(&open(), &first);
    EXPECT_EQ(first.selectedTab(), SettingsTab::shortcuts);
    EXPECT_EQ(first.pos(), placed);

    first.close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(manager->settingsWindow(), nullptr);
    SettingsView &second = open();
    EXPECT_EQ(second.headerTitle(), "General");
}

TEST_F(SettingsWindowTest, EightTabsInOrderAndEachSelectionBuildsAFreshPage)
{
    SettingsView &view = open();
    EXPECT_EQ(view.sidebarTitles(), (QStringList{"General", "Appearance", "Guide", "Shortcuts", "App Blocker",
                                                 "Contact Us", "About", "Diagnostics"}));
    SettingsPage *general = view.page();
    view.selectTab(SettingsTab::general);
    EXPECT_EQ(view.page(), general); // the tab shown: nothing rebuilt
    view.sidebarButton(SettingsTab::about)->click();
    EXPECT_EQ(view.headerTitle(), "About");
    EXPECT_TRUE(view.sidebarButton(SettingsTab::about)->isChecked());
    EXPECT_FALSE(view.sidebarButton(SettingsTab::general)->isChecked());
    view.selectTab(SettingsTab::general);
    EXPECT_NE(view.page(), general);
}

// The window was a plain rectangle: it is cut to a rounded rectangle with a faint white line inside
// its edge, over the sidebar and the page alike.
TEST_F(SettingsWindowTest, TheWindowHasRoundedCornersAndAFaintEdge)
{
    for (const AppLanguage language : {AppLanguage::english, AppLanguage::french}) {
        settings.set(Settings::appLanguage, rawValue(language));
        SettingsView &view = open();
        view.resize(750, 820);
        scheduler.runPending();
        const QImage seen = view.grab().toImage();
        const auto isBlack = [](const QColor &c) { return c.red() + c.green() + c.blue() < 12; };
        for (const QPoint corner :
             {QPoint(1, 1), QPoint(748, 1), QPoint(1, 818), QPoint(748, 818), QPoint(3, 3)})
            EXPECT_TRUE(isBlack(seen.pixelColor(corner))) << corner.x() << "," << corner.y();
        EXPECT_FALSE(isBlack(seen.pixelColor(9, 9))) << "inside the rounding the sidebar shows";
        // The line, on the sidebar and on the page, is lighter than just inside it.
        for (const auto &[edge, inside] :
             {std::pair(QPoint(100, 0), QPoint(100, 3)), std::pair(QPoint(450, 0), QPoint(450, 3)),
              std::pair(QPoint(749, 780), QPoint(746, 780)), std::pair(QPoint(0, 400), QPoint(3, 400)),
              std::pair(QPoint(450, 819), QPoint(450, 816))})
            EXPECT_GT(seen.pixelColor(edge).lightness(), seen.pixelColor(inside).lightness() + 10)
                << edge.x() << "," << edge.y();
        saveScreenshot(view, language == AppLanguage::english ? "settings_window_edge_en"
                                                              : "settings_window_edge_fr");
        view.close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

// The sidebar's rows did not scroll, so a low window cut the last ones off; and the selection's
// light jumped from row to row instead of moving on its spring.
TEST_F(SettingsWindowTest, SidebarRowsScrollAndTheSelectionMovesOnItsSpring)
{
    settings.set(Settings::appLanguage, rawValue(AppLanguage::german));
    SettingsView &view = open();
    view.resize(750, 820);
    scheduler.runPending();
    QAbstractButton *general = view.sidebarButton(SettingsTab::general);
    QAbstractButton *about = view.sidebarButton(SettingsTab::about);
    // The middle of a row's glowing bar.
    const auto bar = [&](QAbstractButton *row) {
        return view.grab().toImage().pixelColor(
            row->mapTo(&view, QPoint(row->width() - 14 - 2, row->height() / 2)));
    };
    const QColor &cyan = Color::neonCyan();
    const auto cyanness = [](const QColor &c) { return c.green() + c.blue() - 2 * c.red(); };
    const auto distance = [](const QColor &a, const QColor &b) {
        return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue());
    };
    const QColor unlit = bar(about);
    EXPECT_LT(distance(bar(general), cyan), 30);

    about->click();
    scheduler.advance(0.05);
    const QColor coming = bar(about), going = bar(general);
    EXPECT_GT(cyanness(coming), cyanness(unlit) + 30) << "on its way in";
    EXPECT_GT(distance(coming, cyan), 40) << "not there yet";
    EXPECT_GT(cyanness(going), cyanness(unlit) + 30) << "on its way out";
    saveScreenshot(view, "settings_sidebar_selection_moving_de");
    scheduler.advance(1);
    EXPECT_LT(distance(bar(about), cyan), 30);
    EXPECT_LT(std::abs(cyanness(bar(general)) - cyanness(unlit)), 8);

    // A window lower than the rows (as a taller font would make them): they scroll, and the last
    // one can be reached.
    view.setMinimumHeight(0);
    view.resize(750, 380);
    QCoreApplication::processEvents();
    auto *scroll = view.findChild<QScrollArea *>("sidebarScroll");
    ASSERT_NE(scroll, nullptr);
    QAbstractButton *last = view.sidebarButton(SettingsTab::diagnostics);
    ASSERT_TRUE(scroll->widget()->isAncestorOf(last));
    EXPECT_GT(scroll->verticalScrollBar()->maximum(), 0);
    scroll->ensureWidgetVisible(last);
    EXPECT_GT(scroll->verticalScrollBar()->value(), 0);
    click(*last, QPointF(last->width() / 2.0, last->height() / 2.0));
    EXPECT_EQ(view.selectedTab(), SettingsTab::diagnostics);
    scheduler.advance(1);
    saveScreenshot(view, "settings_sidebar_scrolled_de");
}

// A stored language name nobody knows reads as System Default.
TEST_F(SettingsWindowTest, ChoosingALanguageRelabelsTheWholeWindowAndRecordsTheChoice)
{
    settings.set(Settings::appLanguage, QStringLiteral("Klingon"));
    SettingsView &view = open();
    auto &general = page<GeneralSettingsSection>(view, SettingsTab::general);
    EXPECT_EQ(general.languageButton()->text(), "System Default");
    EXPECT_EQ(view.sidebarTitles().first(), "General");
    QSignalSpy changes(&settings, &SettingsStore::changed);
    general.chooseLanguage(AppLanguage::system); // the one shown: nothing happens
    EXPECT_EQ(changes.count(), 0);
    std::unique_ptr<QMenu> menu = general.languageMenu();
    ASSERT_EQ(menu->actions().size(), 9);
    EXPECT_EQ(menu->actions().at(5)->text(), "Deutsch");
    menu->actions().at(5)->trigger();
    EXPECT_EQ(settings.get(Settings::appLanguage), "Deutsch");
    EXPECT_TRUE(settings.get(Settings::hasUserChosenAppLanguage));
    scheduler.runPending();
    EXPECT_EQ(view.sidebarTitles().at(3), "Kurzbefehle");
    EXPECT_EQ(view.headerTitle(), "Allgemein");
    auto &relabelled = page<GeneralSettingsSection>(view, SettingsTab::general);
    EXPECT_EQ(relabelled.toggles().first()->label(), "Beim Anmelden starten");
    EXPECT_EQ(relabelled.languageButton()->text(), "Deutsch");

    // Back to the system's language is a choice too.
    settings.set(Settings::hasUserChosenAppLanguage, false);
    relabelled.chooseLanguage(AppLanguage::system);
    EXPECT_TRUE(settings.get(Settings::hasUserChosenAppLanguage));
}

TEST_F(SettingsWindowTest, OpeningGeneralWritesNothingAndOnlyAChangeCarriesTheLaunchWish)
{
    SettingsView &view = open();
    auto &general = page<GeneralSettingsSection>(view, SettingsTab::general);
    scheduler.advance(3.0);
    EXPECT_TRUE(settings.storedValues().isEmpty());
    EXPECT_TRUE(launchWishes.isEmpty());
    QStringList labels;
    QList<bool> shown;
    for (GlassToggle *toggle : general.toggles()) {
        labels << toggle->label();
        shown << toggle->isOn();
    }
    EXPECT_EQ(labels, (QStringList{"Launch at Login", "Show Tray Icon", "Global Window Switcher",
                                   "Ignore Single Window Apps", "Current Workspace Only", "Sort Minimized to End",
                                   "Mask Sensitive Information"}));
    EXPECT_EQ(shown, (QList<bool>{true, true, true, false, false, false, true}));

    GlassToggle &launch = *general.toggles().first();
    click(launch, launch.trackRect().center());
    EXPECT_FALSE(settings.get(Settings::launchAtLogin));
    EXPECT_EQ(launchWishes, QList<bool>{false});
}

TEST_F(SettingsWindowTest, OnlyTheSwitchFlipsAToggleAndAChangeMadeElsewhereSlidesTheKnob)
{
    SettingsView &view = open();
    auto &general = page<GeneralSettingsSection>(view, SettingsTab::general);
    GlassToggle &sort = *general.toggles().at(5);
    click(sort, QPointF(20, sort.height() / 2.0));                           // the label
    click(sort, QPointF(sort.trackRect().left() - 30, sort.height() / 2.0)); // the gap
    EXPECT_FALSE(settings.contains(Settings::sortMinimizedLast));
    click(sort, sort.trackRect().center());
    EXPECT_TRUE(settings.get(Settings::sortMinimizedLast));
    scheduler.advance(1.0);
    EXPECT_DOUBLE_EQ(sort.knobOffset(), GlassToggle::knobTravel);

    settings.set(Settings::sortMinimizedLast, false);
    EXPECT_FALSE(sort.isOn());
    EXPECT_GT(sort.knobOffset(), 0); // still on its way
    scheduler.advance(1.0);
    EXPECT_DOUBLE_EQ(sort.knobOffset(), -GlassToggle::knobTravel);
    // A stored 0 showed the switcher off while its hotkey fired: only a stored Boolean turns both off.
    settings.setValue(Settings::enableGlobalSwitcher.key(), 0);
    EXPECT_TRUE(general.toggles().at(2)->isOn());
    // 16 wide, 10 from the centre of 44: 4 inside either end.
    EXPECT_DOUBLE_EQ(GlassToggle::trackSize.width() / 2.0 - GlassToggle::knobTravel - GlassToggle::knobDiameter / 2.0,
                     4);
}

// Regression: with the settings file unwritable, "Ignore Single Window Apps" switched on showed ON
// while the file kept OFF. The switch goes back and the window says the change was not saved.
TEST_F(SettingsWindowTest, AChangeThatCannotBeSavedGoesBackAndTheWindowSaysSo)
{
    QTemporaryDir home;
    // A plain file where the settings folder belongs: no write can succeed, whoever runs the test.
    QFile blocker(home.filePath(QStringLiteral("Quorvantis")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    SettingsStore unwritable(home.filePath(QStringLiteral("Quorvantis/defaults.json")));
    const SettingsContext base = context();
    SettingsView view(SettingsContext{unwritable, scheduler, sim.permissions, base.setLaunchAtLogin, nullptr,
                                      diagnostics, base.openURL, base.installedApplications,
                                      base.applicationIcon});
    view.resize(750, 820);
    view.show();
    GlassToggle &ignore = *page<GeneralSettingsSection>(view, SettingsTab::general).toggles().at(3);
    ASSERT_EQ(ignore.label(), QStringLiteral("Ignore Single Window Apps"));
    // A background write that fails (the engine's activation record) says nothing.
    EXPECT_FALSE(unwritable.set(Settings::appUsageHistory, QVariantMap{{"org.example", 1.0}}));
    EXPECT_TRUE(view.saveFailureText().isEmpty());
    click(ignore, ignore.trackRect().center());
    scheduler.advance(1.0);
    EXPECT_FALSE(ignore.isOn());
    EXPECT_DOUBLE_EQ(ignore.knobOffset(), -GlassToggle::knobTravel);
    EXPECT_FALSE(unwritable.get(Settings::ignoreSingleWindow));
    EXPECT_EQ(view.saveFailureText(),
              QStringLiteral("This change could not be saved. The previous setting is still in effect."));
    saveScreenshot(view, QStringLiteral("settings_general_not_saved"));

    // The Diagnostics switch likewise stays off and recording does not start.
    auto &diagnosticsPage = page<DiagnosticsSettingsSection>(view, SettingsTab::diagnostics);
    EXPECT_TRUE(view.saveFailureText().isEmpty()); // a fresh page starts without the line
    diagnosticsPage.setDiagnosticsEnabled(true);
    EXPECT_FALSE(diagnosticsPage.diagnosticsEnabled());
    EXPECT_FALSE(view.saveFailureText().isEmpty());
    view.close();
}

struct PermissionRow
{
    const char *name;
    bool pages;
    bool screen;
    bool accessibility;
    int badges;
    int buttons;
};

class PermissionsRows : public SettingsWindowTest, public ::testing::WithParamInterface<PermissionRow>
{
};

TEST_P(PermissionsRows, BadgesForGrantedRowsAndAButtonOnlyWhereThereIsAPageToOpen)
{
    const PermissionRow &row = GetParam();
    NoPagesProbe x11;
    x11.screen = row.screen;
    x11.accessibility = row.accessibility;
    sim.permissions.screenCapture = row.screen;
    sim.permissions.accessibility = row.accessibility;
    PermissionProbe &probe = row.pages ? static_cast<PermissionProbe &>(sim.permissions) : x11;
    auto *section = new PermissionsSection(probe, scheduler, AppLanguage::english);
    section->resize(470, 240);
    Backdrop backdrop(*section, QSize(510, 280));
    int badges = 0;
    int buttons = 0;
    for (int i = 0; i < 2; ++i) {
        badges += section->showsBadge(i);
        buttons += section->openSettingsButton(i) && !section->openSettingsButton(i)->isHidden();
    }
    EXPECT_EQ(badges, row.badges);
    EXPECT_EQ(buttons, row.buttons);
    saveScreenshot(backdrop, QStringLiteral("settings_permissions_%1").arg(QLatin1String(row.name)));
}

INSTANTIATE_TEST_SUITE_P(Rows, PermissionsRows,
                         ::testing::Values(PermissionRow{"bothGranted", true, true, true, 2, 0},
                                           PermissionRow{"noneGranted", true, false, false, 0, 2},
                                           PermissionRow{"noneOnX11", false, false, false, 0, 0},
                                           PermissionRow{"accessibilityOnX11", false, false, true, 1, 0}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(SettingsWindowTest, MissingPermissionsOpenTheirPagesAndAGrantShowsWithinASecond)
{
    sim.permissions.screenCapture = false;
    sim.permissions.accessibility = false;
    PermissionsSection section(sim.permissions, scheduler, AppLanguage::english);
    section.openSettingsButton(0)->click();
    section.openSettingsButton(1)->click();
    EXPECT_EQ(sim.permissions.openedSettingsPages,
              (QStringList{OnboardingView::screenRecordingAddress, OnboardingView::accessibilityAddress}));
    EXPECT_EQ(sim.permissions.screenCaptureRequests, 0);

    sim.permissions.accessibility = true;
    scheduler.advance(PermissionsSection::pollInterval);
    EXPECT_FALSE(section.showsBadge(0));
    EXPECT_TRUE(section.showsBadge(1));
}

TEST(KeyDownMonitor, AKeyIsStoredByItsPositionWithOnlyTheFourModifiers)
{
    const auto stored = [](Qt::Key key, Qt::KeyboardModifiers modifiers) {
        return KeyDownMonitor::combination(QKeyEvent(QEvent::KeyPress, key, modifiers));
    };
    EXPECT_EQ(stored(Qt::Key_NumberSign, Qt::ShiftModifier | Qt::AltModifier),
              (KeyCombination{20, keyShiftFlag | option}));
    EXPECT_EQ(stored(Qt::Key_Backtab, Qt::ShiftModifier), (KeyCombination{48, keyShiftFlag}));
    EXPECT_EQ(stored(Qt::Key_A, Qt::AltModifier | Qt::KeypadModifier | Qt::GroupSwitchModifier),
              (KeyCombination{0, option}));
    EXPECT_EQ(stored(Qt::Key_Space, Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier | Qt::MetaModifier),
              (KeyCombination{49, keyModifierMask}));
    EXPECT_EQ(stored(Qt::Key_Alt, Qt::AltModifier), std::nullopt);
    EXPECT_EQ(stored(Qt::Key_Print, Qt::AltModifier), std::nullopt);
    // A typed key's place comes from its scan code: here the French key of "&" and "1".
    const QKeyEvent ampersand(QEvent::KeyPress, Qt::Key_Ampersand, Qt::AltModifier, 10, 0, 0);
    EXPECT_EQ(KeyDownMonitor::combination(ampersand), (KeyCombination{18, option}));
}

// A key a program typed (no scan code) is stored as the key that types it, so the shortcut shown
// and grabbed is the one pressed: every key the recorder knows, named back as the user sees it.
TEST(KeyDownMonitor, AKeyWithoutAScanCodeIsStoredAsTheKeyThatTypesIt)
{
    const auto shown = [](Qt::Key key) {
        const auto stored = KeyDownMonitor::combination(QKeyEvent(QEvent::KeyPress, key, Qt::AltModifier));
        return stored ? describeKeyCombination(*stored) : QStringLiteral("nothing");
    };
    // Where the platform's name differs from ours.
    const QHash<QString, QString> ours{{"PgUp", "Page Up"}, {"PgDown", "Page Down"}, {"Del", "Delete"}};
    QList<Qt::Key> keys{Qt::Key_Left,  Qt::Key_Right,     Qt::Key_Up,     Qt::Key_Down,      Qt::Key_Home,
                        Qt::Key_End,   Qt::Key_PageUp,    Qt::Key_PageDown, Qt::Key_Delete,  Qt::Key_Tab,
                        Qt::Key_Space, Qt::Key_Backspace, Qt::Key_Escape, Qt::Key_Return,    Qt::Key_Minus,
                        Qt::Key_Equal, Qt::Key_BracketLeft, Qt::Key_BracketRight, Qt::Key_Semicolon,
                        Qt::Key_Apostrophe, Qt::Key_Comma, Qt::Key_Period, Qt::Key_Slash, Qt::Key_Backslash,
                        Qt::Key_QuoteLeft};
    for (int key = Qt::Key_A; key <= Qt::Key_Z; ++key)
        keys.append(Qt::Key(key));
    for (int key = Qt::Key_0; key <= Qt::Key_9; ++key)
        keys.append(Qt::Key(key));
    for (int key = Qt::Key_F1; key <= Qt::Key_F12; ++key)
        keys.append(Qt::Key(key));
    for (const Qt::Key key : std::as_const(keys)) {
        const QString name = QKeySequence(key).toString(QKeySequence::PortableText);
        EXPECT_EQ(shown(key), QStringLiteral("Alt+") + ours.value(name, name)) << name.toStdString();
    }
    // Characters typed with Shift name the key under them.
    const QList<std::pair<Qt::Key, Qt::Key>> shifted{
        {Qt::Key_Exclam, Qt::Key_1},          {Qt::Key_At, Qt::Key_2},           {Qt::Key_NumberSign, Qt::Key_3},
        {Qt::Key_Dollar, Qt::Key_4},          {Qt::Key_Percent, Qt::Key_5},      {Qt::Key_AsciiCircum, Qt::Key_6},
        {Qt::Key_Ampersand, Qt::Key_7},       {Qt::Key_Asterisk, Qt::Key_8},     {Qt::Key_ParenLeft, Qt::Key_9},
        {Qt::Key_ParenRight, Qt::Key_0},      {Qt::Key_Underscore, Qt::Key_Minus}, {Qt::Key_Plus, Qt::Key_Equal},
        {Qt::Key_BraceLeft, Qt::Key_BracketLeft}, {Qt::Key_BraceRight, Qt::Key_BracketRight},
        {Qt::Key_Colon, Qt::Key_Semicolon},   {Qt::Key_QuoteDbl, Qt::Key_Apostrophe}, {Qt::Key_Less, Qt::Key_Comma},
        {Qt::Key_Greater, Qt::Key_Period},    {Qt::Key_Question, Qt::Key_Slash}, {Qt::Key_Bar, Qt::Key_Backslash},
        {Qt::Key_AsciiTilde, Qt::Key_QuoteLeft}};
    for (const auto &[character, under] : shifted)
        EXPECT_EQ(shown(character), shown(under)) << QKeySequence(character).toString().toStdString();
}

TEST_F(SettingsWindowTest, ShortcutRecorderListensReviewsAndStoresOnlyOnConfirm)
{
    SettingsView &view = open();
    auto &shortcuts = page<ShortcutsSettingsSection>(view, SettingsTab::shortcuts);
    EXPECT_EQ(shortcuts.state(), State::idle);
    EXPECT_EQ(shortcuts.keycapTexts(), (QStringList{"Alt", "Tab"}));
    EXPECT_FALSE(shortcuts.recordButton()->isHidden());

    shortcuts.recordButton()->click();
    EXPECT_EQ(shortcuts.state(), State::listening);
    EXPECT_TRUE(settings.get(Settings::isRecordingShortcut));
    EXPECT_TRUE(shortcuts.keycapTexts().isEmpty());
    EXPECT_TRUE(shortcuts.recordButton()->isHidden());
    // Keys pressed alone pass on; Esc does not cancel.
    for (const Qt::Key key : {Qt::Key_Tab, Qt::Key_Escape, Qt::Key_Return, Qt::Key_K})
        type(view, key);
    EXPECT_EQ(shortcuts.state(), State::listening);

    type(view, Qt::Key_K, Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier | Qt::MetaModifier);
    EXPECT_EQ(shortcuts.state(), State::review);
    EXPECT_FALSE(shortcuts.isMonitoring());
    EXPECT_TRUE(settings.get(Settings::isRecordingShortcut)); // until Confirm or Cancel
    EXPECT_EQ(shortcuts.keycapTexts(), (QStringList{"Ctrl", "Alt", "Shift", "Super", "K"}));
    EXPECT_FALSE(settings.contains(Settings::customKeyCode));
    saveScreenshot(view, QStringLiteral("settings_shortcuts_review_en"));

    shortcuts.confirmButton()->click();
    EXPECT_EQ(settings.get(Settings::customKeyCode), 40);
    EXPECT_EQ(settings.get(Settings::customFlags), int(keyModifierMask));
    EXPECT_FALSE(settings.get(Settings::isRecordingShortcut));
    EXPECT_EQ(shortcuts.state(), State::idle);
    EXPECT_EQ(shortcuts.keycapTexts(), (QStringList{"Ctrl", "Alt", "Shift", "Super", "K"}));
}

TEST_F(SettingsWindowTest, CancelAndLeavingThePageKeepTheStoredShortcutAndLetHotkeysFireAgain)
{
    startDockMonitor();
    QSignalSpy routes(monitor.get(), &DockMonitor::globalSwitcherEvent);
    SettingsView &view = open();
    auto *shortcuts = &page<ShortcutsSettingsSection>(view, SettingsTab::shortcuts);

    shortcuts->startRecording();
    // Nothing fires anywhere while a recorder listens or waits.
    EXPECT_FALSE(sim.globalInput.pressKey(48, option));
    type(view, Qt::Key_Tab, Qt::AltModifier);
    EXPECT_FALSE(sim.globalInput.pressKey(48, option));
    scheduler.runPending();
    EXPECT_EQ(routes.count(), 0);
    EXPECT_EQ(shortcuts->keycapTexts(), (QStringList{"Alt", "Tab"}));
    shortcuts->cancelButton()->click();
    EXPECT_FALSE(settings.get(Settings::isRecordingShortcut));
    EXPECT_FALSE(settings.contains(Settings::customKeyCode));
    EXPECT_TRUE(sim.globalInput.pressKey(48, option));

    shortcuts->startRecording();
    type(view, Qt::Key_J, Qt::ControlModifier);
    view.selectTab(SettingsTab::guide);
    EXPECT_FALSE(settings.get(Settings::isRecordingShortcut));
    EXPECT_FALSE(settings.contains(Settings::customKeyCode));
    shortcuts = &page<ShortcutsSettingsSection>(view, SettingsTab::shortcuts);
    shortcuts->startRecording();
    view.close(); // the window closing is leaving the page too
    EXPECT_FALSE(settings.get(Settings::isRecordingShortcut));
}

// The default Alt+Tab is the window manager's on most desktops: the grab was refused and only a
// console line said so, while the page showed the shortcut as if it worked.
TEST_F(SettingsWindowTest, ACombinationAnotherProgramHoldsIsNamedOnThePageUntilAnotherIsRecorded)
{
    sim.globalInput.heldElsewhere = {{48, option}};
    startDockMonitor();
    SettingsView &view = open();
    auto &shortcuts = page<ShortcutsSettingsSection>(view, SettingsTab::shortcuts);
    EXPECT_FALSE(shortcuts.heldElsewhereLine()->isHidden());
    EXPECT_EQ(shortcuts.heldElsewhereLine()->text(),
              "Another program holds this combination, so it cannot open Quorvantis. Record another one.");
    saveScreenshot(view, QStringLiteral("settings_shortcuts_held_en"));

    shortcuts.startRecording();
    EXPECT_TRUE(shortcuts.heldElsewhereLine()->isHidden());
    type(view, Qt::Key_K, Qt::ControlModifier);
    shortcuts.confirmShortcut();
    EXPECT_TRUE(shortcuts.heldElsewhereLine()->isHidden());
    EXPECT_EQ(sim.globalInput.shortcuts(), (QList<KeyCombination>{{40, keyControlFlag}}));

    sim.globalInput.heldElsewhere = {{40, keyControlFlag}};
    settings.set(Settings::enableGlobalSwitcher, false);
    settings.set(Settings::enableGlobalSwitcher, true);
    EXPECT_FALSE(shortcuts.heldElsewhereLine()->isHidden());
}

struct FormatRow
{
    double value;
    QString hover;
    QString speed;
    QString blur;
};

TEST(AppearanceFormat, ValueTextsShowWhatTheReadersUse)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const QList<FormatRow> rows = {
        {0.2, "0.2s", "0.2x", "0px"},  {0, "0.0s", "0.1x", "0px"},     {1, "1.0s", "1.0x", "1px"},
        {0.5, "0.5s", "0.5x", "0px"},  {24.9, "1.0s", "1.0x", "24px"}, {50, "1.0s", "1.0x", "50px"},
        {nan, "0.2s", "0.5x", "25px"}, {inf, "0.2s", "0.5x", "25px"},  {1e300, "1.0s", "1.0x", "50px"},
        {-1e300, "0.0s", "0.1x", "0px"},
    };
    for (const FormatRow &row : rows) {
        EXPECT_EQ(AppearanceSettingsSection::hoverDelayText(row.value), row.hover) << row.value;
        EXPECT_EQ(AppearanceSettingsSection::speedText(row.value), row.speed) << row.value;
        EXPECT_EQ(AppearanceSettingsSection::blurText(row.value), row.blur) << row.value;
    }
}

TEST_F(SettingsWindowTest, AppearanceShowsTheDefaultsAndItsSlidersStoreAtOnce)
{
    settings.setValue(Settings::blurAmount.key(), std::numeric_limits<double>::infinity());
    SettingsView &view = open();
    auto &appearance = page<AppearanceSettingsSection>(view, SettingsTab::appearance);
    EXPECT_EQ(appearance.valueTexts(), (QStringList{"0.2s", "0.5x", "25px"}));
    QList<bool> shown;
    for (GlassToggle *toggle : appearance.toggles())
        shown << toggle->isOn();
    EXPECT_EQ(shown, (QList<bool>{true, true, true, false}));
    EXPECT_FALSE(appearance.moduleToggle()->isOn());
    EXPECT_FALSE(appearance.showsRecorderBlock());
    EXPECT_EQ(settings.storedValues().size(), 1); // opening wrote nothing

    appearance.sliders().at(0)->setValue(appearance.sliders().at(0)->maximum());
    EXPECT_DOUBLE_EQ(settings.get(Settings::hoverDelay), 1.0);
    appearance.sliders().at(2)->setValue(14900);
    EXPECT_EQ(appearance.valueTexts().at(2), "14px");
    EXPECT_EQ(view.backdropBlurAmount(), 14.9);
    settings.set(Settings::animationSpeed, 0.3);
    EXPECT_EQ(appearance.valueTexts().at(1), "0.3x");

    // A desktop without a haptic device (X11) has no haptic switch; the stored value stays.
    SettingsContext withoutHaptics = context();
    withoutHaptics.hasHaptics = false;
    SettingsView plain(withoutHaptics);
    auto &without = page<AppearanceSettingsSection>(plain, SettingsTab::appearance);
    EXPECT_EQ(without.toggles().size(), 3);
    EXPECT_EQ(without.toggles().last()->label(), "Sound Effect on Snap");
}

TEST_F(SettingsWindowTest, ModuleRecordersStoreTheFirstModifiedKeyAndTheEdgePickerStoresItsRawValue)
{
    SettingsView &view = open();
    auto &appearance = page<AppearanceSettingsSection>(view, SettingsTab::appearance);
    GlassToggle &modules = *appearance.moduleToggle();
    click(modules, modules.trackRect().center());
    EXPECT_TRUE(appearance.showsRecorderBlock());
    EXPECT_EQ(appearance.shortcutTexts(Recorder::clipboard), (QStringList{"Alt", "C"}));
    EXPECT_EQ(appearance.shortcutTexts(Recorder::shelf), (QStringList{"Alt", "S"}));
    EXPECT_EQ(appearance.checkedEdgeSegment(), 1);

    appearance.recordButton(Recorder::clipboard)->click();
    EXPECT_EQ(appearance.shortcutTexts(Recorder::clipboard), QStringList{"..."});
    EXPECT_FALSE(appearance.recordButton(Recorder::clipboard)->isEnabled());
    EXPECT_TRUE(appearance.recordButton(Recorder::shelf)->isEnabled());
    EXPECT_TRUE(settings.get(Settings::isRecordingShortcut));
    // Alone or with Shift alone, a key would be taken from every program's typing: it passes on.
    type(view, Qt::Key_K);
    type(view, Qt::Key_K, Qt::ShiftModifier);
    EXPECT_EQ(appearance.recording(), Recorder::clipboard);
    scheduler.advance(1.0); // the recorder block has slid in
    // Scrolled to the recorders, so the picture shows the one listening.
    for (int pass = 0; pass < 5; ++pass)
        QCoreApplication::processEvents(); // the layouts up to the scrolling column
    view.findChild<QScrollArea *>("pageScroll")
        ->ensureWidgetVisible(appearance.recordButton(Recorder::shelf));
    QCoreApplication::processEvents();
    saveScreenshot(view, QStringLiteral("settings_appearance_recording_en"));
    type(view, Qt::Key_K, Qt::AltModifier);
    EXPECT_EQ(settings.get(Settings::clipboardKeyCode), 40);
    EXPECT_EQ(settings.get(Settings::clipboardFlags), int(option));
    EXPECT_FALSE(settings.get(Settings::isRecordingShortcut));
    EXPECT_EQ(appearance.shortcutTexts(Recorder::clipboard), (QStringList{"Alt", "K"}));

    // Starting the other recorder ends the first unstored, with one monitor in place.
    appearance.startRecording(Recorder::clipboard);
    appearance.recordButton(Recorder::shelf)->click();
    EXPECT_EQ(appearance.recording(), Recorder::shelf);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(appearance.findChildren<KeyDownMonitor *>().size(), 1);
    EXPECT_EQ(appearance.shortcutTexts(Recorder::clipboard), (QStringList{"Alt", "K"}));
    type(view, Qt::Key_V, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(settings.get(Settings::shelfKeyCode), 9);
    EXPECT_EQ(settings.get(Settings::shelfFlags), 0x60000);
    EXPECT_EQ(appearance.shortcutTexts(Recorder::shelf), (QStringList{"Ctrl", "Shift", "V"}));
    appearance.startRecording(Recorder::shelf);
    type(view, Qt::Key_Return, Qt::AltModifier);
    EXPECT_EQ(appearance.shortcutTexts(Recorder::shelf), (QStringList{"Alt", "⏎"}));

    appearance.edgeSegments().at(2)->click();
    EXPECT_EQ(settings.get(Settings::popupEdge), "leading");
    appearance.edgeSegments().at(3)->click();
    EXPECT_EQ(settings.get(Settings::popupEdge), "trailing");
    EXPECT_EQ(appearance.checkedEdgeSegment(), 3);
    settings.set(Settings::popupEdge, QStringLiteral("middle"));
    EXPECT_EQ(appearance.checkedEdgeSegment(), -1);
}

namespace {

// The keys other than modifiers that reach a widget, after the application's own filters had
// their say.
class KeysReaching : public QObject
{
public:
    QList<int> keys;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        static const QList<int> modifiers{Qt::Key_Shift, Qt::Key_Control, Qt::Key_Alt, Qt::Key_Meta};
        const auto *key = static_cast<QKeyEvent *>(event);
        if (event->type() == QEvent::KeyPress && !modifiers.contains(key->key()))
            keys << key->key();
        return false;
    }
};

} // namespace

// A recorded combination is the recorder's alone: reaching the window as well, it would step a
// slider in focus or press a button. A key that passes on (without Ctrl, Alt or Super) still does.
TEST_F(SettingsWindowTest, ARecordedCombinationReachesNoWidget)
{
    settings.set(Settings::enableModuleHotkeys, true);
    SettingsView &view = open();
    KeysReaching reaching;
    view.installEventFilter(&reaching);
    auto &appearance = page<AppearanceSettingsSection>(view, SettingsTab::appearance);
    appearance.startRecording(Recorder::clipboard);
    type(view, Qt::Key_K);
    type(view, Qt::Key_Right, Qt::AltModifier);
    EXPECT_EQ(appearance.recording(), Recorder::none);
    EXPECT_EQ(settings.get(Settings::clipboardKeyCode), 124);
    auto &shortcuts = page<ShortcutsSettingsSection>(view, SettingsTab::shortcuts);
    shortcuts.startRecording();
    type(view, Qt::Key_J, Qt::ControlModifier);
    EXPECT_EQ(shortcuts.state(), State::review);
    EXPECT_EQ(reaching.keys, QList<int>{Qt::Key_K});
}

// Switching the module hotkeys off while a row listened left "isRecordingShortcut" set, so every
// hotkey stayed dead, and the next modified key press in the application became the shortcut.
TEST_F(SettingsWindowTest, SwitchingTheModuleHotkeysOffEndsARecording)
{
    settings.set(Settings::enableModuleHotkeys, true);
    SettingsView &view = open();
    auto &appearance = page<AppearanceSettingsSection>(view, SettingsTab::appearance);
    appearance.startRecording(Recorder::clipboard);
    GlassToggle &modules = *appearance.moduleToggle();
    click(modules, modules.trackRect().center());
    EXPECT_FALSE(appearance.showsRecorderBlock());
    EXPECT_FALSE(settings.get(Settings::isRecordingShortcut));
    EXPECT_FALSE(appearance.isMonitoring());
    type(view, Qt::Key_J, Qt::AltModifier);
    EXPECT_FALSE(settings.contains(Settings::clipboardKeyCode));

    click(modules, modules.trackRect().center());
    EXPECT_EQ(appearance.shortcutTexts(Recorder::clipboard), (QStringList{"Alt", "C"}));
}

// On a page built with the module hotkeys off, switching them on stored the value and showed
// nothing: the recorders and the edge picker came only with the page built again.
TEST_F(SettingsWindowTest, TheModuleSwitchOnAFreshPageShowsTheRecordersAndTheEdgePicker)
{
    SettingsView &view = open();
    auto &appearance = page<AppearanceSettingsSection>(view, SettingsTab::appearance);
    GlassToggle &modules = *appearance.moduleToggle();
    click(modules, modules.trackRect().center());
    ASSERT_TRUE(settings.get(Settings::enableModuleHotkeys));
    scheduler.advance(1.0); // the block has slid in
    for (int pass = 0; pass < 5; ++pass)
        QCoreApplication::processEvents(); // the layouts up to the scrolling column
    const QList<QWidget *> parts = {appearance.recordButton(Recorder::clipboard),
                                    appearance.recordButton(Recorder::shelf), appearance.edgeSegments().at(0),
                                    appearance.edgeSegments().at(3)};
    for (QWidget *part : parts) {
        EXPECT_TRUE(part->isVisible());
        EXPECT_GE(part->height(), part->sizeHint().height());
        // Inside the page as laid out, not squeezed to nothing at the card's bottom.
        const QRect inPage(part->mapTo(&appearance, QPoint(0, 0)), part->size());
        EXPECT_TRUE(appearance.rect().contains(inPage)) << inPage.y() << " in " << appearance.height();
    }
    // Scrolled to, as a person would.
    auto *scroll = view.findChild<QScrollArea *>("pageScroll");
    ASSERT_NE(scroll, nullptr);
    scroll->ensureWidgetVisible(parts.last());
    QCoreApplication::processEvents();
    for (QWidget *part : parts)
        EXPECT_FALSE(part->visibleRegion().isEmpty());
    EXPECT_EQ(appearance.shortcutTexts(Recorder::clipboard), (QStringList{"Alt", "C"}));
    saveScreenshot(view, QStringLiteral("settings_appearance_modules_switched_on_en"));
}

// The block slides in and out with the switch on the page in view; while the page is not shown it
// changes at once, and the page opens with it at rest.
TEST_F(SettingsWindowTest, TheRecorderBlockSlidesWithTheSwitchAndChangesAtOnceOnAHiddenPage)
{
    SettingsView &view = open();
    auto &appearance = page<AppearanceSettingsSection>(view, SettingsTab::appearance);
    auto *block = appearance.findChild<RevealBox *>();
    ASSERT_NE(block, nullptr);
    GlassToggle &modules = *appearance.moduleToggle();
    click(modules, modules.trackRect().center());
    const int entering = block->sizeHint().height();
    scheduler.advance(1.0);
    const int full = block->sizeHint().height();
    EXPECT_GT(full, 0);
    EXPECT_LT(entering, full) << "it jumped in";

    click(modules, modules.trackRect().center());
    EXPECT_TRUE(block->isVisible()) << "it vanished at once";
    EXPECT_GT(block->sizeHint().height(), 0);
    scheduler.advance(1.0);
    EXPECT_FALSE(block->isVisible());

    view.selectTab(SettingsTab::general);
    QCoreApplication::processEvents();
    scheduler.advance(1.0); // the page has faded out
    ASSERT_FALSE(appearance.isVisible());
    settings.set(Settings::enableModuleHotkeys, true);
    EXPECT_EQ(block->sizeHint().height(), full) << "it slides on a page nobody sees";
}

// With the module hotkeys on, Alt+C recorded for the Super Panel was stored: the clipboard popup
// took the key and nothing opened the panel any more. A combination another of our hotkeys takes is
// refused like a key without Ctrl, Alt or Super, with a line naming the hotkey that has it.
TEST_F(SettingsWindowTest, ACombinationAnotherOfOurHotkeysTakesIsRefusedWithALineNamingIt)
{
    settings.set(Settings::enableModuleHotkeys, true);
    SettingsView &view = open();
    auto &shortcuts = page<ShortcutsSettingsSection>(view, SettingsTab::shortcuts);
    shortcuts.startRecording();
    EXPECT_TRUE(shortcuts.takenLine()->isHidden());
    type(view, Qt::Key_C, Qt::AltModifier);
    EXPECT_EQ(shortcuts.state(), State::listening);
    EXPECT_TRUE(shortcuts.isMonitoring());
    EXPECT_FALSE(shortcuts.takenLine()->isHidden());
    EXPECT_EQ(shortcuts.takenLine()->text(),
              "This combination already opens “Clipboard Hotkey”. Press another one.");
    QCoreApplication::processEvents(); // the line's height follows its text
    saveScreenshot(view, QStringLiteral("settings_shortcuts_taken_en"));
    type(view, Qt::Key_S, Qt::AltModifier);
    EXPECT_EQ(shortcuts.takenLine()->text(),
              "This combination already opens “File Shelf Hotkey”. Press another one.");
    // A free combination is taken as ever, and the line goes.
    type(view, Qt::Key_K, Qt::AltModifier);
    EXPECT_EQ(shortcuts.state(), State::review);
    EXPECT_TRUE(shortcuts.takenLine()->isHidden());
    shortcuts.confirmShortcut();
    EXPECT_EQ(settings.get(Settings::customKeyCode), 40);
    // With the module hotkeys off, their combinations are free for the panel.
    settings.set(Settings::enableModuleHotkeys, false);
    shortcuts.startRecording();
    type(view, Qt::Key_C, Qt::AltModifier);
    EXPECT_EQ(shortcuts.state(), State::review);
    EXPECT_TRUE(shortcuts.takenLine()->isHidden());
    shortcuts.stopRecording();

    // The module recorders refuse the switcher's combination and each other's, in the page's
    // language; their own is recorded again.
    settings.set(Settings::enableModuleHotkeys, true);
    settings.set(Settings::appLanguage, rawValue(AppLanguage::german));
    auto &appearance = page<AppearanceSettingsSection>(view, SettingsTab::appearance);
    appearance.startRecording(Recorder::clipboard);
    type(view, Qt::Key_K, Qt::AltModifier);
    EXPECT_EQ(appearance.recording(), Recorder::clipboard);
    EXPECT_FALSE(appearance.takenLine()->isHidden());
    EXPECT_EQ(appearance.takenLine()->text(),
              "Diese Kombination öffnet bereits „Globaler Fensterumschalter“. Drücke eine andere.");
    type(view, Qt::Key_S, Qt::AltModifier);
    EXPECT_EQ(appearance.recording(), Recorder::clipboard);
    EXPECT_EQ(appearance.takenLine()->text(),
              "Diese Kombination öffnet bereits „Kurzbefehl für das Dateiregal“. Drücke eine andere.");
    EXPECT_EQ(settings.get(Settings::clipboardKeyCode), 8);
    type(view, Qt::Key_C, Qt::AltModifier | Qt::ControlModifier);
    EXPECT_EQ(appearance.recording(), Recorder::none);
    EXPECT_TRUE(appearance.takenLine()->isHidden());
    EXPECT_EQ(settings.get(Settings::clipboardFlags), int(option | keyControlFlag));
    // With the switcher off, its combination is free.
    settings.set(Settings::enableGlobalSwitcher, false);
    appearance.startRecording(Recorder::shelf);
    type(view, Qt::Key_K, Qt::AltModifier);
    EXPECT_EQ(appearance.recording(), Recorder::none);
    EXPECT_EQ(settings.get(Settings::shelfKeyCode), 40);
}

// Every page in every language at the window's size, in the states that show the most text. A
// text is cut when its widget lies outside its parent (the page wider than the window) or gets less
// room than its text needs; elided labels and toggles are allowed. Pictures of English, German,
// French and Polish, and of Chinese and Japanese once, for people to look at.
TEST_F(SettingsWindowTest, EveryPageFitsTheWindowInEveryLanguage)
{
    settings.set(Settings::enableModuleHotkeys, true);
    sim.permissions.screenCapture = false;
    sim.appIcons.installed = {{"debian-xterm", "XTerm"}};
    settings.set(Settings::ignoredApps, QStringLiteral("debian-xterm,org.example.notesApp"));
    settings.set(Settings::diagnosticsEnabled, true);
    for (const AppLanguage language : allAppLanguages) {
        if (language == AppLanguage::system)
            continue;
        settings.set(Settings::appLanguage, rawValue(language));
        SettingsView &view = open();
        scheduler.runPending();
        view.resize(750, 820);
        const QString code = Localization::languageCode(language).toString();
        // Qt's own buttons (the file picker's, a message box's) speak the language too.
        const QString cancel = QDialogButtonBox(QDialogButtonBox::Cancel).buttons().constFirst()->text();
        EXPECT_EQ(cancel == "Cancel", code == "en") << qPrintable(code) << " " << qPrintable(cancel);
        for (const SettingsTab tab : allSettingsTabs) {
            view.selectTab(tab);
            QCoreApplication::processEvents();
            scheduler.advance(1.0); // the page has faded in
            EXPECT_EQ(view.selectedTab(), tab);
            ASSERT_TRUE(view.page()->isVisible()); // else nothing would be checked
            const auto expectFits = [&] {
                EXPECT_EQ(cutTexts(view).join(u'\n').toStdString(), "")
                    << qPrintable(code + u' ' + rawValue(tab));
            };
            expectFits();
            QAbstractButton *row = view.sidebarButton(tab); // selected: its bold title decides the size
            // A word broken at its soft hyphen shows a hyphen at the break.
            constexpr QChar softHyphen(0x00AD);
            QString shown;
            for (QString line : paintedLines(*row))
                shown += row->text().contains(softHyphen) && line.endsWith(u'-') ? line.chopped(1) : line;
            EXPECT_EQ(shown.remove(u' ').toStdString(),
                      row->text().remove(u' ').remove(softHyphen).toStdString())
                << qPrintable(code) << ": the title shows whole";
            if (code == "de" && tab == SettingsTab::appearance) {
                EXPECT_EQ(paintedLines(*row), QStringList({"Erscheinungs-", "bild"}));
                // Unselected, it breaks at the same place.
                EXPECT_EQ(paintedLines(*view.sidebarButton(SettingsTab::general)), QStringList{"Allgemein"});
            }
            if (code == "de" && tab == SettingsTab::general) {
                EXPECT_EQ(paintedLines(*view.sidebarButton(SettingsTab::appearance)),
                          QStringList({"Erscheinungs-", "bild"}));
            }
            // Nothing smaller than 80 % of 13 pixels; a word too long for the row breaks at its
            // syllable ("Erscheinungsbild" was drawn at 8 pixels).
            EXPECT_GE(smallestPaintedText(*row), 10.0) << qPrintable(code + u' ' + row->text());
            if (tab == SettingsTab::shortcuts) { // Confirm and Cancel
                static_cast<ShortcutsSettingsSection *>(view.page())->startRecording();
                type(view, Qt::Key_K, Qt::ControlModifier);
                QCoreApplication::processEvents();
                expectFits();
            }
            if (code == "zh" || code == "ja") {
                if (tab == SettingsTab::general || (code == "ja" && tab == SettingsTab::about))
                    saveScreenshot(view, QStringLiteral("settings_%1_%2").arg(rawValue(tab), code));
                continue;
            }
            saveScreenshot(view, QStringLiteral("settings_%1_%2").arg(rawValue(tab), code));
            // The lower part of a page that is longer than the window.
            QScrollBar *scroll = view.findChild<QScrollArea *>("pageScroll")->verticalScrollBar();
            if (scroll->maximum() > 0) {
                scroll->setValue(scroll->maximum());
                saveScreenshot(view, QStringLiteral("settings_%1_%2_end").arg(rawValue(tab), code));
            }
        }
        view.close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

TEST_F(SettingsWindowTest, BlockerRowsFollowTheStoredListAndTheChooserStoresTheDesktopFileId)
{
    sim.appIcons.installed = {{"debian-xterm", "XTerm"}, {"org.gnome.gedit", "Text Editor"}};
    settings.set(Settings::ignoredApps, QStringLiteral(" a , ,debian-xterm ,a"));
    SettingsView &view = open();
    view.resize(750, 820);
    auto &blocker = page<AppBlockerSection>(view, SettingsTab::blocker);
    const auto rows = [&] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QList<QWidget *> shown;
        for (QWidget *row : blocker.findChildren<QWidget *>("blockedRow"))
            shown << row;
        return shown;
    };
    ASSERT_EQ(rows().size(), 3);
    QStringList texts;
    for (const QLabel *label : rows()[1]->findChildren<QLabel *>())
        texts << label->text();
    EXPECT_TRUE(texts.contains("XTerm")) << texts.join('|').toStdString();
    EXPECT_TRUE(texts.contains("(debian-xterm)"));

    // Either copy's button removes both; the rest is stored trimmed.
    rows()[2]->findChild<QAbstractButton *>("remove")->click();
    EXPECT_EQ(settings.get(Settings::ignoredApps), "debian-xterm");
    ASSERT_EQ(rows().size(), 1);
    rows()[0]->findChild<QAbstractButton *>("remove")->click();
    EXPECT_EQ(settings.get(Settings::ignoredApps), "");
    EXPECT_TRUE(rows().isEmpty());
    EXPECT_TRUE(blocker.findChild<QWidget *>("emptyState")->isVisible());
    EXPECT_FALSE(blocker.findChild<QWidget *>("blockedList")->isVisible());

    // The chooser lists the installed applications by name; OK stores the chosen one's id.
    bool answered = false;
    QTimer::singleShot(0, [&] {
        auto *chooser = blocker.findChild<QDialog *>();
        ASSERT_NE(chooser, nullptr);
        EXPECT_TRUE(chooser->isModal());
        EXPECT_EQ(chooser->windowTitle(), "Select an App to Block");
        auto *list = chooser->findChild<QListWidget *>();
        ASSERT_EQ(list->count(), 2);
        EXPECT_EQ(list->item(1)->text(), "Text Editor");
        list->setCurrentRow(0);
        chooser->accept();
        answered = true;
    });
    blocker.findChild<QAbstractButton *>("addApp")->click();
    EXPECT_TRUE(answered);
    EXPECT_EQ(settings.get(Settings::ignoredApps), "debian-xterm");
    EXPECT_EQ(rows().size(), 1);
}

// The chooser opened while the page's first read of the applications is still under way: that read
// may have passed an application installed since, so another one follows it and the chooser offers it.
TEST_F(SettingsWindowTest, TheChooserOpenedDuringARunningReadOffersWhatTheNextReadFinds)
{
    QList<InstalledApplication> current = {{"debian-xterm", "XTerm"}};
    int reads = 0;
    SettingsContext queued = context();
    queued.installedApplications = [&] {
        const QList<InstalledApplication> found = current;
        if (reads++ == 0) // installed just after this read passed it
            current.append(InstalledApplication{"org.gnome.gedit", "Text Editor"});
        return found;
    };
    queued.applicationReads = queues.makeQueue(QStringLiteral("installed applications"), QueueKind::Serial);
    manager = std::make_unique<SettingsWindowManager>(queued);
    SettingsView &view = open();
    view.selectTab(SettingsTab::blocker);
    auto &blocker = *dynamic_cast<AppBlockerSection *>(view.page());
    ASSERT_TRUE(blocker.isReadingApplications());

    QStringList offered;
    QTimer::singleShot(0, [&] {
        auto *chooser = blocker.findChild<QDialog *>();
        ASSERT_NE(chooser, nullptr);
        for (int round = 0; round < 10 && (reads < 2 || blocker.isReadingApplications()); ++round)
            scheduler.runPending();
        auto *list = chooser->findChild<QListWidget *>();
        for (int i = 0; i < list->count(); ++i)
            offered << list->item(i)->text();
        chooser->reject();
    });
    blocker.findChild<QAbstractButton *>("addApp")->click();
    EXPECT_EQ(reads, 2) << "the chooser's request for a fresh read, made while one ran, was dropped";
    EXPECT_EQ(offered, (QStringList{"XTerm", "Text Editor"}))
        << "an application installed while the page read the others is not offered: "
        << offered.join('|').toStdString();
}

// 1,000 stored entries held the page 1.1 s, 100,000 more than four minutes, and one entry of a
// megabyte 1.17 s: every row was built, with the whole text laid out.
TEST_F(SettingsWindowTest, BlockerBuildsOnlyTheRowsInViewOfAHugeList)
{
    const QString huge = QString(1 << 20, u'x');
    QStringList stored = {huge};
    for (int i = 0; i < 100000; ++i)
        stored.append(QStringLiteral("org.example.app%1").arg(i));
    settings.set(Settings::ignoredApps, stored.join(u','));
    SettingsView &view = open();
    view.resize(750, 820);
    auto &blocker = page<AppBlockerSection>(view, SettingsTab::blocker);
    QCoreApplication::processEvents();
    EXPECT_EQ(blocker.blockedApps().size(), AppBlockerSection::maxEntries);
    const QList<QWidget *> built = blocker.builtRows();
    ASSERT_FALSE(built.isEmpty());
    EXPECT_LT(built.size(), 30);
    QStringList texts;
    for (const QLabel *label : built.first()->findChildren<QLabel *>())
        texts << label->text();
    for (const QString &text : texts)
        EXPECT_LE(text.size(), AppBlockerSection::maxShownLength + 2);
    saveScreenshot(view, QStringLiteral("settings_blocker_huge_list"));

    // The end of the list is built when scrolled to, and only it.
    QScrollBar *bar = blocker.findChild<QScrollArea *>("blockedList")->verticalScrollBar();
    bar->setValue(bar->maximum());
    QCoreApplication::processEvents();
    EXPECT_LT(blocker.builtRows().size(), 30);
    QStringList last;
    for (const QLabel *label : blocker.builtRows().last()->findChildren<QLabel *>())
        last << label->text();
    EXPECT_TRUE(last.contains(QStringLiteral("(org.example.app%1)").arg(AppBlockerSection::maxEntries - 2)))
        << last.join('|').toStdString();

    // Removing the long entry removes it whole and keeps every entry past what the page reads.
    bar->setValue(0);
    QCoreApplication::processEvents();
    blocker.builtRows().first()->findChild<QAbstractButton *>("remove")->click();
    stored.removeFirst();
    EXPECT_EQ(settings.get(Settings::ignoredApps), stored.join(u','));
}

TEST_F(SettingsWindowTest, DiagnosticsSwitchShowsCountsAndTheExportButtonRestsOneSecondFromThePress)
{
    SettingsView &view = open();
    view.resize(750, 820);
    auto &diag = page<DiagnosticsSettingsSection>(view, SettingsTab::diagnostics);
    auto *toggle = diag.findChild<QCheckBox *>("diagnosticsSwitch");
    EXPECT_FALSE(toggle->isChecked());
    EXPECT_FALSE(diag.countsShown());

    // The standard switch, legible on the dark page: a light grey track when off, the accent when on.
    EXPECT_GT(toggle->grab().toImage().pixelColor(32, 12).lightness(), 80);
    QCoreApplication::processEvents();
    saveScreenshot(view, QStringLiteral("settings_diagnostics_off"));
    toggle->click();
    scheduler.runPending();
    EXPECT_TRUE(settings.get(Settings::diagnosticsEnabled));
    EXPECT_TRUE(diag.countsShown());
    EXPECT_EQ(toggle->grab().toImage().pixelColor(8, 12), Theme::systemBlue());
    // The counts are read again at the next change of the switch, not as events come.
    for (int i = 0; i < 60; ++i)
        diagnostics.log(QStringLiteral("event"));
    EXPECT_LT(diag.eventCount(), DiagnosticsManager::ringCapacity);
    toggle->click();
    EXPECT_EQ(diag.eventCount(), DiagnosticsManager::ringCapacity);
    EXPECT_FALSE(settings.get(Settings::diagnosticsEnabled));
    EXPECT_FALSE(diag.countsShown());

    // Export works with diagnostics off; a second press within the second asks nothing.
    sim.fileDialogs.deferAnswers = true;
    auto *exportButton = diag.findChild<QAbstractButton *>("export");
    exportButton->click();
    EXPECT_FALSE(exportButton->isEnabled());
    diag.exportDiagnostics();
    EXPECT_EQ(sim.fileDialogs.saveRequests.size(), 1);
    scheduler.advance(0.9);
    EXPECT_FALSE(exportButton->isEnabled());
    scheduler.advance(0.1);
    EXPECT_TRUE(exportButton->isEnabled()) << "the dialog is still open, the button rests from the press";
    exportButton->click();
    EXPECT_EQ(sim.fileDialogs.saveRequests.size(), 2);
}

// Emoji in a copied text or a name drew as boxes: the interface font falls back to the colour emoji
// font in every language.
TEST_F(SettingsWindowTest, EmojiDrawInColourInEveryLanguage)
{
    for (const AppLanguage language : {AppLanguage::english, AppLanguage::german, AppLanguage::japanese}) {
        settings.set(Settings::appLanguage, rawValue(language));
        QWidget holder;
        holder.setAttribute(Qt::WA_DontShowOnScreen);
        auto *label = new QLabel(u"Grüße 👋 aus Köln 🍕"_qs, &holder);
        label->setFont(Theme::systemFont(20));
        label->adjustSize();
        holder.resize(label->size());
        EXPECT_EQ(cutTexts(holder).join(u'\n').toStdString(), "") << qPrintable(rawValue(language));
        QImage seen(holder.size(), QImage::Format_ARGB32_Premultiplied);
        seen.fill(Qt::black);
        holder.render(&seen);
        int coloured = 0; // the waving hand is yellow; the text is grey
        for (int y = 0; y < seen.height(); ++y) {
            for (int x = 0; x < seen.width(); ++x) {
                const QColor c = seen.pixelColor(x, y);
                coloured += c.red() > 180 && c.green() > 120 && c.blue() < 90;
            }
        }
        EXPECT_GT(coloured, 20) << qPrintable(rawValue(language));
    }
}

// Choosing a language from the language row, below the page's top, scrolled the rebuilt page back
// to its top; it stays where the user was reading.
TEST_F(SettingsWindowTest, ALiveLanguageChangeKeepsThePagesPlace)
{
    SettingsView &view = open();
    view.resize(750, 820);
    view.show();
    auto &general = page<GeneralSettingsSection>(view, SettingsTab::general);
    QCoreApplication::processEvents();
    QScrollBar *scroll = view.findChild<QScrollArea *>("pageScroll")->verticalScrollBar();
    ASSERT_GT(scroll->maximum(), 100);
    scroll->setValue(scroll->maximum() - 20);
    const int place = scroll->value();
    general.chooseLanguage(AppLanguage::german);
    scheduler.runPending();
    QCoreApplication::processEvents();
    EXPECT_EQ(view.headerTitle(), "Allgemein");
    EXPECT_EQ(scroll->value(), place);
    saveScreenshot(view, QStringLiteral("settings_general_de_after_language_change"));
}

TEST_F(SettingsWindowTest, ContactFormNamesTheFirstEmptyFieldThenHandsTheMailtoURLOverEachPress)
{
    settings.set(Settings::appLanguage, QStringLiteral("Deutsch"));
    SettingsView &view = open();
    view.resize(750, 820);
    auto *contact = &page<ContactSection>(view, SettingsTab::contact);
    auto *send = contact->findChild<QAbstractButton *>("send");
    send->click();
    EXPECT_EQ(contact->validationError(), Localization::text("contact_validation_name", AppLanguage::german));
    QTest::keyClicks(contact->nameField(), " Kim ");
    send->click();
    EXPECT_EQ(contact->validationError(),
              Localization::text("contact_validation_email", AppLanguage::german));
    EXPECT_TRUE(openedURLs.isEmpty());

    QTest::keyClicks(contact->emailField(), "kim@example.org");
    QTest::keyClicks(contact->messageField(), "a&b=c");
    contact->findChild<QAbstractButton *>("chip_bug")->click();
    contact->setAttachment(QStringLiteral("/tmp/report.txt"));
    send->click();
    send->click();
    EXPECT_TRUE(contact->validationError().isEmpty());
    const QUrl expected =
        ContactSection::mailtoURL("[Quorvantis] Bug Report from  Kim ",
                                  "Name:  Kim \nEmail: kim@example.org\nCategory: Bug Report\n\na&b=c");
    EXPECT_EQ(openedURLs, (QList<QUrl>{expected, expected}));

    // Coming back starts an empty form on the first category.
    view.selectTab(SettingsTab::about);
    contact = &page<ContactSection>(view, SettingsTab::contact);
    EXPECT_TRUE(contact->nameField()->text().isEmpty());
    EXPECT_EQ(contact->selectedCategory(), ContactSection::ContactCategory::question);
    EXPECT_TRUE(contact->attachment().isEmpty());
}

TEST_F(SettingsWindowTest, AboutShowsTheVersionAndItsOrbitTurnsOnlyWhileShownAndKeepsTheLastEnteredAvatar)
{
    const QString version = QCoreApplication::applicationVersion();
    QCoreApplication::setApplicationVersion(QString());
    SettingsView &view = open();
    view.resize(750, 820);
    auto &about = page<AboutSection>(view, SettingsTab::about);
    EXPECT_EQ(about.findChild<QLabel *>("version")->text(), QString::fromUtf8("Version \u2013"));
    EXPECT_EQ(about.findChild<QLabel *>("supportLabel")->text(), "SUPPORT");
    about.findChild<QAbstractButton *>("website")->click();
    EXPECT_EQ(openedURLs, QList<QUrl>{AboutSection::websiteURL()});
    QCoreApplication::setApplicationVersion(version);

    // At rotation 0 the members sit above, right of, below and left of the centre.
    const QPointF places[] = {{0, -90}, {90, 0}, {0, 90}, {-90, 0}};
    for (int i = 0; i < 4; ++i) {
        const QPointF at = TeamOrbitView::avatarOffset(i, 0);
        EXPECT_NEAR(at.x(), places[i].x(), 1e-9);
        EXPECT_NEAR(at.y(), places[i].y(), 1e-9);
    }
    TeamOrbitView &orbit = *about.orbit();
    EXPECT_TRUE(orbit.isOrbitAnimating());
    const double start = orbit.rotation(); // it turns from the page's first showing
    scheduler.advance(TeamOrbitView::revolutionSeconds / 4);
    EXPECT_NEAR(orbit.rotation(), start + 90, 1.0);
    orbit.startOrbit();
    EXPECT_NEAR(orbit.rotation(), start + 90, 1.0) << "a second start neither jumps nor restarts";

    // The neighbour's entry may come before the first avatar's exit.
    const QList<TeamMember> team = orbit.team();
    orbit.hoverChanged(true, team[0]);
    orbit.hoverChanged(true, team[1]);
    orbit.hoverChanged(false, team[0]);
    ASSERT_TRUE(orbit.hoveredMember());
    EXPECT_EQ(orbit.hoveredMember()->name, team[1].name);
    saveScreenshot(orbit, QStringLiteral("settings_about_orbit_hovered"));

    // Leaving the page stops the ring; coming back starts it from 0 with nobody shown.
    orbit.stopOrbit();
    EXPECT_FALSE(orbit.hoveredMember());
    EXPECT_EQ(orbit.rotation(), 0);
    orbit.startOrbit();
    EXPECT_EQ(orbit.rotation(), 0);
    scheduler.advance(TeamOrbitView::revolutionSeconds / 2);
    EXPECT_NEAR(orbit.rotation(), 180, 1.0);
}
