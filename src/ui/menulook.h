#pragma once

#include <QIcon>
#include <QString>

class QMenu;

namespace qv {

// Every menu of ours looks the same on every desktop: a dark fill inside a visible light edge (so
// it stands out on a dark desktop too), visible separators, light text and light symbols; the
// desktop's own style could paint it black on black. Main thread.
void applyMenuLook(QMenu &menu);

// A symbol as our menus draw it: light, and dimmed while its entry is disabled.
QIcon menuIcon(const QString &symbolName);

} // namespace qv
