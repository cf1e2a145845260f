#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <benchmark/benchmark.h>

#include <functional>
#include <memory>

#include "benchmemory.h"
#include "clipboard/clipboardmanager.h"
#include "core/diagnostics/diagnosticsmanager.h"
#include "core/settingsstore.h"
#include "platform/memoryrelease.h"
#include "platform/sim/simdesktop.h"
#include "runtime/qtscheduler.h"
#include "runtime/workqueue.h"
#include "shelf/fileshelfmanager.h"
#include "views/edgepopup/edgepopupmodule.h"
#include "views/edgepopup/edgepopupview.h"
#include "views/superpanel/clipboardshelfcolumn.h"
#include "views/superpanel/columnstate.h"
#include "views/superpanel/superpanelgallery.h"
#include "views/superpanel/superpaneloverlay.h"
#include "views/superpanel/superpanelstate.h"
#include "windows/windowlistmodel.h"

using namespace qv;

namespace {

// Runs the event loop until `done` holds (the workers run on real threads, as in the application).
void waitUntil(const std::function<bool()> &done, int timeoutMs = 60000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
}

// The application's clipboard and shelf with their real work queues, and the overlay with the edge
// popup and the Super Panel's column and galleries wired as the overlay controller wires them.
struct Application
{
    Application()
        : clipboard(sim.pasteboard, sim.workspace, scheduler, queues, settings, quietLog,
                    folder.filePath(QStringLiteral("clips"))),
          shelf(sim.platform(), scheduler, queues, quietLog, folder.filePath(QStringLiteral("shelf")))
    {
        sim.web.setScheduler(&scheduler);
    }

    void buildViews()
    {
        decodeQueue = queues.makeQueue(QStringLiteral("Quorvantis.ImageDecode"), QueueKind::Concurrent);
        panelState = std::make_unique<SuperPanelState>(
            windows, scheduler, SuperPanelActions(),
            SuperPanelState::Presented{[this] { return presented; }, [this](bool p) { presented = p; }});
        panel = std::make_unique<SuperPanelOverlay>(*panelState, scheduler);
        edgePopup = std::make_unique<EdgePopupModule>(clipboard, shelf, sim.fileRevealer, sim.fileIcons,
                                                      decodeQueue, scheduler, [] {});
        panel->setModuleView(edgePopup->makeView());
        columnState = std::make_unique<SuperPanelColumnState>(
            *panelState, scheduler, [](const QUrl &, bool, const FileRevealer::Done &) {});
        const ClipboardShelfColumn::Services services{edgePopup->clipboardModel(),
                                                      edgePopup->shelfModel(),
                                                      clipboard,
                                                      shelf,
                                                      sim.pasteboard,
                                                      settings,
                                                      sim.fileIcons,
                                                      decodeQueue,
                                                      edgePopup->ages(),
                                                      scheduler};
        panel->setColumn(new ClipboardShelfColumn(*columnState, services));
        panel->setGallery(new SuperPanelGallery(*columnState, services));
        panel->resize(1920, 1080);
        panel->show();
    }

    // Opens the panel on `route` and paints it into its window (the edge popup for "clipboard", the
    // panel with its column for "all"), letting the item views' off-main work arrive before the second paint.
    void open(OverlayRoute route)
    {
        panelState->setRoute(route);
        edgePopup->show(route, PopupEdge::bottom, true);
        presented = true;
        panelState->presentationChanged(true);
        panel->repaint();
        waitFor(0.3);
        panel->repaint();
    }

    void close()
    {
        presented = false;
        panelState->presentationChanged(false);
        waitFor(0.3);
        // As the overlay controller does once the panel has gone.
        releaseFreeMemory();
    }

    static void waitFor(double seconds)
    {
        QElapsedTimer clock;
        clock.start();
        waitUntil([&] { return clock.elapsed() >= seconds * 1000; });
    }

