#include "platform/x11/x11docktilesource.h"

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QMutexLocker>

#include <algorithm>
#include <cstdlib>

#include "platform/x11/x11clientreader.h"
#include "platform/x11/x11desktopentries.h"
#include "platform/x11/x11session.h"

namespace qv {

X11DockTileSource::X11DockTileSource(X11Session &session, X11DesktopEntries &entries, QStringList panels,
                                     QObject *parent)
    : QObject(parent), m_session(session), m_entries(entries), m_walker(std::move(panels))
{
    m_walker.setOnWalk([this](const std::optional<QList<X11PanelWalk>> &walks) { takeWalk(walks); });
    // From the walker's thread through the scheduler, whose hand-off a thread checker can follow.
    // One hand-off at a time: a panel whose buttons move many times a second (a window retitling
    // itself) wakes the main thread once per turn of its loop, not once per report.
    m_walker.setOnChange([this] {
        if (!m_changeQueued.exchange(true))
            m_scheduler.post([this] {
                m_changeQueued = false;
                m_gate.noteChange();
            });
    });
    // A panel that starts the accessibility bus after us is found once the bus is there; one that
    // takes it down with it is gone.
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        auto *watcher = new QDBusServiceWatcher(QStringLiteral("org.a11y.Bus"), bus,
                                                QDBusServiceWatcher::WatchForOwnerChange, this);
        connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this, [this] { m_gate.noteChange(); });
    }
    // The first walk at start-up, on the walker's thread, so the first hover finds the tiles read.
    m_walker.requestWalk();
}

X11DockTileSource::~X11DockTileSource() = default;

QList<X11DockTile> X11DockTileSource::refresh()
{
    m_walker.walk(std::chrono::milliseconds(refreshWaitMs));
    return tiles();
}

QList<X11DockTile> X11DockTileSource::tiles() const
{
    QMutexLocker lock(&m_mutex);
    return m_tiles;
}

std::optional<QRect> X11DockTileSource::frameOf(const QString &appName, int ordinal) const
{
    QMutexLocker lock(&m_mutex);
    int seen = 0;
    for (const X11DockTile &tile : m_tiles) {
        if (tile.appName == appName && seen++ == ordinal)
            return tile.frame;
    }
    return std::nullopt;
}

std::optional<bool> X11DockTileSource::panelOnAccessibilityBus(std::chrono::milliseconds wait) const
{
    QMutexLocker lock(&m_mutex);
    const QDeadlineTimer deadline(wait);
    while (!m_panelOnBus && !deadline.hasExpired()) {
        if (!m_walked.wait(&m_mutex, deadline))
            break;
    }
    return m_panelOnBus;
}

std::optional<QString> X11DockTileSource::side() const
{
    QMutexLocker lock(&m_mutex);
    return m_side;
}

void X11DockTileSource::takeWalk(const std::optional<QList<X11PanelWalk>> &walks)
{
    const QList<X11PanelWalk> panels = walks.value_or(QList<X11PanelWalk>());
    QRect screen;
    const QList<X11TaskWindow> windows = readWindows(screen);
    const QList<X11DockTile> tiles = X11DockTiles::build(panels, windows);

    // The panel's own frame says its side; with icon geometry alone, the first tile does.
    std::optional<QString> side;
    const QList<QRect> frames = X11DockTiles::panelFrames(panels);
    if (!frames.isEmpty())
        side = X11DockTiles::panelSide(frames.first(), screen);
    else if (!tiles.isEmpty())
        side = X11DockTiles::panelSide(tiles.first().frame, screen);

    bool hasIconGeometry = false;
    for (const X11TaskWindow &window : windows)
        hasIconGeometry = hasIconGeometry || window.iconGeometry.has_value();
    const bool present = !panels.isEmpty() || hasIconGeometry;
    bool changed = false;
    {
        QMutexLocker lock(&m_mutex);
        changed = tiles != m_tiles;
        m_tiles = tiles;
        m_side = side;
        m_panelOnBus = !panels.isEmpty();
        m_walked.wakeAll();
    }
    m_scheduler.post([this, present, changed] {
        setPresent(present);
        if (changed)
            emit tilesChanged();
    });
}

QList<X11TaskWindow> X11DockTileSource::readWindows(QRect &screen)
{
    if (!m_session.isValid())
        return {};
    xcb_connection_t *c = m_session.xcb();
    const xcb_get_geometry_cookie_t rootCookie = xcb_get_geometry(c, m_session.root());
    X11ClientReader reader(m_session);
    const QList<X11Client> clients = reader.read(reader.clientsFrontToBack().value_or(QList<xcb_window_t>()));

    QList<xcb_get_property_cookie_t> cookies;
    cookies.reserve(clients.size());
    const xcb_atom_t geometryAtom = m_session.ewmh()->_NET_WM_ICON_GEOMETRY;
    for (const X11Client &client : clients)
        cookies.append(xcb_get_property(c, 0, client.window, geometryAtom, XCB_ATOM_CARDINAL, 0, 4));
    if (xcb_get_geometry_reply_t *root = xcb_get_geometry_reply(c, rootCookie, nullptr)) {
        screen = QRect(0, 0, root->width, root->height);
        std::free(root);
    }

    // Taskbars leave their rectangles behind when they quit; a rectangle counts only while a panel
    // window (type dock) that shows holds it.
    QList<QRect> panels;
    const xcb_atom_t dockType = m_session.ewmh()->_NET_WM_WINDOW_TYPE_DOCK;
    for (const X11Client &client : clients) {
        if (client.viewable && client.types.contains(dockType))
            panels.append(client.frame);
    }
    const auto onPanel = [&panels](const QRect &rect) {
        return std::any_of(panels.cbegin(), panels.cend(),
                           [&rect](const QRect &panel) { return panel.contains(rect); });
    };

    const QHash<qint64, X11Client> first = X11ClientReader::firstPerProcess(clients);
    QList<X11TaskWindow> windows;
    windows.reserve(clients.size());
    for (qsizetype i = 0; i < clients.size(); ++i) {
        const X11Client &client = clients[i];
        X11TaskWindow window{client.title, client.wmClass, client.wmInstance, QString(), std::nullopt};
        if (client.pid > 0)
            window.appName = m_entries.identify(first.value(client.pid)).name;
        xcb_get_property_reply_t *reply = xcb_get_property_reply(c, cookies[i], nullptr);
        // Four 32-bit values or nothing: a short or oddly typed property is no geometry; values past
        // the fourth are not read.
        if (reply && reply->format == 32 && reply->type == XCB_ATOM_CARDINAL &&
            xcb_get_property_value_length(reply) == 16) {
            const auto *v = static_cast<const uint32_t *>(xcb_get_property_value(reply));
            window.iconGeometry = X11DockTiles::frameFrom(int32_t(v[0]), int32_t(v[1]), v[2], v[3]);
            if (window.iconGeometry && !onPanel(*window.iconGeometry))
                window.iconGeometry.reset();
        }
        std::free(reply);
        windows.append(std::move(window));
    }
    return windows;
}

void X11DockTileSource::setPresent(bool present)
{
    if (present == m_present)
        return;
    m_present = present;
    emit presenceChanged(present);
}

} // namespace qv
