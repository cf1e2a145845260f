#include "platform/x11/x11workspace.h"

#include <QDBusConnection>
#include <QSet>
#include <QTimer>

#include <xcb/xcb_icccm.h>

#include "platform/x11/x11connection.h"

namespace qv {

X11Workspace::X11Workspace(X11Connection &connection, QObject *parent)
    : WorkspaceService(parent), m_connection(connection)
{
    if (m_connection.isValid()) {
        xcb_ewmh_connection_t *ewmh = m_connection.ewmh();
        connect(&m_connection, &X11Connection::rootPropertyChanged, this, [this, ewmh](quint32 atom) {
            if (atom == ewmh->_NET_CLIENT_LIST || atom == ewmh->_NET_ACTIVE_WINDOW)
                scheduleClientListRead();
            else if (atom == ewmh->_NET_CURRENT_DESKTOP)
                emit activeSpaceChanged();
        });
        readClientList();
    }

    QDBusConnection bus = QDBusConnection::systemBus();
    if (bus.isConnected()) {
        bus.connect(QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
                    QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"), this,
                    SLOT(prepareForSleep(bool)));
    }
}

RunningApp X11Workspace::frontmostApplication() const
{
    for (const RunningApp &app : m_apps) {
        if (app.isActive)
            return app;
    }
    return {};
}

bool X11Workspace::activate(qint64 pid)
{
    const QList<xcb_window_t> windows = m_windows.value(pid);
    if (windows.isEmpty() || !m_connection.isValid())
        return false;
    xcb_ewmh_connection_t *ewmh = m_connection.ewmh();
    // The application's topmost window, so activating does not reshuffle its own windows.
    xcb_window_t target = windows.last();
    xcb_ewmh_get_windows_reply_t stacking;
    if (xcb_ewmh_get_client_list_stacking_reply(
            ewmh, xcb_ewmh_get_client_list_stacking(ewmh, m_connection.screenNumber()), &stacking, nullptr)) {
        for (uint32_t i = stacking.windows_len; i > 0; --i) {
            if (windows.contains(stacking.windows[i - 1])) {
                target = stacking.windows[i - 1];
                break;
            }
        }
        xcb_ewmh_get_windows_reply_wipe(&stacking);
    }
    xcb_ewmh_request_change_active_window(ewmh, m_connection.screenNumber(), target,
                                          XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER, XCB_CURRENT_TIME,
                                          XCB_WINDOW_NONE);
    xcb_flush(m_connection.xcb());
    QMetaObject::invokeMethod(&m_connection, &X11Connection::readQueuedEvents, Qt::QueuedConnection);
    return true;
}

void X11Workspace::prepareForSleep(bool sleeping)
{
    if (sleeping)
        emit willSleep();
    else
        emit didWake();
}

void X11Workspace::scheduleClientListRead()
{
    // A window manager rewrites the list several times while one window maps; read it once.
    if (m_readScheduled)
        return;
    m_readScheduled = true;
    QTimer::singleShot(0, this, [this] {
        m_readScheduled = false;
        readClientList();
    });
}

QList<X11Workspace::ClientWindow> X11Workspace::readClients(const QList<xcb_window_t> &windows)
{
    xcb_connection_t *c = m_connection.xcb();
    xcb_ewmh_connection_t *ewmh = m_connection.ewmh();
    struct Cookies
    {
        xcb_get_property_cookie_t pid, wmClass, type;
    };
    QList<Cookies> cookies;
    cookies.reserve(windows.size());
    for (xcb_window_t window : windows) {
        cookies.append({xcb_ewmh_get_wm_pid(ewmh, window), xcb_icccm_get_wm_class(c, window),
                        xcb_ewmh_get_wm_window_type(ewmh, window)});
    }
    QList<ClientWindow> result;
    for (qsizetype i = 0; i < windows.size(); ++i) {
        ClientWindow client{windows[i], 0, QString(), true};
        uint32_t pid = 0;
        if (xcb_ewmh_get_wm_pid_reply(ewmh, cookies[i].pid, &pid, nullptr))
            client.pid = pid;
        xcb_icccm_get_wm_class_reply_t wmClass;
        if (xcb_icccm_get_wm_class_reply(c, cookies[i].wmClass, &wmClass, nullptr)) {
            client.wmClass = QString::fromLocal8Bit(wmClass.class_name);
            xcb_icccm_get_wm_class_reply_wipe(&wmClass);
        }
        xcb_ewmh_get_atoms_reply_t types;
        if (xcb_ewmh_get_wm_window_type_reply(ewmh, cookies[i].type, &types, nullptr)) {
            for (uint32_t t = 0; t < types.atoms_len; ++t) {
                if (types.atoms[t] == ewmh->_NET_WM_WINDOW_TYPE_DOCK ||
                    types.atoms[t] == ewmh->_NET_WM_WINDOW_TYPE_DESKTOP)
                    client.regular = false;
            }
            xcb_ewmh_get_atoms_reply_wipe(&types);
        }
        if (client.pid > 0)
            result.append(client);
    }
    return result;
}

void X11Workspace::readClientList()
{
    if (!m_connection.isValid())
        return;
    xcb_ewmh_connection_t *ewmh = m_connection.ewmh();
    QList<xcb_window_t> windows;
    xcb_ewmh_get_windows_reply_t list;
    if (xcb_ewmh_get_client_list_reply(ewmh, xcb_ewmh_get_client_list(ewmh, m_connection.screenNumber()),
                                       &list, nullptr)) {
        windows.reserve(list.windows_len);
        for (uint32_t i = 0; i < list.windows_len; ++i)
            windows.append(list.windows[i]);
        xcb_ewmh_get_windows_reply_wipe(&list);
    }

    // Applications in the order their first window was listed (the list runs oldest first).
    QList<RunningApp> apps;
    QHash<qint64, QList<xcb_window_t>> byPid;
    for (const ClientWindow &client : readClients(windows)) {
        auto it = byPid.find(client.pid);
        if (it == byPid.end()) {
            byPid.insert(client.pid, {client.window});
            apps.append(RunningApp{client.pid, client.wmClass, client.wmClass, false, false, client.regular});
        } else {
            it->append(client.window);
            for (RunningApp &app : apps) {
                if (app.pid == client.pid)
                    app.isRegular = app.isRegular || client.regular;
            }
        }
    }

    QSet<qint64> before;
    for (const RunningApp &app : std::as_const(m_apps))
        before.insert(app.pid);
    m_apps = apps;
    m_windows = byPid;

    // The active window is read after the list so a window that just appeared is already known.
    const qint64 previousActive = m_activePid;
    readActiveWindow();
    QMetaObject::invokeMethod(&m_connection, &X11Connection::readQueuedEvents, Qt::QueuedConnection);

    for (const RunningApp &app : std::as_const(m_apps)) {
        if (!before.remove(app.pid))
            emit applicationLaunched(app.pid);
    }
    for (qint64 pid : std::as_const(before))
        emit applicationTerminated(pid);
    if (m_activePid != previousActive && m_activePid != 0)
        emit applicationActivated(m_activePid);
}

void X11Workspace::readActiveWindow()
{
    xcb_ewmh_connection_t *ewmh = m_connection.ewmh();
    xcb_window_t active = XCB_WINDOW_NONE;
    if (!xcb_ewmh_get_active_window_reply(ewmh, xcb_ewmh_get_active_window(ewmh, m_connection.screenNumber()),
                                          &active, nullptr))
        active = XCB_WINDOW_NONE;
    m_activePid = 0;
    for (auto it = m_windows.cbegin(); it != m_windows.cend(); ++it) {
        if (it->contains(active))
            m_activePid = it.key();
    }
    for (RunningApp &app : m_apps)
        app.isActive = m_activePid != 0 && app.pid == m_activePid;
}

} // namespace qv
