#include "platform/sim/simwindowserver.h"

#include <QPainter>
#include <QSet>

#include <algorithm>

#include "platform/geometry.h"
#include "platform/screens.h"
#include "platform/sim/simaccessibility.h"
#include "platform/sim/simdesktop.h"
#include "runtime/scheduler.h"

namespace qv {

SimWindowServer::SimWindowServer(SimAccessibility &accessibility, SimWorkspace &workspace)
    : m_accessibility(accessibility), m_workspace(workspace)
{
}

SimWindowServer::~SimWindowServer() = default;

void SimWindowServer::requestWindows(WindowListService::Completion done)
{
    ++m_listRequests;
    std::optional<QList<WindowInfo>> answer;
    if (!m_listFails)
        answer = windows();
    if (m_holdLists) {
        m_heldLists.append([done = std::move(done), answer] { done(answer); });
        return;
    }
    done(answer);
}

void SimWindowServer::captureWindow(quint32 windowId, const QSize &pixelSize,
                                    WindowCaptureService::Completion done)
{
    m_captured.append(windowId);
    m_captureSizes.append(pixelSize);
    const std::optional<QImage> image = render(windowId, pixelSize);
    if (m_holdCaptures) {
        m_heldCaptures.append([done = std::move(done), image] { done(image); });
        return;
    }
    done(image);
}

std::optional<WindowInfo> SimWindowServer::info(quint32 windowId) const
{
    const Window *window = find(windowId);
    return window ? std::optional<WindowInfo>(window->info) : std::nullopt;
}

QImage SimWindowServer::fallbackImage(quint32 windowId)
{
    m_fallbacks.append(windowId);
    const Window *window = find(windowId);
    return window ? window->fallback : QImage();
}

std::optional<QImage> SimWindowServer::render(quint32 windowId, const QSize &pixelSize) const
{
    const Window *window = find(windowId);
    if (!window || window->captureFails || pixelSize.isEmpty())
        return std::nullopt;
    if (!window->drawnSize.isEmpty()) {
        const QSize shown = window->drawnSize.scaled(pixelSize, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
        QImage drawn = window->image.isNull() ? QImage(shown, QImage::Format_ARGB32_Premultiplied)
                                              : window->image.scaled(shown);
        if (window->image.isNull())
            drawn.fill(Qt::transparent);
        return drawn;
    }
    // A window with no contents draws as a fully transparent picture, as a real capture of a window
    // that never painted does.
    QImage out(pixelSize, QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    if (!window->image.isNull()) {
        const QImage scaled = window->image.scaled(pixelSize, Qt::KeepAspectRatio, Qt::FastTransformation);
        if (scaled.size() == pixelSize)
            return scaled;
        QPainter painter(&out);
        painter.drawImage(QPointF(0, 0), scaled);
    }
    return out;
}

quint32 SimWindowServer::addWindow(qint64 pid, const QRectF &frame, const std::optional<QString> &title,
                                   const QImage &image)
{
    Window window;
    window.info.windowId = m_nextId++;
    window.info.frame = frame;
    window.info.title = title;
    window.info.ownerPID = pid;
    window.image = image;
    if (pid != 0) {
        for (const auto &app : m_workspace.runningApplications()) {
            if (app.pid == pid) {
                window.info.ownerName = app.name;
                window.info.ownerBundleIdentifier = app.bundleIdentifier;
                break;
            }
        }
        window.ax = m_accessibility.makeElement(pid);
        window.ax->setLabel(QStringLiteral("window:%1").arg(window.info.windowId));
        window.ax->set(QStringLiteral("AXRole"), QStringLiteral("AXWindow"));
        window.ax->set(QStringLiteral("AXTitle"), title.value_or(QString()));
        window.ax->set(QStringLiteral("AXPosition"), frame.topLeft());
        window.ax->set(QStringLiteral("AXSize"), frame.size());
        window.ax->set(QStringLiteral("AXMinimized"), false);
        window.ax->set(QStringLiteral("CGWindowID"), double(window.info.windowId));
        auto app = m_accessibility.appElement(pid);
        QList<AXElementPtr> list;
        const AXValue current = app->get(QStringLiteral("AXWindows"));
        if (auto *existing = std::get_if<QList<AXElementPtr>>(&current))
            list = *existing;
        list.append(window.ax);
        app->set(QStringLiteral("AXWindows"), list);
    }
    m_windows.append(window);
    if (window.ax) {
        updateButtons(window);
        installHandlers(window.info.windowId, pid);
    }
    emit m_workspace.windowListChanged();
    return window.info.windowId;
}

void SimWindowServer::removeWindow(quint32 windowId)
{
    for (qsizetype i = 0; i < m_windows.size(); ++i) {
        if (m_windows[i].info.windowId != windowId)
            continue;
        const Window window = m_windows.takeAt(i);
        if (window.ax) {
            auto app = m_accessibility.appElement(window.info.ownerPID);
            const AXValue value = app->get(QStringLiteral("AXWindows"));
            if (auto *list = std::get_if<QList<AXElementPtr>>(&value)) {
                QList<AXElementPtr> rest = *list;
                rest.removeAll(AXElementPtr(window.ax));
                app->set(QStringLiteral("AXWindows"), rest);
            }
        }
        emit m_workspace.windowsClosed({windowId});
        emit m_workspace.windowListChanged();
        return;
    }
}

void SimWindowServer::setLayer(quint32 windowId, int layer)
{
    if (Window *window = find(windowId))
        window->info.layer = layer;
}

void SimWindowServer::setOnScreen(quint32 windowId, bool onScreen)
{
    if (Window *window = find(windowId))
        window->info.isOnScreen = onScreen;
}

void SimWindowServer::setMinimized(quint32 windowId, bool minimized)
{
    if (Window *window = find(windowId)) {
        window->info.isOnScreen = !minimized;
        if (window->ax)
            window->ax->set(QStringLiteral("AXMinimized"), minimized);
    }
}

void SimWindowServer::setCaptureImage(quint32 windowId, const QImage &image)
{
    if (Window *window = find(windowId))
        window->image = image;
}

void SimWindowServer::setFallbackImage(quint32 windowId, const QImage &image)
{
    if (Window *window = find(windowId))
        window->fallback = image;
}

void SimWindowServer::setCaptureFails(quint32 windowId, bool fails)
{
    if (Window *window = find(windowId))
        window->captureFails = fails;
}

void SimWindowServer::setDrawnSize(quint32 windowId, const QSize &size)
{
    if (Window *window = find(windowId))
        window->drawnSize = size;
}

int SimWindowServer::releaseLists()
{
    const auto held = std::exchange(m_heldLists, {});
    for (const auto &deliver : held)
        deliver();
    return int(held.size());
}

int SimWindowServer::releaseCaptures()
{
    const auto held = std::exchange(m_heldCaptures, {});
    for (const auto &deliver : held)
        deliver();
    return int(held.size());
}

std::optional<QRectF> SimWindowServer::windowBounds(quint32 windowId)
{
    const Window *window = find(windowId);
    if (!window)
        return std::nullopt;
    return window->info.frame;
}

void SimWindowServer::setBehaviour(quint32 windowId, const SimWindowBehaviour &behaviour)
{
    if (Window *window = find(windowId)) {
        window->behaviour = behaviour;
        updateButtons(*window);
    }
}

void SimWindowServer::setFrame(quint32 windowId, const QRectF &frame)
{
    Window *window = find(windowId);
    if (!window)
        return;
    window->info.frame = frame;
    if (window->ax) {
        window->ax->set(QStringLiteral("AXPosition"), frame.topLeft());
        window->ax->set(QStringLiteral("AXSize"), frame.size());
    }
}

void SimWindowServer::bringToFront(qint64 pid)
{
    std::stable_partition(m_windows.begin(), m_windows.end(),
                          [pid](const Window &window) { return window.info.ownerPID == pid; });
}

void SimWindowServer::updateButtons(const Window &window)
{
    if (!window.ax)
        return;
    const quint32 id = window.info.windowId;
    const auto button = [&](const char *attribute, const char *label, bool present) {
        const QString name = QLatin1String(attribute);
        if (!present) {
            window.ax->unset(name);
            return;
        }
        if (std::holds_alternative<AXElementPtr>(window.ax->get(name)))
            return;
        auto element = m_accessibility.makeElement(window.info.ownerPID);
        element->setLabel(QStringLiteral("%1:%2").arg(QLatin1String(label)).arg(id));
        element->set(QStringLiteral("AXRole"), QStringLiteral("AXButton"));
        std::weak_ptr<int> alive = m_alive;
        element->setActionHandler([this, alive, id, name](const QString &action) {
            if (alive.expired())
                return AXError::invalidElement;
            return action == QLatin1String("AXPress") ? pressButton(id, name) : AXError::actionUnsupported;
        });
        window.ax->set(name, AXElementPtr(element));
    };
    button("AXCloseButton", "close", window.behaviour.hasCloseButton);
    button("AXMinimizeButton", "minimize", window.behaviour.hasMinimizeButton);
    button("AXZoomButton", "zoom", window.behaviour.hasZoomButton);
}

void SimWindowServer::installHandlers(quint32 windowId, qint64 pid)
{
    Window *window = find(windowId);
    std::weak_ptr<int> alive = m_alive;
    window->ax->setSetHandler([this, alive, windowId](const QString &name, const AXValue &value) {
        if (alive.expired())
            return AXError::invalidElement;
        return setWindowAttribute(windowId, name, value);
    });
    window->ax->setActionHandler([this, alive, windowId](const QString &action) {
        if (alive.expired())
            return AXError::invalidElement;
        if (action != QLatin1String("AXRaise"))
            return AXError::actionUnsupported;
        raise(windowId);
        return AXError::success;
    });
    m_accessibility.appElement(pid)->setSetHandler(
        [this, alive, pid](const QString &name, const AXValue &value) {
            if (alive.expired())
                return AXError::invalidElement;
            m_accessibility.appElement(pid)->set(name, value);
            const bool *on = std::get_if<bool>(&value);
            if (name == QLatin1String("AXFrontmost") && on && *on)
                m_workspace.activate(pid);
            return AXError::success;
        });
}

int SimWindowServer::setWindowAttribute(quint32 windowId, const QString &name, const AXValue &value)
{
    Window *window = find(windowId);
    if (!window)
        return AXError::invalidElement;
    if (name == QLatin1String("AXPosition")) {
        const QPointF *point = std::get_if<QPointF>(&value);
        if (!point)
            return AXError::illegalArgument;
        setFrame(windowId, QRectF(*point, window->info.frame.size()));
        return AXError::success;
    }
    if (name == QLatin1String("AXSize")) {
        const QSizeF *size = std::get_if<QSizeF>(&value);
        if (!size)
            return AXError::illegalArgument;
        setFrame(windowId, QRectF(window->info.frame.topLeft(), *size));
        return AXError::success;
    }
    if (name == QLatin1String("AXMinimized") || name == QLatin1String("AXFullScreen")) {
        const bool *on = std::get_if<bool>(&value);
        if (!on)
            return AXError::illegalArgument;
        if (name == QLatin1String("AXFullScreen"))
            setFullScreen(windowId, *on);
        else if (!window->behaviour.ignoresMinimizedAttribute)
            requestMinimized(windowId, *on);
        return AXError::success;
    }
    window->ax->set(name, value);
    return AXError::success;
}

int SimWindowServer::pressButton(quint32 windowId, const QString &button)
{
    Window *window = find(windowId);
    if (!window)
        return AXError::invalidElement;
    if (button == QLatin1String("AXCloseButton")) {
        const auto ax = window->ax;
        removeWindow(windowId);
        ax->setElementError(AXError::invalidElement);
    } else if (button == QLatin1String("AXMinimizeButton")) {
        requestMinimized(windowId, true);
    } else {
        setFullScreen(windowId, !window->fullScreen);
    }
    return AXError::success;
}

void SimWindowServer::requestMinimized(quint32 windowId, bool minimized)
{
    const Window *window = find(windowId);
    if (!window)
        return;
    if (!minimized || window->behaviour.minimizeDelay <= 0 || !m_scheduler) {
        setMinimized(windowId, minimized);
        return;
    }
    std::weak_ptr<int> alive = m_alive;
    m_scheduler->after(window->behaviour.minimizeDelay, [this, alive, windowId] {
        if (!alive.expired())
            setMinimized(windowId, true);
    });
}

void SimWindowServer::setFullScreen(quint32 windowId, bool fullScreen)
{
    Window *window = find(windowId);
    if (!window || window->fullScreen == fullScreen)
        return;
    if (!fullScreen) {
        window->fullScreen = false;
        setFrame(windowId, window->frameBeforeFullScreen);
    } else {
        // The screen the window is on, else the main one; the frame is kept in top-left terms.
        QRectF target = window->info.frame;
        if (m_screens) {
            const double h = m_screens->flipHeight();
            const QRectF flipped = flipRect(window->info.frame, h);
            std::optional<ScreenInfo> screen = m_screens->mainScreen();
            for (const auto &candidate : m_screens->screens()) {
                if (candidate.frame.intersects(flipped)) {
                    screen = candidate;
                    break;
                }
            }
            if (screen)
                target = flipRect(screen->frame, h);
        }
        window->fullScreen = true;
        window->frameBeforeFullScreen = window->info.frame;
        setFrame(windowId, target);
    }
    if (window->ax)
        window->ax->set(QStringLiteral("AXFullScreen"), fullScreen);
}

void SimWindowServer::raise(quint32 windowId)
{
    for (qsizetype i = 0; i < m_windows.size(); ++i) {
        if (m_windows[i].info.windowId == windowId) {
            m_windows.move(i, 0);
            return;
        }
    }
}

std::optional<WindowInfo> SimWindowServer::window(quint32 windowId) const
{
    for (const WindowInfo &info : windows()) {
        if (info.windowId == windowId)
            return info;
    }
    return std::nullopt;
}

bool SimWindowServer::isFullScreen(quint32 windowId) const
{
    const Window *window = find(windowId);
    return window && window->fullScreen;
}

QList<quint32> SimWindowServer::stackingOrder() const
{
    QList<quint32> order;
    for (const auto &window : m_windows)
        order.append(window.info.windowId);
    return order;
}

std::shared_ptr<SimAXElement> SimWindowServer::axWindow(quint32 windowId) const
{
    const Window *window = find(windowId);
    return window ? window->ax : nullptr;
}

QList<WindowInfo> SimWindowServer::windows() const
{
    QSet<qint64> hidden;
    for (const auto &app : m_workspace.runningApplications()) {
        if (app.isHidden)
            hidden.insert(app.pid);
    }
    QList<WindowInfo> out;
    out.reserve(m_windows.size());
    for (const auto &window : m_windows) {
        out.append(window.info);
        // A hidden application's windows are off screen until it is shown again.
        if (hidden.contains(window.info.ownerPID))
            out.last().isOnScreen = false;
    }
    return out;
}

SimWindowServer::Window *SimWindowServer::find(quint32 windowId)
{
    for (auto &window : m_windows) {
        if (window.info.windowId == windowId)
            return &window;
    }
    return nullptr;
}

const SimWindowServer::Window *SimWindowServer::find(quint32 windowId) const
{
    for (const auto &window : m_windows) {
        if (window.info.windowId == windowId)
            return &window;
    }
    return nullptr;
}

} // namespace qv
