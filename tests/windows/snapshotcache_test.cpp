#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "windows/snapshotcache.h"

using namespace qv;

TEST(SnapshotCapture, SizeFollowsTheWindowWithinBounds)
{
    struct Row
    {
        QSizeF frame;
        QSize expected;
    } rows[] = {
        {{100, 1000}, {320, 900}},
        {{2000, 300}, {640, 128}}, // aspect 0.15 raised to 0.2
        {{600, 60}, {600, 120}},
        {{0.5, 200}, {320, 900}}, // width 1 or less: the aspect is the height, clamped to 5
        {{2, 1}, {320, 160}},
    };
    for (const auto &row : rows)
        EXPECT_EQ(snapshotCaptureSize(row.frame), row.expected)
            << row.frame.width() << "x" << row.frame.height();
}

// A picture kept from the window at another size is not the window as it is now; one taken at its
// size fits, give or take a pixel of rounding.
TEST(SnapshotCapture, APictureFitsTheFrameItWasTakenAt)
{
    const QSizeF frame(800, 600); // captured at 640x480
    EXPECT_TRUE(snapshotFitsFrame(QImage(640, 480, QImage::Format_ARGB32), frame));
    EXPECT_TRUE(snapshotFitsFrame(QImage(641, 479, QImage::Format_ARGB32), frame));
    EXPECT_FALSE(snapshotFitsFrame(QImage(642, 480, QImage::Format_ARGB32), frame));
    EXPECT_FALSE(snapshotFitsFrame(QImage(640, 482, QImage::Format_ARGB32), frame));
    EXPECT_FALSE(snapshotFitsFrame(QImage(640, 480, QImage::Format_ARGB32), QSizeF(800, 400)));
    EXPECT_TRUE(snapshotFitsFrame(QImage(640, 480, QImage::Format_ARGB32), QSizeF()));
}

