#include <QDateTime>

#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <set>
#include <thread>

#include "core/diagnostics/heartbeatgate.h"
#include "core/diagnostics/mainthreadwatchdog.h"
#include "diagnosticsfixture.h"

using namespace qv;
using namespace std::chrono_literals;

namespace {

// A heartbeat gate on the manual clock. The watch thread's waits run out when the test has moved
// the clock past their deadline and called settle(), which returns once the watch thread has seen
// everything that happened and is parked again.
class SteppedGate final : public HeartbeatGate
{
public:
    explicit SteppedGate(const Scheduler &clock) : m_clock(clock) {}

    void signal() override
    {
        std::lock_guard lock(m_mutex);
        ++m_count;
        ++m_signals;
        ++m_epoch;
        m_cv.notify_all();
    }

    bool wait(double seconds) override
    {
        std::unique_lock lock(m_mutex);
        m_waiters.insert(std::this_thread::get_id());
        const double deadline = m_clock.now() + seconds;
        for (;;) {
            m_parked = false;
            if (m_count > 0) {
                --m_count;
                m_cv.notify_all();
                return true;
            }
            if (m_clock.now() >= deadline - 1e-9) {
                m_cv.notify_all();
                return false;
            }
            m_parked = true;
            m_seen = m_epoch;
            m_cv.notify_all();
            m_cv.wait(lock);
        }
    }

    // Test thread, after moving the clock or beating: lets the watch thread catch up.
    bool settle()
    {
        std::unique_lock lock(m_mutex);
        ++m_epoch;
        m_cv.notify_all();
        return m_cv.wait_for(lock, 5s, [this] { return m_parked && m_seen == m_epoch; });
    }

    int beats() const
    {
        std::lock_guard lock(m_mutex);
        return m_signals;
    }
    size_t watchThreads() const
    {
        std::lock_guard lock(m_mutex);
        return m_waiters.size();
    }

private:
    const Scheduler &m_clock;
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    int m_count = 0;
    int m_signals = 0;
    bool m_parked = false;
    std::uint64_t m_epoch = 0;
    std::uint64_t m_seen = 0;
    std::set<std::thread::id> m_waiters;
};

class Watchdog : public qv::test::DiagnosticsFixture
{
protected:
    void SetUp() override
    {
        makeManager(true);
        gate = std::make_shared<SteppedGate>(scheduler);
        watchdog = std::make_unique<MainThreadWatchdog>(*manager, scheduler, gate);
    }
    void TearDown() override { watchdog.reset(); }

    // The main thread runs normally: heartbeats fire as time goes by.
    void idle(double seconds)
    {
        for (int i = 0; i < int(std::lround(seconds / 0.05)); ++i) {
            scheduler.advance(0.05);
            ASSERT_TRUE(gate->settle());
        }
    }
    // The main thread is blocked: time goes by and nothing scheduled runs until it is free again.
    void block(double seconds)
    {
        for (int i = 0; i < int(std::lround(seconds / 0.05)); ++i) {
            scheduler.skipTime(0.05);
            ASSERT_TRUE(gate->settle());
        }
        scheduler.runPending();
        ASSERT_TRUE(gate->settle());
    }
    QList<DiagnosticsManager::DiagEvent> stalls() const
    {
        QList<DiagnosticsManager::DiagEvent> out;
        for (const auto &event : manager->recentEvents()) {
            if (event.name == DiagEvents::watchdogStall)
                out.append(event);
        }
        return out;
    }

    std::shared_ptr<SteppedGate> gate;
    std::unique_ptr<MainThreadWatchdog> watchdog;
};

struct BlockCase
{
    const char *label;
    double seconds;
    int stalls;
};

class WatchdogBlocks : public Watchdog, public ::testing::WithParamInterface<BlockCase>
{
};

} // namespace

TEST_P(WatchdogBlocks, RecordsOneStallPerFullThresholdWithoutAHeartbeat)
{
    const BlockCase c = GetParam();
    watchdog->start();
    idle(1.0); // the last heartbeat before the block lands at the end of this second
    block(c.seconds);
    idle(3.0);

    const auto events = stalls();
    ASSERT_EQ(events.size(), c.stalls);
    for (int i = 0; i < events.size(); ++i) {
        EXPECT_EQ(events[i].detail, QStringLiteral("stall>=1.5s"));
        const auto at = QDateTime::fromString(events[i].timestamp, Qt::ISODateWithMs);
        const auto expected =
            QDateTime::fromString(QStringLiteral("2023-11-14T22:13:21.123Z"), Qt::ISODateWithMs)
                .addMSecs(1500 * (i + 1));
        EXPECT_EQ(at, expected) << "stall " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Blocks, WatchdogBlocks,
                         ::testing::Values(BlockCase{"OneSecond", 1.0, 0},
                                           BlockCase{"AlmostThreshold", 1.45, 0},
                                           BlockCase{"JustOverThreshold", 1.6, 1},
                                           BlockCase{"FiveSeconds", 5.0, 3}),
                         [](const auto &info) { return std::string(info.param.label); });

TEST_F(Watchdog, StartingTwiceOrRightAfterStopLeavesExactlyOneLoopAndChain)
{
    watchdog->start();
    watchdog->start();
    idle(0.2);
    EXPECT_EQ(gate->watchThreads(), 1u);
    watchdog->stop();
    watchdog->start();
    watchdog->start();
    const int before = gate->beats();
    idle(2.0);
    EXPECT_EQ(gate->beats() - before, 5); // at 0, 0.5, 1.0, 1.5 and 2.0 s
    EXPECT_EQ(scheduler.pendingCount(), 1);
    EXPECT_TRUE(stalls().isEmpty());
}

TEST_F(Watchdog, StopWakesTheWatchAtOnceAndNothingIsRecordedAfterwards)
{
    watchdog->stop(); // on an idle watchdog: stays idle
    EXPECT_FALSE(watchdog->isRunning());
    watchdog->start();
    idle(0.5);
    // No time passes and no heartbeat comes: only stop's own wake-up can end the wait.
    auto stopped = std::async(std::launch::async, [this] { watchdog->stop(); });
    const bool woke = stopped.wait_for(5s) == std::future_status::ready;
    if (!woke)
        gate->signal(); // unstick the watch so the test can end
    ASSERT_TRUE(woke) << "stop() did not wake the waiting watch";
    EXPECT_FALSE(watchdog->isRunning());
    scheduler.skipTime(10);
    scheduler.runPending();
    EXPECT_TRUE(stalls().isEmpty());
    EXPECT_EQ(scheduler.pendingCount(), 0);
}

TEST_F(Watchdog, RunsExactlyWhileDiagnosticsAreOn)
{
    manager->setWatchdog(watchdog.get());
    EXPECT_TRUE(watchdog->isRunning());
    manager->disable();
    EXPECT_FALSE(watchdog->isRunning());
}
