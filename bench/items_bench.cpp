#include <QGridLayout>
#include <QImageWriter>
#include <QPainter>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QVBoxLayout>

#include <benchmark/benchmark.h>

#include <memory>

#include "core/settingsstore.h"
#include "platform/imagedecoding.h"
#include "runtime/manualscheduler.h"
#include "runtime/workqueue.h"
#include "views/items/ageclock.h"
#include "views/items/clipboarditemview.h"
#include "views/items/safeimagepreview.h"
#include "views/items/shelfitemview.h"

using namespace qv;

namespace {

// One frame of a scroll area holding 100 clipboard rows and 50 shelf tiles, as the right column
// would show them, at the given device pixel ratio.
void paintItemColumn(benchmark::State &state)
{
    const double dpr = double(state.range(0));
    ManualScheduler scheduler;
    AgeClock ages(scheduler);
    SettingsStore settings;
    ActiveItemID active;
    QScrollArea area;
    auto *content = new QWidget;
    auto *column = new QVBoxLayout(content);
    for (int i = 0; i < 100; ++i) {
        ClipboardItem item;
        item.id = QUuid::createUuid();
        item.text = QStringLiteral("Copied line %1 with some words that need eliding at the end").arg(i);
        item.date = QDateTime::fromSecsSinceEpoch(qint64(1.7e9) - i * 37);
        item.deviceSource = i % 7 ? QStringLiteral("This Mac") : QStringLiteral("iPhone/iPad");
        item.isSensitive = i % 5 == 0;
        column->addWidget(new ClipboardItemView(item, active, settings, {}, ages));
    }
    auto *grid = new QGridLayout;
    for (int i = 0; i < 50; ++i) {
        ShelfItem item;
        item.id = QUuid::createUuid();
        item.url = QUrl::fromLocalFile(QStringLiteral("/tmp/Quarterly report %1 final.pdf").arg(i));
        QImage picture(256, 256, QImage::Format_ARGB32_Premultiplied);
        picture.fill(QColor::fromHsv(i * 7, 120, 200));
        item.thumbnail = ItemThumbnail(picture);
        grid->addWidget(new ShelfItemView(item, {}, {}, ages), i / 3, i % 3);
    }
    column->addLayout(grid);
    area.setWidget(content);
    area.setWidgetResizable(true);
    area.resize(340, 900);
    area.show();
    QImage target(QSize(340, 900) * dpr, QImage::Format_ARGB32_Premultiplied);
    target.setDevicePixelRatio(dpr);
    for (auto _ : state) {
        target.fill(Qt::transparent);
        QPainter painter(&target);
        area.render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
        painter.end();
        benchmark::DoNotOptimize(target.constBits());
    }
}
BENCHMARK(paintItemColumn)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

QString bigJpeg(QTemporaryDir &dir)
{
    const QString path = dir.filePath(QStringLiteral("big.jpg"));
    QImage image(6000, 4000, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, 6000, 4000);
    gradient.setColorAt(0, Qt::darkBlue);
    gradient.setColorAt(1, Qt::darkYellow);
    painter.fillRect(image.rect(), gradient);
    painter.end();
    image.save(path, "JPG", 85);
    return path;
}

// The worker's part: reading a 6000 x 4000 JPEG scaled to a 1200 px preview.
void decodePreviewOffMain(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString path = bigJpeg(dir);
    for (auto _ : state)
        benchmark::DoNotOptimize(ImageDecoding::readFile(path, QSize(1200, 1200)));
}
BENCHMARK(decodePreviewOffMain)->Unit(benchmark::kMillisecond);

// The GUI thread's part of the same preview: taking the decoded picture and turning it into the
// pixmap it draws (the queue's job itself runs outside the timing).
void previewGuiThreadShare(benchmark::State &state)
{
    QTemporaryDir dir;
    const QUrl url = QUrl::fromLocalFile(bigJpeg(dir));
    ManualScheduler scheduler;
    struct DeferredQueue final : WorkQueue
    {
        QString label() const override { return QStringLiteral("bench"); }
        void async(std::function<void()> job) override { jobs.push_back(std::move(job)); }
        std::vector<std::function<void()>> jobs;
    };
    auto queue = std::make_shared<DeferredQueue>();
    SafeImagePreview preview(url, 1200, queue, scheduler);
    for (auto _ : state) {
        state.PauseTiming();
        preview.setUrl(QUrl());
        preview.setUrl(url);
        for (auto &job : queue->jobs)
            job(); // the worker's decode; its answer is posted to the scheduler
        queue->jobs.clear();
        state.ResumeTiming();
        scheduler.runPending();
    }
    if (preview.pixmap().size() != QSize(1200, 800))
        state.SkipWithError("no 1200 x 800 preview");
}
BENCHMARK(previewGuiThreadShare)->Unit(benchmark::kMillisecond);

} // namespace
