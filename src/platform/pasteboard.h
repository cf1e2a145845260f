#pragma once

#include <QHash>
#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVariant>

#include <functional>
#include <optional>

namespace qv {

// Content types as the clipboard announces them on Linux. The core reads them in its own order of
// preference; a backend only has to report what the clipboard's owner offers under these names.
namespace PasteboardType {
// One file URL per item (a backend splits a multi-file list into one item per file).
inline const QString fileURL = QStringLiteral("text/uri-list");
// The older list of copied files, read as a string array of local paths.
inline const QString fileNames = QStringLiteral("x-special/gnome-copied-files");
inline const QString png = QStringLiteral("image/png");
inline const QString tiff = QStringLiteral("image/tiff");
// Plain text, in the order it is looked for; the first is the plain string type.
inline const QString plainText = QStringLiteral("text/plain;charset=utf-8");
inline const QString utf8String = QStringLiteral("UTF8_STRING");
inline const QString utf16Text = QStringLiteral("text/plain;charset=utf-16");
inline const QString text = QStringLiteral("text/plain");
inline const QString rtf = QStringLiteral("text/rtf");
inline const QString html = QStringLiteral("text/html");
// The most files one read presents from a list of copied files: a capture makes an item of each and
// the history keeps 500, so a longer list is cut there.
inline constexpr int maxFiles = 500;
} // namespace PasteboardType

// One item of the pasteboard: the types it announces, in the owner's order, and whatever contents a
// backend already holds for them. A value is a QByteArray (raw bytes), a QString or a QStringList
// (a string array); a type announced without a value is fetched on demand.
struct PasteboardItem
{
    QStringList types;
    QHash<QString, QVariant> values;
};

// The contents of the pasteboard at one moment. Reads never fail: a type that is not announced, that
// the owner refuses or whose value has another shape answers std::nullopt. Values a backend fetches
// lazily are cached, so a snapshot belongs to the one thread that reads it (the clipboard's scan
// queue) and should be dropped once read.
class PasteboardSnapshot
{
public:
    // Fetches the value of one announced type of one item; an invalid QVariant when there is none.
    using Fetcher = std::function<QVariant(int item, const QString &type)>;

    PasteboardSnapshot() = default;
    PasteboardSnapshot(QStringList types, QList<PasteboardItem> items, Fetcher fetch = {});

    // The types announced for the pasteboard as a whole.
    QStringList types() const { return m_types; }
    int itemCount() const { return int(m_items.size()); }
    QStringList itemTypes(int item) const;

    std::optional<QByteArray> itemData(int item, const QString &type) const;
    // Byte values are decoded by their type: UTF-16 for utf16Text, UTF-8 otherwise.
    std::optional<QString> itemString(int item, const QString &type) const;
    std::optional<QStringList> itemStringArray(int item, const QString &type) const;

    // Pasteboard-level reads: the first item that announces the type.
    std::optional<QByteArray> data(const QString &type) const;
    std::optional<QString> string(const QString &type) const;
    std::optional<QStringList> stringArray(const QString &type) const;

private:
    QVariant value(int item, const QString &type) const;
    int firstItemWith(const QString &type) const;

    QStringList m_types;
    mutable QList<PasteboardItem> m_items;
    Fetcher m_fetch;
};

// The general clipboard ("pasteboard"): a change counter, a snapshot of its contents, and writes.
//
// changeCount() and isOwnChange() are cheap and safe from any thread. read() may block (a slow owner)
// up to the backend's time-out and is meant for a worker thread; an empty snapshot (no types) means
// the clipboard is empty or could not be read. The writes belong to the main thread.
//
// Who wrote: the clipboard history's copy back of one of its own items (`WriteOrigin::copyBack`) is
// our own change and never captured again; every other write of ours (a shelf file or a recognised
// text copied) is a new copy that the history takes like another application's.
enum class WriteOrigin { copyBack, newCopy };

class Pasteboard
{
public:
    virtual ~Pasteboard() = default;

    // Grows by at least one whenever the clipboard's contents are replaced, by anyone.
    virtual qint64 changeCount() const = 0;
    // True when the change that produced this count was a copy back of ours, as far as the backend
    // can tell from the clipboard itself (never from timing).
    virtual bool isOwnChange(qint64 changeCount) const = 0;
    virtual PasteboardSnapshot read() = 0;

    // Replace the contents with one text or one image. Return the change count the write produced
    // when the backend knows it by then, else the count it sees (isOwnChange() still recognises the
    // write once it lands).
    virtual qint64 writeText(const QString &text, WriteOrigin origin) = 0;
    // The picture stored in the file `path`, whose type is `type` ("image/jpeg"): the contents are
    // replaced at once, the file's own bytes are offered under its own type as they are, and PNG
    // (when it is another type) is made from them only when a program asks for it, off the main
    // thread and within the decoding bounds. Nothing is read or decoded here.
    virtual qint64 writeImageFile(const QString &path, const QString &type, WriteOrigin origin) = 0;
    // Replace the contents with a reference to one file (its file URL, not its contents), the way a
    // file manager copies a file, so file managers paste it. Always a new copy.
    virtual qint64 writeFileURL(const QUrl &fileURL) = 0;

    // Called whenever the change count moves, as soon as the backend learns of it, so a reader can
    // look at once instead of at its next poll. It runs on any thread (the backend's own), must be
    // cheap and must not call back into the pasteboard; once this returns with an empty function no
    // call is under way or to come. A backend that cannot tell never calls it, and readers keep
    // polling either way.
    virtual void setChangeHandler(std::function<void()> handler) = 0;
    // True while every change reaches the change handler as it happens (the X server reports each
    // new owner), so a reader's polling is only a slow safety net. Any thread.
    virtual bool reportsChanges() const = 0;
};

} // namespace qv
