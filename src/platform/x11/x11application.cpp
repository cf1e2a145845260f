#include "platform/x11/x11application.h"

#include <QApplication>
#include <QEvent>
#include <QMenu>
#include <QPalette>
#include <QWindow>

#include <xcb/xcb.h>

#include <algorithm>

#include "platform/x11/qtownsync.h"

namespace qv {

namespace {

// What the application needs of an event Qt's reader thread handed over: its type, mode and
// window, read word by word (see qtownsync.h). Focus and destroy events keep their window at the
// same place; the focus events' mode is the byte after it.
struct EventWords
{
    uint8_t type = 0;
    uint8_t detail = 0;
    xcb_window_t window = XCB_WINDOW_NONE;
    uint8_t mode = 0;
};

QV_QT_OWN_SYNC EventWords readEvent(const void *message)
{
    const volatile auto *bytes = static_cast<const volatile uint8_t *>(message);
    EventWords words;
    words.type = bytes[0] & 0x7f;
    words.detail = bytes[1];
    if (words.type == XCB_DESTROY_NOTIFY)
        words.window = *reinterpret_cast<const volatile uint32_t *>(bytes + 8);
    else if (words.type == XCB_FOCUS_OUT) {
        words.window = *reinterpret_cast<const volatile uint32_t *>(bytes + 4);
        words.mode = bytes[8];
    }
    return words;
}

// The top-level window of ours whose native window is `id`; never makes a native window.
QWindow *ownWindow(xcb_window_t id)
{
    for (QWindow *window : QGuiApplication::topLevelWindows()) {
        if (window->handle() && window->winId() == id)
            return window;
    }
    return nullptr;
}

} // namespace

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
    QCoreApplication::instance()->installNativeEventFilter(this);
}

X11Application::~X11Application()
{
    if (QCoreApplication *application = QCoreApplication::instance())
        application->removeNativeEventFilter(this);
}

bool X11Application::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    const EventWords event = readEvent(message);
    if (event.type == XCB_DESTROY_NOTIFY) {
        // Qt's own windows are gone from its list before the server reports them destroyed.
        if (QWindow *window = ownWindow(event.window))
            emit windowDestroyedElsewhere(window);
    } else if (event.type == XCB_FOCUS_OUT && event.mode == XCB_NOTIFY_MODE_GRAB &&
               event.detail != XCB_NOTIFY_DETAIL_POINTER && ownWindow(event.window)) {
        // Our own popups grab the keyboard when they open: that grab is no other program's.
        const QWindowList windows = QGuiApplication::topLevelWindows();
        const bool popupShown = std::any_of(windows.cbegin(), windows.cend(), [](const QWindow *window) {
            return window->isVisible() && window->type() == Qt::Popup;
        });
        if (!popupShown)
            QCoreApplication::postEvent(keyboardNotices(), new QEvent(keyboardTakenElsewhereEvent()));
    }
    return false;
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
