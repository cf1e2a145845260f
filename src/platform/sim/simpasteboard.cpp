#include "platform/sim/simpasteboard.h"

#include <QFile>
#include <QMutexLocker>
#include <QUrl>

namespace qv {

qint64 SimPasteboard::changeCount() const
{
    QMutexLocker lock(&m_mutex);
    return m_changeCount;
}

bool SimPasteboard::isOwnChange(qint64 changeCount) const
{
    QMutexLocker lock(&m_mutex);
    return m_ownChanges.contains(changeCount);
}

PasteboardSnapshot SimPasteboard::read()
{
    std::function<void()> hook;
    {
        QMutexLocker lock(&m_mutex);
        hook = m_readHook;
    }
    if (hook)
        hook();
    QMutexLocker lock(&m_mutex);
    ++m_readCount;
    if (m_unreadableReads > 0) {
        --m_unreadableReads;
        QList<PasteboardItem> bare;
        for (const auto &item : std::as_const(m_items))
            bare.append(PasteboardItem{item.types, {}});
        return PasteboardSnapshot(m_types, bare);
    }
    return PasteboardSnapshot(m_types, m_items);
}

qint64 SimPasteboard::writeText(const QString &text, WriteOrigin origin)
{
    {
        QMutexLocker lock(&m_mutex);
        m_writes.append(Write{Write::Text, text, {}, {}, {}, {}, {}});
    }
    PasteboardItem item{{PasteboardType::plainText, PasteboardType::utf8String}, {}};
    item.values.insert(PasteboardType::plainText, text);
    item.values.insert(PasteboardType::utf8String, text);
    return replace(item.types, {item}, origin == WriteOrigin::copyBack);
}

qint64 SimPasteboard::writeImageFile(const QString &path, const QString &type, WriteOrigin origin)
{
    QFile file(path);
    const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    {
        QMutexLocker lock(&m_mutex);
        m_writes.append(Write{Write::Image, {}, QImage::fromData(bytes), {}, path, type, bytes});
    }
    PasteboardItem item{{type}, {{type, bytes}}};
    return replace(item.types, {item}, origin == WriteOrigin::copyBack);
}

qint64 SimPasteboard::writeFileURL(const QUrl &fileURL)
{
    {
        QMutexLocker lock(&m_mutex);
        m_writes.append(Write{Write::FileURL, {}, {}, fileURL, {}, {}, {}});
    }
    // Not marked as our own: like a file manager's copy, the history takes it.
    PasteboardItem item{{PasteboardType::fileURL}, {{PasteboardType::fileURL, fileURL.toString()}}};
    return replace(item.types, {item}, false);
}

qint64 SimPasteboard::copyText(const QString &text)
{
    PasteboardItem item{{PasteboardType::plainText, PasteboardType::utf8String}, {}};
    item.values.insert(PasteboardType::plainText, text);
    item.values.insert(PasteboardType::utf8String, text);
    return replace(item.types, {item}, false);
}

qint64 SimPasteboard::copyImage(const QByteArray &bytes, const QString &type)
{
    PasteboardItem item{{type}, {{type, bytes}}};
    return replace(item.types, {item}, false);
}

qint64 SimPasteboard::copyFiles(const QStringList &paths)
{
    QList<PasteboardItem> items;
    for (const auto &path : paths) {
        const QString url = QUrl::fromLocalFile(path).toString();
        items.append(PasteboardItem{{PasteboardType::fileURL}, {{PasteboardType::fileURL, url}}});
    }
    return replace({PasteboardType::fileURL}, items, false);
}

qint64 SimPasteboard::setContents(const QStringList &types, const QList<PasteboardItem> &items)
{
    return replace(types, items, false);
}

void SimPasteboard::setUnreadableReads(int reads)
{
    QMutexLocker lock(&m_mutex);
    m_unreadableReads = reads;
}

void SimPasteboard::setReadHook(std::function<void()> hook)
{
    QMutexLocker lock(&m_mutex);
    m_readHook = std::move(hook);
}

int SimPasteboard::readCount() const
{
    QMutexLocker lock(&m_mutex);
    return m_readCount;
}

QList<SimPasteboard::Write> SimPasteboard::writes() const
{
    QMutexLocker lock(&m_mutex);
    return m_writes;
}

void SimPasteboard::setChangeHandler(std::function<void()> handler)
{
    QMutexLocker lock(&m_handlerMutex);
    m_changeHandler = std::move(handler);
}

bool SimPasteboard::reportsChanges() const
{
    QMutexLocker lock(&m_mutex);
    return m_sendsChangeEvents;
}

void SimPasteboard::setSendsChangeEvents(bool on)
{
    QMutexLocker lock(&m_mutex);
    m_sendsChangeEvents = on;
}

qint64 SimPasteboard::replace(const QStringList &types, const QList<PasteboardItem> &items, bool own)
{
    qint64 count = 0;
    bool notify = false;
    {
        QMutexLocker lock(&m_mutex);
        m_types = types;
        m_items = items;
        count = ++m_changeCount;
        if (own)
            m_ownChanges.insert(count);
        notify = m_sendsChangeEvents;
    }
    if (notify) {
        QMutexLocker lock(&m_handlerMutex);
        if (m_changeHandler)
            m_changeHandler();
    }
    return count;
}

} // namespace qv
