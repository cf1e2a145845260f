#include <QDateTime>
#include <QFileInfo>
#include <QRegularExpression>
#include <QThread>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "core/diagnostics/mainthreadwatchdog.h"
#include "diagnosticsfixture.h"
#include "support/withoutfilerights.h"
#include "support/withoutstandardinput.h"

using namespace qv;

namespace {

QString logNameAt(double wallSeconds)
{
    return QStringLiteral("quorvantis_") +
           QDateTime::fromMSecsSinceEpoch(qint64(wallSeconds * 1000))
               .toString(QStringLiteral("yyyyMMdd_HHmmss")) +
           QStringLiteral(".log");
}
} // namespace

class DiagnosticsLog : public qv::test::DiagnosticsFixture
{
};

TEST_F(DiagnosticsLog, WritesLinesOfTheExactFormatToAFileNamedByTheSecond)
{
    makeManager(true);
    manager->log(QStringLiteral("overlay_hide"));
    manager->log(QStringLiteral("overlay_show"), QStringLiteral("route=all"));
    scheduler.runPending();

    ASSERT_EQ(logFiles(), QStringList{logNameAt(scheduler.wallNow())});
    EXPECT_EQ(readLog(logFiles().first()),
              QByteArray("[2023-11-14T22:13:20.123Z] overlay_hide\n"
                         "[2023-11-14T22:13:20.123Z] overlay_show | route=all\n"));
    EXPECT_EQ(manager->logFileURLs(),
              QList<QUrl>{QUrl::fromLocalFile(QDir(logDir()).absoluteFilePath(logFiles().first()))});
}

TEST_F(DiagnosticsLog, TimestampsAreUtcWithMillisecondsOnAnyDate)
{
    // Epoch, a leap day, the last millisecond of a day, a century that is not a leap year.
    for (const qint64 ms : {0LL, 951782400500LL, 1709251199999LL, 4107542400001LL, 1700000000123LL}) {
        ManualScheduler clock(1000.0, double(ms) / 1000.0);
        DiagnosticsManager recorder(settings, clock, queues, dialogs, revealer, logDir());
        settings.set(Settings::diagnosticsEnabled, true);
        recorder.log(QStringLiteral("tick"));
        EXPECT_EQ(recorder.recentEvents().value(0).timestamp,
                  QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC).toString(Qt::ISODateWithMs))
            << ms;
    }
}

TEST_F(DiagnosticsLog, RingKeepsTheNewestFiftyOldestFirst)
{
    makeManager(true);
    for (int i = 1; i <= 51; ++i)
        manager->log(QStringLiteral("e%1").arg(i));
    const auto events = manager->recentEvents();
    ASSERT_EQ(manager->bufferedEventCount(), 50);
    EXPECT_EQ(events.first().name, QStringLiteral("e2"));
    EXPECT_EQ(events.last().name, QStringLiteral("e51"));
    EXPECT_EQ(DiagnosticsManager::DiagEvent::fromJson(events.last().toJson()), events.last());
    EXPECT_FALSE(DiagnosticsManager::DiagEvent::fromJson(QJsonObject{{"name", "x"}, {"detail", ""}}));
}

TEST_F(DiagnosticsLog, WhileOffOnlyTheFolderIsCreatedAndTheFlagIsReadOnEveryCall)
{
    makeManager(false);
    MainThreadWatchdog watchdog(*manager, scheduler);
    manager->setWatchdog(&watchdog);
    manager->log(QStringLiteral("overlay_hide"));
    EXPECT_EQ(scheduler.pendingCount(), 0);
    scheduler.advance(1);
    EXPECT_TRUE(QFileInfo(logDir()).isDir());
    EXPECT_TRUE(folderEntries().isEmpty());
    EXPECT_EQ(manager->bufferedEventCount(), 0);
    EXPECT_FALSE(watchdog.isRunning());

    // Switching the flag on takes effect with the next call, before any enable() work has run.
    settings.set(Settings::diagnosticsEnabled, true);
    manager->log(QStringLiteral("overlay_show"), QStringLiteral("route=all"));
    EXPECT_EQ(manager->bufferedEventCount(), 1);
}

struct RotationCase
{
    const char *label;
    qint64 fileSize;   // the open file is grown to this many bytes
    double waitBefore; // seconds between the file's opening and the next line
    bool rotates;
};

