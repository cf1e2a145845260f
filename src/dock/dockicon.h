#pragma once

#include <QRectF>
#include <QString>

#include <optional>

#include "platform/accessibility.h"

namespace qv {

// One Dock tile as the Dock's accessibility tree shows it. While it sits in the monitor's icon list
// the frame is in accessibility coordinates (top-left origin, y down); a hit-test result carries
// it in screen coordinates instead.
struct DockIcon
{
    QString appName;
    QRectF frame;
    // The tile's element, kept so its live frame can be read; may be null.
    AXElementPtr axElement;
};

// The screen edge the Dock sits on. A Dock on the top edge is a desktop panel's (the Dock itself
// never goes there).
enum class DockPosition { bottom, left, right, top };

// The side the Dock's "orientation" preference names ("bottom", "left", "right", "top"); none for
// anything else.
inline std::optional<DockPosition> dockPositionFromRaw(const QString &raw)
{
    if (raw == QLatin1String("bottom"))
        return DockPosition::bottom;
    if (raw == QLatin1String("left"))
        return DockPosition::left;
    if (raw == QLatin1String("right"))
        return DockPosition::right;
    if (raw == QLatin1String("top"))
        return DockPosition::top;
    return std::nullopt;
}

} // namespace qv
