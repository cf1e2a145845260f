#include "views/bubble/contentview.h"

#include <QLinearGradient>
#include <QPainter>
#include <QScrollBar>

#include "core/localization.h"
#include "ui/dockglassbackground.h"
#include "ui/spring.h"
#include "ui/symbols.h"
#include "ui/theme.h"
#include "views/bubble/bubbleviewstate.h"
#include "views/bubble/horizontalscrollview.h"
#include "views/bubble/windowpreviewcard.h"
#include "windows/windowlistmodel.h"

namespace qv {

namespace {
constexpr double headerSide = 16;
constexpr double headerTop = 8;
constexpr double headerBottom = 4;
constexpr double headerIconSize = 20;
// The scroll view reaches this far above and below the list so scaled cards are not cut.
constexpr int rowBleed = WindowPreviewCard::margin;
} // namespace

ContentView::ContentView(BubbleViewState &state, WindowListModel &windows, const CardActions &actions,
                         Scheduler &scheduler, QWidget *parent)
    : QWidget(parent), m_state(state), m_windows(windows), m_actions(actions), m_scheduler(scheduler),
      m_arrowAnimation(scheduler)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setMouseTracking(true);
    m_scroll = new HorizontalScrollView(this);
    m_row = new QWidget;
    m_row->setAttribute(Qt::WA_TranslucentBackground);
    m_row->setMouseTracking(true);
    m_scroll->setWidget(m_row);

    connect(&m_state, &BubbleViewState::changed, this, [this] {
        syncCards();
        update();
    });
    connect(&m_windows, &QAbstractItemModel::rowsInserted, this, &ContentView::syncCards);
    connect(&m_windows, &QAbstractItemModel::rowsRemoved, this, &ContentView::syncCards);
    connect(&m_windows, &QAbstractItemModel::rowsMoved, this, &ContentView::syncCards);
    connect(&m_windows, &QAbstractItemModel::modelReset, this, &ContentView::syncCards);
    connect(&m_windows, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex &from, const QModelIndex &to) {
                for (int row = from.row(); row <= to.row(); ++row) {
                    const AppWindowModel &window = m_windows.itemAt(row);
                    if (WindowPreviewCard *card = m_cards.value(window.id))
                        card->setWindow(window);
                }
            });
    syncCards();
}

QRectF ContentView::bubbleRect() const
{
    return QRectF(rect()).adjusted(outerPadding, outerPadding, -outerPadding, -outerPadding);
}

QRectF ContentView::bodyRect() const
{
    const QRectF bubble = bubbleRect();
    return m_shape.bodyRect(QRectF(QPointF(0, 0), bubble.size())).translated(bubble.topLeft());
}

QPainterPath ContentView::outline() const
{
    const QRectF bubble = bubbleRect();
    return m_shape.filledPath(QRectF(QPointF(0, 0), bubble.size())).translated(bubble.topLeft());
}

QPointF ContentView::arrowTipAt(double position) const
{
    BubbleShape shape = m_shape;
    shape.arrowPosition = position;
    const QRectF bubble = bubbleRect();
    return shape.arrowTip(QRectF(QPointF(0, 0), bubble.size())) + bubble.topLeft();
}

QList<WindowPreviewCard *> ContentView::cards() const
{
    QList<WindowPreviewCard *> ordered;
    for (const AppWindowModel &window : m_windows.items()) {
        if (WindowPreviewCard *card = m_cards.value(window.id))
            ordered.append(card);
    }
    return ordered;
}

void ContentView::handleArrowUpdate(std::optional<double> position, const QString &edge)
{
    if (const auto parsed = bubbleEdgeFromRaw(edge); parsed && *parsed != m_shape.edge) {
        m_shape.edge = *parsed;
        layoutCards();
        update();
        emit outlineChanged();
    }
    if (position) {
        m_arrowAnimation.start(m_shape.arrowPosition, *position, springSettlingTime(0.3, 0.7),
                               Animation::spring(0.3, 0.7), [this](double value) {
                                   m_shape.arrowPosition = value;
                                   update();
                                   emit outlineChanged();
                               });
    }
}

bool ContentView::hasPressedCard() const
{
    return std::any_of(m_cards.cbegin(), m_cards.cend(),
                       [](const WindowPreviewCard *card) { return card->isPressed(); });
}

void ContentView::releasePresses()
{
    for (WindowPreviewCard *card : std::as_const(m_cards))
        card->releasePress();
}

