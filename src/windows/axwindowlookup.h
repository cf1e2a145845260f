#pragma once

#include <QList>
#include <QRectF>
#include <QSet>
#include <QString>

#include <optional>

#include "platform/accessibility.h"

namespace qv {

// Accessibility facts about other applications' windows, for the window scans. Every unreadable
// attribute counts as an absent value; nothing here reports an error. The functions only talk to
// accessibility elements, so they may run on any thread (the scans run them on "Quorvantis.AXScan").

// Accessibility attribute carrying a window element's window-server number.
inline const QString axWindowIdAttribute = QStringLiteral("CGWindowID");

// Accessibility facts of one window of an application.
struct AXSnapshot
{
    // Trimmed; empty when unreadable.
    QString title;
    // Absent when "AXMinimized" is unreadable or not a Boolean.
    std::optional<bool> minimized;
};

// The application's "AXWindows"; empty when unreadable or not a list of elements.
QList<AXElementPtr> axWindows(AXElement &application);
// The window-server number an element reports, when it reports one.
std::optional<qint64> axWindowNumber(AXElement &window);
// "AXMinimized" as a Boolean.
std::optional<bool> axMinimized(AXElement &window);

// The first window of the application whose window-server number equals `windowId`; null when none.
AXElementPtr axWindowForWindowID(AXElement &application, qint64 windowId);
// Whether accessibility vouches for a listed window: its number is known, its title matches one of
// the application's windows (or the application has just one), or, failing that, it is at least
// 420x260.
bool axConfirmsWindow(AXElement &application, qint64 windowId, const QString &title, const QRectF &frame);
// The minimised state accessibility reports for the window: by its number, else by windows whose
// title matches, else from all of the application's windows when they agree.
std::optional<bool> axMinimizedState(AccessibilityService &accessibility, qint64 pid, qint64 windowId,
                                     const QString &title, bool isOnScreen);

// One application whose windows the minimised probe looks at.
struct AXProbeTarget
{
    qint64 pid = 0;
    QString bundleIdentifier;
};
// Window-server numbers of every window that accessibility reports minimised, among the targets
// whose identifier equals `targetBundle` (all targets when it is empty).
QSet<quint32> probeMinimizedWindows(AccessibilityService &accessibility, const QList<AXProbeTarget> &targets,
                                    const QString &targetBundle);

} // namespace qv
