#include "views/superpanel/clipboardshelfcolumn.h"

#include <QAbstractButton>
#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include "clipboard/clipboardhistorymodel.h"
#include "clipboard/clipboardmanager.h"
#include "core/color.h"
#include "shelf/appkitdropzone.h"
#include "shelf/fileshelfmanager.h"
#include "shelf/shelflistmodel.h"
#include "ui/symbols.h"
#include "ui/theme.h"
#include "views/items/clipboarditemview.h"
#include "views/items/expandedshelfcard.h"
#include "views/items/filedrag.h"
#include "views/items/shelfitemview.h"
#include "views/superpanel/clipboardpreviewbubble.h"
#include "views/superpanel/columnrules.h"
#include "views/superpanel/columnstate.h"
#include "views/superpanel/lazyitemgrid.h"
#include "views/superpanel/superpanelstate.h"

namespace qv {

namespace {

QColor withAlpha(QColor color, double alpha)
{
    color.setAlphaF(float(alpha));
    return color;
}

// A header button that is one symbol, optionally on a tinted rounded square (the gallery button).
class HeaderButton : public QAbstractButton
{
public:
    HeaderButton(const QString &symbol, int symbolSize, const QColor &color, bool tile, QWidget *parent)
        : QAbstractButton(parent), m_symbol(symbol), m_symbolSize(symbolSize), m_color(color), m_tile(tile)
    {
        setFixedSize(24, 24);
        setFocusPolicy(Qt::NoFocus);
        setCursor(Qt::PointingHandCursor);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        if (m_tile) {
            QPainterPath shape;
            shape.addRoundedRect(QRectF(rect()), 6, 6);
            painter.fillPath(shape, withAlpha(m_color, 0.15));
        }
        const QRectF box(QPointF(rect().center()) - QPointF(m_symbolSize / 2.0, m_symbolSize / 2.0),
                         QSizeF(m_symbolSize, m_symbolSize));
        painter.drawPixmap(box, Symbols::pixmap(m_symbol, m_symbolSize, m_color, devicePixelRatioF()),
                           QRectF());
    }

private:
    QString m_symbol;
    int m_symbolSize;
    QColor m_color;
    bool m_tile;
};

// The strip at the top of a section: symbol, title, then its buttons on the right.
class SectionHeader : public QWidget
{
public:
    SectionHeader(const QString &symbol, const QColor &accent, const QString &title,
                  std::function<QColor()> background, QWidget *parent)
        : QWidget(parent), m_background(std::move(background))
    {
        auto *row = new QHBoxLayout(this);
        row->setContentsMargins(16, 16, 16, 16);
        auto *icon = new QLabel(this);
        icon->setPixmap(Symbols::pixmap(symbol, 16, accent, devicePixelRatioF()));
        row->addWidget(icon);
        auto *label = new QLabel(title, this);
        label->setFont(Theme::systemFont(13, QFont::DemiBold));
        label->setStyleSheet(QStringLiteral("color: white;"));
        row->addWidget(label);
        row->addStretch(1);
        m_buttons = row;
    }
    void addButton(QWidget *button) { m_buttons->addWidget(button); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), m_background());
    }

private:
    std::function<QColor()> m_background;
    QHBoxLayout *m_buttons = nullptr;
};

// A history row that drags out its shown text.
class ColumnClipboardRow : public ClipboardItemView
{
public:
    ColumnClipboardRow(SuperPanelState &panel, const ClipboardItem &item, ActiveItemID &activeItemID,
                       SettingsStore &settings, Actions actions, AgeClock &ages, QWidget *parent)
        : ClipboardItemView(item, activeItemID, settings, std::move(actions), ages, parent), m_panel(panel)
    {
    }

protected:
    void dragStarted() override
    {
        ClipboardShelfColumn::dragOutOfPanel(this, ClipboardShelfColumn::clipboardDragData(item()), QImage(),
                                             m_panel);
    }

private:
    SuperPanelState &m_panel;
};

