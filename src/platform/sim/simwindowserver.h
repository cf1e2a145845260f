#pragma once

#include <QHash>
#include <QImage>
#include <QList>
#include <QSize>

#include <memory>
#include <optional>

#include "platform/windowcapture.h"
#include "platform/windowlist.h"

namespace qv {

class SimAXElement;
class SimAccessibility;
class SimWorkspace;

// The simulated window server: windows in stacking order (front first) with frames, titles,
// layers, on-screen state and contents, and the accessibility window of each one under its
// application's "AXWindows". Tests build windows with addWindow() and change them with the setters;
// the server records every list request and capture. Main thread.
class SimWindowServer final : public WindowListService, public WindowCaptureService
{
public:
    SimWindowServer(SimAccessibility &accessibility, SimWorkspace &workspace);
    ~SimWindowServer() override;

    void requestWindows(WindowListService::Completion done) override;
    void captureWindow(quint32 windowId, const QSize &pixelSize,
                       WindowCaptureService::Completion done) override;
    QImage fallbackImage(quint32 windowId) override;

    // Drivers.
    // Adds a window of the running application `pid` (0: a window without owner) at the back of the
    // stack; the owner's name and identifier are taken from the workspace. `image` is what a capture
    // shows (scaled). Returns the new window's number.
    quint32 addWindow(qint64 pid, const QRectF &frame, const std::optional<QString> &title,
                      const QImage &image = QImage());
    void removeWindow(quint32 windowId);
    void setLayer(quint32 windowId, int layer);
    void setOnScreen(quint32 windowId, bool onScreen);
    // Minimises or restores: off screen and "AXMinimized" follow.
    void setMinimized(quint32 windowId, bool minimized);
    void setCaptureImage(quint32 windowId, const QImage &image);
    void setFallbackImage(quint32 windowId, const QImage &image);
    void setCaptureFails(quint32 windowId, bool fails);
    // The next list requests fail until this is cleared.
    void setListFails(bool fails) { m_listFails = fails; }
    // While held, list answers and captures wait until release...() delivers them in order.
    void setHoldLists(bool hold) { m_holdLists = hold; }
    void setHoldCaptures(bool hold) { m_holdCaptures = hold; }
    int releaseLists();
    int releaseCaptures();
    // The accessibility element standing for the window.
    std::shared_ptr<SimAXElement> axWindow(quint32 windowId) const;

    // Records.
    int listRequestCount() const { return m_listRequests; }
    QList<quint32> capturedWindows() const { return m_captured; }
    QList<QSize> captureSizes() const { return m_captureSizes; }
    QList<quint32> fallbackRequests() const { return m_fallbacks; }
    QList<WindowInfo> windows() const;

private:
    struct Window
    {
        WindowInfo info;
        QImage image;
        QImage fallback;
        bool captureFails = false;
        std::shared_ptr<SimAXElement> ax;
    };
    Window *find(quint32 windowId);
    const Window *find(quint32 windowId) const;
    std::optional<QImage> render(quint32 windowId, const QSize &pixelSize) const;

    SimAccessibility &m_accessibility;
    SimWorkspace &m_workspace;
    QList<Window> m_windows;
    quint32 m_nextId = 100;
    bool m_listFails = false;
    bool m_holdLists = false;
    bool m_holdCaptures = false;
    QList<std::function<void()>> m_heldLists;
    QList<std::function<void()>> m_heldCaptures;
    int m_listRequests = 0;
    QList<quint32> m_captured;
    QList<QSize> m_captureSizes;
    QList<quint32> m_fallbacks;
};

} // namespace qv
