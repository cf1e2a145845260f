#include "views/edgepopup/edgepopupstate.h"

namespace qv {

EdgePopupState::EdgePopupState(EdgePopupActions actions, QObject *parent)
    : QObject(parent), m_actions(std::move(actions))
{
}

void EdgePopupState::show(OverlayRoute route, PopupEdge edge)
{
    if (route == m_route && edge == m_edge)
        return;
    m_route = route;
    m_edge = edge;
    emit routeChanged();
}

void EdgePopupState::presented()
{
    m_filter = ClipFilter::all;
    m_targeting = false;
    // A preview left open when the panel closed would cover the fresh popup.
    m_previewURL.reset();
    m_clipPreview.reset();
    emit presentedAgain();
    emit selectedFilterChanged();
    emit previewChanged();
}

void EdgePopupState::setSelectedFilter(ClipFilter filter)
{
    if (filter == m_filter)
        return;
    m_filter = filter;
    emit selectedFilterChanged();
}

void EdgePopupState::setTargetingShelfDrop(bool targeting)
{
    if (targeting == m_targeting)
        return;
    m_targeting = targeting;
    emit targetingChanged(targeting);
}

void EdgePopupState::setLanguage(AppLanguage language)
{
    if (language == m_language)
        return;
    m_language = language;
    emit languageChanged();
}

void EdgePopupState::setTranslucent(bool translucent)
{
    if (translucent == m_translucent)
        return;
    m_translucent = translucent;
    emit translucencyChanged();
}

void EdgePopupState::setWorkArea(const QRectF &area)
{
    if (area == m_workArea)
        return;
    m_workArea = area;
    emit workAreaChanged();
}

void EdgePopupState::previewShelfItem(const ShelfItem &item)
{
    // A link too shows its stored file here: Quick Look never leaves for the browser.
    m_previewURL = item.url;
    emit previewChanged();
}

void EdgePopupState::closeFilePreview()
{
    if (!m_previewURL)
        return;
    m_previewURL.reset();
    emit previewChanged();
}

void EdgePopupState::previewClip(const ClipboardItem &item)
{
    m_clipPreview = item;
    emit previewChanged();
}

void EdgePopupState::closeClipPreview()
{
    if (!m_clipPreview)
        return;
    m_clipPreview.reset();
    emit previewChanged();
}

void EdgePopupState::dismiss() const
{
    if (m_actions.dismiss)
        m_actions.dismiss();
}

} // namespace qv
