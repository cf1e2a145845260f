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

// A window retitling itself 50 times a second moved its task button as often, and the panels were
// walked four times a second for as long as it went on. A stream of notices brings a walk every
// two seconds, whatever its rate; the first change after a quiet spell is still read at once.
TEST(X11WalkGate, AStreamOfChangesBringsAWalkEveryTwoSecondsWhateverItsRate)
{
    ManualScheduler scheduler;
    int walks = 0;
    X11WalkGate gate(scheduler, [&] { ++walks; });
    for (const double rate : {50.0, 500.0}) {
        SCOPED_TRACE(rate);
        scheduler.advance(10.0); // quiet, the walk still due from the last stream taken
        walks = 0;
        for (int i = 0; i < int(rate * 10); ++i) {
            gate.noteChange();
            scheduler.advance(1.0 / rate);
        }
        // The first after 0.25 s, then one every two seconds: at 0.25, 2.25, 4.25, 6.25, 8.25.
        EXPECT_EQ(walks, 5);
    }
    scheduler.advance(10.0);
    const int before = walks;
    gate.noteChange();
    scheduler.advance(X11WalkGate::settle);
    EXPECT_EQ(walks, before + 1);
}

// A gate that goes with a walk still due must not call its walk afterwards (its owner is gone).
TEST(X11WalkGate, AGateGoneBeforeItsWalkWalksNoMore)
{
    ManualScheduler scheduler;
    int walks = 0;
    {
        X11WalkGate gate(scheduler, [&] { ++walks; });
        gate.noteChange();
    }
    // Nothing is left to wake the program: a walk left due would run on a gate that is gone.
    EXPECT_EQ(scheduler.pendingCount(), 0);
    scheduler.advance(10.0);
    EXPECT_EQ(walks, 0);
}
