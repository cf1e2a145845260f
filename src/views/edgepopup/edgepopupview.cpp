#include "views/edgepopup/edgepopupview.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QSortFilterProxyModel>
#include <QVBoxLayout>

#include "clipboard/clipboardhistorymodel.h"
#include "core/color.h"
#include "core/localization.h"
#include "shelf/appkitdropzone.h"
#include "shelf/fileshelfmanager.h"
#include "shelf/shelflistmodel.h"
#include "ui/dockglassbackground.h"
#include "ui/noticeline.h"
#include "ui/scalefadeeffect.h"
#include "ui/spring.h"
#include "ui/symbols.h"
#include "ui/theme.h"
#include "views/edgepopup/edgepopupstate.h"
#include "views/edgepopup/edgepreviewlayer.h"
#include "views/edgepopup/horizontalwheelscroll.h"
#include "views/items/ageclock.h"
#include "views/items/edgeclipcard.h"
#include "views/items/edgeshelftile.h"
#include "views/items/lazyitemlist.h"

namespace qv {

namespace {

using Rules = EdgePopupState::ClipFilter;

constexpr double glassBlur = 40;
constexpr double listSpringResponse = 0.3;
constexpr double listSpringDamping = 0.7;

QPainterPath roundedPath(const QRectF &rect, double radius)
{
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    return path;
}

// The panel's glass, clipped to its rounded frame, with a faint edge. Clicks on it stop here, so
// they never reach the backdrop.
class PanelChrome : public QWidget
{
public:
    PanelChrome(double radius, QWidget *parent) : QWidget(parent), m_radius(radius) {}

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QPainterPath shape = roundedPath(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), m_radius);
        DockGlassBackground::paint(painter, shape, glassBlur);
        painter.setPen(QPen(Theme::white(0.12), 1));
        painter.drawPath(shape);
    }
    void mousePressEvent(QMouseEvent *event) override { event->accept(); }

private:
    double m_radius;
};

// One kind chip: a capsule with the kind's symbol and, unless compact and unselected, its caption.
// Selecting it moves its look (fill, ink, shadow, outline) and, on a compact chip, the caption's
// room on a spring of response 0.3 and damping 0.7, so a compact chip briefly grows past its
// size before it settles.
class FilterChip : public QAbstractButton
{
public:
    FilterChip(EdgePopupState &state, Rules filter, bool compact, Scheduler &scheduler, QWidget *parent)
        : QAbstractButton(parent), m_state(state), m_filter(filter), m_compact(compact), m_spring(scheduler)
    {
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::NoFocus);
        setText(EdgePopupRules::rawValue(filter));
        m_selection = isSelected() ? 1 : 0;
        connect(this, &QAbstractButton::clicked, this, [this] { m_state.setSelectedFilter(m_filter); });
    }

    bool isSelected() const { return m_state.selectedFilter() == m_filter; }
    bool showsCaption() const { return !m_compact || isSelected(); }

    // Follows the selection on the spring, or at once (a fresh popup).
    void followSelection(bool animated)
    {
        const double target = isSelected() ? 1 : 0;
        if (!animated) {
            m_spring.cancel();
            setSelection(target);
            return;
        }
        if (target == m_selection && !m_spring.isRunning())
            return;
        m_spring.start(m_selection, target, springSettlingTime(0.3, 0.7), Animation::spring(0.3, 0.7),
                       [this](double value) { setSelection(value); });
    }

    QSize sizeHint() const override
    {
        const QFontMetrics metrics(captionFont());
        const int spacing = m_compact ? 3 : 4;
        double width = 11 + 2 * (m_compact ? 8 : 10);
        const double caption = spacing + metrics.horizontalAdvance(text());
        width += m_compact ? std::max(0.0, m_selection) * caption : caption;
        return QSize(int(std::ceil(width)), std::max(metrics.height(), 11) + 10);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const double t = std::clamp(m_selection, 0.0, 1.0);
        auto mix = [t](const QColor &from, const QColor &to) { return Theme::mixed(from, to, t); };
        const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -1.5);
        const QPainterPath capsule = roundedPath(box, box.height() / 2);
        if (t > 0)
            painter.fillPath(capsule.translated(0, 1), Theme::black(0.2 * t));
        painter.fillPath(capsule, mix(Theme::white(0.08), QColor(Qt::white)));
        if (t < 1) {
            painter.setPen(QPen(Theme::white(0.12 * (1 - t)), 0.5));
            painter.drawPath(capsule);
        }
        const QColor foreground = mix(Theme::white(0.65), Theme::black(0.85));
        const double padding = m_compact ? 8 : 10;
        const QPixmap symbol =
            Symbols::pixmap(EdgePopupRules::chipSymbol(m_filter), 10, foreground, devicePixelRatioF());
        const double symbolSide = 11;
        painter.drawPixmap(QRectF(padding, (box.height() - symbolSide) / 2 + 0.5, symbolSide, symbolSide),
                           symbol, symbol.rect());
        // A compact chip's caption shows as its room opens; it is cut at the chip's end meanwhile.
        const double captionOpacity = m_compact ? t : 1;
        if (captionOpacity > 0) {
            painter.setFont(captionFont());
            painter.setPen(tinted(foreground, foreground.alphaF() * captionOpacity));
            const double x = padding + symbolSide + (m_compact ? 3 : 4);
            painter.setClipRect(QRectF(0, 0, width() - padding / 2, height()));
            painter.drawText(QRectF(x, box.top(), 200, box.height()), Qt::AlignLeft | Qt::AlignVCenter,
                             text());
        }
    }

