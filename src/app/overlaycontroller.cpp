#include "app/overlaycontroller.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>
#include <utility>

#include "core/eventlog.h"
#include "core/localization.h"
#include "core/settingskeys.h"
#include "core/settingsstore.h"
#include "dock/dockmonitor.h"
#include "platform/appicons.h"
#include "platform/dockpreferences.h"
#include "platform/feedback.h"
#include "platform/filerevealer.h"
#include "platform/geometry.h"
#include "platform/globalinput.h"
#include "platform/memoryrelease.h"
#include "platform/screens.h"
#include "platform/workspace.h"
#include "runtime/workqueue.h"
#include "ui/panel.h"
#include "views/bubble/bubbleplacement.h"
#include "views/bubble/bubbleviewstate.h"
#include "views/bubble/contentview.h"
#include "views/edgepopup/edgepopupmodule.h"
#include "views/edgepopup/edgepopupstate.h"
#include "views/edgepopup/edgepopupview.h"
#include "views/peek/peekingoverlayview.h"
#include "views/peek/peekviewstate.h"
#include "views/superpanel/clipboardshelfcolumn.h"
#include "views/superpanel/columnstate.h"
#include "views/superpanel/filteredwindowmodel.h"
#include "views/superpanel/superpanelgallery.h"
#include "views/superpanel/superpaneloverlay.h"
#include "views/superpanel/superpanelstate.h"
#include "windows/windowengine.h"
#include "windows/windowlistmodel.h"

