#include <gtest/gtest.h>

#include <memory>

#include "platform/x11/x11feedback.h"
#include "platform/x11/x11session.h"
#include "platform/x11/x11windowbounds.h"
#include "support/x11clients.h"

using namespace qv;

TEST(X11WindowBounds, ReportsAWindowsRootFrameAndNothingForUnknownNumbers)
{
    X11Session session;
    ASSERT_TRUE(session.isValid());
    xcb_connection_t *c = session.xcb();
    // Override-redirect: no window manager moves it, so the frame is exactly the one asked for.
    const xcb_window_t window = X11Clients::createWindow(c, session.root(), QRect(120, 80, 300, 200), true);
    xcb_map_window(c, window);
    xcb_flush(c);

    X11WindowBounds bounds(session);
    EXPECT_EQ(bounds.windowBounds(window), QRectF(120, 80, 300, 200));
    EXPECT_EQ(bounds.windowBounds(0), std::nullopt);
    xcb_destroy_window(c, window);
    xcb_flush(c);
    EXPECT_EQ(bounds.windowBounds(window), std::nullopt);
}

// With or without libcanberra and a sound server: sounds queued on the worker, then a shutdown that
// waits for it, with no crash and no hang.
TEST(X11Feedback, QueuedSoundsEndWithTheService)
{
    auto feedback = std::make_unique<X11Feedback>();
    feedback->performAlignmentHaptic();
    for (int i = 0; i < 3; ++i)
        feedback->playSnapSound();
    feedback.reset();
    SUCCEED();
}
