#pragma once

#include <QString>

namespace qv {

// Where a service records its diagnostics events. The application hands every service the one
// diagnostics recorder; tests hand in a recording log. Whether anything is kept is the log's
// business: callers log unconditionally.
class EventLog
{
public:
    virtual ~EventLog() = default;

    // Records one event (an empty detail when there is none). Any thread; never fails.
    virtual void log(const QString &name, const QString &detail = QString()) = 0;
};

} // namespace qv
