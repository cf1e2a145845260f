#pragma once

#include <QBrush>
#include <QColor>
#include <QString>
#include <QWidget>

#include "ui/animation.h"

namespace qv {

class Scheduler;

// A large symbol of a first-run slide, filled with a colour or a gradient (the brush is laid over
// the symbol's square), with an optional glow. bounce() plays a short spring on its scale. Main
// thread.
class SlideSymbol : public QWidget
{
    Q_OBJECT
public:
    SlideSymbol(Scheduler &scheduler, int pointSize, QWidget *parent = nullptr);

    QString symbolName() const { return m_symbolName; }
    void setSymbol(const QString &symbolName, const QBrush &fill);
    void setGlow(const QColor &color, double radius);
    void bounce();
    double scale() const { return m_scale; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int m_pointSize;
    QString m_symbolName;
    QBrush m_fill;
    double m_scale = 1.0;
    Animation m_bounce;
};

} // namespace qv
