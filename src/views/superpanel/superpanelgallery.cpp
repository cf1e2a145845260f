#include "views/superpanel/superpanelgallery.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScrollArea>
#include <QVBoxLayout>

#include "clipboard/clipboardhistorymodel.h"
#include "clipboard/clipboardmanager.h"
#include "core/color.h"
#include "shelf/shelflistmodel.h"
#include "ui/spring.h"
#include "ui/symbols.h"
#include "ui/theme.h"
#include "views/items/expandedclipboardcard.h"
#include "views/items/expandedshelfcard.h"
#include "views/superpanel/columnrules.h"
#include "views/superpanel/columnstate.h"
#include "views/superpanel/gallerypreviewlayer.h"
#include "views/superpanel/glasspanelview.h"
#include "views/superpanel/lazyitemgrid.h"
#include "views/superpanel/superpanelstate.h"
#include "views/superpanel/symbolbutton.h"

namespace qv {

namespace {
constexpr double glassBlur = 40;
constexpr double glassOpacity = 0.95;
constexpr double cornerRadius = 20;
constexpr int cardSpacing = 20;
constexpr double enterScale = 0.95;
// The gallery buttons open with a softer spring than the one every closing uses.
constexpr double openResponse = 0.4;
constexpr double openDamping = 0.8;
constexpr double springResponse = ColumnRules::springResponse;
constexpr double springDamping = ColumnRules::springDamping;
} // namespace

SuperPanelGallery::SuperPanelGallery(SuperPanelColumnState &state, ClipboardShelfColumn::Services services,
                                     QWidget *parent)
    : QWidget(parent), m_state(state), m_services(std::move(services)),
      m_transition(m_services.scheduler, *this), m_reflow(m_services.scheduler)
{
    setObjectName(QStringLiteral("superPanelGallery"));
    GlassPanelView::Look look;
    look.blurAmount = glassBlur;
    look.opacity = glassOpacity;
    look.cornerRadius = cornerRadius;
    auto *panel = new GlassPanelView(look, this);
    m_panel = panel;
    auto *stack = new QVBoxLayout(m_panel);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);
    auto *header = new QWidget(m_panel);
    auto *row = new QHBoxLayout(header);
    row->setContentsMargins(20, 20, 20, 20);
    auto *icon = new QLabel(header);
    auto *title = new QLabel(header);
    title->setFont(Theme::systemFont(18, QFont::Bold));
    title->setStyleSheet(QStringLiteral("color: white;"));
    row->addWidget(icon);
    row->addWidget(title);
    row->addStretch(1);
    auto *close = new SymbolButton(QStringLiteral("xmark.circle.fill"), 20, Theme::white(0.5), 2,
                                   SymbolButton::Face::bare(), header);
    connect(close, &QAbstractButton::clicked, this,
            [this] { m_state.panel().setExpandedSection(std::nullopt); });
    row->addWidget(close);
    m_header = header;
    m_icon = icon;
    m_title = title;
    m_close = close;
    stack->addWidget(header);
    panel->setHeader(header);

    m_clipScroll = new QScrollArea(m_panel);
    m_clipScroll->setFrameShape(QFrame::NoFrame);
    m_clipScroll->setWidgetResizable(true);
    m_clipScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_clipScroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_clipScroll->viewport()->setAutoFillBackground(false);
    stack->addWidget(m_clipScroll, 1);

    LazyItemGrid::Metrics metrics;
    metrics.cellHeight = ExpandedShelfCard(ShelfItem(), {}, {}, {}, m_services.shelfManager,
                                           m_services.pasteboard, m_services.ages)
                             .sizeHint()
                             .height();
    metrics.minCellWidth = 160;
    metrics.spacing = 24;
    metrics.rowSpacing = 24;
    metrics.padding = 20;
    m_shelfGrid = new LazyItemGrid(
        m_services.shelf, ShelfListModel::IdRole, metrics,
        [this](int row, QWidget *parent) -> QWidget * {
            const ShelfItem item = m_services.shelf.itemAt(row);
            SuperPanelColumnState *columnState = &m_state;
            auto *card = new ExpandedShelfCard(
                item,
                [columnState, item] {
                    columnState->previewShelfItem(item, SuperPanelColumnState::ShelfEye::galleryCard);
                },
                [columnState, item] { columnState->openShelfURL(item.url, false); },
                [columnState, item] { columnState->openShelfURL(item.url, true); }, m_services.shelfManager,
                m_services.pasteboard, m_services.ages, parent);
            card->setDragRun(
                [panel = &m_state.panel()](QWidget *source, QMimeData *data, const QImage &picture) {
                    return ClipboardShelfColumn::dragOutOfPanel(source, data, picture, *panel);
                });
            return card;
        },
        m_panel);
    m_shelfGrid->animateChanges(m_services.scheduler);
    stack->addWidget(m_shelfGrid, 1);

