// The focus sequence of WindowEngine: bringing one listed window to the front, with the recovery of
// windows that lie off every screen.

#include "windows/windowengine.h"

#include <limits>

#include "platform/appactivation.h"
#include "platform/screens.h"
#include "platform/windowbounds.h"
#include "platform/workspace.h"
#include "runtime/awaitables.h"
#include "runtime/scheduler.h"
#include "windows/axwindowmatch.h"
#include "windows/scriptcall.h"
#include "windows/windowfilter.h"
#include "windows/windowplacement.h"

namespace qv {

namespace {
constexpr int bringForward = ActivationOption::allWindows | ActivationOption::ignoringOtherApps;
// Recovery passes after the first attempt to make the window visible.
constexpr int recoveryPasses = 2;
} // namespace

bool WindowEngine::isWindowVisible(const AppWindowModel &window, AXElement &element) const
{
    std::optional<QRectF> bounds;
    if (window.id >= 0 && window.id <= qint64(std::numeric_limits<quint32>::max()))
        bounds = m_platform.windowBounds->windowBounds(quint32(window.id));
    if (bounds)
        return !isWindowOffscreen(*bounds, m_platform.screens);
    return isAXWindowOnScreen(element, *m_platform.screens);
}

void WindowEngine::focusWindow(const AppWindowModel &window)
{
    recordAppUsage(window.bundleIdentifier);
    ++m_focusRequestCount;
    // The old sequence is kept until it reaches its next wait, where it ends.
    retire(m_activationTask);
    m_activationWindow = window.id;
    m_activationTask = focusSequence(window);
    m_activationTask.start(m_scheduler);
}

// Every wait is followed by a cancellation check: a sequence replaced by a newer one must not go on
// to raise, zoom or move windows while the newer one works.
Script WindowEngine::focusSequence(AppWindowModel window)
{
    const ScriptControl control = co_await thisScript();
    const CancelToken cancel(control);
    const std::optional<RunningApp> app = runningApp(window.ownerPID);
    if (!app)
        co_return;
    const qint64 pid = app->pid;
    const AXElementPtr application = applicationElement(pid);
    AppActivation &activation = *m_platform.activation;

    if (app->isHidden) {
        activation.unhide(pid);
        co_await sleepFor(0.04);
        if (control.isCancelled())
            co_return;
    }
    // Activating the application that is already frontmost brings nothing forward; activating the
    // Dock for a moment first does.
    if (m_platform.workspace->frontmostApplication().pid == pid && activation.handFocusToDock()) {
        co_await sleepFor(0.015);
        if (control.isCancelled())
            co_return;
    }
    activation.activate(pid, bringForward);

    AXElementPtr current;
    {
        auto found = std::make_shared<AXElementPtr>();
        ScriptCall resolving(m_scheduler, resolveAXWindow(application, window, 4, cancel, true, found));
        co_await resolving;
        current = *found;
    }
    if (control.isCancelled())
        co_return;
    if (!current) {
        activation.activate(pid, bringForward);
        co_return;
    }

    unminimizeIfNeeded(*current);
    {
        auto restored = std::make_shared<bool>(false);
        ScriptCall confirming(m_scheduler, waitForAXMinimized(current, false, 3, restored));
        co_await confirming;
    }
    if (control.isCancelled())
        co_return;
    setWindowMinimized(window.id, false);
    raiseAXWindow(*application, current);
    co_await sleepFor(0.07);
    if (control.isCancelled())
        co_return;

    {
        ScriptCall ensuring(m_scheduler, ensureWindowVisible(window, pid, application, current, cancel));
        co_await ensuring;
    }

    for (int pass = 0; pass < recoveryPasses; ++pass) {
        if (control.isCancelled())
            co_return;
        if (isWindowVisible(window, *current))
            break;
        {
            auto found = std::make_shared<AXElementPtr>();
            ScriptCall resolving(m_scheduler, resolveAXWindow(application, window, 1, cancel, true, found));
            co_await resolving;
            if (*found)
                current = *found;
        }
        if (control.isCancelled())
            co_return;
        unminimizeIfNeeded(*current);
        {
            auto restored = std::make_shared<bool>(false);
            ScriptCall confirming(m_scheduler, waitForAXMinimized(current, false, 2, restored));
            co_await confirming;
        }
        if (control.isCancelled())
            co_return;
        setWindowMinimized(window.id, false);
        activation.activate(pid, bringForward);
        raiseAXWindow(*application, current);
        co_await sleepFor(0.08);
    }
    if (control.isCancelled())
        co_return;

    activation.activate(pid, ActivationOption::ignoringOtherApps);
    raiseAXWindow(*application, current);
    setWindowMinimized(window.id, false);
}

Script WindowEngine::ensureWindowVisible(AppWindowModel window, qint64 pid, AXElementPtr application,
                                         AXElementPtr element, CancelToken cancel)
{
    if (isWindowVisible(window, *element))
        co_return;
    AppActivation &activation = *m_platform.activation;
    activation.activate(pid, bringForward);
    raiseAXWindow(*application, element);
    co_await sleepFor(0.055);
    if (cancel.isCancelled() || isWindowVisible(window, *element))
        co_return;

    pressAXButton(*element, axZoomButton);
    co_await sleepFor(0.09);
    if (cancel.isCancelled())
        co_return;
    unminimizeIfNeeded(*element);
    moveWindowToMouseScreen(*element, window.rect, *m_platform.screens);
    co_await sleepFor(0.055);
    if (cancel.isCancelled())
        co_return;
    activation.activate(pid, bringForward);
    raiseAXWindow(*application, element);
}

} // namespace qv
