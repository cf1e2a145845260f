#pragma once

#include <QObject>
#include <QRectF>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <utility>

#include "app/shellparts.h"
#include "dock/dockicon.h"
#include "dock/dockscrollevent.h"
#include "platform/platform.h"
#include "platform/screens.h"
#include "runtime/scheduler.h"
#include "ui/animation.h"
#include "views/bubble/cardactions.h"
#include "windows/overlayroute.h"

namespace qv {

class BubbleViewState;
class ClipboardManager;
class ContentView;
class EdgePopupModule;
class EdgePopupState;
class EdgePopupView;
class FileShelfManager;
class SuperPanelColumnState;
class WorkQueue;
class EventLog;
class KeyPanel;
class PassivePanel;
class PeekViewState;
class PeekingOverlayView;
class SettingsStore;
class SuperPanelOverlay;
class SuperPanelState;
class WindowListModel;

// Turns the Dock monitor's hover into the preview bubble and the window engine's peek into the peek
// panel. The bubble appears after the hover delay once the hovered application's list is published,
// sits beside the tile with its arrow on it, follows the tile or stays put while locked to one
// application, and goes 0.15 s after the pointer has left both bubble and tile (not while a menu is
// open or a card is held or dragged; a bubble forced closed under a drag ends it). A list
// published for another application than the hovered one is never shown.
//
// It also runs the Super Panel: a full-screen panel opened on a route ("all", "clipboard", "shelf")
// by the hotkeys and the edge drag. The same route again closes it, another switches it in place.
// While it shows, the bubble stays away, the Dock monitor publishes no hover and Dock scrolls are
// ignored; it holds the keyboard (every key goes to it, whichever window is focused meanwhile) and
// hands it back as it hides, to the window that had it (to that window's application when the window
// is gone) unless a window was chosen in it.
//
// One controller lives for the whole run, made by the start-up sequence; the Dock monitor and window
// engine handed to setupBindings() outlive it. Frames are kept in screen coordinates (bottom-left
// origin) and turned into window positions with the main screen's height. Main thread only.
class OverlayController : public QObject, public OverlayPresenter
{
    Q_OBJECT
    Q_PROPERTY(
        bool isGlobalSwitcherVisible READ isGlobalSwitcherVisible NOTIFY isGlobalSwitcherVisibleChanged)
public:
    static constexpr double mouseCheckInterval = 0.1;
    static constexpr double hideDelay = 0.15;
    static constexpr double showFade = 0.15;
    static constexpr double hideFade = 0.1;
    static constexpr double resizeDuration = 0.2;
    static constexpr double stabilizationDelay = 0.08;
    // How long the faded Super Panel stays mapped, out of the compositor's picture, before it goes.
    static constexpr double compositorSettle = 0.06;

    // `checkClipboard` looks at the clipboard once, so the clipboard route shows what was copied just
    // before the hotkey; it may be empty (no clipboard history).
    OverlayController(const Platform &platform, Scheduler &scheduler, SettingsStore &settings,
                      std::function<void()> checkClipboard, QObject *parent = nullptr);
    ~OverlayController() override;

    void setupOverlayWindow() override;
    void setupGlobalOverlayWindow() override;
    void setupPeekingWindow() override;
    void setupBindings(DockMonitor &dockMonitor, WindowEngine &windowEngine) override;
    // The mouse check runs every mouseCheckInterval while the bubble shows, from this call on.
    void startMouseCheckTimer() override;
    void hideOverlay(bool force) override;

    void showOverlay();
    void resizeOverlay(int count);
    void positionOverlay(bool force, const QRectF &iconFrame);
    void checkMouseLeftOverlay();

