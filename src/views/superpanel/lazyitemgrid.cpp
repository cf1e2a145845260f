#include "views/superpanel/lazyitemgrid.h"

#include <QAbstractItemModel>
#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPaintEvent>
#include <QScrollBar>

#include <algorithm>
#include <cmath>

#include "core/color.h"
#include "ui/spring.h"
#include "views/superpanel/columnrules.h"

namespace qv {

LazyItemGrid::LazyItemGrid(QAbstractItemModel &model, int keyRole, Metrics metrics, Make make,
                           QWidget *parent)
    : QScrollArea(parent), m_model(model), m_keyRole(keyRole), m_metrics(metrics), m_make(std::move(make))
{
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setWidgetResizable(false);
    setAttribute(Qt::WA_TranslucentBackground);
    viewport()->setAutoFillBackground(false);
    m_canvas = new QWidget;
    m_canvas->setAttribute(Qt::WA_TranslucentBackground);
    m_canvas->installEventFilter(this);
    setWidget(m_canvas);
    // The scroll area fills its content with the window colour; the grid shows what lies behind.
    m_canvas->setAutoFillBackground(false);

    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &LazyItemGrid::relayout);
    connect(&model, &QAbstractItemModel::rowsInserted, this, &LazyItemGrid::modelChanged);
    connect(&model, &QAbstractItemModel::rowsRemoved, this, &LazyItemGrid::modelChanged);
    connect(&model, &QAbstractItemModel::rowsMoved, this, &LazyItemGrid::modelChanged);
    connect(&model, &QAbstractItemModel::modelReset, this, [this] {
        for (const QString &key : m_cells.keys())
            dropCell(key);
        relayout();
    });
    connect(&model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex &topLeft, const QModelIndex &bottomRight) {
                for (int row = topLeft.row(); row <= bottomRight.row(); ++row)
                    dropCell(keyAt(row));
                relayout();
            });
    relayout();
}

void LazyItemGrid::animateChanges(Scheduler &scheduler)
{
    m_motion = std::make_unique<Animation>(scheduler);
}

void LazyItemGrid::finishMotion()
{
    if (!m_motion)
        return;
    m_motion->cancel();
    for (const Move &move : std::as_const(m_moves)) {
        if (!move.cell)
            continue;
        move.cell->setGeometry(move.to);
        if (m_onPlaced)
            m_onPlaced(move.cell);
    }
    m_moves.clear();
    for (const QPointer<QWidget> &ghost : std::as_const(m_ghosts))
        delete ghost.data();
    m_ghosts.clear();
}

void LazyItemGrid::modelChanged()
{
    // Springs only where someone sees them. The changes of one turn (a clear removes row after
    // row) spring together, from where the cells stood before the first of them.
    if (m_motion && isVisible() && !m_before) {
        // A spring under way stops where it is: the next one starts from there.
        m_motion->cancel();
        m_moves.clear();
        for (const QPointer<QWidget> &ghost : std::as_const(m_ghosts))
            delete ghost.data();
        m_ghosts.clear();
        Before before;
        before.seen = QRect(QPoint(0, verticalScrollBar()->value()), viewport()->size());
        for (auto it = m_cells.constBegin(); it != m_cells.constEnd(); ++it)
            before.cells.append({it.key(), it.value(), it.value()->geometry()});
        m_before = std::move(before);
        QMetaObject::invokeMethod(this, &LazyItemGrid::springFromBefore, Qt::QueuedConnection);
    }
    relayout();
}

void LazyItemGrid::springFromBefore()
{
    if (!m_before)
        return;
    const Before before = std::move(*m_before);
    m_before.reset();
    if (!isVisible())
        return;
    for (const Before::Cell &was : before.cells) {
        if (!was.cell)
            continue;
        if (m_cells.value(was.key) == was.cell) {
            if (was.cell->geometry() != was.frame) {
                m_moves.append({was.cell, was.frame, was.cell->geometry()});
                was.cell->setGeometry(was.frame);
            }
        } else if (was.frame.intersects(before.seen)) {
            // A removed row that was in sight leaves a fading picture behind.
            auto *ghost = new QLabel(m_canvas);
            ghost->setPixmap(was.cell->grab());
            ghost->setGeometry(was.frame);
            ghost->setGraphicsEffect(new QGraphicsOpacityEffect(ghost));
            ghost->show();
            m_ghosts.append(ghost);
        }
    }
    if (m_moves.isEmpty() && m_ghosts.isEmpty())
        return;
    m_motion->start(
        0, 1, springSettlingTime(ColumnRules::springResponse, ColumnRules::springDamping),
        Animation::spring(ColumnRules::springResponse, ColumnRules::springDamping),
        [this](double progress) {
            for (const Move &move : std::as_const(m_moves)) {
                if (!move.cell)
                    continue;
                const QPointF shift = QPointF(move.to.topLeft() - move.from.topLeft()) * progress;
                move.cell->move(move.from.topLeft() + shift.toPoint());
            }
            for (const QPointer<QWidget> &ghost : std::as_const(m_ghosts)) {
                if (ghost)
                    static_cast<QGraphicsOpacityEffect *>(ghost->graphicsEffect())
                        ->setOpacity(std::clamp(1 - progress, 0.0, 1.0));
            }
        },
        [this] { finishMotion(); });
}

