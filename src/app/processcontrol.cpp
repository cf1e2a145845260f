#include "app/processcontrol.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "platform/ownedfiles.h"

namespace qv {

PosixProcessControl::PosixProcessControl(const QString &lockPath)
    : m_lockPath(lockPath.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) +
                                          QStringLiteral("/Quorvantis.lock")
                                    : lockPath)
{
}

PosixProcessControl::~PosixProcessControl()
{
    if (m_lockFd >= 0)
        ::close(m_lockFd);
}

qint64 PosixProcessControl::currentPid() const
{
    return ::getpid();
}

bool PosixProcessControl::tryLockInstance()
{
    if (m_locked)
        return true;
    if (m_lockFd < 0) {
        QDir().mkpath(QFileInfo(m_lockPath).absolutePath());
        // Close-on-exec: a program this one starts (a restart) must not inherit the lock. Never
        // through a link, and never blocking on a pipe: the file is emptied and rewritten below.
        m_lockFd = ::open(QFile::encodeName(m_lockPath).constData(),
                          O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
        if (m_lockFd < 0)
            return false;
    }
    if (::flock(m_lockFd, LOCK_EX | LOCK_NB) != 0)
        return false;
    m_locked = true;
    const QByteArray pid = QByteArray::number(currentPid()) + '\n';
    if (::ftruncate(m_lockFd, 0) == 0) {
        const ssize_t written = ::pwrite(m_lockFd, pid.constData(), size_t(pid.size()), 0);
        static_cast<void>(written);
    }
    return true;
}

qint64 PosixProcessControl::instanceHolderPid() const
{
    // The pid on its first line; anything but a small regular file in its place is not read.
    const auto read = OwnedFiles::readRegularFile(m_lockPath, 4096);
    if (read.problem != OwnedFiles::ReadResult::None)
        return 0;
    bool ok = false;
    const qsizetype lineEnd = read.bytes.indexOf('\n');
    const qint64 pid = (lineEnd < 0 ? read.bytes : read.bytes.left(lineEnd)).trimmed().toLongLong(&ok);
    return ok && pid > 0 ? pid : 0;
}

bool PosixProcessControl::sendSignal(qint64 pid, Signal signal)
{
    if (pid <= 0)
        return false;
    return ::kill(pid_t(pid), signal == Signal::kill ? SIGKILL : SIGTERM) == 0;
}

void PosixProcessControl::sleep(double seconds)
{
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

QString PosixProcessControl::startDetached(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    // startDetached returns once the program has been executed, or reports why it could not be.
    if (!process.startDetached())
        return process.errorString();
    return {};
}

} // namespace qv
