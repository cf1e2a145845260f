#include "platform/icontheme.h"

#include <QIcon>
#include <QMimeDatabase>
#include <QStringList>

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

QImage themeIconForMimeType(const QString &mimeName, int size)
{
    ensureIconTheme();
    const QMimeType type = QMimeDatabase().mimeTypeForName(mimeName);
    const QIcon icon = QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName()));
    return icon.isNull() ? QImage() : icon.pixmap(size, size).toImage();
}

} // namespace qv
