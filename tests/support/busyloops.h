#pragma once

#include <atomic>
#include <thread>
#include <vector>

namespace qv {

// Threads of the test's own that keep the processors busy while they live, so what the test checks
// also holds on a loaded machine.
class BusyLoops
{
public:
    explicit BusyLoops(int count)
    {
        for (int i = 0; i < count; ++i)
            m_threads.emplace_back([this] {
                while (!m_stop.load(std::memory_order_relaxed)) {
                }
            });
    }
    ~BusyLoops()
    {
        m_stop = true;
        for (std::thread &thread : m_threads)
            thread.join();
    }
    BusyLoops(const BusyLoops &) = delete;
    BusyLoops &operator=(const BusyLoops &) = delete;

private:
    std::atomic<bool> m_stop{false};
    std::vector<std::thread> m_threads;
};

} // namespace qv
