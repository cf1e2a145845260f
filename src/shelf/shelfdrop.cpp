// The drop intake of FileShelfManager: what a drop offered, taken in stage by stage.

#include "shelf/fileshelfmanager.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageReader>
#include <QLoggingCategory>
#include <QSet>

#include "core/diagnostics/diagevents.h"
#include "platform/imagedecoding.h"
#include "platform/urilist.h"

namespace qv {

namespace {

Q_LOGGING_CATEGORY(lcDrop, "quorvantis.shelf.drop")

// True when the data announces a picture the decoders know (its header only is read).
bool looksLikeImage(const QByteArray &data)
{
    QByteArray copy = data;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    return reader.canRead() && reader.size().isValid();
}

// The item's image candidates in preference order; the intake decodes the first that works.
QList<QByteArray> imageCandidates(const DropDataItem &item)
{
    QList<QByteArray> candidates;
    for (const QString &type : dropImageTypes()) {
        for (const auto &[offered, data] : item.imageData) {
            if (offered == type && looksLikeImage(data))
                candidates.append(data);
        }
    }
    return candidates;
}

} // namespace

QList<QUrl> FileShelfManager::takenFiles(const QList<QUrl> &offered, bool offeredMore)
{
    // A drop of thousands of files (or one file listed thousands of times) used to copy every entry,
    // duplicates under new names, far past what the shelf holds, and held the interface for minutes.
    QList<QUrl> files;
    QSet<QString> seen;
    bool cut = offeredMore;
    for (const QUrl &url : offered) {
        const QString key = UriList::fileKey(url);
        if (seen.contains(key))
            continue;
        if (files.size() == capacity) {
            cut = true;
            break;
        }
        seen.insert(key);
        files.append(url);
    }
    if (cut) {
        qCWarning(lcDrop).noquote()
            << QStringLiteral(
                   "⚠️ The drop offered more than the shelf takes at once (%1 files): took the first "
                   "%2, left out the rest")
                   .arg(capacity)
                   .arg(files.size());
        log(DiagEvents::shelfDropCut, QStringLiteral("taken=%1").arg(files.size()));
    }
    return files;
}

bool FileShelfManager::isImageURL(const QUrl &webURL)
{
    if (imageExtensions().contains(splitExtension(webURL.fileName()).second.toLower()))
        return true;
    static const QStringList words = {
        QStringLiteral("format=jpg"),  QStringLiteral("format=jpeg"), QStringLiteral("format=png"),
        QStringLiteral("format=webp"), QStringLiteral("fm=jpg"),      QStringLiteral("fm=jpeg"),
        QStringLiteral("fm=png"),      QStringLiteral("fm=webp"),     QStringLiteral("image")};
    const QString address = webURL.toString(QUrl::FullyEncoded).toLower();
    return std::any_of(words.begin(), words.end(),
                       [&address](const QString &word) { return address.contains(word); });
}

bool FileShelfManager::handleDrop(const DropData &drop)
{
    // Files, in drag order.
    if (!drop.fileURLs.isEmpty()) {
        const QList<QUrl> files = takenFiles(drop.fileURLs, drop.cut);
        for (const QUrl &url : files) {
            qCInfo(lcDrop).noquote() << QStringLiteral("✅ AppKitDropZone 收到文件: ") + url.fileName();
            qCInfo(lcDrop).noquote() << QStringLiteral("📥 addFileDirectly 收到: ") + url.fileName();
        }
        intakeFiles(files);
        return true;
    }

    // File addresses carried as item data.
    QList<QUrl> carried;
    for (const DropDataItem &item : drop.items) {
        if (item.fileURL && item.fileURL->isLocalFile())
            carried.append(*item.fileURL);
    }
    if (!carried.isEmpty()) {
        const QList<QUrl> files = takenFiles(carried, drop.cut);
        for (const QUrl &url : files) {
            qCInfo(lcDrop).noquote() << QStringLiteral("✅ AppKitDropZone 备用路径收到: ") + url.fileName();
            qCInfo(lcDrop).noquote() << QStringLiteral("📥 addFileDirectly 收到: ") + url.fileName();
        }
        intakeFiles(files);
        return true;
    }
    bool found = false;

    // Images handed over whole.
    if (!drop.images.isEmpty()) {
        const std::optional<QString> name =
            drop.urlName.isEmpty() ? std::nullopt : std::optional<QString>(drop.urlName);
        for (const QImage &image : drop.images)
            intake([this, image, name] { addImage(image, name); });
        return true;
    }

    // Encoded image data, at most one picture an item.
    for (const DropDataItem &item : drop.items) {
        const QList<QByteArray> candidates = imageCandidates(item);
        if (candidates.isEmpty())
            continue;
        found = true;
        const std::optional<QString> name =
            item.urlName.isEmpty() ? std::nullopt : std::optional<QString>(item.urlName);
        intake([this, candidates, name] {
            QString refusal;
            for (const QByteArray &data : candidates) {
                const QImage image = ImageDecoding::readData(data, QSize(), nullptr, &refusal);
                if (!image.isNull()) {
                    addImage(image, name);
                    return;
                }
            }
            if (refusal.isEmpty()) {
                log(DiagEvents::shelfIntakeError, QStringLiteral("image data does not decode"));
                return;
            }
            qCWarning(lcDrop).noquote()
                << QStringLiteral("❌ A dropped picture was not taken: %1").arg(refusal);
            log(DiagEvents::shelfIntakeError, QStringLiteral("image refused: %1").arg(refusal));
        });
    }
    if (found)
        return true;

    // Web addresses: the first that names an image, else the first of all; only that one is taken.
    QList<QUrl> web;
    for (const QUrl &url : drop.urls) {
        const QString scheme = url.scheme().toLower();
        if (scheme == QLatin1String("http") || scheme == QLatin1String("https"))
            web.append(url);
    }
    if (!web.isEmpty()) {
        const auto image =
            std::find_if(web.begin(), web.end(), [](const QUrl &url) { return isImageURL(url); });
        const QUrl chosen = image != web.end() ? *image : web.first();
        qCInfo(lcDrop).noquote() << QStringLiteral("🌐 AppKitDropZone 收到网络 URL: ") +
                                        chosen.toString(QUrl::FullyEncoded);
        downloadRemoteImage(chosen);
        return true;
    }

    if (!drop.notRead.isEmpty()) {
        // The drop held something, refused unread: said for what it was.
        const QString causes = drop.notRead.join(QStringLiteral("; "));
        qCWarning(lcDrop).noquote() << QStringLiteral("❌ A dropped picture was not taken: %1").arg(causes);
        log(DiagEvents::shelfIntakeError, QStringLiteral("image refused: %1").arg(causes));
        return false;
    }
    qCInfo(lcDrop).noquote() << QStringLiteral("❌ AppKitDropZone: 未能从 Pasteboard 读取任何文件或链接");
    return false;
}

} // namespace qv
