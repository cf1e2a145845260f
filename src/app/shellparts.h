#pragma once

#include <QString>

#include <memory>

namespace qv {

class DockMonitor;
class WindowEngine;

// The parts of the application shell that the start-up sequence drives, one small interface each,
// so the sequence can be exercised with recording fakes and each real part can replace its
// stand-in on its own. All main thread.

// Keeps one copy of the application running from the right place.
class Relocator
{
public:
    enum class MoveAnswer { move, notNow, quit };

    virtual ~Relocator() = default;
    virtual bool isInApplicationsFolder() = 0;
    // Asks the user whether to move the application to where it belongs.
    virtual MoveAnswer askToMoveToApplications() = 0;
    // Moves and relaunches; a successful move quits this run shortly, a failure has shown its alert.
    virtual void moveToApplications() = 0;
    virtual void terminateOtherInstances() = 0;
    // Starts a new copy with the same arguments and quits once it has started. A copy that fails to
    // start leaves this one running; the answer is why (empty on success).
    virtual QString restartApp() = 0;
};

// Creates, places, shows and hides the panels (preview bubble, Super Panel, peek panel).
class OverlayPresenter
{
public:
    virtual ~OverlayPresenter() = default;
    virtual void setupOverlayWindow() = 0;
    virtual void setupGlobalOverlayWindow() = 0;
    virtual void setupPeekingWindow() = 0;
    // Starts following the Dock monitor and the window engine; both outlive the presenter's use.
    virtual void setupBindings(DockMonitor &dockMonitor, WindowEngine &windowEngine) = 0;
    virtual void startMouseCheckTimer() = 0;
    virtual void hideOverlay(bool force) = 0;
};

// The status item with its menu and its capture feedback.
class StatusItem
{
public:
    virtual ~StatusItem() = default;
    virtual void setupStatusItem() = 0;
};

// The first-run window that walks the user through the permissions. Showing it while it is open
// does nothing.
class OnboardingPresenter
{
public:
    virtual ~OnboardingPresenter() = default;
    virtual void showOnboarding() = 0;
    virtual bool isOpen() const = 0;
};

struct ShellParts
{
    std::unique_ptr<Relocator> relocation;
    std::unique_ptr<OverlayPresenter> overlay;
    std::unique_ptr<StatusItem> statusItem;
    std::unique_ptr<OnboardingPresenter> onboarding;
};

} // namespace qv
