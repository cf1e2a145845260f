#include "platform/imagedecoding.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QPainter>

#include <filesystem>

namespace qv::ImageDecoding {

namespace {

QImage read(QImageReader &reader, const QSize &fit)
{
    reader.setAllocationLimit(allocationLimitMB);
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (size.isValid() && qint64(size.width()) * size.height() > maxSourcePixels)
        return QImage();
    if (fit.isValid() && size.isValid() && (size.width() > fit.width() || size.height() > fit.height()))
        reader.setScaledSize(size.scaled(fit, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
    QImage image = reader.read();
    if (!image.isNull() && fit.isValid() && (image.width() > fit.width() || image.height() > fit.height()))
        image = image.scaled(fit, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return image;
}

} // namespace

bool isRegularFile(const QString &path)
{
    std::error_code error;
    return std::filesystem::is_regular_file(std::filesystem::path(QFile::encodeName(path).toStdString()),
                                            error);
}

QImage readFile(const QString &path, const QSize &fit)
{
    // A pipe or a device could block the reader for ever.
    if (!isRegularFile(path))
        return QImage();
    QImageReader reader(path);
    return read(reader, fit);
}

QImage readData(const QByteArray &bytes, const QSize &fit)
{
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    return read(reader, fit);
}

QImage aspectFit(const QImage &source, const QSize &canvas)
{
    QImage result(canvas, QImage::Format_ARGB32_Premultiplied);
    result.fill(Qt::transparent);
    if (source.width() <= 0 || source.height() <= 0)
        return result;
    const double scale =
        std::min(double(canvas.width()) / source.width(), double(canvas.height()) / source.height());
    const QSizeF drawn(source.width() * scale, source.height() * scale);
    const QRectF target(QPointF((canvas.width() - drawn.width()) / 2, (canvas.height() - drawn.height()) / 2),
                        drawn);
    QPainter painter(&result);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(target, source);
    return result;
}

} // namespace qv::ImageDecoding