    int clipCount() const { return clipboard.history().size() + clipboard.pendingItems().size(); }

    QTemporaryDir folder;
    SimDesktop sim;
    // Copies are reported as they happen, as the X11 clipboard does.
    bool reportsChanges = (sim.pasteboard.setSendsChangeEvents(true), true);
    QtScheduler scheduler;
    ThreadQueueFactory queues;
    SettingsStore settings;
    DiagnosticsManager quietLog;
    ClipboardManager clipboard;
    FileShelfManager shelf;
    WindowListModel windows;
    bool presented = false;
    std::shared_ptr<WorkQueue> decodeQueue;
    std::unique_ptr<SuperPanelState> panelState;
    std::unique_ptr<SuperPanelOverlay> panel;
    std::unique_ptr<EdgePopupModule> edgePopup;
    std::unique_ptr<SuperPanelColumnState> columnState;
};

// Resident memory of the application's item side with a full history: 500 copied texts and 50
// copied 1920x1080 screenshots (each captured through the whole path), 200 shelf files (one in ten
// a screenshot, the rest small documents), and the edge popup's clipboard route and the Super Panel
// with its column built and shown once each. Goal: at most 80 MB resident throughout.
void residentWithImagesAndViews(benchmark::State &state)
{
    QList<QByteArray> pngs;
    for (int i = 0; i < 50; ++i)
        pngs.append(screenshotPng(i));
    QTemporaryDir sources;
    QList<QUrl> files;
    for (int i = 0; i < 200; ++i) {
        const bool picture = i % 10 == 0;
        QFile file(sources.filePath(QStringLiteral("file-%1.%2").arg(i).arg(picture ? "png" : "txt")));
        if (file.open(QIODevice::WriteOnly))
            file.write(picture ? pngs.at(i / 10) : QByteArray("notes ").repeated(200));
        files.append(QUrl::fromLocalFile(file.fileName()));
    }
    for (auto _ : state) {
        const double start = residentMegabytes();
        Application app;
        app.buildViews();
        // 50 texts, then 450 texts with the 50 screenshots among them, the last copy a screenshot:
        // the history keeps its 500 newest items, all 50 images included.
        QUuid last;
        for (int i = 0; i < 550; ++i) {
            if (i >= 50 && i % 10 == 9)
                app.sim.pasteboard.copyImage(pngs.at(i / 10 - 5));
            else
                app.sim.pasteboard.copyText(
                    QStringLiteral("copied text number %1 with a few words after it").arg(i));
            waitUntil([&] {
                // Pending items are newest first.
                const QList<ClipboardItem> pending = app.clipboard.pendingItems();
                return !pending.isEmpty() && pending.first().id != last;
            });
            const QList<ClipboardItem> pending = app.clipboard.pendingItems();
            if (!pending.isEmpty())
                last = pending.first().id;
        }
        for (const QUrl &url : std::as_const(files))
            app.shelf.addItem(url);
        waitUntil([&] { return app.shelf.items().size() == files.size(); });
        Application::waitFor(1.0);
        const double captured = residentMegabytes();
        app.open(OverlayRoute::clipboard);
        const double edgePopup = residentMegabytes();
        app.close();
        app.open(OverlayRoute::all);
        const double superPanel = residentMegabytes();
        app.close();
        int images = 0;
        for (const ClipboardItem &item : app.clipboard.history())
            images += item.isImage ? 1 : 0;
        state.counters["history"] = double(app.clipboard.history().size());
        state.counters["images"] = double(images);
        state.counters["shelf"] = double(app.shelf.items().size());
        state.counters["rss_start_MB"] = start;
        state.counters["rss_captured_MB"] = captured;
        state.counters["rss_edgepopup_MB"] = edgePopup;
        state.counters["rss_superpanel_MB"] = superPanel;
        state.counters["rss_closed_MB"] = residentMegabytes();
    }
}
BENCHMARK(residentWithImagesAndViews)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
