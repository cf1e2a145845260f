#pragma once

#include <QMutex>

#include <cstdint>
#include <map>
#include <vector>

#include "runtime/scheduler.h"

namespace qv {

// Scheduler for tests: time stands still until advance() moves it. Callbacks due at the same time
// run in the order they were scheduled. Time is kept in whole nanoseconds so advancing in pieces
// (0.15 then 0.05) lands exactly where one step (0.2) would; now() still returns a double, so a test
// of a boundary should stand a millisecond either side of it. post() is thread-safe; everything else belongs
// to the test's thread.
class ManualScheduler final : public Scheduler
{
public:
    explicit ManualScheduler(double start = 1000.0, double wallStart = 1.7e9);

    double now() const override;
    double wallNow() const override;
    TimerHandle after(double seconds, std::function<void()> fn) override;
    TimerHandle every(double seconds, std::function<void()> fn) override;
    void post(std::function<void()> fn) override;

    // Moves time forward by `seconds`, running every callback that falls due, in time order.
    // Callbacks scheduled while advancing run too when they fall inside the window.
    void advance(double seconds);
    // Runs everything due now (posted work included) without moving time.
    void runPending() { advance(0); }
    // Moves the clock without running anything; for code that measures how long it took.
    void skipTime(double seconds);
    // Number of callbacks still waiting (cancelled ones excluded).
    int pendingCount() const;
    // Callbacks run so far, timers and posted work alike: what would each have woken the program.
    std::uint64_t callbacksRun() const;

private:
    struct Entry
    {
        std::int64_t due;
        std::int64_t interval;
        std::shared_ptr<TimerHandle::State> state;
        std::function<void()> fn;
    };
    TimerHandle add(double seconds, bool repeating, std::function<void()> fn);

    mutable QMutex m_mutex;
    static std::int64_t toNanos(double seconds);
    std::int64_t m_now;
    double m_wallOffset;
    std::uint64_t m_sequence = 0;
    std::uint64_t m_callbacksRun = 0;
    // Keyed by (due time, sequence) so equal due times keep their scheduling order.
    std::map<std::pair<std::int64_t, std::uint64_t>, Entry> m_entries;
};

} // namespace qv
