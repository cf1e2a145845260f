#pragma once

#include <QByteArray>
#include <QHash>
#include <QImage>
#include <QList>
#include <QSize>

#include <functional>
#include <memory>

namespace qv {

class Scheduler;
class WorkQueue;

// The decoded thumbnails the views are showing, shared by all of them: a picture leaves once no
// view holds it any more (release()), and the pictures nobody released (asked for outside a view)
// stay within `budgetBytes`, the least recently used leaving first. A decoded picture costs
// several times its PNG (a screenshot's tens of times), so the lists keep only the PNGs and the
// views decode what they show. Pictures asked for with request() are decoded on `queue` and arrive
// through `scheduler`. Main thread.
class ThumbnailCache : public std::enable_shared_from_this<ThumbnailCache>
{
public:
    // About sixteen screenshot thumbnails.
    static constexpr qint64 defaultBudgetBytes = 4LL * 1024 * 1024;

    ThumbnailCache(Scheduler &scheduler, std::shared_ptr<WorkQueue> queue,
                   qint64 budgetBytes = defaultBudgetBytes);

    // The cached picture (now the most recently used), else null.
    QImage find(qint64 key);
    // Decodes `png` on the calling thread and keeps the picture, of that pixel ratio.
    QImage decode(qint64 key, const QByteArray &png, double devicePixelRatio = 1);
    // Decodes `png` off the main thread; `ready` runs on the main thread once the picture is
    // cached. Asking again for a picture on its way only adds `ready`. A PNG that does not decode
    // calls nobody. Once closed, decodes on the calling thread and calls nobody.
    void request(qint64 key, const QByteArray &png, double devicePixelRatio, std::function<void()> ready);
    // Drops the picture unless someone still holds a copy of it.
    void release(qint64 key);
    // For when the owner goes: later requests decode on the calling thread, as the scheduler and
    // queue may be gone.
    void close();
    bool decodesOffMainThread() const { return bool(m_queue); }

    qint64 usedBytes() const { return m_usedBytes; }
    int count() const { return int(m_entries.size()); }

private:
    struct Entry
    {
        qint64 key;
        QImage image;
    };
    void insert(qint64 key, const QImage &image);

    Scheduler *m_scheduler;
    std::shared_ptr<WorkQueue> m_queue;
    qint64 m_budgetBytes;
    // Most recently used last.
    QList<Entry> m_entries;
    qint64 m_usedBytes = 0;
    QHash<qint64, QList<std::function<void()>>> m_waiting;
};

// The picture of a clipboard or shelf item. A made thumbnail holds its PNG and is decoded through
// its manager's cache when a view shows it; one made from a picture (a file's icon, a page's icon,
// one made by hand) holds that picture. Copies share their data. Main thread for the decoding
// calls.
class ItemThumbnail
{
public:
    ItemThumbnail() = default;
    explicit ItemThumbnail(const QImage &image);
    // `png` must decode to a picture of `size` pixels; it is shown at `devicePixelRatio`.
    ItemThumbnail(const QByteArray &png, QSize size, double devicePixelRatio,
                  std::shared_ptr<ThumbnailCache> cache);

    bool isNull() const { return !d; }
    // In pixels.
    QSize size() const;
    // The same for every copy, different for every thumbnail.
    qint64 cacheKey() const;

    // The picture, decoded now when it is not cached.
    QImage image() const;
    // The picture when it is at hand; otherwise null, and `ready` runs on the main thread once it
    // can be had from image() without waiting (decoded off the main thread).
    QImage imageWhenReady(std::function<void()> ready) const;
    // For a view that stops showing the picture and has let its copy go: the decoded picture is
    // dropped unless another view holds it.
    void release() const;

private:
    struct Data;
    std::shared_ptr<const Data> d;
};

} // namespace qv
