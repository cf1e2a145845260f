#pragma once

#include <QSemaphore>

#include "core/diagnostics/heartbeatgate.h"

namespace qv {

// A heartbeat gate on a counting semaphore and the real clock.
class SemaphoreHeartbeatGate final : public HeartbeatGate
{
public:
    void signal() override { m_semaphore.release(); }
    bool wait(double seconds) override;

private:
    QSemaphore m_semaphore;
};

} // namespace qv
