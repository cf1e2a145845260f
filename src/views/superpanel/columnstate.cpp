#include "views/superpanel/columnstate.h"

#include <QPointer>

#include "core/localization.h"
#include "runtime/scheduler.h"
#include "views/superpanel/columnrules.h"
#include "views/superpanel/superpanelstate.h"

namespace qv {

SuperPanelColumnState::SuperPanelColumnState(SuperPanelState &panel, Scheduler &scheduler,
                                             OpenOrReveal openOrReveal, QObject *parent)
    : QObject(parent), m_panel(panel), m_scheduler(scheduler), m_openOrReveal(std::move(openOrReveal)),
      m_previews(scheduler)
{
    connect(&m_activeItemID, &ActiveItemID::changed, this, &SuperPanelColumnState::activeItemChanged);
    connect(&panel, &SuperPanelState::showContentChanged, this, &SuperPanelColumnState::reset);
}

void SuperPanelColumnState::setColumnTop(double top)
{
    if (qFuzzyCompare(top + 1, m_columnTop + 1))
        return;
    m_columnTop = top;
    emit columnTopChanged();
}

void SuperPanelColumnState::showClipboardPreview(const ClipboardItem &item, const QRectF &eyeRect)
{
    m_bubbleHovered = false;
    m_clipboardPreviewItem = item;
    m_eyeRect = eyeRect;
    emit clipboardPreviewChanged();
}

void SuperPanelColumnState::scheduleClipboardPreviewHide(const QUuid &id)
{
    QPointer<SuperPanelColumnState> self(this);
    m_scheduler.after(ColumnRules::eyeLeaveDelay, [self, id] {
        if (self && !self->m_bubbleHovered && self->m_activeItemID.value() == id)
            self->m_activeItemID.setValue(QUuid());
    });
}

void SuperPanelColumnState::bubbleHoverChanged(bool hovered)
{
    m_bubbleHovered = hovered;
    if (hovered)
        return;
    QPointer<SuperPanelColumnState> self(this);
    m_scheduler.after(ColumnRules::bubbleLeaveDelay, [self] {
        if (self && !self->m_bubbleHovered)
            self->m_activeItemID.setValue(QUuid());
    });
}

void SuperPanelColumnState::activeItemChanged()
{
    if (!m_activeItemID.value().isNull() || !m_clipboardPreviewItem)
        return;
    m_clipboardPreviewItem.reset();
    m_bubbleHovered = false;
    emit clipboardPreviewChanged();
}

void SuperPanelColumnState::setTargetingShelf(bool targeting)
{
    if (targeting == m_targetingShelf)
        return;
    m_targetingShelf = targeting;
    emit targetingShelfChanged();
}

void SuperPanelColumnState::previewShelfItem(const ShelfItem &item, ShelfEye eye)
{
    if (eye == ShelfEye::columnTile)
        m_previews.toggleShelfPreview(item);
    else
        m_previews.openShelfPreviewFromGallery(item);
}

void SuperPanelColumnState::openShelfURL(const QUrl &url, bool reveal)
{
    if (reveal) {
        if (!m_openOrReveal)
            return;
        m_openOrReveal(
            url, true, [self = QPointer<SuperPanelColumnState>(this), asked = m_presentations](bool shown) {
                if (!self || self->m_presentations != asked)
                    return;
                if (shown)
                    self->closeForOpening();
                else
                    self->m_panel.showNotice(Localization::text(u"reveal_failed", self->m_panel.language()));
            });
        return;
    }
    closeForOpening();
    // The panel may be gone by then; the work holds only what it opens.
    m_scheduler.after(ColumnRules::openDelay, [open = m_openOrReveal, url] {
        if (open)
            open(url, false, {});
    });
}

void SuperPanelColumnState::closeForOpening()
{
    m_previews.closeShelfPreview();
    m_panel.setExpandedSection(std::nullopt);
    m_activeItemID.setValue(QUuid());
    m_panel.dismiss();
}

void SuperPanelColumnState::reset()
{
    ++m_presentations;
    m_activeItemID.setValue(QUuid());
    m_previews.dismiss();
    setTargetingShelf(false);
}

} // namespace qv
