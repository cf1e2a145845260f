#pragma once

#include <QHash>
#include <QImage>
#include <QList>
#include <QObject>
#include <QSet>
#include <QSizeF>
#include <QString>
#include <QUuid>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/accessibility.h"
#include "platform/platform.h"
#include "platform/windowlist.h"
#include "runtime/awaitables.h"
#include "runtime/script.h"
#include "windows/appwindowmodel.h"
#include "windows/overlayroute.h"
#include "windows/popupedge.h"
#include "windows/snapposition.h"
#include "windows/windowordering.h"

namespace qv {

class CancelToken;
class EventLog;
class Scheduler;
class SettingsStore;
class WorkQueue;
class WorkQueueFactory;
struct RunningApp;

// Lists, orders and captures other applications' windows and acts on them.
//
// One engine is created at start-up and lives for the whole run. All of its state belongs to the
// main thread: scans are scripts on the scheduler that suspend while the window list, the
// accessibility probes (on the concurrent queue "Quorvantis.AXScan"), captures and disk-cache reads
// work, and resume on the main thread. Overlapping scans are told apart by request identifiers
// alone: a scan publishes only while its identifier is still `currentRequestID`, so every newer
// request, cancelWindowFetches() and clearWindows() silently drop older scans.
class WindowEngine : public QObject
{
    Q_OBJECT
    // The list the preview bubble or the Super Panel shows.
    Q_PROPERTY(QList<qv::AppWindowModel> windows READ windows NOTIFY windowsChanged)
    // False while window contents may not be captured; no list is scanned meanwhile.
    Q_PROPERTY(bool hasPermission READ hasPermission NOTIFY hasPermissionChanged)
    // The application whose windows are requested; "Mission Control" while all windows are.
    Q_PROPERTY(QString currentAppName READ currentAppName NOTIFY currentAppNameChanged)
    Q_PROPERTY(std::optional<qv::AppWindowModel> peekingWindow READ peekingWindow NOTIFY peekingWindowChanged)
    Q_PROPERTY(bool isDragging READ isDragging NOTIFY isDraggingChanged)
    Q_PROPERTY(
        std::optional<qv::SnapPosition> dragTargetZone READ dragTargetZone NOTIFY dragTargetZoneChanged)
    // True from the start of any menu tracking in the application until shortly after it ends;
    // the preview bubble stays open meanwhile.
    Q_PROPERTY(bool isContextMenuOpen READ isContextMenuOpen WRITE setContextMenuOpen NOTIFY
                   isContextMenuOpenChanged)
    // The module the Super Panel shows; written by the overlay controller.
    Q_PROPERTY(qv::OverlayRoute currentOverlayRoute READ currentOverlayRoute WRITE setCurrentOverlayRoute
                   NOTIFY currentOverlayRouteChanged)

    // Settings, read from the store at each use; a change made anywhere is announced.
    Q_PROPERTY(
        QString ignoredAppsData READ ignoredAppsData WRITE setIgnoredAppsData NOTIFY ignoredAppsDataChanged)
    Q_PROPERTY(bool ignoreSingleWindow READ ignoreSingleWindow WRITE setIgnoreSingleWindow NOTIFY
                   ignoreSingleWindowChanged)
    Q_PROPERTY(bool sortMinimizedLast READ sortMinimizedLast WRITE setSortMinimizedLast NOTIFY
                   sortMinimizedLastChanged)
    Q_PROPERTY(bool showOnlyCurrentSpace READ showOnlyCurrentSpace WRITE setShowOnlyCurrentSpace NOTIFY
                   showOnlyCurrentSpaceChanged)
    Q_PROPERTY(bool enablePeeking READ enablePeeking WRITE setEnablePeeking NOTIFY enablePeekingChanged)
    Q_PROPERTY(
        bool enableSnapHaptic READ enableSnapHaptic WRITE setEnableSnapHaptic NOTIFY enableSnapHapticChanged)
    Q_PROPERTY(
        bool enableSnapSound READ enableSnapSound WRITE setEnableSnapSound NOTIFY enableSnapSoundChanged)
    Q_PROPERTY(QString popupEdgeRaw READ popupEdgeRaw WRITE setPopupEdgeRaw NOTIFY popupEdgeRawChanged)

public:
    // Per-application requests closer than this to the last accepted one for the same name start
    // no scan.
    static constexpr double minimumRescanInterval = 0.2;
    // All-windows requests closer than this start no scan while a list is shown.
    static constexpr double minimumGlobalRescanInterval = 0.25;
    // Per-application requests wait this long, so that of several hovered in passing only the last
    // is scanned.
    static constexpr double fetchDebounceInterval = 0.05;
    // Minimum spacing of drag updates.
    static constexpr double dragThrottleInterval = 1.0 / 120.0;
    // While the all-windows list is shown, a window that opens or closes rescans it this long after
    // the desktop's list changed (further changes meanwhile join the same scan).
    static constexpr double windowListSettleDelay = 0.05;
    // The name published while all windows are requested.
    static QString allWindowsAppName();
    // The settings key of the usage history.
    static QString historyKey();
    // This program's own application identifier; its windows are never listed.
    static QString ownBundleIdentifier();

