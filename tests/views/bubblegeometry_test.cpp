#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <tuple>
#include <vector>

#include "platform/sim/simdesktop.h"
#include "views/bubble/bubbleplacement.h"
#include "views/bubble/bubbleshape.h"
#include "views/bubble/horizontalscrollview.h"
#include "views/bubble/windowpreviewcard.h"
#include "views/peek/peeklayout.h"

using namespace qv;
using namespace qv::BubblePlacement;

namespace {

// Screen coordinates: bottom-left origin. A 1440 x 900 main screen with a 25 pt menu bar and a Dock
// of `inset` on `side`.
ScreenInfo screenWithDock(DockPosition side, double inset, const QRectF &frame = QRectF(0, 0, 1440, 900))
{
    QRectF visible = frame.adjusted(0, 0, 0, -25);
    switch (side) {
    case DockPosition::bottom:
        visible.setTop(frame.top() + inset);
        break;
    case DockPosition::left:
        visible.setLeft(frame.left() + inset);
        break;
    case DockPosition::right:
        visible.setRight(frame.right() - inset);
        break;
    case DockPosition::top:
        // A desktop panel along the top, where no menu bar is.
        visible = frame.adjusted(0, 0, 0, -inset);
        break;
    }
    return {frame, visible};
}

const DockTileSize plainTiles{false, 48, 48};

} // namespace

TEST(BubbleSize, GrowsWithTheCardsUpToFourAcross)
{
    const QList<std::pair<int, double>> rows = {{0, 243}, {1, 243}, {2, 430}, {3, 617},
                                                {4, 804}, {5, 804}, {40, 804}};
    for (const auto &[count, width] : rows) {
        EXPECT_EQ(overlaySize(count), QSizeF(width, 233)) << count;
    }
}

TEST(BubbleSize, ResizingKeepsTheEdgeNearestTheDock)
{
    const QRectF current(100, 80, 300, 320);
    const QSizeF size(804, 233);
    EXPECT_EQ(resizedFrame(current, size, DockPosition::bottom), QRectF(250 - 402, 80, 804, 233));
    EXPECT_EQ(resizedFrame(current, size, DockPosition::left), QRectF(100, 240 - 116.5, 804, 233));
    EXPECT_EQ(resizedFrame(current, size, DockPosition::right), QRectF(400 - 804, 240 - 116.5, 804, 233));
}

TEST(BubblePlacement, SitsAboveABottomDockClearOfTheDockAndTheTile)
{
    // A 48 pt Dock without magnification inside a 70 pt inset: max(0 + 70, icon top) + gap.
    const ScreenInfo screen = screenWithDock(DockPosition::bottom, 70);
    const QRectF icon(600, 4, 48, 48);
    const Placement p = place(icon, QSizeF(430, 233), screen, plainTiles);
    EXPECT_EQ(p.side, DockPosition::bottom);
    EXPECT_EQ(p.edge, BubbleEdge::bottom);
    EXPECT_DOUBLE_EQ(p.origin.x(), 624 - 215);
    EXPECT_DOUBLE_EQ(p.origin.y(), 70 + 4.8);
    EXPECT_DOUBLE_EQ(p.arrowFraction, 0.5);

    // A thin Dock: the tile size decides the offset (t + 6 = 54), and magnification the icon size.
    const ScreenInfo thin = screenWithDock(DockPosition::bottom, 20);
    EXPECT_DOUBLE_EQ(place(icon, QSizeF(430, 233), thin, plainTiles).origin.y(), 54 + 4.8);
    EXPECT_DOUBLE_EQ(place(icon, QSizeF(430, 233), thin, DockTileSize{true, 48, 96}).origin.y(), 100 + 4.8);

    // On a screen shorter than the bubble the top edge would win and the bubble would cover the
    // tile: it stays 3 pt clear of the tile's edge instead.
    const ScreenInfo shortScreen = screenWithDock(DockPosition::bottom, 70, QRectF(0, 0, 1440, 250));
    EXPECT_DOUBLE_EQ(place(icon, QSizeF(430, 233), shortScreen, plainTiles).origin.y(), 4 + 48 + 3);
}

