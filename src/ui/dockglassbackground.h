#pragma once

#include <QColor>
#include <QPainterPath>
#include <QWidget>

namespace qv {

// The frosted backdrop of our panels. Its material follows a blur amount in three tiers: below 15
// the dark heads-up material, from 15 to below 35 the popover material, from 35 on the full-screen
// material. A material is an opaque tint: a compositor may not blur at all (picom unless told to),
// so what lies behind a surface shows only as much as the surface's own opacity lets it, never
// legibly, and blurred where the compositor does what its panel asks. Draws only, takes no input,
// never fails. Main thread.
class DockGlassBackground : public QWidget
{
    Q_OBJECT
public:
    enum class Material { hudWindow, popover, fullScreenUI };

    static constexpr double cornerRadius = 16.0;

    explicit DockGlassBackground(double blurAmount = 25.0, QWidget *parent = nullptr);

    static Material materialFor(double blurAmount);
    static QColor tint(Material material);
    // Paints the material into `clip` at `opacity` (what other views use to draw the glass inside
    // their own outline). A surface below 1 is drawn so only where something opaque lies under it
    // or a compositor runs: elsewhere the window shows black through it.
    static void paint(QPainter &painter, const QPainterPath &clip, double blurAmount, double opacity = 1.0);

    double blurAmount() const { return m_blurAmount; }
    void setBlurAmount(double blurAmount);
    Material material() const { return materialFor(m_blurAmount); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    double m_blurAmount;
};

} // namespace qv
