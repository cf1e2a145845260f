#include <gtest/gtest.h>

#include "platform/sim/simaccessibility.h"
#include "platform/sim/simdesktop.h"
#include "windows/windowplacement.h"

using namespace qv;

namespace {

// The main screen and one above it (its bottom edge on the main screen's top edge). In top-left
// coordinates the upper screen spans y from -1080 to 0.
const ScreenInfo mainScreen{QRectF(0, 0, 1440, 900), QRectF(0, 70, 1440, 805)};
const ScreenInfo upperScreen{QRectF(0, 900, 1920, 1080), QRectF(0, 900, 1920, 1055)};

struct ZoneCase
{
    QPointF point;
    std::optional<SnapPosition> zone;
};

class DragZones : public ::testing::TestWithParam<ZoneCase>
{
};

} // namespace

TEST_P(DragZones, FollowTheFifteenPercentLines)
{
    EXPECT_EQ(dragZone(QRectF(0, 0, 1000, 1000), GetParam().point), GetParam().zone);
}

INSTANTIATE_TEST_SUITE_P(
    Screen, DragZones,
    ::testing::Values(ZoneCase{{5, 995}, SnapPosition::maximize},   // top-left corner: the top wins
                      ZoneCase{{995, 995}, SnapPosition::maximize}, // top-right corner
                      ZoneCase{{500, 850}, std::nullopt},           // on the top line
                      ZoneCase{{500, 850.5}, SnapPosition::maximize},
                      ZoneCase{{150, 500}, std::nullopt}, // on the left line
                      ZoneCase{{149.5, 500}, SnapPosition::left},
                      ZoneCase{{850, 500}, std::nullopt}, // on the right line
                      ZoneCase{{850.5, 500}, SnapPosition::right},
                      ZoneCase{{5, 5}, SnapPosition::left}, // bottom corners are side zones
                      ZoneCase{{500, 500}, std::nullopt}));

TEST(DragZonesOnAnOffsetScreen, AreMeasuredFromThatScreensEdges)
{
    EXPECT_EQ(dragZone(upperScreen.frame, QPointF(960, 1900)), SnapPosition::maximize);
    EXPECT_EQ(dragZone(upperScreen.frame, QPointF(100, 1000)), SnapPosition::left);
    EXPECT_EQ(dragZone(upperScreen.frame, QPointF(960, 1000)), std::nullopt);
}

TEST(SnapTargetFrame, HalvesFullAndCentre)
{
    const QRectF vf = mainScreen.visibleFrame;
    EXPECT_EQ(snapTargetFrame(vf, SnapPosition::left), QRectF(0, 70, 720, 805));
    EXPECT_EQ(snapTargetFrame(vf, SnapPosition::right), QRectF(720, 70, 720, 805));
    EXPECT_EQ(snapTargetFrame(vf, SnapPosition::maximize), vf);
    // 80 % of each side, at most 1200x800, centred.
    EXPECT_EQ(snapTargetFrame(QRectF(0, 25, 1440, 875), SnapPosition::center), QRectF(144, 112.5, 1152, 700));
    EXPECT_EQ(snapTargetFrame(QRectF(0, 0, 2560, 1415), SnapPosition::center), QRectF(680, 307.5, 1200, 800));
}

TEST(PickScreen, PointerFirstThenTheWindowsScreenInTopLeftTerms)
{
    SimScreens screens;
    EXPECT_EQ(pickScreen(screens, QPointF(10, 10), QRectF(0, 0, 100, 100)), std::nullopt);
    screens.setScreens({mainScreen, upperScreen});
    EXPECT_EQ(pickScreen(screens, QPointF(100, 1000), std::nullopt), upperScreen);
    // The line between the screens belongs to the upper one only.
    EXPECT_EQ(pickScreen(screens, QPointF(100, 900), std::nullopt), upperScreen);
    EXPECT_EQ(pickScreen(screens, QPointF(100, 899.5), std::nullopt), mainScreen);
    // A window at y -800 (top-left) lies on the upper screen; taken unflipped it would meet none.
    EXPECT_EQ(pickScreen(screens, QPointF(-5000, 0), QRectF(100, -800, 400, 300)), upperScreen);
    EXPECT_EQ(pickScreen(screens, std::nullopt, QRectF(100, 100, 400, 300)), mainScreen);
    EXPECT_EQ(pickScreen(screens, std::nullopt, QRectF(9000, 9000, 10, 10)), mainScreen);
}

TEST(MoveWindowToMouseScreen, CentresAtLeastMinimumAtMostNinetyFivePercent)
{
    SimScreens screens;
    screens.setScreens({mainScreen, upperScreen});
    SimAccessibility ax;
    auto window = ax.makeElement(1);
    const auto placed = [&] {
        return QRectF(std::get<QPointF>(window->get("AXPosition")), std::get<QSizeF>(window->get("AXSize")));
    };

    // Small and far away, pointer on the upper screen: 520x360 centred on its visible frame
    // (centre 960, 1427.5 bottom-left, so top 1607.5, which is -707.5 top-left).
    screens.setMouseLocation(QPointF(100, 1000));
    window->set("AXPosition", QPointF(-9000, 40));
    window->set("AXSize", QSizeF(50, 50));
    EXPECT_TRUE(moveWindowToMouseScreen(*window, QRectF(), screens));
    EXPECT_EQ(placed(), QRectF(700, -707.5, 520, 360));

    // Too large for the main screen: 95 % of its visible frame on each side.
    screens.setMouseLocation(QPointF(100, 100));
    window->set("AXSize", QSizeF(3000, 2000));
    EXPECT_TRUE(moveWindowToMouseScreen(*window, QRectF(), screens));
    EXPECT_EQ(placed().size(), QSizeF(1368, 764.75));
    EXPECT_EQ(placed().center(), QPointF(720, 900 - 472.5));

    // An unreadable frame takes the fallback's size; a window that refuses both sets reports false.
    window->unset("AXSize");
    EXPECT_TRUE(moveWindowToMouseScreen(*window, QRectF(0, 0, 800, 600), screens));
    EXPECT_EQ(placed().size(), QSizeF(800, 600));
    window->setElementError(AXError::cannotComplete);
    EXPECT_FALSE(moveWindowToMouseScreen(*window, QRectF(0, 0, 800, 600), screens));
}

TEST(IsAXWindowOnScreen, TestsTheFlippedFrameAgainstVisibleFrames)
{
    SimScreens screens;
    screens.setScreens({mainScreen, upperScreen});
    SimAccessibility ax;
    auto window = ax.makeElement(1);
    EXPECT_FALSE(isAXWindowOnScreen(*window, screens));
    window->set("AXSize", QSizeF(400, 300));
    window->set("AXPosition", QPointF(100, -600));
    EXPECT_TRUE(isAXWindowOnScreen(*window, screens));
    // Inside the main screen's bottom Dock strip only: not on a visible frame.
    window->set("AXSize", QSizeF(400, 60));
    window->set("AXPosition", QPointF(100, 835));
    EXPECT_FALSE(isAXWindowOnScreen(*window, screens));
}
