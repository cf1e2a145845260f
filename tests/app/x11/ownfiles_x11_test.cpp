#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>

// The real program on the real desktop, in temporary XDG folders, and what it leaves of its own
// files: read back by the next start, or untouched where they are not ours.
namespace {

class OwnFilesX11Test : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QFile::exists(binary())) << qPrintable(binary());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME", "XDG_DATA_HOME"})
            env.insert(QString::fromLatin1(name), home.filePath(QString::fromLatin1(name)));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
        process.setProcessEnvironment(env);
        ASSERT_TRUE(QDir().mkpath(configFolder()));
    }

    static QString binary()
    {
        return QDir(QCoreApplication::applicationDirPath()).absoluteFilePath(QStringLiteral("../src/quorvantis"));
    }
    QString configFolder() const { return home.filePath(QStringLiteral("XDG_CONFIG_HOME/Quorvantis")); }
    QString settingsPath() const { return configFolder() + QStringLiteral("/defaults.json"); }
    QJsonObject storedSettings() const
    {
        QFile file(settingsPath());
        return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object() : QJsonObject();
    }

    // Starts the program on the display, waits until it has prepared its settings and started up,
    // then ends it as the session would. Returns its console.
    QString runOnce()
    {
        process.start(binary(), {QStringLiteral("--platform=x11")});
        if (!process.waitForStarted(5000))
            return QStringLiteral("did not start");
        const bool prepared =
            QTest::qWaitFor([&] { return storedSettings().contains(QStringLiteral("showMenuBarIcon")); }, 20000);
        QTest::qWait(1000);
        EXPECT_TRUE(prepared);
        EXPECT_EQ(process.state(), QProcess::Running);
        ::kill(pid_t(process.processId()), SIGTERM);
        EXPECT_TRUE(process.waitForFinished(20000));
        EXPECT_EQ(process.exitCode(), 0);
        return QString::fromUtf8(process.readAllStandardOutput());
    }

    QTemporaryDir home;
    QProcess process;
};

} // namespace

// Regression: a settings file of 3.6 MB (a long usage history) was rewritten indented at 4.5 MB,
// past what the reader takes, so the next start moved it aside and every setting was lost.
TEST_F(OwnFilesX11Test, ASettingsFileTheProgramRewritesIsReadBackAtTheNextStart)
{
    QJsonObject history;
    for (int i = 0; i < 110000; ++i)
        history.insert(QStringLiteral("org.example.app%1").arg(i, 6, 10, QLatin1Char('0')), 1700000000.5 + i);
    const QJsonObject settings{{QStringLiteral("ignoreSingleWindow"), true},
                               {QStringLiteral("AppUsageHistory"), history}};
    {
        QFile file(settingsPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QJsonDocument(settings).toJson(QJsonDocument::Compact));
    }
    ASSERT_GT(QFileInfo(settingsPath()).size(), 3500000);

    runOnce(); // stores "showMenuBarIcon", so the whole file is written again
    EXPECT_LE(QFileInfo(settingsPath()).size(), 4 * 1024 * 1024);
    const QString console = runOnce();

    EXPECT_TRUE(QDir(configFolder()).entryList({QStringLiteral("defaults.json.corrupt-*")}, QDir::Files).isEmpty())
        << console.toStdString();
    EXPECT_FALSE(console.contains(QStringLiteral("could not be read"))) << console.toStdString();
    const QJsonObject reread = storedSettings();
    EXPECT_TRUE(reread.value(QStringLiteral("ignoreSingleWindow")).toBool());
    EXPECT_FALSE(reread.value(QStringLiteral("AppUsageHistory")).toObject().isEmpty());
}

// Regression: with the web cache folder a link to ~/Videos, the start made its folders there, and
// the cache's expiry would have deleted the user's files in them. The link is refused and left as
// it is, and the console says so.
TEST_F(OwnFilesX11Test, ALinkedWebCacheFolderIsLeftUntouched)
{
    QDir root(home.path());
    ASSERT_TRUE(root.mkpath(QStringLiteral("Videos/web")));
    for (const QString &name : {QStringLiteral("Videos/holiday.d"), QStringLiteral("Videos/web/clip.d")}) {
        QFile file(root.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("the user's");
    }
    ASSERT_TRUE(root.mkpath(QStringLiteral("XDG_CACHE_HOME")));
    const QString linked = root.filePath(QStringLiteral("XDG_CACHE_HOME/Quorvantis"));
    ASSERT_TRUE(QFile::link(root.filePath(QStringLiteral("Videos")), linked));

    const QString console = runOnce();

    EXPECT_TRUE(QFileInfo(linked).isSymLink());
    EXPECT_TRUE(console.contains(QStringLiteral("for the web cache: it is a symbolic link"))) << console.toStdString();
    EXPECT_EQ(QDir(root.filePath(QStringLiteral("Videos"))).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList({QStringLiteral("holiday.d"), QStringLiteral("web")}));
    EXPECT_EQ(QDir(root.filePath(QStringLiteral("Videos/web"))).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("clip.d")});
}
