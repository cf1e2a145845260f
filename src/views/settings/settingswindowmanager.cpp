#include "views/settings/settingswindowmanager.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

namespace qv {

SettingsWindowManager::SettingsWindowManager(const SettingsContext &context, QObject *parent)
    : QObject(parent), m_context(context)
{
}

SettingsWindowManager::~SettingsWindowManager()
{
    delete m_window.data();
}

void SettingsWindowManager::showSettings()
{
    if (!m_window) {
        auto *window = new SettingsView(m_context);
        window->setAttribute(Qt::WA_DeleteOnClose);
        // Titled, closable and resizable in height, without a minimise button.
        window->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                               Qt::WindowCloseButtonHint);
        window->setWindowTitle(QStringLiteral("Quorvantis"));
        window->setMinimumHeight(minimumHeight);
        QScreen *screen = QGuiApplication::primaryScreen();
        const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 1280, 1024);
        const int height = qBound(minimumHeight, windowHeight, qMax(minimumHeight, available.height() - 40));
        window->resize(SettingsView::contentWidth, height);
        window->move(available.center() - QPoint(SettingsView::contentWidth / 2, height / 2));
        m_window = window;
    }
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void SettingsWindowManager::windowDestroyedElsewhere(QWindow *window)
{
    if (!m_window || m_window->windowHandle() != window)
        return;
    SettingsView *gone = m_window.data();
    m_window.clear();
    gone->close();
}

} // namespace qv
