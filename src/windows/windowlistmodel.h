#pragma once

#include "core/keyedlistmodel.h"
#include "windows/appwindowmodel.h"

namespace qv {

class WindowEngine;

// The window engine's published windows as rows, one per window id, in the engine's order. Follows
// every publication; a row changes only when what it shows changed (snapshot, title, name, icon,
// frame, minimised state), so republishing the same list touches nothing. Main thread.
class WindowListModel : public KeyedListModel<AppWindowModel, qint64>
{
    Q_OBJECT
public:
    enum Role {
        WindowIdRole = Qt::UserRole + 1,
        AppNameRole,
        TitleRole,
        ImageRole,
        AppIconRole,
        BundleIdentifierRole,
        OwnerPIDRole,
        FrameRole,
        IsMinimizedRole,
        SnapshotTimeRole,
    };

    // Follows `engine`, which must outlive the model.
    explicit WindowListModel(WindowEngine &engine, QObject *parent = nullptr);
    // Follows nobody; its owner hands it each list with setWindows() (the bubble shows a published
    // list only while it belongs to the hovered application).
    explicit WindowListModel(QObject *parent = nullptr) : KeyedListModel(parent) {}

    void setWindows(const QList<AppWindowModel> &windows) { setItems(windows); }
    // Takes `windows` while the rows already listed keep their places: a card under the pointer
    // stays where it is when a later list orders the same windows otherwise. Windows not listed yet
    // follow in the given order; gone ones are removed.
    void updateKeepingOrder(const QList<AppWindowModel> &windows);

    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

protected:
    qint64 keyOf(const AppWindowModel &window) const override { return window.id; }
    bool sameContent(const AppWindowModel &a, const AppWindowModel &b) const override;
};

} // namespace qv