TEST(BubblePlacement, AtTheFarLeftTheBubbleIsClampedAndTheArrowStopsAtTenPercent)
{
    const ScreenInfo screen = screenWithDock(DockPosition::bottom, 70);
    const Placement p = place(QRectF(2, 4, 48, 48), QSizeF(804, 233), screen, plainTiles);
    EXPECT_DOUBLE_EQ(p.origin.x(), 8);
    EXPECT_DOUBLE_EQ(p.arrowFraction, 0.1);
}

TEST(BubblePlacement, BesideSideDocksTheArrowPointsSideways)
{
    const ScreenInfo left = screenWithDock(DockPosition::left, 60);
    const Placement l = place(QRectF(4, 400, 48, 48), QSizeF(430, 233), left, plainTiles);
    EXPECT_EQ(l.edge, BubbleEdge::left);
    // Beside the tile with a gap, but never closer than 8 pt to the Dock's visible edge.
    EXPECT_DOUBLE_EQ(l.origin.x(), 60 + 8);
    EXPECT_DOUBLE_EQ(l.origin.y(), 424 - 116.5);
    EXPECT_DOUBLE_EQ(l.arrowFraction, 0.5);

    const ScreenInfo right = screenWithDock(DockPosition::right, 60);
    const Placement r = place(QRectF(1388, 400, 48, 48), QSizeF(430, 233), right, plainTiles);
    EXPECT_EQ(r.edge, BubbleEdge::right);
    EXPECT_DOUBLE_EQ(r.origin.x(), 1440 - 60 - 8 - 430);
    // Near the top of a side Dock the bubble is held 8 pt below the top and the arrow slides up to
    // its top end (the fraction counts from the top, as the outline draws it).
    const Placement top = place(QRectF(1388, 860, 48, 48), QSizeF(430, 233), right, plainTiles);
    EXPECT_DOUBLE_EQ(top.origin.y(), 900 - 8 - 233);
    EXPECT_DOUBLE_EQ(top.arrowFraction, 0.1);
}

// The arrow's fraction along a side edge was measured from the bubble's bottom but drawn from its
// top, so a tile near the top of a side Dock had its arrow near the bottom of the bubble. Checked
// where a person sees it: the drawn tip on the screen against the tile's centre.
TEST(BubblePlacement, BesideSideDocksTheArrowTipMeetsTheTileNearEitherEnd)
{
    const QSizeF size(430, 233);
    constexpr double padding = 14; // the bubble's outline inside its panel
    for (DockPosition side : {DockPosition::left, DockPosition::right}) {
        for (double tileY : {780.0, 40.0}) {
            const ScreenInfo screen = screenWithDock(side, 60);
            const QRectF icon(side == DockPosition::left ? 4 : 1388, tileY, 48, 48);
            const Placement placement = place(icon, size, screen, plainTiles);
            BubbleShape shape;
            shape.edge = placement.edge;
            shape.arrowPosition = placement.arrowFraction;
            // The tip in the panel (top-left, y down), then on the screen (bottom-left, y up).
            const QPointF tip =
                shape.arrowTip(QRectF(0, 0, size.width() - 2 * padding, size.height() - 2 * padding)) +
                QPointF(padding, padding);
            const QPointF onScreen(placement.origin.x() + tip.x(),
                                   placement.origin.y() + size.height() - tip.y());
            SCOPED_TRACE(testing::Message()
                         << (side == DockPosition::left ? "left" : "right") << " " << tileY);
            EXPECT_NEAR(onScreen.y(), icon.center().y(), 12);
            if (side == DockPosition::left)
                EXPECT_NEAR(onScreen.x(), icon.right() + 8 + padding, 9);
            else
                EXPECT_NEAR(onScreen.x(), icon.left() - 8 - padding, 9);
        }
    }
}

