#include <gtest/gtest.h>

#include <QStringList>

#include "runtime/manualscheduler.h"
#include "runtime/script.h"

using namespace qv;

namespace {

Script steps(QStringList &log, QString name, double wait)
{
    const ScriptControl control = co_await thisScript();
    log << name + ":1";
    co_await sleepFor(wait);
    log << name + ":2";
    if (control.isCancelled()) {
        log << name + ":cancelled";
        co_return;
    }
    co_await sleepFor(wait);
    log << name + ":3";
}

} // namespace

TEST(Script, RunsToFirstWaitOnStartThenFollowsTheClock)
{
    ManualScheduler s;
    QStringList log;
    Script script = steps(log, "a", 0.1);
    EXPECT_TRUE(log.isEmpty()); // created suspended
    script.start(s);
    EXPECT_EQ(log, QStringList({"a:1"}));
    s.advance(0.099);
    EXPECT_EQ(log.size(), 1);
    s.advance(0.001);
    EXPECT_EQ(log, QStringList({"a:1", "a:2"}));
    s.advance(0.1);
    EXPECT_TRUE(script.isFinished());
    EXPECT_EQ(log.last(), "a:3");
}

TEST(Script, TwoScriptsInterleaveByTheirWaits)
{
    ManualScheduler s;
    QStringList log;
    Script a = steps(log, "a", 0.3);
    Script b = steps(log, "b", 0.2);
    a.start(s);
    b.start(s);
    s.advance(1.0);
    EXPECT_EQ(log, QStringList({"a:1", "b:1", "b:2", "a:2", "b:3", "a:3"}));
}

TEST(Script, CancellationCutsTheWaitShortAndOnlyChecksEndTheScript)
{
    ManualScheduler s;
    QStringList log;
    bool finished = false;
    Script script = steps(log, "a", 10.0);
    script.onFinished([&] { finished = true; });
    script.start(s);
    script.cancel();
    s.runPending(); // the interrupted wait completes without the clock moving
    EXPECT_EQ(log, QStringList({"a:1", "a:2", "a:cancelled"}));
    EXPECT_TRUE(finished);
    EXPECT_TRUE(script.isCancelled());
}

TEST(Script, DestroyingTheOwnerWhileSleepingNeverResumes)
{
    ManualScheduler s;
    QStringList log;
    {
        Script script = steps(log, "a", 0.5);
        script.start(s);
    }
    s.advance(2.0);
    EXPECT_EQ(log, QStringList({"a:1"}));
    EXPECT_EQ(s.pendingCount(), 0);
}

TEST(Script, OwnerDestroyedFromInsideTheScriptIsSafe)
{
    ManualScheduler s;
    QStringList log;
    auto owner = std::make_unique<Script>();
    auto body = [](QStringList &log, std::unique_ptr<Script> &owner) -> Script {
        log << "before";
        co_await sleepFor(0.1);
        owner.reset(); // the script's own owner goes away mid-step
        log << "after";
        co_await sleepFor(0.1);
        log << "never";
    };
    *owner = body(log, owner);
    owner->start(s);
    s.advance(1.0);
    EXPECT_EQ(log, QStringList({"before", "after"}));
}

TEST(Script, DetachedScriptRunsToItsEnd)
{
    ManualScheduler s;
    QStringList log;
    {
        Script script = steps(log, "d", 0.1);
        script.start(s);
        script.detach();
    }
    s.advance(1.0);
    EXPECT_EQ(log.last(), "d:3");
}

// What went wrong: start() resumed the script through a reference to the owner's own state pointer,
// so a first step that destroyed its owner left start() writing through freed memory.
TEST(Script, OwnerDestroyedInTheFirstStepDuringStartIsSafe)
{
    ManualScheduler s;
    QStringList log;
    auto owner = std::make_unique<Script>();
    auto body = [](QStringList &log, std::unique_ptr<Script> &owner) -> Script {
        log << "first";
        owner.reset();
        co_await sleepFor(0.1);
        log << "never";
    };
    *owner = body(log, owner);
    owner->start(s);
    s.advance(1.0);
    EXPECT_EQ(log, QStringList({"first"}));
    EXPECT_EQ(s.pendingCount(), 0);
}

// A script detached before it was started can never run; it used to stay allocated for good.
TEST(Script, DetachedBeforeStartIsFreedAndNeverRuns)
{
    QStringList log;
    std::weak_ptr<int> alive;
    {
        auto token = std::make_shared<int>(1);
        alive = token;
        auto body = [](QStringList &log, std::shared_ptr<int> token) -> Script {
            log << QString::number(*token);
            co_return;
        };
        Script script = body(log, std::move(token));
        script.detach();
    }
    EXPECT_TRUE(log.isEmpty());
    EXPECT_TRUE(alive.expired()); // the frame (and what it held) is gone
}
