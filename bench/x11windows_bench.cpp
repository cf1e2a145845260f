#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QThread>

#include <cstdio>
#include <cstdlib>
#include <future>
#include <memory>

#include "platform/x11/x11desktopentries.h"
#include "platform/x11/x11session.h"
#include "platform/x11/x11windowcapture.h"
#include "platform/x11/x11windowlist.h"
#include "windows/snapshotcache.h"

using namespace qv;

namespace {

// Windows of our own on the display the benchmarks run under: twenty managed ones for the list,
// and one of 1920x1080 (left alone by the window manager, so it keeps its size on a smaller screen)
// for the captures.
struct X11Bench
{
    X11Session session;
    X11DesktopEntries entries;
    X11WindowList list{session, entries};
    X11WindowCapture capture{session};
    QList<xcb_window_t> managed;
    xcb_window_t large = XCB_WINDOW_NONE;

    X11Bench()
    {
        xcb_connection_t *c = session.xcb();
        const uint32_t pid = uint32_t(QCoreApplication::applicationPid());
        for (int i = 0; i < 20; ++i) {
            const xcb_window_t window = xcb_generate_id(c);
            const uint32_t background = 0xff202020u + uint32_t(i) * 0x0a0a0au;
            xcb_create_window(c, XCB_COPY_FROM_PARENT, window, session.root(), 20 * i, 20 * i, 640, 480, 0,
                              XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, XCB_CW_BACK_PIXEL,
                              &background);
            const QByteArray title = "Document " + QByteArray::number(i);
            xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                                uint32_t(title.size()), title.constData());
            xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, session.ewmh()->_NET_WM_PID,
                                XCB_ATOM_CARDINAL, 32, 1, &pid);
            xcb_map_window(c, window);
            managed.append(window);
        }
        large = xcb_generate_id(c);
        const uint32_t values[] = {0xff3366aau, 1};
        xcb_create_window(c, XCB_COPY_FROM_PARENT, large, session.root(), 0, 0, 1920, 1080, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT,
                          XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT, values);
        xcb_map_window(c, large);
        xcb_flush(c);
        // Until the window manager lists them all (or gives up on them).
        for (int tries = 0; tries < 100 && managedListed() < 20; ++tries)
            QThread::msleep(50);
    }
    ~X11Bench()
    {
        for (xcb_window_t window : std::as_const(managed))
            xcb_destroy_window(session.xcb(), window);
        xcb_destroy_window(session.xcb(), large);
        xcb_flush(session.xcb());
    }
    int managedListed()
    {
        int count = 0;
        for (const WindowInfo &info : list.windows().value_or(QList<WindowInfo>()))
            count += managed.contains(info.windowId) ? 1 : 0;
        return count;
    }
};

X11Bench &bench()
{
    static X11Bench instance;
    return instance;
}

void BM_ListTwentyClientWindows(benchmark::State &state)
{
    X11Bench &b = bench();
    for (auto _ : state)
        benchmark::DoNotOptimize(b.list.windows());
    state.counters["listed"] = b.managedListed();
}

// Our capture: pixels of the redirected window through MIT-SHM, scaled to the snapshot size.
void BM_CaptureFullHDScaledToSnapshot(benchmark::State &state)
{
    X11Bench &b = bench();
    const QSize size = snapshotCaptureSize(QSizeF(1920, 1080));
    const auto captureOnce = [&] {
        std::promise<std::optional<QImage>> answer;
        b.capture.captureWindow(b.large, size, [&](std::optional<QImage> image) { answer.set_value(image); });
        return answer.get_future().get();
    };
    // The first capture redirects the window and waits for its contents to settle.
    if (!captureOnce()) {
        state.SkipWithError("the window could not be captured");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(captureOnce());
}

// The plain read it is measured against: one GetImage of the same whole window.
void BM_RawGetImageFullHD(benchmark::State &state)
{
    X11Bench &b = bench();
    xcb_connection_t *c = b.session.xcb();
    for (auto _ : state) {
        xcb_get_image_reply_t *reply = xcb_get_image_reply(
            c, xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, b.large, 0, 0, 1920, 1080, ~0u), nullptr);
        if (!reply) {
            state.SkipWithError("GetImage failed");
            break;
        }
        benchmark::DoNotOptimize(xcb_get_image_data(reply));
        std::free(reply);
    }
}

// Registered only where an X display can be opened; elsewhere the program says so and runs nothing.
const bool registered = [] {
    if (qEnvironmentVariableIsEmpty("DISPLAY") || !X11Session().isValid()) {
        std::fprintf(stderr, "x11windows_bench: no X display, skipped\n");
        return false;
    }
    benchmark::RegisterBenchmark("BM_ListTwentyClientWindows", BM_ListTwentyClientWindows);
    benchmark::RegisterBenchmark("BM_CaptureFullHDScaledToSnapshot", BM_CaptureFullHDScaledToSnapshot)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_RawGetImageFullHD", BM_RawGetImageFullHD)->Unit(benchmark::kMillisecond);
    return true;
}();

} // namespace
