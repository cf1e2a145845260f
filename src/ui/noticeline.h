#pragma once

#include <QLabel>

#include "runtime/scheduler.h"

namespace qv {

// A line that tells the user an action could not be done (a file no file manager could show),
// shown over the bottom middle of its parent for `duration` seconds, then hidden. Its only timer
// runs while it shows. The scheduler must outlive it. Main thread.
class NoticeLine : public QLabel
{
    Q_OBJECT
public:
    static constexpr double duration = 5.0;

    NoticeLine(Scheduler &scheduler, QWidget *parent);
    ~NoticeLine() override;

    // Shows `text` above its siblings, replacing a line still shown, for a fresh `duration`.
    void showText(const QString &text);
    void dismiss();
    // What a person sees: the text while it shows, else empty.
    QString shownText() const { return isVisible() ? text() : QString(); }

private:
    Scheduler &m_scheduler;
    TimerHandle m_hide;
};

} // namespace qv
