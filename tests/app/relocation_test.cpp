#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cerrno>
#include <cstdio>
#include <map>

#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "app/processcontrol.h"
#include "app/relocation.h"
#include "app/singleinstance.h"
#include "core/localization.h"
#include "core/settingsstore.h"
#include "platform/sim/simdesktop.h"
#include "runtime/manualscheduler.h"

using namespace qv;

namespace {
// A rename from this path fails, as a full disk or a vanished folder would make it fail.
QString failRenameFrom;
} // namespace

// The test program's renameat2() stands in front of the C library's; every other rename goes through.
extern "C" int renameat2(int fromFolder, const char *from, int toFolder, const char *to,
                         unsigned int flags) noexcept
{
    if (!failRenameFrom.isEmpty() && QFile::decodeName(from) == failRenameFrom) {
        errno = EIO;
        return -1;
    }
    return int(::syscall(SYS_renameat2, fromFolder, from, toFolder, to, flags));
}

namespace {

// Processes on a clock of their own: sleeping moves it, and a process that was told to end lets go
// of the instance lock once its exit time has come.
class FakeProcesses : public ProcessControl
{
public:
    static constexpr qint64 self = 100;

    qint64 currentPid() const override { return self; }
    bool tryLockInstance() override
    {
        if (lockHolder != 0 && lockHolder != self)
            return false;
        lockHolder = self;
        recordedPid = self;
        return true;
    }
    qint64 instanceHolderPid() const override { return recordedPid; }
    bool sendSignal(qint64 pid, Signal signal) override
    {
        const bool kill = signal == Signal::kill;
        signalsSent.append(QStringLiteral("%1 %2").arg(kill ? "KILL" : "TERM").arg(pid));
        const double delay = kill ? exitAfterKill : exitAfterTerm;
        if (pid == lockHolder && delay >= 0 && (exitAt < 0 || clock + delay < exitAt))
            exitAt = clock + delay;
        return pid == lockHolder;
    }
    void sleep(double seconds) override
    {
        clock += seconds;
        if (exitAt >= 0 && clock >= exitAt - 1e-9) {
            lockHolder = 0;
            exitAt = -1;
        }
    }
    QString startDetached(const QString &program, const QStringList &arguments) override
    {
        started.append(program + QLatin1Char(' ') + arguments.join(QLatin1Char(' ')));
        return startFailure;
    }

    qint64 lockHolder = 0;
    qint64 recordedPid = 0;
    // How long the holder takes to exit after each signal; negative: it does not.
    double exitAfterTerm = 0.1;
    double exitAfterKill = 0.0;
    double clock = 0;
    double exitAt = -1;
    QStringList signalsSent;
    QStringList started;
    QString startFailure;
};

struct InstanceCase
{
    const char *name;
    qint64 holder;   // 0: the lock is free
    qint64 recorded; // what the lock file says
    double exitAfterTerm;
    double exitAfterKill;
    QStringList signalsSent;
    bool locked;
    double minWait;
    double maxWait;
};

class SingleInstanceCases : public ::testing::TestWithParam<InstanceCase>
{
};

} // namespace

TEST_P(SingleInstanceCases, EndsTheHolderAndTakesTheLock)
{
    const InstanceCase &c = GetParam();
    FakeProcesses processes;
    processes.lockHolder = c.holder;
    processes.recordedPid = c.recorded;
    processes.exitAfterTerm = c.exitAfterTerm;
    processes.exitAfterKill = c.exitAfterKill;
    SingleInstance instance(processes);

    instance.terminateOtherInstances();
    EXPECT_EQ(processes.signalsSent, c.signalsSent);
    EXPECT_EQ(processes.lockHolder == FakeProcesses::self, c.locked);
    EXPECT_GE(processes.clock, c.minWait);
    EXPECT_LE(processes.clock, c.maxWait);

    // Start-up asks again at its own step: nothing more happens.
    const double waited = processes.clock;
    instance.terminateOtherInstances();
    EXPECT_EQ(processes.signalsSent, c.signalsSent);
    EXPECT_EQ(processes.clock, waited);
}

