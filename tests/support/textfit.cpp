#include "support/textfit.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QScrollArea>
#include <QScrollBar>
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
        // A line whose baseline the painter's clip cuts off is not read by anyone.
        if (painter()->hasClipping() &&
            painter()->deviceTransform().map(at).y() >
                painter()->deviceTransform().mapRect(painter()->clipBoundingRect()).bottom())
            return;
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

// Records the pictures (images, pixmaps) a widget paints itself whose edges cut a visible part of
// them: a pixel at least a quarter opaque that lands outside the widget (or the painter's clip). The
// faint fringe of a soft shadow may fall outside; the picture itself may not.
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
    void drawPixmap(const QRectF &target, const QPixmap &pixmap, const QRectF &source) override
    {
        record(target, pixmap.toImage(), source);
    }
    void drawImage(const QRectF &target, const QImage &image, const QRectF &source,
                   Qt::ImageConversionFlags) override
    {
        record(target, image, source);
    }
    Type type() const override { return User; }

    QList<QRect> cut;

private:
    void record(const QRectF &target, const QImage &image, const QRectF &source)
    {
        if (image.isNull() || source.isEmpty())
            return;
        const QImage pixels = image.convertToFormat(Format_ARGB32);
        const QRectF drawn = painter()->deviceTransform().mapRect(target);
        const QRectF shown = painter()->hasClipping()
                                 ? drawn & painter()->deviceTransform().mapRect(painter()->clipBoundingRect())
                                 : drawn;
        // Half a pixel of antialiasing either side is no cut.
        const QRectF own = QRectF(QImage::rect()).adjusted(-0.5, -0.5, 0.5, 0.5);
        const double sx = drawn.width() / source.width();
        const double sy = drawn.height() / source.height();
        const QRect from = source.toAlignedRect() & pixels.rect();
        for (int y = from.top(); y <= from.bottom(); ++y) {
            const auto *line = reinterpret_cast<const QRgb *>(pixels.constScanLine(y));
            for (int x = from.left(); x <= from.right(); ++x) {
                if (qAlpha(line[x]) < 64)
                    continue;
                const QPointF at(drawn.left() + (x + 0.5 - source.left()) * sx,
                                 drawn.top() + (y + 0.5 - source.top()) * sy);
                if (shown.contains(at) && !own.contains(at)) {
                    cut << drawn.toAlignedRect();
                    return;
                }
            }
        }
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
            text.isEmpty() ? QStringLiteral("%1 \"%2\": ")
                                 .arg(QLatin1String(widget->metaObject()->className()), widget->objectName())
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
            // A strip whose content sets its own width scrolls sideways, scroll bar or not.
            const auto *strip = qobject_cast<const QScrollArea *>(area);
            const bool across = inArea && strip && !strip->widgetResizable() &&
                                area->horizontalScrollBar()->maximum() > 0 &&
                                area->verticalScrollBar()->maximum() == 0;
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
