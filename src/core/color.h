#pragma once

#include <QColor>

namespace qv {

// The four accent colours every view draws with. Each is made once, on first use (thread-safe), in
// the sRGB space, and never changes; any thread may read them.
class Color
{
public:
    static const QColor &neonCyan();
    static const QColor &neonPurple();
    static const QColor &neonRed();
    static const QColor &neonGreen();
};

} // namespace qv
