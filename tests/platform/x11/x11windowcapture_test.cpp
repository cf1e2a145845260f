#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QScopeGuard>
#include <QSet>
#include <QSocketNotifier>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <vector>

#include <xcb/composite.h>
#include <xcb/res.h>

#include "platform/x11/x11session.h"
#include "platform/x11/x11windowcapture.h"
#include "support/helperprocess.h"
#include "support/x11clients.h"

using namespace qv;

namespace {

constexpr int waitMs = 10000;

struct FreeDeleter
{
    void operator()(void *p) const { std::free(p); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeDeleter>;

// Captures' answers, given on whichever thread each capture ends on and read on the test's.
class Answers
{
public:
    explicit Answers(size_t count) : m_images(count) {}
    X11WindowCapture::Completion to(const std::shared_ptr<Answers> &self, size_t i)
    {
        return [self, i](std::optional<QImage> image) {
            const std::lock_guard lock(self->m_mutex);
            self->m_images[i] = std::move(image);
        };
    }
    bool allCame()
    {
        const std::lock_guard lock(m_mutex);
        return std::all_of(m_images.cbegin(), m_images.cend(), [](const auto &a) { return a.has_value(); });
    }
    // The answer that came (none when it had no picture); only once it came.
    std::optional<QImage> at(size_t i)
    {
        const std::lock_guard lock(m_mutex);
        return m_images[i].value();
    }

private:
    std::mutex m_mutex;
    std::vector<std::optional<std::optional<QImage>>> m_images;
};

// Window pictures taken from windows of known pixels, with what the server holds for the capture
// read back on a connection of the test's own: which frames are redirected, and which resources
// (pixmaps, repaint watches, regions, shared memory, connections) the capture keeps.
class X11WindowCaptureTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(session.isValid());
        ASSERT_TRUE(session.hasComposite());
        ASSERT_TRUE(session.hasRes());
        ASSERT_EQ(xcb_connection_has_error(probe), 0);
    }
    void TearDown() override { xcb_disconnect(probe); }

    // Whether the server keeps `frame` redirected off screen: only then has it a pixmap to name.
    bool redirectedOnServer(xcb_window_t frame)
    {
        const xcb_pixmap_t pixmap = xcb_generate_id(probe);
        Reply<xcb_generic_error_t> error(
            xcb_request_check(probe, xcb_composite_name_window_pixmap_checked(probe, frame, pixmap)));
        if (!error)
            xcb_free_pixmap(probe, pixmap);
        return !error;
    }
    // The clients of the server by their resource base, each with its resources counted by type.
    QHash<uint32_t, QHash<QByteArray, int>> serverResources()
    {
        QHash<uint32_t, QHash<QByteArray, int>> found;
        Reply<xcb_res_query_clients_reply_t> clients(
            xcb_res_query_clients_reply(probe, xcb_res_query_clients(probe), nullptr));
        if (!clients)
            return found;
        const xcb_res_client_t *list = xcb_res_query_clients_clients(clients.get());
        for (int i = 0; i < xcb_res_query_clients_clients_length(clients.get()); ++i) {
            QHash<QByteArray, int> &counts = found[list[i].resource_base];
            Reply<xcb_res_query_client_resources_reply_t> resources(xcb_res_query_client_resources_reply(
                probe, xcb_res_query_client_resources(probe, list[i].resource_base), nullptr));
            if (!resources)
                continue;
            const xcb_res_type_t *types = xcb_res_query_client_resources_types(resources.get());
            for (int t = 0; t < xcb_res_query_client_resources_types_length(resources.get()); ++t)
                counts[atomName(types[t].resource_type)] = int(types[t].count);
        }
        return found;
    }
    QByteArray atomName(xcb_atom_t atom)
    {
        const auto known = names.constFind(atom);
        if (known != names.constEnd())
            return *known;
        Reply<xcb_get_atom_name_reply_t> reply(
            xcb_get_atom_name_reply(probe, xcb_get_atom_name(probe, atom), nullptr));
        const QByteArray name = reply ? QByteArray(xcb_get_atom_name_name(reply.get()),
                                                   xcb_get_atom_name_name_length(reply.get()))
                                      : QByteArray();
        names.insert(atom, name);
        return name;
    }
    // The clients that came since `before` was read, with their resources.
    QHash<uint32_t, QHash<QByteArray, int>> newClients(const QHash<uint32_t, QHash<QByteArray, int>> &before)
    {
        QHash<uint32_t, QHash<QByteArray, int>> added = serverResources();
        for (auto it = added.begin(); it != added.end();)
            it = before.contains(it.key()) ? added.erase(it) : std::next(it);
        return added;
    }
    // The resources of the session's own connection.
    QHash<QByteArray, int> sessionResources()
    {
        return serverResources().value(xcb_get_setup(session.xcb())->resource_id_base);
    }
    // The top level on the root that holds `window` (the window manager's frame around a client).
    xcb_window_t frameOf(xcb_window_t window)
    {
        for (int depth = 0; depth < 8; ++depth) {
            Reply<xcb_query_tree_reply_t> tree(
                xcb_query_tree_reply(probe, xcb_query_tree(probe, window), nullptr));
            if (!tree || tree->parent == tree->root || tree->parent == XCB_WINDOW_NONE)
                return window;
            window = tree->parent;
        }
        return window;
    }
    // The capture's answer (a picture or none); none when it did not come in time. One that comes
    // later finds its place still there.
    static std::optional<std::optional<QImage>> answerOf(X11WindowCapture &capture, quint32 window, QSize size)
    {
        const auto answer = std::make_shared<Answers>(1);
        capture.captureWindow(window, size, answer->to(answer, 0));
        if (!QTest::qWaitFor([&] { return answer->allCame(); }, waitMs))
            return std::nullopt;
        return answer->at(0);
    }
    // The picture; none when it did not come in time or the capture had none.
    static std::optional<QImage> captureNow(X11WindowCapture &capture, quint32 window, QSize size)
    {
        return answerOf(capture, window, size).value_or(std::nullopt);
    }

