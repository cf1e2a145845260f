#pragma once

#include <QHash>
#include <QList>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "ui/animation.h"

class QAbstractItemModel;
class QScrollArea;

namespace qv {

// The content of a scroll area over a list model that builds widgets only for the rows in and near
// the visible part (one screen before and one after), so a list of hundreds of items costs what a
// screenful costs. Rows follow each other along one axis in lines of one or more cells. A cell is
// kept by its row's identity (`keyRole`) while it stays near the view: an inserted row moves the
// others without rebuilding them; a changed row is built again. Cells that leave are hidden and
// deleted on a later turn, so a cell may remove its own row from inside one of its callbacks.
// It lays itself out again when the model changes, the area scrolls or its viewport resizes, and
// only while it is visible (it catches up when shown). With animateChanges, an insertion, removal
// or move while the list shows springs the cells that stay to their new places and fades out the
// visible cells of removed rows (a whole list cleared fades at once).
// The model and the area must outlive the list. Main thread.
class LazyItemList : public QWidget
{
    Q_OBJECT
public:
    using Make = std::function<QWidget *(int row, QWidget *parent)>;
    // The length along the axis of `row`'s cell when it is `breadth` across.
    using Measure = std::function<double(int row, double breadth)>;

    struct Metrics
    {
        Qt::Orientation orientation = Qt::Vertical;
        // Every cell's length along the axis, unless `measure` is set (which allows one column only).
        double cellLength = 48;
        Measure measure;
        // A fixed breadth, centred across the list; 0 fills the column.
        double cellBreadth = 0;
        // How many columns fit an inner breadth; one when unset.
        std::function<int(double breadth)> columns;
        // Between lines along the axis; negative where cells carry margins that overlap.
        double spacing = 10;
        double columnSpacing = 10;
        double padding = 12;
        // The list takes the viewport's breadth and the length its rows need; otherwise the scroll
        // area sizes it (a strip whose width follows a rule of its own).
        bool sizesItself = true;
    };

    // Puts itself into `area` as its content.
    LazyItemList(QAbstractItemModel &model, int keyRole, Metrics metrics, Make make, QScrollArea &area);

    // Springs of `response` and `damping` (seconds, ratio) moved by `scheduler`, which must
    // outlive the list.
    void animateChanges(Scheduler &scheduler, double response, double damping);
    bool isAnimating() const { return m_motion && m_motion->isRunning(); }
    // Runs on every cell each time it is placed (also when the list scrolls).
    void setOnPlaced(std::function<void(QWidget *)> onPlaced) { m_onPlaced = std::move(onPlaced); }
    int columns() const { return m_columns; }
    // What the rows need along the axis, padding included (0 without rows).
    double contentLength() const { return m_contentLength; }
    // The cells built now, in row order.
    QList<QWidget *> builtCells() const;
    // The built cell of `row`, or null.
    QWidget *cellAt(int row) const;
    // The frame of `row`'s cell in the list.
    QRectF cellFrame(int row) const;
    void relayout();

signals:
    // After every layout pass (a scroll, a change of rows, a resize).
    void laidOut();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    // Before the model changes: where the built cells stand, once per turn.
    void rowsChanging();
    void springFromBefore();
    void finishMotion();
    QString keyAt(int row) const;
    void dropCell(const QString &key);
    // Line starts along the axis (measured rows only), recomputed after a change of rows or breadth.
    void measureLines();
    double lineStart(int line) const;
    double lineLength(int line) const;

    QAbstractItemModel &m_model;
    QScrollArea &m_area;
    int m_keyRole;
    Metrics m_metrics;
    Make m_make;
    std::function<void(QWidget *)> m_onPlaced;
    QHash<QString, QWidget *> m_cells;
    int m_first = 0;
    int m_last = -1;
    int m_columns = 1;
    double m_breadth = 0;
    double m_contentLength = 0;
    // Measured rows: lengths by key for `m_measuredBreadth`, and the start of each row plus the end.
    QHash<QString, double> m_lengths;
    double m_measuredBreadth = -1;
    std::vector<double> m_starts;
    bool m_linesDirty = true;
    bool m_layingOut = false;

    std::unique_ptr<Animation> m_motion;
    double m_springResponse = 0;
    double m_springDamping = 0;
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
        QRectF seen;
    };
    std::optional<Before> m_before;
};

} // namespace qv
