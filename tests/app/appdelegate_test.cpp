#include <gtest/gtest.h>

#include <memory>

#include "app/appdelegate.h"
#include "core/settingsstore.h"
#include "platform/sim/simdesktop.h"
#include "runtime/manualscheduler.h"
#include "runtime/workqueue.h"
#include "support/fakeshellparts.h"
#include "support/recordingeventlog.h"
#include "windows/windowengine.h"

using namespace qv;

namespace {

class AppDelegateTest : public ::testing::Test
{
protected:
    AppDelegateTest()
    {
        desktop.addDefaultScreen();
        delegate = std::make_unique<AppDelegate>(desktop.platform(), scheduler, queues, settings, events,
                                                 parts.take());
    }

    // The start-up sequence with the turn of the event loop that builds the services.
    void launch()
    {
        delegate->applicationDidFinishLaunching();
        scheduler.runPending();
    }

    bool menuFlag() const { return delegate->windowEngine()->isContextMenuOpen(); }

    SimDesktop desktop;
    ManualScheduler scheduler;
    SchedulerQueueFactory queues{scheduler};
    SettingsStore settings;
    RecordingEventLog events;
    FakeShellParts parts;
    std::unique_ptr<AppDelegate> delegate;
};

const QStringList allProbes = {"screenCapture", "accessibility", "inputMonitoring"};

} // namespace

TEST_F(AppDelegateTest, LaunchStartsTheServicesAndBindsThePanelsToThem)
{
    // The settings window learns of the Dock monitor from this signal: without it the Shortcuts page
    // never says that another program holds a shortcut.
    QList<DockMonitor *> monitorsAtStart;
    QObject::connect(delegate.get(), &AppDelegate::servicesStarted, delegate.get(),
                     [this, &monitorsAtStart] { monitorsAtStart.append(delegate->dockMonitor()); });
    EXPECT_EQ(delegate->dockMonitor(), nullptr);
    launch();
    EXPECT_EQ(monitorsAtStart, QList<DockMonitor *>{delegate->dockMonitor()});

    EXPECT_TRUE(desktop.application.darkAppearance);
    EXPECT_EQ(parts.relocation->calls, QStringList({"isInApplicationsFolder", "terminateOtherInstances"}));
    ASSERT_NE(delegate->dockMonitor(), nullptr);
    ASSERT_NE(delegate->windowEngine(), nullptr);
    // The panels exist before they follow the services, and the pointer check starts last.
    EXPECT_EQ(parts.overlay->calls,
              QStringList({"setupOverlayWindow", "setupGlobalOverlayWindow", "setupPeekingWindow",
                           "setupBindings", "startMouseCheckTimer"}));
    EXPECT_EQ(parts.overlay->boundMonitor, delegate->dockMonitor());
    EXPECT_EQ(parts.overlay->boundEngine, delegate->windowEngine());
    EXPECT_EQ(parts.statusItem->setupCount, 1);
    EXPECT_EQ(desktop.permissions.probes, allProbes);
    EXPECT_FALSE(parts.onboarding->isOpen());
    EXPECT_EQ(desktop.application.terminateCount, 0);
}

struct RelocationCase
{
    const char *name;
    Relocator::MoveAnswer answer;
    QStringList relocationCalls;
    int terminations;
    bool servicesCreated;
};

class AppDelegateRelocation : public AppDelegateTest, public ::testing::WithParamInterface<RelocationCase>
{
};

TEST_P(AppDelegateRelocation, AnswerToTheMoveQuestionDecidesWhetherServicesStart)
{
    const RelocationCase &c = GetParam();
    parts.relocation->inApplicationsFolder = false;
    parts.relocation->answer = c.answer;
    int started = 0;
    QObject::connect(delegate.get(), &AppDelegate::servicesStarted, delegate.get(),
                     [&started] { ++started; });
    launch();
    EXPECT_EQ(started, c.servicesCreated ? 1 : 0);

    EXPECT_EQ(parts.relocation->calls, c.relocationCalls);
    EXPECT_EQ(desktop.application.terminateCount, c.terminations);
    EXPECT_EQ(delegate->dockMonitor() != nullptr, c.servicesCreated);
    EXPECT_EQ(delegate->windowEngine() != nullptr, c.servicesCreated);
    EXPECT_EQ(desktop.permissions.probes.isEmpty(), !c.servicesCreated);
    // After a quit or a move nothing else starts: no panel, no status item, no observer.
    EXPECT_EQ(parts.overlay->calls.isEmpty(), !c.servicesCreated);
    EXPECT_EQ(parts.statusItem->setupCount, c.servicesCreated ? 1 : 0);
    desktop.application.resignActive();
    scheduler.runPending();
    EXPECT_EQ(parts.overlay->calls.contains("hideOverlay(force)"), c.servicesCreated);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, AppDelegateRelocation,
    ::testing::Values(
        RelocationCase{"Quit",
                       Relocator::MoveAnswer::quit,
                       {"isInApplicationsFolder", "askToMoveToApplications"},
                       1,
                       false},
        RelocationCase{"Move",
                       Relocator::MoveAnswer::move,
                       {"isInApplicationsFolder", "askToMoveToApplications", "moveToApplications"},
                       0,
                       false},
        RelocationCase{"NotNow",
                       Relocator::MoveAnswer::notNow,
                       {"isInApplicationsFolder", "askToMoveToApplications", "terminateOtherInstances"},
                       0,
                       true}),
    [](const auto &info) { return std::string(info.param.name); });

