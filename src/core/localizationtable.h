#pragma once

#include <QAnyStringView>
#include <QString>

#include <span>
#include <vector>

#include "core/localizationtexts.h"

namespace qv {

// An immutable table of texts by key and language column, indexed once when built. Lookups are pure
// reads and safe from any thread; a text handed out shares the compiled-in characters, so returning
// it allocates nothing.
class LocalizationTable
{
public:
    static constexpr int languageCount = 8;
    // The language code of a column: "en", "zh", "fr", "es", "de", "it", "pl", "ja". Column 0,
    // English, is what a missing translation falls back to.
    static QStringView languageCode(int column);

    // Keys are ASCII; the first of two equal keys wins.
    explicit LocalizationTable(std::span<const LocalizationRow> rows);

    qsizetype size() const { return qsizetype(m_keys.size()); }
    // The row of `key`, or -1 when the table has no such key. Case-sensitive.
    qsizetype indexOf(QAnyStringView key) const noexcept;
    QString key(qsizetype row) const { return m_keys[size_t(row)]; }
    // The text of a row in a column; the English text when that column has none.
    QString text(qsizetype row, int column) const;
    // Whether the row has a text of its own in the column.
    bool hasText(qsizetype row, int column) const;

private:
    struct Slot
    {
        quint32 hash = 0;
        qint32 row = -1;
    };

    std::vector<QString> m_keys;
    // languageCount texts per row; a null string where a language has none.
    std::vector<QString> m_texts;
    // Open addressing with linear probing, at most half full.
    std::vector<Slot> m_slots;
    quint32 m_mask = 0;
};

} // namespace qv
