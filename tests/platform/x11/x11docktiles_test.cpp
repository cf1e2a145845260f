#include <gtest/gtest.h>

#include <climits>

#include "platform/x11/x11docktiles.h"

using namespace qv;
using Role = X11AccessibleNode::Role;

namespace qv {
void PrintTo(const X11DockTile &tile, std::ostream *out)
{
    const QRect &f = tile.frame;
    *out << tile.appName.left(40).toStdString() << " @" << f.x() << "," << f.y() << " " << f.width() << "x"
         << f.height();
}
} // namespace qv

namespace {

X11AccessibleNode button(Role role, const QString &name, QRect extents, bool showing = true)
{
    return X11AccessibleNode{role, name, extents, showing, {}};
}

X11AccessibleNode container(QList<X11AccessibleNode> children, bool showing = true)
{
    return X11AccessibleNode{Role::other, QString(), QRect(0, 1040, 1920, 40), showing, std::move(children)};
}

// A bottom panel as xfce4-panel shows it: the application, its panel window, plugin boxes holding
// launchers and a tasklist.
X11PanelWalk panel(QList<X11AccessibleNode> plugins)
{
    X11AccessibleNode app{
        Role::other, QStringLiteral("xfce4-panel"), QRect(), true, {container(std::move(plugins))}};
    return X11PanelWalk{4242, QStringLiteral("xfce4-panel"), app};
}

X11TaskWindow window(const QString &title, const QString &wmClass, const QString &appName,
                     std::optional<QRect> iconGeometry = std::nullopt)
{
    return X11TaskWindow{title, wmClass, wmClass.toLower(), appName, iconGeometry};
}

} // namespace

TEST(X11DockTilesTest, ReadsShowingLaunchersAndTaskButtonsOfTheWindowsTheyName)
{
    const QList<X11TaskWindow> windows{
        window("left term", "XTerm", "XTerm"),
        window("right term", "XTerm", "XTerm"),
        window("Notes - Editor", "Mousepad", "Mousepad"),
    };
    const QList<X11PanelWalk> walks{panel({
        container({
            button(Role::pushButton, "Terminal", QRect(0, 1040, 40, 40)),
            button(Role::pushButton, "  Files  ", QRect(40, 1040, 40, 40)),
            // Scrolled out of the panel, or a hidden plugin: not on screen, no tile.
            button(Role::pushButton, "Hidden", QRect(80, 1040, 40, 40), false),
            container({button(Role::pushButton, "In hidden box", QRect(120, 1040, 40, 40))}, false),
            // Separators and spacers have no label.
            button(Role::pushButton, "", QRect(160, 1040, 40, 40)),
        }),
        container({
            button(Role::toggleButton, "right term", QRect(200, 1040, 150, 40)),
            // A grouped button carries the class; matched without regard to case.
            button(Role::toggleButton, "mousepad", QRect(350, 1040, 150, 40)),
            // A task of a window that is gone by now.
            button(Role::toggleButton, "Closed window", QRect(500, 1040, 150, 40)),
        }),
    })};
    const QList<X11DockTile> expected{
        {"Terminal", QRect(0, 1040, 40, 40)},
        {"Files", QRect(40, 1040, 40, 40)},
        {"XTerm", QRect(200, 1040, 150, 40)},
        {"Mousepad", QRect(350, 1040, 150, 40)},
    };
    EXPECT_EQ(X11DockTiles::build(walks, windows), expected);
}

TEST(X11DockTilesTest, LeavesOutTilesWithFramesOrNamesNoPanelShows)
{
    const QString huge(10000, QLatin1Char('x'));
    const QList<X11TaskWindow> windows{window(huge, "Huge", "Huge")};
    const QList<X11PanelWalk> walks{panel({
        button(Role::pushButton, "Zero", QRect(0, 1040, 0, 40)),
        button(Role::pushButton, "Negative", QRect(10, 1040, -5, 40)),
        button(Role::pushButton, "Hidden far away", QRect(INT_MIN, INT_MIN, 40, 40)),
        button(Role::pushButton, "Off the coordinate range", QRect(32760, 0, 40, 40)),
        button(Role::pushButton, huge, QRect(20, 1040, 40, 40)),
        button(Role::toggleButton, huge, QRect(60, 1040, 40, 40)),
        button(Role::pushButton, "Kept", QRect(100, 1040, 40, 40)),
    })};
    const QList<X11DockTile> expected{{"Kept", QRect(100, 1040, 40, 40)}};
    EXPECT_EQ(X11DockTiles::build(walks, windows), expected);
}

