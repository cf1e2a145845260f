#pragma once

#include <QByteArray>
#include <QList>
#include <QLoggingCategory>
#include <QString>

#include <sys/types.h>

namespace qv {

Q_DECLARE_LOGGING_CATEGORY(lcOwnedFiles)

// Every file this program deletes, replaces or reads goes through here, so that a link or a special
// file put where one of our files or folders belongs can neither lose the user's data nor hang us.
//
// Deleting: only entries directly inside a folder of ours, reached by descriptor. The folder's own
// name is opened without following a link (the folders above it are the user's layout and are
// followed); it must be a real folder owned by this user. Entries are removed relative to that
// descriptor: a link is removed as a link, a folder is emptied depth-first through descriptors opened
// without following links, so nothing outside the folder is ever reached.
//
// Reading: a file is opened without blocking and without following a link at its name, must be a
// regular file, and is read within a bound the caller gives.
//
// All of it is safe from any thread.
namespace OwnedFiles {

// A folder of ours, held open by descriptor while the object lives.
class Folder
{
public:
    enum class Mode { OpenOnly, Create };

    // Opens `path` (created, with missing folders above it, in Create mode). A link, something other
    // than a folder, or a folder of another user in its place is refused: isOpen() is false and
    // refusal() says why. Nothing is ever removed or replaced to make room.
    explicit Folder(const QString &path, Mode mode = Mode::OpenOnly);
    ~Folder();
    Folder(Folder &&other) noexcept;
    Folder(const Folder &) = delete;
    Folder &operator=(const Folder &) = delete;
    Folder &operator=(Folder &&) = delete;

    bool isOpen() const { return m_fd >= 0; }
    // Why the folder is not used; empty when it is open or simply absent (or could not be made).
    QString refusal() const { return m_refusal; }
    QString path() const { return m_path; }
    int descriptor() const { return m_fd; }

    // The names of every entry ("." and ".." left out); empty when the folder is not open.
    QList<QByteArray> entryNames() const;
    // The name of `path` when it names an entry directly inside this folder; empty otherwise.
    QByteArray entryName(const QByteArray &path) const;
    QByteArray entryName(const QString &path) const;
    // Removes one entry, a folder with everything in it; links are removed, never followed. True
    // when nothing of the entry is left.
    bool removeEntry(const QByteArray &name) const;
    // Creates the file `name` inside, never replacing an entry and never through a link; its
    // descriptor (write-only) or -1.
    int createFile(const QByteArray &name, mode_t mode = 0644) const;

private:
    QString m_path;
    QByteArray m_encodedPath;
    QString m_refusal;
    int m_fd = -1;
};

// Writes a new file `path`, an entry directly inside the folder of ours at `folderPath`: never
// replacing an entry, never through a link, and leaving nothing behind when it fails. `error`, when
// given, receives why it failed (an errno value; ENOTDIR for a refused folder).
bool writeNewFile(const QString &folderPath, const QString &path, const QByteArray &bytes,
                  mode_t mode = 0644, int *error = nullptr);

// Prints the console line for a folder of ours that is refused ("⚠️ ..."); `purpose` names what the
// folder would have been used for. Returns the detail of its diagnostics event ("name: reason").
QString warnRefused(const Folder &folder, const QString &purpose);

// Removes `path` when it is an entry directly inside the folder of ours at `folderPath`; anything
// else is left alone. True when the entry is gone (or was never there).
bool removeInside(const QString &folderPath, const QString &path);
bool removeInside(const QByteArray &folderPath, const QByteArray &path);

// Removes the entry at `path` (a folder with everything in it) from the folder it is in, which need
// not be ours (the Applications folder): the folders above are followed, the entry itself is not.
bool removeEntry(const QString &path);

// Moves the entry at `from` (a link as a link) to `to`, never replacing an entry there. True when
// moved; errno tells why not.
bool moveEntry(const QString &from, const QString &to);
// Likewise, but only a regular file: a link or a special file at `from` is left where it is.
bool renameRegularFile(const QString &from, const QString &to);

// Whether a link at a file's own name is followed: never for our own files; for a file the user
// handed us (a drop, a copied file) the link is the user's choice.
enum class Links { NoFollow, Follow };

// Opens `path` to read without blocking. -1 unless it is a regular file; `size` receives the size it
// reports.
int openRegularFile(const QByteArray &path, qint64 *size = nullptr, Links links = Links::NoFollow);

struct ReadResult
{
    enum Problem { None, Absent, NotRegular, TooLarge, Unreadable };
    Problem problem = None;
    QByteArray bytes;
    // What a console line says about the problem.
    QString description;
};

// Reads a whole regular file of at most `maxBytes`; judged by the bytes read, not the size reported.
ReadResult readRegularFile(const QString &path, qint64 maxBytes, Links links = Links::NoFollow);

} // namespace OwnedFiles

} // namespace qv
