#include "views/bubble/bubbleshape.h"

namespace qv {

double BubbleShape::clampedPosition(double position)
{
    if (position > 0.9)
        return 0.9;
    if (position <= 0.1)
        return 0.1;
    return position;
}

QRectF BubbleShape::bodyRect(const QRectF &r) const
{
    switch (edge) {
    case BubbleEdge::bottom:
        return QRectF(r.x(), r.y(), r.width(), r.height() - arrowDepth);
    case BubbleEdge::left:
        return QRectF(r.x() + arrowDepth, r.y(), r.width() - arrowDepth, r.height());
    case BubbleEdge::right:
        return QRectF(r.x(), r.y(), r.width() - arrowDepth, r.height());
    case BubbleEdge::top:
        return QRectF(r.x(), r.y() + arrowDepth, r.width(), r.height() - arrowDepth);
    }
    return r;
}

QPointF BubbleShape::arrowTip(const QRectF &r) const
{
    const double p = clampedPosition(arrowPosition);
    switch (edge) {
    case BubbleEdge::bottom:
        return QPointF(p * r.width(), r.bottom());
    case BubbleEdge::left:
        return QPointF(r.left(), p * r.height());
    case BubbleEdge::right:
        return QPointF(r.right(), p * r.height());
    case BubbleEdge::top:
        return QPointF(p * r.width(), r.top());
    }
    return {};
}

QPainterPath BubbleShape::path(const QRectF &r) const
{
    const QRectF body = bodyRect(r);
    QPainterPath path;
    path.addRoundedRect(body, cornerRadius, cornerRadius);
    const QPointF tip = arrowTip(r);
    switch (edge) {
    case BubbleEdge::bottom:
        path.moveTo(tip.x() - arrowHalfWidth, body.bottom());
        path.lineTo(tip);
        path.lineTo(tip.x() + arrowHalfWidth, body.bottom());
        break;
    case BubbleEdge::left:
        path.moveTo(body.left(), tip.y() - arrowHalfWidth);
        path.lineTo(tip);
        path.lineTo(body.left(), tip.y() + arrowHalfWidth);
        break;
    case BubbleEdge::right:
        path.moveTo(body.right(), tip.y() - arrowHalfWidth);
        path.lineTo(tip);
        path.lineTo(body.right(), tip.y() + arrowHalfWidth);
        break;
    case BubbleEdge::top:
        path.moveTo(tip.x() - arrowHalfWidth, body.top());
        path.lineTo(tip);
        path.lineTo(tip.x() + arrowHalfWidth, body.top());
        break;
    }
    return path;
}

QPainterPath BubbleShape::filledPath(const QRectF &r) const
{
    QPainterPath body;
    body.addRoundedRect(bodyRect(r), cornerRadius, cornerRadius);
    const QRectF b = bodyRect(r);
    const QPointF tip = arrowTip(r);
    QPainterPath arrow;
    // The triangle reaches 1 pt into the body so the union leaves no seam.
    switch (edge) {
    case BubbleEdge::bottom:
        arrow.moveTo(tip.x() - arrowHalfWidth, b.bottom() - 1);
        arrow.lineTo(tip);
        arrow.lineTo(tip.x() + arrowHalfWidth, b.bottom() - 1);
        break;
    case BubbleEdge::left:
        arrow.moveTo(b.left() + 1, tip.y() - arrowHalfWidth);
        arrow.lineTo(tip);
        arrow.lineTo(b.left() + 1, tip.y() + arrowHalfWidth);
        break;
    case BubbleEdge::right:
        arrow.moveTo(b.right() - 1, tip.y() - arrowHalfWidth);
        arrow.lineTo(tip);
        arrow.lineTo(b.right() - 1, tip.y() + arrowHalfWidth);
        break;
    case BubbleEdge::top:
        arrow.moveTo(tip.x() - arrowHalfWidth, b.top() + 1);
        arrow.lineTo(tip);
        arrow.lineTo(tip.x() + arrowHalfWidth, b.top() + 1);
        break;
    }
    arrow.closeSubpath();
    return body.united(arrow);
}

} // namespace qv
