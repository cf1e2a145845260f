#include "platform/x11/x11connection.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QSocketNotifier>

#include <cstdlib>

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
    // drain that queue before the loop sleeps.
    if (auto *dispatcher = QAbstractEventDispatcher::instance(thread()))
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [this] { readEvents(true); });
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

void X11Connection::selectWindowEvents(xcb_window_t window)
{
    if (!isValid())
        return;
    const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(m_connection, window, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(m_connection);
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
    while (xcb_generic_event_t *event =
               queuedOnly ? xcb_poll_for_queued_event(m_connection) : xcb_poll_for_event(m_connection)) {
        switch (event->response_type & ~0x80) {
        case XCB_PROPERTY_NOTIFY: {
            const auto *notify = reinterpret_cast<xcb_property_notify_event_t *>(event);
            if (notify->window == m_root)
                emit rootPropertyChanged(notify->atom);
            else
                emit windowPropertyChanged(notify->window, notify->atom);
            break;
        }
        case XCB_MAP_NOTIFY: {
            const auto *notify = reinterpret_cast<xcb_map_notify_event_t *>(event);
            if (notify->event == notify->window)
                emit windowMapped(notify->window);
            break;
        }
        case XCB_UNMAP_NOTIFY: {
            const auto *notify = reinterpret_cast<xcb_unmap_notify_event_t *>(event);
            if (notify->event == notify->window)
                emit windowUnmapped(notify->window);
            break;
        }
        default:
            break;
        }
        std::free(event);
    }
}

} // namespace qv
