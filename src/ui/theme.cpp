#include "ui/theme.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>

namespace qv::Theme {

QFont systemFont(double pointSize, QFont::Weight weight)
{
    QFont font = QApplication::font();
    // Design points are device-independent pixels here, whatever the screen's DPI says.
    font.setPixelSize(qMax(1, qRound(pointSize)));
    font.setWeight(weight);
    return font;
}

QFont monospaced(QFont font)
{
    font.setStyleHint(QFont::Monospace);
    // The font's own families stay behind the monospaced ones, for what those cannot draw.
    font.setFamilies(QStringList{QStringLiteral("DejaVu Sans Mono"), QStringLiteral("monospace")} +
                     font.families());
    return font;
}

void paintShadow(QPainter &painter, const QRectF &frame, double cornerRadius, double opacity, double radius,
                 double dy)
{
    // Stacked rings: darkest next to the frame, fading out over the radius.
    constexpr int rings = 8;
    const double step = radius / 2 / rings;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    for (int i = 1; i <= rings; ++i) {
        QPainterPath ring;
        const double grow = i * step;
        ring.addRoundedRect(frame.translated(0, dy).adjusted(-grow, -grow, grow, grow), cornerRadius + grow,
                            cornerRadius + grow);
        painter.fillPath(ring, black(opacity / (2 * rings)));
    }
    painter.restore();
}

} // namespace qv::Theme
