#include "platform/x11/x11filerevealer.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QUrl>

namespace qv {

Q_LOGGING_CATEGORY(lcReveal, "quorvantis.platform.reveal")

namespace {
// Long enough for a file manager that D-Bus has to start first.
constexpr int showItemsTimeoutMs = 10000;
} // namespace

bool X11FileRevealer::openContainingFolder(const QString &path)
{
    const QString folder = QFileInfo(path).absolutePath();
    const bool opened = QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
    if (!opened)
        qCWarning(lcReveal).noquote() << "⚠️ Could not open the folder" << folder;
    return opened;
}

void X11FileRevealer::openURL(const QUrl &url)
{
    if (!QDesktopServices::openUrl(url))
        qCWarning(lcReveal).noquote() << "⚠️ Could not open" << url.toDisplayString();
}

void X11FileRevealer::revealFile(const QString &path, Done done)
{
    const auto fallBack = [path, done] {
        const bool shown = openContainingFolder(path);
        if (done)
            done(shown);
    };
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        fallBack();
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString()} << QString();
    // Asynchronous: activating a file manager can take seconds and must not stall the main thread.
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, showItemsTimeoutMs));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [fallBack, done](QDBusPendingCallWatcher *w) {
                         w->deleteLater();
                         if (w->isError())
                             fallBack();
                         else if (done)
                             done(true);
                     });
}

} // namespace qv
