#pragma once

#include <functional>

#include "shelf/shelfitem.h"
#include "views/items/edgeitemview.h"
#include "views/items/filedrag.h"
#include "views/items/shownthumbnail.h"

class QMenu;
class QMimeData;

namespace qv {

class FileShelfManager;

// One shelf item in the edge popup, in the clipboard card's design but in cyan: pictures and films
// fill the preview, anything else shows its icon and name; the footer carries the pin mark, the kind
// and the live age, and eye, pin and trash appear while the pointer is on the tile. A double click
// opens the item, the context menu offers Open, Show in File Manager, Quick Look, Pin or Unpin and
// Delete, and a drag hands the file to other applications (the shelf's drag-out watch decides
// afterwards whether the item leaves the shelf). Main thread.
class EdgeShelfTile : public EdgeItemView
{
    Q_OBJECT
public:
    enum ButtonId { Eye, Pin, Trash };
    using Action = std::function<void(const ShelfItem &)>;

    EdgeShelfTile(const ShelfItem &item, Action onOpen, Action onRemove, Action onPreview, Action onTogglePin,
                  Action onShowInFileManager, FileShelfManager &shelf, AgeClock &ages,
                  QWidget *parent = nullptr);

    const ShelfItem &item() const { return m_item; }
    bool isMedia() const;
    QString displayName() const;
    QMenu *buildContextMenu(QWidget *parent);
    // The start of a drag: marks the item as the one being dragged (which starts the shelf's watch)
    // and returns what the drag carries.
    QMimeData *beginDrag();
    // How a drag of the tile runs: FileDrag::run, unless its host runs drags its own way.
    void setDragRun(FileDrag::Run run) { m_dragRun = std::move(run); }

protected:
    double rowPreviewHeight(double width) const override;
    void paintPreview(QPainter &painter, const QRectF &box) override;
    QList<std::pair<QString, QColor>> footerSymbols() const override;
    QDateTime date() const override { return m_item.date; }
    QList<Face> faces() const override;
    void buttonClicked(int id) override;
    void bodyDoubleClicked() override;
    void dragStarted() override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void call(const Action &action);

    ShelfItem m_item;
    ShownThumbnail m_thumbnail{this};
    Action m_onOpen;
    Action m_onRemove;
    Action m_onPreview;
    Action m_onTogglePin;
    Action m_onShowInFileManager;
    FileShelfManager &m_shelf;
    FileDrag::Run m_dragRun;
};

} // namespace qv
