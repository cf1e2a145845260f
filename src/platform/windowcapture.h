#pragma once

#include <QImage>
#include <QSize>

#include <functional>
#include <optional>

namespace qv {

// Pictures of single windows, whatever lies above them.
class WindowCaptureService
{
public:
    virtual ~WindowCaptureService() = default;

    using Completion = std::function<void(std::optional<QImage>)>;
    // Captures one window scaled to fit `pixelSize` (aspect kept, no cursor). `done` is called exactly
    // once, on any thread and possibly before this call returns: std::nullopt when the capture failed;
    // the image may be fully transparent when the window could not be drawn. Call from the main thread.
    virtual void captureWindow(quint32 windowId, const QSize &pixelSize, Completion done) = 0;
    // The older, synchronous way: the window's current contents at their own size, or a null image
    // when there is none. Main thread.
    virtual QImage fallbackImage(quint32 windowId) = 0;
};

} // namespace qv
