#include "views/peek/dropzoneview.h"

#include <QPainter>
#include <QPainterPath>

#include "core/color.h"
#include "ui/spring.h"
#include "ui/symbols.h"
#include "ui/theme.h"

namespace qv {

DropZoneView::DropZoneView(const QString &symbol, Scheduler &scheduler, QWidget *parent)
    : QWidget(parent), m_symbol(symbol), m_scaleAnimation(scheduler)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_TranslucentBackground);
}

void DropZoneView::setTileRect(const QRectF &tile)
{
    m_tile = tile;
    const double dx = tile.width() * growth / 2 + 2;
    const double dy = tile.height() * growth / 2 + 2;
    setGeometry(tile.adjusted(-dx, -dy, dx, dy).toAlignedRect());
    update();
}

void DropZoneView::setHighlighted(bool highlighted)
{
    if (highlighted == m_highlighted)
        return;
    m_highlighted = highlighted;
    m_scaleAnimation.start(m_scale, highlighted ? 1.0 + growth : 1.0, springSettlingTime(0.3, 0.7),
                           Animation::spring(0.3, 0.7), [this](double value) {
                               m_scale = value;
                               update();
                           });
    update();
}

void DropZoneView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF tile = m_tile.translated(-QPointF(pos()));
    painter.translate(tile.center());
    painter.scale(m_scale, m_scale);
    painter.translate(-tile.center());

    QPainterPath path;
    path.addRoundedRect(tile, 20, 20);
    painter.fillPath(path, Theme::white(m_highlighted ? 0.3 : 0.1));
    if (m_highlighted) {
        painter.setPen(QPen(Color::neonCyan(), 2));
        painter.drawPath(path);
    }
    const int size = 50;
    const QColor color = m_highlighted ? Color::neonCyan() : Theme::white(0.5);
    painter.drawPixmap(QPointF(tile.center().x() - size / 2.0, tile.center().y() - size / 2.0),
                       Symbols::pixmap(m_symbol, size, color, devicePixelRatioF()));
}

} // namespace qv