    m_shelfPreview = new GalleryPreviewLayer(GalleryPreviewLayer::Member::shelfFile, state, m_services.icons,
                                             m_services.decodeQueue, this);
    // Created last: the clipboard item's preview lies above the shelf file's.
    m_clipPreview = new GalleryPreviewLayer(GalleryPreviewLayer::Member::clipboard, state, m_services.icons,
                                            m_services.decodeQueue, this);
    for (GalleryPreviewLayer *layer : {m_shelfPreview, m_clipPreview})
        connect(layer, &GalleryPreviewLayer::hidden, this, &SuperPanelGallery::updateVisibility);
    connect(&state.previews(), &PreviewLayerState::changed, this, &SuperPanelGallery::followPreviews);
    connect(&state.panel(), &SuperPanelState::expandedSectionChanged, this, &SuperPanelGallery::follow);
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(&m_services.clipboard, signal, this, &SuperPanelGallery::rebuildClipboard);
    connect(&m_services.clipboard, &QAbstractItemModel::rowsMoved, this,
            &SuperPanelGallery::rebuildClipboard);
    connect(&m_services.clipboard, &QAbstractItemModel::modelReset, this,
            &SuperPanelGallery::rebuildClipboard);
    connect(&m_services.clipboard, &QAbstractItemModel::dataChanged, this,
            &SuperPanelGallery::rebuildClipboard);
    m_panel->hide();
    hide();
    follow();
}

bool SuperPanelGallery::isGalleryShown() const
{
    return m_state.panel().expandedSection().has_value();
}

QString SuperPanelGallery::titleText() const
{
    return static_cast<QLabel *>(m_title)->text();
}

void SuperPanelGallery::follow()
{
    const auto section = m_state.panel().expandedSection();
    const bool shelf = section == SuperPanelState::ExpandedSection::shelf;
    if (section) {
        static_cast<QLabel *>(m_icon)->setPixmap(
            Symbols::pixmap(shelf ? QStringLiteral("shippingbox.fill") : QStringLiteral("clipboard"), 18,
                            shelf ? Color::neonCyan() : Color::neonGreen(), devicePixelRatioF()));
        static_cast<QLabel *>(m_title)->setText(shelf ? QStringLiteral("Shelf Gallery")
                                                      : QStringLiteral("Clipboard Gallery"));
        m_clipScroll->setVisible(!shelf);
        m_shelfGrid->setVisible(shelf);
    }
    // Springs play only over a panel on screen.
    const bool animated = parentWidget() ? parentWidget()->isVisible() : isVisible();
    if (section && !m_open) {
        m_open = true;
        updateVisibility();
        place();
        m_panel->show();
        m_panel->layout()->activate();
        if (!shelf)
            rebuildClipboard();
        if (animated)
            m_transition.enter(*m_panel, enterScale, openResponse, openDamping);
    } else if (!section && m_open) {
        m_open = false;
        if (animated && (!m_panel->isHidden() || m_transition.isRunning())) {
            m_transition.leave(*m_panel, enterScale, springResponse, springDamping,
                               [this] { updateVisibility(); });
        } else {
            m_transition.cancel();
            m_panel->hide();
        }
    } else if (section && !shelf && m_shownSection != section) {
        rebuildClipboard();
    }
    m_shownSection = section;
    followPreviews();
}

void SuperPanelGallery::followPreviews()
{
    updateVisibility();
    m_shelfPreview->follow();
    m_clipPreview->follow();
    updateMask();
    update();
}

void SuperPanelGallery::setWindowArea(const QRect &area)
{
    if (area == m_windowArea)
        return;
    m_windowArea = area;
    place();
    updateMask();
    update();
}

void SuperPanelGallery::updateMask()
{
    // A preview dims the whole screen; the gallery alone leaves the columns to the pointer.
    if (m_windowArea && m_shelfPreview->isHidden() && m_clipPreview->isHidden())
        setMask(*m_windowArea);
    else
        clearMask();
}

void SuperPanelGallery::updateVisibility()
{
    updateMask();
    const PreviewLayerState &previews = m_state.previews();
    const bool needed = m_open || m_transition.isRunning() || previews.galleryPreviewItem() ||
                        previews.galleryClipPreviewItem() || !m_shelfPreview->isHidden() ||
                        !m_clipPreview->isHidden();
    if (needed != isHidden())
        return;
    setVisible(needed);
    if (needed) {
        raise();
        place();
    }
}

