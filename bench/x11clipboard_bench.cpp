#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "benchmemory.h"
#include "clipboard/clipboardmanager.h"
#include "core/diagnostics/diagnosticsmanager.h"
#include "core/settingsstore.h"
#include "platform/pasteboard.h"
#include "platform/sim/simdesktop.h"
#include "platform/x11/x11pasteboard.h"
#include "runtime/qtscheduler.h"
#include "runtime/workqueue.h"

using namespace qv;

namespace {

// Reading an offer whose TARGETS lists `range(0)` junk targets before UTF8_STRING, as a hostile owner
// would: the snapshot and its text. Target: under 50 ms at 40,000.
void BM_CaptureAmongJunkTargets(benchmark::State &state)
{
#ifdef QV_CLIPBOARD_OWNER
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        state.SkipWithError("needs an X display");
        return;
    }
    QTemporaryDir folder;
    const QString offer = QDir(folder.path()).filePath(QStringLiteral("offer"));
    QFile file(offer);
    file.open(QIODevice::WriteOnly);
    file.write("offered among junk");
    file.close();
    QProcess owner;
    owner.start(QStringLiteral(QV_CLIPBOARD_OWNER), {QStringLiteral("--junk-targets=%1").arg(state.range(0)),
                                                    QStringLiteral("UTF8_STRING=") + offer});
    if (!owner.waitForReadyRead(30000)) {
        state.SkipWithError("the clipboard owner did not start");
        return;
    }
    X11Pasteboard pasteboard;
    for (auto _ : state) {
        const PasteboardSnapshot snapshot = pasteboard.read();
        benchmark::DoNotOptimize(snapshot.string(PasteboardType::utf8String));
    }
    owner.kill();
    owner.waitForFinished();
#else
    state.SkipWithError("built without the test clipboard owner");
#endif
}
BENCHMARK(BM_CaptureAmongJunkTargets)->Arg(10000)->Arg(40000)->Unit(benchmark::kMillisecond);

// Resident memory after 50 screenshots of 1920x1080 copied with xclip and captured from the real
// clipboard (transfer, decoding, cache file, thumbnail, history).
void BM_ResidentAfterFiftyX11ImageCaptures(benchmark::State &state)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") || QStandardPaths::findExecutable(QStringLiteral("xclip")).isEmpty()) {
        state.SkipWithError("needs an X display and xclip");
        return;
    }
    QTemporaryDir folder;
    QStringList pngs;
    for (int i = 0; i < 50; ++i) {
        pngs.append(QDir(folder.path()).filePath(QStringLiteral("shot-%1.png").arg(i)));
        screenshotImage(i).save(pngs.last(), "PNG");
    }
    for (auto _ : state) {
        SimDesktop sim;
        QtScheduler scheduler;
        ThreadQueueFactory queues;
        SettingsStore settings;
        DiagnosticsManager quietLog;
        X11Pasteboard pasteboard;
        ClipboardManager manager(pasteboard, sim.workspace, scheduler, queues, settings, quietLog,
                                 QDir(folder.path()).filePath(QStringLiteral("cache")));
        const double before = residentMegabytes();
        for (const QString &png : std::as_const(pngs)) {
            const qsizetype had = manager.history().size();
            QProcess xclip;
            xclip.start(QStringLiteral("xclip"), {QStringLiteral("-selection"), QStringLiteral("clipboard"),
                                                  QStringLiteral("-t"), QStringLiteral("image/png"), png});
            xclip.waitForFinished(5000);
            QElapsedTimer waited;
            waited.start();
            while (manager.history().size() <= had && waited.elapsed() < 10000)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        state.counters["history"] = double(manager.history().size());
        state.counters["rss_before_MB"] = before;
        state.counters["rss_after_MB"] = residentMegabytes();
    }
}
BENCHMARK(BM_ResidentAfterFiftyX11ImageCaptures)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
