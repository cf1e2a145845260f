#include "views/peek/peekviewstate.h"

namespace qv {

void PeekViewState::setDragging(bool dragging)
{
    if (dragging == m_isDragging)
        return;
    m_isDragging = dragging;
    emit changed();
}

void PeekViewState::setDragTargetZone(std::optional<SnapPosition> zone)
{
    if (zone == m_zone)
        return;
    m_zone = zone;
    emit changed();
}

void PeekViewState::setPeekingWindow(const std::optional<AppWindowModel> &window)
{
    // Everything the card draws counts, not only the window's identity and snapshot time.
    auto sameDrawing = [](const AppWindowModel &a, const AppWindowModel &b) {
        return a == b && a.rect == b.rect && a.isMinimized == b.isMinimized &&
               a.image.cacheKey() == b.image.cacheKey() && a.appIcon.cacheKey() == b.appIcon.cacheKey();
    };
    if (window.has_value() == m_window.has_value() && (!window || sameDrawing(*window, *m_window)))
        return;
    m_window = window;
    emit changed();
}

void PeekViewState::setScreens(const QList<ScreenInfo> &screens, const std::optional<ScreenInfo> &mainScreen,
                               const QPointF &mouse, double flipHeight)
{
    if (screens == m_screens && mainScreen == m_mainScreen && mouse == m_mouse && flipHeight == m_flipHeight)
        return;
    m_screens = screens;
    m_mainScreen = mainScreen;
    m_mouse = mouse;
    m_flipHeight = flipHeight;
    emit changed();
}

void PeekViewState::setTranslucent(bool translucent)
{
    if (translucent == m_translucent)
        return;
    m_translucent = translucent;
    emit changed();
}

} // namespace qv
