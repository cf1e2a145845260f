#pragma once

#include <QPainterPath>
#include <QWidget>

namespace qv {

class DropZoneView;
class PeekViewState;
class Scheduler;

// The content of the click-through peek panel. While a card is dragged it dims the screen lightly
// and shows the three drop-zone tiles, the engine's target highlighted; otherwise, while a window is
// peeked, it dims more and shows the window's picture where the window really is (a minimised one
// centred). Draws nothing otherwise. Without a compositor there is no dim: only the tiles or the
// card are drawn and the panel is cut to them (see outline()). Takes no input.
class PeekingOverlayView : public QWidget
{
    Q_OBJECT
public:
    PeekingOverlayView(PeekViewState &state, Scheduler &scheduler, QWidget *parent = nullptr);

    QList<DropZoneView *> zones() const { return m_zones; }
    // Where the overlay draws, for cutting an opaque panel; empty while translucent.
    QPainterPath outline() const;
    // The peek card's rectangle, none when no card is drawn.
    std::optional<QRectF> cardRect() const;

signals:
    void outlineChanged();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void sync();

    PeekViewState &m_state;
    QList<DropZoneView *> m_zones;
};

} // namespace qv
