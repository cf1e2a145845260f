#include "ui/menulook.h"

#include <QApplication>
#include <QMenu>

#include "core/color.h"
#include "ui/symbols.h"
#include "ui/theme.h"

namespace qv {

namespace {

constexpr int iconSize = 16;
constexpr const char *lookProperty = "qvMenuLook";

// Gives the menus Qt makes itself the look of ours as they are first polished, before their size
// is measured.
class MenuLookFilter : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // Every event of the program passes here, some posted from pool threads to objects that are
        // not widgets: those are let through before the event itself is read.
        if (!watched->isWidgetType() || event->type() != QEvent::Polish)
            return false;
        auto *menu = qobject_cast<QMenu *>(watched);
        if (!menu || menu->property(lookProperty).toBool())
            return false;
        applyMenuLook(*menu);
        for (QAction *action : menu->actions())
            action->setIconVisibleInMenu(false);
        return false;
    }
};

} // namespace

void applyMenuLook(QMenu &menu)
{
    menu.setProperty(lookProperty, true);
    // Square corners: without a compositor anything outside rounded ones would show black. The
    // destructive entry is the menu's default one (no menu of ours has another use for it).
    const QColor red = Color::neonRed();
    menu.setStyleSheet(
        QStringLiteral(
            "QMenu { background-color: rgb(42, 42, 49); color: rgba(255, 255, 255, 235);"
            " border: 1px solid rgba(255, 255, 255, 90); padding: 4px 0px; }"
            "QMenu::item { padding: 5px 22px 5px 8px; background: transparent; }"
            "QMenu::item:selected { background-color: rgba(0, 230, 255, 70); }"
            "QMenu::item:disabled { color: rgba(255, 255, 255, 95); }"
            "QMenu::item:default { color: rgb(%1, %2, %3); font-weight: normal; }"
            "QMenu::item:default:selected { background-color: rgba(%1, %2, %3, 70); }"
            "QMenu::separator { height: 1px; background: rgba(255, 255, 255, 60); margin: 4px 8px; }"
            "QMenu::icon { padding-left: 8px; }")
            .arg(red.red())
            .arg(red.green())
            .arg(red.blue()));
}

void applyMenuLookEverywhere()
{
    static MenuLookFilter *filter = nullptr;
    if (filter || !qApp)
        return;
    filter = new MenuLookFilter(qApp);
    qApp->installEventFilter(filter);
}

QAction *addDestructiveAction(QMenu &menu, const QString &symbolName, const QString &title)
{
    QAction *action = menu.addAction(menuIcon(symbolName, Color::neonRed()), title);
    menu.setDefaultAction(action);
    return action;
}

QIcon menuIcon(const QString &symbolName, const QColor &ink)
{
    QColor dimmed = ink;
    dimmed.setAlphaF(0.35f);
    QIcon icon;
    for (double dpr : {1.0, 2.0}) {
        icon.addPixmap(Symbols::pixmap(symbolName, iconSize, ink, dpr), QIcon::Normal);
        icon.addPixmap(Symbols::pixmap(symbolName, iconSize, ink, dpr), QIcon::Active);
        icon.addPixmap(Symbols::pixmap(symbolName, iconSize, dimmed, dpr), QIcon::Disabled);
    }
    return icon;
}

} // namespace qv