class DiagnosticsRotation : public qv::test::DiagnosticsFixture,
                            public ::testing::WithParamInterface<RotationCase>
{
};

TEST_P(DiagnosticsRotation, RotatesAtTheSizeAndAgeBoundaries)
{
    const RotationCase c = GetParam();
    makeManager(true);
    scheduler.runPending();
    ASSERT_EQ(logFiles().size(), 1);
    const QString first = logFiles().first();
    ASSERT_TRUE(QFile::resize(logDir() + QLatin1Char('/') + first, c.fileSize));

    scheduler.advance(c.waitBefore);
    manager->log(QStringLiteral("next"));
    scheduler.runPending();

    EXPECT_EQ(logFiles().size(), c.rotates ? 2 : 1);
    EXPECT_TRUE(readLog(logFiles().last()).endsWith("] next\n"));
    const qint64 firstSize = QFileInfo(logDir() + QLatin1Char('/') + first).size();
    if (c.rotates)
        EXPECT_EQ(firstSize, c.fileSize);
    else
        EXPECT_GT(firstSize, c.fileSize);
}

INSTANTIATE_TEST_SUITE_P(Boundaries, DiagnosticsRotation,
                         ::testing::Values(RotationCase{"OneByteUnder2MiB", 2097151, 1.0, false},
                                           RotationCase{"Exactly2MiB", 2097152, 1.0, true},
                                           RotationCase{"OneMillisecondUnderSevenDays", 10, 604799.999,
                                                        false},
                                           RotationCase{"ExactlySevenDays", 10, 604800.0, true}),
                         [](const auto &info) { return std::string(info.param.label); });

TEST_F(DiagnosticsLog, RotationPrunesToTheTenNewestLogFilesAndLeavesOtherFilesAlone)
{
    writeOldLogs(logDir(), 11, "old\n");
    writeFile(logDir() + QStringLiteral("/notes.txt"), "keep");
    writeFile(logDir() + QStringLiteral("/ARCHIVE.LOG"), "keep");
    makeManager(true);
    scheduler.runPending();
    ASSERT_EQ(logFiles().size(), 12);
    ASSERT_TRUE(QFile::resize(QDir(logDir()).absoluteFilePath(logNameAt(scheduler.wallNow())), 2097152));

    scheduler.advance(1.0);
    manager->log(QStringLiteral("after_rotation"));
    scheduler.runPending();

    const QStringList entries = folderEntries();
    EXPECT_FALSE(entries.contains(QStringLiteral("quorvantis_20200101_000000.log")));
    EXPECT_FALSE(entries.contains(QStringLiteral("quorvantis_20200101_000001.log")));
    EXPECT_TRUE(entries.contains(QStringLiteral("quorvantis_20200101_000002.log")));
    EXPECT_TRUE(entries.contains(QStringLiteral("notes.txt")));
    EXPECT_TRUE(entries.contains(QStringLiteral("ARCHIVE.LOG")));
    const QList<QUrl> urls = manager->logFileURLs();
    ASSERT_EQ(urls.size(), 11);
    EXPECT_EQ(QFileInfo(urls.first().toLocalFile()).fileName(), logNameAt(scheduler.wallNow()));
}

// Switching back on checks the previous run's file for rotation before opening the next one: a full
// file is rotated out, so the older files are pruned first.
TEST_F(DiagnosticsLog, EnableChecksThePreviousFileForRotationFirst)
{
    writeOldLogs(logDir(), 10, "old\n");
    makeManager(true);
    manager->log(QStringLiteral("before"));
    scheduler.runPending();
    ASSERT_EQ(logFiles().size(), 11);
    ASSERT_TRUE(QFile::resize(QDir(logDir()).absoluteFilePath(logFiles().last()), 2097152));

    manager->disable();
    scheduler.advance(1.0);
    manager->enable();
    scheduler.runPending();

    EXPECT_FALSE(logFiles().contains(QStringLiteral("quorvantis_20200101_000000.log")));
    EXPECT_EQ(logFiles().size(), 11);
    EXPECT_EQ(logFiles().last(), logNameAt(scheduler.wallNow()));
}

