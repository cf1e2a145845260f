#pragma once

#include "platform/accessibility.h"

namespace qv {

class X11DockTileSource;

// The Dock as an accessibility tree, answered from an X11DockTileSource:
// - dock: "AXRole" "AXApplication", "AXTitle" "Dock", "AXChildren" walks the panels afresh (up to
//   the source's refresh wait) and holds one list of the tiles found;
// - list: "AXRole" "AXList", "AXChildren" its tiles;
// - tile: "AXRole" "AXDockItem", "AXTitle" the application's name, "AXPosition"/"AXSize" its frame in
//   the source's last walk (screen coordinates, top-left origin), read without waiting; a tile
//   gone from the last walk answers invalidElement.
// Nothing can be written or performed. Safe from any thread.
class X11DockElement final : public AXElement
{
public:
    enum class Kind { dock, list, tile };

    X11DockElement(X11DockTileSource &source, Kind kind, QString appName = QString(), int ordinal = 0);

    AXResult copyAttribute(const QString &name) override;
    int setAttribute(const QString &, const AXValue &) override { return AXError::attributeUnsupported; }
    int performAction(const QString &) override { return AXError::actionUnsupported; }
    void setMessagingTimeout(double) override {}
    qint64 pid() const override;

private:
    X11DockTileSource &m_source;
    Kind m_kind;
    QString m_appName;
    // Which of the application's tiles this is, in the walk's order.
    int m_ordinal;
    QList<AXElementPtr> m_children;
};

} // namespace qv
