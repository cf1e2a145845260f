#include "views/bubble/trafficlightbutton.h"

#include <QEnterEvent>
#include <QPainter>

#include "ui/symbols.h"
#include "ui/theme.h"

namespace qv {

TrafficLightButton::TrafficLightButton(const QColor &color, const QString &symbol, QWidget *parent)
    : QAbstractButton(parent), m_color(color), m_symbol(symbol)
{
    setFixedSize(frameSize, frameSize);
    setCursor(Qt::ArrowCursor);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_Hover);
}

bool TrafficLightButton::hitButton(const QPoint &pos) const
{
    const QPointF centre(frameSize / 2.0, frameSize / 2.0);
    const QPointF d = QPointF(pos) - centre;
    const double radius = dotDiameter / 2 * 1.5;
    return d.x() * d.x() + d.y() * d.y() <= radius * radius;
}

void TrafficLightButton::setHovering(bool hovering)
{
    hovering = hovering && isEnabled();
    if (hovering == m_hovering)
        return;
    m_hovering = hovering;
    update();
}

void TrafficLightButton::enterEvent(QEnterEvent *event)
{
    QAbstractButton::enterEvent(event);
    setHovering(true);
}

void TrafficLightButton::leaveEvent(QEvent *event)
{
    QAbstractButton::leaveEvent(event);
    setHovering(false);
}

void TrafficLightButton::changeEvent(QEvent *event)
{
    QAbstractButton::changeEvent(event);
    if (event->type() == QEvent::EnabledChange) {
        if (!isEnabled())
            m_hovering = false;
        update();
    }
}

void TrafficLightButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const bool enabled = isEnabled();
    const QRectF dot((frameSize - dotDiameter) / 2, (frameSize - dotDiameter) / 2, dotDiameter, dotDiameter);
    painter.setOpacity(enabled ? 1.0 : 0.8);
    painter.setPen(Qt::NoPen);
    painter.setBrush(enabled ? m_color : Theme::white(0.18));
    painter.drawEllipse(dot);

    // At rest the glyph stays readable (a third of its strength was lost on the coloured dot).
    painter.setOpacity(!enabled ? 0.22 : (m_hovering ? 1.0 : restingGlyphOpacity));
    const double glyph = 7;
    drawGlyph(painter, QRectF((frameSize - glyph) / 2.0, (frameSize - glyph) / 2.0, glyph, glyph));
}

void TrafficLightButton::drawGlyph(QPainter &painter, const QRectF &box) const
{
    // Drawn as strokes: a theme's symbolic icon scaled to seven pixels blurs into a smudge.
    QPen pen(Theme::black(0.6), 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    if (m_symbol == QLatin1String("xmark")) {
        painter.drawLine(box.topLeft(), box.bottomRight());
        painter.drawLine(box.topRight(), box.bottomLeft());
    } else if (m_symbol == QLatin1String("minus")) {
        painter.drawLine(QPointF(box.left(), box.center().y()), QPointF(box.right(), box.center().y()));
    } else if (m_symbol == QLatin1String("arrow.up.left.and.arrow.down.right")) {
        // Two arrowheads pointing away from the centre, to the top-left and bottom-right corners.
        painter.setPen(Qt::NoPen);
        painter.setBrush(Theme::black(0.6));
        const double s = box.width() * 0.62;
        painter.drawPolygon(
            QPolygonF({box.topLeft(), box.topLeft() + QPointF(s, 0), box.topLeft() + QPointF(0, s)}));
        painter.drawPolygon(QPolygonF(
            {box.bottomRight(), box.bottomRight() - QPointF(s, 0), box.bottomRight() - QPointF(0, s)}));
    } else {
        const int size = int(box.width()) + 1;
        painter.drawPixmap(box.topLeft(),
                           Symbols::pixmap(m_symbol, size, Theme::black(0.6), devicePixelRatioF()));
    }
}

} // namespace qv
