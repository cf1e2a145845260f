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
// however busy or stopped it is. A grabbed key cannot be handed back: every delivered key-down is
// consumed whatever the filter answers. The caller therefore asks only
// for the combinations it would consume right now (none while a shortcut is being recorded), and a
// held shortcut's repeats are swallowed rather than typed. Option is Alt and
// Command is Super. A stored key code names a key's place, so it is grabbed on the X key code at
// that place (XKB's key codes do not move with the layout), not on whichever key types the same
// symbol on the layout in force; the modifier bits of Alt, Super, Num Lock and Scroll Lock come from
// the modifier map in force, re-read when the keyboard or its layout changes (the combinations are
// grabbed again only when that moves them). A combination another client grabbed first (BadAccess),
// in any lock state, is reported by setShortcuts() and none of its lock variants is kept; the others
// work. Autorepeat is told apart with XKB's detectable auto-repeat and XInput 2 raw key events
// (which also deliver key-ups that went to another window).
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
// everything that holds the keyboard, so the desktop's keyboard never waits on the main thread for
// an ordinary key, and everything else is handed to the main thread in order. The hold is an active
// keyboard grab on the holder in synchronous mode: the server gives us one key and stops the
// keyboard, and the reader thread lets the next come right after reading each. Our own shortcut
// grabs do not stand in its way and their key-downs still reach the filter first. Other keys and
// every key-up are sent on to the holder as key events of its own. A grab the server refuses (the
// window not viewable yet, inside the frame of a window manager that just started, another client
// holding the keyboard for a moment) is tried again when the window maps or is reparented and every
// 50 ms until it holds; a window that is unmapped loses the grab and takes it again. When another
// window takes the input focus while the keyboard is held, the focus is set back on the holder (at
// most 32 times per hold, so a desktop that insists cannot make us loop).
// A shortcut whose press opens a surface that takes keys (setKeyTakingShortcuts) is turned, the
// moment the reader reads its press, from the passive grab that lasts while its key is down into an
// active synchronous one on the root window; the keys after it come on one by one as in a hold and are kept here (at most 256 events)
// until the holder has its grab, then sent on to it in order, before any key typed later, however
// long the main thread takes to open the surface (up to 5 s; then they are dropped). For any other
// shortcut the grab ends at its press, so the keys after it go from the server to the focused
// window. No key is ever typed again. Until the reader has made the grab last, the keyboard runs on:
// the keys the server sent meanwhile are read without letting another come for each, so the
// keyboard still stops at a shortcut pressed again among them; pressed again before the reader got
// to the first press, the grab is taken at the current time (the first press's is older than the
// second's grab).
// The hold itself puts the input focus on the holder as its grab takes hold.
// A key that may end the showing (Return, Enter, Esc, a shortcut again) leaves the keyboard stopped
// after it: the server keeps every later key in its queue, in order, until the main thread has
// handled every key sent on, that one included, and published what it does (setKeyboardChoice
// after each). When the surface stays, the next key comes; when the holder hands the keyboard to a
// window, the focus is put on it first and the grab ends after, so the server gives the held keys to
// that window; a window not on screen yet (its desktop being shown) is waited for with the keyboard
// still stopped. When the published choice already names a window for Return or Esc and the main
// thread has handled every key before, the reader hands the keyboard over itself at the key. The
// keyboard is never stopped over 1 s: then the grab ends and the focus goes back to the window that
// had it at the shortcut's press.
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
    void setKeyboardChoice(quint64 returnWindow, quint64 escapeWindow, bool deciding) override;
    void setKeyTakingShortcuts(const QList<KeyCombination> &combinations) override;
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
    // The keyboard watch's thread: ends a grab that keeps the keyboard stopped too long, or keeps
    // keys for a surface that never comes, and hands the keys to a chosen window once it shows.
    void watchKeyboard(xcb_connection_t *x);
    void handleEvent(const void *event, KeyPath path);
    void handleKeyPress(const void *event, KeyPath path);
    void handleKeyRelease(const void *event);
    void reportKeyUp(quint8 code);
    void handleInputEvent(const void *event);
    void handleSelectionOwner(const void *event);
    void reloadKeymap();
    // The keymap changed: the keys are read anew, and grabbed again when the grabs would differ.
    void followKeymap();
    // The keyboard's repeat delay bounds how long it may stay stopped at a key.
    void followRepeatDelay();
    // Each wanted combination and the (X key code, modifiers) pairs it is grabbed with, for the
    // keymap in force; no pair for one the keyboard cannot type.
    using GrabPlan = QList<QPair<KeyCombination, QList<QPair<quint8, quint16>>>>;
    GrabPlan planGrabs() const;
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
    // The combinations whose press opens a surface that takes the keys.
    QList<KeyCombination> m_keyTaking;
    // X key code to Mac key code, for the keys of the grabbed combinations.
    QHash<quint8, int> m_grabbedKeys;
    // (X key code, modifiers) pairs grabbed, to release them again, and the combination of each.
    struct ShortcutGrab
    {
        QPair<quint8, quint16> key;
        KeyCombination combination;
    };
    QList<ShortcutGrab> m_grabs;
    // What the grabs were planned as (whether granted or not).
    GrabPlan m_plan;
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
    // The reader's count of holds when the main thread asked for this one.
    quint64 m_holdEpoch = 0;
    quint32 m_returnChoice = 0;
    quint32 m_escapeChoice = 0;
    bool m_deciding = false;
    QTimer *m_grabRetry = nullptr; // child
    std::mutex m_handedMutex;
    std::deque<std::function<void()>> m_handed;
};

} // namespace qv