    WindowEngine(const Platform &platform, Scheduler &scheduler, WorkQueueFactory &queues,
                 SettingsStore &settings, EventLog &eventLog, QObject *parent = nullptr);
    ~WindowEngine() override;

    QList<AppWindowModel> windows() const { return m_windows; }
    // The application the published list was requested for (the all-windows name for route "all",
    // empty for a cleared list); changes with each publication, announced by windowsChanged.
    QString windowsAppName() const { return m_windowsAppName; }
    bool hasPermission() const { return m_hasPermission; }
    QString currentAppName() const { return m_currentAppName; }
    std::optional<AppWindowModel> peekingWindow() const { return m_peekingWindow; }
    bool isDragging() const { return m_isDragging; }
    std::optional<SnapPosition> dragTargetZone() const { return m_dragTargetZone; }
    bool isContextMenuOpen() const { return m_isContextMenuOpen; }
    void setContextMenuOpen(bool open);
    OverlayRoute currentOverlayRoute() const { return m_currentOverlayRoute; }
    void setCurrentOverlayRoute(OverlayRoute route);

    QString ignoredAppsData() const;
    void setIgnoredAppsData(const QString &value);
    bool ignoreSingleWindow() const;
    void setIgnoreSingleWindow(bool value);
    bool sortMinimizedLast() const;
    void setSortMinimizedLast(bool value);
    bool showOnlyCurrentSpace() const;
    void setShowOnlyCurrentSpace(bool value);
    bool enablePeeking() const;
    void setEnablePeeking(bool value);
    bool enableSnapHaptic() const;
    void setEnableSnapHaptic(bool value);
    bool enableSnapSound() const;
    void setEnableSnapSound(bool value);
    QString popupEdgeRaw() const;
    void setPopupEdgeRaw(const QString &value);

    // The identity of the newest window request.
    QUuid currentRequestID() const { return m_currentRequestID; }
    const AppUsageHistory &appUsageHistory() const { return m_appUsageHistory; }

    // Records that the application was just used and stores the whole history under
    // "AppUsageHistory". This program's own identifier is never recorded, nor one past
    // maxUsageIdentifierLength; past maxUsageHistoryEntries the entries used longest ago go.
    void recordAppUsage(const QString &bundleIdentifier);

    // Window requests (all main thread).
    // Publishes the cached list of the application at once, as it stands now (without applications
    // blocked since, in today's order: the window with the keyboard first among its equals), then,
    // unless one was accepted for the same name within 0.2 s and no other request since, a fresh
    // list after a 50 ms quiet period.
    // `restedFor`: how long the pointer has already rested on the application's tile (the hover
    // delay); a rest at least as long as the quiet period is one, and the scan starts at once.
    void fetchWindows(const QString &appName, double restedFor = 0);
    // While the Super Panel shows route "all": scans every application's windows at once, unless a
    // list is shown and one was accepted within 0.25 s.
    void fetchAllWindows();
    // Cancels pending scans and makes running ones stale; outside route "all" also resets the
    // per-application display state.
    void cancelWindowFetches();
    // Unless a card is being dragged: cancels everything and empties the list.
    void clearWindows();

