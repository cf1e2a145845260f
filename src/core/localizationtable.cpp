#include "core/localizationtable.h"

#include <string>
#include <type_traits>

namespace qv {

namespace {

constexpr std::array<const char16_t *, LocalizationTable::languageCount> codes = {
    u"en", u"zh", u"fr", u"es", u"de", u"it", u"pl", u"ja",
};

// FNV-1a over code units. The keys are ASCII, so a key hashes alike whether it arrives as UTF-16,
// Latin-1 or UTF-8; a non-ASCII key may hash differently per encoding but equals no key anyway.
quint32 hashKey(QAnyStringView key) noexcept
{
    return key.visit([](auto view) {
        quint32 hash = 2166136261u;
        for (const auto c : view) {
            if constexpr (std::is_same_v<std::remove_cv_t<decltype(c)>, QChar>)
                hash ^= c.unicode();
            else
                hash ^= quint8(c);
            hash *= 16777619u;
        }
        return hash;
    });
}

QString staticText(const char16_t *text)
{
    if (!text)
        return {};
    return QString::fromRawData(reinterpret_cast<const QChar *>(text),
                                qsizetype(std::char_traits<char16_t>::length(text)));
}

} // namespace

QStringView LocalizationTable::languageCode(int column)
{
    Q_ASSERT(column >= 0 && column < languageCount);
    return QStringView(codes[size_t(column)]);
}

LocalizationTable::LocalizationTable(std::span<const LocalizationRow> rows)
{
    quint32 capacity = 8;
    while (capacity < rows.size() * 2)
        capacity *= 2;
    m_slots.resize(capacity);
    m_mask = capacity - 1;
    m_keys.reserve(rows.size());
    m_texts.reserve(rows.size() * languageCount);

    for (const LocalizationRow &row : rows) {
        const QString key = staticText(row.key);
        if (indexOf(key) >= 0)
            continue;
        const quint32 hash = hashKey(key);
        quint32 i = hash & m_mask;
        while (m_slots[i].row >= 0)
            i = (i + 1) & m_mask;
        m_slots[i] = Slot{hash, qint32(m_keys.size())};
        m_keys.push_back(key);
        for (const char16_t *text : row.texts)
            m_texts.push_back(staticText(text));
    }
}

qsizetype LocalizationTable::indexOf(QAnyStringView key) const noexcept
{
    const quint32 hash = hashKey(key);
    for (quint32 i = hash & m_mask;; i = (i + 1) & m_mask) {
        const Slot &slot = m_slots[i];
        if (slot.row < 0)
            return -1;
        if (slot.hash == hash && QAnyStringView::equal(m_keys[size_t(slot.row)], key))
            return slot.row;
    }
}

QString LocalizationTable::text(qsizetype row, int column) const
{
    Q_ASSERT(row >= 0 && row < size() && column >= 0 && column < languageCount);
    const size_t first = size_t(row) * languageCount;
    const QString &text = m_texts[first + size_t(column)];
    return text.isNull() ? m_texts[first] : text;
}

bool LocalizationTable::hasText(qsizetype row, int column) const
{
    Q_ASSERT(row >= 0 && row < size() && column >= 0 && column < languageCount);
    return !m_texts[size_t(row) * languageCount + size_t(column)].isNull();
}

} // namespace qv
