#include "platform/sim/simaccessibility.h"

#include <QMutexLocker>

namespace qv {

AXResult SimAXElement::copyAttribute(const QString &name)
{
    m_service.noteRead();
    m_service.record(label(), QStringLiteral("read"), name);
    QMutexLocker lock(&m_service.lock());
    if (m_elementError)
        return {m_elementError, {}};
    if (int error = m_errors.value(name, 0))
        return {error, {}};
    auto it = m_attributes.constFind(name);
    if (it == m_attributes.constEnd())
        return {AXError::noValue, {}};
    return {AXError::success, *it};
}

int SimAXElement::setAttribute(const QString &name, const AXValue &value)
{
    m_service.record(label(), QStringLiteral("set"), name, value);
    std::function<int(const QString &, const AXValue &)> handler;
    {
        QMutexLocker lock(&m_service.lock());
        if (m_elementError)
            return m_elementError;
        if (int error = m_errors.value(name, 0))
            return error;
        m_actions.append(QStringLiteral("set:") + name);
        handler = m_setHandler;
        if (!handler) {
            m_attributes.insert(name, value);
            return AXError::success;
        }
    }
    return handler(name, value);
}

int SimAXElement::performAction(const QString &name)
{
    m_service.record(label(), QStringLiteral("action"), name);
    std::function<int(const QString &)> handler;
    {
        QMutexLocker lock(&m_service.lock());
        if (m_elementError)
            return m_elementError;
        m_actions.append(name);
        handler = m_actionHandler;
    }
    return handler ? handler(name) : AXError::success;
}

void SimAXElement::setMessagingTimeout(double seconds)
{
    QMutexLocker lock(&m_service.lock());
    m_timeout = seconds;
}

void SimAXElement::set(const QString &name, const AXValue &value)
{
    QMutexLocker lock(&m_service.lock());
    m_attributes.insert(name, value);
}

void SimAXElement::unset(const QString &name)
{
    QMutexLocker lock(&m_service.lock());
    m_attributes.remove(name);
}

AXValue SimAXElement::get(const QString &name) const
{
    QMutexLocker lock(&m_service.lock());
    return m_attributes.value(name);
}

void SimAXElement::setError(const QString &name, int error)
{
    QMutexLocker lock(&m_service.lock());
    if (error)
        m_errors.insert(name, error);
    else
        m_errors.remove(name);
}

void SimAXElement::setElementError(int error)
{
    QMutexLocker lock(&m_service.lock());
    m_elementError = error;
}

void SimAXElement::addChild(const AXElementPtr &child)
{
    QMutexLocker lock(&m_service.lock());
    QList<AXElementPtr> children;
    if (auto *list = std::get_if<QList<AXElementPtr>>(&m_attributes[QStringLiteral("AXChildren")]))
        children = *list;
    children.append(child);
    m_attributes.insert(QStringLiteral("AXChildren"), children);
}

QStringList SimAXElement::performedActions() const
{
    QMutexLocker lock(&m_service.lock());
    return m_actions;
}

double SimAXElement::messagingTimeout() const
{
    QMutexLocker lock(&m_service.lock());
    return m_timeout;
}

void SimAXElement::setActionHandler(std::function<int(const QString &)> handler)
{
    QMutexLocker lock(&m_service.lock());
    m_actionHandler = std::move(handler);
}

void SimAXElement::setSetHandler(std::function<int(const QString &, const AXValue &)> handler)
{
    QMutexLocker lock(&m_service.lock());
    m_setHandler = std::move(handler);
}

void SimAXElement::setLabel(const QString &label)
{
    QMutexLocker lock(&m_service.lock());
    m_label = label;
}

QString SimAXElement::label() const
{
    QMutexLocker lock(&m_service.lock());
    return m_label;
}

bool SimAccessibility::isProcessTrusted() const
{
    QMutexLocker lock(&m_mutex);
    return m_trusted;
}

AXElementPtr SimAccessibility::applicationElement(qint64 pid)
{
    return appElement(pid);
}

void SimAccessibility::setTrusted(bool trusted)
{
    QMutexLocker lock(&m_mutex);
    m_trusted = trusted;
}

std::shared_ptr<SimAXElement> SimAccessibility::appElement(qint64 pid)
{
    QMutexLocker lock(&m_mutex);
    auto &element = m_apps[pid];
    if (!element) {
        element = std::make_shared<SimAXElement>(*this, pid);
        element->m_label = QStringLiteral("app:%1").arg(pid);
    }
    return element;
}

std::shared_ptr<SimAXElement> SimAccessibility::makeElement(qint64 pid)
{
    return std::make_shared<SimAXElement>(*this, pid);
}

void SimAccessibility::setReadDelay(double seconds, std::function<void(double)> sleeper)
{
    QMutexLocker lock(&m_mutex);
    m_readDelay = seconds;
    m_sleeper = std::move(sleeper);
}

int SimAccessibility::readCount() const
{
    QMutexLocker lock(&m_mutex);
    return m_reads;
}

void SimAccessibility::noteRead()
{
    double delay;
    std::function<void(double)> sleeper;
    {
        QMutexLocker lock(&m_mutex);
        ++m_reads;
        delay = m_readDelay;
        sleeper = m_sleeper;
    }
    if (delay > 0 && sleeper)
        sleeper(delay);
}

void SimAccessibility::startRecording(std::function<double()> clock)
{
    QMutexLocker lock(&m_mutex);
    m_clock = std::move(clock);
}

void SimAccessibility::stopRecording()
{
    QMutexLocker lock(&m_mutex);
    m_clock = nullptr;
}

QList<SimAXCall> SimAccessibility::calls() const
{
    QMutexLocker lock(&m_mutex);
    return m_calls;
}

void SimAccessibility::clearCalls()
{
    QMutexLocker lock(&m_mutex);
    m_calls.clear();
}

void SimAccessibility::record(const QString &element, const QString &kind, const QString &name,
                              const AXValue &value)
{
    QMutexLocker lock(&m_mutex);
    if (m_clock)
        m_calls.append(SimAXCall{m_clock(), element, kind, name, value});
}

} // namespace qv
