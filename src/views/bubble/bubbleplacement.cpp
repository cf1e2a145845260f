#include "views/bubble/bubbleplacement.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/settingskeys.h"
#include "platform/dockpreferences.h"
#include "platform/geometry.h"

namespace qv::BubblePlacement {

namespace {

constexpr double sideTolerance = 5;
constexpr double screenMargin = 8;
constexpr double iconClearance = 3;
constexpr double farFromEdge = 260;
constexpr double farPenalty = 10000;

double gapFor(double extent)
{
    return std::min(std::max(0.1 * extent, 3.0), 8.0);
}

std::optional<double> number(const QVariant &value)
{
    if (!value.isValid())
        return std::nullopt;
    bool ok = false;
    const double n = value.toDouble(&ok);
    return ok && std::isfinite(n) ? std::optional<double>(n) : std::nullopt;
}

} // namespace

QSizeF overlaySize(int count)
{
    const int n = std::clamp(count, 1, maxCardsWide);
    return QSizeF((n - 1) * cardSpacing + n * cardWidth + horizontalChrome, panelHeight);
}

QRectF resizedFrame(const QRectF &current, const QSizeF &size, DockPosition side)
{
    const double half = size.height() / 2;
    switch (side) {
    case DockPosition::bottom:
        return QRectF(current.center().x() - size.width() / 2, current.y(), size.width(), size.height());
    case DockPosition::left:
        return QRectF(current.x(), current.center().y() - half, size.width(), size.height());
    case DockPosition::right:
        return QRectF(current.right() - size.width(), current.center().y() - half, size.width(),
                      size.height());
    case DockPosition::top:
        // Bottom-left coordinates: QRectF's bottom() is the panel's top edge.
        return QRectF(current.center().x() - size.width() / 2, current.bottom() - size.height(), size.width(),
                      size.height());
    }
    return current;
}

DockTileSize dockTileSize(const DockPreferences &preferences)
{
    DockTileSize result;
    result.tileSize = std::max(16.0, number(preferences.value(QStringLiteral("tilesize"))).value_or(48));
    result.largeSize = number(preferences.value(QStringLiteral("largesize"))).value_or(result.tileSize);
    result.largeSize = std::max(result.tileSize, result.largeSize);
    const QVariant magnification = preferences.value(QStringLiteral("magnification"));
    result.magnification = magnification.typeId() == QMetaType::Bool && magnification.toBool();
    return result;
}

DockPosition dockSide(const ScreenInfo &screen, std::optional<DockPosition> reported)
{
    if (screen.frame.left() + sideTolerance < screen.visibleFrame.left())
        return DockPosition::left;
    if (screen.visibleFrame.right() < screen.frame.right() - sideTolerance)
        return DockPosition::right;
    if (reported == DockPosition::top && screen.visibleFrame.top() <= screen.frame.top() + sideTolerance)
        return DockPosition::top;
    return DockPosition::bottom;
}

std::optional<DockPosition> reportedSide(const DockPreferences &preferences)
{
    const QVariant orientation = preferences.value(QStringLiteral("orientation"));
    if (orientation.typeId() != QMetaType::QString)
        return std::nullopt;
    return dockPositionFromRaw(orientation.toString());
}

double iconFrameScore(const QRectF &icon, const QList<ScreenInfo> &screens,
                      const std::optional<ScreenInfo> &mainScreen, std::optional<DockPosition> reported)
{
    std::optional<ScreenInfo> screen;
    for (const ScreenInfo &candidate : screens) {
        if (candidate.frame.intersects(icon)) {
            screen = candidate;
            break;
        }
    }
    if (!screen)
        screen = mainScreen;
    if (!screen)
        return std::numeric_limits<double>::max();
    double d = 0;
    switch (dockSide(*screen, reported)) {
    case DockPosition::left:
        d = std::abs(icon.left() - screen->frame.left());
        break;
    case DockPosition::right:
        d = std::abs(screen->frame.right() - icon.right());
        break;
    case DockPosition::bottom:
        // Bottom-left coordinates: QRectF's top() is the lowest y.
        d = std::abs(icon.top() - screen->frame.top());
        break;
    case DockPosition::top:
        d = std::abs(screen->frame.bottom() - icon.bottom());
        break;
    }
    return d > farFromEdge ? d + farPenalty : d;
}

QRectF normalizedIconFrame(const QRectF &icon, const QList<ScreenInfo> &screens,
                           const std::optional<ScreenInfo> &mainScreen, double flipHeight,
                           std::optional<DockPosition> reported)
{
    if (icon.isEmpty())
        return QRectF();
    QList<QRectF> candidates{icon};
    const QRectF flipped = flipRect(icon, flipHeight);
    if (std::abs(flipped.x() - icon.x()) > 0.5 || std::abs(flipped.y() - icon.y()) > 0.5)
        candidates.append(flipped);
    QList<QRectF> onScreen;
    for (const QRectF &candidate : std::as_const(candidates)) {
        if (std::any_of(screens.begin(), screens.end(),
                        [&](const ScreenInfo &s) { return s.frame.intersects(candidate); }))
            onScreen.append(candidate);
    }
    if (onScreen.isEmpty())
        onScreen = candidates;
    QRectF best = onScreen.first();
    double bestScore = iconFrameScore(best, screens, mainScreen, reported);
    for (qsizetype i = 1; i < onScreen.size(); ++i) {
        const double score = iconFrameScore(onScreen.at(i), screens, mainScreen, reported);
        if (score < bestScore) {
            best = onScreen.at(i);
            bestScore = score;
        }
    }
    return best;
}

std::optional<ScreenInfo> screenForIcon(const QRectF &icon, const QList<ScreenInfo> &screens,
                                        const std::optional<ScreenInfo> &mainScreen, const QPointF &mouse)
{
    const QPointF centre = icon.center();
    for (const ScreenInfo &s : screens) {
        if (s.frame.adjusted(-1, -1, 1, 1).contains(centre))
            return s;
    }
    for (const ScreenInfo &s : screens) {
        if (s.frame.intersects(icon))
            return s;
    }
    for (const ScreenInfo &s : screens) {
        if (s.frame.contains(mouse))
            return s;
    }
    return mainScreen;
}

QRectF allowedRect(DockPosition side, const ScreenInfo &screen)
{
    double left = screen.frame.left() + screenMargin;
    double right = screen.frame.right() - screenMargin;
    const double bottom = screen.frame.top() + screenMargin;
    double top = screen.frame.bottom() - screenMargin;
    if (side == DockPosition::top && screen.visibleFrame.bottom() < screen.frame.bottom() - sideTolerance)
        top = std::min(top, screen.visibleFrame.bottom() - screenMargin);
    if (side == DockPosition::left && screen.visibleFrame.left() > screen.frame.left() + sideTolerance)
        left = std::max(left, screen.visibleFrame.left() + screenMargin);
    if (side == DockPosition::right && screen.visibleFrame.right() < screen.frame.right() - sideTolerance)
        right = std::min(right, screen.visibleFrame.right() - screenMargin);
    return QRectF(left, bottom, std::max(1.0, right - left), std::max(1.0, top - bottom));
}

QPointF clampOrigin(const QPointF &origin, const QSizeF &size, const QRectF &allowed)
{
    double x = std::max(origin.x(), allowed.left());
    if (x + size.width() > allowed.right())
        x = allowed.right() - size.width();
    double y = std::max(origin.y(), allowed.top());
    if (y + size.height() > allowed.bottom())
        y = allowed.bottom() - size.height();
    return QPointF(x, y);
}

double arrowFraction(const QRectF &icon, const QRectF &panel, DockPosition side)
{
    double fraction = 0.5;
    if (side == DockPosition::bottom || side == DockPosition::top) {
        fraction = panel.width() > 0 ? (icon.center().x() - panel.x()) / panel.width() : 0.5;
    } else if (panel.height() > 0) {
        // Screen coordinates grow upwards while the outline counts from the panel's top end: a tile
        // near the top of a side Dock has its arrow near the top of the bubble.
        fraction = (panel.bottom() - icon.center().y()) / panel.height();
    }
    return std::clamp(fraction, 0.1, 0.9);
}

Placement place(const QRectF &icon, const QSizeF &panelSize, const ScreenInfo &screen,
                const DockTileSize &tiles, std::optional<DockPosition> reported)
{
    Placement result;
    result.side = dockSide(screen, reported);
    const double w = panelSize.width();
    const double h = panelSize.height();
    const double t = tiles.tileSize;
    const double s = tiles.iconSize();
    auto offsetFor = [&](double thickness) { return std::max(s + 4, std::max(t + 6, thickness)); };
    const QRectF &frame = screen.frame;
    const QRectF &visible = screen.visibleFrame;
    QPointF origin;
    switch (result.side) {
    case DockPosition::bottom: {
        const double offset = offsetFor(visible.top() - frame.top());
        origin = QPointF(icon.center().x() - w / 2,
                         std::max(frame.top() + offset, icon.bottom()) + gapFor(icon.height()));
        result.edge = BubbleEdge::bottom;
        break;
    }
    case DockPosition::left: {
        const double offset = offsetFor(visible.left() - frame.left());
        origin = QPointF(std::max(frame.left() + offset, icon.right()) + gapFor(icon.width()),
                         icon.center().y() - h / 2);
        result.edge = BubbleEdge::left;
        break;
    }
    case DockPosition::right: {
        const double offset = offsetFor(frame.right() - visible.right());
        origin = QPointF(std::min(frame.right() - offset, icon.left()) - w - gapFor(icon.width()),
                         icon.center().y() - h / 2);
        result.edge = BubbleEdge::right;
        break;
    }
    case DockPosition::top: {
        const double offset = offsetFor(frame.bottom() - visible.bottom());
        origin = QPointF(icon.center().x() - w / 2,
                         std::min(frame.bottom() - offset, icon.top()) - h - gapFor(icon.height()));
        result.edge = BubbleEdge::top;
        break;
    }
    }
    origin = clampOrigin(origin, panelSize, allowedRect(result.side, screen));
    switch (result.side) {
    case DockPosition::bottom:
        origin.setY(std::max(origin.y(), icon.bottom() + iconClearance));
        break;
    case DockPosition::left:
        origin.setX(std::max(origin.x(), icon.right() + iconClearance));
        break;
    case DockPosition::right:
        origin.setX(std::min(origin.x(), icon.left() - w - iconClearance));
        break;
    case DockPosition::top:
        origin.setY(std::min(origin.y(), icon.top() - h - iconClearance));
        break;
    }
    result.origin = origin;
    result.arrowFraction = arrowFraction(icon, QRectF(origin, panelSize), result.side);
    return result;
}

bool shouldMove(const QPointF &current, const QPointF &proposed, bool force)
{
    return force || std::abs(current.x() - proposed.x()) > deadBand ||
           std::abs(current.y() - proposed.y()) > deadBand;
}

double hoverDelay(const std::optional<double> &stored, bool dockAutohide)
{
    const double base = stored ? Settings::hoverDelay.clamp(*stored) : Settings::hoverDelay.defaultValue;
    return dockAutohide ? base + 0.06 : base;
}

bool isPointerInside(const QPointF &pointer, const QRectF &panel, const QRectF &icon)
{
    const QRectF area = panel.adjusted(-5, -5, 5, 5);
    if (area.contains(pointer))
        return true;
    if (icon.isEmpty())
        return false;
    if (icon.adjusted(-8, -10, 8, 10).contains(pointer))
        return true;
    return area.united(icon.adjusted(-10, -10, 10, 10)).contains(pointer);
}

} // namespace qv::BubblePlacement
