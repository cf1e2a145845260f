#include "ui/revealbox.h"

#include <QEvent>

#include <algorithm>
#include <cmath>

#include "ui/scalefadeeffect.h"

namespace qv {

RevealBox::RevealBox(QWidget *content, bool revealed, Scheduler &scheduler, double response,
                     double dampingFraction, QWidget *parent)
    : QWidget(parent), m_content(content), m_response(response), m_damping(dampingFraction),
      m_progress(scheduler, revealed ? 1 : 0, [this] { follow(); })
{
    content->setParent(this);
    content->installEventFilter(this);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    follow();
}

void RevealBox::setRevealed(bool revealed)
{
    const double target = revealed ? 1 : 0;
    if (target == m_progress.target())
        return;
    // The target is set before the box shows: showing lays it out, and a layout pass that still
    // found it on its way out would hide it again.
    const bool seen = revealed ? !parentWidget() || parentWidget()->isVisible() : isVisible();
    if (seen)
        m_progress.springTo(target, m_response, m_damping);
    else
        m_progress.setValue(target);
    if (revealed)
        show();
    follow();
}

int RevealBox::contentHeight() const
{
    return m_content->hasHeightForWidth() && width() > 0 ? m_content->heightForWidth(width())
                                                         : m_content->sizeHint().height();
}

QSize RevealBox::sizeHint() const
{
    const QSize content = m_content->sizeHint();
    return {content.width(), std::max(0, int(std::lround(contentHeight() * m_progress.value())))};
}

QSize RevealBox::minimumSizeHint() const
{
    return {m_content->minimumSizeHint().width(), sizeHint().height()};
}

void RevealBox::follow()
{
    const double progress = m_progress.value();
    const int height = contentHeight();
    // It slides down from above its place: what has not come in yet lies above the box's top.
    m_content->setGeometry(0, int(std::lround((progress - 1) * height)), width(), height);
    setScaleFade(m_content, m_progress.clamped());
    updateGeometry();
    if (m_progress.target() <= 0 && !m_progress.isRunning())
        hide();
}

bool RevealBox::eventFilter(QObject *watched, QEvent *event)
{
    // The content's own size changed (a new language, a row shown): the room follows.
    if (watched == m_content && event->type() == QEvent::LayoutRequest)
        follow();
    return QWidget::eventFilter(watched, event);
}

void RevealBox::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    follow();
}

} // namespace qv
