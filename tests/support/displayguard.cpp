// Runs one x11 test program and checks that it gave the display back as it found it: the keyboard
// map, the modifier map, the modifier and group locks, no key or button left down, the same input
// focus and no client window of its left behind. The x11 programs share one display one after
// another, so one that leaves Mod3 locked or a key down breaks every program after it, each in a
// way that points away from the culprit. What differs is named, the program fails for it, and what
// can be put back is, so the programs after it start on the display they expect.
//
// qv_displayguard PROGRAM [ARGUMENTS...]; its exit status is the program's, or 1 when only the
// check failed.

#include <xcb/xcb.h>
#include <xcb/xtest.h>
// xkb.h names a member `explicit`, which C++ cannot parse.
#define explicit xkb_explicit
#include <xcb/xkb.h>
#undef explicit

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

pid_t g_child = 0;
const char *g_program = "";

void forward(int signal)
{
    if (g_child > 0)
        kill(g_child, signal);
}

struct DisplayState
{
    std::vector<xcb_keysym_t> keysyms; // per key code from the first, keysymsPerKey each
    int keysymsPerKey = 0;
    std::vector<xcb_keycode_t> modifierKeys; // 8 modifiers, keysPerModifier each
    int keysPerModifier = 0;
    uint8_t lockedModifiers = 0;
    uint8_t latchedModifiers = 0;
    uint8_t lockedGroup = 0;
    std::vector<uint8_t> keysDown; // the server's 256-bit key vector
    uint16_t buttonsDown = 0;
    xcb_window_t focus = XCB_WINDOW_NONE;
    std::set<xcb_window_t> clients;
};

template <typename T> struct Reply
{
    T *p;
    explicit Reply(T *reply) : p(reply) {}
    ~Reply() { std::free(p); }
    Reply(const Reply &) = delete;
    Reply &operator=(const Reply &) = delete;
    T *operator->() const { return p; }
    explicit operator bool() const { return p != nullptr; }
};

xcb_atom_t atom(xcb_connection_t *c, const char *name)
{
    Reply r(xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, uint16_t(std::strlen(name)), name), nullptr));
    return r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
}

bool exists(xcb_connection_t *c, xcb_window_t window)
{
    return Reply(xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr)).p !=
           nullptr;
}

