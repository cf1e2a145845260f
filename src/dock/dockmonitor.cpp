#include "dock/dockmonitor.h"

#include <QLoggingCategory>
#include <QPointer>
#include <QVariant>

#include <algorithm>
#include <cmath>

#include "core/diagnostics/diagevents.h"
#include "core/eventlog.h"
#include "core/settingsstore.h"
#include "dock/keyboardshortcut.h"
#include "platform/accessibility.h"
#include "platform/dockpreferences.h"
#include "platform/geometry.h"
#include "platform/globalinput.h"
#include "platform/screens.h"
#include "platform/workspace.h"
#include "runtime/workqueue.h"

namespace qv {

Q_LOGGING_CATEGORY(lcEventTap, "quorvantis.dock.eventtap")

namespace {

const QString dockBundleIdentifier = QStringLiteral("com.apple.dock");
const QString attrChildren = QStringLiteral("AXChildren");
const QString attrRole = QStringLiteral("AXRole");
const QString attrTitle = QStringLiteral("AXTitle");
const QString attrPosition = QStringLiteral("AXPosition");
const QString attrSize = QStringLiteral("AXSize");
const QString roleList = QStringLiteral("AXList");

// Per-element wait for the tick's live frame reads, and for the scan's reads of the Dock.
constexpr double liveFrameTimeout = 0.05;
constexpr double scanMessagingTimeout = 0.2;
// A scan slower than this keeps its tiles but counts as failed; past the budget it is abandoned.
constexpr double slowScanThreshold = 0.25;
constexpr double scanBudget = 0.6;
constexpr double firstBackoff = 0.5;
constexpr double firstBackoffCannotComplete = 1.0;
constexpr double backoffGrowth = 1.8;
constexpr double maxBackoff = 6.0;
// A hovered tile whose frame moves or resizes by less than this keeps its published frame, so the
// bubble does not chase a Dock that is still settling.
constexpr double frameCentreTolerance = 3.0;
constexpr double frameSizeTolerance = 4.0;

// Point-in-rectangle with the far edges excluded, so two touching tiles never both hold a point.
bool containsPoint(const QRectF &rect, const QPointF &point)
{
    return point.x() >= rect.left() && point.x() < rect.right() && point.y() >= rect.top() &&
           point.y() < rect.bottom();
}

bool isCloseEnough(const QRectF &current, const QRectF &candidate)
{
    return std::abs(current.center().x() - candidate.center().x()) <= frameCentreTolerance &&
           std::abs(current.center().y() - candidate.center().y()) <= frameCentreTolerance &&
           std::abs(current.width() - candidate.width()) <= frameSizeTolerance &&
           std::abs(current.height() - candidate.height()) <= frameSizeTolerance;
}

// What the hit test needs of the screens, taken once per test.
struct ScreenSnapshot
{
    double flipHeight = 0;
    QList<QRectF> frames;

    bool intersectsAny(const QRectF &rect) const
    {
        return std::any_of(frames.begin(), frames.end(), [&](const QRectF &f) { return f.intersects(rect); });
    }
};

// Where a cached tile is on screen: its live frame when the element answers, else the cached one.
// A cached frame that lands on no screen once flipped is tried unflipped, for tiles whose frame
// was already in screen coordinates.
std::optional<QRectF> screenFrameOf(const DockIcon &icon, const ScreenSnapshot &screens)
{
    if (icon.axElement) {
        if (const auto live = DockMonitor::readAXFrame(*icon.axElement))
            return flipRect(*live, screens.flipHeight);
    }
    if (icon.frame.isEmpty())
        return std::nullopt;
    const QRectF flipped = flipRect(icon.frame, screens.flipHeight);
    if (screens.intersectsAny(flipped))
        return flipped;
    if (screens.intersectsAny(icon.frame))
        return icon.frame;
    return flipped;
}

// The union of all tile frames, a little wider than the tiles, is checked first so that a pointer
// far from the Dock costs one pass of frame reads instead of two.
bool isPointNearIcons(const QList<DockIcon> &icons, const QPointF &point, const ScreenSnapshot &screens)
{
    bool any = false;
    double left = 0, top = 0, right = 0, bottom = 0;
    for (const auto &icon : icons) {
        const auto frame = screenFrameOf(icon, screens);
        if (!frame)
            continue;
        if (!any) {
            left = frame->left();
            top = frame->top();
            right = frame->right();
            bottom = frame->bottom();
            any = true;
        } else {
            left = std::min(left, frame->left());
            top = std::min(top, frame->top());
            right = std::max(right, frame->right());
            bottom = std::max(bottom, frame->bottom());
        }
    }
    if (!any)
        return false;
    const QRectF area(left, top, right - left, bottom - top);
    if (area.isEmpty())
        return false;
    return containsPoint(area.adjusted(-2, 0, 2, 0), point);
}

std::optional<DockIcon> hitTest(const QList<DockIcon> &icons, const QPointF &point,
                                const ScreenSnapshot &screens)
{
    if (icons.isEmpty() || !isPointNearIcons(icons, point, screens))
        return std::nullopt;
    for (const auto &icon : icons) {
        const auto frame = screenFrameOf(icon, screens);
        if (frame && !frame->isEmpty() && containsPoint(*frame, point))
            return DockIcon{icon.appName, *frame, icon.axElement};
    }
    return std::nullopt;
}

ScreenSnapshot snapshotOf(const ScreenService &service)
{
    ScreenSnapshot snapshot;
    snapshot.flipHeight = service.flipHeight();
    for (const auto &screen : service.screens())
        snapshot.frames.append(screen.frame);
    return snapshot;
}

struct ScanResult
{
    // None when the scan gave up; an empty list is a Dock without tiles.
    std::optional<QList<DockIcon>> icons;
    bool failed = false;
    bool cannotComplete = false;
};

ScanResult gaveUp(bool cannotComplete)
{
    return ScanResult{std::nullopt, true, cannotComplete};
}

double spacingFor(DockMonitor::IconRefreshReason reason)
{
    using R = DockMonitor::IconRefreshReason;
    switch (reason) {
    case R::bootstrap:
    case R::cacheEmpty:
    case R::mouseEnteredDockArea:
    case R::dockSettingsChanged:
        return 0.0;
    case R::workspaceChanged:
    case R::deferred:
        return 0.8;
    case R::dockAreaPolling:
        return 1.0;
    }
    return 0.0;
}

} // namespace

// The scan machinery. Its scheduling fields belong to the coordinator queue; the scan itself runs
// on the scan queue and touches no field. Jobs hold this object (never the monitor), and results
// reach the monitor through a main-thread post that finds `owner` cleared once the monitor is gone.
class DockMonitor::Refresher : public std::enable_shared_from_this<Refresher>
{
public:
    Refresher(AccessibilityService &accessibility, Scheduler &scheduler,
              std::shared_ptr<WorkQueue> coordinator, std::shared_ptr<WorkQueue> scan)
        : m_accessibility(accessibility), m_scheduler(scheduler), m_coordinatorQueue(std::move(coordinator)),
          m_scanQueue(std::move(scan))
    {
    }

