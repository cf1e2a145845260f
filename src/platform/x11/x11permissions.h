#pragma once

#include "platform/permissions.h"

namespace qv {

class X11Session;

// X11 asks no one's permission; what the program needs is whether the server and the desktop can
// do it. Screen capture: the Composite extension is present (whole windows, also covered ones).
// Accessibility: a window manager that follows EWMH runs (it carries out every window action).
// Input monitoring: XInput 2 answers (the raw key events the hotkeys listen to). Main thread.
class X11Permissions final : public PermissionProbe
{
public:
    explicit X11Permissions(X11Session &session) : m_session(session) {}

    bool screenCapturePreflight() override;
    bool isAccessibilityTrusted() override;
    bool canListenToKeyEvents() override;
    // No settings page grants any of the three, and nothing can be asked for.
    bool hasSettingsPages() const override { return false; }
    bool openSettingsPage(const QString &) override { return false; }
    void requestScreenCapture() override {}

private:
    X11Session &m_session;
};

} // namespace qv
