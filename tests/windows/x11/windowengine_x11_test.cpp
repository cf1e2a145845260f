#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <memory>

#include "core/settingsstore.h"
#include "platform/geometry.h"
#include "platform/screens.h"
#include "platform/workspace.h"
#include "platform/x11/x11desktop.h"
#include "platform/x11/x11session.h"
#include "platform/x11/x11windowcapture.h"
#include "platform/x11/x11windowlist.h"
#include "runtime/qtscheduler.h"
#include "runtime/workqueue.h"
#include "support/recordingeventlog.h"
#include "support/x11clients.h"
#include "windows/snapshotcache.h"
#include "windows/windowengine.h"

using namespace qv;

namespace {

constexpr int waitMs = 15000;
const QStringList sleeping{QStringLiteral("-e"), QStringLiteral("sleep 600")};

// Whether an image is a capture of the frame at the size the engine asks for (scaling to fit may
// round one side down by a pixel).
bool isCaptureOf(const QImage &image, const QRectF &frame)
{
    const QSize wanted = snapshotCaptureSize(frame.size());
    return !isSnapshotBlank(image) && std::abs(image.width() - wanted.width()) <= 1 &&
           std::abs(image.height() - wanted.height()) <= 1;
}

// The window engine on the real desktop: the same code that runs on the simulated one, listing,
// capturing and identifying real client programs under openbox.
class WindowEngineX11Test : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(session.isValid());
        QDir(snapshotDiskCacheDirectory()).removeRecursively();
        settings =
            std::make_unique<SettingsStore>(QDir(folder.path()).filePath(QStringLiteral("defaults.json")));
        engine = std::make_unique<WindowEngine>(desktop.platform(), scheduler, queues, *settings, events);
    }
    void TearDown() override { engine.reset(); }

    std::optional<AppWindowModel> listed(qint64 pid) const
    {
        for (const AppWindowModel &model : engine->windows()) {
            if (model.ownerPID == pid)
                return model;
        }
        return std::nullopt;
    }
    // The window list as the backend reads it now, on this thread (the service answers on its own).
    QList<WindowInfo> listNow()
    {
        return static_cast<X11WindowList *>(desktop.platform().windowList)
            ->windows()
            .value_or(QList<WindowInfo>());
    }
    // Waits until the window manager has framed the client's window (its first window of the list).
    bool waitUntilFramed(qint64 pid)
    {
        return QTest::qWaitFor(
            [&] {
                std::optional<WindowInfo> info;
                for (const WindowInfo &window : listNow()) {
                    if (window.ownerPID == pid && !info)
                        info = window;
                }
                return info && X11Clients::isFramed(info->windowId) &&
                       X11Clients::frame(info->windowId) == info->frame.toRect();
            },
            waitMs);
    }
    // Starts a client program and waits until its window is framed; 0 when it never is.
    qint64 startFramed(const QString &program, const QStringList &arguments = {})
    {
        const qint64 pid = clients.start(program, arguments);
        return pid != 0 && waitUntilFramed(pid) ? pid : 0;
    }
    // An xterm titled `title` that stays open, framed.
    qint64 startXterm(const QString &title)
    {
        return startFramed(QStringLiteral("xterm"), QStringList{QStringLiteral("-T"), title} + sleeping);
    }
    // Asks for all windows until the list holds every one of `pids` and `ready` holds for each.
    bool fetchAllUntil(const QList<qint64> &pids, std::function<bool(const AppWindowModel &)> ready = {})
    {
        return QTest::qWaitFor(
            [&] {
                if (!engine->isFetchPending())
                    engine->fetchAllWindows();
                for (qint64 pid : pids) {
                    const auto model = listed(pid);
                    if (!model || (ready && !ready(*model)))
                        return false;
                }
                return true;
            },
            waitMs);
    }

    QTemporaryDir folder;
    X11Session session;
    // The scheduler outlives the desktop, whose workers may still hand it results as it goes.
    QtScheduler scheduler;
    X11Desktop desktop;
    ThreadQueueFactory queues;
    std::unique_ptr<SettingsStore> settings;
    RecordingEventLog events;
    std::unique_ptr<WindowEngine> engine;
    X11Clients clients;
};

} // namespace

