#include "windows/windowengine.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QPointer>

#include <algorithm>
#include <limits>

#include "core/diagnostics/diagevents.h"
#include "core/eventlog.h"
#include "core/settingsstore.h"
#include "platform/accessibility.h"
#include "platform/appicons.h"
#include "platform/ownedfiles.h"
#include "platform/permissions.h"
#include "platform/screens.h"
#include "platform/windowcapture.h"
#include "platform/workspace.h"
#include "runtime/awaitables.h"
#include "runtime/scheduler.h"
#include "runtime/workqueue.h"
#include "windows/axwindowlookup.h"
#include "windows/snapshotcache.h"
#include "windows/windowfilter.h"

namespace qv {

namespace {

// The main thread is given back every this many windows while a list is filtered.
constexpr int applicationScanYieldEvery = 12;
constexpr int allWindowsScanYieldEvery = 20;
// Nor is it held longer than this (seconds) between two yields of the all-windows scan.
constexpr double allWindowsScanSlice = 0.01;
// Windows smaller than this on either side are not document windows (unless known minimised).
constexpr double minimumWindowSide = 80;

// Dock names (lower case) whose application is known by identifier; the Dock shows localised names
// that match no running application's name.
const QHash<QString, QString> &dockNameAliases()
{
    static const QHash<QString, QString> aliases = {
        {QStringLiteral("访达"), QStringLiteral("com.apple.finder")},
        {QStringLiteral("finder"), QStringLiteral("com.apple.finder")},
        {QStringLiteral("系统设置"), QStringLiteral("com.apple.systempreferences")},
        {QStringLiteral("system settings"), QStringLiteral("com.apple.systempreferences")},
        {QStringLiteral("系统偏好设置"), QStringLiteral("com.apple.systempreferences")},
        {QStringLiteral("电话"), QStringLiteral("com.apple.facetime")},
        {QStringLiteral("facetime通话"), QStringLiteral("com.apple.facetime")},
        {QStringLiteral("facetime"), QStringLiteral("com.apple.facetime")},
        {QStringLiteral("safari浏览器"), QStringLiteral("com.apple.safari")},
        {QStringLiteral("safari"), QStringLiteral("com.apple.safari")},
        {QStringLiteral("备忘录"), QStringLiteral("com.apple.notes")},
        {QStringLiteral("notes"), QStringLiteral("com.apple.notes")},
        {QStringLiteral("信息"), QStringLiteral("com.apple.mobileisms")},
        {QStringLiteral("messages"), QStringLiteral("com.apple.mobileisms")},
        {QStringLiteral("日历"), QStringLiteral("com.apple.ical")},
        {QStringLiteral("calendar"), QStringLiteral("com.apple.ical")},
        {QStringLiteral("照片"), QStringLiteral("com.apple.photos")},
        {QStringLiteral("photos"), QStringLiteral("com.apple.photos")},
        {QStringLiteral("提醒事项"), QStringLiteral("com.apple.reminders")},
        {QStringLiteral("reminders"), QStringLiteral("com.apple.reminders")},
    };
    return aliases;
}

// Browsers keep auxiliary windows (tab previews, popups) in the window list; theirs are checked
// against accessibility before they are listed.
const QSet<QString> &axCheckedBundleIDs()
{
    static const QSet<QString> ids = {
        QStringLiteral("com.apple.safari"),           QStringLiteral("com.google.chrome"),
        QStringLiteral("com.microsoft.edgemac"),      QStringLiteral("com.brave.browser"),
        QStringLiteral("company.thebrowser.browser"), QStringLiteral("org.mozilla.firefox"),
        QStringLiteral("com.operasoftware.opera"),    QStringLiteral("com.vivaldi.vivaldi"),
    };
    return ids;
}

QHash<qint64, QList<RunningApp>> groupByPid(const QList<RunningApp> &apps)
{
    QHash<qint64, QList<RunningApp>> groups;
    for (const auto &app : apps)
        groups[app.pid].append(app);
    return groups;
}

bool isOwnWindow(const WindowInfo &window)
{
    return window.ownerBundleIdentifier == WindowEngine::ownBundleIdentifier() ||
           (window.ownerPID != 0 && window.ownerPID == QCoreApplication::applicationPid());
}

QString iconKey(qint64 pid, const QString &bundleIdentifier)
{
    return bundleIdentifier.isEmpty() ? QStringLiteral("pid:%1").arg(pid) : bundleIdentifier;
}

// The running application's own icon, else the one installed for its identifier.
QImage lookUpIcon(AppIconService &icons, qint64 pid, const QString &bundleIdentifier)
{
    QImage icon = icons.applicationIcon(pid);
    if (icon.isNull() && !bundleIdentifier.isEmpty())
        icon = icons.iconForBundle(bundleIdentifier);
    return icon;
}

QString fetchAllDetail(bool fetchAll)
{
    return QStringLiteral("fetchAll=") + (fetchAll ? QStringLiteral("true") : QStringLiteral("false"));
}

// Runs `job` on `queue` and resumes the awaiting script with its result on the main thread.
template <typename Fn>
auto onQueue(const std::shared_ptr<WorkQueue> &queue, Fn job) -> Awaited<decltype(job())>
{
    using Result = decltype(job());
    return Awaited<Result>([queue, job = std::move(job)](typename Awaited<Result>::Deliver deliver) mutable {
        queue->async([job, deliver] { deliver(job()); });
    });
}

} // namespace

QString WindowEngine::allWindowsAppName()
{
    return QStringLiteral("Mission Control");
}

QString WindowEngine::historyKey()
{
    return Settings::appUsageHistory.key();
}

QString WindowEngine::ownBundleIdentifier()
{
    return QStringLiteral("quorvantis");
}

WindowEngine::WindowEngine(const Platform &platform, Scheduler &scheduler, WorkQueueFactory &queues,
                           SettingsStore &settings, EventLog &eventLog, QObject *parent)
    : QObject(parent), m_platform(platform), m_scheduler(scheduler), m_workerPosts(scheduler),
      m_settings(settings), m_eventLog(eventLog)
{
    m_currentRequestID = QUuid::createUuid();
    m_axScanQueue = queues.makeQueue(QStringLiteral("Quorvantis.AXScan"), QueueKind::Concurrent);
    m_diskQueue = queues.makeQueue(QStringLiteral("Quorvantis.SnapshotDiskCache"), QueueKind::Concurrent);
    m_iconQueue = queues.makeQueue(QStringLiteral("Quorvantis.AppIcons"), QueueKind::Serial);

    m_snapshotDiskCacheDirectory = qv::snapshotDiskCacheDirectory();
    const OwnedFiles::Folder cacheFolder(m_snapshotDiskCacheDirectory, OwnedFiles::Folder::Mode::Create);
    if (!cacheFolder.refusal().isEmpty())
        m_eventLog.log(DiagEvents::folderRefused,
                       OwnedFiles::warnRefused(cacheFolder, QStringLiteral("window snapshots")));
    m_diskQueue->async([directory = m_snapshotDiskCacheDirectory] {
        pruneSnapshotDiskCache(directory, QDateTime::currentDateTimeUtc());
    });

    loadUsageHistory();
    connect(m_platform.workspace, &WorkspaceService::windowsClosed, this, &WindowEngine::forgetWindows);
    connect(m_platform.workspace, &WorkspaceService::windowListChanged, this,
            &WindowEngine::followWindowListChange);
    connect(m_platform.workspace, &WorkspaceService::applicationActivated, this,
            &WindowEngine::onApplicationActivated);

    connect(&m_settings, &SettingsStore::changed, this, [this](const QString &key) {
        if (key == Settings::ignoredApps.key())
            emit ignoredAppsDataChanged();
        else if (key == Settings::ignoreSingleWindow.key())
            emit ignoreSingleWindowChanged();
        else if (key == Settings::sortMinimizedLast.key())
            emit sortMinimizedLastChanged();
        else if (key == Settings::showOnlyCurrentSpace.key())
            emit showOnlyCurrentSpaceChanged();
        else if (key == Settings::enablePeeking.key())
            emit enablePeekingChanged();
        else if (key == Settings::enableSnapHaptic.key())
            emit enableSnapHapticChanged();
        else if (key == Settings::enableSnapSound.key())
            emit enableSnapSoundChanged();
        else if (key == Settings::popupEdge.key())
            emit popupEdgeRawChanged();
    });
}

WindowEngine::~WindowEngine()
{
    m_windowListRescan.cancel();
    m_workerPosts.close();
    // Destroying the scripts stops them where they stand; results still on their way find no one.
    m_pendingFetchTask = Script();
    m_allRouteSnapshotWarmTask = Script();
    m_inViewWarmTasks.clear();
    m_retiredTasks.clear();
    m_activationTask = Script();
    m_dragSafetyTask = Script();
    m_actionTasks.clear();
}

// ---- Published state and settings ----

void WindowEngine::setContextMenuOpen(bool open)
{
    if (m_isContextMenuOpen == open)
        return;
    m_isContextMenuOpen = open;
    emit isContextMenuOpenChanged(open);
}

void WindowEngine::setCurrentOverlayRoute(OverlayRoute route)
{
    if (route != OverlayRoute::all)
        m_platform.workspace->followWindowTitles(false);
    m_currentOverlayRoute = route;
    emit currentOverlayRouteChanged(route);
}

void WindowEngine::setWindows(const QList<AppWindowModel> &windows)
{
    m_windows = windows;
    m_windowsAppName = m_currentAppName;
    emit windowsChanged();
}

void WindowEngine::setHasPermission(bool value)
{
    m_hasPermission = value;
    emit hasPermissionChanged(value);
}

void WindowEngine::setCurrentAppName(const QString &name)
{
    m_currentAppName = name;
    emit currentAppNameChanged(name);
}

void WindowEngine::setPeekingWindow(const std::optional<AppWindowModel> &window)
{
    if (m_peekingWindow == window)
        return;
    m_peekingWindow = window;
    emit peekingWindowChanged();
}

void WindowEngine::setIsDragging(bool dragging)
{
    if (m_isDragging == dragging)
        return;
    m_isDragging = dragging;
    emit isDraggingChanged(dragging);
}

void WindowEngine::setDragTargetZone(std::optional<SnapPosition> zone)
{
    if (m_dragTargetZone == zone)
        return;
    m_dragTargetZone = zone;
    emit dragTargetZoneChanged();
}

QString WindowEngine::ignoredAppsData() const
{
    return m_settings.get(Settings::ignoredApps);
}

void WindowEngine::setIgnoredAppsData(const QString &value)
{
    m_settings.set(Settings::ignoredApps, value);
}

bool WindowEngine::ignoreSingleWindow() const
{
    return m_settings.get(Settings::ignoreSingleWindow);
}

void WindowEngine::setIgnoreSingleWindow(bool value)
{
    m_settings.set(Settings::ignoreSingleWindow, value);
}

bool WindowEngine::sortMinimizedLast() const
{
    return m_settings.get(Settings::sortMinimizedLast);
}

void WindowEngine::setSortMinimizedLast(bool value)
{
    m_settings.set(Settings::sortMinimizedLast, value);
}

bool WindowEngine::showOnlyCurrentSpace() const
{
    return m_settings.get(Settings::showOnlyCurrentSpace);
}

void WindowEngine::setShowOnlyCurrentSpace(bool value)
{
    m_settings.set(Settings::showOnlyCurrentSpace, value);
}

bool WindowEngine::enablePeeking() const
{
    return m_settings.get(Settings::enablePeeking);
}

void WindowEngine::setEnablePeeking(bool value)
{
    m_settings.set(Settings::enablePeeking, value);
}

bool WindowEngine::enableSnapHaptic() const
{
    return m_settings.get(Settings::enableSnapHaptic);
}

void WindowEngine::setEnableSnapHaptic(bool value)
{
    m_settings.set(Settings::enableSnapHaptic, value);
}

bool WindowEngine::enableSnapSound() const
{
    return m_settings.get(Settings::enableSnapSound);
}

void WindowEngine::setEnableSnapSound(bool value)
{
    m_settings.set(Settings::enableSnapSound, value);
}

QString WindowEngine::popupEdgeRaw() const
{
    return m_settings.get(Settings::popupEdge);
}

void WindowEngine::setPopupEdgeRaw(const QString &value)
{
    m_settings.set(Settings::popupEdge, value);
}

bool WindowEngine::isFetchPending() const
{
    return m_pendingFetchTask.isValid() && !m_pendingFetchTask.isFinished();
}

bool WindowEngine::isWarmingSnapshots() const
{
    return (m_allRouteSnapshotWarmTask.isValid() && !m_allRouteSnapshotWarmTask.isFinished()) ||
           std::any_of(m_inViewWarmTasks.cbegin(), m_inViewWarmTasks.cend(),
                       [](const Script &task) { return !task.isFinished(); });
}

void WindowEngine::retireInViewWarmUps()
{
    for (Script &task : m_inViewWarmTasks)
        retire(task);
    m_inViewWarmTasks.clear();
}

// ---- Usage history ----

void WindowEngine::loadUsageHistory()
{
    const QVariant stored = m_settings.value(historyKey());
    if (stored.typeId() != QMetaType::QVariantMap)
        return;
    AppUsageHistory history;
    const QVariantMap map = stored.toMap();
    for (auto it = map.constBegin(); it != map.constEnd(); ++it) {
        switch (it.value().typeId()) {
        case QMetaType::Double:
        case QMetaType::Float:
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
            history.insert(it.key(), it.value().toDouble());
            break;
        default:
            // One entry of another kind means the whole stored history is not ours to trust.
            return;
        }
    }
    // A history stored before it had a bound keeps its newest part, written back at the next use.
    trimUsageHistory(history);
    m_appUsageHistory = history;
}

void WindowEngine::onApplicationActivated(qint64 pid)
{
    QString bundleIdentifier;
    for (const auto &app : m_platform.workspace->runningApplications()) {
        if (app.pid == pid) {
            bundleIdentifier = app.bundleIdentifier;
            break;
        }
    }
    if (bundleIdentifier.isEmpty())
        return;
    QPointer<WindowEngine> self(this);
    m_scheduler.post([self, bundleIdentifier] {
        if (self)
            self->recordAppUsage(bundleIdentifier);
    });
}

void WindowEngine::recordAppUsage(const QString &bundleIdentifier)
{
    if (bundleIdentifier == ownBundleIdentifier() || bundleIdentifier.size() > maxUsageIdentifierLength)
        return;
    m_appUsageHistory.insert(bundleIdentifier, m_scheduler.wallNow());
    trimUsageHistory(m_appUsageHistory);
    QVariantMap stored;
    for (auto it = m_appUsageHistory.constBegin(); it != m_appUsageHistory.constEnd(); ++it)
        stored.insert(it.key(), it.value());
    m_settings.set(Settings::appUsageHistory, stored);
}

// ---- Request scheduling ----

void WindowEngine::beginRequest(RequestKind kind, const QString &appName)
{
    m_currentRequestID = QUuid::createUuid();
    m_currentRequestKind = kind;
    m_currentRequestApp = appName;
}

void WindowEngine::retire(Script &task)
{
    m_retiredTasks.erase(std::remove_if(m_retiredTasks.begin(), m_retiredTasks.end(),
                                        [](const Script &script) { return script.isFinished(); }),
                         m_retiredTasks.end());
    if (!task.isValid())
        return;
    task.cancel();
    if (!task.isFinished())
        m_retiredTasks.push_back(std::move(task));
    task = Script();
}

void WindowEngine::fetchWindows(const QString &appName, double restedFor)
{
    setCurrentAppName(appName);
    const auto cached = m_appWindowCache.constFind(appName);
    if (cached != m_appWindowCache.constEnd())
        setWindows(cachedListNow(*cached));

    const double now = m_scheduler.wallNow();
    const auto last = m_lastFetchTimeByApp.constFind(appName);
    // A throttled request leans on the newest accepted request, which is only right when that one
    // was for this same application, and only while this application's own list stands: its cached
    // list was just published, or its own accepted request is still pending. Otherwise another
    // application's windows (its scan, or its list left published by a cancellation) would stand
    // under this name.
    const bool scanServesThisApp =
        m_currentRequestKind == RequestKind::none ||
        (m_currentRequestKind == RequestKind::application && m_currentRequestApp == appName);
    const bool ownRequestPending = m_currentRequestKind == RequestKind::application &&
                                   m_currentRequestApp == appName && m_pendingFetchTask.isValid() &&
                                   !m_pendingFetchTask.isFinished();
    const bool ownListStands =
        scanServesThisApp && (cached != m_appWindowCache.constEnd() || ownRequestPending);
    // A wall clock set back makes the difference negative; that is no recent request.
    const double sinceLast = last != m_lastFetchTimeByApp.constEnd() ? now - *last : -1;
    if (sinceLast >= 0 && sinceLast < minimumRescanInterval && ownListStands)
        return;
    m_lastFetchTimeByApp.insert(appName, now);

    beginRequest(RequestKind::application, appName);
    retire(m_pendingFetchTask);
    m_pendingFetchTask = fetchTask(m_currentRequestID, appName, false, restedFor < fetchDebounceInterval);
    m_pendingFetchTask.start(m_scheduler);
}

QList<AppWindowModel> WindowEngine::cachedListNow(QList<AppWindowModel> windows) const
{
    // A list shown as it was at the last scan would bring back the cards of an application blocked
    // since, and the order of an earlier showing (the window used then first).
    windows.removeIf([this](const AppWindowModel &window) {
        return isIgnoredBundle(window.bundleIdentifier) || isIgnoredAppName(window.appName);
    });
    // Nor may it show a lone window while lone windows are not shown: the scan would take it away.
    if (ignoreSingleWindow() && windows.size() == 1)
        return {};
    // A scan lists the window with the keyboard first, as the window manager stacks it.
    const quint32 focused = m_platform.workspace->focusedWindow();
    for (AppWindowModel &window : windows) {
        if (focused != 0 && window.id == qint64(focused))
            window.sortIndex = std::numeric_limits<int>::min();
    }
    sortWindows(windows, sortMinimizedLast(), m_appUsageHistory);
    return windows;
}

void WindowEngine::fetchAllWindows()
{
    if (m_currentOverlayRoute != OverlayRoute::all)
        return;
    const double now = m_scheduler.wallNow();
    const double sinceLast = now - m_lastGlobalFetchAt;
    if (sinceLast >= 0 && sinceLast < minimumGlobalRescanInterval && !m_windows.isEmpty())
        return;
    startAllWindowsFetch();
}

void WindowEngine::startAllWindowsFetch()
{
    m_lastGlobalFetchAt = m_scheduler.wallNow();
    // The cards on screen follow their windows' titles until the list is let go.
    m_platform.workspace->followWindowTitles(true);
    beginRequest(RequestKind::allWindows, QString());
    setCurrentAppName(allWindowsAppName());
    const QString frontmost = m_platform.workspace->frontmostApplication().bundleIdentifier;
    if (!frontmost.isEmpty())
        recordAppUsage(frontmost);
    retire(m_allRouteSnapshotWarmTask);
    retireInViewWarmUps();
    retire(m_pendingFetchTask);
    m_pendingFetchTask = fetchTask(m_currentRequestID, QString(), true, false);
    m_pendingFetchTask.start(m_scheduler);
}

bool WindowEngine::isAllWindowsListWanted() const
{
    return m_currentOverlayRoute == OverlayRoute::all && m_currentAppName == allWindowsAppName();
}

bool WindowEngine::isAllWindowsListShown() const
{
    // A cleared list keeps the name it was published under, but nobody asks for it any more: the
    // current name went with it.
    return m_currentOverlayRoute == OverlayRoute::all && m_windowsAppName == allWindowsAppName() &&
           m_currentAppName == allWindowsAppName();
}

void WindowEngine::followWindowListChange()
{
    // The first scan of a showing may still be under way: a window it read the list too early for
    // would never get its card.
    if (!isAllWindowsListWanted() || m_windowListRescan.isActive())
        return;
    // A window manager changes its list several times while one window maps or goes; one scan a
    // moment later shows them all.
    m_windowListRescan = m_scheduler.after(windowListSettleDelay, [this] { rescanChangedWindowList(); });
}

void WindowEngine::rescanChangedWindowList()
{
    // The list on screen is out of date: no throttle.
    if (isAllWindowsListShown()) {
        startAllWindowsFetch();
    } else if (isAllWindowsListWanted() && m_pendingFetchTask.isValid() && !m_pendingFetchTask.isFinished()) {
        // A scan restarted at every change would never show anything during a storm of windows:
        // this one is let finish, and the change is scanned once it has shown its list.
        m_windowListRescan =
            m_scheduler.after(windowListSettleDelay, [this] { rescanChangedWindowList(); });
    }
}

void WindowEngine::cancelWindowFetches()
{
    retire(m_pendingFetchTask);
    retire(m_allRouteSnapshotWarmTask);
    retireInViewWarmUps();
    m_currentRequestID = QUuid::createUuid();
    if (m_currentOverlayRoute != OverlayRoute::all) {
        setCurrentAppName(QString());
        setPeekingWindow(std::nullopt);
        setIsDragging(false);
    }
}

void WindowEngine::clearWindows()
{
    if (m_isDragging)
        return;
    retire(m_pendingFetchTask);
    retire(m_allRouteSnapshotWarmTask);
    retireInViewWarmUps();
    m_currentRequestID = QUuid::createUuid();
    m_listedWindows.clear();
    m_warmRequested.clear();
    m_platform.workspace->followWindowTitles(false);
    setWindows({});
    setCurrentAppName(QString());
    setPeekingWindow(std::nullopt);
}

Script WindowEngine::fetchTask(QUuid requestID, QString targetApp, bool fetchAll, bool debounce)
{
    const ScriptControl control = co_await thisScript();
    if (debounce) {
        co_await sleepFor(fetchDebounceInterval);
        if (control.isCancelled())
            co_return;
    }
    TaskGroup scan(m_scheduler);
    scan.add(performScan(requestID, targetApp, fetchAll, CancelToken(control)));
    auto scanned = scan.wait();
    co_await scanned;
}

// ---- Scans ----

bool WindowEngine::screenCapturePreflight() const
{
    return m_platform.permissions->screenCapturePreflight();
}

Script WindowEngine::performScan(QUuid requestID, QString targetApp, bool fetchAll, CancelToken parent)
{
    const ScriptControl control = co_await thisScript();
    const CancelToken cancel = parent.with(control);
    if (cancel.isCancelled())
        co_return;
    if (!screenCapturePreflight()) {
        setHasPermission(false);
        co_return;
    }
    // A permission granted later in the run takes the permission card down again.
    if (!m_hasPermission)
        setHasPermission(true);

    const double start = m_scheduler.now();
    m_eventLog.log(DiagEvents::axScanBegin, fetchAllDetail(fetchAll));

    WindowListService *windowList = m_platform.windowList;
    Awaited<std::optional<QList<WindowInfo>>> listed(
        [windowList](Awaited<std::optional<QList<WindowInfo>>>::Deliver deliver) {
            windowList->requestWindows(std::move(deliver));
        });
    const std::optional<QList<WindowInfo>> content = co_await listed;
    if (content && !cancel.isCancelled() && isCurrent(requestID)) {
        TaskGroup body(m_scheduler);
        if (fetchAll)
            body.add(scanAllWindows(requestID, *content, cancel));
        else
            body.add(scanApplication(requestID, targetApp, *content, cancel));
        auto finished = body.wait();
        co_await finished;
    }

    const double elapsedMs = (m_scheduler.now() - start) * 1000.0;
    m_eventLog.log(DiagEvents::axScanEnd,
                   fetchAllDetail(fetchAll) + QString::asprintf(", %.1fms", elapsedMs));
}

QString WindowEngine::resolveTargetBundle(const QString &targetApp, const QList<RunningApp> &apps) const
{
    if (targetApp.isEmpty())
        return QString();
    const auto alias = dockNameAliases().constFind(targetApp.toLower());
    if (alias != dockNameAliases().constEnd())
        return *alias;
    for (const auto &app : apps) {
        if (!app.isRegular)
            continue;
        // Linux applications have one display name; there is no separate bundle name to try.
        if (namesMatch(app.name, targetApp))
            return app.bundleIdentifier;
    }
    return QString();
}

Script WindowEngine::scanApplication(QUuid requestID, QString targetApp, QList<WindowInfo> content,
                                     CancelToken parent)
{
    const ScriptControl control = co_await thisScript();
    const CancelToken cancel = parent.with(control);

    const QList<RunningApp> apps = m_platform.workspace->runningApplications();
    const auto groups = groupByPid(apps);
    const QString targetBundle = resolveTargetBundle(targetApp, apps);

    // The application's windows on screen are readied for capture now, so their wait runs while
    // accessibility is asked and the list is filtered.
    {
        QList<WindowInfo> likely;
        for (const WindowInfo &window : std::as_const(content)) {
            const bool owned = (!targetBundle.isEmpty() && window.ownerBundleIdentifier == targetBundle) ||
                               namesMatch(trimmedText(window.ownerName), targetApp);
            if (owned && window.layer == 0 && !isOwnWindow(window))
                likely.append(window);
        }
        prepareCaptures(likely);
    }

    QList<AXProbeTarget> probes;
    for (const auto &app : apps) {
        if (app.isRegular)
            probes.append(AXProbeTarget{app.pid, app.bundleIdentifier});
    }
    QSet<quint32> verifiedMinimized;
    {
        AccessibilityService *accessibility = m_platform.accessibility;
        auto probe = onQueue(m_axScanQueue, [accessibility, probes, targetBundle] {
            return probeMinimizedWindows(*accessibility, probes, targetBundle);
        });
        verifiedMinimized = co_await probe;
    }
    if (cancel.isCancelled() || !isCurrent(requestID))
        co_return;

    struct Candidate
    {
        WindowInfo window;
        int sortIndex;
        QImage icon;
        bool verifiedMinimized;
    };
    {
        // Only this application's icon (or those of windows its name is in the title of) is wanted.
        QList<WindowInfo> owning = content;
        owning.removeIf([&](const WindowInfo &window) {
            return !(!targetBundle.isEmpty() && window.ownerBundleIdentifier == targetBundle) &&
                   !namesMatch(trimmedText(window.ownerName), targetApp) &&
                   !namesMatch(trimmedText(window.title.value_or(QString())), targetApp);
        });
        auto read = readMissingIcons(owning, groups);
        const QHash<QString, QImage> icons = co_await read;
        if (cancel.isCancelled() || !isCurrent(requestID))
            co_return;
        rememberIcons(icons);
    }
    QList<Candidate> candidates;
    const bool onlyCurrentSpace = showOnlyCurrentSpace();
    for (int i = 0; i < content.size(); ++i) {
        if (cancel.isCancelled() || !isCurrent(requestID))
            co_return;
        if (i % applicationScanYieldEvery == 0)
            co_await sleepFor(0);
        const WindowInfo &window = content[i];
        if (isOwnWindow(window))
            continue;
        const auto group = groups.constFind(window.ownerPID);
        if (group == groups.constEnd() || group->isEmpty() || !group->first().isRegular)
            continue;
        const RunningApp &app = group->first();
        const bool verified = verifiedMinimized.contains(window.windowId);
        const QString title = trimmedText(window.title.value_or(QString()));
        const QString appName = trimmedText(window.ownerName);
        const QString bundleIdentifier = window.ownerBundleIdentifier;
        const QImage icon = cachedIcon(app, bundleIdentifier);
        if (!verified) {
            if (window.layer != 0)
                continue;
            if (window.frame.width() < minimumWindowSide || window.frame.height() < minimumWindowSide)
                continue;
            if (shouldExcludeWindow(title, appName, bundleIdentifier, window.frame, m_platform.screens))
                continue;
            if (onlyCurrentSpace && !window.isOnScreen)
                continue;
        }
        if (isIgnoredBundle(bundleIdentifier) || isIgnoredAppName(appName))
            continue;
        const bool bundleMatch = !targetBundle.isEmpty() && bundleIdentifier == targetBundle;
        const bool nameMatch = namesMatch(appName, targetApp);
        bool passes = bundleMatch || nameMatch;
        if (!passes && !title.isEmpty() && !targetApp.isEmpty())
            passes = namesMatch(title, targetApp);
        if (passes)
            candidates.append(Candidate{window, i, icon, verified});
    }
    if (!isCurrent(requestID))
        co_return;

    // What stands is not this application's list of these windows (its first hover since start, or
    // a window it opened since): the list goes out now with the pictures at hand, so the bubble
    // shows without waiting for the captures, which then replace the pictures in place.
    QSet<qint64> standing;
    if (m_windowsAppName == targetApp) {
        for (const AppWindowModel &model : std::as_const(m_windows))
            standing.insert(model.id);
    }
    QSet<qint64> found;
    for (const Candidate &candidate : std::as_const(candidates))
        found.insert(candidate.window.windowId);
    if (found != standing && !found.isEmpty() && !(ignoreSingleWindow() && found.size() == 1)) {
        // Pictures kept on disk (from an earlier run) that show the windows at their present size
        // go into the first look; reading them takes a moment, a capture much longer.
        auto diskPictures = std::make_shared<QHash<quint32, QImage>>();
        {
            TaskGroup reads(m_scheduler);
            for (const Candidate &candidate : std::as_const(candidates)) {
                if (!m_snapshotCache.contains(candidate.window.windowId))
                    reads.add(readFittingDiskSnapshot(candidate.window, diskPictures));
            }
            auto read = reads.wait();
            co_await read;
        }
        if (cancel.isCancelled() || !isCurrent(requestID))
            co_return;
        QList<AppWindowModel> firstLook;
        for (const Candidate &candidate : std::as_const(candidates)) {
            const quint32 id = candidate.window.windowId;
            const auto cached = m_snapshotCache.constFind(id);
            const QImage picture = cached != m_snapshotCache.constEnd() ? cached->image
                                                                        : diskPictures->value(id, candidate.icon);
            firstLook.append(windowModel(candidate.window, candidate.sortIndex, candidate.icon, picture,
                                         candidate.verifiedMinimized || looksMinimized(candidate.window)));
        }
        sortWindows(firstLook, sortMinimizedLast(), m_appUsageHistory);
        setWindows(firstLook);
    }
    {
        QList<WindowInfo> capturing;
        for (const Candidate &candidate : std::as_const(candidates))
            capturing.append(candidate.window);
        prepareCaptures(capturing);
    }

    // Started in the order the cards show, so the captures of the first cards leave first.
    {
        QList<AppWindowModel> order;
        for (qsizetype i = 0; i < candidates.size(); ++i) {
            AppWindowModel model = windowModel(candidates.at(i).window, candidates.at(i).sortIndex, QImage(),
                                               QImage(), candidates.at(i).verifiedMinimized ||
                                                             looksMinimized(candidates.at(i).window));
            model.id = qint64(i);
            order.append(model);
        }
        sortWindows(order, sortMinimizedLast(), m_appUsageHistory);
        QList<Candidate> shownOrder;
        for (const AppWindowModel &model : std::as_const(order))
            shownOrder.append(candidates.at(model.id));
        candidates = shownOrder;
    }
    auto models = std::make_shared<QList<AppWindowModel>>();
    {
        TaskGroup group(m_scheduler);
        for (const Candidate &candidate : candidates) {
            auto result = std::make_shared<std::optional<AppWindowModel>>();
            TaskGroup *groupPtr = &group;
            group.add(processWindow(candidate.window, candidate.sortIndex, candidate.icon,
                                    candidate.verifiedMinimized, true, true, requestID, cancel, result),
                      [this, groupPtr, result, models, requestID, cancel] {
                          if (cancel.isCancelled() || !isCurrent(requestID)) {
                              groupPtr->cancelAll();
                              return;
                          }
                          if (*result)
                              models->append(**result);
                      });
        }
        auto finished = group.wait();
        co_await finished;
    }
    if (!isCurrent(requestID))
        co_return;
    if (ignoreSingleWindow() && models->size() == 1) {
        setWindows({});
        co_return;
    }
    QList<AppWindowModel> sorted = *models;
    sortWindows(sorted, sortMinimizedLast(), m_appUsageHistory);
    if (!isCurrent(requestID))
        co_return;
    setWindows(sorted);
    if (!targetApp.isEmpty())
        m_appWindowCache.insert(targetApp, sorted);
    pruneMemoryCaches();
}

Script WindowEngine::scanAllWindows(QUuid requestID, QList<WindowInfo> content, CancelToken parent)
{
    const ScriptControl control = co_await thisScript();
    const CancelToken cancel = parent.with(control);
    if (cancel.isCancelled() || !isCurrent(requestID))
        co_return;

    const double now = m_scheduler.wallNow();
    const AppUsageHistory history = m_appUsageHistory;
    const auto groups = applicationsOf(content);
    // Every qualifying window is listed, so a search and the sidebar reach them all; the work per
    // window is what is known already (cached snapshot or icon), the captures come afterwards.
    QList<AppWindowModel> models;
    models.reserve(content.size());
    QHash<quint32, WindowInfo> listedWindows;
    // Windows whose cached picture shows them at a size they no longer have: captured anew first.
    QSet<quint32> recapture;
    QSet<quint32> upToDate;

    prepareLikelyFirstCards(content, history);
    {
        auto read = readMissingIcons(content, groups);
        const QHash<QString, QImage> icons = co_await read;
        if (cancel.isCancelled() || !isCurrent(requestID))
            co_return;
        rememberIcons(icons);
    }

    double lastYield = m_scheduler.now();
    for (int i = 0; i < content.size(); ++i) {
        if (cancel.isCancelled() || !isCurrent(requestID))
            co_return;
        if (i % allWindowsScanYieldEvery == 0 || m_scheduler.now() - lastYield > allWindowsScanSlice) {
            co_await sleepFor(0);
            lastYield = m_scheduler.now();
        }
        const WindowInfo &window = content[i];
        if (isOwnWindow(window))
            continue;
        const auto group = groups.constFind(window.ownerPID);
        if (group == groups.constEnd() || group->isEmpty() || !group->first().isRegular)
            continue;
        if (window.layer != 0 || window.frame.width() < minimumWindowSide ||
            window.frame.height() < minimumWindowSide)
            continue;
        const QString title = trimmedText(window.title.value_or(QString()));
        const QString appName = trimmedText(window.ownerName);
        const QString bundleIdentifier = window.ownerBundleIdentifier;
        if (shouldExcludeWindow(title, appName, bundleIdentifier, window.frame, m_platform.screens) ||
            isIgnoredBundle(bundleIdentifier) || isIgnoredAppName(appName))
            continue;
        const QImage icon = cachedIcon(group->first(), bundleIdentifier);
        const auto cached = m_snapshotCache.constFind(window.windowId);
        const bool hasCached = cached != m_snapshotCache.constEnd();

        AppWindowModel model;
        model.id = window.windowId;
        model.appName = appName;
        model.title = title.isEmpty() ? appName : title;
        model.image = hasCached ? cached->image : icon;
        model.ownerPID = window.ownerPID;
        model.appIcon = icon;
        model.bundleIdentifier = bundleIdentifier;
        model.sortIndex = i;
        model.rect = window.frame;
        model.isMinimized = !window.isOnScreen;
        model.snapshotTime = now;
        models.append(model);
        listedWindows.insert(window.windowId, window);
        if (hasCached && isSnapshotOutdated(window))
            recapture.insert(window.windowId);
        else if (hasCached)
            upToDate.insert(window.windowId);
    }

    sortAllWindows(models, history);
    if (cancel.isCancelled() || !isCurrent(requestID))
        co_return;
    m_listedWindows = listedWindows;
    m_warmRequested.clear();
    // The cards the grid shows first are the first of the list: theirs are warmed first, outdated
    // pictures before missing ones as far as the batch goes.
    QList<WindowInfo> batch;
    for (const bool outdatedPass : {true, false}) {
        for (const AppWindowModel &model : std::as_const(models)) {
            if (batch.size() >= SnapshotLimits::warmUpCount)
                break;
            const quint32 id = quint32(model.id);
            if (upToDate.contains(id) || recapture.contains(id) != outdatedPass)
                continue;
            batch.append(listedWindows.value(id));
            m_warmRequested.insert(id);
        }
    }
    setWindows(models);
    pruneMemoryCaches();
    warmAllRouteSnapshots(requestID, batch, recapture);
}

QHash<qint64, QList<RunningApp>> WindowEngine::applicationsOf(const QList<WindowInfo> &content)
{
    auto groups = groupByPid(m_platform.workspace->runningApplications());
    // The list was just read from the desktop; the applications come from its notifications, which
    // may not have told of a program whose window just opened yet. Such a window would be left
    // out of the list until the next scan: the applications are read now instead.
    const bool unknownOwner = std::any_of(content.cbegin(), content.cend(), [&](const WindowInfo &window) {
        return window.ownerPID > 0 && window.layer == 0 && !groups.contains(window.ownerPID) &&
               !isOwnWindow(window);
    });
    if (unknownOwner) {
        m_platform.workspace->refreshApplications();
        groups = groupByPid(m_platform.workspace->runningApplications());
    }
    return groups;
}

void WindowEngine::requestSnapshots(const QList<qint64> &windowIds)
{
    if (m_currentOverlayRoute != OverlayRoute::all || m_windowsAppName != allWindowsAppName())
        return;
    std::erase_if(m_inViewWarmTasks, [](const Script &task) { return task.isFinished(); });
    QList<WindowInfo> wanted;
    QSet<quint32> recapture;
    for (const qint64 id : windowIds) {
        const quint32 windowId = quint32(id);
        const auto window = m_listedWindows.constFind(windowId);
        if (window == m_listedWindows.constEnd() || m_warmRequested.contains(windowId))
            continue;
        if (const auto cached = m_snapshotCache.constFind(windowId); cached != m_snapshotCache.constEnd()) {
            if (!isSnapshotOutdated(*window)) {
                // A capture that came back after a new list replaced the one it was for is kept
                // but was never shown.
                const bool shown =
                    std::any_of(m_windows.cbegin(), m_windows.cend(), [&](const AppWindowModel &model) {
                        return model.id == id && model.image.cacheKey() == cached->image.cacheKey();
                    });
                if (!shown)
                    applySnapshot(windowId, cached->image);
                continue;
            }
            recapture.insert(windowId);
        }
        m_warmRequested.insert(windowId);
        wanted.append(*window);
    }
    if (wanted.isEmpty())
        return;
    Script task = warmTask(m_currentRequestID, wanted, recapture);
    task.start(m_scheduler);
    m_inViewWarmTasks.push_back(std::move(task));
}

void WindowEngine::prepareLikelyFirstCards(const QList<WindowInfo> &content, const AppUsageHistory &history)
{
    // The cards the grid will show first, guessed from what the list says without the work of the
    // scan (icons, exclusions), so their windows settle while the scan goes on.
    QList<AppWindowModel> likely;
    for (int i = 0; i < content.size(); ++i) {
        const WindowInfo &window = content.at(i);
        if (isOwnWindow(window) || window.layer != 0 || !window.isOnScreen ||
            window.frame.width() < minimumWindowSide || window.frame.height() < minimumWindowSide)
            continue;
        AppWindowModel model;
        model.id = window.windowId;
        model.bundleIdentifier = window.ownerBundleIdentifier;
        model.sortIndex = i;
        likely.append(model);
    }
    sortAllWindows(likely, history);
    QList<WindowInfo> first;
    for (const AppWindowModel &model : std::as_const(likely)) {
        if (first.size() >= SnapshotLimits::warmUpCount)
            break;
        first.append(content.at(model.sortIndex));
    }
    prepareCaptures(first);
}

void WindowEngine::prepareCaptures(const QList<WindowInfo> &windows)
{
    if (!screenCapturePreflight())
        return;
    QList<quint32> ids;
    for (const WindowInfo &window : windows) {
        if (window.isOnScreen)
            ids.append(window.windowId);
    }
    if (!ids.isEmpty())
        m_platform.windowCapture->prepareWindows(ids);
}

void WindowEngine::forgetWindows(const QList<quint32> &windowIds)
{
    // The numbers of closed windows are handed to new windows: nothing of the old ones may stand
    // for the new ones, nor may a capture or read of an old one still on its way.
    ++m_closeEpoch;
    m_platform.windowCapture->forgetWindows(windowIds);
    const QSet<qint64> closed(windowIds.cbegin(), windowIds.cend());
    for (const quint32 id : windowIds) {
        m_snapshotCache.remove(id);
        m_listedWindows.remove(id);
        if (m_readsInFlight > 0)
            m_closedAt.insert(id, m_closeEpoch);
    }
    for (auto it = m_appWindowCache.begin(); it != m_appWindowCache.end(); ++it)
        it->removeIf([&closed](const AppWindowModel &model) { return closed.contains(model.id); });
    if (m_isDragging)
        return;
    const bool listed = std::any_of(m_windows.cbegin(), m_windows.cend(),
                                    [&closed](const AppWindowModel &model) { return closed.contains(model.id); });
    if (listed) {
        QList<AppWindowModel> remaining = m_windows;
        remaining.removeIf([&closed](const AppWindowModel &model) { return closed.contains(model.id); });
        m_windows = remaining;
        emit windowsChanged();
    }
}

bool WindowEngine::closedSince(quint32 windowId, quint64 epoch) const
{
    return m_closedAt.value(windowId, 0) > epoch;
}

void WindowEngine::endRead()
{
    if (--m_readsInFlight == 0)
        m_closedAt.clear();
}

void WindowEngine::warmAllRouteSnapshots(const QUuid &requestID, const QList<WindowInfo> &windows,
                                         const QSet<quint32> &recapture)
{
    retire(m_allRouteSnapshotWarmTask);
    if (windows.isEmpty())
        return;
    m_allRouteSnapshotWarmTask = warmTask(requestID, windows, recapture);
    m_allRouteSnapshotWarmTask.start(m_scheduler);
}

bool WindowEngine::isSnapshotOutdated(const WindowInfo &window) const
{
    const auto cached = m_snapshotCache.constFind(window.windowId);
    return cached != m_snapshotCache.constEnd() && cached->frameSize.isValid() &&
           cached->frameSize.toSize() != window.frame.size().toSize();
}

Script WindowEngine::warmTask(QUuid requestID, QList<WindowInfo> windows, QSet<quint32> recapture)
{
    const ScriptControl control = co_await thisScript();
    if (control.isCancelled() || !isCurrent(requestID) || m_currentOverlayRoute != OverlayRoute::all)
        co_return;
    // Redirected together, the windows settle together; their captures then run side by side on
    // the capture's few workers.
    prepareCaptures(windows);
    TaskGroup group(m_scheduler);
    for (const WindowInfo &window : std::as_const(windows))
        group.add(warmWindow(requestID, window, !recapture.contains(window.windowId), CancelToken(control)));
    auto finished = group.wait();
    co_await finished;
}

Script WindowEngine::warmWindow(QUuid requestID, WindowInfo window, bool tryDisk, CancelToken parent)
{
    const ScriptControl control = co_await thisScript();
    const CancelToken cancel = parent.with(control);
    auto stillWanted = [this, &requestID, &cancel] {
        return !cancel.isCancelled() && isCurrent(requestID) && m_currentOverlayRoute == OverlayRoute::all;
    };
    // The disk holds the same outdated picture as the memory cache.
    if (tryDisk) {
        Awaited<QImage> read([this, window](auto deliver) { loadDiskSnapshot(window, std::move(deliver)); });
        const QImage disk = co_await read;
        if (!stillWanted())
            co_return;
        // A picture kept from the window at another size (before a resize) is not this window as it
        // is now; a fitting one shows until the capture replaces it.
        if (!disk.isNull() && snapshotFitsFrame(disk, window.frame.size()))
            applySnapshot(window.windowId, disk, window.frame.size());
    }
    Awaited<std::optional<QImage>> capture(
        [this, window](auto deliver) { captureSnapshot(window, std::move(deliver)); });
    const std::optional<QImage> captured = co_await capture;
    if (captured && isUsableSnapshot(*captured) && stillWanted() && applySnapshot(window.windowId, *captured))
        saveDiskSnapshot(*captured, window);
    else if (stillWanted() && window.isOnScreen)
        // A viewable window whose capture gave nothing (not painted yet, a failed read) is asked
        // for again the next time its card is reported in view, not left with its icon for good.
        m_warmRequested.remove(window.windowId);
}

Script WindowEngine::processWindow(WindowInfo window, int sortIndex, QImage icon, bool isVerifiedMinimized,
                                   bool allowExpensiveAX, bool allowSnapshotCapture, QUuid requestID,
                                   CancelToken parent, std::shared_ptr<std::optional<AppWindowModel>> result)
{
    const ScriptControl control = co_await thisScript();
    const CancelToken cancel = parent.with(control);
    if (cancel.isCancelled() || !isCurrent(requestID))
        co_return;

    const QString appName = window.ownerName;
    const QString titleOrName = window.title.value_or(appName);
    const qint64 pid = window.ownerPID;
    const QString bundleIdentifier = window.ownerBundleIdentifier;
    const QRectF frame = window.frame;
    const quint32 windowId = window.windowId;
    const bool isOnScreen = window.isOnScreen;
    const int layer = window.layer;
    const QString trimmedTitle = trimmedText(window.title.value_or(QString()));
    const bool isBrowser = axCheckedBundleIDs().contains(bundleIdentifier.toLower());

    // The capture starts now, beside the accessibility probe rather than after it: probes of an
    // application with many windows take long, and the captures would otherwise leave in the
    // order the probes happen to answer instead of the order the cards show. The card already
    // shown for the window takes the picture in place as soon as it comes, before the whole list
    // is published again.
    struct PendingCapture
    {
        std::optional<std::optional<QImage>> answer;
        std::function<void(std::optional<QImage>)> waiter;
    };
    auto pending = std::make_shared<PendingCapture>();
    if (allowSnapshotCapture) {
        captureSnapshot(window, [this, pending, window, requestID](std::optional<QImage> image) {
            if (image && isUsableSnapshot(*image)) {
                saveDiskSnapshot(*image, window);
                if (isCurrent(requestID))
                    applySnapshot(window.windowId, *image);
            }
            if (pending->waiter)
                std::exchange(pending->waiter, nullptr)(std::move(image));
            else
                pending->answer = std::move(image);
        });
    }

    AXProbeResult probe;
    AccessibilityService *accessibility = m_platform.accessibility;
    if (allowExpensiveAX) {
        // Accessibility answers may take long (an application that does not answer keeps the probe
        // until the system's timeout); they are read off the main thread.
        auto job = onQueue(m_axScanQueue, [=] {
            AXProbeResult answer;
            const AXElementPtr application = accessibility->applicationElement(pid);
            if (isBrowser && application) {
                answer.shouldDrop = !axConfirmsWindow(*application, windowId, titleOrName, frame) &&
                                    trimmedTitle.isEmpty() && layer != 0;
            }
            answer.axMinimized = axMinimizedState(*accessibility, pid, windowId, titleOrName, isOnScreen);
            return answer;
        });
        probe = co_await job;
    }
    if (cancel.isCancelled() || !isCurrent(requestID) || probe.shouldDrop)
        co_return;

    const bool isMinimized = probe.axMinimized.value_or(isVerifiedMinimized) || looksMinimized(window);

    QImage image;
    if (allowSnapshotCapture && isCurrent(requestID) && !cancel.isCancelled()) {
        Awaited<std::optional<QImage>> capture([pending](auto deliver) {
            if (pending->answer)
                deliver(*pending->answer);
            else
                pending->waiter = std::move(deliver);
        });
        const std::optional<QImage> captured = co_await capture;
        if (captured && isUsableSnapshot(*captured))
            image = *captured;
    }
    if (image.isNull()) {
        const auto cached = m_snapshotCache.constFind(windowId);
        if (cached != m_snapshotCache.constEnd()) {
            image = cached->image;
        } else {
            Awaited<QImage> read([this, window](auto deliver) { loadDiskSnapshot(window, std::move(deliver)); });
            const QImage disk = co_await read;
            image = disk.isNull() ? icon : disk;
        }
    }

    *result = windowModel(window, sortIndex, icon, image, isMinimized);
}

Script WindowEngine::readFittingDiskSnapshot(WindowInfo window, std::shared_ptr<QHash<quint32, QImage>> into)
{
    Awaited<QImage> read([this, window](auto deliver) { loadDiskSnapshot(window, std::move(deliver)); });
    const QImage disk = co_await read;
    if (!disk.isNull() && snapshotFitsFrame(disk, window.frame.size()))
        into->insert(window.windowId, disk);
}

AppWindowModel WindowEngine::windowModel(const WindowInfo &window, int sortIndex, const QImage &icon,
                                         const QImage &image, bool isMinimized) const
{
    AppWindowModel model;
    model.id = window.windowId;
    model.appName = window.ownerName;
    model.title = window.title.value_or(window.ownerName);
    model.image = image;
    model.ownerPID = window.ownerPID;
    model.appIcon = icon;
    model.bundleIdentifier = window.ownerBundleIdentifier;
    model.sortIndex = sortIndex;
    model.rect = window.frame;
    model.isMinimized = isMinimized;
    model.snapshotTime = m_scheduler.wallNow();
    return model;
}

bool WindowEngine::looksMinimized(const WindowInfo &window) const
{
    const QRectF &frame = window.frame;
    return !window.isOnScreen && !isWindowOffscreen(frame, m_platform.screens) &&
           (frame.width() <= 260 || frame.height() <= 220);
}

// ---- Ignore list ----

bool WindowEngine::isIgnoredBundle(const QString &bundleIdentifier) const
{
    return qv::isIgnoredBundle(ignoredAppsData(), bundleIdentifier);
}

bool WindowEngine::isIgnoredAppName(const QString &appName) const
{
    return qv::isIgnoredAppName(ignoredAppsData(), appName);
}

void WindowEngine::hideFromPreview(const AppWindowModel &window)
{
    // An application without identifier is hidden by its name; an empty entry would hide nothing
    // and leave a dangling "," in the setting.
    const bool byBundle = !window.bundleIdentifier.isEmpty();
    const QString entry = byBundle ? window.bundleIdentifier : window.appName;

    auto isHidden = [&](const AppWindowModel &listed) {
        if (byBundle)
            return listed.bundleIdentifier == entry;
        if (entry.isEmpty())
            return listed.id == window.id;
        return listed.appName.compare(entry, Qt::CaseInsensitive) == 0;
    };
    QList<AppWindowModel> remaining;
    for (const auto &listed : std::as_const(m_windows)) {
        if (!isHidden(listed))
            remaining.append(listed);
    }
    setWindows(remaining);

    if (entry.isEmpty())
        return;
    QStringList pieces = ignoredAppsData().split(u',', Qt::SkipEmptyParts);
    if (pieces.contains(entry))
        return;
    pieces.append(entry);
    setIgnoredAppsData(pieces.join(u','));
}

// ---- Snapshots and caches ----

void WindowEngine::storeSnapshot(const QImage &image, quint32 windowId,
                                 const std::optional<QSizeF> &frameSize)
{
    m_snapshotCache.insert(windowId,
                           CachedSnapshot{image, frameSize.value_or(m_snapshotCache.value(windowId).frameSize)});
    if (m_snapshotCache.size() <= SnapshotLimits::memorySoftLimit)
        return;
    QSet<quint32> listed;
    for (const auto &model : std::as_const(m_windows))
        listed.insert(quint32(model.id));
    const QList<quint32> keys = m_snapshotCache.keys();
    for (const quint32 key : keys) {
        if (m_snapshotCache.size() <= SnapshotLimits::memoryTrimTarget)
            break;
        if (key == windowId || listed.contains(key))
            continue;
        m_snapshotCache.remove(key);
    }
    for (const quint32 key : m_snapshotCache.keys()) {
        if (m_snapshotCache.size() <= SnapshotLimits::memorySoftLimit)
            break;
        if (key != windowId)
            m_snapshotCache.remove(key);
    }
}

void WindowEngine::pruneMemoryCaches()
{
    if (m_iconCache.size() > SnapshotLimits::iconSoftLimit) {
        QSet<QString> listed;
        for (const auto &model : std::as_const(m_windows))
            listed.insert(model.bundleIdentifier);
        for (const QString &key : m_iconCache.keys()) {
            if (m_iconCache.size() <= SnapshotLimits::iconTrimTarget)
                break;
            if (!listed.contains(key))
                m_iconCache.remove(key);
        }
    }
    if (m_appWindowCache.size() > SnapshotLimits::appListSoftLimit) {
        const double cutoff = m_scheduler.wallNow() - SnapshotLimits::appListMaximumAge;
        for (const QString &name : m_appWindowCache.keys()) {
            if (m_appWindowCache.size() <= SnapshotLimits::appListTrimTarget)
                break;
            const auto fetched = m_lastFetchTimeByApp.constFind(name);
            if (fetched != m_lastFetchTimeByApp.constEnd() && *fetched < cutoff)
                m_appWindowCache.remove(name);
        }
    }
}

Awaited<QHash<QString, QImage>>
WindowEngine::readMissingIcons(const QList<WindowInfo> &content,
                               const QHash<qint64, QList<RunningApp>> &groups) const
{
    struct Wanted
    {
        QString key;
        qint64 pid;
        QString bundleIdentifier;
    };
    QList<Wanted> wanted;
    QSet<QString> keys;
    for (const WindowInfo &window : content) {
        const auto group = groups.constFind(window.ownerPID);
        if (group == groups.constEnd() || group->isEmpty() || !group->first().isRegular ||
            isOwnWindow(window))
            continue;
        const QString key = iconKey(group->first().pid, window.ownerBundleIdentifier);
        if (m_iconCache.contains(key) || keys.contains(key))
            continue;
        keys.insert(key);
        wanted.append(Wanted{key, group->first().pid, window.ownerBundleIdentifier});
    }
    AppIconService *service = m_platform.appIcons;
    return onQueue(m_iconQueue, [service, wanted] {
        QHash<QString, QImage> icons;
        for (const Wanted &app : wanted)
            icons.insert(app.key, lookUpIcon(*service, app.pid, app.bundleIdentifier));
        return icons;
    });
}

void WindowEngine::rememberIcons(const QHash<QString, QImage> &icons)
{
    for (auto it = icons.cbegin(); it != icons.cend(); ++it) {
        if (!it->isNull())
            m_iconCache.insert(it.key(), *it);
    }
}

QImage WindowEngine::cachedIcon(const RunningApp &app, const QString &bundleIdentifier) const
{
    return m_iconCache.value(iconKey(app.pid, bundleIdentifier));
}

QImage WindowEngine::appIcon(const RunningApp &app, const QString &bundleIdentifier)
{
    const QString key = iconKey(app.pid, bundleIdentifier);
    const auto cached = m_iconCache.constFind(key);
    if (cached != m_iconCache.constEnd())
        return *cached;
    const QImage icon = lookUpIcon(*m_platform.appIcons, app.pid, bundleIdentifier);
    if (!icon.isNull())
        m_iconCache.insert(key, icon);
    return icon;
}

bool WindowEngine::applySnapshot(qint64 windowId, const QImage &image, const std::optional<QSizeF> &frameSize)
{
    const auto it = std::find_if(m_windows.cbegin(), m_windows.cend(),
                                 [windowId](const AppWindowModel &model) { return model.id == windowId; });
    if (it == m_windows.cend())
        return false;
    const qsizetype index = it - m_windows.cbegin();
    storeSnapshot(image, quint32(windowId), frameSize);
    AppWindowModel updated = m_windows.at(index);
    updated.image = image;
    updated.snapshotTime = m_scheduler.wallNow();
    m_windows.replace(index, updated);
    emit windowsChanged();
    return true;
}

void WindowEngine::captureSnapshot(const WindowInfo &window, std::function<void(std::optional<QImage>)> done)
{
    const quint32 windowId = window.windowId;
    std::optional<QImage> cached;
    const auto it = m_snapshotCache.constFind(windowId);
    if (it != m_snapshotCache.constEnd())
        cached = it->image;
    QPointer<WindowEngine> self(this);
    // Also the answers known at once come on a later turn, so a caller is never re-entered.
    auto answerLater = [this, self, &done](std::optional<QImage> image) {
        m_scheduler.post([self, done = std::move(done), image] {
            if (self)
                done(image);
        });
    };
    if (!screenCapturePreflight()) {
        answerLater(cached);
        return;
    }
    WindowCaptureService *capture = m_platform.windowCapture;
    ++m_readsInFlight;
    capture->captureWindow(windowId, snapshotCaptureSize(window.frame.size()),
                           [self, gate = m_workerPosts, windowId, frameSize = window.frame.size(),
                            epoch = m_closeEpoch, done = std::move(done)](std::optional<QImage> image) {
                               gate.post([self, windowId, frameSize, epoch, done, image] {
                                   if (!self)
                                       return;
                                   const bool closed = self->closedSince(windowId, epoch);
                                   self->endRead();
                                   // A picture of a window closed meanwhile is not the picture of
                                   // a window that may have its number now.
                                   done(closed ? std::nullopt : self->finishCapture(windowId, frameSize, image));
                               });
                           });
}

std::optional<QImage> WindowEngine::finishCapture(quint32 windowId, const QSizeF &frameSize,
                                                  const std::optional<QImage> &image)
{
    if (image && !isSnapshotBlank(*image)) {
        // A picture taken while its window changed size (made full screen as it was read) still
        // shows the old size: it is kept under the size it shows, not the one asked for, so the
        // next showing finds it outdated and takes it anew instead of keeping it for good.
        storeSnapshot(*image, windowId,
                      snapshotFitsFrame(*image, frameSize) ? frameSize : QSizeF(image->size()));
        return image;
    }
    // A capture that failed or came back empty: ask for the window's contents the older way.
    const QImage fallback = m_platform.windowCapture->fallbackImage(windowId);
    if (fallback.width() > 10 && fallback.height() > 10 && !isSnapshotBlank(fallback)) {
        storeSnapshot(fallback, windowId, frameSize);
        return fallback;
    }
    return std::nullopt;
}

void WindowEngine::loadDiskSnapshot(const WindowInfo &window, std::function<void(QImage)> done)
{
    const QString path = QDir(m_snapshotDiskCacheDirectory).filePath(snapshotWindowFileName(window));
    QPointer<WindowEngine> self(this);
    ++m_readsInFlight;
    m_diskQueue->async([path, self, gate = m_workerPosts, windowId = window.windowId, epoch = m_closeEpoch,
                        done = std::move(done)] {
        const QImage image = readSnapshotFile(path);
        gate.post([self, windowId, epoch, done, image] {
            if (!self)
                return;
            const bool closed = self->closedSince(windowId, epoch);
            self->endRead();
            done(closed ? QImage() : image);
        });
    });
}

void WindowEngine::saveDiskSnapshot(const QImage &image, const WindowInfo &window)
{
    if (!isUsableSnapshot(image))
        return;
    const QString path = QDir(m_snapshotDiskCacheDirectory).filePath(snapshotWindowFileName(window));
    m_diskQueue->async([path, image] { writeSnapshotFile(path, image); });
}

} // namespace qv
