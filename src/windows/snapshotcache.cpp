#include "windows/snapshotcache.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "platform/ownedfiles.h"

namespace qv {

namespace {
constexpr int blankCanvasSide = 72;
constexpr double blankVisibleShare = 0.05;
constexpr int blankAlphaThreshold = 5;
} // namespace

QString snapshotCacheKey(const QString &bundleIdentifier, const QString &title, const QString &appName)
{
    const QString bundle = bundleIdentifier.trimmed().toLower();
    QString name = title.trimmed().toLower();
    if (name.isEmpty())
        name = appName.trimmed().toLower();
    return bundle + u'|' + name;
}

QString sha256Hex(const QByteArray &data)
{
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex());
}

QString snapshotFileName(const QString &key)
{
    return sha256Hex(key.toUtf8()) + QStringLiteral(".png");
}

QString snapshotWindowFileName(const WindowInfo &window)
{
    const QString key = snapshotCacheKey(window.ownerBundleIdentifier, window.title.value_or(QString()),
                                         window.ownerName);
    return snapshotFileName(key + QStringLiteral("|%1|%2").arg(window.windowId).arg(window.ownerPID));
}

QSize snapshotCaptureSize(const QSizeF &frameSize)
{
    const double frameWidth = frameSize.width();
    const double frameHeight = frameSize.height();
    const int width = int(std::clamp(std::trunc(frameWidth), 320.0, 640.0));
    double aspect = frameWidth <= 1 ? frameHeight : frameHeight / frameWidth;
    aspect = std::clamp(aspect, 0.2, 5.0);
    const int height = std::clamp(int(std::trunc(aspect * width)), 120, 900);
    return QSize(width, height);
}

bool snapshotFitsFrame(const QImage &image, const QSizeF &frameSize)
{
    if (frameSize.isEmpty())
        return true;
    const QSize captured =
        frameSize.scaled(QSizeF(snapshotCaptureSize(frameSize)), Qt::KeepAspectRatio).toSize();
    return std::abs(image.width() - captured.width()) <= 1 &&
           std::abs(image.height() - captured.height()) <= 1;
}

bool isSnapshotBlank(const QImage &image)
{
    if (image.isNull())
        return true;
    QImage canvas(blankCanvasSide, blankCanvasSide, QImage::Format_RGBA8888_Premultiplied);
    if (canvas.isNull())
        return true;
    canvas.fill(0);
    {
        QPainter painter(&canvas);
        painter.drawImage(QRectF(0, 0, blankCanvasSide, blankCanvasSide), image);
    }
    int visible = 0;
    for (int y = 0; y < blankCanvasSide; ++y) {
        const uchar *row = canvas.constScanLine(y);
        for (int x = 0; x < blankCanvasSide; ++x)
            visible += row[x * 4 + 3] >= blankAlphaThreshold ? 1 : 0;
    }
    return double(visible) / double(blankCanvasSide * blankCanvasSide) < blankVisibleShare;
}

bool isUsableSnapshot(const QImage &image)
{
    return !image.isNull() && image.width() >= 2 && image.height() >= 2;
}

QString snapshotDiskCacheDirectory()
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (base.isEmpty())
        base = QDir::tempPath();
    return QDir(base).filePath(QStringLiteral("QuorvantisSnapshotCache"));
}

QImage readSnapshotFile(const QString &path)
{
    // A snapshot is a PNG of one window; anything larger, or not a regular file, is not one of ours.
    const auto read = OwnedFiles::readRegularFile(path, SnapshotLimits::diskMaximumFileBytes);
    QImage image;
    if (read.problem != OwnedFiles::ReadResult::None || !image.loadFromData(read.bytes) ||
        !isUsableSnapshot(image))
        return QImage();
    return image;
}

bool writeSnapshotFile(const QString &path, const QImage &image)
{
    if (!isUsableSnapshot(image))
        return false;
    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        if (!image.save(&buffer, "PNG"))
            return false;
    }
    // Replaced only inside a real folder of ours, and only a regular file: never through a link.
    const QFileInfo info(path);
    const OwnedFiles::Folder folder(info.absolutePath());
    if (!folder.isOpen() || info.isSymLink() || (info.exists() && !info.isFile()))
        return false;
    // Unless committed, the new file is discarded and the old one stays.
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(png) == png.size() && file.commit();
}

void sortCacheFilesByDate(QList<CacheFile> &files)
{
    std::stable_sort(files.begin(), files.end(),
                     [](const CacheFile &a, const CacheFile &b) { return a.modDate < b.modDate; });
}

void pruneSnapshotDiskCache(const QString &directory, const QDateTime &now)
{
    // Entries of a real folder of ours only: a link in its place is never pruned.
    const OwnedFiles::Folder folder(directory);
    if (!folder.isOpen())
        return;
    const QDir dir(folder.path());
    // Without QDir::Hidden, hidden files are not listed; symbolic links are not regular files.
    const QFileInfoList entries = dir.entryInfoList(QDir::Files | QDir::NoSymLinks | QDir::NoDotAndDotDot);
    QList<CacheFile> kept;
    qint64 total = 0;
    for (const QFileInfo &entry : entries) {
        if (!entry.isFile())
            continue;
        const QDateTime modified = entry.lastModified();
        const bool tooOld =
            !modified.isValid() || modified.msecsTo(now) / 1000.0 > SnapshotLimits::diskMaximumAge;
        if (tooOld) {
            folder.removeEntry(folder.entryName(entry.filePath()));
            continue;
        }
        kept.append(CacheFile{entry.filePath(), modified, entry.size()});
        total += entry.size();
    }
    sortCacheFilesByDate(kept);
    for (const CacheFile &file : kept) {
        if (total <= SnapshotLimits::diskMaximumTotal)
            break;
        folder.removeEntry(folder.entryName(file.path));
        total -= file.size;
    }
}

} // namespace qv
