#include "platform/x11/x11session.h"

#include <QMutexLocker>

#include <cstdlib>
#include <memory>

#include <xcb/composite.h>
#include <xcb/res.h>
#include <xcb/shm.h>
#include <xcb/xinput.h>

namespace qv {

namespace {

struct FreeDeleter
{
    void operator()(void *p) const { std::free(p); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeDeleter>;

bool extensionPresent(xcb_connection_t *c, xcb_extension_t *extension)
{
    const xcb_query_extension_reply_t *data = xcb_get_extension_data(c, extension);
    return data && data->present;
}

} // namespace

bool X11Session::connect(const QByteArray &displayName, xcb_connection_t *&connection, int &screenNumber,
                         xcb_window_t &root, xcb_ewmh_connection_t &ewmh)
{
    connection = xcb_connect(displayName.isEmpty() ? nullptr : displayName.constData(), &screenNumber);
    if (!connection || xcb_connection_has_error(connection))
        return false;
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber && it.rem; ++i)
        xcb_screen_next(&it);
    if (!it.rem)
        return false;
    root = it.data->root;
    xcb_intern_atom_cookie_t *cookies = xcb_ewmh_init_atoms(connection, &ewmh);
    return cookies && xcb_ewmh_init_atoms_replies(&ewmh, cookies, nullptr);
}

X11Session::X11Session(const QByteArray &displayName) : m_displayName(displayName)
{
    m_ewmhReady = connect(displayName, m_connection, m_screenNumber, m_root, m_ewmh);
    if (!m_ewmhReady)
        return;

    static const char *const names[] = {"WM_STATE",
                                        "WM_CHANGE_STATE",
                                        "WM_DELETE_WINDOW",
                                        "_GTK_APPLICATION_ID",
                                        "_KDE_NET_WM_DESKTOP_FILE",
                                        "_QV_TIMESTAMP",
                                        "COMPOUND_TEXT"};
    static_assert(std::size(names) == size_t(Atom::count));
    std::array<xcb_intern_atom_cookie_t, size_t(Atom::count)> atomCookies;
    for (size_t i = 0; i < atomCookies.size(); ++i)
        atomCookies[i] = xcb_intern_atom(m_connection, 0, uint16_t(strlen(names[i])), names[i]);
    for (size_t i = 0; i < atomCookies.size(); ++i) {
        Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(m_connection, atomCookies[i], nullptr));
        m_atoms[i] = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    }

    m_hasComposite = extensionPresent(m_connection, &xcb_composite_id);
    if (m_hasComposite) {
        // Naming window pixmaps needs Composite 0.2.
        Reply<xcb_composite_query_version_reply_t> version(xcb_composite_query_version_reply(
            m_connection, xcb_composite_query_version(m_connection, 0, 4), nullptr));
        m_hasComposite = version && (version->major_version > 0 || version->minor_version >= 2);
    }
    m_hasShm = extensionPresent(m_connection, &xcb_shm_id);
    m_hasRes = extensionPresent(m_connection, &xcb_res_id);
    if (extensionPresent(m_connection, &xcb_input_id)) {
        Reply<xcb_input_xi_query_version_reply_t> version(xcb_input_xi_query_version_reply(
            m_connection, xcb_input_xi_query_version(m_connection, 2, 2), nullptr));
        m_hasXInput2 = version && version->major_version >= 2;
    }

    m_timeWindow = xcb_generate_id(m_connection);
    const uint32_t values[] = {XCB_EVENT_MASK_PROPERTY_CHANGE};
    xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, m_timeWindow, m_root, -1, -1, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, values);
    xcb_flush(m_connection);
}

X11Session::~X11Session()
{
    if (m_ewmhReady)
        xcb_ewmh_connection_wipe(&m_ewmh);
    if (m_connection)
        xcb_disconnect(m_connection);
}

bool X11Session::isValid() const
{
    return m_connection && m_ewmhReady && m_root != XCB_WINDOW_NONE &&
           !xcb_connection_has_error(m_connection);
}

bool X11Session::hasEwmhWindowManager()
{
    if (!isValid())
        return false;
    xcb_window_t check = XCB_WINDOW_NONE;
    if (!xcb_ewmh_get_supporting_wm_check_reply(&m_ewmh, xcb_ewmh_get_supporting_wm_check(&m_ewmh, m_root),
                                                &check, nullptr))
        return false;
    // A window manager that died leaves the root property behind; its check window is gone then.
    xcb_window_t self = XCB_WINDOW_NONE;
    return xcb_ewmh_get_supporting_wm_check_reply(&m_ewmh, xcb_ewmh_get_supporting_wm_check(&m_ewmh, check),
                                                  &self, nullptr) &&
           self == check;
}

