#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QStandardPaths>
#include <QTemporaryDir>

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

double residentMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return 0;
}

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
        QImage image(1920, 1080, QImage::Format_RGB32);
        image.fill(QColor::fromHsv(i * 37 % 360, 40, 230));
        QPainter painter(&image);
        for (int r = 0; r < 200; ++r)
            painter.fillRect((r * 97 + i * 13) % 1920, (r * 61 + i * 7) % 1080, 40 + r % 90, 12 + r % 30,
                             QColor::fromHsv((r * 29 + i) % 360, 160, 120 + r % 100));
        painter.end();
        pngs.append(QDir(folder.path()).filePath(QStringLiteral("shot-%1.png").arg(i)));
        image.save(pngs.last(), "PNG");
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
