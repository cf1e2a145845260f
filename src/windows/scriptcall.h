#pragma once

#include "runtime/awaitables.h"

namespace qv {

// Runs a child script inside a script and waits for its end, as one step of the parent:
//
//     ScriptCall confirming(m_scheduler, waitForAXMinimized(window, true, 3, confirmed));
//     co_await confirming;
//
// The child starts at construction and may end at once. It answers through what it was handed (a
// shared slot). Keep the call in a named local (see runtime/script.h on GCC 12). Destroying the call
// (with the parent's frame) stops the child where it stands.
class ScriptCall
{
public:
    ScriptCall(Scheduler &scheduler, Script child) : m_group(scheduler)
    {
        m_group.add(std::move(child));
        m_wait = m_group.wait();
    }
    ScriptCall(const ScriptCall &) = delete;
    ScriptCall &operator=(const ScriptCall &) = delete;

    bool await_ready() const noexcept { return m_wait.await_ready(); }
    void await_suspend(std::coroutine_handle<Script::promise_type> handle) { m_wait.await_suspend(handle); }
    void await_resume() const noexcept {}

private:
    TaskGroup m_group;
    TaskGroup::WaitAwaiter m_wait;
};

} // namespace qv