namespace qv {

namespace {

Q_LOGGING_CATEGORY(lcOverlay, "quorvantis.overlay")

const QString productName = QStringLiteral("Quorvantis");

// A panel's widget fills it edge to edge.
void fill(QWidget &panel, QWidget &content)
{
    auto *layout = new QVBoxLayout(&panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(&content);
}

// A window id the desktop can hand the keyboard to; 0 for none.
quint64 keyboardWindow(qint64 id)
{
    return quint64(id) <= std::numeric_limits<quint32>::max() ? quint64(id) : 0;
}

// The first screen under the point, else the main screen; none without screens.
std::optional<ScreenInfo> screenUnder(const ScreenService &screens, const QPointF &point)
{
    for (const ScreenInfo &candidate : screens.screens()) {
        if (candidate.frame.contains(point))
            return candidate;
    }
    return screens.mainScreen();
}

// What a full-screen panel covers before it is first placed.
QRectF mainScreenFrame(const ScreenService &screens)
{
    const auto main = screens.mainScreen();
    return main ? main->frame : QRectF(0, 0, 1920, 1080);
}

} // namespace

OverlayController::OverlayController(const Platform &platform, Scheduler &scheduler, SettingsStore &settings,
                                     std::function<void()> checkClipboard, QObject *parent)
    : QObject(parent), m_platform(platform), m_scheduler(scheduler), m_settings(settings),
      m_resizeAnimation(scheduler), m_checkClipboard(std::move(checkClipboard))
{
}

void OverlayController::setOpenSettings(std::function<void()> openSettings)
{
    // The settings window takes the keyboard as the panel closes: it is not handed back then.
    m_openSettings = openSettings ? std::function<void()>([this, open = std::move(openSettings)] {
        m_settingsOpened = true;
        open();
    })
                                  : std::function<void()>();
    if (m_superPanelState)
        m_superPanelState->setOpenSettings(m_openSettings);
}

OverlayController::~OverlayController()
{
    m_hoverWorkItem.cancel();
    m_mouseCheckTimer.cancel();
    m_hideDelayTimer.cancel();
    m_overlayStabilizeWorkItem.cancel();
    m_routeFetchWork.cancel();
    m_afterHideWork.cancel();
    m_globalHideWork.cancel();
    // Our windows close below: a card held meanwhile ends its drag, and the engine's news of it must
    // not reach the panels already gone.
    if (m_windowEngine)
        disconnect(m_windowEngine, nullptr, this, nullptr);
}

QPointF OverlayController::toScreen(const QPointF &globalTopLeft) const
{
    return flipPoint(globalTopLeft, m_platform.screens->flipHeight());
}

void OverlayController::setupOverlayWindow()
{
    m_bubbleState = std::make_unique<BubbleViewState>();
    m_bubbleWindows = std::make_unique<WindowListModel>();
    m_overlayWindow = std::make_unique<KeyPanel>(*m_platform.panelWindows, m_scheduler);
    m_overlayWindow->setWindowTitle(productName);
    m_contentView = new ContentView(*m_bubbleState, *m_bubbleWindows, m_cardActions, m_scheduler);
    fill(*m_overlayWindow, *m_contentView);

    auto applySettings = [this] {
        m_bubbleState->setBlurAmount(m_settings.get(Settings::blurAmount));
        m_bubbleState->setLanguage(Localization::storedLanguage(m_settings));
    };
    applySettings();
    connect(&m_settings, &SettingsStore::changed, this, [applySettings](const QString &key) {
        if (key == Settings::blurAmount.key() || key == Settings::appLanguage.key())
            applySettings();
    });
    m_bubbleState->setTranslucent(m_overlayWindow->isTranslucent());
    connect(m_overlayWindow.get(), &Panel::translucencyChanged, m_bubbleState.get(),
            &BubbleViewState::setTranslucent);
    connect(
        this, &OverlayController::updateArrowPosition, m_contentView,
        [this](double position, const QString &edge) { m_contentView->handleArrowUpdate(position, edge); });
    connect(m_contentView, &ContentView::outlineChanged, m_overlayWindow.get(),
            [this] { m_overlayWindow->setOutline(m_contentView->outline()); });

    setOverlayFrame(QRectF(0, 0, BubblePlacement::initialWidth, BubblePlacement::initialHeight));
    m_overlayWindow->setAlpha(0);
}

void OverlayController::setupPeekingWindow()
{
    m_peekState = std::make_unique<PeekViewState>();
    m_peekingWindow = std::make_unique<PassivePanel>(*m_platform.panelWindows, m_scheduler);
    m_peekingView = new PeekingOverlayView(*m_peekState, m_scheduler);
    fill(*m_peekingWindow, *m_peekingView);
    const QRectF frame = mainScreenFrame(*m_platform.screens);
    m_peekingWindow->setGeometry(flipRect(frame, m_platform.screens->flipHeight()).toAlignedRect());
    m_peekState->setTranslucent(m_peekingWindow->isTranslucent());
    connect(m_peekingWindow.get(), &Panel::translucencyChanged, m_peekState.get(),
            &PeekViewState::setTranslucent);
    connect(m_peekingView, &PeekingOverlayView::outlineChanged, m_peekingWindow.get(), [this] {
        const QPainterPath outline = m_peekingView->outline();
        // Opaque and with nothing to draw, the panel would be a black sheet: keep it out then.
        if (!m_peekingWindow->isTranslucent() && outline.isEmpty()) {
            m_peekingWindow->orderOut();
            return;
        }
        m_peekingWindow->setOutline(outline);
        if (m_peekState->peekingWindow() && !m_peekingWindow->isVisible())
            updatePeekingWindow();
    });
}

void OverlayController::setupGlobalOverlayWindow()
{
    // Keyboard input goes to the panel while it is open (Esc, later the search field).
    m_globalOverlayWindow = std::make_unique<KeyPanel>(*m_platform.panelWindows, m_scheduler, true);
    m_globalOverlayWindow->setWindowTitle(productName);
    // The engine is known only once the bindings are set up; the view comes with them.
    m_globalOverlayWindow->setGeometry(
        flipRect(mainScreenFrame(*m_platform.screens), m_platform.screens->flipHeight()).toAlignedRect());
}

void OverlayController::setupBindings(DockMonitor &dockMonitor, WindowEngine &windowEngine)
{
    m_dockMonitor = &dockMonitor;
    m_windowEngine = &windowEngine;
    wireCardActions();
    if (m_globalOverlayWindow && !m_superPanel)
        setupSuperPanel(windowEngine);
    connect(&dockMonitor, &DockMonitor::hoveredAppChanged, this, &OverlayController::handleHoveredAppChange);
    connect(&dockMonitor, &DockMonitor::scrollEventChanged, this,
            [this](const DockScrollEvent &event) { handleScrollEvent(event); });
    connect(&dockMonitor, &DockMonitor::globalSwitcherEvent, this, &OverlayController::handleHotkeyRoute);
    connect(&dockMonitor, &DockMonitor::iconFrameChanged, this,
            [this](const QRectF &frame) { positionOverlay(false, frame); });
    connect(&windowEngine, &WindowEngine::windowsChanged, this, &OverlayController::handleWindowsPublished);
    connect(&windowEngine, &WindowEngine::peekingWindowChanged, this, &OverlayController::updatePeekingWindow);
    connect(&windowEngine, &WindowEngine::isDraggingChanged, this, [this](bool dragging) {
        // A drag that ended without its release (the safety timeout) leaves no card held down.
        if (!dragging && m_contentView)
            m_contentView->releasePresses();
        // The snap zones go over the bubble, which would hide one of them (beside a top panel, the
        // maximise zone). The dragged card's button stays held on the bubble underneath.
        if (dragging && m_peekingWindow && m_peekingWindow->isVisible())
            m_peekingWindow->raise();
    });
    if (m_peekState) {
        connect(&windowEngine, &WindowEngine::isDraggingChanged, m_peekState.get(),
                &PeekViewState::setDragging);
        connect(&windowEngine, &WindowEngine::dragTargetZoneChanged, m_peekState.get(),
                [this] { m_peekState->setDragTargetZone(m_windowEngine->dragTargetZone()); });
    }
    connect(&windowEngine, &WindowEngine::hasPermissionChanged, this, &OverlayController::updateHeader);
    connect(&windowEngine, &WindowEngine::currentAppNameChanged, this, &OverlayController::updateHeader);
}

void OverlayController::wireCardActions()
{
    WindowEngine *engine = m_windowEngine;
    FeedbackService *feedback = m_platform.feedback;
    m_cardActions.focusWindow = [engine](const AppWindowModel &window) { engine->focusWindow(window); };
    m_cardActions.closeWindow = [engine](const AppWindowModel &window) { engine->closeWindow(window); };
    m_cardActions.minimizeWindow = [engine](const AppWindowModel &window) { engine->minimizeWindow(window); };
    m_cardActions.toggleFullScreen = [this, engine](const AppWindowModel &window) {
        engine->toggleFullScreen(window);
        // The window now covers the screen and the bubble with it; left up, the bubble would stay
        // mapped behind it for as long as the pointer rests where it was. The hover goes with it,
        // so the tile's next hover brings the bubble back.
        if (m_overlayWindow && m_overlayWindow->alpha() > 0) {
            hideOverlay(true);
            m_dockMonitor->clearHoveredApp();
        }
    };
    m_cardActions.snapWindow = [engine](const AppWindowModel &window, SnapPosition position) {
        engine->snapWindow(window, position);
    };
    m_cardActions.hideFromPreview = [engine](const AppWindowModel &window) {
        engine->hideFromPreview(window);
    };
    m_cardActions.startPeeking = [engine, feedback](const AppWindowModel &window) {
        feedback->performAlignmentHaptic();
        engine->startPeeking(window, true);
    };
    m_cardActions.stopPeeking = [engine] { engine->stopPeeking(); };
    m_cardActions.updateDrag = [this, engine](const QPointF &globalTopLeft) {
        const QPointF point = toScreen(globalTopLeft);
        engine->updateDrag(point.x(), point.y());
    };
    m_cardActions.endDrag = [engine](const AppWindowModel &window) { engine->endDrag(window); };
    m_cardActions.cancelDrag = [engine] { engine->cancelDrag(); };
}

void OverlayController::setupSuperPanel(WindowEngine &windowEngine)
{
    SuperPanelActions actions;
    actions.card = m_cardActions;
    // The chosen window has the keys before its focus sequence starts asking the window manager.
    actions.card.focusWindow = [this, focus = m_cardActions.focusWindow](const AppWindowModel &window) {
        handKeyboardToChosen(window.id);
        focus(window);
    };
    actions.updateDragAtPointer = [this, engine = &windowEngine] {
        const QPointF pointer = m_platform.screens->mouseLocation();
        engine->updateDrag(pointer.x(), pointer.y());
    };
    actions.hideOtherApplications = [this](const AppWindowModel &window) {
        m_platform.workspace->hideOtherApplications(window.ownerPID);
    };
    actions.haptic = [feedback = m_platform.feedback] { feedback->performAlignmentHaptic(); };
    actions.log = [this](const QString &name, const QString &detail) {
        if (m_eventLog)
            m_eventLog->log(name, detail);
    };
    actions.cardsInView = [engine = &windowEngine](const QList<qint64> &windowIds) {
        engine->requestSnapshots(windowIds);
    };
    m_superPanelWindows = std::make_unique<WindowListModel>(windowEngine);
    m_superPanelState = std::make_unique<SuperPanelState>(
        *m_superPanelWindows, m_scheduler, std::move(actions),
        SuperPanelState::Presented{[this] { return m_isGlobalSwitcherVisible; },
                                   [this](bool presented) { toggleGlobalSwitcher(presented); }});
    m_superPanelState->setOpenSettings(m_openSettings);
    m_superPanelState->follow(windowEngine);
    m_superPanelState->setLanguage(Localization::storedLanguage(m_settings));
    connect(&m_settings, &SettingsStore::changed, m_superPanelState.get(), [this](const QString &key) {
        if (key == Settings::appLanguage.key())
            m_superPanelState->setLanguage(Localization::storedLanguage(m_settings));
    });
    connect(this, &OverlayController::isGlobalSwitcherVisibleChanged, m_superPanelState.get(),
            &SuperPanelState::presentationChanged);
    m_superPanel = new SuperPanelOverlay(*m_superPanelState, m_scheduler);
    // Whatever changes what Return or Esc would do.
    const auto publish = [this] { publishKeyboardChoice(); };
    SuperPanelState *state = m_superPanelState.get();
    connect(state, &SuperPanelState::showContentChanged, this, publish);
    connect(state, &SuperPanelState::routeChanged, this, publish);
    connect(state, &SuperPanelState::selectedIndexChanged, this, publish);
    connect(state, &SuperPanelState::expandedSectionChanged, this, publish);
    connect(state, &SuperPanelState::awaitingListChanged, this, publish);
    const QAbstractItemModel *filtered = &state->filteredModel();
    connect(filtered, &QAbstractItemModel::rowsInserted, this, publish);
    connect(filtered, &QAbstractItemModel::rowsRemoved, this, publish);
    connect(filtered, &QAbstractItemModel::modelReset, this, publish);
    connect(filtered, &QAbstractItemModel::layoutChanged, this, publish);
    connect(&windowEngine, &WindowEngine::isContextMenuOpenChanged, this, publish);
    fill(*m_globalOverlayWindow, *m_superPanel);
    connect(m_superPanelState.get(), &SuperPanelState::routeChanged, this, [this] { syncEdgePopup(true); });
    connect(this, &OverlayController::isGlobalSwitcherVisibleChanged, this, [this](bool visible) {
        if (visible)
            syncEdgePopup(true);
    });
    connect(m_globalOverlayWindow.get(), &Panel::clickedOutside, this, [this] {
        if (m_edgePopup && m_superPanelState->route() != OverlayRoute::all)
            m_edgePopup->state().dismiss();
    });
    // An item dragged out of the panel: the panel steps aside while the drag looks for a window
    // below. Closing, it stays aside until it is hidden.
    connect(state, &SuperPanelState::steppedAsideChanged, this, [this] {
        if (m_superPanelState->isSteppedAside())
            m_globalOverlayWindow->setAside(true);
        else if (isGlobalOverlayShown())
            m_globalOverlayWindow->setAside(false);
    });
    setupEdgePopup();
}

EdgePopupView *OverlayController::edgePopup() const
{
    return m_edgePopup ? m_edgePopup->view() : nullptr;
}

EdgePopupState *OverlayController::edgePopupState() const
{
    return m_edgePopup ? &m_edgePopup->state() : nullptr;
}

void OverlayController::setItemServices(ClipboardManager &clipboard, FileShelfManager &shelf,
                                        std::shared_ptr<WorkQueue> decodeQueue)
{
    m_clipboard = &clipboard;
    m_shelf = &shelf;
    m_decodeQueue = std::move(decodeQueue);
    setupEdgePopup();
}

void OverlayController::setupEdgePopup()
{
    if (!m_superPanel || !m_clipboard || !m_shelf || m_edgePopup)
        return;
    // A tile dragged out of the popup goes through the panel's step-aside, as one dragged out of the
    // full panel: under a compositor the popup's see-through backdrop takes the whole screen's input.
    m_edgePopup = std::make_unique<EdgePopupModule>(
        *m_clipboard, *m_shelf, *m_platform.fileRevealer, *m_platform.fileIcons, m_decodeQueue, m_scheduler,
        [this] { m_superPanelState->dismiss(); },
        [this](QWidget *source, QMimeData *data, const QImage &picture) {
            return ClipboardShelfColumn::dragOutOfPanel(source, data, picture, *m_superPanelState);
        });
    EdgePopupState &state = m_edgePopup->state();
    state.setLanguage(m_superPanelState->language());
    connect(m_superPanelState.get(), &SuperPanelState::languageChanged, &state,
            [this] { m_edgePopup->state().setLanguage(m_superPanelState->language()); });
    state.setTranslucent(m_globalOverlayWindow->isTranslucent());
    connect(m_globalOverlayWindow.get(), &Panel::translucencyChanged, &state, &EdgePopupState::setTranslucent);
    m_superPanel->setModuleView(m_edgePopup->makeView());
    connect(m_edgePopup->view(), &EdgePopupView::outlineChanged, this, &OverlayController::updateGlobalOutline);
    connect(m_edgePopup.get(), &EdgePopupModule::draggingOutChanged, this, &OverlayController::updateGlobalOutline);
    // A desktop panel that starts, moves or resizes changes the work area.
    connect(m_platform.screens, &ScreenService::screensChanged, this,
            &OverlayController::updateEdgePopupWorkArea);
    updateEdgePopupWorkArea();
    syncEdgePopup(m_isGlobalSwitcherVisible);
    setupSuperPanelColumn();
}

void OverlayController::setupSuperPanelColumn()
{
    FileRevealer *revealer = m_platform.fileRevealer;
    m_columnState = std::make_unique<SuperPanelColumnState>(
        *m_superPanelState, m_scheduler, [revealer](const QUrl &url, bool reveal, FileRevealer::Done done) {
            if (reveal)
                revealer->revealFile(url.toLocalFile(), std::move(done));
            else
                revealer->openURL(url);
        });
    const ClipboardShelfColumn::Services services{
        m_edgePopup->clipboardModel(), m_edgePopup->shelfModel(), *m_clipboard, *m_shelf,
        *m_platform.pasteboard, m_settings, *m_platform.fileIcons, m_decodeQueue, m_edgePopup->ages(), m_scheduler};
    m_superPanel->setColumn(new ClipboardShelfColumn(*m_columnState, services));
    m_superPanel->setGallery(new SuperPanelGallery(*m_columnState, services));
}

void OverlayController::syncEdgePopup(bool opening)
{
    if (!m_edgePopup)
        return;
    const OverlayRoute route = m_superPanelState->route();
    if (route != OverlayRoute::all)
        m_edgePopup->show(route, EdgePopupRules::edgeFromStored(m_settings.get(Settings::popupEdge)),
                          opening && m_isGlobalSwitcherVisible);
    updateGlobalOutline();
}

void OverlayController::updateGlobalOutline()
{
    if (!m_edgePopup)
        return;
    const bool module = m_superPanelState->route() != OverlayRoute::all;
    m_globalOverlayWindow->setOutline(module ? m_edgePopup->view()->outline() : QPainterPath());
    // A drag of ours must find the drop target below, not the window that catches the clicks.
    m_globalOverlayWindow->setCatchesClicksOutside(module && !m_edgePopup->isDraggingOut());
}

void OverlayController::startMouseCheckTimer()
{
    // Armed here, before any bubble shows; it runs only while one shows (an idle desktop wakes us
    // for nothing else).
    m_mouseCheckArmed = true;
}

void OverlayController::runMouseCheck()
{
    if (!m_mouseCheckArmed || m_mouseCheckTimer.isActive())
        return;
    m_mouseCheckTimer = m_scheduler.every(mouseCheckInterval, [this] { checkMouseLeftOverlay(); });
}

void OverlayController::handleHoveredAppChange(const QString &name)
{
    // A card dragged across the Dock keeps its bubble: another application's list would take the
    // dragged card away.
    if (m_isGlobalSwitcherVisible || isCardHeld())
        return;
    if (name != m_overlayLockedAppName || name.isEmpty()) {
        cancelOverlayStabilization();
        unlock();
    }
    m_hoverWorkItem.cancel();
    if (name.isEmpty()) {
        checkMouseLeftOverlay();
        updateHeader();
        return;
    }
    // Another application's cards must not stand beside this tile while its own list is on the way.
    if (m_bubbleWindows && m_bubbleWindowsApp != name) {
        m_bubbleWindows->setWindows({});
        m_bubbleWindowsApp.clear();
    }
    updateHeader();
    const std::optional<double> stored = m_settings.contains(Settings::hoverDelay)
                                             ? std::optional<double>(m_settings.get(Settings::hoverDelay))
                                             : std::nullopt;
    const double delay = BubblePlacement::hoverDelay(stored, m_dockMonitor->isDockAutohideEnabled());
    m_hoverWorkItem = m_scheduler.after(delay, [this, name, delay] {
        if (m_dockMonitor->hoveredApp() != name)
            return;
        m_hideDelayTimer.cancel();
        m_windowEngine->fetchWindows(name, delay);
        m_platform.feedback->performAlignmentHaptic();
    });
}

void OverlayController::handleWindowsPublished()
{
    // The Super Panel's lists ("all" among them) are not the bubble's.
    if (!m_bubbleWindows || m_isGlobalSwitcherVisible)
        return;
    const QList<AppWindowModel> windows = m_windowEngine->windows();
    const QString owner = m_windowEngine->windowsAppName();
    // A held card keeps its bubble with its own application while the pointer crosses other tiles
    // (the hover is not followed meanwhile): a fresh list of its own must not take the card away.
    const QString hovered =
        isCardHeld() && !m_bubbleWindowsApp.isEmpty() ? m_bubbleWindowsApp : m_dockMonitor->hoveredApp();
    if (!hovered.isEmpty() && owner != hovered) {
        // A list for an application no longer hovered (a scan that finished late): the bubble keeps
        // its place with the hovered application's header and waits for its own list.
        if (m_bubbleWindowsApp != hovered) {
            m_bubbleWindows->setWindows({});
            m_bubbleWindowsApp.clear();
        }
        updateHeader();
        return;
    }
    // The order is the one the bubble first showed: a later list (the scan after the cached one, a
    // window raised meanwhile) must not move a card from under the pointer or a drag aimed at it.
    if (m_bubbleWindowsApp == owner && m_overlayWindow && m_overlayWindow->isVisible())
        m_bubbleWindows->updateKeepingOrder(windows);
    else
        m_bubbleWindows->setWindows(windows);
    m_bubbleWindowsApp = windows.isEmpty() ? QString() : owner;
    updateHeader();
    if (!windows.isEmpty()) {
        resizeOverlay(int(windows.size()));
        if (!hovered.isEmpty())
            showOverlay();
    } else if (m_overlayWindow && m_overlayWindow->alpha() > 0) {
        hideOverlay(true);
    }
}

void OverlayController::updateHeader()
{
    if (!m_bubbleState)
        return;
    const QString current = m_windowEngine ? m_windowEngine->currentAppName() : QString();
    const QString hovered = m_dockMonitor ? m_dockMonitor->hoveredApp() : QString();
    QString title;
    if (!hovered.isEmpty() && current != hovered)
        title = hovered; // the engine still names the previous application until the fetch starts
    else if (!current.isEmpty())
        title = current;
    else if (!hovered.isEmpty())
        title = hovered;
    else
        title = productName;
    m_bubbleState->setHeaderTitle(title);
    m_bubbleState->setHasPermission(!m_windowEngine || m_windowEngine->hasPermission());

    QImage icon;
    for (const RunningApp &app : m_platform.workspace->runningApplications()) {
        if (app.name == title) {
            // The header is refreshed at every published list (each new picture): the icon, which
            // may take a search through the icon theme, is looked up once a showing per program.
            if (app.pid != m_headerIconPid) {
                m_headerIconPid = app.pid;
                m_headerIcon = m_platform.appIcons->applicationIcon(app.pid);
            }
            icon = m_headerIcon;
            break;
        }
    }
    if (icon.isNull() && m_bubbleWindows && m_bubbleWindows->rowCount() > 0)
        icon = m_bubbleWindows->itemAt(0).appIcon;
    m_bubbleState->setHeaderIcon(icon);
}

void OverlayController::showOverlay()
{
    if (!m_overlayWindow)
        return;
    if (!m_overlayPositionLocked) {
        const QRectF iconFrame = m_dockMonitor->iconFrame();
        positionOverlay(true, iconFrame);
        const QString hovered = m_dockMonitor->hoveredApp();
        if (!hovered.isEmpty() && !iconFrame.isEmpty()) {
            m_overlayPositionLocked = true;
            m_overlayLockedAppName = hovered;
            m_overlayLockedIconFrame = iconFrame;
        }
    }
    m_overlayWindow->orderFront();
    m_overlayWindow->fadeTo(1, showFade);
    runMouseCheck();
    scheduleOverlayStabilization();
}

void OverlayController::hideOverlay(bool force)
{
    if (!m_overlayWindow)
        return;
    if (!force && m_windowEngine && (m_windowEngine->isContextMenuOpen() || isCardHeld()))
        return;
    cancelOverlayStabilization();
    if (m_windowEngine) {
        // Closed under a dragged card: the drag ends here, with its zones and peek.
        if (m_windowEngine->isDragging())
            m_windowEngine->cancelDrag();
        m_windowEngine->stopPeeking();
    }
    // A show that starts meanwhile ends this fade with its own, and this never runs.
    m_overlayWindow->fadeTo(0, hideFade, [this] {
        m_overlayWindow->orderOut();
        forgetHeaderIcon();
        unlock();
    });
}

void OverlayController::forgetHeaderIcon()
{
    // A program may have set its window icon since: the next showing asks again.
    m_headerIconPid = 0;
    m_headerIcon = QImage();
}

void OverlayController::unlock()
{
    m_overlayPositionLocked = false;
    m_overlayLockedAppName.clear();
    m_overlayLockedIconFrame = QRectF();
}

void OverlayController::scheduleOverlayStabilization()
{
    cancelOverlayStabilization();
    // The tile can still be settling (magnification, a Dock that just appeared): place once more.
    m_overlayStabilizeWorkItem = m_scheduler.after(stabilizationDelay, [this] {
        const QRectF iconFrame = m_dockMonitor ? m_dockMonitor->iconFrame() : QRectF();
        if (m_overlayWindow && m_overlayWindow->alpha() > 0.01 && !iconFrame.isEmpty())
            positionOverlay(true, iconFrame);
    });
}

void OverlayController::cancelOverlayStabilization()
{
    m_overlayStabilizeWorkItem.cancel();
}

void OverlayController::setOverlayFrame(const QRectF &frame)
{
    m_overlayFrame = frame;
    if (m_resizeAnimation.isRunning()) {
        // A move during the resize retargets it; the size is already the new one.
        animateOverlayFrame(frame);
        return;
    }
    m_overlayWindow->setGeometry(flipRect(frame, m_platform.screens->flipHeight()).toAlignedRect());
}

void OverlayController::animateOverlayFrame(const QRectF &frame)
{
    m_overlayFrame = frame;
    const double flip = m_platform.screens->flipHeight();
    const QRectF start = flipRect(QRectF(m_overlayWindow->geometry()), flip);
    m_resizeAnimation.start(0, 1, resizeDuration, Animation::easeOut(resizeDuration),
                            [this, start, frame, flip](double p) {
                                const QRectF current(start.x() + (frame.x() - start.x()) * p,
                                                     start.y() + (frame.y() - start.y()) * p,
                                                     start.width() + (frame.width() - start.width()) * p,
                                                     start.height() + (frame.height() - start.height()) * p);
                                m_overlayWindow->setGeometry(flipRect(current, flip).toAlignedRect());
                            });
}

void OverlayController::resizeOverlay(int count)
{
    if (!m_overlayWindow || count < 1)
        return;
    const QSizeF size = BubblePlacement::overlaySize(count);
    const QRectF target = BubblePlacement::resizedFrame(m_overlayFrame, size, m_currentDockPosition);
    if (target == m_overlayFrame)
        return;
    animateOverlayFrame(target);
}

QRectF OverlayController::normalizedIconFrame(const QRectF &iconFrame) const
{
    const ScreenService &screens = *m_platform.screens;
    return BubblePlacement::normalizedIconFrame(iconFrame, screens.screens(), screens.mainScreen(),
                                                screens.flipHeight(),
                                                BubblePlacement::reportedSide(*m_platform.dockPreferences));
}

std::optional<std::pair<QRectF, ScreenInfo>> OverlayController::locateIcon(const QRectF &iconFrame) const
{
    const QRectF icon = normalizedIconFrame(iconFrame);
    if (icon.isEmpty())
        return std::nullopt;
    const ScreenService &screens = *m_platform.screens;
    const auto screen = BubblePlacement::screenForIcon(icon, screens.screens(), screens.mainScreen(),
                                                       screens.mouseLocation());
    if (!screen)
        return std::nullopt;
    return std::make_pair(icon, *screen);
}

void OverlayController::positionOverlay(bool force, const QRectF &iconFrame)
{
    if (!m_overlayWindow || iconFrame.isEmpty())
        return;
    if (!force && m_overlayPositionLocked) {
        if (m_dockMonitor->hoveredApp() != m_overlayLockedAppName) {
            cancelOverlayStabilization();
            unlock();
        } else if (m_overlayLockedIconFrame.contains(iconFrame.center())) {
            clampLockedOverlay(iconFrame);
            return;
        } else {
            // Another tile of the same application (a task list gives each window its own button):
            // the bubble moves there, so its arrow points at the tile under the pointer.
            m_overlayLockedIconFrame = iconFrame;
        }
    }
    const auto located = locateIcon(iconFrame);
    if (!located)
        return;
    const auto &[icon, screen] = *located;
    const DockPreferences &preferences = *m_platform.dockPreferences;
    const auto placement = BubblePlacement::place(icon, m_overlayFrame.size(), screen,
                                                  BubblePlacement::dockTileSize(preferences),
                                                  BubblePlacement::reportedSide(preferences));
    m_currentDockPosition = placement.side;
    if (BubblePlacement::shouldMove(m_overlayFrame.topLeft(), placement.origin, force))
        setOverlayFrame(QRectF(placement.origin, m_overlayFrame.size()));
    const double fraction = BubblePlacement::arrowFraction(icon, m_overlayFrame, placement.side);
    emit updateArrowPosition(fraction, bubbleEdgeRaw(placement.edge));
}

void OverlayController::clampLockedOverlay(const QRectF &iconFrame)
{
    const auto located = locateIcon(iconFrame);
    if (!located)
        return;
    const ScreenInfo &screen = located->second;
    const QRectF allowed = BubblePlacement::allowedRect(
        BubblePlacement::dockSide(screen, BubblePlacement::reportedSide(*m_platform.dockPreferences)),
        screen);
    const QPointF clamped =
        BubblePlacement::clampOrigin(m_overlayFrame.topLeft(), m_overlayFrame.size(), allowed);
    if (BubblePlacement::shouldMove(m_overlayFrame.topLeft(), clamped, false))
        setOverlayFrame(QRectF(clamped, m_overlayFrame.size()));
}

void OverlayController::checkMouseLeftOverlay()
{
    if (!m_overlayWindow || !m_windowEngine || m_isGlobalSwitcherVisible ||
        m_windowEngine->isContextMenuOpen())
        return;
    // Ordered out, not merely at alpha 0: a bubble left before its fade-in took a step would
    // otherwise fade in with no check left to take it down.
    if (!m_overlayWindow->isVisible()) {
        m_mouseCheckTimer.cancel(); // the bubble is gone; its next showing starts the check again
        return;
    }
    // A card dragged out over the screen: hiding would end the drag before its release.
    if (isCardHeld()) {
        m_hideDelayTimer.cancel();
        return;
    }
    const QPointF pointer = m_platform.screens->mouseLocation();
    const QRectF icon = normalizedIconFrame(m_dockMonitor->iconFrame());
    if (BubblePlacement::isPointerInside(pointer, m_overlayFrame, icon)) {
        m_hideDelayTimer.cancel();
        return;
    }
    m_windowEngine->stopPeeking();
    if (m_hideDelayTimer.isActive())
        return;
    m_hideDelayTimer = m_scheduler.after(hideDelay, [this] {
        m_hideDelayTimer = TimerHandle();
        hideOverlay(false);
        m_dockMonitor->clearHoveredApp();
    });
}

bool OverlayController::isCardHeld() const
{
    return (m_windowEngine && m_windowEngine->isDragging()) ||
           (m_contentView && m_contentView->hasPressedCard());
}

void OverlayController::updatePeekingWindow()
{
    if (!m_peekingWindow || !m_windowEngine)
        return;
    const auto window = m_windowEngine->peekingWindow();
    const ScreenService &screens = *m_platform.screens;
    m_peekState->setPeekingWindow(window);
    if (!window) {
        m_peekingWindow->orderOut();
        return;
    }
    const QPointF mouse = screens.mouseLocation();
    if (const auto screen = screenUnder(screens, mouse))
        m_peekingWindow->setGeometry(flipRect(screen->frame, screens.flipHeight()).toAlignedRect());
    m_peekState->setScreens(screens.screens(), screens.mainScreen(), mouse, screens.flipHeight());
    if (!m_peekingWindow->isTranslucent() && m_peekingView->outline().isEmpty())
        return;
    m_peekingWindow->orderFront();
    // Just below the bubble, above everything else; over it while a card is dragged.
    if (m_overlayWindow && m_overlayWindow->isVisible() && !m_windowEngine->isDragging())
        m_overlayWindow->raise();
}

bool OverlayController::isGlobalOverlayShown() const
{
    // A panel fading away counts as closed.
    return m_globalOverlayWindow && m_globalOverlayWindow->isVisible() && !m_globalHideWork.isActive();
}

bool OverlayController::syncGlobalSwitcherVisible()
{
    const bool visible = isGlobalOverlayShown();
    setGlobalSwitcherVisible(visible);
    return visible;
}

void OverlayController::setGlobalSwitcherVisible(bool visible)
{
    if (visible == m_isGlobalSwitcherVisible)
        return;
    m_isGlobalSwitcherVisible = visible;
    emit isGlobalSwitcherVisibleChanged(visible);
}

void OverlayController::handleHotkeyRoute(const QString &text)
{
    const std::optional<OverlayRoute> route = overlayRouteFromRaw(text);
    if (!route) {
        qCWarning(lcOverlay).noquote() << QStringLiteral("⚠️ Ignoring unknown hotkey route: ") + text;
        return;
    }
    if (!m_windowEngine)
        return;
    const bool visible = syncGlobalSwitcherVisible();
    if (visible && *route == m_windowEngine->currentOverlayRoute()) {
        toggleGlobalSwitcher(false);
        return;
    }
    m_windowEngine->cancelWindowFetches();
    m_windowEngine->setCurrentOverlayRoute(*route);
    if (*route == OverlayRoute::clipboard && m_checkClipboard)
        m_checkClipboard();
    if (visible) {
        // Switching in place: the panel stays up and moves to the screen under the pointer.
        placeGlobalOverlay();
        showGlobalOverlayInFront();
    } else {
        toggleGlobalSwitcher(true);
    }
    requestWindowsForRoute(*route);
}

void OverlayController::showAllWindows()
{
    if (syncGlobalSwitcherVisible()) {
        toggleGlobalSwitcher(false);
        return;
    }
    handleHotkeyRoute(rawValue(OverlayRoute::all));
}

void OverlayController::requestWindowsForRoute(OverlayRoute route)
{
    m_routeFetchWork.cancel();
    if (route != OverlayRoute::all)
        return;
    // After the current event, so the panel is up before the scan starts.
    m_routeFetchWork = m_scheduler.after(0, [this] { m_windowEngine->fetchAllWindows(); });
}

void OverlayController::toggleGlobalSwitcher(std::optional<bool> show)
{
    const bool visible = syncGlobalSwitcherVisible();
    if (show.value_or(!visible))
        showGlobalSwitcher();
    else
        hideGlobalSwitcher();
}

void OverlayController::showGlobalSwitcher()
{
    if (!m_globalOverlayWindow || !m_windowEngine || isGlobalOverlayShown())
        return;
    // Opened again while it fades out: it stays, and takes back the keyboard it gave at the close.
    m_globalHideWork.cancel();
    m_windowEngine->setContextMenuOpen(false);
    m_hoverWorkItem.cancel();
    m_hideDelayTimer.cancel();
    m_dockMonitor->setInteractionSuspended(true);
    if (m_overlayWindow && m_overlayWindow->alpha() > 0) {
        m_overlayWindow->setAlpha(0);
        m_overlayWindow->orderOut();
        forgetHeaderIcon();
    }
    m_windowEngine->stopPeeking();
    placeGlobalOverlay();
    // Remembered before the panel takes the keyboard, to hand it back on close.
    rememberFocus();
    showGlobalOverlayInFront();
    setGlobalSwitcherVisible(true);
    publishKeyboardChoice();
}

void OverlayController::showGlobalOverlayInFront()
{
    m_globalOverlayWindow->setAlpha(1);
    m_globalOverlayWindow->orderFront();
    // Every key goes to the panel until it hides, also while a window behind it is focused (by our
    // own actions on the windows, or by the window manager for a window that just opened). The hold
    // puts the focus on the panel itself once its grab holds. Qt asks the window manager to activate
    // a window only once it hears the window is mapped, however late: a panel closed right after it
    // opened (the hotkey twice) would take the focus from the window it handed the keys back to.
    GlobalInput &input = *m_platform.globalInput;
    input.holdKeyboard(m_globalOverlayWindow->winId());
    if (!input.hasTap())
        m_globalOverlayWindow->activateWindow();
    if (m_superPanel)
        m_superPanel->setFocus(Qt::OtherFocusReason);
}

void OverlayController::hideGlobalSwitcher()
{
    if (!m_globalOverlayWindow || !m_windowEngine || m_globalHideWork.isActive() ||
        (!m_isGlobalSwitcherVisible && !m_globalOverlayWindow->isVisible()))
        return;
    setGlobalSwitcherVisible(false);
    // Resuming asks the Dock monitor for an immediate tile refresh.
    if (m_dockMonitor->isInteractionSuspended())
        m_dockMonitor->setInteractionSuspended(false);
    handBackKeyboard();
    // The content fades out, taking no key.
    if (m_globalOverlayWindow->isVisible() && !m_settingsOpened) {
        m_globalHideWork =
            m_scheduler.after(SuperPanelOverlay::fadeOutDuration, [this] { leaveCompositedPicture(); });
        return;
    }
    finishGlobalHide();
}

void OverlayController::leaveCompositedPicture()
{
    m_globalOverlayWindow->setAlpha(0);
    if (!m_globalOverlayWindow->isTranslucent()) {
        finishGlobalHide();
        return;
    }
    // Unmapped while the compositor draws a frame that still holds it, the panel's place (the whole
    // screen) comes out black in that frame: its picture no longer holds our content but the window
    // manager's empty frame. At opacity 0 the compositor leaves the panel out of the frames it starts
    // next; a few of those later the window can go.
    m_globalHideWork = m_scheduler.after(compositorSettle, [this] { finishGlobalHide(); });
}

void OverlayController::handBackKeyboard()
{
    GlobalInput &input = *m_platform.globalInput;
    // Qt may count the panel inactive while it holds the keyboard (shown again right after it hid).
    const bool hadKeyboard =
        m_globalOverlayWindow->isActiveWindow() || input.keyboardHolder() == m_globalOverlayWindow->winId();
    // The settings window takes the keyboard itself.
    if (m_settingsOpened) {
        input.releaseKeyboard();
        return;
    }
    // Closed before its grab held (the hotkey twice in a row): the keys typed meanwhile, kept or
    // held by the desktop, go to the window that had them.
    if (!hadKeyboard) {
        input.handKeyboardTo(isFocusReturnMinimized() ? 0 : m_focusReturnWindow);
        return;
    }
    // A window chosen in the panel gets the keyboard now; its focus sequence raises it meanwhile.
    // Handing it back to the earlier window first would bring that one forward for a moment.
    if (m_windowEngine->focusRequestCount() != m_focusRequestsAtShow) {
        handKeyboardToChosen(m_windowEngine->lastFocusRequest());
        return;
    }
    input.handKeyboardTo(isFocusReturnMinimized() ? 0 : m_focusReturnWindow);
    returnFocus();
}

void OverlayController::publishKeyboardChoice()
{
    if (!m_superPanelState || !m_windowEngine)
        return;
    const SuperPanelState &state = *m_superPanelState;
    // The keys reach the panel's own handling only while its content shows and no menu of a card
    // takes them; with a gallery open Esc closes the gallery.
    const bool choosing = m_isGlobalSwitcherVisible && state.showContent() && !state.expandedSection() &&
                          !m_windowEngine->isContextMenuOpen();
    quint64 onReturn = 0;
    const int selected = state.selectedIndex();
    // Return opens the selected card from the search field, which the window area alone has.
    if (choosing && state.route() == OverlayRoute::all && selected >= 0 &&
        selected < state.filteredModel().rowCount())
        onReturn = keyboardWindow(state.filteredModel().windowAt(selected).id);
    const quint64 onEscape = choosing && !isFocusReturnMinimized() ? keyboardWindow(m_focusReturnWindow) : 0;
    // A Return typed before the list came is acted on when it comes: until then the keys after it
    // wait, so they reach the window it opens.
    m_platform.globalInput->setKeyboardChoice(onReturn, onEscape, state.isAwaitingList());
}

void OverlayController::handKeyboardToChosen(qint64 window)
{
    m_platform.globalInput->handKeyboardTo(keyboardWindow(window));
}

void OverlayController::finishGlobalHide()
{
    const OverlayRoute route = m_windowEngine->currentOverlayRoute();
    m_globalOverlayWindow->orderOut();
    m_routeFetchWork.cancel();
    m_afterHideWork.cancel();
    m_afterHideWork = m_scheduler.after(0, [this, route] {
        if (isGlobalOverlayShown())
            return; // opened again meanwhile
        if (route == OverlayRoute::all)
            m_windowEngine->clearWindows();
        else
            m_windowEngine->cancelWindowFetches();
        // The full-screen window's pixels are not kept while it is hidden.
        m_globalOverlayWindow->releaseWindow();
        // The panel's snapshots and decoded thumbnails are freed by now; their pages go back.
        releaseFreeMemory();
    });
}

void OverlayController::rememberFocus()
{
    WorkspaceService &workspace = *m_platform.workspace;
    const RunningApp frontmost = workspace.frontmostApplication();
    const bool ours = frontmost.pid == QCoreApplication::applicationPid();
    m_focusReturnPid = ours ? 0 : frontmost.pid;
    m_focusReturnWindow = ours ? 0 : workspace.focusedWindow();
    m_focusRequestsAtShow = m_windowEngine->focusRequestCount();
    m_settingsOpened = false;
}

bool OverlayController::isFocusReturnMinimized() const
{
    const QList<AppWindowModel> listed = m_windowEngine ? m_windowEngine->windows() : QList<AppWindowModel>();
    return std::any_of(listed.cbegin(), listed.cend(), [this](const AppWindowModel &window) {
        return window.id == m_focusReturnWindow && window.isMinimized;
    });
}

void OverlayController::returnFocus()
{
    // A window minimised while the panel showed stays minimised: focusing it (or its application)
    // would bring it back. The window manager hands the keyboard to the window below instead.
    const bool minimized = isFocusReturnMinimized();
    // Another window of the same application may lie above the one that had the keyboard, so the
    // application alone is only the fallback.
    if (!minimized &&
        (m_focusReturnWindow == 0 || !m_platform.workspace->activateWindow(m_focusReturnWindow)) &&
        m_focusReturnPid != 0)
        m_platform.workspace->activate(m_focusReturnPid);
}

void OverlayController::placeGlobalOverlay()
{
    if (!m_globalOverlayWindow)
        return;
    const ScreenService &screens = *m_platform.screens;
    if (const auto screen = screenUnder(screens, screens.mouseLocation()))
        m_globalOverlayWindow->setGeometry(flipRect(screen->frame, screens.flipHeight()).toAlignedRect());
    updateEdgePopupWorkArea();
}

void OverlayController::updateEdgePopupWorkArea()
{
    if (!m_edgePopup || !m_globalOverlayWindow)
        return;
    const ScreenService &screens = *m_platform.screens;
    const double flip = screens.flipHeight();
    const QRect covered = m_globalOverlayWindow->geometry();
    QRectF area;
    for (const ScreenInfo &screen : screens.screens()) {
        if (flipRect(screen.frame, flip).toAlignedRect() == covered) {
            area = flipRect(screen.visibleFrame, flip).translated(-QPointF(covered.topLeft()));
            break;
        }
    }
    m_edgePopup->state().setWorkArea(area);
}

void OverlayController::handleScrollEvent(const std::optional<DockScrollEvent> &event)
{
    if (!event || !m_windowEngine || m_isGlobalSwitcherVisible)
        return;
    // The published list may still be another application's (the tile under the wheel is not
    // necessarily the hovered one): acting on it would focus or minimise a window of that other
    // application, so it counts as no list.
    QList<AppWindowModel> windows;
    if (m_windowEngine->windowsAppName() == event->appName)
        windows = m_windowEngine->windows();
    if (windows.isEmpty()) {
        if (event->direction == DockScrollDirection::up)
            activateApplicationNamed(event->appName);
        return;
    }
    if (event->direction == DockScrollDirection::up) {
        m_windowEngine->focusWindow(windows.first());
        hideOverlay(true);
    } else {
        m_windowEngine->minimizeWindow(windows.first());
    }
}

void OverlayController::activateApplicationNamed(const QString &name)
{
    if (name.isEmpty())
        return;
    // Desktop applications have no bundle folder whose name could differ from the name they show,
    // so the one name is matched both ways: equal, or either containing the other.
    for (const RunningApp &app : m_platform.workspace->runningApplications()) {
        if (!app.isRegular || app.name.isEmpty())
            continue;
        if (app.name == name || app.name.contains(name) || name.contains(app.name)) {
            m_platform.workspace->activate(app.pid);
            return;
        }
    }
}

} // namespace qv
