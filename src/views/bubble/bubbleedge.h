#pragma once

#include <QString>

#include <optional>

namespace qv {

// The side of the bubble that carries the arrow. `top` serves a desktop panel along the top of the
// screen, which the Dock never is.
enum class BubbleEdge { bottom, left, right, top };

inline QString bubbleEdgeRaw(BubbleEdge edge)
{
    switch (edge) {
    case BubbleEdge::left:
        return QStringLiteral("left");
    case BubbleEdge::right:
        return QStringLiteral("right");
    case BubbleEdge::top:
        return QStringLiteral("top");
    case BubbleEdge::bottom:
        break;
    }
    return QStringLiteral("bottom");
}

// No value for any text but "bottom", "left", "right" and "top".
inline std::optional<BubbleEdge> bubbleEdgeFromRaw(const QString &raw)
{
    if (raw == QLatin1String("bottom"))
        return BubbleEdge::bottom;
    if (raw == QLatin1String("left"))
        return BubbleEdge::left;
    if (raw == QLatin1String("right"))
        return BubbleEdge::right;
    if (raw == QLatin1String("top"))
        return BubbleEdge::top;
    return std::nullopt;
}

} // namespace qv
