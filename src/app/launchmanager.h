#pragma once

namespace qv {

class LoginItemService;

// Applies the "launchAtLogin" wish to the desktop's login item. Keeps no state: the wish lives in
// the settings, the truth in the login item's status. That status is enabled only for an item that
// starts this program and that the desktop has not switched off, so an item left by another or a
// removed copy, or one switched off, is registered anew while the wish is on. Main thread.
class LaunchManager
{
public:
    // Registers or unregisters only when the status differs from the wish. Failures print one
    // console line and change nothing else; the next launch or the next toggle tries again.
    static void setLaunchAtLogin(LoginItemService &loginItem, bool enabled);
};

} // namespace qv
