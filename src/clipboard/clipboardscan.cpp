// Reading one pasteboard snapshot into payloads, and the snapshots of the capture loop.
#include "clipboard/clipboardmanager.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QLoggingCategory>
#include <QMimeDatabase>
#include <QSet>

#include "clipboard/graphemes.h"
#include "clipboard/richtext.h"
#include "platform/pasteboard.h"

// The scan's lines name every offered type and every copied file: clipboard contents that have no
// place in a session log. Debug level, off unless diagnostics are on or QT_LOGGING_RULES asks.
Q_LOGGING_CATEGORY(lcClipboardScan, "quorvantis.clipboard.scan", QtInfoMsg)

namespace qv {

namespace {

const QStringList &plainTextTypes()
{
    static const QStringList types = {PasteboardType::plainText, PasteboardType::utf8String,
                                      PasteboardType::utf16Text, PasteboardType::text};
    return types;
}

QString quotedList(const QStringList &types)
{
    QStringList quoted;
    for (const auto &type : types)
        quoted.append(QLatin1Char('"') + type + QLatin1Char('"'));
    return QLatin1Char('[') + quoted.join(QLatin1String(", ")) + QLatin1Char(']');
}

bool isImageType(const QMimeType &type)
{
    if (type.name().startsWith(QLatin1String("image/")))
        return true;
    for (const auto &ancestor : type.allAncestors()) {
        if (ancestor.startsWith(QLatin1String("image/")))
            return true;
    }
    return false;
}

// PNG, then TIFF, then any other image type the item announces that can be decoded (JPEG, GIF, BMP,
// WebP... as X11 programs offer them), in the owner's order.
QStringList imageTypesOf(const QStringList &itemTypes)
{
    static const QSet<QString> decodable = [] {
        QSet<QString> names;
        for (const QByteArray &name : QImageReader::supportedMimeTypes())
            names.insert(QString::fromLatin1(name));
        return names;
    }();
    QStringList types;
    for (const auto &preferred : {PasteboardType::png, PasteboardType::tiff}) {
        if (itemTypes.contains(preferred))
            types.append(preferred);
    }
    for (const auto &type : itemTypes) {
        if (type.startsWith(QLatin1String("image/")) && decodable.contains(type) && !types.contains(type))
            types.append(type);
    }
    return types;
}

// One scan's working state.
struct Scan
{
    QString source;
    QList<ScanPayload> payloads;
    QSet<QString> seenPaths;
    QMimeDatabase mimes;

