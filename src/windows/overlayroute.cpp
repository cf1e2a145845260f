#include "windows/overlayroute.h"

namespace qv {

QString rawValue(OverlayRoute route)
{
    switch (route) {
    case OverlayRoute::all:
        return QStringLiteral("all");
    case OverlayRoute::clipboard:
        return QStringLiteral("clipboard");
    case OverlayRoute::shelf:
        return QStringLiteral("shelf");
    }
    return QString();
}

std::optional<OverlayRoute> overlayRouteFromRaw(const QString &raw)
{
    for (const auto route : {OverlayRoute::all, OverlayRoute::clipboard, OverlayRoute::shelf}) {
        if (rawValue(route) == raw)
            return route;
    }
    return std::nullopt;
}

} // namespace qv