bool X11Session::windowManagerSupports(xcb_atom_t atom)
{
    if (!isValid())
        return false;
    xcb_ewmh_get_atoms_reply_t supported;
    if (!xcb_ewmh_get_supported_reply(&m_ewmh, xcb_ewmh_get_supported(&m_ewmh, m_screenNumber), &supported,
                                      nullptr))
        return false;
    bool found = false;
    for (uint32_t i = 0; i < supported.atoms_len && !found; ++i)
        found = supported.atoms[i] == atom;
    xcb_ewmh_get_atoms_reply_wipe(&supported);
    return found;
}

xcb_timestamp_t X11Session::serverTime()
{
    if (!isValid())
        return XCB_CURRENT_TIME;
    QMutexLocker lock(&m_eventLock);
    // Appending nothing to a property still changes it, and the notification carries the time.
    const xcb_atom_t probe = atom(Atom::timestampProbe);
    xcb_change_property(m_connection, XCB_PROP_MODE_APPEND, m_timeWindow, probe, XCB_ATOM_STRING, 8, 0,
                        nullptr);
    xcb_flush(m_connection);
    while (xcb_generic_event_t *event = xcb_wait_for_event(m_connection)) {
        Reply<xcb_generic_event_t> owned(event);
        if ((event->response_type & ~0x80) == XCB_PROPERTY_NOTIFY) {
            const auto *notify = reinterpret_cast<xcb_property_notify_event_t *>(event);
            if (notify->window == m_timeWindow && notify->atom == probe)
                return notify->time;
        }
    }
    return XCB_CURRENT_TIME;
}

void X11Session::sendToWindowManager(xcb_window_t window, xcb_atom_t type,
                                     const std::array<uint32_t, 5> &data)
{
    if (!isValid())
        return;
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = type;
    for (size_t i = 0; i < data.size(); ++i)
        event.data.data32[i] = data[i];
    xcb_send_event(m_connection, 0, m_root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char *>(&event));
    xcb_flush(m_connection);
    discardEvents();
}

void X11Session::requestActivation(xcb_window_t window)
{
    if (!isValid())
        return;
    constexpr uint32_t pagerSource = 2;
    constexpr uint32_t everyDesktop = 0xFFFFFFFF;
    const xcb_get_property_cookie_t desktopCookie = xcb_ewmh_get_wm_desktop(&m_ewmh, window);
    const xcb_get_property_cookie_t currentCookie = xcb_ewmh_get_current_desktop(&m_ewmh, m_screenNumber);
    const xcb_get_property_cookie_t activeCookie = xcb_ewmh_get_active_window(&m_ewmh, m_screenNumber);
    uint32_t desktop = 0;
    uint32_t current = 0;
    xcb_window_t active = XCB_WINDOW_NONE;
    const bool hasDesktop = xcb_ewmh_get_wm_desktop_reply(&m_ewmh, desktopCookie, &desktop, nullptr);
    const bool hasCurrent = xcb_ewmh_get_current_desktop_reply(&m_ewmh, currentCookie, &current, nullptr);
    if (!xcb_ewmh_get_active_window_reply(&m_ewmh, activeCookie, &active, nullptr))
        active = XCB_WINDOW_NONE;
    const xcb_timestamp_t time = serverTime();
    // The window manager handles its messages in order: the switch is done when the activation
    // arrives.
    if (hasDesktop && hasCurrent && desktop != everyDesktop && desktop != current)
        sendToWindowManager(m_root, m_ewmh._NET_CURRENT_DESKTOP, {desktop, time, 0, 0, 0});
    sendToWindowManager(window, m_ewmh._NET_ACTIVE_WINDOW, {pagerSource, time, active, 0, 0});
}

std::optional<xcb_window_t> X11Session::topLevelOf(xcb_window_t window)
{
    if (!isValid())
        return std::nullopt;
    // Reparenting window managers nest clients a few levels deep; the bound guards a loop.
    for (int depth = 0; depth < 16; ++depth) {
        Reply<xcb_query_tree_reply_t> tree(
            xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, window), nullptr));
        if (!tree)
            return std::nullopt;
        if (tree->parent == m_root || tree->parent == XCB_WINDOW_NONE)
            return window;
        window = tree->parent;
    }
    return std::nullopt;
}

void X11Session::discardEvents()
{
    if (!m_connection)
        return;
    QMutexLocker lock(&m_eventLock);
    while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection))
        std::free(event);
}

} // namespace qv
