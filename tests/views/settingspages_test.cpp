#include <QUrlQuery>

#include <gtest/gtest.h>

#include "core/localization.h"
#include "core/settingsstore.h"
#include "views/settings/aboutsection.h"
#include "views/settings/appblockersection.h"
#include "views/settings/contactsection.h"
#include "views/settings/guidesection.h"

using namespace qv;
using Category = ContactSection::ContactCategory;

namespace {

const AppLanguage everyLanguage[] = {AppLanguage::english, AppLanguage::chinese, AppLanguage::french,
                                     AppLanguage::spanish, AppLanguage::german,  AppLanguage::italian,
                                     AppLanguage::polish,  AppLanguage::japanese};

struct StoredCase
{
    const char *stored;
    const char *identity;
    const char *expected;
};

} // namespace

TEST(AppBlockerRules, DecodingTrimsBlanksAndTabsDropsEmptyPiecesAndKeepsOrderAndDoubles)
{
    EXPECT_EQ(AppBlockerSection::decode(""), QStringList());
    EXPECT_EQ(AppBlockerSection::decode(" , ,\t,"), QStringList());
    EXPECT_EQ(AppBlockerSection::decode(" firefox-esr , ,\tdebian-xterm,,firefox-esr"),
              (QStringList{"firefox-esr", "debian-xterm", "firefox-esr"}));
    // A line break is not trimmed: the engine would compare it as it is.
    EXPECT_EQ(AppBlockerSection::decode("a\n,b"), (QStringList{"a\n", "b"}));
}

// Adding appends to the stored text as it is; only removing writes the normalised form.
TEST(AppBlockerRules, AddingAppendsRawAndRemovingNormalises)
{
    const StoredCase adds[] = {
        {"", "debian-xterm", "debian-xterm"},
        {"a", "debian-xterm", "a,debian-xterm"},
        {" a ,", "debian-xterm", " a ,,debian-xterm"},
        {"a, debian-xterm", "debian-xterm", "a, debian-xterm"}, // already listed
        {"a,debian-xterm", "Debian-XTerm", "a,debian-xterm,Debian-XTerm"},
        {"a", "", "a"},
    };
    for (const StoredCase &row : adds)
        EXPECT_EQ(AppBlockerSection::added(row.stored, row.identity), QString::fromUtf8(row.expected))
            << row.stored << " + " << row.identity;
    EXPECT_EQ(AppBlockerSection::decode(" a ,,debian-xterm"), (QStringList{"a", "debian-xterm"}));

    const StoredCase removes[] = {
        {" a , ,b ,a", "a", "b"}, // both copies go, the rest is stored trimmed
        {"a ,\tb , c", "b", "a,c"},
        {" a ", "a", ""},
        {"a,b", "B", "a,b"},
    };
    for (const StoredCase &row : removes)
        EXPECT_EQ(AppBlockerSection::removed(row.stored, row.identity), QString::fromUtf8(row.expected))
            << row.stored << " - " << row.identity;
}

TEST(AppBlockerRules, ARowIsNamedByTheInstalledEntryElseByTheIdentitysLastPiece)
{
    const QList<InstalledApplication> installed{{"debian-xterm", "XTerm"}};
    EXPECT_EQ(AppBlockerSection::appName("debian-xterm", installed), "XTerm");
    EXPECT_EQ(AppBlockerSection::appName("org.example.textEditor", installed), "Texteditor");
    EXPECT_EQ(AppBlockerSection::appName("MyApp", installed), "Myapp");
    EXPECT_EQ(AppBlockerSection::appName("org.gnome.gedit", {}), "Gedit");
    EXPECT_EQ(AppBlockerSection::appName("big app", {}), "Big App");
}

