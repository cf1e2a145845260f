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

    painter.setOpacity(!enabled ? 0.22 : (m_hovering ? 1.0 : 0.3));
    const int glyph = 8;
    const QPixmap pixmap = Symbols::pixmap(m_symbol, glyph, Theme::black(0.6), devicePixelRatioF());
    painter.drawPixmap(QPointF((frameSize - glyph) / 2.0, (frameSize - glyph) / 2.0), pixmap);
}

} // namespace qv
