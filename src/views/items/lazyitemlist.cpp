#include "views/items/lazyitemlist.h"

#include <QAbstractItemModel>
#include <QEvent>
#include <QScrollArea>
#include <QScrollBar>

#include <algorithm>
#include <cmath>

namespace qv {

LazyItemList::LazyItemList(QAbstractItemModel &model, int keyRole, Metrics metrics, Make make, QScrollArea &area)
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
    connect(area.verticalScrollBar(), &QScrollBar::valueChanged, this, &LazyItemList::relayout);
    connect(area.horizontalScrollBar(), &QScrollBar::valueChanged, this, &LazyItemList::relayout);
    connect(&model, &QAbstractItemModel::rowsInserted, this, rowsChanged);
    connect(&model, &QAbstractItemModel::rowsRemoved, this, rowsChanged);
    connect(&model, &QAbstractItemModel::rowsMoved, this, rowsChanged);
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
