#pragma once

#include <QList>
#include <QPointer>
#include <QWidget>

#include <functional>

class QAbstractItemModel;

namespace qv {

// The cards of one model in a row (the strip) or a column (the list): one widget per row of the
// model, made by `make`, kept or hidden by `keeps`. It follows the model's insertions, removals and
// changes one row at a time, so a new capture adds one card and the others keep their widgets.
// Cards carry a margin of `overlap` around their frame (the room for the hover scale), which the
// spacing takes back. Main thread.
class EdgeItemList : public QWidget
{
    Q_OBJECT
public:
    using Make = std::function<QWidget *(int row, QWidget *parent)>;
    using Keeps = std::function<bool(int row)>;

    EdgeItemList(QAbstractItemModel &model, Qt::Orientation orientation, Make make, Keeps keeps,
                 QWidget *parent = nullptr);

    // Spacing between card frames, padding around them, and the cards' own margin.
    void setMetrics(double spacing, double padding, double overlap);
    // Re-applies `keeps` to every card (a new filter).
    void refilter();
    int shownCount() const { return m_shown; }
    QList<QWidget *> shownCards() const;
    // Made cards, one per model row, in model order.
    int cardCount() const { return int(m_cards.size()); }

signals:
    void shownCountChanged(int count);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void rebuild();
    void relayout();
    void setShown(int count);
    QWidget *makeCard(int row);

    QAbstractItemModel &m_model;
    Qt::Orientation m_orientation;
    Make m_make;
    Keeps m_keeps;
    QList<QPointer<QWidget>> m_cards;
    double m_spacing = 16;
    double m_padding = 20;
    double m_overlap = 0;
    int m_shown = 0;
    bool m_layingOut = false;
};

} // namespace qv
