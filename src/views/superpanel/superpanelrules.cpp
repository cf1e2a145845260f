#include "views/superpanel/superpanelrules.h"

#include <QSet>

#include <algorithm>
#include <cmath>

namespace qv::SuperPanelRules {

QStringList appNames(const QList<AppWindowModel> &windows)
{
    QSet<QString> seen;
    QStringList names;
    for (const AppWindowModel &window : windows) {
        if (!window.appName.isEmpty() && !seen.contains(window.appName)) {
            seen.insert(window.appName);
            names.append(window.appName);
        }
    }
    // Plain UTF-16 comparison: code-point order for every name outside the surrogate planes, and
    // the same order whatever the user's locale.
    std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        return QString::compare(a, b, Qt::CaseSensitive) < 0;
    });
    return names;
}

bool matchesSearch(const AppWindowModel &window, const QString &searchText)
{
    return window.appName.contains(searchText, Qt::CaseInsensitive) ||
           window.title.contains(searchText, Qt::CaseInsensitive);
}

bool isListed(const AppWindowModel &window, const std::optional<QString> &appFilter,
              const QString &searchText)
{
    if (appFilter && window.appName != *appFilter)
        return false;
    return searchText.isEmpty() || matchesSearch(window, searchText);
}

QList<AppWindowModel> filteredWindows(const QList<AppWindowModel> &windows,
                                      const std::optional<QString> &appFilter, const QString &searchText)
{
    QList<AppWindowModel> kept;
    for (const AppWindowModel &window : windows) {
        if (isListed(window, appFilter, searchText))
            kept.append(window);
    }
    return kept;
}

std::optional<int> wrappedIndex(int selected, int delta, int count)
{
    if (count <= 0)
        return std::nullopt;
    const long long target = (static_cast<long long>(selected) + delta) % count;
    return int(target < 0 ? target + count : target);
}

int gridColumns(double width)
{
    const double columns =
        std::trunc((width - 2 * sidePadding + columnSpacing) / (minCardWidth + columnSpacing));
    return std::max(1, int(columns));
}

int clampedSelection(int selected, int count)
{
    return count >= 1 && selected >= count ? count - 1 : selected;
}

QRectF GridLayout::cardRect(int index) const
{
    const int row = index / columns;
    const int column = index % columns;
    return QRectF(left + column * (cardWidth + columnSpacing), topPadding + row * (cardHeight + rowSpacing),
                  cardWidth, cardHeight);
}

double GridLayout::height(int count) const
{
    const int rows = count <= 0 ? 0 : (count + columns - 1) / columns;
    return topPadding + bottomPadding + rows * cardHeight + std::max(0, rows - 1) * rowSpacing;
}

GridLayout gridLayout(double width)
{
    // As many columns of the minimum width as fit, widened up to the maximum, the grid centred.
    GridLayout layout;
    const double available = std::max(0.0, width - 2 * sidePadding);
    layout.columns = gridColumns(width);
    const double share = (available - (layout.columns - 1) * columnSpacing) / layout.columns;
    layout.cardWidth = std::clamp(share, 1.0, maxCardWidth);
    const double used = layout.columns * layout.cardWidth + (layout.columns - 1) * columnSpacing;
    layout.left = std::max(0.0, (width - used) / 2);
    return layout;
}

bool startsDrag(const QPointF &translation)
{
    return std::hypot(translation.x(), translation.y()) >= dragMinimumDistance;
}

bool releaseFocuses(const QPointF &translation)
{
    return std::hypot(translation.x(), translation.y()) < clickTravel;
}

} // namespace qv::SuperPanelRules
