#pragma once

#include <QObject>
#include <QRectF>
#include <QUrl>

#include <functional>
#include <optional>

#include "clipboard/clipboarditem.h"
#include "core/applanguage.h"
#include "shelf/shelfitem.h"
#include "views/edgepopup/edgepopuprules.h"
#include "views/items/filedrag.h"
#include "windows/overlayroute.h"
#include "windows/popupedge.h"

namespace qv {

// What the edge popup asks of its owner, one callback per user action. Unset callbacks do nothing.
struct EdgePopupActions
{
    std::function<void(const ClipboardItem &)> copy;
    std::function<void(const ClipboardItem &)> deleteClip;
    std::function<void(const ShelfItem &)> openShelfItem;
    std::function<void(const ShelfItem &)> removeShelfItem;
    std::function<void(const ShelfItem &)> togglePin;
    std::function<void(const ShelfItem &)> showShelfItemInFileManager;
    // Closes the whole panel.
    std::function<void()> dismiss;
    // Runs the drag of a shelf tile out of the popup; unset, the tile runs it as a plain drag.
    FileDrag::Run dragOut;
};

// The edge popup's state: the route and edge it shows, the kind filter, whether a drag targets the
// shelf, and the two previews it opens above itself (a shelf file, a clipboard item). The owner
// calls presented() at every opening of the popup, which starts it afresh (filter "All", no
// preview). The widgets read and write it; its actions go to the owner. Main thread.
class EdgePopupState : public QObject
{
    Q_OBJECT
public:
    using ClipFilter = EdgePopupRules::ClipFilter;

    explicit EdgePopupState(EdgePopupActions actions, QObject *parent = nullptr);

    const EdgePopupActions &actions() const { return m_actions; }

    OverlayRoute route() const { return m_route; }
    PopupEdge edge() const { return m_edge; }
    // Both at once, so the view rebuilds once per opening or switch.
    void show(OverlayRoute route, PopupEdge edge);
    void presented();

    ClipFilter selectedFilter() const { return m_filter; }
    void setSelectedFilter(ClipFilter filter);
    bool isTargetingShelfDrop() const { return m_targeting; }
    void setTargetingShelfDrop(bool targeting);
    AppLanguage language() const { return m_language; }
    void setLanguage(AppLanguage language);
    bool isTranslucent() const { return m_translucent; }
    void setTranslucent(bool translucent);
    // Where the panel may go: the screen's work area (what the desktop's own panels leave free), in
    // the view's coordinates. Empty (at first) means the whole view.
    QRectF workArea() const { return m_workArea; }
    void setWorkArea(const QRectF &area);

    // The shelf file shown in the file preview; none while it is closed.
    std::optional<QUrl> edgePreviewURL() const { return m_previewURL; }
    void previewShelfItem(const ShelfItem &item);
    void closeFilePreview();
    // The clipboard item shown in the clipboard preview; none while it is closed.
    std::optional<ClipboardItem> edgeClipPreviewItem() const { return m_clipPreview; }
    void previewClip(const ClipboardItem &item);
    void closeClipPreview();
    bool isPreviewShown() const { return m_previewURL || m_clipPreview; }

    void dismiss() const;
    // Tells the user, in a line the popup shows for a while, that an action could not be done.
    void showNotice(const QString &text) { emit noticeRequested(text); }

signals:
    void routeChanged();
    void presentedAgain();
    void selectedFilterChanged();
    void targetingChanged(bool targeting);
    void languageChanged();
    void translucencyChanged();
    void workAreaChanged();
    void previewChanged();
    void noticeRequested(const QString &text);

private:
    EdgePopupActions m_actions;
    OverlayRoute m_route = OverlayRoute::clipboard;
    PopupEdge m_edge = PopupEdge::bottom;
    ClipFilter m_filter = ClipFilter::all;
    bool m_targeting = false;
    bool m_translucent = true;
    QRectF m_workArea;
    AppLanguage m_language = AppLanguage::system;
    std::optional<QUrl> m_previewURL;
    std::optional<ClipboardItem> m_clipPreview;
};

} // namespace qv
