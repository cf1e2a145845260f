#include "views/superpanel/windowgrid.h"

#include <QLabel>
#include <QPainter>
#include <QResizeEvent>
#include <QScrollBar>
#include <QSet>

#include <cmath>

#include "core/localization.h"
#include "ui/spring.h"
#include "ui/symbols.h"
#include "ui/theme.h"
#include "views/superpanel/filteredwindowmodel.h"
#include "views/superpanel/globalwindowcard.h"
#include "views/superpanel/superpanelstate.h"
#include "windows/windowlistmodel.h"

namespace qv {

namespace {

bool sameContent(const AppWindowModel &a, const AppWindowModel &b)
{
    return a == b && a.title == b.title && a.appName == b.appName && a.isMinimized == b.isMinimized &&
           a.image.cacheKey() == b.image.cacheKey() && a.appIcon.cacheKey() == b.appIcon.cacheKey();
}

// The grid's canvas; paints the empty state while no card shows.
class GridContent : public QWidget
{
public:
    GridContent(const SuperPanelState &state, const QList<qint64> &order, QWidget *parent)
        : QWidget(parent), m_state(state), m_order(order)
    {
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        if (!m_order.isEmpty() || !m_state.isListReady())
            return;
        QPainter painter(this);
        const int symbol = 60;
        double y = 100;
        painter.drawPixmap(QPointF(width() / 2.0 - symbol / 2.0, y),
                           Symbols::pixmap(QStringLiteral("rectangle.on.rectangle.slash"), symbol,
                                           Theme::white(0.2), devicePixelRatioF()));
        y += symbol + 20;
        const QFont title = Theme::systemFont(20);
        painter.setFont(title);
        painter.setPen(Theme::white(0.4));
        const int titleHeight = QFontMetrics(title).height();
        painter.drawText(QRectF(0, y, width(), titleHeight), Qt::AlignCenter,
                         Localization::text(u"no_windows_found", m_state.language()));
        y += titleHeight + 20;
        const QFont caption = Theme::systemFont(12);
        painter.setFont(caption);
        painter.setPen(Theme::white(0.5));
        painter.drawText(QRectF(0, y, width(), QFontMetrics(caption).height()), Qt::AlignCenter,
                         Localization::text(u"press_esc", m_state.language()));
    }

private:
    const SuperPanelState &m_state;
    const QList<qint64> &m_order;
};

} // namespace

WindowGrid::WindowGrid(SuperPanelState &state, Scheduler &scheduler, QWidget *parent)
    : QScrollArea(parent), m_state(state), m_scheduler(scheduler), m_scrollAnimation(scheduler)
{
    setFrameShape(QFrame::NoFrame);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::NoFocus);
    viewport()->setAutoFillBackground(false);
    viewport()->setAttribute(Qt::WA_TranslucentBackground);
    m_content = new GridContent(state, m_order, this);
    setWidget(m_content);
    m_content->setAutoFillBackground(false);

    const FilteredWindowModel &model = state.filteredModel();
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(&model, signal, this, &WindowGrid::scheduleSync);
    connect(&model, &QAbstractItemModel::layoutChanged, this, &WindowGrid::scheduleSync);
    connect(&model, &QAbstractItemModel::dataChanged, this, &WindowGrid::scheduleSync);
    connect(&state, &SuperPanelState::selectedIndexChanged, this, &WindowGrid::updateSelection);
    connect(&state, &SuperPanelState::listReadyChanged, m_content, qOverload<>(&QWidget::update));
    connect(&state, &SuperPanelState::scrollRequested, this, &WindowGrid::scrollToTrigger);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &WindowGrid::buildVisibleCards);
    connect(&state, &SuperPanelState::appFilterChanged, this, [this] {
        m_scrollAnimation.cancel();
        verticalScrollBar()->setValue(0);
    });
    connect(&state, &SuperPanelState::languageChanged, this, [this] {
        for (GlobalWindowCard *card : std::as_const(m_cards))
            card->setLanguage(m_state.language());
        m_content->update();
    });
    syncCards();
}

