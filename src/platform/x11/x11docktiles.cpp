#include "platform/x11/x11docktiles.h"

namespace qv::X11DockTiles {

namespace {

constexpr int coordinateLimit = 32767;

void collectButtons(const X11AccessibleNode &node, QList<const X11AccessibleNode *> &out, int depth)
{
    // Panels nest a few levels deep; a tree deeper than this is no panel worth following.
    if (depth > 32)
        return;
    for (const X11AccessibleNode &child : node.children) {
        if (!child.showing)
            continue;
        if (child.role != X11AccessibleNode::Role::other)
            out.append(&child);
        else
            collectButtons(child, out, depth + 1);
    }
}

std::optional<QString> appForTask(const QString &label, const QList<X11TaskWindow> &windows)
{
    for (const X11TaskWindow &window : windows) {
        if (window.title && *window.title == label && !window.appName.isEmpty())
            return window.appName;
    }
    for (const X11TaskWindow &window : windows) {
        const bool classMatches =
            (!window.wmClass.isEmpty() && window.wmClass.compare(label, Qt::CaseInsensitive) == 0) ||
            (!window.wmInstance.isEmpty() && window.wmInstance.compare(label, Qt::CaseInsensitive) == 0);
        if (classMatches && !window.appName.isEmpty())
            return window.appName;
    }
    return std::nullopt;
}

} // namespace

bool isUsableFrame(const QRect &frame)
{
    // In 64 bits: an INT_MIN origin must not wrap.
    const qint64 width = qint64(frame.right()) - frame.left() + 1;
    const qint64 height = qint64(frame.bottom()) - frame.top() + 1;
    return frameFrom(frame.left(), frame.top(), width, height).has_value();
}

std::optional<QRect> frameFrom(qint64 x, qint64 y, qint64 width, qint64 height)
{
    if (width <= 0 || height <= 0 || x < -coordinateLimit || y < -coordinateLimit ||
        x + width > coordinateLimit || y + height > coordinateLimit)
        return std::nullopt;
    return QRect(int(x), int(y), int(width), int(height));
}

QList<X11DockTile> build(const QList<X11PanelWalk> &walks, const QList<X11TaskWindow> &windows)
{
    QList<X11DockTile> tiles;
    for (const X11PanelWalk &walk : walks) {
        QList<const X11AccessibleNode *> buttons;
        collectButtons(walk.root, buttons, 0);
        for (const X11AccessibleNode *button : std::as_const(buttons)) {
            const QString label = button->name.trimmed();
            if (label.isEmpty() || label.size() > maxNameLength || !isUsableFrame(button->extents))
                continue;
            if (button->role == X11AccessibleNode::Role::pushButton) {
                tiles.append({label, button->extents});
            } else if (const std::optional<QString> app = appForTask(label, windows)) {
                tiles.append({*app, button->extents});
            }
        }
    }

    const qsizetype fromWalks = tiles.size();
    for (const X11TaskWindow &window : windows) {
        if (!window.iconGeometry || !isUsableFrame(*window.iconGeometry) || window.appName.isEmpty() ||
            window.appName.size() > maxNameLength)
            continue;
        const QRect rect = *window.iconGeometry;
        bool covered = false;
        for (qsizetype i = 0; i < fromWalks && !covered; ++i)
            covered = tiles[i].frame.intersects(rect);
        if (covered)
            continue;
        bool merged = false;
        for (qsizetype i = fromWalks; i < tiles.size() && !merged; ++i) {
            if (tiles[i].appName == window.appName && tiles[i].frame.intersects(rect)) {
                tiles[i].frame = tiles[i].frame.united(rect);
                merged = true;
            }
        }
        if (!merged)
            tiles.append({window.appName, rect});
    }
    return tiles;
}

QList<QRect> panelFrames(const QList<X11PanelWalk> &walks)
{
    QList<QRect> frames;
    for (const X11PanelWalk &walk : walks) {
        for (const X11AccessibleNode &window : walk.root.children) {
            if (window.showing && isUsableFrame(window.extents))
                frames.append(window.extents);
        }
    }
    return frames;
}

std::optional<QString> panelSide(const QRect &panel, const QRect &screen)
{
    if (!isUsableFrame(panel) || !screen.intersects(panel))
        return std::nullopt;
    if (panel.width() >= panel.height()) {
        const int above = panel.top() - screen.top();
        const int below = screen.bottom() - panel.bottom();
        return below <= above ? QStringLiteral("bottom") : QStringLiteral("top");
    }
    const int before = panel.left() - screen.left();
    const int after = screen.right() - panel.right();
    return after < before ? QStringLiteral("right") : QStringLiteral("left");
}

} // namespace qv::X11DockTiles
