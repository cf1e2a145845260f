#include "views/edgepopup/edgepopuprules.h"

#include <QSizeF>

#include <algorithm>
#include <cmath>

namespace qv::EdgePopupRules {

QString rawValue(ClipFilter filter)
{
    switch (filter) {
    case ClipFilter::all:
        return QStringLiteral("All");
    case ClipFilter::text:
        return QStringLiteral("Text");
    case ClipFilter::image:
        return QStringLiteral("Images");
    }
    return QString();
}

std::optional<ClipFilter> clipFilterFromRaw(const QString &raw)
{
    for (ClipFilter filter : allClipFilters()) {
        if (rawValue(filter) == raw)
            return filter;
    }
    return std::nullopt;
}

QList<ClipFilter> allClipFilters()
{
    return {ClipFilter::all, ClipFilter::text, ClipFilter::image};
}

QString chipSymbol(ClipFilter filter)
{
    switch (filter) {
    case ClipFilter::all:
        return QStringLiteral("square.stack.3d.up.fill");
    case ClipFilter::text:
        return QStringLiteral("text.alignleft");
    case ClipFilter::image:
        return QStringLiteral("photo.fill");
    }
    return QString();
}

bool keeps(ClipFilter filter, const ClipboardItem &item)
{
    switch (filter) {
    case ClipFilter::all:
        return true;
    case ClipFilter::text:
        return !item.isImage;
    case ClipFilter::image:
        return item.isImage;
    }
    return true;
}

bool isHorizontal(PopupEdge edge)
{
    return edge == PopupEdge::top || edge == PopupEdge::bottom;
}

PopupEdge edgeFromStored(const QString &raw)
{
    return popupEdgeFromRaw(raw).value_or(PopupEdge::bottom);
}

bool showsClipboard(OverlayRoute route)
{
    return route == OverlayRoute::clipboard;
}

double stripContentWidth(int count)
{
    if (count <= 0)
        return 1;
    return count * cardWidth + 48 + (count - 1) * cardSpacing;
}

double stripDocumentWidth(double contentWidth, double visibleWidth)
{
    return visibleWidth + 1 >= contentWidth ? visibleWidth + 1 : contentWidth;
}

double wheelOffset(double offset, double delta, bool precise, double documentWidth, double visibleWidth)
{
    const double step = precise ? delta : delta * 10;
    const double maxX = std::max(0.0, documentWidth - visibleWidth);
    return std::min(maxX, std::max(offset - step, 0.0));
}

bool turnsWheelSideways(double dx, double dy)
{
    return std::abs(dx) < std::abs(dy);
}

QRectF panelFrame(PopupEdge edge, const QRectF &area, double height)
{
    const double padding = isHorizontal(edge) ? 20 : 10;
    const QRectF inner(area.left() + padding, area.top() + padding, std::max(0.0, area.width() - 2 * padding),
                       std::max(0.0, area.height() - 2 * padding));
    switch (edge) {
    case PopupEdge::top:
        return QRectF(inner.left(), inner.top(), inner.width(), std::min(height, inner.height()));
    case PopupEdge::bottom: {
        const double h = std::min(height, inner.height());
        return QRectF(inner.left(), inner.bottom() - h, inner.width(), h);
    }
    case PopupEdge::leading:
        return QRectF(inner.left(), inner.top(), std::min(sideWidth, inner.width()), inner.height());
    case PopupEdge::trailing: {
        const double w = std::min(sideWidth, inner.width());
        return QRectF(inner.right() - w, inner.top(), w, inner.height());
    }
    }
    return inner;
}

} // namespace qv::EdgePopupRules
