#include "platform/x11/x11windowcapture.h"

#include <QDeadlineTimer>
#include <QMutexLocker>
#include <QRect>
#include <QSet>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include <poll.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <xcb/composite.h>
#include <xcb/shm.h>
#include <xcb/xfixes.h>

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
template <int K> void reduceBlocks(const uint32_t *source, int width, QImage &image, uint32_t alpha, int k = K)
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
        // Whole pixels (K of 1) divide by a constant 1, which the compiler drops.
        auto *line = reinterpret_cast<uint32_t *>(image.scanLine(y));
        for (int x = 0; x < outWidth; ++x) {
            const uint32_t rb = redBlue[x], ag = alphaGreen[x];
            line[x] = alpha | (((ag >> 16) / area) << 24) | (((ag & 0xffff) / area) << 8) |
                      (((rb >> 16) / area) << 16) | ((rb & 0xffff) / area);
        }
    }
}

// The source pixels each output pixel covers, and by how much (in 1/256 of a pixel), along one
// axis of an area-averaging scaling from `from` to `to` pixels (both at least 1).
struct Taps
{
    int first = 0;
    std::vector<uint32_t> weights;
    uint32_t total = 0;
};
std::vector<Taps> areaTaps(int from, int to)
{
    std::vector<Taps> taps(static_cast<size_t>(to));
    const double scale = double(from) / double(to);
    for (int out = 0; out < to; ++out) {
        const double start = out * scale;
        const double end = std::min(double(from), (out + 1) * scale);
        Taps &tap = taps[size_t(out)];
        tap.first = std::min(int(start), from - 1);
        for (int in = tap.first; in < from && in < end; ++in) {
            const double overlap = std::min(end, in + 1.0) - std::max(start, double(in));
            const auto weight = uint32_t(std::lround(std::max(overlap, 0.0) * 256));
            tap.weights.push_back(weight);
            tap.total += weight;
        }
        // An output pixel far smaller than a source pixel (a tiny window pictured large) weighs
        // less than a 256th of it: it takes that pixel whole.
        if (tap.total == 0) {
            tap.weights.assign(1, 1);
            tap.total = 1;
        }
    }
    return taps;
}

