#include <QApplication>
#include <QLineEdit>
#include <QPainter>
#include <QTest>

#include <benchmark/benchmark.h>

#include <memory>

#include "benchwindows.h"
#include "runtime/manualscheduler.h"
#include "views/superpanel/superpaneloverlay.h"
#include "views/superpanel/superpanelstate.h"
#include "windows/windowlistmodel.h"

using namespace qv;

namespace {

// The Super Panel's view at 1440 x 900 over a model the benchmark fills.
struct Panel
{
    Panel()
        : state(model, scheduler, SuperPanelActions(),
                SuperPanelState::Presented{[this] { return presented; }, [this](bool p) { presented = p; }}),
          view(state, scheduler)
    {
        view.resize(1440, 900);
        view.show();
        QApplication::processEvents();
    }

    void paint() { renderFrame(view, frame); }
    // Closing from route "all" empties the list, as the engine does.
    void close()
    {
        presented = false;
        state.presentationChanged(false);
        model.setWindows({});
        QApplication::processEvents();
    }

    ManualScheduler scheduler;
    WindowListModel model;
    bool presented = false;
    SuperPanelState state;
    SuperPanelOverlay view;
    QImage frame{QSize(1440, 900), QImage::Format_ARGB32_Premultiplied};
};

// From the panel opening with a published list of `count` windows (snapshots cached) to a painted
// frame: the first one, or the one with the grid complete.
void openToFrame(benchmark::State &state, bool completeGrid)
{
    const QList<AppWindowModel> list = benchWindows(int(state.range(0)));
    Panel panel;
    for (auto _ : state) {
        panel.presented = true;
        panel.state.presentationChanged(true);
        panel.model.setWindows(list);
        if (completeGrid)
            QApplication::processEvents(); // the grid places its cards
        panel.paint();
        state.PauseTiming();
        panel.close();
        state.ResumeTiming();
    }
}

// The first frame: the backdrop, the sidebar, the search field and the columns, before the grid has
// placed its cards.
void openToFirstFrame(benchmark::State &state)
{
    openToFrame(state, false);
}
BENCHMARK(openToFirstFrame)->Arg(40)->Arg(200)->Unit(benchmark::kMillisecond);

// The frame with every card on screen drawn with its picture (captures excepted: the pictures are
// the cached ones).
void openToCompleteGrid(benchmark::State &state)
{
    openToFrame(state, true);
}
BENCHMARK(openToCompleteGrid)->Arg(40)->Arg(200)->Unit(benchmark::kMillisecond);

// One typed letter in the search field of a panel listing 40 windows, to the next painted frame;
// the letters alternate between narrowing the grid and widening it again.
void searchKeystrokeToFrame(benchmark::State &state)
{
    Panel panel;
    panel.model.setWindows(benchWindows(40));
    panel.presented = true;
    panel.state.presentationChanged(true);
    QApplication::processEvents();
    auto *field = static_cast<QLineEdit *>(panel.view.searchField());
    bool narrow = true;
    for (auto _ : state) {
        if (narrow)
            QTest::keyClick(field, Qt::Key_7);
        else
            QTest::keyClick(field, Qt::Key_Backspace);
        narrow = !narrow;
        QApplication::processEvents();
        panel.paint();
    }
}
BENCHMARK(searchKeystrokeToFrame)->Unit(benchmark::kMillisecond);

} // namespace
