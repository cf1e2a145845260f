#pragma once

#include <QMetaType>
#include <QString>

#include <optional>

namespace qv {

// Which module the full-screen overlay shows. The raw strings also travel on the hotkey route stream.
enum class OverlayRoute { all, clipboard, shelf };

QString rawValue(OverlayRoute route);
// Exactly "all", "clipboard" or "shelf" (case-sensitive); nothing otherwise.
std::optional<OverlayRoute> overlayRouteFromRaw(const QString &raw);

} // namespace qv

Q_DECLARE_METATYPE(qv::OverlayRoute)
