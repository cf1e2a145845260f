#pragma once

#include "platform/dockpreferences.h"
#include "platform/x11/x11docktilesource.h"

namespace qv {

// The panels have no settings of the Dock's kind to read: "orientation" is the side the tile
// source's panel sits on ("bottom", "left", "right", or "top", which the Dock itself never
// reports), every other key is absent (an invalid QVariant), which readers take as a Dock that
// never hides. Safe from any thread.
class X11DockPreferences final : public DockPreferences
{
public:
    explicit X11DockPreferences(const X11DockTileSource *tiles = nullptr) : m_tiles(tiles) {}

    QVariant value(const QString &key) const override
    {
        if (m_tiles && key == QLatin1String("orientation")) {
            if (const std::optional<QString> side = m_tiles->side())
                return *side;
        }
        return {};
    }

private:
    const X11DockTileSource *m_tiles;
};

} // namespace qv
