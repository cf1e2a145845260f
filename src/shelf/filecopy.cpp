#include "shelf/filecopy.h"

#include <cerrno>

#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include "platform/ownedfiles.h"

namespace qv::FileCopy {

namespace {

class Descriptor
{
public:
    explicit Descriptor(int fd = -1) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

qint64 freeBytesAt(int fd)
{
    struct statvfs status = {};
    if (::fstatvfs(fd, &status) != 0)
        return -1;
    return qint64(status.f_bavail) * qint64(status.f_frsize);
}

// Copies [from, to) of `in` to the same place in `out`, in the kernel where it can.
bool copyRange(int in, int out, off_t from, off_t to)
{
    off_t inOffset = from;
    off_t outOffset = from;
    bool kernel = true;
    while (inOffset < to) {
        const size_t length = size_t(std::min<off_t>(to - inOffset, 64 * 1024 * 1024));
        if (kernel) {
            const ssize_t copied = ::copy_file_range(in, &inOffset, out, &outOffset, length, 0);
            if (copied > 0)
                continue;
            if (copied == 0)
                return false;
            if (errno == EINTR)
                continue;
            if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP)
                return false;
            kernel = false;
        }
        char buffer[64 * 1024];
        const ssize_t got = ::pread(in, buffer, std::min(length, sizeof(buffer)), inOffset);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        for (ssize_t written = 0; written < got;) {
            const ssize_t put = ::pwrite(out, buffer + written, size_t(got - written), outOffset + written);
            if (put < 0 && errno == EINTR)
                continue;
            if (put <= 0)
                return false;
            written += put;
        }
        inOffset += got;
        outOffset += got;
    }
    return true;
}

// Only the stretches that hold data are copied; the rest stays a hole.
bool copyData(int in, int out, off_t size)
{
    off_t position = 0;
    while (position < size) {
        off_t data = ::lseek(in, position, SEEK_DATA);
        if (data < 0) {
            if (errno == ENXIO)
                break;
            // A file system that cannot tell holes: everything is data.
            return copyRange(in, out, position, size);
        }
        off_t hole = ::lseek(in, data, SEEK_HOLE);
        if (hole < 0)
            hole = size;
        if (!copyRange(in, out, data, std::min(hole, size)))
            return false;
        position = hole;
    }
    return ::ftruncate(out, size) == 0;
}

// Files of the kernel's own file systems describe the system, not data: their sizes say nothing (0
// for /proc/cpuinfo, terabytes for /proc/kcore) and reading some never ends or fails.
bool isOnPseudoFileSystem(int fd)
{
    struct statfs status = {};
    if (::fstatfs(fd, &status) != 0)
        return false;
    switch (static_cast<unsigned long>(status.f_type)) {
    case PROC_SUPER_MAGIC:
    case SYSFS_MAGIC:
    case DEBUGFS_MAGIC:
    case TRACEFS_MAGIC:
    case SECURITYFS_MAGIC:
    case CGROUP_SUPER_MAGIC:
    case CGROUP2_SUPER_MAGIC:
    case BPF_FS_MAGIC:
    case EFIVARFS_MAGIC:
    case PSTOREFS_MAGIC:
        return true;
    default:
        return false;
    }
}

// A file that reports no size must have nothing to read; one that yields bytes (or an error) is not
// a file whose copy its size could vouch for.
bool isTrulyEmpty(int in)
{
    char byte = 0;
    for (;;) {
        const ssize_t got = ::pread(in, &byte, 1, 0);
        if (got < 0 && errno == EINTR)
            continue;
        return got == 0;
    }
}

Outcome copyFile(int in, const struct stat &status, const QByteArray &destination, qint64 minimumFreeBytes)
{
    if (isOnPseudoFileSystem(in) || (status.st_size == 0 && !isTrulyEmpty(in)))
        return Outcome::NotAFile;
    Descriptor out(
        ::open(destination.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, (status.st_mode & 0777) | 0600));
    if (out.get() < 0)
        return Outcome::Failed;
    // What the copy takes on disk is what the source takes: its holes stay holes.
    const qint64 needed = qint64(status.st_blocks) * 512;
    Outcome outcome = Outcome::Copied;
    const qint64 freeBytes = freeBytesAt(out.get());
    if (freeBytes >= 0 && !hasRoom(needed, freeBytes, minimumFreeBytes))
        outcome = Outcome::NoRoom;
    else if (!copyData(in, out.get(), status.st_size))
        outcome = Outcome::Failed;
    return outcome;
}

Outcome copyInto(const QByteArray &source, const QByteArray &destination, qint64 minimumFreeBytes);

Outcome copyFolder(const QByteArray &source, const struct stat &status, const QByteArray &destination,
                   qint64 minimumFreeBytes)
{
    if (::mkdir(destination.constData(), (status.st_mode & 0777) | 0700) != 0)
        return Outcome::Failed;
    DIR *dir = ::opendir(source.constData());
    Outcome outcome = dir ? Outcome::Copied : Outcome::Failed;
    while (dir && outcome == Outcome::Copied) {
        errno = 0;
        const dirent *entry = ::readdir(dir);
        if (!entry) {
            if (errno != 0)
                outcome = Outcome::Failed;
            break;
        }
        const QByteArray name(entry->d_name);
        if (name == "." || name == "..")
            continue;
        const QByteArray from = source + '/' + name;
        const QByteArray to = destination + '/' + name;
        struct stat child = {};
        if (::lstat(from.constData(), &child) != 0) {
            outcome = Outcome::Failed;
        } else if (S_ISLNK(child.st_mode)) {
            QByteArray target(qsizetype(child.st_size) + 1, '\0');
            const ssize_t length = ::readlink(from.constData(), target.data(), size_t(target.size()));
            if (length < 0 || length >= target.size() || ::symlink(target.left(length).constData(), to.constData()) != 0)
                outcome = Outcome::Failed;
        } else if (S_ISDIR(child.st_mode) || S_ISREG(child.st_mode)) {
            outcome = copyInto(from, to, minimumFreeBytes);
            // Left out like pipes and devices.
            if (outcome == Outcome::NotAFile)
                outcome = Outcome::Copied;
        }
    }
    if (dir)
        ::closedir(dir);
    return outcome;
}

Outcome copyInto(const QByteArray &source, const QByteArray &destination, qint64 minimumFreeBytes)
{
    // Opened without blocking so a pipe put in the file's place cannot hold the copy up; the type is
    // checked on what was opened.
    Descriptor in(::open(source.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat status = {};
    if (in.get() < 0 || ::fstat(in.get(), &status) != 0)
        return Outcome::Failed;
    if (S_ISREG(status.st_mode))
        return copyFile(in.get(), status, destination, minimumFreeBytes);
    if (S_ISDIR(status.st_mode))
        return copyFolder(source, status, destination, minimumFreeBytes);
    return Outcome::NotAFile;
}

} // namespace

QByteArray localPathBytes(const QUrl &fileURL)
{
    if (!fileURL.isLocalFile())
        return QByteArray();
    return QByteArray::fromPercentEncoding(fileURL.path(QUrl::FullyEncoded).toLatin1());
}

bool hasRoom(qint64 needed, qint64 freeBytes, qint64 minimumFreeBytes)
{
    return freeBytes - needed >= minimumFreeBytes;
}

Outcome copyEntry(const QByteArray &source, const QByteArray &destination, qint64 minimumFreeBytes)
{
    const Outcome outcome = copyInto(source, destination, minimumFreeBytes);
    if (outcome != Outcome::Copied) {
        const qsizetype slash = destination.lastIndexOf('/');
        if (slash > 0)
            OwnedFiles::removeInside(destination.left(slash), destination);
    }
    return outcome;
}

} // namespace qv::FileCopy
