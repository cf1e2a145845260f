#include <gtest/gtest.h>

#include "platform/geometry.h"
#include "platform/x11/x11screens.h"

using namespace qv;

// With the main screen lower than a taller one beside it, the flip used the main screen's height
// while the screen list flipped about its bottom edge: snap frames, the drag pointer and panel
// placement were off by the main screen's top. One line now serves both.
TEST(X11ScreenLayout, FlipsAboutTheMainScreensBottomEdgeAlsoWhenItSitsLower)
{
    const struct
    {
        const char *name;
        QList<X11Screens::RootScreen> root;
        qsizetype primary;
        double flipLine;
    } rows[] = {
        {"one screen", {{QRect(0, 0, 1440, 900), QRect(0, 0, 1440, 860)}}, 0, 900},
        {"main lower than a taller screen",
         {{QRect(1280, 0, 1920, 1200), QRect(1280, 0, 1920, 1200)},
          {QRect(0, 200, 1280, 1024), QRect(0, 200, 1280, 984)}},
         1,
         1224},
        {"main above another",
         {{QRect(0, 0, 1280, 800), QRect(0, 0, 1280, 800)}, {QRect(0, 800, 1280, 800), {}}},
         0,
         800},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const X11Screens::Layout layout = X11Screens::layout(row.root, row.primary);
        EXPECT_DOUBLE_EQ(layout.flipLine, row.flipLine);
        ASSERT_EQ(layout.screens.size(), row.root.size());
        // The main screen comes first and starts at the origin.
        EXPECT_EQ(layout.screens.first().frame.topLeft(), QPointF(0, 0));
        EXPECT_EQ(layout.screens.first().frame.size(), QSizeF(row.root.at(row.primary).geometry.size()));
        // Every frame and visible frame flips back onto the root rectangle it came from with the same
        // line, as snap frames and panel positions are flipped.
        qsizetype next = 1;
        for (qsizetype i = 0; i < row.root.size(); ++i) {
            const ScreenInfo &info = layout.screens.at(i == row.primary ? 0 : next++);
            EXPECT_EQ(flipRect(info.frame, layout.flipLine), QRectF(row.root.at(i).geometry));
            EXPECT_EQ(flipRect(info.visibleFrame, layout.flipLine), QRectF(row.root.at(i).available));
        }
    }
    // The main screen lower by 200: a window 100 px below the top of the taller screen lies on it.
    const X11Screens::Layout two = X11Screens::layout(rows[1].root, 1);
    const QRectF window = flipRect(QRectF(1400, 100, 600, 400), two.flipLine);
    EXPECT_TRUE(two.screens.at(1).frame.contains(window));
    EXPECT_FALSE(two.screens.at(0).frame.intersects(window));

    EXPECT_TRUE(X11Screens::layout(rows[0].root, -1).screens.isEmpty());
    EXPECT_DOUBLE_EQ(X11Screens::layout({}, 0).flipLine, 0);
}
