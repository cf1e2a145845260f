#pragma once

#include <QPainterPath>
#include <QWidget>

#include <memory>

#include "ui/animation.h"

class QLabel;
class QScrollArea;
class QSpacerItem;

namespace qv {

class AgeClock;
class AppKitDropZone;
class ClipboardHistoryModel;
class EdgePopupState;
class EdgePreviewLayer;
class FileIconService;
class FileShelfManager;
class HorizontalWheelScroll;
class LazyItemList;
class NoticeLine;
class Scheduler;
class ShelfListModel;
class WorkQueue;

// The compact module panel of the clipboard and shelf routes: over a backdrop that is clicked to
// close, one panel hugs the screen edge the state names, with a header (symbol, title, on the
// clipboard route the kind chips, the count of what is shown) above the clipboard history or the
// shelf: a horizontal strip of cards on the top and bottom edges, a vertical list on the sides, or
// the route's empty state. On the shelf route the panel is a drop target that feeds the shelf. The
// panel fades in over 0.08 s at each opening. Its previews show above it.
//
// Everything it changes goes through `state`; the services are what the item views themselves use.
// All arguments must outlive the view. Main thread.
class EdgePopupView : public QWidget
{
    Q_OBJECT
public:
    struct Services
    {
        ClipboardHistoryModel &clipboard;
        ShelfListModel &shelf;
        FileShelfManager &shelfManager;
        FileIconService &icons;
        std::shared_ptr<WorkQueue> decodeQueue;
        AgeClock &ages;
        Scheduler &scheduler;
    };

    static constexpr double fadeDuration = 0.08;

    EdgePopupView(EdgePopupState &state, Services services, QWidget *parent = nullptr);
    ~EdgePopupView() override;

    // The panel's frame in the view, and the outline of everything drawn (the panel, or the whole
    // view while a preview dims it), for cutting the window without a compositor.
    QRect panelFrame() const;
    QPainterPath outline() const;

    int shownCount() const;
    QString countText() const;
    bool showsEmptyState() const;
    QWidget *emptyState() const { return m_empty; }
    // The chip captions as drawn, in order (a compact chip that is not selected shows none).
    QStringList chipCaptions() const;
    QList<QWidget *> chips() const;
    // The cards built now, in order: those in and near the visible part of the list.
    QList<QWidget *> cards() const;
    HorizontalWheelScroll *strip() const { return m_strip; }
    AppKitDropZone *dropZone() const { return m_dropZone; }
    EdgePreviewLayer *previewLayer() const { return m_previewLayer; }
    double panelOpacity() const { return m_opacity; }
    // The line that tells of an action that could not be done; empty while none shows.
    QString noticeText() const;

signals:
    void outlineChanged();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    class ShownItems;

    void rebuild();
    void placePanel();
    void updateCount();
    void fadeIn();
    void applyOpacity(double opacity);

    EdgePopupState &m_state;
    Services m_services;
    QWidget *m_panel = nullptr;
    AppKitDropZone *m_dropZone = nullptr;
    QWidget *m_chrome = nullptr;
    QSpacerItem *m_aboveContent = nullptr;
    QSpacerItem *m_belowContent = nullptr;
    QLabel *m_badge = nullptr;
    NoticeLine *m_notice = nullptr;
    QList<QWidget *> m_chips;
    QWidget *m_empty = nullptr;
    HorizontalWheelScroll *m_strip = nullptr;
    QScrollArea *m_listScroll = nullptr;
    ShownItems *m_shown = nullptr;
    LazyItemList *m_list = nullptr;
    EdgePreviewLayer *m_previewLayer = nullptr;
    Animation m_fade;
    double m_opacity = 0;
};

} // namespace qv
