#pragma once


#include "platform/panelwindows.h"

namespace qv {

class X11Connection;

// Panels on X11. The EWMH desktop and state hints are written on the backend's own connection
// before the window is mapped (Qt keeps state atoms it did not set itself when it maps). Whether a
// compositing manager runs is read from the owner of "_NET_WM_CM_S<screen>", read again whenever
// XFixes reports a new owner, so a compositor started or stopped later is followed; without a
// connection nothing composites.
class X11PanelWindows final : public PanelWindowService
{
    Q_OBJECT
public:
    explicit X11PanelWindows(X11Connection &connection, QObject *parent = nullptr);

    void preparePanel(QWindow &window, PanelKind kind) override;
    bool isCompositing() const override { return m_compositing; }
    void setBlurBehind(QWindow &window, const QRegion &region) override;

private:
    bool readCompositing() const;
    quint32 atom(const char *name) const;

    X11Connection &m_connection;
    quint32 m_compositorSelection = 0;
    bool m_compositing = false;
};

} // namespace qv