// A panel along the top was taken for a bottom Dock and the bubble went to the bottom of the
// screen. On the panel's word the Dock is at the top: the bubble hangs just below it, arrow up.
TEST(BubblePlacement, BelowATopPanelTheBubbleHangsUnderTheTileWithTheArrowUp)
{
    const ScreenInfo screen = screenWithDock(DockPosition::top, 48);
    const QRectF tile(600, 852, 48, 48); // screen coordinates: the top 48 pt
    EXPECT_EQ(dockSide(screen), DockPosition::bottom) << "without the panel's word";
    EXPECT_EQ(dockSide(screen, DockPosition::top), DockPosition::top);
    // The given (top) rectangle wins over its flipped form at the bottom.
    EXPECT_EQ(normalizedIconFrame(tile, {screen}, screen, 900, DockPosition::top), tile);
    EXPECT_EQ(normalizedIconFrame(QRectF(600, 0, 48, 48), {screen}, screen, 900, DockPosition::top), tile);

    const Placement p = place(tile, QSizeF(430, 233), screen, plainTiles, DockPosition::top);
    EXPECT_EQ(p.side, DockPosition::top);
    EXPECT_EQ(p.edge, BubbleEdge::top);
    EXPECT_DOUBLE_EQ(p.origin.x(), 624 - 215);
    // Its top edge sits the tile size plus a gap below the screen's top, under the panel.
    const double bubbleTop = p.origin.y() + 233;
    EXPECT_DOUBLE_EQ(bubbleTop, 900 - 54 - 4.8);
    EXPECT_LT(bubbleTop, 852);
    EXPECT_DOUBLE_EQ(p.arrowFraction, 0.5);
    // Beside the left end of the panel it is held 8 pt from the screen's edge, the arrow slides.
    const Placement end =
        place(QRectF(0, 852, 48, 48), QSizeF(430, 233), screen, plainTiles, DockPosition::top);
    EXPECT_DOUBLE_EQ(end.origin.x(), 8);
    EXPECT_DOUBLE_EQ(end.arrowFraction, 0.1);
    // A resize keeps the top edge under the panel and the centre.
    EXPECT_EQ(resizedFrame(QRectF(100, 600, 300, 233), QSizeF(804, 233), DockPosition::top),
              QRectF(250 - 402, 600, 804, 233));

    BubbleShape shape;
    shape.edge = BubbleEdge::top;
    shape.arrowPosition = 0.5;
    const QRectF r(0, 0, 400, 200);
    EXPECT_EQ(shape.arrowTip(r), QPointF(200, 0));
    EXPECT_EQ(shape.bodyRect(r), QRectF(0, 12, 400, 188));
}

TEST(BubblePlacement, AllowedAreaLeavesEightPointsAndNeverCoversASideDock)
{
    EXPECT_EQ(allowedRect(DockPosition::bottom, screenWithDock(DockPosition::bottom, 70)),
              QRectF(8, 8, 1424, 884));
    EXPECT_EQ(allowedRect(DockPosition::left, screenWithDock(DockPosition::left, 60)),
              QRectF(68, 8, 1364, 884));
    EXPECT_EQ(allowedRect(DockPosition::right, screenWithDock(DockPosition::right, 60)),
              QRectF(8, 8, 1364, 884));
    // A panel larger than the area: the right and top edges win.
    EXPECT_EQ(clampOrigin(QPointF(0, 0), QSizeF(200, 200), QRectF(8, 8, 100, 100)), QPointF(-92, -92));
}

TEST(BubblePlacement, MovesOnlyBeyondTheDeadBandUnlessForced)
{
    EXPECT_FALSE(shouldMove(QPointF(100, 100), QPointF(102.5, 97.5), false));
    EXPECT_TRUE(shouldMove(QPointF(100, 100), QPointF(102.6, 100), false));
    EXPECT_TRUE(shouldMove(QPointF(100, 100), QPointF(100, 100), true));
}