QList<GlobalWindowCard *> WindowGrid::cards() const
{
    QList<GlobalWindowCard *> shown;
    for (qint64 id : m_order) {
        if (GlobalWindowCard *card = m_cards.value(id))
            shown.append(card);
    }
    return shown;
}

GlobalWindowCard *WindowGrid::cardFor(qint64 windowId) const
{
    return m_cards.value(windowId);
}

int WindowGrid::rowOf(qint64 windowId) const
{
    return int(m_order.indexOf(windowId));
}

GlobalWindowCard *WindowGrid::makeCard(const AppWindowModel &window)
{
    const qint64 id = window.id;
    GlobalWindowCard::Callbacks callbacks;
    callbacks.onFocusAction = [this, id] {
        if (GlobalWindowCard *card = m_cards.value(id))
            m_state.focusWindowHidingOthers(card->window());
    };
    callbacks.onDragEnd = [this] { m_state.dismiss(); };
    callbacks.onTap = [this, id] {
        const int row = rowOf(id);
        if (row >= 0)
            m_state.selectAndOpen(row);
    };
    callbacks.onHover = [this, id] {
        const int row = rowOf(id);
        if (row >= 0)
            m_state.setSelectedIndex(row);
    };
    callbacks.onDragMove = [this, id](const QPointF &offset) { moveGhost(m_cards.value(id), offset); };
    callbacks.onDragStop = [this, id] { dropGhost(m_cards.value(id)); };
    auto *card =
        new GlobalWindowCard(window, m_state.actions(), m_scheduler, std::move(callbacks), m_content);
    card->setLanguage(m_state.language());
    return card;
}

void WindowGrid::scheduleSync()
{
    // A publication or a search changes rows one at a time; the cards follow once, when it is done.
    // (The filtered list of windows neither moves nor resets rows: a new order comes as a new layout.)
    if (m_syncPending)
        return;
    m_syncPending = true;
    QMetaObject::invokeMethod(this, &WindowGrid::syncCards, Qt::QueuedConnection);
}

bool WindowGrid::isShowingEmptyState() const
{
    return m_order.isEmpty() && m_state.isListReady();
}

QWidget *WindowGrid::dragGhost() const
{
    return m_ghost;
}

void WindowGrid::moveGhost(GlobalWindowCard *card, const QPointF &offset)
{
    if (!card)
        return;
    QWidget *layer = m_dragLayer ? m_dragLayer : this;
    if (!m_ghost) {
        // The card itself stays inside the scrolled view; a picture of it travels over the panel.
        m_ghost = new QLabel(layer);
        m_ghost->setAttribute(Qt::WA_TransparentForMouseEvents);
        m_ghost->setPixmap(card->grab());
        m_ghost->adjustSize();
        card->setGhosted(true);
    }
    const QPoint place = card->mapToGlobal(QPoint(0, 0)) + offset.toPoint();
    m_ghost->move(layer->mapFromGlobal(place));
    m_ghost->show();
    m_ghost->raise();
}

void WindowGrid::dropGhost(GlobalWindowCard *card)
{
    // Called from a card's hide while Qt walks the panel's children to hide them: deleting one of
    // them now would pull it out of the list being walked.
    if (m_ghost) {
        m_ghost->hide();
        m_ghost->deleteLater();
    }
    m_ghost = nullptr;
    if (card)
        card->setGhosted(false);
}

void WindowGrid::syncCards()
{
    m_syncPending = false;
    const FilteredWindowModel &model = m_state.filteredModel();
    QList<qint64> order;
    order.reserve(model.rowCount());
    QSet<qint64> listed;
    for (int row = 0; row < model.rowCount(); ++row) {
        const AppWindowModel &window = model.windowAt(row);
        order.append(window.id);
        listed.insert(window.id);
        GlobalWindowCard *card = m_cards.value(window.id);
        if (card && !sameContent(card->window(), window))
            card->setWindow(window);
    }
    // Cards of windows the search hides are kept for when it shows them again; cards of windows
    // that are gone go with them.
    const WindowListModel &source = model.sourceWindows();
    for (auto it = m_cards.begin(); it != m_cards.end();) {
        if (listed.contains(it.key())) {
            ++it;
            continue;
        }
        if (source.rowOf(it.key()) < 0) {
            // Hidden first, so a drag of it ends while the card is whole; gone once the event
            // that brought the news has been handled.
            it.value()->hide();
            it.value()->deleteLater();
            it = m_cards.erase(it);
            continue;
        }
        it.value()->hide();
        ++it;
    }
    m_order = order;
    layoutCards();
    updateSelection();
    m_content->update();
}

