#include "support/screenshot.h"

#include <QDir>
#include <QPixmap>
#include <QWidget>

namespace qv {

QString saveScreenshot(QWidget &widget, const QString &name)
{
    const QString folder = qEnvironmentVariable("QV_SCREENSHOT_DIR");
    if (folder.isEmpty())
        return QString();
    QDir().mkpath(folder);
    const QString path = QDir(folder).filePath(name + QStringLiteral(".png"));
    // Render even when the widget was never shown, so a test needs no visible window.
    if (!widget.grab().save(path, "PNG"))
        return QString();
    return path;
}

} // namespace qv
