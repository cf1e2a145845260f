#include "ui/menulook.h"

#include <QMenu>

#include "ui/symbols.h"
#include "ui/theme.h"

namespace qv {

namespace {

constexpr int iconSize = 16;

} // namespace

void applyMenuLook(QMenu &menu)
{
    // Square corners: without a compositor anything outside rounded ones would show black.
    menu.setStyleSheet(QStringLiteral(
        "QMenu { background-color: rgb(42, 42, 49); color: rgba(255, 255, 255, 235);"
        " border: 1px solid rgba(255, 255, 255, 90); padding: 4px 0px; }"
        "QMenu::item { padding: 5px 22px 5px 8px; background: transparent; }"
        "QMenu::item:selected { background-color: rgba(0, 230, 255, 70); }"
        "QMenu::item:disabled { color: rgba(255, 255, 255, 95); }"
        "QMenu::separator { height: 1px; background: rgba(255, 255, 255, 60); margin: 4px 8px; }"
        "QMenu::icon { padding-left: 8px; }"));
}

QIcon menuIcon(const QString &symbolName)
{
    QIcon icon;
    for (double dpr : {1.0, 2.0}) {
        icon.addPixmap(Symbols::pixmap(symbolName, iconSize, Theme::white(0.9), dpr), QIcon::Normal);
        icon.addPixmap(Symbols::pixmap(symbolName, iconSize, Theme::white(0.9), dpr), QIcon::Active);
        icon.addPixmap(Symbols::pixmap(symbolName, iconSize, Theme::white(0.35), dpr), QIcon::Disabled);
    }
    return icon;
}

} // namespace qv