    // At most one payload per file: an image file as itself, anything else as its name. A copy of
    // more files than the history holds is cut there, so the capture stays cheap.
    void appendFilePayload(const QUrl &url)
    {
        const QString path = QDir::cleanPath(url.toLocalFile());
        if (path.isEmpty() || seenPaths.contains(path) || seenPaths.size() >= PasteboardType::maxFiles)
            return;
        seenPaths.insert(path);
        const QFileInfo info(path);
        // A file that cannot be looked at has no known content type.
        const QMimeType type = info.exists()
                                   ? mimes.mimeTypeForFile(info)
                                   : mimes.mimeTypeForName(QStringLiteral("application/octet-stream"));
        if (isImageType(type))
            payloads.append(ScanPayload::makeImageFile(QUrl::fromLocalFile(path), source));
        else
            payloads.append(ScanPayload::makeText(info.fileName(), source));
    }
};

// Cut to what capture keeps here, off the main thread, so neither the choice between candidates nor
// the main thread ever walks a text past that bound.
std::optional<QString> trimmedCappedText(const std::optional<QString> &text)
{
    if (!text)
        return std::nullopt;
    QString trimmed = text->trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    return cappedText(trimmed, ClipboardManager::maxTextLength, ClipboardManager::maxTextUnitsPerCharacter);
}

} // namespace

QUrl ClipboardManager::parseFileURLString(const QString &string)
{
    // Tolerant: owners (and our own backends) hand over file URLs with spaces and other characters
    // left unencoded; strict parsing would take them for relative paths.
    const QUrl url(string, QUrl::TolerantMode);
    if (url.isValid() && url.isLocalFile())
        return url;
    QString trimmed = string.trimmed();
    if (trimmed.isEmpty())
        return {};
    // A path that starts with two slashes names the same file as with one; taken as is it would
    // become a network host ("//[x" an invalid one), not a path.
    while (trimmed.startsWith(QLatin1String("//")))
        trimmed.remove(0, 1);
    const QUrl path = QUrl::fromLocalFile(trimmed);
    return path.isValid() ? path : QUrl();
}

std::optional<QString> ClipboardManager::extractText(const PasteboardSnapshot &pasteboard,
                                                     const QStringList &types)
{
    if (types.contains(PasteboardType::plainText)) {
        if (auto text = trimmedCappedText(pasteboard.string(PasteboardType::plainText)))
            return text;
    }
    std::optional<QString> best;
    int bestLength = 0;
    for (int item = 0; item < pasteboard.itemCount(); ++item) {
        const QStringList itemTypes = pasteboard.itemTypes(item);
        for (const auto &type : plainTextTypes()) {
            if (!itemTypes.contains(type))
                continue;
            const auto candidate = trimmedCappedText(pasteboard.itemString(item, type));
            if (!candidate)
                continue;
            const int length = graphemeCount(*candidate);
            if (!best || length > bestLength) {
                best = candidate;
                bestLength = length;
            }
        }
    }
    if (best)
        return best;
    return extractRichText(pasteboard, types);
}

std::optional<QString> ClipboardManager::extractRichText(const PasteboardSnapshot &pasteboard,
                                                         const QStringList &types)
{
    if (types.contains(PasteboardType::rtf)) {
        if (const auto data = pasteboard.data(PasteboardType::rtf)) {
            if (auto text = trimmedCappedText(rtfToPlainText(*data)))
                return text;
        }
    }
    if (types.contains(PasteboardType::html)) {
        if (const auto data = pasteboard.data(PasteboardType::html)) {
            if (auto text = trimmedCappedText(htmlToPlainText(*data)))
                return text;
        }
    }
    return std::nullopt;
}

ScanResult ClipboardManager::scanPasteboard(const PasteboardSnapshot &pasteboard, qint64 changeCount)
{
    const QStringList types = pasteboard.types();
    Scan scan;
    // Linux has no marker for contents handed over from another device: everything is local.
    scan.source = thisMac;

    const int itemCount = pasteboard.itemCount();
    if (itemCount > 0) {
        qCDebug(lcClipboardScan).noquote()
            << QStringLiteral("📋 [ClipboardDebug] pasteboard has %1 items").arg(itemCount);
        for (int i = 0; i < itemCount; ++i) {
            qCDebug(lcClipboardScan).noquote() << QStringLiteral("📋 [ClipboardDebug] item[%1] types: %2")
                                                      .arg(i)
                                                      .arg(quotedList(pasteboard.itemTypes(i)));
        }
        for (int i = 0; i < itemCount; ++i) {
            const QStringList itemTypes = pasteboard.itemTypes(i);
            if (itemTypes.contains(PasteboardType::fileURL)) {
                if (const auto string = pasteboard.itemString(i, PasteboardType::fileURL)) {
                    const QUrl url = parseFileURLString(*string);
                    if (url.isValid() && !url.isEmpty()) {
                        qCDebug(lcClipboardScan).noquote()
                            << "📋 [ClipboardDebug] found fileURL: " + url.fileName();
                        scan.appendFilePayload(url);
                        continue;
                    }
                }
            }
            if (itemTypes.contains(PasteboardType::fileNames)) {
                if (const auto paths = pasteboard.itemStringArray(i, PasteboardType::fileNames)) {
                    for (const auto &path : *paths)
                        scan.appendFilePayload(QUrl::fromLocalFile(path));
                    continue;
                }
            }
            // Larger images are left out, not cut.
            for (const auto &imageType : imageTypesOf(itemTypes)) {
                const auto data = pasteboard.itemData(i, imageType);
                if (data && data->size() <= maxImageBytes) {
                    scan.payloads.append(ScanPayload::makeImageData(*data, scan.source));
                    break;
                }
            }
        }
    }
    if (scan.payloads.isEmpty() && types.contains(PasteboardType::fileNames)) {
        if (const auto paths = pasteboard.stringArray(PasteboardType::fileNames)) {
            for (const auto &path : *paths)
                scan.appendFilePayload(QUrl::fromLocalFile(path));
        }
    }
    qCDebug(lcClipboardScan).noquote()
        << QStringLiteral("📋 [ClipboardDebug] total payloads: %1, seenPaths: %2")
               .arg(scan.payloads.size())
               .arg(scan.seenPaths.size());
    if (scan.payloads.isEmpty()) {
        if (const auto text = extractText(pasteboard, types))
            scan.payloads.append(ScanPayload::makeText(*text, scan.source));
    }

    ScanResult result;
    result.didChange = true;
    result.changeCount = changeCount;
    result.isSelfCopy = false;
    result.payloads = scan.payloads;
    result.availableTypesCount = int(types.size());
    result.sourceName = scan.source;
    return result;
}

ScanResult ClipboardManager::takeSnapshot(Pasteboard &pasteboard, qint64 lastChangeCount,
                                          std::optional<qint64> selfCopyChangeCount)
{
    const qint64 current = pasteboard.changeCount();
    ScanResult result;
    result.sourceName = thisMac;
    if (current == lastChangeCount) {
        result.changeCount = lastChangeCount;
        return result;
    }
    // Our own copy back is known by the change it produced, never by how recent it is: a genuine
    // copy made right after it must still be captured.
    if ((selfCopyChangeCount && *selfCopyChangeCount == current) || pasteboard.isOwnChange(current)) {
        result.didChange = true;
        result.isSelfCopy = true;
        result.changeCount = current;
        return result;
    }
    return scanPasteboard(pasteboard.read(), current);
}

ScanResult ClipboardManager::retrySnapshot(Pasteboard &pasteboard, qint64 expectedChangeCount)
{
    const qint64 current = pasteboard.changeCount();
    if (current != expectedChangeCount) {
        ScanResult result;
        result.changeCount = current;
        result.sourceName = thisMac;
        return result;
    }
    return scanPasteboard(pasteboard.read(), expectedChangeCount);
}

} // namespace qv
