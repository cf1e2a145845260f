#pragma once

#include <QHash>
#include <QImage>
#include <QMutex>
#include <QString>
#include <QStringList>

#include <optional>

namespace qv {

struct X11Client;

// Who an application is on this desktop: the identifier the rest of the program knows it by (it
// keys ignore lists, usage history and snapshot caches, so it must stay the same across runs), the
// name to show, and the icon its desktop entry names.
struct X11AppIdentity
{
    // The desktop entry's id where one matches, else the WM_CLASS class (else its instance).
    QString bundleIdentifier;
    // The entry's localised Name, else the class.
    QString name;
    // The entry's Icon key (a theme name or an absolute path); empty without an entry.
    QString iconName;
    bool hasDesktopEntry = false;
    bool operator==(const X11AppIdentity &) const = default;
};

// The installed desktop entries (applications/*.desktop under the XDG data folders, the earlier
// folder winning for one id), read on first use and again at each refresh(), and matched to client
// windows. Safe from any thread; reading the folders takes a while with hundreds of entries, so
// refresh() belongs off the main thread.
class X11DesktopEntries
{
public:
    struct Entry
    {
        QString id;
        QString name;
        QString icon;
        QString startupWMClass;
        // NoDisplay=true: a helper entry that menus leave out.
        bool noDisplay = false;
    };

    // `dataDirs` empty: $XDG_DATA_HOME and $XDG_DATA_DIRS (with their defaults).
    explicit X11DesktopEntries(QStringList dataDirs = QStringList(), QString locale = QString());

    // Matches the window's hints to an entry, in this order: _GTK_APPLICATION_ID,
    // _KDE_NET_WM_DESKTOP_FILE, an entry whose StartupWMClass is the WM_CLASS class or instance, and
    // the WM_CLASS instance, then class, as an entry id (ignoring case).
    X11AppIdentity identify(const X11Client &client);
    std::optional<Entry> entry(const QString &id);
    // Every entry read, in no particular order.
    QList<Entry> entries();
    // Reads the folders afresh (applications installed or removed since), without holding up the
    // lookups of other threads meanwhile, and matches with what it read from then on.
    void refresh();

    // The most desktop files read; past it the folders hold no more applications for us.
    static constexpr int maxEntryFiles = 10000;
    // The icon of the entry with this id, from the icon theme, a pixmap folder or a path; null when
    // it has none that loads.
    QImage iconFor(const QString &id, int size);
    // An icon by name (a theme name or an absolute path) from the icon theme or a pixmap folder; null
    // when none loads.
    QImage iconNamed(const QString &name, int size);

    // Reads one desktop file; none when it is not an application entry (no [Desktop Entry] group,
    // Hidden, or of another Type).
    static std::optional<Entry> parse(const QByteArray &contents, const QString &id, const QString &locale);

private:
    struct Catalog
    {
        QHash<QString, Entry> entries;
        // Lower-cased id and StartupWMClass to the entry id.
        QHash<QString, QString> byLowerId;
        QHash<QString, QString> byWMClass;
    };
    Catalog read() const;
    void ensureLoaded();
    std::optional<Entry> lookup(const QString &id) const;

    const QStringList m_dataDirs;
    const QString m_locale;
    QMutex m_mutex;
    bool m_loaded = false;
    Catalog m_catalog;
};

} // namespace qv
