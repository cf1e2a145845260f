#include "core/applanguage.h"

#include <QHashFunctions>

namespace qv {

QString rawValue(AppLanguage language)
{
    switch (language) {
    case AppLanguage::system:
        return QStringLiteral("System Default");
    case AppLanguage::english:
        return QStringLiteral("English");
    case AppLanguage::chinese:
        return QStringLiteral("简体中文");
    case AppLanguage::french:
        return QStringLiteral("Français");
    case AppLanguage::spanish:
        return QStringLiteral("Español");
    case AppLanguage::german:
        return QStringLiteral("Deutsch");
    case AppLanguage::italian:
        return QStringLiteral("Italiano");
    case AppLanguage::polish:
        return QStringLiteral("Polski");
    case AppLanguage::japanese:
        return QStringLiteral("日本語");
    }
    Q_UNREACHABLE();
    return {};
}

std::optional<AppLanguage> appLanguageFromRawValue(QStringView raw)
{
    for (const AppLanguage language : allAppLanguages) {
        if (raw == rawValue(language))
            return language;
    }
    return std::nullopt;
}

size_t qHash(AppLanguage language, size_t seed) noexcept
{
    return ::qHash(rawValue(language), seed);
}

} // namespace qv
