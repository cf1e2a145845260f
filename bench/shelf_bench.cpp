#include <QDir>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include "core/eventlog.h"
#include "platform/sim/simdesktop.h"
#include "platform/x11/x11textrecognizer.h"
#include "runtime/manualscheduler.h"
#include "runtime/workqueue.h"
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

// One rendered line read by a warm engine in the shelf's six languages.
void BM_RecognizeOneLineWarm(benchmark::State &state)
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
BENCHMARK(BM_RecognizeOneLineWarm)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace qv
