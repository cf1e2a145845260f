#include <QFile>
#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QSet>

#include <gtest/gtest.h>

#include "platform/icontheme.h"
#include "runtime/manualscheduler.h"
#include "ui/animatedvalue.h"
#include "ui/animation.h"
#include "ui/dockglassbackground.h"
#include "ui/spring.h"
#include "ui/symbols.h"

using namespace qv;

namespace {

// True when the picture has at least one pixel that is not fully transparent.
bool drawsSomething(const QPixmap &pixmap)
{
    const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) > 0)
                return true;
        }
    }
    return false;
}

struct MaterialCase
{
    double blurAmount;
    DockGlassBackground::Material material;
};

class GlassMaterial : public ::testing::TestWithParam<MaterialCase>
{
};

} // namespace

// The materials were see-through tints (0.84 at most): a compositor that does not blur showed text
// behind the panels. At 0.95 what lies behind changes the glass by at most 13 of 255.
TEST_P(GlassMaterial, FollowsTheBlurAmountInThreeTiersAndHidesWhatLiesBehind)
{
    EXPECT_EQ(DockGlassBackground::materialFor(GetParam().blurAmount), GetParam().material);
    QImage white(1, 1, QImage::Format_RGB32), black(1, 1, QImage::Format_RGB32);
    white.fill(Qt::white);
    black.fill(Qt::black);
    QPainterPath pixel;
    pixel.addRect(0, 0, 1, 1);
    for (QImage *behind : {&white, &black}) {
        QPainter painter(behind);
        DockGlassBackground::paint(painter, pixel, GetParam().blurAmount, 0.95);
    }
    EXPECT_LE(qGreen(white.pixel(0, 0)) - qGreen(black.pixel(0, 0)), 13);
}

INSTANTIATE_TEST_SUITE_P(Tiers, GlassMaterial,
                         ::testing::Values(MaterialCase{0, DockGlassBackground::Material::hudWindow},
                                           MaterialCase{14.99, DockGlassBackground::Material::hudWindow},
                                           MaterialCase{15, DockGlassBackground::Material::popover},
                                           MaterialCase{34.99, DockGlassBackground::Material::popover},
                                           MaterialCase{35, DockGlassBackground::Material::fullScreenUI},
                                           MaterialCase{50, DockGlassBackground::Material::fullScreenUI}));

TEST(Symbols, EveryNameTheViewsUseDrawsAPictureAndUnknownNamesGetAPlaceholder)
{
    const QStringList names = {"photo",          "xmark",
                               "xmark.circle",   "minus",
                               "minus.square",   "arrow.up.left.and.arrow.down.right",
                               "sidebar.left",   "sidebar.right",
                               "scope",          "eye.slash",
                               "lock.shield",    "app",
                               "no.such.symbol", ""};
    for (const QString &name : names) {
        EXPECT_FALSE(Symbols::icon(name).isNull()) << qPrintable(name);
        EXPECT_TRUE(drawsSomething(Symbols::pixmap(name, 24, Qt::white))) << qPrintable(name);
    }
}

TEST(Symbols, ThemeIconsAreUsedWhereTheInstalledThemeHasThem)
{
    Symbols::icon("photo"); // names the theme
    if (!QIcon::hasThemeIcon("window-close-symbolic"))
        GTEST_SKIP() << "no icon theme installed";
    EXPECT_EQ(Symbols::icon("xmark").name(), "window-close-symbolic");
    // No theme icon fits these; the shipped pictures serve.
    EXPECT_TRUE(Symbols::hasShippedPicture("sidebar.left"));
    EXPECT_TRUE(Symbols::hasShippedPicture("sidebar.right"));
}

TEST(IconTheme, APlainTextFileGetsTheThemesTextIconWhereThePlatformNamesNoTheme)
{
    if (!QFile::exists(QStringLiteral("/usr/share/icons/Adwaita/index.theme")))
        GTEST_SKIP() << "no icon theme installed";
    // The offscreen platform names no theme: the lookup must still find one.
    const QImage icon = themeIconForMimeType(QStringLiteral("text/plain"), 64);
    ASSERT_FALSE(icon.isNull());
    const QImage argb = icon.convertToFormat(QImage::Format_ARGB32);
    QSet<QRgb> colours;
    for (int y = 0; y < argb.height(); y += 4) {
        for (int x = 0; x < argb.width(); x += 4)
            colours.insert(argb.pixel(x, y));
    }
    EXPECT_GT(colours.size(), 3) << "a drawn page, not a flat square";
}

