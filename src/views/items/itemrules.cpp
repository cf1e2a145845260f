#include "views/items/itemrules.h"

#include <QStringList>

#include "shelf/shelfitem.h"

namespace qv::ItemRules {

bool isRemote(const QString &deviceSource)
{
    return deviceSource != localDevice;
}

static QString extensionOf(const QUrl &url)
{
    const QString name = url.fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? name.mid(dot + 1) : QString();
}

bool isMediaFile(const QUrl &url)
{
    static const QStringList media = {QStringLiteral("jpg"), QStringLiteral("jpeg"), QStringLiteral("png"),
                                      QStringLiteral("gif"), QStringLiteral("webp"), QStringLiteral("heic"),
                                      QStringLiteral("bmp"), QStringLiteral("tiff"), QStringLiteral("svg"),
                                      QStringLiteral("mp4"), QStringLiteral("mov"),  QStringLiteral("avi"),
                                      QStringLiteral("mkv"), QStringLiteral("webm")};
    return media.contains(extensionOf(url).toLower());
}

bool isLink(const QUrl &url)
{
    return extensionOf(url) == QStringLiteral("webloc");
}

std::optional<QUrl> webAddress(const ShelfItem &item)
{
    if (!isLink(item.url) || !item.originalWebURL)
        return std::nullopt;
    const QString scheme = item.originalWebURL->scheme().toLower();
    if (scheme != QStringLiteral("http") && scheme != QStringLiteral("https"))
        return std::nullopt;
    return item.originalWebURL;
}

QUrl openTarget(const ShelfItem &item)
{
    return webAddress(item).value_or(item.url);
}

bool isPendingLink(const ShelfItem &item)
{
    return isLink(item.url) && !item.isWebFetched;
}

QString fileNameWithoutExtension(const QUrl &url)
{
    const QString name = url.fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? name.left(dot) : name;
}

QString shelfDisplayName(const ShelfItem &item)
{
    return item.customName ? *item.customName : fileNameWithoutExtension(item.url);
}

QString imageTitle(const QSize &size)
{
    return QStringLiteral("Image • %1×%2").arg(size.width()).arg(size.height());
}

QString timeWithSeconds(const QDateTime &date, const QLocale &locale)
{
    QString format = locale.timeFormat(QLocale::LongFormat);
    format.remove(QLatin1Char('t'));
    return date.time().toString(format.trimmed());
}

QString relativeAge(const QDateTime &date, const QDateTime &now)
{
    const qint64 seconds = std::max<qint64>(0, date.secsTo(now));
    struct Unit
    {
        qint64 seconds;
        const char *name;
    };
    static const Unit units[] = {{86400, "day"}, {3600, "hr"}, {60, "min"}, {1, "sec"}};
    auto part = [](qint64 count, const Unit &unit) {
        const bool plural = count != 1 && unit.seconds == 86400;
        return QStringLiteral("%1 %2%3").arg(count).arg(QLatin1String(unit.name)).arg(plural ? "s" : "");
    };
    for (size_t i = 0; i + 1 < std::size(units); ++i) {
        const qint64 major = seconds / units[i].seconds;
        if (major == 0)
            continue;
        const qint64 minor = (seconds % units[i].seconds) / units[i + 1].seconds;
        return minor ? part(major, units[i]) + QStringLiteral(", ") + part(minor, units[i + 1])
                     : part(major, units[i]);
    }
    return part(seconds, units[3]);
}

} // namespace qv::ItemRules
