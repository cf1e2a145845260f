#pragma once

#include <QString>

#include <functional>
#include <memory>

class QThreadPool;

namespace qv {

class Scheduler;

// Starts `job` on `pool`. The job is handed over under a lock of the C++ library: the pool's own
// queue lock is one a thread checker cannot follow, so a job's captures looked written on one
// thread and read on another unordered, and every such report hid the real ones.
void startOnPool(QThreadPool &pool, std::function<void()> job);

// A named place to run work off the main thread. A serial queue runs one job at a time in
// submission order; a concurrent queue may run several at once. Jobs hand results back to the
// main thread with Scheduler::post. async() is safe from any thread.
class WorkQueue
{
public:
    virtual ~WorkQueue() = default;
    virtual QString label() const = 0;
    virtual void async(std::function<void()> job) = 0;
};

enum class QueueKind { Serial, Concurrent };

// Makes the queues services ask for by name ("Quorvantis.IconAXScan", ...).
class WorkQueueFactory
{
public:
    virtual ~WorkQueueFactory() = default;
    virtual std::shared_ptr<WorkQueue> makeQueue(const QString &label, QueueKind kind = QueueKind::Serial) = 0;
};

// Real threads: a serial queue owns one thread; concurrent queues share one pool of the program's
// own (never Qt's global pool, which Qt's own parallel work uses while the main thread waits).
// Destroying a serial queue finishes the jobs already submitted, then joins its thread.
class ThreadQueueFactory final : public WorkQueueFactory
{
public:
    std::shared_ptr<WorkQueue> makeQueue(const QString &label, QueueKind kind) override;
};

// Deterministic test mode: every job becomes a post on the scheduler, so jobs run on the test's
// thread, in submission order, when the test advances the (manual) scheduler. Serial and
// concurrent queues behave the same here.
class SchedulerQueueFactory final : public WorkQueueFactory
{
public:
    explicit SchedulerQueueFactory(Scheduler &scheduler) : m_scheduler(scheduler) {}
    std::shared_ptr<WorkQueue> makeQueue(const QString &label, QueueKind kind) override;

private:
    Scheduler &m_scheduler;
};

} // namespace qv