TEST_F(WindowEngineX11Test, ApplicationRequestListsItsWindowsWithCapturedSnapshots)
{
    const qint64 pid = startXterm(QStringLiteral("Release notes"));
    ASSERT_NE(pid, 0);

    // The Dock would name it by its desktop entry's name.
    engine->fetchWindows(QStringLiteral("XTerm"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return listed(pid).has_value(); }, waitMs));
    const AppWindowModel model = *listed(pid);
    EXPECT_EQ(model.title, QStringLiteral("Release notes"));
    EXPECT_EQ(model.appName, QStringLiteral("XTerm"));
    EXPECT_EQ(model.bundleIdentifier, QStringLiteral("debian-xterm"));
    EXPECT_EQ(model.rect.toRect(), X11Clients::frame(quint32(model.id)));
    EXPECT_FALSE(model.isMinimized);
    EXPECT_FALSE(model.appIcon.isNull());
    // Listed first with the icon, then a real snapshot in its place: the size the engine asks for the
    // frame, and not blank.
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return listed(pid) && isCaptureOf(listed(pid)->image, model.rect); }, waitMs));
}

TEST_F(WindowEngineX11Test, AllWindowsListsEveryApplicationAndWarmsItsSnapshots)
{
    const qint64 term = startFramed(QStringLiteral("xterm"), sleeping);
    ASSERT_NE(term, 0);
    const qint64 eyes =
        startFramed(QStringLiteral("xeyes"), {QStringLiteral("-geometry"), QStringLiteral("300x200")});
    ASSERT_NE(eyes, 0);

    // A client with a malformed icon, written here, owned by a process that draws nothing itself.
    const qint64 broken = clients.start(QStringLiteral("sleep"), {QStringLiteral("600")});
    const xcb_window_t window =
        X11Clients::createClientWindow(session, broken, "Broken", {100000, 100000, 0xffffffff});
    ASSERT_TRUE(waitUntilFramed(broken));

    ASSERT_TRUE(fetchAllUntil({term, eyes, broken}));
    EXPECT_EQ(engine->currentAppName(), QStringLiteral("Mission Control"));
    EXPECT_EQ(listed(eyes)->bundleIdentifier, QStringLiteral("XEyes"));
    EXPECT_EQ(listed(eyes)->title, QStringLiteral("xeyes"));
    EXPECT_EQ(listed(term)->bundleIdentifier, QStringLiteral("debian-xterm"));
    for (qint64 owner : {term, eyes, broken})
        EXPECT_FALSE(listed(owner)->appIcon.isNull()) << owner;

    // The warm-up replaces the icon placeholders with captures of the windows.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            const auto model = listed(eyes);
            return model && isCaptureOf(model->image, model->rect);
        },
        waitMs));
    xcb_destroy_window(session.xcb(), window);
    xcb_flush(session.xcb());
}

TEST_F(WindowEngineX11Test, MinimisedWindowsAreListedAsMinimised)
{
    const qint64 pid = startXterm(QStringLiteral("Parked"));
    ASSERT_NE(pid, 0);
    ASSERT_TRUE(fetchAllUntil({pid}));
    const quint32 window = quint32(listed(pid)->id);
    // Minimised the way a task bar asks the window manager to (ICCCM WM_CHANGE_STATE, Iconic).
    session.sendToWindowManager(window, session.atom(X11Session::Atom::wmChangeState), {3, 0, 0, 0, 0});
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return X11Clients::windowState(window).contains(QStringLiteral("_NET_WM_STATE_HIDDEN")); },
        waitMs));

    // Accessibility vouches for it, so the application's list keeps it, marked minimised and
    // shown with what was cached (an unmapped window cannot be captured).
    engine->fetchWindows(QStringLiteral("XTerm"));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            const auto model = listed(pid);
            return model && model->isMinimized && engine->currentAppName() == QStringLiteral("XTerm");
        },
        waitMs));
    EXPECT_FALSE(listed(pid)->image.isNull());
    ASSERT_TRUE(fetchAllUntil({pid}, [](const AppWindowModel &model) { return model.isMinimized; }));

    // Some window managers keep minimised windows mapped and only mark them hidden.
    const qint64 mapped = startXterm(QStringLiteral("Mapped but hidden"));
    ASSERT_NE(mapped, 0);
    ASSERT_TRUE(fetchAllUntil({mapped}));
    const QString mappedWindow = QString::number(listed(mapped)->id);
    X11Clients::output(QStringLiteral("xprop"),
                       {QStringLiteral("-id"), mappedWindow, QStringLiteral("-f"),
                        QStringLiteral("_NET_WM_STATE"), QStringLiteral("32a"), QStringLiteral("-set"),
                        QStringLiteral("_NET_WM_STATE"), QStringLiteral("_NET_WM_STATE_HIDDEN")});
    ASSERT_TRUE(X11Clients::isFramed(listed(mapped)->id));
    EXPECT_TRUE(fetchAllUntil({mapped}, [](const AppWindowModel &model) { return model.isMinimized; }));
}

