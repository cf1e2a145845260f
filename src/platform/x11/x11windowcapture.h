#pragma once

#include <QHash>
#include <QMutex>
#include <QThreadPool>
#include <QTimer>

#include <chrono>
#include <memory>

#include <xcb/xcb.h>

#include "platform/windowcapture.h"
#include "runtime/qtscheduler.h"

namespace qv {

class X11Session;

// Window pictures on X11. With the Composite extension a window's frame is redirected off screen
// only while captures need it: its contents are then read from the named window pixmap, whole even
// where other windows cover it. A capture right after the redirect waits on its worker until the
// settle time has passed (the server has no contents for covered parts until the client repaints;
// they read black before), and a window is unredirected once it has gone `idleTime` without a
// capture, so nothing stays redirected while no preview shows. Without Composite the visible
// contents are read directly. Pixels come through MIT-SHM where the server offers it, else
// GetImage. An unmapped (minimised) or vanished window has no picture: the capture answers none
// and the caller falls back to its caches and the icon. The windows of one surface are redirected
// together (prepareWindows), so their settle times run side by side, and up to `workerCount`
// captures read at once. Construct and destroy on the main thread.
class X11WindowCapture final : public WindowCaptureService
{
public:
    struct Timing
    {
        std::chrono::milliseconds settle;
        std::chrono::milliseconds idleTime;
    };
    static constexpr Timing defaultTiming{std::chrono::milliseconds(300), std::chrono::milliseconds(10000)};
    // Captures that read at the same time; more would only queue at the server.
    static constexpr int workerCount = 4;
    // Windows readied by one prepareWindows() call at most (the rest are redirected by their own
    // captures, when those come).
    static constexpr int maximumPrepared = 64;

    explicit X11WindowCapture(X11Session &session, Timing timing = defaultTiming);
    ~X11WindowCapture() override;

    // Runs on a worker; `done` is called there.
    void captureWindow(quint32 windowId, const QSize &pixelSize, Completion done) override;
    // Redirects the frames of the viewable ones among the windows now, with one round trip per
    // level of the window tree for all of them. Main thread.
    void prepareWindows(const QList<quint32> &windowIds) override;
    // Forgets the windows' frames, and lets go of the frames no other window is captured in.
    void forgetWindows(const QList<quint32> &windowIds) override;
    // Never waits: a window not redirected yet is read as it shows on screen.
    QImage fallbackImage(quint32 windowId) override;

    // The window's frame, scaled to fit `fitInto` (aspect kept) when that is valid, else at its own
    // size; null when it cannot be read. Any thread; may wait up to the settle time when
    // `mayRedirect`.
    QImage grab(xcb_window_t window, bool mayRedirect, QSize fitInto = QSize());
    // How many windows are redirected by us now.
    int redirectedCount();
    // Unredirects the windows that went the idle time without a capture. Main thread; the idle
    // timer calls it.
    void releaseIdle();

private:
    using Clock = std::chrono::steady_clock;
    struct Redirect
    {
        Clock::time_point since;
        Clock::time_point lastUse;
    };
    // Redirects `frame` (the top level holding `window`) if needed and answers when its contents
    // can be read.
    std::optional<Clock::time_point> useRedirect(xcb_window_t window, xcb_window_t frame);
    QImage readDrawable(xcb_drawable_t drawable, QSize fitInto);
    // The top-level frames of the windows (those that are gone are left out), read a level of the
    // tree at a time for all of them.
    QHash<xcb_window_t, xcb_window_t> topLevelsOf(const QList<quint32> &windowIds);
    void startIdleTimer();

    X11Session &m_session;
    Timing m_timing;
    QMutex m_mutex;
    QHash<xcb_window_t, Redirect> m_redirected;
    // The frame of each captured window, while that frame is redirected.
    QHash<xcb_window_t, xcb_window_t> m_frames;
    QTimer m_idleTimer;
    // Hands work from the capture workers to the main thread through a queue a thread checker
    // can follow.
    QtScheduler m_scheduler;
    class ShmSegment;
    // One shared-memory buffer, reused while captures go on and freed with the last redirect.
    QMutex m_segmentLock;
    std::unique_ptr<ShmSegment> m_segment;
    QThreadPool m_workers;
};

} // namespace qv
