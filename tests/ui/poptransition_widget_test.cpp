#include <QApplication>
#include <QImage>
#include <QPalette>
#include <QPainter>
#include <QWidget>

#include <gtest/gtest.h>

#include "runtime/manualscheduler.h"
#include "ui/poptransition.h"

using namespace qv;

namespace {

struct PopCase
{
    const char *name;
    bool leave;
    bool cutShort;
    bool panelShownAfter;
    int doneCalls;
};

// Each row plays one transition of a panel in a shown host, optionally cut short half-way.
class PopTransitionTest : public ::testing::TestWithParam<PopCase>
{
};

} // namespace

TEST_P(PopTransitionTest, ThePanelEndsShownOrHiddenAndDoneRunsOnlyAtARealEnd)
{
    const PopCase c = GetParam();
    ManualScheduler scheduler;
    QWidget host;
    host.resize(400, 300);
    auto *panel = new QWidget(&host);
    panel->setGeometry(100, 50, 200, 200);
    host.show();
    PopTransition transition(scheduler, host);
    int done = 0;
    if (c.leave)
        transition.leave(*panel, 0.9, 0.3, 0.7, [&done] { ++done; });
    else
        transition.enter(*panel, 0.9, 0.3, 0.7);
    EXPECT_TRUE(panel->isHidden()) << c.name << ": a still picture stands in while it plays";
    scheduler.advance(0.02);
    EXPECT_LT(transition.frame().width(), 200) << c.name;
    EXPECT_EQ(transition.frame().center(), QRectF(panel->geometry()).center()) << c.name;
    if (c.cutShort)
        transition.cancel();
    scheduler.advance(2);
    EXPECT_FALSE(transition.isRunning()) << c.name;
    EXPECT_EQ(!panel->isHidden(), c.panelShownAfter) << c.name;
    EXPECT_EQ(done, c.doneCalls) << c.name;
    EXPECT_EQ(transition.presence(), 1.0) << c.name;
}

INSTANTIATE_TEST_SUITE_P(PopTransition, PopTransitionTest,
                         ::testing::Values(PopCase{"enter", false, false, true, 0},
                                           PopCase{"enter cut short", false, true, true, 0},
                                           PopCase{"leave", true, false, false, 1},
                                           PopCase{"leave cut short", true, true, false, 0}));

// The host may paint more after the still picture: the picture's fade and smoothing must not carry
// over to it.
TEST(PopTransitionPaintTest, LeavesThePainterAsItFoundIt)
{
    ManualScheduler scheduler;
    QWidget host;
    host.resize(400, 300);
    auto *panel = new QWidget(&host);
    panel->setGeometry(100, 50, 200, 200);
    panel->setAutoFillBackground(true);
    panel->setPalette(QPalette(Qt::red));
    host.show();
    PopTransition transition(scheduler, host);
    transition.enter(*panel, 0.9, 0.3, 0.7);
    scheduler.advance(0.02);
    ASSERT_LT(transition.presence(), 1.0);

    QImage canvas(400, 300, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    QPainter painter(&canvas);
    painter.setOpacity(0.8);
    transition.paint(painter);
    EXPECT_DOUBLE_EQ(painter.opacity(), 0.8);
    EXPECT_FALSE(painter.testRenderHint(QPainter::SmoothPixmapTransform));
    painter.end();
    EXPECT_NE(canvas.pixel(200, 150), QColor(Qt::transparent).rgba()) << "the picture was painted";
}
