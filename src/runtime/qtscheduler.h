#pragma once

#include <QElapsedTimer>
#include <QObject>

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
    TimerHandle start(double seconds, bool repeating, std::function<void()> fn);

    QElapsedTimer m_clock;
};

} // namespace qv
