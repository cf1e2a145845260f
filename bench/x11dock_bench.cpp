#include <benchmark/benchmark.h>

#include <QCoreApplication>

#include <memory>

#include "platform/x11/x11desktopentries.h"
#include "platform/x11/x11dockelement.h"
#include "platform/x11/x11docktilesource.h"
#include "platform/x11/x11session.h"

using namespace qv;

namespace {

// The panel of the desktop the benchmarks run under (xfce4-panel with about twenty tiles, on the
// accessibility bus); both benchmarks skip without one.
struct PanelBench
{
    X11Session session;
    X11DesktopEntries entries;
    std::unique_ptr<X11DockTileSource> source;
    QList<X11DockTile> tiles;

    PanelBench()
    {
        if (!session.isValid())
            return;
        source = std::make_unique<X11DockTileSource>(session, entries);
        tiles = source->refresh();
    }
};

PanelBench &bench()
{
    static PanelBench instance;
    return instance;
}

// One walk of the panels and the taskbar rectangles, as a Dock scan asks for it (off the main
// thread; the goal is under 25 ms for twenty tiles).
void BM_PanelWalk(benchmark::State &state)
{
    PanelBench &b = bench();
    if (b.tiles.isEmpty()) {
        state.SkipWithError("no panel on this display");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(b.source->refresh());
    state.counters["tiles"] = double(b.tiles.size());
}
BENCHMARK(BM_PanelWalk)->Unit(benchmark::kMillisecond);

// The hover tick's live frame read of one tile, answered from the last walk (goal: under 10 µs).
void BM_TileFrameFromCache(benchmark::State &state)
{
    PanelBench &b = bench();
    if (b.tiles.isEmpty()) {
        state.SkipWithError("no panel on this display");
        return;
    }
    X11DockElement tile(*b.source, X11DockElement::Kind::tile, b.tiles.last().appName, 0);
    for (auto _ : state) {
        benchmark::DoNotOptimize(tile.copyAttribute(QStringLiteral("AXPosition")));
        benchmark::DoNotOptimize(tile.copyAttribute(QStringLiteral("AXSize")));
    }
}
BENCHMARK(BM_TileFrameFromCache)->Unit(benchmark::kMicrosecond);

} // namespace
