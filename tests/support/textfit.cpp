#include "support/textfit.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QGlyphRun>
#include <QLabel>
#include <QPaintEngine>
#include <QPainter>
#include <QTextLayout>

namespace qv {

namespace {

QString roomFault(const QWidget &widget, const QString &text)
{
    const auto *label = qobject_cast<const QLabel *>(&widget);
    if (!label) {
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
    }
    Type type() const override { return User; }
    QStringList lines;
};

} // namespace

QStringList paintedLines(QWidget &widget)
{
    TextRecorder recorder(widget.size());
    widget.render(&recorder);
    return recorder.lines;
}

QStringList cutTexts(QWidget &root)
{
    QStringList faults;
    for (QWidget *widget : root.findChildren<QWidget *>()) {
        const auto *label = qobject_cast<const QLabel *>(widget);
        const auto *button = qobject_cast<const QAbstractButton *>(widget);
        const QString text = label ? label->text() : button ? button->text() : widget->accessibleName();
        if (!widget->isVisibleTo(&root) || text.isEmpty())
            continue;
        const QString name = QStringLiteral("\"%1\" (%2): ").arg(text, widget->metaObject()->className());
        if (const QString fault = roomFault(*widget, text); !fault.isEmpty())
            faults << name + fault;
        if (drawsABox(*widget, text))
            faults << name + QStringLiteral("draws a box");
        for (QWidget *inner = widget; inner != &root; inner = inner->parentWidget()) {
            const QWidget *outer = inner->parentWidget();
            const auto *area = qobject_cast<const QAbstractScrollArea *>(outer->parentWidget());
            const bool scrolls = area && area->viewport() == outer;
            const QRect frame = inner->geometry();
            if (frame.left() < 0 || frame.right() >= outer->width() ||
                (!scrolls && (frame.top() < 0 || frame.bottom() >= outer->height()))) {
                faults << name + QStringLiteral("within a %1 sticking out of its parent")
                                     .arg(QLatin1String(inner->metaObject()->className()));
                break;
            }
        }
    }
    return faults;
}

} // namespace qv
