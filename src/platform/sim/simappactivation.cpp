#include "platform/sim/simappactivation.h"

#include <algorithm>

#include "platform/sim/simdesktop.h"
#include "platform/sim/simwindowserver.h"

namespace qv {

SimAppActivation::SimAppActivation(SimWorkspace &workspace, SimWindowServer &windowServer)
    : m_workspace(workspace), m_windowServer(windowServer)
{
}

bool SimAppActivation::activate(qint64 pid, int options)
{
    record(QStringLiteral("activate"), pid, options);
    if (!m_workspace.activate(pid))
        return false;
    if (options & ActivationOption::allWindows)
        m_windowServer.bringToFront(pid);
    return true;
}

bool SimAppActivation::unhide(qint64 pid)
{
    record(QStringLiteral("unhide"), pid, 0);
    if (!isRunning(pid))
        return false;
    m_workspace.setHidden(pid, false);
    return true;
}

bool SimAppActivation::handFocusToDock()
{
    for (const auto &app : m_workspace.runningApplications()) {
        if (app.bundleIdentifier == QLatin1String("com.apple.dock")) {
            record(QStringLiteral("dock"), app.pid, 0);
            return m_workspace.activate(app.pid);
        }
    }
    return false;
}

bool SimAppActivation::isRunning(qint64 pid) const
{
    const auto apps = m_workspace.runningApplications();
    return std::any_of(apps.begin(), apps.end(), [pid](const RunningApp &app) { return app.pid == pid; });
}

void SimAppActivation::record(const QString &what, qint64 pid, int options)
{
    m_calls.append(Call{m_clock ? m_clock() : 0.0, what, pid, options});
}

} // namespace qv