TEST_F(WindowEngineX11Test, OnlyCurrentDesktopLeavesOtherDesktopsOut)
{
    const qint64 here = startXterm(QStringLiteral("Here"));
    ASSERT_NE(here, 0);
    const qint64 there = startXterm(QStringLiteral("There"));
    ASSERT_NE(there, 0);
    const qint64 everywhere = startXterm(QStringLiteral("Everywhere"));
    ASSERT_NE(everywhere, 0);
    ASSERT_TRUE(fetchAllUntil({here, there, everywhere}));
    // Desktop 1 for one, every desktop (sticky) for the other.
    const QList<std::pair<qint64, uint32_t>> moves{{there, 1}, {everywhere, 0xFFFFFFFF}};
    for (const auto &[pid, target] : moves) {
        const quint32 window = quint32(listed(pid)->id);
        session.sendToWindowManager(window, session.ewmh()->_NET_WM_DESKTOP, {target, 2, 0, 0, 0});
        const uint32_t desktopNumber = target; // a structured binding cannot be captured in C++20
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                return X11Clients::output(QStringLiteral("xprop"),
                                          {QStringLiteral("-id"), QString::number(window),
                                           QStringLiteral("_NET_WM_DESKTOP")})
                    .contains(QStringLiteral("= %1").arg(desktopNumber));
            },
            waitMs));
    }

    engine->setShowOnlyCurrentSpace(true);
    engine->fetchWindows(QStringLiteral("XTerm"));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return listed(here).has_value() && !listed(there) && listed(everywhere).has_value() &&
                   !engine->isFetchPending();
        },
        waitMs));
    // A sticky window is shown on this desktop, not minimised.
    ASSERT_TRUE(listed(everywhere).has_value());
    EXPECT_FALSE(listed(everywhere)->isMinimized);
}

TEST_F(WindowEngineX11Test, FocusMinimiseAndRestoreThroughTheWindowManager)
{
    const qint64 back = startXterm(QStringLiteral("Back"));
    ASSERT_NE(back, 0);
    const qint64 front = startXterm(QStringLiteral("Front"));
    ASSERT_NE(front, 0);
    ASSERT_TRUE(fetchAllUntil({back, front}));
    const AppWindowModel window = *listed(back);
    const QString hidden = QStringLiteral("_NET_WM_STATE_HIDDEN");

    engine->focusWindow(window);
    EXPECT_TRUE(QTest::qWaitFor([&] { return X11Clients::activeWindow() == quint32(window.id); }, waitMs));

    engine->minimizeWindow(window);
    ASSERT_TRUE(QTest::qWaitFor([&] { return X11Clients::windowState(quint32(window.id)).contains(hidden); },
                                waitMs));
    // Confirmed through accessibility, the card says so too.
    EXPECT_TRUE(QTest::qWaitFor([&] { return listed(back) && listed(back)->isMinimized; }, waitMs));

    engine->focusWindow(*listed(back));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return !X11Clients::windowState(quint32(window.id)).contains(hidden) &&
                   X11Clients::activeWindow() == quint32(window.id);
        },
        waitMs));
    EXPECT_TRUE(QTest::qWaitFor([&] { return listed(back) && !listed(back)->isMinimized; }, waitMs));
}

