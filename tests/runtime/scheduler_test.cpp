#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QStringList>
#include <QTest>
#include <QThreadPool>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <algorithm>
#include <condition_variable>
#include <latch>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>

#include "runtime/manualscheduler.h"
#include "runtime/qtscheduler.h"
#include "runtime/workqueue.h"

using namespace qv;

TEST(ManualScheduler, RunsDueCallbacksInTimeThenSchedulingOrder)
{
    ManualScheduler s;
    QStringList order;
    s.after(0.2, [&] { order << "b"; });
    s.after(0.1, [&] { order << "a"; });
    s.after(0.2, [&] { order << "c"; });
    s.post([&] { order << "posted"; });
    s.advance(0.15);
    EXPECT_EQ(order, QStringList({"posted", "a"}));
    s.advance(0.05);
    EXPECT_EQ(order, QStringList({"posted", "a", "b", "c"}));
}

TEST(ManualScheduler, CancelledAndRepeatingTimers)
{
    ManualScheduler s;
    int once = 0, repeated = 0;
    TimerHandle h = s.after(1.0, [&] { ++once; });
    TimerHandle r = s.every(0.5, [&] { ++repeated; });
    EXPECT_TRUE(h.isActive());
    h.cancel();
    s.advance(1.6);
    EXPECT_EQ(once, 0);
    EXPECT_EQ(repeated, 3);
    r.cancel();
    s.advance(5);
    EXPECT_EQ(repeated, 3);
    EXPECT_EQ(s.pendingCount(), 0);
}

TEST(ManualScheduler, CallbackScheduledWhileAdvancingRunsWhenInsideTheWindow)
{
    ManualScheduler s;
    double firedAt = 0;
    const double start = s.now();
    s.after(0.1, [&] { s.after(0.1, [&] { firedAt = s.now(); }); });
    s.advance(0.25);
    EXPECT_NEAR(firedAt - start, 0.2, 1e-9);
    EXPECT_NEAR(s.now() - start, 0.25, 1e-9);
}

TEST(WorkQueue, SchedulerQueuesRunInSubmissionOrderWhenAdvanced)
{
    ManualScheduler s;
    SchedulerQueueFactory factory(s);
    auto q = factory.makeQueue("Quorvantis.Test", QueueKind::Serial);
    QStringList order;
    q->async([&] { order << "1"; });
    q->async([&] { order << "2"; });
    EXPECT_TRUE(order.isEmpty());
    s.runPending();
    EXPECT_EQ(order, QStringList({"1", "2"}));
}