    // Any thread.
    void request(IconRefreshReason reason, bool immediate)
    {
        dispatch(Queue::coordinator, [self = shared_from_this(), reason, immediate] {
            self->scheduleIconRefresh(reason, immediate);
        });
    }

    // Main thread, once. Jobs still queued run as no-ops; a scan in flight is waited for (the
    // queues finish what they hold when released).
    void shutdown()
    {
        owner = nullptr;
        m_stopped = true;
        std::shared_ptr<WorkQueue> coordinator, scan;
        {
            std::lock_guard lock(m_queueLock);
            coordinator = std::move(m_coordinatorQueue);
            scan = std::move(m_scanQueue);
        }
        scan.reset();
        coordinator.reset();
    }

    // Main thread only.
    DockMonitor *owner = nullptr;
    // The Dock's process, kept current by the main thread (the workspace may only be asked there).
    std::atomic<qint64> dockPid{0};

private:
    enum class Queue { coordinator, scan };

    void dispatch(Queue which, std::function<void()> job)
    {
        std::lock_guard lock(m_queueLock);
        const auto &queue = which == Queue::coordinator ? m_coordinatorQueue : m_scanQueue;
        if (queue)
            queue->async(std::move(job));
    }

    void scheduleIconRefresh(IconRefreshReason reason, bool immediate)
    {
        if (m_stopped)
            return;
        if (m_isIconRefreshRunning) {
            // Polling comes back on its own within a second; anything else is remembered.
            if (reason == IconRefreshReason::dockAreaPolling)
                return;
            m_deferredIconRefreshRequested = true;
            m_deferredIconRefreshImmediate = m_deferredIconRefreshImmediate || immediate;
            m_deferredIconRefreshReason = reason;
            return;
        }
        const double now = m_scheduler.now();
        if (!immediate) {
            if (now < m_nextIconRefreshAllowedAt)
                return;
            if (now - m_lastIconRefreshAt < spacingFor(reason))
                return;
        }
        m_isIconRefreshRunning = true;
        m_lastIconRefreshAt = now;
        dispatch(Queue::scan, [self = shared_from_this()] {
            if (self->m_stopped)
                return;
            ScanResult result = self->scanDockIcons();
            self->dispatch(Queue::coordinator,
                           [self, result = std::move(result)] { self->finishIconRefresh(result); });
        });
    }

    void finishIconRefresh(const ScanResult &result)
    {
        if (m_stopped)
            return;
        m_isIconRefreshRunning = false;
        if (result.icons) {
            m_scheduler.post([self = shared_from_this(), icons = *result.icons] {
                if (self->owner)
                    self->owner->storeIcons(icons);
            });
        }
        const double now = m_scheduler.now();
        if (result.failed) {
            if (m_iconRefreshBackoff > 0)
                m_iconRefreshBackoff = std::min(m_iconRefreshBackoff * backoffGrowth, maxBackoff);
            else
                m_iconRefreshBackoff = result.cannotComplete ? firstBackoffCannotComplete : firstBackoff;
            m_nextIconRefreshAllowedAt = now + m_iconRefreshBackoff;
        } else {
            m_iconRefreshBackoff = 0;
            m_nextIconRefreshAllowedAt = now;
        }
        if (m_deferredIconRefreshRequested) {
            const bool immediate = m_deferredIconRefreshImmediate;
            const IconRefreshReason reason = m_deferredIconRefreshReason;
            m_deferredIconRefreshRequested = false;
            m_deferredIconRefreshImmediate = false;
            m_deferredIconRefreshReason = IconRefreshReason::deferred;
            if (immediate)
                scheduleIconRefresh(reason, true);
            else
                scheduleIconRefresh(IconRefreshReason::deferred, false);
        }
    }