TEST_F(WindowEngineX11Test, SnapLeftFillsTheLeftHalfOfTheVisibleFrame)
{
    // xeyes takes any size; xterm would round to whole character cells.
    const qint64 pid = startFramed(QStringLiteral("xeyes"),
                                   {QStringLiteral("-geometry"), QStringLiteral("300x200+500+300")});
    ASSERT_NE(pid, 0);
    ASSERT_TRUE(fetchAllUntil({pid}));
    const AppWindowModel window = *listed(pid);
    ScreenService *screens = desktop.platform().screens;
    const QRectF visible = flipRect(screens->mainScreen()->visibleFrame, screens->flipHeight());
    const QRect leftHalf = QRectF(visible.x(), visible.y(), visible.width() / 2, visible.height()).toRect();

    engine->snapWindow(window, SnapPosition::left);
    EXPECT_TRUE(QTest::qWaitFor([&] { return X11Clients::frame(quint32(window.id)) == leftHalf; }, waitMs))
        << "frame " << X11Clients::frame(quint32(window.id)).width() << "x"
        << X11Clients::frame(quint32(window.id)).height();
}

// The window manager ignores a new frame for a maximised window: snapping one left it maximised
// (and still played the snap's feedback). The states come off first now.
TEST_F(WindowEngineX11Test, SnappingAMaximisedWindowTakesItOutOfMaximisedFirst)
{
    const qint64 pid = startFramed(QStringLiteral("xeyes"),
                                   {QStringLiteral("-geometry"), QStringLiteral("300x200+500+300")});
    ASSERT_NE(pid, 0);
    ASSERT_TRUE(fetchAllUntil({pid}));
    const AppWindowModel window = *listed(pid);
    const auto id = quint32(window.id);
    xcb_ewmh_connection_t *ewmh = session.ewmh();
    session.sendToWindowManager(
        id, ewmh->_NET_WM_STATE,
        {1, ewmh->_NET_WM_STATE_MAXIMIZED_VERT, ewmh->_NET_WM_STATE_MAXIMIZED_HORZ, 2, 0});
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return X11Clients::windowState(id).contains(QStringLiteral("_NET_WM_STATE_MAXIMIZED_VERT")); },
        waitMs));
    ScreenService *screens = desktop.platform().screens;
    const QRectF visible = flipRect(screens->mainScreen()->visibleFrame, screens->flipHeight());
    const QRect rightHalf =
        QRectF(visible.x() + visible.width() / 2, visible.y(), visible.width() / 2, visible.height())
            .toRect();

    engine->snapWindow(window, SnapPosition::right);
    EXPECT_TRUE(QTest::qWaitFor([&] { return X11Clients::frame(id) == rightHalf; }, waitMs))
        << "frame " << X11Clients::frame(id).x() << "," << X11Clients::frame(id).y() << " "
        << X11Clients::frame(id).width() << "x" << X11Clients::frame(id).height();
    EXPECT_FALSE(X11Clients::windowState(id).contains(QStringLiteral("_NET_WM_STATE_MAXIMIZED_VERT")));
}

TEST_F(WindowEngineX11Test, FullScreenTogglesAndCloseEndsTheClient)
{
    const qint64 pid = startFramed(QStringLiteral("xclock"));
    ASSERT_NE(pid, 0);
    ASSERT_TRUE(fetchAllUntil({pid}));
    const AppWindowModel window = *listed(pid);
    const QString fullScreen = QStringLiteral("_NET_WM_STATE_FULLSCREEN");

    engine->toggleFullScreen(window);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return X11Clients::windowState(quint32(window.id)).contains(fullScreen); }, waitMs));
    engine->toggleFullScreen(window);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return !X11Clients::windowState(quint32(window.id)).contains(fullScreen); }, waitMs));

    engine->closeWindow(window);
    EXPECT_TRUE(clients.hasExited(pid, waitMs));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !listed(pid); }, waitMs));
}

