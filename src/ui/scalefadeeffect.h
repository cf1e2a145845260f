#pragma once

#include <QGraphicsEffect>

namespace qv {

// Draws `widget` at `opacity` and `scale` through a ScaleFadeEffect, and without any effect at rest
// (1 and 1).
void setScaleFade(QWidget *widget, double opacity, double scale = 1);

// Draws a widget at an opacity and a scale about its centre, for its entrance and exit while
// its content stays live (unlike a still picture, cards that arrive meanwhile show). At opacity 1
// and scale 1 it draws the widget directly; its owner removes it at rest all the same, as any
// effect costs the widget its partial repaints. Main thread.
class ScaleFadeEffect : public QGraphicsEffect
{
    Q_OBJECT
public:
    using QGraphicsEffect::QGraphicsEffect;

    double opacity() const { return m_opacity; }
    double scale() const { return m_scale; }
    void setOpacity(double opacity);
    void setScale(double scale);

protected:
    void draw(QPainter *painter) override;

private:
    double m_opacity = 1;
    double m_scale = 1;
};

} // namespace qv
