#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

namespace qv {

// One thing a pasteboard scan found, with the source name of its snapshot.
struct ScanPayload
{
    enum Kind { Text, ImageData, ImageFileURL };
    Kind kind = Text;
    QString text;         // Text
    QByteArray imageData; // ImageData
    QUrl fileURL;         // ImageFileURL
    QString source;

    static ScanPayload makeText(const QString &text, const QString &source)
    {
        return {Text, text, {}, {}, source};
    }
    static ScanPayload makeImageData(const QByteArray &data, const QString &source)
    {
        return {ImageData, {}, data, {}, source};
    }
    static ScanPayload makeImageFile(const QUrl &url, const QString &source)
    {
        return {ImageFileURL, {}, {}, url, source};
    }
    bool operator==(const ScanPayload &) const = default;
};

// One snapshot of the pasteboard, as the capture loop sees it.
struct ScanResult
{
    // The change count differs from the one the snapshot was asked about.
    bool didChange = false;
    // The change count the snapshot stands for.
    qint64 changeCount = 0;
    // The change is one of our own copy backs.
    bool isSelfCopy = false;
    QList<ScanPayload> payloads;
    // Types the pasteboard announced; 0 when nothing was scanned.
    int availableTypesCount = 0;
    QString sourceName;
};

} // namespace qv
