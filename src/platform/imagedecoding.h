#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QSize>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QIODevice;

namespace qv {

// The one way pictures from outside are decoded (clipboard, shelf thumbnails, text recognition, web
// icons, previews), safe against files that lie about their size or reach outside themselves.
//
// The header is read before anything is decoded, and a picture whose decoding would cost more than
// `budgetBytes` (the decoder's own buffers counted with the picture) or announces more than
// `maxSourcePixels` is refused. Progressive JPEGs keep every coefficient of the whole picture while
// they decode and pass over it once per scan, so they get a stricter pixel cap and a cap on scans.
// SVG drawings are rendered only when they are self-contained (nothing but their own bytes is ever
// read), on a thread of their own that is abandoned after `svgTimeLimitMs`. Pictures are turned
// upright by their orientation tag; with a `fit` size the result fits it (aspect kept: raster
// pictures are only made smaller, drawings are drawn at that size). A refused or undecodable
// picture is a null image. `sourceSize`, when given, receives the size the header announced;
// `refusal`, when given, receives why a picture was refused by its header ("too many pixels
// (W×H)", ...) and stays as it was for one that merely does not decode. Any thread; nothing here can
// block for longer than its time limit.
namespace ImageDecoding {
inline constexpr int allocationLimitMB = 256;
// Pictures announcing more pixels than this are refused outright, even for a scaled read, which
// would otherwise still have to inflate every row.
inline constexpr qint64 maxSourcePixels = 100000000;
inline constexpr qint64 budgetBytes = 300LL * 1024 * 1024;
// About a second of a progressive decoder's time, however few bytes announce it.
inline constexpr qint64 maxProgressivePixels = 40000000;
inline constexpr int maxProgressiveScans = 64;
inline constexpr qint64 maxSvgBytes = 8 * 1024 * 1024;
inline constexpr int svgTimeLimitMs = 2000;
// A drawing asked for without a size is drawn no larger than this on its long side.
inline constexpr int maxSvgSide = 4096;
// A PDF page takes longer than a drawing: whole pages of a preview are drawn at up to 300 dpi.
inline constexpr int pdfTimeLimitMs = 4000;
// Renders (drawings, PDF pages) still running after their time limit; past this many, further
// renders are refused so that hostile files cannot pile up threads.
inline constexpr int maxAbandonedRenders = 2;

// What a JPEG's markers announce, read without decoding.
struct JpegHeader
{
    QSize size;
    int components = 0;
    bool progressive = false;
    int scans = 0;
};
// Nothing when the bytes are not a JPEG with a frame header. Reads the whole stream (its scans are
// counted) and leaves the device's position where it was.
std::optional<JpegHeader> readJpegHeader(QIODevice &device);
// What decoding a JPEG of this header costs at most, in bytes, to fit `fit` (or whole).
qint64 jpegDecodeCost(const JpegHeader &header, const QSize &fit);
bool isWithinBudget(const JpegHeader &header, const QSize &fit);
// Why a JPEG of this header is refused for `fit`; empty when it is within the bounds.
QString jpegRefusal(const JpegHeader &header, const QSize &fit);

QImage readFile(const QString &path, const QSize &fit = QSize(), QSize *sourceSize = nullptr,
                QString *refusal = nullptr);
// The frames of an animated picture (GIF, WebP, APNG), each fitted to `fit` like readFile(), with
// how long each shows in milliseconds. Reading stops after `maxFrames` or once the frames held
// would pass `budgetBytes`; a file that is not a regular file or whose first frame cannot be read
// gives no frames. Any thread.
struct AnimationFrames
{
    QList<QImage> images;
    QList<int> delaysMs;
};
AnimationFrames readAnimation(const QString &path, const QSize &fit, int maxFrames = 500,
                              qint64 budgetBytes = 128LL * 1024 * 1024);
QImage readData(const QByteArray &bytes, const QSize &fit = QSize(), QSize *sourceSize = nullptr,
                QString *refusal = nullptr);
// True for a regular file (links followed); false for folders, pipes, sockets, devices and nothing.
bool isRegularFile(const QString &path);

// True when rendering the drawing reads nothing but its own bytes: every reference points inside
// the document ("#id") or is inline data, no entities are declared, no style sheet is imported.
// Compressed drawings are looked at uncompressed.
bool isSelfContainedSvg(const QByteArray &svg);
// Renders a self-contained drawing (plain or compressed) within `timeLimitMs`; null otherwise (the
// renderer left behind finishes on its own).
QImage renderSvg(const QByteArray &svg, const QSize &fit = QSize(), QSize *sourceSize = nullptr,
                 int timeLimitMs = svgTimeLimitMs);

// Runs `work` on a thread of its own and gives its result, or nothing when it still runs after
// `timeLimitMs` (it is then left to finish on its own) or while `maxAbandonedRenders` others do.
// For renderers that cannot be interrupted, such as SVG drawings and PDF pages: their caller, a
// pooled thread or a quitting program, never waits past the limit. Any thread.
template <typename T> std::optional<T> runWithin(std::function<T()> work, int timeLimitMs);
namespace detail {
// True when `work` ran to its end within the limit.
bool runWithin(std::function<void()> work, int timeLimitMs);
} // namespace detail

// `source` drawn centred and aspect-fitted onto a transparent canvas of `canvas`; a source with a
// zero dimension gives the bare canvas.
QImage aspectFit(const QImage &source, const QSize &canvas);

template <typename T> std::optional<T> runWithin(std::function<T()> work, int timeLimitMs)
{
    // Shared with the thread, which may outlive this call when it is abandoned.
    auto result = std::make_shared<std::optional<T>>();
    if (!detail::runWithin([result, work = std::move(work)] { *result = work(); }, timeLimitMs))
        return std::nullopt;
    return std::move(*result);
}
} // namespace ImageDecoding

} // namespace qv
