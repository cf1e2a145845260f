#include "runtime/manualscheduler.h"

#include <QMutexLocker>

#include <cmath>

namespace qv {

ManualScheduler::ManualScheduler(double start, double wallStart)
    : m_now(toNanos(start)), m_wallOffset(wallStart - start)
{
}

std::int64_t ManualScheduler::toNanos(double seconds)
{
    return std::llround(seconds * 1e9);
}

double ManualScheduler::now() const
{
    QMutexLocker lock(&m_mutex);
    return m_now / 1e9;
}

double ManualScheduler::wallNow() const
{
    QMutexLocker lock(&m_mutex);
    return m_now / 1e9 + m_wallOffset;
}

TimerHandle ManualScheduler::after(double seconds, std::function<void()> fn)
{
    return add(seconds, false, std::move(fn));
}

TimerHandle ManualScheduler::every(double seconds, std::function<void()> fn)
{
    return add(seconds, true, std::move(fn));
}

void ManualScheduler::post(std::function<void()> fn)
{
    add(0, false, std::move(fn));
}

TimerHandle ManualScheduler::add(double seconds, bool repeating, std::function<void()> fn)
{
    auto state = std::make_shared<TimerHandle::State>();
    state->repeating = repeating;
    QMutexLocker lock(&m_mutex);
    const std::int64_t delay = std::max<std::int64_t>(0, toNanos(seconds));
    m_entries.emplace(
        std::make_pair(m_now + delay, m_sequence++),
        Entry{m_now + delay, repeating ? std::max<std::int64_t>(delay, 1000) : 0, state, std::move(fn)});
    return TimerHandle(state);
}

void ManualScheduler::advance(double seconds)
{
    std::int64_t target;
    {
        QMutexLocker lock(&m_mutex);
        target = m_now + std::max<std::int64_t>(0, toNanos(seconds));
    }
    for (;;) {
        Entry entry;
        {
            QMutexLocker lock(&m_mutex);
            auto it = m_entries.begin();
            if (it == m_entries.end() || it->first.first > target)
                break;
            entry = std::move(it->second);
            m_entries.erase(it);
            if (entry.state->cancelled)
                continue;
            m_now = std::max(m_now, entry.due);
            if (entry.interval > 0) {
                Entry next{entry.due + entry.interval, entry.interval, entry.state, entry.fn};
                m_entries.emplace(std::make_pair(next.due, m_sequence++), std::move(next));
            } else {
                entry.state->fired = true;
            }
            ++m_callbacksRun;
        }
        entry.fn();
    }
    QMutexLocker lock(&m_mutex);
    m_now = std::max(m_now, target);
}

void ManualScheduler::skipTime(double seconds)
{
    QMutexLocker lock(&m_mutex);
    m_now += std::max<std::int64_t>(0, toNanos(seconds));
}

std::uint64_t ManualScheduler::callbacksRun() const
{
    QMutexLocker lock(&m_mutex);
    return m_callbacksRun;
}

int ManualScheduler::pendingCount() const
{
    QMutexLocker lock(&m_mutex);
    int count = 0;
    for (const auto &[key, entry] : m_entries)
        count += entry.state->cancelled ? 0 : 1;
    return count;
}

} // namespace qv
