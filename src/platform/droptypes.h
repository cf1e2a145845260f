#pragma once

#include <QMimeData>
#include <QStringList>

#include <optional>

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
// The most distinct files (and as many other addresses) a drop's list is read for: what the shelf
// holds.
inline constexpr int maxUriListEntries = 200;
// One address and its title.
inline constexpr qsizetype maxMozUrlBytes = 64 * 1024;
// One picture's encoded bytes; a larger one is not taken.
inline constexpr qsizetype maxImageBytes = 50000000;

} // namespace DropType

// A drop's data as a backend read it ahead of the target, its file list already parsed off the main
// thread within the drop bounds. The list's own bytes are not kept: asking for "text/uri-list" gives
// the parsed entries listed again.
class ReadDropData final : public QMimeData
{
public:
    explicit ReadDropData(std::optional<UriList> uriList) : m_uriList(std::move(uriList)) {}

    // Nothing when the drop offered no list.
    const std::optional<UriList> &uriList() const { return m_uriList; }
    // Types the drop offered that were refused unread, each with why.
    QStringList notRead() const { return m_notRead; }
    void setNotRead(const QStringList &notRead) { m_notRead = notRead; }

    bool hasFormat(const QString &type) const override
    {
        return (type == DropType::uriList && m_uriList) || QMimeData::hasFormat(type);
    }
    QStringList formats() const override
    {
        QStringList types = QMimeData::formats();
        if (m_uriList && !types.contains(DropType::uriList))
            types.prepend(DropType::uriList);
        return types;
    }

protected:
    QVariant retrieveData(const QString &type, QMetaType metaType) const override
    {
        if (type != DropType::uriList || !m_uriList)
            return QMimeData::retrieveData(type, metaType);
        QByteArray list;
        for (const QList<QUrl> *urls : {&m_uriList->files, &m_uriList->others}) {
            for (const QUrl &url : *urls)
                list += url.toEncoded() + "\r\n";
        }
        return list;
    }

private:
    std::optional<UriList> m_uriList;
    QStringList m_notRead;
};

} // namespace qv
