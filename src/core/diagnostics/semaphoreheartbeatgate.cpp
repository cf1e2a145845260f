#include "core/diagnostics/semaphoreheartbeatgate.h"

#include <cmath>

namespace qv {

bool SemaphoreHeartbeatGate::wait(double seconds)
{
    return m_semaphore.tryAcquire(1, int(std::lround(seconds * 1000.0)));
}

} // namespace qv
