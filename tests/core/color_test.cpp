#include <gtest/gtest.h>

#include "core/color.h"

using namespace qv;

TEST(Color, PaletteHasTheTableComponentsInSrgbAndIsMadeOnce)
{
    struct Row
    {
        const QColor &(*constant)();
        double r, g, b;
    };
    const Row rows[] = {{&Color::neonCyan, 0.0, 0.9, 1.0},
                        {&Color::neonPurple, 0.8, 0.0, 1.0},
                        {&Color::neonRed, 1.0, 0.2, 0.2},
                        {&Color::neonGreen, 0.2, 1.0, 0.4}};
    for (const Row &row : rows) {
        const QColor &color = row.constant();
        EXPECT_EQ(color.spec(), QColor::Rgb);
        EXPECT_NEAR(color.redF(), row.r, 1.0 / 65535);
        EXPECT_NEAR(color.greenF(), row.g, 1.0 / 65535);
        EXPECT_NEAR(color.blueF(), row.b, 1.0 / 65535);
        EXPECT_EQ(color.alphaF(), 1.0);
        EXPECT_EQ(&row.constant(), &color);
        EXPECT_EQ(row.constant(), color);
    }
}
