#include <gtest/gtest.h>

#include <QDir>
#include <QScopeGuard>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <optional>
#include <thread>

#include <poll.h>

#include "platform/x11/x11accessibility.h"
#include "platform/x11/x11appicons.h"
#include "platform/x11/x11axelement.h"
#include "platform/x11/x11clientreader.h"
#include "platform/x11/x11desktopentries.h"
#include "platform/x11/x11docktilesource.h"
#include "platform/x11/x11permissions.h"
#include "platform/x11/x11session.h"
#include "platform/x11/x11windowcapture.h"
#include "platform/x11/x11windowlist.h"
#include "support/x11clients.h"

using namespace qv;

namespace {

constexpr int waitMs = 10000;

// The backend against real client programs under a real window manager; every check reads the
// window manager's state back with xprop and xwininfo.
class X11WindowServicesTest : public ::testing::Test
{
protected:
    // The window manager is done with the windows of the tests before, whose numbers this test's
    // windows may be given (see X11Clients::windowManagerCaughtUp).
    void SetUp() override
    {
        ASSERT_TRUE(session.isValid());
        ASSERT_TRUE(X11Clients::windowManagerCaughtUp(session));
    }

    // The client's document window once the window manager has mapped and framed it.
    std::optional<WindowInfo> waitForWindow(qint64 pid)
    {
        std::optional<WindowInfo> found;
        const bool framed = QTest::qWaitFor(
            [&] {
                found = windowOf(pid);
                return found && found->isOnScreen && X11Clients::isFramed(found->windowId) &&
                       X11Clients::frame(found->windowId) == found->frame.toRect();
            },
            waitMs);
        return framed ? found : std::nullopt;
    }
    std::optional<WindowInfo> windowOf(qint64 pid)
    {
        const auto windows = windowList.windows();
        if (!windows)
            return std::nullopt;
        for (const WindowInfo &info : *windows) {
            if (info.ownerPID == pid)
                return info;
        }
        return std::nullopt;
    }
    std::shared_ptr<X11AXElement> element(const WindowInfo &info)
    {
        return accessibility.windowElement(info.ownerPID, info.windowId);
    }

    X11Session session;
    X11DesktopEntries entries;
    X11WindowList windowList{session, entries};
    X11Accessibility accessibility{session, entries};
    X11Clients clients;
};

} // namespace

TEST_F(X11WindowServicesTest, ListsClientsWithFrameTitleOwnerAndIdentity)
{
    const qint64 xterm =
        clients.start(QStringLiteral("xterm"), {QStringLiteral("-T"), QStringLiteral("Build log"),
                                                QStringLiteral("-e"), QStringLiteral("sleep 600")});
    const std::optional<WindowInfo> term = waitForWindow(xterm);
    // xeyes names no process of its own; the server's X-Resource answer stands in.
    const qint64 xeyes = clients.start(QStringLiteral("xeyes"));
    const std::optional<WindowInfo> eyes = waitForWindow(xeyes);
    ASSERT_TRUE(term && eyes);

    EXPECT_EQ(term->title, QStringLiteral("Build log"));
    EXPECT_EQ(term->ownerBundleIdentifier, QStringLiteral("debian-xterm"));
    EXPECT_EQ(term->ownerName, QStringLiteral("XTerm"));
    EXPECT_EQ(term->layer, 0);
    EXPECT_EQ(eyes->title, QStringLiteral("xeyes"));
    EXPECT_EQ(eyes->ownerBundleIdentifier, QStringLiteral("XEyes"));
    EXPECT_EQ(eyes->ownerName, QStringLiteral("XEyes"));
    // The frame includes the decorations: larger than the client area xwininfo reports.
    const QString info = X11Clients::output(QStringLiteral("xwininfo"),
                                            {QStringLiteral("-id"), QString::number(eyes->windowId)});
    EXPECT_TRUE(info.contains(QStringLiteral("Width: %1").arg(eyes->frame.width() - 2)))
        << info.toStdString();

    // Front to back: the newest window sits on top, then the one before it.
    const auto windows = windowList.windows();
    ASSERT_TRUE(windows);
    QList<quint32> order;
    for (const WindowInfo &window : *windows)
        order.append(window.windowId);
    EXPECT_LT(order.indexOf(eyes->windowId), order.indexOf(term->windowId));
}

// xterm sets a title beyond Latin-1 as COMPOUND_TEXT in WM_NAME, without _NET_WM_NAME; it came out
// as "�n�c�d� �$(B%&%#%s%I%&�(B", which no search for its words found.
TEST_F(X11WindowServicesTest, ATitleSetAsCompoundTextReadsAsTheProgramSetIt)
{
    const QString title = u"Ünïcødé ウィンドウ Straße"_qs;
    // xterm reads its arguments in the locale's encoding.
    const qint64 xterm =
        clients.start(QStringLiteral("env"),
                      {QStringLiteral("LC_ALL=C.UTF-8"), QStringLiteral("xterm"), QStringLiteral("-T"), title,
                       QStringLiteral("-e"), QStringLiteral("sleep 600")});
    const std::optional<WindowInfo> term = waitForWindow(xterm);
    ASSERT_TRUE(term);
    const QString property = X11Clients::output(QStringLiteral("xprop"),
                                                {QStringLiteral("-id"), QString::number(term->windowId),
                                                 QStringLiteral("WM_NAME"), QStringLiteral("_NET_WM_NAME")});
    ASSERT_TRUE(property.contains(QStringLiteral("WM_NAME(COMPOUND_TEXT)"))) << property.toStdString();
    ASSERT_TRUE(property.contains(QStringLiteral("_NET_WM_NAME:  not found"))) << property.toStdString();
    EXPECT_EQ(term->title, title);
    EXPECT_TRUE(term->title.value_or(QString()).contains(u"ウィンドウ"_qs));
    EXPECT_TRUE(term->title.value_or(QString()).contains(u"straße"_qs, Qt::CaseInsensitive));
}

