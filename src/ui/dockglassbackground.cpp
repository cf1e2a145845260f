#include "ui/dockglassbackground.h"

#include <QPainter>

namespace qv {

DockGlassBackground::DockGlassBackground(double blurAmount, QWidget *parent)
    : QWidget(parent), m_blurAmount(blurAmount)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_TranslucentBackground);
}

DockGlassBackground::Material DockGlassBackground::materialFor(double blurAmount)
{
    if (blurAmount < 15)
        return Material::hudWindow;
    if (blurAmount < 35)
        return Material::popover;
    return Material::fullScreenUI;
}

QColor DockGlassBackground::tint(Material material)
{
    switch (material) {
    case Material::hudWindow:
        return {22, 22, 26};
    case Material::popover:
        return {44, 44, 52};
    case Material::fullScreenUI:
        break;
    }
    return {30, 32, 40};
}

void DockGlassBackground::paint(QPainter &painter, const QPainterPath &clip, double blurAmount,
                                double opacity)
{
    painter.save();
    painter.setOpacity(painter.opacity() * opacity);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(clip, tint(materialFor(blurAmount)));
    painter.restore();
}

void DockGlassBackground::setBlurAmount(double blurAmount)
{
    if (blurAmount == m_blurAmount)
        return;
    m_blurAmount = blurAmount;
    update();
}

void DockGlassBackground::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    QPainterPath outline;
    outline.addRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
    paint(painter, outline, m_blurAmount);
}

} // namespace qv
