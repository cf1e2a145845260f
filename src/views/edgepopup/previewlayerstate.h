#pragma once

#include <QObject>

#include <optional>

#include "clipboard/clipboarditem.h"
#include "runtime/scheduler.h"
#include "shelf/shelfitem.h"

namespace qv {

// Which full-size preview layer of the Super Panel shows what, for the openers outside the edge
// popup: the Clipboard Gallery's item preview and the shelf file preview, opened from the Shelf
// Gallery or from a shelf tile of the right column.
//
// The safe period: the shelf file preview closes when the pointer leaves its panel, except while
// `isPreviewSafePeriod` is true. An opening from the Shelf Gallery sets it and ends it 0.5 s later
// (a second opening within that time posts a second end; the first still ends it on time); an
// opening from a tile sets it with no end, so only the dim, the close button or a second click on
// that tile's eye close that preview. The scheduler must outlive the state. Main thread.
class PreviewLayerState : public QObject
{
    Q_OBJECT
public:
    static constexpr double safePeriod = 0.5;

    explicit PreviewLayerState(Scheduler &scheduler, QObject *parent = nullptr);
    ~PreviewLayerState() override;

    std::optional<ClipboardItem> galleryClipPreviewItem() const { return m_clip; }
    std::optional<ShelfItem> galleryPreviewItem() const { return m_shelf; }
    bool isPreviewSafePeriod() const { return m_safe; }
    // Whether the last change comes and goes with the layers' spring: a tile's eye and the panel's
    // dismissal change them at once.
    bool isChangeAnimated() const { return m_animated; }

    void openGalleryClipPreview(const ClipboardItem &item);
    void closeGalleryClipPreview();
    // The eye of a Shelf Gallery card.
    void openShelfPreviewFromGallery(const ShelfItem &item);
    // The eye of a right-column shelf tile: the same item again closes the preview.
    void toggleShelfPreview(const ShelfItem &item);
    void closeShelfPreview();
    // The pointer left the shelf file preview's panel.
    void pointerLeftShelfPreview();
    // The panel closed: both gallery layers go, without their animations.
    void dismiss();

signals:
    void changed();

private:
    Scheduler &m_scheduler;
    std::optional<ClipboardItem> m_clip;
    std::optional<ShelfItem> m_shelf;
    bool m_safe = false;
    bool m_animated = true;
    QList<TimerHandle> m_safeEnds;
};

} // namespace qv
