#pragma once

#include <QHash>
#include <QObject>

#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>

class QSocketNotifier;

namespace qv {

// The backend's own connection to the X server (separate from Qt's), with the EWMH atoms and a
// watch on the root window's properties. Events are read on the main thread from the event loop.
// A connection that could not be opened, or that broke, reports isValid() false; every reader then
// answers empty.
class X11Connection : public QObject
{
    Q_OBJECT
public:
    // displayName empty: $DISPLAY.
    explicit X11Connection(const QByteArray &displayName = QByteArray(), QObject *parent = nullptr);
    ~X11Connection() override;

    bool isValid() const;
    xcb_connection_t *xcb() const { return m_connection; }
    xcb_ewmh_connection_t *ewmh() { return &m_ewmh; }
    xcb_window_t root() const { return m_root; }
    int screenNumber() const { return m_screenNumber; }

    // Hands on events that an earlier wait for a reply left in xcb's queue. Call it (queued) after a
    // round of requests: the socket notifier does not fire for events already read off the socket.
    void readQueuedEvents() { readEvents(true); }
    // Hears the map state and property changes of `window` (another client's selection is its own),
    // or what `mask` selects, beside what was selected on it before.
    void selectWindowEvents(xcb_window_t window,
                            uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY);
    // No longer hears what `mask` selects on `window`.
    void deselectWindowEvents(xcb_window_t window, uint32_t mask);

    // XInput 2 raw motion of every pointer, for pointerMoved(); false (and nothing selected) when
    // the server has no XInput 2. Turned on, it is in force on the server when this returns.
    bool setRawMotion(bool on);
    // Reports each new owner of the selection through selectionOwnerChanged (XFixes); false when the
    // server has no XFixes.
    bool watchSelection(xcb_atom_t selection);

signals:
    // A property of the root window changed (or was deleted).
    void rootPropertyChanged(quint32 atom);
    // The pointer moved (raw motion selected).
    void pointerMoved();
    // A watched selection has a new owner, or none.
    void selectionOwnerChanged(quint32 selection);
    // Events of other windows this connection selected on (see selectWindowEvents).
    void windowPropertyChanged(quint32 window, quint32 atom);
    void windowMapped(quint32 window);
    void windowUnmapped(quint32 window);
    // Its number may be handed to a new window of another client from now on.
    void windowDestroyed(quint32 window);
    // A pointer button went down in a window of this connection that asked for button presses.
    void buttonPressed(quint32 window);

private:
    void readEvents(bool queuedOnly);

    xcb_connection_t *m_connection = nullptr;
    xcb_ewmh_connection_t m_ewmh{};
    bool m_ewmhReady = false;
    xcb_window_t m_root = XCB_WINDOW_NONE;
    int m_screenNumber = 0;
    QSocketNotifier *m_notifier = nullptr;
    // What this connection selected on other windows than the root, until they are destroyed.
    QHash<xcb_window_t, uint32_t> m_selected;
    // XInput's major opcode; -1 until asked, 0 when the server has no XInput 2.
    int m_xinputOpcode = -1;
    bool m_rawMotion = false;
    // XFixes' first event; -1 until asked, 0 when the server has no XFixes.
    int m_xfixesFirstEvent = -1;
};

} // namespace qv
