#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QElapsedTimer>
#include <QProcess>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

#include <poll.h>

#include <xcb/xcb.h>

#include "core/eventlog.h"
#include "core/settingsstore.h"
#include "platform/memoryrelease.h"
#include "platform/x11/x11desktop.h"
#include "platform/x11/x11session.h"
#include "runtime/qtscheduler.h"
#include "runtime/workqueue.h"
#include "views/bubble/bubbleplacement.h"
#include "views/bubble/bubbleviewstate.h"
#include "views/bubble/cardactions.h"
#include "views/bubble/contentview.h"
#include "views/bubble/horizontalscrollview.h"
#include "views/bubble/windowpreviewcard.h"
#include "views/superpanel/globalwindowcard.h"
#include "views/superpanel/superpaneloverlay.h"
#include "views/superpanel/superpanelstate.h"
#include "views/superpanel/windowgrid.h"
#include "windows/snapshotcache.h"
#include "windows/windowengine.h"
#include "windows/windowlistmodel.h"

#include "../tests/support/helperprocess.h"

// Window pictures at first use and later, on the display it runs under (scripts/desktop.sh gives
// one: Xvfb and openbox). Windows of other programs are made here: each is claimed by a process of
// its own kind (`sleep`) through _NET_WM_PID and WM_CLASS, and painted in a colour by the server
// and, where the server exposes it, by a thread that answers as the program would.
//
// Super Panel: from the all-windows request (what the hotkey starts) until every card in the
// grid's view holds a capture of its window, at 40 and at 200 windows; goal 0.6 s.
// Bubble: from the hover's start (the application's request follows when the hover delay has
// passed, as the overlay controller makes it) until every card in the bubble's view has been drawn
// with a capture of its window; goal the hover delay (the setting's default) plus 0.3 s.
// Each is measured cold (no picture cache on disk, nothing in memory, no window redirected),
// after a restart (pictures on disk only) and warm (a second opening), side by side. The figures
// are for people to read; nothing is asserted. A run that cannot measure (no display, no
// Composite, windows never listed, pictures never complete) says why and exits with 1.
// QV_RUN_BENCHMARKS=1 (CI): one run of each at 40 windows.

using namespace qv;

namespace {

constexpr double superPanelGoalMs = 600;
// With no "hoverDelay" stored and the Dock not hiding itself.
const double hoverDelayMs = BubblePlacement::hoverDelay(std::nullopt, false) * 1000;
const double bubbleGoalMs = hoverDelayMs + 300;
constexpr int timeoutMs = 20000;

struct NoLog final : EventLog
{
    void log(const QString &, const QString &) override {}
};

bool brief()
{
    return qgetenv("QV_RUN_BENCHMARKS") == "1";
}

// Runs the event loop until `done` holds, checking it after each pass (before the loop would
// sleep), or until `timeout` ms passed; whether it holds. QTest::qWaitFor sleeps 10 ms between its
// passes, which the program itself never does: each turn a scan yields would be measured 10 ms long.
template <typename Predicate> bool waitUntil(Predicate done, int timeout)
{
    if (done())
        return true;
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, &loop,
                     [&] {
                         if (done())
                             loop.quit();
                     });
    deadline.start(timeout);
    loop.exec();
    return done();
}

bool isCapture(const AppWindowModel &window)
{
    const QSize wanted = snapshotCaptureSize(window.rect.size());
    return !window.image.isNull() && window.image.cacheKey() != window.appIcon.cacheKey() &&
           std::abs(window.image.width() - wanted.width()) <= 1 &&
           std::abs(window.image.height() - wanted.height()) <= 1;
}

