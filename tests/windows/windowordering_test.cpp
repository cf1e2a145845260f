#include <gtest/gtest.h>

#include <QSet>

#include "windows/windowordering.h"

using namespace qv;

namespace {

AppWindowModel model(qint64 id, const QString &bundle, int sortIndex, bool minimized = false)
{
    AppWindowModel m;
    m.id = id;
    m.bundleIdentifier = bundle;
    m.sortIndex = sortIndex;
    m.isMinimized = minimized;
    return m;
}

QList<qint64> ids(const QList<AppWindowModel> &windows)
{
    QList<qint64> out;
    for (const auto &w : windows)
        out.append(w.id);
    return out;
}

struct OrderCase
{
    const char *name;
    double usageA; // usage time of "a" (window 1, sort index 0)
    double usageB; // usage time of "b" (window 2, sort index 1)
    bool minimizedA;
    bool minimizedLast;
    QList<qint64> expected;
};

class WindowOrderTest : public ::testing::TestWithParam<OrderCase>
{
};

} // namespace

TEST_P(WindowOrderTest, OrdersByUsageThenListOrder)
{
    const OrderCase &c = GetParam();
    AppUsageHistory history;
    if (c.usageA > 0)
        history.insert("a", c.usageA);
    if (c.usageB > 0)
        history.insert("b", c.usageB);
    QList<AppWindowModel> windows = {model(1, "a", 0, c.minimizedA), model(2, "b", 1)};
    sortWindows(windows, c.minimizedLast, history);
    EXPECT_EQ(ids(windows), c.expected) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WindowOrderTest,
    ::testing::Values(
        // Used 0.05 s apart: as good as the same time, the window list's order stands.
        OrderCase{"close usage keeps list order", 100.0, 100.05, false, false, {1, 2}},
        // 0.2 s apart: the more recent application first, whatever the list order.
        OrderCase{"recent application first", 100.0, 100.2, false, false, {2, 1}},
        // A minimised window of the most recent application goes after a never-used visible one.
        OrderCase{"minimised last on", 500.0, 0.0, true, true, {2, 1}},
        OrderCase{"minimised last off", 500.0, 0.0, true, false, {1, 2}}),
    [](const auto &info) { return std::to_string(info.index); });

TEST(WindowOrder, AllWindowsOrderNeverPutsMinimisedLast)
{
    AppUsageHistory history{{"a", 500.0}};
    QList<AppWindowModel> windows = {model(1, "b", 0), model(2, "a", 1, true)};
    sortAllWindows(windows, history);
    EXPECT_EQ(ids(windows), QList<qint64>({2, 1}));
}

TEST(WindowOrder, LongListsWithChainedCloseUsageTimesSortWithoutTrouble)
{
    // 0, 0.06, 0.12, ...: each neighbour pair counts as equal, far pairs do not. The comparison is
    // not transitive, which a library sort would be free to mishandle; ours must stay in bounds and
    // keep every window.
    for (const int count : {10, 63, 64, 65, 200, 1000}) {
        AppUsageHistory history;
        QList<AppWindowModel> windows;
        for (int i = 0; i < count; ++i) {
            const QString bundle = QStringLiteral("app%1").arg(i);
            history.insert(bundle, 1000.0 + 0.06 * ((i * 7919) % count));
            windows.append(model(i, bundle, count - i));
        }
        sortWindows(windows, true, history);
        ASSERT_EQ(windows.size(), count);
        QSet<qint64> seen;
        for (const auto &w : windows)
            seen.insert(w.id);
        EXPECT_EQ(seen.size(), count);
    }
}

TEST(WindowOrder, LongListsAreStableAndOrderedWhenUsageIsFarApart)
{
    // Ten applications used a second apart, 20 windows each: a transitive case where the result
    // is fully determined.
    AppUsageHistory history;
    QList<AppWindowModel> windows;
    for (int i = 0; i < 200; ++i) {
        const QString bundle = QStringLiteral("app%1").arg(i % 10);
        history.insert(bundle, 1000.0 + (i % 10));
        windows.append(model(i, bundle, i / 3)); // sort indexes repeat: ties keep their order
    }
    sortWindows(windows, false, history);
    for (int i = 1; i < windows.size(); ++i) {
        const auto &prev = windows[i - 1];
        const auto &cur = windows[i];
        const double tp = history.value(prev.bundleIdentifier);
        const double tc = history.value(cur.bundleIdentifier);
        ASSERT_GE(tp, tc);
        if (tp == tc) {
            ASSERT_LE(prev.sortIndex, cur.sortIndex);
            if (prev.sortIndex == cur.sortIndex) {
                ASSERT_LT(prev.id, cur.id);
            }
        }
    }
}

// Windows the order cannot tell apart (the same application, the same place in the window list)
// keep the order they came in, in a short list (sorted in one run) and a long one (runs merged):
// with the tie-break reversed, such windows changed places at every scan, and the cards with them.
TEST(WindowOrder, WindowsTheOrderCannotTellApartKeepTheOrderTheyCameIn)
{
    for (int count : {5, 40, 64, 200}) {
        AppUsageHistory history{{"used", 500.0}, {"other", 100.0}};
        QList<AppWindowModel> windows;
        for (int i = 0; i < count; ++i)
            windows.append(model(i, i % 2 ? "used" : "other", i % 4 < 2 ? 0 : 1));
        sortWindows(windows, false, history);
        QList<qint64> expected;
        for (const char *bundle : {"used", "other"}) {
            for (int sortIndex : {0, 1}) {
                for (int i = 0; i < count; ++i) {
                    if ((i % 2 ? "used" : "other") == QLatin1String(bundle) &&
                        (i % 4 < 2 ? 0 : 1) == sortIndex)
                        expected.append(i);
                }
            }
        }
        EXPECT_EQ(ids(windows), expected) << count << " windows: windows that tie changed places";
    }
}

TEST(IgnoreList, DecodesTrimmedEntriesAndMatchesBundlesExactlyAndNamesInAnyCase)
{
    const QString setting = QStringLiteral("com.example.one, \t Some App \t,,com.example.two");
    EXPECT_EQ(decodeIgnoreList(setting), QStringList({"com.example.one", "Some App", "com.example.two"}));
    struct Row
    {
        const char *bundle;
        const char *name;
        bool ignored;
    } rows[] = {
        {"com.example.one", "", true},
        {"com.example.two", "", true},
        {"COM.EXAMPLE.ONE", "", false}, // identifiers are case-sensitive
        {"", "some app", true},
        {"", "SOME APP", true},
        {"", "Some", false},
        {"", "", false}, // empty identifiers and names are never ignored
    };
    for (const auto &row : rows) {
        const bool ignored = isIgnoredBundle(setting, row.bundle) || isIgnoredAppName(setting, row.name);
        EXPECT_EQ(ignored, row.ignored) << row.bundle << " / " << row.name;
    }
}

TEST(IgnoreList, BlankPieceDoesNotHideApplicationsWithoutIdentifier)
{
    // A piece of blanks trims to nothing; taken as an entry it would match every empty identifier.
    EXPECT_FALSE(isIgnoredBundle(QStringLiteral("com.a, ,com.b"), QString()));
    EXPECT_FALSE(isIgnoredAppName(QString(), QString()));
}
