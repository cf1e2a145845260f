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
class PanelWindowService;
class Pasteboard;
class PermissionProbe;
class ScreenService;
class WindowCaptureService;
class WindowListService;
class WorkspaceService;

// The desktop as the services see it. A backend fills every member, and each lives for the whole
// run: no caller checks for null. A service a desktop cannot offer answers with its documented
// empty answer instead.
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
    PanelWindowService *panelWindows = nullptr;
};

} // namespace qv