    X11Session session;
    xcb_connection_t *probe = xcb_connect(nullptr, nullptr);
    QHash<xcb_atom_t, QByteArray> names;
};

// A window of `c`'s that overrides redirection, whose contents are `pixels` (`size`, 32 bits
// each, in the server's order) as its background; mapped. The caller destroys it.
xcb_window_t windowOfPixels(xcb_connection_t *c, xcb_window_t root, QPoint at, QSize size, uint8_t depth,
                            xcb_visualid_t visual, const std::vector<uint32_t> &pixels)
{
    const xcb_pixmap_t contents = xcb_generate_id(c);
    const xcb_gcontext_t pen = xcb_generate_id(c);
    const int width = size.width();
    xcb_create_pixmap(c, depth, contents, root, uint16_t(width), uint16_t(size.height()));
    xcb_create_gc(c, pen, contents, 0, nullptr);
    for (int row = 0; row < size.height(); row += 16) {
        const int rows = std::min(16, size.height() - row);
        xcb_put_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, contents, pen, uint16_t(width), uint16_t(rows), 0,
                      int16_t(row), 0, depth, uint32_t(width * rows * 4),
                      reinterpret_cast<const uint8_t *>(pixels.data() + size_t(row) * size_t(width)));
    }
    xcb_free_gc(c, pen);
    const xcb_window_t window = xcb_generate_id(c);
    const xcb_colormap_t colormap = xcb_generate_id(c);
    xcb_create_colormap(c, XCB_COLORMAP_ALLOC_NONE, colormap, root, visual);
    const uint32_t values[] = {contents, 0, 1, colormap};
    xcb_create_window(c, depth, window, root, int16_t(at.x()), int16_t(at.y()), uint16_t(width),
                      uint16_t(size.height()), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, visual,
                      XCB_CW_BACK_PIXMAP | XCB_CW_BORDER_PIXEL | XCB_CW_OVERRIDE_REDIRECT | XCB_CW_COLORMAP,
                      values);
    xcb_free_pixmap(c, contents);
    xcb_free_colormap(c, colormap);
    xcb_map_window(c, window);
    xcb_flush(c);
    return window;
}

// Another program's windows, as captures meet them: each lies where asked (over those made before
// it) with its background colour, which the server paints where the window is exposed; one given
// a repaint colour paints itself that colour 150 ms after each exposure, as a slow client does.
class OtherProgram
{
public:
    OtherProgram() : m_events(xcb_get_file_descriptor(m_connection), QSocketNotifier::Read)
    {
        m_pen = xcb_generate_id(m_connection);
        xcb_create_gc(m_connection, m_pen, xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root,
                      0, nullptr);
        QObject::connect(&m_events, &QSocketNotifier::activated, &m_events, [this] { readEvents(); });
    }
    ~OtherProgram() { xcb_disconnect(m_connection); }
    bool isValid() const { return xcb_connection_has_error(m_connection) == 0; }
    xcb_window_t show(const QRect &area, uint32_t background, std::optional<uint32_t> repaint = std::nullopt)
    {
        const xcb_window_t window = xcb_generate_id(m_connection);
        const uint32_t values[] = {background, 1, repaint ? uint32_t(XCB_EVENT_MASK_EXPOSURE) : 0u};
        xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, window,
                          xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root, int16_t(area.x()),
                          int16_t(area.y()), uint16_t(area.width()), uint16_t(area.height()), 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT,
                          XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
        if (repaint)
            m_repaints.insert(window, {*repaint, area.size()});
        xcb_map_window(m_connection, window);
        xcb_flush(m_connection);
        readEvents();
        return window;
    }
    // Fills the window with `colour`, as the client's drawing does.
    void paint(xcb_window_t window, uint32_t colour, QSize size)
    {
        const xcb_rectangle_t whole{0, 0, uint16_t(size.width()), uint16_t(size.height())};
        xcb_change_gc(m_connection, m_pen, XCB_GC_FOREGROUND, &colour);
        xcb_poly_fill_rectangle(m_connection, window, m_pen, 1, &whole);
        xcb_flush(m_connection);
        readEvents();
    }
    // How many times the window was exposed.
    int exposures(xcb_window_t window)
    {
        readEvents();
        return m_exposures.value(window);
    }

private:
    // Also after each flush of ours: xcb reads the events that came meanwhile into its queue,
    // where the socket no longer tells of them.
    void readEvents()
    {
        while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection)) {
            if ((event->response_type & 0x7f) == XCB_EXPOSE) {
                const xcb_window_t window = reinterpret_cast<xcb_expose_event_t *>(event)->window;
                ++m_exposures[window];
                QTimer::singleShot(150, &m_events, [this, window] {
                    const auto [colour, size] = m_repaints.value(window);
                    paint(window, colour, size);
                });
            }
            std::free(event);
        }
    }

    xcb_connection_t *m_connection = xcb_connect(nullptr, nullptr);
    xcb_gcontext_t m_pen = 0;
    QHash<xcb_window_t, std::pair<uint32_t, QSize>> m_repaints;
    QHash<xcb_window_t, int> m_exposures;
    QSocketNotifier m_events;
};

