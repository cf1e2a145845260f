#pragma once

#include <QHash>
#include <QPointer>
#include <QScrollArea>

#include <functional>
#include <memory>
#include <optional>

#include "ui/animation.h"

class QAbstractItemModel;

namespace qv {

// A scrolling grid of equal cells over a list model that builds widgets only for the rows in and
// near the visible part, so a list of hundreds of items opens as fast as one of ten. Cells are
// kept by the row's identity (`keyRole`) while they stay near the view: an inserted row moves the
// others without rebuilding them; a changed row is built again. Columns are adaptive (as many of
// at least `minCellWidth` as fit) or one when `minCellWidth` is 0. With `separators`, a line in the
// accent colour is drawn in the gap under every row but the last. Cells that leave are hidden and
// deleted on a later turn, so a cell may remove its own row from inside one of its callbacks.
// With animateChanges, an insertion, removal or move while the grid shows springs the cells that
// stay to their new places and fades out the visible cells of removed rows (a whole list cleared
// fades at once). The model must outlive the grid. Main thread.
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

    // `scheduler` moves the springs; it must outlive the grid.
    void animateChanges(Scheduler &scheduler);
    bool isAnimating() const { return m_motion && m_motion->isRunning(); }
    // Runs on every cell each time it is placed (also when the grid scrolls).
    void setOnPlaced(std::function<void(QWidget *)> onPlaced) { m_onPlaced = std::move(onPlaced); }
    int columns() const { return m_columns; }
    // The cells built now, in row order.
    QList<QWidget *> builtCells() const;
    // The built cell of `row`, or null.
    QWidget *cellAt(int row) const;
    // The frame of `row`'s cell in the grid's content.
    QRectF cellFrame(int row) const;
    int separatorCount() const;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void relayout();
    void modelChanged();
    void springFromBefore();
    void finishMotion();
    QString keyAt(int row) const;
    void dropCell(const QString &key);

    QAbstractItemModel &m_model;
    int m_keyRole;
    Metrics m_metrics;
    Make m_make;
    std::function<void(QWidget *)> m_onPlaced;
    QWidget *m_canvas = nullptr;
    QHash<QString, QWidget *> m_cells;
    int m_columns = 1;
    double m_cellWidth = 0;
    std::unique_ptr<Animation> m_motion;
    // Cells on their way, and pictures of removed cells fading out, while the motion plays.
    struct Move
    {
        QPointer<QWidget> cell;
        QRect from;
        QRect to;
    };
    QList<Move> m_moves;
    QList<QPointer<QWidget>> m_ghosts;
    // The built cells where they stood before this turn's first change, while changes gather.
    struct Before
    {
        struct Cell
        {
            QString key;
            QPointer<QWidget> cell;
            QRect frame;
        };
        QList<Cell> cells;
        QRect seen;
    };
    std::optional<Before> m_before;
};

} // namespace qv
