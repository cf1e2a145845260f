#pragma once

#include <QList>
#include <QRectF>
#include <QString>

#include <functional>
#include <optional>

namespace qv {

// One window as the window server lists it.
struct WindowInfo
{
    // The window server's number for the window; stable while the window exists.
    quint32 windowId = 0;
    // Frame in top-left coordinates (y down), in points.
    QRectF frame;
    // Absent when the window has no title at all (distinct from an empty one).
    std::optional<QString> title;
    // 0 for ordinary document windows; panels, menus and desktop furniture sit on other layers.
    int layer = 0;
    // False for minimised windows, hidden ones and windows on another workspace.
    bool isOnScreen = true;
    // Owning process; 0 when the window has no known owner (then name and identifier are empty).
    qint64 ownerPID = 0;
    QString ownerName;
    QString ownerBundleIdentifier;
};

// The list of every window of every application, on every workspace, minimised ones included.
class WindowListService
{
public:
    virtual ~WindowListService() = default;

    using Completion = std::function<void(std::optional<QList<WindowInfo>>)>;
    // Asks for the window list, front to back. `done` is called exactly once, on any thread and
    // possibly before this call returns; std::nullopt means the list could not be obtained (an empty
    // list is a valid answer). Call from the main thread.
    virtual void requestWindows(Completion done) = 0;
};

} // namespace qv
