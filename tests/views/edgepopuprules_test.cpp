#include <gtest/gtest.h>

#include "shelf/shelfitem.h"
#include "runtime/manualscheduler.h"
#include "views/edgepopup/edgepopuprules.h"
#include "views/edgepopup/previewlayerstate.h"
#include "views/items/itemrules.h"

using namespace qv;
using namespace qv::EdgePopupRules;

TEST(EdgePopupRules, FiltersAreBuiltFromTheirExactCaptionsOnly)
{
    EXPECT_EQ(clipFilterFromRaw("All"), ClipFilter::all);
    EXPECT_EQ(clipFilterFromRaw("Text"), ClipFilter::text);
    EXPECT_EQ(clipFilterFromRaw("Images"), ClipFilter::image);
    for (const char *raw : {"all", "Image", "images", " Text", ""})
        EXPECT_FALSE(clipFilterFromRaw(raw)) << raw;
    QStringList captions;
    for (ClipFilter filter : allClipFilters())
        captions.append(rawValue(filter));
    EXPECT_EQ(captions, QStringList({"All", "Text", "Images"}));
}

TEST(EdgePopupRules, EachFilterKeepsItsKind)
{
    ClipboardItem text;
    ClipboardItem image;
    image.isImage = true;
    EXPECT_TRUE(keeps(ClipFilter::all, text) && keeps(ClipFilter::all, image));
    EXPECT_TRUE(keeps(ClipFilter::text, text) && !keeps(ClipFilter::text, image));
    EXPECT_TRUE(!keeps(ClipFilter::image, text) && keeps(ClipFilter::image, image));
}

TEST(EdgePopupRules, StripWidthsFollowTheCardCount)
{
    EXPECT_EQ(stripContentWidth(0), 1);
    EXPECT_EQ(stripContentWidth(1), 288);
    EXPECT_EQ(stripContentWidth(3), 800);
    // At least one point wider than what shows, so a short strip can still move a point.
    EXPECT_EQ(stripDocumentWidth(288, 1000), 1001);
    EXPECT_EQ(stripDocumentWidth(1001, 1000), 1001);
    EXPECT_EQ(stripDocumentWidth(1002, 1000), 1002);
}

struct WheelCase
{
    double offset, delta;
    bool precise;
    double expected;
};

class WheelOffset : public ::testing::TestWithParam<WheelCase>
{
};

TEST_P(WheelOffset, StaysInsideTheStrip)
{
    const WheelCase c = GetParam();
    EXPECT_DOUBLE_EQ(wheelOffset(c.offset, c.delta, c.precise, 1500, 1000), c.expected);
}

INSTANTIATE_TEST_SUITE_P(EdgePopupRules, WheelOffset,
                         ::testing::Values(WheelCase{100, 1.0, false, 90}, // one notch is 10 points
                                           WheelCase{5, 1.0, false, 0},    // never below 0
                                           WheelCase{100, -3.0, false, 130}, WheelCase{490, -3.0, false, 500},
                                           WheelCase{100, 7.5, true, 92.5}, // pixels as they are
                                           WheelCase{400, -250, true, 500}));

TEST(EdgePopupRules, OnlyMostlyVerticalInputTurnsSideways)
{
    EXPECT_TRUE(turnsWheelSideways(0, 1));
    EXPECT_TRUE(turnsWheelSideways(2, -3));
    EXPECT_FALSE(turnsWheelSideways(3, 3));
    EXPECT_FALSE(turnsWheelSideways(0, 0));
    EXPECT_FALSE(turnsWheelSideways(-5, 1)); // a swipe
}