// Under a window manager with unequal borders (a wide left edge, a title bar, a thin bottom) each
// of _NET_FRAME_EXTENTS' four numbers (left, right, top, bottom) gives its own side: the left one
// read from the right put every frame, and so every card's picture and every move, sideways. The
// extents are written here by hand, on a window no window manager touches, as such a one would.
TEST_F(X11WindowServicesTest, EachFrameExtentGrowsItsOwnSideOfTheFrame)
{
    xcb_connection_t *c = session.xcb();
    const QRect client(100, 120, 200, 150);
    const xcb_window_t window = X11Clients::createWindow(c, session.root(), client, true);
    const auto destroy = qScopeGuard([&] {
        xcb_destroy_window(c, window);
        xcb_flush(c);
    });
    const uint32_t extents[4] = {3, 11, 17, 5};
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, session.ewmh()->_NET_FRAME_EXTENTS,
                        XCB_ATOM_CARDINAL, 32, 4, extents);
    xcb_map_window(c, window);
    xcb_flush(c);

    X11ClientReader reader(session);
    const std::optional<X11Client> read = reader.readOne(window);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->extents.left(), 3) << "the left border is not the first extent";
    EXPECT_EQ(read->extents.right(), 11) << "the right border is not the second extent";
    EXPECT_EQ(read->extents.top(), 17) << "the top border is not the third extent";
    EXPECT_EQ(read->extents.bottom(), 5) << "the bottom border is not the fourth extent";
    EXPECT_EQ(read->frame, QRect(100 - 3, 120 - 17, 200 + 3 + 11, 150 + 17 + 5))
        << "the frame is not the client's area grown by its own borders";
}

// A window can go between the list that names it and the replies about it: every reply about it is
// then an error, never an answer. A reply used unchecked crashed the program only when a window
// closed at that moment; here the windows are gone before they are asked about, every time. As such
// a crash would end the whole test program, the reads run first in a process of their own (this test
// program run again up to here), so that it fails this test by name.
TEST_F(X11WindowServicesTest, AWindowGoneBeforeItIsReadIsLeftOutAndCapturesNothing)
{
    xcb_connection_t *c = session.xcb();
    const xcb_window_t alive = X11Clients::createWindow(c, session.root(), QRect(10, 10, 50, 40), true);
    const xcb_window_t gone = X11Clients::createWindow(c, session.root(), QRect(70, 10, 50, 40), true);
    const auto destroy = qScopeGuard([&] {
        xcb_destroy_window(c, alive);
        xcb_flush(c);
    });
    xcb_map_window(c, alive);
    xcb_map_window(c, gone);
    xcb_destroy_window(c, gone);
    xcb_flush(c);

    X11ClientReader reader(session);
    X11WindowCapture capture(session, {std::chrono::milliseconds(300), std::chrono::milliseconds(1500)});
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            reader.read({gone, alive, gone});
            reader.readOne(gone);
            reader.icon(gone, 32);
            std::_Exit(0);
        },
        ::testing::ExitedWithCode(0), "")
        << "reading the properties of a window closed just before the read ended the program";
    EXPECT_EXIT(
        {
            capture.grab(gone, false);
            capture.grab(gone, true, QSize(40, 30));
            capture.fallbackImage(gone);
            capture.prepareWindows({gone, alive});
            capture.forgetWindows({gone, alive});
            std::_Exit(0);
        },
        ::testing::ExitedWithCode(0), "")
        << "capturing a window closed just before the capture ended the program";
    if (HasFailure())
        return;

    const QList<X11Client> read = reader.read({gone, alive, gone});
    ASSERT_EQ(read.size(), 1) << "a window that is gone was read as one";
    EXPECT_EQ(read.first().window, alive);
    EXPECT_FALSE(reader.readOne(gone)) << "a window that is gone was read as one";
    EXPECT_TRUE(reader.icon(gone, 32).isNull());

    EXPECT_TRUE(capture.grab(gone, false).isNull()) << "a window that is gone gave a picture";
    EXPECT_TRUE(capture.grab(gone, true, QSize(40, 30)).isNull()) << "a window that is gone gave a picture";
    EXPECT_TRUE(capture.fallbackImage(gone).isNull()) << "a window that is gone gave a picture";
    capture.prepareWindows({gone, alive});
    capture.forgetWindows({gone, alive});
}

TEST_F(X11WindowServicesTest, PositionAndSizeWriteTheOuterFrame)
{
    const qint64 pid = clients.start(QStringLiteral("xeyes"));
    const std::optional<WindowInfo> eyes = waitForWindow(pid);
    ASSERT_TRUE(eyes);
    auto window = element(*eyes);

    EXPECT_EQ(window->setAttribute(QStringLiteral("AXPosition"), QPointF(200, 150)), AXError::success);
    EXPECT_EQ(window->setAttribute(QStringLiteral("AXSize"), QSizeF(420, 310)), AXError::success);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return X11Clients::frame(eyes->windowId) == QRect(200, 150, 420, 310); }, waitMs))
        << "frame now " << X11Clients::frame(eyes->windowId).width();
    const AXResult position = window->copyAttribute(QStringLiteral("AXPosition"));
    const AXResult size = window->copyAttribute(QStringLiteral("AXSize"));
    ASSERT_TRUE(position.as<QPointF>() && size.as<QSizeF>());
    EXPECT_EQ(*position.as<QPointF>(), QPointF(200, 150));
    EXPECT_EQ(*size.as<QSizeF>(), QSizeF(420, 310));

    // Values no screen could hold are refused rather than sent.
    EXPECT_EQ(window->setAttribute(QStringLiteral("AXPosition"), QPointF(1e9, 0)), AXError::illegalArgument);
    EXPECT_EQ(window->setAttribute(QStringLiteral("AXSize"), QString()), AXError::illegalArgument);
}

