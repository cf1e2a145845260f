#include "shelf/shelflistmodel.h"

#include "shelf/fileshelfmanager.h"

namespace qv {

ShelfListModel::ShelfListModel(FileShelfManager &manager, QObject *parent) : KeyedListModel(parent)
{
    setItems(manager.items());
    connect(&manager, &FileShelfManager::itemsChanged, this, [this, &manager] { setItems(manager.items()); });
}

QVariant ShelfListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    const ShelfItem &item = itemAt(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case DisplayNameRole:
        return item.customName.value_or(item.url.fileName());
    case Qt::DecorationRole:
    case ThumbnailRole:
        return item.thumbnail.image();
    case IdRole:
        return item.id;
    case URLRole:
        return item.url;
    case TypeRole:
        return item.type;
    case DateRole:
        return item.date;
    case OriginalWebURLRole:
        return item.originalWebURL ? QVariant(*item.originalWebURL) : QVariant();
    case IsWebFetchedRole:
        return item.isWebFetched;
    case IsPinnedRole:
        return item.isPinned;
    default:
        return QVariant();
    }
}

QHash<int, QByteArray> ShelfListModel::roleNames() const
{
    return {{IdRole, "id"},
            {URLRole, "url"},
            {TypeRole, "type"},
            {ThumbnailRole, "thumbnail"},
            {DateRole, "date"},
            {OriginalWebURLRole, "originalWebURL"},
            {DisplayNameRole, "displayName"},
            {IsWebFetchedRole, "isWebFetched"},
            {IsPinnedRole, "isPinned"}};
}

} // namespace qv
