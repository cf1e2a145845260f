#include "platform/x11/x11dockelement.h"

#include <QHash>

#include "platform/x11/x11docktilesource.h"

namespace qv {

namespace {

AXResult value(AXValue v)
{
    return AXResult{AXError::success, std::move(v)};
}

AXResult error(int code)
{
    return AXResult{code, {}};
}

} // namespace

X11DockElement::X11DockElement(X11DockTileSource &source, Kind kind, QString appName, int ordinal)
    : m_source(source), m_kind(kind), m_appName(std::move(appName)), m_ordinal(ordinal)
{
}

qint64 X11DockElement::pid() const
{
    return X11DockTileSource::dockPid;
}

AXResult X11DockElement::copyAttribute(const QString &name)
{
    switch (m_kind) {
    case Kind::dock:
        if (name == QLatin1String("AXRole"))
            return value(QStringLiteral("AXApplication"));
        if (name == QLatin1String("AXTitle"))
            return value(QStringLiteral("Dock"));
        if (name == QLatin1String("AXChildren")) {
            auto list = std::make_shared<X11DockElement>(m_source, Kind::list);
            QHash<QString, int> ordinals;
            for (const X11DockTile &tile : m_source.refresh())
                list->m_children.append(std::make_shared<X11DockElement>(m_source, Kind::tile, tile.appName,
                                                                         ordinals[tile.appName]++));
            return value(QList<AXElementPtr>{list});
        }
        break;
    case Kind::list:
        if (name == QLatin1String("AXRole"))
            return value(QStringLiteral("AXList"));
        if (name == QLatin1String("AXChildren"))
            return value(m_children);
        break;
    case Kind::tile: {
        if (name == QLatin1String("AXRole"))
            return value(QStringLiteral("AXDockItem"));
        if (name == QLatin1String("AXTitle"))
            return value(m_appName);
        const bool position = name == QLatin1String("AXPosition");
        if (position || name == QLatin1String("AXSize")) {
            const std::optional<QRect> frame = m_source.frameOf(m_appName, m_ordinal);
            if (!frame)
                return error(AXError::invalidElement);
            if (position)
                return value(QPointF(frame->topLeft()));
            return value(QSizeF(frame->size()));
        }
        break;
    }
    }
    return error(AXError::attributeUnsupported);
}

} // namespace qv
