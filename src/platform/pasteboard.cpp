#include "platform/pasteboard.h"

#include <QStringDecoder>

namespace qv {

PasteboardSnapshot::PasteboardSnapshot(QStringList types, QList<PasteboardItem> items, Fetcher fetch)
    : m_types(std::move(types)), m_items(std::move(items)), m_fetch(std::move(fetch))
{
}

QStringList PasteboardSnapshot::itemTypes(int item) const
{
    if (item < 0 || item >= m_items.size())
        return {};
    return m_items.at(item).types;
}

QVariant PasteboardSnapshot::value(int item, const QString &type) const
{
    if (item < 0 || item >= m_items.size())
        return {};
    PasteboardItem &entry = m_items[item];
    if (!entry.types.contains(type))
        return {};
    const auto found = entry.values.constFind(type);
    if (found != entry.values.constEnd())
        return *found;
    QVariant fetched = m_fetch ? m_fetch(item, type) : QVariant();
    // Remember refusals too, so a slow owner is asked once per snapshot.
    entry.values.insert(type, fetched);
    return fetched;
}

std::optional<QByteArray> PasteboardSnapshot::itemData(int item, const QString &type) const
{
    const QVariant v = value(item, type);
    if (v.typeId() == QMetaType::QByteArray)
        return v.toByteArray();
    if (v.typeId() == QMetaType::QString)
        return v.toString().toUtf8();
    return std::nullopt;
}

std::optional<QString> PasteboardSnapshot::itemString(int item, const QString &type) const
{
    const QVariant v = value(item, type);
    if (v.typeId() == QMetaType::QString)
        return v.toString();
    if (v.typeId() != QMetaType::QByteArray)
        return std::nullopt;
    const QByteArray bytes = v.toByteArray();
    if (type == PasteboardType::utf16Text) {
        // Without a byte-order mark the owner speaks the machine's order.
        QStringDecoder decoder(QStringConverter::Utf16);
        return QString(decoder(bytes));
    }
    return QString::fromUtf8(bytes);
}

std::optional<QStringList> PasteboardSnapshot::itemStringArray(int item, const QString &type) const
{
    const QVariant v = value(item, type);
    if (v.typeId() == QMetaType::QStringList)
        return v.toStringList();
    return std::nullopt;
}

int PasteboardSnapshot::firstItemWith(const QString &type) const
{
    for (int i = 0; i < m_items.size(); ++i) {
        if (m_items.at(i).types.contains(type))
            return i;
    }
    return -1;
}

std::optional<QByteArray> PasteboardSnapshot::data(const QString &type) const
{
    return itemData(firstItemWith(type), type);
}

std::optional<QString> PasteboardSnapshot::string(const QString &type) const
{
    return itemString(firstItemWith(type), type);
}

std::optional<QStringList> PasteboardSnapshot::stringArray(const QString &type) const
{
    return itemStringArray(firstItemWith(type), type);
}

} // namespace qv
