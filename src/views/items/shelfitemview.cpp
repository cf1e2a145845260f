#include "views/items/shelfitemview.h"

#include <QPainter>
#include <QPainterPath>

#include "core/color.h"
#include "ui/spring.h"
#include "ui/theme.h"
#include "views/items/ageclock.h"
#include "views/items/itemrules.h"

namespace qv {

static constexpr double face = 24;

ShelfItemView::ShelfItemView(const ShelfItem &item, std::function<void()> onPreview,
                             std::function<void()> onDelete, AgeClock &ages, QWidget *parent)
    : ItemWidget(ages, parent), m_item(item), m_onPreview(std::move(onPreview)),
      m_onDelete(std::move(onDelete)), m_hoverAnimation(ages.scheduler())
{
}

void ShelfItemView::setItem(const ShelfItem &item)
{
    m_item = item;
    update();
}

QString ShelfItemView::displayName() const
{
    return ItemRules::shelfDisplayName(m_item);
}

QString ShelfItemView::shownName() const
{
    QFontMetrics metrics(Theme::systemFont(10));
    return metrics.elidedText(displayName(), Qt::ElideMiddle, width() - 12);
}

QSize ShelfItemView::sizeHint() const
{
    return {96, 6 + int(wellHeight) + 6 + 14 + 6};
}

QRectF ShelfItemView::wellRect() const
{
    return {6, 6, width() - 12.0, wellHeight};
}

QRectF ShelfItemView::thumbnailRect() const
{
    const QRectF box = wellRect().adjusted(8, 8, -8, -8);
    if (m_item.thumbnail.isNull() || box.isEmpty())
        return {};
    const QSizeF size = QSizeF(m_item.thumbnail.size()).scaled(box.size(), Qt::KeepAspectRatio);
    return {box.center().x() - size.width() / 2, box.center().y() - size.height() / 2, size.width(),
            size.height()};
}

QList<ItemWidget::Button> ShelfItemView::buttons() const
{
    if (!isHovered())
        return {};
    const QRectF well = wellRect();
    const double y = well.bottom() - 6 - face;
    const double x = well.center().x() - face - 6;
    return {{Eye, {x, y, face, face}}, {Trash, {x + face + 12, y, face, face}}};
}

void ShelfItemView::buttonClicked(int id)
{
    const auto &action = id == Eye ? m_onPreview : m_onDelete;
    if (action)
        action();
}

void ShelfItemView::hoverChanged()
{
    m_hoverAnimation.start(m_hover, isHovered() ? 1.0 : 0.0, springSettlingTime(0.3, 0.7),
                           Animation::spring(0.3, 0.7), [this](double value) {
                               m_hover = std::clamp(value, 0.0, 1.0);
                               update();
                           });
}

void ShelfItemView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), 12, 12);
    painter.fillPath(shape, Theme::white(0.1 * m_hover));

    const QRectF well = wellRect();
    QPainterPath wellPath;
    wellPath.addRoundedRect(well, 10, 10);
    painter.fillPath(wellPath, Theme::white(0.08));
    const bool pending = ItemRules::isPendingLink(m_item);
    painter.setOpacity(pending ? 0.5 : 1.0);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (!m_item.thumbnail.isNull())
        painter.drawImage(thumbnailRect(), m_thumbnail.picture(m_item.thumbnail));
    painter.setOpacity(1.0);
    if (pending) {
        const QRectF globe(well.center().x() - 19, well.center().y() - 19, 38, 38);
        drawFace(painter, globe, QStringLiteral("globe"), Color::neonCyan(), Theme::black(0.7), 18);
    }
    if (m_hover > 0) {
        painter.setOpacity(m_hover);
        painter.fillPath(wellPath, Theme::black(0.4));
        for (const auto &button : buttons()) {
            const bool eye = button.id == Eye;
            drawFace(painter, button.rect, eye ? QStringLiteral("eye") : QStringLiteral("trash"),
                     eye ? Theme::white(1) : Color::neonRed(), Theme::white(0.2), 11);
        }
        painter.setOpacity(1.0);
    }
    painter.setFont(Theme::systemFont(10));
    painter.setPen(Theme::white(0.8));
    painter.drawText(QRectF(6, well.bottom() + 6, width() - 12, 14), Qt::AlignCenter, shownName());
}

} // namespace qv