    // The ignore list ("ignoredApps").
    // An application's cached list as a scan would list it now; see fetchWindows.
    QList<AppWindowModel> cachedListNow(QList<AppWindowModel> windows) const;
    bool isIgnoredBundle(const QString &bundleIdentifier) const;
    bool isIgnoredAppName(const QString &appName) const;
    // Removes the window's application from the list and adds it to the ignore list (by its
    // identifier, or by its name when it has none).
    void hideFromPreview(const AppWindowModel &window);

    // Snapshots and icons (main thread).
    // A kept snapshot with the frame size its window had when it was taken (invalid when unknown:
    // such a picture is never found outdated). Kept and dropped as one, so nothing of it outlives
    // the other.
    struct CachedSnapshot
    {
        QImage image;
        QSizeF frameSize;
    };
    // Keeps the snapshot, taken at `frameSize` (without one, the size recorded for the window stays:
    // the same picture given again); above 60 entries drops snapshots of unlisted windows, then
    // others, never the one just stored.
    void storeSnapshot(const QImage &image, quint32 windowId,
                       const std::optional<QSizeF> &frameSize = std::nullopt);
    // Trims the icon cache and the per-application list cache.
    void pruneMemoryCaches();
    // The application's icon, cached by identifier (or "pid:N"); a null image when it has none.
    // Reads it on the calling thread when it is not cached; the scans read theirs off the main
    // thread instead (readMissingIcons).
    QImage appIcon(const RunningApp &app, const QString &bundleIdentifier);
    // Gives the listed window a new snapshot (stored as storeSnapshot does); false (and nothing
    // stored) when it is not listed.
    bool applySnapshot(qint64 windowId, const QImage &image,
                       const std::optional<QSizeF> &frameSize = std::nullopt);
    // Captures one window; `done` runs on the main thread, on a later turn, with the picture or
    // nothing. Without capture permission it answers the memory-cached snapshot.
    void captureSnapshot(const WindowInfo &window, std::function<void(std::optional<QImage>)> done);
    // Reads the disk-cached snapshot of a window (off the main thread); `done` runs on the main
    // thread with the picture or a null image (also when the window closed meanwhile).
    void loadDiskSnapshot(const WindowInfo &window, std::function<void(QImage)> done);
    // Writes the snapshot to the disk cache off the main thread; returns at once.
    void saveDiskSnapshot(const QImage &image, const WindowInfo &window);
    // The cards of these windows are in view in the all-windows list: those without an up-to-date
    // picture get one (the disk's at once when it fits, then a capture). Main thread.
    void requestSnapshots(const QList<qint64> &windowIds);
    QString snapshotDiskCacheDirectory() const { return m_snapshotDiskCacheDirectory; }

    // Window actions (main thread). Each finds the accessibility window of the listed window by its
    // number, else by score (title, minimised state, geometry); an action that finds none does
    // nothing and reports nothing. Timed steps run as scripts on the scheduler.

    // Presses the window's close button; the card leaves `windows` once accessibility no longer
    // lists the window (checked for about 1.5 s). A window whose application refuses the close or
    // asks first (unsaved work) keeps its card. Returns at once.
    void closeWindow(const AppWindowModel &window);
    // Minimises the matched window (never another window of the application) and, once accessibility
    // confirms it, marks the card minimised. Returns at once; the attempt cannot be cancelled.
    void minimizeWindow(const AppWindowModel &window);
    // Marks the listed window minimised or not (one publication, with a fresh snapshot time so the
    // card redraws); nothing when the id is not listed or the state is already that.
    void setWindowMinimized(qint64 windowID, bool minimized);
    // Presses the window's zoom button, else sets "AXFullScreen" to true (it never leaves full screen
    // without the button).
    void toggleFullScreen(const AppWindowModel &window);
    // Brings the window to the front: unhides and activates its application, restores and raises the
    // window and moves it onto the pointer's screen when it lies off every screen. Returns at once; a
    // newer call cancels the running sequence, which then stops at its next wait.
    void focusWindow(const AppWindowModel &window);
    // How many focusWindow calls there were so far: a caller tells from it whether a window was
    // chosen since some moment.
    quint64 focusRequestCount() const { return m_focusRequestCount; }
    // The window the latest focusWindow call was for; -1 before the first.
    qint64 lastFocusRequest() const { return m_activationWindow; }

