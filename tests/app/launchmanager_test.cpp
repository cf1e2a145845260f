#include <gtest/gtest.h>

#include <QStringList>

#include "app/launchmanager.h"
#include "app/quorvantisapp.h"
#include "core/settingsstore.h"
#include "platform/sim/simdesktop.h"
#include "support/consolecapture.h"

using namespace qv;

namespace {

struct LoginCase
{
    const char *name;
    int status;
    bool wish;
    const char *failure;
    QStringList calls;
    QStringList lines;
    int statusAfter;
};

class LaunchAtLogin : public ::testing::TestWithParam<LoginCase>
{
};

} // namespace

TEST_P(LaunchAtLogin, ChangesTheLoginItemOnlyWhenItDiffersFromTheWish)
{
    const LoginCase &c = GetParam();
    SimLoginItem loginItem;
    loginItem.setStatus(c.status);
    loginItem.failWith(QString::fromUtf8(c.failure));
    qv::test::ConsoleCapture console;

    LaunchManager::setLaunchAtLogin(loginItem, c.wish);
    EXPECT_EQ(loginItem.calls, c.calls);
    EXPECT_EQ(console.lines(), c.lines);
    EXPECT_EQ(loginItem.status(), c.statusAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LaunchAtLogin,
    ::testing::Values(
        LoginCase{"EnableWhenOff", 0, true, "", {"register"}, {"✅ 开机自启已启用"}, 1},
        LoginCase{"EnableWhileAwaitingApproval", 2, true, "", {"register"}, {"✅ 开机自启已启用"}, 1},
        LoginCase{"EnableWhenOn", 1, true, "", {}, {}, 1},
        LoginCase{"DisableWhenOff", 0, false, "", {}, {}, 0},
        LoginCase{"DisableWhileAwaitingApproval", 2, false, "", {}, {}, 2},
        LoginCase{"DisableWhenOn", 1, false, "", {"unregister"}, {"✅ 开机自启已禁用"}, 0},
        LoginCase{"EnableFails", 0, true, "denied", {"register"}, {"❌ 开机自启设置失败: denied"}, 0},
        LoginCase{"DisableFails", 1, false, "busy", {"unregister"}, {"❌ 开机自启设置失败: busy"}, 1}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(LaunchAtLoginAcrossLaunches, FailedRegistrationKeepsTheWishAndTheNextLaunchRetries)
{
    SettingsStore store;
    SimLoginItem loginItem;
    loginItem.failWith(QStringLiteral("not allowed"));
    QuorvantisApp::prepareSettings(store, loginItem);
    EXPECT_TRUE(store.get(Settings::launchAtLogin));
    EXPECT_NE(loginItem.status(), LoginItemService::statusEnabled);

    QuorvantisApp::prepareSettings(store, loginItem);
    EXPECT_EQ(loginItem.calls, QStringList({"register", "register"}));
    EXPECT_EQ(loginItem.status(), LoginItemService::statusEnabled);
}
