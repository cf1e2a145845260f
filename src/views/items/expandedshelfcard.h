#pragma once

#include <functional>

#include "shelf/shelfitem.h"
#include "views/items/filedrag.h"
#include "views/items/itemwidget.h"
#include "views/items/shownthumbnail.h"

class QMenu;
class QMimeData;

namespace qv {

class FileShelfManager;
class Pasteboard;

// The large card of one shelf item in the Shelf Gallery: time added, the thumbnail in a 140 pt
// well, the name on up to two centred lines, and eye, text recognition (images only) and trash
// while the pointer is on it. A double click opens the file, a drag hands it out (without the
// shelf's drag-out watch, so the item stays), and the context menu offers Open, Show in File
// Manager, Copy to Clipboard, Extract Text (images only) and Remove. The static members are the
// actions the right column's shelf tiles share with this card. Main thread.
class ExpandedShelfCard : public ItemWidget
{
    Q_OBJECT
public:
    enum ButtonId { Eye, ExtractText, Trash };
    static constexpr double wellHeight = 140;

    struct MenuLabel
    {
        QString title;
        QString symbol;
    };
    static MenuLabel openMenuLabel()
    {
        return {QStringLiteral("Open"), QStringLiteral("arrow.up.forward.app")};
    }
    static MenuLabel copyMenuLabel()
    {
        return {QStringLiteral("Copy to Clipboard"), QStringLiteral("doc.on.doc")};
    }
    // Puts a reference to the item's file (not its contents) on the clipboard, replacing it.
    static void copyFileToPasteboard(Pasteboard &pasteboard, const ShelfItem &item);
    // Puts recognised text on the clipboard; an empty text (nothing found, failed, timed out or
    // superseded) leaves the clipboard as it was.
    static void copyRecognizedText(Pasteboard &pasteboard, const QString &text);
    // Removes the item and sweeps orphaned files; a pinned item stays.
    static void removeItem(FileShelfManager &shelf, const ShelfItem &item);
    // What a drag of the item carries: the file itself, or nothing when it is gone.
    static QMimeData *dragData(const ShelfItem &item);
    // Reads the text of an image item and puts it on the clipboard when there is any.
    static void extractText(FileShelfManager &shelf, Pasteboard &pasteboard, const ShelfItem &item);
    // The menu of a shelf item, shared by the gallery's cards and the column's tiles: Open, Show in
    // File Manager, Copy to Clipboard, then Extract Text for images (after a separator where
    // `extractTextApart`), then Remove (a pinned item stays). Owned by `parent`; `shelf` and
    // `pasteboard` must outlive it.
    static QMenu *shelfMenu(QWidget *parent, const ShelfItem &item, FileShelfManager &shelf,
                            Pasteboard &pasteboard, const std::function<void()> &onOpen,
                            const std::function<void()> &onShowInFileManager, bool extractTextApart);

    ExpandedShelfCard(const ShelfItem &item, std::function<void()> onPreview, std::function<void()> onOpen,
                      std::function<void()> onShowInFileManager, FileShelfManager &shelf,
                      Pasteboard &pasteboard, AgeClock &ages, QWidget *parent = nullptr);

    // How a drag of the card runs: FileDrag::run, unless its host runs drags its own way.
    void setDragRun(FileDrag::Run run) { m_dragRun = std::move(run); }

    const ShelfItem &item() const { return m_item; }
    bool isImage() const;
    QString displayName() const;
    QMenu *buildContextMenu(QWidget *parent);

    QSize sizeHint() const override;

protected:
    bool event(QEvent *event) override;
    QList<Button> buttons() const override;
    void buttonClicked(int id) override;
    void bodyDoubleClicked() override;
    void dragStarted() override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    ShelfItem m_item;
    ShownThumbnail m_thumbnail{this};
    std::function<void()> m_onPreview;
    std::function<void()> m_onOpen;
    std::function<void()> m_onShowInFileManager;
    FileShelfManager &m_shelf;
    Pasteboard &m_pasteboard;
    FileDrag::Run m_dragRun;
};

} // namespace qv
