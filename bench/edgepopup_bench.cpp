#include <QApplication>
#include <QPainter>
#include <QTemporaryDir>
#include <QWheelEvent>

#include <benchmark/benchmark.h>

#include <memory>

#include "clipboard/clipboardhistorymodel.h"
#include "clipboard/clipboardmanager.h"
#include "core/eventlog.h"
#include "core/settingsstore.h"
#include "platform/sim/simdesktop.h"
#include "runtime/manualscheduler.h"
#include "runtime/workqueue.h"
#include "shelf/fileshelfmanager.h"
#include "shelf/shelflistmodel.h"
#include "views/edgepopup/edgepopupstate.h"
#include "views/edgepopup/edgepopupview.h"
#include "views/edgepopup/horizontalwheelscroll.h"
#include "views/items/ageclock.h"

using namespace qv;

namespace {

class NoLog final : public EventLog
{
public:
    void log(const QString &, const QString &) override {}
};

// The clipboard popup of a full history (500 clips) at the bottom of a 1440 x 900 screen; the
// newest `floods` of them each one letter carrying as many marks as capture keeps.
struct PopupWithHistory
{
    explicit PopupWithHistory(int floods = 0)
    {
        clipboard = std::make_unique<ClipboardManager>(sim.pasteboard, sim.workspace, scheduler, queues,
                                                       settings, events, root.filePath("cache"));
        shelf = std::make_unique<FileShelfManager>(sim.platform(), scheduler, queues, events,
                                                   root.filePath("shelf"));
        for (int i = 0; i < 500; ++i)
            copy(QStringLiteral("Copied line %1 with a few words in it").arg(i));
        for (int i = 0; i < floods; ++i)
            copy(QStringLiteral("Flood %1 c").arg(i) + QString(400000, QChar(0x0301)));
        clips = std::make_unique<ClipboardHistoryModel>(*clipboard);
        shelfItems = std::make_unique<ShelfListModel>(*shelf);
        popupState = std::make_unique<EdgePopupState>(EdgePopupActions{});
        view = std::make_unique<EdgePopupView>(
            *popupState,
            EdgePopupView::Services{*clips, *shelfItems, *shelf, sim.fileIcons,
                                    queues.makeQueue("previews", QueueKind::Concurrent), ages, scheduler});
        view->resize(1440, 900);
        view->show();
        frame = QImage(view->size(), QImage::Format_ARGB32_Premultiplied);
    }

    void copy(const QString &text)
    {
        sim.pasteboard.copyText(text);
        scheduler.advance(1.0);
    }
    // One frame of `widget` (the whole view by default) as the screen would get it.
    void paint(QWidget *widget = nullptr)
    {
        QApplication::processEvents();
        frame.fill(Qt::transparent);
        QPainter painter(&frame);
        (widget ? widget : view.get())->render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
    }

    QTemporaryDir root;
    SimDesktop sim;
    ManualScheduler scheduler;
    SchedulerQueueFactory queues{scheduler};
    SettingsStore settings;
    NoLog events;
    AgeClock ages{scheduler};
    std::unique_ptr<ClipboardManager> clipboard;
    std::unique_ptr<FileShelfManager> shelf;
    std::unique_ptr<ClipboardHistoryModel> clips;
    std::unique_ptr<ShelfListModel> shelfItems;
    std::unique_ptr<EdgePopupState> popupState;
    std::unique_ptr<EdgePopupView> view;
    QImage frame;
};

// The clipboard hotkey after the shelf was shown: the popup switches to the clipboard route, starts
// afresh and paints its first frame, as a strip at the bottom (0) or as a column at the leading edge
// (1), whose rows of different heights are measured first; the second argument is the number of
// mark floods among the newest clips. Target: under 30 ms.
void hotkeyToFirstFrame(benchmark::State &state)
{
    PopupWithHistory popup(int(state.range(1)));
    const PopupEdge edge = state.range(0) == 0 ? PopupEdge::bottom : PopupEdge::leading;
    for (auto _ : state) {
        state.PauseTiming();
        popup.popupState->show(OverlayRoute::shelf, edge);
        QApplication::processEvents();
        state.ResumeTiming();
        popup.popupState->show(OverlayRoute::clipboard, edge);
        popup.popupState->presented();
        popup.paint();
    }
}
BENCHMARK(hotkeyToFirstFrame)
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({0, 20})
    ->Args({1, 20})
    ->Unit(benchmark::kMillisecond);

// One wheel notch over the strip and the frame it paints (only the strip moves). Target: under 8 ms.
void wheelScrollFrame(benchmark::State &state)
{
    PopupWithHistory popup;
    popup.popupState->show(OverlayRoute::clipboard, PopupEdge::bottom);
    popup.popupState->presented();
    popup.scheduler.advance(0.2);
    HorizontalWheelScroll *strip = popup.view->strip();
    const QPoint inside = strip->viewport()->rect().center();
    int direction = -1;
    for (auto _ : state) {
        if (strip->offset() >= strip->widget()->width() - strip->viewport()->width() - 20)
            direction = 1;
        else if (strip->offset() <= 0)
            direction = -1;
        QWheelEvent event(inside, strip->viewport()->mapToGlobal(inside), QPoint(),
                          QPoint(0, 120 * direction), Qt::NoButton, {}, Qt::NoScrollPhase, false);
        QApplication::sendEvent(strip->viewport(), &event);
        popup.paint(strip);
    }
}
BENCHMARK(wheelScrollFrame)->Unit(benchmark::kMillisecond);

// One text copied while the popup shows: captured, merged, one card added to the strip. Target:
// one card added, under 4 ms.
void captureWhileShown(benchmark::State &state)
{
    PopupWithHistory popup;
    popup.popupState->show(OverlayRoute::clipboard, PopupEdge::bottom);
    popup.popupState->presented();
    popup.scheduler.advance(0.2);
    int n = 0;
    for (auto _ : state) {
        popup.copy(QStringLiteral("Fresh copy %1").arg(n++));
        QApplication::processEvents();
    }
    // The cards built, in and near the visible part of the strip.
    state.counters["cards"] = double(popup.view->cards().size());
}
BENCHMARK(captureWhileShown)->Unit(benchmark::kMillisecond);

} // namespace
