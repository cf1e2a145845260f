#include "platform/x11/x11accessibility.h"

#include <QMutexLocker>

#include "platform/x11/x11axelement.h"
#include "platform/x11/x11dockelement.h"
#include "platform/x11/x11docktilesource.h"

namespace qv {

X11Accessibility::X11Accessibility(X11Session &session, X11DesktopEntries &entries, X11DockTileSource *dockTiles)
    : m_session(session), m_entries(entries), m_dockTiles(dockTiles)
{
}

AXElementPtr X11Accessibility::applicationElement(qint64 pid)
{
    if (m_dockTiles && pid == X11DockTileSource::dockPid)
        return std::make_shared<X11DockElement>(*m_dockTiles, X11DockElement::Kind::dock);
    return std::make_shared<X11AXElement>(*this, X11AXElement::Kind::application, pid, XCB_WINDOW_NONE);
}

std::shared_ptr<X11AXElement> X11Accessibility::windowElement(qint64 pid, xcb_window_t window)
{
    QMutexLocker lock(&m_mutex);
    if (std::shared_ptr<X11AXElement> existing = m_windows.value(window).lock()) {
        if (existing->pid() == pid)
            return existing;
    }
    auto element = std::make_shared<X11AXElement>(*this, X11AXElement::Kind::window, pid, window);
    m_windows.insert(window, element);
    // Forget elements nobody holds any more, so the table does not grow with every window ever seen.
    if (m_windows.size() > 256) {
        for (auto it = m_windows.begin(); it != m_windows.end();)
            it = it->expired() ? m_windows.erase(it) : std::next(it);
    }
    return element;
}

} // namespace qv
