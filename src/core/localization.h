#pragma once

#include <QAnyStringView>
#include <QString>

#include "core/applanguage.h"

namespace qv {

class LocaleService;
class LocalizationTable;
class SettingsStore;

// Every label, message and menu title, looked up by its snake_case key in the language asked for.
//
// The tables are built once, on first use (safe when two threads race to it), and never change; a
// lookup may run on any thread. `system` is resolved anew at every lookup from the preferred
// languages of the locale service main() installed, so neither the language nor the texts are ever
// cached by callers: a view passes the language it reads from the settings each time it draws.
class Localization
{
public:
    Localization() = delete;

    // The texts of the interface.
    static const LocalizationTable &table();
    // The four titles of the status menu and the Dock menu; a separate table.
    static const LocalizationTable &menuTable();

    // The text of `key` in `language`: the key itself when the table has no such key, the English
    // text when the key has none in that language.
    static QString text(QAnyStringView key, AppLanguage language);
    // The same lookup over the menu table.
    static QString menuText(QAnyStringView key, AppLanguage language);
    // "1 Window" for one, else the decimal count, a space and the plural ("0 Windows", "3 Windows").
    static QString windowCountText(int count, AppLanguage language);

    // The table language a lookup in `language` reads, "en" ... "ja". For `system`: the first
    // preferred language whose beginning is "zh", "fr", "es", "de", "it", "pl" or "ja" (tested in
    // that order), anything else and an empty list giving "en"; the region or script never matters.
    static QStringView languageCode(AppLanguage language);

    // Where `system` takes the user's preferred languages from. main() sets it once, before any view
    // exists; the service must outlive every lookup. Unset (or null) means English.
    static void setLocaleService(const LocaleService *service);

    // The language stored under "appLanguage", or `fallback` when none is stored or the text names
    // no language. Views use the default, `system`; the status and Dock menus pass `english`.
    static AppLanguage storedLanguage(const SettingsStore &settings,
                                      AppLanguage fallback = AppLanguage::system);
};

} // namespace qv
