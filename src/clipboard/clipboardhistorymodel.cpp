#include "clipboard/clipboardhistorymodel.h"

#include "clipboard/clipboardmanager.h"

namespace qv {

ClipboardHistoryModel::ClipboardHistoryModel(ClipboardManager &manager, QObject *parent)
    : KeyedListModel(parent)
{
    setItems(manager.history());
    connect(&manager, &ClipboardManager::historyChanged, this,
            [this, &manager] { setItems(manager.history()); });
}

bool ClipboardHistoryModel::sameContent(const ClipboardItem &a, const ClipboardItem &b) const
{
    return a.text == b.text && a.rawText == b.rawText && a.date == b.date && a.isImage == b.isImage &&
           a.imageURL == b.imageURL && a.imageSize == b.imageSize && a.deviceSource == b.deviceSource &&
           a.isSensitive == b.isSensitive && a.thumbnail.cacheKey() == b.thumbnail.cacheKey();
}

QVariant ClipboardHistoryModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    const ClipboardItem &item = itemAt(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case TextRole:
        return item.text;
    case Qt::DecorationRole:
    case ThumbnailRole:
        return item.thumbnail.image();
    case IdRole:
        return item.id;
    case DateRole:
        return item.date;
    case IsImageRole:
        return item.isImage;
    case ImageURLRole:
        return item.imageURL;
    case ImageSizeRole:
        return item.imageSize ? QVariant(*item.imageSize) : QVariant();
    case DeviceSourceRole:
        return item.deviceSource;
    case IsSensitiveRole:
        return item.isSensitive;
    default:
        return QVariant();
    }
}

QHash<int, QByteArray> ClipboardHistoryModel::roleNames() const
{
    return {{IdRole, "id"},
            {TextRole, "text"},
            {DateRole, "date"},
            {IsImageRole, "isImage"},
            {ImageURLRole, "imageURL"},
            {ThumbnailRole, "thumbnail"},
            {ImageSizeRole, "imageSize"},
            {DeviceSourceRole, "deviceSource"},
            {IsSensitiveRole, "isSensitive"}};
}

} // namespace qv
