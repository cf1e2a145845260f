#include <QCoreApplication>
#include <QElapsedTimer>
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
#include <functional>

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
    // runs `meanwhile`, then ends it as the session would. Returns its console; `quitSeconds` is how
    // long it took to end.
    QString runOnce(const std::function<void()> &meanwhile = {})
    {
        process.start(binary(), {QStringLiteral("--platform=x11")});
        if (!process.waitForStarted(5000))
            return QStringLiteral("did not start");
        const bool prepared =
            QTest::qWaitFor([&] { return storedSettings().contains(QStringLiteral("showMenuBarIcon")); }, 20000);
        QTest::qWait(1000);
        EXPECT_TRUE(prepared);
        EXPECT_EQ(process.state(), QProcess::Running);
        if (meanwhile)
            meanwhile();
        QElapsedTimer quitting;
        quitting.start();
        ::kill(pid_t(process.processId()), SIGTERM);
        EXPECT_TRUE(process.waitForFinished(20000));
        quitSeconds = quitting.elapsed() / 1000.0;
        // Ended in order, its writes finished, not killed by the signal.
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 0);
        return QString::fromUtf8(process.readAllStandardOutput());
    }

    QTemporaryDir home;
    QProcess process;
    double quitSeconds = 0;
};

} // namespace

// Started with a display, the program puts its windows on it, not into a buffer no one sees.
TEST_F(OwnFilesX11Test, TheProgramsWindowsAreOnTheDisplayItIsStartedOn)
{
    QString windows;
    runOnce([&] {
        QProcess search;
        search.start(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--pid"),
                                                 QString::number(process.processId())});
        ASSERT_TRUE(search.waitForFinished(20000));
        windows = QString::fromUtf8(search.readAllStandardOutput()).trimmed();
    });
    EXPECT_FALSE(windows.isEmpty()) << "the program started on the display showed no window there";
}

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

// Regression: a settings file linked into a dotfiles folder was not read (defaults applied) and no
// change was saved. The program reads it through the link and saves through it: the file it leads
// to holds what the program stored, and the link stays a link.
TEST_F(OwnFilesX11Test, ASettingsFileLinkedIntoADotfilesFolderIsReadAndSavedThroughTheLink)
{
    QDir root(home.path());
    ASSERT_TRUE(root.mkpath(QStringLiteral("dotfiles")));
    const QString target = root.filePath(QStringLiteral("dotfiles/quorvantis.json"));
    {
        QFile file(target);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(
            R"({"ignoreSingleWindow": true, "hasUserChosenAppLanguage": true, "appLanguage": "Deutsch"})");
    }
    ASSERT_TRUE(QFile::link(target, settingsPath()));

    const QString console = runOnce(); // stores "showMenuBarIcon", so the file is written

    EXPECT_TRUE(QFileInfo(settingsPath()).isSymLink());
    EXPECT_EQ(QFile::symLinkTarget(settingsPath()), target);
    EXPECT_EQ(QDir(configFolder()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("defaults.json")});
    EXPECT_FALSE(console.contains(QStringLiteral("Settings file"))) << console.toStdString();
    EXPECT_FALSE(console.contains(QStringLiteral("Settings could not"))) << console.toStdString();
    QFile file(target);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QJsonObject written = QJsonDocument::fromJson(file.readAll()).object();
    EXPECT_TRUE(written.value(QStringLiteral("showMenuBarIcon")).toBool())
        << "nothing was saved through the link";
    EXPECT_TRUE(written.value(QStringLiteral("ignoreSingleWindow")).toBool());
    EXPECT_EQ(written.value(QStringLiteral("appLanguage")).toString(), QStringLiteral("Deutsch"))
        << "the stored language was not read, so preparing the settings replaced it";
}

// Quitting ends the program at once, idle or while a clipboard owner that never answers holds a
// read of ours; the settings are on disk as they were.
TEST_F(OwnFilesX11Test, QuittingEndsAtOnceIdleAndDuringAClipboardReadThatNeverEnds)
{
    runOnce();
    // Far from the seconds a quit that waits for something takes, and from what a busy machine adds.
    EXPECT_LT(quitSeconds, 1.0) << "quitting idle";
    QProcess owner;
    runOnce([&] {
        owner.start(QStringLiteral(QV_CLIPBOARD_OWNER),
                    {QStringLiteral("--silent"), QStringLiteral("UTF8_STRING=/dev/null")});
        ASSERT_TRUE(owner.waitForReadyRead(5000));
        QTest::qWait(300); // the program has asked, and waits for the answer
    });
    EXPECT_LT(quitSeconds, 1.0) << "quitting during a clipboard read";
    owner.kill();
    owner.waitForFinished(3000);
    EXPECT_TRUE(storedSettings().value(QStringLiteral("showMenuBarIcon")).toBool());
}