TEST_F(X11WindowServicesTest, MinimiseHidesAndActivationRestores)
{
    // xeyes and xclock take no keyboard focus, so the window manager never makes them active.
    const qint64 pid =
        clients.start(QStringLiteral("xterm"), {QStringLiteral("-e"), QStringLiteral("sleep 600")});
    const std::optional<WindowInfo> eyes = waitForWindow(pid);
    ASSERT_TRUE(eyes);
    auto window = element(*eyes);
    const QString hidden = QStringLiteral("_NET_WM_STATE_HIDDEN");

    ASSERT_EQ(window->setAttribute(QStringLiteral("AXMinimized"), true), AXError::success);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return X11Clients::windowState(eyes->windowId).contains(hidden); }, waitMs));
    EXPECT_EQ(*window->copyAttribute(QStringLiteral("AXMinimized")).as<bool>(), true);
    const std::optional<WindowInfo> listed = windowOf(pid);
    ASSERT_TRUE(listed);
    EXPECT_FALSE(listed->isOnScreen);

    ASSERT_EQ(window->setAttribute(QStringLiteral("AXMinimized"), false), AXError::success);
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return !X11Clients::windowState(eyes->windowId).contains(hidden); }, waitMs));
    EXPECT_TRUE(QTest::qWaitFor([&] { return X11Clients::activeWindow() == eyes->windowId; }, waitMs));

    // The minimise button does the same.
    const AXResult button = window->copyAttribute(QStringLiteral("AXMinimizeButton"));
    ASSERT_TRUE(button.as<AXElementPtr>());
    EXPECT_EQ((*button.as<AXElementPtr>())->performAction(QStringLiteral("AXPress")), AXError::success);
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return X11Clients::windowState(eyes->windowId).contains(hidden); }, waitMs));
}

TEST_F(X11WindowServicesTest, RaiseAndApplicationAttributesFollowTheActiveWindow)
{
    const QStringList sleeping{QStringLiteral("-e"), QStringLiteral("sleep 600")};
    const qint64 first = clients.start(QStringLiteral("xterm"), sleeping);
    const std::optional<WindowInfo> back = waitForWindow(first);
    const qint64 second = clients.start(QStringLiteral("xterm"), sleeping);
    const std::optional<WindowInfo> front = waitForWindow(second);
    ASSERT_TRUE(back && front);
    ASSERT_TRUE(QTest::qWaitFor([&] { return X11Clients::activeWindow() == front->windowId; }, waitMs));

    EXPECT_EQ(element(*back)->performAction(QStringLiteral("AXRaise")), AXError::success);
    ASSERT_TRUE(QTest::qWaitFor([&] { return X11Clients::activeWindow() == back->windowId; }, waitMs));

    const AXElementPtr app = accessibility.applicationElement(first);
    EXPECT_EQ(*app->copyAttribute(QStringLiteral("AXFrontmost")).as<bool>(), true);
    EXPECT_EQ(
        *accessibility.applicationElement(second)->copyAttribute(QStringLiteral("AXFrontmost")).as<bool>(),
        false);
    // The same window answers as the same element, so callers can compare what they hold.
    const AXResult focused = app->copyAttribute(QStringLiteral("AXFocusedWindow"));
    ASSERT_TRUE(focused.as<AXElementPtr>());
    EXPECT_EQ(focused.as<AXElementPtr>()->get(), element(*back).get());
    const AXResult windows = app->copyAttribute(QStringLiteral("AXWindows"));
    ASSERT_TRUE(windows.as<QList<AXElementPtr>>());
    ASSERT_EQ(windows.as<QList<AXElementPtr>>()->size(), 1);
    EXPECT_EQ(
        *windows.as<QList<AXElementPtr>>()->first()->copyAttribute(QStringLiteral("CGWindowID")).as<double>(),
        double(back->windowId));

    // Setting the other application frontmost activates its window.
    EXPECT_EQ(accessibility.applicationElement(second)->setAttribute(QStringLiteral("AXFrontmost"), true),
              AXError::success);
    EXPECT_TRUE(QTest::qWaitFor([&] { return X11Clients::activeWindow() == front->windowId; }, waitMs));
}

TEST_F(X11WindowServicesTest, ZoomButtonTogglesFullScreenAndBack)
{
    const qint64 pid = clients.start(QStringLiteral("xclock"));
    const std::optional<WindowInfo> clock = waitForWindow(pid);
    ASSERT_TRUE(clock);
    auto window = element(*clock);
    const QString fullScreen = QStringLiteral("_NET_WM_STATE_FULLSCREEN");
    const AXResult zoom = window->copyAttribute(QStringLiteral("AXZoomButton"));
    ASSERT_TRUE(zoom.as<AXElementPtr>());

    EXPECT_EQ((*zoom.as<AXElementPtr>())->performAction(QStringLiteral("AXPress")), AXError::success);
    ASSERT_TRUE(QTest::qWaitFor([&] { return X11Clients::windowState(clock->windowId).contains(fullScreen); },
                                waitMs));
    EXPECT_EQ(*window->copyAttribute(QStringLiteral("AXFullScreen")).as<bool>(), true);
    const QSize screen = X11Clients::screenSize();
    EXPECT_TRUE(QTest::qWaitFor([&] { return X11Clients::frame(clock->windowId).size() == screen; }, waitMs))
        << "the screen is " << screen.width() << "x" << screen.height();

    EXPECT_EQ((*zoom.as<AXElementPtr>())->performAction(QStringLiteral("AXPress")), AXError::success);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return !X11Clients::windowState(clock->windowId).contains(fullScreen); }, waitMs));

    EXPECT_EQ(window->setAttribute(QStringLiteral("AXFullScreen"), true), AXError::success);
    EXPECT_TRUE(QTest::qWaitFor([&] { return X11Clients::windowState(clock->windowId).contains(fullScreen); },
                                waitMs));
}

TEST_F(X11WindowServicesTest, CloseButtonEndsTheClientAndItsElementsThenFail)
{
    const qint64 pid = clients.start(QStringLiteral("xeyes"));
    const std::optional<WindowInfo> eyes = waitForWindow(pid);
    ASSERT_TRUE(eyes);
    auto window = element(*eyes);
    const AXResult close = window->copyAttribute(QStringLiteral("AXCloseButton"));
    ASSERT_TRUE(close.as<AXElementPtr>());

    EXPECT_EQ((*close.as<AXElementPtr>())->performAction(QStringLiteral("AXPress")), AXError::success);
    ASSERT_TRUE(clients.hasExited(pid, waitMs));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !windowOf(pid); }, waitMs));

    // What is gone says so, instead of answering stale values or hanging.
    EXPECT_EQ(window->copyAttribute(QStringLiteral("AXTitle")).error, AXError::invalidElement);
    EXPECT_EQ(window->setAttribute(QStringLiteral("AXPosition"), QPointF(0, 0)), AXError::invalidElement);
    EXPECT_EQ(window->performAction(QStringLiteral("AXRaise")), AXError::invalidElement);
    EXPECT_EQ(accessibility.applicationElement(pid)->copyAttribute(QStringLiteral("AXWindows")).error,
              AXError::invalidElement);
}