    ScanResult scanDockIcons()
    {
        const double start = m_scheduler.now();
        if (!m_accessibility.isProcessTrusted())
            return gaveUp(false);
        const qint64 pid = dockPid.load();
        if (pid <= 0)
            return gaveUp(false);
        const AXElementPtr app = m_accessibility.applicationElement(pid);
        if (!app)
            return gaveUp(false);
        app->setMessagingTimeout(scanMessagingTimeout);

        const AXResult children = app->copyAttribute(attrChildren);
        if (children.error == AXError::cannotComplete)
            return gaveUp(true);
        const auto *childList = children.as<QList<AXElementPtr>>();
        if (!childList)
            return gaveUp(false);

        const double deadline = start + scanBudget;
        bool failed = false;
        bool cannotComplete = false;
        const auto noteError = [&](int error) {
            failed = true;
            cannotComplete = cannotComplete || error == AXError::cannotComplete;
        };
        QList<DockIcon> icons;
        for (const auto &child : *childList) {
            if (m_scheduler.now() > deadline)
                return gaveUp(true);
            if (!child)
                continue;
            const AXResult role = child->copyAttribute(attrRole);
            if (!role.ok()) {
                noteError(role.error);
                continue;
            }
            const auto *roleName = role.as<QString>();
            if (!roleName || *roleName != roleList)
                continue;
            // The Dock keeps applications and the other tiles in separate lists; read every one.
            const AXResult tiles = child->copyAttribute(attrChildren);
            if (!tiles.ok()) {
                noteError(tiles.error);
            } else if (const auto *tileList = tiles.as<QList<AXElementPtr>>()) {
                for (const auto &tile : *tileList) {
                    if (m_scheduler.now() > deadline)
                        return gaveUp(true);
                    if (auto icon = makeDockIcon(tile, deadline, failed, cannotComplete))
                        icons.append(std::move(*icon));
                }
            }
            if (cannotComplete)
                return gaveUp(true);
        }
        if (cannotComplete)
            return gaveUp(true);
        if (failed)
            return ScanResult{icons, true, false};
        return ScanResult{icons, m_scheduler.now() - start > slowScanThreshold, false};
    }

    // One tile; none for tiles without a title (separators, spacers) and for unreadable ones,
    // which also mark the scan failed.
    std::optional<DockIcon> makeDockIcon(const AXElementPtr &element, double deadline, bool &failed,
                                         bool &cannotComplete)
    {
        if (m_scheduler.now() > deadline) {
            failed = true;
            cannotComplete = true;
            return std::nullopt;
        }
        if (!element)
            return std::nullopt;
        const AXResult position = element->copyAttribute(attrPosition);
        const AXResult size = element->copyAttribute(attrSize);
        const AXResult title = element->copyAttribute(attrTitle);
        if (!position.ok() || !size.ok() || !title.ok()) {
            failed = true;
            for (const AXResult *r : {&position, &size, &title})
                cannotComplete = cannotComplete || r->error == AXError::cannotComplete;
            return std::nullopt;
        }
        const auto *point = position.as<QPointF>();
        const auto *extent = size.as<QSizeF>();
        if (!point || !extent) {
            failed = true;
            return std::nullopt;
        }
        const auto *text = title.as<QString>();
        if (!text || text->isEmpty())
            return std::nullopt;
        return DockIcon{*text, QRectF(*point, *extent), element};
    }

    AccessibilityService &m_accessibility;
    Scheduler &m_scheduler;
    std::atomic<bool> m_stopped{false};
    std::mutex m_queueLock;
    std::shared_ptr<WorkQueue> m_coordinatorQueue;
    std::shared_ptr<WorkQueue> m_scanQueue;

    // Coordinator queue only.
    bool m_isIconRefreshRunning = false;
    bool m_deferredIconRefreshRequested = false;
    bool m_deferredIconRefreshImmediate = false;
    IconRefreshReason m_deferredIconRefreshReason = IconRefreshReason::deferred;
    double m_lastIconRefreshAt = 0;
    double m_nextIconRefreshAllowedAt = 0;
    double m_iconRefreshBackoff = 0;
};

// One wheel tick as the tap saw it: location in global coordinates (top-left origin).
struct ScrollEventSample
{
    int deltaY = 0;
    QPointF location;
    quint64 timestamp = 0;
};

// The wheel path. Its fields belong to "Quorvantis.EventTapProcessing"; the icon copy (with the
// screens it is tested against) is shared with the main thread under its lock. The delay timer is
// armed and cancelled on the main thread only, since the scheduler hands out timers there. Jobs
// hold this object, never the monitor; results reach the monitor through `owner`, which shutdown
// clears.
class DockMonitor::ScrollPath : public std::enable_shared_from_this<ScrollPath>
{
public:
    ScrollPath(Scheduler &scheduler, std::shared_ptr<WorkQueue> queue)
        : m_scheduler(scheduler), m_queue(std::move(queue))
    {
    }

