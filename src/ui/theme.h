#pragma once

#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QRectF>

class QPainter;

namespace qv {

// Colours, fonts and sizes the views share, in one place. Sizes are device-independent pixels,
// which stand for the points of the design.
namespace Theme {

inline QColor white(double opacity)
{
    return QColor::fromRgbF(1, 1, 1, float(opacity));
}
inline QColor black(double opacity)
{
    return QColor::fromRgbF(0, 0, 0, float(opacity));
}

// The colour `t` of the way from `from` to `to` (0 gives `from`, 1 `to`), channel by channel.
inline QColor mixed(const QColor &from, const QColor &to, double t)
{
    return QColor::fromRgbF(float(from.redF() + (to.redF() - from.redF()) * t),
                            float(from.greenF() + (to.greenF() - from.greenF()) * t),
                            float(from.blueF() + (to.blueF() - from.blueF()) * t),
                            float(from.alphaF() + (to.alphaF() - from.alphaF()) * t));
}

// The desktop's traffic-light colours.
inline QColor systemRed()
{
    return QColor(255, 69, 58);
}
inline QColor systemYellow()
{
    return QColor(255, 214, 10);
}
inline QColor systemGreen()
{
    return QColor(50, 215, 75);
}
// The desktop's accent: the fill of a standard switch that is on.
inline QColor systemBlue()
{
    return QColor(10, 132, 255);
}

// The thinnest frosted fill; over an opaque backdrop it is drawn without transparency.
inline QColor ultraThinMaterial(bool translucent)
{
    return translucent ? QColor(38, 38, 44, 140) : QColor(38, 38, 44);
}

// The system font at `pointSize` design points and `weight`.
QFont systemFont(double pointSize, QFont::Weight weight = QFont::Normal);
// `font` in the system's monospaced face, its size and weight kept.
QFont monospaced(QFont font);
// Style sheet rules for thin, translucent scroll bars over a dark view (the platform's own are light).
QString darkScrollBarStyle();

// A soft black shadow of a rounded `frame` at `opacity`, spread over `radius` and dropped by `dy`.
void paintShadow(QPainter &painter, const QRectF &frame, double cornerRadius, double opacity, double radius,
                 double dy);
// The shadow a shape casts (an icon, a symbol): its outline blurred over `radius` in `color`, on a
// picture `radius` larger than `shape` on every side (draw it `radius` up and left of the shape).
QPixmap shapeShadow(const QPixmap &shape, const QColor &color, double radius);

} // namespace Theme
} // namespace qv
