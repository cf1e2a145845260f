#pragma once

#include <QUuid>

#include "core/keyedlistmodel.h"
#include "shelf/shelfitem.h"

namespace qv {

class FileShelfManager;

// The shelf as rows, newest first, one per item id. A row changes only when what it shows changed,
// so a tile keeps its widget when its thumbnail or title arrives. Main thread.
class ShelfListModel : public KeyedListModel<ShelfItem, QUuid>
{
    Q_OBJECT
public:
    enum Role {
        IdRole = Qt::UserRole + 1,
        URLRole,
        TypeRole,
        ThumbnailRole,
        DateRole,
        OriginalWebURLRole,
        // The page title of a link, else the file's name.
        DisplayNameRole,
        IsWebFetchedRole,
        IsPinnedRole,
    };

    // Follows `manager`, which must outlive the model.
    explicit ShelfListModel(FileShelfManager &manager, QObject *parent = nullptr);

    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

protected:
    QUuid keyOf(const ShelfItem &item) const override { return item.id; }
    bool sameContent(const ShelfItem &a, const ShelfItem &b) const override { return a == b; }
};

} // namespace qv
