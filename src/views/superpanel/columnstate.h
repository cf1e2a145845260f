#pragma once

#include <QObject>
#include <QRectF>
#include <QUrl>

#include <functional>
#include <optional>

#include "clipboard/clipboarditem.h"
#include "shelf/shelfitem.h"
#include "views/edgepopup/previewlayerstate.h"
#include "views/items/clipboarditemview.h"

namespace qv {

class Scheduler;
class SuperPanelState;

// The view state of the Super Panel's clipboard and shelf column and of what it opens above the
// panel: the clipboard row whose eye bubble is open (shared with every row), the bubble's item,
// anchor and hover, the shelf file and clipboard item shown in the large previews, and whether a
// drag targets the shelf. Every opening and closing of the panel clears it. The delayed checks of
// the eye (0.2 s) and of the bubble (0.08 s) are never cancelled: each looks at the state when it
// runs, so a stale one does nothing.
//
// `panel` and `scheduler` must outlive the state. `openOrReveal` is the second half of opening a
// shelf file (reveal true shows it in the file manager, then runs `done` once, maybe later, with
// whether a file manager took it; an opening passes no `done`). Main thread.
class SuperPanelColumnState : public QObject
{
    Q_OBJECT
public:
    using OpenOrReveal =
        std::function<void(const QUrl &url, bool reveal, std::function<void(bool shown)> done)>;

    SuperPanelColumnState(SuperPanelState &panel, Scheduler &scheduler, OpenOrReveal openOrReveal,
                          QObject *parent = nullptr);

    SuperPanelState &panel() const { return m_panel; }
    Scheduler &scheduler() const { return m_scheduler; }

    // The row whose bubble is open (`activeClipboardItemID`); clearing it closes the bubble.
    ActiveItemID &activeItemID() { return m_activeItemID; }
    std::optional<ClipboardItem> clipboardPreviewItem() const { return m_clipboardPreviewItem; }
    // The eye's frame and the column's top edge, both in the hosting window's coordinates.
    QRectF clipboardPreviewEyeRect() const { return m_eyeRect; }
    double columnTop() const { return m_columnTop; }
    void setColumnTop(double top);
    bool isBubbleHovered() const { return m_bubbleHovered; }

    // A row's eye was rested on (the row has made itself active).
    void showClipboardPreview(const ClipboardItem &item, const QRectF &eyeRect);
    // The pointer left row `id`: 0.2 s later the bubble closes unless it is hovered or another row
    // took over.
    void scheduleClipboardPreviewHide(const QUuid &id);
    // The pointer entered (true) or left the bubble; leaving closes it 0.08 s later unless it came
    // back.
    void bubbleHoverChanged(bool hovered);

    bool isTargetingShelf() const { return m_targetingShelf; }
    void setTargetingShelf(bool targeting);

    // The large previews of a shelf file and a clipboard item, with the shelf preview's safe period.
    PreviewLayerState &previews() { return m_previews; }
    // A shelf item's eye on a gallery card, or on a column tile (which toggles the preview). A link
    // previews its stored file like any other item; only Open takes it to its web page.
    enum class ShelfEye { galleryCard, columnTile };
    void previewShelfItem(const ShelfItem &item, ShelfEye eye);

    // Opening: closes previews, gallery and bubble, dismisses the panel, then 0.2 s later opens the
    // file. Revealing asks the file manager first and closes all that once it has the file; when
    // nothing can show the file the panel stays and says so.
    void openShelfURL(const QUrl &url, bool reveal);

    // Back to the closed state (the panel opened or closed).
    void reset();

signals:
    void clipboardPreviewChanged();
    void targetingShelfChanged();
    void columnTopChanged();

private:
    void activeItemChanged();
    void closeForOpening();

    SuperPanelState &m_panel;
    Scheduler &m_scheduler;
    OpenOrReveal m_openOrReveal;
    ActiveItemID m_activeItemID;
    std::optional<ClipboardItem> m_clipboardPreviewItem;
    QRectF m_eyeRect;
    double m_columnTop = 0;
    bool m_bubbleHovered = false;
    bool m_targetingShelf = false;
    // Counts the panel's openings and closings, so a late answer finds out whether it still
    // belongs to the panel it was asked from.
    quint64 m_presentations = 0;
    PreviewLayerState m_previews;
};

} // namespace qv
