#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

// Runs the built application itself, as a user would, with its own temporary XDG folders.
namespace {

QString binaryPath()
{
    return QDir(QCoreApplication::applicationDirPath()).absoluteFilePath(QStringLiteral("../src/quorvantis"));
}

class QuorvantisBinary : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QFile::exists(binaryPath())) << qPrintable(binaryPath());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME", "XDG_DATA_HOME"})
            env.insert(QString::fromLatin1(name), home.filePath(QString::fromLatin1(name)));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
        process.setProcessEnvironment(env);
    }

    QString settingsPath() const
    {
        return home.filePath(QStringLiteral("XDG_CONFIG_HOME/Quorvantis/defaults.json"));
    }

    QVariantMap storedSettings() const
    {
        QFile file(settingsPath());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QJsonDocument::fromJson(file.readAll()).object().toVariantMap();
    }

    // Starts the simulated desktop, waits until the settings are prepared, then quits with SIGTERM.
    void runAndTerminate()
    {
        process.start(binaryPath(), {QStringLiteral("--platform=sim")});
        ASSERT_TRUE(process.waitForStarted());
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return storedSettings().contains(QStringLiteral("showMenuBarIcon")); }, 20000));
        // The file is written before the event loop starts; give the launch sequence time to run.
        QTest::qWait(300);
        EXPECT_EQ(process.state(), QProcess::Running) << process.readAllStandardError().constData();
        ::kill(pid_t(process.processId()), SIGTERM);
        ASSERT_TRUE(process.waitForFinished(20000));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().constData();
    }

    QTemporaryDir home;
    QProcess process;
};

} // namespace

TEST_F(QuorvantisBinary, SimulatedDesktopRunsUntilTerminatedAndLeavesTheSettingsFile)
{
    runAndTerminate();
    EXPECT_EQ(storedSettings().value(QStringLiteral("showMenuBarIcon")), QVariant(true));
}

TEST_F(QuorvantisBinary, GarbageSettingsFileIsSetAsideAndTheApplicationStarts)
{
    ASSERT_TRUE(QDir().mkpath(QFileInfo(settingsPath()).absolutePath()));
    QFile garbage(settingsPath());
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    garbage.write("this is not json {");
    garbage.close();

    runAndTerminate();
    EXPECT_EQ(storedSettings().value(QStringLiteral("showMenuBarIcon")), QVariant(true));
    const QStringList aside = QDir(QFileInfo(settingsPath()).absolutePath())
                                  .entryList({QStringLiteral("defaults.json.corrupt-*")}, QDir::Files);
    ASSERT_EQ(aside.size(), 1);
    QFile kept(QFileInfo(settingsPath()).absolutePath() + QLatin1Char('/') + aside.first());
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("this is not json {"));
}

