#pragma once

#include <QHash>
#include <QMutex>
#include <QStringList>

#include <functional>

#include "platform/accessibility.h"

namespace qv {

class SimAccessibility;

// One accessibility call as the simulated desktop saw it, at the scheduler's time.
struct SimAXCall
{
    double time = 0;
    // The element's label (see SimAXElement::setLabel).
    QString element;
    // "read", "set" or "action".
    QString kind;
    QString name;
    // What a "set" wrote.
    AXValue value;
};

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
    // Called for each set in place of storing the value; it stores what it accepts (with set()) and
    // answers the error the caller sees.
    void setSetHandler(std::function<int(const QString &, const AXValue &)> handler);
    // How the element appears in the call record ("app:1000", "window:101", "close:101").
    void setLabel(const QString &label);
    QString label() const;

private:
    friend class SimAccessibility;
    SimAccessibility &m_service;
    qint64 m_pid;
    QHash<QString, AXValue> m_attributes;
    QHash<QString, int> m_errors;
    int m_elementError = 0;
    double m_timeout = 0;
    QStringList m_actions;
    std::function<int(const QString &)> m_actionHandler;
    std::function<int(const QString &, const AXValue &)> m_setHandler;
    QString m_label;
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

    // Records every later call with the time `clock` gives, until stopRecording().
    void startRecording(std::function<double()> clock);
    void stopRecording();
    QList<SimAXCall> calls() const;
    void clearCalls();

    QMutex &lock() { return m_mutex; }
    void noteRead();
    void record(const QString &element, const QString &kind, const QString &name, const AXValue &value = {});

private:
    mutable QMutex m_mutex;
    bool m_trusted = true;
    QHash<qint64, std::shared_ptr<SimAXElement>> m_apps;
    double m_readDelay = 0;
    std::function<void(double)> m_sleeper;
    int m_reads = 0;
    std::function<double()> m_clock;
    QList<SimAXCall> m_calls;
};

} // namespace qv
