#pragma once

#include <QPainterPath>
#include <QWidget>

#include <functional>

#include "platform/panelwindows.h"
#include "ui/animation.h"

namespace qv {

class Scheduler;

// A floating window of our own: frameless, above normal windows and the desktop's panels, on every
// desktop, out of taskbars. It never takes focus from the frontmost application unless made to
// (a key panel whose `takesFocus` is set). Its alpha fades on the scheduler.
//
// Transparency follows the desktop: with a compositing manager the panel is see-through and asks
// for a blur behind its outline; without one it is cut to its outline, and its content paints
// opaque (isTranslucent() false). Changes of the compositor are followed while the panel lives.
class Panel : public QWidget
{
    Q_OBJECT
public:
    Panel(PanelKind kind, PanelWindowService &service, Scheduler &scheduler, bool takesFocus = false,
          QWidget *parent = nullptr);

    PanelKind kind() const { return m_kind; }
    bool isTranslucent() const { return m_translucent; }

    // The shape the panel shows, in its own coordinates; an empty path means the whole rectangle.
    void setOutline(const QPainterPath &outline);
    QPainterPath outline() const { return m_outline; }
    // Without a compositor, clicks beside the outline still belong to the panel: they are reported
    // with clickedOutside() instead of reaching the windows below (a backdrop that closes on a
    // click). With a compositor the whole panel takes its clicks anyway.
    void setCatchesClicksOutside(bool catches);

    double alpha() const { return m_alpha; }
    // Sets the alpha at once (stopping a fade).
    void setAlpha(double alpha);
    // Fades to `alpha` over `duration` seconds, then calls `done`.
    void fadeTo(double alpha, double duration, std::function<void()> done = {});
    // Shows the panel above other windows without activating it; hides it.
    void orderFront();
    void orderOut();
    // While aside the panel stays shown but draws nothing and lets the pointer (and a drag of ours)
    // through to the windows below. It comes back with its shape on setAside(false), or when it
    // hides.
    void setAside(bool aside);
    bool isAside() const { return m_aside; }
    // Gives a hidden panel's native window back, with the pixels kept for it (a full-screen panel's
    // are several megabytes); the next orderFront makes a new one. Does nothing while it shows.
    void releaseWindow();

signals:
    void translucencyChanged(bool translucent);
    void clickedOutside();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void moveEvent(QMoveEvent *event) override;

private:
    void applyShape();
    void applyCatcher();
    void applyAlpha();

    PanelKind m_kind;
    PanelWindowService &m_service;
    Animation m_fade;
    QPainterPath m_outline;
    double m_alpha = 1.0;
    bool m_translucent = true;
    bool m_prepared = false;
    bool m_catchesClicks = false;
    bool m_aside = false;
};

// A panel that takes pointer input (the preview bubble, the Super Panel).
class KeyPanel : public Panel
{
    Q_OBJECT
public:
    KeyPanel(PanelWindowService &service, Scheduler &scheduler, bool takesFocus = false,
             QWidget *parent = nullptr)
        : Panel(PanelKind::key, service, scheduler, takesFocus, parent)
    {
    }
};

// A panel every click passes through (the peek overlay).
class PassivePanel : public Panel
{
    Q_OBJECT
public:
    PassivePanel(PanelWindowService &service, Scheduler &scheduler, QWidget *parent = nullptr)
        : Panel(PanelKind::passive, service, scheduler, false, parent)
    {
    }
};

} // namespace qv