private:
    QFont captionFont() const { return Theme::systemFont(m_compact ? 10 : 11, QFont::Medium); }
    static QColor tinted(QColor color, double alpha)
    {
        color.setAlphaF(float(std::clamp(alpha, 0.0, 1.0)));
        return color;
    }
    void setSelection(double value)
    {
        m_selection = value;
        if (m_compact)
            updateGeometry();
        update();
    }

    EdgePopupState &m_state;
    Rules m_filter;
    bool m_compact;
    Animation m_spring;
    double m_selection = 0;
};

// What a route shows with nothing to show: the clipboard's symbol and line, or the shelf's dashed
// drop tile. The line wraps where a language needs more room than one line gives: across the
// popup under the clipboard's symbol, inside the tile under the shelf's.
class EmptyState : public QWidget
{
public:
    EmptyState(const EdgePopupState &state, bool clipboard, QWidget *parent)
        : QWidget(parent), m_clipboard(clipboard),
          m_line(
              new QLabel(Localization::text(clipboard ? u"edge_popup_no_history" : u"edge_popup_drop_files",
                                            state.language()),
                         this))
    {
        m_line->setFont(Theme::systemFont(clipboard ? 12 : 10));
        m_line->setStyleSheet(QStringLiteral("color: rgba(255, 255, 255, %1); background: transparent;")
                                  .arg(clipboard ? 89 : 77));
        m_line->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        m_line->setWordWrap(true);
    }

protected:
    void resizeEvent(QResizeEvent *) override
    {
        const QPointF centre = QRectF(rect()).center();
        const int top = int(centre.y()) + (m_clipboard ? 12 : 8);
        const int left = m_clipboard ? 8 : int(centre.x()) - 50 + tileInset;
        const int across = m_clipboard ? width() - 16 : 100 - 2 * tileInset;
        const int bottom = m_clipboard ? height() : int(centre.y()) + 50 - 2;
        m_line->setGeometry(left, top, across, qMax(0, qMin(m_line->heightForWidth(across), bottom - top)));
    }
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QPointF centre = QRectF(rect()).center();
        if (m_clipboard) {
            const QPixmap symbol =
                Symbols::pixmap(QStringLiteral("clipboard"), 30, Theme::white(0.15), devicePixelRatioF());
            const QRectF symbolBox(centre.x() - 16, centre.y() - 30, 32, 32);
            painter.drawPixmap(symbolBox, symbol, symbol.rect());
            return;
        }
        const QRectF tile(centre.x() - 50, centre.y() - 50, 100, 100);
        QPen dashed(Theme::white(0.15), 2);
        dashed.setDashPattern({4, 3}); // 8 on, 6 off at a width of 2
        dashed.setMiterLimit(10);
        painter.setPen(dashed);
        painter.drawPath(roundedPath(tile.adjusted(1, 1, -1, -1), 11));
        const QPixmap symbol =
            Symbols::pixmap(QStringLiteral("plus.square.dashed"), 28, Theme::white(0.2), devicePixelRatioF());
        painter.drawPixmap(QRectF(centre.x() - 15, centre.y() - 28, 30, 30), symbol, symbol.rect());
    }

