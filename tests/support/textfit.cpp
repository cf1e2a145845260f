#include "support/textfit.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QGlyphRun>
#include <QGraphicsEffect>
#include <QLabel>
#include <QPaintEngine>
#include <QPainter>
#include <QTextLayout>

#include <limits>

namespace qv {

namespace {

QString roomFault(const QWidget &widget, const QString &text)
{
    const auto *label = qobject_cast<const QLabel *>(&widget);
    if (!label || text.isEmpty()) {
        const QSize needed = widget.minimumSizeHint();
        const bool small = widget.width() < needed.width() || widget.height() < needed.height();
        return needed.isValid() && small
                   ? QStringLiteral("needs %1x%2").arg(needed.width()).arg(needed.height())
                   : QString();
    }
    if (label->wordWrap())
        return label->heightForWidth(label->width()) > label->height() ? QStringLiteral("needs more lines")
                                                                       : QString();
    int widest = 0;
    for (const QString &line : text.split(u'\n'))
        widest = qMax(widest, label->fontMetrics().horizontalAdvance(line));
    return widest > label->contentsRect().width() ? QStringLiteral("needs %1 px").arg(widest) : QString();
}

bool drawsABox(const QWidget &widget, const QString &text)
{
    QTextLayout layout(text, widget.font());
    layout.beginLayout();
    while (layout.createLine().isValid()) {
    }
    layout.endLayout();
    for (const QGlyphRun &run : layout.glyphRuns()) {
        if (run.glyphIndexes().contains(0))
            return true;
    }
    return false;
}

// A picture of the widget's size that keeps the lines of text drawn on it and ignores everything else.
class TextRecorder : public QImage, public QPaintEngine
{
public:
    explicit TextRecorder(QSize size) : QImage(size, Format_ARGB32_Premultiplied), QPaintEngine(AllFeatures)
    {
    }
    QPaintEngine *paintEngine() const override { return const_cast<TextRecorder *>(this); }
    bool begin(QPaintDevice *) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState &) override {}
    void drawPixmap(const QRectF &, const QPixmap &, const QRectF &) override {}
    void drawPath(const QPainterPath &) override {}
    void drawPolygon(const QPointF *, int, PolygonDrawMode) override {}
    void drawTextItem(const QPointF &at, const QTextItem &item) override
    {
        const double right = painter()->deviceTransform().map(at + QPointF(item.width(), 0)).x();
        lines << item.text().trimmed() +
                     (right > QImage::width() ? QStringLiteral(" (runs past)") : QString());
        const QFont font = item.font();
        const double pixels = font.pixelSize() > 0 ? font.pixelSize() : font.pointSizeF() * 96.0 / 72.0;
        smallest = qMin(smallest, pixels * painter()->deviceTransform().m22());
    }
    Type type() const override { return User; }
    QStringList lines;
    double smallest = std::numeric_limits<double>::infinity();
};

// Records where the pictures (images, pixmaps) a widget paints itself land, in its own coordinates,
// and which of them its edges cut.
class PictureRecorder : public QImage, public QPaintEngine
{
public:
    explicit PictureRecorder(QSize size)
        : QImage(size, Format_ARGB32_Premultiplied), QPaintEngine(AllFeatures)
    {
    }
    QPaintEngine *paintEngine() const override { return const_cast<PictureRecorder *>(this); }
    bool begin(QPaintDevice *) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState &) override {}
    void drawPath(const QPainterPath &) override {}
    void drawPolygon(const QPointF *, int, PolygonDrawMode) override {}
    void drawTextItem(const QPointF &, const QTextItem &) override {}
    void drawPixmap(const QRectF &target, const QPixmap &, const QRectF &) override { record(target); }
    void drawImage(const QRectF &target, const QImage &, const QRectF &, Qt::ImageConversionFlags) override
    {
        record(target);
    }
    void drawTiledPixmap(const QRectF &target, const QPixmap &, const QPointF &) override { record(target); }
    Type type() const override { return User; }

    QList<QRect> cut;

private:
    void record(const QRectF &target)
    {
        QRectF drawn = painter()->deviceTransform().mapRect(target);
        if (painter()->hasClipping())
            drawn &= painter()->deviceTransform().mapRect(painter()->clipBoundingRect());
        // Half a pixel of antialiasing either side is no cut.
        const QRectF own = QRectF(QImage::rect()).adjusted(-0.5, -0.5, 0.5, 0.5);
        if (!drawn.isEmpty() && !own.contains(drawn))
            cut << drawn.toAlignedRect();
    }
};

// A picture the widget draws that reaches past its own edges, as "a 32x32 picture cut to 1x48".
QString pictureFault(QWidget &widget)
{
    PictureRecorder recorder(widget.size());
    // A glow or shadow effect spreads past the widget on purpose; the picture under it may not.
    QGraphicsEffect *effect = widget.graphicsEffect();
    const bool effectOn = effect && effect->isEnabled();
    if (effectOn)
        effect->setEnabled(false);
    widget.render(&recorder, QPoint(), QRegion(), QWidget::RenderFlags());
    if (effectOn)
        effect->setEnabled(true);
    if (recorder.cut.isEmpty())
        return QString();
    const QRect picture = recorder.cut.constFirst();
    return QStringLiteral("a %1x%2 picture cut to %3x%4")
        .arg(picture.width())
        .arg(picture.height())
        .arg(widget.width())
        .arg(widget.height());
}

} // namespace

QStringList paintedLines(QWidget &widget)
{
    TextRecorder recorder(widget.size());
    widget.render(&recorder);
    return recorder.lines;
}

double smallestPaintedText(QWidget &widget)
{
    TextRecorder recorder(widget.size());
    widget.render(&recorder);
    return recorder.smallest;
}

QStringList cutTexts(QWidget &root)
{
    QStringList faults;
    for (QWidget *widget : root.findChildren<QWidget *>()) {
        if (!widget->isVisibleTo(&root))
            continue;
        const auto *label = qobject_cast<const QLabel *>(widget);
        const auto *button = qobject_cast<const QAbstractButton *>(widget);
        const QString text = label ? label->text() : button ? button->text() : widget->accessibleName();
        const QString name =
            text.isEmpty()
                ? QStringLiteral("%1 \"%2\": ").arg(QLatin1String(widget->metaObject()->className()),
                                                   widget->objectName())
                : QStringLiteral("\"%1\" (%2): ").arg(text, widget->metaObject()->className());
        if (const QString fault = roomFault(*widget, text); !fault.isEmpty())
            faults << name + fault;
        if (!text.isEmpty() && drawsABox(*widget, text))
            faults << name + QStringLiteral("draws a box");
        if (const QString fault = pictureFault(*widget); !fault.isEmpty())
            faults << name + fault;
        for (QWidget *inner = widget; inner != &root; inner = inner->parentWidget()) {
            const QWidget *outer = inner->parentWidget();
            const auto *area = qobject_cast<const QAbstractScrollArea *>(outer->parentWidget());
            const bool inArea = area && area->viewport() == outer;
            const bool across = inArea && area->horizontalScrollBarPolicy() != Qt::ScrollBarAlwaysOff;
            const bool down = inArea;
            const QRect frame = inner->geometry();
            if ((!across && (frame.left() < 0 || frame.right() >= outer->width())) ||
                (!down && (frame.top() < 0 || frame.bottom() >= outer->height()))) {
                faults << name + QStringLiteral("within a %1 sticking out of its parent")
                                     .arg(QLatin1String(inner->metaObject()->className()));
                break;
            }
        }
    }
    return faults;
}

} // namespace qv
