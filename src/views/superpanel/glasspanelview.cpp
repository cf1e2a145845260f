#include "views/superpanel/glasspanelview.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include "ui/dockglassbackground.h"
#include "ui/theme.h"

namespace qv {

GlassPanelView::GlassPanelView(Look look, QWidget *parent) : QWidget(parent), m_look(look) {}

void GlassPanelView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF frame = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath shape;
    shape.addRoundedRect(frame, m_look.cornerRadius, m_look.cornerRadius);
    // The panel lies inside our own full-screen window: its glass is drawn opaque enough to read.
    DockGlassBackground::paint(painter, shape, m_look.blurAmount, m_look.opacity);
    painter.save();
    painter.setClipPath(shape);
    const double split = m_header ? m_header->geometry().bottom() + 1 : 0;
    painter.fillRect(QRectF(frame.left(), frame.top(), frame.width(), split), Theme::white(0.05));
    if (m_look.bodyDim > 0)
        painter.fillRect(QRectF(frame.left(), split, frame.width(), frame.bottom() - split),
                         Theme::black(m_look.bodyDim));
    painter.restore();
    painter.setPen(QPen(Theme::white(m_look.edgeOpacity), 1));
    painter.drawPath(shape);
}

void GlassPanelView::mousePressEvent(QMouseEvent *event)
{
    event->accept();
}

void GlassPanelView::leaveEvent(QEvent *event)
{
    QWidget::leaveEvent(event);
    if (m_onLeave)
        m_onLeave();
}

} // namespace qv
