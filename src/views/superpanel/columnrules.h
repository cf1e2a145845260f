#pragma once

#include <QList>
#include <QMarginsF>
#include <QRectF>
#include <QString>

#include "clipboard/clipboarditem.h"

namespace qv {

// Placement and content rules of the Super Panel's clipboard and shelf column, kept apart from the
// widgets so they can be checked without pixels.
namespace ColumnRules {

inline constexpr double topSpacer = 60;
inline constexpr double dividerHeight = 1;
inline constexpr double clipboardShare = 0.6;
inline constexpr double headerPadding = 16;
inline constexpr double listPadding = 12;
inline constexpr double listSpacing = 2;
// The room a separator takes under a row: its line and 4 above and below, after the row's spacing.
inline constexpr double separatorBlock = 2 + 4 + 1 + 4;
inline constexpr double separatorInset = 8;
inline constexpr double tileMinWidth = 80;
inline constexpr double tileSpacing = 10;
inline constexpr double bubbleWidth = 290;
inline constexpr double bubbleOffset = 25;
inline constexpr double eyeLeaveDelay = 0.2;
inline constexpr double bubbleLeaveDelay = 0.08;
inline constexpr double openDelay = 0.2;
// The spring of deleting, removing and clearing items, and of closing a gallery or a preview.
inline constexpr double springResponse = 0.3;
inline constexpr double springDamping = 0.7;
inline constexpr int galleryClipLimit = 20;

// The column's height from top to bottom: the heights of its five stacked parts.
struct Split
{
    double top = topSpacer;
    double clipboard = 0;
    double divider = dividerHeight;
    double shelf = 0;
    double bottom = 20;
};
// `safe` holds the column's safe-area insets; only the bottom one changes the split. Never negative.
Split split(double height, const QMarginsF &safe);

// The bubble's frame in the column: centred across its width, its top 25 below the eye's middle.
// `eyeMidY` and `columnTop` are measured in one coordinate space; the frame is not clamped.
QRectF bubbleFrame(double columnWidth, double eyeMidY, double columnTop, bool isImage);

// What the bubble shows below its header, in order of precedence.
enum class BubbleContent { Thumbnail, File, Nothing, Protected, Text };
BubbleContent bubbleContent(const ClipboardItem &item, bool maskSensitive);

// The number of characters a person sees (grapheme clusters), then " chars".
QString charCount(const QString &text);

// Columns of at least `minWidth` that fit `width` with `spacing` between them; at least one.
int adaptiveColumns(double width, double minWidth, double spacing);

// The clipboard gallery: the 20 newest items, even positions on the left, odd on the right.
template <typename T> struct GalleryColumns
{
    QList<T> left;
    QList<T> right;
};
template <typename T> GalleryColumns<T> galleryColumns(const QList<T> &items)
{
    GalleryColumns<T> columns;
    const qsizetype count = std::min<qsizetype>(items.size(), galleryClipLimit);
    for (qsizetype i = 0; i < count; ++i)
        (i % 2 == 0 ? columns.left : columns.right).append(items.at(i));
    return columns;
}

} // namespace ColumnRules

} // namespace qv
