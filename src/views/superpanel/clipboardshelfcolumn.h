#pragma once

#include <QWidget>

#include <memory>

class QImage;
class QMimeData;

namespace qv {

class AgeClock;
class AppKitDropZone;
class ClipboardHistoryModel;
struct ClipboardItem;
class ClipboardManager;
class ClipboardPreviewBubble;
class FileIconService;
class FileShelfManager;
class LazyItemGrid;
class Pasteboard;
class Scheduler;
class SettingsStore;
class ShelfListModel;
class SuperPanelColumnState;
class SuperPanelState;
class WorkQueue;

// The Super Panel's right column: the clipboard history above (0.6 of the height) and the shelf
// below (0.4), each under a header with its gallery button and its clear button (the shelf's only
// while it holds something). History rows copy, delete and, when the pointer rests on their eye,
// open the preview bubble; they drag out their shown text. The shelf section, header included, is
// a drop target that feeds the shelf; it shows a drop hint while empty, else a grid of tiles that
// open on a double click, drag their file out (the tile stays) and offer the shelf menu. Both
// lists build widgets only near the visible part. Labels are fixed English texts.
//
// Everything it changes goes through `state` or the managers; all arguments must outlive it.
// Main thread.
class ClipboardShelfColumn : public QWidget
{
    Q_OBJECT
public:
    struct Services
    {
        ClipboardHistoryModel &clipboard;
        ShelfListModel &shelf;
        ClipboardManager &clipboardManager;
        FileShelfManager &shelfManager;
        Pasteboard &pasteboard;
        SettingsStore &settings;
        FileIconService &icons;
        std::shared_ptr<WorkQueue> decodeQueue;
        AgeClock &ages;
        Scheduler &scheduler;
    };

    ClipboardShelfColumn(SuperPanelColumnState &state, Services services, QWidget *parent = nullptr);

    // What dragging a history row hands over: its shown text (a sensitive item's mask).
    static QMimeData *clipboardDragData(const ClipboardItem &item);
    // Runs a drag out of the panel: once it leaves the panel's drop targets the panel steps aside, so
    // the window under the pointer takes the drop; the panel then closes, or comes back if nothing
    // did. True when a target took the drop.
    static bool dragOutOfPanel(QWidget *source, QMimeData *data, const QImage &picture,
                               SuperPanelState &panel);

    LazyItemGrid *clipboardList() const { return m_clipboardList; }
    LazyItemGrid *shelfGrid() const { return m_shelfGrid; }
    AppKitDropZone *dropZone() const { return m_dropZone; }
    ClipboardPreviewBubble *bubble() const { return m_bubble; }
    QWidget *clipboardGalleryButton() const { return m_clipboardGallery; }
    QWidget *clipboardClearButton() const { return m_clipboardClear; }
    QWidget *shelfGalleryButton() const { return m_shelfGallery; }
    QWidget *shelfClearButton() const { return m_shelfClear; }
    QWidget *clipboardSection() const { return m_clipboardSection; }
    QWidget *shelfSection() const { return m_shelfSection; }
    // The drop hint's text, or an empty text while the shelf shows tiles.
    QString dropHintText() const;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QWidget *buildClipboardSection();
    QWidget *buildShelfSection();
    QWidget *makeClipboardRow(int row, QWidget *parent);
    QWidget *makeShelfTile(int row, QWidget *parent);
    void updateShelfState();

    SuperPanelColumnState &m_state;
    Services m_services;
    QWidget *m_clipboardSection = nullptr;
    LazyItemGrid *m_clipboardList = nullptr;
    QWidget *m_clipboardGallery = nullptr;
    QWidget *m_clipboardClear = nullptr;
    AppKitDropZone *m_dropZone = nullptr;
    QWidget *m_shelfSection = nullptr;
    QWidget *m_shelfHeader = nullptr;
    QWidget *m_shelfBody = nullptr;
    LazyItemGrid *m_shelfGrid = nullptr;
    QWidget *m_shelfGallery = nullptr;
    QWidget *m_shelfClear = nullptr;
    ClipboardPreviewBubble *m_bubble = nullptr;
};

} // namespace qv
