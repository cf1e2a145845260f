#pragma once

#include <QPixmap>
#include <QPointer>
#include <QRectF>

#include <functional>

#include "ui/animation.h"

class QPainter;
class QWidget;

namespace qv {

// A picture of `widget` as it shows now, drawn over nothing: where it paints nothing (rounded
// corners, a page over its window's glass) the picture is transparent.
QPixmap stillPicture(QWidget &widget);

// A floating panel's entrance and exit: while it plays, the panel is hidden and its host paints a
// still picture of it that scales about the panel's centre and fades, moved by a spring (so it may
// overshoot). The host calls paint() from its paintEvent and uses presence() for what fades along
// (its dim, the panel's shadow). Frames come from the scheduler only while a transition plays.
// The panel must be a child of the host. Main thread.
class PopTransition
{
public:
    PopTransition(Scheduler &scheduler, QWidget &host);

    // The panel (placed and laid out) grows from `fromScale` and fades in; it shows itself again
    // at the end.
    void enter(QWidget &panel, double fromScale, double response, double dampingFraction);
    // The panel hides at once and its picture shrinks to `toScale` and fades out; `done` runs at the
    // end, unless another transition or cancel() cut it short.
    void leave(QWidget &panel, double toScale, double response, double dampingFraction,
               std::function<void()> done = {});
    // Stops where it is: an entering panel shows itself at once, a leaving one stays hidden.
    void cancel();

    bool isRunning() const { return m_animation.isRunning(); }
    bool isLeaving() const { return isRunning() && !m_entering; }
    // 1 while nothing plays; between 0 and 1 (clamped) while the panel comes or goes.
    double presence() const;
    // The panel's frame at its present scale, in the host's coordinates.
    QRectF frame() const;
    void paint(QPainter &painter) const;
    // The panel's soft shadow at its present frame, fading with it, under its picture while a
    // transition plays (and alone while the shown panel draws itself).
    void paintWithShadow(QPainter &painter, double cornerRadius, double shadowOpacity, double shadowRadius,
                         double shadowDy) const;
    // The host went out of sight: nothing plays unseen. True when a leaving panel has thereby gone.
    bool finishUnseen();

private:
    void start(QWidget &panel, double from, double to, double scale, double response, double dampingFraction,
               std::function<void()> done);

    QWidget &m_host;
    Animation m_animation;
    QPointer<QWidget> m_panel;
    QPixmap m_picture;
    QRectF m_frame;
    double m_scale = 0.9;
    double m_progress = 1;
    bool m_entering = false;
};

} // namespace qv