TEST(SnapshotCapture, BlankBelowFivePercentVisiblePixels)
{
    // Visible pixels from the top left corner, or from the bottom right one: every edge counts.
    auto withVisible = [](int count, bool fromEnd = false) {
        QImage image(72, 72, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        for (int i = 0; i < count; ++i) {
            const int at = fromEnd ? 72 * 72 - 1 - i : i;
            image.setPixelColor(at % 72, at / 72, QColor(10, 20, 30, 5));
        }
        return image;
    };
    EXPECT_TRUE(isSnapshotBlank(QImage()));
    for (const bool fromEnd : {false, true}) {
        EXPECT_TRUE(isSnapshotBlank(withVisible(0, fromEnd)));
        EXPECT_TRUE(isSnapshotBlank(withVisible(259, fromEnd)));
        EXPECT_FALSE(isSnapshotBlank(withVisible(260, fromEnd)));
    }

    QImage faint(72, 72, QImage::Format_ARGB32);
    faint.fill(QColor(255, 255, 255, 4)); // alpha below 5 counts as invisible
    EXPECT_TRUE(isSnapshotBlank(faint));
    QImage large(1280, 800, QImage::Format_RGB32);
    large.fill(Qt::darkGray);
    EXPECT_FALSE(isSnapshotBlank(large));
}

TEST(SnapshotDiskCache, KeysAndFileNames)
{
    EXPECT_EQ(snapshotCacheKey("com.apple.Safari", " Start Page ", "Safari"), "com.apple.safari|start page");
    EXPECT_EQ(snapshotCacheKey("com.apple.finder", "", "Finder"), "com.apple.finder|finder");
    EXPECT_EQ(snapshotCacheKey("com.apple.Notes", "   ", "Notes"), "com.apple.notes|notes");
    // SHA-256 of "abc".
    EXPECT_EQ(sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    const QString name = snapshotFileName("com.apple.finder|finder");
    EXPECT_EQ(name.size(), 64 + 4);
    EXPECT_TRUE(name.endsWith(".png"));
    EXPECT_EQ(name, name.toLower());
    // Pictures of windows are the user's own: kept in the user's cache, never a shared folder.
    EXPECT_TRUE(snapshotDiskCacheDirectory().startsWith(
        QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + "/"));
}

TEST(SnapshotDiskCache, WritesPngAtomicallyAndReadsOnlyUsablePictures)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("a.png");
    QImage image(40, 30, QImage::Format_ARGB32);
    image.fill(Qt::red);
    ASSERT_TRUE(writeSnapshotFile(path, image));
    EXPECT_EQ(QImageReader(path).format(), "png");
    EXPECT_EQ(readSnapshotFile(path).size(), QSize(40, 30));

    // A picture needs two pixels each way to be kept; a line of one pixel is no picture.
    for (const QSize size : {QSize(1, 5), QSize(5, 1), QSize(2, 2)}) {
        const bool usable = size == QSize(2, 2);
        QImage tiny(size, QImage::Format_ARGB32);
        tiny.fill(Qt::red);
        const QString file =
            dir.filePath(QStringLiteral("tiny-%1x%2.png").arg(size.width()).arg(size.height()));
        EXPECT_EQ(writeSnapshotFile(file, tiny), usable) << file.toStdString();
        EXPECT_EQ(QFile::exists(file), usable) << file.toStdString();
    }

    QFile junk(dir.filePath("junk.png"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("not a picture");
    junk.close();
    EXPECT_TRUE(readSnapshotFile(junk.fileName()).isNull());
    EXPECT_TRUE(readSnapshotFile(dir.filePath("missing.png")).isNull());
    // Nothing is written outside a folder that is there, nor is that reported as written.
    EXPECT_FALSE(writeSnapshotFile(dir.filePath("absent/a.png"), image));
}

namespace {

void makeFile(const QString &path, qint64 size, const QDateTime &modified)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_TRUE(file.resize(size)); // sparse: the size counts without taking the disk
    ASSERT_TRUE(file.setFileTime(modified, QFileDevice::FileModificationTime));
}

} // namespace

TEST(SnapshotDiskCache, PruneDeletesOldFilesThenOldestUntilWithinTheLimit)
{
    QTemporaryDir dir;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    constexpr qint64 mib = 1024 * 1024;
    makeFile(dir.filePath("old.png"), 10, now.addSecs(-86401));
    // 250 MiB of fresh files, 50 MiB each, the newest first by name.
    for (int i = 0; i < 5; ++i)
        makeFile(dir.filePath(QStringLiteral("f%1.png").arg(i)), 50 * mib, now.addSecs(-1000 - i * 10));
    makeFile(dir.filePath(".hidden"), 10, now.addSecs(-90000));
    QDir(dir.path()).mkdir("sub");
    makeFile(dir.filePath("sub/inner.png"), 10, now.addSecs(-90000));

    pruneSnapshotDiskCache(dir.path(), now);

    EXPECT_FALSE(QFile::exists(dir.filePath("old.png")));
    // Deleting the oldest, f4, leaves exactly 200 MiB: within the limit.
    EXPECT_FALSE(QFile::exists(dir.filePath("f4.png")));
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("f%1.png").arg(i))));
    EXPECT_TRUE(QFile::exists(dir.filePath(".hidden")));
    EXPECT_TRUE(QFile::exists(dir.filePath("sub/inner.png")));

    makeFile(dir.filePath("day.png"), 0, now.addSecs(-86400)); // a day old, not older
    pruneSnapshotDiskCache(dir.path(), now);
    EXPECT_TRUE(QFile::exists(dir.filePath("day.png")));
}

TEST(SnapshotDiskCache, PruneOfAMissingFolderDoesNothing)
{
    QTemporaryDir dir;
    pruneSnapshotDiskCache(dir.filePath("absent"), QDateTime::currentDateTimeUtc());
    EXPECT_FALSE(QDir(dir.filePath("absent")).exists());
}
