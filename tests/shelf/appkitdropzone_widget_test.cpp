#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QImage>
#include <QLabel>
#include <QMimeData>

#include <gtest/gtest.h>

#include <optional>

#include "platform/droptypes.h"
#include "runtime/manualscheduler.h"
#include "shelf/appkitdropzone.h"
#include "support/screenshot.h"
#include "testimages.h"

namespace qv {
namespace {

QByteArray utf16(const QString &text)
{
    return QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
}

TEST(AppKitDropZoneTest, ReadsWhatADragOffersInShelfTerms)
{
    QMimeData mime;
    mime.setUrls(
        {QUrl::fromLocalFile(QStringLiteral("/tmp/a.txt")), QUrl(QStringLiteral("https://example.com/p"))});
    mime.setData(QStringLiteral("text/x-moz-url"),
                 utf16(QStringLiteral("https://example.com/cat.jpg\nA cat")));
    mime.setData(QStringLiteral("image/tiff"), "tiff-bytes");
    mime.setData(QStringLiteral("image/png"), encodedImage(solidImage(Qt::red, 4, 4)));
    const DropData drop = AppKitDropZone::dropData(mime);
    EXPECT_EQ(drop.fileURLs, QList<QUrl>{QUrl::fromLocalFile(QStringLiteral("/tmp/a.txt"))});
    EXPECT_EQ(drop.urls.size(), 3);
    EXPECT_EQ(drop.urls.last(), QUrl(QStringLiteral("https://example.com/cat.jpg")));
    EXPECT_EQ(drop.urlName, QStringLiteral("A cat"));
    ASSERT_EQ(drop.items.size(), 1);
    // In the intake's order of preference, whatever order the drag listed them in.
    ASSERT_EQ(drop.items.first().imageData.size(), 2);
    EXPECT_EQ(drop.items.first().imageData.at(0).first, QStringLiteral("image/png"));
    EXPECT_EQ(drop.items.first().urlName, QStringLiteral("A cat"));
    EXPECT_TRUE(drop.images.isEmpty());

    QMimeData own;
    own.setImageData(QImage(3, 3, QImage::Format_RGB32));
    EXPECT_EQ(AppKitDropZone::dropData(own).images.size(), 1);

    // 100,000 lines, each of 10,000 files listed ten times: read only as far as the shelf can take.
    QByteArray list;
    for (int i = 0; i < 10000; ++i) {
        const QByteArray line = "file:///tmp/f" + QByteArray::number(i) + "\r\n";
        for (int copy = 0; copy < 10; ++copy)
            list += line;
    }
    QMimeData flood;
    flood.setData(QStringLiteral("text/uri-list"), list);
    const DropData flooded = AppKitDropZone::dropData(flood);
    ASSERT_EQ(flooded.fileURLs.size(), 200);
    EXPECT_EQ(flooded.fileURLs.last(), QUrl(QStringLiteral("file:///tmp/f199")));
    EXPECT_TRUE(flooded.cut);
    EXPECT_FALSE(drop.cut);

    // A list the drop's reader parsed already (and cut at its bound) is taken as parsed, the cut
    // with it, and still reads as a list for anyone else who asks.
    UriList parsed;
    parsed.files = {QUrl::fromLocalFile(QStringLiteral("/tmp/one")),
                    QUrl::fromLocalFile(QStringLiteral("/tmp/two"))};
    parsed.others = {QUrl(QStringLiteral("https://example.com/"))};
    parsed.cut = true;
    ReadDropData read(parsed);
    const DropData fromRead = AppKitDropZone::dropData(read);
    EXPECT_EQ(fromRead.fileURLs, parsed.files);
    EXPECT_EQ(fromRead.urls.size(), 3);
    EXPECT_TRUE(fromRead.cut) << "the reader's cut was lost";
    EXPECT_EQ(read.urls(), parsed.files + parsed.others);
    EXPECT_FALSE(ReadDropData(std::nullopt).hasUrls());
}

TEST(AppKitDropZoneTest, TargetsAfterTheDragEventAndHandsTheDropOn)
{
    ManualScheduler scheduler;
    std::optional<DropData> received;
    bool accept = true;
    auto *label = new QLabel(QStringLiteral("Drop Files Here"));
    label->setAlignment(Qt::AlignCenter);
    AppKitDropZone zone(
        scheduler,
        [&](const DropData &drop) {
            received = drop;
            return accept;
        },
        label);
    zone.resize(240, 120);
    zone.show();

    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/a.txt"))});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton,
                          Qt::NoModifier);
    QCoreApplication::sendEvent(&zone, &enter);
    EXPECT_TRUE(enter.isAccepted());
    EXPECT_EQ(enter.dropAction(), Qt::CopyAction);
    EXPECT_FALSE(zone.isTargeting());
    scheduler.runPending();
    EXPECT_TRUE(zone.isTargeting());
    saveScreenshot(zone, QStringLiteral("shelf_drop_zone_targeting"));

    QDropEvent drop(QPointF(10, 10), Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&zone, &drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_EQ(drop.dropAction(), Qt::CopyAction);
    ASSERT_TRUE(received.has_value());
    EXPECT_EQ(received->fileURLs.size(), 1);
    scheduler.runPending();
    EXPECT_FALSE(zone.isTargeting());

    accept = false;
    QDropEvent refused(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&zone, &refused);
    EXPECT_FALSE(refused.isAccepted());

    QCoreApplication::sendEvent(&zone, &enter);
    QDragLeaveEvent leave;
    QCoreApplication::sendEvent(&zone, &leave);
    scheduler.runPending();
    EXPECT_FALSE(zone.isTargeting());
}

} // namespace
} // namespace qv
