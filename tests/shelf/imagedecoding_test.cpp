#include <QBuffer>
#include <QFile>
#include <QImageWriter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include <sys/stat.h>
#include <zlib.h>

#include "platform/imagedecoding.h"
#include "platform/x11/x11thumbnailer.h"
#include "support/hostileimages.h"
#include "testimages.h"

namespace qv {
namespace {

QByteArray gzipped(const QByteArray &bytes)
{
    z_stream stream{};
    deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    QByteArray out(int(deflateBound(&stream, uLong(bytes.size()))), '\0');
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(bytes.constData()));
    stream.avail_in = uInt(bytes.size());
    stream.next_out = reinterpret_cast<Bytef *>(out.data());
    stream.avail_out = uInt(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(qsizetype(stream.total_out));
    deflateEnd(&stream);
    return out;
}

QByteArray utf16(const QString &text)
{
    QByteArray bytes("\xff\xfe", 2);
    bytes.append(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
    return bytes;
}

class ImageDecodingTest : public ::testing::Test
{
protected:
    QString write(const QString &name, const QByteArray &content) { return writeFileIn(m_dir, name, content); }

    QTemporaryDir m_dir;
};

// Regression: the thumbnailer refused a drawing that named another file, but the fallback decoder
// (and the preview) drew it anyway, showing the named file's picture; naming a pipe nobody writes
// blocked the thread that drew it for good, so thumbnails stopped and quitting hung.
TEST_F(ImageDecodingTest, DrawingsThatNameOtherFilesShowNothingOnAnyPath)
{
    const QString secret = write(QStringLiteral("secret.png"), encodedImage(solidImage(Qt::red, 40, 40)));
    const QString pipe = m_dir.filePath(QStringLiteral("pipe.png"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    auto imageOf = [](const QString &target) {
        return QStringLiteral("<svg xmlns='http://www.w3.org/2000/svg' xmlns:xlink='http://www.w3.org/1999/xlink' "
                              "width='40' height='40'><image xlink:href='%1' width='40' height='40'/></svg>")
            .arg(target);
    };
    const struct
    {
        const char *name;
        QByteArray svg;
    } rows[] = {
        {"path.svg", imageOf(secret).toUtf8()},
        {"url.svg", imageOf(QUrl::fromLocalFile(secret).toString()).toUtf8()},
        {"pipe.svg", imageOf(pipe).toUtf8()},
        {"escaped.svg", imageOf(QStringLiteral("&#47;") + secret.mid(1)).toUtf8()},
        {"wide.svg", utf16(imageOf(secret))},
        {"packed.svgz", gzipped(imageOf(secret).toUtf8())},
        {"style.svg", QStringLiteral("<svg xmlns='http://www.w3.org/2000/svg' width='40' height='40'><rect "
                                     "width='40' height='40' style='fill:url(%1)'/></svg>")
                          .arg(QUrl::fromLocalFile(secret).toString())
                          .toUtf8()},
        // An attribute that is nothing but a reference to outside.
        {"fill.svg", QStringLiteral("<svg xmlns='http://www.w3.org/2000/svg' width='40' height='40'><rect "
                                    "width='40' height='40' fill='url(%1#g)'/></svg>")
                         .arg(QUrl::fromLocalFile(secret).toString())
                         .toUtf8()},
        {"import.svg",
         QStringLiteral("<svg xmlns='http://www.w3.org/2000/svg'><style>@import '%1';</style></svg>")
             .arg(secret)
             .toUtf8()},
    };
    for (const auto &row : rows) {
        const QString path = write(QString::fromLatin1(row.name), row.svg);
        QString error;
        EXPECT_FALSE(ImageDecoding::isSelfContainedSvg(row.svg)) << row.name;
        EXPECT_TRUE(X11Thumbnailer::render(path, QSize(600, 600), &error).isNull()) << row.name;
        EXPECT_TRUE(ImageDecoding::readFile(path, QSize(600, 600)).isNull()) << row.name;
        EXPECT_TRUE(ImageDecoding::readData(row.svg, QSize(64, 64)).isNull()) << row.name;
    }

    // The same drawing without the outside reference, plain and compressed, is drawn at the size asked.
    const QByteArray inner = "<svg xmlns='http://www.w3.org/2000/svg' width='40' height='20'><defs><linearGradient "
                             "id='g'/></defs><rect width='40' height='20' fill='url(#g)'/>"
                             "<rect width='40' height='20' fill='#00f'/></svg>";
    QSize stated;
    EXPECT_EQ(ImageDecoding::readFile(write(QStringLiteral("inner.svg"), inner), QSize(600, 600), &stated).size(),
              QSize(600, 300));
    EXPECT_EQ(stated, QSize(40, 20));
    const QImage packed = ImageDecoding::readData(gzipped(inner));
    EXPECT_EQ(packed.size(), QSize(40, 20));
    EXPECT_EQ(packed.pixelColor(20, 10), QColor(Qt::blue));
    // Padded with a comment to the size cap it is still drawn, plain or as it inflates; a byte more is not.
    for (const qint64 size : {ImageDecoding::maxSvgBytes, ImageDecoding::maxSvgBytes + 1}) {
        QByteArray padded = inner;
        padded.insert(inner.size() - 6, "<!--" + QByteArray(size - inner.size() - 7, ' ') + "-->");
        EXPECT_EQ(ImageDecoding::readData(padded).isNull(), size > ImageDecoding::maxSvgBytes);
        EXPECT_EQ(ImageDecoding::readData(gzipped(padded)).isNull(), size > ImageDecoding::maxSvgBytes);
    }
}

// A drawing whose few bytes multiply into many shapes: each level draws the one below ten times.
QByteArray fanOutSvg(int levels)
{
    QByteArray svg = "<svg xmlns='http://www.w3.org/2000/svg' xmlns:xlink='http://www.w3.org/1999/xlink' "
                     "width='256' height='256'><defs><rect id='l0' width='256' height='256' fill='red' "
                     "fill-opacity='0.01'/>";
    for (int level = 1; level <= levels; ++level) {
        svg += "<g id='l" + QByteArray::number(level) + "'>";
        for (int i = 0; i < 10; ++i)
            svg += "<use xlink:href='#l" + QByteArray::number(level - 1) + "'/>";
        svg += "</g>";
    }
    return svg + "</defs><use xlink:href='#l" + QByteArray::number(levels) + "'/></svg>";
}

// Regression: drawing ran on the thread that asked for it with no limit, so a costly drawing held a
// pooled thread (and quitting) as long as it liked. Past the time limit the caller now goes on
// without it.
TEST_F(ImageDecodingTest, ADrawingPastItsTimeLimitIsAbandoned)
{
    const QByteArray costly = fanOutSvg(5);
    ASSERT_TRUE(ImageDecoding::isSelfContainedSvg(costly));
    EXPECT_TRUE(ImageDecoding::renderSvg(costly, QSize(256, 256), nullptr, 1).isNull());
    // The one left behind does not stop the next drawing.
    EXPECT_EQ(ImageDecoding::renderSvg(fanOutSvg(1), QSize(64, 64)).size(), QSize(64, 64));
}

// Regression: PDF pages were drawn with no limit, so a document that keeps the renderer busy held a
// thumbnail thread, and quitting, for as long as it liked. Work past its limit is left behind; while
// two such are running, more is refused at once (no pile of threads); once they end, work runs again.
TEST_F(ImageDecodingTest, WorkPastItsTimeLimitIsLeftBehindAndNoMoreThanTwoPileUp)
{
    std::promise<void> release;
    const std::shared_future<void> released = release.get_future().share();
    const auto stuck = [released] {
        released.wait();
        return 1;
    };
    for (int i = 0; i < ImageDecoding::maxAbandonedRenders; ++i)
        EXPECT_FALSE(ImageDecoding::runWithin<int>(stuck, 10).has_value());
    EXPECT_FALSE(ImageDecoding::runWithin<int>([] { return 2; }, 1000).has_value())
        << "refused while two are left behind";

    release.set_value();
    std::optional<int> result;
    for (int attempt = 0; attempt < 200 && !result; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        result = ImageDecoding::runWithin<int>([] { return 3; }, 1000);
    }
    EXPECT_EQ(result, 3);
}

// Regression: a progressive JPEG of a few hundred bytes announcing 20000 x 20000 pixels made the
// clipboard's reader take 2.4 GB; within the pixel limit one of 10000 x 10000 still took most of a
// gigabyte and a second per read, and every added scan added time.
TEST_F(ImageDecodingTest, JpegsThatWouldCostPastTheBudgetAreRefusedByTheirHeader)
{
    const struct
    {
        QSize declared;
        int extraScans;
        bool accepted;
    } rows[] = {
        {QSize(20000, 20000), 0, false},
        {QSize(30000, 30000), 0, false},
        {QSize(10000, 10000), 0, false},
        {QSize(2000, 2000), 100, false},
        {QSize(2000, 2000), 20, true},
        {QSize(16, 16), 0, true},
    };
    for (const auto &row : rows) {
        const QByteArray jpeg = progressiveJpeg(row.declared, row.extraScans);
        QBuffer buffer;
        buffer.setData(jpeg);
        buffer.open(QIODevice::ReadOnly);
        const auto header = ImageDecoding::readJpegHeader(buffer);
        ASSERT_TRUE(header.has_value()) << row.declared.width();
        EXPECT_EQ(buffer.pos(), 0);
        EXPECT_EQ(header->size, row.declared);
        EXPECT_TRUE(header->progressive);
        EXPECT_EQ(header->components, 3);
        EXPECT_GE(header->scans, std::min(row.extraScans, ImageDecoding::maxProgressiveScans));
        EXPECT_EQ(ImageDecoding::isWithinBudget(*header, QSize(320, 320)), row.accepted) << row.declared.width();
        if (!row.accepted) {
            EXPECT_TRUE(ImageDecoding::readData(jpeg).isNull());
            EXPECT_TRUE(ImageDecoding::readData(jpeg, QSize(320, 320)).isNull());
        }
    }
    // A baseline JPEG claiming 10000 x 8000 pixels: whole, its 320 MB of pixels pass the budget; fitted
    // to a thumbnail the decoder scales it down by eight as it goes and it costs a few megabytes.
    {
        QByteArray gray;
        QBuffer buffer(&gray);
        buffer.open(QIODevice::WriteOnly);
        ASSERT_TRUE(
            solidImage(Qt::gray, 16, 16).convertToFormat(QImage::Format_Grayscale8).save(&buffer, "JPG"));
        const qsizetype frame = gray.indexOf("\xff\xc0");
        ASSERT_GE(frame, 0);
        qToBigEndian(quint16(8000), gray.data() + frame + 5);
        qToBigEndian(quint16(10000), gray.data() + frame + 7);
        QBuffer large(&gray);
        large.open(QIODevice::ReadOnly);
        const auto header = ImageDecoding::readJpegHeader(large);
        ASSERT_TRUE(header.has_value());
        EXPECT_FALSE(ImageDecoding::isWithinBudget(*header, QSize()));
        EXPECT_TRUE(ImageDecoding::isWithinBudget(*header, QSize(320, 320)));
        QString refusal;
        EXPECT_TRUE(ImageDecoding::readData(gray, QSize(), nullptr, &refusal).isNull());
        EXPECT_TRUE(refusal.startsWith(QStringLiteral("too costly to decode"))) << refusal.toStdString();
        refusal.clear();
        EXPECT_EQ(ImageDecoding::readData(gray, QSize(320, 320), nullptr, &refusal).size(), QSize(320, 256))
            << "the decoding budget was checked at the full size, not at the size it is fitted to: "
            << refusal.toStdString();
    }
    // Real photographs, progressive or not, are read as before.
    for (const bool progressive : {false, true}) {
        QByteArray photo;
        QBuffer buffer(&photo);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "jpeg");
        writer.setProgressiveScanWrite(progressive);
        ASSERT_TRUE(writer.write(solidImage(Qt::darkCyan, 1200, 900)));
        QSize stated;
        EXPECT_EQ(ImageDecoding::readData(photo, QSize(320, 320), &stated).size(), QSize(320, 240));
        EXPECT_EQ(stated, QSize(1200, 900));
        // The same photo from a camera held upright (EXIF orientation 6, turned a quarter) stands up.
        photo.insert(2, QByteArray::fromHex("ffe10022457869660000" "49492a0008000000" "0100"
                                            "120103000100000006000000" "00000000"));
        EXPECT_EQ(ImageDecoding::readData(photo, QSize(320, 320)).size(), QSize(240, 320));
    }
}

} // namespace
} // namespace qv
