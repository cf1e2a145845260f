#include "platform/x11/x11workspace.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QSet>
#include <QTimer>

#include <cstdlib>
#include <xcb/xcb_icccm.h>

#include "platform/x11/x11clientreader.h"
#include "platform/x11/x11connection.h"
#include "platform/x11/x11desktopentries.h"
#include "platform/x11/x11docktilesource.h"
#include "platform/x11/x11session.h"

namespace qv {

namespace {

RunningApp dockApp()
{
    return RunningApp{X11DockTileSource::dockPid, QStringLiteral("com.apple.dock"), QStringLiteral("Dock"), false,
                      false, false};
}

} // namespace

X11Workspace::X11Workspace(X11Connection &connection, X11Session &session, X11DesktopEntries &entries,
                           X11DockTileSource *dockTiles, QObject *parent)
    : WorkspaceService(parent), m_connection(connection), m_session(session), m_entries(entries)
{
    if (m_connection.isValid()) {
        xcb_ewmh_connection_t *ewmh = m_connection.ewmh();
        connect(&m_connection, &X11Connection::rootPropertyChanged, this, [this, ewmh](quint32 atom) {
            if (atom == ewmh->_NET_CLIENT_LIST || atom == ewmh->_NET_ACTIVE_WINDOW)
                scheduleClientListRead();
            else if (atom == ewmh->_NET_CURRENT_DESKTOP)
                emit activeSpaceChanged();
        });
        connect(&m_connection, &X11Connection::windowPropertyChanged, this,
                &X11Workspace::noteWindowProperty);
        connect(&m_connection, &X11Connection::windowUnmapped, this, [this](quint32 window) {
            if (m_known.contains(window))
                m_stale.insert(window);
        });
        // A new client may be given the number of a window gone between two reads of the list: what
        // was read of the old one must not stand for it, nor the events selected on the old one.
        // (The list read last may already have held the new window under the old one's data.)
        connect(&m_connection, &X11Connection::windowDestroyed, this, [this](quint32 window) {
            m_stale.remove(window);
            if (m_known.remove(window))
                scheduleClientListRead();
        });
        readClientList();
    }
    if (dockTiles) {
        connect(dockTiles, &X11DockTileSource::presenceChanged, this, &X11Workspace::setDockListed);
        connect(dockTiles, &X11DockTileSource::tilesChanged, this, &WorkspaceService::dockTilesChanged);
        setDockListed(dockTiles->isPresent());
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
    if (windows.isEmpty() || !m_session.isValid())
        return false;
    X11ClientReader reader(m_session);
    // The application's topmost window, so activating does not reshuffle its own windows.
    xcb_window_t target = windows.last();
    if (const std::optional<QList<xcb_window_t>> stacking = reader.clientsFrontToBack()) {
        for (xcb_window_t window : *stacking) {
            if (windows.contains(window)) {
                target = window;
                break;
            }
        }
    }
    sendActivation(target);
    return true;
}

quint32 X11Workspace::focusedWindow() const
{
    if (!m_session.isValid())
        return 0;
    X11ClientReader reader(m_session);
    const QList<xcb_window_t> clients = reader.clientsFrontToBack().value_or(QList<xcb_window_t>());
    const xcb_window_t active = reader.activeWindow();
    if (active != XCB_WINDOW_NONE && clients.contains(active))
        return active;
    // Without a window manager that names it, the input focus may sit on a child of the client.
    xcb_connection_t *c = m_session.xcb();
    xcb_get_input_focus_reply_t *focus = xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr);
    xcb_window_t window = focus ? focus->focus : xcb_window_t(XCB_WINDOW_NONE);
    std::free(focus);
    for (int depth = 0; depth < 16 && window > XCB_INPUT_FOCUS_POINTER_ROOT && window != m_session.root();
         ++depth) {
        if (clients.contains(window))
            return window;
        xcb_query_tree_reply_t *tree = xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr);
        window = tree ? tree->parent : xcb_window_t(XCB_WINDOW_NONE);
        std::free(tree);
    }
    return 0;
}

