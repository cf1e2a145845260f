#include "views/superpanel/superpanelstate.h"

#include <QHash>

#include "views/superpanel/filteredwindowmodel.h"
#include "views/superpanel/superpanelrules.h"
#include "windows/windowengine.h"
#include "windows/windowlistmodel.h"

namespace qv {

namespace {

constexpr double searchFocusDelay = 0.01;

} // namespace

SuperPanelState::SuperPanelState(WindowListModel &windows, Scheduler &scheduler, SuperPanelActions actions,
                                 Presented isPresented, QObject *parent)
    : QObject(parent), m_windows(windows), m_scheduler(scheduler), m_actions(std::move(actions)),
      m_isPresented(std::move(isPresented)), m_filtered(new FilteredWindowModel(windows, this))
{
    m_appNames = SuperPanelRules::appNames(m_windows.items());
    m_appIconKeys = iconKeys();
    m_lastCount = m_filtered->rowCount();
    auto sourceChanged = [this] {
        const QStringList names = SuperPanelRules::appNames(m_windows.items());
        const QList<qint64> icons = iconKeys();
        if (names != m_appNames || icons != m_appIconKeys) {
            m_appNames = names;
            m_appIconKeys = icons;
            emit appNamesChanged();
        }
    };
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(&m_windows, signal, this, sourceChanged);
    connect(&m_windows, &QAbstractItemModel::dataChanged, this, sourceChanged);
    connect(&m_windows, &QAbstractItemModel::modelReset, this, sourceChanged);
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(m_filtered, signal, this, &SuperPanelState::followCount);
    connect(m_filtered, &QAbstractItemModel::modelReset, this, &SuperPanelState::followCount);
    connect(m_filtered, &QAbstractItemModel::layoutChanged, this, &SuperPanelState::followCount);
}

SuperPanelState::~SuperPanelState()
{
    m_focusWork.cancel();
}

void SuperPanelState::follow(WindowEngine &engine)
{
    setRoute(engine.currentOverlayRoute());
    setDragging(engine.isDragging());
    setDragTargetZone(engine.dragTargetZone());
    connect(&engine, &WindowEngine::currentOverlayRouteChanged, this, &SuperPanelState::setRoute);
    connect(&engine, &WindowEngine::isDraggingChanged, this, &SuperPanelState::setDragging);
    connect(&engine, &WindowEngine::dragTargetZoneChanged, this,
            [this, &engine] { setDragTargetZone(engine.dragTargetZone()); });
    auto followList = [this, &engine] {
        setListReady(engine.windowsAppName() == WindowEngine::allWindowsAppName());
        applyKeysAwaitingList();
    };
    followList();
    connect(&engine, &WindowEngine::windowsChanged, this, followList);
}

QList<AppWindowModel> SuperPanelState::filteredWindows() const
{
    return m_filtered->windows();
}

int SuperPanelState::filteredCount() const
{
    return m_filtered->rowCount();
}

QStringList SuperPanelState::appNames() const
{
    return m_appNames;
}

QImage SuperPanelState::appIcon(const QString &appName) const
{
    for (const AppWindowModel &window : m_windows.items()) {
        if (window.appName == appName)
            return window.appIcon;
    }
    return QImage();
}

QList<qint64> SuperPanelState::iconKeys() const
{
    // One pass over the windows: with hundreds of them, a search per name would cost their square.
    QHash<QString, qint64> firstIcon;
    for (const AppWindowModel &window : m_windows.items()) {
        if (!firstIcon.contains(window.appName))
            firstIcon.insert(window.appName, window.appIcon.cacheKey());
    }
    QList<qint64> keys;
    for (const QString &name : SuperPanelRules::appNames(m_windows.items()))
        keys.append(firstIcon.value(name));
    return keys;
}

void SuperPanelState::followCount()
{
    // A publication removes and inserts rows one at a time: the selection is clamped once, to the
    // count the list settles on, not walked back through every count on the way.
    if (m_countCheckPending)
        return;
    m_countCheckPending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_countCheckPending = false;
            const int count = m_filtered->rowCount();
            if (count == m_lastCount)
                return;
            m_lastCount = count;
            clampSelection(count);
        },
        Qt::QueuedConnection);
}

void SuperPanelState::log(const QString &name, const QString &detail) const
{
    if (m_actions.log)
        m_actions.log(name, detail);
}

void SuperPanelState::setShowContent(bool show)
{
    if (show == m_showContent)
        return;
    m_showContent = show;
    emit showContentChanged(show);
}

void SuperPanelState::setRoute(OverlayRoute route)
{
    if (route == m_route)
        return;
    m_route = route;
    if (route != OverlayRoute::all)
        forgetKeysAwaitingList();
    emit routeChanged();
}

void SuperPanelState::setSearchText(const QString &text)
{
    if (text == m_searchText)
        return;
    m_searchText = text;
    m_filtered->setSearchText(text);
    emit searchTextChanged(text);
}

void SuperPanelState::setSearchFocused(bool focused)
{
    m_searchFocused = focused;
    if (focused)
        emit searchFocusRequested();
}

void SuperPanelState::setSelectedIndex(int index)
{
    if (index == m_selectedIndex)
        return;
    m_selectedIndex = index;
    emit selectedIndexChanged(index);
}

void SuperPanelState::setExpandedSection(std::optional<ExpandedSection> section)
{
    if (section == m_expandedSection)
        return;
    m_expandedSection = section;
    emit expandedSectionChanged();
}

void SuperPanelState::setDragging(bool dragging)
{
    if (dragging == m_isDragging)
        return;
    m_isDragging = dragging;
    emit dragChanged();
}

