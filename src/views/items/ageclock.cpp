#include "views/items/ageclock.h"

namespace qv {

AgeClock::AgeClock(Scheduler &scheduler, QObject *parent) : QObject(parent), m_scheduler(scheduler) {}

AgeClock::~AgeClock()
{
    m_timer.cancel();
}

void AgeClock::shown()
{
    if (m_shownViews++ == 0)
        m_timer = m_scheduler.every(1.0, [this] { emit ticked(); });
}

void AgeClock::hidden()
{
    if (m_shownViews > 0 && --m_shownViews == 0)
        m_timer.cancel();
}

void AgeClock::setLanguage(AppLanguage language)
{
    if (language == m_language)
        return;
    m_language = language;
    emit ticked();
}

QDateTime AgeClock::now() const
{
    return QDateTime::fromMSecsSinceEpoch(qint64(m_scheduler.wallNow() * 1000.0));
}

} // namespace qv
