#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QImage>
#include <QList>
#include <QSize>
#include <QString>

#include "platform/windowlist.h"

namespace qv {

// The pieces of the window snapshot caches that need no engine: capture sizes, the blank test, and
// the disk cache of PNG files (one per window of a program, named by its application and title) in
// "QuorvantisSnapshotCache".
namespace SnapshotLimits {
inline constexpr int memorySoftLimit = 60;  // snapshots kept above this start a trim
inline constexpr int memoryTrimTarget = 45; // unlisted snapshots are dropped down to this
inline constexpr int iconSoftLimit = 40;
inline constexpr int iconTrimTarget = 20;
inline constexpr int appListSoftLimit = 30;
inline constexpr int appListTrimTarget = 15;
inline constexpr double appListMaximumAge = 30;       // seconds
inline constexpr double diskMaximumAge = 86400;       // seconds
inline constexpr qint64 diskMaximumTotal = 209715200; // bytes (200 MiB)
inline constexpr qint64 diskMaximumFileBytes = 67108864; // bytes (64 MiB), one snapshot file
inline constexpr int warmUpCount = 16;
} // namespace SnapshotLimits

// One file of the disk cache, as the start-up prune sees it.
struct CacheFile
{
    QString path;
    QDateTime modDate;
    qint64 size = 0;
};

// "bundle|title" (or "bundle|application name" for an untitled window), each part trimmed and
// lower-cased.
QString snapshotCacheKey(const QString &bundleIdentifier, const QString &title, const QString &appName);
// 64 lower-case hexadecimal digits of the SHA-256 digest.
QString sha256Hex(const QByteArray &data);
// The file name of a key: its digest followed by ".png".
QString snapshotFileName(const QString &key);
// The file name of one window's picture: its key with the window's number and owner added, as the
// window system reuses the numbers of closed windows (a new program gets a new process).
QString snapshotWindowFileName(const WindowInfo &window);

// Pixel size to capture a window of this frame size at: width 320-640, height from the window's
// aspect (clamped to 0.2-5) within 120-900.
QSize snapshotCaptureSize(const QSizeF &frameSize);
// Whether the picture has the size a capture of a window of this frame size gets (a pixel of
// rounding either way): a picture of the window at another size does not. Any picture fits a window
// of no known size.
bool snapshotFitsFrame(const QImage &image, const QSizeF &frameSize);
// True when fewer than 5 % of the pixels of a 72x72 copy are visible (alpha of 5 or more); a null
// image is blank.
bool isSnapshotBlank(const QImage &image);
// At least 2x2: smaller pictures are never cached, shown or written.
bool isUsableSnapshot(const QImage &image);

// The folder of the disk cache inside the user's cache folder (the temporary folder when there is
// none). Not created here.
QString snapshotDiskCacheDirectory();
// Reads and decodes one cache file; a null image when it is missing, undecodable or too small.
// Any thread.
QImage readSnapshotFile(const QString &path);
// Encodes the image as PNG and replaces the file atomically. False when nothing was written.
// Any thread.
bool writeSnapshotFile(const QString &path, const QImage &image);
// Oldest first.
void sortCacheFilesByDate(QList<CacheFile> &files);
// Deletes files older than a day, then the oldest files until at most 200 MiB remain. Subfolders
// and hidden files are left alone; errors are ignored. Any thread.
void pruneSnapshotDiskCache(const QString &directory, const QDateTime &now);

} // namespace qv
