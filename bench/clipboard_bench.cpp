#include <QDir>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include "clipboard/clipboardmanager.h"
#include "clipboard/graphemes.h"
#include "core/diagnostics/diagnosticsmanager.h"
#include "core/settingsstore.h"
#include "benchmemory.h"
#include "legacyclassifier.h"
#include "platform/sim/simdesktop.h"
#include "runtime/manualscheduler.h"
#include "runtime/workqueue.h"

namespace qv {
namespace {

// Words without keywords: every rule runs to the end. The earlier classifier runs beside the
// current one so one run shows both figures.
const QString &longPlainText()
{
    static const QString text = QStringLiteral("lorem ipsum dolor ").repeated(100000 / 18 + 1).left(100000);
    return text;
}

const QString &shortPlainText()
{
    static const QString text = QStringLiteral("Meet me at the station at 6, platform 4");
    return text;
}

void BM_IsSensitiveText_100k(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(ClipboardManager::isSensitiveText(longPlainText()));
}
BENCHMARK(BM_IsSensitiveText_100k)->Unit(benchmark::kMicrosecond);

void BM_IsSensitiveText_100k_Before(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(legacyIsSensitiveText(longPlainText()));
}
BENCHMARK(BM_IsSensitiveText_100k_Before)->Unit(benchmark::kMicrosecond);

// Non-ASCII text takes the full Unicode lower-casing.
void BM_IsSensitiveText_100k_Accented(benchmark::State &state)
{
    const QString text = QStringLiteral("déjà vu à côté ").repeated(100000 / 15 + 1).left(100000);
    for (auto _ : state)
        benchmark::DoNotOptimize(ClipboardManager::isSensitiveText(text));
}
BENCHMARK(BM_IsSensitiveText_100k_Accented)->Unit(benchmark::kMicrosecond);

void BM_IsSensitiveText_Short(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(ClipboardManager::isSensitiveText(shortPlainText()));
}
BENCHMARK(BM_IsSensitiveText_Short);

void BM_IsSensitiveText_Short_Before(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(legacyIsSensitiveText(shortPlainText()));
}
BENCHMARK(BM_IsSensitiveText_Short_Before);

struct Rig
{
    Rig() : manager(sim.pasteboard, sim.workspace, scheduler, queues, settings, quietLog, cache.path()) {}
    QTemporaryDir cache;
    SimDesktop sim;
    ManualScheduler scheduler;
    SchedulerQueueFactory queues{scheduler};
    SettingsStore settings;
    DiagnosticsManager quietLog;
    ClipboardManager manager;
};

// One poll that finds the change count unchanged: timer, snapshot job and the result back on main.
void BM_IdlePoll(benchmark::State &state)
{
    Rig rig;
    for (auto _ : state) {
        rig.manager.checkPasteboard();
        rig.scheduler.runPending();
    }
}
BENCHMARK(BM_IdlePoll);

// One capture of a file manager's copy of range(0) files, from the change to the flushed history: the
// scan and the items made on the main thread (which the history caps anyway). Before the bound, 10,000
// files took 0.91 s of the main thread at every copy.
void BM_CaptureOfCopiedFiles(benchmark::State &state)
{
    Rig rig;
    QStringList paths;
    for (int i = 0; i < state.range(0); ++i)
        paths.append(QStringLiteral("/nowhere/copied file %1.txt").arg(i));
    for (auto _ : state) {
        state.PauseTiming();
        rig.manager.clearHistory();
        rig.sim.pasteboard.copyFiles(paths);
        state.ResumeTiming();
        rig.manager.checkPasteboard();
        rig.scheduler.runPending();
        rig.manager.flushPending();
    }
    state.counters["items"] = double(rig.manager.history().size());
}
BENCHMARK(BM_CaptureOfCopiedFiles)->Arg(500)->Arg(10000)->Unit(benchmark::kMillisecond);

// Merging one new text into a full history: dedupe over 501 items, the cap and the publication.
void BM_FlushIntoFullHistory(benchmark::State &state)
{
    Rig rig;
    for (int i = 0; i < ClipboardManager::maxHistory; ++i) {
        ClipboardItem item;
        item.id = QUuid::createUuid();
        item.text = QStringLiteral("history entry %1 with some ordinary text").arg(i);
        rig.manager.enqueuePending(item);
    }
    rig.manager.flushPending();
    int n = 0;
    for (auto _ : state) {
        ClipboardItem item;
        item.id = QUuid::createUuid();
        item.text = QStringLiteral("new text %1").arg(n++);
        rig.manager.enqueuePending(item);
        rig.manager.flushPending();
    }
}
BENCHMARK(BM_FlushIntoFullHistory)->Unit(benchmark::kMicrosecond);

// One letter carrying 24.5 million combining marks (49 MB): a single character, which a cap counting
// characters alone kept whole.
const QString &markFlood()
{
    static const QString text = QStringLiteral("NNNNc") + QString(24500000, QChar(0x0301));
    return text;
}

QString capped(const QString &text)
{
    return cappedText(text, ClipboardManager::maxTextLength, ClipboardManager::maxTextUnitsPerCharacter);
}

// The scan's cut of the flood, off the main thread: units first, so the character walk reads
// 400,000 units only.
void BM_CapMarkFlood(benchmark::State &state)
{
    const QString &flood = markFlood();
    for (auto _ : state)
        benchmark::DoNotOptimize(capped(flood));
}
BENCHMARK(BM_CapMarkFlood)->Unit(benchmark::kMillisecond);

// The main thread's share of the capped flood: the cut again and the classifier.
void BM_MainThreadShareOfAMarkFlood(benchmark::State &state)
{
    const QString held = capped(markFlood());
    for (auto _ : state)
        benchmark::DoNotOptimize(ClipboardManager::isSensitiveText(capped(held)));
}
BENCHMARK(BM_MainThreadShareOfAMarkFlood)->Unit(benchmark::kMillisecond);

// Resident memory after 20 different floods captured through the whole path (each copy held by
// the pasteboard until the next replaces it).
void BM_ResidentAfterTwentyMarkFloods(benchmark::State &state)
{
    for (auto _ : state) {
        Rig rig;
        const double before = residentMegabytes();
        for (int i = 0; i < 20; ++i) {
            rig.sim.pasteboard.copyText(QString::number(i) + markFlood());
            rig.scheduler.advance(1.0);
        }
        qsizetype held = 0;
        for (const ClipboardItem &item : rig.manager.history())
            held += item.text.size();
        state.counters["history"] = double(rig.manager.history().size());
        state.counters["held_MB"] = double(held) * 2 / 1e6;
        state.counters["rss_before_MB"] = before;
        state.counters["rss_after_MB"] = residentMegabytes();
    }
}
BENCHMARK(BM_ResidentAfterTwentyMarkFloods)->Iterations(1)->Unit(benchmark::kMillisecond);

// Resident memory after 50 copies of 1920x1080 screenshots, each captured through the whole path
// (snapshot, decoding within the budget, cache file, thumbnail, history).
void BM_ResidentAfterFiftyImageCaptures(benchmark::State &state)
{
    QList<QByteArray> pngs;
    for (int i = 0; i < 50; ++i)
        pngs.append(screenshotPng(i));
    for (auto _ : state) {
        Rig rig;
        const double before = residentMegabytes();
        for (const QByteArray &png : std::as_const(pngs)) {
            rig.sim.pasteboard.copyImage(png);
            rig.scheduler.advance(1.0);
        }
        state.counters["history"] = double(rig.manager.history().size());
        state.counters["rss_before_MB"] = before;
        state.counters["rss_after_MB"] = residentMegabytes();
    }
}
BENCHMARK(BM_ResidentAfterFiftyImageCaptures)->Iterations(1)->Unit(benchmark::kMillisecond);

// The budget case: one file-manager copy of 40 pictures of about 27 MB each (1.08 GB in all, past
// the 1 GiB image cache budget), then resident memory and what the cache holds.
void BM_ResidentAfterTheImageCacheBudgetCase(benchmark::State &state)
{
    QTemporaryDir sources;
    // Noise does not compress: 3500 x 2600 pixels make a PNG of about 27 MB.
    QImage noise(3500, 2600, QImage::Format_RGB32);
    quint32 value = 12345;
    for (int y = 0; y < noise.height(); ++y) {
        auto *line = reinterpret_cast<quint32 *>(noise.scanLine(y));
        for (int x = 0; x < noise.width(); ++x) {
            value = value * 1664525u + 1013904223u;
            line[x] = value | 0xff000000u;
        }
    }
    const QString first = sources.filePath(QStringLiteral("photo-0.png"));
    noise.save(first, "PNG", 0);
    noise = QImage();
    QStringList paths{first};
    for (int i = 1; i < 40; ++i) {
        paths.append(sources.filePath(QStringLiteral("photo-%1.png").arg(i)));
        QFile::link(first, paths.last());
    }
    for (auto _ : state) {
        Rig rig;
        const double before = residentMegabytes();
        rig.sim.pasteboard.copyFiles(paths);
        rig.scheduler.advance(3.0);
        qint64 cached = 0;
        for (const QFileInfo &file : QDir(rig.cache.path()).entryInfoList(QDir::Files))
            cached += file.size();
        state.counters["history"] = double(rig.manager.history().size());
        state.counters["cache_MB"] = double(cached) / 1e6;
        state.counters["rss_before_MB"] = before;
        state.counters["rss_after_MB"] = residentMegabytes();
    }
}
BENCHMARK(BM_ResidentAfterTheImageCacheBudgetCase)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace qv
