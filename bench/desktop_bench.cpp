#include <benchmark/benchmark.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QTest>
#include <QThread>

#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <functional>
#include <memory>
#include <optional>

#include <unistd.h>

#include "benchdesktop.h"

// The real binary on a desktop of its own: Xvfb, openbox, xfce4-panel with its task list on the
// accessibility bus, trayer as the tray and a few xterms. The pointer moves through XTEST and what
// the program did is read back from the X server, as a user would see it.
//
// Idle cost: wake-ups of every thread of the program (voluntary and involuntary context switches)
// over a window of 30 s with no surface shown; goal at most 1 a second with diagnostics off, and
// with diagnostics on at most that plus the watchdog's heartbeat (2 a second on the main thread,
// 2 on the watchdog's own). Also with a window retitling itself 50 times a second, which nobody
// looks at: the same goal, and the processor time beside the one idle.
// Bubbles: from the pointer's arrival on a task button to the bubble's window being mapped; goal
// the hover delay (0.2 s) plus 100 ms, for the first hover after start, the first on a task button
// that just appeared, and any later one.
// Super Panel in a storm: 150 windows of 150 programs map at once and Alt+Tab is pressed; from the
// press to the panel's full-screen window being mapped; goal 150 ms, also at the first press after
// start. The storm's windows go again 3 s later.
// Under scripts/test.sh with QV_RUN_BENCHMARKS=1 (CI) each runs briefly: a 3 s window, one run.
// QV_BENCH_APP_LOG=FILE keeps the program's console lines in FILE.

namespace {

constexpr int screenWidth = qv::BenchDesktop::width;
constexpr int screenHeight = qv::BenchDesktop::height;
constexpr double hoverDelayMs = 200;
constexpr double bubbleGoalMs = hoverDelayMs + 100;

bool brief()
{
    return qgetenv("QV_RUN_BENCHMARKS") == "1";
}

int runs()
{
    return brief() ? 1 : 10;
}

QByteArray property(xcb_connection_t *c, xcb_window_t window, xcb_atom_t name, uint32_t length = 64)
{
    xcb_get_property_reply_t *reply = xcb_get_property_reply(
        c, xcb_get_property(c, 0, window, name, XCB_GET_PROPERTY_TYPE_ANY, 0, length), nullptr);
    if (!reply)
        return {};
    QByteArray value(static_cast<const char *>(xcb_get_property_value(reply)),
                     xcb_get_property_value_length(reply));
    free(reply);
    return value;
}

class Desktop
{
public:
    ~Desktop() { stop(); }

