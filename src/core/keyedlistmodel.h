#pragma once

#include <QAbstractListModel>
#include <QList>
#include <QSet>

#include <functional>

namespace qv {

// A list model over values that carry an identity. setItems() brings the rows in line with a new
// list by identity: rows whose key is gone are removed, new keys are inserted, a key that moved is
// moved, and a row whose content differs is changed. A view therefore keeps the widget of an item
// whose picture was updated, and republishing the same list changes nothing.
//
// Subclasses say what the identity is, when two values show the same content, and what each role
// answers. Main thread.
template <typename T, typename Key> class KeyedListModel : public QAbstractListModel
{
public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : int(m_items.size());
    }

    const QList<T> &items() const { return m_items; }
    // The value at `row`; the row must exist.
    const T &itemAt(int row) const { return m_items.at(row); }

    // The row of the item with this key, or -1.
    int rowOf(const Key &key) const
    {
        for (int row = 0; row < m_items.size(); ++row) {
            if (keyOf(m_items.at(row)) == key)
                return row;
        }
        return -1;
    }

protected:
    virtual Key keyOf(const T &item) const = 0;
    virtual bool sameContent(const T &a, const T &b) const = 0;

    void setItems(const QList<T> &items)
    {
        if (items.isEmpty()) {
            if (!m_items.isEmpty()) {
                beginRemoveRows(QModelIndex(), 0, int(m_items.size()) - 1);
                m_items.clear();
                endRemoveRows();
            }
            return;
        }
        QSet<Key> wanted;
        wanted.reserve(items.size());
        for (const T &item : items)
            wanted.insert(keyOf(item));
        for (int row = int(m_items.size()) - 1; row >= 0; --row) {
            if (!wanted.contains(keyOf(m_items.at(row)))) {
                beginRemoveRows(QModelIndex(), row, row);
                m_items.removeAt(row);
                endRemoveRows();
            }
        }
        // A key listed twice keeps its first place; later copies are dropped.
        if (m_items.isEmpty()) {
            // A list shown afresh (the Super Panel opens on an emptied one) arrives as one insertion,
            // so views and proxies react once, not once per row.
            QList<T> fresh;
            QSet<Key> seen;
            for (const T &item : items) {
                if (!seen.contains(keyOf(item))) {
                    seen.insert(keyOf(item));
                    fresh.append(item);
                }
            }
            if (fresh.isEmpty())
                return;
            beginInsertRows(QModelIndex(), 0, int(fresh.size()) - 1);
            m_items = fresh;
            endInsertRows();
            return;
        }
        int row = 0;
        for (const T &item : items) {
            const int found = rowOf(keyOf(item));
            if (found >= 0 && found < row)
                continue;
            if (found < 0) {
                beginInsertRows(QModelIndex(), row, row);
                m_items.insert(row, item);
                endInsertRows();
            } else {
                if (found != row) {
                    beginMoveRows(QModelIndex(), found, found, QModelIndex(), row);
                    m_items.move(found, row);
                    endMoveRows();
                }
                if (!sameContent(m_items.at(row), item)) {
                    m_items[row] = item;
                    emit dataChanged(index(row), index(row));
                }
            }
            ++row;
        }
    }

private:
    QList<T> m_items;
};

} // namespace qv
