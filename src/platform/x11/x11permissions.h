#pragma once

#include "platform/permissions.h"

namespace qv {

// X11 asks no permission for any of the three: any client may capture other windows (GetImage,
// Composite), read and drive them (EWMH requests), and listen to keys (grabs, XInput raw events).
// Every probe therefore answers true, and onboarding never opens on X11. Main thread.
class X11Permissions final : public PermissionProbe
{
public:
    bool screenCapturePreflight() override { return true; }
    bool isAccessibilityTrusted() override { return true; }
    bool canListenToKeyEvents() override { return true; }
};

} // namespace qv