// Reduces `source` (`width` x `height` pixels, `stride` pixels a row, each taken with `alpha` set)
// to `size` (not larger than it) in `format`, averaging the area each output pixel covers, as Qt's
// smooth scaling does, but on the calling thread: Qt hands large scalings to the global thread pool
// and waits for it, where they queue behind whatever work the program keeps there. Source rows are
// reduced across once each, into a ring of the few rows an output row reads, not into a copy of
// the whole picture: large blocks are fresh memory each time, and touching it costs more than
// the sums.
QImage reduceArea(const uint32_t *source, int width, int height, qsizetype stride, uint32_t alpha, QSize size,
                  QImage::Format format)
{
    QImage image(size, format);
    if (image.isNull())
        return image;
    const std::vector<Taps> across = areaTaps(width, size.width());
    const std::vector<Taps> down = areaTaps(height, size.height());
    const size_t rowValues = size_t(size.width()) * 4;
    size_t ringRows = 1;
    for (const Taps &tap : down)
        ringRows = std::max(ringRows, tap.weights.size());
    std::vector<uint32_t> ring(rowValues * ringRows);
    std::vector<int> ringHolds(ringRows, -1);
    // Output rows read source rows in rising order, each a run no longer than the ring, so a row
    // is overwritten only once no later output row reads it.
    const auto reducedRow = [&](int y) {
        const size_t slot = size_t(y) % ringRows;
        uint32_t *out = ring.data() + rowValues * slot;
        if (ringHolds[slot] == y)
            return static_cast<const uint32_t *>(out);
        ringHolds[slot] = y;
        const uint32_t *line = source + stride * y;
        for (int x = 0; x < size.width(); ++x) {
            const Taps &tap = across[size_t(x)];
            uint32_t sums[4] = {0, 0, 0, 0};
            for (size_t i = 0; i < tap.weights.size(); ++i) {
                const uint32_t pixel = line[size_t(tap.first) + i] | alpha;
                for (int channel = 0; channel < 4; ++channel)
                    sums[channel] += ((pixel >> (8 * channel)) & 0xffu) * tap.weights[i];
            }
            std::copy(std::begin(sums), std::end(sums), out + size_t(x) * 4);
        }
        return static_cast<const uint32_t *>(out);
    };
    std::vector<const uint32_t *> rows(ringRows);
    for (int y = 0; y < size.height(); ++y) {
        const Taps &tap = down[size_t(y)];
        for (size_t i = 0; i < tap.weights.size(); ++i)
            rows[i] = reducedRow(tap.first + int(i));
        auto *line = reinterpret_cast<uint32_t *>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            uint64_t sums[4] = {0, 0, 0, 0};
            for (size_t i = 0; i < tap.weights.size(); ++i) {
                const uint32_t *values = rows[i] + size_t(x) * 4;
                for (int channel = 0; channel < 4; ++channel)
                    sums[channel] += uint64_t(values[channel]) * tap.weights[i];
            }
            const uint64_t total = uint64_t(across[size_t(x)].total) * tap.total;
            // A weighted average of bytes, rounded, is a byte again.
            uint32_t pixel = 0;
            for (int channel = 0; channel < 4; ++channel)
                pixel |= uint32_t((sums[channel] + total / 2) / total) << (8 * channel);
            line[x] = pixel;
        }
    }
    return image;
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
    const QImage::Format format = opaque ? QImage::Format_RGB32 : QImage::Format_ARGB32_Premultiplied;
    const auto *source = reinterpret_cast<const uint32_t *>(data);
    const uint32_t alpha = opaque ? 0xff000000u : 0;
    // Less than half as large: no whole blocks to average first.
    if (k == 1 && fitted != QSize(width, height))
        return reduceArea(source, width, height, width, alpha, fitted, format);
    QImage image(width / k, height / k, format);
    if (image.isNull())
        return image;
    switch (k) {
    case 1:
        reduceBlocks<1>(source, width, image, alpha);
        break;
    case 2:
        reduceBlocks<2>(source, width, image, alpha);
        break;
    case 3:
        reduceBlocks<3>(source, width, image, alpha);
        break;
    case 4:
        reduceBlocks<4>(source, width, image, alpha);
        break;
    default:
        reduceBlocks<0>(source, width, image, alpha, k);
    }
    if (image.size() == fitted)
        return image;
    return reduceArea(reinterpret_cast<const uint32_t *>(image.constBits()), image.width(), image.height(),
                      image.bytesPerLine() / 4, 0, fitted, format);
}

} // namespace

// One System V segment, removed as soon as both sides have attached, so it cannot outlive us.
class X11WindowCapture::ShmSegment
{
public:
    ShmSegment(xcb_connection_t *c, size_t size)
        : m_connection(c), m_size(size), m_seg(xcb_generate_id(c))
    {
        const int id = shmget(IPC_PRIVATE, size, IPC_CREAT | 0600);
        if (id < 0)
            return;
        // Only the server writes into it.
        void *address = shmat(id, nullptr, SHM_RDONLY);
        if (address == reinterpret_cast<void *>(-1)) {
            shmctl(id, IPC_RMID, nullptr);
            return;
        }
        m_address = static_cast<uint8_t *>(address);
        std::unique_ptr<xcb_generic_error_t, FreeDeleter> error(
            xcb_request_check(c, xcb_shm_attach_checked(c, m_seg, uint32_t(id), 0)));
        shmctl(id, IPC_RMID, nullptr);
        m_attached = !error;
    }
    ~ShmSegment()
    {
        if (m_attached) {
            xcb_shm_detach(m_connection, m_seg);
            xcb_flush(m_connection);
        }
        if (m_address)
            shmdt(m_address);
    }
    bool isValid() const { return m_attached; }
    xcb_connection_t *connection() const { return m_connection; }
    size_t size() const { return m_size; }
    xcb_shm_seg_t seg() const { return m_seg; }
    const uint8_t *data() const { return m_address; }

private:
    xcb_connection_t *m_connection;
    size_t m_size;
    uint8_t *m_address = nullptr;
    xcb_shm_seg_t m_seg;
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
    for (auto it = m_redirected.begin(); it != m_redirected.end(); ++it)
        unredirect(it.key(), *it);
    closeReadConnection();
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

