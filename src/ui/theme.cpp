#include "ui/theme.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <vector>

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

QString darkScrollBarStyle()
{
    return QStringLiteral(
        "QScrollBar { background: transparent; margin: 2px; }"
        "QScrollBar:vertical { width: 8px; } QScrollBar:horizontal { height: 8px; }"
        "QScrollBar::handle { background: rgba(255, 255, 255, 60); border-radius: 2px; }"
        "QScrollBar::handle:vertical { min-height: 30px; } QScrollBar::handle:horizontal { min-width: 30px; }"
        "QScrollBar::add-line, QScrollBar::sub-line { width: 0; height: 0; }"
        "QScrollBar::add-page, QScrollBar::sub-page { background: transparent; }");
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

QPixmap shapeShadow(const QPixmap &shape, const QColor &color, double radius)
{
    const double dpr = shape.devicePixelRatio();
    const int margin = int(std::ceil(radius * dpr));
    QImage alpha(shape.width() + 2 * margin, shape.height() + 2 * margin, QImage::Format_Alpha8);
    alpha.fill(0);
    {
        QPainter painter(&alpha);
        painter.drawPixmap(margin, margin, shape);
    }
    // Three box blurs come close to a Gaussian of deviation radius / 2.
    const double sigma = radius * dpr / 2;
    const int box = std::max(1, int(std::lround(std::sqrt(sigma * sigma + 0.25) - 0.5)));
    const int w = alpha.width();
    const int h = alpha.height();
    std::vector<int> line(size_t(std::max(w, h)));
    auto pass = [&](bool horizontal) {
        const int length = horizontal ? w : h;
        const int lines = horizontal ? h : w;
        for (int l = 0; l < lines; ++l) {
            auto at = [&](int i) -> uchar & {
                return horizontal ? alpha.scanLine(l)[i] : alpha.scanLine(i)[l];
            };
            for (int i = 0; i < length; ++i)
                line[size_t(i)] = at(i);
            int sum = 0;
            for (int i = -box; i <= box; ++i)
                sum += i >= 0 && i < length ? line[size_t(i)] : 0;
            for (int i = 0; i < length; ++i) {
                at(i) = uchar(sum / (2 * box + 1));
                const int out = i - box;
                const int in = i + box + 1;
                sum += (in < length ? line[size_t(in)] : 0) - (out >= 0 ? line[size_t(out)] : 0);
            }
        }
    };
    for (int round = 0; round < 3; ++round) {
        pass(true);
        pass(false);
    }
    QImage tinted(alpha.size(), QImage::Format_ARGB32_Premultiplied);
    tinted.fill(color);
    {
        QPainter painter(&tinted);
        painter.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        painter.drawImage(0, 0, alpha);
    }
    QPixmap result = QPixmap::fromImage(tinted);
    result.setDevicePixelRatio(dpr);
    return result;
}

} // namespace qv::Theme
