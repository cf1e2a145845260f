#include <QTest>

#include <gtest/gtest.h>

#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>

#include "app/onboardingcontroller.h"
#include "core/settingsstore.h"
#include "platform/sim/simdesktop.h"
#include "platform/x11/x11connection.h"
#include "runtime/qtscheduler.h"
#include "views/onboarding/onboardingview.h"
#include "support/x11clients.h"

using namespace qv;

// The window manager closes the onboarding as it would after Alt+F4 (_NET_CLOSE_WINDOW): the
// window is gone, its permission monitor stops asking, and the next showOnboarding opens it again.
TEST(OnboardingX11Test, AWindowManagersCloseEndsTheOnboardingAndItCanOpenAgain)
{
    X11Connection connection;
    ASSERT_TRUE(connection.isValid());
    SimPermissions permissions;
    permissions.inputMonitoring = false;
    SettingsStore settings;
    QtScheduler scheduler;
    OnboardingController controller(permissions, settings, scheduler, [] {});

    controller.showOnboarding();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return controller.window() && controller.window()->isVisible(); }, 3000));
    const xcb_window_t window = xcb_window_t(controller.window()->winId());
    // Only a window the window manager has framed is closed by it.
    ASSERT_TRUE(QTest::qWaitFor([&] { return X11Clients::isFramed(window); }, 10000));
    xcb_ewmh_request_close_window(connection.ewmh(), connection.screenNumber(), window, XCB_CURRENT_TIME,
                                  XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER);
    xcb_flush(connection.xcb());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !controller.isOpen(); }, 3000));

    const qsizetype probes = permissions.probes.size();
    QTest::qWait(1200);
    EXPECT_EQ(permissions.probes.size(), probes) << "the permission monitor still polls";

    controller.showOnboarding();
    ASSERT_TRUE(controller.isOpen());
    EXPECT_TRUE(QTest::qWaitFor([&] { return controller.window()->isVisible(); }, 3000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return permissions.probes.size() > probes; }, 3000));

    controller.closeOnboarding();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !controller.isOpen(); }, 3000));
}
