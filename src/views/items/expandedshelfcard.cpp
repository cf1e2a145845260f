#include "views/items/expandedshelfcard.h"

#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QToolTip>

#include "core/color.h"
#include "platform/pasteboard.h"
#include "shelf/fileshelfmanager.h"
#include "ui/menulook.h"
#include "ui/symbols.h"
#include "ui/theme.h"
#include "views/items/filedrag.h"
#include "views/items/itemrules.h"

namespace qv {

static constexpr double padding = 12;
static constexpr double face = 26;

void ExpandedShelfCard::copyFileToPasteboard(Pasteboard &pasteboard, const ShelfItem &item)
{
    pasteboard.writeFileURL(item.url);
}

void ExpandedShelfCard::copyRecognizedText(Pasteboard &pasteboard, const QString &text)
{
    if (text.isEmpty())
        return;
    pasteboard.writeText(text, WriteOrigin::newCopy);
}

void ExpandedShelfCard::removeItem(FileShelfManager &shelf, const ShelfItem &item)
{
    if (item.isPinned)
        return;
    shelf.removeItem(item);
    shelf.cleanupOrphanedFiles();
}

QMimeData *ExpandedShelfCard::dragData(const ShelfItem &item)
{
    return FileDrag::makeData(item);
}

void ExpandedShelfCard::extractText(FileShelfManager &shelf, Pasteboard &pasteboard, const ShelfItem &item)
{
    // The pasteboard outlives every view: it belongs to the platform.
    shelf.extractText(item.url, [&pasteboard](const QString &text) { copyRecognizedText(pasteboard, text); });
}

ExpandedShelfCard::ExpandedShelfCard(const ShelfItem &item, std::function<void()> onPreview,
                                     std::function<void()> onOpen, std::function<void()> onShowInFileManager,
                                     FileShelfManager &shelf, Pasteboard &pasteboard, AgeClock &ages,
                                     QWidget *parent)
    : ItemWidget(ages, parent), m_item(item), m_onPreview(std::move(onPreview)), m_onOpen(std::move(onOpen)),
      m_onShowInFileManager(std::move(onShowInFileManager)), m_shelf(shelf), m_pasteboard(pasteboard)
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

bool ExpandedShelfCard::isImage() const
{
    return m_item.type.startsWith(QStringLiteral("image/"));
}

QString ExpandedShelfCard::displayName() const
{
    return ItemRules::shelfDisplayName(m_item);
}

QSize ExpandedShelfCard::sizeHint() const
{
    const QFontMetrics metrics(Theme::systemFont(12));
    return {220, int(2 * padding + face + 10 + wellHeight + 10 + 2 * metrics.lineSpacing())};
}

QList<ItemWidget::Button> ExpandedShelfCard::buttons() const
{
    // The strip keeps its place while hidden; its buttons only exist while the pointer is here.
    if (!isHovered())
        return {};
    QList<int> ids{Eye};
    if (isImage())
        ids.append(ExtractText);
    ids.append(Trash);
    QList<Button> result;
    double x = width() - padding - ids.size() * face - (ids.size() - 1) * 8;
    for (int id : ids) {
        result.append({id, {x, padding, face, face}});
        x += face + 8;
    }
    return result;
}

void ExpandedShelfCard::buttonClicked(int id)
{
    if (id == Eye && m_onPreview)
        m_onPreview();
    else if (id == ExtractText)
        extractText(m_shelf, m_pasteboard, m_item);
    else if (id == Trash)
        removeItem(m_shelf, m_item);
}

bool ExpandedShelfCard::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        if (buttonRect(ExtractText).contains(help->pos()))
            QToolTip::showText(help->globalPos(), QStringLiteral("Extract Text from Image"), this);
        else
            QToolTip::hideText();
        return true;
    }
    return ItemWidget::event(event);
}

void ExpandedShelfCard::bodyDoubleClicked()
{
    if (m_onOpen)
        m_onOpen();
}

