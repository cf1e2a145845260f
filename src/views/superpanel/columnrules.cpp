#include "views/superpanel/columnrules.h"

#include <QTextBoundaryFinder>

#include <algorithm>
#include <cmath>

namespace qv {

namespace ColumnRules {

Split split(double height, const QMarginsF &safe)
{
    Split parts;
    parts.bottom = safe.bottom() > 0 ? 10 : 20;
    const double bottomInset = safe.bottom() > 0 ? safe.bottom() : 20;
    const double available = std::max(0.0, height - topSpacer - bottomInset - 20);
    parts.clipboard = clipboardShare * available;
    parts.shelf = available - parts.clipboard;
    return parts;
}

QRectF bubbleFrame(double columnWidth, double eyeMidY, double columnTop, bool isImage)
{
    const double height = isImage ? 240 : 180;
    return {(columnWidth - bubbleWidth) / 2, eyeMidY - columnTop + bubbleOffset, bubbleWidth, height};
}

BubbleContent bubbleContent(const ClipboardItem &item, bool maskSensitive)
{
    if (item.isImage) {
        if (!item.thumbnail.isNull())
            return BubbleContent::Thumbnail;
        if (item.imageURL.isValid() && !item.imageURL.isEmpty())
            return BubbleContent::File;
        return BubbleContent::Nothing;
    }
    if (item.isSensitive && maskSensitive)
        return BubbleContent::Protected;
    return BubbleContent::Text;
}

QString charCount(const QString &text)
{
    int count = 0;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    while (finder.toNextBoundary() > 0)
        ++count;
    return QStringLiteral("%1 chars").arg(count);
}

int adaptiveColumns(double width, double minWidth, double spacing)
{
    if (width <= minWidth)
        return 1;
    return std::max(1, int(std::floor((width + spacing) / (minWidth + spacing))));
}

} // namespace ColumnRules

} // namespace qv
