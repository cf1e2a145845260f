#include "views/bubble/horizontalscrollview.h"

#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>

namespace qv {

namespace {
constexpr double pointsPerUnit = 3;
// Qt reports a wheel notch as 120 eighths of a degree; the desktop's line delta counts it as one.
constexpr double eighthsPerUnit = 120;
} // namespace

HorizontalScrollView::HorizontalScrollView(QWidget *parent) : QScrollArea(parent)
{
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(false);
    setStyleSheet(QStringLiteral("background: transparent;"));
    viewport()->setAutoFillBackground(false);
}

double HorizontalScrollView::wheelOffset(double offset, double dy, double contentWidth, double viewWidth)
{
    const double maximum = std::max(0.0, contentWidth - viewWidth);
    return std::max(0.0, std::min(maximum, offset - pointsPerUnit * dy));
}

void HorizontalScrollView::wheelEvent(QWheelEvent *event)
{
    const QPoint angle = event->angleDelta();
    if (angle.y() == 0) {
        QScrollArea::wheelEvent(event);
        return;
    }
    event->accept();
    if (!widget())
        return;
    const double dy = angle.y() / eighthsPerUnit;
    const double next =
        wheelOffset(horizontalScrollBar()->value(), dy, widget()->width(), viewport()->width());
    horizontalScrollBar()->setValue(qRound(next));
}

} // namespace qv
