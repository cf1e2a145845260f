#include "core/color.h"

namespace qv {

// QColor::Rgb is sRGB; components are kept in 16 bits, so a read-back fraction is within 1/65535.
const QColor &Color::neonCyan()
{
    static const QColor color = QColor::fromRgbF(0.0f, 0.9f, 1.0f, 1.0f);
    return color;
}

const QColor &Color::neonPurple()
{
    static const QColor color = QColor::fromRgbF(0.8f, 0.0f, 1.0f, 1.0f);
    return color;
}

const QColor &Color::neonRed()
{
    static const QColor color = QColor::fromRgbF(1.0f, 0.2f, 0.2f, 1.0f);
    return color;
}

const QColor &Color::neonGreen()
{
    static const QColor color = QColor::fromRgbF(0.2f, 1.0f, 0.4f, 1.0f);
    return color;
}

} // namespace qv
