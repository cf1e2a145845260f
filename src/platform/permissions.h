#pragma once

#include <QString>

namespace qv {

// The three permissions the program works with. Each probe answers the current state without
// asking the user. Main thread.
class PermissionProbe
{
public:
    virtual ~PermissionProbe() = default;
    // Window contents may be captured.
    virtual bool screenCapturePreflight() = 0;
    // Other applications' windows may be read and driven.
    virtual bool isAccessibilityTrusted() = 0;
    // A listen-only key-down tap can be created (it is torn down at once; nothing is delivered).
    virtual bool canListenToKeyEvents() = 0;

    // Whether the desktop has a settings page where the user grants each permission. Where it has
    // none (X11: the three are properties of the X server and the window manager), the first-run
    // window explains what is needed instead of offering to open a page.
    virtual bool hasSettingsPages() const = 0;
    // Opens the settings page at `address`; false where it cannot (no pages, or none at that address).
    virtual bool openSettingsPage(const QString &address) = 0;
    // Asks the desktop to let this program capture the screen; the answer shows in a later
    // screenCapturePreflight(). Does nothing where nothing can be asked.
    virtual void requestScreenCapture() = 0;
};

} // namespace qv
