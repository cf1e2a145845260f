#include "platform/x11/x11windowcapture.h"

#include <QMutexLocker>
#include <QSet>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

#include <sys/ipc.h>
#include <sys/shm.h>
#include <xcb/composite.h>
#include <xcb/shm.h>

#include "platform/x11/x11session.h"
#include "runtime/workqueue.h"

namespace qv {

namespace {

struct FreeDeleter
{
    void operator()(void *p) const { std::free(p); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeDeleter>;

// Beyond an 8K screen's worth of pixels a window is not read at all; this bounds memory.
constexpr qint64 maxPixels = 7680 * 4320;

// Bits per pixel of ZPixmap images of `depth`; 0 when the server has no such format.
int bitsPerPixel(xcb_connection_t *c, uint8_t depth)
{
    const xcb_setup_t *setup = xcb_get_setup(c);
    for (auto it = xcb_setup_pixmap_formats_iterator(setup); it.rem; xcb_format_next(&it)) {
        if (it.data->depth == depth)
            return it.data->bits_per_pixel;
    }
    return 0;
}

// Averages k x k blocks of `source` (`width` pixels a row) into `image`. K is k when known at
// compile time (the common factors, unrolled), else 0.
template <int K> void reduceBlocks(const uint32_t *source, int width, QImage &image, uint32_t alpha, int k)
{
    const int blockSide = K > 0 ? K : k;
    const uint32_t area = uint32_t(blockSide * blockSide);
    const int outWidth = image.width();
    std::vector<uint32_t> sums(static_cast<size_t>(outWidth) * 2);
    uint32_t *redBlue = sums.data();
    uint32_t *alphaGreen = sums.data() + outWidth;
    for (int y = 0; y < image.height(); ++y) {
        std::fill(sums.begin(), sums.end(), 0);
        for (int dy = 0; dy < blockSide; ++dy) {
            const uint32_t *row = source + size_t(y * blockSide + dy) * size_t(width);
            for (int x = 0; x < outWidth; ++x) {
                const uint32_t *block = row + size_t(x) * size_t(blockSide);
                uint32_t rb = 0, ag = 0;
                for (int dx = 0; dx < blockSide; ++dx) {
                    rb += block[dx] & 0x00ff00ffu;
                    ag += (block[dx] >> 8) & 0x00ff00ffu;
                }
                redBlue[x] += rb;
                alphaGreen[x] += ag;
            }
        }
        auto *line = reinterpret_cast<uint32_t *>(image.scanLine(y));
        if (area == 1) {
            for (int x = 0; x < outWidth; ++x)
                line[x] = alpha | redBlue[x] | (alphaGreen[x] << 8);
            continue;
        }
        for (int x = 0; x < outWidth; ++x) {
            const uint32_t rb = redBlue[x], ag = alphaGreen[x];
            line[x] = alpha | (((ag >> 16) / area) << 24) | (((ag & 0xffff) / area) << 8) |
                      (((rb >> 16) / area) << 16) | ((rb & 0xffff) / area);
        }
    }
}

// Turns 32-bit pixels in the server's (little-endian) order into an image that fits `target`,
// reading each source pixel once: whole k x k blocks are averaged first (cheap, and a better
// picture than sampling), and only the small remainder of the scaling is left to Qt. The padding
// byte of 24-bit pixels is undefined (mostly 0); Qt's RGB32 wants it opaque, or a painter copying
// the pixels would carry a transparent alpha along.
QImage convertPixels(const uint8_t *data, int width, int height, uint8_t depth, QSize target)
{
    const bool opaque = depth != 32;
    const QSize fitted =
        target.isValid() && !target.isEmpty()
            ? QSize(width, height).scaled(target, Qt::KeepAspectRatio).expandedTo(QSize(1, 1))
            : QSize(width, height);
    // Two 8-bit channels share one 32-bit sum, so a block holds at most 256 pixels.
    const int k = std::clamp(std::min(width / fitted.width(), height / fitted.height()), 1, 16);
    const int outWidth = width / k;
    const int outHeight = height / k;
    QImage image(outWidth, outHeight, opaque ? QImage::Format_RGB32 : QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return image;
    const auto *source = reinterpret_cast<const uint32_t *>(data);
    const uint32_t alpha = opaque ? 0xff000000u : 0;
    switch (k) {
    case 1:
        reduceBlocks<1>(source, width, image, alpha, 1);
        break;
    case 2:
        reduceBlocks<2>(source, width, image, alpha, 2);
        break;
    case 3:
        reduceBlocks<3>(source, width, image, alpha, 3);
        break;
    case 4:
        reduceBlocks<4>(source, width, image, alpha, 4);
        break;
    default:
        reduceBlocks<0>(source, width, image, alpha, k);
    }
    if (image.size() == fitted)
        return image;
    return image.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

} // namespace

// One System V segment, removed as soon as both sides have attached, so it cannot outlive us.
class X11WindowCapture::ShmSegment
{
public:
    ShmSegment(xcb_connection_t *c, size_t size) : m_connection(c), m_size(size)
    {
        m_id = shmget(IPC_PRIVATE, size, IPC_CREAT | 0600);
        if (m_id < 0)
            return;
        void *address = shmat(m_id, nullptr, 0);
        if (address == reinterpret_cast<void *>(-1)) {
            shmctl(m_id, IPC_RMID, nullptr);
            m_id = -1;
            return;
        }
        m_address = static_cast<uint8_t *>(address);
        m_seg = xcb_generate_id(c);
        std::unique_ptr<xcb_generic_error_t, FreeDeleter> error(
            xcb_request_check(c, xcb_shm_attach_checked(c, m_seg, uint32_t(m_id), 0)));
        shmctl(m_id, IPC_RMID, nullptr);
        m_attached = !error;
    }
    ~ShmSegment()
    {
        if (m_attached)
            xcb_shm_detach(m_connection, m_seg);
        if (m_address)
            shmdt(m_address);
    }
    bool isValid() const { return m_attached; }
    size_t size() const { return m_size; }
    xcb_shm_seg_t seg() const { return m_seg; }
    const uint8_t *data() const { return m_address; }

private:
    xcb_connection_t *m_connection;
    size_t m_size;
    int m_id = -1;
    uint8_t *m_address = nullptr;
    xcb_shm_seg_t m_seg = 0;
    bool m_attached = false;
};

X11WindowCapture::X11WindowCapture(X11Session &session, Timing timing) : m_session(session), m_timing(timing)
{
    m_workers.setMaxThreadCount(workerCount);
    m_idleTimer.setInterval(
        std::max<std::chrono::milliseconds>(m_timing.idleTime / 4, std::chrono::milliseconds(50)));
    QObject::connect(&m_idleTimer, &QTimer::timeout, &m_idleTimer, [this] { releaseIdle(); });
}

X11WindowCapture::~X11WindowCapture()
{
    m_workers.waitForDone();
    m_segment.reset();
    if (!m_session.isValid())
        return;
    QMutexLocker lock(&m_mutex);
    for (auto it = m_redirected.cbegin(); it != m_redirected.cend(); ++it)
        xcb_composite_unredirect_window(m_session.xcb(), it.key(), XCB_COMPOSITE_REDIRECT_AUTOMATIC);
    xcb_flush(m_session.xcb());
}

void X11WindowCapture::captureWindow(quint32 windowId, const QSize &pixelSize, Completion done)
{
    startOnPool(m_workers, [this, windowId, pixelSize, done = std::move(done)] {
        const QImage image = grab(windowId, true, pixelSize);
        if (image.isNull())
            done(std::nullopt);
        else
            done(image);
    });
}

QImage X11WindowCapture::fallbackImage(quint32 windowId)
{
    return grab(windowId, false);
}

QImage X11WindowCapture::grab(xcb_window_t window, bool mayRedirect, QSize fitInto)
{
    if (!m_session.isValid())
        return QImage();
    xcb_connection_t *c = m_session.xcb();
    const xcb_get_window_attributes_cookie_t attributesCookie = xcb_get_window_attributes(c, window);
    std::optional<xcb_window_t> frame;
    {
        QMutexLocker lock(&m_mutex);
        const auto known = m_frames.constFind(window);
        if (known != m_frames.constEnd())
            frame = *known;
    }
    Reply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(c, attributesCookie, nullptr));
    // Unmapped windows (minimised ones) have no contents to read; gone ones fail here too.
    if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE)
        return QImage();
    if (!frame) {
        frame = m_session.topLevelOf(window);
        if (!frame)
            return QImage();
    }

    bool redirected = false;
    if (m_session.hasComposite()) {
        if (mayRedirect) {
            const std::optional<Clock::time_point> readyAt = useRedirect(window, *frame);
            if (readyAt) {
                std::this_thread::sleep_until(*readyAt);
                redirected = true;
            }
        } else {
            QMutexLocker lock(&m_mutex);
            auto it = m_redirected.find(*frame);
            if (it != m_redirected.end() && Clock::now() >= it->since + m_timing.settle) {
                it->lastUse = Clock::now();
                redirected = true;
            }
        }
    }
    if (redirected) {
        // Not checked on its own: when naming fails, reading the pixmap fails too, one round trip
        // later and without one of its own.
        const xcb_pixmap_t pixmap = xcb_generate_id(c);
        xcb_composite_name_window_pixmap(c, *frame, pixmap);
        QImage image = readDrawable(pixmap, fitInto);
        xcb_free_pixmap(c, pixmap);
        xcb_flush(c);
        m_session.discardEvents();
        if (!image.isNull())
            return image;
        // The window may have a new frame (a restarted window manager): look it up next time.
        QMutexLocker lock(&m_mutex);
        m_frames.remove(window);
    }
    return readDrawable(*frame, fitInto);
}

std::optional<X11WindowCapture::Clock::time_point> X11WindowCapture::useRedirect(xcb_window_t window,
                                                                                 xcb_window_t frame)
{
    QMutexLocker lock(&m_mutex);
    m_frames.insert(window, frame);
    const Clock::time_point now = Clock::now();
    auto it = m_redirected.find(frame);
    if (it == m_redirected.end()) {
        xcb_connection_t *c = m_session.xcb();
        // Automatic redirection coexists with a compositing manager and with other captures.
        std::unique_ptr<xcb_generic_error_t, FreeDeleter> error(xcb_request_check(
            c, xcb_composite_redirect_window_checked(c, frame, XCB_COMPOSITE_REDIRECT_AUTOMATIC)));
        if (error)
            return std::nullopt;
        it = m_redirected.insert(frame, Redirect{now, now});
        m_scheduler.post([this] { startIdleTimer(); });
    }
    it->lastUse = now;
    return it->since + m_timing.settle;
}

void X11WindowCapture::startIdleTimer()
{
    if (!m_idleTimer.isActive())
        m_idleTimer.start();
}

QHash<xcb_window_t, xcb_window_t> X11WindowCapture::topLevelsOf(const QList<quint32> &windowIds)
{
    xcb_connection_t *c = m_session.xcb();
    QHash<xcb_window_t, xcb_window_t> found;
    // Each window with the window reached so far on its way up to the root.
    QList<std::pair<xcb_window_t, xcb_window_t>> climbing;
    for (quint32 id : windowIds)
        climbing.append({id, id});
    // Window managers nest clients a few levels deep at most; deeper trees are not followed.
    for (int depth = 0; depth < 8 && !climbing.isEmpty(); ++depth) {
        std::vector<xcb_query_tree_cookie_t> cookies;
        cookies.reserve(size_t(climbing.size()));
        for (const auto &[window, reached] : std::as_const(climbing))
            cookies.push_back(xcb_query_tree(c, reached));
        QList<std::pair<xcb_window_t, xcb_window_t>> next;
        for (qsizetype i = 0; i < climbing.size(); ++i) {
            Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, cookies[size_t(i)], nullptr));
            if (!tree)
                continue;
            const auto [window, reached] = climbing.at(i);
            if (tree->parent == tree->root || tree->parent == XCB_WINDOW_NONE)
                found.insert(window, reached);
            else
                next.append({window, tree->parent});
        }
        climbing = next;
    }
    return found;
}

void X11WindowCapture::prepareWindows(const QList<quint32> &windowIds)
{
    if (!m_session.isValid() || !m_session.hasComposite() || windowIds.isEmpty())
        return;
    xcb_connection_t *c = m_session.xcb();
    QList<quint32> wanted;
    {
        QMutexLocker lock(&m_mutex);
        for (quint32 id : windowIds) {
            if (wanted.size() >= maximumPrepared)
                break;
            const auto known = m_frames.constFind(id);
            if (known == m_frames.constEnd() || !m_redirected.contains(*known))
                wanted.append(id);
        }
    }
    if (wanted.isEmpty())
        return;
    // Unmapped (minimised) windows have nothing to read; redirecting them would only hold memory.
    std::vector<xcb_get_window_attributes_cookie_t> attributeCookies;
    for (quint32 id : std::as_const(wanted))
        attributeCookies.push_back(xcb_get_window_attributes(c, id));
    QList<quint32> viewable;
    for (qsizetype i = 0; i < wanted.size(); ++i) {
        Reply<xcb_get_window_attributes_reply_t> attributes(
            xcb_get_window_attributes_reply(c, attributeCookies[size_t(i)], nullptr));
        if (attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE)
            viewable.append(wanted.at(i));
    }
    const QHash<xcb_window_t, xcb_window_t> frames = topLevelsOf(viewable);

    QMutexLocker lock(&m_mutex);
    const Clock::time_point now = Clock::now();
    QList<std::pair<xcb_window_t, xcb_void_cookie_t>> requests;
    QSet<xcb_window_t> asked;
    for (auto it = frames.cbegin(); it != frames.cend(); ++it) {
        m_frames.insert(it.key(), it.value());
        if (m_redirected.contains(it.value()) || asked.contains(it.value()))
            continue;
        asked.insert(it.value());
        requests.append({it.value(), xcb_composite_redirect_window_checked(c, it.value(),
                                                                          XCB_COMPOSITE_REDIRECT_AUTOMATIC)});
    }
    bool added = false;
    for (const auto &[frame, cookie] : std::as_const(requests)) {
        std::unique_ptr<xcb_generic_error_t, FreeDeleter> error(xcb_request_check(c, cookie));
        if (error) {
            m_frames.removeIf([refused = frame](const auto &entry) { return entry.value() == refused; });
            continue;
        }
        m_redirected.insert(frame, Redirect{now, now});
        added = true;
    }
    if (added)
        startIdleTimer();
}

void X11WindowCapture::forgetWindows(const QList<quint32> &windowIds)
{
    QMutexLocker lock(&m_mutex);
    QSet<xcb_window_t> frames;
    for (quint32 id : windowIds) {
        const auto known = m_frames.constFind(id);
        if (known == m_frames.constEnd())
            continue;
        frames.insert(*known);
        m_frames.erase(known);
    }
    for (const xcb_window_t frame : std::as_const(frames)) {
        const bool stillUsed = std::any_of(m_frames.cbegin(), m_frames.cend(),
                                           [frame](xcb_window_t used) { return used == frame; });
        if (stillUsed || !m_redirected.remove(frame))
            continue;
        // Mostly destroyed with its window already; the error that answers is dropped.
        xcb_composite_unredirect_window(m_session.xcb(), frame, XCB_COMPOSITE_REDIRECT_AUTOMATIC);
    }
    if (!frames.isEmpty()) {
        xcb_flush(m_session.xcb());
        m_session.discardEvents();
    }
}

void X11WindowCapture::releaseIdle()
{
    QMutexLocker lock(&m_mutex);
    const Clock::time_point now = Clock::now();
    for (auto it = m_redirected.begin(); it != m_redirected.end();) {
        if (now - it->lastUse >= m_timing.idleTime) {
            // A window destroyed meanwhile answers with an error that is simply dropped.
            xcb_composite_unredirect_window(m_session.xcb(), it.key(), XCB_COMPOSITE_REDIRECT_AUTOMATIC);
            m_frames.removeIf([frame = it.key()](const auto &entry) { return entry.value() == frame; });
            it = m_redirected.erase(it);
        } else {
            ++it;
        }
    }
    xcb_flush(m_session.xcb());
    m_session.discardEvents();
    if (m_redirected.isEmpty()) {
        m_idleTimer.stop();
        // Nothing is being previewed: the pixel buffer goes too.
        QMutexLocker segmentLock(&m_segmentLock);
        m_segment.reset();
    }
}

int X11WindowCapture::redirectedCount()
{
    QMutexLocker lock(&m_mutex);
    return int(m_redirected.size());
}

QImage X11WindowCapture::readDrawable(xcb_drawable_t drawable, QSize fitInto)
{
    xcb_connection_t *c = m_session.xcb();
    Reply<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(c, xcb_get_geometry(c, drawable), nullptr));
    if (!geometry || geometry->width == 0 || geometry->height == 0 ||
        qint64(geometry->width) * geometry->height > maxPixels)
        return QImage();
    const uint8_t depth = geometry->depth;
    if ((depth != 24 && depth != 32) || bitsPerPixel(c, depth) != 32 ||
        xcb_get_setup(c)->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST)
        return QImage();
    const int width = geometry->width;
    const int height = geometry->height;
    const size_t bytes = size_t(width) * size_t(height) * 4;

    if (m_session.hasShm()) {
        QMutexLocker lock(&m_segmentLock);
        if (!m_segment || m_segment->size() < bytes)
            m_segment = std::make_unique<ShmSegment>(c, bytes);
        if (m_segment->isValid()) {
            Reply<xcb_shm_get_image_reply_t> reply(xcb_shm_get_image_reply(
                c,
                xcb_shm_get_image(c, drawable, 0, 0, uint16_t(width), uint16_t(height), ~0u,
                                  XCB_IMAGE_FORMAT_Z_PIXMAP, m_segment->seg(), 0),
                nullptr));
            if (reply && reply->size >= bytes)
                return convertPixels(m_segment->data(), width, height, depth, fitInto);
        }
        m_segment.reset();
    }
    Reply<xcb_get_image_reply_t> reply(xcb_get_image_reply(
        c,
        xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, drawable, 0, 0, uint16_t(width), uint16_t(height), ~0u),
        nullptr));
    if (!reply || size_t(xcb_get_image_data_length(reply.get())) < bytes)
        return QImage();
    return convertPixels(xcb_get_image_data(reply.get()), width, height, depth, fitInto);
}

} // namespace qv