// The System V shared memory segments this program made that still exist.
int ownSegments()
{
    QFile list(QStringLiteral("/proc/sysvipc/shm"));
    if (!list.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> lines = list.readAll().split('\n');
    int count = 0;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        // key shmid perms size cpid ...
        const QList<QByteArray> fields = lines.at(i).simplified().split(' ');
        count += fields.size() > 4 && fields.at(4).toLongLong() == QCoreApplication::applicationPid() ? 1 : 0;
    }
    return count;
}

// Pixels as their four channels, a row after another, `side` of them a row.
struct Channels
{
    int side = 0;
    std::vector<std::array<double, 4>> values;
};
Channels channelsOf(const std::vector<uint32_t> &pixels, int side)
{
    Channels out{side, {}};
    for (const uint32_t pixel : pixels)
        out.values.push_back({double(pixel & 0xffu), double((pixel >> 8) & 0xffu),
                              double((pixel >> 16) & 0xffu), double(pixel >> 24)});
    return out;
}
// `source` reduced to `side` pixels a side, each the average of the area of the source it covers,
// parts of pixels counted by how much of them it covers.
Channels areaAverages(const Channels &source, int side)
{
    Channels out{side, std::vector<std::array<double, 4>>(size_t(side) * size_t(side))};
    const double scale = double(source.side) / side;
    for (int oy = 0; oy < side; ++oy) {
        for (int ox = 0; ox < side; ++ox) {
            std::array<double, 4> &sum = out.values[size_t(oy) * size_t(side) + size_t(ox)];
            const double x0 = ox * scale, x1 = (ox + 1) * scale, y0 = oy * scale, y1 = (oy + 1) * scale;
            for (int y = int(y0); y < source.side && y < y1; ++y) {
                const double down = std::min(y1, y + 1.0) - std::max(y0, double(y));
                for (int x = int(x0); x < source.side && x < x1; ++x) {
                    const double part =
                        down * (std::min(x1, x + 1.0) - std::max(x0, double(x))) / (scale * scale);
                    for (int channel = 0; channel < 4; ++channel)
                        sum[size_t(channel)] +=
                            part *
                            source.values[size_t(y) * size_t(source.side) + size_t(x)][size_t(channel)];
                }
            }
        }
    }
    return out;
}

} // namespace