// Fault: a file opened a second time within the same second got the same name and was created
// empty again, wiping the lines the first one held. A second later switching back on starts a new file.
TEST_F(DiagnosticsLog, ReopeningWithinTheSameSecondAppendsAndLaterStartsANewFile)
{
    makeManager(true);
    manager->log(QStringLiteral("first"));
    scheduler.runPending();
    manager->disable();
    manager->enable();
    manager->log(QStringLiteral("second"));
    manager->disable();
    scheduler.advance(1.0);
    manager->enable();
    manager->log(QStringLiteral("after"));
    scheduler.runPending();

    ASSERT_EQ(logFiles().size(), 2);
    const QByteArray content = readLog(logFiles().first());
    EXPECT_TRUE(content.contains("] first\n"));
    EXPECT_TRUE(content.endsWith("] second\n"));
    EXPECT_TRUE(readLog(logFiles().at(1)).endsWith("] after\n"));
}

TEST_F(DiagnosticsLog, AFileThatCannotBeOpenedDropsLinesKeepsTheRingAndIsRetriedPerLine)
{
    makeManager(true);
    ASSERT_TRUE(QDir(logDir()).removeRecursively());
    manager->log(QStringLiteral("lost1"));
    manager->log(QStringLiteral("lost2"));
    scheduler.runPending();
    EXPECT_EQ(manager->bufferedEventCount(), 2);
    EXPECT_FALSE(QFileInfo::exists(logDir()));

    QDir().mkpath(logDir());
    manager->log(QStringLiteral("kept"));
    scheduler.runPending();
    ASSERT_EQ(logFiles().size(), 1);
    EXPECT_EQ(readLog(logFiles().first()), QByteArray("[2023-11-14T22:13:20.123Z] kept\n"));
}

// Started with its standard input closed, the log folder and then the log file are opened as
// descriptor 0: both are used like any other.
TEST_F(DiagnosticsLog, AProgramStartedWithoutStandardInputStillWritesItsLog)
{
    {
        const qv::test::WithoutStandardInput closed;
        makeManager(true);
        manager->log(QStringLiteral("kept"));
        scheduler.runPending();
        manager.reset();
    }
    ASSERT_EQ(logFiles().size(), 1);
    EXPECT_EQ(readLog(logFiles().first()), QByteArray("[2023-11-14T22:13:20.123Z] kept\n"));
}

TEST_F(DiagnosticsLog, LinesFromManyThreadsArriveWholeOnTheRealQueue)
{
    settings.set(Settings::diagnosticsEnabled, true);
    ThreadQueueFactory threads;
    {
        DiagnosticsManager recorder(settings, scheduler, threads, dialogs, revealer, logDir());
        std::vector<std::thread> callers;
        for (int t = 0; t < 4; ++t) {
            callers.emplace_back([&recorder, t] {
                for (int i = 0; i < 200; ++i)
                    recorder.log(QStringLiteral("t%1").arg(t), QStringLiteral("i=%1").arg(i));
            });
        }
        for (auto &caller : callers)
            caller.join();
        EXPECT_EQ(recorder.bufferedEventCount(), 50);
    } // the recorder finishes its queued lines before it goes

    ASSERT_EQ(logFiles().size(), 1);
    const QStringList lines =
        QString::fromUtf8(readLog(logFiles().first())).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 800);
    static const QRegularExpression shape(
        QStringLiteral(R"(^\[2023-11-14T22:13:20\.123Z\] t[0-3] \| i=\d+$)"));
    for (const QString &line : lines)
        ASSERT_TRUE(shape.match(line).hasMatch()) << line.toStdString();
}

