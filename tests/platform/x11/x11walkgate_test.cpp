#include <gtest/gtest.h>

#include "platform/x11/x11walkgate.h"
#include "runtime/manualscheduler.h"

using namespace qv;

// The panels were walked every two seconds whether anything changed or not. Now a burst of change
// notices brings exactly one walk, and a quiet desktop none.
TEST(X11WalkGate, ABurstOfChangesBringsOneWalkAndAQuietMinuteNone)
{
    ManualScheduler scheduler;
    int walks = 0;
    X11WalkGate gate(scheduler, [&] { ++walks; });

    scheduler.advance(60.0);
    EXPECT_EQ(walks, 0);
    EXPECT_EQ(scheduler.callbacksRun(), 0u);

    // A task button added: its own notice and its neighbours' bounds, spread over 0.2 s.
    for (int i = 0; i < 5; ++i) {
        gate.noteChange();
        scheduler.advance(0.04);
    }
    EXPECT_EQ(walks, 0);
    scheduler.advance(X11WalkGate::settle - 0.2 + 0.001);
    EXPECT_EQ(walks, 1);
    EXPECT_FALSE(gate.isWalkPending());
    scheduler.advance(60.0);
    EXPECT_EQ(walks, 1);

    gate.noteChange();
    scheduler.advance(X11WalkGate::settle);
    EXPECT_EQ(walks, 2);
}
