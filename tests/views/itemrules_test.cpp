#include <QDateTime>

#include <gtest/gtest.h>

#include "runtime/manualscheduler.h"
#include "shelf/shelfitem.h"
#include "views/items/copyfeedback.h"
#include "views/items/itemrules.h"

using namespace qv;

namespace {

QUrl file(const char *name)
{
    return QUrl::fromLocalFile(QStringLiteral("/tmp/shelf/") + QString::fromUtf8(name));
}

struct MediaCase
{
    const char *name;
    bool media;
};

class MediaClassification : public ::testing::TestWithParam<MediaCase>
{
};

TEST_P(MediaClassification, FollowsTheLowerCasedExtension)
{
    EXPECT_EQ(ItemRules::isMediaFile(file(GetParam().name)), GetParam().media) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(Names, MediaClassification,
                         ::testing::Values(MediaCase{"Photo.JPG", true}, MediaCase{"clip.webm", true},
                                           MediaCase{"icon.svg", true}, MediaCase{"movie.MKV", true},
                                           MediaCase{"scan.tif", false}, MediaCase{"photo.heif", false},
                                           MediaCase{"report.pdf", false}, MediaCase{"README", false},
                                           MediaCase{".png", false}, MediaCase{"archive.png.zip", false}));

struct NameCase
{
    const char *file;
    std::optional<QString> customName;
    const char *shown;
};

class ShelfNames : public ::testing::TestWithParam<NameCase>
{
};

TEST_P(ShelfNames, CustomNameElseFileNameWithoutItsLastExtension)
{
    ShelfItem item;
    item.url = file(GetParam().file);
    item.customName = GetParam().customName;
    EXPECT_EQ(ItemRules::shelfDisplayName(item), QString::fromUtf8(GetParam().shown));
}

INSTANTIATE_TEST_SUITE_P(Items, ShelfNames,
                         ::testing::Values(NameCase{"Report 2.pdf", std::nullopt, "Report 2"},
                                           NameCase{"Report.final.pdf", std::nullopt, "Report.final"},
                                           NameCase{"Makefile", std::nullopt, "Makefile"},
                                           NameCase{".bashrc", std::nullopt, ".bashrc"},
                                           NameCase{"0b7c.webloc", std::nullopt, "0b7c"},
                                           NameCase{"0b7c.webloc", QStringLiteral("Example Domain"),
                                                    "Example Domain"},
                                           // An empty custom name is a name: the line stays empty.
                                           NameCase{"Report 2.pdf", QString(), ""}));

TEST(ShelfLinks, OnlyTheExactLowerCaseExtensionIsALinkAndOnlyAnUnfetchedOneIsPending)
{
    ShelfItem link;
    link.url = file("a.webloc");
    EXPECT_TRUE(ItemRules::isPendingLink(link));
    link.isWebFetched = true;
    EXPECT_FALSE(ItemRules::isPendingLink(link));

    ShelfItem shouting;
    shouting.url = file("a.WEBLOC");
    EXPECT_FALSE(ItemRules::isLink(shouting.url));
    EXPECT_FALSE(ItemRules::isPendingLink(shouting));
}

TEST(DeviceSource, EverythingButThisExactNameIsRemote)
{
    EXPECT_FALSE(ItemRules::isRemote(QStringLiteral("This Mac")));
    EXPECT_TRUE(ItemRules::isRemote(QStringLiteral("iPhone/iPad")));
    EXPECT_TRUE(ItemRules::isRemote(QString()));
    EXPECT_TRUE(ItemRules::isRemote(QStringLiteral("this mac")));
}

struct AgeCase
{
    AppLanguage language;
    qint64 seconds;
    const char *text;
};

class RelativeAges : public ::testing::TestWithParam<AgeCase>
{
};

// Ages read in the interface language, each in its own short units and its own way of joining two
// of them (they used to read "4 sec" whatever the language).
TEST_P(RelativeAges, ReadAsTheTwoLargestUnitsInTheLanguage)
{
    const QDateTime date(QDate(2026, 3, 1), QTime(12, 0), Qt::UTC);
    EXPECT_EQ(ItemRules::relativeAge(date, date.addSecs(GetParam().seconds), GetParam().language),
              QString::fromUtf8(GetParam().text));
}

constexpr AppLanguage en = AppLanguage::english;
INSTANTIATE_TEST_SUITE_P(Elapsed, RelativeAges,
                         ::testing::Values(AgeCase{en, 0, "0 sec"}, AgeCase{en, -30, "0 sec"},
                                           AgeCase{en, 59, "59 sec"}, AgeCase{en, 60, "1 min"},
                                           AgeCase{en, 184, "3 min, 4 sec"},
                                           AgeCase{en, 3600 + 300 + 9, "1 hr, 5 min"},
                                           AgeCase{en, 86400, "1 day"},
                                           AgeCase{en, 3 * 86400 + 4 * 3600 + 59, "3 days, 4 hr"},
                                           AgeCase{AppLanguage::german, 4, "4 Sek."},
                                           AgeCase{AppLanguage::german, 184, "3 Min., 4 Sek."},
                                           AgeCase{AppLanguage::french, 3600 + 300, "1 h et 5 min"},
                                           AgeCase{AppLanguage::japanese, 184, "3 分 4 秒"},
                                           AgeCase{AppLanguage::chinese, 2 * 3600 + 60, "2小时1分钟"},
                                           AgeCase{AppLanguage::italian, 86400, "1 giorno"},
                                           AgeCase{AppLanguage::italian, 2 * 86400 + 3600, "2 giorni e 1 h"},
                                           AgeCase{AppLanguage::polish, 5 * 86400, "5 dni"},
                                           AgeCase{AppLanguage::spanish, 61, "1 min y 1 s"}));

// The title stayed English in every language.
TEST(ImageTitle, NamesBothSidesInTheChosenLanguage)
{
    EXPECT_EQ(ItemRules::imageTitle(QSize(1920, 1080), AppLanguage::english), QStringLiteral("Image • 1920×1080"));
    EXPECT_EQ(ItemRules::imageTitle(QSize(640, 480), AppLanguage::german), QStringLiteral("Bild • 640×480"));
    EXPECT_EQ(ItemRules::imageTitle(QSize(3, 2), AppLanguage::japanese), QStringLiteral("画像 • 3×2"));
}

struct ShownTextCase
{
    const char *name;
    QString text;
    ItemRules::TextBounds bounds;
    QString shown;
};

class ShownText : public ::testing::TestWithParam<ShownTextCase>
{
};

// Regressions: a text opening with 100,000 zero-width characters showed an empty card, a letter
// with a pile of marks drew them over the cards above, and the previews laid out every line.
TEST_P(ShownText, StartsVisibleAndStaysWithinItsBounds)
{
    EXPECT_EQ(ItemRules::displayText(GetParam().text, GetParam().bounds), GetParam().shown);
}

const QString acute(1, QChar(0x0301));

INSTANTIATE_TEST_SUITE_P(
    Texts, ShownText,
    ::testing::Values(
        ShownTextCase{"short", QStringLiteral("hello"), ItemRules::cardText, QStringLiteral("hello")},
        ShownTextCase{"zeroWidthStart", QString(100000, QChar(0x200D)) + QStringLiteral("hello"),
                      ItemRules::cardText, QStringLiteral("hello")},
        ShownTextCase{"invisibleStart", QStringLiteral("\u200B\uFEFF\u202E\u2066\u0301 hi"),
                      ItemRules::cardText, QStringLiteral(" hi")},
        ShownTextCase{"nothingVisible", QString(5, QChar(0x200B)), ItemRules::cardText,
                      QString(5, QChar(0x200B))},
        ShownTextCase{"markStack", QStringLiteral("c") + acute.repeated(20) + QStringLiteral("d"),
                      ItemRules::cardText, QStringLiteral("c") + acute.repeated(6) + QStringLiteral("d")},
        ShownTextCase{"endlessMarks",
                      QStringLiteral("c") + acute.repeated(100000) + QStringLiteral("d"),
                      {100, 5, 100},
                      QStringLiteral("c") + acute.repeated(6) + QStringLiteral("…")},
        ShownTextCase{"longLine", QString(3000, QLatin1Char('a')) + QStringLiteral("\nnext"),
                      ItemRules::previewText, QString(2000, QLatin1Char('a')) + QStringLiteral("…\nnext")},
        ShownTextCase{"lines", QStringLiteral("x\n").repeated(50), {100, 3, 100}, QStringLiteral("x\nx\nx…")},
        ShownTextCase{"longLastLine",
                      QString(30, QLatin1Char('a')) + QStringLiteral("\nb"),
                      {100, 1, 10},
                      QString(10, QLatin1Char('a')) + QStringLiteral("…")},
        ShownTextCase{"units", QStringLiteral("ab").repeated(10), {5, 10, 10}, QStringLiteral("ababa…")},
        ShownTextCase{"pairAtTheCut",
                      QStringLiteral("a") + QStringLiteral("\U0001F600").repeated(3),
                      {4, 1, 10},
                      QStringLiteral("a\U0001F600…")}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(CopyFeedbackTiming, EachClickSchedulesItsOwnResetSoTheFirstOneEndsTheCheckmark)
{
    ManualScheduler scheduler;
    int changes = 0;
    {
        CopyFeedback feedback(scheduler, 1.0, [&] { ++changes; });
        feedback.trigger();
        scheduler.advance(0.5);
        feedback.trigger();
        EXPECT_TRUE(feedback.isShowing());
        scheduler.advance(0.49);
        EXPECT_TRUE(feedback.isShowing());
        scheduler.advance(0.02);
        EXPECT_FALSE(feedback.isShowing()) << "the second click must not extend the first reset";
        scheduler.advance(1.0);
        EXPECT_FALSE(feedback.isShowing());
        EXPECT_EQ(changes, 2);
        feedback.trigger();
    }
    // A reset still pending when the view went touches nothing.
    scheduler.advance(2.0);
    EXPECT_EQ(scheduler.pendingCount(), 0);
}

} // namespace
