#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
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
// thread had answered: with the process stopped, Alt+Tab froze the keyboard for everyone. The real
// program, stopped with SIGSTOP: the hotkey goes nowhere and the keys typed after it reach the
// focused window at once.
TEST(StoppedProcessX11Test, KeysTypedAfterTheHotkeyReachTheFocusedWindowWhileQuorvantisIsStopped)
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

    ASSERT_EQ(::kill(pid_t(quorvantis.processId()), SIGSTOP), 0);
    ASSERT_TRUE(xdotool(QStringLiteral("key alt+Tab a b c")));
    EXPECT_TRUE(QTest::qWaitFor([&] { return typedText().contains("abc"); }, 5000))
        << typedText().constData();
    EXPECT_EQ(typedText(), QByteArray("abc")) << "the hotkey itself reached the terminal";

    ::kill(pid_t(quorvantis.processId()), SIGCONT);
    ::kill(pid_t(quorvantis.processId()), SIGTERM);
    EXPECT_TRUE(quorvantis.waitForFinished(5000));
}