TEST(IconFrame, TheFlippedFormIsChosenWhenItSitsOnTheDockEdge)
{
    const ScreenInfo main = screenWithDock(DockPosition::bottom, 70);
    const QList<ScreenInfo> screens{main};
    // Accessibility coordinates (top-left) of a bottom tile flip onto the bottom edge.
    EXPECT_EQ(normalizedIconFrame(QRectF(600, 840, 56, 56), screens, main, 900), QRectF(600, 4, 56, 56));
    // Already in screen coordinates: kept.
    EXPECT_EQ(normalizedIconFrame(QRectF(600, 4, 56, 56), screens, main, 900), QRectF(600, 4, 56, 56));
    EXPECT_EQ(normalizedIconFrame(QRectF(), screens, main, 900), QRectF());
    EXPECT_DOUBLE_EQ(iconFrameScore(QRectF(600, 300, 56, 56), screens, main), 300 + 10000);
    EXPECT_EQ(iconFrameScore(QRectF(600, 4, 56, 56), {}, std::nullopt), std::numeric_limits<double>::max());
}

TEST(IconFrame, ATileOnASecondScreenAboveTheMainOneIsPlacedOnThatScreen)
{
    const ScreenInfo main = screenWithDock(DockPosition::bottom, 0);
    const ScreenInfo upper = screenWithDock(DockPosition::bottom, 70, QRectF(200, 900, 1280, 800));
    const QList<ScreenInfo> screens{main, upper};
    // The tile at the upper screen's bottom: y = -896 in accessibility coordinates flips to 904.
    const QRectF icon = normalizedIconFrame(QRectF(800, -(56 + 4), 56, 56), screens, main, 900);
    EXPECT_EQ(icon, QRectF(800, 904, 56, 56));
    const auto screen = screenForIcon(icon, screens, main, QPointF());
    ASSERT_TRUE(screen);
    EXPECT_EQ(*screen, upper);
    const Placement p = place(icon, QSizeF(243, 233), *screen, plainTiles);
    EXPECT_DOUBLE_EQ(p.origin.y(), 900 + 70 + 5.6);
}

TEST(DockTiles, PreferencesAreReadWithTheirDefaultsAndFloor)
{
    SimDockPreferences preferences;
    DockTileSize tiles = dockTileSize(preferences);
    EXPECT_DOUBLE_EQ(tiles.iconSize(), 48);
    preferences.set("tilesize", 8);
    preferences.set("largesize", 128);
    preferences.set("magnification", true);
    tiles = dockTileSize(preferences);
    EXPECT_DOUBLE_EQ(tiles.tileSize, 16);
    EXPECT_DOUBLE_EQ(tiles.iconSize(), 128);
    preferences.set("magnification", QString("yes")); // not a Boolean: off
    EXPECT_DOUBLE_EQ(dockTileSize(preferences).iconSize(), 16);
}

// The settings page showed 0.2 s and offered up to 1 s while the preview waited 0.02 s with nothing
// stored and never more than 0.25 s: what the page shows is now what is waited.
TEST(HoverDelay, TheSlidersWholeRangeAndItsDefaultPlusAutohide)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const std::vector<std::tuple<std::optional<double>, bool, double>> rows = {
        {std::nullopt, false, 0.2}, {std::nullopt, true, 0.26}, {1.0, false, 1.0}, {1.0, true, 1.06},
        {0.6, false, 0.6},          {5.0, false, 1.0},          {-1.0, false, 0}, {0.0, false, 0},
        {nan, false, 0.2},          {inf, false, 0.2},
    };
    for (const auto &[stored, autohide, expected] : rows)
        EXPECT_DOUBLE_EQ(hoverDelay(stored, autohide), expected) << stored.value_or(-99) << " " << autohide;
}

TEST(PointerCheck, PanelTileAndTheGapBetweenThemCountAsInside)
{
    const QRectF panel(400, 80, 430, 233);
    const QRectF icon(590, 4, 56, 56);
    EXPECT_TRUE(isPointerInside(QPointF(618, 70), panel, icon)); // the gap
    EXPECT_TRUE(isPointerInside(QPointF(397, 200), panel, icon));
    EXPECT_TRUE(isPointerInside(QPointF(582, 30), panel, icon));
    EXPECT_FALSE(isPointerInside(QPointF(1000, 30), panel, icon));
    EXPECT_FALSE(isPointerInside(QPointF(300, 30), panel, QRectF()));
}