// A shelf tile that opens on a double click, drags its file out and offers the shelf menu.
class ColumnShelfTile : public ShelfItemView
{
public:
    ColumnShelfTile(const ShelfItem &item, SuperPanelColumnState &state, FileShelfManager &shelf,
                    Pasteboard &pasteboard, AgeClock &ages, QWidget *parent)
        : ShelfItemView(
              item,
              [&state, item] { state.previewShelfItem(item, SuperPanelColumnState::ShelfEye::columnTile); },
              [&shelf, item] { ExpandedShelfCard::removeItem(shelf, item); }, ages, parent),
          m_state(state), m_shelf(shelf), m_pasteboard(pasteboard)
    {
    }

protected:
    void bodyDoubleClicked() override { m_state.openShelfURL(item().url, false); }
    // No drag-out watch: a tile dragged out of the panel stays on the shelf.
    void dragStarted() override
    {
        ClipboardShelfColumn::dragOutOfPanel(this, ExpandedShelfCard::dragData(item()),
                                             item().thumbnail.image(), m_state.panel());
    }
    void contextMenuEvent(QContextMenuEvent *event) override
    {
        SuperPanelColumnState *state = &m_state;
        const QUrl url = item().url;
        // Not a child of the tile: Remove takes the tile away while the menu is still open.
        std::unique_ptr<QMenu> menu(ExpandedShelfCard::shelfMenu(
            nullptr, item(), m_shelf, m_pasteboard, [state, url] { state->openShelfURL(url, false); },
            [state, url] { state->openShelfURL(url, true); }, true));
        runMenu(*menu, event->globalPos());
    }

private:
    SuperPanelColumnState &m_state;
    FileShelfManager &m_shelf;
    Pasteboard &m_pasteboard;
};

// The shelf's body: a cyan tint while a drag targets the shelf, and the drop hint while it is
// empty (the grid covers it otherwise).
class ShelfBody : public QWidget
{
public:
    ShelfBody(SuperPanelColumnState &state, ShelfListModel &shelf, QWidget *parent)
        : QWidget(parent), m_state(state), m_shelf(shelf)
    {
    }
    QString hintText() const
    {
        if (m_shelf.rowCount() > 0)
            return {};
        return m_state.isTargetingShelf() ? QStringLiteral("Release to Drop")
                                          : QStringLiteral("Drop Files Here");
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        const bool targeting = m_state.isTargetingShelf();
        if (targeting)
            painter.fillRect(rect(), withAlpha(Color::neonCyan(), 0.1));
        const QString hint = hintText();
        if (hint.isEmpty())
            return;
        const QColor symbolColor = targeting ? Color::neonCyan() : Theme::white(0.2);
        const QColor textColor = targeting ? Color::neonCyan() : Theme::white(0.4);
        const QFont font = Theme::systemFont(12);
        const double textHeight = QFontMetricsF(font).height();
        const double top = (height() - 40 - 12 - textHeight) / 2;
        painter.drawPixmap(
            QRectF(width() / 2.0 - 20, top, 40, 40),
            Symbols::pixmap(QStringLiteral("arrow.down.doc.fill"), 40, symbolColor, devicePixelRatioF()),
            QRectF());
        painter.setFont(font);
        painter.setPen(textColor);
        painter.drawText(QRectF(0, top + 52, width(), textHeight), Qt::AlignCenter, hint);
    }

private:
    SuperPanelColumnState &m_state;
    ShelfListModel &m_shelf;
};

} // namespace

ClipboardShelfColumn::ClipboardShelfColumn(SuperPanelColumnState &state, Services services, QWidget *parent)
    : QWidget(parent), m_state(state), m_services(std::move(services))
{
    setObjectName(QStringLiteral("clipboardShelfColumn"));
    m_clipboardSection = buildClipboardSection();
    m_shelfSection = buildShelfSection();
    FileShelfManager *shelf = &m_services.shelfManager;
    m_dropZone = new AppKitDropZone(
        m_services.scheduler, [shelf](const DropData &drop) { return shelf->handleDrop(drop); },
        m_shelfSection, this);
    connect(m_dropZone, &AppKitDropZone::isTargetingChanged, this,
            [this] { m_state.setTargetingShelf(m_dropZone->isTargeting()); });
    connect(&state, &SuperPanelColumnState::targetingShelfChanged, this, [this] {
        m_shelfHeader->update();
        m_shelfBody->update();
    });
    m_bubble = new ClipboardPreviewBubble(state, m_services.settings, m_services.decodeQueue,
                                          m_services.scheduler, this);
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(&m_services.shelf, signal, this, &ClipboardShelfColumn::updateShelfState);
    connect(&m_services.shelf, &QAbstractItemModel::modelReset, this,
            &ClipboardShelfColumn::updateShelfState);
    updateShelfState();
}

