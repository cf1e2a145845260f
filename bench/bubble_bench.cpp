#include <QApplication>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <memory>

#include "app/overlaycontroller.h"
#include "core/eventlog.h"
#include "core/settingskeys.h"
#include "core/settingsstore.h"
#include "dock/dockmonitor.h"
#include "platform/sim/simdesktop.h"
#include "runtime/manualscheduler.h"
#include "runtime/workqueue.h"
#include "ui/panel.h"
#include "views/bubble/bubbleviewstate.h"
#include "views/bubble/contentview.h"
#include "windows/windowengine.h"
#include "windows/windowlistmodel.h"

using namespace qv;

namespace {

QList<AppWindowModel> fourWindows()
{
    QList<AppWindowModel> windows;
    for (int i = 0; i < 4; ++i) {
        AppWindowModel window;
        window.id = i + 1;
        window.title = QStringLiteral("Quarterly report %1.ods").arg(i + 1);
        window.image = QImage(1280, 800, QImage::Format_ARGB32_Premultiplied);
        window.image.fill(QColor::fromHsv(i * 70, 120, 200));
        window.snapshotTime = 1;
        windows.append(window);
    }
    return windows;
}

struct NoLog final : EventLog
{
    void log(const QString &, const QString &) override {}
};

// The Dock monitor, the window engine and the overlay controller with all its panels, as the
// start-up sequence wires them, on the simulated desktop and a manual clock.
struct Overlay
{
    explicit Overlay(SimDesktop &sim)
        : monitor(sim.platform(), scheduler, queues, settings, events),
          engine(sim.platform(), scheduler, queues, settings, events),
          controller(sim.platform(), scheduler, settings, nullptr)
    {
        controller.setupOverlayWindow();
        controller.setupGlobalOverlayWindow();
        controller.setupPeekingWindow();
        controller.setupBindings(monitor, engine);
        controller.startMouseCheckTimer();
    }