INSTANTIATE_TEST_SUITE_P(
    Holders, SingleInstanceCases,
    ::testing::Values(
        // A crashed copy's lock is free although its file still names it.
        InstanceCase{"NoneOrCrashed", 0, 4242, 0, 0, {}, true, 0, 0},
        InstanceCase{"EndsWhenAsked", 200, 200, 0.3, 0, {"TERM 200"}, true, 0.3, 0.4},
        InstanceCase{
            "IgnoresTerminateAndIsForced", 200, 200, -1, 0.2, {"TERM 200", "KILL 200"}, true, 2.2, 2.3},
        InstanceCase{"EndsJustBeforeBeingForced", 200, 200, 1.95, 0, {"TERM 200"}, true, 1.9, 2.0},
        // Stuck in the kernel: reported, and start-up goes on after a bounded wait.
        InstanceCase{"CannotBeEnded", 200, 200, -1, -1, {"TERM 200", "KILL 200"}, false, 7.0, 7.2},
        // The holder has not written its PID: no one is signalled, start-up goes on.
        InstanceCase{"HolderWithoutPid", 200, 0, 0, 0, {}, false, 0.5, 0.6},
        // The file still names this process (its pid reused, or written before another took the
        // lock): never a signal to ourselves.
        InstanceCase{"FileNamesThisProcess", 200, FakeProcesses::self, 0, 0, {}, false, 0.5, 0.6}),
    [](const auto &info) { return std::string(info.param.name); });

namespace {

class RelocationTest : public ::testing::Test
{
protected:
    RelocationTest()
    {
        root.setAutoRemove(true);
        applications = root.filePath("Applications");
        QDir().mkpath(applications);
        QDir().mkpath(root.filePath("home/Applications"));
        QDir().mkpath(root.filePath("Downloads"));
        desktop.installation.applicationsFolder = applications;
        desktop.installation.home = root.filePath("home");
        desktop.installation.bundle = root.filePath("Downloads/Quorvantis.app");
    }

    Relocation &relocation()
    {
        if (!m_relocation)
            m_relocation = std::make_unique<Relocation>(desktop.installation, desktop.application, settings,
                                                        scheduler, instance, processes, "/opt/q/quorvantis",
                                                        QStringList{"--platform=sim"});
        return *m_relocation;
    }