    bool start()
    {
        if (!m_desktop.start().isEmpty())
            return false;
        m_c = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(m_c))
            return false;
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_c)).data->root;
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(m_c, m_root, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(m_c);

        for (int i = 1; i <= 3; ++i)
            panel().xterm(QStringLiteral("term-%1").arg(i),
                          QStringLiteral("80x20+%1+%2").arg(80 + 160 * i).arg(120 + 60 * i));
        for (int i = 1; i <= 3; ++i) {
            if (!taskButton(QStringLiteral("term-%1").arg(i), 30000))
                return false;
        }
        return true;
    }

    void stop()
    {
        quit();
        m_desktop.stop();
        if (m_c)
            xcb_disconnect(m_c);
        m_c = nullptr;
    }

    // Starts the program with fresh settings and waits until its tray icon sits in the tray and
    // `settleMs` more have passed, as a user's first look at the tray would take.
    bool launch(bool diagnostics, int settleMs)
    {
        quit();
        const QString folder =
            panel().environment().value(QStringLiteral("XDG_CONFIG_HOME")) + QStringLiteral("/Quorvantis");
        QDir(folder).removeRecursively();
        QDir().mkpath(folder);
        QFile settings(folder + QStringLiteral("/defaults.json"));
        if (!settings.open(QIODevice::WriteOnly))
            return false;
        settings.write(QByteArray(R"({"hasUserChosenAppLanguage": true, "appLanguage": "English", )") +
                       (diagnostics ? "\"diagnosticsEnabled\": true}" : "\"diagnosticsEnabled\": false}"));
        settings.close();
        m_app = std::make_unique<QProcess>();
        // On the X server, not offscreen as this benchmark's own Qt runs.
        QProcessEnvironment environment = panel().environment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        m_app->setProcessEnvironment(environment);
        m_app->setStandardOutputFile(QProcess::nullDevice());
        m_app->setStandardErrorFile(qEnvironmentVariable("QV_BENCH_APP_LOG", QProcess::nullDevice()));
        m_app->start(QStringLiteral(QV_BINARY), {QStringLiteral("--platform=x11")});
        if (!m_app->waitForStarted(5000))
            return false;
        m_pid = uint32_t(m_app->processId());
        if (!QTest::qWaitFor([&] { return trayIconEmbedded(); }, 20000))
            return false;
        QTest::qWait(settleMs);
        drain();
        return true;
    }

    void quit()
    {
        if (!m_app)
            return;
        m_app->terminate();
        if (!m_app->waitForFinished(5000))
            m_app->kill();
        m_app->waitForFinished(3000);
        m_app.reset();
        m_bubble.reset();
    }

    bool running() const { return m_app && m_app->state() == QProcess::Running; }

    // Processor time the program has spent so far, in seconds (user and system).
    double cpuSeconds() const
    {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(m_pid));
        if (!stat.open(QIODevice::ReadOnly))
            return 0;
        const QByteArray line = stat.readAll();
        // Past the command name, which may hold spaces: utime and stime are fields 14 and 15.
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() < 13)
            return 0;
        return double(fields[11].toLongLong() + fields[12].toLongLong()) / double(sysconf(_SC_CLK_TCK));
    }

    // A terminal that retitles itself `perSecond` times a second until the returned process ends.
    QProcess *retitlingTerminal(int perSecond)
    {
        const QString loop = QStringLiteral("while :; do printf '\\033]0;%s\\007' $RANDOM; sleep %1; done")
                                 .arg(1.0 / perSecond);
        return panel().run(QStringLiteral("xterm"), {QStringLiteral("-T"), QStringLiteral("retitling"),
                                                     QStringLiteral("-geometry"), QStringLiteral("60x10+900+200"),
                                                     QStringLiteral("-e"), QStringLiteral("bash"),
                                                     QStringLiteral("-c"), loop});
    }
    qv::XfcePanelDesktop &panel() { return m_desktop.panel(); }

    // Context switches of every thread of the program so far, by thread name; the involuntary ones
    // (preemptions on a busy machine) under "involuntary" as well.
    QMap<QString, qint64> switches() const
    {
        QMap<QString, qint64> result;
        const QString tasks = QStringLiteral("/proc/%1/task").arg(m_pid);
        for (const QString &tid : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            QFile comm(tasks + u'/' + tid + QStringLiteral("/comm"));
            QFile status(tasks + u'/' + tid + QStringLiteral("/status"));
            if (!comm.open(QIODevice::ReadOnly) || !status.open(QIODevice::ReadOnly))
                continue;
            const QString name = QString::fromUtf8(comm.readAll().trimmed()) + u'/' + tid;
            for (const QByteArray &line : status.readAll().split('\n')) {
                const qint64 count = line.mid(line.indexOf(':') + 1).trimmed().toLongLong();
                if (line.startsWith("voluntary_ctxt_switches:")) {
                    result[name] += count;
                } else if (line.startsWith("nonvoluntary_ctxt_switches:")) {
                    result[name] += count;
                    result[QStringLiteral("involuntary")] += count;
                }
            }
        }
        return result;
    }

    // The centre of the task button the panel shows for the window titled `title`, once it has one.
    std::optional<QPoint> taskButton(const QString &title, int waitMs = 0)
    {
        std::optional<QPoint> centre;
        (void)QTest::qWaitFor(
            [&] {
                const xcb_window_t window = clientNamed(title);
                const QByteArray geometry =
                    window ? property(m_c, window, atom("_NET_WM_ICON_GEOMETRY")) : QByteArray();
                if (geometry.size() == 16) {
                    const auto *box = reinterpret_cast<const uint32_t *>(geometry.constData());
                    if (box[2] > 0 && box[3] > 0)
                        centre = QPoint(int(box[0] + box[2] / 2), int(box[1] + box[3] / 2));
                }
                return centre.has_value();
            },
            waitMs);
        return centre;
    }

    // Moves the pointer through XTEST onto `target` in a short glide from above and answers the
    // milliseconds from its arrival until a bubble of the program is mapped; none within 5 s, or
    // when the last bubble stayed up after the pointer left it.
    std::optional<double> hover(QPoint target)
    {
        if (!awayAndHidden())
            return std::nullopt;
        m_target = target;
        const QPoint from(target.x(), screenHeight - 200);
        for (int i = 0; i <= 6; ++i) {
            move(QPoint(from.x(), from.y() + (target.y() - 30 - from.y()) * i / 6));
            QThread::msleep(15);
        }
        drain();
        QElapsedTimer clock;
        clock.start();
        move(target);
        while (clock.elapsed() < 5000) {
            if (waitEvent(50) && m_bubble)
                return double(clock.nsecsElapsed()) / 1e6;
        }
        return std::nullopt;
    }

    // Maps `count` windows, each claiming a process of its own (one of `owners`), presses Alt+Tab
    // through xdotool at once and answers the milliseconds from the press until a full-screen
    // window of the program is mapped; none within 5 s. Escape closes the panel, and the windows go
    // 3 s after they came.
    std::optional<double> panelInStorm(const QList<qint64> &owners, int count)
    {
        drain();
        std::vector<xcb_window_t> storm;
        for (int i = 0; i < count; ++i) {
            const xcb_window_t window = xcb_generate_id(m_c);
            xcb_create_window(m_c, XCB_COPY_FROM_PARENT, window, m_root, int16_t(20 * (i % 40)),
                              int16_t(10 * (i % 50)), 300, 200, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                              XCB_COPY_FROM_PARENT, 0, nullptr);
            const uint32_t pid = uint32_t(owners.at(i % owners.size()));
            xcb_change_property(m_c, XCB_PROP_MODE_REPLACE, window, atom("_NET_WM_PID"), XCB_ATOM_CARDINAL,
                                32, 1, &pid);
            const QByteArray title = "storm-" + QByteArray::number(i);
            xcb_change_property(m_c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                                uint32_t(title.size()), title.constData());
            const QByteArray classes =
                "storm" + QByteArray::number(i) + '\0' + "Storm" + QByteArray::number(i) + '\0';
            xcb_change_property(m_c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                                uint32_t(classes.size()), classes.constData());
            xcb_map_window(m_c, window);
            storm.push_back(window);
        }
        xcb_flush(m_c);
        QElapsedTimer clock;
        clock.start();
        QProcess::startDetached(QStringLiteral("xdotool"),
                                {QStringLiteral("key"), QStringLiteral("alt+Tab")});
        std::optional<double> shown;
        while (!shown && clock.elapsed() < 5000) {
            if (waitEvent(20) && m_panel)
                shown = double(clock.nsecsElapsed()) / 1e6;
        }
        QTest::qWait(300);
        QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Escape")});
        while (clock.elapsed() < 3000)
            waitEvent(50);
        for (const xcb_window_t window : storm)
            xcb_destroy_window(m_c, window);
        xcb_flush(m_c);
        QElapsedTimer gone;
        gone.start();
        while (m_panel && gone.elapsed() < 3000)
            waitEvent(50);
        QTest::qWait(500);
        drain();
        return shown;
    }

    // Pointer in the middle of the screen and no bubble mapped; false when the bubble stays.
    bool awayAndHidden()
    {
        move(QPoint(screenWidth / 2, screenHeight / 2));
        QElapsedTimer clock;
        clock.start();
        while (m_bubble && clock.elapsed() < 5000)
            waitEvent(50);
        QTest::qWait(300);
        drain();
        return !m_bubble;
    }

