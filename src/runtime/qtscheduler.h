#pragma once

#include <QElapsedTimer>
#include <QObject>

#include <deque>
#include <mutex>

#include "runtime/scheduler.h"

namespace qv {

// Scheduler on the Qt event loop of the thread that created it (the main thread).
class QtScheduler final : public QObject, public Scheduler
{
    Q_OBJECT
public:
    explicit QtScheduler(QObject *parent = nullptr);

    double now() const override;
    double wallNow() const override;
    TimerHandle after(double seconds, std::function<void()> fn) override;
    TimerHandle every(double seconds, std::function<void()> fn) override;
    void post(std::function<void()> fn) override;

private:
    Q_INVOKABLE void runPosted();
    TimerHandle start(double seconds, bool repeating, std::function<void()> fn);

    QElapsedTimer m_clock;
    // Posted work waits here, under a lock of the C++ library, rather than inside Qt's event: the
    // hand-off from a worker thread is then one a thread checker can follow (Qt's own queue lock
    // is not, so every capture a worker posted looked like a race with the main thread).
    std::mutex m_postedMutex;
    std::deque<std::function<void()>> m_posted;
};

} // namespace qv
