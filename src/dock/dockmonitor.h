#pragma once

#include <QList>
#include <QObject>
#include <QPointF>
#include <QRectF>
#include <QString>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>

#include "dock/dockicon.h"
#include "platform/platform.h"
#include "runtime/scheduler.h"

namespace qv {

class AXElement;
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
//
// Created once at start-up on the main thread and kept for the whole run. Everything but
// requestIconRefresh() belongs to the main thread; published properties are only written there.
// Destroying the monitor stops its timers and observers and waits for a scan in flight to end.
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
    // Depth of the band along the Dock's screen edge that counts as "near the Dock".
    static constexpr double dockBandDepth = 80.0;

    DockMonitor(const Platform &platform, Scheduler &scheduler, WorkQueueFactory &queues,
                SettingsStore &settings, QObject *parent = nullptr);
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

signals:
    void hoveredAppChanged(const QString &app);
    void iconFrameChanged(const QRectF &frame);
    void isDockAutohideEnabledChanged(bool enabled);

private:
    class Refresher;

    void installUserDefaultsObserver();
    void reloadShortcutState();
    void installWorkspaceObservers();
    void installScreenObservers();
    void startHoverTimer();
    void startPollTimer();
    void createEventTap();
    void checkEventTapHealth();
    void wakeEventTap();

    void hoverTick();
    void applyHoverResult(const std::optional<DockIcon> &hit, bool nearDock);
    void clearHover();
    void pollDockArea();
    void storeIcons(const QList<DockIcon> &icons);
    QList<DockIcon> scrollIconSnapshot() const;
    // Finds the Dock among the running applications; true when one runs.
    bool updateDockPid();

    void setDockAutohideEnabled(bool enabled);

    Platform m_platform;
    Scheduler &m_scheduler;
    SettingsStore &m_settings;

    QString m_hoveredApp;
    QRectF m_iconFrame;
    bool m_isDockAutohideEnabled = false;

    TimerHandle m_timer;
    QList<DockIcon> m_cachedIcons;
    // A copy of the icon list for the scroll path, which reads it off the main thread.
    mutable std::mutex m_scrollIconSnapshotLock;
    QList<DockIcon> m_scrollIconSnapshot;
    TimerHandle m_iconRefreshTimer;
    std::shared_ptr<WorkQueue> m_eventProcessingQueue;
    // Scheduling state and the two scan queues; shared with the jobs running on those queues.
    std::shared_ptr<Refresher> m_refresher;
    bool m_wasMouseNearDockArea = false;
    std::atomic<bool> m_interactionSuspended{false};
};

} // namespace qv