private:
    xcb_atom_t atom(const char *name) const
    {
        xcb_intern_atom_reply_t *reply =
            xcb_intern_atom_reply(m_c, xcb_intern_atom(m_c, 0, uint16_t(strlen(name)), name), nullptr);
        const xcb_atom_t result = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        free(reply);
        return result;
    }

    void move(QPoint to)
    {
        xcb_test_fake_input(m_c, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, m_root, int16_t(to.x()),
                            int16_t(to.y()), 0);
        free(xcb_get_input_focus_reply(m_c, xcb_get_input_focus(m_c), nullptr));
    }

    xcb_window_t clientNamed(const QString &title) const
    {
        const QByteArray list = property(m_c, m_root, atom("_NET_CLIENT_LIST"), 1024);
        const auto *windows = reinterpret_cast<const xcb_window_t *>(list.constData());
        for (int i = 0; i < list.size() / 4; ++i) {
            if (property(m_c, windows[i], atom("_NET_WM_NAME")) == title.toUtf8() ||
                property(m_c, windows[i], XCB_ATOM_WM_NAME) == title.toUtf8())
                return windows[i];
        }
        return XCB_WINDOW_NONE;
    }

    bool ours(xcb_window_t window) const
    {
        const QByteArray pid = property(m_c, window, atom("_NET_WM_PID"));
        return pid.size() == 4 && *reinterpret_cast<const uint32_t *>(pid.constData()) == m_pid;
    }

    // The window of the program at or just below `window` (a frame of the window manager holds it).
    xcb_window_t ownWindowAt(xcb_window_t window) const
    {
        if (ours(window))
            return window;
        xcb_query_tree_reply_t *tree = xcb_query_tree_reply(m_c, xcb_query_tree(m_c, window), nullptr);
        xcb_window_t found = XCB_WINDOW_NONE;
        if (tree) {
            const xcb_window_t *children = xcb_query_tree_children(tree);
            for (int i = 0; i < xcb_query_tree_children_length(tree) && !found; ++i) {
                if (ours(children[i]))
                    found = children[i];
            }
            free(tree);
        }
        return found;
    }

    QRect geometry(xcb_window_t window) const
    {
        xcb_get_geometry_reply_t *g = xcb_get_geometry_reply(m_c, xcb_get_geometry(m_c, window), nullptr);
        if (!g)
            return {};
        QRect rect(g->x, g->y, g->width, g->height);
        free(g);
        return rect;
    }

    // A window of the program, no bigger than an icon, held by another program's window (the tray).
    bool trayIconEmbedded()
    {
        drain();
        xcb_query_tree_reply_t *top = xcb_query_tree_reply(m_c, xcb_query_tree(m_c, m_root), nullptr);
        if (!top)
            return false;
        bool found = false;
        const xcb_window_t *children = xcb_query_tree_children(top);
        for (int i = 0; i < xcb_query_tree_children_length(top) && !found; ++i) {
            if (ours(children[i]))
                continue;
            std::function<bool(xcb_window_t, int)> walk = [&](xcb_window_t window, int depth) {
                xcb_query_tree_reply_t *tree =
                    xcb_query_tree_reply(m_c, xcb_query_tree(m_c, window), nullptr);
                if (!tree)
                    return false;
                bool hit = false;
                const xcb_window_t *kids = xcb_query_tree_children(tree);
                for (int k = 0; k < xcb_query_tree_children_length(tree) && !hit; ++k) {
                    const QRect g = geometry(kids[k]);
                    hit = (ours(kids[k]) && g.width() <= 64 && g.height() <= 64) ||
                          (depth < 3 && walk(kids[k], depth + 1));
                }
                free(tree);
                return hit;
            };
            found = walk(children[i], 0);
        }
        free(top);
        return found;
    }

    // Reads what the server has sent, following the program's bubble (a mapped top-level window of
    // the program, beside the panel, wider and taller than an icon).
    bool waitEvent(int timeoutMs)
    {
        QElapsedTimer clock;
        clock.start();
        bool any = false;
        while (true) {
            xcb_generic_event_t *event = xcb_poll_for_event(m_c);
            if (!event) {
                if (any || clock.elapsed() >= timeoutMs)
                    return any;
                QThread::usleep(500);
                continue;
            }
            any = true;
            switch (event->response_type & 0x7f) {
            case XCB_MAP_NOTIFY: {
                const auto *map = reinterpret_cast<xcb_map_notify_event_t *>(event);
                // Beside the hovered button: above it, across its x.
                const QRect g = geometry(map->window);
                if (g.height() > 100 && g.height() < screenHeight / 2 && g.left() <= m_target.x() &&
                    g.right() >= m_target.x() && g.bottom() < m_target.y() &&
                    g.bottom() > m_target.y() - 150 && ownWindowAt(map->window))
                    m_bubble = map->window;
                else if (g.width() >= screenWidth && g.height() >= screenHeight && ownWindowAt(map->window))
                    m_panel = map->window;
                break;
            }
            case XCB_UNMAP_NOTIFY:
            case XCB_DESTROY_NOTIFY: {
                const auto *unmap = reinterpret_cast<xcb_unmap_notify_event_t *>(event);
                if (m_bubble && unmap->window == *m_bubble)
                    m_bubble.reset();
                if (m_panel && unmap->window == *m_panel)
                    m_panel.reset();
                break;
            }
            default:
                break;
            }
            free(event);
        }
    }

    void drain()
    {
        while (waitEvent(0)) {
        }
    }

    qv::BenchDesktop m_desktop;
    xcb_connection_t *m_c = nullptr;
    xcb_window_t m_root = XCB_WINDOW_NONE;
    std::unique_ptr<QProcess> m_app;
    uint32_t m_pid = 0;
    std::optional<xcb_window_t> m_bubble;
    // The Super Panel's window while it is mapped.
    std::optional<xcb_window_t> m_panel;
    QPoint m_target;
};

