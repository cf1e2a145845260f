#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QFile>
#include <QImage>
#include <QPainter>

namespace qv {

// This process's resident memory, in megabytes.
inline double residentMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return 0;
}

// A screenshot-like picture of 1920 x 1080: flat areas and some detail, different for each seed.
inline QImage screenshotImage(int seed)
{
    QImage image(1920, 1080, QImage::Format_RGB32);
    image.fill(QColor::fromHsv(seed * 37 % 360, 40, 230));
    QPainter painter(&image);
    for (int i = 0; i < 200; ++i)
        painter.fillRect((i * 97 + seed * 13) % image.width(), (i * 61 + seed * 7) % image.height(), 40 + i % 90,
                         12 + i % 30, QColor::fromHsv((i * 29 + seed) % 360, 160, 120 + i % 100));
    return image;
}

// That picture as the PNG a screenshot tool would copy.
inline QByteArray screenshotPng(int seed)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    screenshotImage(seed).save(&buffer, "PNG");
    return png;
}

} // namespace qv