void SuperPanelGallery::rebuildClipboard()
{
    if (m_state.panel().expandedSection() != SuperPanelState::ExpandedSection::clipboard)
        return;
    // Where each card stood, so the ones that stay spring to their new places.
    QHash<QUuid, QPoint> before;
    for (const QList<QWidget *> *cards : {&m_left, &m_right}) {
        for (QWidget *card : *cards)
            before.insert(static_cast<ExpandedClipboardCard *>(card)->item().id, card->pos());
    }
    m_reflow.cancel();
    // A card may be deleting its own item right now: old cards go on a later turn.
    if (m_clipContent) {
        m_clipContent->hide();
        m_clipContent->deleteLater();
    }
    m_left.clear();
    m_right.clear();
    m_clipContent = new QWidget;
    auto *columns = new QHBoxLayout(m_clipContent);
    columns->setContentsMargins(cardSpacing, cardSpacing, cardSpacing, cardSpacing);
    columns->setSpacing(cardSpacing);
    const auto split = ColumnRules::galleryColumns(m_services.clipboard.items());
    for (const QList<ClipboardItem> *items : {&split.left, &split.right}) {
        auto *column = new QVBoxLayout;
        column->setSpacing(cardSpacing);
        for (const ClipboardItem &item : *items) {
            ClipboardManager *manager = &m_services.clipboardManager;
            SuperPanelColumnState *columnState = &m_state;
            auto *card = new ExpandedClipboardCard(
                item, [manager, item] { manager->copyToPasteboard(item); },
                [manager, item] { manager->deleteItem(item); },
                [columnState, item] { columnState->previews().openGalleryClipPreview(item); },
                m_services.settings, m_services.decodeQueue, m_services.ages, m_clipContent);
            column->addWidget(card);
            (items == &split.left ? m_left : m_right).append(card);
        }
        column->addStretch(1);
        columns->addLayout(column, 1);
    }
    m_clipScroll->setWidget(m_clipContent);
    m_clipContent->setAutoFillBackground(false);
    if (isVisible() && !before.isEmpty())
        springCardsFrom(before);
}

void SuperPanelGallery::springCardsFrom(const QHash<QUuid, QPoint> &before)
{
    m_clipContent->layout()->activate();
    struct Move
    {
        QPointer<QWidget> card;
        QPoint from;
        QPoint to;
    };
    auto moves = std::make_shared<QList<Move>>();
    for (const QList<QWidget *> *cards : {&m_left, &m_right}) {
        for (QWidget *card : *cards) {
            const auto from = before.constFind(static_cast<ExpandedClipboardCard *>(card)->item().id);
            if (from != before.constEnd() && *from != card->pos())
                moves->append({card, *from, card->pos()});
        }
    }
    if (moves->isEmpty())
        return;
    // The columns hold still while the cards travel; they place them again at the end.
    m_clipContent->layout()->setEnabled(false);
    const auto step = [moves](double progress) {
        for (const Move &move : *moves) {
            if (move.card)
                move.card->move(move.from + (move.to - move.from) * progress);
        }
    };
    step(0);
    m_reflow.start(0, 1, springSettlingTime(springResponse, springDamping),
                   Animation::spring(springResponse, springDamping), step, [this] { settleCards(); });
}

void SuperPanelGallery::settleCards()
{
    QLayout *columns = m_clipContent->layout();
    columns->setEnabled(true);
    columns->invalidate();
    columns->activate();
}

QRect SuperPanelGallery::panelFrame() const
{
    const QRect area = windowArea();
    const QSize size = maxPanelSize.boundedTo(area.size());
    return {area.topLeft() + QPoint((area.width() - size.width()) / 2, (area.height() - size.height()) / 2),
            size};
}

void SuperPanelGallery::place()
{
    m_panel->setGeometry(panelFrame());
}

void SuperPanelGallery::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    place();
    for (GalleryPreviewLayer *layer : {m_shelfPreview, m_clipPreview})
        layer->setGeometry(rect());
}

void SuperPanelGallery::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    // Nothing to see: the springs stop, cards stand where they belong and a leaving gallery is gone.
    if (m_reflow.isRunning()) {
        m_reflow.cancel();
        settleCards();
    }
    if (m_transition.isRunning()) {
        m_transition.cancel();
        updateVisibility();
    }
}

void SuperPanelGallery::paintEvent(QPaintEvent *)
{
    if (!m_open && !m_transition.isRunning())
        return;
    QPainter painter(this);
    const double presence = m_transition.presence();
    painter.fillRect(windowArea(), Theme::black(0.01 * presence));
    painter.setOpacity(presence);
    Theme::paintShadow(painter, m_transition.isRunning() ? m_transition.frame() : QRectF(panelFrame()),
                       cornerRadius, 0.5, 30, 15);
    painter.setOpacity(1);
    m_transition.paint(painter);
}

void SuperPanelGallery::mousePressEvent(QMouseEvent *event)
{
    event->accept();
    if (isGalleryShown() && !panelFrame().contains(event->position().toPoint()))
        m_state.panel().setExpandedSection(std::nullopt);
}

} // namespace qv
