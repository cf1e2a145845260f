#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>

#include <X11/keysym.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include "platform/x11/x11session.h"
#include "support/x11clients.h"

namespace {

// True while another client holds Alt+Tab on the root window: our own grab of it is refused.
bool altTabHeldElsewhere()
{
    const qv::X11Session session;
    xcb_connection_t *c = session.xcb();
    const xcb_window_t root = session.root();
    xcb_key_symbols_t *symbols = xcb_key_symbols_alloc(c);
    xcb_keycode_t *codes = xcb_key_symbols_get_keycode(symbols, XK_Tab);
    bool held = false;
    if (codes && *codes) {
        xcb_generic_error_t *error =
            xcb_request_check(c, xcb_grab_key_checked(c, 1, root, XCB_MOD_MASK_1, *codes, XCB_GRAB_MODE_ASYNC,
                                                      XCB_GRAB_MODE_ASYNC));
        held = error != nullptr;
        std::free(error);
        if (!held)
            xcb_ungrab_key(c, *codes, root, XCB_MOD_MASK_1);
    }
    std::free(codes);
    xcb_key_symbols_free(symbols);
    return held;
}

} // namespace

// The hotkeys were grabbed so that the X server held every key of the desktop until our main
// thread had answered. Now only the hotkey's press stops the keyboard, and only until the reader
// thread has read it. The real program, stopped with SIGSTOP: keys typed without the hotkey reach
// the focused window at once; the keys after the hotkey wait while it is stopped, and once it ends
// they all reach that window, in order, none lost.
TEST(StoppedProcessX11Test,
     OrdinaryKeysReachTheFocusedWindowWhileQuorvantisIsStoppedAndKeysAfterItsHotkeyFollowWhenItEnds)
{
    const QString binary =
        QDir(QCoreApplication::applicationDirPath()).absoluteFilePath(QStringLiteral("../src/quorvantis"));
    ASSERT_TRUE(QFile::exists(binary)) << qPrintable(binary);
    ASSERT_FALSE(altTabHeldElsewhere()) << "another client holds Alt+Tab already";
    QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME", "XDG_DATA_HOME"})
        env.insert(QString::fromLatin1(name), home.filePath(QString::fromLatin1(name)));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
    QProcess quorvantis;
    quorvantis.setProcessEnvironment(env);
    quorvantis.start(binary, {QStringLiteral("--platform=x11")});
    ASSERT_TRUE(quorvantis.waitForStarted(5000));
    const pid_t pid = pid_t(quorvantis.processId());
    ASSERT_GT(pid, 0);
    // Never left stopped, whatever fails below (kill() of 0 would hit the test's own group).
    const auto stop = qScopeGuard([&] {
        if (quorvantis.state() != QProcess::NotRunning)
            ::kill(pid, SIGKILL);
        quorvantis.waitForFinished(5000);
    });
    ASSERT_TRUE(QTest::qWaitFor([] { return altTabHeldElsewhere(); }, 20000))
        << "the hotkey was never grabbed";
    QTest::qWait(1000); // a first-run window, if any, has come up

    // A terminal that writes every byte it receives into a file, with the keyboard.
    const QString typed = home.filePath(QStringLiteral("typed"));
    X11Clients clients;
    ASSERT_NE(clients.startRecorder(QStringLiteral("qv-stopped-typing"), typed), 0);
    ASSERT_TRUE(xdotool(QStringLiteral("search --sync --name qv-stopped-typing windowactivate --sync")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(typed); }, 5000));
    const auto typedText = [&] {
        QFile file(typed);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };

    ASSERT_EQ(::kill(pid, SIGSTOP), 0);
    ASSERT_TRUE(xdotool(QStringLiteral("key a b c")));
    EXPECT_TRUE(QTest::qWaitFor([&] { return typedText().contains("abc"); }, 5000))
        << "keys typed without the hotkey waited for a stopped Quorvantis: " << typedText().constData();

    // xdotool waits for nothing: the keys are queued at the server once it returns.
    ASSERT_TRUE(xdotool(QStringLiteral("key alt+Tab d e f")));
    QTest::qWait(300);
    EXPECT_EQ(typedText(), QByteArray("abc")) << "keys after the hotkey went past a stopped Quorvantis";
    ASSERT_EQ(::kill(pid, SIGKILL), 0);
    ASSERT_TRUE(quorvantis.waitForFinished(5000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return typedText() == "abcdef"; }, 5000))
        << "the keys held at the hotkey did not follow once Quorvantis ended: " << typedText().constData();
}
