#pragma once

#include <memory>

#include "app/shellparts.h"
#include "platform/platform.h"

namespace qv {

class AppDelegate;
class EventLog;
class LoginItemService;
class Scheduler;
class SettingsStore;
class WorkQueueFactory;

// The application object: prepares the settings before anything else exists, then makes the one
// AppDelegate, whose applicationDidFinishLaunching the caller runs once the event loop has started.
// Main thread.
class QuorvantisApp
{
public:
    QuorvantisApp(const Platform &platform, Scheduler &scheduler, WorkQueueFactory &queues,
                  SettingsStore &settings, EventLog &eventLog, ShellParts parts);
    ~QuorvantisApp();

    AppDelegate &appDelegate() { return *m_appDelegate; }

    // Registers the two defaults, stores "showMenuBarIcon" on first launch, applies the login-item
    // wish, resets a language nobody chose, and clears a shortcut recording left over from a crash.
    static void prepareSettings(SettingsStore &settings, LoginItemService &loginItem);

private:
    std::unique_ptr<AppDelegate> m_appDelegate;
};

} // namespace qv
