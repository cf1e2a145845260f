#pragma once

#include <QStringList>

namespace qv {

class DockMonitor;
class WindowEngine;

// Creates, places, shows and hides the three panels (preview bubble, Super Panel, peek panel) and
// follows the Dock monitor and the window engine.
//
// Stand-in until the overlay work lands: every call only records its name (hideOverlay records
// "hideOverlay(force)" or "hideOverlay"); no panel exists and no timer runs.
class OverlayController
{
public:
    void setupOverlayWindow() { calls.append(QStringLiteral("setupOverlayWindow")); }
    void setupGlobalOverlayWindow() { calls.append(QStringLiteral("setupGlobalOverlayWindow")); }
    void setupPeekingWindow() { calls.append(QStringLiteral("setupPeekingWindow")); }
    void setupBindings(DockMonitor &dockMonitor, WindowEngine &windowEngine)
    {
        Q_UNUSED(dockMonitor);
        Q_UNUSED(windowEngine);
        calls.append(QStringLiteral("setupBindings"));
    }
    void startMouseCheckTimer() { calls.append(QStringLiteral("startMouseCheckTimer")); }
    void hideOverlay(bool force)
    {
        calls.append(force ? QStringLiteral("hideOverlay(force)") : QStringLiteral("hideOverlay"));
    }

    QStringList calls;
};

} // namespace qv