// Waits until the window manager has done with the windows just opened: it keeps moving the focus
// through them for seconds after the last is listed (at 200 windows), and each move has the
// program read the whole client list again. A hotkey is not pressed in that storm.
void waitForQuietDesktop(X11Session &session)
{
    xcb_connection_t *c = session.xcb();
    const xcb_atom_t active = session.ewmh()->_NET_ACTIVE_WINDOW;
    xcb_window_t last = XCB_WINDOW_NONE;
    QElapsedTimer unchanged, overall;
    unchanged.start();
    overall.start();
    while (unchanged.elapsed() < 1000 && overall.elapsed() < timeoutMs) {
        std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
            xcb_get_property_reply(c, xcb_get_property(c, 0, session.root(), active, XCB_ATOM_WINDOW, 0, 1), nullptr),
            &std::free);
        const xcb_window_t now = reply && xcb_get_property_value_length(reply.get()) >= 4
                                     ? *static_cast<xcb_window_t *>(xcb_get_property_value(reply.get()))
                                     : xcb_window_t(XCB_WINDOW_NONE);
        if (now != last) {
            last = now;
            unchanged.restart();
        }
        QTest::qWait(50);
    }
}

// Windows of `kinds` programs, `count` in all, cascaded over the screen. As programs do, each
// repaints what the server exposes of it (here: its colour, from a thread of its own) besides the
// background the server paints.
class Windows
{
public:
    explicit Windows(X11Session &session) : m_session(session), m_client(xcb_connect(nullptr, nullptr)) {}
    ~Windows()
    {
        m_stop = true;
        if (m_painter.joinable())
            m_painter.join();
        for (xcb_window_t window : std::as_const(m_windows))
            xcb_destroy_window(m_client, window);
        xcb_flush(m_client);
        xcb_disconnect(m_client);
        for (auto &owner : m_owners) {
            owner->kill();
            owner->waitForFinished(3000);
        }
    }

    bool open(int count, int kinds)
    {
        xcb_connection_t *c = m_client;
        if (xcb_connection_has_error(c))
            return false;
        for (int kind = 0; kind < kinds; ++kind) {
            auto owner = std::make_unique<QProcess>();
            bindToTest(*owner);
            owner->start(QStringLiteral("sleep"), {QStringLiteral("600")});
            if (!owner->waitForStarted(5000))
                return false;
            m_pids.append(owner->processId());
            m_owners.push_back(std::move(owner));
        }
        for (int i = 0; i < count; ++i) {
            const int kind = i % kinds;
            const xcb_window_t window = xcb_generate_id(c);
            const uint32_t background = 0xff000000u | uint32_t((i * 0x3b1d57) & 0xffffff);
            const uint32_t values[] = {background, XCB_EVENT_MASK_EXPOSURE};
            xcb_create_window(c, XCB_COPY_FROM_PARENT, window, m_session.root(), int16_t(20 + (i % 25) * 40),
                              int16_t(20 + (i % 17) * 30), 640, 420, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                              XCB_COPY_FROM_PARENT, XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);
            const uint32_t pid = uint32_t(m_pids.at(kind));
            xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, m_session.ewmh()->_NET_WM_PID,
                                XCB_ATOM_CARDINAL, 32, 1, &pid);
            const QByteArray name = "bench" + QByteArray::number(kind);
            const QByteArray wmClass = name + '\0' + "Bench" + QByteArray::number(kind) + '\0';
            xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                                uint32_t(wmClass.size()), wmClass.constData());
            const QByteArray title = "Document " + QByteArray::number(i);
            xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                                uint32_t(title.size()), title.constData());
            xcb_map_window(c, window);
            m_windows.append(window);
            m_colours.insert(window, background & 0xffffff);
        }
        xcb_flush(c);
        m_painter = std::thread([this] { paint(); });
        return true;
    }

private:
    void paint()
    {
        xcb_connection_t *c = m_client;
        const xcb_gcontext_t pen = xcb_generate_id(c);
        xcb_create_gc(c, pen, m_session.root(), 0, nullptr);
        pollfd socket{xcb_get_file_descriptor(c), POLLIN, 0};
        while (!m_stop) {
            poll(&socket, 1, 100);
            while (xcb_generic_event_t *event = xcb_poll_for_event(c)) {
                if ((event->response_type & 0x7f) == XCB_EXPOSE) {
                    const auto *expose = reinterpret_cast<const xcb_expose_event_t *>(event);
                    const uint32_t colour = m_colours.value(expose->window);
                    xcb_change_gc(c, pen, XCB_GC_FOREGROUND, &colour);
                    const xcb_rectangle_t area{int16_t(expose->x), int16_t(expose->y), expose->width,
                                               expose->height};
                    xcb_poly_fill_rectangle(c, expose->window, pen, 1, &area);
                }
                std::free(event);
            }
            xcb_flush(c);
        }
        xcb_free_gc(c, pen);
    }

    X11Session &m_session;
    xcb_connection_t *m_client;
    QList<xcb_window_t> m_windows;
    // Read by the painter, written before it starts.
    QHash<xcb_window_t, uint32_t> m_colours;
    QList<qint64> m_pids;
    std::vector<std::unique_ptr<QProcess>> m_owners;
    std::atomic_bool m_stop = false;
    std::thread m_painter;
};

