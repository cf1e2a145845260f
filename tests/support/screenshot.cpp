#include "support/screenshot.h"

#include <QDir>
#include <QImage>
#include <QPixmap>
#include <QWidget>

namespace qv {

namespace {

QString screenshotPath(const QString &name)
{
    const QString folder = qEnvironmentVariable("QV_SCREENSHOT_DIR");
    if (folder.isEmpty())
        return QString();
    QDir().mkpath(folder);
    return QDir(folder).filePath(name + QStringLiteral(".png"));
}

} // namespace

QString saveScreenshot(QWidget &widget, const QString &name)
{
    const QString path = screenshotPath(name);
    // Render even when the widget was never shown, so a test needs no visible window.
    if (path.isEmpty() || !widget.grab().save(path, "PNG"))
        return QString();
    return path;
}

QString saveScreenshot(const QImage &image, const QString &name)
{
    const QString path = screenshotPath(name);
    if (path.isEmpty() || !image.save(path, "PNG"))
        return QString();
    return path;
}

} // namespace qv
