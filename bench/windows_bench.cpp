#include <benchmark/benchmark.h>

#include <QDir>
#include <QImage>

#include "core/diagnostics/diagnosticsmanager.h"
#include "core/settingsstore.h"
#include "platform/sim/simdesktop.h"
#include "runtime/manualscheduler.h"
#include "runtime/workqueue.h"
#include "windows/axwindowmatch.h"
#include "windows/snapshotcache.h"
#include "windows/windowengine.h"

using namespace qv;

namespace {

// The all-windows request over 200 simulated windows of 10 applications, from the request until
// the list is published. Everything runs on this thread (deterministic queues), so the figure is the
// main-thread time of the scan; the snapshot warm-up that follows is stopped at publication.
void BM_FetchAllWindows200(benchmark::State &state)
{
    QDir(snapshotDiskCacheDirectory()).removeRecursively();
    SimDesktop desktop;
    desktop.addDefaultScreen();
    ManualScheduler scheduler;
    SchedulerQueueFactory queues(scheduler);
    SettingsStore settings;
    QImage icon(64, 64, QImage::Format_ARGB32);
    icon.fill(Qt::darkCyan);
    QList<qint64> pids;
    for (int a = 0; a < 10; ++a) {
        const qint64 pid =
            desktop.workspace.launch(RunningApp{0, QStringLiteral("org.example.app%1").arg(a),
                                                QStringLiteral("App %1").arg(a), false, false, true});
        desktop.appIcons.setApplicationIcon(pid, icon);
        pids.append(pid);
    }
    for (int i = 0; i < 200; ++i) {
        desktop.windowServer.addWindow(pids[i % 10], QRectF(20 + i, 40 + i, 900, 700),
                                       QStringLiteral("Document %1").arg(i), QImage());
    }
    DiagnosticsManager quietLog;
    WindowEngine engine(desktop.platform(), scheduler, queues, settings, quietLog);
    scheduler.runPending();
    bool published = false;
    QObject::connect(&engine, &WindowEngine::windowsChanged, [&] {
        if (!engine.windows().isEmpty() && !published) {
            published = true;
            engine.cancelWindowFetches();
        }
    });
    for (auto _ : state) {
        state.PauseTiming();
        engine.clearWindows();
        published = false;
        scheduler.advance(1);
        state.ResumeTiming();
        engine.fetchAllWindows();
        for (int turns = 0; !published && turns < 1000; ++turns)
            scheduler.runPending();
        if (!published) {
            state.SkipWithError("the list was never published");
            break;
        }
    }
    state.counters["windows"] = double(engine.windows().size());
}
BENCHMARK(BM_FetchAllWindows200)->Unit(benchmark::kMicrosecond);

// One blank test of a full-size capture.
void BM_SnapshotBlankTest(benchmark::State &state)
{
    QImage image(640, 480, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(30, 60, 90, 255));
    for (auto _ : state)
        benchmark::DoNotOptimize(isSnapshotBlank(image));
}
BENCHMARK(BM_SnapshotBlankTest)->Unit(benchmark::kMicrosecond);

// Finding the accessibility window of a listed window in an application with 50 windows. With
// `number` the listed window reports its number (found when its turn comes, last here); without,
// every window is scored (title, minimised state, the window server's frame and the accessibility
// frame) and the best one wins.
void BM_FindAXWindowAmong50(benchmark::State &state)
{
    const bool byNumber = state.range(0) != 0;
    SimDesktop desktop;
    desktop.addDefaultScreen();
    const qint64 pid = desktop.workspace.launch(
        RunningApp{0, QStringLiteral("org.example.editor"), QStringLiteral("Editor"), false, false, true});
    quint32 last = 0;
    for (int i = 0; i < 50; ++i)
        last = desktop.windowServer.addWindow(pid, QRectF(20 + 10 * i, 40 + 8 * i, 900, 700),
                                              QStringLiteral("Document %1").arg(i));
    AppWindowModel window;
    window.id = byNumber ? last : 1;
    window.ownerPID = pid;
    window.title = QStringLiteral("Document 49");
    window.rect = QRectF(20 + 10 * 49, 40 + 8 * 49, 900, 700);
    const AXElementPtr application = desktop.accessibility.applicationElement(pid);
    const AXElementPtr expected = desktop.windowServer.axWindow(last);
    for (auto _ : state) {
        const AXElementPtr found = findAXWindow(*application, window, desktop.windowServer);
        if (found != expected) {
            state.SkipWithError("matched the wrong window");
            break;
        }
        benchmark::DoNotOptimize(found);
    }
}
BENCHMARK(BM_FindAXWindowAmong50)->Arg(0)->Arg(1)->ArgName("byNumber")->Unit(benchmark::kMicrosecond);

} // namespace