    // Where the redirected frame is read; none when it is read as it shows on screen.
    xcb_connection_t *reader = nullptr;
    if (m_session.hasComposite()) {
        if (mayRedirect) {
            reader = useRedirect(window, *frame);
        } else {
            QMutexLocker lock(&m_mutex);
            auto it = m_redirected.find(*frame);
            if (it != m_redirected.end() && Clock::now() >= readyAt(*it)) {
                it->lastUse = Clock::now();
                reader = c;
            }
        }
    }
    if (reader) {
        // Not checked on its own: when naming fails, reading the pixmap fails too, one round trip
        // later and without one of its own.
        const xcb_pixmap_t pixmap = xcb_generate_id(reader);
        xcb_composite_name_window_pixmap(reader, *frame, pixmap);
        QImage image = readDrawable(reader, pixmap, fitInto);
        xcb_free_pixmap(reader, pixmap);
        xcb_flush(reader);
        QMutexLocker lock(&m_mutex);
        if (reader == c) {
            m_session.discardEvents();
        } else {
            takeRepaints();
            --m_captureUsers;
        }
        if (!image.isNull())
            return image;
        // The window may have a new frame (a restarted window manager): look it up next time.
        m_frames.remove(window);
    }
    return readDrawable(c, *frame, fitInto);
}

xcb_connection_t *X11WindowCapture::useRedirect(xcb_window_t window, xcb_window_t frame)
{
    QMutexLocker lock(&m_mutex);
    m_frames.insert(window, frame);
    const Clock::time_point now = Clock::now();
    auto it = m_redirected.find(frame);
    if (it == m_redirected.end()) {
        const QList<PendingRedirect> pending = requestRedirects({{window, frame}}, compositorRuns());
        it = finishRedirect(pending.constFirst(), now);
        if (it == m_redirected.end())
            return nullptr;
        m_scheduler.post([this] { startIdleTimer(); });
    }
    it->lastUse = now;
    ++m_captureUsers;
    waitForContents(lock, frame);
    if (m_readConnection)
        return m_readConnection;
    --m_captureUsers;
    return m_session.xcb();
}

X11WindowCapture::Clock::time_point X11WindowCapture::readyAt(const Redirect &redirect) const
{
    if (redirect.settled)
        return redirect.since;
    const Clock::time_point latest = redirect.since + m_timing.settle;
    if (redirect.repaintedAt)
        return std::min(latest, *redirect.repaintedAt + m_timing.quiet);
    return latest;
}

bool X11WindowCapture::compositorRuns()
{
    // A valid session's screen is one of the server's.
    xcb_ewmh_connection_t *ewmh = m_session.ewmh();
    xcb_window_t owner = XCB_WINDOW_NONE;
    return xcb_ewmh_get_wm_cm_owner_reply(ewmh, xcb_ewmh_get_wm_cm_owner(ewmh, m_session.screenNumber()), &owner,
                                          nullptr) &&
           owner != XCB_WINDOW_NONE;
}

void X11WindowCapture::openReadConnection()
{
    if (m_readConnection || m_readConnectionFailed)
        return;
    const QByteArray display = m_session.displayName();
    xcb_connection_t *c = xcb_connect(display.isEmpty() ? nullptr : display.constData(), nullptr);
    if (xcb_connection_has_error(c)) {
        xcb_disconnect(c);
        // Not tried again: the session's connection reads, and captures wait the settle time.
        m_readConnectionFailed = true;
        return;
    }
    m_readConnection = c;
    const xcb_query_extension_reply_t *extension = xcb_get_extension_data(c, &xcb_damage_id);
    Reply<xcb_damage_query_version_reply_t> version(
        extension && extension->present
            ? xcb_damage_query_version_reply(c, xcb_damage_query_version(c, 1, 1), nullptr)
            : nullptr);
    m_hasDamage = version != nullptr;
    if (m_hasDamage)
        m_damageEventBase = extension->first_event;
    const xcb_query_extension_reply_t *fixes = xcb_get_extension_data(c, &xcb_xfixes_id);
    Reply<xcb_xfixes_query_version_reply_t> fixesVersion(
        fixes && fixes->present ? xcb_xfixes_query_version_reply(c, xcb_xfixes_query_version(c, 2, 0), nullptr)
                                : nullptr);
    m_hasRegions = fixesVersion && fixesVersion->major_version >= 2;
}

void X11WindowCapture::closeReadConnection()
{
    if (!m_readConnection)
        return;
    // Closed only once every redirect through it is undone, so no watch is left on it.
    xcb_disconnect(m_readConnection);
    m_readConnection = nullptr;
}

