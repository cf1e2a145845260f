#include "views/superpanel/superpanelgallery.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QVBoxLayout>

#include "clipboard/clipboardhistorymodel.h"
#include "clipboard/clipboardmanager.h"
#include "core/color.h"
#include "shelf/shelflistmodel.h"
#include "ui/dockglassbackground.h"
#include "ui/symbols.h"
#include "ui/theme.h"
#include "views/edgepopup/edgepopupstate.h"
#include "views/edgepopup/edgepreviewlayer.h"
#include "views/items/expandedclipboardcard.h"
#include "views/items/expandedshelfcard.h"
#include "views/items/itemrules.h"
#include "views/superpanel/columnrules.h"
#include "views/superpanel/columnstate.h"
#include "views/superpanel/lazyitemgrid.h"
#include "views/superpanel/superpanelstate.h"
#include "views/superpanel/symbolbutton.h"

namespace qv {

namespace {
constexpr double glassBlur = 40;
constexpr double glassOpacity = 0.95;
constexpr int cardSpacing = 20;
} // namespace

SuperPanelGallery::SuperPanelGallery(SuperPanelColumnState &state, ClipboardShelfColumn::Services services,
                                     QWidget *parent)
    : QWidget(parent), m_state(state), m_services(std::move(services))
{
    setObjectName(QStringLiteral("superPanelGallery"));
    m_panel = new QWidget(this);
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
            return new ExpandedShelfCard(
                item, [columnState, item] { columnState->showGalleryShelfPreview(item); },
                [columnState, item] { columnState->openShelfURL(item.url, false); },
                [columnState, item] { columnState->openShelfURL(item.url, true); }, m_services.shelfManager,
                m_services.pasteboard, m_services.ages, parent);
        },
        m_panel);
    stack->addWidget(m_shelfGrid, 1);

    EdgePopupActions previewActions;
    // Nothing here previews a stored link: its page opens instead.
    previewActions.openShelfItem = [columnState = &m_state](const ShelfItem &item) {
        columnState->openShelfURL(ItemRules::openTarget(item), false);
    };
    m_previewState = std::make_unique<EdgePopupState>(std::move(previewActions));
    m_previewLayer = new EdgePreviewLayer(*m_previewState, m_services.icons, m_services.decodeQueue,
                                          m_services.scheduler, this);
    connect(m_previewState.get(), &EdgePopupState::previewChanged, this, [this] {
        // Closed from inside the layer (its close button or its dim): the state follows.
        if (!m_previewState->edgePreviewURL())
            m_state.closeShelfPreview();
        if (!m_previewState->edgeClipPreviewItem())
            m_state.closeGalleryClipPreview();
        follow();
    });
    connect(&state, &SuperPanelColumnState::shelfPreviewChanged, this, &SuperPanelGallery::followPreviews);
    connect(&state, &SuperPanelColumnState::clipPreviewChanged, this, &SuperPanelGallery::followPreviews);
    connect(&state.panel(), &SuperPanelState::expandedSectionChanged, this, &SuperPanelGallery::follow);
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(&m_services.clipboard, signal, this, &SuperPanelGallery::rebuildClipboard);
    connect(&m_services.clipboard, &QAbstractItemModel::rowsMoved, this,
            &SuperPanelGallery::rebuildClipboard);
    connect(&m_services.clipboard, &QAbstractItemModel::modelReset, this,
            &SuperPanelGallery::rebuildClipboard);
    connect(&m_services.clipboard, &QAbstractItemModel::dataChanged, this,
            &SuperPanelGallery::rebuildClipboard);
    follow();
}

SuperPanelGallery::~SuperPanelGallery()
{
    delete m_previewLayer;
}

bool SuperPanelGallery::isGalleryShown() const
{
    return m_state.panel().expandedSection().has_value();
}

QString SuperPanelGallery::titleText() const
{
    return static_cast<QLabel *>(m_title)->text();
}

