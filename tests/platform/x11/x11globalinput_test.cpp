#include <gtest/gtest.h>

#include <QFile>
#include <QHash>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QDeadlineTimer>

#include <memory>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>
// xkb.h names a member `explicit`, which C++ cannot parse.
#define explicit xkb_explicit
#include <xcb/xkb.h>
#undef explicit

#include "platform/x11/x11globalinput.h"
#include "platform/x11/x11session.h"
#include "support/x11clients.h"

using namespace qv;

namespace {

constexpr int tabKey = 48;
constexpr int cKey = 8;
const KeyCombination altTab{tabKey, keyOptionFlag};
const KeyCombination altC{cKey, keyOptionFlag};

// Puts Scroll Lock (evdev's key 78) on the otherwise empty Mod3, as some keyboard maps do (the
// default map gives it no modifier, so it cannot stop a grab), or takes it off again.
bool mapScrollLockToMod3(bool mapped)
{
    const X11Session session;
    xcb_connection_t *x = session.xcb();
    auto *map = xcb_get_modifier_mapping_reply(x, xcb_get_modifier_mapping(x), nullptr);
    xcb_keycode_t *codes = xcb_get_modifier_mapping_keycodes(map); // changed in place and sent back
    codes[5 * map->keycodes_per_modifier] = mapped ? 78 : 0;
    auto *set = xcb_set_modifier_mapping_reply(
        x, xcb_set_modifier_mapping(x, map->keycodes_per_modifier, codes), nullptr);
    const bool done = set && set->status == XCB_MAPPING_STATUS_SUCCESS;
    std::free(set);
    std::free(map);
    return done;
}

// The modifier locks the test found, put back when it ends: the lock keys it presses toggle them,
// and one left on after its key is unmapped (Mod3 locked with no key to unlock it) rides on every
// later key of every later program on the display, so that none of their grabs matches.
class KeptModifierLocks
{
public:
    KeptModifierLocks()
    {
        xcb_connection_t *x = m_session.xcb();
        std::free(xcb_xkb_use_extension_reply(x, xcb_xkb_use_extension(x, 1, 0), nullptr));
        auto *state = xcb_xkb_get_state_reply(x, xcb_xkb_get_state(x, XCB_XKB_ID_USE_CORE_KBD), nullptr);
        m_locked = state ? state->lockedMods : 0;
        std::free(state);
    }
    ~KeptModifierLocks()
    {
        xcb_connection_t *x = m_session.xcb();
        xcb_xkb_latch_lock_state(x, XCB_XKB_ID_USE_CORE_KBD, 0xff, m_locked, 0, 0, 0, 0, 0);
        std::free(xcb_get_input_focus_reply(x, xcb_get_input_focus(x), nullptr));
    }

private:
    const X11Session m_session;
    uint8_t m_locked = 0;
};

// The key-downs the filter saw, consuming the ones listed in `consume`.
struct RecordingFilter
{
    QList<GlobalKeyEvent> seen;
    QList<KeyCombination> consume;
    bool operator()(const GlobalKeyEvent &event)
    {
        seen.append(event);
        return !event.isAutorepeat && consume.contains(KeyCombination{event.keyCode, event.flags});
    }
};

class X11GlobalInputTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(input.createTap());
        input.setKeyDownFilter([this](const GlobalKeyEvent &event) { return filter(event); });
    }
    // An xterm that writes every byte it receives into a file, focused.
    void startRecordingTerminal()
    {
        typed = dir.filePath(QStringLiteral("typed"));
        ASSERT_NE(clients.startRecorder(dir.path(), typed), 0);
        const QString search =
            QStringLiteral("search --sync --name %1 windowactivate --sync").arg(dir.path());
        // A search fails when a window it looks at closes meanwhile (the last test's terminal).
        ASSERT_TRUE(QTest::qWaitFor([&] { return xdotool(search); }, 5000));
        ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(typed); }, 5000));
    }
    QByteArray typedText() const
    {
        QFile file(typed);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // Types a plain "1" and waits until the terminal has it, so everything typed before has landed.
    void settleTerminal()
    {
        const qsizetype before = typedText().count('1');
        ASSERT_TRUE(xdotool(QStringLiteral("key 1")));
        ASSERT_TRUE(QTest::qWaitFor([&] { return typedText().count('1') > before; }, 5000));
    }
    // What reached the terminal besides the settling keys (Alt+Tab arrives as an escape sequence or
    // a high byte, depending on the terminal's settings).
    QByteArray typedBesidesSettling() const { return typedText().replace('1', QByteArray()); }
    int fired(const KeyCombination &combination) const
    {
        int count = 0;
        for (const auto &event : filter.seen)
            count += event.keyCode == combination.keyCode && event.flags == combination.flags &&
                     !event.isAutorepeat;
        return count;
    }

    // Key events typed through XTEST while another client holds the server, so that none of our
    // requests is taken meanwhile (the reader thread can neither grab nor let a key come); each is
    // (XCB_KEY_PRESS or XCB_KEY_RELEASE, X key code).
    static bool typeWhileTheServerIsHeld(const QList<QPair<uint8_t, xcb_keycode_t>> &events)
    {
        xcb_connection_t *c = xcb_connect(nullptr, nullptr);
        const auto closeConnection = qScopeGuard([c] { xcb_disconnect(c); });
        if (xcb_connection_has_error(c))
            return false;
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
        xcb_grab_server(c);
        for (const auto &[type, code] : events)
            xcb_test_fake_input(c, type, code, XCB_CURRENT_TIME, root, 0, 0, 0);
        xcb_ungrab_server(c);
        std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
        return true;
    }
    static constexpr xcb_keycode_t altCode = 64; // evdev's Alt_L and Tab
    static constexpr xcb_keycode_t tabCode = 23;

    X11GlobalInput input;
    RecordingFilter filter;
    QTemporaryDir dir;
    QString typed;
    X11Clients clients;
};

} // namespace

