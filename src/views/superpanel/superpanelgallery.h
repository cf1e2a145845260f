#pragma once

#include <QWidget>

#include <memory>

#include "views/superpanel/clipboardshelfcolumn.h"

class QScrollArea;

namespace qv {

class EdgePopupState;
class EdgePreviewLayer;
class LazyItemGrid;

// The layer over the Super Panel's content for what the column opens: the Clipboard Gallery (the
// 20 newest clipboard items as large cards in two columns, even positions on the left) or the
// Shelf Gallery (every shelf item in an adaptive grid), centred on a nearly clear backdrop that
// closes the gallery, and leaves the panel open, when clicked; and above it the large previews of
// a shelf file or a clipboard item (the edge popup's preview layer). Lists follow the models
// live. It shows itself while the panel's `expandedSection` is set or a preview is open.
//
// All arguments must outlive it. Main thread.
class SuperPanelGallery : public QWidget
{
    Q_OBJECT
public:
    static constexpr QSize maxPanelSize{800, 600};

    SuperPanelGallery(SuperPanelColumnState &state, ClipboardShelfColumn::Services services,
                      QWidget *parent = nullptr);
    ~SuperPanelGallery() override;

    bool isGalleryShown() const;
    QRect panelFrame() const;
    QString titleText() const;
    QWidget *closeButton() const { return m_close; }
    // The clipboard cards in each column, top to bottom.
    QList<QWidget *> leftCards() const { return m_left; }
    QList<QWidget *> rightCards() const { return m_right; }
    LazyItemGrid *shelfGrid() const { return m_shelfGrid; }
    EdgePreviewLayer *previewLayer() const { return m_previewLayer; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void follow();
    void rebuildClipboard();
    void place();
    void followPreviews();

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
    std::unique_ptr<EdgePopupState> m_previewState;
    EdgePreviewLayer *m_previewLayer = nullptr;
};

} // namespace qv