struct PermissionCase
{
    const char *name;
    bool screenCapture, accessibility, inputMonitoring;
    bool onboarding;
};

class AppDelegatePermissions : public AppDelegateTest, public ::testing::WithParamInterface<PermissionCase>
{
};

TEST_P(AppDelegatePermissions, AllThreeProbesRunAndAnyRefusalOpensOnboarding)
{
    const PermissionCase &c = GetParam();
    desktop.permissions.screenCapture = c.screenCapture;
    desktop.permissions.accessibility = c.accessibility;
    desktop.permissions.inputMonitoring = c.inputMonitoring;
    launch();

    EXPECT_EQ(desktop.permissions.probes, allProbes);
    EXPECT_EQ(parts.onboarding->openCount, c.onboarding ? 1 : 0);
    // The services come up whatever the permissions, and the shell keeps following the desktop.
    EXPECT_NE(delegate->dockMonitor(), nullptr);
    desktop.application.resignActive();
    scheduler.runPending();
    EXPECT_TRUE(parts.overlay->calls.endsWith("hideOverlay(force)"));
}

INSTANTIATE_TEST_SUITE_P(Cases, AppDelegatePermissions,
                         ::testing::Values(PermissionCase{"AllGranted", true, true, true, false},
                                           PermissionCase{"InputMonitoringRefused", true, true, false, true},
                                           PermissionCase{"ScreenCaptureRefused", false, true, true, true},
                                           PermissionCase{"AccessibilityRefused", true, false, true, true},
                                           PermissionCase{"NothingGranted", false, false, false, true}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(AppDelegateTest, MenuFlagFollowsTrackingOnALaterTurnAndOutlivesItByOneAndAHalfSeconds)
{
    launch();
    desktop.application.beginMenu();
    EXPECT_FALSE(menuFlag()); // never inside the notification
    scheduler.runPending();
    EXPECT_TRUE(menuFlag());

    desktop.application.endMenu();
    scheduler.advance(1.499);
    EXPECT_TRUE(menuFlag());
    scheduler.advance(0.002);
    EXPECT_FALSE(menuFlag());
}

// Two menus overlapping in time (a card's menu and its submenu): the first one's end used to clear
// the flag 1.5 s later while the second was still open, so the bubble hid under an open menu.
TEST_F(AppDelegateTest, MenuFlagStaysWhileAnyMenuIsOpenAndClearsAfterTheLastCloses)
{
    launch();
    desktop.application.beginMenu();
    desktop.application.beginMenu(); // the submenu
    scheduler.runPending();
    desktop.application.endMenu(); // the submenu closes at t = 0
    scheduler.advance(5);
    EXPECT_TRUE(menuFlag());

    desktop.application.endMenu(); // the last menu closes at t = 5
    scheduler.advance(1.499);
    EXPECT_TRUE(menuFlag());
    scheduler.advance(0.002);
    EXPECT_FALSE(menuFlag());
}

TEST_F(AppDelegateTest, AMenuOpenedDuringTheGraceVoidsTheReset)
{
    launch();
    desktop.application.beginMenu();
    scheduler.runPending();
    desktop.application.endMenu(); // first menu closes at t = 0
    scheduler.advance(0.5);
    desktop.application.beginMenu(); // second opens at t = 0.5 and stays open
    scheduler.runPending();
    scheduler.advance(3);
    EXPECT_TRUE(menuFlag());

    desktop.application.endMenu();
    scheduler.advance(1.501);
    EXPECT_FALSE(menuFlag());
}

TEST_F(AppDelegateTest, ResigningActiveHidesTheBubbleWithForceOnALaterTurn)
{
    launch();
    const QStringList setup = parts.overlay->calls;
    desktop.application.beginMenu(); // a context menu being open does not hold a forced hide back
    scheduler.runPending();

    desktop.application.resignActive();
    EXPECT_EQ(parts.overlay->calls, setup);
    scheduler.runPending();
    EXPECT_EQ(parts.overlay->calls, setup + QStringList({"hideOverlay(force)"}));

    desktop.application.resignActive();
    desktop.application.resignActive();
    scheduler.runPending();
    EXPECT_EQ(parts.overlay->calls.count("hideOverlay(force)"), 3);
}

// Observers and delayed work hold the delegate weakly: work that falls due after it is gone, and
// notifications sent after that, must do nothing instead of reaching a destroyed engine.
TEST_F(AppDelegateTest, CallbacksAfterTheDelegateIsGoneDoNothing)
{
    launch();
    desktop.application.beginMenu();
    desktop.application.endMenu();
    desktop.application.resignActive();
    delegate.reset();

    scheduler.advance(2.0);
    desktop.application.beginMenu();
    desktop.application.endMenu();
    desktop.application.resignActive();
    scheduler.advance(2.0);
    SUCCEED();
}
