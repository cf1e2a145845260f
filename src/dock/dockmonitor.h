#pragma once

#include <QList>
#include <QObject>
#include <QPointF>
#include <QRectF>
#include <QSet>
#include <QString>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>

#include "dock/dockicon.h"
#include "dock/dockscrollevent.h"
#include "dock/eventtapshortcutstate.h"
#include "platform/platform.h"
#include "runtime/scheduler.h"

namespace qv {

class AXElement;
class EventLog;
class SettingsStore;
class WorkQueue;
class WorkQueueFactory;
struct ScreenInfo;

// Knows where the Dock's application tiles are and which one the pointer rests on.
//
// The tile list is read through accessibility, one scan at a time on "Quorvantis.IconAXScan", with a
// time budget and a back-off; all scheduling of those scans belongs to
// "Quorvantis.IconRefreshCoordinator". The last good list is kept on the main thread, and every
// 0.033 s the pointer is tested against it; the result is published as hoveredApp / iconFrame.
// That hover tick (and the 0.9 s Dock poll beside it) runs only while the pointer moves and for
// motionSettle after it comes to rest: the desktop's motion notices wake it, so a resting pointer
// costs nothing. Without a Dock it does not run at all; a desktop that cannot report motion gets
// the tick all the time.
//
// Created once at start-up on the main thread and kept for the whole run. Everything but
// requestIconRefresh() belongs to the main thread; published properties are only written there.
// Destroying the monitor stops its timers and observers and waits for a scan in flight to end.
//
// The monitor also owns the global input tap: the hotkeys (published as globalSwitcherEvent with a
// route, after a "hotkey_<route>" diagnostics event), a data drag held at a left or right screen
// edge (globalSwitcherEvent "shelf") and the wheel over a Dock tile (scrollEventChanged). The key
// path reads a snapshot of the shortcut settings under its own lock, reloaded on every settings
// change. Wheel samples are coalesced on "Quorvantis.EventTapProcessing": at most one hit test per
// 0.08 s, on the latest sample. Acting on these events is the overlay controller's business.
class DockMonitor : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString hoveredApp READ hoveredApp NOTIFY hoveredAppChanged)
    Q_PROPERTY(QRectF iconFrame READ iconFrame NOTIFY iconFrameChanged)
    Q_PROPERTY(bool isDockAutohideEnabled READ isDockAutohideEnabled NOTIFY isDockAutohideEnabledChanged)
public:
    // Why a tile scan is asked for; decides how closely it may follow the previous one.
    enum class IconRefreshReason {
        bootstrap,
        cacheEmpty,
        mouseEnteredDockArea,
        dockAreaPolling,
        workspaceChanged,
        dockSettingsChanged,
        deferred,
    };
    Q_ENUM(IconRefreshReason)

    static constexpr double hoverInterval = 0.033;
    static constexpr double pollInterval = 0.9;
    // How long the hover tick goes on after the pointer's last motion.
    static constexpr double motionSettle = 0.5;
    // Depth of the band along the Dock's screen edge that counts as "near the Dock".
    static constexpr double dockBandDepth = 80.0;

    // Coalescing interval of the wheel's hit tests.
    static constexpr double scrollWorkSpacing = 0.08;
    // A data drag resting this long within edgeDragZone of a left or right screen edge opens "shelf".
    static constexpr double edgeDragDwell = 0.25;
    static constexpr double edgeDragZone = 8.0;

    DockMonitor(const Platform &platform, Scheduler &scheduler, WorkQueueFactory &queues,
                SettingsStore &settings, EventLog &eventLog, QObject *parent = nullptr);
    ~DockMonitor() override;

    // Empty when no tile is hovered.
    QString hoveredApp() const { return m_hoveredApp; }
    // The hovered tile in screen coordinates; the zero rectangle when none.
    QRectF iconFrame() const { return m_iconFrame; }
    bool isDockAutohideEnabled() const { return m_isDockAutohideEnabled; }
    // The last tile list a scan returned (accessibility coordinates); empty before the first scan,
    // after screen sleep, or when the Dock has no tiles. Never cleared by a failed scan.
    QList<DockIcon> cachedIcons() const { return m_cachedIcons; }

    // Asks for a tile scan. Safe from any thread. While suspended only `bootstrap` gets through;
    // otherwise the coordinator decides (spacing, back-off, one scan at a time).
    void requestIconRefresh(IconRefreshReason reason, bool immediate);
    // Re-reads the Dock's "autohide" preference; true when the published value is going to change
    // (it is published on a later turn of the main loop).
    bool refreshDockAutohideState();

    // Forgets the hovered application (the frame stays) once the pointer has left the bubble and
    // the tile; the next hit on a tile publishes it again.
    void clearHoveredApp();

    // While suspended (the Super Panel is open) no hover is published and refreshes are dropped.
    // Resuming asks for an immediate refresh.
    void setInteractionSuspended(bool suspended);
    bool isInteractionSuspended() const { return m_interactionSuspended.load(); }

    // Geometry, all in screen coordinates (bottom-left origin). Main thread.
    DockPosition dockPosition(const ScreenInfo &screen) const;
    // The first screen whose frame, grown by 1 pt, holds the point; else the main screen.
    std::optional<ScreenInfo> screenContaining(const QPointF &point) const;
    bool isMouseNearDock(const QPointF &point) const;
    // The tile under the point, with its frame in screen coordinates; none between tiles.
    std::optional<DockIcon> hitTestIcon(const QList<DockIcon> &icons, const QPointF &point) const;
    // The element's live frame in accessibility coordinates; none when it cannot be read.
    static std::optional<QRectF> readAXFrame(AXElement &element);

    // The key-down decision of the tap (flags masked to keyModifierMask): true consumes the key.
    // A fired shortcut logs its diagnostics event here and is sent on globalSwitcherEvent on a later
    // turn of the main loop. Any thread.
    bool matchHotkey(int keyCode, quint32 flags, bool autorepeat, quint64 timestamp);
    // A copy of the key path's snapshot, latch included. Any thread.
    EventTapShortcutState shortcutState() const;
    // Configured combinations another program holds, so they cannot reach us; announced by
    // refusedShortcutsChanged(). Main thread.
    QList<KeyCombination> refusedShortcuts() const { return m_refusedShortcuts; }
    // The last wheel tick over a tile; none before the first.
    std::optional<DockScrollEvent> scrollEvent() const { return m_scrollEvent; }

    // Entry points of the tap, public so the tap's behaviour can be driven without a desktop.
    // location: global coordinates, top-left origin. Main thread.
    void handleEdgeDrag(const QPointF &location);
    void enqueueScrollSample(int deltaY, quint64 timestamp, const QPointF &location);