bool read(xcb_connection_t *c, xcb_window_t root, DisplayState &s)
{
    const xcb_setup_t *setup = xcb_get_setup(c);
    const int count = setup->max_keycode - setup->min_keycode + 1;
    Reply map(xcb_get_keyboard_mapping_reply(
        c, xcb_get_keyboard_mapping(c, setup->min_keycode, uint8_t(count)), nullptr));
    Reply modifiers(xcb_get_modifier_mapping_reply(c, xcb_get_modifier_mapping(c), nullptr));
    Reply state(xcb_xkb_get_state_reply(c, xcb_xkb_get_state(c, XCB_XKB_ID_USE_CORE_KBD), nullptr));
    Reply keys(xcb_query_keymap_reply(c, xcb_query_keymap(c), nullptr));
    Reply pointer(xcb_query_pointer_reply(c, xcb_query_pointer(c, root), nullptr));
    Reply focus(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    const xcb_atom_t clientList = atom(c, "_NET_CLIENT_LIST");
    Reply clients(xcb_get_property_reply(
        c, xcb_get_property(c, 0, root, clientList, XCB_ATOM_WINDOW, 0, 4096), nullptr));
    if (!map || !modifiers || !state || !keys || !pointer || !focus)
        return false;
    s.keysymsPerKey = map->keysyms_per_keycode;
    const xcb_keysym_t *syms = xcb_get_keyboard_mapping_keysyms(map.p);
    s.keysyms.assign(syms, syms + xcb_get_keyboard_mapping_keysyms_length(map.p));
    s.keysPerModifier = modifiers->keycodes_per_modifier;
    const xcb_keycode_t *codes = xcb_get_modifier_mapping_keycodes(modifiers.p);
    s.modifierKeys.assign(codes, codes + xcb_get_modifier_mapping_keycodes_length(modifiers.p));
    s.lockedModifiers = state->lockedMods;
    s.latchedModifiers = state->latchedMods;
    s.lockedGroup = state->lockedGroup;
    s.keysDown.assign(keys->keys, keys->keys + 32);
    s.buttonsDown = pointer->mask & 0x1f00;
    s.focus = focus->focus;
    s.clients.clear();
    if (clients && clients->format == 32) {
        const auto *windows = static_cast<const xcb_window_t *>(xcb_get_property_value(clients.p));
        s.clients.insert(windows, windows + xcb_get_property_value_length(clients.p) / 4);
    }
    return true;
}

// Names one thing the program left changed.
void tell(bool &differs, const char *format, ...) __attribute__((format(printf, 2, 3)));
void tell(bool &differs, const char *format, ...)
{
    std::fprintf(stderr, "display guard: %s did not give the display back as it found it: ", g_program);
    va_list arguments;
    va_start(arguments, format);
    std::vfprintf(stderr, format, arguments);
    va_end(arguments);
    std::fprintf(stderr, "\n");
    differs = true;
}

std::vector<int> pressed(const std::vector<uint8_t> &keys)
{
    std::vector<int> codes;
    for (int code = 0; code < 256; ++code) {
        if (keys[size_t(code / 8)] & (1 << (code % 8)))
            codes.push_back(code);
    }
    return codes;
}

// Names what differs and puts back what can be; whether anything differed.
bool compareAndRestore(xcb_connection_t *c, xcb_window_t root, const DisplayState &before,
                       const DisplayState &after)
{
    bool differs = false;
    // Keys and buttons first: the server refuses a new modifier map while a modifier key is down.
    for (int code : pressed(after.keysDown)) {
        if (!(before.keysDown[size_t(code / 8)] & (1 << (code % 8)))) {
            tell(differs, "key code %d left pressed", code);
            xcb_test_fake_input(c, XCB_KEY_RELEASE, uint8_t(code), XCB_CURRENT_TIME, root, 0, 0, 0);
        }
    }
    for (int button = 1; button <= 5; ++button) {
        const uint16_t bit = uint16_t(0x80 << button);
        if ((after.buttonsDown & bit) && !(before.buttonsDown & bit)) {
            tell(differs, "pointer button %d left pressed", button);
            xcb_test_fake_input(c, XCB_BUTTON_RELEASE, uint8_t(button), XCB_CURRENT_TIME, root, 0, 0, 0);
        }
    }
    if (after.keysyms != before.keysyms || after.keysymsPerKey != before.keysymsPerKey) {
        tell(differs, "the keyboard map changed");
        const xcb_setup_t *setup = xcb_get_setup(c);
        const int count = int(before.keysyms.size()) / std::max(1, before.keysymsPerKey);
        xcb_change_keyboard_mapping(c, uint8_t(count), setup->min_keycode, uint8_t(before.keysymsPerKey),
                                    before.keysyms.data());
    }
    if (after.modifierKeys != before.modifierKeys) {
        for (int modifier = 0; modifier < 8; ++modifier) {
            for (int i = 0; i < before.keysPerModifier || i < after.keysPerModifier; ++i) {
                const auto at = [&](const DisplayState &s) {
                    return i < s.keysPerModifier
                               ? int(s.modifierKeys[size_t(modifier * s.keysPerModifier + i)])
                               : 0;
                };
                if (at(before) != at(after)) {
                    tell(differs, "the modifier map changed: modifier %d held key %d, now key %d", modifier,
                         at(before), at(after));
                }
            }
        }
        Reply set(xcb_set_modifier_mapping_reply(
            c, xcb_set_modifier_mapping(c, uint8_t(before.keysPerModifier), before.modifierKeys.data()),
            nullptr));
    }
    if (after.lockedModifiers != before.lockedModifiers || after.lockedGroup != before.lockedGroup ||
        after.latchedModifiers != before.latchedModifiers) {
        tell(differs,
             "modifier locks 0x%x became 0x%x, latches 0x%x became 0x%x, the locked group %d became %d",
             before.lockedModifiers, after.lockedModifiers, before.latchedModifiers, after.latchedModifiers,
             before.lockedGroup, after.lockedGroup);
        // (xcb's request carries no latched modifiers to set: the latches are only named.)
        xcb_xkb_latch_lock_state(c, XCB_XKB_ID_USE_CORE_KBD, 0xff, before.lockedModifiers, 1,
                                 before.lockedGroup, 0, 0, 0);
    }
    for (xcb_window_t window : after.clients) {
        if (!before.clients.count(window))
            tell(differs, "client window 0x%x left open", window);
    }
    // Focus that went to a window of the program's own returns to where it was when that window
    // goes; one still on a window that did not exist before is a window left focused.
    if (after.focus != before.focus && after.clients.count(after.focus) && !before.clients.count(after.focus))
        tell(differs, "the focus was left on 0x%x, where 0x%x had it", after.focus, before.focus);
    xcb_flush(c);
    xcb_discard_reply(c, xcb_get_input_focus(c).sequence);
    return differs;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: qv_displayguard PROGRAM [ARGUMENTS...]\n");
        return 2;
    }
    g_program = argv[1];
    xcb_connection_t *c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "display guard: no display to check\n");
        return 1;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    Reply xkb(xcb_xkb_use_extension_reply(c, xcb_xkb_use_extension(c, 1, 0), nullptr));
    DisplayState before;
    if (!xkb || !xkb->supported || !read(c, root, before)) {
        std::fprintf(stderr, "display guard: the display's keyboard state cannot be read\n");
        return 1;
    }

    // The program has connections of its own; the guard's is not handed down.
    fcntl(xcb_get_file_descriptor(c), F_SETFD, FD_CLOEXEC);
    g_child = fork();
    if (g_child == 0) {
        execvp(argv[1], argv + 1);
        std::perror(argv[1]);
        _exit(127);
    }
    // A stop request for the guard (ctest's time-out, Ctrl+C) is one for the program.
    signal(SIGINT, forward);
    signal(SIGTERM, forward);
    signal(SIGHUP, forward);
    int status = 0;
    while (waitpid(g_child, &status, 0) < 0) {
    }
    int result = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);

    // The program's windows go with its connection, and those of the programs it started go as
    // those end, but the window manager lists them a moment longer: only a window still there
    // after a while was left open.
    DisplayState after;
    bool readable = false;
    for (int waited = 0; waited < 200; ++waited) {
        readable = read(c, root, after);
        if (!readable || std::none_of(after.clients.begin(), after.clients.end(), [&](xcb_window_t w) {
                return !before.clients.count(w) && exists(c, w);
            }))
            break;
        usleep(50 * 1000);
    }
    for (auto i = after.clients.begin(); i != after.clients.end();)
        i = exists(c, *i) ? std::next(i) : after.clients.erase(i);
    if (!readable) {
        std::fprintf(stderr,
                     "display guard: the display's keyboard state cannot be read after the program\n");
        result = result ? result : 1;
    } else if (compareAndRestore(c, root, before, after)) {
        result = result ? result : 1;
    }
    xcb_disconnect(c);
    return result;
}
