#pragma once

#include <QHash>

#include "platform/panelwindows.h"

namespace qv {

class X11Connection;

// Panels on X11. The EWMH desktop and state hints are written on the backend's own connection
// before every map (Qt merges the state atoms it finds when it maps, but a window manager erases
// them when the window is withdrawn, so hints written once are gone by the second showing). Each
// map and each later change of the state is checked as well: a state the window manager dropped
// (for instance because it erased the hints after they were written) is asked for again through
// the window manager, at most twice per map so a manager that refuses cannot make us loop.
// Whether a compositing manager runs is read from the owner of "_NET_WM_CM_S<screen>", read again
// whenever XFixes reports a new owner, so a compositor started or stopped later is followed;
// without a connection nothing composites.
class X11PanelWindows final : public PanelWindowService
{
    Q_OBJECT
public:
    explicit X11PanelWindows(X11Connection &connection, QObject *parent = nullptr);

    void preparePanel(QWindow &window, PanelKind kind) override;
    bool isCompositing() const override { return m_compositing; }
    void setBlurBehind(QWindow &window, const QRegion &region) override;

private:
    struct Watched
    {
        bool mapped = false;
        int requests = 0;
    };

    void writeHints(quint32 window);
    void checkMapped(quint32 window);
    bool readCompositing() const;
    quint32 atom(const char *name) const;

    X11Connection &m_connection;
    quint32 m_compositorSelection = 0;
    bool m_compositing = false;
    QHash<quint32, Watched> m_panels;
};

} // namespace qv
