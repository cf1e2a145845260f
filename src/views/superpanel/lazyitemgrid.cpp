#include "views/superpanel/lazyitemgrid.h"

#include <QAbstractItemModel>
#include <QLinearGradient>
#include <QPainter>
#include <QPaintEvent>
#include <QScrollBar>

#include <algorithm>
#include <cmath>

#include "core/color.h"
#include "views/items/lazyitemlist.h"
#include "views/superpanel/columnrules.h"

namespace qv {

LazyItemGrid::LazyItemGrid(QAbstractItemModel &model, int keyRole, Metrics metrics, Make make,
                           QWidget *parent)
    : QScrollArea(parent), m_model(model), m_metrics(metrics)
{
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setWidgetResizable(false);
    setAttribute(Qt::WA_TranslucentBackground);
    viewport()->setAutoFillBackground(false);

    LazyItemList::Metrics list;
    list.cellLength = metrics.cellHeight;
    list.spacing = metrics.rowSpacing;
    list.columnSpacing = metrics.spacing;
    list.padding = metrics.padding;
    if (metrics.minCellWidth > 0) {
        list.columns = [minWidth = metrics.minCellWidth, spacing = metrics.spacing](double inner) {
            return ColumnRules::adaptiveColumns(inner, minWidth, spacing);
        };
    }
    m_list = new LazyItemList(model, keyRole, std::move(list), std::move(make), *this);
    if (metrics.separators) {
        m_list->installEventFilter(this);
        connect(m_list, &LazyItemList::laidOut, m_list, qOverload<>(&QWidget::update));
    }
}

void LazyItemGrid::animateChanges(Scheduler &scheduler)
{
    m_list->animateChanges(scheduler, ColumnRules::springResponse, ColumnRules::springDamping);
}

bool LazyItemGrid::isAnimating() const
{
    return m_list->isAnimating();
}

void LazyItemGrid::setOnPlaced(std::function<void(QWidget *)> onPlaced)
{
    m_list->setOnPlaced(std::move(onPlaced));
}

int LazyItemGrid::columns() const
{
    return m_list->columns();
}

QRectF LazyItemGrid::cellFrame(int row) const
{
    return m_list->cellFrame(row);
}

int LazyItemGrid::separatorCount() const
{
    return m_metrics.separators ? std::max(0, m_model.rowCount() - 1) : 0;
}

QList<QWidget *> LazyItemGrid::builtCells() const
{
    return m_list->builtCells();
}

QWidget *LazyItemGrid::cellAt(int row) const
{
    return m_list->cellAt(row);
}

bool LazyItemGrid::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_list && event->type() == QEvent::Paint && m_metrics.separators) {
        QPainter painter(m_list);
        const QRect dirty = static_cast<QPaintEvent *>(event)->rect();
        // Only the rows of the repainted band: a long history paints what is on screen.
        const double pitch = m_metrics.cellHeight + m_metrics.rowSpacing;
        const int columns = m_list->columns();
        const int first = std::max(0, int((dirty.top() - m_metrics.padding) / pitch) - 1) * columns;
        const int last =
            std::min(separatorCount() - 1,
                     (int((dirty.bottom() - m_metrics.padding) / pitch) + 1) * columns + columns - 1);
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
