#include "ui/symbols.h"

#include <QFile>
#include <QHash>
#include <QPainter>
#include <QPixmapCache>

#include "platform/icontheme.h"

// Resources of a static library are registered by hand, once, before the first lookup.
static void initSymbolResources()
{
    Q_INIT_RESOURCE(symbols);
}

namespace qv {

namespace {

// Only where the theme's picture is the symbol: a close button's cross without its disc, a question
// mark on a filled diamond that reads as the replacement character, or a light bulb for "info" is
// worse than ours.
const QHash<QString, QString> &themeNames()
{
    static const QHash<QString, QString> names{
        {QStringLiteral("photo"), QStringLiteral("image-x-generic-symbolic")},
        {QStringLiteral("xmark"), QStringLiteral("window-close-symbolic")},
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
        {QStringLiteral("magnifyingglass"), QStringLiteral("edit-find-symbolic")},
        {QStringLiteral("gearshape.fill"), QStringLiteral("emblem-system-symbolic")},
        {QStringLiteral("square.grid.2x2.fill"), QStringLiteral("view-app-grid-symbolic")},
        {QStringLiteral("eye.fill"), QStringLiteral("view-reveal-symbolic")},
        {QStringLiteral("macwindow"), QStringLiteral("focus-windows-symbolic")},
        {QStringLiteral("clipboard"), QStringLiteral("edit-paste-symbolic")},
        {QStringLiteral("shippingbox.fill"), QStringLiteral("package-x-generic-symbolic")},
        {QStringLiteral("arrow.up.backward.and.arrow.down.forward"),
         QStringLiteral("view-fullscreen-symbolic")},
        {QStringLiteral("xmark.bin"), QStringLiteral("user-trash-full-symbolic")},
        {QStringLiteral("arrow.down.doc.fill"), QStringLiteral("document-save-symbolic")},
        {QStringLiteral("square.stack.3d.up.fill"), QStringLiteral("view-paged-symbolic")},
        {QStringLiteral("text.alignleft"), QStringLiteral("format-justify-left-symbolic")},
        {QStringLiteral("photo.fill"), QStringLiteral("image-x-generic-symbolic")},
        {QStringLiteral("plus.square.dashed"), QStringLiteral("list-add-symbolic")},
        {QStringLiteral("doc.fill"), QStringLiteral("text-x-generic-symbolic")},
        {QStringLiteral("doc.text.fill"), QStringLiteral("text-x-generic-symbolic")},
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
        {QStringLiteral("chevron.up.chevron.down"), QStringLiteral("pan-down-symbolic")},
        {QStringLiteral("lightbulb.fill"), QStringLiteral("dialog-information-symbolic")},
        {QStringLiteral("plus"), QStringLiteral("list-add-symbolic")},
        {QStringLiteral("trash.fill"), QStringLiteral("user-trash-symbolic")},
        {QStringLiteral("checkmark.shield"), QStringLiteral("security-high-symbolic")},
        {QStringLiteral("app.dashed"), QStringLiteral("application-x-executable-symbolic")},
        {QStringLiteral("doc.text"), QStringLiteral("text-x-generic-symbolic")},
        {QStringLiteral("doc.text.magnifyingglass"), QStringLiteral("document-print-preview-symbolic")},
        {QStringLiteral("list.bullet.rectangle"), QStringLiteral("view-list-bullet-symbolic")},
        {QStringLiteral("square.and.arrow.up"), QStringLiteral("document-send-symbolic")},
        {QStringLiteral("square.grid.3x3.square"), QStringLiteral("view-grid-symbolic")},
        {QStringLiteral("tray.and.arrow.down"), QStringLiteral("folder-download-symbolic")},
        {QStringLiteral("rectangle.split.2x1"), QStringLiteral("view-dual-symbolic")},
        {QStringLiteral("envelope.open.fill"), QStringLiteral("mail-read-symbolic")},
        {QStringLiteral("envelope.open"), QStringLiteral("mail-read-symbolic")},
        {QStringLiteral("ladybug"), QStringLiteral("dialog-warning-symbolic")},
        {QStringLiteral("lightbulb"), QStringLiteral("dialog-information-symbolic")},
        {QStringLiteral("bubble.left"), QStringLiteral("mail-message-new-symbolic")},
        {QStringLiteral("lifepreserver"), QStringLiteral("help-faq-symbolic")},
        {QStringLiteral("person.2"), QStringLiteral("system-users-symbolic")},
        {QStringLiteral("paperclip"), QStringLiteral("mail-attachment-symbolic")},
        {QStringLiteral("exclamationmark.triangle.fill"), QStringLiteral("dialog-warning-symbolic")},
        {QStringLiteral("paperplane.fill"), QStringLiteral("mail-send-symbolic")},
    };
    return names;
}

QString shippedPath(const QString &symbolName)
{
    static const bool registered = (initSymbolResources(), true);
    Q_UNUSED(registered);
    return QStringLiteral(":/qv/symbols/%1.svg").arg(symbolName);
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
    // Views ask for the same few symbols at every frame: each tinted picture is made once.
    const QString key =
        QStringLiteral("qv-symbol-%1-%2-%3-%4").arg(symbolName).arg(size).arg(color.rgba()).arg(dpr);
    QPixmap cached;
    if (QPixmapCache::find(key, &cached))
        return cached;
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
    QPixmapCache::insert(key, result);
    return result;
}

} // namespace qv
