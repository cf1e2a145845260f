#include "views/items/itemrules.h"

#include <QStringList>

#include <algorithm>
#include <utility>

#include "core/localization.h"
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

QString imageTitle(const QSize &size, AppLanguage language)
{
    return Localization::text(u"clipboard_image_title", language).arg(size.width()).arg(size.height());
}

QString timeWithSeconds(const QDateTime &date, const QLocale &locale)
{
    QString format = locale.timeFormat(QLocale::LongFormat);
    format.remove(QLatin1Char('t'));
    return date.time().toString(format.trimmed());
}

QString relativeAge(const QDateTime &date, const QDateTime &now, AppLanguage language)
{
    const qint64 seconds = std::max<qint64>(0, date.secsTo(now));
    struct Unit
    {
        qint64 seconds;
        const char16_t *one;
        const char16_t *other;
    };
    static const Unit units[] = {{86400, u"age_day", u"age_days"},
                                 {3600, u"age_hours", u"age_hours"},
                                 {60, u"age_minutes", u"age_minutes"},
                                 {1, u"age_seconds", u"age_seconds"}};
    auto part = [language](qint64 count, const Unit &unit) {
        return Localization::text(count == 1 ? unit.one : unit.other, language)
            .replace(QStringLiteral("%lld"), QString::number(count));
    };
    for (size_t i = 0; i + 1 < std::size(units); ++i) {
        const qint64 major = seconds / units[i].seconds;
        if (major == 0)
            continue;
        const qint64 minor = (seconds % units[i].seconds) / units[i + 1].seconds;
        if (!minor)
            return part(major, units[i]);
        return Localization::text(u"age_pair", language)
            .replace(QStringLiteral("%1$@"), part(major, units[i]))
            .replace(QStringLiteral("%2$@"), part(minor, units[i + 1]));
    }
    return part(seconds, units[3]);
}

namespace {

// The code point at `i` and how many units it takes; a lone surrogate stands for itself.
std::pair<char32_t, qsizetype> codePointAt(const QString &text, qsizetype i)
{
    const QChar c = text.at(i);
    if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
        return {QChar::surrogateToUcs4(c, text.at(i + 1)), 2};
    return {c.unicode(), 1};
}

bool isMark(char32_t c)
{
    switch (QChar::category(c)) {
    case QChar::Mark_NonSpacing:
    case QChar::Mark_SpacingCombining:
    case QChar::Mark_Enclosing:
        return true;
    default:
        return false;
    }
}

// Zero-width and bidi controls, the byte order mark, marks and the Hangul fillers (letters that
// draw nothing). White space is left alone: it shapes the text.
bool drawsNothing(char32_t c)
{
    return QChar::category(c) == QChar::Other_Format || isMark(c) || c == 0x115F || c == 0x1160 ||
           c == 0x3164 || c == 0xFFA0;
}

bool isLineBreak(const QString &text, qsizetype i)
{
    const char16_t c = text.at(i).unicode();
    return c == u'\n' || c == 0x2028 || c == 0x2029 ||
           (c == u'\r' && (i + 1 == text.size() || text.at(i + 1) != u'\n'));
}

} // namespace

QString displayText(const QString &text, const TextBounds &bounds)
{
    const qsizetype size = text.size();
    qsizetype i = 0;
    while (i < size) {
        const auto [c, width] = codePointAt(text, i);
        if (!drawsNothing(c))
            break;
        i += width;
    }
    if (i == size)
        i = 0;
    const QString ellipsis = QStringLiteral("…");
    QString shown;
    // A line already cut ends in the ellipsis that also tells the rest is left out.
    auto cut = [&] { return shown.endsWith(ellipsis) ? shown : shown + ellipsis; };
    shown.reserve(std::min(size - i, bounds.units) + 1);
    int line = 1;
    qsizetype lineUnits = 0;
    int marks = 0;
    // Left-out marks and the rests of long lines are read too, so the reading has a bound of its own.
    const qsizetype readEnd = i + 8 * bounds.units;
    while (i < size) {
        if (i >= readEnd)
            return cut();
        if (isLineBreak(text, i)) {
            if (line == bounds.lines || shown.size() + 1 > bounds.units)
                return cut();
            ++line;
            lineUnits = 0;
            marks = 0;
            shown.append(text.at(i++));
            continue;
        }
        const auto [c, width] = codePointAt(text, i);
        marks = isMark(c) ? marks + 1 : 0;
        if (marks > maxMarksPerCharacter) {
            i += width;
            continue;
        }
        if (shown.size() + width > bounds.units)
            return cut();
        if (lineUnits + width > bounds.lineUnits) {
            shown.append(ellipsis);
            while (i < size && !isLineBreak(text, i))
                ++i;
            continue;
        }
        shown.append(QStringView(text).sliced(i, width));
        lineUnits += width;
        i += width;
    }
    return shown;
}

} // namespace qv::ItemRules
