#pragma once

#include <QList>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <optional>

#include "windows/appwindowmodel.h"

namespace qv {

// The Super Panel's rules that need no window: which windows the grid lists, how the keyboard
// selection wraps, how many columns the grid has and where each card goes, and when a card gesture
// is a drag. Pure functions.
namespace SuperPanelRules {

// Grid metrics: cards 220 to 260 wide with 20 between columns and 24 between rows, 60 of padding
// on the sides and at the bottom, 80 on top.
inline constexpr double minCardWidth = 220;
inline constexpr double maxCardWidth = 260;
inline constexpr double columnSpacing = 20;
inline constexpr double rowSpacing = 24;
inline constexpr double sidePadding = 60;
inline constexpr double topPadding = 80;
inline constexpr double bottomPadding = 60;
inline constexpr double thumbnailHeight = 150;
inline constexpr double infoBarHeight = 58;
inline constexpr double cardHeight = thumbnailHeight + infoBarHeight;
// A card gesture becomes a drag after this much movement; a drag that ends closer than
// `clickTravel` to where it started counts as a click on the eye.
inline constexpr double dragMinimumDistance = 10;
inline constexpr double clickTravel = 14;

// The application names of the list, unique, without empty ones, in code-point order.
QStringList appNames(const QList<AppWindowModel> &windows);
// Whether the application name, else the title, contains `searchText` (case-insensitive, as the
// user typed it: no trimming, no splitting).
bool matchesSearch(const AppWindowModel &window, const QString &searchText);
// Whether the window stays in the grid under the application filter (exact name) and the search.
bool isListed(const AppWindowModel &window, const std::optional<QString> &appFilter,
              const QString &searchText);
QList<AppWindowModel> filteredWindows(const QList<AppWindowModel> &windows,
                                      const std::optional<QString> &appFilter, const QString &searchText);
// `selected` moved by `delta` and wrapped into 0..count-1; none for an empty list.
std::optional<int> wrappedIndex(int selected, int delta, int count);
// The columns the Up and Down keys count with, for a grid area `width` wide (at least 1).
int gridColumns(double width);
// The selection after the list changed to `count` windows: pulled back to the last card when it
// lies beyond the end; left as it is for an empty list.
int clampedSelection(int selected, int count);

// Where the cards of a grid `width` wide go (card rectangles, top-left origin, in the order of
// the list), and how tall the whole grid is.
struct GridLayout
{
    int columns = 1;
    double cardWidth = minCardWidth;
    double left = sidePadding;
    QRectF cardRect(int index) const;
    double height(int count) const;
};
GridLayout gridLayout(double width);

// A press that moved `translation` has become a drag.
bool startsDrag(const QPointF &translation);
// A drag released after travelling `translation` counts as a click on the eye.
bool releaseFocuses(const QPointF &translation);

} // namespace SuperPanelRules
} // namespace qv
