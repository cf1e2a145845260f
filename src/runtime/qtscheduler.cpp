#include "runtime/qtscheduler.h"

#include <QDateTime>
#include <QTimer>

#include <cmath>

namespace qv {

QtScheduler::QtScheduler(QObject *parent) : QObject(parent)
{
    m_clock.start();
}

double QtScheduler::now() const
{
    return m_clock.nsecsElapsed() / 1e9;
}

double QtScheduler::wallNow() const
{
    return QDateTime::currentMSecsSinceEpoch() / 1000.0;
}

TimerHandle QtScheduler::after(double seconds, std::function<void()> fn)
{
    return start(seconds, false, std::move(fn));
}

TimerHandle QtScheduler::every(double seconds, std::function<void()> fn)
{
    return start(seconds, true, std::move(fn));
}

void QtScheduler::post(std::function<void()> fn)
{
    {
        std::lock_guard lock(m_postedMutex);
        m_posted.push_back(std::move(fn));
    }
    // One queued call a post, each running the oldest: the order among Qt's other events stays.
    QMetaObject::invokeMethod(this, "runPosted", Qt::QueuedConnection);
}

void QtScheduler::runPosted()
{
    std::function<void()> fn;
    {
        std::lock_guard lock(m_postedMutex);
        if (m_posted.empty())
            return;
        fn = std::move(m_posted.front());
        m_posted.pop_front();
    }
    fn();
}

TimerHandle QtScheduler::start(double seconds, bool repeating, std::function<void()> fn)
{
    auto state = std::make_shared<TimerHandle::State>();
    state->repeating = repeating;
    auto *timer = new QTimer(this);
    timer->setTimerType(Qt::PreciseTimer);
    timer->setSingleShot(!repeating);
    timer->setInterval(std::max(0, int(std::lround(seconds * 1000.0))));
    connect(timer, &QTimer::timeout, this, [timer, state, fn = std::move(fn)] {
        if (state->cancelled) {
            timer->stop();
            timer->deleteLater();
            return;
        }
        if (!state->repeating) {
            state->fired = true;
            timer->deleteLater();
        }
        fn();
    });
    timer->start();
    return TimerHandle(state);
}

} // namespace qv
