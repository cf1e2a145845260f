#include "views/items/lazyitemlist.h"

#include <QAbstractItemModel>
#include <QEvent>
#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>

#include <algorithm>
#include <cmath>

#include "ui/poptransition.h"
#include "ui/spring.h"

namespace qv {

LazyItemList::LazyItemList(QAbstractItemModel &model, int keyRole, Metrics metrics, Make make,
                           QScrollArea &area)
    : m_model(model), m_area(area), m_keyRole(keyRole), m_metrics(std::move(metrics)), m_make(std::move(make))
{
    setAttribute(Qt::WA_TranslucentBackground);
    area.setWidget(this);
    // The scroll area fills its content with the window colour; the list shows what lies behind.
    setAutoFillBackground(false);
    area.viewport()->installEventFilter(this);

    auto rowsChanged = [this] {
        m_linesDirty = true;
        relayout();
    };
    auto rowsMoving = [this, rowsChanged] {
        rowsChanging();
        rowsChanged();
    };
    connect(area.verticalScrollBar(), &QScrollBar::valueChanged, this, &LazyItemList::relayout);
    connect(area.horizontalScrollBar(), &QScrollBar::valueChanged, this, &LazyItemList::relayout);
    connect(&model, &QAbstractItemModel::rowsInserted, this, rowsMoving);
    connect(&model, &QAbstractItemModel::rowsRemoved, this, rowsMoving);
    connect(&model, &QAbstractItemModel::rowsMoved, this, rowsMoving);
    connect(&model, &QAbstractItemModel::layoutChanged, this, rowsChanged);
    connect(&model, &QAbstractItemModel::modelReset, this, [this, rowsChanged] {
        for (const QString &key : m_cells.keys())
            dropCell(key);
        m_lengths.clear();
        rowsChanged();
    });
    connect(&model, &QAbstractItemModel::dataChanged, this,
            [this, rowsChanged](const QModelIndex &topLeft, const QModelIndex &bottomRight) {
                for (int row = topLeft.row(); row <= bottomRight.row(); ++row) {
                    const QString key = keyAt(row);
                    dropCell(key);
                    m_lengths.remove(key);
                }
                rowsChanged();
            });
    relayout();
}

void LazyItemList::animateChanges(Scheduler &scheduler, double response, double damping)
{
    m_motion = std::make_unique<Animation>(scheduler);
    m_springResponse = response;
    m_springDamping = damping;
}

void LazyItemList::finishMotion()
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

void LazyItemList::rowsChanging()
{
    // Springs only where someone sees them. The changes of one turn (a clear removes row after
    // row) spring together, from where the cells stood before the first of them.
    if (!m_motion || !isVisible() || m_before)
        return;
    // A spring under way stops where it is: the next one starts from there.
    m_motion->cancel();
    m_moves.clear();
    for (const QPointer<QWidget> &ghost : std::as_const(m_ghosts))
        delete ghost.data();
    m_ghosts.clear();
    Before before;
    const QWidget *viewport = m_area.viewport();
    before.seen = QRectF(QPointF(m_area.horizontalScrollBar()->value(), m_area.verticalScrollBar()->value()),
                         QSizeF(viewport->size()));
    for (auto it = m_cells.constBegin(); it != m_cells.constEnd(); ++it)
        before.cells.append({it.key(), it.value(), it.value()->geometry()});
    m_before = std::move(before);
    QMetaObject::invokeMethod(this, &LazyItemList::springFromBefore, Qt::QueuedConnection);
}

void LazyItemList::springFromBefore()
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
        } else if (QRectF(was.frame).intersects(before.seen)) {
            // A removed row that was in sight leaves a fading picture behind.
            auto *ghost = new QLabel(this);
            ghost->setPixmap(stillPicture(*was.cell));
            ghost->setGeometry(was.frame);
            ghost->setGraphicsEffect(new QGraphicsOpacityEffect(ghost));
            ghost->show();
            m_ghosts.append(ghost);
        }
    }
    if (m_moves.isEmpty() && m_ghosts.isEmpty())
        return;
    m_motion->start(
        0, 1, springSettlingTime(m_springResponse, m_springDamping),
        Animation::spring(m_springResponse, m_springDamping),
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

QString LazyItemList::keyAt(int row) const
{
    return m_model.data(m_model.index(row, 0), m_keyRole).toString();
}

void LazyItemList::dropCell(const QString &key)
{
    QWidget *cell = m_cells.take(key);
    if (!cell)
        return;
    cell->hide();
    cell->deleteLater();
}

void LazyItemList::measureLines()
{
    const int count = m_model.rowCount();
    if (m_breadth != m_measuredBreadth)
        m_lengths.clear();
    QHash<QString, double> lengths;
    lengths.reserve(count);
    m_starts.assign(size_t(count) + 1, m_metrics.padding);
    for (int row = 0; row < count; ++row) {
        const QString key = keyAt(row);
        const auto known = m_lengths.constFind(key);
        const double length = known != m_lengths.cend() ? *known : m_metrics.measure(row, m_breadth);
        lengths.insert(key, length);
        m_starts[size_t(row) + 1] = m_starts[size_t(row)] + length + m_metrics.spacing;
    }
    // Only the rows still there stay remembered.
    m_lengths.swap(lengths);
    m_measuredBreadth = m_breadth;
    m_linesDirty = false;
}

double LazyItemList::lineStart(int line) const
{
    if (m_metrics.measure)
        return m_starts.at(size_t(line));
    return m_metrics.padding + line * (m_metrics.cellLength + m_metrics.spacing);
}

double LazyItemList::lineLength(int line) const
{
    if (m_metrics.measure)
        return m_starts.at(size_t(line) + 1) - m_starts.at(size_t(line)) - m_metrics.spacing;
    return m_metrics.cellLength;
}

QRectF LazyItemList::cellFrame(int row) const
{
    const int line = row / m_columns;
    const int column = row % m_columns;
    const bool vertical = m_metrics.orientation == Qt::Vertical;
    const double pitch = m_breadth + m_metrics.columnSpacing;
    double across = m_metrics.padding + column * pitch;
    if (m_metrics.cellBreadth > 0) {
        const double group = m_columns * pitch - m_metrics.columnSpacing;
        across = ((vertical ? width() : height()) - group) / 2 + column * pitch;
    }
    const double along = lineStart(line);
    const double length = lineLength(line);
    return vertical ? QRectF(across, along, m_breadth, length) : QRectF(along, across, length, m_breadth);
}

void LazyItemList::relayout()
{
    // Hidden, the viewport's size is not final yet; showing lays out again.
    if (m_layingOut || !isVisible())
        return;
    // A scroll or resize while cells move: they jump to where they were going.
    if (isAnimating())
        finishMotion();
    m_layingOut = true;
    const bool vertical = m_metrics.orientation == Qt::Vertical;
    const QWidget *viewport = m_area.viewport();
    const int across = m_metrics.sizesItself ? (vertical ? viewport->width() : viewport->height())
                                             : (vertical ? width() : height());
    const double inner = std::max(0.0, across - 2 * m_metrics.padding);
    m_columns = m_metrics.columns && !m_metrics.measure ? std::max(1, m_metrics.columns(inner)) : 1;
    m_breadth = m_metrics.cellBreadth > 0
                    ? m_metrics.cellBreadth
                    : std::max(0.0, (inner - (m_columns - 1) * m_metrics.columnSpacing) / m_columns);
    const int count = m_model.rowCount();
    const int lines = (count + m_columns - 1) / m_columns;
    if (m_metrics.measure && (m_linesDirty || m_breadth != m_measuredBreadth))
        measureLines();
    m_contentLength = lines == 0 ? 0 : lineStart(lines - 1) + lineLength(lines - 1) + m_metrics.padding;
    if (m_metrics.sizesItself) {
        const int length = int(std::ceil(m_contentLength));
        resize(vertical ? QSize(across, length) : QSize(length, across));
    }

    // One screen before and one after stay built, so a short scroll finds its cells ready.
    const QScrollBar *bar = vertical ? m_area.verticalScrollBar() : m_area.horizontalScrollBar();
    const double view = vertical ? viewport->height() : viewport->width();
    const double low = bar->value() - view;
    const double high = bar->value() + 2 * view;
    int firstLine = 0;
    int lastLine = -1;
    if (m_metrics.measure) {
        const auto begin = m_starts.cbegin();
        const auto end = begin + lines;
        firstLine = std::max(0, int(std::upper_bound(begin, end, low) - begin) - 1);
        lastLine = int(std::lower_bound(begin, end, high) - begin) - 1;
    } else if (lines > 0) {
        const double pitch = m_metrics.cellLength + m_metrics.spacing;
        firstLine = std::max(0, int(std::floor((low - m_metrics.padding) / pitch)));
        lastLine = std::min(lines - 1, int(std::floor((high - m_metrics.padding) / pitch)));
    }
    m_first = firstLine * m_columns;
    m_last = std::min(count - 1, (lastLine + 1) * m_columns - 1);

    QHash<QString, QWidget *> kept;
    for (int row = m_first; row <= m_last; ++row) {
        const QString key = keyAt(row);
        QWidget *cell = m_cells.take(key);
        if (!cell) {
            cell = m_make(row, this);
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
    m_cells.swap(kept);
    m_layingOut = false;
    emit laidOut();
}

QList<QWidget *> LazyItemList::builtCells() const
{
    QList<QWidget *> cells;
    for (int row = m_first; row <= m_last && row < m_model.rowCount(); ++row) {
        if (QWidget *cell = m_cells.value(keyAt(row)))
            cells.append(cell);
    }
    return cells;
}

QWidget *LazyItemList::cellAt(int row) const
{
    return m_cells.value(keyAt(row));
}

void LazyItemList::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    relayout();
}

void LazyItemList::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    // No spring plays unseen.
    m_before.reset();
    finishMotion();
}

void LazyItemList::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    relayout();
}

bool LazyItemList::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_area.viewport() && event->type() == QEvent::Resize)
        relayout();
    return QWidget::eventFilter(watched, event);
}

} // namespace qv