TEST(EdgePopupRules, PanelsHugTheirEdge)
{
    const QRectF screen(0, 0, 1440, 900);
    EXPECT_EQ(panelFrame(PopupEdge::bottom, screen, 300), QRectF(20, 580, 1400, 300));
    EXPECT_EQ(panelFrame(PopupEdge::top, screen, 300), QRectF(20, 20, 1400, 300));
    EXPECT_EQ(panelFrame(PopupEdge::trailing, screen, 300), QRectF(1140, 10, 290, 880));
    EXPECT_EQ(panelFrame(PopupEdge::leading, screen, 300), QRectF(10, 10, 290, 880));
    // Inside the work area that desktop panels of 40 at the bottom and 48 at the left leave.
    EXPECT_EQ(panelFrame(PopupEdge::bottom, QRectF(48, 0, 1392, 860), 300), QRectF(68, 540, 1352, 300));
    EXPECT_EQ(panelFrame(PopupEdge::leading, QRectF(48, 0, 1392, 860), 300), QRectF(58, 10, 290, 840));
    EXPECT_EQ(edgeFromStored("trailing"), PopupEdge::trailing);
    EXPECT_EQ(edgeFromStored("Left"), PopupEdge::bottom);
    EXPECT_EQ(edgeFromStored(""), PopupEdge::bottom);
    EXPECT_TRUE(showsClipboard(OverlayRoute::clipboard));
    EXPECT_FALSE(showsClipboard(OverlayRoute::shelf));
    EXPECT_FALSE(showsClipboard(OverlayRoute::all));
}

// Link items were stored ".webloc" files, which nothing on Linux opens.
TEST(ItemRulesLinks, ALinkOpensItsWebAddressAndOtherItemsTheirFile)
{
    ShelfItem link;
    link.url = QUrl::fromLocalFile("/shelf/Example.webloc");
    link.originalWebURL = QUrl("https://example.org/page");
    EXPECT_EQ(ItemRules::openTarget(link), QUrl("https://example.org/page"));

    ShelfItem unsafe = link;
    unsafe.originalWebURL = QUrl("file:///etc/passwd");
    EXPECT_EQ(ItemRules::openTarget(unsafe), unsafe.url) << "only web addresses leave as links";

    ShelfItem image;
    image.url = QUrl::fromLocalFile("/shelf/photo.png");
    image.originalWebURL = QUrl("https://example.org/photo.png"); // a downloaded image stays a file
    EXPECT_EQ(ItemRules::openTarget(image), image.url);
}

struct SafePeriodCase
{
    const char *name;
    bool fromGallery;
    double leaveAfter;
    bool stillShown;
};

class SafePeriod : public ::testing::TestWithParam<SafePeriodCase>
{
};

TEST_P(SafePeriod, LeavingTheShelfPreviewClosesItOnlyAfterTheGallerysSafePeriod)
{
    const SafePeriodCase c = GetParam();
    ManualScheduler scheduler;
    PreviewLayerState layers(scheduler);
    ShelfItem item;
    item.id = QUuid::createUuid();
    if (c.fromGallery)
        layers.openShelfPreviewFromGallery(item);
    else
        layers.toggleShelfPreview(item);
    scheduler.advance(c.leaveAfter);
    layers.pointerLeftShelfPreview();
    EXPECT_EQ(layers.galleryPreviewItem().has_value(), c.stillShown) << c.name;
}

INSTANTIATE_TEST_SUITE_P(PreviewLayers, SafePeriod,
                         ::testing::Values(SafePeriodCase{"gallery, left at once", true, 0.2, true},
                                           SafePeriodCase{"gallery, left later", true, 0.6, false},
                                           SafePeriodCase{"tile, left later", false, 5.0, true}));

TEST(PreviewLayers, ASecondGalleryOpeningKeepsTheFirstEndAndATilesEyeToggles)
{
    ManualScheduler scheduler;
    PreviewLayerState layers(scheduler);
    ShelfItem first;
    first.id = QUuid::createUuid();
    ShelfItem second;
    second.id = QUuid::createUuid();
    layers.openShelfPreviewFromGallery(first);
    scheduler.advance(0.3);
    layers.openShelfPreviewFromGallery(second);
    scheduler.advance(0.25);
    EXPECT_FALSE(layers.isPreviewSafePeriod()) << "0.5 s after the first opening";
    EXPECT_EQ(layers.galleryPreviewItem()->id, second.id);

    layers.toggleShelfPreview(first);
    EXPECT_EQ(layers.galleryPreviewItem()->id, first.id);
    EXPECT_TRUE(layers.isPreviewSafePeriod());
    layers.toggleShelfPreview(first);
    EXPECT_FALSE(layers.galleryPreviewItem());
    EXPECT_TRUE(layers.isPreviewSafePeriod()) << "closing does not end it";
}
