#include "platform/x11/x11connection.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QSocketNotifier>

#include <cstdlib>
#include <xcb/xfixes.h>
#include <xcb/xinput.h>

#include "platform/x11/x11session.h"

namespace qv {

X11Connection::X11Connection(const QByteArray &displayName, QObject *parent) : QObject(parent)
{
    m_ewmhReady = X11Session::connect(displayName, m_connection, m_screenNumber, m_root, m_ewmh);
    if (!m_ewmhReady)
        return;

    const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(m_connection, m_root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(m_connection);

    m_notifier = new QSocketNotifier(xcb_get_file_descriptor(m_connection), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] { readEvents(false); });
    // Waiting for a reply can pull events off the socket into xcb's queue without waking the notifier;
    // drain that queue on every pass of the loop. A loop that only peeks (processEvents without
    // waiting, as every wait that spins the loop itself does) never announces that it blocks, so the
    // pass's start is needed as well as the moment before a sleep.
    if (auto *dispatcher = QAbstractEventDispatcher::instance(thread())) {
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [this] { readEvents(true); });
        connect(dispatcher, &QAbstractEventDispatcher::awake, this, [this] { readEvents(true); });
    }
}

X11Connection::~X11Connection()
{
    if (m_ewmhReady)
        xcb_ewmh_connection_wipe(&m_ewmh);
    if (m_connection)
        xcb_disconnect(m_connection);
}

bool X11Connection::isValid() const
{
    return m_connection && m_ewmhReady && !xcb_connection_has_error(m_connection);
}

void X11Connection::selectWindowEvents(xcb_window_t window, uint32_t mask)
{
    if (!isValid())
        return;
    const uint32_t selected = m_selected.value(window) | mask;
    if (m_selected.value(window) == selected && m_selected.contains(window))
        return;
    m_selected.insert(window, selected);
    xcb_change_window_attributes(m_connection, window, XCB_CW_EVENT_MASK, &selected);
    xcb_flush(m_connection);
}

void X11Connection::deselectWindowEvents(xcb_window_t window, uint32_t mask)
{
    const auto it = m_selected.find(window);
    if (!isValid() || it == m_selected.end() || (*it & mask) == 0)
        return;
    *it &= ~mask;
    const uint32_t selected = *it;
    xcb_change_window_attributes(m_connection, window, XCB_CW_EVENT_MASK, &selected);
    xcb_flush(m_connection);
}

bool X11Connection::setRawMotion(bool on)
{
    if (!isValid())
        return false;
    if (m_xinputOpcode < 0) {
        m_xinputOpcode = 0;
        const xcb_query_extension_reply_t *ext = xcb_get_extension_data(m_connection, &xcb_input_id);
        xcb_input_xi_query_version_reply_t *version =
            ext && ext->present ? xcb_input_xi_query_version_reply(
                                      m_connection, xcb_input_xi_query_version(m_connection, 2, 2), nullptr)
                                : nullptr;
        // Raw events reach every client that asks only from XInput 2.1 on.
        if (version && (version->major_version > 2 || version->minor_version >= 1))
            m_xinputOpcode = ext->major_opcode;
        std::free(version);
    }
    if (m_xinputOpcode == 0)
        return false;
    if (on == m_rawMotion)
        return true;
    m_rawMotion = on;
    struct
    {
        xcb_input_event_mask_t head;
        uint32_t mask;
    } selection{{XCB_INPUT_DEVICE_ALL_MASTER, 1}, on ? uint32_t(XCB_INPUT_XI_EVENT_MASK_RAW_MOTION) : 0u};
    xcb_input_xi_select_events(m_connection, m_root, 1, &selection.head);
    if (on) {
        // A round trip: the pointer read on another connection after this sees every move the
        // selection does not report.
        std::free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
    } else {
        xcb_flush(m_connection);
    }
    return true;
}

bool X11Connection::watchSelection(xcb_atom_t selection)
{
    if (!isValid())
        return false;
    if (m_xfixesFirstEvent < 0) {
        m_xfixesFirstEvent = 0;
        const xcb_query_extension_reply_t *ext = xcb_get_extension_data(m_connection, &xcb_xfixes_id);
        if (ext && ext->present) {
            std::free(xcb_xfixes_query_version_reply(m_connection,
                                                     xcb_xfixes_query_version(m_connection, 5, 0), nullptr));
            m_xfixesFirstEvent = ext->first_event;
        }
    }
    if (m_xfixesFirstEvent == 0)
        return false;
    xcb_xfixes_select_selection_input(m_connection, m_root, selection,
                                      XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER |
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY |
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
    xcb_flush(m_connection);
    return true;
}

void X11Connection::readEvents(bool queuedOnly)
{
    if (!m_connection)
        return;
    if (xcb_connection_has_error(m_connection)) {
        if (m_notifier)
            m_notifier->setEnabled(false);
        return;
    }
    // Motion comes in bursts; one notice per read is enough.
    bool moved = false;
    while (xcb_generic_event_t *event =
               queuedOnly ? xcb_poll_for_queued_event(m_connection) : xcb_poll_for_event(m_connection)) {
        const int type = event->response_type & ~0x80;
        if (type == XCB_GE_GENERIC) {
            const auto *generic = reinterpret_cast<xcb_ge_generic_event_t *>(event);
            if (m_xinputOpcode > 0 && generic->extension == m_xinputOpcode &&
                generic->event_type == XCB_INPUT_RAW_MOTION && m_rawMotion)
                moved = true;
        } else if (m_xfixesFirstEvent > 0 && type == m_xfixesFirstEvent + XCB_XFIXES_SELECTION_NOTIFY) {
            emit selectionOwnerChanged(
                reinterpret_cast<xcb_xfixes_selection_notify_event_t *>(event)->selection);
        } else if (type == XCB_PROPERTY_NOTIFY) {
            const auto *notify = reinterpret_cast<xcb_property_notify_event_t *>(event);
            if (notify->window == m_root)
                emit rootPropertyChanged(notify->atom);
            else
                emit windowPropertyChanged(notify->window, notify->atom);
        } else if (type == XCB_MAP_NOTIFY) {
            const auto *notify = reinterpret_cast<xcb_map_notify_event_t *>(event);
            if (notify->event == notify->window)
                emit windowMapped(notify->window);
        } else if (type == XCB_UNMAP_NOTIFY) {
            const auto *notify = reinterpret_cast<xcb_unmap_notify_event_t *>(event);
            if (notify->event == notify->window)
                emit windowUnmapped(notify->window);
        } else if (type == XCB_DESTROY_NOTIFY) {
            const auto *notify = reinterpret_cast<xcb_destroy_notify_event_t *>(event);
            if (notify->event == notify->window) {
                m_selected.remove(notify->window);
                emit windowDestroyed(notify->window);
            }
        } else if (type == XCB_BUTTON_PRESS) {
            emit buttonPressed(reinterpret_cast<xcb_button_press_event_t *>(event)->event);
        }
        std::free(event);
    }
    if (moved)
        emit pointerMoved();
}

} // namespace qv
