#include <gtest/gtest.h>

#include "platform/sim/simdesktop.h"
#include "windows/windowfilter.h"

using namespace qv;

namespace {

struct ExcludeCase
{
    const char *title;
    const char *app;
    const char *bundle;
    QSizeF size;
    bool excluded;
};

class ExclusionTest : public ::testing::TestWithParam<ExcludeCase>
{
protected:
    void SetUp() override { desktop.addDefaultScreen(); } // 1440x900
    SimDesktop desktop;
};

} // namespace

TEST_P(ExclusionTest, Rules)
{
    const ExcludeCase &c = GetParam();
    EXPECT_EQ(shouldExcludeWindow(QString::fromUtf8(c.title), QString::fromUtf8(c.app), c.bundle,
                                  QRectF(QPointF(10, 10), c.size), &desktop.screens),
              c.excluded)
        << c.title << " " << c.bundle;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExclusionTest,
    ::testing::Values(
        ExcludeCase{"Desktop", "Finder", "com.apple.finder", {800, 600}, true},
        ExcludeCase{"DESKTOP", "Finder", "com.apple.finder", {800, 600}, true},
        ExcludeCase{"Docs", "Finder", "com.apple.finder", {1420, 880}, true}, // screen less 20 each way
        ExcludeCase{"Docs", "Finder", "com.apple.finder", {1419, 880}, false},
        ExcludeCase{"", "Finder", "com.apple.finder", {300, 200}, true},
        ExcludeCase{"", "Finder", "com.apple.finder", {600, 400}, false},
        ExcludeCase{"Report", "Editor", "org.example.editor", {2000, 400}, true},  // 5:1
        ExcludeCase{"Report", "Editor", "org.example.editor", {1600, 400}, false}, // 4:1 exactly
        ExcludeCase{"Anything", "CC", "com.apple.controlcenter.extra", {800, 600}, true},
        ExcludeCase{"My Tooltip", "Editor", "org.example.editor", {250, 180}, true},
        ExcludeCase{"Report", "Editor", "org.example.editor", {250, 180}, false},
        ExcludeCase{"App Shortcuts Preview", "Xcode", "com.apple.dt.xcode", {800, 600}, true},
        ExcludeCase{"Chat", "WeChat", "com.tencent.xinwechat", {299, 299}, true},
        ExcludeCase{"Chat", "WeChat", "com.tencent.xinwechat", {300, 299}, false},
        ExcludeCase{"", "Editor", "org.example.editor", {600, 400}, true}, // untitled, not a known app
        ExcludeCase{"", "Notes", "com.apple.notes", {251, 251}, false},
        ExcludeCase{"", "Notes", "com.apple.notes", {250, 400}, true}),
    [](const auto &info) { return std::to_string(info.index); });

TEST(ExclusionTest, FinderWithoutScreensPassesTheScreenSizeRule)
{
    SimDesktop desktop; // no screens
    EXPECT_FALSE(shouldExcludeWindow("Docs", "Finder", "com.apple.finder", QRectF(0, 0, 3000, 2000),
                                     &desktop.screens));
}

TEST(ScreenTests, RectanglesMeetScreensInTheScreenSystem)
{
    SimDesktop desktop;
    // Main 1440x900 at the origin, a second 1280x800 screen stacked above it (screen system, y up).
    desktop.screens.setScreens({ScreenInfo{QRectF(0, 0, 1440, 900), QRectF(0, 0, 1440, 875)},
                                ScreenInfo{QRectF(0, 900, 1280, 800), QRectF(0, 900, 1280, 800)}});
    const ScreenService *screens = &desktop.screens;
    struct Row
    {
        const char *name;
        QRectF windowRect; // top-left system
        bool onAnyScreen;
        bool offscreen;
    } rows[] = {
        {"on the main screen", QRectF(100, 100, 800, 600), true, false},
        // Top-left y of -500 lies on the upper screen; compared unflipped it would meet nothing.
        {"on the screen above", QRectF(100, -600, 800, 500), true, false},
        {"below every screen", QRectF(100, 2000, 800, 500), false, true},
        {"small, right edge left of main x + 8", QRectF(-292.5, 100, 300, 200), true, true},
        {"small, right edge reaching the line", QRectF(-292, 100, 300, 200), true, false},
        {"wider than 320 is never parked", QRectF(-395, 100, 400, 200), true, false},
    };
    for (const auto &row : rows) {
        EXPECT_EQ(isRectOnAnyScreen(row.windowRect, screens), row.onAnyScreen) << row.name;
        EXPECT_EQ(isWindowOffscreen(row.windowRect, screens), row.offscreen) << row.name;
    }
}

TEST(NameMatching, EmptyTextNeverContainsNorIsContained)
{
    // QString::contains("") is true; an empty application name must not match every target.
    EXPECT_FALSE(namesMatch(QString(), QStringLiteral("Notes")));
    EXPECT_FALSE(namesMatch(QStringLiteral("Notes"), QString()));
    EXPECT_FALSE(titlesMatch(QStringLiteral("  "), QStringLiteral("Notes")));
    EXPECT_TRUE(namesMatch(QStringLiteral("Sticky Notes"), QStringLiteral("notes")));
    EXPECT_TRUE(namesMatch(QStringLiteral("notes"), QStringLiteral("Sticky Notes")));
    EXPECT_TRUE(titlesMatch(QStringLiteral(" Report \n"), QStringLiteral("REPORT")));
}
