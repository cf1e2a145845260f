#include "views/onboarding/pagedots.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

#include "ui/spring.h"
#include "ui/theme.h"

namespace qv {

namespace {
constexpr double dotSize = 8;
constexpr double spacing = 8;
constexpr double currentScale = 1.2;
constexpr double springResponse = 0.4;
constexpr double springDamping = 0.8;
} // namespace

PageDots::PageDots(Scheduler &scheduler, std::function<void(int)> select, QWidget *parent)
    : QWidget(parent), m_select(std::move(select)), m_move(scheduler)
{
    setCursor(Qt::PointingHandCursor);
}

void PageDots::setCurrent(int index)
{
    if (index == m_current)
        return;
    m_previous = m_current;
    m_current = index;
    m_move.start(0, 1, springSettlingTime(springResponse, springDamping),
                 Animation::spring(springResponse, springDamping), [this](double p) {
                     m_progress = p;
                     update();
                 });
}

QPoint PageDots::dotCenter(int index) const
{
    const double rowWidth = count * dotSize + (count - 1) * spacing;
    const double left = (width() - rowWidth) / 2.0;
    return QPointF(left + index * (dotSize + spacing) + dotSize / 2, height() / 2.0).toPoint();
}

QSize PageDots::sizeHint() const
{
    return QSize(int(count * dotSize + (count - 1) * spacing + 8), int(dotSize * currentScale + 8));
}

void PageDots::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < count; ++i) {
        // 1 for the current dot, 0 for the others; in between while the spring moves.
        double weight = 0;
        if (i == m_current)
            weight = m_progress;
        else if (i == m_previous)
            weight = 1 - m_progress;
        weight = std::clamp(weight, 0.0, 1.2);
        const double scale = 1 + (currentScale - 1) * weight;
        const double alpha = 0.2 + 0.8 * std::min(1.0, weight);
        painter.setBrush(Theme::white(alpha));
        const double size = dotSize * scale;
        const QPointF center = dotCenter(i);
        painter.drawEllipse(center, size / 2, size / 2);
    }
}

void PageDots::mouseReleaseEvent(QMouseEvent *event)
{
    for (int i = 0; i < count; ++i) {
        const QPointF delta = event->position() - QPointF(dotCenter(i));
        if (std::abs(delta.x()) <= (dotSize + spacing) / 2 && std::abs(delta.y()) <= height() / 2.0) {
            m_select(i);
            return;
        }
    }
}

} // namespace qv
