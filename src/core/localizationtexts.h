#pragma once

#include <array>
#include <span>

namespace qv {

// One key of a text table with its text in each language, in the column order of
// LocalizationTable::languageCode. A null text means the language has none.
struct LocalizationRow
{
    const char16_t *key;
    std::array<const char16_t *, 8> texts;
};

// The compiled-in texts of every label and message.
std::span<const LocalizationRow> interfaceTextRows();
// The compiled-in titles of the status menu and the Dock menu.
std::span<const LocalizationRow> menuTextRows();

} // namespace qv
