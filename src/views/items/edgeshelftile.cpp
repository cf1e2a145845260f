#include "views/items/edgeshelftile.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>

#include "core/color.h"
#include "core/localization.h"
#include "shelf/fileshelfmanager.h"
#include "ui/menulook.h"
#include "ui/symbols.h"
#include "ui/theme.h"
#include "views/items/ageclock.h"
#include "views/items/filedrag.h"
#include "views/items/itemrules.h"

namespace qv {

EdgeShelfTile::EdgeShelfTile(const ShelfItem &item, Action onOpen, Action onRemove, Action onPreview,
                             Action onTogglePin, Action onShowInFileManager, FileShelfManager &shelf,
                             AgeClock &ages, QWidget *parent)
    : EdgeItemView(Shape::Card, Color::neonCyan(), ages, parent), m_item(item), m_onOpen(std::move(onOpen)),
      m_onRemove(std::move(onRemove)), m_onPreview(std::move(onPreview)),
      m_onTogglePin(std::move(onTogglePin)), m_onShowInFileManager(std::move(onShowInFileManager)),
      m_shelf(shelf)
{
}

bool EdgeShelfTile::isMedia() const
{
    return ItemRules::isMediaFile(m_item.url);
}

QString EdgeShelfTile::displayName() const
{
    return ItemRules::shelfDisplayName(m_item);
}

double EdgeShelfTile::rowPreviewHeight(double) const
{
    return 126;
}

void EdgeShelfTile::paintPreview(QPainter &painter, const QRectF &box)
{
    if (isMedia()) {
        const QRectF target(box.left(), box.top(), 216, 120);
        drawImage(painter, target, m_thumbnail.picture(m_item.thumbnail), true, 6);
        return;
    }
    drawImage(painter, QRectF(box.center().x() - 24, box.top(), 48, 48),
              m_thumbnail.picture(m_item.thumbnail), false);
    painter.setFont(Theme::systemFont(13));
    painter.setPen(Theme::white(0.85));
    drawLines(painter, QRectF(box.left(), box.top() + 56, box.width(), box.height() - 56), displayName(), 3,
              3);
}

QList<std::pair<QString, QColor>> EdgeShelfTile::footerSymbols() const
{
    QList<std::pair<QString, QColor>> symbols;
    if (m_item.isPinned)
        symbols.append({QStringLiteral("pin.fill"), Color::neonCyan()});
    symbols.append({isMedia() ? QStringLiteral("photo") : QStringLiteral("doc"), Theme::white(0.3)});
    return symbols;
}

QList<EdgeItemView::Face> EdgeShelfTile::faces() const
{
    const int over = hoveredButton();
    return {
        {Eye, QStringLiteral("eye"), Theme::white(over == Eye ? 1.0 : 0.4),
         Theme::white(over == Eye ? 0.15 : 0.08)},
        {Pin, m_item.isPinned ? QStringLiteral("pin.slash") : QStringLiteral("pin"),
         over == Pin ? Color::neonCyan() : Theme::white(0.4),
         over == Pin ? tinted(Color::neonCyan(), 0.15) : Theme::white(0.08)},
        {Trash, QStringLiteral("trash"), over == Trash ? Color::neonRed() : Theme::white(0.4),
         over == Trash ? tinted(Color::neonRed(), 0.15) : Theme::white(0.08)},
    };
}

void EdgeShelfTile::call(const Action &action)
{
    if (action)
        action(m_item);
}

void EdgeShelfTile::buttonClicked(int id)
{
    call(id == Eye ? m_onPreview : id == Pin ? m_onTogglePin : m_onRemove);
}

void EdgeShelfTile::bodyDoubleClicked()
{
    call(m_onOpen);
}

QMenu *EdgeShelfTile::buildContextMenu(QWidget *parent)
{
    auto *menu = new QMenu(parent);
    applyMenuLook(*menu);
    const AppLanguage language = ages().language();
    auto add = [&](const char16_t *titleKey, const QString &symbol, auto slot) {
        menu->addAction(menuIcon(symbol), Localization::text(titleKey, language), this, slot);
    };
    add(u"shelf_menu_open", QStringLiteral("arrow.up.forward.square"), [this] { call(m_onOpen); });
    add(u"shelf_menu_show_in_file_manager", QStringLiteral("folder"), [this] { call(m_onShowInFileManager); });
    add(u"shelf_menu_quick_look", QStringLiteral("eye"), [this] { call(m_onPreview); });
    menu->addSeparator();
    add(m_item.isPinned ? u"shelf_menu_unpin" : u"shelf_menu_pin",
        m_item.isPinned ? QStringLiteral("pin.slash") : QStringLiteral("pin"), [this] { call(m_onTogglePin); });
    menu->addSeparator();
    connect(addDestructiveAction(*menu, QStringLiteral("trash"), Localization::text(u"shelf_menu_delete", language)),
            &QAction::triggered, this, [this] { call(m_onRemove); });
    return menu;
}

void EdgeShelfTile::contextMenuEvent(QContextMenuEvent *event)
{
    QPointer<QMenu> menu = buildContextMenu(this);
    runMenu(*menu, event->globalPos());
    delete menu;
}

QMimeData *EdgeShelfTile::beginDrag()
{
    m_shelf.setDraggingItemID(m_item.id);
    return FileDrag::makeData(m_item);
}

void EdgeShelfTile::dragStarted()
{
    // The shelf outlives every tile; the tile itself (with its members) may be gone once the drag
    // returns.
    FileShelfManager &shelf = m_shelf;
    const FileDrag::Run run = m_dragRun;
    shelf.dragEnded(FileDrag::runThrough(run, this, beginDrag(), m_item.thumbnail.image()));
}

} // namespace qv
