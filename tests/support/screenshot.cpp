#include "support/screenshot.h"

#include <QDir>
#include <QImage>
#include <QPixmap>
#include <QWidget>

namespace qv {

QString saveScreenshot(QWidget &widget, const QString &name)
{
    // Render even when the widget was never shown, so a test needs no visible window.
    return saveScreenshot(widget.grab().toImage(), name);
}

QString saveScreenshot(const QImage &image, const QString &name)
{
    const QString folder = qEnvironmentVariable("QV_SCREENSHOT_DIR");
    if (folder.isEmpty())
        return QString();
    QDir().mkpath(folder);
    const QString path = QDir(folder).filePath(name + QStringLiteral(".png"));
    return image.save(path, "PNG") ? path : QString();
}

} // namespace qv