namespace {

// The mean colour of a picture, from a coarse grid of its pixels.
QColor meanColour(const QImage &image)
{
    double red = 0, green = 0, blue = 0;
    int samples = 0;
    for (int y = image.height() / 10; y < image.height(); y += std::max(1, image.height() / 10)) {
        for (int x = image.width() / 10; x < image.width(); x += std::max(1, image.width() / 10)) {
            const QColor colour = image.pixelColor(x, y);
            red += colour.red();
            green += colour.green();
            blue += colour.blue();
            ++samples;
        }
    }
    samples = std::max(samples, 1);
    return QColor(int(red / samples), int(green / samples), int(blue / samples));
}

} // namespace

// Each window was redirected and waited for in turn, about a third of a second apiece, so the
// first opening filled its cards one by one for seconds. The capture here waits far longer for a
// window to settle than the real one, so that how long the listing takes on a busy machine does not
// matter: the pictures of the first cards arrive together, well within one settle time of each
// other, where waiting window by window (or worker round by worker round) spreads them over several.
TEST_F(WindowEngineX11Test, FirstOpeningPicturesTheVisibleCardsTogether)
{
    constexpr std::chrono::milliseconds settle(3000);
    X11WindowCapture capture(session, X11WindowCapture::Timing{settle, std::chrono::milliseconds(60000)});
    Platform platform = desktop.platform();
    platform.windowCapture = &capture;
    engine = std::make_unique<WindowEngine>(platform, scheduler, queues, *settings, events);
    const auto dropEngine = qScopeGuard([&] { engine.reset(); });

    QList<qint64> pids;
    for (int i = 0; i < 30; ++i) {
        const QString geometry = QStringLiteral("40x8+%1+%2").arg(20 + (i % 6) * 230).arg(20 + (i / 6) * 160);
        pids.append(clients.start(QStringLiteral("xterm"), QStringList{QStringLiteral("-T"),
                                                                      QStringLiteral("term-%1").arg(i),
                                                                      QStringLiteral("-geometry"), geometry} +
                                                              sleeping));
    }
    for (qint64 pid : std::as_const(pids))
        ASSERT_TRUE(waitUntilFramed(pid)) << pid;

    // When each of the first cards first showed a capture of its window.
    QElapsedTimer clock;
    QHash<qint64, qint64> arrivedAt;
    const QObject watching; // goes before the locals it writes to
    QObject::connect(engine.get(), &WindowEngine::windowsChanged, &watching, [&] {
        const QList<AppWindowModel> &windows = engine->windows();
        for (int i = 0; i < std::min<int>(16, int(windows.size())); ++i) {
            if (!arrivedAt.contains(windows.at(i).id) && isCaptureOf(windows.at(i).image, windows.at(i).rect))
                arrivedAt.insert(windows.at(i).id, clock.elapsed());
        }
    });
    // The list names the applications the desktop knows, and the desktop learns of new ones from
    // the window manager's events a moment after the windows are framed.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            QSet<qint64> known;
            for (const RunningApp &app : platform.workspace->runningApplications())
                known.insert(app.pid);
            return std::all_of(pids.cbegin(), pids.cend(), [&](qint64 pid) { return known.contains(pid); });
        },
        waitMs));
    clock.start();
    engine->fetchAllWindows();
    ASSERT_TRUE(QTest::qWaitFor([&] { return arrivedAt.size() >= 12; }, 4 * waitMs))
        << arrivedAt.size() << " of 16 after " << clock.elapsed() << " ms";
    EXPECT_EQ(engine->windows().size(), 30);
    QList<qint64> times = arrivedAt.values();
    std::sort(times.begin(), times.end());
    EXPECT_LT(times.at(11) - times.first(), settle.count())
        << "the first picture came after " << times.first() << " ms, the twelfth after " << times.at(11);
}

