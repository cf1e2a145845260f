#pragma once

namespace qv {

class AccessibilityService;
class ApplicationService;
class DockPreferences;
class LoginItemService;
class Pasteboard;
class PermissionProbe;
class ScreenService;
class WorkspaceService;

// The desktop as the services see it. A backend fills every member for the whole run; no member is
// ever null once start-up has begun.
struct Platform
{
    ScreenService *screens = nullptr;
    WorkspaceService *workspace = nullptr;
    AccessibilityService *accessibility = nullptr;
    DockPreferences *dockPreferences = nullptr;
    PermissionProbe *permissions = nullptr;
    ApplicationService *application = nullptr;
    LoginItemService *loginItem = nullptr;
    Pasteboard *pasteboard = nullptr;
};

} // namespace qv
