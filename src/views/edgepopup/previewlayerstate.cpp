#include "views/edgepopup/previewlayerstate.h"

namespace qv {

PreviewLayerState::PreviewLayerState(Scheduler &scheduler, QObject *parent)
    : QObject(parent), m_scheduler(scheduler)
{
}

PreviewLayerState::~PreviewLayerState()
{
    for (TimerHandle &end : m_safeEnds)
        end.cancel();
}

void PreviewLayerState::openGalleryClipPreview(const ClipboardItem &item)
{
    m_clip = item;
    m_animated = true;
    emit changed();
}

void PreviewLayerState::closeGalleryClipPreview()
{
    if (!m_clip)
        return;
    m_clip.reset();
    m_animated = true;
    emit changed();
}

void PreviewLayerState::openShelfPreviewFromGallery(const ShelfItem &item)
{
    m_shelf = item;
    m_safe = true;
    m_animated = true;
    m_safeEnds.removeIf([](const TimerHandle &end) { return !end.isActive(); });
    m_safeEnds.append(m_scheduler.after(safePeriod, [this] {
        m_safe = false;
        emit changed();
    }));
    emit changed();
}

void PreviewLayerState::toggleShelfPreview(const ShelfItem &item)
{
    if (m_shelf && m_shelf->id == item.id) {
        m_shelf.reset();
    } else {
        m_shelf = item;
        m_safe = true;
    }
    m_animated = false;
    emit changed();
}

void PreviewLayerState::closeShelfPreview()
{
    if (!m_shelf)
        return;
    m_shelf.reset();
    m_animated = true;
    emit changed();
}

void PreviewLayerState::pointerLeftShelfPreview()
{
    if (!m_safe)
        closeShelfPreview();
}

void PreviewLayerState::dismiss()
{
    if (!m_shelf && !m_clip)
        return;
    m_shelf.reset();
    m_clip.reset();
    m_animated = false;
    emit changed();
}

} // namespace qv