// Regression: with the state folder a link, the log files were written through it into the folder
// it points to; with a plain file in its place logging stopped without a word. Either is refused,
// said once on the console and as an event, and nothing is written through it.
TEST_F(DiagnosticsLog, AStateFolderThatIsNotOursIsRefusedAndSaysWhy)
{
    const QString elsewhere = root.path() + QStringLiteral("/Videos");
    ASSERT_TRUE(QDir().mkpath(elsewhere));
    ASSERT_TRUE(QDir().mkpath(root.path() + QStringLiteral("/state")));
    const struct
    {
        const char *name;
        std::function<void()> make;
        QString reason;
    } rows[] = {
        {"link", [&] { ASSERT_TRUE(QFile::link(elsewhere, logDir())); }, QStringLiteral("it is a symbolic link")},
        {"plain file", [&] { writeFile(logDir(), "notes"); }, QStringLiteral("it is not a folder")},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        QFile::remove(logDir());
        row.make();
        makeManager(true);
        manager->log(QStringLiteral("hotkey_all"));
        scheduler.runPending();
        const QList<DiagnosticsManager::DiagEvent> events = manager->recentEvents();
        ASSERT_EQ(events.size(), 2);
        EXPECT_EQ(events[0].name, DiagEvents::folderRefused);
        EXPECT_EQ(events[0].detail, QStringLiteral("Quorvantis: ") + row.reason);
        EXPECT_TRUE(manager->logFileURLs().isEmpty());
        manager.reset();
    }
    EXPECT_TRUE(QDir(elsewhere).isEmpty());
    EXPECT_FALSE(QFileInfo(logDir()).isDir());
}

// Regression: a state folder we may not open was reported as "not a folder".
TEST_F(DiagnosticsLog, AStateFolderThatMayNotBeOpenedIsToldAsSuch)
{
    ASSERT_TRUE(QDir().mkpath(logDir()));
    ASSERT_TRUE(QFile::setPermissions(logDir(), QFileDevice::Permissions()));
    QThread *testThread = QThread::currentThread();
    qv::test::runWithFileModesEnforced([&] {
        makeManager(true);
        manager->moveToThread(testThread);
    });
    QFile::setPermissions(logDir(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const QList<DiagnosticsManager::DiagEvent> events = manager->recentEvents();
    ASSERT_EQ(events.size(), 1);
    EXPECT_EQ(events[0].name, DiagEvents::folderRefused);
    EXPECT_EQ(events[0].detail, QStringLiteral("Quorvantis: it cannot be opened (Permission denied)"));
}

// The quit freed the recorder's state while the shelf's intake thread was still inside log(), which
// then wrote into freed memory.
TEST(DiagnosticsQuit, FinishingWaitsForACallerInsideLogAndLaterCallsRecordNothing)
{
    QTemporaryDir root;
    SettingsStore settings;
    settings.set(Settings::diagnosticsEnabled, true);
    ManualScheduler manual{1000.0, 1700000000.123};
    test::HeldClock clock(manual);
    SchedulerQueueFactory queues(clock);
    SimFileDialogs dialogs;
    SimFileRevealer revealer;
    DiagnosticsManager recorder(settings, clock, queues, dialogs, revealer, root.path());

    clock.hold();
    std::thread caller([&] { recorder.log(QStringLiteral("intake"), QStringLiteral("late")); });
    ASSERT_TRUE(clock.waitUntilHeld());

    // Whether the caller had left log() when the quit ended cannot be read without a race of its
    // own (it leaves the lock before it could say so): the quit still running while the caller is
    // held inside is what shows the wait.
    std::atomic<bool> finished{false};
    std::thread quitter([&] {
        recorder.finishWrites();
        finished = true;
    });
    // Time enough for a quit that does not wait to free the state under the held caller.
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    const bool finishedWhileHeld = finished.load();
    clock.release();
    caller.join();
    quitter.join();

    EXPECT_FALSE(finishedWhileHeld);
    recorder.log(QStringLiteral("after"));
    EXPECT_EQ(recorder.bufferedEventCount(), 0);
    EXPECT_TRUE(recorder.recentEvents().isEmpty());
}

TEST(DiagnosticsLogFolder, IsQuorvantisInTheXdgStateFolder)
{
    const QByteArray saved = qgetenv("XDG_STATE_HOME");
    const std::pair<QByteArray, QString> cases[] = {
        {"/srv/state", QStringLiteral("/srv/state/Quorvantis")},
        {"", QDir::homePath() + QStringLiteral("/.local/state/Quorvantis")},
        {"relative/state",
         QDir::homePath() + QStringLiteral("/.local/state/Quorvantis")}, // ignored, as XDG says
    };
    for (const auto &[value, expected] : cases) {
        qputenv("XDG_STATE_HOME", value);
        EXPECT_EQ(DiagnosticsManager::defaultLogDirectory(), expected) << value.constData();
    }
    if (saved.isNull())
        qunsetenv("XDG_STATE_HOME");
    else
        qputenv("XDG_STATE_HOME", saved);
}