// A serial queue dropped while its thread waits for work must wake that thread, or the drop (and
// the program's quit with it) waits for ever. First of the tests that drop an idle queue.
TEST(WorkQueue, SerialQueueDroppedWhileItsThreadWaitsEnds)
{
    ThreadQueueFactory factory;
    auto queue = factory.makeQueue("Quorvantis.Idle", QueueKind::Serial);
    std::atomic_bool ran = false;
    queue->async([&ran] { ran = true; });
    for (int i = 0; i < 2000 && !ran; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_TRUE(ran);
    auto dropped = std::make_shared<std::atomic_bool>(false);
    // Dropped on a thread of its own, so that this test can tell a drop that never ends.
    std::thread([q = std::move(queue), dropped]() mutable {
        q.reset();
        *dropped = true;
    }).detach();
    for (int i = 0; i < 2000 && !*dropped; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (!*dropped) {
        // Every later test that drops an idle queue would wait for ever too: end here, failed.
        ADD_FAILURE() << "dropping an idle serial queue never ended";
        std::_Exit(1);
    }
}

TEST(WorkQueue, SerialThreadQueueRunsJobsInOrderAndFinishesThemOnDestruction)
{
    ThreadQueueFactory factory;
    std::vector<int> seen;
    {
        auto q = factory.makeQueue("Quorvantis.Serial", QueueKind::Serial);
        for (int i = 0; i < 100; ++i)
            q->async([&seen, i] { seen.push_back(i); });
    }
    ASSERT_EQ(seen.size(), 100u);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(seen[i], i);
}

// A job handed to a serial queue whose thread was already waiting for work must run then, not
// only once the queue is destroyed.
TEST(WorkQueue, SerialThreadQueueRunsEachJobWhileItLives)
{
    ThreadQueueFactory factory;
    auto queue = factory.makeQueue("Quorvantis.Live", QueueKind::Serial);
    std::atomic_int ran = 0;
    for (int job = 1; job <= 2; ++job) {
        queue->async([&ran] { ++ran; });
        for (int i = 0; i < 2000 && ran.load() < job; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        EXPECT_EQ(ran.load(), job);
    }
}

// Dropping the last reference to a serial queue from inside one of its jobs used to make the thread
// join itself, which aborts the program.
TEST(WorkQueue, SerialQueueReleasedFromItsOwnJobFinishesItsWork)
{
    ThreadQueueFactory factory;
    auto queue = factory.makeQueue("Quorvantis.SelfRelease", QueueKind::Serial);
    std::atomic<bool> survived = false;
    WorkQueue *raw = queue.get();
    raw->async([&survived, q = std::move(queue)]() mutable {
        q.reset(); // the last reference goes away on the queue's own thread
        survived = true;
    });
    for (int i = 0; i < 400 && !survived; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_TRUE(survived);
}

// Qt runs parallel parts of its own work on its global pool while the calling thread waits: the
// raster engine's fills of a paint on the main thread among them. Concurrent jobs that wait on other
// programs (accessibility probes) filled that pool, and every paint waited for them.
TEST(WorkQueue, ConcurrentJobsThatWaitLeaveQtsOwnPoolFree)
{
    ThreadQueueFactory factory;
    auto queue = factory.makeQueue("Quorvantis.Waiting", QueueKind::Concurrent);
    std::mutex mutex;
    std::condition_variable wake;
    bool released = false;
    std::atomic_int started = 0, finished = 0;
    const int jobs = QThreadPool::globalInstance()->maxThreadCount() + 2;
    for (int i = 0; i < jobs; ++i) {
        queue->async([&] {
            ++started;
            {
                std::unique_lock lock(mutex);
                wake.wait(lock, [&] { return released; });
            }
            ++finished; // the last touch of the test's locals: the test may end right after it
        });
    }
    const auto waitFor = [](const auto &done) {
        for (int i = 0; i < 2000 && !done(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return done();
    };
    EXPECT_TRUE(waitFor([&] { return started.load() > 0; }));

    std::atomic_bool ran = false;
    QThreadPool::globalInstance()->start([&ran] { ran = true; });
    const bool ranWhileWaiting = waitFor([&] { return ran.load(); });
    {
        std::lock_guard lock(mutex);
        released = true;
    }
    wake.notify_all();
    EXPECT_TRUE(ranWhileWaiting);
    EXPECT_TRUE(waitFor([&] { return finished.load() == jobs && ran.load(); }));
}

// The user quits while a concurrent job is still at work: the quit waits for the job before the
// application object goes, so the job never touches what the quit frees.
TEST(WorkQueue, QuitWaitsForRunningConcurrentJobs)
{
    QProcess quitting;
    quitting.start(QV_JOBATQUIT);
    ASSERT_TRUE(quitting.waitForFinished(30000));
    EXPECT_EQ(quitting.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(quitting.readAllStandardOutput().trimmed(), "ended with the application");
}

// Posts wait in the scheduler's own queue (so a thread checker sees the hand-off): each still runs
// once, on the main thread, in each poster's order, and a post made while one runs waits its turn.
static void postFromWorkersAndFromPostedWork()
{
    QtScheduler scheduler;
    QThreadPool pool;
    constexpr int perPoster = 200;
    std::vector<int> seen[2];
    std::vector<std::string> main;
    for (int poster = 0; poster < 2; ++poster) {
        startOnPool(pool, [&scheduler, &seen, poster] {
            for (int i = 0; i < perPoster; ++i)
                scheduler.post([&seen, poster, i] { seen[poster].push_back(i); });
        });
    }
    scheduler.post([&] {
        main.push_back("outer");
        scheduler.post([&] { main.push_back("later"); });
        main.push_back("outer done");
    });
    pool.waitForDone();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return seen[0].size() + seen[1].size() == 2 * perPoster && main.size() == 3; }, 5000));
    for (const auto &one : seen) {
        ASSERT_EQ(one.size(), size_t(perPoster));
        for (int i = 0; i < perPoster; ++i)
            EXPECT_EQ(one[size_t(i)], i);
    }
    EXPECT_EQ(main, (std::vector<std::string>{"outer", "outer done", "later"}));
}

// A queue that posters break ends the program more often than it loses work quietly: the posts run
// in a process of their own (this test program run again up to here), so that such an end fails
// this test by name and the later tests still run.
TEST(QtScheduler, PostsFromWorkersRunOnceOnTheMainThreadInOrder)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            postFromWorkersAndFromPostedWork();
            std::_Exit(HasFailure() ? 1 : 0);
        },
        ::testing::ExitedWithCode(0), "")
        << "work posted from worker threads was lost, ran twice or out of its order, or ended the program";
}

// post() is the one call workers make: many of them posting at the same moment, while the main
// thread runs what they posted, must lose nothing and run nothing twice. A post that changed the
// queue without its lock broke the queue here (a crash, or work lost or run twice) on every run:
// the posters start together and post far more than one time slice holds. `drain` runs what is
// queued and says whether more may still come.
template <typename Drain> void postFromManyThreadsAtOnce(Scheduler &scheduler, Drain drain)
{
    constexpr int posters = 8;
    constexpr int perPoster = 20000;
    std::vector<std::vector<int>> seen(posters);
    std::latch start(posters + 1);
    std::atomic<int> finished{0};
    std::vector<std::thread> threads;
    for (int poster = 0; poster < posters; ++poster) {
        threads.emplace_back([&, poster] {
            start.arrive_and_wait();
            for (int i = 0; i < perPoster; ++i)
                scheduler.post([&seen, poster, i] { seen[size_t(poster)].push_back(i); });
            ++finished;
        });
    }
    start.arrive_and_wait();
    size_t ran = 0;
    const auto total = [&] {
        ran = 0;
        for (const auto &one : seen)
            ran += one.size();
        return ran;
    };
    while (finished < posters)
        drain();
    for (std::thread &thread : threads)
        thread.join();
    // What is still queued runs now; `drain` says when nothing more can come.
    while (total() < size_t(posters * perPoster) && drain()) {
    }
    EXPECT_EQ(total(), size_t(posters * perPoster)) << "posts made at the same moment were lost or ran twice";
    for (int poster = 0; poster < posters; ++poster) {
        const auto &one = seen[size_t(poster)];
        const bool inOrder =
            std::is_sorted(one.begin(), one.end()) && std::adjacent_find(one.begin(), one.end()) == one.end();
        EXPECT_TRUE(inOrder) << "poster " << poster << "'s work ran out of its order, or twice";
    }
}

// In a process of its own, as above.
TEST(QtScheduler, PostsMadeAtTheSameMomentByManyThreadsAllRunOnce)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            QtScheduler scheduler;
            QDeadlineTimer deadline(60000);
            postFromManyThreadsAtOnce(scheduler, [&] {
                QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
                return !deadline.hasExpired();
            });
            std::_Exit(HasFailure() ? 1 : 0);
        },
        ::testing::ExitedWithCode(0), "")
        << "posts made at the same moment by many threads broke the scheduler's queue: work was lost, "
           "ran twice or out of its order, or the program ended";
}

TEST(ManualScheduler, PostsMadeAtTheSameMomentByManyThreadsAllRunOnce)
{
    ManualScheduler scheduler;
    postFromManyThreadsAtOnce(scheduler, [&] {
        const bool queued = scheduler.pendingCount() > 0;
        scheduler.advance(0);
        return queued;
    });
}

// Each timer is an object of its own: one left behind after it fired or was cancelled would pile up
// for as long as the program runs (a hover, a fade or a delay each make one).
TEST(QtScheduler, TimersThatAreDoneLeaveNothingBehind)
{
    QtScheduler scheduler;
    int once = 0, repeated = 0;
    scheduler.after(0, [&] { ++once; });
    TimerHandle cancelled = scheduler.after(0.001, [] {});
    cancelled.cancel();
    TimerHandle repeating = scheduler.every(0.001, [&] { ++repeated; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return once == 1 && repeated >= 2; }, 5000));
    repeating.cancel();
    EXPECT_TRUE(QTest::qWaitFor([&] { return scheduler.findChildren<QTimer *>().isEmpty(); }, 5000))
        << scheduler.findChildren<QTimer *>().size() << " timers left";
    EXPECT_EQ(once, 1);
}