QList<X11WindowCapture::PendingRedirect>
X11WindowCapture::requestRedirects(const QList<std::pair<xcb_window_t, xcb_window_t>> &windows, bool composited)
{
    openReadConnection();
    // A client may answer the redirect's exposure at once: were its drawing run by the server
    // between our redirect and the emptying of the watch, it would count as the server's own
    // background, and its capture would wait out the whole settle time for a repaint that came
    // already. Other clients wait while these requests run; they are sent in one go, nothing is
    // waited for in between.
    const bool watching = !composited && m_readConnection && m_hasDamage;
    if (watching)
        xcb_grab_server(m_readConnection);
    QList<PendingRedirect> requests;
    for (const auto &[window, frame] : windows)
        requests.append(requestRedirect(window, frame, composited));
    if (watching) {
        xcb_ungrab_server(m_readConnection);
        xcb_flush(m_readConnection);
    }
    return requests;
}

X11WindowCapture::PendingRedirect X11WindowCapture::requestRedirect(xcb_window_t window, xcb_window_t frame,
                                                                    bool composited)
{
    PendingRedirect pending;
    pending.frame = frame;
    pending.composited = composited;
    pending.connection = m_readConnection ? m_readConnection : m_session.xcb();
    xcb_connection_t *c = pending.connection;
    // The watch is on the client's window, not the frame: the window manager's repaint of its
    // decorations is not the client's. It reports what shows of the window when it starts, and
    // the backgrounds the server paints for the redirect; emptied right after the redirect, it
    // reports the client's own drawing. A report tells which of our requests the server had done
    // when it came: those from before the emptying are not the client's repaint.
    // What shows of the window when the watch starts is kept apart first: a window that showed
    // whole is exposed nowhere by the redirect, its contents are in the pixmap at once, and no
    // repaint is coming.
    const bool watching = !composited && m_readConnection && m_hasDamage;
    if (watching) {
        pending.damage = xcb_generate_id(c);
        xcb_damage_create(c, pending.damage, window, XCB_DAMAGE_REPORT_LEVEL_NON_EMPTY);
        if (m_hasRegions) {
            pending.shown = xcb_generate_id(c);
            xcb_xfixes_create_region(c, pending.shown, 0, nullptr);
            pending.size = xcb_get_geometry(c, window);
            xcb_damage_subtract(c, pending.damage, XCB_NONE, pending.shown);
            pending.shownArea = xcb_xfixes_fetch_region(c, pending.shown);
        }
    }
    // Automatic redirection coexists with a compositing manager and with other captures.
    pending.cookie = xcb_composite_redirect_window_checked(c, frame, XCB_COMPOSITE_REDIRECT_AUTOMATIC);
    if (watching)
        pending.watchFrom = xcb_damage_subtract(c, pending.damage, XCB_NONE, XCB_NONE).sequence;
    return pending;
}

QHash<xcb_window_t, X11WindowCapture::Redirect>::iterator
X11WindowCapture::finishRedirect(const PendingRedirect &pending, Clock::time_point now)
{
    xcb_connection_t *c = pending.connection;
    std::unique_ptr<xcb_generic_error_t, FreeDeleter> error(xcb_request_check(c, pending.cookie));
    bool shownWhole = false;
    if (pending.shown != 0) {
        Reply<xcb_get_geometry_reply_t> size(xcb_get_geometry_reply(c, pending.size, nullptr));
        Reply<xcb_xfixes_fetch_region_reply_t> shown(xcb_xfixes_fetch_region_reply(c, pending.shownArea, nullptr));
        xcb_xfixes_destroy_region(c, pending.shown);
        if (size && shown) {
            // The rectangles of a region do not overlap; the border lies outside the window's area.
            const QRect whole(0, 0, size->width, size->height);
            const xcb_rectangle_t *parts = xcb_xfixes_fetch_region_rectangles(shown.get());
            qint64 area = 0;
            for (int i = 0; i < xcb_xfixes_fetch_region_rectangles_length(shown.get()); ++i) {
                const QRect part = QRect(parts[i].x, parts[i].y, parts[i].width, parts[i].height).intersected(whole);
                area += qint64(part.width()) * part.height();
            }
            shownWhole = area == qint64(whole.width()) * whole.height();
        }
    }
    if (error) {
        if (pending.damage != 0) {
            xcb_damage_destroy(c, pending.damage);
            xcb_flush(c);
        }
        return m_redirected.end();
    }
    Redirect redirect{now, now};
    redirect.own = c == m_readConnection;
    redirect.damage = pending.damage;
    redirect.watchFrom = pending.watchFrom;
    redirect.settled = pending.composited;
    const auto kept = m_redirected.insert(pending.frame, redirect);
    if (shownWhole)
        settle(*kept);
    return kept;
}

