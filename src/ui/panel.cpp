#include "ui/panel.h"

#include <QRegion>
#include <QWindow>

namespace qv {

Panel::Panel(PanelKind kind, PanelWindowService &service, Scheduler &scheduler, bool takesFocus,
             QWidget *parent)
    : QWidget(parent), m_kind(kind), m_service(service), m_fade(scheduler)
{
    Qt::WindowFlags flags =
        Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::NoDropShadowWindowHint;
    if (!takesFocus)
        flags |= Qt::WindowDoesNotAcceptFocus;
    if (kind == PanelKind::passive)
        flags |= Qt::WindowTransparentForInput;
    setWindowFlags(flags);
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(kind == PanelKind::passive ? Qt::WA_X11NetWmWindowTypeNotification
                                            : Qt::WA_X11NetWmWindowTypeUtility);
    if (kind == PanelKind::key)
        setMouseTracking(true);
    m_translucent = service.isCompositing();
    connect(&service, &PanelWindowService::compositingChanged, this, [this](bool compositing) {
        if (compositing == m_translucent)
            return;
        m_translucent = compositing;
        applyShape();
        applyAlpha();
        update();
        emit translucencyChanged(compositing);
    });
    connect(&service, &PanelWindowService::clickedOutside, this, [this](QWindow *window) {
        if (window && window == windowHandle())
            emit clickedOutside();
    });
}

void Panel::setOutline(const QPainterPath &outline)
{
    if (outline == m_outline)
        return;
    m_outline = outline;
    applyShape();
}

void Panel::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    applyShape();
}

void Panel::moveEvent(QMoveEvent *event)
{
    QWidget::moveEvent(event);
    applyCatcher();
}

void Panel::setCatchesClicksOutside(bool catches)
{
    if (catches == m_catchesClicks)
        return;
    m_catchesClicks = catches;
    applyCatcher();
}

void Panel::applyCatcher()
{
    if (!m_prepared)
        return;
    // Aside, the clicks beside the outline belong to the windows below like every other one.
    const bool wanted = m_catchesClicks && !m_translucent && !m_aside && isVisible() && !m_outline.isEmpty();
    m_service.setClickCatcher(*windowHandle(), wanted);
}

void Panel::applyShape()
{
    // Aside, the window keeps no shape; it takes its outline when it comes back.
    if (m_aside)
        return;
    const QPainterPath path = m_outline.isEmpty() ? [this] {
        QPainterPath whole;
        whole.addRect(QRectF(rect()));
        return whole;
    }()
                                                  : m_outline;
    const QRegion region(path.toFillPolygon().toPolygon(), Qt::WindingFill);
    if (m_translucent) {
        clearMask();
        if (m_prepared)
            m_service.setBlurBehind(*windowHandle(), region);
    } else {
        // No compositor: what lies outside the outline would show black, so it is not part of the
        // window at all.
        setMask(region);
        if (m_prepared)
            m_service.setBlurBehind(*windowHandle(), QRegion());
    }
    applyCatcher();
}

void Panel::setAlpha(double alpha)
{
    m_fade.cancel();
    m_alpha = alpha;
    applyAlpha();
}

void Panel::fadeTo(double alpha, double duration, std::function<void()> done)
{
    m_fade.start(
        m_alpha, alpha, duration, Animation::linear(duration),
        [this](double value) {
            m_alpha = value;
            applyAlpha();
        },
        std::move(done));
}

void Panel::applyAlpha()
{
    setWindowOpacity(m_alpha);
}

void Panel::orderFront()
{
    if (!m_prepared) {
        winId(); // the native window must exist for the desktop hints
        m_service.preparePanel(*windowHandle(), m_kind);
        m_prepared = true;
        applyShape();
    } else if (!isVisible()) {
        // The desktop may have dropped the hints while the panel was hidden.
        m_service.preparePanel(*windowHandle(), m_kind);
    }
    show();
    raise();
    applyCatcher();
}

void Panel::orderOut()
{
    if (m_prepared && isVisible())
        m_service.withdrawPanel(*windowHandle());
    hide();
    setAside(false);
    applyCatcher();
}

void Panel::setAside(bool aside)
{
    if (aside == m_aside || !m_prepared)
        return;
    m_aside = aside;
    m_service.setAside(*windowHandle(), aside);
    if (aside) {
        applyCatcher();
        return;
    }
    // The service left no shape, whatever Qt thinks the mask is: the outline is applied anew.
    clearMask();
    applyShape();
}

void Panel::releaseWindow()
{
    if (isVisible() || !m_prepared)
        return;
    destroy();
    m_prepared = false;
}

} // namespace qv
