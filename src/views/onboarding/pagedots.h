#pragma once

#include <QWidget>

#include <array>
#include <functional>

#include "ui/animation.h"

namespace qv {

class Scheduler;

// The row of five page dots under the first-run slides: the current one white and a little larger,
// the others faint. A click on a dot asks for that page. Main thread.
class PageDots : public QWidget
{
    Q_OBJECT
public:
    static constexpr int count = 5;

    PageDots(Scheduler &scheduler, std::function<void(int)> select, QWidget *parent = nullptr);

    void setCurrent(int index);
    int current() const { return m_current; }
    // Where dot `index` is drawn, for a click in a test.
    QPoint dotCenter(int index) const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    std::function<void(int)> m_select;
    int m_current = 0;
    int m_previous = 0;
    double m_progress = 1.0; // of the move from the previous dot to the current one
    Animation m_move;
};

} // namespace qv