TEST(BubbleShape, ArrowPositionIsHeldBetweenTenAndNinetyPercent)
{
    const QRectF r(0, 0, 200, 100);
    const QList<std::pair<double, double>> rows = {{0, 20},    {0.05, 20},  {0.1, 20},
                                                   {0.5, 100}, {0.95, 180}, {1, 180}};
    for (const auto &[position, x] : rows) {
        EXPECT_DOUBLE_EQ((BubbleShape{position, BubbleEdge::bottom}.arrowTip(r).x()), x) << position;
    }
}

TEST(BubbleShape, TheArrowSideLeavesTwelvePointsAndTheTipTouchesThatSide)
{
    const QRectF r(0, 0, 200, 100);
    const BubbleShape bottom{0.5, BubbleEdge::bottom};
    const BubbleShape left{0.5, BubbleEdge::left};
    const BubbleShape right{0.5, BubbleEdge::right};
    EXPECT_EQ(bottom.bodyRect(r), QRectF(0, 0, 200, 88));
    EXPECT_EQ(left.bodyRect(r), QRectF(12, 0, 188, 100));
    EXPECT_EQ(right.bodyRect(r), QRectF(0, 0, 188, 100));
    EXPECT_EQ(bottom.arrowTip(r), QPointF(100, 100));
    EXPECT_EQ(left.arrowTip(r), QPointF(0, 50));
    EXPECT_EQ(right.arrowTip(r), QPointF(200, 50));
    // The filled outline holds the arrow but not the corners beside it.
    EXPECT_TRUE(bottom.filledPath(r).contains(QPointF(100, 96)));
    EXPECT_FALSE(bottom.filledPath(r).contains(QPointF(80, 96)));
    EXPECT_TRUE(left.filledPath(r).contains(QPointF(4, 50)));
    EXPECT_FALSE(left.filledPath(r).contains(QPointF(4, 20)));
}

TEST(BubbleEdge, OnlyTheFourSidesAreKnown)
{
    EXPECT_EQ(bubbleEdgeFromRaw("left"), BubbleEdge::left);
    EXPECT_EQ(bubbleEdgeFromRaw("right"), BubbleEdge::right);
    EXPECT_EQ(bubbleEdgeFromRaw("bottom"), BubbleEdge::bottom);
    EXPECT_EQ(bubbleEdgeFromRaw("top"), BubbleEdge::top); // below a desktop's top panel
    EXPECT_EQ(bubbleEdgeFromRaw("Left"), std::nullopt);
    EXPECT_EQ(bubbleEdgeFromRaw("middle"), std::nullopt);
}

TEST(WheelScrolling, VerticalTurnsMoveTheRowAndStayClamped)
{
    EXPECT_DOUBLE_EQ(HorizontalScrollView::wheelOffset(0, 1, 300, 700), 0); // narrower content never moves
    EXPECT_DOUBLE_EQ(HorizontalScrollView::wheelOffset(0, -10, 1000, 700), 30);
    EXPECT_DOUBLE_EQ(HorizontalScrollView::wheelOffset(295, -10, 1000, 700), 300);
    EXPECT_DOUBLE_EQ(HorizontalScrollView::wheelOffset(20, 10, 1000, 700), 0);
}

TEST(CardGestures, DragStartsAtTwelvePointsAndAReleaseUnderSixteenStillFocuses)
{
    EXPECT_FALSE(WindowPreviewCard::startsDrag(QPointF(11, 0)));
    EXPECT_TRUE(WindowPreviewCard::startsDrag(QPointF(12, 0)));
    EXPECT_FALSE(WindowPreviewCard::startsDrag(QPointF(8, 8))); // 11.3 pt
    EXPECT_TRUE(WindowPreviewCard::releaseFocuses(QPointF(15, 0)));
    EXPECT_FALSE(WindowPreviewCard::releaseFocuses(QPointF(16, 0)));
    EXPECT_FALSE(WindowPreviewCard::releaseFocuses(QPointF(12, 12)));
}

