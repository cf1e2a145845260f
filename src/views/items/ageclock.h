#pragma once

#include <QDateTime>
#include <QObject>

#include "core/applanguage.h"
#include "runtime/scheduler.h"

namespace qv {

// The one timer behind every live age the item views show: it ticks once a second while at least
// one view that shows an age is on screen, and each visible view redraws its age on the tick, so a
// list of hundreds of items still runs a single timer and a hidden list runs none. The ages speak
// the clock's language; a change of it redraws them at once. Main thread.
class AgeClock : public QObject
{
    Q_OBJECT
public:
    explicit AgeClock(Scheduler &scheduler, QObject *parent = nullptr);
    ~AgeClock() override;

    // Wall-clock time from the scheduler, so tests move it with the manual clock.
    QDateTime now() const;
    Scheduler &scheduler() const { return m_scheduler; }
    AppLanguage language() const { return m_language; }
    void setLanguage(AppLanguage language);

    // A view came on screen or left it; the clock runs while any is on screen. Each shown() is
    // matched by one hidden().
    void shown();
    void hidden();
    bool isTicking() const { return m_timer.isActive(); }

signals:
    void ticked();

private:
    Scheduler &m_scheduler;
    TimerHandle m_timer;
    int m_shownViews = 0;
    AppLanguage m_language = AppLanguage::system;
};

} // namespace qv
