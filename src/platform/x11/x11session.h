#pragma once

#include <QByteArray>
#include <QMutex>

#include <array>
#include <optional>

#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>

namespace qv {

// A private connection to the X server for reading and driving other clients' windows, usable from
// any thread: xcb itself is thread-safe, and the few steps that read this connection's own events
// (the server timestamp) hold a lock. Nothing here talks to another client directly: every read is
// answered by the server and every request to a window goes through the window manager, so a dead
// or frozen client can never make a call hang. A connection that could not be opened (or broke)
// reports isValid() false; every user then answers empty.
class X11Session
{
public:
    // Atoms that xcb_ewmh does not intern.
    enum class Atom {
        wmState,
        wmChangeState,
        wmDeleteWindow,
        gtkApplicationId,
        kdeDesktopFile,
        timestampProbe,
        compoundText,
        count
    };

    // displayName empty: $DISPLAY.
    explicit X11Session(const QByteArray &displayName = QByteArray());
    ~X11Session();
    X11Session(const X11Session &) = delete;
    X11Session &operator=(const X11Session &) = delete;

    // Connects to the display, finds its default screen's root and interns the EWMH atoms; shared by
    // every connection of the backend. `connection` is set whenever xcb_connect answered (it must
    // then be disconnected); the result says whether root and atoms are ready.
    static bool connect(const QByteArray &displayName, xcb_connection_t *&connection, int &screenNumber,
                        xcb_window_t &root, xcb_ewmh_connection_t &ewmh);

    bool isValid() const;
    xcb_connection_t *xcb() const { return m_connection; }
    xcb_ewmh_connection_t *ewmh() { return &m_ewmh; }
    xcb_window_t root() const { return m_root; }
    int screenNumber() const { return m_screenNumber; }
    // The display the session was opened on (empty: $DISPLAY), for further connections to it.
    QByteArray displayName() const { return m_displayName; }
    xcb_atom_t atom(Atom which) const { return m_atoms[size_t(which)]; }

    // Extensions, as the server announced them when the session opened.
    bool hasComposite() const { return m_hasComposite; }
    bool hasShm() const { return m_hasShm; }
    bool hasRes() const { return m_hasRes; }
    bool hasXInput2() const { return m_hasXInput2; }

    // Whether a window manager that follows EWMH runs now (_NET_SUPPORTING_WM_CHECK points at a
    // live window that points back at itself). Read afresh: window managers restart.
    bool hasEwmhWindowManager();
    // Whether the running window manager lists `atom` in _NET_SUPPORTED (read afresh).
    bool windowManagerSupports(xcb_atom_t atom);

    // The server's current time, for requests that window managers judge by their timestamp
    // (activation with an old or zero time is refused as focus stealing by many of them).
    xcb_timestamp_t serverTime();

    // Sends an EWMH/ICCCM client message about `window` to the root window, where the window
    // manager listens, and flushes.
    void sendToWindowManager(xcb_window_t window, xcb_atom_t type, const std::array<uint32_t, 5> &data);

    // Asks the window manager to activate `window` (raise it and give it the keyboard) as a pager
    // would, with the server's time. A window on another desktop is reached the way a pager reaches
    // it: that desktop is shown first, since window managers refuse to activate a window the user
    // cannot see. A window on every desktop needs no switch.
    void requestActivation(xcb_window_t window);

    // The top-level window that holds `window` on the root (the window manager's frame around a
    // client, or the client itself); none when the window is gone.
    std::optional<xcb_window_t> topLevelOf(xcb_window_t window);

    // Drops errors of fire-and-forget requests that piled up on this connection.
    void discardEvents();

private:
    QByteArray m_displayName;
    xcb_connection_t *m_connection = nullptr;
    xcb_ewmh_connection_t m_ewmh{};
    bool m_ewmhReady = false;
    xcb_window_t m_root = XCB_WINDOW_NONE;
    int m_screenNumber = 0;
    std::array<xcb_atom_t, size_t(Atom::count)> m_atoms{};
    bool m_hasComposite = false;
    bool m_hasShm = false;
    bool m_hasRes = false;
    bool m_hasXInput2 = false;
    // An unmapped window of our own whose property changes carry the server time.
    xcb_window_t m_timeWindow = XCB_WINDOW_NONE;
    QMutex m_eventLock;
};

} // namespace qv
