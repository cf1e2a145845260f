#pragma once

#include <QList>
#include <QObject>
#include <QPointF>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

#include "platform/keyflags.h"

namespace qv {

// A key combination in stored form: a classic Mac virtual key code and masked modifier flags.
struct KeyCombination
{
    int keyCode = -1;
    quint32 flags = 0;
    bool operator==(const KeyCombination &) const = default;
};

// The held modifiers' names in the fixed order Ctrl, Alt, Shift, Super (Option is Alt and Command
// is Super on this desktop), whatever the order they were pressed in.
QStringList modifierNames(quint32 flags);

// "Alt+Tab", "Ctrl+Shift+Super+C", "key 200" for a code without a name (Option is Alt and Command
// is Super on this desktop). For console lines.
QString describeKeyCombination(const KeyCombination &combination);

// Key places. A stored key code names a place on the keyboard (the key that carries A on a US
// keyboard), whatever the layout types there. Linux numbers places too: XKB's key codes, which are
// the kernel's input codes plus 8 whatever the layout (the X key codes of the X server, and Qt's
// native scan codes on X11). The two tables agree key for key, so a shortcut recorded on a French
// or German layout is grabbed on the key that was pressed.
// The stored key code of the key at an XKB key code; none for a key no shortcut is stored for.
std::optional<int> keyCodeAtXkbKeycode(quint32 xkbKeycode);
// The XKB key code at a stored key code's place; 0 for a code without a place.
quint32 xkbKeycodeForKeyCode(int keyCode);

// A key-down as the global input path sees it.
struct GlobalKeyEvent
{
    int keyCode = -1;
    // Already masked with keyModifierMask.
    quint32 flags = 0;
    // The key is held and the keyboard repeats it.
    bool isAutorepeat = false;
    // Event clock, nanoseconds; only differences between events mean anything.
    quint64 timestamp = 0;
};

// System-wide input: keyboard shortcuts, the wheel and file drags, seen before (keys) or beside
// (wheel, drags) the application they are meant for. Main thread only; signals are emitted and the
// key-down filter is called on the main thread.
//
// The tap is what makes events arrive. Until createTap() succeeds nothing is delivered; the desktop
// may also switch a tap off (tapEnabled() false), and enableTap() asks for it back.
//
// Keyboard: each key-down that reaches the tap is handed to the key-down filter, which answers
// whether the key is consumed (it then reaches no application) or passes on. A desktop that cannot
// look at every key (X11) delivers only the combinations given to setShortcuts(), with any lock
// key state, and the key-ups of those keys; a desktop that sees everything may deliver more. Such
// a desktop may also take a delivered key whatever the filter answers (X11 cannot hold the keyboard
// until we decide without freezing it when we are busy), so setShortcuts() names only combinations
// the program would consume at that moment.
class GlobalInput : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    using KeyDownFilter = std::function<bool(const GlobalKeyEvent &)>;

    // Starts delivering events. False when the desktop refuses (no display, a missing extension);
    // a later call may succeed.
    virtual bool createTap() = 0;
    virtual bool hasTap() const = 0;
    virtual bool tapEnabled() const = 0;
    // Switches an existing tap back on; no effect without a tap.
    virtual void enableTap() = 0;

    void setKeyDownFilter(KeyDownFilter filter) { m_keyDownFilter = std::move(filter); }

    // The combinations the program wants to see. Combinations another program holds already, or
    // that the keyboard cannot type, are returned (they will not be delivered); the others are in
    // force. Replaces the previous set.
    // Without a tap the set is kept and applied when the tap is created.
    virtual QList<KeyCombination> setShortcuts(const QList<KeyCombination> &combinations) = 0;
    // The wanted combinations that do not reach us because another program holds them (or the
    // keyboard cannot type them), as the desktop last answered; refusedShortcutsChanged() follows
    // every change, also one the desktop reports after setShortcuts() has returned.
    QList<KeyCombination> refusedShortcuts() const { return m_refused; }

