#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include "clipboard/clipboardmanager.h"
#include "core/diagnostics/diagnosticsmanager.h"
#include "core/settingsstore.h"
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

} // namespace
} // namespace qv
