#include <QPainter>

#include <gtest/gtest.h>

#include <memory>

#include "runtime/manualscheduler.h"
#include "support/backdrop.h"
#include "support/screenshot.h"
#include "views/peek/dropzoneview.h"
#include "views/peek/peekingoverlayview.h"
#include "views/peek/peekviewstate.h"
#include "views/itemviewsfixture.h"

using namespace qv;

namespace {

const QColor wallpaper(58, 96, 150);

bool isCyan(const QColor &c)
{
    return c.red() < 60 && c.green() > 190 && c.blue() > 220;
}

// An overlay of a 960 x 600 screen.
class PeekViews : public ::testing::Test
{
protected:
    PeekViews()
    {
        view = new PeekingOverlayView(state, scheduler);
        view->resize(960, 600);
        backdrop = std::make_unique<Backdrop>(*view, view->size(), QPoint(0, 0));
        state.setScreens({screen}, screen, QPointF(100, 100), screen.frame.height());
    }

    QImage seen()
    {
        QImage image(view->size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(wallpaper);
        QPainter painter(&image);
        view->render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
        return image;
    }

    // A band across the lower edge of a tile, where a highlighted tile's outline is cyan.
    QRect outlineBand(int zone) const
    {
        const QRectF tile = view->zones().at(zone)->tileRect();
        return QRectF(tile.center().x() - 20, tile.bottom() - 6, 40, 18).toRect();
    }

    AppWindowModel window(bool minimized, bool withPicture = true)
    {
        AppWindowModel w;
        w.id = 9;
        w.title = "Notes";
        w.rect = QRectF(200, 120, 400, 260);
        w.isMinimized = minimized;
        if (withPicture) {
            w.image = QImage(800, 520, QImage::Format_ARGB32_Premultiplied);
            w.image.fill(QColor(230, 180, 60));
        }
        return w;
    }

    const ScreenInfo screen{QRectF(0, 0, 960, 600), QRectF(0, 70, 960, 505)};
    ManualScheduler scheduler;
    PeekViewState state;
    PeekingOverlayView *view = nullptr; // owned by the backdrop
    std::unique_ptr<Backdrop> backdrop;
};

} // namespace

TEST_F(PeekViews, WhileDraggingTheEnginesTargetZoneIsTheOneHighlighted)
{
    state.setPeekingWindow(window(false));
    state.setDragging(true);
    scheduler.advance(1);
    QImage image = seen();
    for (int zone = 0; zone < 3; ++zone) {
        EXPECT_TRUE(view->zones().at(zone)->isVisibleTo(view));
        EXPECT_EQ(countPixels(image, outlineBand(zone), isCyan), 0) << zone;
    }
    EXPECT_FALSE(view->cardRect()) << "no peek card while dragging";
    saveScreenshot(*backdrop, "peek_dragging_no_zone");

    const char *names[] = {"left", "right", "maximize"};
    const SnapPosition zones[] = {SnapPosition::left, SnapPosition::right, SnapPosition::maximize};
    for (int target = 0; target < 3; ++target) {
        state.setDragTargetZone(zones[target]);
        scheduler.advance(1);
        image = seen();
        for (int zone = 0; zone < 3; ++zone) {
            EXPECT_EQ(view->zones().at(zone)->isHighlighted(), zone == target);
            EXPECT_DOUBLE_EQ(view->zones().at(zone)->scale(), zone == target ? 1.05 : 1.0);
            EXPECT_EQ(countPixels(image, outlineBand(zone), isCyan) > 0, zone == target) << target << zone;
        }
        saveScreenshot(*backdrop,
                       QStringLiteral("peek_dragging_zone_%1").arg(QString::fromLatin1(names[target])));
    }
}

TEST_F(PeekViews, APeekedWindowIsDrawnWhereItIsAndAMinimisedOneCentred)
{
    state.setPeekingWindow(window(false));
    ASSERT_TRUE(view->cardRect());
    EXPECT_EQ(*view->cardRect(), QRectF(200, 120, 400, 260));
    const QImage image = seen();
    EXPECT_EQ(image.pixelColor(400, 250), QColor(230, 180, 60));
    // Around it the screen is dimmed by 40 % black.
    const QColor dimmed = image.pixelColor(900, 550);
    EXPECT_NEAR(dimmed.blue(), wallpaper.blue() * 0.6, 3);
    saveScreenshot(*backdrop, "peek_window");

    state.setPeekingWindow(window(true));
    EXPECT_EQ(*view->cardRect(), QRectF(144, 90, 672, 420));
    saveScreenshot(*backdrop, "peek_minimised_window");
}

TEST_F(PeekViews, WithNeitherPictureNorIconOnlyTheDimRemains)
{
    state.setPeekingWindow(window(false, false));
    EXPECT_FALSE(view->cardRect());
    const QImage image = seen();
    EXPECT_NEAR(image.pixelColor(400, 250).blue(), wallpaper.blue() * 0.6, 3);
}

TEST_F(PeekViews, WithoutACompositorNothingIsDimmedAndThePanelIsCutToWhatIsDrawn)
{
    state.setTranslucent(false);
    state.setPeekingWindow(window(false));
    EXPECT_EQ(view->outline().boundingRect(), QRectF(200, 120, 400, 260));
    EXPECT_EQ(seen().pixelColor(900, 550), wallpaper);
    state.setDragging(true);
    EXPECT_TRUE(view->outline().contains(view->zones().at(2)->tileRect().center()));
    EXPECT_FALSE(view->outline().contains(QPointF(480, 300)));
    state.setTranslucent(true);
    EXPECT_TRUE(view->outline().isEmpty());
}