TEST_F(X11WindowServicesTest, CaptureReadsTheWholeFrameAndReleasesItWhenIdle)
{
    X11WindowCapture capture(session, {std::chrono::milliseconds(300), std::chrono::milliseconds(1500)});
    const qint64 pid = clients.start(QStringLiteral("xclock"),
                                     {QStringLiteral("-geometry"), QStringLiteral("300x200+40+60")});
    const std::optional<WindowInfo> clock = waitForWindow(pid);
    ASSERT_TRUE(clock);

    const auto captureNow = [&](quint32 window, QSize size) {
        std::optional<std::optional<QImage>> answer;
        capture.captureWindow(window, size, [&](std::optional<QImage> image) { answer = image; });
        if (!QTest::qWaitFor([&] { return answer.has_value(); }, waitMs))
            return std::optional<QImage>();
        return *answer;
    };
    const std::optional<QImage> full = captureNow(clock->windowId, clock->frame.size().toSize());
    ASSERT_TRUE(full);
    EXPECT_EQ(full->size(), clock->frame.size().toSize());
    // xclock draws a white face inside a dark frame: not one flat colour.
    EXPECT_NE(full->pixel(full->width() / 2, full->height() / 2), full->pixel(0, 0));
    EXPECT_EQ(capture.redirectedCount(), 1);

    // Scaled into the requested size, aspect kept.
    const std::optional<QImage> small = captureNow(clock->windowId, QSize(151, 400));
    ASSERT_TRUE(small);
    EXPECT_EQ(small->width(), 151);
    EXPECT_NEAR(double(small->height()) / small->width(), clock->frame.height() / clock->frame.width(), 0.02);

    // A board of 4 x 4 squares, red and blue, is read whole and a quarter as wide: each block of
    // pixels is averaged on its own, none with a neighbour's colour mixed in, and opaque.
    xcb_connection_t *c = session.xcb();
    const uint32_t tile = xcb_generate_id(c), pen = xcb_generate_id(c), board = xcb_generate_id(c);
    const uint32_t red = 0xff0000, blue = 0x0000ff, boardValues[] = {tile, 1};
    const xcb_rectangle_t whole{0, 0, 8, 8}, blueSquares[] = {{4, 0, 4, 4}, {0, 4, 4, 4}};
    const uint8_t depth = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root_depth;
    xcb_create_pixmap(c, depth, tile, session.root(), 8, 8);
    xcb_create_gc(c, pen, tile, XCB_GC_FOREGROUND, &red);
    xcb_poly_fill_rectangle(c, tile, pen, 1, &whole);
    xcb_change_gc(c, pen, XCB_GC_FOREGROUND, &blue);
    xcb_poly_fill_rectangle(c, tile, pen, 2, blueSquares);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, board, session.root(), 0, 0, 64, 48, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT,
                      XCB_CW_BACK_PIXMAP | XCB_CW_OVERRIDE_REDIRECT, boardValues);
    xcb_map_window(c, board);
    for (const int square : {1, 4}) {
        const std::optional<QImage> read = captureNow(board, QSize(64, 48) / (4 / square));
        ASSERT_TRUE(read && read->size() == QSize(64, 48) / (4 / square));
        for (int y = 0; y < read->height(); ++y) {
            const auto *line = reinterpret_cast<const uint32_t *>(read->constScanLine(y));
            for (int x = 0; x < read->width(); ++x)
                ASSERT_EQ(line[x], (x / square + y / square) % 2 ? 0xff0000ffu : 0xffff0000u)
                    << x << ',' << y;
        }
    }

    // Reduced by a factor that is no whole number (64 x 48 into 48 x 36), each output pixel is the
    // average of the area it covers: a window red on its left half and blue on its right reads
    // red and blue halves, each exactly its colour, whole rows alike.
    const uint32_t halves = xcb_generate_id(c), halvesTile = xcb_generate_id(c);
    const xcb_rectangle_t left{0, 0, 32, 48}, right{32, 0, 32, 48};
    xcb_create_pixmap(c, depth, halvesTile, session.root(), 64, 48);
    xcb_change_gc(c, pen, XCB_GC_FOREGROUND, &red);
    xcb_poly_fill_rectangle(c, halvesTile, pen, 1, &left);
    xcb_change_gc(c, pen, XCB_GC_FOREGROUND, &blue);
    xcb_poly_fill_rectangle(c, halvesTile, pen, 1, &right);
    const uint32_t halvesValues[] = {halvesTile, 1};
    xcb_create_window(c, XCB_COPY_FROM_PARENT, halves, session.root(), 700, 0, 64, 48, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT,
                      XCB_CW_BACK_PIXMAP | XCB_CW_OVERRIDE_REDIRECT, halvesValues);
    xcb_map_window(c, halves);
    const std::optional<QImage> reduced = captureNow(halves, QSize(48, 36));
    ASSERT_TRUE(reduced && reduced->size() == QSize(48, 36));
    for (int y = 0; y < reduced->height(); ++y) {
        const auto *line = reinterpret_cast<const uint32_t *>(reduced->constScanLine(y));
        for (int x = 0; x < reduced->width(); ++x)
            ASSERT_EQ(line[x], x < 24 ? 0xffff0000u : 0xff0000ffu) << x << ',' << y;
    }
    xcb_destroy_window(c, halves);
    xcb_free_pixmap(c, halvesTile);

    // A picture of no pattern at all (each pixel its own colour), read a little smaller and more
    // than twice smaller: each output pixel is the average of the area it covers (of the whole
    // 2 x 2 blocks averaged first, in the second case), rows mixed with the rows they cover and
    // no others.
    constexpr int noiseWidth = 96, noiseHeight = 48;
    std::vector<uint32_t> noise(size_t(noiseWidth * noiseHeight));
    uint32_t seed = 12345;
    for (uint32_t &pixel : noise) {
        seed = seed * 1103515245u + 12345u;
        pixel = (seed >> 8) & 0xffffffu;
    }
    const uint32_t noisy = xcb_generate_id(c), noiseTile = xcb_generate_id(c);
    xcb_create_pixmap(c, depth, noiseTile, session.root(), noiseWidth, noiseHeight);
    xcb_put_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, noiseTile, pen, noiseWidth, noiseHeight, 0, 0, 0, depth,
                  uint32_t(noise.size() * 4), reinterpret_cast<const uint8_t *>(noise.data()));
    const uint32_t noiseValues[] = {noiseTile, 1};
    xcb_create_window(c, XCB_COPY_FROM_PARENT, noisy, session.root(), 800, 0, noiseWidth, noiseHeight, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT,
                      XCB_CW_BACK_PIXMAP | XCB_CW_OVERRIDE_REDIRECT, noiseValues);
    xcb_map_window(c, noisy);
    const auto areaAverage = [&](QSize size, int x, int y, int channel) {
        const int block = std::min(noiseWidth / size.width(), noiseHeight / size.height());
        const int width = noiseWidth / block, height = noiseHeight / block;
        const auto value = [&](int column, int row) {
            int sum = 0;
            for (int dy = 0; dy < block; ++dy) {
                for (int dx = 0; dx < block; ++dx) {
                    const uint32_t pixel = noise[size_t((row * block + dy) * noiseWidth + column * block + dx)];
                    sum += int((pixel >> (8 * channel)) & 0xffu);
                }
            }
            return double(sum / (block * block));
        };
        const double sx = double(width) / size.width(), sy = double(height) / size.height();
        double sum = 0;
        for (int row = int(y * sy); row < height && row < (y + 1) * sy; ++row) {
            const double h = std::min((y + 1) * sy, row + 1.0) - std::max(y * sy, double(row));
            for (int column = int(x * sx); column < width && column < (x + 1) * sx; ++column) {
                const double w = std::min((x + 1) * sx, column + 1.0) - std::max(x * sx, double(column));
                sum += w * h * value(column, row);
            }
        }
        return sum / (sx * sy);
    };
    for (const QSize size : {QSize(80, 40), QSize(40, 20)}) {
        const std::optional<QImage> read = captureNow(noisy, size);
        ASSERT_TRUE(read && read->size() == size);
        for (int y = 0; y < size.height(); ++y) {
            for (int x = 0; x < size.width(); ++x) {
                const QRgb pixel = read->pixel(x, y);
                ASSERT_EQ(qAlpha(pixel), 255);
                for (int channel = 0; channel < 3; ++channel)
                    ASSERT_NEAR(double((pixel >> (8 * channel)) & 0xffu), areaAverage(size, x, y, channel), 1.0)
                        << size.width() << ": " << x << ',' << y << " channel " << channel;
            }
        }
    }
    xcb_destroy_window(c, noisy);
    xcb_free_pixmap(c, noiseTile);

    EXPECT_TRUE(QTest::qWaitFor([&] { return capture.redirectedCount() == 0; }, waitMs));

    // A minimised window has no picture, and neither has one that is gone.
    element(*clock)->setAttribute(QStringLiteral("AXMinimized"), true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !windowOf(pid)->isOnScreen; }, waitMs));
    EXPECT_FALSE(captureNow(clock->windowId, QSize(320, 200)));
    EXPECT_TRUE(capture.fallbackImage(clock->windowId).isNull());
    clients.kill(pid);
    EXPECT_FALSE(captureNow(clock->windowId, QSize(320, 200)));
}