// Which picture each bubble card last painted (its image's cache key), seen before the card paints.
class PaintWatch : public QObject
{
public:
    bool eventFilter(QObject *object, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            if (auto *card = qobject_cast<WindowPreviewCard *>(object)) {
                if (!m_painted.contains(card))
                    connect(card, &QObject::destroyed, this, [this, card] { m_painted.remove(card); });
                m_painted.insert(card, card->window().image.cacheKey());
            }
        }
        return false;
    }
    // Whether the card's last paint drew the picture it holds now.
    bool drewCurrent(const WindowPreviewCard *card) const
    {
        const auto painted = m_painted.constFind(card);
        return painted != m_painted.constEnd() && *painted == card->window().image.cacheKey();
    }

private:
    QHash<const QObject *, qint64> m_painted;
};

// The bubble's content view over the engine's lists, fed as the overlay controller feeds it: the
// hovered application's published lists, in the order of the first one while it shows, at the
// size the controller gives it for that many cards.
struct BubbleSurface
{
    explicit BubbleSurface(Scheduler &scheduler) : view(state, windows, actions, scheduler)
    {
        state.setHeaderTitle(QStringLiteral("Bench0"));
        qApp->installEventFilter(&paints);
    }
    ~BubbleSurface() { qApp->removeEventFilter(&paints); }

    void follow(const WindowEngine &engine)
    {
        if (engine.windowsAppName() != hovered)
            return;
        const QList<AppWindowModel> list = engine.windows();
        if (shownApp == hovered && view.isVisible())
            windows.updateKeepingOrder(list);
        else
            windows.setWindows(list);
        shownApp = list.isEmpty() ? QString() : hovered;
        if (list.isEmpty())
            return;
        view.resize(BubblePlacement::overlaySize(int(list.size())).toSize());
        view.show();
    }

    void hide()
    {
        view.hide();
        windows.setWindows({});
        shownApp.clear();
        hovered.clear();
    }

    // The cards (partly) in the bubble's view, and how many of them were drawn with a capture.
    std::pair<int, int> cardsInView() const
    {
        if (!view.isVisible())
            return {0, 0};
        const HorizontalScrollView *scroll = view.scrollView();
        const QRect shown(scroll->horizontalScrollBar()->value(), 0, scroll->viewport()->width(),
                          scroll->viewport()->height());
        int inView = 0;
        int drawn = 0;
        for (const WindowPreviewCard *card : view.cards()) {
            if (!card->cardRect().translated(card->pos()).intersects(shown))
                continue;
            ++inView;
            drawn += isCapture(card->window()) && paints.drewCurrent(card) ? 1 : 0;
        }
        return {inView, drawn};
    }

    BubbleViewState state;
    WindowListModel windows;
    CardActions actions;
    ContentView view;
    PaintWatch paints;
    QString hovered;
    QString shownApp;
};

// The engine and the Super Panel's view over it, wired as the overlay controller wires them, on a
// backend of its own (so a new one starts with nothing redirected).
struct Surfaces
{
    Surfaces(SettingsStore &settings)
        : engine(desktop.platform(), scheduler, queues, settings, events), model(engine),
          state(model, scheduler, actions(), SuperPanelState::Presented{[this] { return presented; },
                                                                         [this](bool p) { presented = p; }}),
          view(state, scheduler), bubble(scheduler)
    {
        state.follow(engine);
        view.resize(1440, 900);
        QObject::connect(&engine, &WindowEngine::windowsChanged, &view, [this] { bubble.follow(engine); });
        QApplication::processEvents();
    }
    // Scans and warm-ups still running use the backend from other threads: they end first.
    ~Surfaces() { finishWork(); }