signals:
    void hoveredAppChanged(const QString &app);
    void iconFrameChanged(const QRectF &frame);
    void isDockAutohideEnabledChanged(bool enabled);
    // A route of the Super Panel to open: "all", "clipboard" or "shelf". Main thread.
    void globalSwitcherEvent(const QString &route);
    // Emitted for every wheel tick that hit a tile, also when equal to the previous one.
    void scrollEventChanged(const DockScrollEvent &event);
    void refusedShortcutsChanged();

private:
    class Refresher;
    class ScrollPath;

    void installUserDefaultsObserver();
    void reloadShortcutState();
    // A stored shortcut without Ctrl, Alt or Super is replaced by the default: said once for each.
    void tellShortcutsSetAside();
    void installWorkspaceObservers();
    void installScreenObservers();
    // Runs the hover tick (and the Dock poll) from now until the pointer has rested for motionSettle.
    void wakeHoverTick();
    // Stops both and waits for the pointer's next motion; keeps them running when the desktop
    // cannot report motion.
    void sleepHoverTick();
    // The motion watch is on while a Dock exists and the tick sleeps.
    void updateMotionWatch();
    void createEventTap();
    void checkEventTapHealth();
    void wakeEventTap();
    void connectGlobalInput();
    void reenableEventTap();
    void applyShortcuts(const QList<KeyCombination> &combinations, bool force = false);
    void takeRefusedShortcuts(const QList<KeyCombination> &refused);
    void resetEdgeDrag();
    void publishScrollEvent(const DockScrollEvent &event);

    void hoverTick();
    void applyHoverResult(const std::optional<DockIcon> &hit, bool nearDock);
    void clearHover();
    void pollDockArea();
    void storeIcons(const QList<DockIcon> &icons);
    // Finds the Dock among the running applications; true when one runs.
    bool updateDockPid();

    void setDockAutohideEnabled(bool enabled);

    Platform m_platform;
    Scheduler &m_scheduler;
    SettingsStore &m_settings;
    EventLog &m_eventLog;

    QString m_hoveredApp;
    QRectF m_iconFrame;
    bool m_isDockAutohideEnabled = false;

    std::optional<DockScrollEvent> m_scrollEvent;

    TimerHandle m_timer;
    QList<DockIcon> m_cachedIcons;
    TimerHandle m_iconRefreshTimer;
    // The key path's snapshot and latch; never held while another lock is taken.
    mutable std::mutex m_shortcutStateLock;
    EventTapShortcutState m_callbackShortcutState;
    // What the input backend was last asked to deliver, and what of it another program holds.
    QList<KeyCombination> m_appliedShortcuts;
    QSet<QString> m_shortcutsToldSetAside;
    QList<KeyCombination> m_refusedShortcuts;
    // The wheel path with its copy of the icon list; its jobs run on "Quorvantis.EventTapProcessing".
    std::shared_ptr<ScrollPath> m_scrollPath;
    // Scheduling state and the two scan queues; shared with the jobs running on those queues.
    std::shared_ptr<Refresher> m_refresher;
    bool m_wasMouseNearDockArea = false;
    // The pointer at the last tick and when it last moved, for the tick's rest.
    QPointF m_lastPointer;
    double m_lastMotionAt = 0;
    // Edge drag: when the drag reached the edge zone (none: not there), and whether this stay fired.
    std::optional<double> m_edgeDragStartTime;
    bool m_edgeDragFired = false;
    std::atomic<bool> m_interactionSuspended{false};
};

} // namespace qv