void SuperPanelGallery::followPreviews()
{
    const auto shelfItem = m_state.galleryPreviewItem();
    if (shelfItem) {
        if (m_previewState->edgePreviewURL() != shelfItem->url)
            m_previewState->previewShelfItem(*shelfItem);
    } else if (m_previewState->edgePreviewURL()) {
        m_previewState->closeFilePreview();
    }
    const auto clip = m_state.galleryClipPreviewItem();
    if (clip) {
        if (!m_previewState->edgeClipPreviewItem() || m_previewState->edgeClipPreviewItem()->id != clip->id)
            m_previewState->previewClip(*clip);
    } else if (m_previewState->edgeClipPreviewItem()) {
        m_previewState->closeClipPreview();
    }
    follow();
}

void SuperPanelGallery::follow()
{
    const auto section = m_state.panel().expandedSection();
    const bool shelf = section == SuperPanelState::ExpandedSection::shelf;
    m_panel->setVisible(section.has_value());
    if (section) {
        static_cast<QLabel *>(m_icon)->setPixmap(
            Symbols::pixmap(shelf ? QStringLiteral("shippingbox.fill") : QStringLiteral("clipboard"), 18,
                            shelf ? Color::neonCyan() : Color::neonGreen(), devicePixelRatioF()));
        static_cast<QLabel *>(m_title)->setText(shelf ? QStringLiteral("Shelf Gallery")
                                                      : QStringLiteral("Clipboard Gallery"));
        m_clipScroll->setVisible(!shelf);
        m_shelfGrid->setVisible(shelf);
        if (!shelf)
            rebuildClipboard();
    }
    setVisible(section.has_value() || m_previewLayer->isShown());
    if (isVisible()) {
        raise();
        place();
        m_previewLayer->setGeometry(rect());
        m_previewLayer->raise();
    }
    update();
}

void SuperPanelGallery::rebuildClipboard()
{
    if (m_state.panel().expandedSection() != SuperPanelState::ExpandedSection::clipboard)
        return;
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
                [columnState, item] { columnState->showGalleryClipPreview(item); }, m_services.settings,
                m_services.decodeQueue, m_services.ages, m_clipContent);
            column->addWidget(card);
            (items == &split.left ? m_left : m_right).append(card);
        }
        column->addStretch(1);
        columns->addLayout(column, 1);
    }
    m_clipScroll->setWidget(m_clipContent);
    m_clipContent->setAutoFillBackground(false);
}

QRect SuperPanelGallery::panelFrame() const
{
    const QSize size = maxPanelSize.boundedTo(this->size());
    return {QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size};
}

void SuperPanelGallery::place()
{
    m_panel->setGeometry(panelFrame());
}

void SuperPanelGallery::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    place();
    m_previewLayer->setGeometry(rect());
}

void SuperPanelGallery::paintEvent(QPaintEvent *)
{
    if (!isGalleryShown())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), Theme::black(0.01));
    const QRectF frame = QRectF(panelFrame()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath shape;
    shape.addRoundedRect(frame, 20, 20);
    // A soft shadow below the panel.
    for (int i = 1; i <= 6; ++i) {
        QPainterPath ring;
        ring.addRoundedRect(frame.translated(0, 15).adjusted(-i * 4, -i * 4, i * 4, i * 4), 20 + i * 4,
                            20 + i * 4);
        painter.fillPath(ring, Theme::black(0.5 / 12));
    }
    DockGlassBackground::paint(painter, shape, glassBlur, false, glassOpacity);
    painter.save();
    painter.setClipPath(shape);
    painter.fillRect(QRectF(frame.left(), frame.top(), frame.width(), m_header->height()),
                     Theme::white(0.05));
    painter.restore();
    painter.setPen(QPen(Theme::white(0.15), 1));
    painter.drawPath(shape);
}

void SuperPanelGallery::mousePressEvent(QMouseEvent *event)
{
    event->accept();
    if (isGalleryShown() && !panelFrame().contains(event->position().toPoint()))
        m_state.panel().setExpandedSection(std::nullopt);
}

} // namespace qv
