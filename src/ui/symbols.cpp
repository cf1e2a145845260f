#include "ui/symbols.h"

#include <QFile>
#include <QHash>
#include <QPainter>

// Resources of a static library are registered by hand, once, before the first lookup.
static void initSymbolResources()
{
    Q_INIT_RESOURCE(symbols);
}

namespace qv {

namespace {

const QHash<QString, QString> &themeNames()
{
    static const QHash<QString, QString> names{
        {QStringLiteral("photo"), QStringLiteral("image-x-generic-symbolic")},
        {QStringLiteral("xmark"), QStringLiteral("window-close-symbolic")},
        {QStringLiteral("xmark.circle"), QStringLiteral("window-close-symbolic")},
        {QStringLiteral("minus"), QStringLiteral("window-minimize-symbolic")},
        {QStringLiteral("minus.square"), QStringLiteral("window-minimize-symbolic")},
        {QStringLiteral("arrow.up.left.and.arrow.down.right"), QStringLiteral("view-fullscreen-symbolic")},
        {QStringLiteral("pin.fill"), QStringLiteral("view-pin-symbolic")},
        {QStringLiteral("eye"), QStringLiteral("view-reveal-symbolic")},
        {QStringLiteral("eye.slash"), QStringLiteral("view-conceal-symbolic")},
        {QStringLiteral("trash"), QStringLiteral("user-trash-symbolic")},
        {QStringLiteral("lock.shield"), QStringLiteral("security-high-symbolic")},
        {QStringLiteral("scope"), QStringLiteral("find-location-symbolic")},
        {QStringLiteral("app"), QStringLiteral("application-x-executable-symbolic")},
        {QStringLiteral("checkmark"), QStringLiteral("object-select-symbolic")},
        {QStringLiteral("doc.on.doc"), QStringLiteral("edit-copy-symbolic")},
        {QStringLiteral("doc.on.clipboard"), QStringLiteral("edit-paste-symbolic")},
        {QStringLiteral("doc"), QStringLiteral("text-x-generic-symbolic")},
        {QStringLiteral("text.quote"), QStringLiteral("format-justify-left-symbolic")},
        {QStringLiteral("text.viewfinder"), QStringLiteral("edit-find-symbolic")},
        {QStringLiteral("iphone"), QStringLiteral("phone-symbolic")},
        {QStringLiteral("iphone.gen3"), QStringLiteral("phone-symbolic")},
        {QStringLiteral("iphone.smartbatterycase"), QStringLiteral("phone-symbolic")},
        {QStringLiteral("pin"), QStringLiteral("view-pin-symbolic")},
        {QStringLiteral("pin.slash"), QStringLiteral("view-pin-symbolic")},
        {QStringLiteral("globe"), QStringLiteral("web-browser-symbolic")},
        {QStringLiteral("lock.fill"), QStringLiteral("changes-prevent-symbolic")},
        {QStringLiteral("exclamationmark.triangle"), QStringLiteral("dialog-warning-symbolic")},
        {QStringLiteral("folder"), QStringLiteral("folder-symbolic")},
        {QStringLiteral("arrow.up.forward.square"), QStringLiteral("document-open-symbolic")},
        {QStringLiteral("arrow.up.forward.app"), QStringLiteral("document-open-symbolic")},
        {QStringLiteral("gear"), QStringLiteral("emblem-system-symbolic")},
        {QStringLiteral("sparkles"), QStringLiteral("starred-symbolic")},
        {QStringLiteral("keyboard"), QStringLiteral("input-keyboard-symbolic")},
        {QStringLiteral("keyboard.badge.ellipsis"), QStringLiteral("input-keyboard-symbolic")},
        {QStringLiteral("command"), QStringLiteral("preferences-desktop-keyboard-shortcuts-symbolic")},
        {QStringLiteral("hand.raised.fill"), QStringLiteral("action-unavailable-symbolic")},
        {QStringLiteral("envelope.fill"), QStringLiteral("mail-unread-symbolic")},
        {QStringLiteral("person"), QStringLiteral("avatar-default-symbolic")},
        {QStringLiteral("stethoscope"), QStringLiteral("applications-science-symbolic")},
        {QStringLiteral("lock.shield.fill"), QStringLiteral("security-high-symbolic")},
        {QStringLiteral("xmark.circle.fill"), QStringLiteral("process-stop-symbolic")},
        {QStringLiteral("chevron.up.chevron.down"), QStringLiteral("pan-down-symbolic")},
        {QStringLiteral("lightbulb.fill"), QStringLiteral("dialog-information-symbolic")},
    };
    return names;
}

QString shippedPath(const QString &symbolName)
{
    static const bool registered = (initSymbolResources(), true);
    Q_UNUSED(registered);
    return QStringLiteral(":/qv/symbols/%1.svg").arg(symbolName);
}

// Offscreen and minimal desktops name no theme and no theme folders; the system's icon folders and
// the theme install-deps.sh installs serve then.
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

QIcon placeholder()
{
    static const QIcon icon(shippedPath(QStringLiteral("questionmark")));
    return icon;
}

} // namespace

QString Symbols::themeName(const QString &symbolName)
{
    return themeNames().value(symbolName);
}

bool Symbols::hasShippedPicture(const QString &symbolName)
{
    return !symbolName.isEmpty() && QFile::exists(shippedPath(symbolName));
}

QIcon Symbols::icon(const QString &symbolName)
{
    ensureIconTheme();
    const QString name = themeName(symbolName);
    if (!name.isEmpty() && QIcon::hasThemeIcon(name))
        return QIcon::fromTheme(name);
    if (hasShippedPicture(symbolName))
        return QIcon(shippedPath(symbolName));
    return placeholder();
}

QPixmap Symbols::pixmap(const QString &symbolName, int size, const QColor &color, double dpr)
{
    const int device = qMax(1, qRound(size * dpr));
    QPixmap source = icon(symbolName).pixmap(QSize(device, device));
    if (source.isNull())
        source = placeholder().pixmap(QSize(device, device));
    QPixmap result(device, device);
    result.fill(Qt::transparent);
    {
        QPainter painter(&result);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawPixmap(QRect(0, 0, device, device), source);
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(result.rect(), color);
    }
    result.setDevicePixelRatio(dpr);
    return result;
}

} // namespace qv
