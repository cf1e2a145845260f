#include "windows/axwindowlookup.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "windows/windowfilter.h"

namespace qv {

namespace {
const QString axWindowsAttribute = QStringLiteral("AXWindows");
const QString axTitleAttribute = QStringLiteral("AXTitle");
const QString axMinimizedAttribute = QStringLiteral("AXMinimized");

bool hasConfirmingSize(const QRectF &frame)
{
    return frame.width() >= 420 && frame.height() >= 260;
}

// Reduces present values: all true, all false, or mixed.
enum class Agreement { none, allTrue, allFalse, mixed };
Agreement agreementOf(const QList<bool> &values)
{
    if (values.isEmpty())
        return Agreement::none;
    const bool allTrue = std::all_of(values.begin(), values.end(), [](bool v) { return v; });
    const bool allFalse = std::none_of(values.begin(), values.end(), [](bool v) { return v; });
    if (allTrue)
        return Agreement::allTrue;
    if (allFalse)
        return Agreement::allFalse;
    return Agreement::mixed;
}
} // namespace

QList<AXElementPtr> axWindows(AXElement &application)
{
    const AXResult result = application.copyAttribute(axWindowsAttribute);
    if (const auto *list = result.as<QList<AXElementPtr>>())
        return *list;
    return {};
}

std::optional<qint64> axWindowNumber(AXElement &window)
{
    const AXResult result = window.copyAttribute(axWindowIdAttribute);
    const double *number = result.as<double>();
    if (!number || !std::isfinite(*number) || std::abs(*number) > 9.0e15)
        return std::nullopt;
    return qint64(*number);
}

std::optional<bool> axMinimized(AXElement &window)
{
    const AXResult result = window.copyAttribute(axMinimizedAttribute);
    if (const bool *value = result.as<bool>())
        return *value;
    return std::nullopt;
}

AXElementPtr axWindowForWindowID(AXElement &application, qint64 windowId)
{
    for (const AXElementPtr &window : axWindows(application)) {
        if (!window)
            continue;
        if (axWindowNumber(*window) == windowId)
            return window;
    }
    return nullptr;
}

bool axConfirmsWindow(AXElement &application, qint64 windowId, const QString &title, const QRectF &frame)
{
    if (axWindowForWindowID(application, windowId))
        return true;
    const QString t = trimmedText(title);
    if (t.isEmpty())
        return hasConfirmingSize(frame);
    const QList<AXElementPtr> windows = axWindows(application);
    if (windows.isEmpty())
        return hasConfirmingSize(frame);
    for (const AXElementPtr &window : windows) {
        if (!window)
            continue;
        const AXResult result = window->copyAttribute(axTitleAttribute);
        const QString *axTitle = result.as<QString>();
        if (titlesMatch(axTitle ? *axTitle : QString(), t))
            return true;
    }
    return windows.size() == 1;
}

std::optional<bool> axMinimizedState(AccessibilityService &accessibility, qint64 pid, qint64 windowId,
                                     const QString &title, bool isOnScreen)
{
    const AXElementPtr application = accessibility.applicationElement(pid);
    if (!application)
        return std::nullopt;
    if (const AXElementPtr window = axWindowForWindowID(*application, windowId))
        return axMinimized(*window);
    const QList<AXElementPtr> windows = axWindows(*application);
    if (windows.isEmpty())
        return std::nullopt;
    QList<AXSnapshot> snapshots;
    for (const AXElementPtr &window : windows) {
        AXSnapshot snapshot;
        if (window) {
            const AXResult result = window->copyAttribute(axTitleAttribute);
            if (const QString *axTitle = result.as<QString>())
                snapshot.title = trimmedText(*axTitle);
            snapshot.minimized = axMinimized(*window);
        }
        snapshots.append(snapshot);
    }
    const QString t = trimmedText(title);
    if (!t.isEmpty()) {
        QList<bool> matching;
        for (const auto &snapshot : snapshots) {
            if (snapshot.minimized && titlesMatch(snapshot.title, t))
                matching.append(*snapshot.minimized);
        }
        switch (agreementOf(matching)) {
        case Agreement::allTrue:
            return true;
        case Agreement::allFalse:
            return false;
        case Agreement::none:
        case Agreement::mixed:
            break;
        }
    }
    QList<bool> all;
    for (const auto &snapshot : snapshots) {
        if (snapshot.minimized)
            all.append(*snapshot.minimized);
    }
    switch (agreementOf(all)) {
    case Agreement::none:
        return std::nullopt;
    case Agreement::allTrue:
        return true;
    case Agreement::allFalse:
        return isOnScreen ? std::optional<bool>(false) : std::nullopt;
    case Agreement::mixed:
        return isOnScreen ? std::nullopt : std::optional<bool>(true);
    }
    return std::nullopt;
}

QSet<quint32> probeMinimizedWindows(AccessibilityService &accessibility, const QList<AXProbeTarget> &targets,
                                    const QString &targetBundle)
{
    QSet<quint32> minimized;
    for (const AXProbeTarget &target : targets) {
        if (!targetBundle.isEmpty() && target.bundleIdentifier != targetBundle)
            continue;
        const AXElementPtr application = accessibility.applicationElement(target.pid);
        if (!application)
            continue;
        for (const AXElementPtr &window : axWindows(*application)) {
            if (!window || axMinimized(*window) != true)
                continue;
            const AXResult result = window->copyAttribute(axWindowIdAttribute);
            const double *number = result.as<double>();
            if (number && *number >= 0 && *number <= double(std::numeric_limits<quint32>::max()))
                minimized.insert(quint32(*number));
        }
    }
    return minimized;
}

} // namespace qv
