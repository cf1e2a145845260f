#pragma once

#include <QHash>
#include <QList>

#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "platform/globalinput.h"

class QTimer;
struct xcb_connection_t;

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
// Holding the keyboard: the connection's events are read by a thread of its own, which also does
// everything that holds the keyboard, so the desktop's keyboard never waits on the main thread, and
// everything else is handed to the main thread in order. The hold is an active keyboard grab on the
// holder in synchronous mode: the server gives us one key and waits, and the reader thread lets the
// next come right after reading each (never waiting on the main thread). Our own shortcut grabs do
// not stand in its way and their key-downs still reach the filter first. Other keys and every key-up
// are sent on to the holder as key events of its own. A grab the server refuses (the window not
// viewable yet, another client holding the keyboard for a moment) is tried again when the window
// maps and every 50 ms until it holds; a window that is unmapped loses the grab and takes it again
// at its next map. When another window takes the input focus while the keyboard is held, the focus
// is set back on the holder (at most 32 times per hold, so a desktop that insists cannot make us
// loop).
// A consumed shortcut's passive grab lasts only while its key is down, and the surface it opens
// maps some milliseconds later: the reader thread therefore turns the passive grab into an active
// one on the root window the moment it reads a shortcut's press, lets each key come on at once as
// the hold does, and keeps the keys here (at most 256 events) until the holder has its grab; then
// they are sent on to it in order, before any key typed later. The desktop's keyboard never waits
// for the main thread to open the surface. Should the main thread ask for no holder within 250 ms
// (busy, stopped), or see that the shortcut opened nothing, the grab ends and the kept keys are
// typed again through XTEST into the focused window, in the order typed.
// At the user's choice the keyboard must be the chosen window's before the next key is read: when
// Return, Enter or Esc comes while the published choice names a window for it and the main thread
// has handled every key sent on before, the reader thread sends the key on, puts the focus on that
// window and ends the grab while the keyboard is still stopped at that key, so every later key goes
// from the server straight to that window. Otherwise (the main thread behind) the key goes on like
// any other and the holder's handKeyboardTo() hands over; keys typed between go to the holder.
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
    void handKeyboardTo(quint64 window) override;
    void setKeyboardChoice(quint64 returnWindow, quint64 escapeWindow) override;
    quint64 keyboardHolder() const override;

private:
    struct Connection;
    struct Hold;
    // What the reader thread did with a key event before the main thread sees it.
    enum class KeyPath : quint8 {
        free,         // nothing held: the main thread's filter decides
        kept,         // a shortcut's press: the keyboard is kept for the surface it may open
        held,         // sent on (or kept) for the holder
        heldShortcut, // a shortcut's press while held: the filter decides, else it is sent on
    };

    // The reader thread's loop, until the connection breaks or is shut.
    void readLoop(xcb_connection_t *x, int generation);
    // On the reader thread, with the hold locked; whether the main thread sees the event too.
    bool readKeyboardEvent(xcb_connection_t *x, const void *event, KeyPath &path);
    // Ends the connection's threads (before it goes).
    void stopThreads(Connection &connection);
    // The claim watch's thread: gives back the keys of a shortcut's hold no surface claimed in time.
    void watchClaim(xcb_connection_t *x);
    void handleEvent(const void *event, KeyPath path);
    void handleKeyPress(const void *event, KeyPath path);
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
    void takeKeyboard();
    // No surface claimed the keyboard kept at a shortcut's press.
    void dropUnclaimedKeyboard(int generation);
    // Has the main thread run `work`, after what the reader thread handed over before. The work
    // goes through a lock of ours, not inside Qt's queued call, so a thread checker follows it.
    void handToMain(std::function<void()> work);
    Q_INVOKABLE void runHandedOver();
    void publishKeyboardChoice();
    // Counts a key press of the hold as handled once the main thread is done with it.
    void countHandledPress();
    // The shortcuts' grabs, for the reader thread.
    void shareShortcuts();
    bool eventFilter(QObject *watched, QEvent *event) override;

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
    // Shared with the reader thread.
    std::unique_ptr<Hold> m_hold;
    // Counts connections, so that events read from an earlier one are not taken for this one's.
    int m_generation = 0;
    // Main thread: a hold was asked for and not given up; the key presses the holder has handled
    // in it, and the last published choice.
    bool m_holding = false;
    quint64 m_handledPresses = 0;
    // Changes with each new hold, so a count meant for an earlier one is not taken for this one's.
    quint64 m_holdSerial = 0;
    quint32 m_returnChoice = 0;
    quint32 m_escapeChoice = 0;
    QTimer *m_grabRetry = nullptr; // child
    std::mutex m_handedMutex;
    std::deque<std::function<void()>> m_handed;
};

} // namespace qv