bool ClipboardShelfColumn::dragOutOfPanel(QWidget *source, QMimeData *data, const QImage &picture,
                                          SuperPanelState &panel)
{
    // The source may be gone once the drag returns; the panel state outlives it.
    const bool taken = FileDrag::run(source, data, picture, [&panel] { panel.stepAsideForDrag(); });
    panel.dragOutEnded(taken);
    return taken;
}

QMimeData *ClipboardShelfColumn::clipboardDragData(const ClipboardItem &item)
{
    auto *data = new QMimeData;
    data->setText(item.text);
    return data;
}

QWidget *ClipboardShelfColumn::buildClipboardSection()
{
    auto *section = new QWidget(this);
    auto *stack = new QVBoxLayout(section);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);
    auto *header = new SectionHeader(
        QStringLiteral("clipboard"), Color::neonGreen(), QStringLiteral("Clipboard"),
        [] { return Theme::white(0.05); }, section);
    auto *gallery = new HeaderButton(QStringLiteral("arrow.up.backward.and.arrow.down.forward"), 11,
                                     Color::neonGreen(), true, header);
    gallery->setToolTip(QStringLiteral("Open Clipboard Gallery"));
    connect(gallery, &QAbstractButton::clicked, this,
            [this] { m_state.panel().setExpandedSection(SuperPanelState::ExpandedSection::clipboard); });
    header->addButton(gallery);
    // Always there, even over an empty history, and without a question.
    auto *clear = new HeaderButton(QStringLiteral("trash"), 12, Theme::white(0.55), false, header);
    connect(clear, &QAbstractButton::clicked, this, [this] { m_services.clipboardManager.clearHistory(); });
    header->addButton(clear);
    m_clipboardGallery = gallery;
    m_clipboardClear = clear;
    stack->addWidget(header);

    LazyItemGrid::Metrics metrics;
    metrics.cellHeight = 48;
    metrics.minCellWidth = 0;
    metrics.spacing = 0;
    metrics.rowSpacing = ColumnRules::listSpacing + ColumnRules::separatorBlock;
    metrics.padding = ColumnRules::listPadding;
    metrics.separators = true;
    m_clipboardList = new LazyItemGrid(
        m_services.clipboard, ClipboardHistoryModel::IdRole, metrics,
        [this](int row, QWidget *parent) { return makeClipboardRow(row, parent); }, section);
    // Scrolling moves rows without moving them in their parent; their eyes are measured again.
    m_clipboardList->animateChanges(m_services.scheduler);
    m_clipboardList->setOnPlaced(
        [](QWidget *cell) { static_cast<ClipboardItemView *>(cell)->updateEyeFrame(); });
    stack->addWidget(m_clipboardList, 1);
    return section;
}

QWidget *ClipboardShelfColumn::makeClipboardRow(int row, QWidget *parent)
{
    const ClipboardItem item = m_services.clipboard.itemAt(row);
    ClipboardManager *manager = &m_services.clipboardManager;
    SuperPanelColumnState *state = &m_state;
    ClipboardItemView::Actions actions;
    actions.onCopy = [manager, item] { manager->copyToPasteboard(item); };
    actions.onDelete = [manager, item] { manager->deleteItem(item); };
    actions.onShowPreview = [this, state, item](const QRectF &eye) {
        state->setColumnTop(mapTo(window(), QPoint(0, 0)).y());
        state->showClipboardPreview(item, eye);
    };
    actions.onEyeLeave = [state, id = item.id] { state->scheduleClipboardPreviewHide(id); };
    return new ColumnClipboardRow(m_state.panel(), item, m_state.activeItemID(), m_services.settings,
                                  std::move(actions), m_services.ages, parent);
}

