// Window actions of WindowEngine: close, minimise, full screen, and the accessibility look-ups and
// confirmations the focus sequence and snapping share.

#include "windows/windowengine.h"

#include <algorithm>

#include "platform/appactivation.h"
#include "platform/workspace.h"
#include "runtime/awaitables.h"
#include "runtime/scheduler.h"
#include "windows/axwindowlookup.h"
#include "windows/axwindowmatch.h"
#include "windows/scriptcall.h"

namespace qv {

namespace {
// Spacing of repeated look-ups and confirmation reads.
constexpr double axRetryInterval = 0.045;
// How long a closed window may take to go (about 1.5 s) before its card is kept.
constexpr int closeConfirmAttempts = 33;
} // namespace

void WindowEngine::startAction(Script script)
{
    m_actionTasks.erase(std::remove_if(m_actionTasks.begin(), m_actionTasks.end(),
                                       [](const Script &task) { return task.isFinished(); }),
                        m_actionTasks.end());
    m_actionTasks.push_back(std::move(script));
    // Started from its place in the list: a step that ends at once leaves a finished entry, which
    // the next call prunes.
    m_actionTasks.back().start(m_scheduler);
}

AXElementPtr WindowEngine::applicationElement(qint64 pid) const
{
    return m_platform.accessibility->applicationElement(pid);
}

AXElementPtr WindowEngine::findWindow(AXElement &application, const AppWindowModel &window) const
{
    return findAXWindow(application, window, *m_platform.windowBounds);
}

std::optional<RunningApp> WindowEngine::runningApp(qint64 pid) const
{
    for (const RunningApp &app : m_platform.workspace->runningApplications()) {
        if (app.pid == pid)
            return app;
    }
    return std::nullopt;
}

Script WindowEngine::resolveAXWindow(AXElementPtr application, AppWindowModel window, int attempts,
                                     CancelToken cancel, bool fallBack, std::shared_ptr<AXElementPtr> result)
{
    AXElementPtr found = findWindow(*application, window);
    const int passes = std::max(attempts, 0);
    for (int k = 0; !found && k < passes; ++k) {
        co_await sleepFor(axRetryInterval);
        // A replaced request looks no further, not even at the fallback.
        if (cancel.isCancelled())
            co_return;
        found = findWindow(*application, window);
    }
    if (!found && fallBack)
        found = preferredAXWindow(*application);
    *result = found;
}

Script WindowEngine::waitForAXMinimized(AXElementPtr window, bool expected, int attempts,
                                        std::shared_ptr<bool> result)
{
    for (int k = 0; k < attempts; ++k) {
        if (axMinimized(*window) == expected) {
            *result = true;
            co_return;
        }
        co_await sleepFor(axRetryInterval);
    }
    *result = axMinimized(*window) == expected;
}

void WindowEngine::closeWindow(const AppWindowModel &window)
{
    startAction(closeTask(window));
}

Script WindowEngine::closeTask(AppWindowModel window)
{
    const AXElementPtr application = applicationElement(window.ownerPID);
    const AXElementPtr element = application ? findWindow(*application, window) : nullptr;
    // The card stays while its window may still be open: a press that was refused or could not be
    // made (no permission, no button, no match) closed nothing.
    if (!element || !pressAXButton(*element, axCloseButton))
        co_return;
    // A press is only a request: the application may refuse it or ask first (unsaved work), and
    // its window then stays, with its card.
    if (const std::optional<qint64> number = axWindowNumber(*element)) {
        for (int k = 0; axWindowForWindowID(*application, *number); ++k) {
            if (k == closeConfirmAttempts)
                co_return;
            co_await sleepFor(axRetryInterval);
        }
    }
    QList<AppWindowModel> rest = m_windows;
    rest.removeIf([&](const AppWindowModel &entry) { return entry.id == window.id; });
    if (rest.size() != m_windows.size())
        setWindows(rest);
}

void WindowEngine::minimizeWindow(const AppWindowModel &window)
{
    // A focus of this window still under way would restore it again at its last step.
    if (m_activationWindow == window.id)
        retire(m_activationTask);
    startAction(minimizeTask(window));
}

Script WindowEngine::minimizeTask(AppWindowModel window)
{
    const AXElementPtr application = applicationElement(window.ownerPID);
    if (!application)
        co_return;
    AXElementPtr target = axWindowForWindowID(*application, window.id);
    if (!target) {
        // Only the window the user picked: the application's focused or first window may be another
        // one, and minimising that would hide the wrong window and report success.
        auto found = std::make_shared<AXElementPtr>();
        ScriptCall resolving(m_scheduler,
                             resolveAXWindow(application, window, 3, CancelToken(), false, found));
        co_await resolving;
        target = *found;
    }
    if (!target)
        co_return;

    if (m_platform.activation->activate(window.ownerPID, ActivationOption::ignoringOtherApps))
        co_await sleepFor(0.03);
    raiseAXWindow(*application, target);
    co_await sleepFor(0.02);

    const auto confirmed = std::make_shared<bool>(false);
    if (target->setAttribute(QStringLiteral("AXMinimized"), true) == AXError::success) {
        ScriptCall confirming(m_scheduler, waitForAXMinimized(target, true, 3, confirmed));
        co_await confirming;
    }
    if (!*confirmed && pressAXButton(*target, axMinimizeButton)) {
        ScriptCall confirming(m_scheduler, waitForAXMinimized(target, true, 4, confirmed));
        co_await confirming;
    }
    if (!*confirmed) {
        target->setAttribute(QStringLiteral("AXMinimized"), true);
        ScriptCall confirming(m_scheduler, waitForAXMinimized(target, true, 2, confirmed));
        co_await confirming;
    }
    if (*confirmed)
        setWindowMinimized(window.id, true);
}

void WindowEngine::setWindowMinimized(qint64 windowID, bool minimized)
{
    const auto it = std::find_if(m_windows.cbegin(), m_windows.cend(),
                                 [windowID](const AppWindowModel &entry) { return entry.id == windowID; });
    if (it == m_windows.cend() || it->isMinimized == minimized)
        return;
    QList<AppWindowModel> updated = m_windows;
    AppWindowModel &entry = updated[it - m_windows.cbegin()];
    entry.isMinimized = minimized;
    entry.snapshotTime = m_scheduler.wallNow();
    setWindows(updated);
}

void WindowEngine::toggleFullScreen(const AppWindowModel &window)
{
    const AXElementPtr application = applicationElement(window.ownerPID);
    const AXElementPtr element = application ? findWindow(*application, window) : nullptr;
    if (!element)
        return;
    // A window with a zoom button leaves full screen the same way; the attribute only enters it.
    const AXResult zoom = element->copyAttribute(axZoomButton);
    if (const AXElementPtr *button = zoom.as<AXElementPtr>(); button && *button) {
        (*button)->performAction(QStringLiteral("AXPress"));
        return;
    }
    element->setAttribute(QStringLiteral("AXFullScreen"), true);
}

} // namespace qv