// The theme drew the close buttons' "xmark.circle.fill" as a bare cross, the contact form's
// "questionmark.circle" as a question mark on a filled diamond, read as the replacement character,
// and the guide's "info.circle.fill" as a light bulb.
// A close symbol is a filled disc with the cross cut out of it; the question mark sits in a ring.
TEST(Symbols, CircledSymbolsKeepTheirCircle)
{
    const auto alphaAt = [](const QImage &image, int x, int y) { return qAlpha(image.pixel(x, y)); };
    for (const char *name :
         {"xmark.circle.fill", "questionmark.circle", "xmark.circle", "info.circle.fill"}) {
        const QImage image =
            Symbols::pixmap(name, 32, Qt::white).toImage().convertToFormat(QImage::Format_ARGB32);
        SCOPED_TRACE(name);
        // The circle's edge, on all four sides.
        EXPECT_GT(alphaAt(image, 3, 16), 150);
        EXPECT_GT(alphaAt(image, 28, 16), 150);
        EXPECT_GT(alphaAt(image, 16, 3), 150);
        EXPECT_GT(alphaAt(image, 16, 28), 150);
    }
    const QImage close = Symbols::pixmap("xmark.circle.fill", 32, Qt::white).toImage();
    EXPECT_LT(alphaAt(close, 16, 16), 60) << "the cross is cut out of the disc";
    EXPECT_GT(alphaAt(close, 16, 8), 200) << "between the arms the disc is filled";
    const QImage question = Symbols::pixmap("questionmark.circle", 32, Qt::white).toImage();
    EXPECT_LT(alphaAt(question, 8, 16), 60) << "inside the ring, beside the mark, nothing is drawn";
    EXPECT_LT(alphaAt(question, 24, 22), 60);
    // The theme's "information" is a light bulb; ours is an "i" cut out of a disc.
    const QImage info = Symbols::pixmap("info.circle.fill", 32, Qt::white).toImage();
    EXPECT_LT(alphaAt(info, 16, 19), 60) << "the letter's stem";
    EXPECT_GT(alphaAt(info, 9, 16), 200) << "the disc beside it";
}

TEST(Symbols, APixmapTakesTheAskedColour)
{
    const QImage image = Symbols::pixmap("xmark", 16, QColor(0, 230, 255), 2.0).toImage();
    EXPECT_EQ(image.size(), QSize(32, 32));
    bool found = false;
    for (int y = 0; y < image.height() && !found; ++y) {
        for (int x = 0; x < image.width() && !found; ++x) {
            const QColor c = image.pixelColor(x, y);
            found = c.alpha() == 255 && c.red() == 0 && c.green() == 230 && c.blue() == 255;
        }
    }
    EXPECT_TRUE(found);
}

// Tinted pictures are kept for reuse: the same symbol at the same size in another colour is another
// picture (one kept without its colour drew a white symbol red, or a red one white, wherever two
// views drew it in different colours).
TEST(Symbols, EachColourOfASymbolIsAPictureOfItsOwn)
{
    const auto colours = [](const QPixmap &pixmap) {
        QSet<QRgb> found;
        const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (qAlpha(image.pixel(x, y)) == 255)
                    found.insert(image.pixel(x, y) | 0xff000000u);
            }
        }
        return found;
    };
    for (const char *name : {"xmark", "photo"}) {
        const QSet<QRgb> red = colours(Symbols::pixmap(name, 20, QColor(255, 0, 0)));
        const QSet<QRgb> green = colours(Symbols::pixmap(name, 20, QColor(0, 255, 0)));
        const QSet<QRgb> redAgain = colours(Symbols::pixmap(name, 20, QColor(255, 0, 0)));
        EXPECT_EQ(red, QSet<QRgb>{qRgb(255, 0, 0)}) << name << ": not drawn in the colour asked for";
        EXPECT_EQ(green, QSet<QRgb>{qRgb(0, 255, 0)}) << name << ": drawn in the colour asked for before";
        EXPECT_EQ(redAgain, QSet<QRgb>{qRgb(255, 0, 0)}) << name << ": drawn in the colour asked for before";
    }
}

