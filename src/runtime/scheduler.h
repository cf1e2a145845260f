#pragma once

#include <functional>
#include <memory>
#include <mutex>

namespace qv {

// A cancellable reference to one scheduled callback. Copies share the same callback; cancelling any
// copy prevents every later run. A default-constructed handle refers to nothing.
class TimerHandle
{
public:
    struct State
    {
        bool cancelled = false;
        bool repeating = false;
        bool fired = false;
    };

    TimerHandle() = default;
    explicit TimerHandle(std::shared_ptr<State> state) : m_state(std::move(state)) {}

    void cancel();
    // True while the callback may still run (not cancelled, and a one-shot that has not fired yet).
    bool isActive() const;

private:
    std::shared_ptr<State> m_state;
};

// The program's one source of time and of delayed work on the main thread.
// Production runs on the Qt event loop (QtScheduler); tests use ManualScheduler and advance it.
// All callbacks run on the main thread. now(), wallNow() and post() may be called from any thread;
// after() and every() only from the main thread.
class Scheduler
{
public:
    virtual ~Scheduler() = default;

    // Monotonic seconds since an arbitrary origin; never goes back.
    virtual double now() const = 0;
    // Wall-clock seconds since 1970-01-01 UTC.
    virtual double wallNow() const = 0;

    // Runs fn once after `seconds` (0 means on a later turn of the loop, never inside the call).
    virtual TimerHandle after(double seconds, std::function<void()> fn) = 0;
    // Runs fn every `seconds` until cancelled. The first run is one interval from now.
    virtual TimerHandle every(double seconds, std::function<void()> fn) = 0;
    // Runs fn on the main thread on a later turn. Safe from any thread.
    virtual void post(std::function<void()> fn) = 0;
};

// Hands results from other threads to the scheduler only while the owner that made the gate lives.
// A worker may finish after the service that started it is gone, and by then the scheduler may be
// gone too (at quit, or in a test that tears down in another order). The owner never outlives its
// scheduler and closes the gate when it goes: close() waits for a post in progress, and every
// later post() is dropped, so a late worker never touches a destroyed scheduler. Copies share one
// gate; post() is safe from any thread.
class PostGate
{
public:
    explicit PostGate(Scheduler &scheduler) : m_state(std::make_shared<State>())
    {
        m_state->scheduler = &scheduler;
    }

    void post(std::function<void()> fn) const;
    void close() const;

private:
    struct State
    {
        std::mutex mutex;
        Scheduler *scheduler = nullptr;
    };
    std::shared_ptr<State> m_state;
};

} // namespace qv
