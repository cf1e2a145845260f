#include "support/textfit.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QGlyphRun>
#include <QLabel>
#include <QTextLayout>

namespace qv {

namespace {

QString shownText(const QWidget &widget)
{
    if (const auto *label = qobject_cast<const QLabel *>(&widget))
        return label->text();
    if (const auto *button = qobject_cast<const QAbstractButton *>(&widget))
        return button->text();
    return widget.accessibleName();
}

bool scrollsVertically(const QWidget &parent)
{
    const auto *area = qobject_cast<const QAbstractScrollArea *>(parent.parentWidget());
    return area && area->viewport() == &parent;
}

QString roomFault(const QWidget &widget, const QString &text)
{
    if (const auto *label = qobject_cast<const QLabel *>(&widget)) {
        if (label->pixmap().isNull() == false)
            return QString();
        const QRect room = label->contentsRect();
        if (label->wordWrap()) {
            if (label->heightForWidth(label->width()) > label->height())
                return QStringLiteral("wraps onto more lines than its %1 px").arg(label->height());
            return QString();
        }
        const QFontMetrics metrics(label->font());
        int widest = 0;
        for (const QString &line : text.split(u'\n'))
            widest = qMax(widest, metrics.horizontalAdvance(line));
        if (widest > room.width())
            return QStringLiteral("needs %1 px, has %2").arg(widest).arg(room.width());
        return QString();
    }
    const QSize needed = widget.minimumSizeHint();
    if (needed.isValid() && (widget.width() < needed.width() || widget.height() < needed.height()))
        return QStringLiteral("needs %1x%2, has %3x%4")
            .arg(needed.width())
            .arg(needed.height())
            .arg(widget.width())
            .arg(widget.height());
    return QString();
}

} // namespace

QStringList cutTexts(QWidget &root)
{
    QStringList faults;
    const QList<QWidget *> widgets = root.findChildren<QWidget *>();
    for (QWidget *widget : widgets) {
        if (!widget->isVisibleTo(&root))
            continue;
        const QString text = shownText(*widget);
        if (text.isEmpty())
            continue;
        const QString name =
            QStringLiteral("\"%1\" (%2): ").arg(text, QLatin1String(widget->metaObject()->className()));
        if (const QString fault = roomFault(*widget, text); !fault.isEmpty())
            faults << name + fault;
        for (QWidget *inner = widget; inner != &root; inner = inner->parentWidget()) {
            QWidget *outer = inner->parentWidget();
            const QRect frame = inner->geometry();
            const bool acrossOut = frame.left() < 0 || frame.right() >= outer->width();
            const bool downOut =
                !scrollsVertically(*outer) && (frame.top() < 0 || frame.bottom() >= outer->height());
            if (acrossOut || downOut) {
                faults << name + QStringLiteral("%1 at %2,%3 %4x%5 sticks out of %6 (%7x%8)")
                                     .arg(QLatin1String(inner->metaObject()->className()))
                                     .arg(frame.x())
                                     .arg(frame.y())
                                     .arg(frame.width())
                                     .arg(frame.height())
                                     .arg(QLatin1String(outer->metaObject()->className()))
                                     .arg(outer->width())
                                     .arg(outer->height());
                break;
            }
        }
    }
    return faults;
}

QStringList boxedTexts(QWidget &root)
{
    QStringList boxed;
    const QList<QWidget *> widgets = root.findChildren<QWidget *>();
    for (QWidget *widget : widgets) {
        const QString text = shownText(*widget);
        if (!widget->isVisibleTo(&root) || text.isEmpty())
            continue;
        QTextLayout layout(text, widget->font());
        layout.beginLayout();
        while (layout.createLine().isValid()) {
        }
        layout.endLayout();
        for (const QGlyphRun &run : layout.glyphRuns()) {
            if (run.glyphIndexes().contains(0)) {
                boxed << text;
                break;
            }
        }
    }
    return boxed;
}

} // namespace qv
