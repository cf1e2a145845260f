#pragma once

#include <QList>
#include <QMutex>
#include <QObject>
#include <QRect>
#include <QWaitCondition>

#include <atomic>
#include <chrono>
#include <optional>

#include "platform/x11/x11atspiwalker.h"
#include "platform/x11/x11docktiles.h"
#include "platform/x11/x11walkgate.h"
#include "runtime/qtscheduler.h"

namespace qv {

class X11DesktopEntries;
class X11Session;

// The Dock of a Linux desktop: the tiles its panels show, read from the accessibility bus (see
// X11AtspiWalker) and from the task buttons' rectangles taskbars publish on client windows
// (_NET_WM_ICON_GEOMETRY) while a showing panel window (type dock) holds them, mapped to
// applications as X11DockTiles::build says.
//
// The source is present while an accessible panel or any icon geometry exists. It is looked at
// (off the main thread) once at start-up and again after a change the desktop reports: the
// accessibility bus (a panel's buttons, an application coming or going), the accessibility bus
// itself starting or stopping, and noteDesktopChange() (the client list, the work area);
// presenceChanged follows on the main thread. Nothing is read on a clock. While present, the
// workspace lists it as the Dock application under dockPid. Reads of tiles and frames are answered
// from the last walk; refresh() asks for a new one (the Dock monitor does when the pointer enters
// the Dock's band), so buttons that moved while the panel's bounds went unheard (see
// X11AtspiWalker) are read where they are when they are needed.
class X11DockTileSource : public QObject
{
    Q_OBJECT
public:
    // The Dock's process id as the workspace reports it: past the largest pid_max the kernel allows
    // (2^22), so it never names a real process.
    static constexpr qint64 dockPid = (qint64(1) << 22) + 1;
    // Longest wait of refresh() for a walk; a hung panel answers from the previous one.
    static constexpr int refreshWaitMs = 400;

    X11DockTileSource(X11Session &session, X11DesktopEntries &entries,
                      QStringList panels = X11AtspiWalker::defaultPanels(), QObject *parent = nullptr);
    ~X11DockTileSource() override;

    // Walks now and answers the new tiles (the previous ones when the walk takes too long). Blocks
    // up to refreshWaitMs; any thread but the main one.
    QList<X11DockTile> refresh();
    // The tiles of the last walk. Any thread.
    QList<X11DockTile> tiles() const;
    // The frame of the `ordinal`th tile of `appName` in the last walk; none when it is gone.
    std::optional<QRect> frameOf(const QString &appName, int ordinal) const;
    // The screen edge of the first panel of the last walk ("bottom", "left", "right", "top").
    std::optional<QString> side() const;
    // Whether the last walk reached the accessibility bus and found a panel on it: what the panel's
    // tiles need. None until the first walk has answered, which is waited for at most `wait`.
    // Any thread.
    std::optional<bool> panelOnAccessibilityBus(std::chrono::milliseconds wait = std::chrono::milliseconds(0)) const;
    // Main thread.
    bool isPresent() const { return m_present; }
    // Looks for panels and icon geometry now. Main thread.
    void pollNow() { m_walker.requestWalk(); }
    // Something on the desktop changed that may have added, moved or removed a panel or a task
    // button (the client list or the work area did): one walk follows shortly, however many notices
    // come, and the panels' bounds are heard while they lay their buttons out. Main thread.
    void noteDesktopChange()
    {
        m_walker.expectLayoutChange();
        m_gate.noteChange();
    }

signals:
    void presenceChanged(bool present);
    // A walk found other tiles than the one before (a button added, removed or moved). Main thread.
    void tilesChanged();

private:
    void takeWalk(const std::optional<QList<X11PanelWalk>> &walks);
    QList<X11TaskWindow> readWindows(QRect &screen);
    void setPresent(bool present);

    X11Session &m_session;
    X11DesktopEntries &m_entries;
    mutable QMutex m_mutex;
    QList<X11DockTile> m_tiles;
    std::optional<QString> m_side;
    std::optional<bool> m_panelOnBus;
    mutable QWaitCondition m_walked;
    bool m_present = false;
    // A change report is on its way to the main thread.
    std::atomic<bool> m_changeQueued{false};
    QtScheduler m_scheduler;
    X11WalkGate m_gate{m_scheduler, [this] { m_walker.requestWalk(); }};
    // Last member: its thread calls back into the members above until it is destroyed.
    X11AtspiWalker m_walker;
};

} // namespace qv
