#include "windows/windowlistmodel.h"

#include "windows/windowengine.h"

namespace qv {

WindowListModel::WindowListModel(WindowEngine &engine, QObject *parent) : KeyedListModel(parent)
{
    setItems(engine.windows());
    connect(&engine, &WindowEngine::windowsChanged, this, [this, &engine] { setItems(engine.windows()); });
}

void WindowListModel::updateKeepingOrder(const QList<AppWindowModel> &windows)
{
    QHash<qint64, const AppWindowModel *> published;
    for (const AppWindowModel &window : windows)
        published.insert(window.id, &window);
    QList<AppWindowModel> ordered;
    ordered.reserve(windows.size());
    for (const AppWindowModel &listed : items()) {
        if (const AppWindowModel *window = published.take(listed.id))
            ordered.append(*window);
    }
    for (const AppWindowModel &window : windows) {
        if (published.contains(window.id))
            ordered.append(window);
    }
    setItems(ordered);
}

bool WindowListModel::sameContent(const AppWindowModel &a, const AppWindowModel &b) const
{
    // Pictures are compared by identity: a snapshot taken anew is a change even when it looks alike.
    return a == b && a.title == b.title && a.appName == b.appName && a.isMinimized == b.isMinimized &&
           a.rect == b.rect && a.bundleIdentifier == b.bundleIdentifier && a.ownerPID == b.ownerPID &&
           a.image.cacheKey() == b.image.cacheKey() && a.appIcon.cacheKey() == b.appIcon.cacheKey();
}

QVariant WindowListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    const AppWindowModel &window = itemAt(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case TitleRole:
        return window.title;
    case Qt::DecorationRole:
    case ImageRole:
        return window.image;
    case WindowIdRole:
        return window.id;
    case AppNameRole:
        return window.appName;
    case AppIconRole:
        return window.appIcon;
    case BundleIdentifierRole:
        return window.bundleIdentifier;
    case OwnerPIDRole:
        return window.ownerPID;
    case FrameRole:
        return window.rect;
    case IsMinimizedRole:
        return window.isMinimized;
    case SnapshotTimeRole:
        return window.snapshotTime;
    default:
        return QVariant();
    }
}

QHash<int, QByteArray> WindowListModel::roleNames() const
{
    return {{WindowIdRole, "windowId"},
            {AppNameRole, "appName"},
            {TitleRole, "title"},
            {ImageRole, "image"},
            {AppIconRole, "appIcon"},
            {BundleIdentifierRole, "bundleIdentifier"},
            {OwnerPIDRole, "ownerPID"},
            {FrameRole, "frame"},
            {IsMinimizedRole, "isMinimized"},
            {SnapshotTimeRole, "snapshotTime"}};
}

} // namespace qv
