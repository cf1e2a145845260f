#include "windows/windowplacement.h"

#include <algorithm>

#include "platform/geometry.h"
#include "windows/axwindowmatch.h"

namespace qv {

bool rectContainsPoint(const QRectF &rect, const QPointF &point)
{
    return point.x() >= rect.left() && point.x() < rect.right() && point.y() >= rect.top() &&
           point.y() < rect.bottom();
}

std::optional<ScreenInfo> pickScreen(const ScreenService &screens, std::optional<QPointF> point,
                                     std::optional<QRectF> windowRect)
{
    const QList<ScreenInfo> all = screens.screens();
    if (point) {
        for (const auto &screen : all) {
            if (rectContainsPoint(screen.frame, *point))
                return screen;
        }
    }
    if (windowRect) {
        const QRectF flipped = flipRect(*windowRect, screens.flipHeight());
        for (const auto &screen : all) {
            if (screen.frame.intersects(flipped))
                return screen;
        }
    }
    if (const auto main = screens.mainScreen())
        return main;
    if (!all.isEmpty())
        return all.first();
    return std::nullopt;
}

QRectF snapTargetFrame(const QRectF &vf, SnapPosition position)
{
    switch (position) {
    case SnapPosition::left:
        return QRectF(vf.left(), vf.top(), vf.width() * 0.5, vf.height());
    case SnapPosition::right:
        return QRectF(vf.left() + vf.width() * 0.5, vf.top(), vf.width() * 0.5, vf.height());
    case SnapPosition::maximize:
        return vf;
    case SnapPosition::center: {
        const double width = std::min(vf.width() * 0.8, 1200.0);
        const double height = std::min(vf.height() * 0.8, 800.0);
        return QRectF(vf.center().x() - width / 2, vf.center().y() - height / 2, width, height);
    }
    }
    return vf;
}

std::optional<SnapPosition> dragZone(const QRectF &f, const QPointF &point)
{
    // QRectF's top() is the lowest y here: screen frames grow upwards.
    if (point.y() > f.top() + 0.85 * f.height())
        return SnapPosition::maximize;
    if (point.x() < f.left() + 0.15 * f.width())
        return SnapPosition::left;
    if (point.x() > f.right() - 0.15 * f.width())
        return SnapPosition::right;
    return std::nullopt;
}

bool isAXWindowOnScreen(AXElement &window, const ScreenService &screens)
{
    const std::optional<QRectF> frame = axFrame(window);
    if (!frame)
        return false;
    const QRectF flipped = flipRect(*frame, screens.flipHeight());
    const QList<ScreenInfo> all = screens.screens();
    return std::any_of(all.begin(), all.end(),
                       [&](const ScreenInfo &screen) { return screen.visibleFrame.intersects(flipped); });
}

bool moveWindowToMouseScreen(AXElement &window, const QRectF &fallbackRect, const ScreenService &screens)
{
    const std::optional<ScreenInfo> target = pickScreen(screens, screens.mouseLocation(), fallbackRect);
    if (!target)
        return false;
    const QRectF vf = target->visibleFrame;
    const QSizeF current = axFrame(window).value_or(fallbackRect).size();
    const double width = std::min(std::max(current.width(), 520.0), 0.95 * vf.width());
    const double height = std::min(std::max(current.height(), 360.0), 0.95 * vf.height());
    const QRectF placed(vf.center().x() - width / 2, vf.center().y() - height / 2, width, height);
    const QPointF position = flipRect(placed, screens.flipHeight()).topLeft();
    const bool sized =
        window.setAttribute(QStringLiteral("AXSize"), QSizeF(width, height)) == AXError::success;
    const bool moved = window.setAttribute(QStringLiteral("AXPosition"), position) == AXError::success;
    return sized || moved;
}

} // namespace qv
