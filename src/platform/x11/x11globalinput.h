#pragma once

#include <QHash>
#include <QList>

#include <memory>

#include "platform/globalinput.h"

class QTimer;

namespace qv {

// Global input on X11, over a connection of its own.
//
// Keys: X has no system-wide key filter, so each wanted combination is grabbed on the root window
// (xcb_grab_key) with every Caps Lock / Num Lock / Scroll Lock variant, in asynchronous mode: the
// server takes the key and goes on at once, so the desktop's keyboard never waits for this process,
// however busy or stopped it is. The price is that a grabbed key cannot be handed back: every
// delivered key-down is consumed whatever the filter answers, and keys typed while a grabbed key is
// held down (the grab is active until its release) come to us and go nowhere. The caller therefore
// asks only for the combinations it would consume right now (none while a shortcut is being
// recorded), and a held shortcut's repeats are swallowed rather than typed. Option is Alt and
// Command is Super. A stored key code names a key's place, so it is grabbed on the X key code at
// that place (XKB's key codes do not move with the layout), not on whichever key types the same
// symbol on the layout in force; the modifier bits of Alt, Super, Num Lock and Scroll Lock come from
// the modifier map in force, re-read (and the combinations grabbed again) when the keyboard or its
// layout changes. A combination another client grabbed first (BadAccess), in any lock state, is
// reported by setShortcuts() and none of its lock variants is kept; the others work. Autorepeat is
// told apart with XKB's detectable auto-repeat and XInput 2 raw key events (which also deliver
// key-ups that went to another window).
//
// Wheel: XInput 2 raw button events 4 (away from the user, +1) and 5 (-1) on the root window,
// seen without taking them from anyone, with the pointer position at that moment.
//
// Drags: a drag begins when XFixes reports a new owner of the XdndSelection selection while the
// left button is down, and ends at that button's release; the selection stays owned after a drop,
// so ownership alone is no drag. While a drag lasts the pointer is sampled every 30 ms, since a
// pointer resting at a screen edge sends nothing.
//
// Holding the keyboard: an active keyboard grab on the holder, made on this connection in
// asynchronous mode (the server never waits for us), so our own shortcut grabs do not stand in its
// way and their key-downs still come here first. Other keys and every key-up are sent on to the
// holder as key events of its own. A grab the server refuses (the window not viewable yet, another
// client holding the keyboard for a moment) is tried again when the window maps and every 50 ms
// until it holds; a window that is unmapped loses the grab and takes it again at its next map.
// When another window takes the input focus while the keyboard is held, the focus is set back on
// the holder (at most 32 times per hold, so a desktop that insists cannot make us loop).
//
// The tap is the connection: without an X display createTap() fails; a connection that breaks
// drops the tap (hasTap() false) so that the next createTap() opens a new one. Missing XKB or
// XInput 2 leave autorepeat detection, the wheel and drags out, with a console line. Every grab is
// released when the shortcuts are set to none and at destruction.
class X11GlobalInput final : public GlobalInput
{
    Q_OBJECT
public:
    X11GlobalInput();
    ~X11GlobalInput() override;

    bool createTap() override;
    bool hasTap() const override;
    bool tapEnabled() const override { return hasTap(); }
    void enableTap() override {}
    QList<KeyCombination> setShortcuts(const QList<KeyCombination> &combinations) override;
    bool isDraggingData() const override { return m_dragging; }
    void holdKeyboard(quint64 window) override;
    void releaseKeyboard() override;
    quint64 keyboardHolder() const override { return m_keyboardGrabbed ? m_holder : 0; }

private:
    struct Connection;

    void readEvents(bool queuedOnly);
    void readQueuedEvents() { readEvents(true); }
    void handleEvent(const void *event);
    void handleKeyPress(const void *event);
    void handleKeyRelease(const void *event);
    void reportKeyUp(quint8 code);
    void handleInputEvent(const void *event);
    void handleSelectionOwner(const void *event);
    void reloadKeymap();
    QList<KeyCombination> grab();
    void ungrabAll();
    quint32 flagsFromState(quint16 state) const;
    void sampleDrag();
    void endDrag();
    void dropConnection();
    void watchHolder(bool watch);
    void takeKeyboard();
    void handleHolderEvent(const void *event);
    // Sends a key event that came to us on to the holder.
    void forwardKey(const void *event);

    std::unique_ptr<Connection> m_connection;
    QList<KeyCombination> m_wanted;
    QList<KeyCombination> m_refused;
    // X key code to Mac key code, for the keys of the grabbed combinations.
    QHash<quint8, int> m_grabbedKeys;
    // (X key code, modifiers) pairs grabbed, to release them again.
    QList<QPair<quint8, quint16>> m_grabs;
    // Key-down events delivered to us since each key went physically down (raw press); more than
    // one means the keyboard is repeating it.
    QHash<quint8, int> m_pressesSinceDown;
    bool m_dragging = false;
    // The window that holds the keyboard, 0 when none; whether the server granted the grab.
    quint32 m_holder = 0;
    bool m_keyboardGrabbed = false;
    int m_focusRetakes = 0;
    QTimer *m_grabRetry = nullptr; // child
};

} // namespace qv
