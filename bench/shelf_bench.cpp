#include <QDir>
#include <QFile>
#include <QMimeData>
#include <QPainter>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include "core/eventlog.h"
#include "platform/sim/simdesktop.h"
#include "platform/x11/x11textrecognizer.h"
#include "runtime/manualscheduler.h"
#include "runtime/workqueue.h"
#include "shelf/appkitdropzone.h"
#include "shelf/fileshelfmanager.h"

namespace qv {
namespace {

class QuietLog final : public EventLog
{
public:
    void log(const QString &, const QString &) override {}
};

// A drop of 200 small files: copies under free names, records, insertion and the thumbnail request.
void BM_DropOf200SmallFiles(benchmark::State &state)
{
    QTemporaryDir root;
    const QString source = root.filePath(QStringLiteral("source"));
    QDir().mkpath(source);
    DropData drop;
    for (int i = 0; i < 200; ++i) {
        const QString path = QDir(source).filePath(QStringLiteral("file%1.txt").arg(i));
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(QByteArray(512, 'x'));
        drop.fileURLs.append(QUrl::fromLocalFile(path));
    }
    SimDesktop sim;
    ManualScheduler scheduler;
    SchedulerQueueFactory queues(scheduler);
    QuietLog log;
    FileShelfManager manager(sim.platform(), scheduler, queues, log, root.filePath(QStringLiteral("shelf")));
    for (auto _ : state) {
        manager.handleDrop(drop);
        scheduler.runPending();
        state.PauseTiming();
        manager.clearShelf();
        scheduler.runPending();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_DropOf200SmallFiles)->Unit(benchmark::kMillisecond);

// A uri-list of range(0) lines, each of a tenth as many files listed ten times, dropped on the shelf:
// what the main thread does inside the drop (reading the list, choosing the files, queueing the
// batches). Before the bound, 100,000 lines held it 24 s and more; 10,000 distinct files 0.34-1.43 s.
QByteArray floodedList(int lines)
{
    QByteArray list;
    for (int i = 0; i < lines / 10; ++i) {
        const QByteArray line = "file:///nowhere/dropped/f" + QByteArray::number(i) + ".txt\r\n";
        for (int copy = 0; copy < 10; ++copy)
            list += line;
    }
    return list;
}

// The list as a drop from another program hands it over: bytes as they came. (A QMimeData of our own
// would turn the list into addresses and back at every read.)
class ForeignDrop final : public QMimeData
{
public:
    explicit ForeignDrop(QByteArray list) : m_list(std::move(list)) {}
    QStringList formats() const override { return {QStringLiteral("text/uri-list")}; }
    bool hasFormat(const QString &type) const override { return formats().contains(type); }

protected:
    QVariant retrieveData(const QString &type, QMetaType) const override
    {
        return hasFormat(type) ? QVariant(m_list) : QVariant();
    }

private:
    QByteArray m_list;
};

void BM_FloodedDropOnTheMainThread(benchmark::State &state)
{
    QTemporaryDir root;
    SimDesktop sim;
    ManualScheduler scheduler;
    SchedulerQueueFactory queues(scheduler);
    QuietLog log;
    FileShelfManager manager(sim.platform(), scheduler, queues, log, root.filePath(QStringLiteral("shelf")));
    const ForeignDrop mime(floodedList(int(state.range(0))));
    for (auto _ : state) {
        manager.handleDrop(AppKitDropZone::dropData(mime));
        state.PauseTiming();
        // The files do not exist: the intake finds nothing to copy.
        scheduler.runPending();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_FloodedDropOnTheMainThread)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// One rendered line read in the shelf's six languages, the engine loaded for it and freed after, as
// at each "Extract Text" (the module itself stays loaded after the first).
void BM_RecognizeOneLine(benchmark::State &state)
{
    QImage line(700, 90, QImage::Format_RGB32);
    line.fill(Qt::white);
    {
        QPainter painter(&line);
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(44);
        painter.setFont(font);
        painter.setPen(Qt::black);
        painter.drawText(QPoint(20, 60), QStringLiteral("Quarterly report 2026"));
    }
    X11TextRecognizer recognizer;
    const auto cancel = std::make_shared<std::atomic<bool>>(false);
    recognizer.recognize(line, FileShelfManager::ocrLanguages, cancel);
    for (auto _ : state)
        benchmark::DoNotOptimize(recognizer.recognize(line, FileShelfManager::ocrLanguages, cancel));
}
BENCHMARK(BM_RecognizeOneLine)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace qv
