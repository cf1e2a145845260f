#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

namespace qv::fuzz {

inline QByteArray bytes(const uint8_t *data, size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
}

// Text as it can reach the program: the first byte chooses UTF-8 (repaired by the decoder) or raw
// UTF-16 code units (lone surrogates kept, as the UTF-16 plain-text type delivers them).
inline QString text(const uint8_t *data, size_t size)
{
    if (size == 0)
        return {};
    const QByteArray rest = bytes(data + 1, size - 1);
    if (data[0] & 1)
        return QString::fromUtf8(rest);
    return QString(reinterpret_cast<const QChar *>(rest.constData()), rest.size() / 2);
}

} // namespace qv::fuzz
