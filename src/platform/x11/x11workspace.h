#pragma once

#include <QHash>
#include <QList>
#include <QSet>

#include <xcb/xcb.h>

#include "platform/workspace.h"
#include "platform/x11/x11clientreader.h"

namespace qv {

class X11Connection;
class X11DesktopEntries;
class X11DockTileSource;
class X11Session;
struct X11Client;

// Running applications as the window manager lists them: the clients of _NET_CLIENT_LIST grouped by
// their process (_NET_WM_PID, else the X-Resource extension's answer), identified and named the way
// X11DesktopEntries matches them to desktop entries (else by WM_CLASS class). An application is
// regular when it has a document window (normal or dialog) or a desktop entry. A process with no
// listed window, or whose process cannot be told, is not seen; an application counts as launched
// when its first window is listed and as terminated when its last one goes. Activation goes through
// _NET_ACTIVE_WINDOW, showing the window's desktop first when it lies on another; a desktop switch
// (_NET_CURRENT_DESKTOP) is an active-space change. While titles are followed, each listed
// client's property changes are heard: a new title (_NET_WM_NAME, WM_NAME) is a change of the
// window list.
//
// X has no application hiding (isHidden is always false, hidden/unhidden are never sent) and no
// screen-sleep notification (screensDidSleep/Wake are never sent). willSleep/didWake follow
// logind's PrepareForSleep on the system bus when there is one, else they never come.
// While `dockTiles` is present the Dock is listed too, last, as "com.apple.dock" under
// X11DockTileSource::dockPid (not regular, never active), and its launch and exit are reported, so
// the Dock monitor scans the panels exactly while there are any.
// Main thread only.
class X11Workspace final : public WorkspaceService
{
    Q_OBJECT
public:
    // `connection` carries the root window's notifications; `session` answers the reads.
    X11Workspace(X11Connection &connection, X11Session &session, X11DesktopEntries &entries,
                 X11DockTileSource *dockTiles = nullptr, QObject *parent = nullptr);

    QList<RunningApp> runningApplications() const override { return m_apps; }
    void refreshApplications() override { readClientList(); }
    void followWindowTitles(bool follow) override;
    RunningApp frontmostApplication() const override;
    bool activate(qint64 pid) override;
    // _NET_ACTIVE_WINDOW, else the listed client that holds the input focus (or one of its children).
    quint32 focusedWindow() const override;
    bool activateWindow(quint32 windowId) override;
    void hideOtherApplications(qint64 keepPid) override;

private slots:
    void prepareForSleep(bool sleeping);

private:
    void scheduleClientListRead();
    uint32_t clientEventMask() const;
    void noteWindowProperty(quint32 window, quint32 atom);
    void readClientList();
    void readActiveWindow();
    void setDockListed(bool listed);
    void sendActivation(xcb_window_t window);

    X11Connection &m_connection;
    X11Session &m_session;
    X11DesktopEntries &m_entries;
    QList<RunningApp> m_apps;
    // Listed windows of each application, oldest first.
    QHash<qint64, QList<xcb_window_t>> m_windows;
    // _NET_CLIENT_LIST as last read, without this program's own windows.
    QList<xcb_window_t> m_clientList;
    // Every listed client as last read; a client is read again only once a property the
    // application's identity rests on changed (or it was unmapped or destroyed), so a list change
    // costs a read of the windows that changed, not of all of them.
    QHash<xcb_window_t, X11Client> m_known;
    QSet<xcb_window_t> m_stale;
    bool m_followTitles = false;
    qint64 m_activePid = 0;
    bool m_readScheduled = false;
    bool m_dockListed = false;
};

} // namespace qv
