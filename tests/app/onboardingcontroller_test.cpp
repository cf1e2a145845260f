#include <gtest/gtest.h>

#include <QCoreApplication>

#include "app/onboardingcontroller.h"
#include "core/settingsstore.h"
#include "platform/sim/simdesktop.h"
#include "runtime/manualscheduler.h"
#include "views/onboarding/finalslide.h"
#include "views/onboarding/slidebutton.h"

using namespace qv;

namespace {

class OnboardingControllerTest : public ::testing::Test
{
protected:
    OnboardingControllerTest() { permissions.inputMonitoring = false; }

    SimPermissions permissions;
    SettingsStore settings;
    ManualScheduler scheduler;
    int relaunches = 0;
    OnboardingController controller{permissions, settings, scheduler, [this] { ++relaunches; }};
};

} // namespace

TEST_F(OnboardingControllerTest, OpensOnceFadingInAndASecondShowChangesNothing)
{
    controller.showOnboarding();
    ASSERT_TRUE(controller.isOpen());
    OnboardingView *window = controller.window();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->size(), QSize(600, 450));
    EXPECT_TRUE(window->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_DOUBLE_EQ(controller.windowAlpha(), 0.0);
    scheduler.advance(0.15);
    EXPECT_GT(controller.windowAlpha(), 0.2);
    EXPECT_LT(controller.windowAlpha(), 0.8);
    controller.showOnboarding();
    EXPECT_EQ(controller.window(), window);
    scheduler.advance(0.2);
    EXPECT_DOUBLE_EQ(controller.windowAlpha(), 1.0);
}

TEST_F(OnboardingControllerTest, TheFinalButtonFadesTheWindowOutAndDropsIt)
{
    controller.showOnboarding();
    scheduler.advance(0.3);
    OnboardingView *window = controller.window();
    window->setCurrentTab(4);
    window->finalSlide()->button()->click();
    scheduler.advance(0.38 + 0.2); // the content has gone; the window is fading
    ASSERT_TRUE(controller.isOpen());
    EXPECT_LT(controller.windowAlpha(), 1.0);
    EXPECT_GT(controller.windowAlpha(), 0.0);
    scheduler.advance(0.2);
    EXPECT_FALSE(controller.isOpen());
    EXPECT_DOUBLE_EQ(controller.windowAlpha(), 0.0);

    // Nothing records the walk-through: the next show opens a new window.
    controller.showOnboarding();
    EXPECT_TRUE(controller.isOpen());
}

// A close by the window manager used to hide the window and leave it open: its permission monitor
// kept polling for the rest of the run and a later showOnboarding did nothing.
TEST_F(OnboardingControllerTest, AWindowManagersCloseDropsTheWindowAndItsMonitor)
{
    controller.showOnboarding();
    scheduler.advance(0.3);
    controller.window()->close(); // what the window manager's close request becomes
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(controller.isOpen());
    const qsizetype probes = permissions.probes.size();
    scheduler.advance(2.0);
    EXPECT_EQ(permissions.probes.size(), probes);

    controller.showOnboarding();
    ASSERT_TRUE(controller.isOpen());
    EXPECT_TRUE(controller.window()->isVisible());
    scheduler.advance(0.6);
    EXPECT_GT(permissions.probes.size(), probes);
}
