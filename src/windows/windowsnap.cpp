// Peek, drag-to-snap and snapping of WindowEngine.

#include "windows/windowengine.h"

#include "platform/feedback.h"
#include "platform/geometry.h"
#include "platform/screens.h"
#include "runtime/scheduler.h"
#include "windows/axwindowmatch.h"
#include "windows/windowplacement.h"

namespace qv {

namespace {
// A drag that receives no pointer position for this long has lost its card.
constexpr double dragSafetyTimeout = 5.0;
// From the release of a card to the snap: the application comes forward meanwhile.
constexpr double dropSnapDelay = 0.1;
// From a menu snap to the placement: the focus sequence runs meanwhile.
constexpr double menuSnapDelay = 0.3;
// Applications that resize with an animation may drift; the placement is made once more.
constexpr double placementRepeatDelay = 0.2;
} // namespace

void WindowEngine::startPeeking(const AppWindowModel &window, bool shouldPeek)
{
    if (!enablePeeking() || !shouldPeek)
        return;
    // A fresh snapshot of the window already peeked does not restart the peek.
    if (m_peekingWindow && m_peekingWindow->id == window.id)
        return;
    setPeekingWindow(window);
}

void WindowEngine::stopPeeking()
{
    if (m_isDragging)
        return;
    setPeekingWindow(std::nullopt);
}

void WindowEngine::updateDrag(double x, double y)
{
    setIsDragging(true);
    // Every position restarts the timeout, also the ones the throttle drops.
    m_dragSafetyTask = dragSafetyTask();
    m_dragSafetyTask.start(m_scheduler);

    const double now = m_scheduler.now();
    if (now - m_lastDragUpdateTime < dragThrottleInterval)
        return;
    m_lastDragUpdateTime = now;

    const QPointF point(x, y);
    std::optional<ScreenInfo> screen;
    for (const ScreenInfo &candidate : m_platform.screens->screens()) {
        if (rectContainsPoint(candidate.frame, point)) {
            screen = candidate;
            break;
        }
    }
    if (!screen)
        screen = m_platform.screens->mainScreen();
    if (!screen)
        return;
    setDragTargetZone(dragZone(screen->frame, point));
}

Script WindowEngine::dragSafetyTask()
{
    const ScriptControl control = co_await thisScript();
    co_await sleepFor(dragSafetyTimeout);
    if (control.isCancelled() || !m_isDragging)
        co_return;
    // The peek goes too: with its card's drag lost it would hang over the screen, swallowing
    // clicks, until some later bubble.
    resetDrag();
}

void WindowEngine::endDrag(const AppWindowModel &window)
{
    const std::optional<SnapPosition> zone = m_dragTargetZone;
    cancelDrag();
    if (!zone)
        return;
    // The snapped window ends in front with the keyboard, as after a menu snap: a surface that
    // hides after the drop then hands the keyboard to it, not back to the window it came from.
    focusWindow(window);
    startAction(delayedSnap(window, *zone));
}

void WindowEngine::cancelDrag()
{
    m_dragSafetyTask = Script();
    resetDrag();
}

void WindowEngine::resetDrag()
{
    setIsDragging(false);
    setDragTargetZone(std::nullopt);
    setPeekingWindow(std::nullopt);
    m_lastDragUpdateTime = 0;
}

Script WindowEngine::delayedSnap(AppWindowModel window, SnapPosition position)
{
    co_await sleepFor(dropSnapDelay);
    applySnap(window, position);
}

void WindowEngine::applySnap(const AppWindowModel &window, SnapPosition position)
{
    const ScreenService &screens = *m_platform.screens;
    const std::optional<ScreenInfo> screen = pickScreen(screens, screens.mouseLocation(), window.rect);
    if (!screen)
        return;
    const QRectF target = snapTargetFrame(screen->visibleFrame, position);
    const QPointF axPosition = flipRect(target, screens.flipHeight()).topLeft();
    const AXElementPtr application = applicationElement(window.ownerPID);
    const AXElementPtr element = application ? findWindow(*application, window) : nullptr;
    if (!element)
        return;
    const bool placed = placeAXWindow(*element, axPosition, target.size());
    element->performAction(QStringLiteral("AXRaise"));
    // A window that refused its frame did not snap: no feedback pretends it did.
    if (placed)
        playSnapFeedback();
    startAction(repeatPlacement(element, axPosition, target.size()));
}

Script WindowEngine::repeatPlacement(AXElementPtr element, QPointF position, QSizeF size)
{
    co_await sleepFor(placementRepeatDelay);
    placeAXWindow(*element, position, size);
}

void WindowEngine::snapWindow(const AppWindowModel &window, SnapPosition position)
{
    focusWindow(window);
    const ScreenService &screens = *m_platform.screens;
    const std::optional<ScreenInfo> screen = pickScreen(screens, std::nullopt, window.rect);
    if (!screen)
        return;
    const QRectF target = snapTargetFrame(screen->visibleFrame, position);
    const QPointF axPosition = flipRect(target, screens.flipHeight()).topLeft();
    startAction(snapAfterFocus(applicationElement(window.ownerPID), window, axPosition, target.size()));
}

Script WindowEngine::snapAfterFocus(AXElementPtr application, AppWindowModel window, QPointF position,
                                    QSizeF size)
{
    co_await sleepFor(menuSnapDelay);
    const AXElementPtr element = application ? findWindow(*application, window) : nullptr;
    if (!element)
        co_return;
    // No raise here: the focus sequence raises.
    if (placeAXWindow(*element, position, size))
        playSnapFeedback();
    co_await sleepFor(placementRepeatDelay);
    placeAXWindow(*element, position, size);
}

void WindowEngine::playSnapFeedback()
{
    if (enableSnapHaptic())
        m_platform.feedback->performAlignmentHaptic();
    if (enableSnapSound())
        m_platform.feedback->playSnapSound();
}

} // namespace qv
