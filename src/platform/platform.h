#pragma once

namespace qv {

class AccessibilityService;
class AppActivation;
class AppIconService;
class ApplicationService;
class DockPreferences;
class DragEndReport;
class FileIconService;
class LocaleService;
class FeedbackService;
class FileDialogs;
class FileRevealer;
class GlobalInput;
class InstallationService;
class LoginItemService;
class PanelWindowService;
class Pasteboard;
class PermissionProbe;
class ScreenService;
class TextRecognizer;
class ThumbnailService;
class WindowBoundsService;
class WindowCaptureService;
class WebFetcher;
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
    InstallationService *installation = nullptr;
    LocaleService *locale = nullptr;
    FileDialogs *fileDialogs = nullptr;
    FileRevealer *fileRevealer = nullptr;
    WindowListService *windowList = nullptr;
    WindowCaptureService *windowCapture = nullptr;
    AppIconService *appIcons = nullptr;
    Pasteboard *pasteboard = nullptr;
    GlobalInput *globalInput = nullptr;
    ThumbnailService *thumbnails = nullptr;
    FileIconService *fileIcons = nullptr;
    WebFetcher *web = nullptr;
    TextRecognizer *textRecognizer = nullptr;
    DragEndReport *dragEndReport = nullptr;
    AppActivation *activation = nullptr;
    WindowBoundsService *windowBounds = nullptr;
    FeedbackService *feedback = nullptr;
    PanelWindowService *panelWindows = nullptr;
};

} // namespace qv