    // Lets the scan and warm-ups of an opening end (the pictures may all be there before its
    // last accessibility probe answered), as they have when the user opens it again.
    void finishWork()
    {
        const bool ended =
            QTest::qWaitFor([this] { return !engine.isFetchPending() && !engine.isWarmingSnapshots(); }, timeoutMs);
        if (!ended)
            std::fprintf(stderr, "x11pictures_bench: a scan did not end\n");
    }

    SuperPanelActions actions()
    {
        SuperPanelActions a;
        a.cardsInView = [this](const QList<qint64> &ids) { engine.requestSnapshots(ids); };
        return a;
    }

    // The cards in the grid's view, and whether each holds a capture.
    std::pair<int, int> cardsInView() const
    {
        WindowGrid *grid = view.grid();
        const QRect shown(0, grid->verticalScrollBar()->value(), grid->viewport()->width(),
                          grid->viewport()->height());
        int inView = 0;
        int pictured = 0;
        for (GlobalWindowCard *card : grid->cards()) {
            if (!card->isVisible() || !card->geometry().intersects(shown))
                continue;
            ++inView;
            pictured += isCapture(card->window()) ? 1 : 0;
        }
        return {inView, pictured};
    }

    QtScheduler scheduler;
    X11Desktop desktop;
    ThreadQueueFactory queues;
    NoLog events;
    WindowEngine engine;
    WindowListModel model;
    bool presented = false;
    SuperPanelState state;
    SuperPanelOverlay view;
    BubbleSurface bubble;
};

// Milliseconds from the all-windows request to every card in view holding a capture; none when
// that never happened.
std::optional<double> openSuperPanel(Surfaces &surfaces, int expected)
{
    surfaces.engine.clearWindows();
    surfaces.presented = true;
    surfaces.state.presentationChanged(true);
    surfaces.view.show();
    QApplication::processEvents();
    QElapsedTimer clock;
    clock.start();
    surfaces.engine.fetchAllWindows();
    double listedAt = -1;
    const bool complete = waitUntil(
        [&] {
            const auto [inView, pictured] = surfaces.cardsInView();
            if (listedAt < 0 && surfaces.engine.windows().size() >= expected)
                listedAt = double(clock.nsecsElapsed()) / 1e6;
            return surfaces.engine.windows().size() >= expected && inView > 0 && pictured == inView;
        },
        timeoutMs);
    if (qEnvironmentVariableIsSet("QV_BENCH_DETAIL"))
        std::fprintf(stderr, "listed after %.0f ms, %d cards in view\n", listedAt, surfaces.cardsInView().first);
    const double elapsed = double(clock.nsecsElapsed()) / 1e6;
    surfaces.presented = false;
    surfaces.state.presentationChanged(false);
    surfaces.view.hide();
    if (!complete) {
        const auto [inView, pictured] = surfaces.cardsInView();
        std::fprintf(stderr, "x11pictures_bench: %lld listed, %d of %d cards in view pictured\n",
                     qlonglong(surfaces.engine.windows().size()), pictured, inView);
        return std::nullopt;
    }
    return elapsed;
}

// Milliseconds from the start of the hover on the application's tile to every card in the
// bubble's view drawn with a capture; none when that never happened.
std::optional<double> showBubble(Surfaces &surfaces, const QString &appName)
{
    surfaces.engine.cancelWindowFetches();
    surfaces.engine.setCurrentOverlayRoute(OverlayRoute::all);
    BubbleSurface &bubble = surfaces.bubble;
    bubble.hovered = appName;
    QElapsedTimer clock;
    clock.start();
    const double delay = hoverDelayMs / 1000.0;
    TimerHandle hover =
        surfaces.scheduler.after(delay, [&surfaces, appName, delay] { surfaces.engine.fetchWindows(appName, delay); });
    const bool complete = waitUntil(
        [&] {
            const auto [inView, drawn] = bubble.cardsInView();
            return inView > 0 && drawn == inView;
        },
        timeoutMs);
    const double elapsed = double(clock.nsecsElapsed()) / 1e6;
    if (qEnvironmentVariableIsSet("QV_BENCH_DETAIL"))
        std::fprintf(stderr, "bubble: %lld cards, %d in view\n", qlonglong(bubble.windows.rowCount()),
                     bubble.cardsInView().first);
    if (!complete) {
        const auto [inView, drawn] = bubble.cardsInView();
        std::fprintf(stderr, "x11pictures_bench: bubble: %d of %d cards in view drawn with a capture\n", drawn,
                     inView);
    }
    hover.cancel();
    bubble.hide();
    if (!complete)
        return std::nullopt;
    return elapsed;
}

