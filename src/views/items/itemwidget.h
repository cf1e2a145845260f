#pragma once

#include <QColor>
#include <QList>
#include <QPointer>
#include <QRectF>
#include <QString>
#include <QWidget>

class QMenu;
class QPainter;

namespace qv {

class AgeClock;

// The common ground of the item views: each is one painted widget whose round action buttons are
// areas of its own, so a list of hundreds of items costs one widget per item. The base tracks the
// pointer over the item and over each button and turns clicks on a button into buttonClicked();
// a click elsewhere goes to bodyClicked(). Views redraw their age on the shared clock's tick while
// visible. Main thread.
class ItemWidget : public QWidget
{
    Q_OBJECT
public:
    ItemWidget(AgeClock &ages, QWidget *parent = nullptr);
    ~ItemWidget() override;

    bool isHovered() const { return m_hovered; }
    // The button under the pointer, or -1.
    int hoveredButton() const { return m_hoveredButton; }
    // Where a button is now; an empty rectangle for a button that is not shown.
    QRectF buttonRect(int id) const;

    // Pointer input, also used by tests (offscreen windows get no enter or leave events).
    void pointerMoved(const QPointF &pos);
    void pointerLeft();

protected:
    struct Button
    {
        int id;
        QRectF rect;
    };
    // The buttons shown now, in widget coordinates.
    virtual QList<Button> buttons() const = 0;
    virtual void buttonClicked(int id) = 0;
    virtual void bodyClicked() {}
    virtual void bodyDoubleClicked() {}
    virtual void hoverChanged() {}
    // Called once a press on the body has moved far enough to be a drag; views that are drag
    // sources start theirs here.
    virtual void dragStarted() {}
    virtual void buttonHoverChanged(int /*previous*/) {}

    AgeClock &ages() const { return m_ages; }

    // Shows `menu` at `globalPos` until it closes, then takes the hover state from where the pointer
    // is now: while the menu held the pointer, the crossings the item heard need not match where
    // the pointer ended (or what the chosen action put over the item). The action may take the item
    // away.
    void runMenu(QMenu &menu, const QPoint &globalPos);

    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

    // Painting helpers shared by the views.
    static QColor tinted(QColor color, double alpha)
    {
        color.setAlphaF(float(alpha));
        return color;
    }
    static void drawSymbol(QPainter &painter, const QRectF &box, const QString &symbol, const QColor &color,
                           int size);
    // A round (radius < 0) or rounded face with a centred symbol.
    static void drawFace(QPainter &painter, const QRectF &box, const QString &symbol,
                         const QColor &foreground, const QColor &background, int symbolSize,
                         double radius = -1);
    // Text laid out in `box` with at most `maxLines` lines, the last one cut with an ellipsis.
    static void drawLines(QPainter &painter, const QRectF &box, const QString &text, int maxLines,
                          double lineSpacing, Qt::Alignment alignment = Qt::AlignLeft);
    // The height drawLines() needs to show `text` in lines of `width`, at most `maxLines` of them,
    // in `font`: a box of that height shows every line it can hold, uncut.
    static double linesHeight(const QFont &font, const QString &text, double width, int maxLines,
                              double lineSpacing);
    // The image scaled to cover `box` (cropped, never letter-boxed) or to fit inside it, clipped to
    // `box` with rounded corners of `radius`.
    static void drawImage(QPainter &painter, const QRectF &box, const QImage &image, bool fill,
                          double radius = 0);

    QPointF m_pressPos;
    bool m_pressed = false;

private:
    void followPointer();

    AgeClock &m_ages;
    // Set while this view holds the clock running; the clock may be gone before a view is.
    QPointer<AgeClock> m_holdsClock;
    bool m_hovered = false;
    int m_hoveredButton = -1;
};

} // namespace qv