    // Any thread. A sample not yet taken is replaced: only the latest position counts.
    void enqueue(const ScrollEventSample &sample)
    {
        dispatch([self = shared_from_this(), sample] {
            self->m_pendingScrollSample = sample;
            self->scheduleScrollWork();
        });
    }

    // Main thread.
    void storeIcons(const QList<DockIcon> &icons)
    {
        std::lock_guard lock(m_snapshotLock);
        m_icons = icons;
    }
    void storeScreens(const ScreenSnapshot &screens)
    {
        std::lock_guard lock(m_snapshotLock);
        m_screens = screens;
    }

    // Main thread, once. A hit test in flight finishes; nothing more is scheduled or published.
    void shutdown()
    {
        owner = nullptr;
        m_stopped = true;
        m_delayTimer.cancel();
        std::shared_ptr<WorkQueue> queue;
        {
            std::lock_guard lock(m_queueLock);
            queue = std::move(m_queue);
        }
        queue.reset();
    }

    // Main thread only.
    DockMonitor *owner = nullptr;

private:
    void dispatch(std::function<void()> job)
    {
        std::lock_guard lock(m_queueLock);
        if (m_queue)
            m_queue->async(std::move(job));
    }

    // Event-processing queue. One work item at a time, no sooner than the spacing after the last
    // hit test.
    void scheduleScrollWork()
    {
        if (m_stopped || m_isScrollWorkRunning || m_scrollWorkScheduled)
            return;
        m_scrollWorkScheduled = true;
        const double delay = std::max(0.0, m_lastHeavyScrollWorkAt + scrollWorkSpacing - m_scheduler.now());
        m_scheduler.post([self = shared_from_this(), delay] {
            if (self->m_stopped)
                return;
            self->m_delayTimer = self->m_scheduler.after(delay, [self] {
                self->dispatch([self] {
                    self->m_scrollWorkScheduled = false;
                    self->performScrollWork();
                });
            });
        });
    }

    void performScrollWork()
    {
        if (m_stopped || m_isScrollWorkRunning || !m_pendingScrollSample)
            return;
        m_isScrollWorkRunning = true;
        const ScrollEventSample sample = *std::exchange(m_pendingScrollSample, std::nullopt);
        QList<DockIcon> icons;
        ScreenSnapshot screens;
        {
            std::lock_guard lock(m_snapshotLock);
            icons = m_icons;
            screens = m_screens;
        }
        const auto hit = hitTest(icons, flipPoint(sample.location, screens.flipHeight), screens);
        m_lastHeavyScrollWorkAt = m_scheduler.now();
        m_isScrollWorkRunning = false;
        if (hit) {
            const DockScrollEvent event{hit->appName, sample.deltaY >= 1 ? DockScrollDirection::up
                                                                         : DockScrollDirection::down};
            m_scheduler.post([self = shared_from_this(), event] {
                if (self->owner)
                    self->owner->publishScrollEvent(event);
            });
        }
        if (m_pendingScrollSample)
            scheduleScrollWork();
    }

    Scheduler &m_scheduler;
    std::atomic<bool> m_stopped{false};
    std::mutex m_queueLock;
    std::shared_ptr<WorkQueue> m_queue;
    TimerHandle m_delayTimer;

    std::mutex m_snapshotLock;
    QList<DockIcon> m_icons;
    ScreenSnapshot m_screens;