// A client that answers the redirect's exposure at once could have its drawing run by the server
// between our redirect and the start of the watch for its repaint: it was taken for the server's
// own background, and its capture waited out the whole settle time (here a minute) for a repaint
// that had come already.
TEST_F(X11WindowServicesTest, WindowsThatRepaintAtOnceAfterTheRedirectAreReadWithoutWaitingOutTheSettleTime)
{
    X11WindowCapture capture(session, X11WindowCapture::Timing{std::chrono::milliseconds(60000),
                                                                std::chrono::milliseconds(60000),
                                                                std::chrono::milliseconds(60)});
    // Twelve large windows with a red background under a blue cover, painted green by their own
    // client (on a thread of its own, as fast as a program answers) after every exposure. Large,
    // each redirect takes the server long enough that it turns to other clients right after it.
    xcb_connection_t *client = xcb_connect(nullptr, nullptr);
    ASSERT_EQ(xcb_connection_has_error(client), 0);
    const xcb_window_t root = session.root();
    QList<quint32> windows;
    for (int i = 0; i < 12; ++i) {
        const xcb_window_t window = xcb_generate_id(client);
        const uint32_t values[] = {0xff0000, 1, XCB_EVENT_MASK_EXPOSURE};
        xcb_create_window(client, XCB_COPY_FROM_PARENT, window, root, int16_t(10 * i), int16_t(10 * i), 1200,
                          760, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT,
                          XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
        xcb_map_window(client, window);
        windows.append(window);
    }
    const xcb_window_t cover = xcb_generate_id(client);
    const uint32_t coverValues[] = {0x0000ff, 1};
    xcb_create_window(client, XCB_COPY_FROM_PARENT, cover, root, 0, 0, 1440, 900, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      XCB_COPY_FROM_PARENT, XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT, coverValues);
    xcb_map_window(client, cover);
    const xcb_gcontext_t pen = xcb_generate_id(client);
    const uint32_t green = 0x00ff00;
    xcb_create_gc(client, pen, root, XCB_GC_FOREGROUND, &green);
    xcb_flush(client);
    std::atomic_bool stop = false;
    std::atomic_int exposures = 0;
    std::thread painter([&] {
        pollfd socket{xcb_get_file_descriptor(client), POLLIN, 0};
        while (!stop) {
            poll(&socket, 1, 20);
            while (xcb_generic_event_t *event = xcb_poll_for_event(client)) {
                if ((event->response_type & 0x7f) == XCB_EXPOSE) {
                    const auto *expose = reinterpret_cast<const xcb_expose_event_t *>(event);
                    const xcb_rectangle_t area{int16_t(expose->x), int16_t(expose->y), expose->width,
                                               expose->height};
                    xcb_poly_fill_rectangle(client, expose->window, pen, 1, &area);
                    ++exposures;
                }
                std::free(event);
            }
            xcb_flush(client);
        }
    });
    const auto finish = qScopeGuard([&] {
        stop = true;
        painter.join();
        xcb_disconnect(client);
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return exposures >= windows.size(); }, waitMs));
    QTest::qWait(100);

    // Readied together, as a surface readies the windows it shows, then captured.
    capture.prepareWindows(windows);
    QHash<quint32, std::optional<QImage>> answers;
    for (const quint32 window : std::as_const(windows))
        capture.captureWindow(window, QSize(300, 190), [&answers, window](std::optional<QImage> image) {
            QMetaObject::invokeMethod(qApp, [&answers, window, image] { answers.insert(window, image); });
        });
    ASSERT_TRUE(QTest::qWaitFor([&] { return answers.size() == windows.size(); }, 2 * waitMs))
        << answers.size() << " of " << windows.size() << " captures answered";
    for (const quint32 window : std::as_const(windows)) {
        ASSERT_TRUE(answers.value(window)) << window;
        EXPECT_EQ(QColor(answers.value(window)->pixel(150, 95)).name().toStdString(),
                  QColor(Qt::green).name().toStdString())
            << window;
    }
}