void ContentView::syncCards()
{
    QSet<qint64> listed;
    for (const AppWindowModel &window : m_windows.items()) {
        listed.insert(window.id);
        WindowPreviewCard *card = m_cards.value(window.id);
        if (!card) {
            card = new WindowPreviewCard(window, m_actions, m_scheduler, m_row);
            m_cards.insert(window.id, card);
            card->show();
        }
        card->setLanguage(m_state.language());
    }
    for (auto it = m_cards.begin(); it != m_cards.end();) {
        if (!listed.contains(it.key())) {
            delete it.value();
            it = m_cards.erase(it);
        } else {
            ++it;
        }
    }
    layoutCards();
    update();
}

void ContentView::layoutCards()
{
    const QRectF body = bodyRect();
    const bool showList = m_state.hasPermission() && !m_cards.isEmpty();
    m_scroll->setVisible(showList);
    const double listTop = body.top() + headerTop + headerIconSize + headerBottom;
    m_scroll->setGeometry(
        QRectF(body.left(), listTop - rowBleed, body.width(), listHeight + 2 * rowBleed).toAlignedRect());
    const QList<WindowPreviewCard *> ordered = cards();
    const int n = int(ordered.size());
    const double cardsWidth = n * WindowPreviewCard::cardSize.width() + std::max(0, n - 1) * cardSpacing;
    const double rowWidth = std::max(body.width(), cardsWidth + 2 * rowPadding);
    m_row->resize(int(std::ceil(rowWidth)), int(listHeight + 2 * rowBleed));
    double x = (rowWidth - cardsWidth) / 2;
    const double top = rowBleed + (listHeight - WindowPreviewCard::cardSize.height()) / 2;
    for (WindowPreviewCard *card : ordered) {
        card->move(qRound(x) - WindowPreviewCard::margin, qRound(top) - WindowPreviewCard::margin);
        x += WindowPreviewCard::cardSize.width() + cardSpacing;
    }
    m_scroll->horizontalScrollBar()->setValue(
        std::min(m_scroll->horizontalScrollBar()->value(),
                 std::max(0, m_row->width() - m_scroll->viewport()->width())));
}

void ContentView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layoutCards();
    emit outlineChanged();
}

void ContentView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (!m_state.hasPermission()) {
        paintPermissionCard(painter);
        return;
    }
    paintBubble(painter);
}

void ContentView::paintBubble(QPainter &painter)
{
    const bool translucent = m_state.isTranslucent();
    const QRectF bubble = bubbleRect();
    const QRectF local(QPointF(0, 0), bubble.size());
    const QPainterPath stroked = m_shape.path(local).translated(bubble.topLeft());
    const QPainterPath filled = outline();

    if (translucent) {
        // A soft shadow: the outline filled faintly, then widened in steps.
        painter.save();
        painter.translate(0, 4);
        for (int width = 16; width >= 4; width -= 4) {
            painter.setPen(QPen(Theme::black(0.025), width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            painter.setBrush(Qt::NoBrush);
            painter.drawPath(filled);
        }
        painter.fillPath(filled, Theme::black(0.15));
        painter.restore();
    }
    painter.fillPath(filled, Theme::ultraThinMaterial(translucent));
    DockGlassBackground::paint(painter, filled, m_state.blurAmount(), 0.6);

    QLinearGradient rim(bubble.topLeft(), bubble.bottomLeft());
    rim.setColorAt(0, Theme::white(0.5));
    rim.setColorAt(0.5, Theme::white(0.15));
    rim.setColorAt(1, Theme::white(0.05));
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QBrush(rim), 1.5));
    painter.drawPath(stroked);

    const QRectF inner = local.adjusted(1.5, 1.5, -1.5, -1.5);
    QLinearGradient highlight(bubble.topLeft(), bubble.bottomLeft());
    highlight.setColorAt(0, Theme::white(0));
    highlight.setColorAt(1, Theme::white(0.08));
    painter.setPen(QPen(QBrush(highlight), 1));
    painter.drawPath(m_shape.path(inner).translated(bubble.topLeft()));

    const QRectF body = bodyRect();
    paintHeader(painter, body);
    if (m_cards.isEmpty()) {
        const double listTop = body.top() + headerTop + headerIconSize + headerBottom;
        const QRectF area(body.left(), listTop, body.width(), body.bottom() - listTop);
        painter.setFont(Theme::systemFont(13));
        painter.setPen(Theme::white(0.55));
        painter.drawText(area, Qt::AlignCenter, Localization::text(u"no_windows", m_state.language()));
    }
}

