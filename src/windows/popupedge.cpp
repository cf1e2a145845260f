#include "windows/popupedge.h"

namespace qv {

QString rawValue(PopupEdge edge)
{
    switch (edge) {
    case PopupEdge::top:
        return QStringLiteral("top");
    case PopupEdge::bottom:
        return QStringLiteral("bottom");
    case PopupEdge::leading:
        return QStringLiteral("leading");
    case PopupEdge::trailing:
        return QStringLiteral("trailing");
    }
    return QString();
}

std::optional<PopupEdge> popupEdgeFromRaw(const QString &raw)
{
    for (const auto edge : allPopupEdges()) {
        if (rawValue(edge) == raw)
            return edge;
    }
    return std::nullopt;
}

QList<PopupEdge> allPopupEdges()
{
    return {PopupEdge::top, PopupEdge::bottom, PopupEdge::leading, PopupEdge::trailing};
}

} // namespace qv
