#include <benchmark/benchmark.h>

#include <QDir>
#include <QImage>

#include "core/diagnostics/diagnosticsmanager.h"
#include "core/settingsstore.h"
#include "platform/sim/simdesktop.h"
#include "runtime/manualscheduler.h"
#include "runtime/workqueue.h"
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

} // namespace
