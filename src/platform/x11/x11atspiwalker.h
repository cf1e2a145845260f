#pragma once

#include <QHash>
#include <QList>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/x11/x11boundswatch.h"
#include "platform/x11/x11docktiles.h"

namespace qv {

// Reads the panels' buttons from the accessibility bus (AT-SPI). libatspi is not thread-safe and
// aborts the process when it cannot reach a bus, so it is used only on this object's own thread,
// with its own GLib main context, and only after the session bus has shown an accessibility bus
// ("org.a11y.Bus") that gives out an address. Every connection libatspi opens (the accessibility
// bus, and the private one it opens to each application it meets) is dispatched on that context
// alone, never by the main thread's event loop. Every call to a panel gives up after the library's
// call timeout (callTimeout is asked for; the library may hold a call longer), so a hung panel costs
// this thread a few timeouts a walk and never the caller's beyond its own wait; a walk that fails
// holds up none of the next ones, and the panel's buttons are read again once it answers.
//
// libatspi's state is the process's and cannot be started over (applications it knew stay "gone"
// after atspi_exit), so it is set up once, by the first walker that finds the bus, and kept until
// the process ends; one walker at a time. When the accessibility bus itself goes away the walks
// answer none from then on, without asking the library anything more, and the first walker to
// notice says so once on the console and reports a change (the launchers it read are gone).
//
// Between walks the thread sleeps in its GLib context until a walk is asked for or the bus reports
// a change that may move the panels' buttons: children added or removed, bounds or the showing
// state changed in a panel, an application (a panel among them) registering or leaving. Each such
// report calls the change callback; the walker never walks on its own.
//
// Bounds changes are listened to only for a few seconds (see X11BoundsWatch) after the start, after
// a change of layout the bus reports, and after expectLayoutChange(): unheard, a panel does not
// even send them, so a window retitling itself, which resizes its task button at every title,
// costs this process nothing. Some panels (xfce4-panel) report their buttons coming and going by
// their bounds alone, so the desktop's own notices (a window opening) open the watch too.
class X11AtspiWalker
{
public:
    static constexpr int callTimeoutMs = 200;
    // Upper bounds on one walk, against a panel with a runaway tree.
    static constexpr int maxDepth = 12;
    static constexpr int maxNodes = 2000;

    // `panels`: the application names on the bus whose trees are walked.
    explicit X11AtspiWalker(QStringList panels = defaultPanels());
    ~X11AtspiWalker();
    X11AtspiWalker(const X11AtspiWalker &) = delete;
    X11AtspiWalker &operator=(const X11AtspiWalker &) = delete;

    static QStringList defaultPanels();

    // Walks every panel now on the walker's thread and waits at most `wait` for the answer. None
    // when there is no accessibility bus, or the walk did not end in time (its answer is then kept
    // for the next call); an empty list when no panel runs.
    std::optional<QList<X11PanelWalk>> walk(std::chrono::milliseconds wait);
    // Asks for a walk without waiting for it.
    void requestWalk();
    // Called on the walker's thread after every walk, before walk() returns it; set before the
    // first request. A walk that could not reach the bus is passed as none.
    void setOnWalk(std::function<void(const std::optional<QList<X11PanelWalk>> &)> onWalk);
    // Called on the walker's thread for each change the bus reports (see above); set before the
    // first request. It must be quick and must not call back into the walker.
    void setOnChange(std::function<void()> onChange);
    // The desktop reported something that may move the panels' buttons (a window came or went, the
    // work area changed): bounds are listened to for a while from now. Any thread.
    void expectLayoutChange();

    // For diagnostics: the bus's events delivered to this walker so far, and whether it listens to
    // bounds changes now. Any thread.
    quint64 eventsReceived() const { return m_eventsReceived; }
    bool isFollowingBounds() const { return m_followingBounds; }

    // Whether an accessibility bus runs on the session bus and answers with its address (one that
    // could merely be started on demand does not count). Blocks for at most a second; any thread.
    static bool accessibilityBusAvailable();

private:
    void run();
    std::optional<QList<X11PanelWalk>> walkNow();
    bool isPanel(const QString &name, qint64 pid) const;
    void reportChange();
    // Hands a walk asked for by request `ticket` to the callback and to the callers waiting.
    void answer(quint64 ticket, std::optional<QList<X11PanelWalk>> walk);
    void wakeThread();
    // Reads the sources of the events the bus reported and reports a change when one concerns a
    // panel. Walker thread, outside the library's callbacks.
    void takeEvents();
    // Says once per run that the library's accessibility bus is gone. Walker thread.
    void tellBusLoss();
    // Listens to the event types a walker always listens to, or stops. Walker thread.
    void listen(bool on);
    // A change of layout: bounds are listened to for a while from now. Walker thread.
    void noteLayoutChange();
    // Sets a timer for the watch's end, seen from `now`, unless one is due. Walker thread.
    void armBoundsTimer(double now);
    // Opens the watch when a change of layout was announced, and closes it once its time has
    // passed. Walker thread, outside the library's callbacks.
    void updateBoundsWatch();
    // Listens to bounds changes, or stops. Walker thread.
    void followBounds(bool on);

    // The library's callbacks, with its own types.
    struct Callbacks;
    friend struct Callbacks;

    const QStringList m_panels;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopping = false;
    // Requests asked for and answered; a caller waits until its number is answered.
    quint64 m_requested = 0;
    quint64 m_answered = 0;
    std::optional<QList<X11PanelWalk>> m_lastWalk;
    std::function<void(const std::optional<QList<X11PanelWalk>> &)> m_onWalk;
    std::function<void()> m_onChange;
    // The walker thread's own context; set before the thread starts, woken for requests.
    void *m_context = nullptr;
    // The events reported and not yet read: each source (AtspiAccessible) with a reference, and
    // whether the event changed a layout (anything but bounds); walker thread only. Bounded: past
    // the bound an event counts as a change without being read.
    struct QueuedEvent
    {
        void *source = nullptr;
        bool layout = false;
    };
    static constexpr int maxQueuedEvents = 64;
    QList<QueuedEvent> m_events;
    bool m_eventsDropped = false;
    bool m_layoutDropped = false;
    std::atomic<quint64> m_eventsReceived{0};
    // The library's listener (AtspiEventListener) while the walker listens; walker thread only.
    void *m_listener = nullptr;
    X11BoundsWatch m_boundsWatch;
    std::atomic<bool> m_layoutExpected{false};
    std::atomic<bool> m_followingBounds{false};
    // The GSource that wakes the thread when the watch's time is up, while one is due. Walker
    // thread only.
    void *m_boundsTimer = nullptr;
    // Whether each application the bus reported events of is a panel, asked once per application:
    // a window that retitles itself many times a second moves its task button as often, and the
    // question must not cost a round trip each time. Emptied when applications come or go.
    QHash<void *, bool> m_panelApplications;
    std::thread m_thread;
};

} // namespace qv