void X11WindowCapture::unredirect(xcb_window_t frame, Redirect &redirect)
{
    settle(redirect);
    // Only the connection that redirected may undo it. A window destroyed meanwhile answers with
    // an error that is simply dropped.
    xcb_connection_t *c = redirect.own && m_readConnection ? m_readConnection : m_session.xcb();
    xcb_composite_unredirect_window(c, frame, XCB_COMPOSITE_REDIRECT_AUTOMATIC);
    xcb_flush(c);
}

void X11WindowCapture::settle(Redirect &redirect)
{
    redirect.settled = true;
    if (redirect.damage == 0)
        return;
    if (m_readConnection) {
        // Fails harmlessly when the window is gone (its watches went with it).
        xcb_damage_destroy(m_readConnection, redirect.damage);
        xcb_flush(m_readConnection);
    }
    redirect.damage = 0;
}

void X11WindowCapture::takeRepaints()
{
    if (!m_readConnection)
        return;
    while (xcb_generic_event_t *event = xcb_poll_for_event(m_readConnection)) {
        if ((event->response_type & 0x7f) == m_damageEventBase + XCB_DAMAGE_NOTIFY) {
            const auto *notify = reinterpret_cast<const xcb_damage_notify_event_t *>(event);
            // A handful of windows are watched at a time.
            const auto redirect = std::find_if(m_redirected.begin(), m_redirected.end(),
                                               [&](const Redirect &r) { return r.damage == notify->damage; });
            if (redirect != m_redirected.end()) {
                // Sequence numbers run on past 32 bits; the difference tells the order.
                if (int32_t(event->full_sequence - redirect->watchFrom) >= 0)
                    redirect->repaintedAt = Clock::now();
                // Emptied, the watch reports the next drawing again.
                xcb_damage_subtract(m_readConnection, notify->damage, XCB_NONE, XCB_NONE);
            }
        }
        // Errors of watches on windows that are gone are dropped with the rest.
        std::free(event);
    }
    // Sends the emptyings, if any.
    xcb_flush(m_readConnection);
}

void X11WindowCapture::waitForContents(QMutexLocker<QMutex> &lock, xcb_window_t frame)
{
    for (;;) {
        takeRepaints();
        const auto it = m_redirected.find(frame);
        if (it == m_redirected.end())
            break;
        const Clock::time_point at = readyAt(*it);
        if (Clock::now() >= at) {
            settle(*it);
            break;
        }
        awaitRepaints(lock, at);
    }
}

void X11WindowCapture::awaitRepaints(QMutexLocker<QMutex> &lock, Clock::time_point until)
{
    const QDeadlineTimer deadline(until, Qt::PreciseTimer);
    if (m_readConnection && !m_readingRepaints) {
        // One waiting thread listens for the repaints of all; the others wait to be told.
        m_readingRepaints = true;
        pollfd socket{xcb_get_file_descriptor(m_readConnection), POLLIN, 0};
        lock.unlock();
        poll(&socket, 1, int(deadline.remainingTime()));
        lock.relock();
        m_readingRepaints = false;
        // Every waiter, this one too, takes the repaints that came when it looks again.
        m_contentsChanged.notify_all();
    } else {
        m_contentsChanged.wait_until(m_mutex, until);
    }
}