Desktop *desktop()
{
    static std::unique_ptr<Desktop> instance;
    static bool tried = false;
    if (!tried) {
        tried = true;
        instance = std::make_unique<Desktop>();
        if (!instance->start())
            instance.reset();
        // Ended while the application object still stands, so its processes are waited for.
        qAddPostRoutine([] { instance.reset(); });
    }
    return instance.get();
}

// Wake-ups a second of the idle program, 3 s after its tray icon showed (or after a bubble went),
// with no surface shown.
void BM_IdleWakeups(benchmark::State &state)
{
    Desktop *d = desktop();
    const bool diagnostics = state.range(0) != 0;
    if (!d || !d->launch(diagnostics, 3000)) {
        state.SkipWithError("no desktop or the program did not start");
        return;
    }
    // Once a bubble has come and gone, nothing of it may keep running.
    const int retitles = int(state.range(2));
    if (state.range(1) != 0) {
        const std::optional<QPoint> button = d->taskButton(QStringLiteral("term-1"));
        if (!button || !d->hover(*button) || !d->awayAndHidden()) {
            state.SkipWithError("the bubble did not come and go");
            return;
        }
        QTest::qWait(3000);
    }
    QProcess *retitling = nullptr;
    if (retitles > 0) {
        retitling = d->retitlingTerminal(retitles);
        // Past its window's arrival on the panel and the few seconds after it in which the panel's
        // bounds are heard (as after every window that opens).
        QTest::qWait(8000);
    }
    const int seconds = brief() ? 3 : 30;
    double perSecond = 0;
    double cpu = 0;
    QMap<QString, qint64> delta;
    for (auto _ : state) {
        const QMap<QString, qint64> before = d->switches();
        const double cpuBefore = d->cpuSeconds();
        QTest::qWait(seconds * 1000);
        cpu = d->cpuSeconds() - cpuBefore;
        const QMap<QString, qint64> after = d->switches();
        qint64 total = 0;
        for (auto it = after.cbegin(); it != after.cend(); ++it) {
            delta[it.key()] = it.value() - before.value(it.key());
            if (it.key() != QStringLiteral("involuntary"))
                total += delta[it.key()];
        }
        perSecond = double(total) / seconds;
        state.SetIterationTime(seconds);
    }
    state.counters["wakeups_per_s"] = perSecond;
    state.counters["cpu_ms_per_s"] = cpu * 1000 / seconds;
    // The watchdog's heartbeat wakes the main thread and the watchdog's thread twice a second each
    // (and the woken watchdog may preempt the main thread, counted under "involuntary").
    state.counters["goal_per_s"] = diagnostics ? 5 : 1;
    for (auto it = delta.cbegin(); it != delta.cend(); ++it) {
        if (it.value() > 0)
            state.counters[it.key().toStdString()] = double(it.value()) / seconds;
    }
    if (retitling) {
        retitling->terminate();
        retitling->waitForFinished(3000);
    }
    d->quit();
}
BENCHMARK(BM_IdleWakeups)
    ->ArgNames({"diagnostics", "after_bubble", "retitles_per_s"})
    ->Args({0, 0, 0})
    ->Args({1, 0, 0})
    ->Args({0, 1, 0})
    ->Args({0, 0, 50})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

