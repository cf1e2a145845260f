#pragma once

#include <QColor>
#include <QPainterPath>

#include "ui/animation.h"
#include "views/items/itemwidget.h"

namespace qv {

// What the edge popup's clipboard cards and rows and its shelf tiles have in common: a rounded
// frame that lights up in the item's accent colour while the pointer is on it (brighter fill,
// coloured border, 2 % larger, coloured shadow, on a spring), a preview above a footer line of kind
// icon and live age, and three round action buttons at the footer's end that exist only while the
// pointer is on the item. Subclasses draw the preview and name the buttons. Main thread.
class EdgeItemView : public ItemWidget
{
    Q_OBJECT
public:
    enum class Shape { Card, Row };
    static constexpr QSizeF cardSize{240, 180};
    // Room around the frame for the hover scale and the shadow.
    static constexpr double margin = 10;
    static constexpr double buttonSide = 24;

    Shape shape() const { return m_shape; }
    double hoverProgress() const { return m_hover; }
    QRectF frameRect() const;
    // Where the preview goes, and the footer line.
    QRectF previewRect() const;
    QRectF footerRect() const;

    QSize sizeHint() const override;
    bool hasHeightForWidth() const override { return m_shape == Shape::Row; }
    int heightForWidth(int width) const override;
    // A row's height at `width` for a preview of `previewHeight`, and the width its preview gets,
    // so a list can measure rows it has not built.
    static int rowHeight(double previewHeight);
    static double rowContentWidth(int width);

    // The face of one round action button: the symbol at 11 pt on a 24 pt disc.
    static void drawActionButton(QPainter &painter, const QRectF &box, const QString &symbol,
                                 const QColor &foreground, const QColor &background);

protected:
    struct Face
    {
        int id;
        QString symbol;
        QColor foreground;
        QColor background;
    };

    EdgeItemView(Shape shape, const QColor &accent, AgeClock &ages, QWidget *parent);

    // The preview's height in a row of this content width.
    virtual double rowPreviewHeight(double width) const = 0;
    virtual void paintPreview(QPainter &painter, const QRectF &box) = 0;
    // Symbols before the age (kind icon, pin mark), each with its colour.
    virtual QList<std::pair<QString, QColor>> footerSymbols() const = 0;
    virtual QDateTime date() const = 0;
    // Drawn at the footer's trailing end before the buttons (the device badge).
    virtual void paintFooterEnd(QPainter &, const QRectF &) {}
    // The buttons in order, with their colours for the current hover state.
    virtual QList<Face> faces() const = 0;

    QList<Button> buttons() const override;
    void hoverChanged() override;
    void paintEvent(QPaintEvent *event) override;

private:
    // Shadow, fill and border around `frame` at hover progress `t`.
    void paintChrome(QPainter &painter, const QRectF &frame, double t);

    Shape m_shape;
    QColor m_accent;
    double m_hover = 0;
    Animation m_hoverAnimation;
    QList<QPainterPath> m_rings;
    QRectF m_ringsFrame;
    double m_ringsProgress = -1;
};

} // namespace qv
