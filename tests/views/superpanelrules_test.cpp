#include <gtest/gtest.h>

#include "views/bubble/windowactionmenu.h"
#include "views/superpanel/superpanelrules.h"

using namespace qv;
using namespace qv::SuperPanelRules;

namespace {

AppWindowModel window(const QString &app, const QString &title)
{
    AppWindowModel w;
    w.appName = app;
    w.title = title;
    return w;
}

QStringList titles(const QList<AppWindowModel> &windows)
{
    QStringList list;
    for (const AppWindowModel &w : windows)
        list.append(w.title);
    return list;
}

const QList<AppWindowModel> desk = {
    window("Terminal", "build log"), window("Firefox", "Mozilla Firefox — Pull-Request"),
    window("Files", "Home"),         window("Firefox", "Release notes"),
    window("Editor", "ÉTÉ plan"),    window("", "orphan req"),
};

struct SearchRow
{
    const char *name;
    std::optional<QString> app;
    QString search;
    QStringList expected;
};

class SearchTest : public ::testing::TestWithParam<SearchRow>
{
};

TEST_P(SearchTest, KeepsWindowsByApplicationAndText)
{
    const SearchRow &row = GetParam();
    EXPECT_EQ(titles(filteredWindows(desk, row.app, row.search)), row.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SearchTest,
    ::testing::Values(SearchRow{"EmptyKeepsAllInOrder", std::nullopt, "", titles(desk)},
                      SearchRow{"ThreeLettersAnyCaseInNameOrTitle",
                                std::nullopt,
                                "REQ",
                                {"Mozilla Firefox — Pull-Request", "orphan req"}},
                      SearchRow{"ALeadingSpaceIsKeptAsTyped", std::nullopt, " req", {"orphan req"}},
                      SearchRow{"AppNameMatches",
                                std::nullopt,
                                "fire",
                                {"Mozilla Firefox — Pull-Request", "Release notes"}},
                      SearchRow{"NonAsciiCaseFolds", std::nullopt, "été", {"ÉTÉ plan"}},
                      SearchRow{"FilterAndSearchCombine", QString("Firefox"), "notes", {"Release notes"}},
                      SearchRow{"FilterIsExact", QString("firefox"), "", {}},
                      SearchRow{"NothingMatches", std::nullopt, "zzz", {}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(SuperPanelRules, AppNamesAreUniqueNonEmptyAndInCodePointOrder)
{
    QList<AppWindowModel> windows = desk;
    windows.append(window("iTerm", "x"));
    windows.append(window("Zed", "y"));
    EXPECT_EQ(appNames(windows), (QStringList{"Editor", "Files", "Firefox", "Terminal", "Zed", "iTerm"}));
}

TEST(SuperPanelRules, SelectionWrapsAroundBothWays)
{
    struct Row
    {
        int selected, delta, count;
        std::optional<int> expected;
    };
    for (const Row row : {Row{4, 1, 5, 0}, Row{0, -1, 5, 4}, Row{3, 4, 5, 2}, Row{0, -4, 2, 0},
                          Row{1, -4, 2, 1}, Row{0, 7, 5, 2}, Row{0, -6, 5, 4}, Row{0, 1, 0, std::nullopt}}) {
        SCOPED_TRACE(testing::Message() << row.selected << " + " << row.delta << " of " << row.count);
        EXPECT_EQ(wrappedIndex(row.selected, row.delta, row.count), row.expected);
    }
}

TEST(SuperPanelRules, GridColumnsFollowTheWidth)
{
    struct Row
    {
        double width;
        int columns;
    };
    for (const Row row :
         {Row{1000, 3}, Row{1300, 5}, Row{300, 1}, Row{339, 1}, Row{340, 1}, Row{80, 1}, Row{0, 1}}) {
        SCOPED_TRACE(row.width);
        EXPECT_EQ(gridColumns(row.width), row.columns);
        const GridLayout layout = gridLayout(row.width);
        EXPECT_EQ(layout.columns, row.columns);
        EXPECT_LE(layout.cardWidth, maxCardWidth);
        // The cards and their gaps fit between the paddings whenever the minimum width does.
        if (row.width >= 2 * sidePadding + minCardWidth) {
            EXPECT_LE(layout.cardRect(row.columns - 1).right(), row.width - sidePadding + 0.01);
        }
    }
}

TEST(SuperPanelRules, TheSelectionIsPulledBackOnlyOntoARealCard)
{
    EXPECT_EQ(clampedSelection(5, 3), 2);
    EXPECT_EQ(clampedSelection(1, 3), 1);
    EXPECT_EQ(clampedSelection(5, 0), 5) << "an empty list leaves the index alone";
}

TEST(SuperPanelRules, ADragStartsAt10PtAndCountsAsAClickBelow14Pt)
{
    EXPECT_FALSE(startsDrag(QPointF(9.99, 0)));
    EXPECT_TRUE(startsDrag(QPointF(6, 8)));
    EXPECT_TRUE(releaseFocuses(QPointF(13.9, 0)));
    EXPECT_FALSE(releaseFocuses(QPointF(14.0, 0)));
    EXPECT_FALSE(releaseFocuses(QPointF(0, -14.0)));
}

TEST(WindowActionMenu, EntriesInOrderWithMinimiseDisabledOnlyForMinimisedWindows)
{
    CardActions actions;
    QStringList ran;
    actions.minimizeWindow = [&ran](const AppWindowModel &w) { ran.append("minimize " + w.title); };
    actions.snapWindow = [&ran](const AppWindowModel &, SnapPosition p) {
        ran.append(p == SnapPosition::left ? "left" : "right");
    };
    for (const bool minimized : {false, true}) {
        AppWindowModel w = window("Files", "Home");
        w.isMinimized = minimized;
        QStringList keys;
        for (const WindowActionMenu::Entry &entry : WindowActionMenu::entries(w, actions)) {
            keys.append(entry.isSeparator() ? "-" : entry.key);
            EXPECT_EQ(entry.enabled,
                      entry.isSeparator() || QString(entry.key) != "ctx_minimize" || !minimized);
            if (!entry.isSeparator())
                entry.run(); // unset actions do nothing
        }
        EXPECT_EQ(keys, (QStringList{"ctx_focus", "ctx_minimize", "-", "ctx_snap_left", "ctx_snap_right",
                                     "ctx_maximize", "-", "ctx_close", "-", "ctx_hide_app"}));
    }
    EXPECT_EQ(ran, (QStringList{"minimize Home", "left", "right", "minimize Home", "left", "right"}));
}

} // namespace
