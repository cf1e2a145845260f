#pragma once

#include <QMutex>
#include <QStringList>

#include "core/eventlog.h"

namespace qv {

// Keeps every event as "name detail" (just "name" without a detail), in order. Any thread.
class RecordingEventLog : public EventLog
{
public:
    void log(const QString &name, const QString &detail = QString()) override
    {
        QMutexLocker lock(&m_mutex);
        m_events.append(detail.isEmpty() ? name : name + QLatin1Char(' ') + detail);
    }

    QStringList events() const
    {
        QMutexLocker lock(&m_mutex);
        return m_events;
    }

    // The details of the events called `name`, in order.
    QStringList details(const QString &name) const
    {
        QStringList result;
        const QString prefix = name + QLatin1Char(' ');
        for (const QString &event : events()) {
            if (event == name)
                result.append(QString());
            else if (event.startsWith(prefix))
                result.append(event.mid(prefix.size()));
        }
        return result;
    }

private:
    mutable QMutex m_mutex;
    QStringList m_events;
};

} // namespace qv