// Every picture is the window's own pixels averaged, whatever the scale: a whole multiple (blocks
// of 2, 3, 4, 5 and 16 pixels a side), a factor no whole number away (alone, after whole blocks,
// and beyond the largest block), every channel on its own, the opaque windows opaque and those with
// an alpha channel with theirs. The pixels are noise, so a picture pixel that took in a pixel too
// many, too few or a neighbour's, or one channel for another, is far from its average.
TEST_F(X11WindowCaptureTest, APictureIsTheAreaAverageOfTheWindowsPixelsAtEveryScale)
{
    X11WindowCapture capture(session, {std::chrono::milliseconds(300), std::chrono::milliseconds(60000)});
    xcb_connection_t *c = session.xcb();
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    std::optional<xcb_visualid_t> argbVisual;
    for (auto depths = xcb_screen_allowed_depths_iterator(screen); depths.rem && !argbVisual;
         xcb_depth_next(&depths)) {
        if (depths.data->depth != 32)
            continue;
        for (auto visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem;
             xcb_visualtype_next(&visuals)) {
            if (visuals.data->_class == XCB_VISUAL_CLASS_TRUE_COLOR) {
                argbVisual = visuals.data->visual_id;
                break;
            }
        }
    }
    ASSERT_TRUE(argbVisual) << "the server offers no visual with an alpha channel";

    constexpr int side = 240;
    std::minstd_rand noise(45);
    std::vector<uint32_t> opaquePixels(size_t(side) * side), translucentPixels(size_t(side) * side);
    for (uint32_t &pixel : opaquePixels)
        pixel = uint32_t(noise()) & 0x00ffffffu;
    // Premultiplied: no channel above the alpha.
    for (uint32_t &pixel : translucentPixels) {
        const uint32_t alpha = uint32_t(noise()) % 256;
        pixel = alpha << 24;
        for (int channel = 0; channel < 3; ++channel)
            pixel |= (alpha == 0 ? 0 : uint32_t(noise()) % (alpha + 1)) << (8 * channel);
    }
    // One colour throughout (blue even, so a stray lowest bit shows): its average is exact at any
    // scale, to the last bit.
    constexpr uint32_t flatColour = 0x00c8347c;
    const std::vector<uint32_t> flatPixels(size_t(side) * side, flatColour);
    const auto flatWindow = [&](QPoint at, QSize size) {
        return windowOfPixels(c, session.root(), at, size, screen->root_depth, screen->root_visual, flatPixels);
    };
    const std::array windows = {
        windowOfPixels(c, session.root(), QPoint(20, 20), QSize(side, side), screen->root_depth,
                       screen->root_visual, opaquePixels),
        windowOfPixels(c, session.root(), QPoint(300, 20), QSize(side, side), 32, *argbVisual, translucentPixels),
        flatWindow(QPoint(580, 20), QSize(side, side)), flatWindow(QPoint(860, 20), QSize(2, 2)),
        flatWindow(QPoint(20, 300), QSize(side, 1)), flatWindow(QPoint(900, 20), QSize(1, side))};
    const auto destroy = qScopeGuard([&] {
        for (const xcb_window_t window : windows)
            xcb_destroy_window(c, window);
        xcb_flush(c);
    });
    const auto [opaque, translucent, flat, tiny, wide, tall] = windows;
    // Read whole as it shows (before any redirect of ours) and later from the redirected pixmap, a
    // window with an alpha channel keeps its premultiplied pixels as they are.
    const auto translucentWhole = [&] {
        const QImage image = capture.fallbackImage(translucent);
        if (image.format() != QImage::Format_ARGB32_Premultiplied || image.size() != QSize(side, side))
            return false;
        for (int y = 0; y < side; ++y) {
            if (!std::equal(translucentPixels.begin() + y * side, translucentPixels.begin() + (y + 1) * side,
                            reinterpret_cast<const uint32_t *>(image.constScanLine(y))))
                return false;
        }
        return true;
    };
    EXPECT_TRUE(translucentWhole());

    struct Case
    {
        xcb_window_t window;
        const std::vector<uint32_t> *pixels;
        bool hasAlpha;
        bool exact = false;
    };
    for (const Case &subject : {Case{opaque, &opaquePixels, false}, Case{translucent, &translucentPixels, true},
                                Case{flat, &flatPixels, false, true}}) {
        for (const int size : {240, 120, 80, 60, 48, 15, 160, 100, 10, 7}) {
            SCOPED_TRACE(testing::Message() << (subject.hasAlpha ? "with alpha, " : "opaque, ") << size);
            // Asked into a wider box: the aspect is kept.
            const std::optional<QImage> picture = captureNow(capture, subject.window, QSize(size + 50, size));
            ASSERT_TRUE(picture);
            ASSERT_EQ(picture->size(), QSize(size, size));
            ASSERT_EQ(picture->hasAlphaChannel(), subject.hasAlpha);
            // Whole blocks of up to 16 x 16 pixels are averaged first, the rest of the scaling then
            // weighs those blocks by how much of each a picture pixel covers (by the 256th).
            const int block = std::clamp(side / size, 1, 16);
            const Channels expected =
                areaAverages(areaAverages(channelsOf(*subject.pixels, side), side / block), size);
            const double within = subject.exact ? 0.5 : size == side ? 0 : side / block == size ? 1 : 2;
            int wrong = 0;
            for (int y = 0; y < size && wrong < 5; ++y) {
                const auto *line = reinterpret_cast<const uint32_t *>(picture->constScanLine(y));
                for (int x = 0; x < size && wrong < 5; ++x) {
                    for (int channel = 0; channel < 4; ++channel) {
                        const double average =
                            !subject.hasAlpha && channel == 3
                                ? 255
                                : expected.values[size_t(y) * size_t(size) + size_t(x)][size_t(channel)];
                        const int read = int((line[x] >> (8 * channel)) & 0xffu);
                        if (std::abs(read - average) > within) {
                            ADD_FAILURE() << "pixel " << x << ',' << y << " channel " << channel << ": "
                                          << read << ", the area's average is " << average;
                            ++wrong;
                        }
                    }
                }
            }
        }
    }

    EXPECT_TRUE(translucentWhole());

    // Pictured whole however small or thin: a tiny window fills a large box (each picture pixel
    // a sliver of a window pixel), and one a few pixels thin keeps a line of a pixel.
    for (const auto &[window, box, fitted] :
         {std::tuple{tiny, QSize(1100, 1100), QSize(1100, 1100)}, std::tuple{wide, QSize(24, 24), QSize(24, 1)},
          std::tuple{tall, QSize(24, 24), QSize(1, 24)}}) {
        const std::optional<QImage> picture = captureNow(capture, window, box);
        ASSERT_TRUE(picture);
        EXPECT_EQ(picture->size(), fitted);
        int wrong = 0;
        for (int y = 0; y < picture->height(); ++y) {
            for (int x = 0; x < picture->width(); ++x)
                wrong += picture->pixel(x, y) != (0xff000000u | flatColour) ? 1 : 0;
        }
        EXPECT_EQ(wrong, 0) << fitted.width() << 'x' << fitted.height();
    }
}

