#include "platform/x11/x11desktopentries.h"

#include <QDir>
#include <QDirIterator>
#include <QList>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QMutexLocker>
#include <QStandardPaths>

#include "platform/icontheme.h"
#include "platform/imagedecoding.h"
#include "platform/ownedfiles.h"
#include "platform/x11/x11clientreader.h"

namespace qv {

namespace {

QStringList defaultDataDirs()
{
    QStringList dirs;
    const QString home =
        qEnvironmentVariable("XDG_DATA_HOME", QDir::homePath() + QStringLiteral("/.local/share"));
    dirs.append(home);
    const QString system = qEnvironmentVariable("XDG_DATA_DIRS");
    const QStringList systemDirs =
        system.isEmpty() ? QStringList{QStringLiteral("/usr/local/share"), QStringLiteral("/usr/share")}
                         : system.split(u':', Qt::SkipEmptyParts);
    dirs.append(systemDirs);
    return dirs;
}

// The key a desktop file uses for a localised value: Name[de_DE], then Name[de], then Name.
QStringList localisedKeys(const QString &key, const QString &locale)
{
    QStringList keys;
    QString base = locale.section(u'.', 0, 0).section(u'@', 0, 0);
    if (!base.isEmpty() && base != QLatin1String("C")) {
        keys.append(key + u'[' + base + u']');
        if (base.contains(u'_'))
            keys.append(key + u'[' + base.section(u'_', 0, 0) + u']');
    }
    keys.append(key);
    return keys;
}

QString unescape(const QString &value)
{
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] == u'\\' && i + 1 < value.size()) {
            const QChar next = value[++i];
            out += next == u's'   ? QChar(u' ')
                   : next == u'n' ? QChar(u'\n')
                   : next == u't' ? QChar(u'\t')
                                  : next;
        } else {
            out += value[i];
        }
    }
    return out;
}

} // namespace

X11DesktopEntries::X11DesktopEntries(QStringList dataDirs, QString locale)
    : m_dataDirs(dataDirs.isEmpty() ? defaultDataDirs() : std::move(dataDirs)),
      m_locale(locale.isEmpty() ? QLocale().name() : std::move(locale))
{
}

std::optional<X11DesktopEntries::Entry> X11DesktopEntries::parse(const QByteArray &contents,
                                                                 const QString &id, const QString &locale)
{
    QHash<QString, QString> values;
    bool inMain = false;
    bool sawMain = false;
    for (const QByteArray &rawLine : contents.split('\n')) {
        const QString line = QString::fromUtf8(rawLine).trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[')) {
            inMain = line == QLatin1String("[Desktop Entry]");
            sawMain = sawMain || inMain;
            continue;
        }
        if (!inMain)
            continue;
        const qsizetype eq = line.indexOf(u'=');
        if (eq <= 0)
            continue;
        const QString key = line.left(eq).trimmed();
        if (!values.contains(key))
            values.insert(key, unescape(line.mid(eq + 1).trimmed()));
    }
    if (!sawMain || values.value(QStringLiteral("Hidden")) == QLatin1String("true"))
        return std::nullopt;
    if (values.value(QStringLiteral("Type"), QStringLiteral("Application")) != QLatin1String("Application"))
        return std::nullopt;
    Entry entry;
    entry.id = id;
    for (const QString &key : localisedKeys(QStringLiteral("Name"), locale)) {
        entry.name = values.value(key);
        if (!entry.name.isEmpty())
            break;
    }
    entry.icon = values.value(QStringLiteral("Icon"));
    entry.startupWMClass = values.value(QStringLiteral("StartupWMClass"));
    entry.noDisplay = values.value(QStringLiteral("NoDisplay")) == QLatin1String("true");
    return entry;
}

X11DesktopEntries::Catalog X11DesktopEntries::read() const
{
    Catalog catalog;
    int files = 0;
    for (const QString &dataDir : m_dataDirs) {
        const QString base = QDir(dataDir).filePath(QStringLiteral("applications"));
        QDirIterator it(base, {QStringLiteral("*.desktop")}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext() && files < maxEntryFiles) {
            const QString path = it.next();
            // The desktop file id: the path below applications/ with '/' turned into '-'.
            QString id = QDir(base).relativeFilePath(path);
            id.chop(int(strlen(".desktop")));
            id.replace(u'/', u'-');
            if (catalog.entries.contains(id))
                continue;
            ++files;
            // Desktop files are small; a huge one (or a pipe, a device) is not a desktop file.
            const auto contents = OwnedFiles::readRegularFile(path, 1 << 20, OwnedFiles::Links::Follow);
            if (contents.problem != OwnedFiles::ReadResult::None)
                continue;
            const std::optional<Entry> entry = parse(contents.bytes, id, m_locale);
            if (!entry)
                continue;
            catalog.entries.insert(id, *entry);
            catalog.byLowerId.insert(id.toLower(), id);
            if (!entry->startupWMClass.isEmpty() && !catalog.byWMClass.contains(entry->startupWMClass))
                catalog.byWMClass.insert(entry->startupWMClass, id);
        }
    }
    return catalog;
}

