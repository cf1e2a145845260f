#pragma once

#include <QDateTime>
#include <QImage>
#include <QMetaType>
#include <QString>
#include <QUrl>
#include <QUuid>

#include <optional>

#include "core/itemthumbnail.h"

namespace qv {

// One entry of the file shelf. Looked up by `id`; two records are equal when every field is (the
// thumbnail by its image's identity).
struct ShelfItem
{
    QUuid id;
    // The copy in the shelf folder, the dropped file itself when copying failed, or a link's
    // ".webloc" file.
    QUrl url;
    // The file's MIME type name; FileShelfManager::genericContentType when it cannot be told.
    QString type;
    // The file's icon at first, then its thumbnail (kept as PNG, decoded while a view shows it) or a
    // link's page icon.
    ItemThumbnail thumbnail;
    QDateTime date;
    // The web address of a link item; absent for every other item (downloaded images included).
    std::optional<QUrl> originalWebURL;
    // The page title a link fetch found; otherwise absent.
    std::optional<QString> customName;
    // True once the link fetch for the item ended, whatever its outcome.
    bool isWebFetched = false;
    bool isPinned = false;

    bool operator==(const ShelfItem &other) const
    {
        return id == other.id && url == other.url && type == other.type &&
               thumbnail.cacheKey() == other.thumbnail.cacheKey() && date == other.date &&
               originalWebURL == other.originalWebURL && customName == other.customName &&
               isWebFetched == other.isWebFetched && isPinned == other.isPinned;
    }
};

} // namespace qv

Q_DECLARE_METATYPE(qv::ShelfItem)