bool X11Workspace::activateWindow(quint32 windowId)
{
    if (!m_session.isValid() || windowId == 0)
        return false;
    // Asked of the server, not of the list read on the last change, which may be a turn behind.
    const auto clients = X11ClientReader(m_session).clientsFrontToBack();
    if (!clients || !clients->contains(windowId))
        return false;
    sendActivation(windowId);
    return true;
}

void X11Workspace::sendActivation(xcb_window_t window)
{
    // As a task list asks, so no focus-stealing rule refuses, and on whichever desktop it lies.
    m_session.requestActivation(window);
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

uint32_t X11Workspace::clientEventMask() const
{
    // Unmaps and destroys always (what was read of a window stands until then); property changes
    // only while titles are followed: a window retitling itself many times a second would
    // otherwise wake the program as often.
    return XCB_EVENT_MASK_STRUCTURE_NOTIFY | (m_followTitles ? XCB_EVENT_MASK_PROPERTY_CHANGE : 0);
}

void X11Workspace::followWindowTitles(bool follow)
{
    if (follow == m_followTitles)
        return;
    m_followTitles = follow;
    // Property changes missed meanwhile: what was read of the windows may be out of date.
    for (const xcb_window_t window : std::as_const(m_clientList)) {
        if (follow) {
            m_connection.selectWindowEvents(window, clientEventMask());
            m_stale.insert(window);
        } else {
            m_connection.deselectWindowEvents(window, XCB_EVENT_MASK_PROPERTY_CHANGE);
        }
    }
}

void X11Workspace::noteWindowProperty(quint32 window, quint32 atom)
{
    if (!m_known.contains(window) || !m_followTitles)
        return;
    xcb_ewmh_connection_t *ewmh = m_connection.ewmh();
    if (atom == ewmh->_NET_WM_NAME || atom == XCB_ATOM_WM_NAME) {
        if (m_clientList.contains(window))
            emit windowListChanged();
        return;
    }
    // Programs write their user time at every key and click; nothing read here rests on it.
    if (atom != ewmh->_NET_WM_USER_TIME && atom != ewmh->_NET_WM_ICON)
        m_stale.insert(window);
}

void X11Workspace::readClientList()
{
    if (!m_session.isValid())
        return;
    X11ClientReader reader(m_session);
    xcb_ewmh_connection_t *ewmh = m_session.ewmh();
    QList<xcb_window_t> windows;
    xcb_ewmh_get_windows_reply_t list;
    if (xcb_ewmh_get_client_list_reply(ewmh, xcb_ewmh_get_client_list(ewmh, m_session.screenNumber()), &list,
                                       nullptr)) {
        windows.reserve(list.windows_len);
        for (uint32_t i = 0; i < list.windows_len; ++i)
            windows.append(list.windows[i]);
        xcb_ewmh_get_windows_reply_wipe(&list);
    }

    // Applications in the order their first window was listed (the list runs oldest first).
    QList<RunningApp> apps;
    QHash<qint64, QList<xcb_window_t>> byPid;
    QList<xcb_window_t> unread;
    bool selected = false;
    for (const xcb_window_t window : std::as_const(windows)) {
        if (!m_known.contains(window)) {
            m_connection.selectWindowEvents(window, clientEventMask());
            selected = true;
            unread.append(window);
        } else if (m_stale.contains(window)) {
            unread.append(window);
        }
    }
    // The selections are in force before the read: a change made after it is heard.
    if (selected) {
        xcb_connection_t *c = m_connection.xcb();
        std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    }
    for (const xcb_window_t window : std::as_const(unread)) {
        m_known.remove(window);
        m_stale.remove(window);
    }
    for (const X11Client &client : reader.read(unread))
        m_known.insert(client.window, client);
    const QSet<xcb_window_t> listed(windows.cbegin(), windows.cend());
    m_known.removeIf(
        [&listed](QHash<xcb_window_t, X11Client>::iterator known) { return !listed.contains(known.key()); });
    m_stale.removeIf([&listed](xcb_window_t window) { return !listed.contains(window); });
    QList<X11Client> clients;
    for (const xcb_window_t window : std::as_const(windows)) {
        if (const auto known = m_known.constFind(window); known != m_known.constEnd())
            clients.append(*known);
    }
    const QHash<qint64, X11Client> first = X11ClientReader::firstPerProcess(clients);
    for (const X11Client &client : clients) {
        if (client.pid <= 0)
            continue;
        const bool document = reader.layerOf(client) == 0;
        auto it = byPid.find(client.pid);
        if (it == byPid.end()) {
            byPid.insert(client.pid, {client.window});
            const X11AppIdentity identity = m_entries.identify(first.value(client.pid));
            apps.append(RunningApp{client.pid, identity.bundleIdentifier, identity.name, false, false,
                                   document || identity.hasDesktopEntry});
        } else {
            it->append(client.window);
            for (RunningApp &app : apps) {
                if (app.pid == client.pid)
                    app.isRegular = app.isRegular || document;
            }
        }
    }

    if (m_dockListed)
        apps.append(dockApp());
    QSet<qint64> before;
    for (const RunningApp &app : std::as_const(m_apps))
        before.insert(app.pid);
    m_apps = apps;
    m_windows = byPid;

    // The active window is read after the list so a window that just appeared is already known.
    const qint64 previousActive = m_activePid;
    readActiveWindow();
    m_session.discardEvents();

    for (const RunningApp &app : std::as_const(m_apps)) {
        if (!before.remove(app.pid))
            emit applicationLaunched(app.pid);
    }
    for (qint64 pid : std::as_const(before))
        emit applicationTerminated(pid);
    if (m_activePid != previousActive && m_activePid != 0)
        emit applicationActivated(m_activePid);
    // Our own panels come and go with every opening; only other programs' windows count.
    QList<xcb_window_t> others;
    for (const X11Client &client : clients) {
        if (client.pid != QCoreApplication::applicationPid())
            others.append(client.window);
    }
    if (others != m_clientList) {
        const QSet<xcb_window_t> present(others.cbegin(), others.cend());
        QList<quint32> closed;
        for (xcb_window_t window : std::as_const(m_clientList)) {
            if (!present.contains(window))
                closed.append(window);
        }
        m_clientList = others;
        if (!closed.isEmpty())
            emit windowsClosed(closed);
        emit windowListChanged();
    }
}

void X11Workspace::hideOtherApplications(qint64 keepPid)
{
    if (!m_session.isValid())
        return;
    X11ClientReader reader(m_session);
    const qint64 ownPid = QCoreApplication::applicationPid();
    QList<xcb_window_t> others;
    for (auto it = m_windows.cbegin(); it != m_windows.cend(); ++it) {
        if (it.key() != keepPid && it.key() != ownPid)
            others += it.value();
    }
    // Panels, docks and the desktop stay; only document windows are iconified, as a user would.
    for (const X11Client &client : reader.read(others)) {
        if (reader.layerOf(client) == 0)
            m_session.sendToWindowManager(client.window, m_session.atom(X11Session::Atom::wmChangeState),
                                          {XCB_ICCCM_WM_STATE_ICONIC, 0, 0, 0, 0});
    }
}

void X11Workspace::setDockListed(bool listed)
{
    if (listed == m_dockListed)
        return;
    m_dockListed = listed;
    if (listed) {
        m_apps.append(dockApp());
        emit applicationLaunched(X11DockTileSource::dockPid);
    } else {
        m_apps.removeIf([](const RunningApp &app) { return app.pid == X11DockTileSource::dockPid; });
        emit applicationTerminated(X11DockTileSource::dockPid);
    }
}

void X11Workspace::readActiveWindow()
{
    const xcb_window_t active = X11ClientReader(m_session).activeWindow();
    m_activePid = 0;
    for (auto it = m_windows.cbegin(); it != m_windows.cend(); ++it) {
        if (it->contains(active))
            m_activePid = it.key();
    }
    for (RunningApp &app : m_apps)
        app.isActive = m_activePid != 0 && app.pid == m_activePid;
}

} // namespace qv
