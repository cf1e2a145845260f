#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "runtime/scheduler.h"
#include "runtime/script.h"

namespace qv {

// Waiting helpers for the window engine's scripts: results that arrive through a callback (from
// any thread), groups of child scripts, and cancellation that reaches from a script into the
// scripts it started. Everything resumes on the main thread, on a later turn of the scheduler.
//
// Keep every awaitable that owns something (these, and group.wait()) in a named local and co_await
// that: GCC 12 destroys temporaries of a co_await full-expression twice.

// co_await Awaited<T>(start): `start` receives a deliver function and arranges for it to be called
// once with the result, from any thread, now or later. The script resumes with that result on the
// main thread. If the script is gone by then, the result is dropped.
template <typename T> class Awaited
{
public:
    using Deliver = std::function<void(T)>;
    explicit Awaited(std::function<void(Deliver)> start) : m_start(std::move(start)) {}

    bool await_ready() const noexcept { return false; }
    void await_suspend(std::coroutine_handle<Script::promise_type> handle)
    {
        auto state = handle.promise().state;
        Scheduler *scheduler = state->scheduler;
        std::weak_ptr<Script::State> weak = state;
        auto slot = m_slot;
        auto delivered = std::make_shared<std::atomic_bool>(false);
        m_start([scheduler, weak, slot, delivered](T value) {
            if (delivered->exchange(true))
                return;
            scheduler->post([weak, slot, value = std::move(value)]() mutable {
                auto s = weak.lock();
                if (!s)
                    return;
                *slot = std::move(value);
                Script::State::resume(s);
            });
        });
    }
    T await_resume() { return std::move(**m_slot); }

private:
    std::function<void(Deliver)> m_start;
    std::shared_ptr<std::optional<T>> m_slot = std::make_shared<std::optional<T>>();
};

// Cancellation of a script and of every script that started it: a child asks its own control and
// its parents' in one call.
class CancelToken
{
public:
    CancelToken() = default;
    explicit CancelToken(ScriptControl control) : m_controls{std::move(control)} {}

    CancelToken with(ScriptControl control) const
    {
        CancelToken token = *this;
        token.m_controls.push_back(std::move(control));
        return token;
    }
    bool isCancelled() const
    {
        for (const auto &control : m_controls) {
            if (control.isCancelled())
                return true;
        }
        return false;
    }

private:
    std::vector<ScriptControl> m_controls;
};

// Child scripts started together and awaited together. The group owns its children: destroying it
// (with the frame of the script that holds it) stops every child where it stands.
class TaskGroup
{
    struct Shared
    {
        Scheduler *scheduler = nullptr;
        int remaining = 0;
        std::weak_ptr<Script::State> waiter;
    };

public:
    explicit TaskGroup(Scheduler &scheduler) : m_shared(std::make_shared<Shared>())
    {
        m_shared->scheduler = &scheduler;
    }
    TaskGroup(const TaskGroup &) = delete;
    TaskGroup &operator=(const TaskGroup &) = delete;

    // Starts the child at once. `onDone` runs on the main thread when the child reaches its end.
    void add(Script child, std::function<void()> onDone = {})
    {
        ++m_shared->remaining;
        std::weak_ptr<Shared> weak = m_shared;
        child.onFinished([weak, onDone = std::move(onDone)] {
            if (onDone)
                onDone();
            auto shared = weak.lock();
            if (!shared || --shared->remaining > 0)
                return;
            if (shared->waiter.expired())
                return;
            shared->scheduler->post([waiter = shared->waiter] {
                if (auto s = waiter.lock())
                    Script::State::resume(s);
            });
        });
        child.start(*m_shared->scheduler);
        m_children.push_back(std::move(child));
    }

    // Cancels every child; each ends at its next check.
    void cancelAll()
    {
        for (auto &child : m_children)
            child.cancel();
    }

    int remaining() const { return m_shared->remaining; }

    struct WaitAwaiter
    {
        std::shared_ptr<Shared> shared;
        bool await_ready() const noexcept { return shared->remaining == 0; }
        void await_suspend(std::coroutine_handle<Script::promise_type> handle)
        {
            shared->waiter = handle.promise().state;
        }
        void await_resume() const noexcept {}
    };
    // co_await group.wait(): resumes once every child has ended.
    WaitAwaiter wait() { return WaitAwaiter{m_shared}; }

private:
    std::shared_ptr<Shared> m_shared;
    std::vector<Script> m_children;
};

} // namespace qv
