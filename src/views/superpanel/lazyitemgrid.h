#pragma once

#include <QScrollArea>

#include <functional>

class QAbstractItemModel;

namespace qv {

class LazyItemList;
class Scheduler;

// A scrolling grid of equal cells over a list model that builds widgets only for the rows in and
// near the visible part (see LazyItemList), so a list of hundreds of items opens as fast as one of
// ten. Columns are adaptive (as many of at least `minCellWidth` as fit) or one when `minCellWidth`
// is 0. With `separators`, a line in the accent colour is drawn in the gap under every row but the
// last. The model must outlive the grid. Main thread.
class LazyItemGrid : public QScrollArea
{
    Q_OBJECT
public:
    using Make = std::function<QWidget *(int row, QWidget *parent)>;

    struct Metrics
    {
        double cellHeight = 48;
        double minCellWidth = 0;
        double spacing = 10;
        double rowSpacing = 10;
        double padding = 12;
        bool separators = false;
    };

    LazyItemGrid(QAbstractItemModel &model, int keyRole, Metrics metrics, Make make,
                 QWidget *parent = nullptr);

    // Insertions, removals and moves while the grid shows spring (see LazyItemList), moved by
    // `scheduler`, which must outlive the grid.
    void animateChanges(Scheduler &scheduler);
    bool isAnimating() const;
    // Runs on every cell each time it is placed (also when the grid scrolls).
    void setOnPlaced(std::function<void(QWidget *)> onPlaced);
    int columns() const;
    // The cells built now, in row order.
    QList<QWidget *> builtCells() const;
    // The built cell of `row`, or null.
    QWidget *cellAt(int row) const;
    // The frame of `row`'s cell in the grid's content.
    QRectF cellFrame(int row) const;
    int separatorCount() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QAbstractItemModel &m_model;
    Metrics m_metrics;
    LazyItemList *m_list = nullptr;
};

} // namespace qv
