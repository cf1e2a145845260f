#include "views/superpanel/filteredwindowmodel.h"

#include "views/superpanel/superpanelrules.h"
#include "windows/windowlistmodel.h"

namespace qv {

FilteredWindowModel::FilteredWindowModel(WindowListModel &source, QObject *parent)
    : QSortFilterProxyModel(parent), m_source(source)
{
    setDynamicSortFilter(true);
    setSourceModel(&source);
}

void FilteredWindowModel::setAppFilter(const std::optional<QString> &appFilter)
{
    if (appFilter == m_appFilter)
        return;
    m_appFilter = appFilter;
    invalidateRowsFilter();
}

void FilteredWindowModel::setSearchText(const QString &searchText)
{
    if (searchText == m_searchText)
        return;
    m_searchText = searchText;
    invalidateRowsFilter();
}

const AppWindowModel &FilteredWindowModel::windowAt(int row) const
{
    return m_source.itemAt(mapToSource(index(row, 0)).row());
}

QList<AppWindowModel> FilteredWindowModel::windows() const
{
    QList<AppWindowModel> list;
    list.reserve(rowCount());
    for (int row = 0; row < rowCount(); ++row)
        list.append(windowAt(row));
    return list;
}

bool FilteredWindowModel::filterAcceptsRow(int sourceRow, const QModelIndex &) const
{
    return SuperPanelRules::isListed(m_source.itemAt(sourceRow), m_appFilter, m_searchText);
}

} // namespace qv
