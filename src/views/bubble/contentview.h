#pragma once

#include <QHash>
#include <QPainterPath>
#include <QWidget>

#include <optional>

#include "ui/animation.h"
#include "views/bubble/bubbleshape.h"
#include "views/bubble/cardactions.h"

class QAbstractItemModel;

namespace qv {

class BubbleViewState;
class HorizontalScrollView;
class Scheduler;
class WindowListModel;
class WindowPreviewCard;

// The preview bubble's content: a speech bubble whose arrow aims at the hovered Dock tile, a
// header (application icon, name, window count) and a row of window cards that scrolls sideways.
// Without the screen-capture permission it shows only the permission card; without windows, the
// empty text. Cards follow the model row by row, so a card keeps its widget when its picture
// changes. The model, state, actions and scheduler must outlive the view. Main thread.
class ContentView : public QWidget
{
    Q_OBJECT
public:
    static constexpr double outerPadding = 14;
    static constexpr double listHeight = 155;
    static constexpr double cardSpacing = 10;
    static constexpr double rowPadding = 20;

    ContentView(BubbleViewState &state, WindowListModel &windows, const CardActions &actions,
                Scheduler &scheduler, QWidget *parent = nullptr);

    double arrowPosition() const { return m_shape.arrowPosition; }
    BubbleEdge bubbleEdge() const { return m_shape.edge; }
    // The bubble's outline in this widget's coordinates (for cutting the panel to its shape).
    QPainterPath outline() const;
    // The arrow tip in this widget's coordinates, where the arrow rests once it has moved.
    QPointF arrowTipAt(double position) const;

    QList<WindowPreviewCard *> cards() const;
    HorizontalScrollView *scrollView() const { return m_scroll; }
    // A card is held down (maybe dragged): the bubble must stay until it is let go.
    bool hasPressedCard() const;
    // A drag ended without its card's release: every card lets go.
    void releasePresses();

    // An arrow update of the controller: a position moves the arrow with a spring; a known edge
    // text switches the side at once; anything else is ignored.
    void handleArrowUpdate(std::optional<double> position, const QString &edge);

signals:
    // The outline changed (size, edge or arrow).
    void outlineChanged();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QRectF bubbleRect() const;
    QRectF bodyRect() const;
    void syncCards();
    void layoutCards();
    void paintBubble(QPainter &painter);
    void paintHeader(QPainter &painter, const QRectF &body);
    void paintPermissionCard(QPainter &painter);

    BubbleViewState &m_state;
    WindowListModel &m_windows;
    const CardActions &m_actions;
    Scheduler &m_scheduler;
    BubbleShape m_shape;
    Animation m_arrowAnimation;
    HorizontalScrollView *m_scroll = nullptr;
    QWidget *m_row = nullptr;
    QHash<qint64, WindowPreviewCard *> m_cards;
};

} // namespace qv
