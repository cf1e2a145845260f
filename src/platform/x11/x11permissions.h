#pragma once

#include <chrono>

#include "platform/permissions.h"

namespace qv {

class X11DockTileSource;
class X11Session;

// X11 asks no one's permission; what the program needs is whether the server and the desktop can
// do it. Screen capture: the Composite extension is present (whole windows, also covered ones).
// Accessibility: a window manager that follows EWMH runs (it carries out every window action) and
// the panel's tiles can be read: the accessibility bus runs with a panel on it, as the tile
// source's last walk found. Until that first walk has answered (a short wait), the window manager
// alone decides. Input monitoring: XInput 2 answers (the raw key events the hotkeys listen to).
// Main thread.
class X11Permissions final : public PermissionProbe
{
public:
    // The longest the first answer waits for the tile source's first walk.
    static constexpr std::chrono::milliseconds firstWalkWait{80};

    X11Permissions(X11Session &session, const X11DockTileSource &dockTiles)
        : m_session(session), m_dockTiles(dockTiles)
    {
    }

    bool screenCapturePreflight() override;
    bool isAccessibilityTrusted() override;
    bool canListenToKeyEvents() override;
    // No settings page grants any of the three, and nothing can be asked for.
    bool hasSettingsPages() const override { return false; }
    bool openSettingsPage(const QString &) override { return false; }
    void requestScreenCapture() override {}

private:
    X11Session &m_session;
    const X11DockTileSource &m_dockTiles;
};

} // namespace qv