    ManualScheduler scheduler;
    SchedulerQueueFactory queues{scheduler};
    SettingsStore settings;
    NoLog events;
    DockMonitor monitor;
    WindowEngine engine;
    OverlayController controller;
};

// One paint of a four-card bubble (804 x 233) at the given device pixel ratio.
void paintBubble(benchmark::State &state)
{
    const double dpr = double(state.range(0));
    ManualScheduler scheduler;
    BubbleViewState viewState;
    viewState.setHeaderTitle(QStringLiteral("Files"));
    WindowListModel model;
    model.setWindows(fourWindows());
    CardActions actions;
    ContentView view(viewState, model, actions, scheduler);
    view.resize(804, 233);
    QImage target(QSize(804, 233) * dpr, QImage::Format_ARGB32_Premultiplied);
    target.setDevicePixelRatio(dpr);
    for (auto _ : state) {
        target.fill(Qt::transparent);
        QPainter painter(&target);
        view.render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
        painter.end();
        benchmark::DoNotOptimize(target.constBits());
    }
}
BENCHMARK(paintBubble)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// From the Dock monitor publishing a hover to the bubble's first painted frame, with the
// application's list already cached; the hover delay itself is skipped on the manual clock.
void hoverToFirstFrame(benchmark::State &state)
{
    SimDesktop sim;
    sim.addDefaultScreen();
    const qint64 pid = sim.workspace.launch(RunningApp{0, "org.example.files", "Files", false, false, true});
    for (int i = 0; i < 4; ++i) {
        QImage image(1280, 800, QImage::Format_ARGB32_Premultiplied);
        image.fill(QColor::fromHsv(i * 70, 120, 200));
        sim.windowServer.addWindow(pid, QRectF(100 + 30 * i, 100, 1280, 800),
                                   QStringLiteral("Files %1").arg(i), image);
    }
    sim.addDockTile("Files", QRectF(600, 836, 64, 64));
    const QPointF onTile(632, 32);
    const QPointF away(700, 700);
    Overlay overlay(sim);
    ManualScheduler &scheduler = overlay.scheduler;
    OverlayController &controller = overlay.controller;
    sim.screens.setMouseLocation(onTile);
    scheduler.advance(1); // the first scan fills the list cache
    QImage frame(QSize(804, 233), QImage::Format_ARGB32_Premultiplied);
    // The hover delay and the fetch's quiet period pass on the manual clock at no cost: what is
    // timed is the work they set going, up to the first painted frame.
    const double untilShown = Settings::hoverDelay.defaultValue + WindowEngine::fetchDebounceInterval + 0.001;
    for (auto _ : state) {
        state.PauseTiming();
        sim.screens.setMouseLocation(away);
        scheduler.advance(1);
        sim.screens.setMouseLocation(onTile);
        scheduler.advance(0.001); // the motion wakes the hover tick, which publishes the tile
        state.ResumeTiming();
        scheduler.advance(untilShown);
        if (!controller.overlayWindow()->isVisible()) {
            state.SkipWithError("the bubble did not show");
            break;
        }
        QPainter painter(&frame);
        controller.overlayWindow()->render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
        painter.end();
        benchmark::DoNotOptimize(frame.constBits());
    }
}
BENCHMARK(hoverToFirstFrame)->Unit(benchmark::kMillisecond);

// Callbacks run (timer firings and posted work: what would each have woken the program) during one
// idle minute of virtual time, pointer still, with and without a Dock, after ten seconds for what
// the start-up set going. Reported as the counter "per_minute"; the goal is at most 60.
void idleMinuteWakeUps(benchmark::State &state)
{
    const bool withDock = state.range(0) != 0;
    double perMinute = 0;
    for (auto _ : state) {
        SimDesktop sim;
        sim.addDefaultScreen();
        sim.screens.setMouseLocation(QPointF(700, 700));
        const qint64 pid =
            sim.workspace.launch(RunningApp{0, "org.example.files", "Files", false, false, true});
        sim.windowServer.addWindow(pid, QRectF(100, 100, 800, 500), QStringLiteral("Files 1"), QImage());
        if (withDock)
            sim.addDockTile("Files", QRectF(600, 836, 64, 64));
        else
            sim.workspace.terminate(sim.dockPid());
        Overlay overlay(sim);
        overlay.scheduler.advance(10);
        const auto before = overlay.scheduler.callbacksRun();
        overlay.scheduler.advance(60);
        perMinute = double(overlay.scheduler.callbacksRun() - before);
    }
    state.counters["per_minute"] = perMinute;
}
BENCHMARK(idleMinuteWakeUps)->Arg(1)->Arg(0)->ArgName("dock")->Iterations(1)->Unit(benchmark::kMillisecond);

// From Alt+Tab reaching the key path to the Super Panel's first painted frame listing 40 windows of
// ten applications, on a 1440 x 900 screen; the list comes from a fresh scan of every window.
void hotkeyToFirstFrame(benchmark::State &state)
{
    SimDesktop sim;
    sim.addDefaultScreen();
    for (int app = 0; app < 10; ++app) {
        const QString name = QStringLiteral("App %1").arg(app);
        const qint64 pid = sim.workspace.launch(
            RunningApp{0, QStringLiteral("org.example.app%1").arg(app), name, false, false, true});
        for (int i = 0; i < 4; ++i) {
            QImage image(640, 400, QImage::Format_ARGB32_Premultiplied);
            image.fill(QColor::fromHsv((app * 36 + i * 9) % 360, 120, 200));
            sim.windowServer.addWindow(pid, QRectF(60 + 20 * i, 60 + 20 * app, 640, 400),
                                       QStringLiteral("%1 window %2").arg(name).arg(i), image);
        }
    }
    Overlay overlay(sim);
    ManualScheduler &scheduler = overlay.scheduler;
    DockMonitor &monitor = overlay.monitor;
    WindowEngine &engine = overlay.engine;
    OverlayController &controller = overlay.controller;
    scheduler.advance(1);
    constexpr int tab = 48;
    constexpr quint32 option = 0x80000;
    quint64 timestamp = 0;
    QImage frame(QSize(1440, 900), QImage::Format_ARGB32_Premultiplied);
    qsizetype listed = 0;
    for (auto _ : state) {
        timestamp += 1'000'000'000; // a second apart: the latch never holds the key back
        monitor.matchHotkey(tab, option, false, timestamp);
        scheduler.advance(0.06); // the route, the panel, then the scan of every window
        QApplication::processEvents(); // the grid takes the published list
        QPainter painter(&frame);
        controller.globalOverlayWindow()->render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
        painter.end();
        benchmark::DoNotOptimize(frame.constBits());
        state.PauseTiming();
        listed = engine.windows().size();
        controller.toggleGlobalSwitcher(false);
        scheduler.advance(1);
        state.ResumeTiming();
    }
    if (listed != 40)
        state.SkipWithError("the panel did not list the 40 windows");
}
BENCHMARK(hotkeyToFirstFrame)->Unit(benchmark::kMillisecond);

} // namespace
