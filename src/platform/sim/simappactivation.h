#pragma once

#include <QList>
#include <QString>

#include <functional>

#include "platform/appactivation.h"

namespace qv {

class SimWindowServer;
class SimWorkspace;

// Activation on the simulated desktop: the application becomes the active one (its windows come to
// the front of the stack with ActivationOption::allWindows), hidden ones are shown again, and the
// Dock takes focus when a "com.apple.dock" application runs. Every call is recorded.
class SimAppActivation final : public AppActivation
{
public:
    struct Call
    {
        double time = 0;
        // "activate", "unhide" or "dock".
        QString what;
        qint64 pid = 0;
        int options = 0;
        bool operator==(const Call &) const = default;
    };

    SimAppActivation(SimWorkspace &workspace, SimWindowServer &windowServer);

    bool activate(qint64 pid, int options) override;
    bool unhide(qint64 pid) override;
    bool handFocusToDock() override;

    // Time stamps of the record; 0 without a clock.
    void setClock(std::function<double()> clock) { m_clock = std::move(clock); }
    QList<Call> calls() const { return m_calls; }
    void clearCalls() { m_calls.clear(); }

private:
    bool isRunning(qint64 pid) const;
    void record(const QString &what, qint64 pid, int options);

    SimWorkspace &m_workspace;
    SimWindowServer &m_windowServer;
    std::function<double()> m_clock;
    QList<Call> m_calls;
};

} // namespace qv
