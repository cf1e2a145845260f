#pragma once

#include <QHash>
#include <QUuid>
#include <QWidget>

#include <memory>

#include "ui/poptransition.h"
#include "views/superpanel/clipboardshelfcolumn.h"
#include "views/superpanel/superpanelstate.h"

class QScrollArea;

namespace qv {

class GalleryPreviewLayer;
class LazyItemGrid;

// The layer over the Super Panel's content for what the column opens: the Clipboard Gallery (the
// 20 newest clipboard items as large cards in two columns, even positions on the left) or the
// Shelf Gallery (every shelf item in an adaptive grid), centred on the window area over a nearly
// clear backdrop that closes the gallery, and leaves the panel open, when clicked; and above it,
// over the whole layer, the large previews of a shelf file and, topmost, of a clipboard item.
// While only the gallery shows, the layer takes no clicks or drops beside the window area, so the
// columns on either side keep working. The gallery grows in from 0.95 and fades with a
// spring, and shrinks out the same way. Lists follow the models live; a deleted clipboard card's
// neighbours spring to their new places. It shows itself while the panel's `expandedSection` is
// set or a preview is open.
//
// All arguments must outlive it. Main thread.
class SuperPanelGallery : public QWidget
{
    Q_OBJECT
public:
    static constexpr QSize maxPanelSize{800, 600};

    SuperPanelGallery(SuperPanelColumnState &state, ClipboardShelfColumn::Services services,
                      QWidget *parent = nullptr);

    // Where the gallery centres and what its backdrop covers, in the layer's coordinates; the
    // whole layer until it is set.
    void setWindowArea(const QRect &area);
    QRect windowArea() const { return m_windowArea.value_or(rect()); }

    bool isGalleryShown() const;
    QRect panelFrame() const;
    QString titleText() const;
    QWidget *closeButton() const { return m_close; }
    // The clipboard cards in each column, top to bottom.
    QList<QWidget *> leftCards() const { return m_left; }
    QList<QWidget *> rightCards() const { return m_right; }
    LazyItemGrid *shelfGrid() const { return m_shelfGrid; }
    GalleryPreviewLayer *shelfPreview() const { return m_shelfPreview; }
    GalleryPreviewLayer *clipPreview() const { return m_clipPreview; }
    bool isTransitionRunning() const { return m_transition.isRunning(); }

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void follow();
    void rebuildClipboard();
    void place();
    void followPreviews();
    void updateVisibility();
    void updateMask();
    void springCardsFrom(const QHash<QUuid, QPoint> &before);
    void settleCards();

    SuperPanelColumnState &m_state;
    ClipboardShelfColumn::Services m_services;
    QWidget *m_panel = nullptr;
    QWidget *m_header = nullptr;
    QWidget *m_icon = nullptr;
    QWidget *m_title = nullptr;
    QWidget *m_close = nullptr;
    QScrollArea *m_clipScroll = nullptr;
    QWidget *m_clipContent = nullptr;
    QList<QWidget *> m_left;
    QList<QWidget *> m_right;
    LazyItemGrid *m_shelfGrid = nullptr;
    PopTransition m_transition;
    Animation m_reflow;
    bool m_open = false;
    std::optional<SuperPanelState::ExpandedSection> m_shownSection;
    std::optional<QRect> m_windowArea;
    GalleryPreviewLayer *m_shelfPreview = nullptr;
    GalleryPreviewLayer *m_clipPreview = nullptr;
};

} // namespace qv
