#pragma once

#include <QHash>
#include <QImage>
#include <QList>
#include <QSize>

#include <functional>
#include <memory>
#include <optional>

#include "platform/accessibility.h"
#include "platform/windowbounds.h"
#include "platform/windowcapture.h"
#include "platform/windowlist.h"

namespace qv {

class Scheduler;
class ScreenService;
class SimAXElement;
class SimAccessibility;
class SimWorkspace;

// How the application owning a simulated window answers the window actions.
struct SimWindowBehaviour
{
    // Seconds from a minimise request to the window being minimised (the animation); needs a
    // scheduler (SimWindowServer::setScheduler), else it is immediate.
    double minimizeDelay = 0;
    // "AXMinimized" is accepted but nothing happens.
    bool ignoresMinimizedAttribute = false;
    bool hasCloseButton = true;
    bool hasMinimizeButton = true;
    bool hasZoomButton = true;
};

// The simulated window server: windows in stacking order (front first) with frames, titles,
// layers, on-screen state and contents, and the accessibility window of each one under its
// application's "AXWindows". Tests build windows with addWindow() and change them with the setters;
// the server records every list request and capture. Main thread.
//
// The accessibility windows act as a user would see it: setting "AXPosition" or "AXSize" moves or
// resizes the window, "AXMinimized" minimises or restores it, "AXFullScreen" (or a press of the
// zoom button "AXZoomButton") makes it fill its screen, "AXRaise" brings it to the front of the
// stack, a press of "AXCloseButton" closes it and of "AXMinimizeButton" minimises it. Setting the
// application's "AXFrontmost" activates it.
class SimWindowServer final : public WindowListService,
                              public WindowCaptureService,
                              public WindowBoundsService
{
public:
    SimWindowServer(SimAccessibility &accessibility, SimWorkspace &workspace);
    ~SimWindowServer() override;

    void requestWindows(WindowListService::Completion done) override;
    void captureWindow(quint32 windowId, const QSize &pixelSize,
                       WindowCaptureService::Completion done) override;
    QImage fallbackImage(quint32 windowId) override;
    void prepareWindows(const QList<quint32> &windowIds) override { m_prepared.append(windowIds); }
    void forgetWindows(const QList<quint32> &windowIds) override { m_forgotten.append(windowIds); }
    std::optional<QRectF> windowBounds(quint32 windowId) override;

    // Screens decide what full screen covers; the scheduler times the minimise animation.
    void setScreens(const ScreenService *screens) { m_screens = screens; }
    void setScheduler(Scheduler *scheduler) { m_scheduler = scheduler; }

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
    // The size the window's contents are drawn at while they lag behind its frame (a window just
    // made full screen that has not drawn itself anew); captures show that size, its aspect kept,
    // as a real capture of the window's pixels does. An empty size: drawn at its frame again.
    void setDrawnSize(quint32 windowId, const QSize &size);
    void setBehaviour(quint32 windowId, const SimWindowBehaviour &behaviour);
    // Moves and resizes the window (top-left coordinates); accessibility follows.
    void setFrame(quint32 windowId, const QRectF &frame);
    // Brings every window of the application to the front, keeping their order.
    void bringToFront(qint64 pid);
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
    // Windows readied for capture, and windows the capture was told are gone, in call order.
    QList<quint32> preparedWindows() const { return m_prepared; }
    QList<quint32> forgottenWindows() const { return m_forgotten; }
    QList<WindowInfo> windows() const;
    // How the window is listed; none once it is gone.
    std::optional<WindowInfo> info(quint32 windowId) const;
    std::optional<WindowInfo> window(quint32 windowId) const;
    bool isFullScreen(quint32 windowId) const;
    // Window numbers, front first.
    QList<quint32> stackingOrder() const;

private:
    struct Window
    {
        WindowInfo info;
        QImage image;
        QImage fallback;
        bool captureFails = false;
        QSize drawnSize;
        std::shared_ptr<SimAXElement> ax;
        SimWindowBehaviour behaviour;
        bool fullScreen = false;
        QRectF frameBeforeFullScreen;
    };
    Window *find(quint32 windowId);
    void installHandlers(quint32 windowId, qint64 pid);
    void updateButtons(const Window &window);
    int setWindowAttribute(quint32 windowId, const QString &name, const AXValue &value);
    int pressButton(quint32 windowId, const QString &button);
    void requestMinimized(quint32 windowId, bool minimized);
    void setFullScreen(quint32 windowId, bool fullScreen);
    void raise(quint32 windowId);
    const Window *find(quint32 windowId) const;
    std::optional<QImage> render(quint32 windowId, const QSize &pixelSize) const;

    SimAccessibility &m_accessibility;
    SimWorkspace &m_workspace;
    const ScreenService *m_screens = nullptr;
    Scheduler *m_scheduler = nullptr;
    // Delayed effects hold this weakly and do nothing once the server is gone.
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
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
    QList<quint32> m_prepared;
    QList<quint32> m_forgotten;
};

} // namespace qv
