#pragma once

#include <QImage>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

#include "core/applanguage.h"
#include "runtime/scheduler.h"
#include "views/bubble/cardactions.h"
#include "windows/overlayroute.h"
#include "windows/snapposition.h"

namespace qv {

class FilteredWindowModel;
class WindowEngine;
class WindowListModel;

// What the Super Panel asks of its owner. Unset callbacks do nothing.
struct SuperPanelActions
{
    // The window actions every card offers (shared with the bubble's cards and their menu).
    CardActions card;
    // One step of a card drag at the pointer's current place, as the desktop reports it (not where
    // the gesture thinks it is).
    std::function<void()> updateDragAtPointer;
    // Hides every application except the window's own (their windows are iconified).
    CardActions::WindowAction hideOtherApplications;
    // The short tick of a keyboard move.
    std::function<void()> haptic;
    // Records a diagnostics event.
    std::function<void(const QString &name, const QString &detail)> log;
    // The windows whose cards the grid shows now (they want their pictures).
    std::function<void(const QList<qint64> &windowIds)> cardsInView;
};

// The Super Panel's state and behaviour, kept from one opening to the next: the search, the
// application filter, the keyboard selection and the scroll target it asks for, the grid's column
// count, the open gallery, and the route and card drag it follows. The grid's rows are the window
// list model filtered by application and search (`filteredModel()`).
//
// The owner reports each opening and closing of the panel with presentationChanged(); closing from
// inside goes through dismiss(), which writes false to `isPresented`. The window list model and
// the scheduler must outlive the state. Main thread.
class SuperPanelState : public QObject
{
    Q_OBJECT
public:
    enum class ExpandedSection { clipboard, shelf };

    // The two halves of the `isPresented` binding: what is shown, and the way to change it.
    struct Presented
    {
        std::function<bool()> get;
        std::function<void(bool)> set;
    };

    SuperPanelState(WindowListModel &windows, Scheduler &scheduler, SuperPanelActions actions,
                    Presented isPresented, QObject *parent = nullptr);
    ~SuperPanelState() override;

    // Follows the engine's route and card drag; the engine must outlive the state.
    void follow(WindowEngine &engine);
    // What the settings button opens before the panel closes; while it is unset the button does
    // nothing.
    void setOpenSettings(std::function<void()> openSettings) { m_openSettings = std::move(openSettings); }

    FilteredWindowModel &filteredModel() const { return *m_filtered; }
    QList<AppWindowModel> filteredWindows() const;
    int filteredCount() const;
    QStringList appNames() const;
    // The icon of the first listed window of the application; null when it has none.
    QImage appIcon(const QString &appName) const;
    const SuperPanelActions &actions() const { return m_actions; }

    bool isPresented() const { return m_isPresented.get && m_isPresented.get(); }
    bool showContent() const { return m_showContent; }
    OverlayRoute route() const { return m_route; }
    void setRoute(OverlayRoute route);
    QString searchText() const { return m_searchText; }
    void setSearchText(const QString &text);
    bool isSearchFocused() const { return m_searchFocused; }
    void setSearchFocused(bool focused);
    int selectedIndex() const { return m_selectedIndex; }
    // The pointer entering a card selects it, without scrolling.
    void setSelectedIndex(int index);
    std::optional<QString> selectedAppFilter() const { return m_appFilter; }
    std::optional<qint64> keyboardScrollTrigger() const { return m_scrollTrigger; }
    int currentGridColumns() const { return m_gridColumns; }
    std::optional<ExpandedSection> expandedSection() const { return m_expandedSection; }
    void setExpandedSection(std::optional<ExpandedSection> section);
    bool isDragging() const { return m_isDragging; }
    void setDragging(bool dragging);
    std::optional<SnapPosition> dragTargetZone() const { return m_dragTargetZone; }
    void setDragTargetZone(std::optional<SnapPosition> zone);
    // False while the list of every window is still being made (the panel then shows no "No windows
    // found" for a moment); true when nobody says so.
    bool isListReady() const { return m_listReady; }
    void setListReady(bool ready);
    AppLanguage language() const { return m_language; }
    void setLanguage(AppLanguage language);