    // Peek and drag-to-snap (main thread).
    // Shows the window in the peek overlay when peeking is on and `shouldPeek`; a window already
    // peeked (same id) is not replaced.
    void startPeeking(const AppWindowModel &window, bool shouldPeek);
    // Ends the peek, except while a card is dragged.
    void stopPeeking();
    // One pointer position (bottom-left screen coordinates) of a card drag: starts the drag, restarts
    // its 5 s safety timeout and, at most every dragThrottleInterval, updates `dragTargetZone`.
    void updateDrag(double x, double y);
    // The card drag ended: resets drag and peek, and when a zone was active focuses the window
    // (focusWindow) and snaps it there 100 ms later.
    void endDrag(const AppWindowModel &window);
    // The card drag was abandoned (its bubble closed, its window went): resets drag and peek and
    // snaps nothing.
    void cancelDrag();
    // Focuses the window, then 300 ms later snaps it to `position` on the screen it is on (menus).
    void snapWindow(const AppWindowModel &window, SnapPosition position);
    // Moves and resizes the window to `position` on the screen under the pointer (else the one it is
    // on), raises it, plays the feedback once the frame was set and repeats the placement 200 ms
    // later.
    void applySnap(const AppWindowModel &window, SnapPosition position);
    // The haptic ("enableSnapHaptic") and the sound ("enableSnapSound") after a snap.
    void playSnapFeedback();

    // Cache contents, for the settings' diagnostics and for tests.
    const QHash<quint32, CachedSnapshot> &snapshotCache() const { return m_snapshotCache; }
    const QHash<QString, QImage> &iconCache() const { return m_iconCache; }
    const QHash<QString, QList<AppWindowModel>> &appWindowCache() const { return m_appWindowCache; }
    // True while a requested scan has not finished.
    bool isFetchPending() const;
    // True while snapshots of the all-windows list are being filled in.
    bool isWarmingSnapshots() const;

signals:
    void windowsChanged();
    void hasPermissionChanged(bool hasPermission);
    void currentAppNameChanged(const QString &name);
    void peekingWindowChanged();
    void isDraggingChanged(bool dragging);
    void dragTargetZoneChanged();
    void isContextMenuOpenChanged(bool open);
    void currentOverlayRouteChanged(qv::OverlayRoute route);
    void ignoredAppsDataChanged();
    void ignoreSingleWindowChanged();
    void sortMinimizedLastChanged();
    void showOnlyCurrentSpaceChanged();
    void enablePeekingChanged();
    void enableSnapHapticChanged();
    void enableSnapSoundChanged();
    void popupEdgeRawChanged();

private:
    struct AXProbeResult
    {
        bool shouldDrop = false;
        std::optional<bool> axMinimized;
    };
    // What the newest accepted request was for (cancelling or clearing does not change it);
    // decides whether a throttled request may rely on that request's scan or cached list.
    enum class RequestKind { none, application, allWindows };

    void setWindows(const QList<AppWindowModel> &windows);
    void followWindowListChange();
    void rescanChangedWindowList();
    // fetchAllWindows past its throttle.
    void startAllWindowsFetch();
    bool isAllWindowsListShown() const;
    // Asked for: shown, or its scan under way.
    bool isAllWindowsListWanted() const;
    void setHasPermission(bool value);
    void setCurrentAppName(const QString &name);
    void setPeekingWindow(const std::optional<AppWindowModel> &window);
    void setIsDragging(bool dragging);
    // Drag, zone and peek back to rest, the throttle afresh (the safety task is left alone).
    void resetDrag();
    void setDragTargetZone(std::optional<SnapPosition> zone);
    void beginRequest(RequestKind kind, const QString &appName);
    bool isCurrent(const QUuid &requestID) const { return m_currentRequestID == requestID; }
    bool screenCapturePreflight() const;
    // Cancels a task and keeps it until it reaches its end; a cancelled scan still ends properly.
    void retire(Script &task);
    void loadUsageHistory();
    void onApplicationActivated(qint64 pid);
    QString resolveTargetBundle(const QString &targetApp, const QList<RunningApp> &apps) const;
    std::optional<QImage> finishCapture(quint32 windowId, const QSizeF &frameSize,
                                        const std::optional<QImage> &image);
    // Whether the window's memory-cached snapshot was captured while the window had another size.
    bool isSnapshotOutdated(const WindowInfo &window) const;

