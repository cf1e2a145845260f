#pragma once

#include <QHash>
#include <QMutex>
#include <QStringList>

#include <functional>

#include "platform/accessibility.h"

namespace qv {

class SimAccessibility;

// An element of the simulated desktop: a bag of attributes, each with an optional scripted error,
// plus a record of what was done to it. Thread-safe (all elements share their service's lock).
class SimAXElement final : public AXElement, public std::enable_shared_from_this<SimAXElement>
{
public:
    SimAXElement(SimAccessibility &service, qint64 pid) : m_service(service), m_pid(pid) {}

    AXResult copyAttribute(const QString &name) override;
    int setAttribute(const QString &name, const AXValue &value) override;
    int performAction(const QString &name) override;
    void setMessagingTimeout(double seconds) override;
    qint64 pid() const override { return m_pid; }

    // Drivers.
    void set(const QString &name, const AXValue &value);
    void unset(const QString &name);
    AXValue get(const QString &name) const;
    // Every later read of `name` fails with `error` (0 clears it).
    void setError(const QString &name, int error);
    // Every call on this element fails with `error` (0 clears it), e.g. a window that went away.
    void setElementError(int error);
    void addChild(const AXElementPtr &child);
    QStringList performedActions() const;
    double messagingTimeout() const;
    // Called for each action before it is recorded; may change attributes (a press that closes).
    void setActionHandler(std::function<int(const QString &)> handler);

private:
    SimAccessibility &m_service;
    qint64 m_pid;
    QHash<QString, AXValue> m_attributes;
    QHash<QString, int> m_errors;
    int m_elementError = 0;
    double m_timeout = 0;
    QStringList m_actions;
    std::function<int(const QString &)> m_actionHandler;
};

class SimAccessibility final : public AccessibilityService
{
public:
    bool isProcessTrusted() const override;
    AXElementPtr applicationElement(qint64 pid) override;

    void setTrusted(bool trusted);
    std::shared_ptr<SimAXElement> appElement(qint64 pid);
    std::shared_ptr<SimAXElement> makeElement(qint64 pid);
    // Each attribute read takes this long; `sleeper` is handed the delay (tests pass a function that
    // moves the manual clock, so time budgets can be exercised without real waiting).
    void setReadDelay(double seconds, std::function<void(double)> sleeper);
    int readCount() const;

    QMutex &lock() { return m_mutex; }
    void noteRead();

private:
    mutable QMutex m_mutex;
    bool m_trusted = true;
    QHash<qint64, std::shared_ptr<SimAXElement>> m_apps;
    double m_readDelay = 0;
    std::function<void(double)> m_sleeper;
    int m_reads = 0;
};

} // namespace qv
