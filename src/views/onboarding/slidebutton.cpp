#include "views/onboarding/slidebutton.h"

#include <QGraphicsDropShadowEffect>
#include <QPainter>
#include <QPainterPath>

namespace qv {

SlideButton::SlideButton(Look look, QWidget *parent) : QAbstractButton(parent), m_look(std::move(look))
{
    setCursor(Qt::PointingHandCursor);
    setFont(m_look.font);
    if (m_look.shadow.isValid()) {
        auto *shadow = new QGraphicsDropShadowEffect(this);
        shadow->setColor(m_look.shadow);
        shadow->setBlurRadius(m_look.shadowRadius * 2);
        shadow->setOffset(0, 0);
        setGraphicsEffect(shadow);
    }
}

QSize SlideButton::sizeHint() const
{
    const QFontMetrics metrics(m_look.font);
    const QSize textSize = metrics.size(Qt::TextSingleLine, text());
    return textSize.grownBy(m_look.padding);
}

void SlideButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    shape.addRoundedRect(box, m_look.radius, m_look.radius);
    painter.fillPath(shape, isDown() ? m_look.fill.darker(115) : m_look.fill);
    if (m_look.outline.isValid()) {
        painter.setPen(QPen(m_look.outline, 1));
        painter.drawPath(shape);
    }
    painter.setPen(m_look.text);
    painter.setFont(m_look.font);
    painter.drawText(rect(), Qt::AlignCenter, text());
}

} // namespace qv
