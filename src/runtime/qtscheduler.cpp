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
    QMetaObject::invokeMethod(this, std::move(fn), Qt::QueuedConnection);
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
