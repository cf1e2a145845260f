#include "platform/x11/x11application.h"

#include <QApplication>
#include <QEvent>
#include <QMenu>
#include <QPalette>

namespace qv {

X11Application::X11Application(QObject *parent) : ApplicationService(parent)
{
    m_active = QGuiApplication::applicationState() == Qt::ApplicationActive;
    connect(qGuiApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        const bool active = state == Qt::ApplicationActive;
        const bool resigned = m_active && !active;
        m_active = active;
        if (resigned)
            emit didResignActive();
    });
    qGuiApp->installEventFilter(this);
}

void X11Application::setDarkAppearance()
{
    if (qobject_cast<QApplication *>(QCoreApplication::instance()))
        QApplication::setStyle(QStringLiteral("Fusion"));
    QPalette dark;
    const QColor window(0x1e, 0x1e, 0x1e);
    const QColor base(0x14, 0x14, 0x14);
    const QColor text(0xeb, 0xeb, 0xeb);
    const QColor disabledText(0x7f, 0x7f, 0x7f);
    dark.setColor(QPalette::Window, window);
    dark.setColor(QPalette::WindowText, text);
    dark.setColor(QPalette::Base, base);
    dark.setColor(QPalette::AlternateBase, window);
    dark.setColor(QPalette::ToolTipBase, window);
    dark.setColor(QPalette::ToolTipText, text);
    dark.setColor(QPalette::PlaceholderText, disabledText);
    dark.setColor(QPalette::Text, text);
    dark.setColor(QPalette::Button, QColor(0x2d, 0x2d, 0x2d));
    dark.setColor(QPalette::ButtonText, text);
    dark.setColor(QPalette::BrightText, Qt::white);
    dark.setColor(QPalette::Light, QColor(0x3c, 0x3c, 0x3c));
    dark.setColor(QPalette::Midlight, QColor(0x32, 0x32, 0x32));
    dark.setColor(QPalette::Mid, QColor(0x26, 0x26, 0x26));
    dark.setColor(QPalette::Dark, QColor(0x0f, 0x0f, 0x0f));
    dark.setColor(QPalette::Shadow, Qt::black);
    dark.setColor(QPalette::Highlight, QColor(0x2a, 0x82, 0xda));
    dark.setColor(QPalette::HighlightedText, Qt::white);
    dark.setColor(QPalette::Link, QColor(0x4d, 0xa6, 0xff));
    dark.setColor(QPalette::Disabled, QPalette::Text, disabledText);
    dark.setColor(QPalette::Disabled, QPalette::WindowText, disabledText);
    dark.setColor(QPalette::Disabled, QPalette::ButtonText, disabledText);
    QGuiApplication::setPalette(dark);
}

void X11Application::terminate()
{
    QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
}

void X11Application::menuClosed(QObject *menu)
{
    const auto it = m_openMenus.find(menu);
    if (it == m_openMenus.end())
        return;
    disconnect(*it);
    m_openMenus.erase(it);
    emit menuDidEndTracking();
}

bool X11Application::eventFilter(QObject *watched, QEvent *event)
{
    // Only menus matter (one deleted while open is reported through its destroyed signal). Asking
    // the object first also leaves alone the events other threads post to other objects, which a
    // thread checker would see read here unordered (Qt's own queue lock is one it cannot follow).
    if (!qobject_cast<QMenu *>(watched))
        return false;
    if (event->type() == QEvent::Show) {
        if (!m_openMenus.contains(watched)) {
            // A menu deleted while open gets no Hide event; its end must still be reported.
            m_openMenus.insert(watched, connect(watched, &QObject::destroyed, this,
                                                [this, watched] { menuClosed(watched); }));
            emit menuDidBeginTracking();
        }
    } else if (event->type() == QEvent::Hide) {
        menuClosed(watched);
    }
    return false;
}

} // namespace qv