private:
    // The line keeps clear of the tile's dashed edge.
    static constexpr int tileInset = 6;
    bool m_clipboard;
    QLabel *m_line;
};

} // namespace

// The rows the popup shows: on the clipboard route the history kept by the chosen kind, on the
// shelf route every item.
class EdgePopupView::ShownItems : public QSortFilterProxyModel
{
public:
    ShownItems(ClipboardHistoryModel &clipboard, ShelfListModel &shelf, bool showsClipboard, Rules filter,
               QObject *parent)
        : QSortFilterProxyModel(parent), m_clipboard(clipboard), m_showsClipboard(showsClipboard),
          m_filter(filter)
    {
        setSourceModel(showsClipboard ? static_cast<QAbstractItemModel *>(&clipboard)
                                      : static_cast<QAbstractItemModel *>(&shelf));
    }

    void setFilter(Rules filter)
    {
        if (filter == m_filter)
            return;
        m_filter = filter;
        invalidateFilter();
    }
    int sourceRow(int row) const { return mapToSource(index(row, 0)).row(); }

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &) const override
    {
        return !m_showsClipboard || EdgePopupRules::keeps(m_filter, m_clipboard.itemAt(sourceRow));
    }

private:
    ClipboardHistoryModel &m_clipboard;
    bool m_showsClipboard;
    Rules m_filter;
};

EdgePopupView::EdgePopupView(EdgePopupState &state, Services services, QWidget *parent)
    : QWidget(parent), m_state(state), m_services(std::move(services)), m_fade(m_services.scheduler)
{
    setAttribute(Qt::WA_TranslucentBackground);
    m_previewLayer =
        new EdgePreviewLayer(state, m_services.icons, m_services.decodeQueue, m_services.scheduler, this);
    connect(m_previewLayer, &EdgePreviewLayer::shownChanged, this, [this] {
        m_previewLayer->setGeometry(rect());
        m_previewLayer->raise();
        emit outlineChanged();
    });
    connect(&state, &EdgePopupState::routeChanged, this, &EdgePopupView::rebuild);
    // The cards' ages speak the popup's language (the Super Panel's column shares the clock and the
    // language).
    m_services.ages.setLanguage(state.language());
    connect(&state, &EdgePopupState::languageChanged, this,
            [this] { m_services.ages.setLanguage(m_state.language()); });
    connect(&state, &EdgePopupState::languageChanged, this, &EdgePopupView::rebuild);
    connect(&state, &EdgePopupState::translucencyChanged, this, [this] { update(); });
    connect(&state, &EdgePopupState::workAreaChanged, this, &EdgePopupView::placePanel);
    connect(&state, &EdgePopupState::presentedAgain, this, [this] {
        // A fresh popup starts with its chips at rest.
        for (QWidget *chip : std::as_const(m_chips))
            static_cast<FilterChip *>(chip)->followSelection(false);
        // Each opening starts at the newest item.
        if (m_strip)
            m_strip->horizontalScrollBar()->setValue(0);
        if (m_listScroll)
            m_listScroll->verticalScrollBar()->setValue(0);
        m_notice->dismiss();
        fadeIn();
    });
    connect(&state, &EdgePopupState::noticeRequested, this,
            [this](const QString &text) { m_notice->showText(text); });
    connect(&state, &EdgePopupState::selectedFilterChanged, this, [this] {
        if (m_shown)
            m_shown->setFilter(m_state.selectedFilter());
        for (QWidget *chip : std::as_const(m_chips))
            static_cast<FilterChip *>(chip)->followSelection(true);
    });
    rebuild();
}

QString EdgePopupView::noticeText() const
{
    return m_notice->shownText();
}

EdgePopupView::~EdgePopupView()
{
    // The cards go before the rows they show.
    delete m_panel;
}

