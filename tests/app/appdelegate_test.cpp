#include <gtest/gtest.h>

#include <memory>

#include "app/appdelegate.h"
#include "app/relocation.h"
#include "app/services/onboarding.h"
#include "app/settingsstore.h"
#include "app/statusitemcontroller.h"
#include "dock/overlaycontroller.h"
#include "platform/manualscheduler.h"
#include "platform/sim/simdesktop.h"
#include "platform/workqueue.h"
#include "windows/windowengine.h"

using namespace qv;

namespace {

class AppDelegateTest : public ::testing::Test
{
protected:
    AppDelegateTest()
    {
        desktop.addDefaultScreen();
        delegate = std::make_unique<AppDelegate>(desktop.platform(), scheduler, queues, settings);
    }

    bool menuFlag() const { return delegate->windowEngine()->isContextMenuOpen(); }

    SimDesktop desktop;
    ManualScheduler scheduler;
    SchedulerQueueFactory queues{scheduler};
    SettingsStore settings;
    std::unique_ptr<AppDelegate> delegate;
};

const QStringList allProbes = {"screenCapture", "accessibility", "inputMonitoring"};

} // namespace

TEST_F(AppDelegateTest, LaunchRunsEveryStepInOrder)
{
    delegate->applicationDidFinishLaunching();

    EXPECT_EQ(delegate->launchTrace(),
              QStringList({"setDarkAppearance", "relocation", "terminateOtherInstances", "createDockMonitor",
                           "createWindowEngine", "setupOverlay", "observeMenuTracking", "setupStatusItem",
                           "checkPermissions", "observeResignActive"}));
    EXPECT_TRUE(desktop.application.darkAppearance);
    EXPECT_EQ(delegate->relocation().calls,
              QStringList({"isInApplicationsFolder", "terminateOtherInstances"}));
    EXPECT_NE(delegate->dockMonitor(), nullptr);
    EXPECT_NE(delegate->windowEngine(), nullptr);
    EXPECT_EQ(delegate->overlayController().calls,
              QStringList({"setupOverlayWindow", "setupGlobalOverlayWindow", "setupPeekingWindow",
                           "setupBindings", "startMouseCheckTimer"}));
    EXPECT_EQ(delegate->statusItemController().setupCount, 1);
    EXPECT_EQ(desktop.permissions.probes, allProbes);
    EXPECT_EQ(delegate->onboarding().openCount, 0);
    EXPECT_EQ(desktop.application.terminateCount, 0);
}

struct RelocationCase
{
    const char *name;
    Relocation::MoveAnswer answer;
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
    delegate->relocation().inApplicationsFolder = false;
    delegate->relocation().answer = c.answer;
    delegate->applicationDidFinishLaunching();

    EXPECT_EQ(delegate->relocation().calls, c.relocationCalls);
    EXPECT_EQ(desktop.application.terminateCount, c.terminations);
    EXPECT_EQ(delegate->dockMonitor() != nullptr, c.servicesCreated);
    EXPECT_EQ(delegate->windowEngine() != nullptr, c.servicesCreated);
    EXPECT_EQ(desktop.permissions.probes.isEmpty(), !c.servicesCreated);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, AppDelegateRelocation,
    ::testing::Values(
        RelocationCase{"Quit",
                       Relocation::MoveAnswer::quit,
                       {"isInApplicationsFolder", "askToMoveToApplications"},
                       1,
                       false},
        RelocationCase{"Move",
                       Relocation::MoveAnswer::move,
                       {"isInApplicationsFolder", "askToMoveToApplications", "moveToApplications"},
                       0,
                       false},
        RelocationCase{"NotNow",
                       Relocation::MoveAnswer::notNow,
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
    delegate->applicationDidFinishLaunching();

    EXPECT_EQ(desktop.permissions.probes, allProbes);
    EXPECT_EQ(delegate->onboarding().openCount, c.onboarding ? 1 : 0);
    // The services come up whatever the permissions.
    EXPECT_NE(delegate->dockMonitor(), nullptr);
    EXPECT_TRUE(delegate->launchTrace().endsWith("observeResignActive"));
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
    delegate->applicationDidFinishLaunching();
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

TEST_F(AppDelegateTest, OverlappingMenusAreClearedByTheFirstReset)
{
    delegate->applicationDidFinishLaunching();
    desktop.application.beginMenu();
    scheduler.runPending();
    desktop.application.endMenu(); // first menu closes at t = 0
    scheduler.advance(0.5);
    desktop.application.beginMenu(); // second opens at t = 0.5 and stays open
    scheduler.runPending();
    EXPECT_TRUE(menuFlag());

    scheduler.advance(0.999);
    EXPECT_TRUE(menuFlag());
    scheduler.advance(0.002); // t = 1.501: the first reset clears the flag though a menu is open
    EXPECT_FALSE(menuFlag());

    scheduler.advance(5);
    desktop.application.endMenu();
    scheduler.runPending();
    EXPECT_FALSE(menuFlag());
}

TEST_F(AppDelegateTest, ResigningActiveHidesTheBubbleWithForceOnALaterTurn)
{
    delegate->applicationDidFinishLaunching();
    const QStringList setup = delegate->overlayController().calls;
    desktop.application.beginMenu(); // a context menu being open does not hold a forced hide back
    scheduler.runPending();

    desktop.application.resignActive();
    EXPECT_EQ(delegate->overlayController().calls, setup);
    scheduler.runPending();
    EXPECT_EQ(delegate->overlayController().calls, setup + QStringList({"hideOverlay(force)"}));

    desktop.application.resignActive();
    desktop.application.resignActive();
    scheduler.runPending();
    EXPECT_EQ(delegate->overlayController().calls.count("hideOverlay(force)"), 3);
}

// Observers and delayed work hold the delegate weakly: work that falls due after it is gone, and
// notifications sent after that, must do nothing instead of reaching a destroyed engine.
TEST_F(AppDelegateTest, CallbacksAfterTheDelegateIsGoneDoNothing)
{
    delegate->applicationDidFinishLaunching();
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
