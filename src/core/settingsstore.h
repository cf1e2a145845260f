#pragma once

#include <QObject>
#include <QReadWriteLock>
#include <QVariantMap>

#include "core/settingskeys.h"

namespace qv {

// The application's user defaults: a flat map of key to value, persisted atomically as one JSON
// object. Values stored are distinct from registered defaults (contains() only sees stored ones).
//
// Reads are safe from any thread. Writes happen on the main thread; every write that changes what is
// stored emits changed() synchronously, before the call returns, and is on disk when it returns
// (storing the value already stored does neither). A file that cannot be parsed, or is too large, is moved
// aside (never deleted) and the store starts empty. A link at the file's name (a dotfiles layout) is
// read through when it leads to a regular file, and written through: the file it leads to is
// replaced atomically in its own folder, and the link stays. A special file in its place (or a link
// to one or to nothing), a file we may not read, or a linked file that cannot be parsed, is left as
// it is and never written over. Nothing is written that the reader would refuse: past maxFileBytes
// indented, the file is written compact, and a change that does not fit even so is not made. A
// change that cannot be written is not made: the stored value stays in force and writeFailed() is
// emitted; a warning tells the cause, once until the cause changes or a write succeeds.
class SettingsStore : public QObject
{
    Q_OBJECT
public:
    // filePath empty: memory only (tests).
    explicit SettingsStore(const QString &filePath = QString(), QObject *parent = nullptr);

    // "Quorvantis/defaults.json" in the XDG config folder.
    static QString defaultFilePath();

    QString filePath() const { return m_filePath; }
    // Where an unreadable file was moved on load; empty when the file was fine or absent.
    QString quarantinedPath() const { return m_quarantinedPath; }

    void registerDefaults(const QVariantMap &defaults);
    bool contains(const QString &key) const;
    // Stored value, else registered default, else an invalid QVariant.
    QVariant value(const QString &key) const;
    // False when the change could not be written (and so was not made).
    bool setValue(const QString &key, const QVariant &value);
    bool remove(const QString &key);
    QVariantMap storedValues() const;

    template <typename T> T get(const SettingKey<T> &key) const
    {
        const QVariant v = value(key.key());
        if (!v.isValid())
            return key.defaultValue;
        return convert<T>(v, key.defaultValue);
    }
    template <typename T> bool set(const SettingKey<T> &key, const T &v)
    {
        return setValue(key.key(), QVariant::fromValue(v));
    }
    template <typename T> bool contains(const SettingKey<T> &key) const { return contains(key.key()); }

    // The largest settings file read; a larger one counts as damaged.
    static constexpr qint64 maxFileBytes = 4 * 1024 * 1024;

signals:
    void changed(const QString &key);
    // A change of `key` could not be written; the stored value stays in force.
    void writeFailed(const QString &key);

private:
    template <typename T> static T convert(const QVariant &v, const T &fallback);
    void load();
    bool save(const QVariantMap &values);
    // Tells why a write was refused (unless that was told last) and answers false.
    bool refuseWrite(const QString &cause);
    bool commit(const QString &key, QVariantMap values);

    QString m_filePath;
    QString m_quarantinedPath;
    // The file could not be read: it is neither moved aside nor written over.
    bool m_leftAlone = false;
    // The cause of the last refused write that was told; empty after a write went through.
    QString m_toldWriteProblem;
    mutable QReadWriteLock m_lock;
    QVariantMap m_values;
    QVariantMap m_registered;
};

template <> bool SettingsStore::convert<bool>(const QVariant &v, const bool &fallback);
template <> int SettingsStore::convert<int>(const QVariant &v, const int &fallback);
template <> double SettingsStore::convert<double>(const QVariant &v, const double &fallback);
template <> QString SettingsStore::convert<QString>(const QVariant &v, const QString &fallback);
template <> QStringList SettingsStore::convert<QStringList>(const QVariant &v, const QStringList &fallback);
template <> QVariantMap SettingsStore::convert<QVariantMap>(const QVariant &v, const QVariantMap &fallback);

} // namespace qv
