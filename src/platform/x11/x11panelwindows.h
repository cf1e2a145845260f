#pragma once

#include <QHash>

#include <optional>
#include <vector>

#include "platform/panelwindows.h"

namespace qv {

class X11Connection;

// Panels on X11. The EWMH desktop and state hints are written on the backend's own connection
// before every map (Qt merges the state atoms it finds when it maps, but a window manager erases
// them when the window is withdrawn, so hints written once are gone by the second showing). Each
// map and each later change of the state is checked as well: a state the window manager dropped
// (for instance because it erased the hints after they were written) is asked for again through
// the window manager, at most twice per map so a manager that refuses cannot make us loop.
// A window manager erases the state of a withdrawn window a moment before it drops the window from
// its client list: for that moment a task list that reads the state (libwnck's does, for a utility
// window that is not transient for a listed one) would add a task button and take it away again,
// shifting every other button. So for the withdrawal the window is typed a dock, which every task
// list and pager leaves out whatever the state, and its own types come back before the next map.
// Whether a compositing manager runs is read from the owner of "_NET_WM_CM_S<screen>", read again
// whenever XFixes reports a new owner, so a compositor started or stopped later is followed;
// without a connection nothing composites.
class X11PanelWindows final : public PanelWindowService
{
    Q_OBJECT
public:
    explicit X11PanelWindows(X11Connection &connection, QObject *parent = nullptr);

    void preparePanel(QWindow &window, PanelKind kind) override;
    void withdrawPanel(QWindow &window) override;
    bool isCompositing() const override { return m_compositing; }
    void setBlurBehind(QWindow &window, const QRegion &region) override;
    // An input-only window of the panel's size, stacked right below the panel's frame while the
    // panel is mapped.
    void setClickCatcher(QWindow &window, bool active) override;
    // The window's bounding and input shapes are emptied, and removed again on the way back.
    void setAside(QWindow &window, bool aside) override;

private:
    struct Watched
    {
        bool mapped = false;
        int requests = 0;
        // The window's own types while it is typed a dock for its withdrawal.
        std::optional<std::vector<quint32>> types;
    };
    struct Catcher
    {
        QWindow *window = nullptr;
        quint32 id = 0;
        bool active = false;
    };

    void writeHints(quint32 window);
    void placeCatcher(quint32 window);
    // The window's ancestor that is a child of the root (the window manager's frame, or itself).
    quint32 topLevelOf(quint32 window) const;
    void checkMapped(quint32 window);
    bool readCompositing() const;
    quint32 atom(const char *name) const;

    X11Connection &m_connection;
    quint32 m_compositorSelection = 0;
    bool m_compositing = false;
    QHash<quint32, Watched> m_panels;
    // By panel window.
    QHash<quint32, Catcher> m_catchers;
};

} // namespace qv
