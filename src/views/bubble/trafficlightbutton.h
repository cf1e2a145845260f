#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QString>

class QPainter;

namespace qv {

// One round window button of a card (close, minimise, full screen): a 14 pt dot with a glyph that
// brightens under the pointer. A disabled button is drawn dimmed and does nothing. Its hit area is
// the dot grown by half.
class TrafficLightButton : public QAbstractButton
{
    Q_OBJECT
public:
    static constexpr int frameSize = 24;
    static constexpr double dotDiameter = 14;
    // The glyph's opacity while the pointer is elsewhere on the card.
    static constexpr double restingGlyphOpacity = 0.55;

    TrafficLightButton(const QColor &color, const QString &symbol, QWidget *parent = nullptr);

    QColor color() const { return m_color; }
    QString symbol() const { return m_symbol; }
    bool isHoveringButton() const { return m_hovering; }

    QSize sizeHint() const override { return QSize(frameSize, frameSize); }

protected:
    void paintEvent(QPaintEvent *event) override;
    bool hitButton(const QPoint &pos) const override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void setHovering(bool hovering);
    void drawGlyph(QPainter &painter, const QRectF &box) const;

    QColor m_color;
    QString m_symbol;
    bool m_hovering = false;
};

} // namespace qv
