#pragma once

#include <functional>
#include <memory>

#include "runtime/scheduler.h"
#include "runtime/workqueue.h"

namespace qv {

// Runs `job` on `queue` and hands its result to `done` on the main thread, unless the owner of
// `alive` has gone by then. Views keep a shared token for this and reset it in their destructor.
template <typename Result>
void runOffMain(WorkQueue &queue, Scheduler &scheduler, std::weak_ptr<void> alive,
                std::function<Result()> job, std::function<void(Result)> done)
{
    queue.async(
        [&scheduler, alive = std::move(alive), job = std::move(job), done = std::move(done)]() mutable {
            Result result = job();
            scheduler.post([alive, done = std::move(done), result = std::move(result)]() mutable {
                if (alive.lock())
                    done(std::move(result));
            });
        });
}

} // namespace qv
