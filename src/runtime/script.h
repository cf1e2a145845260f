#pragma once

#include <coroutine>
#include <functional>
#include <memory>

#include "runtime/scheduler.h"

namespace qv {

// A timed script: a coroutine that runs on the main thread as a sequence of steps with fixed waits
// between them, written as
//
//     Script WindowEngine::raiseScript(...) {
//         const ScriptControl control = co_await thisScript();
//         step1();
//         co_await sleepFor(0.05);
//         if (control.isCancelled()) co_return;
//         step2();
//     }
//
// A script is created suspended and begins with start(), which runs it up to its first wait.
// cancel() cuts the current wait short (the wait counts as completed) and makes every later
// ScriptControl::isCancelled() answer true; only those checks end a script early. Destroying the Script
// object ends the script where it stands: a pending wait never resumes, so an owner that keeps its scripts as
// members can be destroyed while one sleeps.
//
// Two habits keep GCC 12 from miscompiling scripts: never write co_await inside an if condition
// (assign the result to a variable first), and keep an awaitable that owns resources in a named
// local rather than a temporary of the co_await expression (GCC 12 destroys such temporaries twice).
class Script
{
public:
    struct State;
    struct promise_type;

    Script() = default;
    Script(Script &&other) noexcept;
    Script &operator=(Script &&other) noexcept;
    Script(const Script &) = delete;
    Script &operator=(const Script &) = delete;
    ~Script();

    void start(Scheduler &scheduler);
    void cancel();
    // Lets the script run to its end without an owner; it frees itself when done.
    void detach();

    bool isValid() const { return bool(m_state); }
    bool isStarted() const;
    bool isFinished() const;
    bool isCancelled() const;
    // Called once when the script reaches its end (normally or after a cancellation check).
    void onFinished(std::function<void()> fn);

private:
    explicit Script(std::shared_ptr<State> state) : m_state(std::move(state)) {}
    void release();

    std::shared_ptr<State> m_state;
};

struct Script::State
{
    Scheduler *scheduler = nullptr;
    std::coroutine_handle<> handle;
    TimerHandle sleepTimer;
    std::function<void()> finished;
    bool started = false;
    bool cancelled = false;
    bool done = false;
    bool running = false;
    bool orphaned = false; // no owner any more: the resumer frees the frame
    bool detached = false; // no owner, but runs to its end

    static void resume(const std::shared_ptr<State> &state);
};

struct Script::promise_type
{
    std::shared_ptr<State> state = std::make_shared<State>();

    Script get_return_object()
    {
        state->handle = std::coroutine_handle<promise_type>::from_promise(*this);
        return Script(state);
    }
    std::suspend_always initial_suspend() noexcept { return {}; }
    struct FinalAwaiter
    {
        bool await_ready() noexcept { return false; }
        void await_suspend(std::coroutine_handle<promise_type> h) noexcept;
        void await_resume() noexcept {}
    };
    FinalAwaiter final_suspend() noexcept { return {}; }
    void return_void() {}
    void unhandled_exception() { std::terminate(); }
};

// co_await sleepFor(s): wait s seconds on the script's scheduler (0 yields one turn).
struct SleepAwaiter
{
    double seconds;
    bool await_ready() const noexcept { return false; }
    bool await_suspend(std::coroutine_handle<Script::promise_type> h);
    void await_resume() const noexcept {}
};
inline SleepAwaiter sleepFor(double seconds)
{
    return SleepAwaiter{seconds};
}

// What a running script knows about itself. Obtain it once at the top of the script:
//     const ScriptControl control = co_await thisScript();
// and ask control.isCancelled() at each check. (The check is an ordinary call on purpose: GCC 12
// miscompiles a co_await written directly inside an if condition.)
class ScriptControl
{
public:
    ScriptControl() = default;
    explicit ScriptControl(std::weak_ptr<Script::State> state) : m_state(std::move(state)) {}
    bool isCancelled() const
    {
        auto state = m_state.lock();
        return !state || state->cancelled;
    }

private:
    std::weak_ptr<Script::State> m_state;
};

struct ThisScriptAwaiter
{
    std::weak_ptr<Script::State> state;
    bool await_ready() const noexcept { return false; }
    bool await_suspend(std::coroutine_handle<Script::promise_type> h) noexcept
    {
        state = h.promise().state;
        return false;
    }
    ScriptControl await_resume() const noexcept { return ScriptControl(state); }
};
inline ThisScriptAwaiter thisScript()
{
    return {};
}

} // namespace qv