// A surface's windows are redirected when it readies them (a minimised one is left alone, a frame
// named twice is redirected once), and given back when the surface forgets them and when the
// capture ends. Meanwhile the capture keeps no pixmap, repaint watch or region it named once a
// picture is taken, nor after a redirect the server refused: a leak of any of them grew the server
// with every picture.
TEST_F(X11WindowCaptureTest, RedirectsOnlyWhilePicturesAreTakenAndLeavesNothingOnTheServer)
{
    xcb_connection_t *client = xcb_connect(nullptr, nullptr);
    ASSERT_EQ(xcb_connection_has_error(client), 0);
    const auto disconnect = qScopeGuard([client] { xcb_disconnect(client); });
    const QHash<uint32_t, QHash<QByteArray, int>> before = serverResources();
    const QHash<QByteArray, int> sessionBefore = sessionResources();
    const int segmentsBefore = ownSegments();

    // A window the window manager frames, and one never mapped.
    const xcb_window_t framed = X11Clients::createWindow(client, session.root(), QRect(100, 120, 400, 300));
    const uint32_t colour = 0x336699;
    xcb_change_window_attributes(client, framed, XCB_CW_BACK_PIXEL, &colour);
    xcb_map_window(client, framed);
    const xcb_window_t hidden = X11Clients::createWindow(client, session.root(), QRect(600, 120, 200, 100));
    xcb_flush(client);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return X11Clients::isFramed(framed) && frameOf(framed) != framed; }, waitMs));
    const xcb_window_t frame = frameOf(framed);
    Reply<xcb_get_geometry_reply_t> frameSize(
        xcb_get_geometry_reply(probe, xcb_get_geometry(probe, frame), nullptr));
    ASSERT_TRUE(frameSize);
    const QSize whole(frameSize->width, frameSize->height);

    {
        // Idle far beyond the test's patience: only the capture's own steps give anything back.
        X11WindowCapture capture(session, {std::chrono::milliseconds(300), std::chrono::seconds(120)});
        // A redirect the server refuses (the root's) leaves nothing behind either.
        capture.prepareWindows({session.root()});
        EXPECT_EQ(capture.redirectedCount(), 0);
        EXPECT_FALSE(capture.checksIdle());
        for (const QHash<QByteArray, int> &refused : newClients(before))
            EXPECT_TRUE(refused.isEmpty()) << refused.keys().join(' ').toStdString() << " left by a refused redirect";
        // The fallback never redirects (nor waits): it reads the window as it shows.
        EXPECT_EQ(capture.fallbackImage(framed).size(), whole);
        EXPECT_FALSE(redirectedOnServer(frame));
        EXPECT_EQ(capture.redirectedCount(), 0);
        // Nor can it read a window partly off the screen: it answers with no picture.
        const int screenWidth = xcb_setup_roots_iterator(xcb_get_setup(client)).data->width_in_pixels;
        const xcb_window_t offScreen =
            X11Clients::createWindow(client, session.root(), QRect(screenWidth - 100, 0, 300, 100), true);
        xcb_map_window(client, offScreen);
        Reply<xcb_get_input_focus_reply_t>(xcb_get_input_focus_reply(client, xcb_get_input_focus(client), nullptr));
        EXPECT_TRUE(capture.fallbackImage(offScreen).isNull());
        xcb_destroy_window(client, offScreen);

        // One call readies a bounded number of windows; the rest are redirected by their captures.
        QList<quint32> many;
        for (int i = 0; i <= X11WindowCapture::maximumPrepared; ++i) {
            many.append(X11Clients::createWindow(client, session.root(), QRect(10 * (i % 100), 600, 8, 8), true));
            xcb_map_window(client, many.last());
        }
        Reply<xcb_get_input_focus_reply_t>(xcb_get_input_focus_reply(client, xcb_get_input_focus(client), nullptr));
        capture.prepareWindows(many);
        EXPECT_EQ(capture.redirectedCount(), X11WindowCapture::maximumPrepared);
        capture.forgetWindows(many);
        for (const quint32 window : std::as_const(many))
            xcb_destroy_window(client, window);

        // Readied by the client's id and by the frame's own, the frame is redirected once.
        capture.prepareWindows({framed, hidden, frame});
        EXPECT_TRUE(redirectedOnServer(frame));
        EXPECT_EQ(capture.redirectedCount(), 1);
        // The one never mapped is answered, without a picture.
        const std::optional<std::optional<QImage>> unmapped = answerOf(capture, hidden, whole);
        ASSERT_TRUE(unmapped) << "a window with nothing to read was never answered";
        EXPECT_FALSE(*unmapped);

        // The frame is read, decorations and all, with the client's contents in it.
        const std::optional<QImage> picture = captureNow(capture, framed, whole);
        ASSERT_TRUE(picture);
        EXPECT_EQ(picture->size(), whole);
        EXPECT_EQ(picture->pixel(whole.width() / 2, whole.height() / 2), 0xff000000u | colour);
        const QHash<uint32_t, QHash<QByteArray, int>> reading = newClients(before);
        ASSERT_EQ(reading.size(), 1) << "the capture reads on one connection of its own";
        // The one redirect and the shared memory it was read through; no pixmap, repaint watch or
        // region.
        EXPECT_EQ(reading.cbegin()->value("CompositeClientWindow"), 1);
        EXPECT_EQ(reading.cbegin()->value("ShmSeg"), 1);
        for (auto it = reading.cbegin()->cbegin(); it != reading.cbegin()->cend(); ++it) {
            EXPECT_TRUE(it.key() == "CompositeClientWindow" || it.key() == "ShmSeg")
                << it.value() << ' ' << it.key().toStdString() << " left on the capture's connection";
        }

        // A frame read once is read whole by the fallback too, where another window covers it,
        // without a pixmap left behind.
        const xcb_window_t cover =
            X11Clients::createWindow(client, session.root(), QRect(200, 200, 200, 150), true);
        xcb_map_window(client, cover);
        Reply<xcb_get_input_focus_reply_t> synced(
            xcb_get_input_focus_reply(client, xcb_get_input_focus(client), nullptr));
        const QImage fallback = capture.fallbackImage(framed);
        EXPECT_EQ(fallback.size(), whole);
        EXPECT_EQ(fallback.pixel(whole.width() / 2, whole.height() / 2), 0xff000000u | colour);
        EXPECT_EQ(sessionResources().value("PIXMAP"), sessionBefore.value("PIXMAP"));
        xcb_destroy_window(client, cover);
        xcb_flush(client);

        // Forgotten by one of the two ids, the frame stays redirected for the other; by both, it
        // is given back.
        capture.forgetWindows({framed});
        EXPECT_EQ(capture.redirectedCount(), 1);
        capture.forgetWindows({frame});
        EXPECT_EQ(capture.redirectedCount(), 0);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !redirectedOnServer(frame); }, waitMs));

        // Captured without being readied, it is given back when forgotten by the client's id.
        ASSERT_TRUE(captureNow(capture, framed, whole));
        EXPECT_TRUE(redirectedOnServer(frame));
        capture.forgetWindows({framed});
        EXPECT_EQ(capture.redirectedCount(), 0);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !redirectedOnServer(frame); }, waitMs));

        ASSERT_TRUE(captureNow(capture, framed, whole));
        EXPECT_TRUE(redirectedOnServer(frame));
    }
    // Ended, the capture gives back what it redirected, and the shared memory it read through on
    // either connection; none of its segments outlives the program.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !redirectedOnServer(frame); }, waitMs));
    EXPECT_TRUE(QTest::qWaitFor([&] { return newClients(before).isEmpty(); }, waitMs));
    EXPECT_EQ(sessionResources().value("ShmSeg"), sessionBefore.value("ShmSeg"));
    EXPECT_EQ(ownSegments(), segmentsBefore);
    xcb_destroy_window(client, framed);
    xcb_destroy_window(client, hidden);
    xcb_flush(client);
}

