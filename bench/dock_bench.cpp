#include <benchmark/benchmark.h>

#include "core/eventlog.h"
#include "core/settingsstore.h"
#include "dock/dockmonitor.h"
#include "platform/sim/simdesktop.h"
#include "runtime/manualscheduler.h"
#include "runtime/workqueue.h"

using namespace qv;

namespace {

class NullEventLog final : public EventLog
{
public:
    void log(const QString &, const QString &) override {}
};

// A full Dock of 40 tiles along the bottom of the simulated main screen, the pointer on the 20th.
struct FullDock
{
    FullDock()
    {
        sim.addDefaultScreen();
        for (int i = 0; i < 40; ++i)
            sim.addDockTile(QStringLiteral("App %1").arg(i), QRectF(40 + 34 * i, 836, 32, 60));
        sim.screens.setMouseLocation(pointer);
        monitor = std::make_unique<DockMonitor>(sim.platform(), scheduler, queues, settings, eventLog);
        scheduler.runPending();
    }

    const QPointF pointer{40 + 34 * 19 + 16, 34};
    SimDesktop sim;
    ManualScheduler scheduler;
    SchedulerQueueFactory queues{scheduler};
    SettingsStore settings;
    NullEventLog eventLog;
    std::unique_ptr<DockMonitor> monitor;
};

// The hit test the hover tick runs: the union pre-filter and the search, each reading every tile's
// live frame.
void BM_HoverHitTest(benchmark::State &state)
{
    FullDock dock;
    const QList<DockIcon> icons = dock.monitor->cachedIcons();
    for (auto _ : state)
        benchmark::DoNotOptimize(dock.monitor->hitTestIcon(icons, dock.pointer));
}
BENCHMARK(BM_HoverHitTest);

// One whole tick with its posted hover result; every 27th tick or so also carries the 0.9 s poll
// and the scan it asks for while the pointer is on the Dock.
void BM_HoverTick(benchmark::State &state)
{
    FullDock dock;
    for (auto _ : state)
        dock.scheduler.advance(DockMonitor::hoverInterval);
    if (dock.monitor->hoveredApp() != QLatin1String("App 19"))
        state.SkipWithError("the pointer missed its tile");
}
BENCHMARK(BM_HoverTick);

// The key path of the tap for keys that are no shortcut, the common case: typing with the module
// hotkeys on, so every key is compared against all three pairs.
void BM_MatchHotkeyTyping(benchmark::State &state)
{
    FullDock dock;
    dock.settings.set(Settings::enableModuleHotkeys, true);
    quint64 timestamp = 0;
    int key = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(dock.monitor->matchHotkey(key, 0, false, timestamp += 50'000'000));
        key = (key + 1) % 48;
    }
}
BENCHMARK(BM_MatchHotkeyTyping);

// A shortcut held inside its latch window: consumed without firing.
void BM_MatchHotkeyLatched(benchmark::State &state)
{
    FullDock dock;
    dock.monitor->matchHotkey(48, Settings::OptionFlag, false, 1);
    for (auto _ : state)
        benchmark::DoNotOptimize(dock.monitor->matchHotkey(48, Settings::OptionFlag, false, 2));
}
BENCHMARK(BM_MatchHotkeyLatched);

void BM_SettingsRead(benchmark::State &state)
{
    SettingsStore store;
    store.set(Settings::hoverDelay, 0.1);
    for (auto _ : state)
        benchmark::DoNotOptimize(store.get(Settings::hoverDelay));
}
BENCHMARK(BM_SettingsRead);

} // namespace
