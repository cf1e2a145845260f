#pragma once

#include <QColor>
#include <QPainterPath>
#include <QWidget>

namespace qv {

// The frosted backdrop of our panels. Its material follows a blur amount in three tiers: below 15
// the dark heads-up material, from 15 to below 35 the popover material, from 35 on the full-screen
// material. Where a compositing manager runs the fill is a translucent tint (the panel asks the
// compositor to blur behind it); elsewhere the same tint is painted opaque, so no black or stale
// backdrop ever shows. Draws only, takes no input, never fails. Main thread.
class DockGlassBackground : public QWidget
{
    Q_OBJECT
public:
    enum class Material { hudWindow, popover, fullScreenUI };

    static constexpr double cornerRadius = 16.0;

    explicit DockGlassBackground(double blurAmount = 25.0, QWidget *parent = nullptr);

    static Material materialFor(double blurAmount);
    // The fill of a material; opaque when `translucent` is false.
    static QColor tint(Material material, bool translucent);
    // Paints the material into `clip` at `opacity` (what other views use to draw the glass inside
    // their own outline).
    static void paint(QPainter &painter, const QPainterPath &clip, double blurAmount, bool translucent,
                      double opacity = 1.0);

    double blurAmount() const { return m_blurAmount; }
    void setBlurAmount(double blurAmount);
    Material material() const { return materialFor(m_blurAmount); }
    bool isTranslucent() const { return m_translucent; }
    void setTranslucent(bool translucent);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    double m_blurAmount;
    bool m_translucent = true;
};

} // namespace qv
