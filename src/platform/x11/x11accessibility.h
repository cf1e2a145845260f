#pragma once

#include <QHash>
#include <QMutex>

#include <xcb/xcb.h>

#include "platform/accessibility.h"

namespace qv {

class X11AXElement;
class X11DesktopEntries;
class X11DockTileSource;
class X11Session;

// Accessibility-style elements over EWMH/ICCCM: an application is the set of managed clients whose
// process is its PID, each client a window element (X11AXElement says what they answer). There is
// no per-process trust gate on X (any client may read and drive other clients' windows), so the
// process counts as trusted. The Dock application (X11DockTileSource::dockPid, listed by the
// workspace while the tile source is present) answers with the panels' tiles (X11DockElement);
// without a tile source it is an application without windows. A window keeps one element while
// any holder keeps it, so two reads of the same window compare as the same element. Safe from any
// thread.
class X11Accessibility final : public AccessibilityService
{
public:
    X11Accessibility(X11Session &session, X11DesktopEntries &entries, X11DockTileSource *dockTiles = nullptr);

    bool isProcessTrusted() const override { return true; }
    AXElementPtr applicationElement(qint64 pid) override;

    std::shared_ptr<X11AXElement> windowElement(qint64 pid, xcb_window_t window);
    X11Session &session() { return m_session; }
    X11DesktopEntries &entries() { return m_entries; }

private:
    X11Session &m_session;
    X11DesktopEntries &m_entries;
    X11DockTileSource *m_dockTiles;
    QMutex m_mutex;
    QHash<xcb_window_t, std::weak_ptr<X11AXElement>> m_windows;
};

} // namespace qv
