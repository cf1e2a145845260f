#pragma once

#include <QImage>
#include <QList>
#include <QObject>
#include <QString>

namespace qv {

// A running application as the desktop reports it. On Linux the bundle identifier is the
// desktop-file id where known, else the WM_CLASS class; the name comes from the desktop file, else
// the class.
struct RunningApp
{
    qint64 pid = 0;
    QString bundleIdentifier;
    QString name;
    bool isActive = false;
    bool isHidden = false;
    // Regular applications appear in the Dock; accessories and agents do not.
    bool isRegular = true;
    bool operator==(const RunningApp &) const = default;
};

// Running applications and the desktop session's notifications. Main thread only; signals are
// emitted on the main thread.
class WorkspaceService : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    virtual QList<RunningApp> runningApplications() const = 0;
    // Reads the running applications from the desktop now, for a caller that met a window of an
    // application the list does not hold yet (the desktop's word of it still on its way). Emits
    // what changed, as a read on that word would.
    virtual void refreshApplications() {}
    // While on, a window's new title is a change of the window list (windowListChanged): a list on
    // screen follows its windows' titles. Off by default, so windows retitling themselves that
    // nobody looks at cost nothing. Desktops that always tell (or never can) ignore it.
    virtual void followWindowTitles(bool follow) { Q_UNUSED(follow); }
    // The frontmost application; pid 0 when none.
    virtual RunningApp frontmostApplication() const = 0;
    // Brings the application to the front. False when it is not running.
    virtual bool activate(qint64 pid) = 0;
    // The window that has the keyboard (0: none, or the desktop cannot tell), with the same ids as
    // the window list.
    virtual quint32 focusedWindow() const = 0;
    // Brings that one window to the front with the keyboard. False (nothing done) when it is gone.
    virtual bool activateWindow(quint32 windowId) = 0;
    // Hides every application except `keepPid` and this program (on X11 their document windows
    // are iconified through the window manager).
    virtual void hideOtherApplications(qint64 keepPid) = 0;

signals:
    void applicationLaunched(qint64 pid);
    void applicationTerminated(qint64 pid);
    void applicationHidden(qint64 pid);
    void applicationUnhidden(qint64 pid);
    void applicationActivated(qint64 pid);
    // A window was opened or closed somewhere on the desktop (or retitled, see followWindowTitles).
    void windowListChanged();
    // These windows left the desktop's list (closed, or gone with their program); their numbers
    // may be given to new windows from now on. Sent before windowListChanged.
    void windowsClosed(const QList<quint32> &windowIds);
    // The Dock's tiles changed (one added, removed or moved), on desktops that tell: a panel's task
    // list does once it has laid out a new window's button.
    void dockTilesChanged();
    void activeSpaceChanged();
    void screensDidSleep();
    void screensDidWake();
    void willSleep();
    void didWake();
};

} // namespace qv