void WindowGrid::layoutCards()
{
    const int width = viewport()->width();
    m_layout = SuperPanelRules::gridLayout(width);
    const int count = int(m_order.size());
    const int height = std::max(viewport()->height(), int(std::ceil(m_layout.height(count))));
    m_content->resize(width, height);
    for (int row = 0; row < count; ++row) {
        if (GlobalWindowCard *card = m_cards.value(m_order.at(row)))
            placeCard(card, row);
    }
    buildVisibleCards();
}

void WindowGrid::placeCard(GlobalWindowCard *card, int row)
{
    const QRectF rect = m_layout.cardRect(row);
    card->setCardSize(rect.size().toSize());
    card->setBasePosition(rect.topLeft().toPoint());
    card->show();
}

void WindowGrid::buildVisibleCards()
{
    // Cards are built as they come near the visible part (half a screen above, one below), so a
    // list of hundreds of windows opens as fast as one of a screenful; once built a card stays.
    const int top = verticalScrollBar()->value();
    const int height = viewport()->height();
    QRectF band(viewport()->rect());
    band.moveTop(top - height / 2.0);
    band.setHeight(height * 2.5);
    const FilteredWindowModel &model = m_state.filteredModel();
    const int selected = m_state.selectedIndex();
    for (int row = 0; row < m_order.size() && row < model.rowCount(); ++row) {
        const qint64 id = m_order.at(row);
        if (m_cards.contains(id) || !m_layout.cardRect(row).intersects(band))
            continue;
        const AppWindowModel &window = model.windowAt(row);
        if (window.id != id)
            continue; // the rows changed; the pending sync builds it
        GlobalWindowCard *card = makeCard(window);
        m_cards.insert(id, card);
        card->setSelected(row == selected);
        placeCard(card, row);
    }
    reportCardsInView();
}

void WindowGrid::reportCardsInView()
{
    const auto &report = m_state.actions().cardsInView;
    if (!report)
        return;
    QRectF view(viewport()->rect());
    view.moveTop(verticalScrollBar()->value());
    QList<qint64> inView;
    for (int row = 0; row < m_order.size(); ++row) {
        if (m_layout.cardRect(row).intersects(view))
            inView.append(m_order.at(row));
    }
    if (inView == m_reportedInView)
        return;
    m_reportedInView = inView;
    if (!inView.isEmpty())
        report(inView);
}

void WindowGrid::updateSelection()
{
    const int selected = m_state.selectedIndex();
    for (int row = 0; row < m_order.size(); ++row) {
        if (GlobalWindowCard *card = m_cards.value(m_order.at(row)))
            card->setSelected(row == selected);
    }
}

void WindowGrid::scrollToTrigger(qint64 windowId)
{
    const int row = rowOf(windowId);
    if (row < 0)
        return;
    QScrollBar *bar = verticalScrollBar();
    const QRectF card = m_layout.cardRect(row);
    const int target =
        std::clamp(int(card.center().y() - viewport()->height() / 2.0), bar->minimum(), bar->maximum());
    const int from = bar->value();
    if (target == from)
        return;
    // Run until the spring has settled, so the scroll comes to rest on the card instead of
    // snapping to it.
    constexpr double response = 0.3, damping = 0.7;
    m_scrollAnimation.start(0, 1, springSettlingTime(response, damping), Animation::spring(response, damping),
                            [bar, from, target](double progress) {
                                bar->setValue(int(std::lround(from + (target - from) * progress)));
                            });
}

void WindowGrid::resizeEvent(QResizeEvent *event)
{
    QScrollArea::resizeEvent(event);
    m_state.updateGridColumns(viewport()->width());
    layoutCards();
}

} // namespace qv
