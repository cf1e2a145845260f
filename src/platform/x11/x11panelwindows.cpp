#include "platform/x11/x11panelwindows.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QWindow>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <vector>

#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>

#include "platform/x11/x11connection.h"

namespace qv {

namespace {
constexpr quint32 allDesktops = 0xFFFFFFFF;
// Asks per map for states the window manager dropped; a manager that refuses one is not pestered.
constexpr int maxRequestsPerMap = 2;
// The source indication of a pager: window managers honour it without a user timestamp.
constexpr uint32_t pagerSource = 2;
constexpr uint32_t stateAdd = 1;
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
    connect(&m_connection, &X11Connection::windowMapped, this, [this](quint32 window) {
        auto it = m_panels.find(window);
        if (it == m_panels.end())
            return;
        it->mapped = true;
        it->requests = 0;
        checkMapped(window);
    });
    connect(&m_connection, &X11Connection::windowUnmapped, this, [this](quint32 window) {
        auto it = m_panels.find(window);
        if (it != m_panels.end())
            it->mapped = false;
    });
    connect(&m_connection, &X11Connection::windowPropertyChanged, this, [this](quint32 window, quint32 atom) {
        const auto it = m_panels.constFind(window);
        if (it != m_panels.constEnd() && it->mapped && atom == m_connection.ewmh()->_NET_WM_STATE)
            checkMapped(window);
    });
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
    const auto id = quint32(window.winId());
    if (!m_panels.contains(id)) {
        m_panels.insert(id, Watched{});
        m_connection.selectWindowEvents(id);
        connect(&window, &QObject::destroyed, this, [this, id] { m_panels.remove(id); });
    }
    // Qt's own connection may still hold the unmap of the last hide: it must reach the server before
    // the hints do, or the window manager's clean-up after the unmap would erase them.
    if (auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr)
        xcb_flush(x11->connection());
    writeHints(id);
}

void X11PanelWindows::writeHints(quint32 window)
{
    xcb_connection_t *c = m_connection.xcb();
    xcb_ewmh_connection_t *ewmh = m_connection.ewmh();
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, ewmh->_NET_WM_DESKTOP, XCB_ATOM_CARDINAL, 32, 1,
                        &allDesktops);
    std::vector<xcb_atom_t> states{ewmh->_NET_WM_STATE_STICKY, ewmh->_NET_WM_STATE_SKIP_TASKBAR,
                                   ewmh->_NET_WM_STATE_SKIP_PAGER, ewmh->_NET_WM_STATE_ABOVE};
    // Both kinds float alike; focus and click-through come with the window's Qt flags.
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, ewmh->_NET_WM_STATE, XCB_ATOM_ATOM, 32,
                        uint32_t(states.size()), states.data());
    // Qt maps the window on its own connection: make sure the hints are there first.
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
}

void X11PanelWindows::checkMapped(quint32 window)
{
    Watched &watched = m_panels[window];
    if (watched.requests >= maxRequestsPerMap)
        return;
    xcb_connection_t *c = m_connection.xcb();
    xcb_ewmh_connection_t *ewmh = m_connection.ewmh();
    xcb_ewmh_get_atoms_reply_t atoms;
    QList<xcb_atom_t> current;
    if (xcb_ewmh_get_wm_state_reply(ewmh, xcb_ewmh_get_wm_state(ewmh, window), &atoms, nullptr)) {
        for (uint32_t i = 0; i < atoms.atoms_len; ++i)
            current.append(atoms.atoms[i]);
        xcb_ewmh_get_atoms_reply_wipe(&atoms);
    }
    // Sticky is not asked for again: some managers keep a window on every desktop through its desktop
    // number alone and drop the state.
    QList<xcb_atom_t> missing;
    for (xcb_atom_t wanted :
         {ewmh->_NET_WM_STATE_SKIP_TASKBAR, ewmh->_NET_WM_STATE_SKIP_PAGER, ewmh->_NET_WM_STATE_ABOVE}) {
        if (!current.contains(wanted))
            missing.append(wanted);
    }
    uint32_t desktop = 0;
    const bool onEveryDesktop =
        !xcb_ewmh_get_wm_desktop_reply(ewmh, xcb_ewmh_get_wm_desktop(ewmh, window), &desktop, nullptr) ||
        desktop == allDesktops;
    if (missing.isEmpty() && onEveryDesktop)
        return;
    ++watched.requests;
    auto send = [&](xcb_atom_t type, std::array<uint32_t, 5> data) {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = window;
        event.type = type;
        std::copy(data.begin(), data.end(), event.data.data32);
        xcb_send_event(c, 0, m_connection.root(),
                       XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                       reinterpret_cast<const char *>(&event));
    };
    // One message carries two states.
    for (qsizetype i = 0; i < missing.size(); i += 2)
        send(ewmh->_NET_WM_STATE,
             {stateAdd, missing.at(i), i + 1 < missing.size() ? missing.at(i + 1) : 0, pagerSource, 0});
    if (!onEveryDesktop)
        send(ewmh->_NET_WM_DESKTOP, {allDesktops, pagerSource, 0, 0, 0});
    xcb_flush(c);
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
