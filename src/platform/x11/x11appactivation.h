#pragma once

#include "platform/appactivation.h"

namespace qv {

class WorkspaceService;

// Activation through the window manager (_NET_ACTIVE_WINDOW, by the workspace). The window manager
// decides how far forward a window comes, so the options change nothing: activation always
// "ignores other applications", and only the application's most recent window is activated. X has
// no hidden applications (unhide answers false) and no Dock application to hand focus to
// (handFocusToDock answers false, so the focus sequence skips that step and its wait).
class X11AppActivation final : public AppActivation
{
public:
    explicit X11AppActivation(WorkspaceService &workspace) : m_workspace(workspace) {}

    bool activate(qint64 pid, int options) override;
    bool unhide(qint64) override { return false; }
    bool handFocusToDock() override { return false; }

private:
    WorkspaceService &m_workspace;
};

} // namespace qv
