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

QColor DockGlassBackground::tint(Material material, bool translucent)
{
    QColor color;
    switch (material) {
    case Material::hudWindow:
        color = QColor(22, 22, 26, 200);
        break;
    case Material::popover:
        color = QColor(44, 44, 52, 170);
        break;
    case Material::fullScreenUI:
        color = QColor(30, 32, 40, 215);
        break;
    }
    if (!translucent)
        color.setAlpha(255);
    return color;
}

void DockGlassBackground::paint(QPainter &painter, const QPainterPath &clip, double blurAmount,
                                bool translucent, double opacity)
{
    painter.save();
    painter.setOpacity(painter.opacity() * opacity);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(clip, tint(materialFor(blurAmount), translucent));
    painter.restore();
}

void DockGlassBackground::setBlurAmount(double blurAmount)
{
    if (blurAmount == m_blurAmount)
        return;
    m_blurAmount = blurAmount;
    update();
}

void DockGlassBackground::setTranslucent(bool translucent)
{
    if (translucent == m_translucent)
        return;
    m_translucent = translucent;
    update();
}

void DockGlassBackground::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    QPainterPath outline;
    outline.addRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
    paint(painter, outline, m_blurAmount, m_translucent);
}

} // namespace qv
