#pragma once

#include <QHash>
#include <QMutex>
#include <QThreadPool>
#include <QTimer>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <optional>

#include <xcb/damage.h>
#include <xcb/xcb.h>
#include <xcb/xfixes.h>

#include "platform/windowcapture.h"
#include "runtime/qtscheduler.h"

namespace qv {

class X11Session;

// Window pictures on X11. With the Composite extension a window's frame is redirected off screen
// only while captures need it: its contents are then read from the named window pixmap, whole even
// where other windows cover it. Right after the redirect the parts that were covered hold no
// contents until the client repaints them (they read as the background, or black, before); a
// capture then waits on its worker until the Damage extension reports the client's repaint and a
// short quiet period passed, never longer than the settle time (a window that showed whole before
// the redirect is read at once; one whose client never repaints at the settle time, as is every
// window when Damage is missing). Under a compositing manager
// the window is redirected already and its pixmap holds its contents: no wait. A window is
// unredirected once it has gone `idleTime` without a capture, so nothing stays redirected while no
// preview shows. Without Composite the visible contents are read directly. Pixels come through
// MIT-SHM where the server offers it, else GetImage. An unmapped (minimised) or vanished window has
// no picture: the capture answers none and the caller falls back to its caches and the icon. The
// windows of one surface are redirected together (prepareWindows), so their waits run side by
// side, from the redirect on (a worker takes the repaints as they come, before any capture asks),
// and up to `workerCount` captures read at once. Construct and destroy on the main thread.
class X11WindowCapture final : public WindowCaptureService
{
public:
    struct Timing
    {
        // The longest a capture waits after the redirect for the client to repaint.
        std::chrono::milliseconds settle;
        std::chrono::milliseconds idleTime;
        // How long the client's drawing must have paused before its repaint counts as done.
        std::chrono::milliseconds quiet = std::chrono::milliseconds(60);
    };
    static constexpr Timing defaultTiming{std::chrono::milliseconds(300), std::chrono::milliseconds(10000),
                                          std::chrono::milliseconds(60)};
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
    // size; null when it cannot be read. Any thread; may wait for the client's repaint, up to the
    // settle time, when `mayRedirect`.
    QImage grab(xcb_window_t window, bool mayRedirect, QSize fitInto = QSize());
    // How many windows are redirected by us now.
    int redirectedCount();
    // Whether the idle check runs (only while something is redirected).
    bool checksIdle() const { return m_idleTimer.isActive(); }
    // Unredirects the windows that went the idle time without a capture. Main thread; the idle
    // timer calls it.
    void releaseIdle();

private:
    using Clock = std::chrono::steady_clock;
    struct Redirect
    {
        Clock::time_point since;
        Clock::time_point lastUse;
        // Reports the client's drawing after the redirect while captures still wait for it; 0
        // without one.
        xcb_damage_damage_t damage = 0;
        // The request after which the watch reports the client's drawing only.
        uint32_t watchFrom = 0;
        std::optional<Clock::time_point> repaintedAt{};
        // The contents have reached the pixmap; no capture waits any more.
        bool settled = false;
        // Redirected through m_readConnection (else through the session's connection).
        bool own = false;
    };
    // A redirect asked for and not yet answered.
    struct PendingRedirect
    {
        xcb_window_t frame = XCB_WINDOW_NONE;
        xcb_connection_t *connection = nullptr;
        xcb_void_cookie_t cookie{};
        xcb_damage_damage_t damage = 0;
        uint32_t watchFrom = 0;
        bool composited = false;
        // What showed of the window before the redirect, and its size.
        xcb_xfixes_region_t shown = 0;
        xcb_xfixes_fetch_region_cookie_t shownArea{};
        xcb_get_geometry_cookie_t size{};
    };
    // Redirects `frame` (the top level holding `window`) if needed and waits until its contents
    // can be read; answers the connection to read them on (counted in m_captureUsers when it is
    // our own until the read is done), none when the frame cannot be redirected.
    xcb_connection_t *useRedirect(xcb_window_t window, xcb_window_t frame);
    // When the frame's contents can be read. m_mutex held.
    Clock::time_point readyAt(const Redirect &redirect) const;
    // Asks for each frame (second, holding the window first) to be redirected, watching the
    // client's repaint unless a compositing manager keeps the frame redirected already;
    // finishRedirect() takes each answer and keeps the redirect (end() when refused). m_mutex held
    // from the one to the other.
    QList<PendingRedirect> requestRedirects(const QList<std::pair<xcb_window_t, xcb_window_t>> &windows,
                                            bool composited);
    // One of requestRedirects(), with the read connection open.
    PendingRedirect requestRedirect(xcb_window_t window, xcb_window_t frame, bool composited);
    QHash<xcb_window_t, Redirect>::iterator finishRedirect(const PendingRedirect &pending, Clock::time_point now);
    // Undoes the redirect (the caller forgets it). m_mutex held.
    void unredirect(xcb_window_t frame, Redirect &redirect);
    // The wait is over: the watch goes. m_mutex held.
    void settle(Redirect &redirect);
    // Waits (m_mutex held by `lock`, released meanwhile) until the frame's contents can be read or
    // it is unredirected.
    void waitForContents(QMutexLocker<QMutex> &lock, xcb_window_t frame);
    // Waits (as waitForContents) until `until` at most, or until repaints came in; listens for them
    // when no other thread does.
    void awaitRepaints(QMutexLocker<QMutex> &lock, Clock::time_point until);
    // Runs on a worker from the preparation of windows until every redirected frame settled,
    // taking the repaints as they come.
    void watchRepaints();
    // Takes the repaints reported so far. m_mutex held.
    void takeRepaints();
    // m_mutex held.
    void openReadConnection();
    // The pixel buffer must be gone first.
    void closeReadConnection();
    // Whether a compositing manager keeps the windows redirected.
    bool compositorRuns();
    QImage readDrawable(xcb_connection_t *c, xcb_drawable_t drawable, QSize fitInto);
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
    // A connection of its own, open while windows are redirected, reads the redirected pictures
    // (on the session's they would queue behind whatever else the program asks of the server at
    // that moment) and receives the repaints (the session's drops its events). With it whether the
    // server has Damage, and its first event code.
    xcb_connection_t *m_readConnection = nullptr;
    bool m_readConnectionFailed = false;
    bool m_hasDamage = false;
    // XFixes regions, to tell what of a window showed before its redirect.
    bool m_hasRegions = false;
    uint8_t m_damageEventBase = 0;
    // Wakes waiting captures when repaints came in or the one reading them stopped. The C++
    // library's: its wait releases and retakes m_mutex in our own code, where a thread checker
    // sees it (QWaitCondition does both inside Qt, and every capture then looked unlocked).
    std::condition_variable_any m_contentsChanged;
    bool m_readingRepaints = false;
    // A worker runs watchRepaints().
    bool m_watchingRepaints = false;
    // Captures waiting on or reading through m_readConnection; it stays open while there are any.
    int m_captureUsers = 0;
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