void reportBubble(benchmark::State &state, const std::optional<double> &ms)
{
    if (!ms) {
        state.SkipWithError("no bubble within 5 s, or the last one stayed up after the pointer left");
        return;
    }
    state.SetIterationTime(*ms / 1000);
    state.counters["bubble_ms"] = *ms;
    state.counters["goal_ms"] = bubbleGoalMs;
}

// The first bubble after start: the program starts and the pointer glides onto a terminal's task
// button, arriving about 0.4 s after the tray icon shows.
void BM_FirstBubbleAfterStart(benchmark::State &state)
{
    Desktop *d = desktop();
    for (auto _ : state) {
        if (!d || !d->launch(false, 0)) {
            state.SkipWithError("no desktop or the program did not start");
            return;
        }
        const std::optional<QPoint> button = d->taskButton(QStringLiteral("term-1"));
        reportBubble(state, button ? d->hover(*button) : std::nullopt);
    }
}
BENCHMARK(BM_FirstBubbleAfterStart)
    ->Iterations(1)
    ->Repetitions(runs())
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// The desktop with the program running, started once for the benchmarks that share it; none (and
// the benchmark skipped) when it cannot be.
Desktop *runningDesktop(benchmark::State &state)
{
    Desktop *d = desktop();
    if (!d || (!d->running() && !d->launch(false, 1000))) {
        state.SkipWithError("no desktop or the program did not start");
        return nullptr;
    }
    return d;
}

