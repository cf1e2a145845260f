// The pasteboard scan over a simulated pasteboard whose items, types and bytes come from the input,
// and the caching of every image it finds (decoding and thumbnail included).
#include <QDir>
#include <QTemporaryDir>

#include <fuzzer/FuzzedDataProvider.h>

#include "clipboard/clipboardmanager.h"
#include "fuzzsupport.h"
#include "platform/sim/simpasteboard.h"

namespace {

QString pickType(FuzzedDataProvider &input)
{
    using namespace qv::PasteboardType;
    static const QStringList known = {fileURL,
                                      fileNames,
                                      png,
                                      tiff,
                                      plainText,
                                      utf8String,
                                      utf16Text,
                                      text,
                                      rtf,
                                      html,
                                      QStringLiteral("image/jpeg")};
    if (input.ConsumeBool())
        return QString::fromStdString(input.ConsumeRandomLengthString(24));
    return known.at(input.ConsumeIntegralInRange<qsizetype>(0, known.size() - 1));
}

QVariant pickValue(FuzzedDataProvider &input)
{
    switch (input.ConsumeIntegralInRange(0, 3)) {
    case 0:
        return QString::fromStdString(input.ConsumeRandomLengthString(512));
    case 1: {
        QStringList list;
        for (int n = input.ConsumeIntegralInRange(0, 3); n > 0; --n)
            list.append(QString::fromStdString(input.ConsumeRandomLengthString(64)));
        return list;
    }
    case 2:
        return QVariant(); // announced, never delivered
    default: {
        const std::string raw = input.ConsumeRandomLengthString(1 << 16);
        return QByteArray(raw.data(), qsizetype(raw.size()));
    }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir cache;
    FuzzedDataProvider input(data, size);
    QStringList types;
    QList<qv::PasteboardItem> items;
    for (int n = input.ConsumeIntegralInRange(0, 3); n > 0; --n) {
        qv::PasteboardItem item;
        for (int t = input.ConsumeIntegralInRange(1, 3); t > 0; --t) {
            const QString type = pickType(input);
            item.types.append(type);
            const QVariant value = pickValue(input);
            if (value.isValid())
                item.values.insert(type, value);
            if (!types.contains(type))
                types.append(type);
        }
        items.append(item);
    }
    qv::SimPasteboard pasteboard;
    const qint64 count = pasteboard.setContents(types, items);
    const qv::ScanResult result = qv::ClipboardManager::scanPasteboard(pasteboard.read(), count);
    for (const auto &payload : result.payloads) {
        if (payload.kind != qv::ScanPayload::ImageData)
            continue;
        // A payload that is not a whole decodable image leaves nothing behind in the cache.
        const auto record = qv::ClipboardManager::cacheImageData(payload.imageData, cache.path());
        const QStringList left = QDir(cache.path()).entryList(QDir::Files);
        if (left.size() != (record ? 1 : 0))
            __builtin_trap();
        for (const auto &name : left)
            QFile::remove(cache.filePath(name));
    }
    return 0;
}