TEST_F(X11WindowServicesTest, ProbesAnswerForServerAndWindowManager)
{
    X11DesktopEntries entries;
    X11DockTileSource dockTiles(session, entries);
    X11Permissions permissions(session, dockTiles);
    EXPECT_TRUE(permissions.screenCapturePreflight());
    // This desktop runs no accessibility bus, so no panel's tiles can be read: not granted, though
    // the window manager follows EWMH (it said "granted" and nothing told why the tiles stayed empty).
    EXPECT_FALSE(permissions.isAccessibilityTrusted());
    EXPECT_TRUE(permissions.canListenToKeyEvents());
    // A session that reached no server claims no window manager, nor anything it supports.
    X11Session none(":99999");
    EXPECT_FALSE(none.hasEwmhWindowManager());
    EXPECT_FALSE(none.windowManagerSupports(session.ewmh()->_NET_CLOSE_WINDOW));
}

// _NET_WM_ICON data as clients write it, well-formed or not.
struct IconCase
{
    const char *name;
    std::vector<uint32_t> data;
    // 0x0: no icon at all.
    QSize expected;
};

class X11IconPickTest : public ::testing::TestWithParam<IconCase>
{
};

TEST_P(X11IconPickTest, PicksTheBestWellFormedSize)
{
    const IconCase &c = GetParam();
    const QImage image = X11ClientReader::pickIcon(c.data.data(), c.data.size(), 32);
    EXPECT_EQ(image.size(), c.expected) << c.name;
}

std::vector<uint32_t> iconData(std::initializer_list<std::pair<uint32_t, uint32_t>> sizes, int dropAtEnd = 0)
{
    std::vector<uint32_t> data;
    for (auto [w, h] : sizes) {
        data.push_back(w);
        data.push_back(h);
        data.insert(data.end(), size_t(w) * h, 0xff336699);
    }
    data.resize(data.size() - dropAtEnd);
    return data;
}

INSTANTIATE_TEST_SUITE_P(
    Icons, X11IconPickTest,
    ::testing::Values(IconCase{"smallest not below the wanted size", iconData({{16, 16}, {64, 64}, {48, 48}}),
                               QSize(48, 48)},
                      IconCase{"largest when all are smaller", iconData({{16, 16}, {24, 24}}), QSize(24, 24)},
                      IconCase{"the first listed of equally large smaller sizes",
                               iconData({{24, 16}, {16, 24}}), QSize(24, 16)},
                      IconCase{"the first listed of equally large larger sizes",
                               iconData({{48, 40}, {40, 48}}), QSize(48, 40)},
                      IconCase{"empty property", {}, QSize(0, 0)},
                      IconCase{"0x0 entry", iconData({{0, 0}}), QSize(0, 0)},
                      IconCase{"pixels missing", iconData({{32, 32}}, 1), QSize(0, 0)},
                      IconCase{"huge claimed size", {100000, 100000, 1, 2, 3}, QSize(0, 0)},
                      IconCase{"a broken entry after a good one", iconData({{16, 16}, {64, 64}}, 5),
                               QSize(16, 16)},
                      IconCase{"header only", {32}, QSize(0, 0)}),
    [](const ::testing::TestParamInfo<IconCase> &info) { return std::to_string(info.index); });

TEST_F(X11WindowServicesTest, PublishedIconIsTheAppIconAndAMalformedOneFallsBackToAGenericIcon)
{
    // Windows written here, claiming the processes of programs that draw nothing themselves.
    const qint64 owner = clients.start(QStringLiteral("sleep"), {QStringLiteral("600")});
    const qint64 drawn = clients.start(QStringLiteral("sleep"), {QStringLiteral("600")});
    const xcb_window_t windows[] = {
        X11Clients::createClientWindow(session, owner, "Broken", {64, 64, 0xffffffff, 0xffffffff}),
        X11Clients::createClientWindow(session, drawn, "Drawn", iconData({{48, 48}}))};
    ASSERT_TRUE(waitForWindow(owner) && waitForWindow(drawn));

    X11AppIcons icons(session, entries);
    EXPECT_FALSE(icons.applicationIcon(owner).isNull());
    EXPECT_EQ(icons.applicationIcon(drawn).pixel(24, 24), 0xff336699u);
    EXPECT_TRUE(icons.iconForBundle(QStringLiteral("Broken")).isNull());
    for (const xcb_window_t window : windows)
        xcb_destroy_window(session.xcb(), window);
    xcb_flush(session.xcb());
}