TEST(Spring, SettlesOnTheTargetAndOvershootsOnlyWhenUnderdamped)
{
    EXPECT_DOUBLE_EQ(springProgress(0.3, 0.7, 0), 0);
    EXPECT_NEAR(springProgress(0.3, 0.7, springSettlingTime(0.3, 0.7)), 1.0, 0.002);
    double peak = 0;
    double criticalPeak = 0;
    for (double t = 0; t < 1; t += 0.005) {
        peak = std::max(peak, springProgress(0.3, 0.7, t));
        criticalPeak = std::max(criticalPeak, springProgress(0.3, 1.0, t));
    }
    EXPECT_GT(peak, 1.0);
    EXPECT_LE(criticalPeak, 1.0);
}

TEST(Animation, StepsOnTheSchedulerEndsExactlyOnTheTargetAndCanBeRestarted)
{
    ManualScheduler scheduler;
    Animation animation(scheduler);
    QList<double> values;
    int done = 0;
    animation.start(
        0, 1, 0.1, Animation::linear(0.1), [&](double v) { values.append(v); }, [&] { ++done; });
    EXPECT_TRUE(values.isEmpty()); // never inside the call
    scheduler.advance(0.05);
    ASSERT_FALSE(values.isEmpty());
    EXPECT_LT(values.last(), 1.0);
    scheduler.advance(0.1);
    EXPECT_DOUBLE_EQ(values.last(), 1.0);
    EXPECT_EQ(done, 1);
    EXPECT_FALSE(animation.isRunning());

    // A new start replaces a running one without completing it.
    animation.start(
        1, 0, 0.1, Animation::linear(0.1), [&](double v) { values.append(v); }, [&] { ++done; });
    scheduler.advance(0.05);
    animation.start(
        0.5, 2, 0.1, Animation::easeOut(0.1), [&](double v) { values.append(v); }, [&] { done += 10; });
    scheduler.advance(0.2);
    EXPECT_DOUBLE_EQ(values.last(), 2.0);
    EXPECT_EQ(done, 11);
}

namespace {

struct MotionCase
{
    const char *name;
    bool spring;
    double from;
    double to;
    // Halfway, the value is sent back to `from`: the first motion's `done` must not run.
    bool turnedBack;
};

class AnimatedValueTest : public ::testing::TestWithParam<MotionCase>
{
};

} // namespace

// Every hover, selection and fade of the views rides on this: it must land exactly on its target and
// leave no timer behind, or a panel at rest would keep waking the program.
TEST_P(AnimatedValueTest, LandsOnItsTargetAndLeavesNoTimer)
{
    const MotionCase c = GetParam();
    ManualScheduler scheduler;
    int changes = 0;
    AnimatedValue value(scheduler, c.from, [&changes] { ++changes; });
    int done = 0;
    auto go = [&](double target) {
        if (c.spring)
            value.springTo(target, 0.3, 0.7, [&done] { ++done; });
        else
            value.easeOutTo(target, 0.1, [&done] { ++done; });
    };
    go(c.to);
    scheduler.advance(0.05);
    EXPECT_TRUE(value.isRunning()) << c.name;
    EXPECT_NE(value.value(), c.from) << c.name;
    const double target = c.turnedBack ? c.from : c.to;
    if (c.turnedBack)
        go(c.from);
    scheduler.advance(1.0);
    EXPECT_EQ(value.value(), target) << c.name;
    EXPECT_FALSE(value.isRunning()) << c.name;
    EXPECT_EQ(scheduler.pendingCount(), 0) << c.name;
    EXPECT_EQ(done, 1) << c.name;
    const int settled = changes;
    scheduler.advance(1.0);
    EXPECT_EQ(changes, settled) << c.name << ": nothing moves at rest";
}

INSTANTIATE_TEST_SUITE_P(Motions, AnimatedValueTest,
                         ::testing::Values(MotionCase{"spring in", true, 0, 1, false},
                                           MotionCase{"fade out", false, 1, 0, false},
                                           MotionCase{"spring turned back", true, 0, 1, true}));
