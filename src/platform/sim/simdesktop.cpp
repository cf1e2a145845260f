#include "platform/sim/simdesktop.h"

#include <QColor>
#include <QImage>
#include <QMutexLocker>

#include <algorithm>
#include <utility>

#include "runtime/scheduler.h"

namespace qv {

std::optional<ScreenInfo> SimScreens::mainScreen() const
{
    if (m_screens.isEmpty())
        return std::nullopt;
    for (const auto &screen : m_screens) {
        if (screen.frame.topLeft() == QPointF(0, 0))
            return screen;
    }
    return m_screens.first();
}

void SimScreens::setMouseLocation(const QPointF &point)
{
    if (point == m_mouse)
        return;
    m_mouse = point;
    if (m_motionWatch)
        emit pointerMoved();
}

void SimScreens::setScreens(const QList<ScreenInfo> &screens)
{
    m_screens = screens;
    emit screensChanged();
}

RunningApp SimWorkspace::frontmostApplication() const
{
    for (const auto &app : m_apps) {
        if (app.isActive)
            return app;
    }
    return {};
}

void SimWorkspace::setActive(qint64 pid)
{
    for (auto &app : m_apps)
        app.isActive = app.pid == pid;
}

bool SimWorkspace::activate(qint64 pid)
{
    const bool found =
        std::any_of(m_apps.cbegin(), m_apps.cend(), [pid](const RunningApp &app) { return app.pid == pid; });
    if (!found)
        return false;
    setActive(pid);
    m_focusedWindow = 0;
    for (const auto &[window, owner] : std::as_const(m_windows)) {
        if (owner == pid)
            m_focusedWindow = window;
    }
    m_activations.append(pid);
    emit applicationActivated(pid);
    return true;
}

bool SimWorkspace::activateWindow(quint32 windowId)
{
    const auto it = std::find_if(m_windows.cbegin(), m_windows.cend(),
                                 [windowId](const auto &window) { return window.first == windowId; });
    if (it == m_windows.cend())
        return false;
    const qint64 pid = it->second;
    // Raised to the application's front.
    m_windows.erase(it);
    m_windows.append({windowId, pid});
    m_focusedWindow = windowId;
    setActive(pid);
    emit applicationActivated(pid);
    return true;
}

void SimWorkspace::openWindow(qint64 pid, quint32 windowId)
{
    m_windows.append({windowId, pid});
}

void SimWorkspace::closeWindow(quint32 windowId)
{
    m_windows.removeIf([windowId](const auto &window) { return window.first == windowId; });
    if (m_focusedWindow == windowId)
        m_focusedWindow = 0;
}

void SimWorkspace::focusWindow(quint32 windowId)
{
    for (const auto &[window, owner] : std::as_const(m_windows)) {
        if (window == windowId) {
            m_focusedWindow = windowId;
            setActive(owner);
            emit applicationActivated(owner);
            return;
        }
    }
}

qint64 SimWorkspace::launch(RunningApp app)
{
    if (app.pid == 0)
        app.pid = m_nextPid++;
    m_apps.append(app);
    emit applicationLaunched(app.pid);
    return app.pid;
}

qint64 SimWorkspace::launchUnannounced(RunningApp app)
{
    if (app.pid == 0)
        app.pid = m_nextPid++;
    m_unannounced.append(app);
    return app.pid;
}

void SimWorkspace::refreshApplications()
{
    const QList<RunningApp> unannounced = std::exchange(m_unannounced, {});
    for (const RunningApp &app : unannounced)
        launch(app);
}

void SimWorkspace::terminate(qint64 pid)
{
    m_windows.removeIf([this, pid](const auto &window) {
        if (window.second == pid && window.first == m_focusedWindow)
            m_focusedWindow = 0;
        return window.second == pid;
    });
    const auto removed = m_apps.removeIf([pid](const RunningApp &app) { return app.pid == pid; });
    if (removed)
        emit applicationTerminated(pid);
}

void SimWorkspace::hideOtherApplications(qint64 keepPid)
{
    m_hideOthers.append(keepPid);
    const QList<RunningApp> apps = m_apps;
    for (const RunningApp &app : apps) {
        if (app.pid != keepPid && app.isRegular)
            setHidden(app.pid, true);
    }
}

void SimWorkspace::setHidden(qint64 pid, bool hidden)
{
    for (auto &app : m_apps) {
        if (app.pid == pid && app.isHidden != hidden) {
            app.isHidden = hidden;
            if (hidden)
                emit applicationHidden(pid);
            else
                emit applicationUnhidden(pid);
        }
    }
}

QVariant SimDockPreferences::value(const QString &key) const
{
    QMutexLocker lock(&m_mutex);
    return m_values.value(key);
}

void SimDockPreferences::set(const QString &key, const QVariant &value)
{
    QMutexLocker lock(&m_mutex);
    if (value.isValid())
        m_values.insert(key, value);
    else
        m_values.remove(key);
}

bool SimPermissions::screenCapturePreflight()
{
    probes.append(QStringLiteral("screenCapture"));
    return screenCapture;
}

bool SimPermissions::isAccessibilityTrusted()
{
    probes.append(QStringLiteral("accessibility"));
    return linkedAccessibility ? linkedAccessibility->isProcessTrusted() : accessibility;
}

bool SimPermissions::canListenToKeyEvents()
{
    probes.append(QStringLiteral("inputMonitoring"));
    return inputMonitoring;
}

bool SimPermissions::openSettingsPage(const QString &address)
{
    if (address.isEmpty())
        return false;
    openedSettingsPages.append(address);
    return true;
}

QString SimLoginItem::registerItem()
{
    calls.append(QStringLiteral("register"));
    if (!m_failure.isEmpty())
        return std::exchange(m_failure, QString());
    m_status = statusEnabled;
    return {};
}

QString SimLoginItem::unregisterItem()
{
    calls.append(QStringLiteral("unregister"));
    if (!m_failure.isEmpty())
        return std::exchange(m_failure, QString());
    m_status = 0;
    return {};
}

SimDesktop::SimDesktop()
{
    windowServer.setScreens(&screens);
}
SimDesktop::~SimDesktop() = default;

Platform SimDesktop::platform()
{
    Platform p;
    p.screens = &screens;
    p.workspace = &workspace;
    p.accessibility = &accessibility;
    p.dockPreferences = &dockPreferences;
    p.permissions = &permissions;
    p.application = &application;
    p.loginItem = &loginItem;
    p.installation = &installation;
    p.locale = &locale;
    p.fileDialogs = &fileDialogs;
    p.fileRevealer = &fileRevealer;
    p.windowList = &windowServer;
    p.windowCapture = &windowServer;
    p.appIcons = &appIcons;
    p.pasteboard = &pasteboard;
    p.globalInput = &globalInput;
    p.thumbnails = &thumbnails;
    p.fileIcons = &fileIcons;
    p.web = &web;
    p.textRecognizer = &textRecognizer;
    p.dragEndReport = &dragEndReport;
    p.activation = &activation;
    p.windowBounds = &windowServer;
    p.feedback = &feedback;
    p.panelWindows = &panelWindows;
    return p;
}

void SimDesktop::useScheduler(Scheduler &scheduler)
{
    const auto clock = [&scheduler] { return scheduler.now(); };
    windowServer.setScheduler(&scheduler);
    accessibility.startRecording(clock);
    activation.setClock(clock);
    feedback.setClock(clock);
}

void SimDesktop::addDefaultScreen()
{
    screens.setScreens({ScreenInfo{QRectF(0, 0, 1440, 900), QRectF(0, 70, 1440, 805)}});
}

std::shared_ptr<SimAXElement> SimDesktop::dockList()
{
    if (m_dockList)
        return m_dockList;
    m_dockPid = workspace.launch(RunningApp{0, QStringLiteral("com.apple.dock"), QStringLiteral("Dock"), false,
                                            false, false});
    auto app = accessibility.appElement(m_dockPid);
    m_dockList = accessibility.makeElement(m_dockPid);
    m_dockList->set(QStringLiteral("AXRole"), QStringLiteral("AXList"));
    m_dockList->set(QStringLiteral("AXChildren"), QList<AXElementPtr>());
    app->addChild(m_dockList);
    return m_dockList;
}

std::shared_ptr<SimAXElement> SimDesktop::addDockTile(const QString &title, const QRectF &axFrame)
{
    auto list = dockList();
    auto tile = accessibility.makeElement(m_dockPid);
    tile->set(QStringLiteral("AXRole"), QStringLiteral("AXDockItem"));
    tile->set(QStringLiteral("AXTitle"), title);
    tile->set(QStringLiteral("AXPosition"), axFrame.topLeft());
    tile->set(QStringLiteral("AXSize"), axFrame.size());
    list->addChild(tile);
    return tile;
}

void SimDesktop::clearDockTiles()
{
    dockList()->set(QStringLiteral("AXChildren"), QList<AXElementPtr>());
}

void SimDesktop::populateDemo()
{
    addDefaultScreen();
    screens.setMouseLocation(QPointF(720, 450));
    const QStringList names = {QStringLiteral("Files"), QStringLiteral("Terminal"), QStringLiteral("Browser"),
                               QStringLiteral("Editor")};
    const QList<QColor> colours = {QColor(40, 90, 160), QColor(30, 30, 30), QColor(200, 120, 40),
                                   QColor(60, 140, 90)};
    double x = 520;
    for (int i = 0; i < names.size(); ++i) {
        const QString &name = names[i];
        const QString identity = QStringLiteral("org.example.") + name.toLower();
        const qint64 pid = workspace.launch(RunningApp{0, identity, name, false, false, true});
        // Installed too, so the App Blocker's chooser lists them.
        appIcons.installed.append({identity, name});
        addDockTile(name, QRectF(x, 900 - 64, 64, 64));
        x += 70;
        // One or two windows per application, with contents a capture can show.
        for (int w = 0; w <= i % 2; ++w) {
            QImage image(800, 500, QImage::Format_ARGB32_Premultiplied);
            image.fill(colours[i]);
            windowServer.addWindow(pid, QRectF(80 + 120 * i + 40 * w, 60 + 50 * i + 30 * w, 800, 500),
                                   QStringLiteral("%1 — window %2").arg(name).arg(w + 1), image);
        }
    }
    std::sort(appIcons.installed.begin(), appIcons.installed.end(),
              [](const InstalledApplication &a, const InstalledApplication &b) { return a.name < b.name; });
}

} // namespace qv
