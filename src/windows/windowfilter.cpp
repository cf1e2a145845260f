#include "windows/windowfilter.h"

#include <QStringList>

#include "platform/geometry.h"
#include "platform/screens.h"

namespace qv {

namespace {

const QStringList &systemBundlePrefixes()
{
    static const QStringList prefixes = {
        QStringLiteral("com.apple.dock"),
        QStringLiteral("com.apple.controlcenter"),
        QStringLiteral("com.apple.windowserver"),
        QStringLiteral("com.apple.systemuiserver"),
        QStringLiteral("com.apple.notificationcenterui"),
        QStringLiteral("com.apple.loginwindow"),
        QStringLiteral("com.apple.screencapture"),
        QStringLiteral("com.apple.spaces"),
        QStringLiteral("com.apple.controlstrip"),
        QStringLiteral("com.apple.spotlight"),
        QStringLiteral("com.apple.windowmanager"),
        QStringLiteral("com.apple.textinput"),
        QStringLiteral("com.apple.quicklookui"),
        QStringLiteral("com.apple.wallpaper"),
        QStringLiteral("com.apple.osanalytics"),
    };
    return prefixes;
}

const QStringList &ignoredTitleWords()
{
    static const QStringList words = {
        QStringLiteral("focus proxy"), QStringLiteral("menu bar"), QStringLiteral("status bar"),
        QStringLiteral("item-0"),      QStringLiteral("item-1"),   QStringLiteral("indicator"),
        QStringLiteral("tooltip"),     QStringLiteral("overlay"),  QStringLiteral("wallpaper"),
    };
    return words;
}

// Applications whose real windows may carry no title.
const QStringList &untitledWindowAppWords()
{
    static const QStringList words = {
        QStringLiteral("finder"),         QStringLiteral("systempreferences"),
        QStringLiteral("systemsettings"), QStringLiteral("facetime"),
        QStringLiteral("reminders"),      QStringLiteral("notes"),
        QStringLiteral("messages"),       QStringLiteral("mail"),
    };
    return words;
}

bool containsAny(const QString &text, const QStringList &words)
{
    for (const auto &word : words) {
        if (text.contains(word))
            return true;
    }
    return false;
}

} // namespace

QString trimmedText(const QString &text)
{
    return text.trimmed();
}

bool namesMatch(const QString &a, const QString &b)
{
    if (a.isEmpty() || b.isEmpty())
        return false;
    return a.compare(b, Qt::CaseInsensitive) == 0 || a.contains(b, Qt::CaseInsensitive) ||
           b.contains(a, Qt::CaseInsensitive);
}

bool titlesMatch(const QString &a, const QString &b)
{
    return namesMatch(trimmedText(a), trimmedText(b));
}

bool shouldExcludeWindow(const QString &title, const QString &appName, const QString &bundleIdentifier,
                         const QRectF &frame, const ScreenService *screens)
{
    const QString t = title.toLower();
    const QString b = bundleIdentifier.toLower();
    for (const auto &prefix : systemBundlePrefixes()) {
        if (b.startsWith(prefix))
            return true;
    }
    if (b == QLatin1String("com.apple.finder")) {
        if (t == QLatin1String("desktop") || t.contains(QStringLiteral("桌面")))
            return true;
        const auto main = screens ? screens->mainScreen() : std::nullopt;
        if (!main)
            return false;
        if (frame.width() >= main->frame.width() - 20 && frame.height() >= main->frame.height() - 20)
            return true;
    }
    if (frame.width() > 4 * frame.height() || frame.height() > 4 * frame.width())
        return true;
    if (!title.isEmpty()) {
        if (containsAny(t, ignoredTitleWords()))
            return true;
        if (appName == QLatin1String("Xcode") && t.contains(QLatin1String("app shortcuts preview")))
            return true;
        if ((appName == QLatin1String("WeChat") || appName == QStringLiteral("微信")) &&
            frame.width() < 300 && frame.height() < 300)
            return true;
        return false;
    }
    if (containsAny(b, untitledWindowAppWords()))
        return !(frame.width() > 250 && frame.height() > 250);
    return true;
}

bool isRectOnAnyScreen(const QRectF &windowRect, const ScreenService *screens)
{
    if (!screens)
        return false;
    const QRectF rect = flipRect(windowRect, screens->flipHeight());
    for (const auto &screen : screens->screens()) {
        if (screen.frame.intersects(rect))
            return true;
    }
    return false;
}

bool isWindowOffscreen(const QRectF &windowRect, const ScreenService *screens)
{
    if (!isRectOnAnyScreen(windowRect, screens))
        return true;
    if (windowRect.width() > 320 || windowRect.height() > 260)
        return false;
    const auto main = screens->mainScreen();
    const double leftLimit = (main ? main->frame.left() : 0.0) + 8;
    return windowRect.right() < leftLimit;
}

} // namespace qv