void EdgePopupView::rebuild()
{
    m_chips.clear();
    delete m_panel;
    m_list = nullptr;
    delete m_shown;
    m_shown = nullptr;
    m_strip = nullptr;
    m_listScroll = nullptr;
    m_dropZone = nullptr;

    const bool horizontal = EdgePopupRules::isHorizontal(m_state.edge());
    const bool clipboard = EdgePopupRules::showsClipboard(m_state.route());
    const AppLanguage language = m_state.language();

    m_chrome = new PanelChrome(horizontal ? 24 : 18, nullptr);
    m_notice = new NoticeLine(m_services.scheduler, m_chrome);
    auto *stack = new QVBoxLayout(m_chrome);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);
    // A side panel spans the screen's height; with nothing to show, its header and empty state keep
    // their own heights and sit together in the middle of it.
    m_aboveContent = new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Fixed);
    stack->addSpacerItem(m_aboveContent);

    // Header
    auto *header = new QVBoxLayout;
    header->setSpacing(horizontal ? 0 : 10);
    header->setContentsMargins(horizontal ? 18 : 14, horizontal ? 16 : 14, horizontal ? 18 : 14,
                               horizontal ? 14 : 10);
    auto *titleRow = new QHBoxLayout;
    titleRow->setSpacing(0);
    auto *icon = new QLabel(m_chrome);
    const int iconSize = horizontal ? 24 : 20;
    icon->setPixmap(
        Symbols::pixmap(clipboard ? QStringLiteral("clipboard") : QStringLiteral("shippingbox.fill"),
                        iconSize, clipboard ? Color::neonGreen() : Color::neonCyan(), devicePixelRatioF()));
    titleRow->addWidget(icon);
    titleRow->addSpacing(10);
    auto *title = new QLabel(
        Localization::text(clipboard ? u"edge_popup_clipboard" : u"edge_popup_shelf", language), m_chrome);
    title->setObjectName(QStringLiteral("popupTitle"));
    title->setFont(Theme::systemFont(horizontal ? 20 : 17, QFont::Bold));
    title->setStyleSheet(QStringLiteral("color: rgba(255, 255, 255, 229);"));
    titleRow->addWidget(title);
    auto addChips = [&](QHBoxLayout *row, bool compact) {
        for (Rules filter : EdgePopupRules::allClipFilters()) {
            auto *chip = new FilterChip(m_state, filter, compact, m_services.scheduler, m_chrome);
            m_chips.append(chip);
            row->addWidget(chip);
        }
    };
    if (horizontal && clipboard) {
        titleRow->addSpacing(20);
        auto *chips = new QHBoxLayout;
        chips->setSpacing(8);
        addChips(chips, false);
        titleRow->addLayout(chips);
    }
    titleRow->addStretch(1);
    m_badge = new QLabel(m_chrome);
    m_badge->setObjectName(QStringLiteral("countBadge"));
    m_badge->setFont(Theme::monospaced(Theme::systemFont(13, QFont::Medium)));
    m_badge->setStyleSheet(
        QStringLiteral("color: rgba(255, 255, 255, 89); background: rgba(255, 255, 255, 20);"
                       "border-radius: 10px; padding: 3px 8px;"));
    titleRow->addWidget(m_badge, 0, Qt::AlignVCenter);
    header->addLayout(titleRow);
    if (!horizontal && clipboard) {
        auto *chips = new QHBoxLayout;
        chips->setSpacing(6);
        addChips(chips, true);
        chips->addStretch(1);
        header->addLayout(chips);
    }
    stack->addLayout(header);

    auto *separator = new QWidget(m_chrome);
    separator->setFixedHeight(1);
    separator->setStyleSheet(QStringLiteral("background: rgba(255, 255, 255, 15);"));
    stack->addWidget(separator);

    // Body
    m_empty = new EmptyState(m_state, clipboard, m_chrome);
    m_empty->setFixedHeight(horizontal ? (clipboard ? 120 : 140) : 200);
    stack->addWidget(m_empty);

    m_shown =
        new ShownItems(m_services.clipboard, m_services.shelf, clipboard, m_state.selectedFilter(), this);
    // Each card follows the filtered row it was made for into the model behind it.
    LazyItemList::Make make = [this, clipboard, horizontal](int row, QWidget *parent) -> QWidget * {
        EdgePopupState &state = m_state;
        const int sourceRow = m_shown->sourceRow(row);
        if (clipboard) {
            const ClipboardItem &item = m_services.clipboard.itemAt(sourceRow);
            auto copy = [&state](const ClipboardItem &clip) {
                if (state.actions().copy)
                    state.actions().copy(clip);
            };
            auto preview = [&state](const ClipboardItem &clip) { state.previewClip(clip); };
            auto remove = [&state](const ClipboardItem &clip) {
                if (state.actions().deleteClip)
                    state.actions().deleteClip(clip);
            };
            if (horizontal)
                return new EdgeClipCard(item, copy, preview, remove, m_services.ages, parent);
            return new EdgeClipRow(item, copy, preview, remove, m_services.ages, parent);
        }
        auto forward = [&state](auto member) {
            return [&state, member](const ShelfItem &item) {
                if (state.actions().*member)
                    (state.actions().*member)(item);
            };
        };
        auto *tile = new EdgeShelfTile(
            m_services.shelf.itemAt(sourceRow), forward(&EdgePopupActions::openShelfItem),
            forward(&EdgePopupActions::removeShelfItem),
            [&state](const ShelfItem &item) { state.previewShelfItem(item); },
            forward(&EdgePopupActions::togglePin), forward(&EdgePopupActions::showShelfItemInFileManager),
            m_services.shelfManager, m_services.ages, parent);
        tile->setDragRun(state.actions().dragOut);
        return tile;
    };

    // Cards carry a margin around their frame (room for the hover scale), which padding and
    // spacing take back.
    constexpr double margin = EdgeItemView::margin;
    const QSize cardSize =
        QSizeF(EdgeItemView::cardSize.width() + 2 * margin, EdgeItemView::cardSize.height() + 2 * margin)
            .toSize();
    LazyItemList::Metrics metrics;
    const int keyRole = clipboard ? int(ClipboardHistoryModel::IdRole) : int(ShelfListModel::IdRole);
    QScrollArea *scroll = nullptr;
    if (horizontal) {
        m_strip = new HorizontalWheelScroll(m_chrome);
        m_strip->setFixedHeight(int(EdgePopupRules::stripHeight));
        metrics.orientation = Qt::Horizontal;
        metrics.cellLength = cardSize.width();
        metrics.cellBreadth = cardSize.height();
        metrics.spacing = EdgePopupRules::cardSpacing - 2 * margin;
        metrics.padding = 20 - margin;
        // The strip's width follows its own rule.
        metrics.sizesItself = false;
        scroll = m_strip;
    } else {
        scroll = new QScrollArea(m_chrome);
        scroll->setFrameShape(QFrame::NoFrame);
        scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        scroll->setWidgetResizable(false);
        scroll->setFocusPolicy(Qt::NoFocus);
        scroll->viewport()->setAutoFillBackground(false);
        metrics.spacing = 10 - 2 * margin;
        metrics.padding = (clipboard ? 12 : 18) - margin;
        if (clipboard) {
            metrics.measure = [this](int row, double width) {
                return double(EdgeClipCard::rowHeightOf(m_services.clipboard.itemAt(m_shown->sourceRow(row)),
                                                        int(width)));
            };
        } else {
            metrics.cellLength = cardSize.height();
            metrics.cellBreadth = cardSize.width();
        }
        m_listScroll = scroll;
    }
    m_list = new LazyItemList(*m_shown, keyRole, std::move(metrics), std::move(make), *scroll);
    // A kind chosen, an item deleted or arriving: the cards that stay spring to their places.
    m_list->animateChanges(m_services.scheduler, listSpringResponse, listSpringDamping);
    stack->addWidget(scroll, horizontal ? 0 : 1);
    m_belowContent = new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Fixed);
    stack->addSpacerItem(m_belowContent);
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(m_shown, signal, this, &EdgePopupView::updateCount);
    connect(m_shown, &QAbstractItemModel::modelReset, this, &EdgePopupView::updateCount);
    connect(m_shown, &QAbstractItemModel::layoutChanged, this, &EdgePopupView::updateCount);

    if (!clipboard) {
        m_dropZone = new AppKitDropZone(
            m_services.scheduler,
            [shelf = &m_services.shelfManager](const DropData &drop) { return shelf->handleDrop(drop); },
            m_chrome, this);
        connect(m_dropZone, &AppKitDropZone::isTargetingChanged, this,
                [this] { m_state.setTargetingShelfDrop(m_dropZone->isTargeting()); });
        m_panel = m_dropZone;
    } else {
        m_chrome->setParent(this);
        m_panel = m_chrome;
    }
    // Placed before it shows, so the list lays out (and measures its rows) once, at its real size.
    updateCount();
    placePanel();
    m_panel->show();
    m_previewLayer->raise();
    applyOpacity(m_opacity);
}