TEST_F(X11GlobalInputTest, GrabbedCombinationIsConsumedInEveryLockStateAndOtherKeysReachTheFocusedWindow)
{
    // The lock keys' modifiers come from the map in force, which changes while we run: the hotkey is
    // grabbed again when the keyboard changes (with its old grabs kept, Alt+Tab with Scroll Lock on
    // would type into the window).
    filter.consume = {altTab};
    EXPECT_TRUE(input.setShortcuts({altTab}).isEmpty());
    const KeptModifierLocks locks; // put back after the map below (its guard goes first)
    ASSERT_TRUE(mapScrollLockToMod3(true));
    const auto unmap = qScopeGuard([] { mapScrollLockToMod3(false); });
    startRecordingTerminal();

    // Each lock alone, then all three, switched on and off around the combination: it fires every
    // time and nothing reaches the window.
    int fires = 0;
    for (const char *locks : {"", "Caps_Lock", "Num_Lock", "Scroll_Lock", "Caps_Lock Num_Lock Scroll_Lock"}) {
        const QString keys = QStringLiteral("key %1 alt+Tab %1").arg(QLatin1String(locks));
        ASSERT_TRUE(xdotool(keys));
        settleTerminal();
        EXPECT_TRUE(QTest::qWaitFor([&, n = ++fires] { return fired(altTab) == n; }, 5000)) << locks;
        EXPECT_EQ(typedBesidesSettling(), QByteArray()) << locks;
    }
}

// The grabs used to freeze the keyboard until our main thread answered each key-down, so a busy or
// stopped process held every key of the desktop. Here the main thread does not read the connection
// at all while the hotkey and three letters are typed.
TEST_F(X11GlobalInputTest, KeysTypedAfterTheHotkeyReachTheFocusedWindowWhileWeDoNotRead)
{
    filter.consume = {altTab};
    input.setShortcuts({altTab});
    startRecordingTerminal();
    QTest::qWait(100);

    // QProcess::execute and the polling below keep our event loop from running.
    ASSERT_TRUE(xdotool(QStringLiteral("key alt+Tab a b c")));
    const QDeadlineTimer deadline(5000);
    while (!typedText().contains("abc") && !deadline.hasExpired())
        QThread::msleep(20);
    EXPECT_EQ(typedText(), QByteArray("abc"));
    EXPECT_EQ(fired(altTab), 0);

    // Read later, the hotkey still counts.
    EXPECT_TRUE(QTest::qWaitFor([&] { return fired(altTab) == 1; }, 5000));
}

// The hotkeys' grabs stop the keyboard at their press until the reader thread has read it: for a
// combination that opens nothing that takes keys (here Alt+Tab, while only Alt+C would), the grab
// ends there and then, so the letters typed right after it reach the focused window, all of them,
// in order; none is kept and none is typed again.
TEST_F(X11GlobalInputTest, LettersRightAfterAHotkeyThatOpensNoSurfaceReachTheFocusedWindowWholeAndInOrder)
{
    filter.consume = {altTab, altC};
    input.setKeyTakingShortcuts({altC});
    input.setShortcuts({altTab, altC});
    startRecordingTerminal();
    QTest::qWait(100);

    QByteArray expected;
    for (int round = 0; round < 5; ++round) {
        ASSERT_TRUE(xdotoolWhileRunning(QStringLiteral("key --delay 0 alt+Tab q w e r t y")));
        expected += "qwerty";
        EXPECT_TRUE(QTest::qWaitFor([&] { return typedText() == expected; }, 3000)) << typedText().data();
        EXPECT_TRUE(QTest::qWaitFor([&, n = round + 1] { return fired(altTab) == n; }, 3000));
    }
}

