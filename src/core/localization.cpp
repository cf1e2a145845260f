#include "core/localization.h"

#include <atomic>

#include "core/localizationtable.h"
#include "core/settingsstore.h"
#include "platform/localeservice.h"

namespace qv {

namespace {

std::atomic<const LocaleService *> localeService{nullptr};

// Column 0 is English; columns 1 to 7 are the languages a preferred tag is tested for, in the
// order of the test.
int columnForLanguageTag(QStringView tag)
{
    for (int column = 1; column < LocalizationTable::languageCount; ++column) {
        if (tag.startsWith(LocalizationTable::languageCode(column)))
            return column;
    }
    return 0;
}

int systemColumn()
{
    const LocaleService *service = localeService.load(std::memory_order_acquire);
    if (!service)
        return 0;
    const QStringList preferred = service->preferredLanguages();
    return preferred.isEmpty() ? 0 : columnForLanguageTag(preferred.first());
}

int languageColumn(AppLanguage language)
{
    switch (language) {
    case AppLanguage::system:
        return systemColumn();
    case AppLanguage::english:
        return 0;
    case AppLanguage::chinese:
        return 1;
    case AppLanguage::french:
        return 2;
    case AppLanguage::spanish:
        return 3;
    case AppLanguage::german:
        return 4;
    case AppLanguage::italian:
        return 5;
    case AppLanguage::polish:
        return 6;
    case AppLanguage::japanese:
        return 7;
    }
    return 0;
}

QString lookup(const LocalizationTable &table, QAnyStringView key, AppLanguage language)
{
    const qsizetype row = table.indexOf(key);
    if (row < 0)
        return key.toString();
    return table.text(row, languageColumn(language));
}

} // namespace

const LocalizationTable &Localization::table()
{
    static const LocalizationTable table(interfaceTextRows());
    return table;
}

const LocalizationTable &Localization::menuTable()
{
    static const LocalizationTable table(menuTextRows());
    return table;
}

QString Localization::text(QAnyStringView key, AppLanguage language)
{
    return lookup(table(), key, language);
}

QString Localization::menuText(QAnyStringView key, AppLanguage language)
{
    return lookup(menuTable(), key, language);
}

QString Localization::windowCountText(int count, AppLanguage language)
{
    if (count == 1)
        return text(u"window_count_one", language);
    return QString::number(count) + u' ' + text(u"window_count_many", language);
}

QStringView Localization::languageCode(AppLanguage language)
{
    return LocalizationTable::languageCode(languageColumn(language));
}

void Localization::setLocaleService(const LocaleService *service)
{
    localeService.store(service, std::memory_order_release);
}

AppLanguage Localization::storedLanguage(const SettingsStore &settings, AppLanguage fallback)
{
    const QVariant stored = settings.value(Settings::appLanguage.key());
    if (stored.typeId() != QMetaType::QString)
        return fallback;
    return appLanguageFromRawValue(stored.toString()).value_or(fallback);
}

} // namespace qv
