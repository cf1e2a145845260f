#pragma once

#include "platform/accessibility.h"

namespace qv {

// An element of another application on X11, where no accessibility tree is read yet: every read
// answers noValue (there is nothing to read) and every write or action cannotComplete, so callers
// see an application with no windows, no Dock tiles and nothing to press. Safe from any thread.
class X11AXElement final : public AXElement
{
public:
    explicit X11AXElement(qint64 pid) : m_pid(pid) {}

    AXResult copyAttribute(const QString &name) override;
    int setAttribute(const QString &name, const AXValue &value) override;
    int performAction(const QString &name) override;
    void setMessagingTimeout(double seconds) override;
    qint64 pid() const override { return m_pid; }

private:
    qint64 m_pid;
};

} // namespace qv
