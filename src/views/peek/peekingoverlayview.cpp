#include "views/peek/peekingoverlayview.h"

#include <QPainter>

#include "ui/theme.h"
#include "views/peek/dropzoneview.h"
#include "views/peek/peeklayout.h"
#include "views/peek/peekviewstate.h"

namespace qv {

PeekingOverlayView::PeekingOverlayView(PeekViewState &state, Scheduler &scheduler, QWidget *parent)
    : QWidget(parent), m_state(state)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_TranslucentBackground);
    for (const PeekLayout::ZoneTile &tile : PeekLayout::zoneTiles(QSizeF(1, 1)))
        m_zones.append(new DropZoneView(QString::fromLatin1(tile.symbol), scheduler, this));
    connect(&m_state, &PeekViewState::changed, this, &PeekingOverlayView::sync);
    sync();
}

void PeekingOverlayView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    sync();
}

void PeekingOverlayView::sync()
{
    const QList<PeekLayout::ZoneTile> tiles = PeekLayout::zoneTiles(QSizeF(size()));
    const auto zone = m_state.dragTargetZone();
    for (int i = 0; i < m_zones.size(); ++i) {
        m_zones[i]->setTileRect(tiles.at(i).rect);
        m_zones[i]->setHighlighted(zone == tiles.at(i).zone);
        m_zones[i]->setVisible(m_state.isDragging());
    }
    update();
    emit outlineChanged();
}

std::optional<QRectF> PeekingOverlayView::cardRect() const
{
    const auto window = m_state.peekingWindow();
    if (m_state.isDragging() || !window || (window->image.isNull() && window->appIcon.isNull()))
        return std::nullopt;
    return PeekLayout::peekCardRect(window->rect, window->isMinimized, QSizeF(size()), m_state.screens(),
                                    m_state.mainScreen(), m_state.mouseLocation(), m_state.flipHeight());
}

QPainterPath PeekingOverlayView::outline() const
{
    QPainterPath path;
    if (m_state.isTranslucent())
        return path;
    if (m_state.isDragging()) {
        for (const DropZoneView *zone : m_zones)
            path.addRect(QRectF(zone->geometry()));
    } else if (const auto card = cardRect()) {
        path.addRect(*card);
    }
    return path;
}

void PeekingOverlayView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const bool translucent = m_state.isTranslucent();
    if (m_state.isDragging()) {
        if (translucent)
            painter.fillRect(rect(), Theme::black(0.2));
        return;
    }
    const auto window = m_state.peekingWindow();
    if (!window)
        return;
    if (translucent)
        painter.fillRect(rect(), Theme::black(0.4));
    const auto card = cardRect();
    if (!card)
        return;
    const QImage &image = window->image.isNull() ? window->appIcon : window->image;
    const double radius = window->isMinimized ? 12 : 10;
    QPainterPath path;
    path.addRoundedRect(*card, radius, radius);
    if (translucent) {
        const double offset = window->isMinimized ? 15 : 10;
        const double spread = window->isMinimized ? 30 : 20;
        const double opacity = window->isMinimized ? 0.6 : 0.5;
        painter.save();
        painter.translate(0, offset);
        for (double width = spread; width > 0; width -= spread / 5) {
            painter.setPen(
                QPen(Theme::black(opacity / 8), width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            painter.drawPath(path);
        }
        painter.restore();
    }
    painter.save();
    painter.setClipPath(path);
    painter.drawImage(*card, image);
    painter.restore();
    painter.setPen(QPen(Theme::white(window->isMinimized ? 0.4 : 0.3), window->isMinimized ? 1.5 : 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(path);
}

} // namespace qv
