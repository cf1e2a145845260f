#include "views/items/ageclock.h"

namespace qv {

AgeClock::AgeClock(Scheduler &scheduler, QObject *parent) : QObject(parent), m_scheduler(scheduler)
{
    m_timer = m_scheduler.every(1.0, [this] { emit ticked(); });
}

AgeClock::~AgeClock()
{
    m_timer.cancel();
}

QDateTime AgeClock::now() const
{
    return QDateTime::fromMSecsSinceEpoch(qint64(m_scheduler.wallNow() * 1000.0));
}

} // namespace qv
