#include "core/itemthumbnail.h"

#include <atomic>

#include "platform/imagedecoding.h"
#include "runtime/scheduler.h"
#include "runtime/workqueue.h"

namespace qv {

namespace {

QImage decodePng(const QByteArray &png, double devicePixelRatio)
{
    QImage image = ImageDecoding::readData(png);
    image.setDevicePixelRatio(devicePixelRatio);
    return image;
}

qint64 nextKey()
{
    // Negative, so they never meet the cache keys of pictures held as they are.
    static std::atomic<qint64> last{0};
    return --last;
}

} // namespace

ThumbnailCache::ThumbnailCache(Scheduler &scheduler, std::shared_ptr<WorkQueue> queue, qint64 budgetBytes)
    : m_scheduler(&scheduler), m_queue(std::move(queue)), m_budgetBytes(budgetBytes)
{
}

QImage ThumbnailCache::find(qint64 key)
{
    for (qsizetype i = 0; i < m_entries.size(); ++i) {
        if (m_entries.at(i).key == key) {
            m_entries.move(i, m_entries.size() - 1);
            return m_entries.constLast().image;
        }
    }
    return QImage();
}

QImage ThumbnailCache::decode(qint64 key, const QByteArray &png, double devicePixelRatio)
{
    const QImage image = decodePng(png, devicePixelRatio);
    insert(key, image);
    return image;
}

void ThumbnailCache::request(qint64 key, const QByteArray &png, double devicePixelRatio,
                             std::function<void()> ready)
{
    if (!m_queue) {
        decode(key, png, devicePixelRatio);
        return;
    }
    auto waiting = m_waiting.find(key);
    if (waiting != m_waiting.end()) {
        waiting->append(std::move(ready));
        return;
    }
    m_waiting.insert(key, {std::move(ready)});
    m_queue->async([weak = weak_from_this(), scheduler = m_scheduler, key, png, devicePixelRatio] {
        const QImage image = decodePng(png, devicePixelRatio);
        scheduler->post([weak, key, image] {
            const auto self = weak.lock();
            if (!self)
                return;
            const QList<std::function<void()>> waiters = self->m_waiting.take(key);
            if (image.isNull())
                return;
            self->insert(key, image);
            for (const auto &ready : waiters) {
                if (ready)
                    ready();
            }
        });
    });
}

void ThumbnailCache::release(qint64 key)
{
    for (qsizetype i = 0; i < m_entries.size(); ++i) {
        if (m_entries.at(i).key == key) {
            if (m_entries.at(i).image.isDetached()) {
                m_usedBytes -= m_entries.at(i).image.sizeInBytes();
                m_entries.removeAt(i);
            }
            return;
        }
    }
}

void ThumbnailCache::close()
{
    m_queue.reset();
    m_waiting.clear();
}

void ThumbnailCache::insert(qint64 key, const QImage &image)
{
    if (image.isNull() || !find(key).isNull())
        return;
    m_entries.append({key, image});
    m_usedBytes += image.sizeInBytes();
    // The newest stays even when it alone passes the budget: a view is about to show it.
    while (m_usedBytes > m_budgetBytes && m_entries.size() > 1) {
        m_usedBytes -= m_entries.constFirst().image.sizeInBytes();
        m_entries.removeFirst();
    }
}

struct ItemThumbnail::Data
{
    qint64 key = 0;
    QSize size;
    double devicePixelRatio = 1;
    QByteArray png;
    QImage image;
    std::shared_ptr<ThumbnailCache> cache;
};

ItemThumbnail::ItemThumbnail(const QImage &image)
{
    if (image.isNull())
        return;
    auto data = std::make_shared<Data>();
    data->key = image.cacheKey();
    data->size = image.size();
    data->image = image;
    d = std::move(data);
}

ItemThumbnail::ItemThumbnail(const QByteArray &png, QSize size, double devicePixelRatio,
                             std::shared_ptr<ThumbnailCache> cache)
{
    if (png.isEmpty() || size.isEmpty() || !cache)
        return;
    auto data = std::make_shared<Data>();
    data->key = nextKey();
    data->size = size;
    data->devicePixelRatio = devicePixelRatio;
    data->png = png;
    data->cache = std::move(cache);
    d = std::move(data);
}

QSize ItemThumbnail::size() const
{
    return d ? d->size : QSize();
}

qint64 ItemThumbnail::cacheKey() const
{
    return d ? d->key : 0;
}

QImage ItemThumbnail::image() const
{
    if (!d || !d->cache)
        return d ? d->image : QImage();
    const QImage cached = d->cache->find(d->key);
    return cached.isNull() ? d->cache->decode(d->key, d->png, d->devicePixelRatio) : cached;
}

QImage ItemThumbnail::imageWhenReady(std::function<void()> ready) const
{
    if (!d || !d->cache)
        return d ? d->image : QImage();
    if (!d->cache->decodesOffMainThread())
        return image();
    const QImage cached = d->cache->find(d->key);
    if (cached.isNull())
        d->cache->request(d->key, d->png, d->devicePixelRatio, std::move(ready));
    return cached;
}

void ItemThumbnail::release() const
{
    if (d && d->cache)
        d->cache->release(d->key);
}

} // namespace qv