QString LazyItemGrid::keyAt(int row) const
{
    return m_model.data(m_model.index(row, 0), m_keyRole).toString();
}

void LazyItemGrid::dropCell(const QString &key)
{
    QWidget *cell = m_cells.take(key);
    if (!cell)
        return;
    cell->hide();
    cell->deleteLater();
}

QRectF LazyItemGrid::cellFrame(int row) const
{
    const int line = row / m_columns;
    const int column = row % m_columns;
    const double pitch = m_metrics.cellHeight + m_metrics.rowSpacing;
    return {m_metrics.padding + column * (m_cellWidth + m_metrics.spacing), m_metrics.padding + line * pitch,
            m_cellWidth, m_metrics.cellHeight};
}

int LazyItemGrid::separatorCount() const
{
    return m_metrics.separators ? std::max(0, m_model.rowCount() - 1) : 0;
}

void LazyItemGrid::relayout()
{
    // A scroll or resize while cells move: they jump to where they were going.
    if (m_motion && m_motion->isRunning())
        finishMotion();
    const double width = viewport()->width();
    const double inner = std::max(0.0, width - 2 * m_metrics.padding);
    m_columns = m_metrics.minCellWidth > 0
                    ? ColumnRules::adaptiveColumns(inner, m_metrics.minCellWidth, m_metrics.spacing)
                    : 1;
    m_cellWidth = std::max(0.0, (inner - (m_columns - 1) * m_metrics.spacing) / m_columns);
    const int count = m_model.rowCount();
    const int lines = (count + m_columns - 1) / m_columns;
    const double pitch = m_metrics.cellHeight + m_metrics.rowSpacing;
    const double height = lines == 0 ? 0 : 2 * m_metrics.padding + lines * pitch - m_metrics.rowSpacing;
    m_canvas->resize(int(width), int(std::ceil(height)));

    // One screen above and below stays built, so a short scroll finds its cells ready.
    const double top = verticalScrollBar()->value() - viewport()->height();
    const double bottom = verticalScrollBar()->value() + 2.0 * viewport()->height();
    const int firstLine = std::max(0, int(std::floor((top - m_metrics.padding) / pitch)));
    const int lastLine = std::min(lines - 1, int(std::floor((bottom - m_metrics.padding) / pitch)));
    const int first = firstLine * m_columns;
    const int last = std::min(count - 1, (lastLine + 1) * m_columns - 1);

    QHash<QString, QWidget *> kept;
    for (int row = first; row <= last; ++row) {
        const QString key = keyAt(row);
        QWidget *cell = m_cells.take(key);
        if (!cell) {
            cell = m_make(row, m_canvas);
            if (!cell)
                continue;
        }
        kept.insert(key, cell);
        cell->setGeometry(cellFrame(row).toRect());
        cell->show();
        if (m_onPlaced)
            m_onPlaced(cell);
    }
    for (const QString &key : m_cells.keys())
        dropCell(key);
    m_cells = kept;
    m_canvas->update();
}

QList<QWidget *> LazyItemGrid::builtCells() const
{
    QList<QWidget *> cells;
    for (int row = 0; row < m_model.rowCount(); ++row) {
        if (QWidget *cell = m_cells.value(keyAt(row)))
            cells.append(cell);
    }
    return cells;
}

QWidget *LazyItemGrid::cellAt(int row) const
{
    return m_cells.value(keyAt(row));
}

void LazyItemGrid::resizeEvent(QResizeEvent *event)
{
    QScrollArea::resizeEvent(event);
    relayout();
}

void LazyItemGrid::hideEvent(QHideEvent *event)
{
    QScrollArea::hideEvent(event);
    // No spring plays unseen.
    m_before.reset();
    finishMotion();
}

bool LazyItemGrid::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_canvas && event->type() == QEvent::Paint && m_metrics.separators) {
        QPainter painter(m_canvas);
        const QRect dirty = static_cast<QPaintEvent *>(event)->rect();
        // Only the rows of the repainted band: a long history paints what is on screen.
        const double pitch = m_metrics.cellHeight + m_metrics.rowSpacing;
        const int first = std::max(0, int((dirty.top() - m_metrics.padding) / pitch) - 1) * m_columns;
        const int last =
            std::min(separatorCount() - 1,
                     (int((dirty.bottom() - m_metrics.padding) / pitch) + 1) * m_columns + m_columns - 1);
        for (int row = first; row <= last; ++row) {
            const QRectF cell = cellFrame(row);
            const double y = cell.bottom() + 2 + 4;
            const QRectF line(cell.left() + ColumnRules::separatorInset, y,
                              cell.width() - 2 * ColumnRules::separatorInset, 1);
            QLinearGradient gradient(line.topLeft(), line.topRight());
            QColor accent = Color::neonCyan();
            QColor clear = accent;
            clear.setAlphaF(0);
            accent.setAlphaF(0.2f);
            gradient.setColorAt(0, clear);
            gradient.setColorAt(0.5, accent);
            gradient.setColorAt(1, clear);
            painter.fillRect(line, gradient);
        }
        return true;
    }
    return QScrollArea::eventFilter(watched, event);
}

} // namespace qv
