#include <gtest/gtest.h>

#include "platform/x11/x11boundswatch.h"

using namespace qv;

// A window retitling itself resized its task button at every title, and every resize reached the
// walker as long as the program ran. Bounds are heard only for a while after a change of layout:
// the watch opens at the first, each later one keeps it open a full window from itself, and it
// closes once a window has passed since the last.
TEST(X11BoundsWatch, OpensAtAChangeOfLayoutAndClosesAWindowAfterTheLast)
{
    X11BoundsWatch watch;
    EXPECT_FALSE(watch.isOpen());
    EXPECT_FALSE(watch.expire(100.0)) << "a closed watch has nothing to close";

    EXPECT_TRUE(watch.noteLayoutChange(10.0)) << "the first change starts the listening";
    EXPECT_EQ(watch.until(), 10.0 + X11BoundsWatch::window);
    EXPECT_FALSE(watch.noteLayoutChange(11.0)) << "already listening";
    EXPECT_EQ(watch.until(), 11.0 + X11BoundsWatch::window);

    EXPECT_FALSE(watch.expire(10.0 + X11BoundsWatch::window)) << "closed a window after the first change";
    EXPECT_TRUE(watch.isOpen());
    EXPECT_TRUE(watch.expire(11.0 + X11BoundsWatch::window));
    EXPECT_FALSE(watch.isOpen());
    EXPECT_EQ(watch.until(), std::nullopt);
    EXPECT_FALSE(watch.expire(20.0)) << "closed twice";

    // Later changes open it again, for as long as they come.
    EXPECT_TRUE(watch.noteLayoutChange(30.0));
    for (int i = 1; i <= 10; ++i) {
        EXPECT_FALSE(watch.expire(30.0 + i));
        EXPECT_FALSE(watch.noteLayoutChange(30.0 + i));
    }
    EXPECT_TRUE(watch.expire(40.0 + X11BoundsWatch::window));
}
