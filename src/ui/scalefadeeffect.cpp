#include "ui/scalefadeeffect.h"

#include <QPainter>
#include <QWidget>

namespace qv {

void setScaleFade(QWidget *widget, double opacity, double scale)
{
    if (!widget)
        return;
    if (opacity >= 1 && scale == 1) {
        widget->setGraphicsEffect(nullptr);
        return;
    }
    auto *effect = qobject_cast<ScaleFadeEffect *>(widget->graphicsEffect());
    if (!effect) {
        effect = new ScaleFadeEffect(widget);
        widget->setGraphicsEffect(effect);
    }
    effect->setOpacity(opacity);
    effect->setScale(scale);
}

void ScaleFadeEffect::setOpacity(double opacity)
{
    if (opacity == m_opacity)
        return;
    m_opacity = opacity;
    update();
}

void ScaleFadeEffect::setScale(double scale)
{
    if (scale == m_scale)
        return;
    m_scale = scale;
    update();
}

void ScaleFadeEffect::draw(QPainter *painter)
{
    if (m_opacity <= 0)
        return;
    if (m_opacity >= 1 && m_scale == 1) {
        drawSource(painter);
        return;
    }
    QPoint offset;
    const QPixmap picture = sourcePixmap(Qt::LogicalCoordinates, &offset, QGraphicsEffect::NoPad);
    if (picture.isNull())
        return;
    const QPointF centre = sourceBoundingRect(Qt::LogicalCoordinates).center();
    painter->save();
    painter->setOpacity(painter->opacity() * m_opacity);
    if (m_scale != 1) {
        painter->setRenderHint(QPainter::SmoothPixmapTransform);
        painter->translate(centre);
        painter->scale(m_scale, m_scale);
        painter->translate(-centre);
    }
    painter->drawPixmap(offset, picture);
    painter->restore();
}

} // namespace qv