    // The Super Panel. No value toggles; the panel's own visibility is re-read every time.
    void toggleGlobalSwitcher(std::optional<bool> show = std::nullopt);
    void showGlobalSwitcher();
    void hideGlobalSwitcher();
    // Covers the screen under the pointer, else the main screen.
    void placeGlobalOverlay();
    // The edge popup keeps to the work area of the screen the panel covers.
    void updateEdgePopupWorkArea();
    void handleHotkeyRoute(const QString &route);
    // The status menu's Show All Windows: closes the panel while it shows, else opens it on route
    // "all" with a fresh list, as the hotkey does.
    void showAllWindows();
    // The clipboard history and the shelf that the routes "clipboard" and "shelf" show in the edge
    // popup and the Super Panel shows in its right column, and the queue their previews decode on;
    // both services must outlive the controller. Before this call those routes show an empty panel
    // and the right column stays empty.
    void setItemServices(ClipboardManager &clipboard, FileShelfManager &shelf,
                         std::shared_ptr<WorkQueue> decodeQueue);
    // What the Super Panel's gear does; without it the gear leaves the panel open.
    void setOpenSettings(std::function<void()> openSettings);
    // Where the Super Panel records its opening and closing; none records nothing.
    void setEventLog(EventLog *eventLog) { m_eventLog = eventLog; }
    // Scroll up focuses the tile's application's first window (or activates the application when it
    // lists none), scroll down minimises it.
    void handleScrollEvent(const std::optional<DockScrollEvent> &event);
    // True while the Super Panel is shown.
    bool isGlobalSwitcherVisible() const { return m_isGlobalSwitcherVisible; }
    // Remembers the window that has the keyboard now, unless it is one of ours, for returnFocus().
    void rememberFocus();
    // Hands the keyboard back to the remembered window, else to its application's frontmost one,
    // and forgets it. Nothing happens when nothing is remembered, or when the remembered window is
    // listed as minimised.
    void returnFocus();

    // What tests and the gallery look at.
    KeyPanel *overlayWindow() const { return m_overlayWindow.get(); }
    PassivePanel *peekingWindow() const { return m_peekingWindow.get(); }
    KeyPanel *globalOverlayWindow() const { return m_globalOverlayWindow.get(); }
    SuperPanelOverlay *superPanel() const { return m_superPanel; }
    SuperPanelState *superPanelState() const { return m_superPanelState.get(); }
    EdgePopupView *edgePopup() const;
    EdgePopupState *edgePopupState() const;
    ContentView *contentView() const { return m_contentView; }
    PeekingOverlayView *peekingView() const { return m_peekingView; }
    BubbleViewState *bubbleState() const { return m_bubbleState.get(); }
    WindowListModel *bubbleWindows() const { return m_bubbleWindows.get(); }
    const CardActions &cardActions() const { return m_cardActions; }
    // The bubble's frame in screen coordinates.
    QRectF overlayFrame() const { return m_overlayFrame; }
    bool isPositionLocked() const { return m_overlayPositionLocked; }
    QString lockedAppName() const { return m_overlayLockedAppName; }
    DockPosition currentDockPosition() const { return m_currentDockPosition; }
    bool isHideTimerPending() const { return m_hideDelayTimer.isActive(); }
    bool isMouseCheckRunning() const { return m_mouseCheckTimer.isActive(); }

signals:
    // Where the arrow must point: a fraction along the edge and the edge's name.
    void updateArrowPosition(double position, const QString &edge);
    void isGlobalSwitcherVisibleChanged(bool visible);

private:
    void runMouseCheck();
    void handleHoveredAppChange(const QString &name);
    void handleWindowsPublished();
    void updatePeekingWindow();
    void updateHeader();
    void setOverlayFrame(const QRectF &frame);
    void animateOverlayFrame(const QRectF &frame);
    void scheduleOverlayStabilization();
    void cancelOverlayStabilization();
    void clampLockedOverlay(const QRectF &iconFrame);
    void unlock();
    void forgetHeaderIcon();
    QRectF normalizedIconFrame(const QRectF &iconFrame) const;
    // The icon in screen coordinates and the screen it is on; none for an empty icon or no screen.
    std::optional<std::pair<QRectF, ScreenInfo>> locateIcon(const QRectF &iconFrame) const;
    void wireCardActions();
    void setupSuperPanel(WindowEngine &windowEngine);
    void setupEdgePopup();
    void setupSuperPanelColumn();
    // The popup follows the route and the stored edge; the panel is cut to it without a compositor.
    void syncEdgePopup(bool opening);
    void updateGlobalOutline();
    // A card of the bubble is pressed or dragged: the bubble stays until the drag ends.
    bool isCardHeld() const;
    QPointF toScreen(const QPointF &globalTopLeft) const;
    // The panel is up: visible and not faded out. Also brings the published flag in step with it.
    bool syncGlobalSwitcherVisible();
    void setGlobalSwitcherVisible(bool visible);
    void showGlobalOverlayInFront();
    // The panel, up and not on its way out.
    bool isGlobalOverlayShown() const;
    // At the user's choice (or any close): the keyboard goes to the chosen window, else back to the
    // one that had it, before the content fades.
    void handBackKeyboard();
    bool isFocusReturnMinimized() const;
    // Tells the global input what Return and Esc would hand the keyboard to now.
    void publishKeyboardChoice();
    // `window` is a listed window's id; one that names no window gives the keyboard back only.
    void handKeyboardToChosen(qint64 window);
    // The faded panel leaves the compositor's picture; a moment later finishGlobalHide() unmaps it.
    void leaveCompositedPicture();
    // The end of a close, once the content has faded: the panel goes.
    void finishGlobalHide();
    void requestWindowsForRoute(OverlayRoute route);
    void activateApplicationNamed(const QString &name);