TEST(CardGestures, SnapshotsAreLetterboxedNotStretched)
{
    const QRectF area(0, 0, 145, 85);
    const QRectF tall = WindowPreviewCard::letterboxed(QSizeF(100, 200), area);
    EXPECT_DOUBLE_EQ(tall.height(), 85);
    EXPECT_DOUBLE_EQ(tall.width(), 42.5);
    EXPECT_DOUBLE_EQ(tall.center().x(), 72.5);
    const QRectF wide = WindowPreviewCard::letterboxed(QSizeF(1450, 425), area);
    EXPECT_DOUBLE_EQ(wide.width(), 145);
    EXPECT_DOUBLE_EQ(wide.height(), 42.5);
}

TEST(PeekLayout, ZoneTilesSitAtTheEdgesOfTheScreen)
{
    const auto tiles = PeekLayout::zoneTiles(QSizeF(1000, 500));
    ASSERT_EQ(tiles.size(), 3);
    EXPECT_EQ(tiles[0].zone, SnapPosition::left);
    EXPECT_EQ(tiles[0].rect, QRectF(0, 100, 200, 300));
    EXPECT_EQ(tiles[1].rect, QRectF(800, 100, 200, 300));
    EXPECT_EQ(tiles[2].zone, SnapPosition::maximize);
    EXPECT_EQ(tiles[2].rect, QRectF(300, 0, 400, 100));
}

TEST(PeekLayout, ThePeekCardCoversTheWindowOnTheScreenUnderThePointer)
{
    const ScreenInfo main{QRectF(0, 0, 1440, 900), QRectF(0, 70, 1440, 805)};
    const ScreenInfo upper{QRectF(200, 900, 1280, 800), QRectF(200, 900, 1280, 775)};
    const QRectF window(300, -700, 600, 400); // top-left coordinates: on the upper screen
    // On the main screen the window's frame is where it is.
    EXPECT_EQ(PeekLayout::peekCardRect(QRectF(100, 50, 600, 400), false, QSizeF(1440, 900), {main, upper},
                                       main, QPointF(10, 10), 900),
              QRectF(100, 50, 600, 400));
    // On the upper screen: x from its left edge, y by the flip line and its top.
    EXPECT_EQ(PeekLayout::peekCardRect(window, false, QSizeF(1280, 800), {main, upper}, main,
                                       QPointF(500, 1000), 900),
              QRectF(100, 100, 600, 400));
    // A minimised window is centred at 70 %; without any screen the card is centred.
    EXPECT_EQ(PeekLayout::peekCardRect(window, true, QSizeF(1000, 500), {main}, main, QPointF(), 900),
              QRectF(150, 75, 700, 350));
    EXPECT_EQ(PeekLayout::peekCardRect(window, false, QSizeF(1000, 500), {}, std::nullopt, QPointF(), 900),
              QRectF(200, 50, 600, 400));
}

// With the main screen 200 px lower than a taller one beside it, the peek card was placed by the
// first screen's height and missed its window by that offset.
TEST(PeekLayout, BesideATallerScreenTheCardStillCoversItsWindow)
{
    // Root: the main screen at (0, 200) 1280 x 1024, a taller one at (1280, 0) 1920 x 1200. The flip
    // line is the main screen's bottom edge, 1224.
    const ScreenInfo main{QRectF(0, 0, 1280, 1024), QRectF(0, 0, 1280, 1000)};
    const ScreenInfo tall{QRectF(1280, 24, 1920, 1200), QRectF(1280, 24, 1920, 1200)};
    const QRectF onMain(100, 300, 600, 400);  // root coordinates
    const QRectF onTall(1400, 100, 600, 400); // root coordinates
    EXPECT_EQ(PeekLayout::peekCardRect(onMain, false, QSizeF(1280, 1024), {main, tall}, main, QPointF(10, 10),
                                       1224),
              QRectF(100, 100, 600, 400));
    EXPECT_EQ(PeekLayout::peekCardRect(onTall, false, QSizeF(1920, 1200), {main, tall}, main,
                                       QPointF(1500, 500), 1224),
              QRectF(120, 100, 600, 400));
}