// A window readied or captured and left alone the idle time is given back, and with the last one the
// capture's connection, its shared memory and its idle check go. Captured again after it moved
// into another frame (as when a window manager restarts), it is read in its new frame, not
// looked for in the old one.
TEST_F(X11WindowCaptureTest, AWindowLeftAloneTheIdleTimeIsGivenBackAndFoundAfreshNextTime)
{
    xcb_connection_t *client = xcb_connect(nullptr, nullptr);
    ASSERT_EQ(xcb_connection_has_error(client), 0);
    const auto disconnect = qScopeGuard([client] { xcb_disconnect(client); });
    const QHash<uint32_t, QHash<QByteArray, int>> before = serverResources();
    const QHash<QByteArray, int> sessionBefore = sessionResources();
    const int segmentsBefore = ownSegments();
    const xcb_window_t oldFrame =
        X11Clients::createWindow(client, session.root(), QRect(100, 500, 300, 200), true);
    const xcb_window_t newFrame =
        X11Clients::createWindow(client, session.root(), QRect(500, 500, 300, 200), true);
    const xcb_window_t window = xcb_generate_id(client);
    const uint32_t colour = 0x996633;
    xcb_create_window(client, XCB_COPY_FROM_PARENT, window, oldFrame, 0, 0, 300, 200, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, XCB_CW_BACK_PIXEL, &colour);
    xcb_map_window(client, window);
    xcb_map_window(client, oldFrame);
    xcb_map_window(client, newFrame);
    Reply<xcb_get_input_focus_reply_t> synced(
        xcb_get_input_focus_reply(client, xcb_get_input_focus(client), nullptr));

    X11WindowCapture capture(session, {std::chrono::milliseconds(300), std::chrono::milliseconds(1500)});
    // Readied for a surface and never captured, it is given back as well, each window on its own:
    // one still pictured stays.
    capture.prepareWindows({window, newFrame});
    EXPECT_TRUE(redirectedOnServer(oldFrame));
    EXPECT_TRUE(redirectedOnServer(newFrame));
    EXPECT_TRUE(capture.checksIdle());
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return !capture.fallbackImage(window).isNull() && !redirectedOnServer(newFrame); }, waitMs));
    EXPECT_TRUE(redirectedOnServer(oldFrame));
    EXPECT_EQ(capture.redirectedCount(), 1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !redirectedOnServer(oldFrame); }, waitMs));
    ASSERT_TRUE(captureNow(capture, window, QSize(300, 200)));
    EXPECT_TRUE(redirectedOnServer(oldFrame));
    EXPECT_TRUE(capture.checksIdle());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !redirectedOnServer(oldFrame); }, waitMs));
    EXPECT_TRUE(QTest::qWaitFor([&] { return newClients(before).isEmpty(); }, waitMs));
    EXPECT_EQ(capture.redirectedCount(), 0);
    EXPECT_FALSE(capture.checksIdle());
    EXPECT_EQ(sessionResources().value("ShmSeg"), sessionBefore.value("ShmSeg"));
    EXPECT_EQ(ownSegments(), segmentsBefore) << "the pixel buffer outlived the idle time";

    xcb_reparent_window(client, window, newFrame, 0, 0);
    xcb_destroy_window(client, oldFrame);
    synced.reset(xcb_get_input_focus_reply(client, xcb_get_input_focus(client), nullptr));
    const std::optional<QImage> moved = captureNow(capture, window, QSize(300, 200));
    ASSERT_TRUE(moved);
    EXPECT_EQ(moved->pixel(150, 100), 0xff000000u | colour);
    EXPECT_TRUE(redirectedOnServer(newFrame));

    // Moved again while its frame is still redirected, and that frame gone: at most the capture
    // right after the move misses it, the next one finds it in its new frame.
    const xcb_window_t thirdFrame =
        X11Clients::createWindow(client, session.root(), QRect(900, 500, 300, 200), true);
    xcb_map_window(client, thirdFrame);
    xcb_reparent_window(client, window, thirdFrame, 0, 0);
    xcb_destroy_window(client, newFrame);
    synced.reset(xcb_get_input_focus_reply(client, xcb_get_input_focus(client), nullptr));
    captureNow(capture, window, QSize(300, 200));
    const std::optional<QImage> movedAgain = captureNow(capture, window, QSize(300, 200));
    ASSERT_TRUE(movedAgain);
    EXPECT_EQ(movedAgain->pixel(150, 100), 0xff000000u | colour);
    EXPECT_TRUE(redirectedOnServer(thirdFrame));
    xcb_destroy_window(client, thirdFrame);
    xcb_flush(client);
}

