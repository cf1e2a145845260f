#include "views/edgepopup/horizontalwheelscroll.h"

#include <QScrollBar>
#include <QWheelEvent>

#include <cmath>

#include "views/edgepopup/edgepopuprules.h"

namespace qv {

namespace {
constexpr double angleUnitsPerLine = 120;
} // namespace

HorizontalWheelScroll::HorizontalWheelScroll(QWidget *parent) : QScrollArea(parent)
{
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setWidgetResizable(false);
    setFocusPolicy(Qt::NoFocus);
    setAutoFillBackground(false);
    viewport()->setAutoFillBackground(false);
}

void HorizontalWheelScroll::setContentWidth(double width)
{
    m_contentWidth = width <= 1 ? 1 : width;
    applyContent();
}

int HorizontalWheelScroll::offset() const
{
    return horizontalScrollBar()->value();
}

void HorizontalWheelScroll::applyContent()
{
    QWidget *content = widget();
    if (!content)
        return;
    const double target = EdgePopupRules::stripDocumentWidth(m_contentWidth, viewport()->width());
    const int height = std::max(1, viewport()->height());
    if (std::abs(target - m_lastAppliedWidth) >= 0.5) {
        m_lastAppliedWidth = target;
        content->resize(int(std::ceil(target)), height);
    } else if (content->height() != height) {
        content->resize(content->width(), height);
    }
}

void HorizontalWheelScroll::resizeEvent(QResizeEvent *event)
{
    QScrollArea::resizeEvent(event);
    applyContent();
}

void HorizontalWheelScroll::wheelEvent(QWheelEvent *event)
{
    const bool precise = !event->pixelDelta().isNull();
    const QPointF delta = precise ? QPointF(event->pixelDelta())
                                  : QPointF(event->angleDelta()) / angleUnitsPerLine;
    if (!widget() || !EdgePopupRules::turnsWheelSideways(delta.x(), delta.y())) {
        QScrollArea::wheelEvent(event);
        return;
    }
    QScrollBar *bar = horizontalScrollBar();
    const double x = EdgePopupRules::wheelOffset(bar->value(), delta.y(), precise, widget()->width(),
                                                 viewport()->width());
    bar->setValue(int(std::lround(x)));
    event->accept();
}

} // namespace qv