    static void writeFile(const QString &path, const QByteArray &content)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    static QByteArray readFile(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    QStringList applicationsEntries() const
    {
        return QDir(applications).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    QTemporaryDir root;
    QString applications;
    SimDesktop desktop;
    ManualScheduler scheduler;
    SettingsStore settings;
    FakeProcesses processes;
    SingleInstance instance{processes};

private:
    std::unique_ptr<Relocation> m_relocation;
};

} // namespace

TEST_F(RelocationTest, InstalledWhereverTheBundleResolvesIntoAnApplicationsFolder)
{
    QFile::link(root.filePath("Applications"), root.filePath("Linked"));
    const std::pair<const char *, bool> rows[] = {
        {"Applications/Quorvantis.app", true},     {"home/Applications/Quorvantis.app", true},
        {"Linked/Quorvantis.app", true},           {"Downloads/Quorvantis.app", false},
        {"ApplicationsOld/Quorvantis.app", false}, {"home/Applications", false},
    };
    for (const auto &[path, expected] : rows) {
        QDir().mkpath(root.filePath(path));
        desktop.installation.bundle = root.filePath(path);
        EXPECT_EQ(relocation().isInApplicationsFolder(), expected) << path;
    }
    // A desktop without an applications folder (X11) is always in place.
    desktop.installation.applicationsFolder.clear();
    EXPECT_TRUE(relocation().isInApplicationsFolder());
}

TEST_F(RelocationTest, MoveQuestionSpeaksTheStoredLanguageAndMapsTheButtons)
{
    settings.set(Settings::appLanguage, QStringLiteral("Français"));
    desktop.installation.alertAnswers = {0, 1, 2, -1};
    EXPECT_EQ(relocation().askToMoveToApplications(), Relocator::MoveAnswer::move);
    EXPECT_EQ(relocation().askToMoveToApplications(), Relocator::MoveAnswer::notNow);
    EXPECT_EQ(relocation().askToMoveToApplications(), Relocator::MoveAnswer::quit);
    EXPECT_EQ(relocation().askToMoveToApplications(), Relocator::MoveAnswer::quit);
    const InstallationService::Alert &alert = desktop.installation.alerts.first();
    EXPECT_EQ(alert.message, Localization::text("move_title", AppLanguage::french));
    EXPECT_NE(alert.message, Localization::text("move_title", AppLanguage::english));
    EXPECT_EQ(alert.buttons.size(), 3);
    EXPECT_EQ(alert.buttons.first(), Localization::text("move_btn", AppLanguage::french));
}

TEST_F(RelocationTest, MoveReplacesAnOlderCopyOpensTheNewOneAndQuitsHalfASecondLater)
{
    writeFile(desktop.installation.bundle + "/Contents/quorvantis", "new");
    writeFile(applications + "/Quorvantis.app/Contents/quorvantis", "old");
    writeFile(applications + "/Quorvantis.app/Contents/stale-only-in-old", "x");

    relocation().moveToApplications();
    EXPECT_EQ(readFile(applications + "/Quorvantis.app/Contents/quorvantis"), "new");
    EXPECT_FALSE(QFile::exists(applications + "/Quorvantis.app/Contents/stale-only-in-old"));
    EXPECT_EQ(applicationsEntries(), QStringList({"Quorvantis.app"}));
    EXPECT_EQ(desktop.installation.openedInstances, QStringList({applications + "/Quorvantis.app"}));
    EXPECT_TRUE(QFile::exists(desktop.installation.bundle)); // the source stays
    EXPECT_TRUE(desktop.installation.alerts.isEmpty());

    scheduler.advance(0.49);
    EXPECT_EQ(desktop.application.terminateCount, 0);
    scheduler.advance(0.01);
    EXPECT_EQ(desktop.application.terminateCount, 1);
}

// The installed copy used to be removed before the new one was copied: a copy that failed left
// no copy at all.
TEST_F(RelocationTest, FailedCopyKeepsTheInstalledCopyAndSaysWhy)
{
    writeFile(applications + "/Quorvantis.app/Contents/quorvantis", "old");
    // The source vanished (e.g. the download was cleaned up) while the question was shown.
    relocation().moveToApplications();

    EXPECT_EQ(readFile(applications + "/Quorvantis.app/Contents/quorvantis"), "old");
    EXPECT_EQ(applicationsEntries(), QStringList({"Quorvantis.app"}));
    ASSERT_EQ(desktop.installation.alerts.size(), 1);
    const InstallationService::Alert &alert = desktop.installation.alerts.first();
    EXPECT_EQ(alert.style, InstallationService::AlertStyle::warning);
    EXPECT_EQ(alert.message, "Could not move Quorvantis. Please drag it to Applications manually.");
    EXPECT_TRUE(alert.informativeText.contains("Downloads/Quorvantis.app"))
        << qPrintable(alert.informativeText);
    EXPECT_EQ(alert.buttons, QStringList({"OK"}));
    EXPECT_TRUE(desktop.installation.openedInstances.isEmpty());
    scheduler.advance(5);
    EXPECT_EQ(desktop.application.terminateCount, 0);
}

// When the complete copy could not take the installed copy's place, the installed copy, already moved
// aside, was lost with it.
TEST_F(RelocationTest, FailedFinalRenamePutsTheInstalledCopyBack)
{
    writeFile(desktop.installation.bundle + "/Contents/quorvantis", "new");
    writeFile(applications + "/Quorvantis.app/Contents/quorvantis", "old");
    failRenameFrom = applications + "/.Quorvantis.app.incoming";
    relocation().moveToApplications();
    failRenameFrom.clear();

    EXPECT_EQ(readFile(applications + "/Quorvantis.app/Contents/quorvantis"), "old");
    EXPECT_EQ(applicationsEntries(), QStringList({"Quorvantis.app"}));
    ASSERT_EQ(desktop.installation.alerts.size(), 1);
    EXPECT_TRUE(desktop.installation.alerts.first().informativeText.contains("Quorvantis.app"));
    EXPECT_TRUE(desktop.installation.openedInstances.isEmpty());
}

TEST_F(RelocationTest, FailedOpenKeepsTheCopyAndThisRunAlive)
{
    writeFile(desktop.installation.bundle + "/Contents/quorvantis", "new");
    // Leftovers of a move cut short earlier are cleared first.
    writeFile(applications + "/.Quorvantis.app.incoming/junk", "x");
    desktop.installation.openFailure = QStringLiteral("cannot execute");

    relocation().moveToApplications();
    EXPECT_EQ(readFile(applications + "/Quorvantis.app/Contents/quorvantis"), "new");
    EXPECT_EQ(applicationsEntries(), QStringList({"Quorvantis.app"}));
    ASSERT_EQ(desktop.installation.alerts.size(), 1);
    EXPECT_EQ(desktop.installation.alerts.first().informativeText, "cannot execute");
    scheduler.advance(5);
    EXPECT_EQ(desktop.application.terminateCount, 0);
}

// Restart used to quit even when the new copy never started, leaving the user with none.
TEST_F(RelocationTest, RestartQuitsOnlyOnceTheNewCopyStarted)
{
    processes.startFailure = QStringLiteral("No such file or directory");
    EXPECT_EQ(relocation().restartApp(), "No such file or directory");
    EXPECT_EQ(desktop.application.terminateCount, 0);

    processes.startFailure.clear();
    EXPECT_EQ(relocation().restartApp(), QString());
    EXPECT_EQ(desktop.application.terminateCount, 1);
    EXPECT_EQ(processes.started,
              QStringList({"/opt/q/quorvantis --platform=sim", "/opt/q/quorvantis --platform=sim"}));
}

TEST(PosixProcessControl, ALockLeftInTheFileByAnEndedProcessIsFreeAndNamesTheNewHolder)
{
    QTemporaryDir runtime;
    const QString path = runtime.filePath("sub/Quorvantis.lock");
    QDir().mkpath(runtime.filePath("sub"));
    QFile stale(path);
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.write("999999999\nleft over by a crash\n");
    stale.close();

    PosixProcessControl first(path);
    EXPECT_EQ(first.instanceHolderPid(), 999999999);
    ASSERT_TRUE(first.tryLockInstance());
    EXPECT_EQ(first.instanceHolderPid(), first.currentPid());

    // A second holder in this process is refused while the first keeps the lock.
    PosixProcessControl second(path);
    EXPECT_FALSE(second.tryLockInstance());
    EXPECT_EQ(second.instanceHolderPid(), first.currentPid());
}

TEST(PosixProcessControl, StartDetachedSaysWhyAProgramDidNotStart)
{
    QTemporaryDir dir;
    QFile notAFolder(dir.filePath("file"));
    ASSERT_TRUE(notAFolder.open(QIODevice::WriteOnly));
    notAFolder.close();
    PosixProcessControl processes(dir.filePath("file/Quorvantis.lock"));
    EXPECT_FALSE(processes.startDetached(dir.filePath("missing/quorvantis"), {}).isEmpty());
    EXPECT_EQ(processes.startDetached(QStringLiteral("/bin/true"), {QStringLiteral("--arg")}), QString());
    // A lock in a folder that cannot be made is not taken, and nobody is named as its holder.
    EXPECT_FALSE(processes.tryLockInstance());
    EXPECT_EQ(processes.instanceHolderPid(), 0);
}
