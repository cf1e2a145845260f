#include "ui/poptransition.h"

#include <QPainter>
#include <QWidget>

#include <algorithm>

#include "ui/spring.h"
#include "ui/theme.h"

namespace qv {

QPixmap stillPicture(QWidget &widget)
{
    const double dpr = widget.devicePixelRatioF();
    QPixmap picture((QSizeF(widget.size()) * dpr).toSize());
    picture.setDevicePixelRatio(dpr);
    picture.fill(Qt::transparent);
    // Without the window's background, which grab() would paint in the palette's colour.
    widget.render(&picture, QPoint(), QRegion(), QWidget::DrawChildren);
    return picture;
}

PopTransition::PopTransition(Scheduler &scheduler, QWidget &host) : m_host(host), m_animation(scheduler) {}

void PopTransition::enter(QWidget &panel, double fromScale, double response, double dampingFraction)
{
    start(panel, 0, 1, fromScale, response, dampingFraction, [this] {
        if (m_panel)
            m_panel->show();
    });
    m_entering = true;
}

void PopTransition::leave(QWidget &panel, double toScale, double response, double dampingFraction,
                          std::function<void()> done)
{
    start(panel, presence(), 0, toScale, response, dampingFraction, std::move(done));
}

void PopTransition::start(QWidget &panel, double from, double to, double scale, double response,
                          double dampingFraction, std::function<void()> done)
{
    cancel();
    m_entering = false;
    m_panel = &panel;
    m_frame = panel.geometry();
    // The picture is taken while the panel still shows its content (a leaving one is about to lose
    // it).
    m_picture = stillPicture(panel);
    panel.hide();
    m_scale = scale;
    m_progress = from;
    m_animation.start(
        from, to, springSettlingTime(response, dampingFraction), Animation::spring(response, dampingFraction),
        [this](double progress) {
            m_progress = progress;
            m_host.update();
        },
        [this, done = std::move(done)] {
            m_picture = QPixmap();
            m_progress = 1;
            if (done)
                done();
            m_host.update();
        });
}

void PopTransition::cancel()
{
    if (!m_animation.isRunning())
        return;
    m_animation.cancel();
    m_picture = QPixmap();
    m_progress = 1;
    if (m_panel && m_entering)
        m_panel->show();
    m_host.update();
}

double PopTransition::presence() const
{
    return std::clamp(m_progress, 0.0, 1.0);
}

QRectF PopTransition::frame() const
{
    if (!isRunning())
        return m_panel ? QRectF(m_panel->geometry()) : QRectF();
    const double scale = m_scale + (1 - m_scale) * m_progress;
    const QPointF center = m_frame.center();
    return {center.x() - m_frame.width() * scale / 2, center.y() - m_frame.height() * scale / 2,
            m_frame.width() * scale, m_frame.height() * scale};
}

void PopTransition::paintWithShadow(QPainter &painter, double cornerRadius, double shadowOpacity,
                                    double shadowRadius, double shadowDy) const
{
    const QRectF shown = frame();
    if (!shown.isEmpty() && m_panel && (isRunning() || m_panel->isVisible())) {
        painter.save();
        painter.setOpacity(painter.opacity() * presence());
        Theme::paintShadow(painter, shown, cornerRadius, shadowOpacity, shadowRadius, shadowDy);
        painter.restore();
    }
    paint(painter);
}

bool PopTransition::finishUnseen()
{
    if (!isRunning())
        return false;
    const bool leaving = isLeaving();
    cancel();
    return leaving;
}

void PopTransition::paint(QPainter &painter) const
{
    if (!isRunning() || m_picture.isNull())
        return;
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setOpacity(painter.opacity() * presence());
    painter.drawPixmap(frame(), m_picture, QRectF(m_picture.rect()));
    painter.restore();
}

} // namespace qv
