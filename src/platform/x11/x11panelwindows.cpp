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
#include <xcb/xfixes.h>

#include "platform/x11/x11connection.h"

namespace qv {

namespace {
constexpr quint32 allDesktops = 0xFFFFFFFF;
// Asks per map for states the window manager dropped; a manager that refuses one is not pestered.
constexpr int maxRequestsPerMap = 2;
// The source indication of a pager: window managers honour it without a user timestamp.
constexpr uint32_t pagerSource = 2;
constexpr uint32_t stateAdd = 1;
// Far more window types than any window lists.
constexpr uint32_t maxWindowTypes = 32;
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
        placeCatcher(window);
    });
    connect(&m_connection, &X11Connection::windowUnmapped, this, [this](quint32 window) {
        auto it = m_panels.find(window);
        if (it != m_panels.end())
            it->mapped = false;
        if (const auto catcher = m_catchers.constFind(window); catcher != m_catchers.constEnd()) {
            xcb_unmap_window(m_connection.xcb(), catcher->id);
            xcb_flush(m_connection.xcb());
        }
    });
    connect(&m_connection, &X11Connection::buttonPressed, this, [this](quint32 window) {
        for (const Catcher &catcher : std::as_const(m_catchers)) {
            if (catcher.id == window && catcher.active) {
                emit clickedOutside(catcher.window);
                return;
            }
        }
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
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (x11 && x11->connection())
        xcb_flush(x11->connection());
    writeHints(id);
}

void X11PanelWindows::withdrawPanel(QWindow &window)
{
    const auto it = m_panels.find(quint32(window.winId()));
    if (!m_connection.isValid() || it == m_panels.end() || it->types)
        return;
    xcb_connection_t *c = m_connection.xcb();
    xcb_ewmh_connection_t *ewmh = m_connection.ewmh();
    xcb_get_property_reply_t *reply = xcb_get_property_reply(
        c, xcb_get_property(c, 0, it.key(), ewmh->_NET_WM_WINDOW_TYPE, XCB_ATOM_ATOM, 0, maxWindowTypes),
        nullptr);
    std::vector<quint32> types;
    if (reply && reply->format == 32 && reply->type == XCB_ATOM_ATOM) {
        const auto *atoms = static_cast<const xcb_atom_t *>(xcb_get_property_value(reply));
        types.assign(atoms, atoms + xcb_get_property_value_length(reply) / 4);
    }
    std::free(reply);
    it->types = std::move(types);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, it.key(), ewmh->_NET_WM_WINDOW_TYPE, XCB_ATOM_ATOM, 32, 1,
                        &ewmh->_NET_WM_WINDOW_TYPE_DOCK);
    // Qt unmaps the window on its own connection: the dock type must be there first, so a task list
    // has read it by the time the window manager erases the state.
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
}

void X11PanelWindows::setClickCatcher(QWindow &window, bool active)
{
    if (!m_connection.isValid())
        return;
    xcb_connection_t *c = m_connection.xcb();
    const auto id = quint32(window.winId());
    auto it = m_catchers.find(id);
    if (it == m_catchers.end()) {
        if (!active)
            return;
        const xcb_window_t catcher = xcb_generate_id(c);
        const uint32_t values[] = {1, XCB_EVENT_MASK_BUTTON_PRESS};
        xcb_create_window(c, 0, catcher, m_connection.root(), 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                          XCB_COPY_FROM_PARENT, XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
        it = m_catchers.insert(id, Catcher{&window, catcher, false});
        connect(&window, &QObject::destroyed, this, [this, id] {
            const Catcher gone = m_catchers.take(id);
            if (gone.id != 0 && m_connection.isValid()) {
                xcb_destroy_window(m_connection.xcb(), gone.id);
                xcb_flush(m_connection.xcb());
            }
        });
    }
    it->active = active;
    if (!active) {
        xcb_unmap_window(c, it->id);
        xcb_flush(c);
        return;
    }
    if (m_panels.value(id).mapped)
        placeCatcher(id);
}

void X11PanelWindows::setAside(QWindow &window, bool aside)
{
    if (!m_connection.isValid())
        return;
    xcb_connection_t *c = m_connection.xcb();
    const auto id = xcb_window_t(window.winId());
    const xcb_query_extension_reply_t *fixes = xcb_get_extension_data(c, &xcb_xfixes_id);
    if (!fixes || !fixes->present)
        return;
    // Regions need XFixes 2 on this connection (asked again here: it costs one answer per change).
    std::free(xcb_xfixes_query_version_reply(c, xcb_xfixes_query_version(c, 5, 0), nullptr));
    xcb_xfixes_region_t region = XCB_XFIXES_REGION_NONE;
    if (aside) {
        region = xcb_generate_id(c);
        xcb_xfixes_create_region(c, region, 0, nullptr);
    }
    for (const xcb_shape_kind_t kind : {XCB_SHAPE_SK_BOUNDING, XCB_SHAPE_SK_INPUT})
        xcb_xfixes_set_window_shape_region(c, id, kind, 0, 0, region);
    if (aside)
        xcb_xfixes_destroy_region(c, region);
    // Qt sets the shape the caller applies next on its own connection: ours must be in force first.
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
}

void X11PanelWindows::placeCatcher(quint32 window)
{
    const auto it = m_catchers.constFind(window);
    if (it == m_catchers.constEnd() || !it->active || !it->window)
        return;
    xcb_connection_t *c = m_connection.xcb();
    const double ratio = it->window->devicePixelRatio();
    const QRect frame = it->window->geometry();
    const uint32_t values[] = {uint32_t(int32_t(frame.x() * ratio)),
                               uint32_t(int32_t(frame.y() * ratio)),
                               uint32_t(std::max(1, int(frame.width() * ratio))),
                               uint32_t(std::max(1, int(frame.height() * ratio))),
                               topLevelOf(window),
                               XCB_STACK_MODE_BELOW};
    xcb_configure_window(c, it->id,
                         XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH |
                             XCB_CONFIG_WINDOW_HEIGHT | XCB_CONFIG_WINDOW_SIBLING |
                             XCB_CONFIG_WINDOW_STACK_MODE,
                         values);
    xcb_map_window(c, it->id);
    xcb_flush(c);
}

quint32 X11PanelWindows::topLevelOf(quint32 window) const
{
    xcb_connection_t *c = m_connection.xcb();
    xcb_window_t current = window;
    for (int depth = 0; depth < 8; ++depth) {
        xcb_query_tree_reply_t *tree = xcb_query_tree_reply(c, xcb_query_tree(c, current), nullptr);
        if (!tree)
            return current;
        const xcb_window_t parent = tree->parent;
        std::free(tree);
        if (parent == m_connection.root() || parent == XCB_WINDOW_NONE)
            return current;
        current = parent;
    }
    return current;
}

void X11PanelWindows::writeHints(quint32 window)
{
    xcb_connection_t *c = m_connection.xcb();
    xcb_ewmh_connection_t *ewmh = m_connection.ewmh();
    // The panel's own types come back before the map, where the window manager reads them.
    if (auto &types = m_panels[window].types) {
        if (types->empty()) {
            xcb_delete_property(c, window, ewmh->_NET_WM_WINDOW_TYPE);
        } else {
            xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, ewmh->_NET_WM_WINDOW_TYPE, XCB_ATOM_ATOM,
                                32, uint32_t(types->size()), types->data());
        }
        types.reset();
    }
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
