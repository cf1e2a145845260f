#pragma once

#include <QObject>
#include <QRegion>

class QWindow;

namespace qv {

// How the desktop treats a floating window of our own.
enum class PanelKind {
    // Takes pointer input; takes keyboard focus only when it is asked to (the Super Panel).
    key,
    // Never takes focus or input: every click passes through it.
    passive,
};

// Our own floating windows as the desktop sees them, and whether it can show them see-through.
// Main thread only.
class PanelWindowService : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // Makes `window` a panel: on every desktop, above normal windows and the desktop's panels, out
    // of taskbars and pagers, on this showing and every later one; a passive panel also lets every
    // click through. Call after the native window exists and before each time it is shown (a
    // desktop may forget the hints while the window is hidden). A desktop that cannot do part of
    // this leaves it.
    virtual void preparePanel(QWindow &window, PanelKind kind) = 0;
    // Call right before a shown panel is hidden: while the desktop forgets the hints of the withdrawn
    // window, no task list may take it for one of its tasks. The next preparePanel() undoes it.
    virtual void withdrawPanel(QWindow &window) = 0;
    // True while a compositing manager runs, so per-pixel transparency shows what lies behind.
    virtual bool isCompositing() const = 0;
    // Asks the compositor to blur what lies behind `region` of the window (window coordinates; an
    // empty region clears the request). Compositors that do not blur ignore it.
    virtual void setBlurBehind(QWindow &window, const QRegion &region) = 0;
    // While `active` and the window shows, clicks on its area that its shape lets through (a panel
    // cut to its outline without a compositor) do not reach the windows below: each is reported
    // with clickedOutside(). Ends when the window hides or with `active` false. A desktop without
    // input-only windows reports nothing.
    virtual void setClickCatcher(QWindow &window, bool active) = 0;
    // While `aside`, the window shows nothing and takes no pointer input, so the desktop shows and
    // hands the pointer (and a drag of ours) to what lies below; it stays mapped, so a drag it started
    // runs on. Back from aside, the window has no shape of its own: the caller applies its shape
    // again. A desktop that cannot do this leaves the window as it is.
    virtual void setAside(QWindow &window, bool aside) = 0;

signals:
    // A click that a window's shape let through, caught for that window (see setClickCatcher).
    void clickedOutside(QWindow *window);
    // A compositing manager started or stopped.
    void compositingChanged(bool compositing);
};

} // namespace qv
