#include "views/bubble/windowactionmenu.h"

#include <QMenu>

#include "core/localization.h"
#include "ui/menulook.h"

namespace qv::WindowActionMenu {

QList<Entry> entries(const AppWindowModel &window, const CardActions &actions)
{
    auto run = [&actions, window](const CardActions::WindowAction CardActions::*member) {
        return [&actions, window, member] { CardActions::run(actions.*member, window); };
    };
    // Left and right are one label built from a suffix pair.
    auto snap = [&actions, window](SnapPosition position) {
        return [&actions, window, position] {
            if (actions.snapWindow)
                actions.snapWindow(window, position);
        };
    };
    return {
        {"ctx_focus", "scope", true, false, run(&CardActions::focusWindow)},
        {"ctx_minimize", "minus.square", !window.isMinimized, false, run(&CardActions::minimizeWindow)},
        {},
        {"ctx_snap_left", "sidebar.left", true, false, snap(SnapPosition::left)},
        {"ctx_snap_right", "sidebar.right", true, false, snap(SnapPosition::right)},
        {"ctx_maximize", "arrow.up.left.and.arrow.down.right", true, false,
         run(&CardActions::toggleFullScreen)},
        {},
        {"ctx_close", "xmark.circle", true, false, run(&CardActions::closeWindow)},
        {},
        {"ctx_hide_app", "eye.slash", true, true, run(&CardActions::hideFromPreview)},
    };
}

QMenu *build(const AppWindowModel &window, const CardActions &actions, AppLanguage language, QWidget *parent)
{
    auto *menu = new QMenu(parent);
    applyMenuLook(*menu);
    for (const Entry &entry : entries(window, actions)) {
        if (entry.isSeparator()) {
            menu->addSeparator();
            continue;
        }
        const QString symbol = QString::fromLatin1(entry.symbol);
        const QString title = Localization::text(QLatin1String(entry.key), language);
        QAction *action = entry.destructive ? addDestructiveAction(*menu, symbol, title)
                                            : menu->addAction(menuIcon(symbol), title);
        action->setObjectName(QString::fromLatin1(entry.key));
        action->setEnabled(entry.enabled);
        QObject::connect(action, &QAction::triggered, menu, entry.run);
    }
    return menu;
}

} // namespace qv::WindowActionMenu
