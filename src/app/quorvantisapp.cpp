#include "app/quorvantisapp.h"

#include "app/appdelegate.h"
#include "app/launchmanager.h"
#include "core/settingsstore.h"

namespace qv {

namespace {
const QString systemDefaultLanguage = QStringLiteral("System Default");
}

QuorvantisApp::QuorvantisApp(const Platform &platform, Scheduler &scheduler, WorkQueueFactory &queues,
                             SettingsStore &settings, EventLog &eventLog, ShellParts parts)
{
    prepareSettings(settings, *platform.loginItem);
    m_appDelegate = std::make_unique<AppDelegate>(platform, scheduler, queues, settings, eventLog,
                                                  std::move(parts));
}

QuorvantisApp::~QuorvantisApp() = default;

void QuorvantisApp::prepareSettings(SettingsStore &settings, LoginItemService &loginItem)
{
    settings.registerDefaults({{Settings::launchAtLogin.key(), Settings::launchAtLogin.defaultValue},
                               {Settings::showMenuBarIcon.key(), Settings::showMenuBarIcon.defaultValue}});

    if (!settings.contains(Settings::showMenuBarIcon))
        settings.set(Settings::showMenuBarIcon, true);

    LaunchManager::setLaunchAtLogin(loginItem, settings.get(Settings::launchAtLogin));

    if (!settings.get(Settings::hasUserChosenAppLanguage) && settings.contains(Settings::appLanguage) &&
        settings.get(Settings::appLanguage) != systemDefaultLanguage)
        settings.set(Settings::appLanguage, systemDefaultLanguage);

    // Hotkeys are ignored while a recorder runs. A recorder that never stopped (the application
    // crashed or was killed meanwhile) would otherwise leave every hotkey dead on every later launch;
    // no recorder can be running yet, so the flag is always stale here.
    if (settings.get(Settings::isRecordingShortcut))
        settings.set(Settings::isRecordingShortcut, false);
}

} // namespace qv
