#pragma once

#include <QHash>
#include <QImage>
#include <QList>
#include <QMargins>
#include <QRect>
#include <QString>

#include <optional>

#include <xcb/xcb.h>

namespace qv {

class X11Session;

// What the X server knows about one managed client window.
struct X11Client
{
    xcb_window_t window = XCB_WINDOW_NONE;
    // The outer frame on the root window: the client's own area grown by _NET_FRAME_EXTENTS.
    QRect frame;
    // The extents the window manager draws around the client (left, right, top, bottom).
    QMargins extents;
    // _NET_WM_NAME, else WM_NAME; absent when the window has neither.
    std::optional<QString> title;
    // _NET_WM_PID, else the owning client's process from the X-Resource extension; 0 when unknown.
    qint64 pid = 0;
    QString wmInstance;
    QString wmClass;
    QString gtkApplicationId;
    QString kdeDesktopFile;
    QList<xcb_atom_t> types;
    QList<xcb_atom_t> states;
    // _NET_WM_DESKTOP; 0xFFFFFFFF for windows on every desktop; absent when unset.
    std::optional<uint32_t> desktop;
    bool viewable = false;
    // Minimised: _NET_WM_STATE_HIDDEN, or ICCCM WM_STATE Iconic on the current desktop.
    bool hidden = false;
    bool fullScreen = false;
};

// Reads client windows through an X11Session: the window manager's lists and each client's
// properties, many windows in one round trip. Safe from any thread. Malformed properties (wrong
// format or length) count as absent; a window destroyed meanwhile is left out of the answer.
class X11ClientReader
{
public:
    explicit X11ClientReader(X11Session &session) : m_session(session) {}

    // The managed clients, front to back (_NET_CLIENT_LIST_STACKING reversed, else
    // _NET_CLIENT_LIST). Empty without a window manager; none when the server cannot be read.
    std::optional<QList<xcb_window_t>> clientsFrontToBack();
    QList<X11Client> read(const QList<xcb_window_t> &windows);
    std::optional<X11Client> readOne(xcb_window_t window);
    // Of these windows, those that may belong to the process: its _NET_WM_PID, or none (the server
    // is then asked in read()). One small read a window, for finding one program's windows among
    // hundreds without reading them all whole.
    QList<xcb_window_t> possiblyOwnedBy(const QList<xcb_window_t> &windows, qint64 pid);
    // _NET_ACTIVE_WINDOW; XCB_WINDOW_NONE when none.
    xcb_window_t activeWindow();
    // _NET_CURRENT_DESKTOP; absent when the window manager does not publish desktops.
    std::optional<uint32_t> currentDesktop();
    // Whether a window with this state or type list is a document window (normal or dialog); the
    // rest is desktop furniture, menus and helpers.
    int layerOf(const X11Client &client) const;
    // One client per process: the one it created first (the lowest window number of its
    // connection), whose hints name the application for all of its windows, so that every window
    // of a process and the process itself carry one identity.
    static QHash<qint64, X11Client> firstPerProcess(const QList<X11Client> &clients);
    // Whether the client shows on the current desktop (sticky or on it; always, without desktops).
    static bool isOnDesktop(const X11Client &client, std::optional<uint32_t> current);
    // The best _NET_WM_ICON image for `preferredSize` (the smallest at least that size, else the
    // largest); null when there is none or the property is malformed. Reads the entries' headers
    // one by one and then the pixels of the one picked only, so a property of any size (100 MB, or
    // a header that claims more than there is) costs a few small reads.
    QImage icon(xcb_window_t window, int preferredSize);

    // Picks an icon out of _NET_WM_ICON's data (width, height, then width x height ARGB pixels, for
    // each size). Entries whose length does not fit the data, empty or over 1024 on a side, end the
    // walk: what follows a broken entry cannot be trusted. At most 32 entries are looked at.
    static QImage pickIcon(const uint32_t *data, size_t length, int preferredSize);

private:
    // One size of an icon: where its header starts in the property (in 32-bit units) and its size.
    struct IconEntry
    {
        size_t offset = 0;
        uint32_t width = 0;
        uint32_t height = 0;
    };
    // The entry whose header at `offset` reads width x height, when it is sound and its pixels lie
    // within the property's `length`.
    static std::optional<IconEntry> iconEntryAt(size_t offset, uint32_t width, uint32_t height,
                                                size_t length);
    static std::optional<IconEntry> bestIconEntry(const QList<IconEntry> &entries, int preferredSize);
    static QImage iconImage(const IconEntry &entry, const uint32_t *pixels);

    X11Session &m_session;
};

} // namespace qv
