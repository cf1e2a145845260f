#include "platform/icontheme.h"

#include <QCoreApplication>
#include <QIcon>
#include <QMimeDatabase>
#include <QPixmapCache>
#include <QStringList>
#include <QThread>

namespace qv {

void ensureIconTheme()
{
    static const bool done = [] {
        QStringList paths = QIcon::themeSearchPaths();
        QString dataDirs = qEnvironmentVariable("XDG_DATA_DIRS");
        if (dataDirs.isEmpty())
            dataDirs = QStringLiteral("/usr/local/share:/usr/share");
        for (const QString &dir : dataDirs.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
            const QString icons = dir + QStringLiteral("/icons");
            if (!paths.contains(icons))
                paths.append(icons);
        }
        QIcon::setThemeSearchPaths(paths);
        if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor"))
            QIcon::setThemeName(QStringLiteral("Adwaita"));
        return true;
    }();
    Q_UNUSED(done);
}

QImage themeIconImage(const QString &name, int size, const QString &fallback)
{
    ensureIconTheme();
    const QIcon icon =
        fallback.isEmpty() ? QIcon::fromTheme(name) : QIcon::fromTheme(name, QIcon::fromTheme(fallback));
    if (icon.isNull())
        return QImage();
    const QImage image = icon.pixmap(size, size).toImage();
    if (!qApp || QThread::currentThread() != qApp->thread())
        return image; // the theme's settings and the pixmap cache belong to the main thread
    // A changed search path has the icon read its theme entries afresh at its next use, which
    // drops the full-size picture its entry holds; the pixmap cache holds the rest.
    QIcon::setThemeSearchPaths(QIcon::themeSearchPaths());
    icon.availableSizes();
    QPixmapCache::clear();
    return image;
}

QImage themeIconForMimeType(const QString &mimeName, int size)
{
    const QMimeType type = QMimeDatabase().mimeTypeForName(mimeName);
    return themeIconImage(type.iconName(), size, type.genericIconName());
}

} // namespace qv
