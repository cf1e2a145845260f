#include <gtest/gtest.h>

#include <QRegularExpression>

#include "core/localization.h"
#include "core/localizationtable.h"
#include "core/settingsstore.h"
#include "platform/sim/simlocaleservice.h"

using namespace qv;

namespace {

// Installs a simulated user's preferred languages for the duration of a test.
class LocalizationTest : public ::testing::Test
{
protected:
    void SetUp() override { Localization::setLocaleService(&locale); }
    void TearDown() override { Localization::setLocaleService(nullptr); }

    SimLocaleService locale;
};

struct LookupCase
{
    const char *name;
    QStringList preferred;
    AppLanguage language;
    const char *key;
    QString expected;
};

class LookupTest : public LocalizationTest, public ::testing::WithParamInterface<LookupCase>
{
};

TEST_P(LookupTest, GivesTheTextOfTheResolvedLanguage)
{
    const LookupCase &c = GetParam();
    locale.setPreferredLanguages(c.preferred);
    const bool menu = QByteArray(c.key).startsWith("menu_");
    const QString text =
        menu ? Localization::menuText(c.key, c.language) : Localization::text(c.key, c.language);
    EXPECT_EQ(text, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Localization, LookupTest,
    ::testing::Values(
        LookupCase{
            "unknownKeyIsReturnedUnchanged", {"en-US"}, AppLanguage::english, "no_such_key", "no_such_key"},
        LookupCase{"unknownKeyUnderSystem", {"de-AT"}, AppLanguage::system, "Tab_General", "Tab_General"},
        LookupCase{"germanAustriaFirst", {"de-AT", "en-US"}, AppLanguage::system, "tab_general", "Allgemein"},
        LookupCase{"onlyTheFirstPreferenceCounts",
                   {"pt-BR", "de-DE"},
                   AppLanguage::system,
                   "tab_general",
                   "General"},
        LookupCase{"unsupportedJavaneseGivesEnglish", {"jv"}, AppLanguage::system, "tab_general", "General"},
        LookupCase{"japanese", {"ja-JP"}, AppLanguage::system, "tab_general", "一般"},
        LookupCase{"emptyListGivesEnglish", {}, AppLanguage::system, "tab_general", "General"},
        LookupCase{
            "traditionalScriptStillGivesChinese", {"zh-Hant-TW"}, AppLanguage::system, "tab_general", "通用"},
        LookupCase{"spanishLatinAmerica", {"es-419"}, AppLanguage::system, "move_quit", "Salir"},
        LookupCase{"polish", {"pl"}, AppLanguage::system, "ctx_close", "Zamknij okno"},
        LookupCase{
            "chosenLanguageIgnoresTheSystem", {"ja-JP"}, AppLanguage::german, "tab_general", "Allgemein"},
        LookupCase{"menuFollowsTheSystemToo", {"fr-CA"}, AppLanguage::system, "menu_quit", "Quitter"},
        LookupCase{
            "menuTableIsExactlyAsGiven", {}, AppLanguage::german, "menu_preferences", "Einstellungen …"},
        LookupCase{"unknownMenuKey", {}, AppLanguage::italian, "menu_quit_typo", "menu_quit_typo"}),
    [](const ::testing::TestParamInfo<LookupCase> &info) { return std::string(info.param.name); });

TEST_F(LocalizationTest, TheTwoTablesAreSeparate)
{
    EXPECT_EQ(Localization::text("menu_quit", AppLanguage::french), "menu_quit");
    EXPECT_EQ(Localization::menuText("move_quit", AppLanguage::french), "move_quit");
}

TEST_F(LocalizationTest, SystemLanguageIsResolvedAtEveryLookup)
{
    locale.setPreferredLanguages({"it-IT"});
    EXPECT_EQ(Localization::text(u"edge_top", AppLanguage::system), "In alto");
    locale.setPreferredLanguages({"fr-FR"});
    EXPECT_EQ(Localization::text(u"edge_top", AppLanguage::system), "Haut");
    Localization::setLocaleService(nullptr);
    EXPECT_EQ(Localization::text(u"edge_top", AppLanguage::system), "Top");
    EXPECT_EQ(Localization::languageCode(AppLanguage::system), u"en");
}

TEST_F(LocalizationTest, KeyMayArriveAsUtf16Latin1OrUtf8)
{
    const QString expected = "Zwischenablage-Panel separat öffnen";
    EXPECT_EQ(Localization::text(u"guide_act_opt_c", AppLanguage::german), expected);
    EXPECT_EQ(Localization::text(QLatin1StringView("guide_act_opt_c"), AppLanguage::german), expected);
    EXPECT_EQ(Localization::text("guide_act_opt_c", AppLanguage::german), expected);
    EXPECT_EQ(Localization::text(QString("guide_act_opt_c"), AppLanguage::german), expected);
    EXPECT_EQ(Localization::text("schlüssel", AppLanguage::german), "schlüssel");
    EXPECT_EQ(Localization::text("", AppLanguage::german), "");
}

struct CountCase
{
    int count;
    AppLanguage language;
    QString expected;
};

TEST_F(LocalizationTest, WindowCountText)
{
    locale.setPreferredLanguages({"ja-JP"});
    const CountCase cases[] = {
        {0, AppLanguage::english, "0 Windows"},       {1, AppLanguage::english, "1 Window"},
        {2, AppLanguage::english, "2 Windows"},       {3, AppLanguage::german, "3 Fenster"},
        {12, AppLanguage::chinese, "12 个窗口"},      {1, AppLanguage::system, "1 個のウインドウ"},
        {5, AppLanguage::system, "5 個のウインドウ"},
    };
    for (const CountCase &c : cases)
        EXPECT_EQ(Localization::windowCountText(c.count, c.language), c.expected) << c.count;
}

TEST(AppLanguage, RawValuesRoundTripAndNothingElseNamesALanguage)
{
    for (const AppLanguage language : allAppLanguages)
        EXPECT_EQ(appLanguageFromRawValue(rawValue(language)), language) << rawValue(language).toStdString();
    EXPECT_EQ(rawValue(AppLanguage::chinese), "简体中文");
    EXPECT_EQ(qHash(AppLanguage::french, 7), qHash(QStringLiteral("Français"), 7));
    for (const char *raw :
         {"english", "ENGLISH", "Francais", "System default", "", " Deutsch", "日本語 ", "de"})
        EXPECT_EQ(appLanguageFromRawValue(QString::fromUtf8(raw)), std::nullopt) << raw;
}

TEST_F(LocalizationTest, StoredLanguageFallsBackPerCaller)
{
    SettingsStore settings;
    EXPECT_EQ(Localization::storedLanguage(settings), AppLanguage::system);
    EXPECT_EQ(Localization::storedLanguage(settings, AppLanguage::english), AppLanguage::english);
    settings.setValue("appLanguage", "english");
    EXPECT_EQ(Localization::storedLanguage(settings), AppLanguage::system);
    EXPECT_EQ(Localization::storedLanguage(settings, AppLanguage::english), AppLanguage::english);
    settings.setValue("appLanguage", 3);
    EXPECT_EQ(Localization::storedLanguage(settings), AppLanguage::system);
    settings.setValue("appLanguage", "System Default");
    EXPECT_EQ(Localization::storedLanguage(settings, AppLanguage::english), AppLanguage::system);
}

TEST_F(LocalizationTest, SwitchingTheStoredLanguageChangesTheNextLookup)
{
    SettingsStore settings;
    locale.setPreferredLanguages({"pl-PL"});
    const auto label = [&] {
        return Localization::text("tab_shortcuts", Localization::storedLanguage(settings));
    };
    EXPECT_EQ(label(), "Skróty");
    settings.set(Settings::appLanguage, rawValue(AppLanguage::german));
    EXPECT_EQ(label(), "Kurzbefehle");
    settings.set(Settings::appLanguage, rawValue(AppLanguage::japanese));
    EXPECT_EQ(label(), "ショートカット");
}

TEST(LocalizationTable, MissingTranslationFallsBackToEnglish)
{
    const LocalizationRow rows[] = {
        {u"greeting", {u"Hello", nullptr, u"Bonjour", nullptr, u"", nullptr, nullptr, nullptr}},
        {u"greeting", {u"Duplicate", u"x", u"x", u"x", u"x", u"x", u"x", u"x"}},
    };
    const LocalizationTable table(rows);
    ASSERT_EQ(table.size(), 1);
    const qsizetype row = table.indexOf("greeting");
    EXPECT_EQ(table.text(row, 1), "Hello");
    EXPECT_EQ(table.text(row, 2), "Bonjour");
    EXPECT_FALSE(table.hasText(row, 3));
    EXPECT_TRUE(table.hasText(row, 4)); // present though empty: the data check catches that
    EXPECT_EQ(table.indexOf("greetings"), -1);
    EXPECT_EQ(LocalizationTable(std::span<const LocalizationRow>()).indexOf("greeting"), -1);
}

// What a translation must carry over from the English text: placeholders, numbers, symbols such as
// arrows and key glyphs, line breaks, and key names. The interface table also keeps product names,
// paths and ellipses; the menu table is given as it is and only has to keep its key names.
QStringList tokensToKeep(const QString &english, bool interfaceTable)
{
    QStringList tokens;
    static const QRegularExpression pattern(R"(%(\d+\$)?[a-z@]|\{[^}]*\}|\d+|\n)");
    for (auto it = pattern.globalMatch(english); it.hasNext();)
        tokens << it.next().captured();
    for (const QChar c : english) {
        if (c.category() == QChar::Symbol_Math || c.category() == QChar::Symbol_Other || c == u'•')
            tokens << QString(c);
    }
    QStringList names = {"Alt+Tab", "Alt + Tab", "Alt", "Tab", "Ctrl", "Super+", "Esc", "C / V"};
    if (interfaceTable)
        names << QStringList{"Quorvantis", "Super Panel", "Linux",
                             "X11",        "Composite",   "EWMH",
                             "XInput 2",   "ZIP",         "~/.local/state/Quorvantis/",
                             "…",          "..."};
    for (const QString &name : names) {
        if (english.contains(name))
            tokens << name;
    }
    return tokens;
}

void checkTable(const LocalizationTable &table, bool interfaceTable)
{
    static const QRegularExpression snakeCase("^[a-z][a-z0-9_]*$");
    for (qsizetype row = 0; row < table.size(); ++row) {
        const QString key = table.key(row);
        SCOPED_TRACE(key.toStdString());
        EXPECT_TRUE(snakeCase.match(key).hasMatch());
        EXPECT_EQ(table.indexOf(key), row);
        const QString english = table.text(row, 0);
        const QStringList tokens = tokensToKeep(english, interfaceTable);
        for (int column = 0; column < LocalizationTable::languageCount; ++column) {
            const QString text = table.text(row, column);
            SCOPED_TRACE(LocalizationTable::languageCode(column).toString().toStdString());
            EXPECT_TRUE(table.hasText(row, column));
            EXPECT_FALSE(text.trimmed().isEmpty());
            for (const QString &token : tokens)
                EXPECT_TRUE(text.contains(token))
                    << "lacks " << token.toStdString() << ": " << text.toStdString();
            EXPECT_EQ(text.count(u'\n'), english.count(u'\n'));
        }
    }
}

TEST(LocalizationData, EveryKeyHasEightTextsKeepingWhatTheEnglishCarries)
{
    EXPECT_EQ(Localization::table().size(), 184);
    // Texts that stayed English in every language (the shelf tile's menu, a picture's title) are rows
    // of the table like any other.
    for (const char *key : {"shelf_menu_open", "shelf_menu_show_in_file_manager", "shelf_menu_quick_look",
                            "shelf_menu_pin", "shelf_menu_unpin", "shelf_menu_delete", "clipboard_image_title"})
        EXPECT_NE(Localization::table().indexOf(key), -1) << key;
    checkTable(Localization::table(), true);
    EXPECT_EQ(Localization::menuTable().size(), 4);
    checkTable(Localization::menuTable(), false);
}

// The other desktop's places, keys and programs (its log folder, file manager, modifier keys,
// settings application, workspaces, its Dock where previews follow a panel) used to appear in the
// texts; every text names the Linux ones.
TEST(LocalizationData, NoTextNamesThePlacesKeysOrProgramsOfAnotherSystem)
{
    static const QRegularExpression foreign(
        R"(~/Library|Finder|\bOption\b|\bCmd\b|Command|⌘|⌥|System Settings|Systemeinstellungen|Réglages Système|)"
        R"(Ajustes del Sistema|Impostazioni di Sistema|系统设置|システム設定|macOS|\bMac\b|Schreibtisch|scrivania|biurk|)"
        R"(\bDock|程序坞)");
    for (const LocalizationTable *table : {&Localization::table(), &Localization::menuTable()}) {
        for (qsizetype row = 0; row < table->size(); ++row) {
            for (int column = 0; column < LocalizationTable::languageCount; ++column) {
                const QString text = table->text(row, column);
                EXPECT_FALSE(foreign.match(text).hasMatch())
                    << table->key(row).toStdString() << ": " << text.toStdString();
            }
        }
    }
    EXPECT_EQ(Localization::menuText("menu_show_all_windows", AppLanguage::german),
              "Alle Fenster anzeigen (Alt+Tab)");
}

} // namespace