    // A drag of data (files, text) is under way: it has data to offer and its button is still down.
    virtual bool isDraggingData() const = 0;

    // Until releaseKeyboard(), every key goes to `window` (a native window of ours that takes keys)
    // and none to another application, whichever window the desktop focuses meanwhile; the window
    // also gets the keyboard focus back when something else takes it. The shortcuts' key-downs
    // still reach the key-down filter first; whatever it does not consume, and every key-up, goes to
    // the window as if typed into it. A desktop that is busy elsewhere (another program holding
    // the keyboard, the window not yet on screen) is asked again until it agrees. Without a tap
    // nothing is held. A second call moves the hold to the other window.
    //
    // A surface opened by a shortcut has the keys from the shortcut's press on: a desktop that hands
    // keys to the focused application as they come (X11) keeps the keyboard from the moment it reads
    // the press of a combination named to setKeyTakingShortcuts(), and the keys typed before the
    // surface calls holdKeyboard() wait for it, in order. When the events posted meanwhile have run
    // and nothing called holdKeyboard(), the keyboard goes back to the window that had it.
    virtual void holdKeyboard(quint64 window) = 0;
    virtual void releaseKeyboard() = 0;
    // Ends the hold and, in the same step, puts the keyboard focus on `window` (another
    // application's window; 0 for none, which is releaseKeyboard()), so the keys typed right after
    // the user's choice reach it and not the surface as it fades out. A window that cannot take the
    // focus (gone, not on screen) leaves the focus to the window manager. Nothing held: no effect.
    virtual void handKeyboardTo(quint64 window) = 0;
    // What the holder does with the keys that end it, as it stands now: the window Return (or Enter)
    // would bring forward, and the window Esc would give the keyboard back to; 0 where that key is no
    // such choice now (nothing selected, Esc closing a gallery first). `deciding`: a key it was sent
    // is still to be acted on (typed before its list was there). The holder publishes it at every
    // change of its state. A desktop that reads keys apart from the main thread (X11) stops the
    // keyboard at a key that may end the showing (Return, Enter, Esc, a shortcut) until the holder
    // has handled every key sent to it, and while it is deciding; then, if the holder still holds,
    // the next key comes, else the keys typed meanwhile go to the window handKeyboardTo() named.
    virtual void setKeyboardChoice(quint64 returnWindow, quint64 escapeWindow, bool deciding) = 0;
    // The shortcuts whose press opens a surface that takes keys, in the program's state now (a
    // subset of setShortcuts()'s). The keys after any other shortcut go on to the focused window.
    virtual void setKeyTakingShortcuts(const QList<KeyCombination> &combinations) = 0;
    // The window keys go to, 0 when none is held (also while the desktop has not agreed yet).
    virtual quint64 keyboardHolder() const = 0;

signals:
    // A key-up of a key that was delivered down.
    void keyReleased(int keyCode);
    // One wheel tick on the first axis (positive: away from the user), at a location in global
    // coordinates (top-left origin, y down). Zero deltas are delivered as they come.
    void wheelScrolled(int deltaY, quint64 timestamp, const QPointF &location);
    // The pointer during a drag (global coordinates, top-left origin). Sampled while it rests, too.
    void dragMoved(const QPointF &location);
    void dragStarted();
    void dragEnded();
    // The desktop switched the tap off (time-out, user input).
    void tapDisabled();
    void refusedShortcutsChanged();

protected:
    // What the desktop answered about the wanted combinations; announces a change.
    void setRefusedShortcuts(const QList<KeyCombination> &refused)
    {
        if (refused == m_refused)
            return;
        m_refused = refused;
        emit refusedShortcutsChanged();
    }
    // Asks the filter; no filter passes every key.
    bool filterKeyDown(const GlobalKeyEvent &event) const
    {
        return m_keyDownFilter && m_keyDownFilter(event);
    }

private:
    KeyDownFilter m_keyDownFilter;
    QList<KeyCombination> m_refused;
};

} // namespace qv