// A hotkey that opens a surface pressed twice before the reader thread had made the first press's
// grab last: that grab, asked for at the first press's time, was refused as older than the second
// press's, so the hold began at the second press and the letters typed next were kept for a surface
// and dropped; or, made late, it let the keys sent before it each let one more through, past the
// second press. Here the server takes no request of ours while both presses are typed; the letters
// come after, while our main thread reads nothing, and reach the focused window once the keyboard,
// stopped at the second press, is given back; given back within the keyboard's repeat delay, as the
// server would otherwise repeat the held Tab into that window.
TEST_F(X11GlobalInputTest, LettersAfterAHotkeyPressedTwiceBeforeTheReaderGrabbedReachTheFocusedWindow)
{
    filter.consume = {altTab};
    input.setKeyTakingShortcuts({altTab});
    input.setShortcuts({altTab});
    startRecordingTerminal();
    QTest::qWait(100);

    ASSERT_TRUE(typeWhileTheServerIsHeld({{XCB_KEY_PRESS, altCode},
                                          {XCB_KEY_PRESS, tabCode},
                                          {XCB_KEY_RELEASE, tabCode},
                                          {XCB_KEY_PRESS, tabCode},
                                          {XCB_KEY_RELEASE, tabCode},
                                          {XCB_KEY_RELEASE, altCode}}));
    QThread::msleep(300); // the reader has read both presses

    ASSERT_TRUE(xdotool(QStringLiteral("key a b c")));
    const QDeadlineTimer deadline(4000);
    while (!typedText().contains("abc") && !deadline.hasExpired())
        QThread::msleep(20);
    EXPECT_EQ(typedText(), QByteArray("abc"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return fired(altTab) == 2; }, 5000));
}

// A hotkey that opens a surface stops the keyboard at its press: letters typed in the same instant
// as its release, before the reader thread could read the press, used to reach the window that had
// the keyboard. Here the server takes no request of ours while the hotkey and the letters are typed;
// the letters reach the surface, in order, and nothing reaches the terminal behind it.
TEST_F(X11GlobalInputTest, LettersTypedWithTheHotkeysReleaseWaitForTheSurfaceInsteadOfReachingTheWindowBehind)
{
    const X11Session session;
    xcb_connection_t *other = session.xcb();
    const xcb_window_t surface = X11Clients::createWindow(other, session.root(), QRect(0, 0, 100, 100), true);
    const uint32_t keyEvents = XCB_EVENT_MASK_KEY_PRESS;
    xcb_change_window_attributes(other, surface, XCB_CW_EVENT_MASK, &keyEvents);
    xcb_map_window(other, surface);
    std::free(xcb_get_input_focus_reply(other, xcb_get_input_focus(other), nullptr)); // mapped by now
    filter.consume = {altTab};
    input.setKeyDownFilter([&](const GlobalKeyEvent &event) {
        const bool consumed = filter(event);
        if (consumed) // the surface opens
            QMetaObject::invokeMethod(
                &input, [&] { input.holdKeyboard(surface); }, Qt::QueuedConnection);
        return consumed;
    });
    // Named as opening a surface once grabbed already: grabbed again to stop the keyboard.
    input.setShortcuts({altTab});
    input.setKeyTakingShortcuts({altTab});
    startRecordingTerminal();
    QTest::qWait(100);

    const QList<xcb_keycode_t> letters{38, 56, 54}; // evdev's a, b, c
    QList<QPair<uint8_t, xcb_keycode_t>> events{{XCB_KEY_PRESS, altCode},
                                                {XCB_KEY_PRESS, tabCode},
                                                {XCB_KEY_RELEASE, tabCode},
                                                {XCB_KEY_RELEASE, altCode}};
    for (const xcb_keycode_t letter : letters)
        events += {{XCB_KEY_PRESS, letter}, {XCB_KEY_RELEASE, letter}};
    ASSERT_TRUE(typeWhileTheServerIsHeld(events));

    QList<xcb_keycode_t> reachedSurface;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            while (xcb_generic_event_t *event = xcb_poll_for_event(other)) {
                if ((event->response_type & ~0x80) == XCB_KEY_PRESS)
                    reachedSurface.append(reinterpret_cast<xcb_key_press_event_t *>(event)->detail);
                std::free(event);
            }
            return reachedSurface.size() >= letters.size();
        },
        5000))
        << reachedSurface.size() << " letters reached the surface";
    EXPECT_EQ(reachedSurface, letters) << "the letters after the hotkey did not reach the surface in order";
    // The surface goes and the terminal has the keyboard again.
    input.releaseKeyboard();
    xcb_destroy_window(other, surface);
    xcb_flush(other);
    ASSERT_TRUE(xdotool(QStringLiteral("search --sync --name %1 windowactivate --sync").arg(dir.path())));
    settleTerminal();
    EXPECT_EQ(typedBesidesSettling(), QByteArray())
        << "letters typed with the hotkey reached the window behind";
    EXPECT_EQ(fired(altTab), 1);
}

