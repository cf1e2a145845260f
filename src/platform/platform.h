#pragma once

namespace qv {

class AccessibilityService;
class AppIconService;
class ApplicationService;
class DockPreferences;
class LocaleService;
class FileDialogs;
class FileRevealer;
class LoginItemService;
class Pasteboard;
class PermissionProbe;
class ScreenService;
class WindowCaptureService;
class WindowListService;
class WorkspaceService;

// The desktop as the services see it. A backend fills every member for the whole run, with one
// exception: windowList, windowCapture and appIcons stay null on a desktop whose windows cannot be
// listed yet (the X11 backend), and the window engine then lists nothing.
struct Platform
{
    ScreenService *screens = nullptr;
    WorkspaceService *workspace = nullptr;
    AccessibilityService *accessibility = nullptr;
    DockPreferences *dockPreferences = nullptr;
    PermissionProbe *permissions = nullptr;
    ApplicationService *application = nullptr;
    LoginItemService *loginItem = nullptr;
    LocaleService *locale = nullptr;
    FileDialogs *fileDialogs = nullptr;
    FileRevealer *fileRevealer = nullptr;
    WindowListService *windowList = nullptr;
    WindowCaptureService *windowCapture = nullptr;
    AppIconService *appIcons = nullptr;
    Pasteboard *pasteboard = nullptr;
};

} // namespace qv
