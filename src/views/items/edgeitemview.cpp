#include "views/items/edgeitemview.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmapCache>

#include "ui/spring.h"
#include "ui/theme.h"
#include "views/items/ageclock.h"
#include "views/items/itemrules.h"

namespace qv {

static constexpr double padding = 12;
static constexpr double footerHeight = 24;

EdgeItemView::EdgeItemView(Shape shape, const QColor &accent, AgeClock &ages, QWidget *parent)
    : ItemWidget(ages, parent), m_shape(shape), m_accent(accent), m_hoverAnimation(ages.scheduler())
{
    if (shape == Shape::Card)
        setFixedSize(sizeHint());
    else
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

QSize EdgeItemView::sizeHint() const
{
    if (m_shape == Shape::Card)
        return QSizeF(cardSize.width() + 2 * margin, cardSize.height() + 2 * margin).toSize();
    const int w = std::max(width(), 280);
    return {w, heightForWidth(w)};
}

int EdgeItemView::heightForWidth(int width) const
{
    return rowHeight(rowPreviewHeight(rowContentWidth(width)));
}

double EdgeItemView::rowContentWidth(int width)
{
    return width - 2 * margin - 2 * padding;
}

int EdgeItemView::rowHeight(double previewHeight)
{
    return int(std::ceil(2 * margin + 2 * padding + previewHeight + 8 + footerHeight));
}

QRectF EdgeItemView::frameRect() const
{
    return QRectF(rect()).adjusted(margin, margin, -margin, -margin);
}

QRectF EdgeItemView::footerRect() const
{
    const QRectF content = frameRect().adjusted(padding, padding, -padding, -padding);
    return {content.left(), content.bottom() - footerHeight, content.width(), footerHeight};
}

QRectF EdgeItemView::previewRect() const
{
    const QRectF content = frameRect().adjusted(padding, padding, -padding, -padding);
    const double spacing = m_shape == Shape::Card ? 0 : 8;
    return {content.left(), content.top(), content.width(), content.height() - footerHeight - spacing};
}

QList<ItemWidget::Button> EdgeItemView::buttons() const
{
    if (!isHovered())
        return {};
    QList<Button> result;
    const QList<Face> all = faces();
    const QRectF footer = footerRect();
    double x = footer.right() - all.size() * buttonSide - (all.size() - 1) * 6;
    for (const auto &face : all) {
        result.append({face.id, {x, footer.center().y() - buttonSide / 2, buttonSide, buttonSide}});
        x += buttonSide + 6;
    }
    return result;
}

void EdgeItemView::hoverChanged()
{
    m_hoverAnimation.start(m_hover, isHovered() ? 1.0 : 0.0, springSettlingTime(0.3, 0.7),
                           Animation::spring(0.3, 0.7), [this](double value) {
                               m_hover = value;
                               update();
                           });
}

void EdgeItemView::drawActionButton(QPainter &painter, const QRectF &box, const QString &symbol,
                                    const QColor &foreground, const QColor &background)
{
    drawFace(painter, box, symbol, foreground, background, 11);
}

void EdgeItemView::paintChrome(QPainter &painter, const QRectF &frame, double t)
{
    QPainterPath path;
    path.addRoundedRect(frame, 14, 14);
    // Border, its width and the shadow move with the fill, on the same spring.
    auto mix = [t](const QColor &from, const QColor &to) { return Theme::mixed(from, to, t); };
    // Shadow: a few soft rings below the frame, coloured while hovered.
    const QColor shadow = mix(Theme::black(0.1), tinted(m_accent, 0.3));
    const double radius = 4 + 8 * t;
    const double dy = 2 + 2 * t;
    // Cutting the rings out is costly: they are kept until the frame or the hover step changes, so
    // a scrolled strip repaints its cards without it.
    if (frame != m_ringsFrame || t != m_ringsProgress) {
        m_rings.clear();
        for (int i = 3; i >= 1; --i) {
            QPainterPath ring;
            const double grow = radius * i / 3.0;
            ring.addRoundedRect(frame.translated(0, dy).adjusted(-grow / 2, -grow / 2, grow / 2, grow / 2),
                                14 + grow / 2, 14 + grow / 2);
            // Only outside the frame: the fill above is see-through.
            m_rings.append(ring.subtracted(path));
        }
        m_ringsFrame = frame;
        m_ringsProgress = t;
    }
    for (const QPainterPath &ring : std::as_const(m_rings))
        painter.fillPath(ring, tinted(shadow, shadow.alphaF() / 3.0));
    painter.fillPath(path, Theme::white(0.06 + 0.06 * t));
    painter.setPen(QPen(mix(Theme::white(0.1), tinted(m_accent, 0.8)), 1 + t));
    painter.drawPath(path);
}

void EdgeItemView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double t = std::clamp(m_hover, 0.0, 1.0);
    const QRectF frame = frameRect();
    const double scale = 1.0 + 0.02 * m_hover;
    painter.translate(frame.center());
    painter.scale(scale, scale);
    painter.translate(-frame.center());

    if (m_hover == 0) {
        // At rest every item of one size looks the same behind its content: the soft shadow, fill
        // and border are drawn once and shared, which keeps a scrolled strip's frames short.
        const double ratio = devicePixelRatioF();
        const QString key = QStringLiteral("qv-edgeitem-%1x%2@%3-%4")
                                .arg(width())
                                .arg(height())
                                .arg(ratio)
                                .arg(m_accent.rgba());
        QPixmap resting;
        if (!QPixmapCache::find(key, &resting)) {
            resting = QPixmap((QSizeF(size()) * ratio).toSize());
            resting.setDevicePixelRatio(ratio);
            resting.fill(Qt::transparent);
            QPainter cache(&resting);
            cache.setRenderHint(QPainter::Antialiasing);
            paintChrome(cache, frame, 0);
            cache.end();
            QPixmapCache::insert(key, resting);
        }
        painter.drawPixmap(0, 0, resting);
    } else {
        paintChrome(painter, frame, t);
    }

    paintPreview(painter, previewRect());

    const QRectF footer = footerRect();
    double x = footer.left();
    for (const auto &[symbol, color] : footerSymbols()) {
        drawSymbol(painter, QRectF(x, footer.top(), 10, footer.height()), symbol, color, 9);
        x += 10 + 6;
    }
    painter.setFont(Theme::systemFont(10));
    painter.setPen(Theme::white(0.35));
    painter.drawText(QRectF(x, footer.top(), footer.width() / 2, footer.height()),
                     Qt::AlignLeft | Qt::AlignVCenter,
                     ItemRules::relativeAge(date(), ages().now(), ages().language()));
    const QList<Button> shown = buttons();
    const double end = shown.isEmpty() ? footer.right() : shown.first().rect.left() - 6;
    paintFooterEnd(painter, QRectF(footer.left(), footer.top(), end - footer.left(), footer.height()));
    const QList<Face> all = faces();
    for (qsizetype i = 0; i < shown.size() && i < all.size(); ++i)
        drawActionButton(painter, shown[i].rect, all[i].symbol, all[i].foreground, all[i].background);
}

} // namespace qv
