#pragma once

#include <QRectF>
#include <QString>

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

} // namespace qv