    // Event-processing queue only.
    std::optional<ScrollEventSample> m_pendingScrollSample;
    bool m_scrollWorkScheduled = false;
    bool m_isScrollWorkRunning = false;
    double m_lastHeavyScrollWorkAt = 0;
};

DockMonitor::DockMonitor(const Platform &platform, Scheduler &scheduler, WorkQueueFactory &queues,
                         SettingsStore &settings, EventLog &eventLog, QObject *parent)
    : QObject(parent), m_platform(platform), m_scheduler(scheduler), m_settings(settings),
      m_eventLog(eventLog)
{
    m_scrollPath = std::make_shared<ScrollPath>(
        m_scheduler, queues.makeQueue(QStringLiteral("Quorvantis.EventTapProcessing"), QueueKind::Serial));
    m_scrollPath->owner = this;
    m_scrollPath->storeScreens(snapshotOf(*m_platform.screens));
    auto coordinator =
        queues.makeQueue(QStringLiteral("Quorvantis.IconRefreshCoordinator"), QueueKind::Serial);
    auto scan = queues.makeQueue(QStringLiteral("Quorvantis.IconAXScan"), QueueKind::Serial);
    m_refresher = std::make_shared<Refresher>(*m_platform.accessibility, m_scheduler, std::move(coordinator),
                                              std::move(scan));
    m_refresher->owner = this;
    updateDockPid();
    connectGlobalInput();

    installUserDefaultsObserver();
    installWorkspaceObservers();
    refreshDockAutohideState();
    requestIconRefresh(IconRefreshReason::bootstrap, true);
    connect(m_platform.screens, &ScreenService::pointerMoved, this, &DockMonitor::wakeHoverTick);
    wakeHoverTick();
    createEventTap();
    installScreenObservers();
}

DockMonitor::~DockMonitor()
{
    m_timer.cancel();
    m_iconRefreshTimer.cancel();
    m_platform.screens->setMotionWatch(false);
    // Every grab is given back, so no combination stays swallowed after we are gone.
    GlobalInput *input = m_platform.globalInput;
    input->disconnect(this);
    input->setKeyDownFilter(nullptr);
    input->setShortcuts({});
    m_scrollPath->shutdown();
    m_refresher->shutdown();
}

void DockMonitor::requestIconRefresh(IconRefreshReason reason, bool immediate)
{
    if (reason != IconRefreshReason::bootstrap) {
        if (m_interactionSuspended.load())
            return;
        // Without a Dock every scan fails at once, and the hover tick would ask again 30 times a
        // second for as long as the desktop runs without one. The Dock's launch brings a scan.
        if (m_refresher->dockPid.load() <= 0)
            return;
    }
    m_refresher->request(reason, immediate);
}

bool DockMonitor::refreshDockAutohideState()
{
    const QVariant value = m_platform.dockPreferences->value(QStringLiteral("autohide"));
    if (value.typeId() != QMetaType::Bool)
        return false;
    const bool enabled = value.toBool();
    if (enabled == m_isDockAutohideEnabled)
        return false;
    m_scheduler.post([self = QPointer<DockMonitor>(this), enabled] {
        if (self)
            self->setDockAutohideEnabled(enabled);
    });
    return true;
}

void DockMonitor::setInteractionSuspended(bool suspended)
{
    if (m_interactionSuspended.exchange(suspended) == suspended)
        return;
    if (suspended)
        clearHover();
    else
        requestIconRefresh(IconRefreshReason::deferred, true);
}

DockPosition DockMonitor::dockPosition(const ScreenInfo &screen) const
{
    const QRectF &frame = screen.frame;
    const QRectF &visible = screen.visibleFrame;
    if (frame.top() + 5 < visible.top())
        return DockPosition::bottom;
    if (frame.left() + 5 < visible.left())
        return DockPosition::left;
    if (visible.right() < frame.right() - 5)
        return DockPosition::right;
    // A hidden Dock takes no room; its preference says where it will appear. A desktop panel along
    // the top takes room there, which a menu bar takes too: only the panel's own report tells them
    // apart.
    const QVariant orientation = m_platform.dockPreferences->value(QStringLiteral("orientation"));
    if (orientation.typeId() == QMetaType::QString)
        return dockPositionFromRaw(orientation.toString()).value_or(DockPosition::bottom);
    return DockPosition::bottom;
}

std::optional<ScreenInfo> DockMonitor::screenContaining(const QPointF &point) const
{
    for (const auto &screen : m_platform.screens->screens()) {
        if (containsPoint(screen.frame.adjusted(-1, -1, 1, 1), point))
            return screen;
    }
    return m_platform.screens->mainScreen();
}

bool DockMonitor::isMouseNearDock(const QPointF &point) const
{
    const auto screen = screenContaining(point);
    if (!screen)
        return false;
    switch (dockPosition(*screen)) {
    case DockPosition::bottom:
        return point.y() <= screen->frame.top() + dockBandDepth;
    case DockPosition::left:
        return point.x() <= screen->frame.left() + dockBandDepth;
    case DockPosition::right:
        return point.x() >= screen->frame.right() - dockBandDepth;
    case DockPosition::top:
        return point.y() >= screen->frame.bottom() - dockBandDepth;
    }
    return false;
}

std::optional<DockIcon> DockMonitor::hitTestIcon(const QList<DockIcon> &icons, const QPointF &point) const
{
    if (icons.isEmpty())
        return std::nullopt;
    return hitTest(icons, point, snapshotOf(*m_platform.screens));
}

std::optional<QRectF> DockMonitor::readAXFrame(AXElement &element)
{
    element.setMessagingTimeout(liveFrameTimeout);
    const AXResult position = element.copyAttribute(attrPosition);
    const AXResult size = element.copyAttribute(attrSize);
    const auto *point = position.as<QPointF>();
    const auto *extent = size.as<QSizeF>();
    if (!point || !extent)
        return std::nullopt;
    return QRectF(*point, *extent);
}

void DockMonitor::installUserDefaultsObserver()
{
    reloadShortcutState();
    connect(&m_settings, &SettingsStore::changed, this, [this] { reloadShortcutState(); });
}

void DockMonitor::tellShortcutsSetAside()
{
    for (const KeyboardShortcut::Keys &keys :
         {KeyboardShortcut::switcherKeys(), KeyboardShortcut::clipboardKeys(), KeyboardShortcut::shelfKeys()}) {
        const auto stored = KeyboardShortcut::setAside(m_settings, keys);
        if (!stored)
            continue;
        const QString detail = stored->stored + QStringLiteral(": ") + stored->reason;
        // Every change of any setting reloads the shortcuts: each stored pair is told once.
        if (m_shortcutsToldSetAside.contains(detail))
            continue;
        m_shortcutsToldSetAside.insert(detail);
        const QString inForce =
            KeyboardShortcut::words(KeyboardShortcut::read(m_settings, keys), QStringLiteral("+"));
        if (stored->reason == QLatin1String("no Ctrl, Alt or Super"))
            qCWarning(lcEventTap).noquote()
                << QStringLiteral(
                       "⚠️ The shortcut stored as %1 is not used (%2 would take that key from every "
                       "program); %3 is used instead")
                       .arg(KeyboardShortcut::words(stored->shortcut, QStringLiteral("+")),
                            keys.keyCode.key(), inForce);
        else
            qCWarning(lcEventTap).noquote()
                << QStringLiteral("⚠️ The shortcut stored as %1 is not used (%2); %3 is used instead")
                       .arg(stored->stored, stored->reason, inForce);
        m_eventLog.log(DiagEvents::shortcutNotUsed, detail);
    }
}

void DockMonitor::reloadShortcutState()
{
    tellShortcutsSetAside();
    EventTapShortcutState loaded;
    loaded.loadSettings(m_settings);
    {
        std::lock_guard lock(m_shortcutStateLock);
        loaded.latchedHotkeyKeyCode = m_callbackShortcutState.latchedHotkeyKeyCode;
        loaded.latchedHotkeyTimestamp = m_callbackShortcutState.latchedHotkeyTimestamp;
        m_callbackShortcutState = loaded;
    }
    applyShortcuts(loaded.activeCombinations());
}

EventTapShortcutState DockMonitor::shortcutState() const
{
    std::lock_guard lock(m_shortcutStateLock);
    return m_callbackShortcutState;
}

void DockMonitor::applyShortcuts(const QList<KeyCombination> &combinations, bool force)
{
    // Any setting change lands here (window usage is written on every activation); the desktop is
    // only asked again when the combinations themselves changed.
    if (combinations == m_appliedShortcuts && !force)
        return;
    m_appliedShortcuts = combinations;
    // Every hotkey opens the Super Panel or an edge popup, which take the keys typed after it.
    m_platform.globalInput->setKeyTakingShortcuts(combinations);
    takeRefusedShortcuts(m_platform.globalInput->setShortcuts(combinations));
}

void DockMonitor::takeRefusedShortcuts(const QList<KeyCombination> &refused)
{
    if (refused == m_refusedShortcuts)
        return;
    for (const auto &combination : refused) {
        if (!m_refusedShortcuts.contains(combination))
            qCWarning(lcEventTap).noquote() << QStringLiteral("❌ Hotkey %1 cannot be used: another program "
                                                              "holds it, or the keyboard has no such key")
                                                   .arg(describeKeyCombination(combination));
    }
    m_refusedShortcuts = refused;
    emit refusedShortcutsChanged();
}

bool DockMonitor::matchHotkey(int keyCode, quint32 flags, bool autorepeat, quint64 timestamp)
{
    HotkeyDecision decision;
    {
        std::lock_guard lock(m_shortcutStateLock);
        decision =
            m_callbackShortcutState.matchKeyDown(keyCode, flags & keyModifierMask, autorepeat, timestamp);
    }
    if (decision.route != HotkeyRoute::none) {
        const QString route = QLatin1String(hotkeyRouteName(decision.route));
        m_eventLog.log(QStringLiteral("hotkey_") + route, QStringLiteral("keyCode=%1").arg(keyCode));
        m_scheduler.post([self = QPointer<DockMonitor>(this), route] {
            if (self)
                emit self->globalSwitcherEvent(route);
        });
    }
    return decision.consume;
}

void DockMonitor::connectGlobalInput()
{
    GlobalInput *input = m_platform.globalInput;
    input->setKeyDownFilter([this](const GlobalKeyEvent &event) {
        return matchHotkey(event.keyCode, event.flags, event.isAutorepeat, event.timestamp);
    });
    connect(input, &GlobalInput::keyReleased, this, [this](int keyCode) {
        std::lock_guard lock(m_shortcutStateLock);
        m_callbackShortcutState.keyUp(keyCode);
    });
    connect(input, &GlobalInput::wheelScrolled, this,
            [this](int deltaY, quint64 timestamp, const QPointF &location) {
                if (deltaY != 0)
                    enqueueScrollSample(deltaY, timestamp, location);
            });
    connect(input, &GlobalInput::dragMoved, this, &DockMonitor::handleEdgeDrag);
    // A drag that ended at the edge must not leave the next drag disarmed there.
    connect(input, &GlobalInput::dragEnded, this, &DockMonitor::resetEdgeDrag);
    connect(input, &GlobalInput::tapDisabled, this, &DockMonitor::reenableEventTap);
    // The desktop may answer a grab after setShortcuts() has returned.
    connect(input, &GlobalInput::refusedShortcutsChanged, this,
            [this, input] { takeRefusedShortcuts(input->refusedShortcuts()); });
}

void DockMonitor::reenableEventTap()
{
    m_scheduler.post([self = QPointer<DockMonitor>(this)] {
        if (self)
            self->m_platform.globalInput->enableTap();
    });
}

void DockMonitor::handleEdgeDrag(const QPointF &location)
{
    if (!m_settings.get(Settings::enableModuleHotkeys))
        return;
    const QPointF point = flipPoint(location, m_platform.screens->flipHeight());
    std::optional<ScreenInfo> screen;
    for (const auto &candidate : m_platform.screens->screens()) {
        // Left and top edges in, right and bottom out (screen coordinates, y up).
        const QRectF &f = candidate.frame;
        if (point.x() >= f.left() && point.x() < f.right() && point.y() > f.top() &&
            point.y() <= f.bottom()) {
            screen = candidate;
            break;
        }
    }
    if (!screen) {
        resetEdgeDrag();
        return;
    }
    const QRectF &frame = screen->frame;
    const bool atLeft = point.x() >= frame.left() && point.x() <= frame.left() + edgeDragZone;
    const bool atRight = point.x() >= frame.right() - edgeDragZone && point.x() <= frame.right();
    if ((!atLeft && !atRight) || !m_platform.globalInput->isDraggingData()) {
        resetEdgeDrag();
        return;
    }
    if (m_edgeDragFired)
        return;
    const double now = m_scheduler.now();
    if (!m_edgeDragStartTime) {
        m_edgeDragStartTime = now;
        return;
    }
    if (now - *m_edgeDragStartTime >= edgeDragDwell) {
        m_edgeDragFired = true;
        m_scheduler.post([self = QPointer<DockMonitor>(this)] {
            if (self)
                emit self->globalSwitcherEvent(QStringLiteral("shelf"));
        });
    }
}

void DockMonitor::resetEdgeDrag()
{
    m_edgeDragStartTime.reset();
    m_edgeDragFired = false;
}

void DockMonitor::enqueueScrollSample(int deltaY, quint64 timestamp, const QPointF &location)
{
    m_scrollPath->enqueue(ScrollEventSample{deltaY, location, timestamp});
}

void DockMonitor::publishScrollEvent(const DockScrollEvent &event)
{
    m_scrollEvent = event;
    emit scrollEventChanged(event);
}

void DockMonitor::installWorkspaceObservers()
{
    WorkspaceService *workspace = m_platform.workspace;
    const auto changed = [this] { requestIconRefresh(IconRefreshReason::workspaceChanged, false); };
    connect(workspace, &WorkspaceService::applicationLaunched, this, [this, changed] {
        const bool dockAppeared = m_refresher->dockPid.load() <= 0 && updateDockPid();
        if (dockAppeared)
            requestIconRefresh(IconRefreshReason::dockSettingsChanged, true);
        else
            changed();
    });
    connect(workspace, &WorkspaceService::applicationTerminated, this, [this, changed] {
        updateDockPid();
        changed();
    });
    connect(workspace, &WorkspaceService::applicationHidden, this, changed);
    // A new window's button is read as soon as the panel shows it, so the first hover finds it; not
    // spaced like the notices above, which come before the panel has laid the button out.
    connect(workspace, &WorkspaceService::dockTilesChanged, this,
            [this] { requestIconRefresh(IconRefreshReason::dockSettingsChanged, true); });
    connect(workspace, &WorkspaceService::applicationUnhidden, this, changed);
    connect(workspace, &WorkspaceService::activeSpaceChanged, this, changed);

    // Tiles read before the screens slept may have moved by the time they wake.
    connect(workspace, &WorkspaceService::screensDidSleep, this, [this] { m_cachedIcons.clear(); });
    connect(workspace, &WorkspaceService::screensDidWake, this, [this] {
        wakeEventTap();
        refreshDockAutohideState();
        requestIconRefresh(IconRefreshReason::dockSettingsChanged, true);
    });
}

void DockMonitor::installScreenObservers()
{
    connect(m_platform.screens, &ScreenService::screensChanged, this, [this] {
        m_scrollPath->storeScreens(snapshotOf(*m_platform.screens));
        refreshDockAutohideState();
        requestIconRefresh(IconRefreshReason::dockSettingsChanged, true);
    });
}

void DockMonitor::wakeHoverTick()
{
    m_lastMotionAt = m_scheduler.now();
    if (m_timer.isActive() || m_refresher->dockPid.load() <= 0)
        return;
    // While the tick runs it reads the pointer itself; motion notices would only add wake-ups.
    m_platform.screens->setMotionWatch(false);
    m_timer = m_scheduler.every(hoverInterval, [this] { hoverTick(); });
    m_iconRefreshTimer = m_scheduler.every(pollInterval, [this] {
        if (refreshDockAutohideState())
            requestIconRefresh(IconRefreshReason::dockSettingsChanged, true);
        pollDockArea();
    });
    // The notice that woke the tick is a move: it is tested now, not a tick interval later.
    m_scheduler.post([self = QPointer<DockMonitor>(this)] {
        if (self && self->m_timer.isActive())
            self->hoverTick();
    });
}

void DockMonitor::sleepHoverTick()
{
    if (!m_timer.isActive())
        return;
    if (!m_platform.screens->setMotionWatch(true))
        return;
    // A move between this tick's read of the pointer and the watch taking hold sends no notice:
    // with the watch in force, one more read tells whether one happened.
    if (m_platform.screens->mouseLocation() != m_lastPointer) {
        m_platform.screens->setMotionWatch(false);
        return;
    }
    m_timer.cancel();
    m_iconRefreshTimer.cancel();
}

void DockMonitor::updateMotionWatch()
{
    if (m_refresher->dockPid.load() <= 0) {
        m_timer.cancel();
        m_iconRefreshTimer.cancel();
        m_platform.screens->setMotionWatch(false);
        clearHover(); // no tick is left to take a hover over a gone Dock away
        return;
    }
    if (!m_timer.isActive() && !m_platform.screens->setMotionWatch(true))
        wakeHoverTick(); // no motion notices on this desktop: the tick runs all the time
}

void DockMonitor::createEventTap()
{
    GlobalInput *input = m_platform.globalInput;
    if (input->hasTap())
        return;
    if (!input->createTap()) {
        qCWarning(lcEventTap).noquote() << QStringLiteral("❌ 无法创建 Event Tap");
        return;
    }
    // Only a live tap knows which combinations another program holds.
    applyShortcuts(m_appliedShortcuts, true);
}

void DockMonitor::checkEventTapHealth()
{
    GlobalInput *input = m_platform.globalInput;
    if (!input->hasTap()) {
        if (m_platform.accessibility->isProcessTrusted())
            createEventTap();
    } else if (!input->tapEnabled()) {
        input->enableTap();
        qCWarning(lcEventTap).noquote() << QStringLiteral("⚠️ Event Tap 离线，已自动唤醒重连");
    }
}

void DockMonitor::wakeEventTap()
{
    GlobalInput *input = m_platform.globalInput;
    if (input->hasTap())
        input->enableTap();
    else if (m_platform.accessibility->isProcessTrusted())
        createEventTap();
}

void DockMonitor::hoverTick()
{
    checkEventTapHealth();
    const QPointF pointer = m_platform.screens->mouseLocation();
    const double now = m_scheduler.now();
    if (pointer != m_lastPointer) {
        m_lastPointer = pointer;
        m_lastMotionAt = now;
    } else if (now - m_lastMotionAt >= motionSettle) {
        // This last tick still runs in full.
        sleepHoverTick();
    }
    if (isInteractionSuspended()) {
        clearHover();
        return;
    }
    const bool nearDock = isMouseNearDock(pointer);
    if (nearDock && !m_wasMouseNearDockArea)
        requestIconRefresh(IconRefreshReason::mouseEnteredDockArea, true);
    m_wasMouseNearDockArea = nearDock;

    const QPointer<DockMonitor> self(this);
    if (!m_cachedIcons.isEmpty()) {
        auto hit = hitTestIcon(m_cachedIcons, pointer);
        m_scheduler.post([self, hit = std::move(hit), nearDock] {
            if (self)
                self->applyHoverResult(hit, nearDock);
        });
    } else {
        m_scheduler.post([self] {
            if (self)
                self->clearHover();
        });
        requestIconRefresh(IconRefreshReason::cacheEmpty, true);
    }
}

void DockMonitor::applyHoverResult(const std::optional<DockIcon> &hit, bool nearDock)
{
    // A result computed just before suspension must not bring the hover back while the Super
    // Panel is open.
    if (isInteractionSuspended())
        return;
    if (!hit) {
        // Between tiles, on a separator or in the band above them the last hover stays; the
        // bubble's own pointer check decides when it goes.
        if (!nearDock)
            clearHover();
        return;
    }
    const bool nameChanged = m_hoveredApp != hit->appName;
    const bool keepFrame = !nameChanged && !m_iconFrame.isEmpty() && isCloseEnough(m_iconFrame, hit->frame);
    const QString previousApp = m_hoveredApp;
    const QRectF previousFrame = m_iconFrame;
    m_hoveredApp = hit->appName;
    if (!keepFrame)
        m_iconFrame = hit->frame;
    // Both values are in place before either is announced, so an observer never sees a new
    // name with the old tile's frame.
    if (m_hoveredApp != previousApp)
        emit hoveredAppChanged(m_hoveredApp);
    if (m_iconFrame != previousFrame)
        emit iconFrameChanged(m_iconFrame);
}

void DockMonitor::clearHoveredApp()
{
    if (m_hoveredApp.isEmpty())
        return;
    m_hoveredApp.clear();
    emit hoveredAppChanged(m_hoveredApp);
}

void DockMonitor::clearHover()
{
    if (m_hoveredApp.isEmpty())
        return;
    m_hoveredApp.clear();
    const bool frameChanged = m_iconFrame != QRectF();
    m_iconFrame = QRectF();
    emit hoveredAppChanged(m_hoveredApp);
    if (frameChanged)
        emit iconFrameChanged(m_iconFrame);
}

void DockMonitor::pollDockArea()
{
    if (isInteractionSuspended())
        return;
    if (m_cachedIcons.isEmpty()) {
        requestIconRefresh(IconRefreshReason::cacheEmpty, true);
        return;
    }
    if (!isMouseNearDock(m_platform.screens->mouseLocation()) && m_hoveredApp.isEmpty())
        return;
    requestIconRefresh(IconRefreshReason::dockAreaPolling, false);
}

void DockMonitor::storeIcons(const QList<DockIcon> &icons)
{
    m_cachedIcons = icons;
    m_scrollPath->storeIcons(icons);
    // A pointer resting on the Dock while the tiles arrive is tested against them without moving.
    if (!m_timer.isActive() && !icons.isEmpty() && isMouseNearDock(m_platform.screens->mouseLocation()))
        wakeHoverTick();
}

bool DockMonitor::updateDockPid()
{
    qint64 pid = 0;
    for (const auto &app : m_platform.workspace->runningApplications()) {
        if (app.bundleIdentifier == dockBundleIdentifier) {
            pid = app.pid;
            break;
        }
    }
    m_refresher->dockPid = pid;
    updateMotionWatch();
    return pid > 0;
}

void DockMonitor::setDockAutohideEnabled(bool enabled)
{
    if (m_isDockAutohideEnabled == enabled)
        return;
    m_isDockAutohideEnabled = enabled;
    emit isDockAutohideEnabledChanged(m_isDockAutohideEnabled);
}

} // namespace qv