void EdgePopupView::updateCount()
{
    const int count = shownCount();
    m_badge->setText(countText());
    const bool empty = count == 0;
    m_empty->setVisible(empty);
    if (m_strip) {
        m_strip->setVisible(!empty);
        m_strip->setContentWidth(EdgePopupRules::stripContentWidth(count));
    }
    if (m_listScroll)
        m_listScroll->setVisible(!empty);
    const QSizePolicy::Policy around = empty && m_listScroll ? QSizePolicy::Expanding : QSizePolicy::Fixed;
    for (QSpacerItem *space : {m_aboveContent, m_belowContent})
        space->changeSize(0, 0, QSizePolicy::Minimum, around);
    m_chrome->layout()->invalidate();
    placePanel();
}

int EdgePopupView::shownCount() const
{
    return m_shown ? m_shown->rowCount() : 0;
}

QString EdgePopupView::countText() const
{
    return QString::number(shownCount());
}

bool EdgePopupView::showsEmptyState() const
{
    return m_empty && !m_empty->isHidden();
}

QStringList EdgePopupView::chipCaptions() const
{
    QStringList captions;
    for (QWidget *chip : m_chips) {
        const auto *filterChip = static_cast<FilterChip *>(chip);
        captions.append(filterChip->showsCaption() ? filterChip->text() : QString());
    }
    return captions;
}

