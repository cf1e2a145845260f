#pragma once

#include <xcb/xcb.h>

#include <atomic>
#include <optional>

#include "platform/accessibility.h"

namespace qv {

class X11Accessibility;
struct X11Client;

// One element of another application on X11, answering the attributes and actions the window
// engine uses, read from and written through the window manager:
// - application: "AXRole", "AXTitle", "AXWindows"/"AXChildren" (its clients, front to back),
//   "AXFocusedWindow" (the active window when it is one of them), "AXMainWindow" (that, else its
//   frontmost window), "AXFrontmost" (read; writing true activates its frontmost window); writing
//   "AXMainWindow"/"AXFocusedWindow" activates that window.
// - window: "AXRole", "AXTitle", "CGWindowID", "AXPosition"/"AXSize" of the outer frame (the
//   window manager's _NET_FRAME_EXTENTS included when read; written through
//   _NET_MOVERESIZE_WINDOW, else a configure request, as the frame's top-left and, with the
//   extents subtracted, the client's size), "AXMinimized" (_NET_WM_STATE_HIDDEN, or WM_STATE
//   Iconic on the current desktop; writing true iconifies through WM_CHANGE_STATE, false restores
//   by activation),
//   "AXFullScreen" (_NET_WM_STATE_FULLSCREEN), "AXMain"/"AXFocused" (it is the active window;
//   writing true activates it), "AXCloseButton"/"AXMinimizeButton"/"AXZoomButton"; action
//   "AXRaise" activates it (_NET_ACTIVE_WINDOW as a pager would ask, with the server's time, after
//   showing its desktop when it lies on another one).
// - the three buttons: "AXPress" closes (_NET_CLOSE_WINDOW, else WM_DELETE_WINDOW), minimises, or
//   toggles full screen.
// Every answer comes from the X server, never from the other client, so no call waits on an
// application that hangs; the messaging timeout is kept but has nothing to bound. A window that
// is gone answers invalidElement; so does an application whose process has ended. Writes are
// requests to the window manager: success means the request was sent. Safe from any thread.
class X11AXElement final : public AXElement
{
public:
    enum class Kind { application, window, closeButton, minimizeButton, zoomButton };

    X11AXElement(X11Accessibility &service, Kind kind, qint64 pid, xcb_window_t window);

    AXResult copyAttribute(const QString &name) override;
    int setAttribute(const QString &name, const AXValue &value) override;
    int performAction(const QString &name) override;
    void setMessagingTimeout(double seconds) override { m_timeout = seconds; }
    qint64 pid() const override { return m_pid; }

    Kind kind() const { return m_kind; }
    xcb_window_t window() const { return m_window; }

private:
    AXResult applicationAttribute(const QString &name);
    AXResult windowAttribute(const QString &name);
    int setApplicationAttribute(const QString &name, const AXValue &value);
    int setWindowAttribute(const QString &name, const AXValue &value);
    // This application's clients, front to back; none when the server cannot be read.
    std::optional<QList<X11Client>> clients();
    std::optional<X11Client> client();
    AXElementPtr button(Kind kind);
    int activate(xcb_window_t window);
    int minimize();
    int close();
    int setFullScreen(uint32_t action);
    int moveResize(const X11Client &client, std::optional<QPointF> position, std::optional<QSizeF> size);
    // Takes a maximised or full-screen window out of that state and waits (bounded) until the
    // window manager has; the client as it is then, none when it stayed or went.
    std::optional<X11Client> restoreFrame(const X11Client &client);

    X11Accessibility &m_service;
    Kind m_kind;
    qint64 m_pid;
    xcb_window_t m_window;
    std::atomic<double> m_timeout{0};
};

} // namespace qv
