#pragma once

#include <QMetaType>
#include <QString>

namespace qv {

enum class DockScrollDirection { up, down };

// A wheel tick over a Dock tile: the tile's application name and which way the wheel turned.
struct DockScrollEvent
{
    QString appName;
    DockScrollDirection direction = DockScrollDirection::up;
    bool operator==(const DockScrollEvent &) const = default;
};

} // namespace qv

Q_DECLARE_METATYPE(qv::DockScrollEvent)