    Platform m_platform;
    Scheduler &m_scheduler;
    SettingsStore &m_settings;
    DockMonitor *m_dockMonitor = nullptr;
    WindowEngine *m_windowEngine = nullptr;

    std::unique_ptr<BubbleViewState> m_bubbleState;
    std::unique_ptr<WindowListModel> m_bubbleWindows;
    // The bubble header's icon and the program it was looked up for (0: none yet this showing).
    qint64 m_headerIconPid = 0;
    QImage m_headerIcon;
    // The application whose list the bubble's cards show; empty while it shows none.
    QString m_bubbleWindowsApp;
    CardActions m_cardActions;
    std::unique_ptr<KeyPanel> m_overlayWindow;
    ContentView *m_contentView = nullptr; // child of the panel
    std::unique_ptr<PeekViewState> m_peekState;
    std::unique_ptr<PassivePanel> m_peekingWindow;
    PeekingOverlayView *m_peekingView = nullptr; // child of the panel

    QRectF m_overlayFrame;
    Animation m_resizeAnimation;
    TimerHandle m_hoverWorkItem;
    TimerHandle m_mouseCheckTimer;
    bool m_mouseCheckArmed = false;
    TimerHandle m_hideDelayTimer;
    TimerHandle m_overlayStabilizeWorkItem;
    DockPosition m_currentDockPosition = DockPosition::bottom;
    bool m_overlayPositionLocked = false;
    QString m_overlayLockedAppName;
    // The tile the bubble was locked beside, as the Dock monitor published it.
    QRectF m_overlayLockedIconFrame;

    std::function<void()> m_checkClipboard;
    EventLog *m_eventLog = nullptr;
    std::function<void()> m_openSettings;
    // Declared before the panel, whose view uses them, so they outlive it.
    std::unique_ptr<WindowListModel> m_superPanelWindows;
    std::unique_ptr<SuperPanelState> m_superPanelState;
    // Its view is a child of the Super Panel: declared before the panel too.
    std::unique_ptr<EdgePopupModule> m_edgePopup;
    std::unique_ptr<KeyPanel> m_globalOverlayWindow;
    SuperPanelOverlay *m_superPanel = nullptr; // child of the panel
    bool m_isGlobalSwitcherVisible = false;
    // The window and application that had the keyboard when the Super Panel opened; 0 when none.
    quint32 m_focusReturnWindow = 0;
    qint64 m_focusReturnPid = 0;
    // The window engine's focus request count when the panel showed.
    quint64 m_focusRequestsAtShow = 0;
    // The gear opened the settings window since the panel showed.
    bool m_settingsOpened = false;
    TimerHandle m_routeFetchWork;
    TimerHandle m_afterHideWork;
    // Runs finishGlobalHide() once the content has faded out (and, under a compositor, the window has
    // left its picture); the keyboard is given back before.
    TimerHandle m_globalHideWork;

    ClipboardManager *m_clipboard = nullptr;
    FileShelfManager *m_shelf = nullptr;
    std::shared_ptr<WorkQueue> m_decodeQueue;
    std::unique_ptr<SuperPanelColumnState> m_columnState;
};

} // namespace qv