// Regression: with the shelf folder a link to ~/Documents and the clipboard's image folder one to
// ~/Pictures, starting the application deleted the files in both. The links are refused and stay.
TEST_F(QuorvantisBinary, LinkedCacheFoldersAreRefusedAndTheUsersFilesSurvive)
{
    QDir root(home.path());
    const QStringList files = {QStringLiteral("Documents/letter.txt"),
                               QStringLiteral("Documents/taxes/2025.pdf"),
                               QStringLiteral("Pictures/cat.png")};
    for (const QString &name : files) {
        ASSERT_TRUE(root.mkpath(QFileInfo(root.filePath(name)).path()));
        QFile file(root.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("the user's");
    }
    ASSERT_TRUE(root.mkpath(QStringLiteral("XDG_CACHE_HOME")));
    ASSERT_TRUE(QFile::link(root.filePath(QStringLiteral("Documents")),
                            root.filePath(QStringLiteral("XDG_CACHE_HOME/QuorvantisShelf"))));
    ASSERT_TRUE(QFile::link(root.filePath(QStringLiteral("Pictures")),
                            root.filePath(QStringLiteral("XDG_CACHE_HOME/QuorvantisClipboard"))));

    runAndTerminate();
    const QString console = QString::fromUtf8(process.readAllStandardOutput());
    for (const QString &name : {QStringLiteral("QuorvantisShelf"), QStringLiteral("QuorvantisClipboard")}) {
        EXPECT_TRUE(QFileInfo(root.filePath(QStringLiteral("XDG_CACHE_HOME/") + name)).isSymLink());
        EXPECT_TRUE(console.contains(name + QStringLiteral(" for "))) << console.toStdString();
    }
    for (const QString &name : files)
        EXPECT_TRUE(QFile::exists(root.filePath(name))) << name.toStdString();
}

TEST_F(QuorvantisBinary, X11WithoutADisplaySaysSoAndFails)
{
    QProcessEnvironment env = process.processEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    process.setProcessEnvironment(env);
    // Asked for the real desktop, or asked for nothing: either way one clear line, no silent fallback.
    for (const QStringList &args : {QStringList{QStringLiteral("--platform=x11")}, QStringList{}}) {
        process.start(binaryPath(), args);
        ASSERT_TRUE(process.waitForFinished(20000));
        EXPECT_NE(process.exitCode(), 0);
        const QByteArray err = process.readAllStandardError();
        EXPECT_EQ(err.count('\n'), 1) << err.constData();
        EXPECT_TRUE(err.contains("no X display")) << err.constData();
        EXPECT_FALSE(QFile::exists(settingsPath()));
    }
}

namespace {

qint64 lockHolder(const QTemporaryDir &runtime)
{
    QFile file(runtime.filePath(QStringLiteral("Quorvantis.lock")));
    return file.open(QIODevice::ReadOnly) ? file.readLine().trimmed().toLongLong() : 0;
}

} // namespace

// Two copies used to run side by side, sweeping each other's caches and rewriting one settings file.
TEST_F(QuorvantisBinary, ASecondCopyEndsTheFirstAndAStaleLockDoesNotHoldItUp)
{
    process.start(binaryPath(), {QStringLiteral("--platform=sim")});
    ASSERT_TRUE(process.waitForStarted());
    ASSERT_TRUE(QTest::qWaitFor([&] { return lockHolder(home) == process.processId(); }, 20000));

    QProcess second;
    second.setProcessEnvironment(process.processEnvironment());
    second.start(binaryPath(), {QStringLiteral("--platform=sim")});
    ASSERT_TRUE(second.waitForStarted());
    // Asked to end, the first copy quits in order.
    ASSERT_TRUE(process.waitForFinished(20000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return lockHolder(home) == second.processId(); }, 20000));
    EXPECT_EQ(second.state(), QProcess::Running);

    // A copy that crashes leaves its lock file behind; the next start is not held up by it.
    ::kill(pid_t(second.processId()), SIGKILL);
    ASSERT_TRUE(second.waitForFinished(20000));
    process.start(binaryPath(), {QStringLiteral("--platform=sim")});
    ASSERT_TRUE(process.waitForStarted());
    ASSERT_TRUE(QTest::qWaitFor([&] { return lockHolder(home) == process.processId(); }, 20000));
    ::kill(pid_t(process.processId()), SIGTERM);
    ASSERT_TRUE(process.waitForFinished(20000));
    EXPECT_EQ(process.exitCode(), 0);
}

// Start-up used to create the settings, the diagnostics and the clipboard manager (which sweeps its
// cache folder at once) before the other copy was ended, so two copies worked on the same files.
TEST_F(QuorvantisBinary, NothingIsWrittenUntilTheOtherCopyHasEnded)
{
    // Another copy that holds the lock and takes a second and a half to end when asked.
    QProcess other;
    other.start(
        QStringLiteral("/bin/sh"),
        {QStringLiteral("-c"),
         QStringLiteral("exec 9<>\"$0\"; flock -n 9 || exit 3; echo $$ > \"$0\"; trap '' TERM; sleep 1.5"),
         home.filePath(QStringLiteral("Quorvantis.lock"))});
    ASSERT_TRUE(other.waitForStarted());
    ASSERT_TRUE(QTest::qWaitFor([&] { return lockHolder(home) == other.processId(); }, 20000));

    process.start(binaryPath(), {QStringLiteral("--platform=sim")});
    ASSERT_TRUE(process.waitForStarted());
    QTest::qWait(700);
    ASSERT_EQ(other.state(), QProcess::Running);
    EXPECT_FALSE(QFile::exists(settingsPath()));
    EXPECT_FALSE(QFile::exists(home.filePath(QStringLiteral("XDG_CACHE_HOME"))));
    EXPECT_FALSE(QFile::exists(home.filePath(QStringLiteral("XDG_STATE_HOME"))));

    ASSERT_TRUE(other.waitForFinished(20000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return lockHolder(home) == process.processId(); }, 20000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(settingsPath()); }, 20000));
    ::kill(pid_t(process.processId()), SIGTERM);
    ASSERT_TRUE(process.waitForFinished(20000));
    EXPECT_EQ(process.exitCode(), 0);
}
