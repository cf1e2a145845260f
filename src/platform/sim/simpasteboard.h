#pragma once

#include <QImage>
#include <QList>
#include <QMutex>
#include <QSet>

#include <functional>

#include "platform/pasteboard.h"

namespace qv {

// A clipboard that tests fill as "other applications" would and that records our own writes.
// Every copy or write bumps the change count by one. Thread-safe: the scan queue reads it while the
// test thread drives it.
class SimPasteboard final : public Pasteboard
{
public:
    struct Write
    {
        enum Kind { Text, Image, FileURL };
        Kind kind = Text;
        QString text;
        QImage image;
        QUrl fileURL;
        // A picture's file, its type and its bytes as they were when it was written.
        QString path;
        QString type;
        QByteArray bytes;
    };

    qint64 changeCount() const override;
    bool isOwnChange(qint64 changeCount) const override;
    PasteboardSnapshot read() override;
    qint64 writeText(const QString &text, WriteOrigin origin) override;
    // Offers the file's bytes under its type as the write finds them.
    qint64 writeImageFile(const QString &path, const QString &type, WriteOrigin origin) override;
    qint64 writeFileURL(const QUrl &fileURL) override;
    // Called only while change events are on (setSendsChangeEvents), on the thread that changed the
    // contents.
    void setChangeHandler(std::function<void()> handler) override;
    bool reportsChanges() const override;

    // Drivers: another application replaces the contents. Each returns the new change count.
    qint64 copyText(const QString &text);
    qint64 copyImage(const QByteArray &bytes, const QString &type = PasteboardType::png);
    // One item per file (a file URL each), like a file manager copying a selection.
    qint64 copyFiles(const QStringList &paths);
    qint64 setContents(const QStringList &types, const QList<PasteboardItem> &items);
    qint64 clear() { return setContents({}, {}); }
    // Scripted source: the next `reads` snapshots announce the types but hold no values yet, like an
    // owner that has not rendered its data.
    void setUnreadableReads(int reads);
    // Runs inside every read(), before the snapshot is taken (on the reading thread).
    void setReadHook(std::function<void()> hook);
    // Off by default: a desktop that only lets the change count be polled. On: every change also
    // calls the change handler, like X11's owner-change events.
    void setSendsChangeEvents(bool on);

    int readCount() const;
    QList<Write> writes() const;

private:
    qint64 replace(const QStringList &types, const QList<PasteboardItem> &items, bool own);

    mutable QMutex m_mutex;
    qint64 m_changeCount = 1;
    QStringList m_types;
    QList<PasteboardItem> m_items;
    QSet<qint64> m_ownChanges;
    int m_unreadableReads = 0;
    int m_readCount = 0;
    std::function<void()> m_readHook;
    QList<Write> m_writes;
    bool m_sendsChangeEvents = false;
    // Held while the change handler runs, so replacing it waits for a call under way.
    QMutex m_handlerMutex;
    std::function<void()> m_changeHandler;
};

} // namespace qv
