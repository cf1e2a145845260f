#include "platform/ownedfiles.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qv {

Q_LOGGING_CATEGORY(lcOwnedFiles, "quorvantis.files")

namespace OwnedFiles {

namespace {

// Deeper trees are not ours: the shelf copies at most what a file manager shows, and the bound keeps
// the descriptors and the stack this removal takes small.
constexpr int maxRemovalDepth = 256;

QByteArray cleanEncoded(const QString &path)
{
    return QFile::encodeName(QDir::cleanPath(QDir(path).absolutePath()));
}

int openFlags(Links links)
{
    return O_RDONLY | O_NONBLOCK | O_CLOEXEC | (links == Links::NoFollow ? O_NOFOLLOW : 0);
}

bool isPlainName(const QByteArray &name)
{
    return !name.isEmpty() && name != "." && name != ".." && !name.contains('/');
}

QList<QByteArray> namesIn(int fd)
{
    QList<QByteArray> names;
    // fdopendir takes over the descriptor it is given; ours stays open.
    const int copy = ::openat(fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (copy < 0)
        return names;
    DIR *dir = ::fdopendir(copy);
    if (!dir) {
        ::close(copy);
        return names;
    }
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..")
            names.append(name);
    }
    ::closedir(dir);
    return names;
}

bool removeAt(int parent, const QByteArray &name, int depth)
{
    struct stat status = {};
    if (::fstatat(parent, name.constData(), &status, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT;
    if (!S_ISDIR(status.st_mode))
        return ::unlinkat(parent, name.constData(), 0) == 0 || errno == ENOENT;
    if (depth >= maxRemovalDepth)
        return false;
    const int fd = ::openat(parent, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        // Swapped for a link since it was looked at: the link goes, its target stays.
        return ::unlinkat(parent, name.constData(), 0) == 0;
    }
    bool emptied = true;
    for (const QByteArray &child : namesIn(fd))
        emptied = removeAt(fd, child, depth + 1) && emptied;
    ::close(fd);
    return emptied && (::unlinkat(parent, name.constData(), AT_REMOVEDIR) == 0 || errno == ENOENT);
}

} // namespace

Folder::Folder(const QString &path, Mode mode)
    : m_path(QDir::cleanPath(QDir(path).absolutePath())), m_encodedPath(QFile::encodeName(m_path))
{
    const qsizetype slash = m_encodedPath.lastIndexOf('/');
    const QByteArray parentPath = slash <= 0 ? QByteArray("/") : m_encodedPath.left(slash);
    const QByteArray name = m_encodedPath.mid(slash + 1);
    if (!isPlainName(name))
        return;
    if (mode == Mode::Create)
        QDir().mkpath(QFile::decodeName(parentPath));
    const int parent = ::open(parentPath.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (parent < 0)
        return;
    if (mode == Mode::Create)
        ::mkdirat(parent, name.constData(), 0700);
    m_fd = ::openat(parent, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat status = {};
    if (m_fd < 0) {
        const int error = errno;
        if (::fstatat(parent, name.constData(), &status, AT_SYMLINK_NOFOLLOW) == 0) {
            // A folder we may not open (mode 000, say) is still a folder, and is told as what it is.
            m_refusal = S_ISLNK(status.st_mode)   ? QStringLiteral("it is a symbolic link")
                        : !S_ISDIR(status.st_mode) ? QStringLiteral("it is not a folder")
                                                   : QStringLiteral("it cannot be opened (%1)")
                                                         .arg(QString::fromLocal8Bit(std::strerror(error)));
        }
    } else if (::fstat(m_fd, &status) != 0 || status.st_uid != ::geteuid()) {
        m_refusal = QStringLiteral("it belongs to another user");
        ::close(m_fd);
        m_fd = -1;
    }
    ::close(parent);
}

Folder::~Folder()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

Folder::Folder(Folder &&other) noexcept
    : m_path(std::move(other.m_path)), m_encodedPath(std::move(other.m_encodedPath)),
      m_refusal(std::move(other.m_refusal)), m_fd(std::exchange(other.m_fd, -1))
{
}

QList<QByteArray> Folder::entryNames() const
{
    return isOpen() ? namesIn(m_fd) : QList<QByteArray>();
}

QByteArray Folder::entryName(const QByteArray &path) const
{
    // Compared as bytes: a name that is not valid UTF-8 has no string that names it again.
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0 || path.left(slash) != m_encodedPath)
        return QByteArray();
    const QByteArray name = path.mid(slash + 1);
    return isPlainName(name) ? name : QByteArray();
}

QByteArray Folder::entryName(const QString &path) const
{
    return entryName(cleanEncoded(path));
}

bool Folder::removeEntry(const QByteArray &name) const
{
    if (!isOpen() || !isPlainName(name))
        return false;
    return removeAt(m_fd, name, 0);
}

int Folder::createFile(const QByteArray &name, mode_t mode) const
{
    if (!isOpen() || !isPlainName(name))
        return -1;
    return ::openat(m_fd, name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
}

bool writeNewFile(const QString &folderPath, const QString &path, const QByteArray &bytes, mode_t mode,
                  int *error)
{
    const auto fail = [error](int code) {
        if (error)
            *error = code;
        return false;
    };
    const Folder folder(folderPath);
    if (!folder.isOpen())
        return fail(folder.refusal().isEmpty() ? errno : ENOTDIR);
    const QByteArray name = folder.entryName(path);
    if (name.isEmpty())
        return fail(EINVAL);
    const int fd = folder.createFile(name, mode);
    if (fd < 0)
        return fail(errno);
    const char *data = bytes.constData();
    qsizetype left = bytes.size();
    int code = 0;
    while (left > 0 && code == 0) {
        const ssize_t written = ::write(fd, data, size_t(left));
        if (written < 0 && errno != EINTR) {
            code = errno;
        } else if (written > 0) {
            data += written;
            left -= written;
        }
    }
    if (::close(fd) != 0 && code == 0 && errno != EINTR)
        code = errno;
    if (code == 0)
        return true;
    folder.removeEntry(name);
    return fail(code);
}

QString warnRefused(const Folder &folder, const QString &purpose)
{
    qCWarning(lcOwnedFiles).noquote()
        << QStringLiteral("⚠️ Not using %1 for %2: %3; nothing in it is touched")
               .arg(folder.path(), purpose, folder.refusal());
    return folder.path().section(QLatin1Char('/'), -1) + QStringLiteral(": ") + folder.refusal();
}

bool removeInside(const QByteArray &folderPath, const QByteArray &path)
{
    const Folder folder(QFile::decodeName(folderPath));
    const QByteArray name = folder.entryName(path);
    return !name.isEmpty() && folder.removeEntry(name);
}

bool removeInside(const QString &folderPath, const QString &path)
{
    const Folder folder(folderPath);
    const QByteArray name = folder.entryName(path);
    return !name.isEmpty() && folder.removeEntry(name);
}

bool removeEntry(const QString &path)
{
    const QByteArray encoded = cleanEncoded(path);
    const qsizetype slash = encoded.lastIndexOf('/');
    const QByteArray name = encoded.mid(slash + 1);
    if (slash < 0 || !isPlainName(name))
        return false;
    const int parent =
        ::open(slash == 0 ? "/" : encoded.left(slash).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (parent < 0)
        return errno == ENOENT;
    const bool removed = removeAt(parent, name, 0);
    ::close(parent);
    return removed;
}

bool renameRegularFile(const QString &from, const QString &to)
{
    const QByteArray source = QFile::encodeName(from);
    struct stat status = {};
    if (::lstat(source.constData(), &status) != 0 || !S_ISREG(status.st_mode))
        return false;
    return moveEntry(from, to);
}

bool moveEntry(const QString &from, const QString &to)
{
    return ::renameat2(AT_FDCWD, QFile::encodeName(from).constData(), AT_FDCWD,
                       QFile::encodeName(to).constData(), RENAME_NOREPLACE) == 0;
}

int openRegularFile(const QByteArray &path, qint64 *size, Links links)
{
    const int fd = ::open(path.constData(), openFlags(links));
    if (fd < 0)
        return -1;
    struct stat status = {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        errno = EINVAL;
        return -1;
    }
    if (size)
        *size = status.st_size;
    return fd;
}

ReadResult readRegularFile(const QString &path, qint64 maxBytes, Links links)
{
    ReadResult result;
    const QByteArray encoded = QFile::encodeName(path);
    const int fd = ::open(encoded.constData(), openFlags(links));
    struct stat status = {};
    if (fd < 0) {
        const int error = errno;
        result.problem = error == ENOENT  ? ReadResult::Absent
                         : error == ELOOP ? ReadResult::NotRegular
                                          : ReadResult::Unreadable;
        result.description = error == ELOOP ? QStringLiteral("it is a symbolic link")
                                            : QString::fromLocal8Bit(std::strerror(error));
        return result;
    }
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        result.problem = ReadResult::NotRegular;
        result.description = QStringLiteral("it is not a regular file");
        return result;
    }
    if (status.st_size > maxBytes) {
        ::close(fd);
        result.problem = ReadResult::TooLarge;
        result.description = QStringLiteral("it is larger than %1 bytes").arg(maxBytes);
        return result;
    }
    // The size a file reports is only a hint: the bytes read decide, up to one past the bound.
    result.bytes.resize(qsizetype(std::min<qint64>(std::max<qint64>(status.st_size, 0), maxBytes) + 1));
    qint64 total = 0;
    for (;;) {
        if (total == result.bytes.size()) {
            if (total > maxBytes)
                break;
            result.bytes.resize(qsizetype(std::min<qint64>(total * 2 + 4096, maxBytes + 1)));
        }
        const ssize_t got = ::read(fd, result.bytes.data() + total, size_t(result.bytes.size() - total));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            result.problem = ReadResult::Unreadable;
            result.description = QString::fromLocal8Bit(std::strerror(errno));
            break;
        }
        if (got == 0)
            break;
        total += got;
    }
    ::close(fd);
    if (result.problem == ReadResult::None && total > maxBytes) {
        result.problem = ReadResult::TooLarge;
        result.description = QStringLiteral("it is larger than %1 bytes").arg(maxBytes);
    }
    result.bytes.resize(result.problem == ReadResult::None ? qsizetype(total) : 0);
    return result;
}

} // namespace OwnedFiles

} // namespace qv
