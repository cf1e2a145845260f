#pragma once

#include <QUuid>

#include "clipboard/clipboarditem.h"
#include "core/keyedlistmodel.h"

namespace qv {

class ClipboardManager;

// The clipboard history as rows, newest first, one per item id. Follows every change of the
// history; an item's row changes only when what it shows changed. Main thread.
class ClipboardHistoryModel : public KeyedListModel<ClipboardItem, QUuid>
{
    Q_OBJECT
public:
    enum Role {
        IdRole = Qt::UserRole + 1,
        TextRole,
        DateRole,
        IsImageRole,
        ImageURLRole,
        ThumbnailRole,
        ImageSizeRole,
        DeviceSourceRole,
        IsSensitiveRole,
    };

    // Follows `manager`, which must outlive the model.
    explicit ClipboardHistoryModel(ClipboardManager &manager, QObject *parent = nullptr);

    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

protected:
    QUuid keyOf(const ClipboardItem &item) const override { return item.id; }
    bool sameContent(const ClipboardItem &a, const ClipboardItem &b) const override;
};

} // namespace qv
