#pragma once

#include <QString>

#include <array>
#include <optional>

namespace qv {

// The interface language the user picked. Stored under "appLanguage" as its raw value, the name the
// language picker shows. `system` follows the user's first preferred language at every lookup.
enum class AppLanguage {
    system,
    english,
    chinese,
    french,
    spanish,
    german,
    italian,
    polish,
    japanese,
};

// Every language in the order of the picker.
inline constexpr std::array<AppLanguage, 9> allAppLanguages = {
    AppLanguage::system,  AppLanguage::english, AppLanguage::chinese,
    AppLanguage::french,  AppLanguage::spanish, AppLanguage::german,
    AppLanguage::italian, AppLanguage::polish,  AppLanguage::japanese,
};

// "System Default", "English", "简体中文", "Français", "Español", "Deutsch", "Italiano", "Polski", "日本語".
QString rawValue(AppLanguage language);

// The language whose raw value is exactly `raw` (case and accents included); none for any other text.
// Each caller decides what none means for it.
std::optional<AppLanguage> appLanguageFromRawValue(QStringView raw);

// Hashes the raw value, so hashing agrees with equality of raw values.
size_t qHash(AppLanguage language, size_t seed = 0) noexcept;

} // namespace qv
