#pragma once

#include <QList>
#include <QRect>
#include <QString>

#include <optional>

namespace qv {

// One accessible object of a panel as a walk of the accessibility bus read it.
struct X11AccessibleNode
{
    // Launchers are push buttons; task buttons are toggle buttons; everything else is structure.
    enum class Role { other, pushButton, toggleButton };
    Role role = Role::other;
    QString name;
    // Screen coordinates (top-left origin); a hidden object reports INT_MIN or empty extents.
    QRect extents;
    bool showing = false;
    QList<X11AccessibleNode> children;
};

// One panel application found on the accessibility bus and the tree it showed.
struct X11PanelWalk
{
    qint64 pid = 0;
    QString application;
    // The application object; its children are the panel windows.
    X11AccessibleNode root;
};

// What the tile mapping needs to know of a managed client window.
struct X11TaskWindow
{
    std::optional<QString> title;
    QString wmClass;
    QString wmInstance;
    // The name of the window's application as the workspace reports it.
    QString appName;
    // _NET_WM_ICON_GEOMETRY: the screen rectangle of the window's task button, set by taskbars.
    std::optional<QRect> iconGeometry;
};

// A Dock tile: the application it stands for and its frame in screen coordinates.
struct X11DockTile
{
    QString appName;
    QRect frame;
    bool operator==(const X11DockTile &) const = default;
};

// Turns what the panels show into Dock tiles. Pure functions over recorded input.
namespace X11DockTiles {

// Longest tile name kept; a longer one is no application name and its tile is left out.
inline constexpr int maxNameLength = 1024;

// Whether a frame can be a tile on screen: not empty, not hidden (INT_MIN) and within X's
// coordinate range.
bool isUsableFrame(const QRect &frame);
// The frame with this origin and size when it is usable; the raw numbers come from other programs
// and are checked before a QRect (whose arithmetic would overflow at INT_MIN) holds them.
std::optional<QRect> frameFrom(qint64 x, qint64 y, qint64 width, qint64 height);

// The tiles of the walks followed by those of the icon geometries:
// - a showing launcher (push button) is a tile named after its label, which is its desktop entry's
//   Name, the name the workspace gives that application;
// - a showing task button (toggle button) is a tile for the application of the window whose title,
//   else WM_CLASS class or instance, is its label (a grouped button carries the class); a button no
//   window matches is left out;
// - a window with icon geometry is a tile at that rectangle, unless a walk's tile already covers it;
//   the rectangles of one application that overlap (a grouped button) merge into one tile.
// Buttons inside a hidden container are hidden too and left out with it.
QList<X11DockTile> build(const QList<X11PanelWalk> &walks, const QList<X11TaskWindow> &windows);

// The panel frames of the walks: the showing panel windows (the application's children).
QList<QRect> panelFrames(const QList<X11PanelWalk> &walks);

// The screen edge a panel sits on: "bottom", "left", "right" or "top", by its long side and the
// nearer screen edge; none for an unusable frame or one outside the screen.
std::optional<QString> panelSide(const QRect &panel, const QRect &screen);

} // namespace X11DockTiles

} // namespace qv