    Script fetchTask(QUuid requestID, QString targetApp, bool fetchAll, bool debounce);
    Script performScan(QUuid requestID, QString targetApp, bool fetchAll, CancelToken parent);
    Script scanApplication(QUuid requestID, QString targetApp, QList<WindowInfo> content, CancelToken parent);
    Script scanAllWindows(QUuid requestID, QList<WindowInfo> content, CancelToken parent);
    // `recapture`: windows whose cached pictures are outdated; they skip the disk cache.
    void warmAllRouteSnapshots(const QUuid &requestID, const QList<WindowInfo> &windows,
                               const QSet<quint32> &recapture = {});
    Script warmTask(QUuid requestID, QList<WindowInfo> windows, QSet<quint32> recapture);
    // One window of a warm-up: its fitting disk picture (unless `tryDisk` is false), then a capture.
    Script warmWindow(QUuid requestID, WindowInfo window, bool tryDisk, CancelToken parent);
    Script readFittingDiskSnapshot(WindowInfo window, std::shared_ptr<QHash<quint32, QImage>> into);
    void retireInViewWarmUps();
    // The icons of the applications owning these windows that the icon cache lacks, read on the
    // icon queue (one may take several trips to the window server, and a storm of new windows
    // brings dozens); the scan caches them when it resumes, so the main thread never waits for one.
    Awaited<QHash<QString, QImage>> readMissingIcons(const QList<WindowInfo> &content,
                                                     const QHash<qint64, QList<RunningApp>> &groups) const;
    void rememberIcons(const QHash<QString, QImage> &icons);
    // The cached icon of the window's application; null when it has none or it was not read.
    QImage cachedIcon(const RunningApp &app, const QString &bundleIdentifier) const;
    // Readies the on-screen ones among the windows for capture together.
    void prepareCaptures(const QList<WindowInfo> &windows);
    void prepareLikelyFirstCards(const QList<WindowInfo> &content, const AppUsageHistory &history);
    // The running applications by process, read afresh when `content` holds a document window of
    // a process they do not know yet.
    QHash<qint64, QList<RunningApp>> applicationsOf(const QList<WindowInfo> &content);
    // Drops everything kept for windows that closed.
    void forgetWindows(const QList<quint32> &windowIds);
    // Whether the window closed after `epoch` (while a read of it was on its way).
    bool closedSince(quint32 windowId, quint64 epoch) const;
    void endRead();