void X11WindowCapture::watchRepaints()
{
    QMutexLocker lock(&m_mutex);
    ++m_captureUsers;
    for (;;) {
        takeRepaints();
        const Clock::time_point now = Clock::now();
        std::optional<Clock::time_point> next;
        for (Redirect &redirect : m_redirected) {
            if (redirect.settled)
                continue;
            const Clock::time_point at = readyAt(redirect);
            if (now >= at) {
                settle(redirect);
                continue;
            }
            next = next ? std::min(*next, at) : at;
        }
        if (!next)
            break;
        awaitRepaints(lock, *next);
    }
    m_watchingRepaints = false;
    --m_captureUsers;
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
    const bool composited = compositorRuns();

    QMutexLocker lock(&m_mutex);
    const Clock::time_point now = Clock::now();
    QList<std::pair<xcb_window_t, xcb_window_t>> asked;
    QSet<xcb_window_t> askedFrames;
    for (auto it = frames.cbegin(); it != frames.cend(); ++it) {
        m_frames.insert(it.key(), it.value());
        if (m_redirected.contains(it.value()) || askedFrames.contains(it.value()))
            continue;
        askedFrames.insert(it.value());
        asked.append({it.key(), it.value()});
    }
    const QList<PendingRedirect> requests = requestRedirects(asked, composited);
    bool added = false;
    bool waiting = false;
    for (const PendingRedirect &pending : std::as_const(requests)) {
        const auto kept = finishRedirect(pending, now);
        if (kept == m_redirected.end()) {
            m_frames.removeIf([refused = pending.frame](const auto &entry) { return entry.value() == refused; });
            continue;
        }
        added = true;
        waiting = waiting || (kept->damage != 0 && !kept->settled);
    }
    if (added)
        startIdleTimer();
    // The clients' repaints are taken as they come, not only once the captures ask: a capture
    // asked a while after the redirect then finds its window's contents settled already.
    if (waiting && !m_watchingRepaints) {
        m_watchingRepaints = true;
        startOnPool(m_workers, [this] { watchRepaints(); });
    }
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
        const auto redirect = stillUsed ? m_redirected.end() : m_redirected.find(frame);
        if (redirect == m_redirected.end())
            continue;
        // Mostly destroyed with its window already; the error that answers is dropped.
        unredirect(frame, *redirect);
        m_redirected.erase(redirect);
    }
    if (!frames.isEmpty()) {
        m_session.discardEvents();
        m_contentsChanged.notify_all();
    }
}

void X11WindowCapture::releaseIdle()
{
    QMutexLocker lock(&m_mutex);
    const Clock::time_point now = Clock::now();
    for (auto it = m_redirected.begin(); it != m_redirected.end();) {
        if (now - it->lastUse >= m_timing.idleTime) {
            unredirect(it.key(), *it);
            m_frames.removeIf([frame = it.key()](const auto &entry) { return entry.value() == frame; });
            it = m_redirected.erase(it);
        } else {
            ++it;
        }
    }
    m_session.discardEvents();
    // A capture still waiting or reading uses the connection; the next round closes it then.
    if (m_redirected.isEmpty() && m_captureUsers == 0) {
        // Nothing is being previewed: the pixel buffer goes too, before the connection it may be
        // attached through.
        {
            QMutexLocker segmentLock(&m_segmentLock);
            m_segment.reset();
        }
        closeReadConnection();
        m_idleTimer.stop();
    }
}

int X11WindowCapture::redirectedCount()
{
    QMutexLocker lock(&m_mutex);
    return int(m_redirected.size());
}

QImage X11WindowCapture::readDrawable(xcb_connection_t *c, xcb_drawable_t drawable, QSize fitInto)
{
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
        // The pixels are copied out of the shared buffer, so the next capture can read into it
        // while this one converts them.
        std::unique_ptr<uint8_t[]> pixels;
        {
            QMutexLocker lock(&m_segmentLock);
            if (!m_segment || m_segment->size() < bytes || m_segment->connection() != c)
                m_segment = std::make_unique<ShmSegment>(c, bytes);
            if (m_segment->isValid()) {
                Reply<xcb_shm_get_image_reply_t> reply(xcb_shm_get_image_reply(
                    c,
                    xcb_shm_get_image(c, drawable, 0, 0, uint16_t(width), uint16_t(height), ~0u,
                                      XCB_IMAGE_FORMAT_Z_PIXMAP, m_segment->seg(), 0),
                    nullptr));
                if (reply && reply->size >= bytes) {
                    pixels.reset(new (std::nothrow) uint8_t[bytes]);
                    if (pixels)
                        std::memcpy(pixels.get(), m_segment->data(), bytes);
                }
            }
            if (!pixels)
                m_segment.reset();
        }
        if (pixels)
            return convertPixels(pixels.get(), width, height, depth, fitInto);
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
