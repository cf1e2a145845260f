#pragma once

#include <QImage>
#include <QList>
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
    // Readies the windows a surface is about to capture all at once, so that whatever a capture
    // has to wait for (a window's contents reaching an off-screen copy) is waited for once for the
    // batch rather than once per window. Windows that cannot be readied are left as they are; a
    // capture of them still works. Main thread; returns at once.
    virtual void prepareWindows(const QList<quint32> &windowIds) { Q_UNUSED(windowIds); }
    // These windows closed; their numbers may name new windows from now on, so nothing kept for
    // them may be used again. Main thread.
    virtual void forgetWindows(const QList<quint32> &windowIds) { Q_UNUSED(windowIds); }
    // The older, synchronous way: the window's current contents at their own size, or a null image
    // when there is none. Main thread.
    virtual QImage fallbackImage(quint32 windowId) = 0;
};

} // namespace qv
