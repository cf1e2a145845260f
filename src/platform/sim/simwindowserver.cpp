#include "platform/sim/simwindowserver.h"

#include <QPainter>

#include "platform/sim/simaccessibility.h"
#include "platform/sim/simdesktop.h"

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

std::shared_ptr<SimAXElement> SimWindowServer::axWindow(quint32 windowId) const
{
    const Window *window = find(windowId);
    return window ? window->ax : nullptr;
}

QList<WindowInfo> SimWindowServer::windows() const
{
    QList<WindowInfo> out;
    out.reserve(m_windows.size());
    for (const auto &window : m_windows)
        out.append(window.info);
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
