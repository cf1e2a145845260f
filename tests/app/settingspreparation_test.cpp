#include <gtest/gtest.h>

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include "app/quorvantisapp.h"
#include "core/settingsstore.h"
#include "platform/loginitem.h"
#include "platform/sim/simdesktop.h"
#include "runtime/manualscheduler.h"
#include "runtime/workqueue.h"
#include "support/fakeshellparts.h"
#include "support/recordingeventlog.h"

using namespace qv;

namespace {

// A login item that writes its calls into the same log as the store's writes, so the order of the
// preparation steps can be read off one list.
class LoggingLoginItem final : public LoginItemService
{
public:
    explicit LoggingLoginItem(QStringList &log) : m_log(log) {}
    int status() const override { return m_status; }
    QString registerItem() override
    {
        m_log.append(QStringLiteral("register"));
        m_status = statusEnabled;
        return {};
    }
    QString unregisterItem() override
    {
        m_log.append(QStringLiteral("unregister"));
        m_status = 0;
        return {};
    }

private:
    QStringList &m_log;
    int m_status = 0;
};

} // namespace

TEST(SettingsPreparation, FirstLaunchStoresTheMenuBarIconAndRegistersTheLoginItem)
{
    SettingsStore store;
    SimLoginItem loginItem;
    QuorvantisApp::prepareSettings(store, loginItem);

    EXPECT_EQ(store.storedValues(), QVariantMap({{"showMenuBarIcon", true}}));
    EXPECT_TRUE(store.get(Settings::launchAtLogin)); // registered, not stored
    EXPECT_EQ(loginItem.calls, QStringList({"register"}));
    EXPECT_FALSE(store.contains(Settings::appLanguage));
}

TEST(SettingsPreparation, StepsRunInOrder)
{
    SettingsStore store;
    store.set(Settings::appLanguage, QStringLiteral("Deutsch"));
    store.set(Settings::isRecordingShortcut, true);
    QStringList log;
    QObject::connect(&store, &SettingsStore::changed, [&](const QString &key) { log.append(key); });
    LoggingLoginItem loginItem(log);

    QuorvantisApp::prepareSettings(store, loginItem);
    EXPECT_EQ(log, QStringList({"showMenuBarIcon", "register", "appLanguage", "isRecordingShortcut"}));
}

TEST(SettingsPreparation, StoredChoicesAreKept)
{
    SettingsStore store;
    store.set(Settings::showMenuBarIcon, false);
    store.set(Settings::launchAtLogin, false);
    store.set(Settings::hasUserChosenAppLanguage, true);
    store.set(Settings::appLanguage, QStringLiteral("Deutsch"));
    SimLoginItem loginItem;
    loginItem.setStatus(LoginItemService::statusEnabled);

    QuorvantisApp::prepareSettings(store, loginItem);
    EXPECT_FALSE(store.get(Settings::showMenuBarIcon));
    EXPECT_EQ(store.get(Settings::appLanguage), "Deutsch");
    EXPECT_EQ(loginItem.calls, QStringList({"unregister"}));
}

struct LanguageCase
{
    const char *name;
    QVariant chosen;   // "hasUserChosenAppLanguage", invalid: not stored
    QVariant language; // "appLanguage", invalid: not stored
    QVariant expected; // invalid: still not stored
    bool written;
};

class LanguageReset : public ::testing::TestWithParam<LanguageCase>
{
};

TEST_P(LanguageReset, OnlyAnUnchosenStoredLanguageIsReset)
{
    const LanguageCase &c = GetParam();
    SettingsStore store;
    if (c.chosen.isValid())
        store.setValue("hasUserChosenAppLanguage", c.chosen);
    if (c.language.isValid())
        store.setValue("appLanguage", c.language);
    int languageWrites = 0;
    QObject::connect(&store, &SettingsStore::changed,
                     [&](const QString &key) { languageWrites += key == QLatin1String("appLanguage"); });
    SimLoginItem loginItem;

    QuorvantisApp::prepareSettings(store, loginItem);
    EXPECT_EQ(store.contains("appLanguage") ? store.value("appLanguage") : QVariant(), c.expected);
    EXPECT_EQ(languageWrites, c.written ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LanguageReset,
    ::testing::Values(LanguageCase{"UnchosenGerman", false, "Deutsch", "System Default", true},
                      LanguageCase{"ChoiceFlagAbsent", QVariant(), "Français", "System Default", true},
                      LanguageCase{"ChosenGerman", true, "Deutsch", "Deutsch", false},
                      LanguageCase{"NothingStored", false, QVariant(), QVariant(), false},
                      LanguageCase{"AlreadySystemDefault", false, "System Default", "System Default", false}),
    [](const auto &info) { return std::string(info.param.name); });

// A shortcut recorder sets "isRecordingShortcut" while it records and hotkeys are ignored meanwhile.
// When the application died during a recording the flag stayed true, and every hotkey stayed dead on
// every later launch.
TEST(SettingsPreparation, RecordingFlagLeftByACrashNoLongerDisablesHotkeys)
{
    SettingsStore store;
    store.set(Settings::isRecordingShortcut, true);
    SimLoginItem loginItem;
    QuorvantisApp::prepareSettings(store, loginItem);
    EXPECT_FALSE(store.get(Settings::isRecordingShortcut));

    SettingsStore fresh;
    QuorvantisApp::prepareSettings(fresh, loginItem);
    EXPECT_FALSE(fresh.contains(Settings::isRecordingShortcut)); // nothing written when nothing was set
}

TEST(SettingsPreparation, CorruptSettingsFileStartsOnDefaults)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Quorvantis/defaults.json");
    ASSERT_TRUE(QDir().mkpath(dir.filePath("Quorvantis")));
    QFile garbage(path);
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    garbage.write("\x01{\"showMenuBarIcon\": fal");
    garbage.close();

    SettingsStore store(path);
    SimDesktop desktop;
    ManualScheduler scheduler;
    SchedulerQueueFactory queues(scheduler);
    RecordingEventLog events;
    QuorvantisApp app(desktop.platform(), scheduler, queues, store, events, FakeShellParts().take());

    EXPECT_TRUE(QFile::exists(store.quarantinedPath()));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(QJsonDocument::fromJson(file.readAll()).object().toVariantMap(),
              QVariantMap({{"showMenuBarIcon", true}}));
    EXPECT_EQ(desktop.loginItem.calls, QStringList({"register"}));
}
