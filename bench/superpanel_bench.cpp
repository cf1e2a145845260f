#include <QApplication>
#include <QLineEdit>
#include <QPainter>
#include <QTest>

#include <benchmark/benchmark.h>

#include <memory>

#include "runtime/manualscheduler.h"
#include "views/superpanel/superpaneloverlay.h"
#include "views/superpanel/superpanelstate.h"
#include "windows/windowlistmodel.h"

using namespace qv;

namespace {

// `count` windows of ten applications with snapshots already taken (as the engine's cache has them).
QList<AppWindowModel> windows(int count)
{
    QList<AppWindowModel> list;
    for (int i = 0; i < count; ++i) {
        AppWindowModel window;
        window.id = i + 1;
        window.appName = QStringLiteral("App %1").arg(i % 10);
        window.title = QStringLiteral("Document %1 — notes").arg(i);
        // The size the engine captures at.
        window.image = QImage(640, 400, QImage::Format_ARGB32_Premultiplied);
        window.image.fill(QColor::fromHsv((i * 37) % 360, 120, 200));
        window.appIcon = QImage(64, 64, QImage::Format_ARGB32_Premultiplied);
        window.appIcon.fill(QColor::fromHsv((i % 10) * 36, 200, 220));
        window.snapshotTime = 1;
        list.append(window);
    }
    return list;
}

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

    void paint()
    {
        QPainter painter(&frame);
        view.render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
        painter.end();
        benchmark::DoNotOptimize(frame.constBits());
    }

    ManualScheduler scheduler;
    WindowListModel model;
    bool presented = false;
    SuperPanelState state;
    SuperPanelOverlay view;
    QImage frame{QSize(1440, 900), QImage::Format_ARGB32_Premultiplied};
};

// From the panel opening with a published list of `count` windows (snapshots cached) to its first
// painted frame with every card on screen drawn.
void openToFirstFrame(benchmark::State &state)
{
    const QList<AppWindowModel> list = windows(int(state.range(0)));
    Panel panel;
    for (auto _ : state) {
        panel.presented = true;
        panel.state.presentationChanged(true);
        panel.model.setWindows(list);
        QApplication::processEvents(); // layout
        panel.paint();
        state.PauseTiming();
        panel.presented = false;
        panel.state.presentationChanged(false);
        panel.model.setWindows({});
        QApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(openToFirstFrame)->Arg(40)->Arg(200)->Unit(benchmark::kMillisecond);

// One typed letter in the search field of a panel listing 40 windows, to the next painted frame;
// the letters alternate between narrowing the grid and widening it again.
void searchKeystrokeToFrame(benchmark::State &state)
{
    Panel panel;
    panel.model.setWindows(windows(40));
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