void ContentView::paintHeader(QPainter &painter, const QRectF &body)
{
    const QRectF row(body.left() + headerSide, body.top() + headerTop, body.width() - 2 * headerSide,
                     headerIconSize);
    const QRectF iconRect(row.left(), row.top(), headerIconSize, headerIconSize);
    if (!m_state.headerIcon().isNull()) {
        painter.drawImage(iconRect, m_state.headerIcon());
    } else {
        painter.drawPixmap(iconRect.topLeft(), Symbols::pixmap(QStringLiteral("app"), int(headerIconSize),
                                                               Theme::white(0.8), devicePixelRatioF()));
    }

    const QString count = Localization::windowCountText(int(m_windows.rowCount()), m_state.language());
    painter.setFont(Theme::systemFont(10, QFont::Medium));
    const QFontMetricsF badgeMetrics(painter.font());
    const QSizeF badgeSize(badgeMetrics.horizontalAdvance(count) + 16, badgeMetrics.height() + 6);
    const QRectF badge(row.right() - badgeSize.width(), row.center().y() - badgeSize.height() / 2,
                       badgeSize.width(), badgeSize.height());
    QPainterPath capsule;
    capsule.addRoundedRect(badge, badge.height() / 2, badge.height() / 2);
    painter.fillPath(capsule, Theme::black(0.2));
    painter.setPen(Theme::white(0.8));
    painter.drawText(badge, Qt::AlignCenter, count);

    painter.setFont(Theme::systemFont(13, QFont::DemiBold));
    const QRectF titleRect(iconRect.right() + 6, row.top(), badge.left() - 6 - iconRect.right() - 6,
                           row.height());
    const QString title =
        painter.fontMetrics().elidedText(m_state.headerTitle(), Qt::ElideRight, int(titleRect.width()));
    painter.setPen(Theme::black(0.33));
    painter.drawText(titleRect.translated(0, 1), Qt::AlignLeft | Qt::AlignVCenter, title);
    painter.setPen(Qt::white);
    painter.drawText(titleRect, Qt::AlignLeft | Qt::AlignVCenter, title);
}

void ContentView::paintPermissionCard(QPainter &painter)
{
    const AppLanguage language = m_state.language();
    const QString title = Localization::text(u"perm_required_title", language);
    const QString description = Localization::text(u"perm_required_desc", language);
    const double padding = 16;
    const double width = std::min(rect().width() - 2 * outerPadding, 280.0);
    const QFont titleFont = Theme::systemFont(13, QFont::DemiBold);
    const QFont captionFont = Theme::systemFont(11);
    const double textWidth = width - 2 * padding;
    const QRectF titleBounds = QFontMetricsF(titleFont).boundingRect(
        QRectF(0, 0, textWidth, 1000), Qt::AlignHCenter | Qt::TextWordWrap, title);
    const QRectF captionBounds =
        QFontMetricsF(captionFont)
            .boundingRect(QRectF(0, 0, textWidth, 1000), Qt::AlignHCenter | Qt::TextWordWrap, description);
    const double symbol = 40;
    const double height =
        padding + symbol + 15 + titleBounds.height() + 15 + captionBounds.height() + padding;
    const QRectF card(rect().center().x() - width / 2, rect().center().y() - height / 2, width, height);
    QPainterPath path;
    path.addRoundedRect(card, 16, 16);
    painter.fillPath(path, Theme::ultraThinMaterial(m_state.isTranslucent()));

    double y = card.top() + padding;
    painter.drawPixmap(
        QPointF(card.center().x() - symbol / 2, y),
        Symbols::pixmap(QStringLiteral("lock.shield"), int(symbol), Theme::systemRed(), devicePixelRatioF()));
    y += symbol + 15;
    painter.setFont(titleFont);
    painter.setPen(Qt::white);
    painter.drawText(QRectF(card.left() + padding, y, textWidth, titleBounds.height()),
                     Qt::AlignHCenter | Qt::TextWordWrap, title);
    y += titleBounds.height() + 15;
    painter.setFont(captionFont);
    painter.setPen(Theme::white(0.7));
    painter.drawText(QRectF(card.left() + padding, y, textWidth, captionBounds.height()),
                     Qt::AlignHCenter | Qt::TextWordWrap, description);
}

} // namespace qv
