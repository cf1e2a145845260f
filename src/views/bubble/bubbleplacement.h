#pragma once

#include <QList>
#include <QPointF>
#include <QRectF>
#include <QVariant>

#include <optional>

#include "dock/dockicon.h"
#include "platform/screens.h"
#include "views/bubble/bubbleedge.h"

namespace qv {

class DockPreferences;

// Where the preview bubble goes and how big it is. Pure functions over screen coordinates
// (bottom-left origin, y up); a panel frame here is in those coordinates too.
namespace BubblePlacement {

inline constexpr double cardWidth = 175;
inline constexpr double cardSpacing = 12;
inline constexpr double horizontalChrome = 40 + 28;
inline constexpr int maxCardsWide = 4;
inline constexpr double panelHeight = 233;
inline constexpr double initialWidth = 300;
inline constexpr double initialHeight = 320;
// Moves smaller than this are not made, so the bubble does not jitter with the tile.
inline constexpr double deadBand = 2.5;

// The bubble's size for `count` windows (at least one).
QSizeF overlaySize(int count);

// The panel frame after resizing to `size` from `current`: a bottom Dock keeps the centre, side
// Docks keep the vertical centre and the edge nearest the Dock, a top Dock the centre and the top.
QRectF resizedFrame(const QRectF &current, const QSizeF &size, DockPosition side);

// The Dock's tile size settings: the tile size (at least 16, default 48) and, with magnification
// on, the magnified size.
struct DockTileSize
{
    bool magnification = false;
    double tileSize = 48;
    double largeSize = 48;
    double iconSize() const { return magnification ? largeSize : tileSize; }
};
DockTileSize dockTileSize(const DockPreferences &preferences);

// The side the Dock takes on a screen, from how far the visible frame is inset (5 pt tolerance).
// The top is taken only on the Dock's own word (`reported`, its "orientation"): a menu bar insets
// the top as well, so without that word a screen whose only inset is at the top has its Dock at the
// bottom.
DockPosition dockSide(const ScreenInfo &screen, std::optional<DockPosition> reported = std::nullopt);
// The side the Dock's preferences report ("orientation"); none when they say nothing known.
std::optional<DockPosition> reportedSide(const DockPreferences &preferences);

// How far the icon is from the Dock's screen edge; 10000 is added beyond 260 pt. The largest finite
// value without any screen.
double iconFrameScore(const QRectF &icon, const QList<ScreenInfo> &screens,
                      const std::optional<ScreenInfo> &mainScreen,
                      std::optional<DockPosition> reported = std::nullopt);

// The icon rectangle in screen coordinates: the given one or its flipped form (by `flipHeight`),
// whichever lies on a screen closer to the Dock edge; the zero rectangle for an empty one.
QRectF normalizedIconFrame(const QRectF &icon, const QList<ScreenInfo> &screens,
                           const std::optional<ScreenInfo> &mainScreen, double flipHeight,
                           std::optional<DockPosition> reported = std::nullopt);

// The screen for an icon: the one whose frame grown by 1 pt holds its centre, else one it meets,
// else the one under the mouse, else the main screen.
std::optional<ScreenInfo> screenForIcon(const QRectF &icon, const QList<ScreenInfo> &screens,
                                        const std::optional<ScreenInfo> &mainScreen, const QPointF &mouse);

// Where the bubble may go: the screen less 8 pt, and not over a side or top Dock.
QRectF allowedRect(DockPosition side, const ScreenInfo &screen);
// The origin moved into `allowed` for a panel of `size` (the right or top edge wins when too big).
QPointF clampOrigin(const QPointF &origin, const QSizeF &size, const QRectF &allowed);

struct Placement
{
    QPointF origin;
    DockPosition side = DockPosition::bottom;
    BubbleEdge edge = BubbleEdge::bottom;
    // Where the arrow points along its edge, 0.1 ... 0.9, for the panel at `origin`.
    double arrowFraction = 0.5;
};

// The bubble of `panelSize` beside the (normalised) icon on `screen`: above a bottom Dock, beside a
// side Dock, below a top one.
Placement place(const QRectF &icon, const QSizeF &panelSize, const ScreenInfo &screen,
                const DockTileSize &tiles, std::optional<DockPosition> reported = std::nullopt);

// The arrow fraction for a panel frame and an icon: from the panel's left end along a bottom or top
// edge, from its top end along a side edge (the way the outline draws it), so the tip meets the
// icon's centre on the screen.
double arrowFraction(const QRectF &icon, const QRectF &panel, DockPosition side);

// True when the panel should move from `current` to `proposed`.
bool shouldMove(const QPointF &current, const QPointF &proposed, bool force);

// The hover delay: the stored "hoverDelay" within the settings slider's 0 ... 1 s (its default,
// 0.2 s, when none is stored), 0.06 s longer while the Dock hides itself.
double hoverDelay(const std::optional<double> &stored, bool dockAutohide);

// True while the pointer is on the panel (grown by 5 pt), on the icon (grown by 8 pt across and
// 10 pt along), or in the gap between them.
bool isPointerInside(const QPointF &pointer, const QRectF &panel, const QRectF &icon);

} // namespace BubblePlacement
} // namespace qv
