#pragma once

#include <QRectF>

#include <optional>

namespace qv {

// The window server's idea of where one window is right now. Main thread.
class WindowBoundsService
{
public:
    virtual ~WindowBoundsService() = default;
    // Frame of the window in top-left coordinates; none when the window is unknown or gone.
    virtual std::optional<QRectF> windowBounds(quint32 windowId) = 0;
};

} // namespace qv
