#include "platform/workqueue.h"

#include <QThreadPool>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "platform/scheduler.h"

namespace qv {

namespace {

class SerialThreadQueue final : public WorkQueue
{
public:
    explicit SerialThreadQueue(QString label) : m_label(std::move(label)), m_thread([this] { run(); }) {}

    ~SerialThreadQueue() override
    {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_wake.notify_one();
        m_thread.join();
    }

    QString label() const override { return m_label; }

    void async(std::function<void()> job) override
    {
        {
            std::lock_guard lock(m_mutex);
            m_jobs.push_back(std::move(job));
        }
        m_wake.notify_one();
    }

private:
    void run()
    {
        for (;;) {
            std::function<void()> job;
            {
                std::unique_lock lock(m_mutex);
                m_wake.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
                if (m_jobs.empty())
                    return;
                job = std::move(m_jobs.front());
                m_jobs.pop_front();
            }
            job();
        }
    }

    QString m_label;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_jobs;
    bool m_stopping = false;
    std::thread m_thread; // last: starts after the other members exist
};

class PoolQueue final : public WorkQueue
{
public:
    explicit PoolQueue(QString label) : m_label(std::move(label)) {}
    QString label() const override { return m_label; }
    void async(std::function<void()> job) override { QThreadPool::globalInstance()->start(std::move(job)); }

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
