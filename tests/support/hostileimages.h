#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageWriter>
#include <QSize>
#include <QtEndian>

namespace qv {

// A small progressive JPEG whose frame header announces `declared` pixels, with `extraScans` empty
// scans before its end: a few hundred bytes that would cost a decoder whole-picture buffers and a
// pass over them per scan.
inline QByteArray progressiveJpeg(QSize declared, int extraScans = 0)
{
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(Qt::gray);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setProgressiveScanWrite(true);
    writer.write(image);
    const qsizetype frame = bytes.indexOf("\xff\xc2");
    if (frame < 0)
        return QByteArray();
    qToBigEndian(quint16(declared.height()), bytes.data() + frame + 5);
    qToBigEndian(quint16(declared.width()), bytes.data() + frame + 7);
    // Start of scan: one component, no spectral range, then one byte of data.
    const QByteArray scan("\xff\xda\x00\x08\x01\x01\x00\x00\x00\x00\x00", 11);
    bytes.insert(bytes.size() - 2, scan.repeated(extraScans));
    return bytes;
}

// `png` with its header claiming `width` x `height` pixels (its checksum made to match, so a decoder
// believes it).
inline QByteArray pngClaiming(QByteArray png, quint32 width, quint32 height)
{
    const qsizetype header = png.indexOf("IHDR");
    if (header < 0)
        return QByteArray();
    qToBigEndian(width, png.data() + header + 4);
    qToBigEndian(height, png.data() + header + 8);
    quint32 crc = 0xffffffffu;
    for (qsizetype i = header; i < header + 17; ++i) {
        crc ^= quint8(png.at(i));
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    qToBigEndian(~crc, png.data() + header + 17);
    return png;
}

} // namespace qv