    // Opening (true) resets the search, filter, selection and scroll target, records
    // "overlay_show" and, on route "all", focuses the search field 0.01 s later. Closing only hides
    // the content.
    void presentationChanged(bool presented);
    // Closes the panel from inside: the gallery closes, "overlay_hide" is recorded.
    void dismiss();
    // A shrinking list pulls the selection back onto its last card.
    void clampSelection(int count);
    // Tab and the arrows: the selection moves with wrap-around and the grid scrolls to it. Typed
    // before the list of every window has come (right after the hotkey), the moves wait for it.
    void moveSelection(int delta);
    void selectAndScroll(int index);
    void updateGridColumns(double width);
    // Return, and a click on a card after it selected itself: focuses the selected window and
    // closes the panel; nothing without a selection. Typed before the list has come, it waits for
    // it, after the moves typed before it.
    void openSelectedWindow();
    // A key typed before the list came is still to be acted on.
    bool isAwaitingList() const { return m_openAwaitingList; }
    void selectAndOpen(int index);
    // Esc: closes the gallery, else the panel.
    void handleEscape();
    void focusWindowHidingOthers(const AppWindowModel &window);
    void selectAppFilter(const std::optional<QString> &name);
    void openSettings();
    // Ctrl+W and Ctrl+M: the action on the selected window; the panel stays open.
    void performOnSelectedWindow(const CardActions::WindowAction &action);
    // Tells the user, in a line the panel shows for a while, that an action could not be done.
    void showNotice(const QString &text) { emit noticeRequested(text); }

    // An item dragged out of the panel left its drop targets: the panel steps aside for the rest of
    // the drag, so the window under the pointer can take it.
    void stepAsideForDrag();
    bool isSteppedAside() const { return m_steppedAside; }
    // The end of a drag of an item out of the panel. Aside, the panel closes when another program
    // took the drop and comes back otherwise; a drag that never left does nothing here.
    void dragOutEnded(bool taken);

signals:
    void showContentChanged(bool show);
    void routeChanged();
    void searchTextChanged(const QString &text);
    // The search field should take the keyboard.
    void searchFocusRequested();
    void selectedIndexChanged(int index);
    // A keyboard move asks the grid to centre this window's card.
    void scrollRequested(qint64 windowId);
    void appFilterChanged();
    // The applications of the list, or one of their icons, changed.
    void appNamesChanged();
    void expandedSectionChanged();
    void dragChanged();
    void listReadyChanged();
    void languageChanged();
    void noticeRequested(const QString &text);
    void steppedAsideChanged();
    // isAwaitingList() changed.
    void awaitingListChanged();

private:
    // The list came (or will not): the keys typed before it act on it, in order.
    void applyKeysAwaitingList();
    void forgetKeysAwaitingList();
    void setShowContent(bool show);
    void log(const QString &name, const QString &detail = QString()) const;
    void followCount();
    // The picture of each application's icon, in the order of appNames().
    QList<qint64> iconKeys() const;

    WindowListModel &m_windows;
    Scheduler &m_scheduler;
    SuperPanelActions m_actions;
    Presented m_isPresented;
    std::function<void()> m_openSettings;
    FilteredWindowModel *m_filtered = nullptr; // child
    QStringList m_appNames;
    QList<qint64> m_appIconKeys;
    int m_lastCount = 0;
    bool m_countCheckPending = false;

    bool m_showContent = false;
    OverlayRoute m_route = OverlayRoute::all;
    QString m_searchText;
    bool m_searchFocused = false;
    int m_selectedIndex = 0;
    std::optional<QString> m_appFilter;
    std::optional<qint64> m_scrollTrigger;
    int m_gridColumns = 4;
    std::optional<ExpandedSection> m_expandedSection;
    bool m_isDragging = false;
    bool m_steppedAside = false;
    std::optional<SnapPosition> m_dragTargetZone;
    AppLanguage m_language = AppLanguage::system;
    bool m_listReady = true;
    TimerHandle m_focusWork;
    // Opened on route "all" with no list yet: the keyboard moves and the Return typed until the
    // engine publishes one.
    bool m_awaitingList = false;
    int m_movesAwaitingList = 0;
    bool m_openAwaitingList = false;
};

} // namespace qv