// Right after the redirect the covered part of a window holds no contents of its own until the
// client repaints it. A capture that stopped waiting at once, or at the server's own painting of
// the exposed backgrounds, read what covered the window (or black) instead of the window; one that
// waits for a window that never repaints stops at the settle time with its background.
TEST_F(X11WindowCaptureTest,
       AWindowThatRepaintsLateIsPicturedAsItRepaintedAndOneThatNeverDoesWithItsBackground)
{
    const QHash<uint32_t, QHash<QByteArray, int>> before = serverResources();
    X11WindowCapture capture(session, X11WindowCapture::Timing{std::chrono::milliseconds(4000),
                                                               std::chrono::milliseconds(60000),
                                                               std::chrono::milliseconds(60)});
    // All are under the cover but for a strip at the left of the late one.
    OtherProgram program;
    ASSERT_TRUE(program.isValid());
    const xcb_window_t late = program.show(QRect(30, 100, 200, 150), 0xff0000, 0x00ff00);
    const xcb_window_t idle = program.show(QRect(400, 100, 200, 150), 0xff0000);
    const xcb_window_t readied = program.show(QRect(250, 100, 100, 150), 0xff0000, 0x00ff00);
    program.show(QRect(50, 50, 650, 300), 0x0000ff);
    ASSERT_TRUE(QTest::qWaitFor([&] { return program.exposures(late) > 0; }, waitMs));
    const int exposedBefore = program.exposures(late);

    // Two are readied as a surface readies its windows, one never repainting; the late one is
    // redirected by its own capture.
    capture.prepareWindows({idle, readied});
    const std::optional<QImage> repainted = captureNow(capture, late, QSize(200, 150));
    ASSERT_TRUE(repainted);
    // The redirect exposed it: the picture is of its repaint, not of the cover, nor black, nor the
    // background the server painted.
    EXPECT_GT(program.exposures(late), exposedBefore);
    EXPECT_EQ(repainted->pixel(100, 75), 0xff00ff00u);
    EXPECT_EQ(repainted->pixel(5, 5), 0xff00ff00u);
    // The readied window's repaint is taken as it comes, with no capture asking: its watch goes,
    // while the one that never repaints is still waited for.
    const auto watches = [&] {
        int count = 0;
        for (const QHash<QByteArray, int> &client : newClients(before))
            count += client.value("DamageExt");
        return count;
    };
    EXPECT_TRUE(QTest::qWaitFor([&] { return watches() == 1; }, 3000)) << watches();
    // Forgotten before its repaint came, a window takes its watch along.
    capture.forgetWindows({idle});
    EXPECT_TRUE(QTest::qWaitFor([&] { return watches() == 0; }, waitMs)) << watches();
    const std::optional<QImage> background = captureNow(capture, idle, QSize(200, 150));
    ASSERT_TRUE(background);
    EXPECT_EQ(background->pixel(100, 75), 0xffff0000u);
}