// After a restart the bubble showed application icons until every capture had come back, although
// the pictures of the same windows lay on disk.
TEST_F(WindowEngineX11Test, FirstBubbleAfterARestartShowsTheDiskPictureBeforeTheCapture)
{
    const qint64 pid = startXterm(QStringLiteral("Kept on disk"));
    ASSERT_NE(pid, 0);
    engine->fetchWindows(QStringLiteral("XTerm"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return listed(pid) && isCaptureOf(listed(pid)->image, listed(pid)->rect); },
                                waitMs));
    std::optional<WindowInfo> info;
    for (const WindowInfo &window : listNow()) {
        if (window.ownerPID == pid)
            info = window;
    }
    ASSERT_TRUE(info.has_value());
    const QString file = QDir(engine->snapshotDiskCacheDirectory()).filePath(snapshotWindowFileName(*info));
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(file); }, waitMs));
    // What lies on disk is told apart from any capture by its colour.
    QImage kept(snapshotCaptureSize(info->frame.size()), QImage::Format_RGB32);
    kept.fill(Qt::magenta);
    ASSERT_TRUE(writeSnapshotFile(file, kept));

    engine.reset();
    engine = std::make_unique<WindowEngine>(desktop.platform(), scheduler, queues, *settings, events);
    QList<QImage> shown;
    const QObject watching; // goes before the locals it writes to
    QObject::connect(engine.get(), &WindowEngine::windowsChanged, &watching, [&] {
        if (const auto model = listed(pid); model && model->image.cacheKey() != model->appIcon.cacheKey())
            shown.append(model->image);
    });
    engine->fetchWindows(QStringLiteral("XTerm"));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return !shown.isEmpty() && meanColour(shown.last()) != QColor(Qt::magenta); }, waitMs));
    EXPECT_EQ(meanColour(shown.first()), QColor(Qt::magenta));
}

// X gives a closed window's number to a later window: a card of the new window showed the closed
// window's picture, kept in memory under that number.
TEST_F(WindowEngineX11Test, NewWindowsWithTheNumbersOfClosedOnesShowTheirOwnPictures)
{
    const auto startTerms = [&](const QString &name, const QString &colour) {
        QList<qint64> started;
        for (int i = 1; i <= 5; ++i) {
            started.append(clients.start(
                QStringLiteral("xterm"),
                QStringList{QStringLiteral("-T"), QStringLiteral("%1-%2").arg(name).arg(i),
                            QStringLiteral("-bg"), colour, QStringLiteral("-geometry"),
                            QStringLiteral("40x8+%1+100").arg(20 + i * 250)} +
                    sleeping));
        }
        return started;
    };
    const auto mostly = [](const QImage &image, const std::function<bool(QColor)> &test) {
        return isSnapshotBlank(image) ? false : test(meanColour(image));
    };
    const auto red = [](QColor c) { return c.red() > 2 * c.blue() && c.red() > 120; };
    const auto blue = [](QColor c) { return c.blue() > 2 * c.red() && c.blue() > 120; };

    const QList<qint64> old = startTerms(QStringLiteral("old"), QStringLiteral("red"));
    ASSERT_TRUE(fetchAllUntil(old, [&](const AppWindowModel &model) { return mostly(model.image, red); }));
    QSet<qint64> oldIds;
    for (qint64 pid : old)
        oldIds.insert(listed(pid)->id);
    for (qint64 pid : old) {
        clients.kill(pid);
        ASSERT_TRUE(clients.hasExited(pid, waitMs));
    }
    // Started at once, before any other program connects to the server, they get the numbers the
    // closed ones had.
    const QList<qint64> fresh = startTerms(QStringLiteral("new"), QStringLiteral("blue"));
    ASSERT_TRUE(fetchAllUntil(fresh));
    int reused = 0;
    for (qint64 pid : fresh)
        reused += oldIds.contains(listed(pid)->id) ? 1 : 0;
    ASSERT_GT(reused, 0) << "the server gave the new windows other numbers";
    ASSERT_TRUE(fetchAllUntil(fresh, [&](const AppWindowModel &model) { return isCaptureOf(model.image, model.rect); }));
    // The pictures published from here on, until each new window has been captured, are its own.
    for (qint64 pid : fresh) {
        const AppWindowModel model = *listed(pid);
        EXPECT_FALSE(mostly(model.image, red)) << model.title.toStdString();
    }
    EXPECT_TRUE(fetchAllUntil(fresh, [&](const AppWindowModel &model) { return mostly(model.image, blue); }));
}
