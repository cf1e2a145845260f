#include "core/settingsstore.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QSaveFile>
#include <QStandardPaths>

#include "platform/ownedfiles.h"

namespace qv {

Q_LOGGING_CATEGORY(lcSettings, "quorvantis.settings")

SettingsStore::SettingsStore(const QString &filePath, QObject *parent) : QObject(parent), m_filePath(filePath)
{
    load();
}

QString SettingsStore::defaultFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Quorvantis/defaults.json");
}

namespace {

// Where a write of `path` lands: the file itself, or the regular file a link at its name leads to
// (a settings file linked into a dotfiles folder). Empty, with `problem` set, when there is nothing
// we may write: a special file, or a link to one or to nothing.
QString writableTarget(const QString &path, QString *problem)
{
    const QFileInfo name(path);
    if (name.isSymLink()) {
        const QString target = name.canonicalFilePath();
        if (target.isEmpty() || !QFileInfo(target).isFile()) {
            *problem = QStringLiteral("it is a link to no regular file");
            return QString();
        }
        return target;
    }
    if (name.exists() && !name.isFile()) {
        *problem = QStringLiteral("it is not a regular file");
        return QString();
    }
    return path;
}

} // namespace

void SettingsStore::load()
{
    if (m_filePath.isEmpty())
        return;
    // Opened without blocking and read within a bound: a pipe or a device in the file's place
    // (or a link to one) cannot hold the start up or fill the memory. A link to a regular file is
    // the user's layout and is read through.
    const bool linked = QFileInfo(m_filePath).isSymLink();
    const auto read = OwnedFiles::readRegularFile(m_filePath, maxFileBytes, OwnedFiles::Links::Follow);
    if (read.problem == OwnedFiles::ReadResult::Absent && !linked)
        return;
    QString problem = read.problem == OwnedFiles::ReadResult::Absent
                          ? QStringLiteral("it is a link to nothing")
                          : read.description;
    QJsonDocument doc;
    if (read.problem == OwnedFiles::ReadResult::None) {
        QJsonParseError error{};
        doc = QJsonDocument::fromJson(read.bytes, &error);
        if (error.error != QJsonParseError::NoError)
            problem = error.errorString();
        else if (!doc.isObject())
            problem = QStringLiteral("not a JSON object");
    }
    if (problem.isEmpty()) {
        m_values = doc.object().toVariantMap();
        return;
    }
    if (read.problem == OwnedFiles::ReadResult::Unreadable ||
        (linked && read.problem != OwnedFiles::ReadResult::NotRegular)) {
        // We may not read it (its mode, say), or it is the user's file elsewhere, reached through a
        // link: nothing of ours to move aside, so it stays as it is and is not written over with
        // defaults either.
        m_leftAlone = true;
        qCWarning(lcSettings).noquote() << "⚠️ Settings file" << m_filePath << "cannot be read (" << problem
                                        << "); it is left as it is, defaults apply and changes are not saved";
        return;
    }
    if (read.problem == OwnedFiles::ReadResult::NotRegular) {
        // Not a file of ours: left exactly as it is, and never written over.
        qCWarning(lcSettings).noquote() << "⚠️ Settings file" << m_filePath << "is not used (" << problem
                                        << "); defaults apply and changes are not saved";
        return;
    }
    // Keep the unreadable file for the user: move it aside and start on defaults.
    // A rename never replaces an existing file, so an earlier file set aside in the same second
    // would make it fail and leave this one to be overwritten by the next write.
    const QString stem = m_filePath + QStringLiteral(".corrupt-") +
                         QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString aside = stem;
    for (int n = 2; QFileInfo::exists(aside) || QFileInfo(aside).isSymLink(); ++n)
        aside = stem + QLatin1Char('-') + QString::number(n);
    if (OwnedFiles::renameRegularFile(m_filePath, aside))
        m_quarantinedPath = aside;
    qCWarning(lcSettings).noquote() << "⚠️ Settings file" << m_filePath << "could not be read ("
                                    << problem << "); it was moved to"
                                    << (m_quarantinedPath.isEmpty() ? "nowhere" : aside)
                                    << "and defaults apply";
}

bool SettingsStore::refuseWrite(const QString &cause)
{
    // A toggle dragged back and forth is refused at every step: the cause is told once, and again
    // only once it has changed or a write went through in between.
    if (cause != m_toldWriteProblem) {
        m_toldWriteProblem = cause;
        qCWarning(lcSettings).noquote()
            << "⚠️ Settings could not be written to" << m_filePath << ":" << cause;
    }
    return false;
}