TEST_F(X11GlobalInputTest, HeldShortcutRepeatsAsAutorepeatAndItsKeyUpIsReported)
{
    filter.consume = {altTab};
    input.setShortcuts({altTab});
    QSignalSpy released(&input, &GlobalInput::keyReleased);
    ASSERT_TRUE(xdotool(QStringLiteral("keydown alt+Tab")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return fired(altTab) == 1; }, 5000));
    // Held past the keyboard's repeat delay: whatever repeats come are marked as such.
    QTest::qWait(900);
    EXPECT_EQ(fired(altTab), 1) << filter.seen.size() << " key-downs seen";
    ASSERT_TRUE(xdotool(QStringLiteral("keyup alt+Tab")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !released.isEmpty(); }, 5000));
    EXPECT_EQ(released.first().first().toInt(), tabKey);
}

// A combination of which another client holds one lock state is refused whole: the lock states we
// got are given back, so the key reaches the focused window, as a released combination does.
TEST_F(X11GlobalInputTest, CombinationsHeldElsewhereOrReleasedReachTheFocusedWindow)
{
    // Another client takes Alt+C with Caps Lock on.
    auto other = std::make_unique<X11Session>();
    const xcb_void_cookie_t grab =
        xcb_grab_key_checked(other->xcb(), 1, other->root(), XCB_MOD_MASK_1 | XCB_MOD_MASK_LOCK,
                             xkbKeycodeForKeyCode(cKey), XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    ASSERT_EQ(xcb_request_check(other->xcb(), grab), nullptr);
    filter.consume = {altTab, altC};
    EXPECT_EQ(input.setShortcuts({altC, altTab}), QList<KeyCombination>{altC});
    startRecordingTerminal();
    for (const char *keys : {"alt+c", "alt+Tab"})
        ASSERT_TRUE(xdotool(QStringLiteral("key ") + QLatin1String(keys)));
    settleTerminal();
    ASSERT_TRUE(QTest::qWaitFor([&] { return fired(altTab) == 1; }, 5000));
    EXPECT_EQ(fired(altC), 0);
    const QByteArray altCTyped = typedBesidesSettling();
    EXPECT_NE(altCTyped, QByteArray()) << "Alt+C was kept from the focused window";

    input.setShortcuts({});
    ASSERT_TRUE(xdotool(QStringLiteral("key alt+Tab")));
    settleTerminal();
    EXPECT_EQ(fired(altTab), 1);
    EXPECT_NE(typedBesidesSettling(), altCTyped) << "a released Alt+Tab was kept from the focused window";

    // Once the other client is gone, asking again gets the combination.
    other.reset();
    EXPECT_TRUE(QTest::qWaitFor([&] { return input.setShortcuts({altC, altTab}).isEmpty(); }, 5000));
}

// A surface that asked for the keyboard before the tap was there (or while it was set up again)
// used to get it only when its window mapped anew, so the keys went to the window behind it.
TEST_F(X11GlobalInputTest, KeyboardAskedForBeforeTheTapIsTakenWhenTheTapComes)
{
    const X11Session session;
    xcb_connection_t *other = session.xcb();
    const xcb_window_t surface = X11Clients::createWindow(other, session.root(), QRect(0, 0, 100, 100), true);
    xcb_map_window(other, surface);
    std::free(xcb_get_input_focus_reply(other, xcb_get_input_focus(other), nullptr)); // mapped by now
    {
        X11GlobalInput later;
        later.holdKeyboard(surface);
        ASSERT_TRUE(later.createTap());
        // What the server says: the keyboard is taken.
        auto *grab = xcb_grab_keyboard_reply(
            other, xcb_grab_keyboard(other, 0, session.root(), XCB_CURRENT_TIME, 1, 1), nullptr);
        EXPECT_EQ(grab->status, XCB_GRAB_STATUS_ALREADY_GRABBED);
        std::free(grab);
    }
}

// A window manager that starts anew frames the windows again: the holder goes off screen (the
// server ends its grab), then maps inside a frame that is not on screen yet, so the grab asked for
// at its map is refused. It used to be asked for only then, never again, and the surface showed
// without the keyboard. Here the test plays the new manager's part with a frame of its own.
TEST_F(X11GlobalInputTest, AHolderMappedAgainInsideAFrameNotYetShownHoldsTheKeyboardOnceTheFrameShows)
{
    const X11Session session;
    xcb_connection_t *other = session.xcb();
    const xcb_window_t frame = X11Clients::createWindow(other, session.root(), QRect(0, 0, 200, 200), true);
    const xcb_window_t surface = X11Clients::createWindow(other, frame, QRect(0, 0, 100, 100));
    xcb_map_window(other, surface);
    xcb_map_window(other, frame);
    std::free(xcb_get_input_focus_reply(other, xcb_get_input_focus(other), nullptr)); // mapped by now
    input.holdKeyboard(surface);
    ASSERT_TRUE(QTest::qWaitFor([&] { return input.keyboardHolder() == surface; }, 5000));

    xcb_unmap_window(other, surface); // the old manager is gone: the grab ends with the view
    xcb_unmap_window(other, frame);
    xcb_map_window(other, surface); // framed anew, the frame still to be shown
    std::free(xcb_get_input_focus_reply(other, xcb_get_input_focus(other), nullptr));
    ASSERT_TRUE(QTest::qWaitFor([&] { return input.keyboardHolder() == 0; }, 5000));
    QTest::qWait(200); // the reader has heard of the map and asked for the grab, in vain
    xcb_map_window(other, frame);
    std::free(xcb_get_input_focus_reply(other, xcb_get_input_focus(other), nullptr));
    EXPECT_TRUE(QTest::qWaitFor([&] { return input.keyboardHolder() == surface; }, 2000))
        << "the surface on screen again never held the keyboard again";
    input.releaseKeyboard();
}

// Every named key of the table sits where the server's US map puts that key, so a hotkey grabs
// the key its name says.
TEST_F(X11GlobalInputTest, EveryKeyOfTheTableIsWhereTheUSMapPutsIt)
{
    ASSERT_EQ(QProcess::execute(QStringLiteral("setxkbmap"), {QStringLiteral("us")}), 0);
    const QHash<QString, xcb_keysym_t> named{
        {"Return", 0xff0d}, {"Tab", 0xff09},       {"Space", ' '},      {"Backspace", 0xff08},
        {"Esc", 0xff1b},    {"Home", 0xff50},      {"Page Up", 0xff55}, {"Delete", 0xffff},
        {"End", 0xff57},    {"Page Down", 0xff56}, {"Left", 0xff51},    {"Up", 0xff52},
        {"Right", 0xff53},  {"Down", 0xff54},      {"key 10", '<'}, // the extra key beside left Shift
    };
    const X11Session session;
    xcb_key_symbols_t *map = xcb_key_symbols_alloc(session.xcb());
    int rows = 0;
    for (int key = 0; key < 128; ++key) {
        const quint32 keycode = xkbKeycodeForKeyCode(key);
        if (keycode == 0)
            continue;
        ++rows;
        const QString name = describeKeyCombination({key, 0});
        xcb_keysym_t wanted = name.size() == 1 ? name.toLower().at(0).unicode() : named.value(name);
        if (name.startsWith(u'F') && name.size() > 1)
            wanted = 0xffbd + name.mid(1).toUInt(); // F1 is 0xffbe
        EXPECT_EQ(xcb_key_symbols_get_keysym(map, xcb_keycode_t(keycode), 0), wanted) << qPrintable(name);
    }
    EXPECT_EQ(rows, 74);
    xcb_key_symbols_free(map);
}

TEST_F(X11GlobalInputTest, WheelTicksArriveWithTheirDirectionAndThePointer)
{
    QSignalSpy wheel(&input, &GlobalInput::wheelScrolled);
    ASSERT_TRUE(xdotool(QStringLiteral("mousemove 300 880 click 4 click 5")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return wheel.count() == 2; }, 5000));
    EXPECT_EQ(wheel.at(0).at(0).toInt(), 1);
    EXPECT_EQ(wheel.at(1).at(0).toInt(), -1);
    EXPECT_EQ(wheel.at(0).at(2).toPointF(), QPointF(300, 880));
}
