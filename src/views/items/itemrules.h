#pragma once

#include <optional>

#include <QDateTime>
#include <QLocale>
#include <QSize>
#include <QString>
#include <QUrl>

#include "core/applanguage.h"

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

// The title of a clipboard picture in `language`: "Image • 1920×1080".
QString imageTitle(const QSize &size, AppLanguage language);

// The time of day with seconds in the locale's own order and clock ("14:05:09", "2:05:09 PM"),
// without a time zone.
QString timeWithSeconds(const QDateTime &date, const QLocale &locale);

// The time elapsed from `date` to `now` the way a live age reads, in the short units of `language`
// and at most two of them: "12 sec", "3 min, 4 sec", "2 hr, 5 min", "3 days, 4 hr" in English,
// "3 Min., 4 Sek." in German, "3分4秒" in Japanese. A date in the future reads as no time elapsed.
QString relativeAge(const QDateTime &date, const QDateTime &now, AppLanguage language);

// How much of a clipboard text a view lays out. The stored text stays whole (copying gives all of
// it), but laying out all of it stalls: Qt's line breaking is quadratic on a long line without
// spaces, and every line is a block to lay out.
struct TextBounds
{
    qsizetype units;     // UTF-16 units in all
    int lines;           // lines in all
    qsizetype lineUnits; // UTF-16 units in one line; a longer line ends in "…"
};
// Cards and rows never show more than twelve lines of a few dozen characters.
inline constexpr TextBounds cardText{2000, 12, 2000};
// A one-line title, elided to its width.
inline constexpr TextBounds firstLineText{500, 1, 500};
// The scrolling previews: several screens of text, each line within a few milliseconds of layout.
inline constexpr TextBounds previewText{10000, 1000, 2000};
// Marks kept on one character: enough for the scripts that stack them, and few enough to stay
// near their line.
inline constexpr int maxMarksPerCharacter = 6;

// The start of `text` a view draws, within `bounds` and ending in "…" when cut, never splitting a
// surrogate pair. Characters that draw nothing at the start (zero-width and bidi controls, the byte
// order mark, marks with no letter before them) are left out so that something visible shows; a
// text of nothing else is kept as it is. Marks past `maxMarksPerCharacter` on one
// character are left out. Reads the invisible start, then at most eight times `bounds.units`.
QString displayText(const QString &text, const TextBounds &bounds);

} // namespace ItemRules
} // namespace qv
