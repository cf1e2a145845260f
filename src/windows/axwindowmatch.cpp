#include "windows/axwindowmatch.h"

#include <QList>

#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/windowbounds.h"
#include "windows/appwindowmodel.h"
#include "windows/axwindowlookup.h"
#include "windows/windowfilter.h"

namespace qv {

namespace {
const QString axTitleAttribute = QStringLiteral("AXTitle");
const QString axMinimizedAttribute = QStringLiteral("AXMinimized");

struct Candidate
{
    AXElementPtr ref;
    int score = 0;
};

double area(const QRectF &rect)
{
    return rect.width() * rect.height();
}

double centreDistance(const QRectF &a, const QRectF &b)
{
    return std::hypot(a.center().x() - b.center().x(), a.center().y() - b.center().y());
}

// The overlap part of a geometric score: the share of `rect` that `other` covers, scaled and capped;
// slivers of a point or less count as no overlap.
int overlapScore(const QRectF &other, const QRectF &rect, double scale, int cap)
{
    const QRectF overlap = other.intersected(rect);
    if (overlap.width() <= 1 || overlap.height() <= 1)
        return 0;
    return std::min(int(area(overlap) / std::max(area(rect), 1.0) * scale), cap);
}

// How near the centres are: `best` when they coincide, one point less per `step` of distance.
int proximityScore(const QRectF &other, const QRectF &rect, double step, int best)
{
    return std::max(best - int(centreDistance(other, rect) / step), 0);
}

int titleScore(AXElement &element, const QString &modelTitle)
{
    if (modelTitle.isEmpty())
        return 0;
    const AXResult result = element.copyAttribute(axTitleAttribute);
    const QString *raw = result.as<QString>();
    const QString title = raw ? trimmedText(*raw) : QString();
    if (title.compare(modelTitle, Qt::CaseInsensitive) == 0)
        return 320;
    return titlesMatch(title, modelTitle) ? 210 : 0;
}
} // namespace

std::optional<QRectF> axFrame(AXElement &window)
{
    const AXResult position = window.copyAttribute(QStringLiteral("AXPosition"));
    const AXResult size = window.copyAttribute(QStringLiteral("AXSize"));
    const QPointF *p = position.as<QPointF>();
    const QSizeF *s = size.as<QSizeF>();
    if (!p || !s)
        return std::nullopt;
    return QRectF(*p, *s);
}

int geometryScore(WindowBoundsService &bounds, qint64 windowNumber, const QRectF &rect)
{
    if (rect.isEmpty() || windowNumber < 0 || windowNumber > qint64(std::numeric_limits<quint32>::max()))
        return 0;
    const std::optional<QRectF> frame = bounds.windowBounds(quint32(windowNumber));
    if (!frame)
        return 0;
    return overlapScore(*frame, rect, 220, 160) + proximityScore(*frame, rect, 14, 120);
}

AXElementPtr findAXWindow(AXElement &application, const AppWindowModel &window, WindowBoundsService &bounds)
{
    const QList<AXElementPtr> elements = axWindows(application);
    if (elements.isEmpty())
        return nullptr;
    QList<Candidate> candidates;
    candidates.reserve(elements.size());
    for (const AXElementPtr &element : elements) {
        if (!element)
            continue;
        const std::optional<qint64> number = axWindowNumber(*element);
        if (number == window.id)
            return element;
        int score = titleScore(*element, window.title);
        if (axMinimized(*element) == window.isMinimized)
            score += 70;
        if (number)
            score += geometryScore(bounds, *number, window.rect);
        if (!window.rect.isEmpty()) {
            // Both frames are top-left based: accessibility reports the same coordinates as the
            // window list, so neither side is flipped.
            if (const std::optional<QRectF> frame = axFrame(*element)) {
                score += overlapScore(*frame, window.rect, 180, 140);
                score += proximityScore(*frame, window.rect, 20, 70);
            }
        }
        candidates.append(Candidate{element, score});
    }
    if (window.isMinimized) {
        AXElementPtr onlyMinimized;
        int minimizedCount = 0;
        for (const AXElementPtr &element : elements) {
            if (element && axMinimized(*element) == true) {
                onlyMinimized = element;
                ++minimizedCount;
            }
        }
        if (minimizedCount == 1)
            return onlyMinimized;
    }
    const Candidate *best = nullptr;
    for (const Candidate &candidate : candidates) {
        if (!best || candidate.score > best->score)
            best = &candidate;
    }
    if (best && best->score >= axMatchThreshold)
        return best->ref;
    return elements.size() == 1 ? elements.first() : nullptr;
}

AXElementPtr preferredAXWindow(AXElement &application)
{
    for (const char *attribute : {"AXFocusedWindow", "AXMainWindow"}) {
        const AXResult result = application.copyAttribute(QLatin1String(attribute));
        if (const AXElementPtr *element = result.as<AXElementPtr>(); element && *element)
            return *element;
    }
    const QList<AXElementPtr> elements = axWindows(application);
    return elements.isEmpty() ? nullptr : elements.first();
}

bool pressAXButton(AXElement &window, const QString &buttonAttribute)
{
    const AXResult result = window.copyAttribute(buttonAttribute);
    const AXElementPtr *button = result.as<AXElementPtr>();
    if (!button || !*button)
        return false;
    return (*button)->performAction(QStringLiteral("AXPress")) == AXError::success;
}

void unminimizeIfNeeded(AXElement &window)
{
    if (axMinimized(window) == true)
        window.setAttribute(axMinimizedAttribute, false);
}

void raiseAXWindow(AXElement &application, const AXElementPtr &window)
{
    if (!window)
        return;
    application.setAttribute(QStringLiteral("AXFrontmost"), true);
    application.setAttribute(QStringLiteral("AXMainWindow"), window);
    application.setAttribute(QStringLiteral("AXFocusedWindow"), window);
    window->setAttribute(QStringLiteral("AXMain"), true);
    window->setAttribute(QStringLiteral("AXFocused"), true);
    window->performAction(QStringLiteral("AXRaise"));
}

bool placeAXWindow(AXElement &window, const QPointF &position, const QSizeF &size)
{
    const bool moved = window.setAttribute(QStringLiteral("AXPosition"), position) == AXError::success;
    const bool sized = window.setAttribute(QStringLiteral("AXSize"), size) == AXError::success;
    const bool movedAgain = window.setAttribute(QStringLiteral("AXPosition"), position) == AXError::success;
    return (moved || movedAgain) && sized;
}

} // namespace qv
