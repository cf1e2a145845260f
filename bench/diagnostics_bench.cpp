#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include "core/diagnostics/diagnosticsmanager.h"
#include "core/diagnostics/diagnosticssanitizer.h"
#include "core/settingsstore.h"
#include "platform/sim/simfiledialogs.h"
#include "platform/sim/simfilerevealer.h"
#include "runtime/qtscheduler.h"
#include "runtime/workqueue.h"

using namespace qv;

namespace {

// Takes jobs and drops them, so a benchmark sees only what the caller of log() pays.
class DroppingQueue final : public WorkQueue
{
public:
    QString label() const override { return QStringLiteral("dropping"); }
    void async(std::function<void()> job) override { benchmark::DoNotOptimize(job); }
};

class DroppingQueueFactory final : public WorkQueueFactory
{
public:
    std::shared_ptr<WorkQueue> makeQueue(const QString &, QueueKind) override
    {
        return std::make_shared<DroppingQueue>();
    }
};

void logCallerSide(benchmark::State &state, bool enabled)
{
    QTemporaryDir dir;
    SettingsStore settings;
    settings.set(Settings::diagnosticsEnabled, enabled);
    QtScheduler scheduler;
    DroppingQueueFactory queues;
    SimFileDialogs dialogs;
    SimFileRevealer revealer;
    DiagnosticsManager manager(settings, scheduler, queues, dialogs, revealer, dir.path());
    const QString name = QStringLiteral("clipboard_change");
    const QString detail = QStringLiteral("type=text, pending=1");
    for (auto _ : state)
        manager.log(name, detail);
}

void BM_LogDiagnosticsOff(benchmark::State &state)
{
    logCallerSide(state, false);
}
BENCHMARK(BM_LogDiagnosticsOff);

void BM_LogDiagnosticsOn(benchmark::State &state)
{
    logCallerSide(state, true);
}
BENCHMARK(BM_LogDiagnosticsOn);

// One log file at its rotation size, with the occasional secret the rules must find.
void BM_SanitizeTwoMebibyteLog(benchmark::State &state)
{
    QString text;
    for (int i = 0; text.size() < 2 * 1024 * 1024; ++i) {
        text += QStringLiteral("[2023-11-14T22:13:20.123Z] ax_scan_end | fetchAll=true, 12.3ms\n");
        if (i % 500 == 0)
            text += QStringLiteral("[2023-11-14T22:13:20.123Z] export_error | Authorization: Bearer abc%1\n")
                        .arg(i);
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(DiagnosticsSanitizer::sanitizeText(text));
    state.SetBytesProcessed(state.iterations() * text.size());
}
BENCHMARK(BM_SanitizeTwoMebibyteLog)->Unit(benchmark::kMillisecond);

} // namespace