void ExpandedShelfCard::dragStarted()
{
    // The shelf outlives every card; the card itself (with its members) may be gone once the drag
    // returns.
    FileShelfManager &shelf = m_shelf;
    const FileDrag::Run run = m_dragRun;
    shelf.dragEnded(FileDrag::runThrough(run, this, dragData(m_item), m_item.thumbnail.image()));
}

QMenu *ExpandedShelfCard::buildContextMenu(QWidget *parent)
{
    return shelfMenu(parent, m_item, m_shelf, m_pasteboard, m_onOpen, m_onShowInFileManager, false);
}

QMenu *ExpandedShelfCard::shelfMenu(QWidget *parent, const ShelfItem &item, FileShelfManager &shelf,
                                    Pasteboard &pasteboard, const std::function<void()> &onOpen,
                                    const std::function<void()> &onShowInFileManager, bool extractTextApart)
{
    auto *menu = new QMenu(parent);
    applyMenuLook(*menu);
    const MenuLabel open = openMenuLabel();
    menu->addAction(menuIcon(open.symbol), open.title, menu, [onOpen] {
        if (onOpen)
            onOpen();
    });
    menu->addAction(menuIcon(QStringLiteral("folder")), QStringLiteral("Show in File Manager"), menu,
                    [onShowInFileManager] {
                        if (onShowInFileManager)
                            onShowInFileManager();
                    });
    const MenuLabel copy = copyMenuLabel();
    menu->addAction(menuIcon(copy.symbol), copy.title, menu,
                    [&pasteboard, item] { copyFileToPasteboard(pasteboard, item); });
    if (item.type.startsWith(QStringLiteral("image/"))) {
        if (extractTextApart)
            menu->addSeparator();
        menu->addAction(menuIcon(QStringLiteral("text.viewfinder")), QStringLiteral("Extract Text"), menu,
                        [&shelf, &pasteboard, item] { extractText(shelf, pasteboard, item); });
    }
    menu->addSeparator();
    QObject::connect(addDestructiveAction(*menu, QStringLiteral("trash"), QStringLiteral("Remove")),
                     &QAction::triggered, menu, [&shelf, item] { removeItem(shelf, item); });
    return menu;
}

void ExpandedShelfCard::contextMenuEvent(QContextMenuEvent *event)
{
    QPointer<QMenu> menu = buildContextMenu(this);
    runMenu(*menu, event->globalPos());
    delete menu;
}

void ExpandedShelfCard::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), 16, 16);
    painter.fillPath(path, Theme::white(0.02));
    painter.setClipPath(path);

    painter.setFont(Theme::systemFont(10));
    painter.setPen(Theme::white(0.55));
    painter.drawText(QRectF(padding, padding, width() / 2.0, face), Qt::AlignLeft | Qt::AlignVCenter,
                     ItemRules::timeWithSeconds(m_item.date, QLocale()));
    for (const auto &button : buttons()) {
        const QString symbol = button.id == Eye           ? QStringLiteral("eye")
                               : button.id == ExtractText ? QStringLiteral("text.viewfinder")
                                                          : QStringLiteral("trash");
        const QColor color = button.id == Eye           ? Theme::white(1)
                             : button.id == ExtractText ? Color::neonCyan()
                                                        : Color::neonRed();
        drawFace(painter, button.rect, symbol, color, Theme::white(0.15), 11);
    }

    const QRectF well(padding, padding + face + 10, width() - 2 * padding, wellHeight);
    QPainterPath wellPath;
    wellPath.addRoundedRect(well, 12, 12);
    painter.fillPath(wellPath, Theme::white(0.05));
    drawImage(painter, well.adjusted(16, 16, -16, -16), m_thumbnail.picture(m_item.thumbnail), false);
    if (isHovered()) {
        painter.setPen(QPen(Color::neonCyan(), 2));
        painter.drawPath(wellPath);
    }
    painter.setFont(Theme::systemFont(12));
    painter.setPen(Theme::white(0.8));
    drawLines(painter,
              QRectF(padding, well.bottom() + 10, width() - 2 * padding, height() - well.bottom() - 10),
              displayName(), 2, 0, Qt::AlignHCenter);
}

} // namespace qv
