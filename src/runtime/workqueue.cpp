#include "runtime/workqueue.h"

#include <QCoreApplication>
#include <QThreadPool>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "runtime/scheduler.h"

namespace qv {

namespace {

class SerialThreadQueue final : public WorkQueue
{
public:
    explicit SerialThreadQueue(QString label)
        : m_label(std::move(label)), m_shared(std::make_shared<Shared>()),
          m_thread([shared = m_shared] { run(*shared); })
    {
    }

    ~SerialThreadQueue() override
    {
        {
            std::lock_guard lock(m_shared->mutex);
            m_shared->stopping = true;
        }
        m_shared->wake.notify_one();
        // Dropped from inside one of its own jobs: the thread cannot join itself, so it finishes the
        // jobs left on its own (the state it needs outlives this object) and then ends.
        if (m_thread.get_id() == std::this_thread::get_id())
            m_thread.detach();
        else
            m_thread.join();
    }

    QString label() const override { return m_label; }

    void async(std::function<void()> job) override
    {
        // The job may hold the last reference to this queue and drop it on the queue's thread as
        // soon as it is queued, and the thread then ends and frees what it shares: nothing of this
        // object is touched once the job is in, and the shared state lives here until the wake-up
        // is given.
        const std::shared_ptr<Shared> shared = m_shared;
        {
            std::lock_guard lock(shared->mutex);
            shared->jobs.push_back(std::move(job));
        }
        shared->wake.notify_one();
    }

private:
    struct Shared
    {
        std::mutex mutex;
        std::condition_variable wake;
        std::deque<std::function<void()>> jobs;
        bool stopping = false;
    };

    static void run(Shared &shared)
    {
        for (;;) {
            std::function<void()> job;
            {
                std::unique_lock lock(shared.mutex);
                shared.wake.wait(lock, [&shared] { return shared.stopping || !shared.jobs.empty(); });
                if (shared.jobs.empty())
                    return;
                job = std::move(shared.jobs.front());
                shared.jobs.pop_front();
            }
            job();
        }
    }

    QString m_label;
    std::shared_ptr<Shared> m_shared;
    std::thread m_thread; // last: starts after the other members exist
};

// The lock a job is handed to a pool's thread under. One for all jobs, made before any thread: a
// lock inside the job would itself be published through the pool, unseen.
std::mutex &poolHandoff()
{
    static std::mutex mutex;
    return mutex;
}

class PoolJob final : public QRunnable
{
public:
    explicit PoolJob(std::function<void()> job)
    {
        std::lock_guard lock(poolHandoff());
        m_job = std::move(job);
    }
    void run() override
    {
        std::function<void()> job;
        {
            std::lock_guard lock(poolHandoff());
            job = std::move(m_job);
        }
        job();
    }

private:
    std::function<void()> m_job;
};

// Qt runs parallel parts of its own work on its global pool and the calling thread waits for them:
// the raster engine's fills of every paint on the main thread among them. Our jobs (accessibility
// probes that wait on other programs' answers, picture coding) would queue in front of those parts
// there and hold the main thread for as long; they run on a pool of their own.
QThreadPool &jobPool();

class JobPool final : public QThreadPool
{
public:
    // As with Qt's pool, the jobs end while the application object still exists.
    JobPool()
    {
        qAddPostRoutine([] { jobPool().waitForDone(); });
    }
};

QThreadPool &jobPool()
{
    static JobPool pool;
    return pool;
}

class PoolQueue final : public WorkQueue
{
public:
    explicit PoolQueue(QString label) : m_label(std::move(label)) {}
    QString label() const override { return m_label; }
    void async(std::function<void()> job) override
    {
        startOnPool(jobPool(), std::move(job));
    }

private:
    QString m_label;
};

class PostingQueue final : public WorkQueue
{
public:
    PostingQueue(QString label, Scheduler &scheduler) : m_label(std::move(label)), m_scheduler(scheduler) {}
    QString label() const override { return m_label; }
    void async(std::function<void()> job) override { m_scheduler.post(std::move(job)); }

private:
    QString m_label;
    Scheduler &m_scheduler;
};

} // namespace

void startOnPool(QThreadPool &pool, std::function<void()> job)
{
    pool.start(new PoolJob(std::move(job)));
}

std::shared_ptr<WorkQueue> ThreadQueueFactory::makeQueue(const QString &label, QueueKind kind)
{
    if (kind == QueueKind::Concurrent)
        return std::make_shared<PoolQueue>(label);
    return std::make_shared<SerialThreadQueue>(label);
}

std::shared_ptr<WorkQueue> SchedulerQueueFactory::makeQueue(const QString &label, QueueKind)
{
    return std::make_shared<PostingQueue>(label, m_scheduler);
}

} // namespace qv