QList<QWidget *> EdgePopupView::chips() const
{
    return m_chips;
}

QList<QWidget *> EdgePopupView::cards() const
{
    return m_list ? m_list->builtCells() : QList<QWidget *>();
}

QRect EdgePopupView::panelFrame() const
{
    return m_panel ? m_panel->geometry() : QRect();
}

QPainterPath EdgePopupView::outline() const
{
    QPainterPath path;
    if (m_previewLayer->covers()) {
        path.addRect(QRectF(rect()));
        return path;
    }
    const bool horizontal = EdgePopupRules::isHorizontal(m_state.edge());
    path.addRoundedRect(QRectF(panelFrame()), horizontal ? 24 : 18, horizontal ? 24 : 18);
    return path;
}

void EdgePopupView::placePanel()
{
    if (!m_panel)
        return;
    const double height = m_chrome->layout()->sizeHint().height();
    const QRectF area = m_state.workArea().isEmpty() ? QRectF(rect()) : m_state.workArea() & QRectF(rect());
    const QRect frame = EdgePopupRules::panelFrame(m_state.edge(), area, height).toAlignedRect();
    if (frame != m_panel->geometry()) {
        m_panel->setGeometry(frame);
        emit outlineChanged();
    }
    if (m_dropZone)
        m_chrome->setGeometry(m_dropZone->rect());
}

void EdgePopupView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placePanel();
    m_previewLayer->setGeometry(rect());
    emit outlineChanged();
}

void EdgePopupView::paintEvent(QPaintEvent *)
{
    // The backdrop: all but invisible, yet it takes the clicks outside the panel.
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0, 0, 0, 1));
}

void EdgePopupView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && !panelFrame().contains(event->position().toPoint())) {
        event->accept();
        m_state.dismiss();
        return;
    }
    QWidget::mousePressEvent(event);
}

void EdgePopupView::fadeIn()
{
    applyOpacity(0);
    m_fade.start(0, 1, fadeDuration, Animation::easeOut(fadeDuration),
                 [this](double value) { applyOpacity(value); });
}

void EdgePopupView::applyOpacity(double opacity)
{
    m_opacity = opacity;
    setScaleFade(m_panel, opacity);
}

} // namespace qv
