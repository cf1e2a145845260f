#pragma once

#include <QStringList>

#include "platform/urilist.h"

namespace qv {

// What our drop targets read of a drag, and how much of each: a backend that reads a drop's data
// ahead of the target reads these types, within these bounds, and nothing else.
namespace DropType {

inline const QString uriList = QStringLiteral("text/uri-list");
// A browser's link: the address and its title on two lines.
inline const QString mozUrl = QStringLiteral("text/x-moz-url");

// The image types a drag may carry as encoded data, in the order the intake prefers them.
inline const QStringList &imageTypes()
{
    static const QStringList types = {QStringLiteral("image/png"),  QStringLiteral("image/tiff"),
                                      QStringLiteral("image/jpeg"), QStringLiteral("image/jpg"),
                                      QStringLiteral("image/gif"),  QStringLiteral("image/heic"),
                                      QStringLiteral("image/heif"), QStringLiteral("image/webp"),
                                      QStringLiteral("image/avif"), QStringLiteral("image/bmp")};
    return types;
}

// A file list is read as far as its parse looks (one byte more tells the parse it was cut).
inline constexpr qsizetype maxUriListBytes = UriList::defaultMaxBytes + 1;
// One address and its title.
inline constexpr qsizetype maxMozUrlBytes = 64 * 1024;
// One picture's encoded bytes; a larger one is not taken.
inline constexpr qsizetype maxImageBytes = 50000000;

} // namespace DropType

} // namespace qv
