#include "views/edgepopup/edgepopupmodule.h"

#include "clipboard/clipboardhistorymodel.h"
#include <QPointer>

#include "clipboard/clipboardmanager.h"
#include "core/localization.h"
#include "platform/filerevealer.h"
#include "shelf/fileshelfmanager.h"
#include "shelf/shelflistmodel.h"
#include "views/edgepopup/edgepopupstate.h"
#include "views/edgepopup/edgepopupview.h"
#include "views/items/ageclock.h"
#include "views/items/itemrules.h"

namespace qv {

EdgePopupModule::EdgePopupModule(ClipboardManager &clipboard, FileShelfManager &shelf, FileRevealer &revealer,
                                 FileIconService &icons, std::shared_ptr<WorkQueue> decodeQueue,
                                 Scheduler &scheduler, std::function<void()> dismiss, FileDrag::Run dragOut,
                                 QObject *parent)
    : QObject(parent), m_clipboard(clipboard), m_shelf(shelf), m_revealer(revealer), m_icons(icons),
      m_decodeQueue(std::move(decodeQueue)), m_scheduler(scheduler),
      m_clipboardModel(std::make_unique<ClipboardHistoryModel>(clipboard)),
      m_shelfModel(std::make_unique<ShelfListModel>(shelf)), m_ages(std::make_unique<AgeClock>(scheduler))
{
    EdgePopupActions actions;
    actions.copy = [&clipboard](const ClipboardItem &item) { clipboard.copyToPasteboard(item); };
    actions.deleteClip = [&clipboard](const ClipboardItem &item) { clipboard.deleteItem(item); };
    actions.openShelfItem = [&revealer](const ShelfItem &item) { revealer.openURL(ItemRules::openTarget(item)); };
    actions.removeShelfItem = [&shelf](const ShelfItem &item) { shelf.removeItem(item); };
    actions.togglePin = [&shelf](const ShelfItem &item) { shelf.togglePin(item.id); };
    actions.showShelfItemInFileManager = [this](const ShelfItem &item) {
        m_revealer.revealFile(
            item.url.toLocalFile(), [state = QPointer<EdgePopupState>(m_state.get())](bool shown) {
                if (state && !shown)
                    state->showNotice(Localization::text(u"reveal_failed", state->language()));
            });
    };
    actions.dismiss = std::move(dismiss);
    actions.dragOut = std::move(dragOut);
    m_state = std::make_unique<EdgePopupState>(std::move(actions));
    connect(&shelf, &FileShelfManager::draggingItemIDChanged, this, &EdgePopupModule::draggingOutChanged);
}

EdgePopupModule::~EdgePopupModule() = default;

EdgePopupView *EdgePopupModule::makeView()
{
    if (!m_view)
        m_view = new EdgePopupView(*m_state,
                                   EdgePopupView::Services{*m_clipboardModel, *m_shelfModel, m_shelf, m_icons,
                                                           m_decodeQueue, *m_ages, m_scheduler});
    return m_view;
}

void EdgePopupModule::show(OverlayRoute route, PopupEdge edge, bool opening)
{
    m_state->show(route, edge);
    if (opening)
        m_state->presented();
}

bool EdgePopupModule::isDraggingOut() const
{
    return !m_shelf.draggingItemID().isNull();
}

} // namespace qv
