#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

#include "platform/droptypes.h"

namespace qv {

// The image types a drag may carry as encoded data, in the order the intake prefers them.
inline const QStringList &dropImageTypes()
{
    return DropType::imageTypes();
}

// One item of a drag, as the drop target read it.
struct DropDataItem
{
    // A file address the item carries as data of its own, when any.
    std::optional<QUrl> fileURL;
    // Encoded image data by MIME type ("image/png", "image/tiff", ...), as offered.
    QList<QPair<QString, QByteArray>> imageData;
    // The item's own title for a link or image ("text/x-moz-url"'s second line), when any.
    QString urlName;
};

// Everything a drop offered, read once on the main thread so the intake never touches the drag.
struct DropData
{
    // Addresses of local files, in drag order.
    QList<QUrl> fileURLs;
    QList<DropDataItem> items;
    // Decoded image objects handed over by the drag source itself.
    QList<QImage> images;
    // The drag's link title, when any.
    QString urlName;
    // Every address offered, of any scheme, in drag order.
    QList<QUrl> urls;
    // The drag offered more than was read (a list past its bounds, more files than the shelf holds).
    bool cut = false;
    // What the drop offered that its reader refused unread, each with why ("image/png: too large
    // (more than 50 MB)").
    QStringList notRead;
};

} // namespace qv