// A field with "&", "=", "#" or a line feed once could add a header or cut the body short.
TEST(ContactRules, TheMailtoURLPercentEncodesEveryByteOutsideTheUnreservedCharacters)
{
    struct Case
    {
        QString subject;
        QString body;
        QByteArray expected;
    };
    const QByteArray base = "mailto:support@quorvantis.example.org?subject=";
    const Case cases[] = {
        {"Hi", "a-b_c.d~e", base + "Hi&body=a-b_c.d~e"},
        {"a&cc=evil@example.com", "x", base + "a%26cc%3Devil%40example.com&body=x"},
        {"1+1 #2", "100% sure?", base + "1%2B1%20%232&body=100%25%20sure%3F"},
        {"s", "line one\nline two\r\nbcc: x", base + "s&body=line%20one%0Aline%20two%0D%0Abcc%3A%20x"},
        {QString::fromUtf8("Jürgen"), QString::fromUtf8("日本 €"),
         base + "J%C3%BCrgen&body=%E6%97%A5%E6%9C%AC%20%E2%82%AC"},
        {"", "", base + "&body="},
    };
    for (const Case &row : cases) {
        const QUrl url = ContactSection::mailtoURL(row.subject, row.body);
        ASSERT_TRUE(url.isValid()) << row.subject.toStdString();
        EXPECT_EQ(url.toEncoded(), row.expected);
        // A mail program reads back exactly two fields with the texts as typed.
        const QUrlQuery query(url);
        EXPECT_EQ(query.queryItems(QUrl::FullyDecoded).size(), 2);
        EXPECT_EQ(query.queryItemValue("subject", QUrl::FullyDecoded), row.subject);
        EXPECT_EQ(query.queryItemValue("body", QUrl::FullyDecoded), row.body);
    }
}

TEST(ContactRules, ValidationStopsAtTheFirstBlankFieldAndOnlyBlanksAndTabsCountAsBlank)
{
    EXPECT_STREQ(ContactSection::validationKey("", "", ""), "contact_validation_name");
    EXPECT_STREQ(ContactSection::validationKey(" \t", "a@b", "m"), "contact_validation_name");
    EXPECT_STREQ(ContactSection::validationKey("Kim", "", "m"), "contact_validation_email");
    EXPECT_STREQ(ContactSection::validationKey("Kim", "no at sign", " "), "contact_validation_message");
    EXPECT_EQ(ContactSection::validationKey("Kim", "no at sign", "\n\n"), nullptr);
}

TEST(ContactRules, SubjectAndBodyCarryTheEnglishCategoryAndTheFieldsAsTyped)
{
    EXPECT_EQ(ContactSection::subject(Category::partnership, " Kim "), "[Quorvantis] Partnership from  Kim ");
    EXPECT_EQ(ContactSection::body(Category::bug, " Kim ", "k@example.org", "It broke."),
              "Name:  Kim \nEmail: k@example.org\nCategory: Bug Report\n\nIt broke.");
    EXPECT_EQ(ContactSection::title(Category::bug, AppLanguage::german),
              Localization::text("contact_cat_bug", AppLanguage::german));
    EXPECT_NE(ContactSection::title(Category::bug, AppLanguage::german), "Bug Report");
    for (const Category category : ContactSection::allCategories)
        EXPECT_EQ(ContactSection::categoryFromRawValue(ContactSection::rawValue(category)), category);
    EXPECT_EQ(ContactSection::categoryFromRawValue("Bug"), std::nullopt);
}

TEST(AboutRules, AMissingVersionShowsAnEnDash)
{
    EXPECT_EQ(AboutSection::versionText(""), QString::fromUtf8("Version \u2013"));
    EXPECT_EQ(AboutSection::versionText("0.1.0"), "Version 0.1.0");
}

// Every text of the guide exists in all eight languages and names this desktop's keys.
TEST(GuideTexts, EveryKeyHasATextInEveryLanguageAndNoneNamesMacKeys)
{
    const QStringList keys = GuideSection::textKeys();
    EXPECT_EQ(keys.size(), 29);
    for (const AppLanguage language : everyLanguage) {
        for (const QString &key : keys) {
            const QString text = Localization::text(key, language);
            EXPECT_FALSE(text.isEmpty() || text == key) << key.toStdString() << " " << int(language);
            for (const char *mac : {"⌥", "⌘", "Option", "Cmd", "macOS", "Finder"})
                EXPECT_FALSE(text.contains(QString::fromUtf8(mac)))
                    << key.toStdString() << " " << int(language);
        }
    }
    SettingsStore settings; // the hotkeys are named as they are in force
    settings.set(Settings::customKeyCode, 36);
    settings.set(Settings::shelfKeyCode, 2);
    const auto hotkeys = GuideSection::Hotkeys::inForce(settings);
    QStringList labels;
    for (const auto &row : GuideSection::switcherRows(hotkeys) + GuideSection::hotkeyRows(hotkeys))
        labels << row.keyLabel;
    EXPECT_EQ(labels, (QStringList{"Alt + Return", "Arrow Keys", "Enter", "Ctrl + W", "Ctrl + M", "Esc",
                                   "Alt + Return", "Alt + C", "Alt + D"}));
}
