#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

namespace qv {

// Decoding of pictures from outside, safe against files that lie about their size: the decoded
// image may not exceed `allocationLimitMB` nor the source `maxSourcePixels`, pictures are turned upright by
// their orientation tag, and with a `fit` size the decoder is asked for a scaled picture that fits it (aspect
// kept). A picture that cannot be decoded within these bounds is a null image. Any thread.
namespace ImageDecoding {
inline constexpr int allocationLimitMB = 256;
// Pictures announcing more pixels than this are refused outright, even for a scaled read, which
// would otherwise still have to inflate every row.
inline constexpr qint64 maxSourcePixels = 100000000;

QImage readFile(const QString &path, const QSize &fit = QSize());
// True for a regular file (links followed); false for folders, pipes, sockets, devices and nothing.
bool isRegularFile(const QString &path);
QImage readData(const QByteArray &bytes, const QSize &fit = QSize());
// `source` drawn centred and aspect-fitted onto a transparent canvas of `canvas`; a source with a
// zero dimension gives the bare canvas.
QImage aspectFit(const QImage &source, const QSize &canvas);
} // namespace ImageDecoding

} // namespace qv
