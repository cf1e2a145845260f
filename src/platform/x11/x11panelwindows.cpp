#include "platform/x11/x11panelwindows.h"

#include <QByteArray>
#include <QWindow>

#include <cstdlib>
#include <vector>

#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>

#include "platform/x11/x11connection.h"

namespace qv {

namespace {
constexpr quint32 allDesktops = 0xFFFFFFFF;
} // namespace

X11PanelWindows::X11PanelWindows(X11Connection &connection, QObject *parent)
    : PanelWindowService(parent), m_connection(connection)
{
    if (!m_connection.isValid())
        return;
    m_compositorSelection =
        atom(QByteArray("_NET_WM_CM_S" + QByteArray::number(m_connection.screenNumber())));
    connect(&m_connection, &X11Connection::selectionOwnerChanged, this, [this](quint32 selection) {
        if (selection != m_compositorSelection)
            return;
        const bool now = readCompositing();
        if (now == m_compositing)
            return;
        m_compositing = now;
        emit compositingChanged(now);
    });
    m_connection.watchSelection(m_compositorSelection);
    m_compositing = readCompositing();
}

quint32 X11PanelWindows::atom(const char *name) const
{
    xcb_connection_t *c = m_connection.xcb();
    xcb_intern_atom_reply_t *reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(qstrlen(name)), name), nullptr);
    const quint32 result = reply ? quint32(reply->atom) : quint32(XCB_ATOM_NONE);
    std::free(reply);
    return result;
}

bool X11PanelWindows::readCompositing() const
{
    if (!m_connection.isValid() || m_compositorSelection == XCB_ATOM_NONE)
        return false;
    xcb_connection_t *c = m_connection.xcb();
    xcb_get_selection_owner_reply_t *reply =
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, m_compositorSelection), nullptr);
    const bool owned = reply && reply->owner != XCB_WINDOW_NONE;
    std::free(reply);
    return owned;
}

void X11PanelWindows::preparePanel(QWindow &window, PanelKind)
{
    if (!m_connection.isValid())
        return;
    xcb_connection_t *c = m_connection.xcb();
    xcb_ewmh_connection_t *ewmh = m_connection.ewmh();
    const auto id = xcb_window_t(window.winId());
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, ewmh->_NET_WM_DESKTOP, XCB_ATOM_CARDINAL, 32, 1,
                        &allDesktops);
    std::vector<xcb_atom_t> states{ewmh->_NET_WM_STATE_STICKY, ewmh->_NET_WM_STATE_SKIP_TASKBAR,
                                   ewmh->_NET_WM_STATE_SKIP_PAGER, ewmh->_NET_WM_STATE_ABOVE};
    // Both kinds float alike; focus and click-through come with the window's Qt flags.
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, ewmh->_NET_WM_STATE, XCB_ATOM_ATOM, 32,
                        uint32_t(states.size()), states.data());
    // Qt maps the window on its own connection: make sure the hints are there first.
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
}

void X11PanelWindows::setBlurBehind(QWindow &window, const QRegion &region)
{
    if (!m_connection.isValid())
        return;
    xcb_connection_t *c = m_connection.xcb();
    const quint32 blurAtom = atom("_KDE_NET_WM_BLUR_BEHIND_REGION");
    const auto id = xcb_window_t(window.winId());
    if (region.isEmpty()) {
        xcb_delete_property(c, id, blurAtom);
    } else {
        std::vector<quint32> values;
        for (const QRect &rect : region) {
            values.insert(values.end(), {quint32(rect.x()), quint32(rect.y()), quint32(rect.width()),
                                         quint32(rect.height())});
        }
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, blurAtom, XCB_ATOM_CARDINAL, 32,
                            uint32_t(values.size()), values.data());
    }
    xcb_flush(c);
}

} // namespace qv