    // Window actions (windowactions.cpp, windowfocus.cpp, windowsnap.cpp).
    // Keeps an action's script running until it ends (or the engine goes).
    void startAction(Script script);
    AXElementPtr applicationElement(qint64 pid) const;
    AXElementPtr findWindow(AXElement &application, const AppWindowModel &window) const;
    std::optional<RunningApp> runningApp(qint64 pid) const;
    // Whether the window shows on a screen: by its window-server frame, else by its accessibility one.
    bool isWindowVisible(const AppWindowModel &window, AXElement &element) const;
    // findAXWindow, retried up to `attempts` times 45 ms apart until `cancel`; then, only when
    // `fallBack`, the application's focused, main or first window. Answers in `result`.
    Script resolveAXWindow(AXElementPtr application, AppWindowModel window, int attempts, CancelToken cancel,
                           bool fallBack, std::shared_ptr<AXElementPtr> result);
    // Whether "AXMinimized" reads `expected`, read up to attempts + 1 times 45 ms apart.
    Script waitForAXMinimized(AXElementPtr window, bool expected, int attempts, std::shared_ptr<bool> result);
    Script minimizeTask(AppWindowModel window);
    Script closeTask(AppWindowModel window);
    Script focusSequence(AppWindowModel window);
    Script ensureWindowVisible(AppWindowModel window, qint64 pid, AXElementPtr application,
                               AXElementPtr element, CancelToken cancel);
    Script dragSafetyTask();
    Script delayedSnap(AppWindowModel window, SnapPosition position);
    Script repeatPlacement(AXElementPtr element, QPointF position, QSizeF size);
    Script snapAfterFocus(AXElementPtr application, AppWindowModel window, QPointF position, QSizeF size);
    // The listed model of a window with the picture it has so far.
    AppWindowModel windowModel(const WindowInfo &window, int sortIndex, const QImage &icon,
                               const QImage &image, bool isMinimized) const;
    // A small window parked off screen without being listed as on screen is a minimised one.
    bool looksMinimized(const WindowInfo &window) const;
    Script processWindow(WindowInfo window, int sortIndex, QImage icon, bool isVerifiedMinimized,
                         bool allowExpensiveAX, bool allowSnapshotCapture, QUuid requestID,
                         CancelToken parent, std::shared_ptr<std::optional<AppWindowModel>> result);

    Platform m_platform;
    Scheduler &m_scheduler;
    // Captures and disk reads finish on other threads, maybe after the engine is gone; they hand
    // their results back only through this gate, which the engine closes when it goes.
    PostGate m_workerPosts;
    SettingsStore &m_settings;
    EventLog &m_eventLog;

    QList<AppWindowModel> m_windows;
    QString m_windowsAppName;
    bool m_hasPermission = true;
    QString m_currentAppName;
    std::optional<AppWindowModel> m_peekingWindow;
    bool m_isDragging = false;
    std::optional<SnapPosition> m_dragTargetZone;
    bool m_isContextMenuOpen = false;
    OverlayRoute m_currentOverlayRoute = OverlayRoute::all;

    QUuid m_currentRequestID;
    RequestKind m_currentRequestKind = RequestKind::none;
    QString m_currentRequestApp;
    QHash<QString, QImage> m_iconCache;
    QHash<quint32, CachedSnapshot> m_snapshotCache;
    std::shared_ptr<WorkQueue> m_axScanQueue;
    std::shared_ptr<WorkQueue> m_diskQueue;
    std::shared_ptr<WorkQueue> m_iconQueue;
    QHash<QString, QList<AppWindowModel>> m_appWindowCache;
    QHash<QString, double> m_lastFetchTimeByApp;
    double m_lastGlobalFetchAt = 0;
    QString m_snapshotDiskCacheDirectory;
    AppUsageHistory m_appUsageHistory;

    Script m_pendingFetchTask;
    Script m_allRouteSnapshotWarmTask;
    // Warm-ups of cards that came into view after the first batch.
    std::vector<Script> m_inViewWarmTasks;
    // The windows of the published all-windows list, and those whose pictures were asked for.
    QHash<quint32, WindowInfo> m_listedWindows;
    QSet<quint32> m_warmRequested;
    // Counts window closings; a read that started before a window's closing is dropped.
    quint64 m_closeEpoch = 0;
    QHash<quint32, quint64> m_closedAt;
    int m_readsInFlight = 0;
    std::vector<Script> m_retiredTasks;

    // The current focus sequence (kept after it ended).
    Script m_activationTask;
    // The window the activation task brings forward.
    qint64 m_activationWindow = -1;
    quint64 m_focusRequestCount = 0;
    TimerHandle m_windowListRescan;
    // Ends a drag that stopped receiving updates; restarted by each update.
    Script m_dragSafetyTask;
    // Scheduler time of the last drag update that was not throttled; 0 when no drag runs.
    double m_lastDragUpdateTime = 0;
    // Minimise attempts and delayed snaps: never cancelled, only ended with the engine.
    std::vector<Script> m_actionTasks;
};

} // namespace qv
