#include <QApplication>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>

#include "benchwindows.h"
#include "benchmemory.h"
#include "clipboard/clipboardhistorymodel.h"
#include "clipboard/clipboardmanager.h"
#include "core/diagnostics/diagnosticsmanager.h"
#include "core/settingsstore.h"
#include "platform/sim/simdesktop.h"
#include "runtime/manualscheduler.h"
#include "runtime/workqueue.h"
#include "shelf/fileshelfmanager.h"
#include "shelf/shelflistmodel.h"
#include "views/items/ageclock.h"
#include "views/superpanel/clipboardshelfcolumn.h"
#include "views/superpanel/columnstate.h"
#include "views/superpanel/superpanelgallery.h"
#include "views/superpanel/superpaneloverlay.h"
#include "views/superpanel/superpanelstate.h"
#include "windows/windowlistmodel.h"

using namespace qv;

namespace {

// The whole Super Panel at 1440 x 900 with its column over a full clipboard history (500 items,
// one in ten an image with its thumbnail) and 200 shelf files, wired as the application wires it.
struct Scene
{
    Scene()
        : clipboard(sim.pasteboard, sim.workspace, scheduler, queues, settings, quietLog,
                    folder.filePath(QStringLiteral("clips"))),
          shelf(sim.platform(), scheduler, queues, quietLog, folder.filePath(QStringLiteral("shelf"))),
          clipModel(clipboard), shelfModel(shelf), ages(scheduler),
          state(model, scheduler, SuperPanelActions(),
                SuperPanelState::Presented{[this] { return presented; }, [this](bool p) { presented = p; }}),
          columnState(state, scheduler, {}), view(state, scheduler)
    {
        for (int i = 0; i < 500; ++i) {
            ClipboardItem item;
            item.id = QUuid::createUuid();
            item.date = QDateTime::currentDateTime();
            item.deviceSource = ClipboardManager::thisMac;
            if (i % 10 == 0) {
                item.isImage = true;
                item.imageSize = QSize(1920, 1080);
                item.text = QStringLiteral("Image • 1920×1080");
                QImage picture(320, 180, QImage::Format_RGB32);
                picture.fill(QColor::fromHsv(i % 360, 150, 200));
                item.thumbnail = ItemThumbnail(picture);
            } else {
                item.text = QStringLiteral("copied text number %1 with a few words after it").arg(i);
            }
            clipboard.enqueuePending(item);
            clipboard.flushPending();
        }
        for (int i = 0; i < 200; ++i) {
            const QString path = folder.filePath(QStringLiteral("file-%1.txt").arg(i));
            QFile file(path);
            if (file.open(QIODevice::WriteOnly))
                file.write("notes");
            file.close();
            shelf.addItem(QUrl::fromLocalFile(path));
        }
        scheduler.advance(1);
        const ClipboardShelfColumn::Services services{
            clipModel,      shelfModel,
            clipboard,      shelf,
            sim.pasteboard, settings,
            sim.fileIcons,  queues.makeQueue(QStringLiteral("decode"), QueueKind::Concurrent),
            ages,           scheduler};
        view.setColumn(new ClipboardShelfColumn(columnState, services));
        view.setGallery(new SuperPanelGallery(columnState, services));
        view.resize(1440, 900);
        view.show();
        QApplication::processEvents();
    }

    void paint() { renderFrame(view, frame); }

    QTemporaryDir folder;
    SimDesktop sim;
    ManualScheduler scheduler;
    SchedulerQueueFactory queues{scheduler};
    SettingsStore settings;
    DiagnosticsManager quietLog;
    ClipboardManager clipboard;
    FileShelfManager shelf;
    ClipboardHistoryModel clipModel;
    ShelfListModel shelfModel;
    AgeClock ages;
    WindowListModel model;
    bool presented = false;
    SuperPanelState state;
    SuperPanelColumnState columnState;
    SuperPanelOverlay view;
    QImage frame{QSize(1440, 900), QImage::Format_ARGB32_Premultiplied};
};

// From the panel opening with 40 windows (snapshots cached), 500 clipboard items and 200 shelf
// items to its first painted frame.
void openWithFullColumnToFirstFrame(benchmark::State &state)
{
    const QList<AppWindowModel> list = benchWindows(40);
    Scene scene;
    for (auto _ : state) {
        scene.presented = true;
        scene.state.presentationChanged(true);
        scene.model.setWindows(list);
        QApplication::processEvents();
        scene.paint();
        state.PauseTiming();
        scene.presented = false;
        scene.state.presentationChanged(false);
        scene.model.setWindows({});
        QApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(openWithFullColumnToFirstFrame)->Unit(benchmark::kMillisecond);

// Texts whose whole layout once stalled the main thread for seconds, and a short one.
ClipboardItem longTextItem(int kind)
{
    ClipboardItem item;
    item.id = QUuid::createUuid();
    item.date = QDateTime::currentDateTime();
    item.deviceSource = ClipboardManager::thisMac;
    if (kind == 0) {
        item.text = QStringLiteral("abcdefghij").repeated(10000);
    } else if (kind == 1) {
        for (int i = 0; i < 50000; ++i)
            item.text += QStringLiteral("line %1\n").arg(i);
    } else if (kind == 2) {
        item.text = QStringLiteral("NNNNc") + QString(399995, QChar(0x0301));
    } else {
        item.text = QStringLiteral("a short text for comparison");
    }
    return item;
}

// From resting on the eye of a long text to the painted bubble, then from opening the gallery's
// preview of the same text to its painted frame. Argument: 0 one 100,000-character line without
// spaces, 1 50,000 short lines, 2 one letter with 399,995 marks (the most capture keeps), 3 a short
// text for comparison (the two frames alone).
void eyeAndGalleryPreviewOfALongText(benchmark::State &state)
{
    Scene scene;
    scene.presented = true;
    scene.state.presentationChanged(true);
    QApplication::processEvents();
    const ClipboardItem item = longTextItem(int(state.range(0)));
    ClipboardItem other = item;
    other.id = QUuid::createUuid();
    other.text = QStringLiteral("short");
    const QRectF eye(200, 150, 26, 26);
    for (auto _ : state) {
        scene.columnState.showClipboardPreview(item, eye);
        QApplication::processEvents();
        scene.paint();
        scene.columnState.previews().openGalleryClipPreview(item);
        scene.scheduler.advance(1);
        QApplication::processEvents();
        scene.paint();
        state.PauseTiming();
        scene.columnState.previews().closeGalleryClipPreview();
        scene.columnState.showClipboardPreview(other, eye);
        scene.scheduler.advance(1);
        QApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(eyeAndGalleryPreviewOfALongText)->Arg(0)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond);

// Resident memory of the whole scenario shown once: the 40 snapshots, the history with its
// thumbnails, the shelf and the panel's widgets.
void residentWithFullColumn(benchmark::State &state)
{
    for (auto _ : state) {
        const double before = residentMegabytes();
        Scene scene;
        scene.presented = true;
        scene.state.presentationChanged(true);
        scene.model.setWindows(benchWindows(40));
        QApplication::processEvents();
        scene.paint();
        state.counters["rss_before_MB"] = before;
        state.counters["rss_MB"] = residentMegabytes();
    }
}
BENCHMARK(residentWithFullColumn)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