// The first bubble on a task button that just appeared: a one-window application (xclock) starts
// while the program runs, and the pointer glides onto its button, arriving about 0.4 s after the
// panel shows it.
void BM_FirstBubbleOnNewButton(benchmark::State &state)
{
    Desktop *d = runningDesktop(state);
    if (!d)
        return;
    static int round = 0;
    for (auto _ : state) {
        const QString title = QStringLiteral("clock-%1").arg(++round);
        QProcess *clock = d->panel().run(QStringLiteral("xclock"),
                                         {QStringLiteral("-title"), title, QStringLiteral("-geometry"),
                                          QStringLiteral("160x160+1500+200")});
        const std::optional<QPoint> button = d->taskButton(title, 10000);
        reportBubble(state, button ? d->hover(*button) : std::nullopt);
        d->awayAndHidden();
        clock->terminate();
        clock->waitForFinished(3000);
    }
}
BENCHMARK(BM_FirstBubbleOnNewButton)
    ->Iterations(1)
    ->Repetitions(runs())
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// The Super Panel opened while 150 windows of 150 programs map: the first press after start
// (`after_start` 1: the program starts, then the storm) and later ones.
void BM_SuperPanelInAStorm(benchmark::State &state)
{
    Desktop *d = desktop();
    if (!d)
        return state.SkipWithError("no desktop");
    QList<std::shared_ptr<QProcess>> owners;
    QList<qint64> pids;
    for (int i = 0; i < 150; ++i) {
        auto owner = std::make_shared<QProcess>();
        owner->start(QStringLiteral("sleep"), {QStringLiteral("600")});
        if (!owner->waitForStarted(5000))
            return state.SkipWithError("no process to own the windows");
        pids.append(owner->processId());
        owners.append(owner);
    }
    for (auto _ : state) {
        if (state.range(0) == 1 ? !d->launch(false, 0) : !runningDesktop(state)) {
            state.SkipWithError("the program did not start");
            break;
        }
        const std::optional<double> ms = d->panelInStorm(pids, 150);
        if (!ms) {
            state.SkipWithError("no panel within 5 s");
            break;
        }
        state.SetIterationTime(*ms / 1000);
        state.counters["panel_ms"] = *ms;
        state.counters["goal_ms"] = 150;
    }
    for (const auto &owner : owners) {
        owner->kill();
        owner->waitForFinished(3000);
    }
}
BENCHMARK(BM_SuperPanelInAStorm)
    ->ArgNames({"after_start"})
    ->Arg(1)
    ->Arg(0)
    ->Iterations(1)
    ->Repetitions(runs())
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// Later bubbles: the pointer comes back to terminals' task buttons it has rested on before.
void BM_LaterBubble(benchmark::State &state)
{
    Desktop *d = runningDesktop(state);
    if (!d)
        return;
    static int round = 0;
    for (int i = 1; round == 0 && i <= 3; ++i)
        d->hover(*d->taskButton(QStringLiteral("term-%1").arg(i)));
    for (auto _ : state) {
        const std::optional<QPoint> button = d->taskButton(QStringLiteral("term-%1").arg(1 + round++ % 3));
        reportBubble(state, button ? d->hover(*button) : std::nullopt);
    }
}
BENCHMARK(BM_LaterBubble)->Iterations(1)->Repetitions(runs())->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace
