#include "platform/x11/x11windowcapture.h"

#include <QMutexLocker>
#include <QThread>

#include <cstdlib>
#include <memory>
#include <thread>

#include <sys/ipc.h>
#include <sys/shm.h>
#include <xcb/composite.h>
#include <xcb/shm.h>

#include "platform/x11/x11session.h"

namespace qv {

namespace {

struct FreeDeleter
{
    void operator()(void *p) const { std::free(p); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeDeleter>;

// Larger drawables cannot exist on X (coordinates are 16-bit); this also bounds memory.
constexpr int maxSide = 16384;

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

QImage wrapPixels(const uint8_t *data, int width, int height, uint8_t depth)
{
    // 32 bits per pixel in the server's (little-endian) order is Qt's RGB32/ARGB32 layout.
    if (depth == 32)
        return QImage(data, width, height, width * 4, QImage::Format_ARGB32_Premultiplied).copy();
    // The padding byte of 24-bit pixels is undefined (mostly 0); Qt's RGB32 wants it opaque, or a
    // painter copying the pixels would carry a transparent alpha along.
    QImage image(width, height, QImage::Format_RGB32);
    const auto *source = reinterpret_cast<const uint32_t *>(data);
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<uint32_t *>(image.scanLine(y));
        const uint32_t *row = source + size_t(y) * size_t(width);
        for (int x = 0; x < width; ++x)
            line[x] = row[x] | 0xff000000u;
    }
    return image;
}

// One System V segment, removed as soon as both sides have attached, so it cannot outlive us.
class ShmSegment
{
public:
    ShmSegment(xcb_connection_t *c, size_t size) : m_connection(c)
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
    xcb_shm_seg_t seg() const { return m_seg; }
    const uint8_t *data() const { return m_address; }

private:
    xcb_connection_t *m_connection;
    int m_id = -1;
    uint8_t *m_address = nullptr;
    xcb_shm_seg_t m_seg = 0;
    bool m_attached = false;
};

} // namespace

X11WindowCapture::X11WindowCapture(X11Session &session, Timing timing) : m_session(session), m_timing(timing)
{
    m_workers.setMaxThreadCount(2);
    m_idleTimer.setInterval(
        std::max<std::chrono::milliseconds>(m_timing.idleTime / 4, std::chrono::milliseconds(50)));
    QObject::connect(&m_idleTimer, &QTimer::timeout, &m_idleTimer, [this] { releaseIdle(); });
}

X11WindowCapture::~X11WindowCapture()
{
    m_workers.waitForDone();
    if (!m_session.isValid())
        return;
    QMutexLocker lock(&m_mutex);
    for (auto it = m_redirected.cbegin(); it != m_redirected.cend(); ++it)
        xcb_composite_unredirect_window(m_session.xcb(), it.key(), XCB_COMPOSITE_REDIRECT_AUTOMATIC);
    xcb_flush(m_session.xcb());
}

void X11WindowCapture::captureWindow(quint32 windowId, const QSize &pixelSize, Completion done)
{
    m_workers.start([this, windowId, pixelSize, done = std::move(done)] {
        const QImage image = grab(windowId, true);
        if (image.isNull()) {
            done(std::nullopt);
            return;
        }
        if (!pixelSize.isValid() || pixelSize.isEmpty() || image.size() == pixelSize) {
            done(image);
            return;
        }
        done(image.scaled(pixelSize, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    });
}

QImage X11WindowCapture::fallbackImage(quint32 windowId)
{
    return grab(windowId, false);
}

QImage X11WindowCapture::grab(xcb_window_t window, bool mayRedirect)
{
    if (!m_session.isValid())
        return QImage();
    xcb_connection_t *c = m_session.xcb();
    Reply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr));
    // Unmapped windows (minimised ones) have no contents to read; gone ones fail here too.
    if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE)
        return QImage();
    const std::optional<xcb_window_t> frame = m_session.topLevelOf(window);
    if (!frame)
        return QImage();

    bool redirected = false;
    if (m_session.hasComposite()) {
        if (mayRedirect) {
            const std::optional<Clock::time_point> readyAt = useRedirect(*frame);
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
        const xcb_pixmap_t pixmap = xcb_generate_id(c);
        std::unique_ptr<xcb_generic_error_t, FreeDeleter> error(
            xcb_request_check(c, xcb_composite_name_window_pixmap_checked(c, *frame, pixmap)));
        if (!error) {
            QImage image = readDrawable(pixmap);
            xcb_free_pixmap(c, pixmap);
            xcb_flush(c);
            return image;
        }
    }
    return readDrawable(*frame);
}

std::optional<X11WindowCapture::Clock::time_point> X11WindowCapture::useRedirect(xcb_window_t frame)
{
    QMutexLocker lock(&m_mutex);
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
        QMetaObject::invokeMethod(
            &m_idleTimer,
            [this] {
                if (!m_idleTimer.isActive())
                    m_idleTimer.start();
            },
            Qt::QueuedConnection);
    }
    it->lastUse = now;
    return it->since + m_timing.settle;
}

void X11WindowCapture::releaseIdle()
{
    QMutexLocker lock(&m_mutex);
    const Clock::time_point now = Clock::now();
    for (auto it = m_redirected.begin(); it != m_redirected.end();) {
        if (now - it->lastUse >= m_timing.idleTime) {
            // A window destroyed meanwhile answers with an error that is simply dropped.
            xcb_composite_unredirect_window(m_session.xcb(), it.key(), XCB_COMPOSITE_REDIRECT_AUTOMATIC);
            it = m_redirected.erase(it);
        } else {
            ++it;
        }
    }
    xcb_flush(m_session.xcb());
    m_session.discardEvents();
    if (m_redirected.isEmpty())
        m_idleTimer.stop();
}

int X11WindowCapture::redirectedCount()
{
    QMutexLocker lock(&m_mutex);
    return int(m_redirected.size());
}

QImage X11WindowCapture::readDrawable(xcb_drawable_t drawable)
{
    xcb_connection_t *c = m_session.xcb();
    Reply<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(c, xcb_get_geometry(c, drawable), nullptr));
    if (!geometry || geometry->width == 0 || geometry->height == 0 || geometry->width > maxSide ||
        geometry->height > maxSide)
        return QImage();
    if ((geometry->depth != 24 && geometry->depth != 32) || bitsPerPixel(c, geometry->depth) != 32 ||
        xcb_get_setup(c)->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST)
        return QImage();
    if (m_session.hasShm()) {
        QImage image = readWithShm(drawable, geometry->width, geometry->height);
        if (!image.isNull())
            return image;
    }
    return readWithGetImage(drawable, geometry->width, geometry->height);
}

QImage X11WindowCapture::readWithShm(xcb_drawable_t drawable, int width, int height)
{
    xcb_connection_t *c = m_session.xcb();
    ShmSegment segment(c, size_t(width) * size_t(height) * 4);
    if (!segment.isValid())
        return QImage();
    Reply<xcb_shm_get_image_reply_t> reply(
        xcb_shm_get_image_reply(c,
                                xcb_shm_get_image(c, drawable, 0, 0, uint16_t(width), uint16_t(height), ~0u,
                                                  XCB_IMAGE_FORMAT_Z_PIXMAP, segment.seg(), 0),
                                nullptr));
    if (!reply || reply->size < uint32_t(width) * uint32_t(height) * 4)
        return QImage();
    return wrapPixels(segment.data(), width, height, reply->depth);
}

QImage X11WindowCapture::readWithGetImage(xcb_drawable_t drawable, int width, int height)
{
    xcb_connection_t *c = m_session.xcb();
    Reply<xcb_get_image_reply_t> reply(xcb_get_image_reply(
        c,
        xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, drawable, 0, 0, uint16_t(width), uint16_t(height), ~0u),
        nullptr));
    if (!reply || xcb_get_image_data_length(reply.get()) < width * height * 4)
        return QImage();
    return wrapPixels(xcb_get_image_data(reply.get()), width, height, reply->depth);
}

} // namespace qv
