#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "app/launchmanager.h"
#include "platform/x11/x11loginitem.h"

using namespace qv;

namespace {

QByteArray read(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void write(const QString &path, const QByteArray &content)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
}

QByteArray ourExec()
{
    return X11LoginItem::execValue(QCoreApplication::applicationFilePath()).toUtf8();
}

} // namespace

TEST(X11LoginItem, AutostartEntryIsWrittenAndRemovedOnlyOnAChange)
{
    QTemporaryDir config;
    X11LoginItem item(config.filePath(QStringLiteral("autostart")));
    const QString path = item.entryPath();
    EXPECT_EQ(QFileInfo(path).fileName(), "Quorvantis.desktop");
    EXPECT_EQ(item.status(), 0);

    LaunchManager::setLaunchAtLogin(item, true);
    EXPECT_EQ(item.status(), LoginItemService::statusEnabled);
    const QByteArray entry = read(path);
    EXPECT_TRUE(entry.startsWith("[Desktop Entry]\n"));
    EXPECT_TRUE(entry.contains("\nType=Application\n"));
    EXPECT_TRUE(entry.contains(
        "\nExec=" + X11LoginItem::execValue(QCoreApplication::applicationFilePath()).toUtf8() + "\n"));

    // Already enabled: the entry (here edited by the user) is left alone.
    write(path, entry + "Comment=mine\n");
    LaunchManager::setLaunchAtLogin(item, true);
    EXPECT_TRUE(read(path).endsWith("Comment=mine\n"));

    LaunchManager::setLaunchAtLogin(item, false);
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_EQ(item.status(), 0);
    LaunchManager::setLaunchAtLogin(item, false);
    EXPECT_FALSE(QFile::exists(path));
}

TEST(X11LoginItem, EntryHiddenByTheUserCountsAsOffAndIsRewrittenWhenSwitchedOn)
{
    QTemporaryDir config;
    X11LoginItem item(config.path());
    write(item.entryPath(), "[Desktop Entry]\nType=Application\nExec=" + ourExec() + "\nHidden = true\n");
    EXPECT_EQ(item.status(), 0);

    LaunchManager::setLaunchAtLogin(item, false); // already off: the user's entry stays
    EXPECT_TRUE(read(item.entryPath()).contains("Hidden = true"));

    LaunchManager::setLaunchAtLogin(item, true);
    EXPECT_EQ(item.status(), LoginItemService::statusEnabled);
    EXPECT_FALSE(read(item.entryPath()).contains("Hidden"));

    // Hidden in another group does not count.
    write(item.entryPath(),
          "[Desktop Entry]\nExec=" + ourExec() + " --flag\n[Desktop Action new]\nHidden=true\n");
    EXPECT_EQ(item.status(), LoginItemService::statusEnabled);
}

// Any entry used to count as enabled, also one starting another or a removed program, or one the
// desktop's startup tool had switched off; starting at login then silently failed.
TEST(X11LoginItem, OnlyAnEntryThatStartsThisProgramAndIsSwitchedOnCountsAndOthersAreRewritten)
{
    QTemporaryDir config;
    const QString removed = config.filePath("gone/quorvantis");
    const std::pair<const char *, QByteArray> rows[] = {
        {"AnotherProgram", "[Desktop Entry]\nExec=/bin/true\n"},
        {"AnotherProgramFoundOnThePath", "[Desktop Entry]\nExec=true --x\n"},
        {"RemovedCopy", "[Desktop Entry]\nExec=" + X11LoginItem::execValue(removed).toUtf8() + "\n"},
        {"NoExec", "[Desktop Entry]\nType=Application\n"},
        {"SwitchedOffByTheDesktop",
         "[Desktop Entry]\nExec=" + ourExec() + "\nX-GNOME-Autostart-enabled=false\n"},
        {"UnterminatedQuote", "[Desktop Entry]\nExec=\"" + ourExec() + "\n"},
    };
    for (const auto &[name, entry] : rows) {
        X11LoginItem item(config.path());
        write(item.entryPath(), entry);
        EXPECT_EQ(item.status(), 0) << name;
        LaunchManager::setLaunchAtLogin(item, true);
        EXPECT_EQ(item.status(), LoginItemService::statusEnabled) << name;
        const QByteArray rewritten = read(item.entryPath());
        EXPECT_TRUE(rewritten.contains("\nExec=" + ourExec() + "\n")) << name;
        EXPECT_TRUE(rewritten.contains("X-GNOME-Autostart-enabled=true")) << name;
    }

    // Ours, also when quoted or reached through a link.
    QFile::link(QCoreApplication::applicationFilePath(), config.filePath("linked program"));
    X11LoginItem item(config.path());
    write(item.entryPath(),
          "[Desktop Entry]\nExec=" + X11LoginItem::execValue(config.filePath("linked program")).toUtf8() +
              " %U\n");
    EXPECT_EQ(item.status(), LoginItemService::statusEnabled);
}

TEST(X11LoginItem, UnwritableAutostartFolderReportsAnError)
{
    QTemporaryDir config;
    write(config.filePath(QStringLiteral("autostart")), "a file where the folder should be");
    X11LoginItem item(config.filePath(QStringLiteral("autostart")));
    EXPECT_FALSE(item.registerItem().isEmpty());
    EXPECT_EQ(item.status(), 0);
}

TEST(X11LoginItem, ExecValueQuotesAndEscapesThePath)
{
    const std::pair<QString, QString> rows[] = {
        {"/usr/bin/quorvantis", "/usr/bin/quorvantis"},
        {"/opt/My Apps/quorvantis", "\"/opt/My Apps/quorvantis\""},
        {"/opt/a$b/q", "\"/opt/a\\\\$b/q\""},
        {"/opt/100%/q", "/opt/100%%/q"},
        {"/opt/back\\slash", "\"/opt/back\\\\\\\\slash\""},
        {"/opt/\"quoted\"/q", "\"/opt/\\\\\"quoted\\\\\"/q\""},
    };
    for (const auto &[program, expected] : rows) {
        EXPECT_EQ(X11LoginItem::execValue(program), expected) << qPrintable(program);
        EXPECT_EQ(X11LoginItem::execProgram(expected + " --arg"), program) << qPrintable(program);
    }
}
