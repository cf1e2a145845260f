#pragma once

#include <QEvent>
#include <QObject>

class QWindow;

namespace qv {

// Sent to keyboardNotices() when another program took the keyboard with a grab of its own while a
// window of ours had it: a combination that program holds (a window manager's binding) was pressed,
// and the key never reaches us. What listens for a key (a shortcut recorder) watches for it with an
// application-wide event filter. Main thread.
QEvent::Type keyboardTakenElsewhereEvent();
// The receiver of that notice: an object only the main thread sends to, so a filter that sees every
// event reads no event another thread posted.
QObject *keyboardNotices();

// This application as the desktop sees it: its appearance, its menus and its active state.
// Main thread; signals are emitted on the main thread.
class ApplicationService : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    virtual void setDarkAppearance() = 0;
    virtual void terminate() = 0;

signals:
    // Another application became active.
    void didResignActive();
    // A menu of this application (status menu, context menus) started or ended tracking.
    void menuDidBeginTracking();
    void menuDidEndTracking();
    // Another program destroyed a window of ours that was still in use (X11: an XDestroyWindow,
    // `xdotool windowclose`): the window shows nothing from now on and takes no request. Whoever
    // owns it drops it.
    void windowDestroyedElsewhere(QWindow *window);
};

} // namespace qv
