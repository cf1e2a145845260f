#pragma once

#include <QString>
#include <QWidget>

#include "ui/animation.h"

namespace qv {

class Scheduler;

// One drop-zone tile of the peek overlay: a rounded tile with a large symbol, outlined in cyan and
// grown by 5 % while it is the zone the dragged window would snap to. Draws only.
class DropZoneView : public QWidget
{
    Q_OBJECT
public:
    // Room around the tile for its highlighted scale.
    static constexpr double growth = 0.05;

    DropZoneView(const QString &symbol, Scheduler &scheduler, QWidget *parent = nullptr);

    QString symbol() const { return m_symbol; }
    bool isHighlighted() const { return m_highlighted; }
    void setHighlighted(bool highlighted);
    double scale() const { return m_scale; }
    // The tile's place (unscaled) in the parent; the widget grows around it.
    void setTileRect(const QRectF &tile);
    QRectF tileRect() const { return m_tile; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_symbol;
    bool m_highlighted = false;
    double m_scale = 1.0;
    QRectF m_tile;
    Animation m_scaleAnimation;
};

} // namespace qv