QWidget *ClipboardShelfColumn::buildShelfSection()
{
    auto *section = new QWidget;
    auto *stack = new QVBoxLayout(section);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);
    SuperPanelColumnState *state = &m_state;
    auto *header = new SectionHeader(
        QStringLiteral("shippingbox.fill"), Color::neonCyan(), QStringLiteral("Shelf"),
        [state] {
            return state->isTargetingShelf() ? withAlpha(Color::neonCyan(), 0.3) : Theme::white(0.05);
        },
        section);
    auto *gallery = new HeaderButton(QStringLiteral("arrow.up.backward.and.arrow.down.forward"), 11,
                                     Color::neonCyan(), true, header);
    gallery->setToolTip(QStringLiteral("Open Shelf Gallery"));
    connect(gallery, &QAbstractButton::clicked, this,
            [this] { m_state.panel().setExpandedSection(SuperPanelState::ExpandedSection::shelf); });
    header->addButton(gallery);
    auto *clear = new HeaderButton(QStringLiteral("xmark.bin"), 12, Theme::white(0.55), false, header);
    connect(clear, &QAbstractButton::clicked, this, [this] {
        // Pinned items go too: this is the whole shelf.
        m_services.shelfManager.clearShelf();
        m_services.shelfManager.cleanupOrphanedFiles();
    });
    header->addButton(clear);
    m_shelfGallery = gallery;
    m_shelfClear = clear;
    m_shelfHeader = header;
    stack->addWidget(header);

    auto *body = new ShelfBody(m_state, m_services.shelf, section);
    auto *bodyStack = new QVBoxLayout(body);
    bodyStack->setContentsMargins(0, 0, 0, 0);
    LazyItemGrid::Metrics metrics;
    metrics.cellHeight = ShelfItemView(ShelfItem(), {}, {}, m_services.ages).sizeHint().height();
    metrics.minCellWidth = ColumnRules::tileMinWidth;
    metrics.spacing = ColumnRules::tileSpacing;
    metrics.rowSpacing = ColumnRules::tileSpacing;
    metrics.padding = ColumnRules::listPadding;
    m_shelfGrid = new LazyItemGrid(
        m_services.shelf, ShelfListModel::IdRole, metrics,
        [this](int row, QWidget *parent) { return makeShelfTile(row, parent); }, body);
    m_shelfGrid->animateChanges(m_services.scheduler);
    bodyStack->addWidget(m_shelfGrid);
    m_shelfBody = body;
    stack->addWidget(body, 1);
    return section;
}

QWidget *ClipboardShelfColumn::makeShelfTile(int row, QWidget *parent)
{
    return new ColumnShelfTile(m_services.shelf.itemAt(row), m_state, m_services.shelfManager,
                               m_services.pasteboard, m_services.ages, parent);
}

void ClipboardShelfColumn::updateShelfState()
{
    const bool empty = m_services.shelf.rowCount() == 0;
    m_shelfClear->setVisible(!empty);
    m_shelfGrid->setVisible(!empty);
    m_shelfBody->update();
}

QString ClipboardShelfColumn::dropHintText() const
{
    return static_cast<ShelfBody *>(m_shelfBody)->hintText();
}

void ClipboardShelfColumn::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // The desktop reserves nothing at the column's bottom: no safe-area insets on this system.
    const ColumnRules::Split split = ColumnRules::split(height(), QMarginsF());
    const int w = width();
    int y = int(split.top);
    m_clipboardSection->setGeometry(0, y, w, int(split.clipboard));
    y += int(split.clipboard) + int(split.divider);
    m_dropZone->setGeometry(0, y, w, int(split.shelf));
    m_bubble->raise();
}

void ClipboardShelfColumn::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QRect clip = m_clipboardSection->geometry();
    painter.fillRect(QRect(0, clip.bottom() + 1, width(), 1), Theme::white(0.15));
}

} // namespace qv
