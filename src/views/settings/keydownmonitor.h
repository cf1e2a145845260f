#pragma once

#include <QObject>

#include <functional>
#include <optional>

#include "platform/globalinput.h"

class QKeyEvent;

namespace qv {

// Watches every key-down the application receives while it lives (keys typed into any of its
// windows, so only while the application is active) and lets a handler swallow it before any widget
// sees it: what a shortcut recorder listens with. Keys the handler passes on reach their widget as
// usual. A key another program takes before it reaches us (a combination the window manager holds)
// is told through the taken-elsewhere callback instead. Main thread.
class KeyDownMonitor : public QObject
{
    Q_OBJECT
public:
    // The key-down as a stored shortcut; true swallows the key.
    using Handler = std::function<bool(const KeyCombination &)>;

    explicit KeyDownMonitor(Handler handler, QObject *parent = nullptr);
    // Called when another program took the keyboard from our window with a grab of its own (see
    // keyboardTakenElsewhereEvent): the combination pressed is that program's and never arrives.
    void setOnTakenElsewhere(std::function<void()> onTaken) { m_onTaken = std::move(onTaken); }
    ~KeyDownMonitor() override;

    // Stops watching at once and deletes the monitor on a later turn of the loop: safe from inside
    // its own handler. Clears `monitor`; does nothing when it is null.
    static void remove(KeyDownMonitor *&monitor);

    // The key-down in stored form: the key's place as a classic Mac virtual key code (Shift+3 is
    // the key of 3, Shift+Tab the Tab key), taken from its scan code whatever the layout, and the
    // held modifiers (Ctrl, Alt, Shift, Super) as flags; Caps Lock and the keypad state never
    // count. None for a modifier key itself and for a key no shortcut can be stored for.
    static std::optional<KeyCombination> combination(const QKeyEvent &event);
    static std::optional<int> macKeyCode(int qtKey);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    Handler m_handler;
    std::function<void()> m_onTaken;
};

} // namespace qv