void X11DesktopEntries::ensureLoaded()
{
    if (m_loaded)
        return;
    m_loaded = true;
    m_catalog = read();
}

void X11DesktopEntries::refresh()
{
    Catalog fresh = read();
    QMutexLocker lock(&m_mutex);
    m_catalog = std::move(fresh);
    m_loaded = true;
}

std::optional<X11DesktopEntries::Entry> X11DesktopEntries::lookup(const QString &id) const
{
    if (id.isEmpty())
        return std::nullopt;
    auto it = m_catalog.entries.constFind(id);
    if (it == m_catalog.entries.constEnd()) {
        const auto lower = m_catalog.byLowerId.constFind(id.toLower());
        if (lower == m_catalog.byLowerId.constEnd())
            return std::nullopt;
        it = m_catalog.entries.constFind(*lower);
    }
    return *it;
}

QList<X11DesktopEntries::Entry> X11DesktopEntries::entries()
{
    QMutexLocker lock(&m_mutex);
    ensureLoaded();
    return m_catalog.entries.values();
}

std::optional<X11DesktopEntries::Entry> X11DesktopEntries::entry(const QString &id)
{
    QMutexLocker lock(&m_mutex);
    ensureLoaded();
    return lookup(id);
}

X11AppIdentity X11DesktopEntries::identify(const X11Client &client)
{
    QMutexLocker lock(&m_mutex);
    ensureLoaded();
    QString kdeId = QFileInfo(client.kdeDesktopFile).fileName();
    if (kdeId.endsWith(QLatin1String(".desktop")))
        kdeId.chop(int(strlen(".desktop")));
    std::optional<Entry> found = lookup(client.gtkApplicationId);
    if (!found)
        found = lookup(kdeId);
    for (const QString &wmName : {client.wmClass, client.wmInstance}) {
        if (found || wmName.isEmpty())
            continue;
        const auto byClass = m_catalog.byWMClass.constFind(wmName);
        if (byClass != m_catalog.byWMClass.constEnd())
            found = lookup(*byClass);
    }
    if (!found)
        found = lookup(client.wmInstance);
    if (!found)
        found = lookup(client.wmClass);

    const QString fallback = client.wmClass.isEmpty() ? client.wmInstance : client.wmClass;
    if (!found)
        return X11AppIdentity{fallback, fallback, QString(), false};
    return X11AppIdentity{found->id, found->name.isEmpty() ? fallback : found->name, found->icon, true};
}

QImage X11DesktopEntries::iconFor(const QString &id, int size)
{
    const std::optional<Entry> found = entry(id);
    if (!found || found->icon.isEmpty())
        return QImage();
    return iconNamed(found->icon, size);
}

QImage X11DesktopEntries::iconNamed(const QString &name, int size)
{
    if (name.isEmpty())
        return QImage();
    if (QFileInfo(name).isAbsolute()) {
        const QImage image = ImageDecoding::readFile(name, QSize(size, size));
        return image.isNull() ? image : image.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    const QImage themed = themeIconImage(name, size);
    if (!themed.isNull())
        return themed;
    // Older programs install into the pixmaps folders only, some with the size in the name.
    for (const QString &dataDir : m_dataDirs) {
        const QDir pixmaps(QDir(dataDir).filePath(QStringLiteral("pixmaps")));
        QStringList candidates = pixmaps.entryList(
            {name + QStringLiteral(".png"), name + QStringLiteral(".svg"), name + QStringLiteral(".xpm"),
             name + QStringLiteral("_*.xpm"), name + QStringLiteral("_*.png")},
            QDir::Files, QDir::Name | QDir::Reversed);
        for (const QString &candidate : std::as_const(candidates)) {
            const QImage image = ImageDecoding::readFile(pixmaps.filePath(candidate), QSize(size, size));
            if (!image.isNull())
                return image;
        }
    }
    return QImage();
}

} // namespace qv