bool SettingsStore::save(const QVariantMap &values)
{
    if (m_filePath.isEmpty())
        return true;
    QDir().mkpath(QFileInfo(m_filePath).absolutePath());
    // A special file in the file's place is the user's: never replaced. A link is kept as it is and
    // written through, to the file it leads to.
    QString problem;
    const QString target = writableTarget(m_filePath, &problem);
    if (target.isEmpty())
        return refuseWrite(problem);
    if (m_leftAlone)
        return refuseWrite(QStringLiteral("it cannot be read, so it is left as it is"));
    // Never a file the reader would refuse at the next start: indented while that fits the bound,
    // else compact, else not at all.
    const QJsonDocument document(QJsonObject::fromVariantMap(values));
    QByteArray bytes = document.toJson(QJsonDocument::Indented);
    if (bytes.size() > maxFileBytes)
        bytes = document.toJson(QJsonDocument::Compact);
    if (bytes.size() > maxFileBytes)
        return refuseWrite(QStringLiteral("the settings are past the bound of %1 bytes").arg(maxFileBytes));
    // Written beside the target and renamed over it: atomic in the target's own folder.
    // The bytes are flushed and checked before the commit: a commit after a failed buffered write
    // (a full disk, a file size limit) renamed the cut file into place, reported it saved, and the
    // next start set it aside as damaged with every setting in it.
    QSaveFile file(target);
    if (file.open(QIODevice::WriteOnly)) {
        if (file.write(bytes) == bytes.size() && file.flush() && file.commit()) {
            m_toldWriteProblem.clear();
            return true;
        }
    }
    return refuseWrite(file.errorString());
}

void SettingsStore::registerDefaults(const QVariantMap &defaults)
{
    QWriteLocker lock(&m_lock);
    for (auto it = defaults.begin(); it != defaults.end(); ++it)
        m_registered.insert(it.key(), it.value());
}

bool SettingsStore::contains(const QString &key) const
{
    QReadLocker lock(&m_lock);
    return m_values.contains(key);
}

QVariant SettingsStore::value(const QString &key) const
{
    QReadLocker lock(&m_lock);
    auto it = m_values.constFind(key);
    if (it != m_values.constEnd())
        return *it;
    return m_registered.value(key);
}

QVariantMap SettingsStore::storedValues() const
{
    QReadLocker lock(&m_lock);
    return m_values;
}

bool SettingsStore::setValue(const QString &key, const QVariant &value)
{
    QVariantMap next;
    {
        QReadLocker lock(&m_lock);
        const auto it = m_values.constFind(key);
        // Storing what is stored already changes nothing: no write, no signal.
        if (it != m_values.constEnd() && it->typeId() == value.typeId() && *it == value)
            return true;
        next = m_values;
    }
    next.insert(key, value);
    return commit(key, std::move(next));
}

bool SettingsStore::remove(const QString &key)
{
    QVariantMap next;
    {
        QReadLocker lock(&m_lock);
        if (!m_values.contains(key))
            return true;
        next = m_values;
    }
    next.remove(key);
    return commit(key, std::move(next));
}

bool SettingsStore::commit(const QString &key, QVariantMap values)
{
    // What is in force is what is on disk: a change that could not be written is not made.
    if (!save(values)) {
        emit writeFailed(key);
        return false;
    }
    {
        QWriteLocker lock(&m_lock);
        m_values = std::move(values);
    }
    emit changed(key);
    return true;
}

// A stored value of the wrong kind reads as the key's default, as a typed reader would see it.
template <> bool SettingsStore::convert<bool>(const QVariant &v, const bool &fallback)
{
    switch (v.typeId()) {
    case QMetaType::Bool:
        return v.toBool();
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::Double:
        return v.toDouble() != 0.0;
    case QMetaType::QString: {
        const QString s = v.toString().trimmed().toLower();
        if (s == QLatin1String("true") || s == QLatin1String("yes") || s == QLatin1String("1"))
            return true;
        if (s == QLatin1String("false") || s == QLatin1String("no") || s == QLatin1String("0"))
            return false;
        return fallback;
    }
    default:
        return fallback;
    }
}

template <> int SettingsStore::convert<int>(const QVariant &v, const int &fallback)
{
    bool ok = false;
    const double d = v.typeId() == QMetaType::Bool ? double(v.toBool()) : v.toDouble(&ok);
    if (v.typeId() != QMetaType::Bool && !ok)
        return fallback;
    if (d > 2147483647.0 || d < -2147483648.0)
        return fallback;
    return int(d);
}

template <> double SettingsStore::convert<double>(const QVariant &v, const double &fallback)
{
    if (v.typeId() == QMetaType::Bool)
        return v.toBool() ? 1.0 : 0.0;
    bool ok = false;
    const double d = v.toDouble(&ok);
    return ok ? d : fallback;
}

template <> QString SettingsStore::convert<QString>(const QVariant &v, const QString &fallback)
{
    if (v.typeId() == QMetaType::QString)
        return v.toString();
    if (v.typeId() == QMetaType::Int || v.typeId() == QMetaType::LongLong || v.typeId() == QMetaType::Double)
        return v.toString();
    return fallback;
}

template <> QStringList SettingsStore::convert<QStringList>(const QVariant &v, const QStringList &fallback)
{
    if (v.typeId() == QMetaType::QStringList || v.typeId() == QMetaType::QVariantList)
        return v.toStringList();
    return fallback;
}

template <> QVariantMap SettingsStore::convert<QVariantMap>(const QVariant &v, const QVariantMap &fallback)
{
    if (v.typeId() == QMetaType::QVariantMap)
        return v.toMap();
    return fallback;
}

} // namespace qv
