#pragma once

#include <QList>

#include <functional>

#include "runtime/scheduler.h"

namespace qv {

// The "copied" checkmark of an item's copy button. Every trigger shows it and schedules its own
// reset; none is cancelled or pushed back, so after two clicks the first reset ends it. Resets still
// pending when the owner goes are cancelled with it. Main thread.
class CopyFeedback
{
public:
    CopyFeedback(Scheduler &scheduler, double duration, std::function<void()> changed);
    ~CopyFeedback();
    CopyFeedback(const CopyFeedback &) = delete;
    CopyFeedback &operator=(const CopyFeedback &) = delete;

    void trigger();
    bool isShowing() const { return m_showing; }
    double duration() const { return m_duration; }

private:
    void set(bool showing);

    Scheduler &m_scheduler;
    double m_duration;
    std::function<void()> m_changed;
    bool m_showing = false;
    QList<TimerHandle> m_resets;
};

} // namespace qv
