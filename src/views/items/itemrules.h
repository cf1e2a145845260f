#pragma once

#include <optional>

#include <QDateTime>
#include <QLocale>
#include <QSize>
#include <QString>
#include <QUrl>

namespace qv {

struct ShelfItem;

// Rules the item views share, kept free of widgets so they can be checked on their own.
namespace ItemRules {

// The device every local copy comes from; any other value (an empty one too) marks a remote item.
inline const QString localDevice = QStringLiteral("This Mac");
bool isRemote(const QString &deviceSource);

// Pictures and films get the full thumbnail in the edge tile: the lower-cased extension must be one
// of a fixed fourteen (tif, heif and names without an extension are not).
bool isMediaFile(const QUrl &url);

// A shelf link file: the extension is exactly "webloc" (case-sensitive). Pending until its page
// metadata fetch ended.
bool isLink(const QUrl &url);
bool isPendingLink(const ShelfItem &item);
// The web address of a link item when it is an http(s) address; nothing for every other item.
std::optional<QUrl> webAddress(const ShelfItem &item);
// What opening and previewing an item hands to the desktop: a link item's web address (nothing on
// Linux opens the stored ".webloc" file), else the file.
QUrl openTarget(const ShelfItem &item);

// The file name without its last extension ("Report.final.pdf" gives "Report.final"); a leading
// dot alone is no extension.
QString fileNameWithoutExtension(const QUrl &url);
// The custom name when there is one (even an empty one), else the file name without its extension.
QString shelfDisplayName(const ShelfItem &item);

// The title of a clipboard picture: "Image • 1920×1080".
QString imageTitle(const QSize &size);

// The time elapsed from `date` to `now` the way a live age reads: "12 sec", "3 min, 4 sec",
// "2 hr, 5 min", "3 days, 4 hr". A date in the future reads as no time elapsed.
// The time of day with seconds in the locale's own order and clock ("14:05:09", "2:05:09 PM"),
// without a time zone.
QString timeWithSeconds(const QDateTime &date, const QLocale &locale);

QString relativeAge(const QDateTime &date, const QDateTime &now);

} // namespace ItemRules
} // namespace qv
