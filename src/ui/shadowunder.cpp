#include "ui/shadowunder.h"

#include <QEvent>
#include <QPainter>

#include <cmath>

#include "ui/theme.h"

namespace qv {

ShadowUnder::ShadowUnder(QWidget &target, Look look)
    : QWidget(target.parentWidget()), m_target(&target), m_look(look)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_TranslucentBackground);
    target.installEventFilter(this);
    // It goes with its widget.
    connect(&target, &QObject::destroyed, this, &QObject::deleteLater);
    follow();
}

int ShadowUnder::reach() const
{
    return int(std::ceil(m_look.radius + std::abs(m_look.dy)));
}

void ShadowUnder::follow()
{
    if (!m_target)
        return;
    const int r = reach();
    setGeometry(m_target->geometry().adjusted(-r, -r, r, r));
    setVisible(!m_target->isHidden());
    if (!isHidden())
        stackUnder(m_target);
}

bool ShadowUnder::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::Hide:
    case QEvent::ZOrderChange:
        if (watched == m_target)
            follow();
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void ShadowUnder::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const int r = reach();
    Theme::paintShadow(painter, QRectF(rect()).adjusted(r, r, -r, -r), m_look.cornerRadius, m_look.opacity,
                       m_look.radius, m_look.dy);
}

} // namespace qv
