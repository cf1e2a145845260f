#include "platform/x11/x11dragendreport.h"

#include <QCoreApplication>
#include <QMouseEvent>

namespace qv {

void X11DragEndReport::startMonitoring()
{
    if (m_monitoring)
        return;
    m_monitoring = true;
    m_types = {QStringLiteral("text/uri-list")};
    if (QCoreApplication::instance())
        QCoreApplication::instance()->installEventFilter(this);
}

void X11DragEndReport::stopMonitoring()
{
    if (!m_monitoring)
        return;
    m_monitoring = false;
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
}

void X11DragEndReport::dragFinished(bool taken)
{
    m_types = taken ? QStringList() : QStringList{QStringLiteral("text/uri-list")};
    if (m_monitoring)
        emit mouseUp();
}

bool X11DragEndReport::eventFilter(QObject *watched, QEvent *event)
{
    // Only events of windows and widgets are read: other threads post theirs to other objects.
    if (m_monitoring && (watched->isWindowType() || watched->isWidgetType()) &&
        event->type() == QEvent::MouseButtonRelease && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
        emit mouseUp();
    return DragEndReport::eventFilter(watched, event);
}

} // namespace qv