// An icon property past 16 MiB was pulled from the server 16 MiB at a time and thrown away, at every
// window of the program (the program froze each time one mapped), and the small sizes at its start
// were never found. Sizes are found by their headers wherever they lie; a header that claims more
// than the property holds gives the generic icon, never a picture of what follows it.
TEST_F(X11WindowServicesTest, IconsAreFoundByTheirHeadersInAPropertyOfAnySize)
{
    const qint64 huge = clients.start(QStringLiteral("sleep"), {QStringLiteral("600")});
    const qint64 liar = clients.start(QStringLiteral("sleep"), {QStringLiteral("600")});
    const qint64 sizes = clients.start(QStringLiteral("sleep"), {QStringLiteral("600")});
    // (65536 x 65536 would make openbox abort.)
    std::vector<uint32_t> lying(110, 0);
    lying[0] = lying[1] = 2000;
    std::vector<uint32_t> hugeHead = iconData({{48, 48}});
    hugeHead.insert(hugeHead.end(), {5000, 5000});
    const xcb_window_t windows[] = {
        X11Clients::createUnmappedClientWindow(session, huge, "Huge", {}),
        X11Clients::createClientWindow(session, liar, "Liar", lying),
        X11Clients::createClientWindow(session, sizes, "Sizes", iconData({{16, 16}, {256, 256}, {48, 48}}))};
    // 100 MB: a 48 x 48 picture, then a size no icon has, with its pixels. Written before the window
    // is mapped, so the window manager reads it once, not again at each of its 25 pieces (seconds
    // of work after this test ended, on windows whose numbers the next test's were given).
    X11Clients::setLargeIcon(session, windows[0], hugeHead, 25 * 1024 * 1024);
    xcb_map_window(session.xcb(), windows[0]);
    xcb_flush(session.xcb());
    ASSERT_TRUE(waitForWindow(huge) && waitForWindow(liar) && waitForWindow(sizes));

    X11AppIcons icons(session, entries);
    const QImage found = icons.applicationIcon(huge);
    EXPECT_EQ(found.size(), QSize(48, 48));
    EXPECT_EQ(found.pixel(24, 24), 0xff336699u);
    // Nothing made of what the lying header claims: the icon a program without one gets.
    const QImage fallback = icons.applicationIcon(liar);
    EXPECT_FALSE(fallback.isNull());
    EXPECT_LE(fallback.width(), X11AppIcons::preferredSize);
    // The smallest not below the 128 asked for, the third header read past the pixels of two.
    EXPECT_EQ(icons.applicationIcon(sizes).size(), QSize(256, 256));
    for (const xcb_window_t window : windows)
        xcb_destroy_window(session.xcb(), window);
    xcb_flush(session.xcb());
}

// Task buttons a taskbar publishes on its windows as four CARDINALs (_NET_WM_ICON_GEOMETRY) are
// tiles while a panel holds them; a shorter property, or one of another type or format, is none.
// Values past the fourth are ignored, as xcb-ewmh's own reader does.
TEST_F(X11WindowServicesTest, IconGeometryOfFourCardinalsOnAPanelIsADockTile)
{
    xcb_connection_t *c = session.xcb();
    const xcb_window_t panel = X11Clients::createWindow(c, session.root(), QRect(0, 0, 800, 40));
    xcb_ewmh_set_wm_window_type(session.ewmh(), panel, 1, &session.ewmh()->_NET_WM_WINDOW_TYPE_DOCK);
    xcb_map_window(c, panel);
    xcb_flush(c);
    std::vector<xcb_window_t> windows{panel};
    const qint64 owner = clients.start(QStringLiteral("sleep"), {QStringLiteral("600")});
    const auto publish = [&](xcb_atom_t type, uint8_t format, uint32_t count, const void *values) {
        windows.push_back(X11Clients::createClientWindow(session, owner, "Task", {}));
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, windows.back(), session.ewmh()->_NET_WM_ICON_GEOMETRY,
                            type, format, count, values);
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return X11Clients::isFramed(panel); }, waitMs));
    const uint32_t x = uint32_t(X11Clients::frame(panel).x()), y = uint32_t(X11Clients::frame(panel).y());
    const uint32_t good[] = {x + 10, y, 50, 40}, threeValues[] = {x + 100, y, 50},
                   integers[] = {x + 200, y, 50, 40}, fiveValues[] = {x + 400, y, 50, 40, 7};
    // Read as 32-bit values on this little-endian machine they would make a rectangle on the panel.
    const uint16_t halves[] = {uint16_t(x + 300), 0, uint16_t(y), 0, 50, 0, 40, 0};
    publish(XCB_ATOM_CARDINAL, 32, 4, good);
    publish(XCB_ATOM_CARDINAL, 32, 3, threeValues);
    publish(XCB_ATOM_INTEGER, 32, 4, integers);
    publish(XCB_ATOM_CARDINAL, 16, 8, halves);
    publish(XCB_ATOM_CARDINAL, 32, 5, fiveValues);
    xcb_flush(c);
    for (const xcb_window_t window : windows)
        ASSERT_TRUE(QTest::qWaitFor([&] { return X11Clients::isFramed(window); }, waitMs));

    X11DockTileSource source(session, entries, {});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !source.tiles().isEmpty(); }, waitMs));
    QList<X11DockTile> tiles = source.tiles(); // front to back
    std::sort(tiles.begin(), tiles.end(), [](const auto &a, const auto &b) { return a.frame.x() < b.frame.x(); });
    EXPECT_EQ(tiles, (QList<X11DockTile>{{"Broken", QRect(int(x) + 10, int(y), 50, 40)},
                                         {"Broken", QRect(int(x) + 400, int(y), 50, 40)}}));
    for (const xcb_window_t window : windows)
        xcb_destroy_window(c, window);
    xcb_flush(c);
}

