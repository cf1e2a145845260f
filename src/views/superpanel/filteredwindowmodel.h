#pragma once

#include <QSortFilterProxyModel>
#include <QString>

#include <optional>

#include "windows/appwindowmodel.h"

namespace qv {

class WindowListModel;

// The Super Panel grid's rows: the window list model's rows, in the engine's order, kept by the
// application filter and the search text. Rows come and go by identity as the source publishes,
// so a card follows its row; a new snapshot of a listed window changes its row in place. The
// source must outlive the model. Main thread.
class FilteredWindowModel : public QSortFilterProxyModel
{
    Q_OBJECT
public:
    explicit FilteredWindowModel(WindowListModel &source, QObject *parent = nullptr);

    void setAppFilter(const std::optional<QString> &appFilter);
    void setSearchText(const QString &searchText);

    const AppWindowModel &windowAt(int row) const;
    QList<AppWindowModel> windows() const;
    WindowListModel &sourceWindows() const { return m_source; }

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;

private:
    WindowListModel &m_source;
    std::optional<QString> m_appFilter;
    QString m_searchText;
};

} // namespace qv
