#pragma once

#include <QList>
#include <QMetaType>
#include <QString>

#include <optional>

namespace qv {

// The screen edge of the edge popup; stored under "popupEdge" as its raw string.
enum class PopupEdge { top, bottom, leading, trailing };

QString rawValue(PopupEdge edge);
// Exactly "top", "bottom", "leading" or "trailing"; nothing otherwise.
std::optional<PopupEdge> popupEdgeFromRaw(const QString &raw);
// Every edge, in the order above.
QList<PopupEdge> allPopupEdges();

} // namespace qv

Q_DECLARE_METATYPE(qv::PopupEdge)
