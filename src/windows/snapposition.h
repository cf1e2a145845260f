#pragma once

#include <QMetaType>

namespace qv {

// Where a window snaps to. Drag zones use the first three.
enum class SnapPosition { left, right, maximize, center };

} // namespace qv

Q_DECLARE_METATYPE(qv::SnapPosition)
