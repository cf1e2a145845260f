#pragma once

#include <QList>
#include <QRectF>
#include <QString>

#include <optional>

#include "clipboard/clipboarditem.h"
#include "windows/overlayroute.h"
#include "windows/popupedge.h"

namespace qv {

// The edge popup's layout rules and its clipboard kind filter, as plain functions.
namespace EdgePopupRules {

// The kind filter of the clipboard route; its raw value is also the chip's caption.
enum class ClipFilter { all, text, image };

QString rawValue(ClipFilter filter);
// Exactly "All", "Text" or "Images" (case-sensitive); nothing otherwise.
std::optional<ClipFilter> clipFilterFromRaw(const QString &raw);
// In chip order: all, text, image.
QList<ClipFilter> allClipFilters();
QString chipSymbol(ClipFilter filter);
bool keeps(ClipFilter filter, const ClipboardItem &item);

// Top and bottom edges show a horizontal strip; the side edges a vertical list.
bool isHorizontal(PopupEdge edge);
// The stored edge; an invalid or missing value is the bottom edge.
PopupEdge edgeFromStored(const QString &raw);
// Only the clipboard route shows the clipboard; every other route shows the shelf.
bool showsClipboard(OverlayRoute route);

// The width the strip's cards need: n × 240 + 48 + (n − 1) × 16, and 1 for no card.
double stripContentWidth(int count);
// The width of the strip's document: at least one point wider than what is visible.
double stripDocumentWidth(double contentWidth, double visibleWidth);
// A wheel step over the strip: the new horizontal offset for a step of `delta` (pixels when
// `precise`, else lines of 10 points), kept between 0 and the document's hidden width.
double wheelOffset(double offset, double delta, bool precise, double documentWidth, double visibleWidth);
// Mostly vertical wheel input scrolls the strip sideways; the rest is the scroll area's own.
bool turnsWheelSideways(double dx, double dy);

// The panel's frame inside `area` (the part of the overlay the desktop's own panels leave free) for
// a panel of `height` (`height` is unused on the side edges, whose panel spans the area's height).
// The frame includes no outer padding.
QRectF panelFrame(PopupEdge edge, const QRectF &area, double height);

inline constexpr double sideWidth = 290;
inline constexpr double cardWidth = 240;
inline constexpr double cardSpacing = 16;
inline constexpr double stripHeight = 200;

} // namespace EdgePopupRules
} // namespace qv
