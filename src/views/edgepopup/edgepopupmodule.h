#pragma once

#include <QObject>

#include <functional>
#include <memory>

#include "views/items/filedrag.h"
#include "windows/overlayroute.h"
#include "windows/popupedge.h"

namespace qv {

class AgeClock;
class ClipboardHistoryModel;
class ClipboardManager;
class EdgePopupState;
class EdgePopupView;
class FileIconService;
class FileRevealer;
class FileShelfManager;
class Scheduler;
class ShelfListModel;
class WorkQueue;

// Everything the edge popup needs, made once: the list models over the clipboard history and the
// shelf, the one age clock of their cards, the popup's state with its actions wired to the two
// services (copy back, delete, open a file or a link's web address, remove, pin), and the view.
// The owner places the view, reports openings with show(), closes the panel when asked through
// `dismiss`, and may run the drags of shelf tiles out of the popup through `dragOut`. Every argument
// must outlive the module. Main thread.
class EdgePopupModule : public QObject
{
    Q_OBJECT
public:
    EdgePopupModule(ClipboardManager &clipboard, FileShelfManager &shelf, FileRevealer &revealer,
                    FileIconService &icons, std::shared_ptr<WorkQueue> decodeQueue, Scheduler &scheduler,
                    std::function<void()> dismiss, FileDrag::Run dragOut = {}, QObject *parent = nullptr);
    ~EdgePopupModule() override;

    EdgePopupState &state() const { return *m_state; }
    // Made on the first call; the caller takes ownership of the widget.
    EdgePopupView *makeView();
    EdgePopupView *view() const { return m_view; }
    // The list models and age clock, shared with the Super Panel's column so both show one list.
    ClipboardHistoryModel &clipboardModel() const { return *m_clipboardModel; }
    ShelfListModel &shelfModel() const { return *m_shelfModel; }
    AgeClock &ages() const { return *m_ages; }
    // The route and edge to show; `opening` starts the popup afresh (a new opening or a switch).
    void show(OverlayRoute route, PopupEdge edge, bool opening);
    // True while one of the shelf's items is being dragged out.
    bool isDraggingOut() const;

signals:
    void draggingOutChanged();

private:
    ClipboardManager &m_clipboard;
    FileShelfManager &m_shelf;
    FileRevealer &m_revealer;
    FileIconService &m_icons;
    std::shared_ptr<WorkQueue> m_decodeQueue;
    Scheduler &m_scheduler;
    std::unique_ptr<ClipboardHistoryModel> m_clipboardModel;
    std::unique_ptr<ShelfListModel> m_shelfModel;
    std::unique_ptr<AgeClock> m_ages;
    std::unique_ptr<EdgePopupState> m_state;
    EdgePopupView *m_view = nullptr; // owned by whoever placed it
};

} // namespace qv