// The settle time here is far beyond the test's patience, so a capture answers in time only if it
// did not wait for it: a window that showed whole before the redirect is read at once, and covered
// windows that repaint late, captured side by side, as soon as their repaints came, each picture
// with its own window's repaint.
TEST_F(X11WindowCaptureTest, ACaptureWaitsOnlyUntilTheWindowsContentsCame)
{
    X11WindowCapture capture(session, X11WindowCapture::Timing{std::chrono::milliseconds(30000),
                                                               std::chrono::milliseconds(60000),
                                                               std::chrono::milliseconds(60)});
    OtherProgram program;
    ASSERT_TRUE(program.isValid());
    const uint32_t colours[] = {0x00ff00, 0xffff00, 0xff00ff};
    QList<quint32> late;
    for (int i = 0; i < 3; ++i)
        late.append(program.show(QRect(60 + 220 * i, 100, 200, 150), 0xff0000, colours[i]));
    program.show(QRect(40, 80, 700, 200), 0x0000ff);
    const xcb_window_t shown = program.show(QRect(60, 400, 200, 150), 0x808080);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return std::all_of(late.cbegin(), late.cend(),
                               [&](quint32 w) { return program.exposures(w) > 0; });
        },
        waitMs));

    const std::optional<QImage> grey = captureNow(capture, shown, QSize(200, 150));
    ASSERT_TRUE(grey) << "a window in view whole waited for a repaint";
    EXPECT_EQ(grey->pixel(100, 75), 0xff808080u);

    capture.prepareWindows(late);
    const auto answers = std::make_shared<Answers>(size_t(late.size()));
    for (qsizetype i = 0; i < late.size(); ++i)
        capture.captureWindow(late.at(i), QSize(200, 150), answers->to(answers, size_t(i)));
    ASSERT_TRUE(QTest::qWaitFor([&] { return answers->allCame(); }, waitMs))
        << "covered windows waited for longer than their repaints";
    for (size_t i = 0; i < size_t(late.size()); ++i) {
        const std::optional<QImage> image = answers->at(i);
        ASSERT_TRUE(image) << i;
        EXPECT_EQ(image->pixel(100, 75), 0xff000000u | colours[i]) << i;
        EXPECT_EQ(image->pixel(5, 5), 0xff000000u | colours[i]) << i;
    }
    capture.forgetWindows(late);

    // A client that draws in steps, each within the quiet time of the one before, is read once its
    // last step came: every step is heard, not only the first.
    {
        X11WindowCapture patient(session, X11WindowCapture::Timing{std::chrono::milliseconds(30000),
                                                                   std::chrono::milliseconds(60000),
                                                                   std::chrono::milliseconds(1000)});
        const QSize size(200, 100);
        const xcb_window_t stepping = program.show(QRect(QPoint(500, 600), size), 0xff0000);
        program.show(QRect(480, 580, 300, 150), 0x0000ff);
        const auto answer = std::make_shared<Answers>(1);
        patient.captureWindow(stepping, size, answer->to(answer, 0));
        constexpr uint32_t lastStep = 20;
        uint32_t step = 0;
        QTimer steps;
        // Asked meanwhile, the capture answers at once: it does not hold its lock while it waits.
        QObject::connect(&steps, &QTimer::timeout, &steps, [&] {
            EXPECT_LE(patient.redirectedCount(), 1);
            program.paint(stepping, 0x010101u * 10 * ++step, size);
            if (step == lastStep)
                steps.stop();
        });
        steps.start(100);
        ASSERT_TRUE(QTest::qWaitFor([&] { return answer->allCame(); }, waitMs));
        const std::optional<QImage> image = answer->at(0);
        ASSERT_TRUE(image);
        EXPECT_EQ(image->pixel(100, 50), 0xff000000u | (0x010101u * 10 * lastStep)) << "read after step " << step;
    }

    // Under a compositing manager the server keeps every window's contents off screen already: a
    // covered window is read at once, with no repaint waited for.
    const xcb_window_t covered = program.show(QRect(60, 600, 200, 100), 0xff0000);
    program.show(QRect(40, 580, 300, 150), 0x0000ff);
    const QByteArray selection = "_NET_WM_CM_S" + QByteArray::number(session.screenNumber());
    Reply<xcb_intern_atom_reply_t> atom(xcb_intern_atom_reply(
        probe, xcb_intern_atom(probe, 0, uint16_t(selection.size()), selection.constData()), nullptr));
    ASSERT_TRUE(atom);
    const xcb_window_t manager = xcb_generate_id(probe);
    xcb_create_window(probe, XCB_COPY_FROM_PARENT, manager, session.root(), 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    xcb_set_selection_owner(probe, manager, atom->atom, XCB_CURRENT_TIME);
    Reply<xcb_get_input_focus_reply_t> synced(xcb_get_input_focus_reply(probe, xcb_get_input_focus(probe), nullptr));
    EXPECT_TRUE(captureNow(capture, covered, QSize(200, 100))) << "waited for a repaint under a compositor";
    xcb_destroy_window(probe, manager);
    xcb_flush(probe);
}

// A server without shared memory hands the pixels over in its replies: read that way, redirected
// or as the window shows, the picture is the window's own pixels, row by row.
TEST_F(X11WindowCaptureTest, AServerWithoutSharedMemoryHandsThePixelsOverInItsReplies)
{
    QProcess server;
    bindToTest(server);
    server.start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"),
                                          QStringLiteral("tcp"), QStringLiteral("-extension"), QStringLiteral("MIT-SHM")});
    ASSERT_TRUE(server.waitForStarted(3000) && QTest::qWaitFor([&] { return server.canReadLine(); }, waitMs));
    const auto stop = qScopeGuard([&] {
        server.kill();
        server.waitForFinished(3000);
    });
    X11Session bare(":" + server.readLine().trimmed());
    ASSERT_TRUE(bare.isValid());
    ASSERT_FALSE(bare.hasShm());
    X11WindowCapture capture(bare, {std::chrono::milliseconds(300), std::chrono::milliseconds(60000)});
    xcb_connection_t *c = bare.xcb();
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const QSize size(64, 24);
    std::vector<uint32_t> pixels;
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x)
            pixels.push_back(uint32_t(x * 4) << 16 | uint32_t(y * 10) << 8 | 0x40u);
    }
    const xcb_window_t window =
        windowOfPixels(c, bare.root(), QPoint(10, 10), size, screen->root_depth, screen->root_visual, pixels);
    Reply<xcb_get_input_focus_reply_t> synced(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    for (const bool redirected : {false, true}) {
        const QImage picture = redirected ? captureNow(capture, window, size).value_or(QImage())
                                          : capture.fallbackImage(window);
        ASSERT_EQ(picture.size(), size) << redirected;
        int wrong = 0;
        for (int y = 0; y < size.height(); ++y) {
            for (int x = 0; x < size.width(); ++x)
                wrong += picture.pixel(x, y) != (0xff000000u | pixels[size_t(y * size.width() + x)]) ? 1 : 0;
        }
        EXPECT_EQ(wrong, 0) << redirected;
    }
}
