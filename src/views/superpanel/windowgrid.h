#pragma once

#include <QHash>
#include <QScrollArea>

#include "ui/animation.h"
#include "views/superpanel/superpanelrules.h"

class QLabel;

namespace qv {

class GlobalWindowCard;
class Scheduler;
class SuperPanelState;

// The Super Panel's scrolling window grid. One card per row of the state's filtered model, in its
// order, built once its row comes near the visible part and kept by window identity: a new snapshot
// or title updates the card in place, a window that opens or closes adds or removes just its card,
// and a search only shows and hides cards. A keyboard move scrolls the selected card to the middle;
// another application filter starts at the top. Without cards it shows the empty state. State and
// scheduler must outlive the grid. Main thread.
class WindowGrid : public QScrollArea
{
    Q_OBJECT
public:
    WindowGrid(SuperPanelState &state, Scheduler &scheduler, QWidget *parent = nullptr);

    // The cards shown and built, in grid order: a card is built once it comes near the visible
    // part of the grid.
    QList<GlobalWindowCard *> cards() const;
    // The card of the window, shown or not; none when the window has none (yet).
    GlobalWindowCard *cardFor(qint64 windowId) const;
    bool isShowingEmptyState() const;
    SuperPanelRules::GridLayout layout() const { return m_layout; }
    // Where a dragged card's picture follows the pointer, above the grid's clipped view; the grid
    // keeps its own when none is set.
    void setDragLayer(QWidget *layer) { m_dragLayer = layer; }
    // The picture of the card being dragged; none while no card is.
    QWidget *dragGhost() const;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void scheduleSync();
    void syncCards();
    void layoutCards();
    void placeCard(GlobalWindowCard *card, int row);
    void buildVisibleCards();
    // Tells the state's owner which cards are in view when that changed.
    void reportCardsInView();
    void updateSelection();
    void scrollToTrigger(qint64 windowId);
    int rowOf(qint64 windowId) const;
    GlobalWindowCard *makeCard(const AppWindowModel &window);
    void moveGhost(GlobalWindowCard *card, const QPointF &offset);
    void dropGhost(GlobalWindowCard *card);

    SuperPanelState &m_state;
    Scheduler &m_scheduler;
    QWidget *m_content = nullptr;
    QHash<qint64, GlobalWindowCard *> m_cards;
    QList<qint64> m_order;
    QList<qint64> m_reportedInView;
    bool m_syncPending = false;
    SuperPanelRules::GridLayout m_layout;
    Animation m_scrollAnimation;
    QWidget *m_dragLayer = nullptr;
    QLabel *m_ghost = nullptr;
};

} // namespace qv