struct Figures
{
    std::optional<double> cold, restart, warm;
};

void print(const char *what, const Figures &figures, double goal)
{
    const auto cell = [](const std::optional<double> &ms) {
        return ms ? QByteArray::number(*ms, 'f', 0) + " ms" : QByteArray("failed");
    };
    std::printf("%-34s %10s %10s %10s   goal %4.0f ms\n", what, cell(figures.cold).constData(),
                cell(figures.restart).constData(), cell(figures.warm).constData(), goal);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    returnLargeBlocksAtOnce();
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::fprintf(stderr, "x11pictures_bench: no X display to measure on\n");
        return 1;
    }
    X11Session session;
    if (!session.isValid() || !session.hasComposite()) {
        std::fprintf(stderr, "x11pictures_bench: the display cannot be used (no Composite)\n");
        return 1;
    }
    QTemporaryDir folder;
    SettingsStore settings(QDir(folder.path()).filePath(QStringLiteral("defaults.json")));

    std::printf("%-34s %10s %10s %10s\n", "", "cold", "restart", "warm");
    std::printf("(bubble: from the hover's start; its goal is the hover delay, %.0f ms, + 300 ms)\n", hoverDelayMs);
    bool measured = true;
    const QList<int> counts = brief() ? QList<int>{40} : QList<int>{40, 200};
    for (int count : counts) {
        constexpr int kinds = 8;
        Windows windows(session);
        if (!windows.open(count, kinds)) {
            std::fprintf(stderr, "x11pictures_bench: could not start the windows' owners\n");
            return 1;
        }
        const QString appName = QStringLiteral("Bench0");
        const int perKind = (count + kinds - 1) / kinds;
        QDir(snapshotDiskCacheDirectory()).removeRecursively();
        QDir().mkpath(snapshotDiskCacheDirectory());
        {
            auto surfaces = std::make_unique<Surfaces>(settings);
            // The windows are listed once the window manager has framed them all.
            if (!QTest::qWaitFor(
                    [&] {
                        surfaces->engine.fetchAllWindows();
                        QTest::qWait(100);
                        return surfaces->engine.windows().size() >= count;
                    },
                    timeoutMs)) {
                std::fprintf(stderr, "x11pictures_bench: the %d windows were never listed\n", count);
                return 1;
            }
        }
        waitForQuietDesktop(session);
        const auto measure = [&settings](const std::function<std::optional<double>(Surfaces &)> &open) {
            Figures figures;
            {
                // A new backend and engine: nothing redirected, nothing in memory, nothing on disk.
                QDir(snapshotDiskCacheDirectory()).removeRecursively();
                QDir().mkpath(snapshotDiskCacheDirectory());
                Surfaces surfaces(settings);
                figures.cold = open(surfaces);
                surfaces.finishWork();
                figures.warm = open(surfaces);
            }
            Surfaces surfaces(settings);
            figures.restart = open(surfaces);
            return figures;
        };
        const Figures panel = measure([count](Surfaces &surfaces) { return openSuperPanel(surfaces, count); });
        const Figures bubble = measure([&appName](Surfaces &surfaces) { return showBubble(surfaces, appName); });
        print(QByteArray("Super Panel complete, " + QByteArray::number(count) + " windows").constData(), panel,
              superPanelGoalMs);
        print(QByteArray("bubble complete, " + QByteArray::number(perKind) + " windows").constData(), bubble,
              bubbleGoalMs);
        for (const Figures &figures : {panel, bubble})
            measured = measured && figures.cold && figures.restart && figures.warm;
    }
    if (!measured) {
        std::fprintf(stderr, "x11pictures_bench: some pictures never completed\n");
        return 1;
    }
    return 0;
}
