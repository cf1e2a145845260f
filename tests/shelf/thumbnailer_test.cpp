#include <QFile>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <gtest/gtest.h>

#include <optional>

#include "platform/imagedecoding.h"
#include "platform/sim/simshelfservices.h"
#include "platform/x11/x11thumbnailer.h"
#include "testimages.h"

namespace qv {
namespace {

quint32 crc32(const QByteArray &data)
{
    quint32 crc = 0xffffffffu;
    for (const char byte : data) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

QByteArray chunk(const QByteArray &type, const QByteArray &data)
{
    QByteArray out(4, '\0');
    qToBigEndian(quint32(data.size()), out.data());
    QByteArray crc(4, '\0');
    qToBigEndian(crc32(type + data), crc.data());
    return out + type + data + crc;
}

// A PNG that announces 30000 x 30000 pixels: decoding it whole would need 3.6 GB.
QByteArray pngBomb()
{
    QByteArray header(13, '\0');
    qToBigEndian(quint32(30000), header.data());
    qToBigEndian(quint32(30000), header.data() + 4);
    header[8] = 8; // bit depth
    header[9] = 6; // RGBA
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", header) +
           chunk("IDAT", qCompress(QByteArray(4096, '\0')).mid(4)) + chunk("IEND", QByteArray());
}

class ThumbnailerTest : public ::testing::Test
{
protected:
    QString write(const QString &name, const QByteArray &content) { return writeFileIn(m_dir, name, content); }

    QImage render(const QString &path, QString *error = nullptr)
    {
        QString reason;
        const QImage image = X11Thumbnailer::render(path, QSize(600, 600), &reason);
        if (error)
            *error = reason;
        EXPECT_TRUE(image.isNull() || (image.width() <= 600 && image.height() <= 600)) << qPrintable(path);
        EXPECT_EQ(image.isNull(), !reason.isEmpty());
        return image;
    }

    QTemporaryDir m_dir;
};

TEST_F(ThumbnailerTest, DrawsTheFirstPageOfAPdfAtItsAspect)
{
    const QString path = m_dir.filePath(QStringLiteral("doc.pdf"));
    {
        QPdfWriter writer(path);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        QPainter painter(&writer);
        painter.fillRect(QRect(0, 0, 2000, 2000), Qt::black);
        writer.newPage();
    }
    const QImage page = render(path);
    ASSERT_FALSE(page.isNull());
    EXPECT_EQ(page.height(), 600);
    EXPECT_NEAR(page.width(), 600 * 210 / 297, 2);
    EXPECT_EQ(page.pixelColor(5, 5), QColor(Qt::black));
}

TEST_F(ThumbnailerTest, BadFilesGiveNoPictureAndAReason)
{
    const QByteArray jpeg = encodedImage(solidImage(Qt::red, 400, 400), "JPG");
    const struct
    {
        QString name;
        QByteArray content;
    } rows[] = {
        {QStringLiteral("corrupt.pdf"),
         QByteArrayLiteral("%PDF-1.7\n1 0 obj << /Type /Catalog >>\ntrailer broken")},
        {QStringLiteral("bomb.png"), pngBomb()},
        {QStringLiteral("outside.svg"),
         QByteArrayLiteral(
             "<svg xmlns='http://www.w3.org/2000/svg' xmlns:xlink='http://www.w3.org/1999/xlink' "
             "width='10' height='10'><image xlink:href='/etc/hostname' width='10' height='10'/></svg>")},
        {QStringLiteral("entity.svg"),
         QByteArrayLiteral("<!DOCTYPE svg [<!ENTITY x SYSTEM 'file:///etc/passwd'>]><svg "
                           "xmlns='http://www.w3.org/2000/svg'><text>&x;</text></svg>")},
        {QStringLiteral("notes.txt"), QByteArrayLiteral("plain words")},
    };
    for (const auto &row : rows) {
        QString error;
        EXPECT_TRUE(render(write(row.name, row.content), &error).isNull()) << qPrintable(row.name);
        EXPECT_FALSE(error.isEmpty());
    }
    // A truncated photo may show what arrived, never more than was asked for.
    render(write(QStringLiteral("cut.jpg"), jpeg.left(jpeg.size() / 2)));
    EXPECT_TRUE(ImageDecoding::readData(pngBomb()).isNull());
}

TEST_F(ThumbnailerTest, SelfContainedDrawingsAndIconRequestsGetPictures)
{
    const QImage drawing = render(write(
        QStringLiteral("ok.svg"), "<svg xmlns='http://www.w3.org/2000/svg' width='200' height='100'>"
                                  "<defs><linearGradient id='g'/></defs><rect fill='url(#g)' width='200' "
                                  "height='100'/><rect fill='#00f' width='200' height='100'/></svg>"));
    EXPECT_EQ(drawing.size(), QSize(600, 300));

    SimFileIcons icons;
    X11Thumbnailer thumbnailer(icons);
    std::optional<QImage> answer;
    ThumbnailRequest request;
    request.path = write(QStringLiteral("link.webloc"), "<plist/>");
    request.size = QSize(300, 300);
    request.types = ThumbnailRequest::Icon | ThumbnailRequest::Thumbnail;
    thumbnailer.generate(request, [&answer](const QImage &image, const QString &) { answer = image; });
    ASSERT_TRUE(QTest::qWaitFor([&answer] { return answer.has_value(); }, 5000));
    EXPECT_EQ(answer->cacheKey(), SimFileIcons::genericIcon().cacheKey());
}

} // namespace
} // namespace qv