// A program without an icon of its own nor a desktop entry (xclock) showed the generic icon where
// the desktop's panel showed the icon named after its class: the class is looked up before that.
TEST_F(X11WindowServicesTest, WithoutIconOrDesktopEntryTheClassNamesTheIcon)
{
    QTemporaryDir data;
    QImage classIcon(48, 48, QImage::Format_ARGB32);
    classIcon.fill(QColor(200, 40, 160));
    ASSERT_TRUE(QDir(data.path()).mkpath(QStringLiteral("pixmaps")));
    ASSERT_TRUE(classIcon.save(QDir(data.path()).filePath(QStringLiteral("pixmaps/xclock.png"))));
    const qint64 clock = clients.start(QStringLiteral("xclock"));
    ASSERT_TRUE(waitForWindow(clock));

    X11DesktopEntries withPixmaps({data.path()});
    const QImage icon = X11AppIcons(session, withPixmaps).applicationIcon(clock);
    ASSERT_FALSE(icon.isNull());
    EXPECT_EQ(icon.pixelColor(24, 24), QColor(200, 40, 160));
    // Nothing under its class: the generic icon.
    X11DesktopEntries empty({QDir(data.path()).filePath(QStringLiteral("none"))});
    EXPECT_EQ(X11AppIcons(session, empty).applicationIcon(clock), X11AppIcons::genericIcon());
}

namespace {

// Writes applications/`path` below the data folder.
void writeDesktopFile(const QTemporaryDir &data, const QString &path, const QByteArray &contents)
{
    QFile file(QDir(data.path()).filePath(QStringLiteral("applications/") + path));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(contents);
}

} // namespace

// The App Blocker's chooser: every shown application entry under its desktop-file id, by name.
TEST_F(X11WindowServicesTest, InstalledApplicationsAreTheShownEntriesSortedByName)
{
    QTemporaryDir data;
    QDir(data.path()).mkpath(QStringLiteral("applications/kde"));
    const auto write = [&](const QString &path, const QByteArray &contents) {
        writeDesktopFile(data, path, contents);
    };
    write(QStringLiteral("zeta.desktop"), "[Desktop Entry]\nType=Application\nName=alpha\n");
    write(QStringLiteral("kde/dolphin.desktop"), "[Desktop Entry]\nName=Dolphin\n");
    write(QStringLiteral("helper.desktop"), "[Desktop Entry]\nName=Helper\nNoDisplay=true\n");
    write(QStringLiteral("gone.desktop"), "[Desktop Entry]\nName=Gone\nHidden=true\n");
    write(QStringLiteral("unnamed.desktop"), "[Desktop Entry]\nType=Application\n");
    X11DesktopEntries entries({data.path()});
    EXPECT_EQ(
        X11AppIcons(session, entries).installedApplications(),
        (QList<InstalledApplication>{{"zeta", "alpha"}, {"kde-dolphin", "Dolphin"}, {"unnamed", "unnamed"}}));
}

// Identity of a client from its hints, against a folder of desktop entries.
struct IdentityCase
{
    const char *name;
    QString gtkId, kdeFile, instance, wmClass;
    X11AppIdentity expected;
};

class X11IdentityTest : public ::testing::TestWithParam<IdentityCase>
{
};

TEST_P(X11IdentityTest, MatchesHintsToDesktopEntriesInOrder)
{
    QTemporaryDir data;
    QDir(data.path()).mkpath(QStringLiteral("applications/kde"));
    const auto write = [&](const QString &path, const QByteArray &contents) {
        writeDesktopFile(data, path, contents);
    };
    write(QStringLiteral("org.example.Editor.desktop"),
          "[Desktop Entry]\nType=Application\nName=Editor\nName[de]=Bearbeiter\nIcon=editor\n");
    write(QStringLiteral("kde/dolphin.desktop"), "[Desktop Entry]\nName=Dolphin\n");
    write(QStringLiteral("term.desktop"), "[Desktop Entry]\nName=Term\nStartupWMClass=XTermish\n");
    write(QStringLiteral("firefox.desktop"),
          "# comment\n[Desktop Entry]\nName = Firefox\n[Desktop Action new]\nName=New\n");
    write(QStringLiteral("gone.desktop"), "[Desktop Entry]\nName=Gone\nHidden=true\n");
    write(QStringLiteral("link.desktop"), "[Desktop Entry]\nType=Link\nName=Link\n");
    X11DesktopEntries entries({data.path()}, QStringLiteral("de_DE.UTF-8"));

    const IdentityCase &c = GetParam();
    X11Client client;
    client.gtkApplicationId = c.gtkId;
    client.kdeDesktopFile = c.kdeFile;
    client.wmInstance = c.instance;
    client.wmClass = c.wmClass;
    EXPECT_EQ(entries.identify(client), c.expected) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Identities, X11IdentityTest,
    ::testing::Values(
        IdentityCase{"GTK application id, localised name",
                     "org.example.Editor",
                     {},
                     "editor",
                     "Editor",
                     {"org.example.Editor", "Bearbeiter", "editor", true}},
        IdentityCase{"KDE desktop file path",
                     {},
                     "/usr/share/applications/kde-dolphin.desktop",
                     "dolphin",
                     "dolphin",
                     {"kde-dolphin", "Dolphin", {}, true}},
        IdentityCase{"StartupWMClass", {}, {}, "xtermish", "XTermish", {"term", "Term", {}, true}},
        IdentityCase{"class as id ignoring case, first group only",
                     {},
                     {},
                     "Navigator",
                     "Firefox",
                     {"firefox", "Firefox", {}, true}},
        IdentityCase{"a hidden entry does not count", {}, {}, "gone", "Gone", {"Gone", "Gone", {}, false}},
        IdentityCase{"not an application", {}, {}, "link", "Link", {"Link", "Link", {}, false}},
        IdentityCase{"unknown GTK id falls through to the class",
                     "org.example.Missing",
                     {},
                     "foo",
                     "Foo",
                     {"Foo", "Foo", {}, false}},
        IdentityCase{"no class: the instance", {}, {}, "bar", {}, {"bar", "bar", {}, false}}),
    [](const ::testing::TestParamInfo<IdentityCase> &info) { return std::to_string(info.index); });
