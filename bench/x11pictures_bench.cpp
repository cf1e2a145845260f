#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <memory>
#include <optional>

#include <xcb/xcb.h>

#include "core/eventlog.h"
#include "core/settingsstore.h"
#include "platform/memoryrelease.h"
#include "platform/x11/x11desktop.h"
#include "platform/x11/x11session.h"
#include "runtime/qtscheduler.h"
#include "runtime/workqueue.h"
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
// its own kind (`sleep`) through _NET_WM_PID and WM_CLASS, and painted by the server in a colour.
//
// Super Panel: from the all-windows request (what the hotkey starts) until every card in the
// grid's view holds a capture of its window, at 40 and at 200 windows; goal 0.6 s.
// Bubble: from the application's request (made when the hover delay has passed) until each of its
// windows holds a capture; goal the hover delay (0.2 s) plus 0.3 s, of which the delay is added.
// Each is measured cold (no picture cache on disk, nothing in memory, no window redirected),
// after a restart (pictures on disk only) and warm (a second opening), side by side. The figures
// are for people to read; nothing is asserted. A run that cannot measure (no display, no
// Composite, windows never listed, pictures never complete) says why and exits with 1.
// QV_RUN_BENCHMARKS=1 (CI): one run of each at 40 windows.

using namespace qv;

namespace {

constexpr double superPanelGoalMs = 600;
constexpr double hoverDelayMs = 200;
constexpr double bubbleGoalMs = hoverDelayMs + 300;
constexpr int timeoutMs = 20000;

struct NoLog final : EventLog
{
    void log(const QString &, const QString &) override {}
};

bool brief()
{
    return qgetenv("QV_RUN_BENCHMARKS") == "1";
}

bool isCapture(const AppWindowModel &window)
{
    const QSize wanted = snapshotCaptureSize(window.rect.size());
    return !window.image.isNull() && window.image.cacheKey() != window.appIcon.cacheKey() &&
           std::abs(window.image.width() - wanted.width()) <= 1 &&
           std::abs(window.image.height() - wanted.height()) <= 1;
}

// Windows of `kinds` programs, `count` in all, cascaded over the screen.
class Windows
{
public:
    explicit Windows(X11Session &session) : m_session(session) {}
    ~Windows()
    {
        for (xcb_window_t window : std::as_const(m_windows))
            xcb_destroy_window(m_session.xcb(), window);
        xcb_flush(m_session.xcb());
        for (auto &owner : m_owners) {
            owner->kill();
            owner->waitForFinished(3000);
        }
    }

    bool open(int count, int kinds)
    {
        xcb_connection_t *c = m_session.xcb();
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
            xcb_create_window(c, XCB_COPY_FROM_PARENT, window, m_session.root(), int16_t(20 + (i % 25) * 40),
                              int16_t(20 + (i % 17) * 30), 640, 420, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                              XCB_COPY_FROM_PARENT, XCB_CW_BACK_PIXEL, &background);
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
        }
        xcb_flush(c);
        return true;
    }

    qint64 pidOf(int kind) const { return m_pids.at(kind); }

private:
    X11Session &m_session;
    QList<xcb_window_t> m_windows;
    QList<qint64> m_pids;
    std::vector<std::unique_ptr<QProcess>> m_owners;
};

// The engine and the Super Panel's view over it, wired as the overlay controller wires them, on a
// backend of its own (so a new one starts with nothing redirected).
struct Surfaces
{
    Surfaces(SettingsStore &settings)
        : engine(desktop.platform(), scheduler, queues, settings, events), model(engine),
          state(model, scheduler, actions(), SuperPanelState::Presented{[this] { return presented; },
                                                                         [this](bool p) { presented = p; }}),
          view(state, scheduler)
    {
        state.follow(engine);
        view.resize(1440, 900);
        view.show();
        QApplication::processEvents();
    }
    // Scans and warm-ups still running use the backend from other threads: they end first.
    ~Surfaces()
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
};

// Milliseconds from the all-windows request to every card in view holding a capture; none when
// that never happened.
std::optional<double> openSuperPanel(Surfaces &surfaces, int expected)
{
    surfaces.engine.clearWindows();
    surfaces.presented = true;
    surfaces.state.presentationChanged(true);
    QElapsedTimer clock;
    clock.start();
    surfaces.engine.fetchAllWindows();
    double listedAt = -1;
    const bool complete = QTest::qWaitFor(
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
    if (!complete) {
        const auto [inView, pictured] = surfaces.cardsInView();
        std::fprintf(stderr, "x11pictures_bench: %lld listed, %d of %d cards in view pictured\n",
                     qlonglong(surfaces.engine.windows().size()), pictured, inView);
        return std::nullopt;
    }
    return elapsed;
}

// Milliseconds from the application's request to each of its windows holding a capture, plus the
// hover delay that precedes the request.
std::optional<double> showBubble(Surfaces &surfaces, const QString &appName, qint64 pid, int expected)
{
    surfaces.engine.cancelWindowFetches();
    surfaces.engine.setCurrentOverlayRoute(OverlayRoute::all);
    QElapsedTimer clock;
    clock.start();
    surfaces.engine.fetchWindows(appName, hoverDelayMs / 1000.0);
    const bool complete = QTest::qWaitFor(
        [&] {
            int pictured = 0;
            for (const AppWindowModel &window : surfaces.engine.windows())
                pictured += window.ownerPID == pid && isCapture(window) ? 1 : 0;
            return surfaces.engine.windowsAppName() == appName && pictured == expected;
        },
        timeoutMs);
    if (!complete)
        return std::nullopt;
    return hoverDelayMs + double(clock.nsecsElapsed()) / 1e6;
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
    std::printf("%-34s %10s %10s %10s   goal %.0f ms\n", what, cell(figures.cold).constData(),
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
    bool measured = true;
    const QList<int> counts = brief() ? QList<int>{40} : QList<int>{40, 200};
    for (int count : counts) {
        constexpr int kinds = 8;
        Windows windows(session);
        if (!windows.open(count, kinds)) {
            std::fprintf(stderr, "x11pictures_bench: could not start the windows' owners\n");
            return 1;
        }
        Figures panel;
        Figures bubble;
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
        {
            // A new backend and engine: nothing redirected, nothing in memory, nothing on disk.
            QDir(snapshotDiskCacheDirectory()).removeRecursively();
            QDir().mkpath(snapshotDiskCacheDirectory());
            Surfaces surfaces(settings);
            panel.cold = openSuperPanel(surfaces, count);
            panel.warm = openSuperPanel(surfaces, count);
        }
        {
            Surfaces surfaces(settings);
            panel.restart = openSuperPanel(surfaces, count);
        }
        {
            QDir(snapshotDiskCacheDirectory()).removeRecursively();
            QDir().mkpath(snapshotDiskCacheDirectory());
            Surfaces surfaces(settings);
            bubble.cold = showBubble(surfaces, appName, windows.pidOf(0), perKind);
            bubble.warm = showBubble(surfaces, appName, windows.pidOf(0), perKind);
        }
        {
            Surfaces surfaces(settings);
            bubble.restart = showBubble(surfaces, appName, windows.pidOf(0), perKind);
        }
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
