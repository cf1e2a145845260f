#include "runtime/script.h"

namespace qv {

void Script::State::resume(const std::shared_ptr<State> &state)
{
    if (!state->handle || state->done)
        return;
    state->running = true;
    state->handle.resume();
    state->running = false;
    // The frame is suspended again (at a wait or at its end); free it if nobody owns it any more.
    if ((state->orphaned || (state->detached && state->done)) && state->handle) {
        state->sleepTimer.cancel();
        state->handle.destroy();
        state->handle = {};
    }
}

void Script::promise_type::FinalAwaiter::await_suspend(std::coroutine_handle<promise_type> h) noexcept
{
    auto state = h.promise().state;
    state->done = true;
    if (auto fn = std::move(state->finished))
        fn();
}

bool SleepAwaiter::await_suspend(std::coroutine_handle<Script::promise_type> h)
{
    auto state = h.promise().state;
    std::weak_ptr<Script::State> weak = state;
    state->sleepTimer = state->scheduler->after(state->cancelled ? 0.0 : seconds, [weak] {
        if (auto s = weak.lock())
            Script::State::resume(s);
    });
    return true;
}

Script::Script(Script &&other) noexcept : m_state(std::move(other.m_state)) {}

Script &Script::operator=(Script &&other) noexcept
{
    if (this != &other) {
        release();
        m_state = std::move(other.m_state);
    }
    return *this;
}

Script::~Script()
{
    release();
}

void Script::release()
{
    if (!m_state)
        return;
    auto state = std::move(m_state);
    if (state->detached || !state->handle)
        return;
    if (state->running) {
        state->orphaned = true;
        return;
    }
    state->sleepTimer.cancel();
    state->handle.destroy();
    state->handle = {};
}

void Script::start(Scheduler &scheduler)
{
    if (!m_state || m_state->started)
        return;
    m_state->scheduler = &scheduler;
    m_state->started = true;
    // A local copy: the first step may destroy this Script, and with it m_state.
    const std::shared_ptr<State> state = m_state;
    State::resume(state);
}

void Script::cancel()
{
    if (!m_state || m_state->cancelled)
        return;
    m_state->cancelled = true;
    if (m_state->sleepTimer.isActive()) {
        m_state->sleepTimer.cancel();
        std::weak_ptr<State> weak = m_state;
        m_state->sleepTimer = m_state->scheduler->after(0, [weak] {
            if (auto s = weak.lock())
                State::resume(s);
        });
    }
}

void Script::detach()
{
    if (!m_state)
        return;
    auto state = std::move(m_state);
    // A script that never started would never run nor end: free it now.
    if (state->done || !state->started) {
        if (state->handle && !state->running) {
            state->handle.destroy();
            state->handle = {};
        } else {
            state->detached = true;
        }
        return;
    }
    state->detached = true;
    // The pending wait's callback only holds the state weakly; keep it alive until the end.
    auto keep = state;
    auto previous = std::move(state->finished);
    state->finished = [keep, previous]() mutable {
        if (previous)
            previous();
        keep.reset(); // breaks the cycle once the script has ended
    };
}

bool Script::isStarted() const
{
    return m_state && m_state->started;
}

bool Script::isFinished() const
{
    return m_state && m_state->done;
}

bool Script::isCancelled() const
{
    return m_state && m_state->cancelled;
}

void Script::onFinished(std::function<void()> fn)
{
    if (m_state)
        m_state->finished = std::move(fn);
}

} // namespace qv