TEST(X11DockTilesTest, FramesFromOtherProgramsAreCheckedBeforeUse)
{
    EXPECT_EQ(X11DockTiles::frameFrom(10, 20, 30, 40), QRect(10, 20, 30, 40));
    EXPECT_FALSE(X11DockTiles::frameFrom(INT_MIN, INT_MIN, -1, -1));
    EXPECT_FALSE(X11DockTiles::frameFrom(INT_MIN, 0, 40, 40));
    EXPECT_FALSE(X11DockTiles::frameFrom(0, 0, 0, 40));
    EXPECT_FALSE(X11DockTiles::frameFrom(0, 0, 40, qint64(UINT32_MAX)));
    EXPECT_FALSE(X11DockTiles::isUsableFrame(QRect()));
}

TEST(X11DockTilesTest, IconGeometryMakesOneTilePerButtonAndDefersToThePanelsOwnTiles)
{
    const QList<X11TaskWindow> windows{
        // Two windows on one grouped button: one tile.
        window("a", "XTerm", "XTerm", QRect(200, 1040, 150, 40)),
        window("b", "XTerm", "XTerm", QRect(200, 1040, 150, 40)),
        // Separate buttons of one application stay separate tiles.
        window("c", "XTerm", "XTerm", QRect(350, 1040, 150, 40)),
        // Overlapping rectangles of one application (a button still growing) merge.
        window("d", "Gimp", "GIMP", QRect(500, 1040, 100, 40)),
        window("e", "Gimp", "GIMP", QRect(550, 1040, 100, 40)),
        // Covered by a tile the panel itself showed.
        window("f", "Mousepad", "Mousepad", QRect(10, 1045, 30, 30)),
        // No usable rectangle, or no known application.
        window("g", "Broken", "Broken", QRect(INT_MIN, INT_MIN, 1, 1)),
        window("h", "Unknown", "", QRect(700, 1040, 100, 40)),
        window("i", "Plain", "Plain"),
    };
    const QList<X11PanelWalk> walks{panel({button(Role::pushButton, "Mousepad", QRect(0, 1040, 40, 40))})};
    const QList<X11DockTile> expected{
        {"Mousepad", QRect(0, 1040, 40, 40)},
        {"XTerm", QRect(200, 1040, 150, 40)},
        {"XTerm", QRect(350, 1040, 150, 40)},
        {"GIMP", QRect(500, 1040, 150, 40)},
    };
    EXPECT_EQ(X11DockTiles::build(walks, windows), expected);
    // Without a panel on the bus the taskbar's rectangles alone make the Dock.
    EXPECT_EQ(X11DockTiles::build({}, windows).size(), 4);
}

// Two applications' task buttons that overlap while the panel lays them out again were merged into
// one tile, named after whichever came first.
TEST(X11DockTilesTest, OverlappingButtonsOfTwoApplicationsStayTwoTiles)
{
    const QList<X11TaskWindow> windows{
        window("a", "XTerm", "XTerm", QRect(200, 1040, 150, 40)),
        window("b", "Gimp", "GIMP", QRect(300, 1040, 150, 40)),
    };
    const QList<X11DockTile> expected{
        {"XTerm", QRect(200, 1040, 150, 40)},
        {"GIMP", QRect(300, 1040, 150, 40)},
    };
    EXPECT_EQ(X11DockTiles::build({}, windows), expected);
}

struct SideCase
{
    QRect panel;
    std::optional<QString> side;
};

class X11PanelSideTest : public ::testing::TestWithParam<SideCase>
{
};

TEST_P(X11PanelSideTest, LongSideAndNearerEdgeTellTheSide)
{
    const QRect screen(0, 0, 1920, 1080);
    EXPECT_EQ(X11DockTiles::panelSide(GetParam().panel, screen), GetParam().side);
}

INSTANTIATE_TEST_SUITE_P(Panels, X11PanelSideTest,
                         ::testing::Values(SideCase{QRect(0, 1040, 1920, 40), QStringLiteral("bottom")},
                                           SideCase{QRect(600, 1032, 700, 48), QStringLiteral("bottom")},
                                           SideCase{QRect(0, 0, 1920, 28), QStringLiteral("top")},
                                           SideCase{QRect(0, 100, 48, 800), QStringLiteral("left")},
                                           SideCase{QRect(1872, 0, 48, 1080), QStringLiteral("right")},
                                           // A square launcher tile alone at the bottom edge.
                                           SideCase{QRect(900, 1032, 48, 48), QStringLiteral("bottom")},
                                           SideCase{QRect(5000, 5000, 48, 800), std::nullopt},
                                           SideCase{QRect(0, 0, 0, 0), std::nullopt}));