void SuperPanelState::setDragTargetZone(std::optional<SnapPosition> zone)
{
    if (zone == m_dragTargetZone)
        return;
    m_dragTargetZone = zone;
    emit dragChanged();
}

void SuperPanelState::setListReady(bool ready)
{
    if (ready == m_listReady)
        return;
    m_listReady = ready;
    emit listReadyChanged();
}

void SuperPanelState::setLanguage(AppLanguage language)
{
    if (language == m_language)
        return;
    m_language = language;
    emit languageChanged();
}

void SuperPanelState::presentationChanged(bool presented)
{
    m_focusWork.cancel();
    forgetKeysAwaitingList();
    if (!presented) {
        m_searchFocused = false;
        setShowContent(false);
        return;
    }
    // The list of every window is made anew at each opening; keys typed before it comes wait.
    m_awaitingList = m_route == OverlayRoute::all && m_windows.rowCount() == 0;
    setSearchText(QString());
    setSelectedIndex(0);
    selectAppFilter(std::nullopt);
    m_scrollTrigger.reset();
    setShowContent(true);
    log(QStringLiteral("overlay_show"), QStringLiteral("route=") + rawValue(m_route));
    if (m_route == OverlayRoute::all)
        m_focusWork = m_scheduler.after(searchFocusDelay, [this] { setSearchFocused(true); });
}

void SuperPanelState::applyKeysAwaitingList()
{
    if (!m_awaitingList)
        return;
    // The Return stays counted as waiting until the window it opens has the keyboard: the keys
    // typed after it must not come to the panel while the moves before it are applied.
    const int moves = std::exchange(m_movesAwaitingList, 0);
    m_awaitingList = false;
    if (moves != 0)
        moveSelection(moves);
    if (m_openAwaitingList)
        openSelectedWindow();
    if (std::exchange(m_openAwaitingList, false))
        emit awaitingListChanged();
}

void SuperPanelState::forgetKeysAwaitingList()
{
    m_awaitingList = false;
    m_movesAwaitingList = 0;
    if (std::exchange(m_openAwaitingList, false))
        emit awaitingListChanged();
}

void SuperPanelState::dismiss()
{
    forgetKeysAwaitingList();
    setExpandedSection(std::nullopt);
    setShowContent(false);
    if (m_isPresented.set)
        m_isPresented.set(false);
    log(QStringLiteral("overlay_hide"));
}

void SuperPanelState::stepAsideForDrag()
{
    if (m_steppedAside)
        return;
    m_steppedAside = true;
    emit steppedAsideChanged();
}

void SuperPanelState::dragOutEnded(bool taken)
{
    if (!m_steppedAside)
        return;
    // Closed while still aside, so it does not show again on its way out.
    if (taken)
        dismiss();
    m_steppedAside = false;
    emit steppedAsideChanged();
}

void SuperPanelState::clampSelection(int count)
{
    setSelectedIndex(SuperPanelRules::clampedSelection(m_selectedIndex, count));
}

void SuperPanelState::moveSelection(int delta)
{
    if (m_awaitingList) {
        m_movesAwaitingList += delta;
        return;
    }
    const std::optional<int> target = SuperPanelRules::wrappedIndex(m_selectedIndex, delta, filteredCount());
    if (!target)
        return;
    if (m_actions.haptic)
        m_actions.haptic();
    selectAndScroll(*target);
}

void SuperPanelState::selectAndScroll(int index)
{
    if (index < 0 || index >= filteredCount())
        return;
    setSelectedIndex(index);
    const qint64 id = m_filtered->windowAt(index).id;
    m_scrollTrigger = id;
    // Every keyboard move brings its card into view, even when the pointer selected other cards
    // since the last one.
    emit scrollRequested(id);
}

void SuperPanelState::updateGridColumns(double width)
{
    m_gridColumns = SuperPanelRules::gridColumns(width);
}

void SuperPanelState::openSelectedWindow()
{
    if (m_awaitingList) {
        if (!std::exchange(m_openAwaitingList, true))
            emit awaitingListChanged();
        return;
    }
    if (m_selectedIndex < 0 || m_selectedIndex >= filteredCount())
        return;
    CardActions::run(m_actions.card.focusWindow, m_filtered->windowAt(m_selectedIndex));
    dismiss();
}

void SuperPanelState::selectAndOpen(int index)
{
    setSelectedIndex(index);
    openSelectedWindow();
}

void SuperPanelState::handleEscape()
{
    if (m_expandedSection) {
        setExpandedSection(std::nullopt);
        return;
    }
    dismiss();
}

void SuperPanelState::focusWindowHidingOthers(const AppWindowModel &window)
{
    CardActions::run(m_actions.card.focusWindow, window);
    CardActions::run(m_actions.hideOtherApplications, window);
    dismiss();
}

void SuperPanelState::selectAppFilter(const std::optional<QString> &name)
{
    if (name != m_appFilter) {
        m_appFilter = name;
        m_filtered->setAppFilter(name);
        emit appFilterChanged();
    }
    setSelectedIndex(0);
}

void SuperPanelState::openSettings()
{
    // Closing the panel for a window that does not open would only lose the user's place.
    if (!m_openSettings)
        return;
    m_openSettings();
    dismiss();
}

void SuperPanelState::performOnSelectedWindow(const CardActions::WindowAction &action)
{
    if (m_selectedIndex < 0 || m_selectedIndex >= filteredCount())
        return;
    CardActions::run(action, m_filtered->windowAt(m_selectedIndex));
}

} // namespace qv
