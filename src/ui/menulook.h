#pragma once

#include <QColor>
#include <QIcon>
#include <QString>

#include "ui/theme.h"

class QAction;
class QMenu;

namespace qv {

// Every menu of ours looks the same on every desktop: a dark fill inside a visible light edge (so
// it stands out on a dark desktop too), visible separators, light text and light symbols; the
// desktop's own style could paint it black on black, or light. Main thread.
void applyMenuLook(QMenu &menu);

// From now on every menu the application shows gets that look, also the ones Qt makes itself (the
// edit menu of a text field), whose theme symbols are left out. Call once, with a QApplication.
void applyMenuLookEverywhere();

// Adds the menu's destructive entry (one per menu), drawn in red.
QAction *addDestructiveAction(QMenu &menu, const QString &symbolName, const QString &title);

// A symbol as our menus draw it: light (or `ink`), and dimmed while its entry is disabled.
QIcon menuIcon(const QString &symbolName, const QColor &ink = Theme::white(0.9));

} // namespace qv
