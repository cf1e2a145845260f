#include "platform/x11/x11globalinput.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QEvent>
#include <QLoggingCategory>
#include <QTimer>

#include <X11/keysym.h>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <sys/socket.h>
#include <thread>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <xcb/xfixes.h>
#include <xcb/xinput.h>

// xkb.h names a member `explicit`, which C++ cannot parse.
#define explicit xkb_explicit
#include <xcb/xkb.h>
#undef explicit

namespace qv {

Q_LOGGING_CATEGORY(lcGlobalInput, "quorvantis.x11.input")

namespace {

constexpr int dragSampleIntervalMs = 30;
constexpr int grabRetryIntervalMs = 50;
constexpr int maxFocusRetakes = 32;
constexpr qsizetype maxWaitingKeys = 256;
// How long the keyboard may stay stopped at a key while the main thread decides what it does: at
// most a second, and less than the keyboard's repeat delay. The server sees a key's release only
// when it lets the keyboard go on, so a key stopped at longer than that repeats, and its repeats
// (a second Return, say) would reach the window the keys go to.
constexpr std::chrono::milliseconds longestFrozenLimit{1000};
constexpr std::chrono::milliseconds repeatMargin{100};
constexpr std::chrono::milliseconds shortestFrozenLimit{50};
// How long keys typed after a shortcut are kept for a surface the main thread has not asked for yet
// (its first build may take a while on a loaded machine); then they are dropped, the keyboard freed.
constexpr std::chrono::milliseconds keptClaimLimit{5000};
// While the keyboard waits for a chosen window to come on screen, how often it is looked at.
constexpr std::chrono::milliseconds handingPollInterval{10};
// Of an event's state, the modifier bits a key grab names (not the pointer buttons).
constexpr quint16 grabModifierBits = 0xff;

quint64 nanoseconds(xcb_timestamp_t milliseconds)
{
    return quint64(milliseconds) * 1'000'000;
}

} // namespace

struct X11GlobalInput::Connection
{
    xcb_connection_t *xcb = nullptr;
    xcb_window_t root = XCB_WINDOW_NONE;
    xcb_key_symbols_t *keysyms = nullptr;
    // Reads every event of the connection (see the class comment); keeps the keyboard from staying
    // stopped, or kept for a surface that never comes, too long.
    std::thread reader;
    std::thread keyboardWatch;
    std::atomic<bool> stopping = false;
    QTimer dragSampler;
    xcb_atom_t xdndSelection = XCB_ATOM_NONE;
    int xkbFirstEvent = -1;
    int xfixesFirstEvent = -1;
    int xinputOpcode = -1;
    bool rawKeys = false;
    // Modifier masks of this keyboard map; 0 when the map has no such modifier.
    quint16 altMask = 0;
    quint16 superMask = 0;
    quint16 numLockMask = 0;
    quint16 scrollLockMask = 0;

    // The threads are stopped first (X11GlobalInput::stopThreads).
    ~Connection()
    {
        if (keysyms)
            xcb_key_symbols_free(keysyms);
        if (xcb)
            xcb_disconnect(xcb);
    }

    bool broken() const { return !xcb || xcb_connection_has_error(xcb); }

    // Pointer in root coordinates and the button/modifier state; none when the server does not answer.
    std::optional<std::pair<QPointF, quint16>> queryPointer() const
    {
        xcb_query_pointer_reply_t *reply =
            xcb_query_pointer_reply(xcb, xcb_query_pointer(xcb, root), nullptr);
        if (!reply)
            return std::nullopt;
        const std::pair<QPointF, quint16> result{QPointF(reply->root_x, reply->root_y), reply->mask};
        std::free(reply);
        return result;
    }
};

// The keyboard's state as the reader thread and the main thread share it: every member is read and
// written with `mutex` held, and each step that sends requests flushes them before letting go.
struct X11GlobalInput::Hold
{
    std::mutex mutex;
    xcb_window_t root = XCB_WINDOW_NONE;
    int xinputOpcode = -1;
    bool rawKeys = false;
    // The passive grabs of the shortcuts: (X key code, modifiers); those whose press opens a
    // surface that takes the keys.
    QList<QPair<quint8, quint16>> shortcuts;
    QList<QPair<quint8, quint16>> openers;
    // The X key codes of Return and Enter, and of Esc.
    QList<quint8> returnKeys;
    QList<quint8> escapeKeys;
    // The window that holds the keyboard, 0 when none; whether its grab is in force.
    xcb_window_t holder = XCB_WINDOW_NONE;
    bool grabbed = false;
    // An active grab of ours (on the root window, or on an earlier holder) keeps the keys for a
    // holder still to take them, here in `waiting`; `unclaimed` from a shortcut's press until the
    // main thread asks for a holder.
    bool kept = false;
    bool unclaimed = false;
    std::chrono::steady_clock::time_point keptAt;
    // The keyboard is stopped at a key that may end the showing, until the main thread has handled
    // it (or handed the keyboard to a window that is not on screen yet: `handingTo`).
    bool frozen = false;
    std::chrono::steady_clock::time_point frozenAt;
    std::chrono::milliseconds frozenLimit = longestFrozenLimit;
    xcb_window_t handingTo = XCB_WINDOW_NONE;
    // The window that had the input focus at the shortcut's press (or when a hold began without
    // one): where the keys go back to when nobody decides in time.
    xcb_window_t focusAtShortcut = XCB_WINDOW_NONE;
    // Key events the server sent before the reader made the shortcut's grab last came under no
    // synchronous grab of ours (the shortcut's own stops the keyboard at its press only), so letting
    // the next come after each would let keys through unread, past one that may end the showing. The first
    // key after the grab may come once the reader has read every event sent before it; the events
    // sent before are those the server sent before it took the grab request, numbered `stoppedAt`.
    bool owesNext = false;
    std::optional<quint32> stoppedAt;
    // Wakes the watch over the frozen keyboard and the hold nobody has claimed yet.
    std::condition_variable changed;
    bool stopping = false;
    // Key events (press or release, as the server sent them) held back until the holder has its grab.
    QList<QByteArray> waiting;
    // Key presses given to the main thread since the hold began (sent on to the holder, or a
    // shortcut's handed to the filter), and how many of them it had handled when it published the
    // choice it holds now; whether it is still deciding what the last of them does.
    quint64 sent = 0;
    quint64 handledAtChoice = ~quint64(0);
    // Counts holds: one begins at a shortcut's press and at a holder asked for with nothing held.
    // The main thread ends only the one it holds: after the reader handed the keyboard over at
    // Esc, a shortcut pressed right after has begun another before the main thread hears of Esc.
    quint64 epoch = 0;
    bool deciding = false;
    xcb_window_t returnWindow = XCB_WINDOW_NONE;
    xcb_window_t escapeWindow = XCB_WINDOW_NONE;
    int focusRetakes = 0;
    // Key-down events delivered since each key went physically down (raw press); more than one
    // means the keyboard is repeating it.
    QHash<quint8, int> pressesSinceDown;

    enum class Grab { granted, refused, gone };

    static bool isPress(const void *event)
    {
        return (static_cast<const xcb_generic_event_t *>(event)->response_type & ~0x80) == XCB_KEY_PRESS;
    }

    bool holding() const { return grabbed || kept; }

    // Sends a key event that came to us on to `target` as one of its own.
    static void send(xcb_connection_t *x, const void *raw, xcb_window_t target)
    {
        // Press and release share one layout.
        xcb_key_press_event_t event = *static_cast<const xcb_key_press_event_t *>(raw);
        event.response_type &= ~0x80;
        event.event = target;
        event.child = XCB_WINDOW_NONE;
        event.same_screen = 1;
        const uint32_t mask =
            event.response_type == XCB_KEY_PRESS ? XCB_EVENT_MASK_KEY_PRESS : XCB_EVENT_MASK_KEY_RELEASE;
        xcb_send_event(x, 0, target, mask, reinterpret_cast<const char *>(&event));
    }

    void sendToHolder(xcb_connection_t *x, const void *event)
    {
        send(x, event, holder);
        if (isPress(event))
            ++sent;
    }

    // A key event while the keyboard is held or kept: to the holder once it has its grab, else kept.
    void deliver(xcb_connection_t *x, const void *event)
    {
        if (holder != XCB_WINDOW_NONE && grabbed)
            sendToHolder(x, event);
        else if (waiting.size() < maxWaitingKeys)
            waiting.append(QByteArray(static_cast<const char *>(event), qsizetype(sizeof(xcb_key_press_event_t))));
    }

    // The server stops the keyboard after each key it gives a synchronous grab; the next may come,
    // unless the one read last may end the showing and the main thread has not handled it yet.
    void allowNext(xcb_connection_t *x)
    {
        if (!holding() || frozen)
            return;
        xcb_allow_events(x, XCB_ALLOW_SYNC_KEYBOARD, XCB_CURRENT_TIME);
        owesNext = false;
    }

    // After a key event: the next may come, unless it came before the keyboard was stopped.
    void allowAfterKey(xcb_connection_t *x, const void *event)
    {
        if (stoppedAt) {
            // The sequence number of our last request the server had taken when it sent the event.
            if (qint32(static_cast<const xcb_generic_event_t *>(event)->full_sequence - *stoppedAt) < 0)
                return;
            stoppedAt.reset(); // the events come in order: none of those before is left
        }
        if (!owesNext)
            allowNext(x);
    }

    void freeze()
    {
        frozen = true;
        frozenAt = std::chrono::steady_clock::now();
        changed.notify_all();
    }

    // Called whenever the main thread publishes: once it has handled every key sent on (the one
    // the keyboard stopped at included) and the surface stays, the next key may come.
    void thawWhenHandled(xcb_connection_t *x)
    {
        if (!frozen || !grabbed || handingTo != XCB_WINDOW_NONE || deciding || !waiting.isEmpty() ||
            handledAtChoice != sent)
            return;
        frozen = false;
        allowNext(x);
        xcb_flush(x);
    }

    bool mayEndShowing(quint8 code) const { return returnKeys.contains(code) || escapeKeys.contains(code); }

    void watch(xcb_connection_t *x, xcb_window_t window, bool on) const
    {
        // Our own selection on the holder: its map state and who has the focus.
        const uint32_t mask = on ? XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_FOCUS_CHANGE : 0;
        xcb_change_window_attributes(x, window, XCB_CW_EVENT_MASK, &mask);
    }

    Grab take(xcb_connection_t *x)
    {
        xcb_grab_keyboard_reply_t *reply = xcb_grab_keyboard_reply(
            x, xcb_grab_keyboard(x, 0, holder, XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_SYNC),
            nullptr);
        const Grab result = !reply ? Grab::gone // the window no longer exists
                            : reply->status == XCB_GRAB_STATUS_SUCCESS ? Grab::granted
                                                                        : Grab::refused;
        std::free(reply);
        if (result != Grab::granted)
            return result;
        grabbed = true;
        kept = unclaimed = false;
        xcb_set_input_focus(x, XCB_INPUT_FOCUS_PARENT, holder, XCB_CURRENT_TIME);
        // Typed since the shortcut, before the holder could take them.
        for (const QByteArray &key : std::as_const(waiting))
            sendToHolder(x, key.constData());
        waiting.clear();
        // Stopped at a key among them: the next comes once the holder has handled it.
        if (frozen)
            thawWhenHandled(x);
        else
            allowNext(x);
        xcb_flush(x);
        return result;
    }

    // Turns the shortcut's passive grab, active while its key is down, into one that lasts; at the
    // key's press time, a release that came meanwhile does not stand in the way.
    bool keep(xcb_connection_t *x, xcb_timestamp_t time)
    {
        xcb_grab_keyboard_cookie_t request =
            xcb_grab_keyboard(x, 0, root, time, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_SYNC);
        xcb_grab_keyboard_reply_t *reply = xcb_grab_keyboard_reply(x, request, nullptr);
        // Its key went up and the shortcut was pressed again before we got here: that press's grab
        // is later than this one's time, and the keys after this press are still to be kept.
        if (reply && reply->status == XCB_GRAB_STATUS_INVALID_TIME) {
            std::free(reply);
            request =
                xcb_grab_keyboard(x, 0, root, XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_SYNC);
            reply = xcb_grab_keyboard_reply(x, request, nullptr);
        }
        kept = unclaimed = reply && reply->status == XCB_GRAB_STATUS_SUCCESS;
        std::free(reply);
        if (!kept)
            return false;
        // Stopped from here on; every key event the reader has not read yet came before.
        owesNext = true;
        stoppedAt = request.sequence;
        rememberFocus(x);
        // A new count begins with the shortcut that starts it.
        ++epoch;
        sent = 0;
        handledAtChoice = ~quint64(0);
        deciding = false;
        keptAt = std::chrono::steady_clock::now();
        changed.notify_all();
        return true;
    }

    void rememberFocus(xcb_connection_t *x)
    {
        xcb_get_input_focus_reply_t *focus = xcb_get_input_focus_reply(x, xcb_get_input_focus(x), nullptr);
        focusAtShortcut = focus && focus->focus != root ? focus->focus : xcb_window_t(XCB_WINDOW_NONE);
        std::free(focus);
    }

    static bool viewable(xcb_connection_t *x, xcb_window_t window)
    {
        xcb_get_window_attributes_reply_t *reply =
            xcb_get_window_attributes_reply(x, xcb_get_window_attributes(x, window), nullptr);
        const bool result = reply && reply->map_state == XCB_MAP_STATE_VIEWABLE;
        std::free(reply);
        return result;
    }

    // Ends the hold; the focus goes to `focus` first when it can take it, so the keys the server
    // holds go there, in order. A window not on screen yet (its desktop still to be shown) is waited
    // for with the keyboard stopped, within the watch's bound.
    void letGo(xcb_connection_t *x, xcb_window_t focus)
    {
        if (!holding() && holder == XCB_WINDOW_NONE && handingTo == XCB_WINDOW_NONE)
            return;
        if (focus != XCB_WINDOW_NONE && holding() && !viewable(x, focus) && waitFor(x, focus))
            return;
        if (focus != XCB_WINDOW_NONE && viewable(x, focus))
            xcb_set_input_focus(x, XCB_INPUT_FOCUS_PARENT, focus, XCB_CURRENT_TIME);
        if (holding())
            xcb_ungrab_keyboard(x, XCB_CURRENT_TIME);
        if (holder != XCB_WINDOW_NONE)
            watch(x, holder, false);
        holder = XCB_WINDOW_NONE;
        handingTo = XCB_WINDOW_NONE;
        grabbed = kept = unclaimed = frozen = deciding = false;
        owesNext = false;
        stoppedAt.reset();
        waiting.clear();
        focusRetakes = 0;
        xcb_flush(x);
    }

    // Keeps the keyboard stopped, on a grab of the root window that outlasts the holder's unmap,
    // until `window` is on screen; false when the server refuses.
    bool waitFor(xcb_connection_t *x, xcb_window_t window)
    {
        xcb_grab_keyboard_reply_t *reply = xcb_grab_keyboard_reply(
            x, xcb_grab_keyboard(x, 0, root, XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_SYNC), nullptr);
        const bool ok = reply && reply->status == XCB_GRAB_STATUS_SUCCESS;
        std::free(reply);
        if (!ok)
            return false;
        if (holder != XCB_WINDOW_NONE)
            watch(x, holder, false);
        holder = XCB_WINDOW_NONE;
        grabbed = unclaimed = false;
        kept = true;
        if (!frozen)
            freeze();
        handingTo = window;
        changed.notify_all();
        xcb_flush(x);
        return true;
    }

    // The keyboard has been stopped too long, or a surface never claimed it: the keys go to the
    // window we were handing them to, else to the one that had them at the shortcut.
    void giveUp(xcb_connection_t *x)
    {
        const xcb_window_t target = handingTo != XCB_WINDOW_NONE && viewable(x, handingTo) ? handingTo
                                                                                          : focusAtShortcut;
        handingTo = XCB_WINDOW_NONE;
        if (!waiting.isEmpty())
            qCWarning(lcGlobalInput) << "⚠️ No surface took the keys typed after a shortcut:" << waiting.size()
                                     << "key events dropped";
        letGo(x, target != XCB_WINDOW_NONE && viewable(x, target) ? target : xcb_window_t(XCB_WINDOW_NONE));
    }

    // Return, Enter or Esc, pressed while the keyboard is stopped at it: when the holder has handled
    // every key before and named a window for this key, the key goes to the holder and the keyboard
    // to that window, before the server reads another key.
    bool handOff(xcb_connection_t *x, const xcb_key_press_event_t *press)
    {
        if (!grabbed || !waiting.isEmpty() || handledAtChoice != sent || deciding)
            return false;
        const xcb_window_t target = returnKeys.contains(press->detail)   ? returnWindow
                                    : escapeKeys.contains(press->detail) ? escapeWindow
                                                                         : xcb_window_t(XCB_WINDOW_NONE);
        if (target == XCB_WINDOW_NONE || !viewable(x, target))
            return false;
        sendToHolder(x, press);
        letGo(x, target);
        return true;
    }
};

X11GlobalInput::X11GlobalInput() : m_hold(std::make_unique<Hold>()), m_grabRetry(new QTimer(this))
{
    m_grabRetry->setInterval(grabRetryIntervalMs);
    connect(m_grabRetry, &QTimer::timeout, this, &X11GlobalInput::takeKeyboard);
}

X11GlobalInput::~X11GlobalInput()
{
    if (m_connection && !m_connection->broken()) {
        releaseKeyboard();
        ungrabAll();
        xcb_flush(m_connection->xcb);
    }
    // The threads use the hold, which goes before the connection.
    if (m_connection)
        stopThreads(*m_connection);
}

void X11GlobalInput::stopThreads(Connection &c)
{
    c.stopping = true;
    {
        const std::lock_guard lock(m_hold->mutex);
        m_hold->stopping = true;
        m_hold->changed.notify_all();
    }
    if (c.keyboardWatch.joinable())
        c.keyboardWatch.join();
    if (c.reader.joinable()) {
        // Wakes the reader out of its wait: the connection reads as broken from now on.
        ::shutdown(xcb_get_file_descriptor(c.xcb), SHUT_RDWR);
        c.reader.join();
    }
    const std::lock_guard lock(m_hold->mutex);
    m_hold->stopping = false;
}

void X11GlobalInput::watchKeyboard(xcb_connection_t *x)
{
    Hold &h = *m_hold;
    std::unique_lock lock(h.mutex);
    while (!h.stopping) {
        const auto now = std::chrono::steady_clock::now();
        if (h.frozen && h.holding() && now >= h.frozenAt + h.frozenLimit) {
            qCWarning(lcGlobalInput)
                << "⚠️ The keyboard waited" << h.frozenLimit.count()
                << "ms for the program to decide; it goes back to the window that had it";
            h.giveUp(x);
        } else if (h.unclaimed && h.holder == XCB_WINDOW_NONE && now >= h.keptAt + keptClaimLimit) {
            h.giveUp(x);
        } else if (h.handingTo != XCB_WINDOW_NONE && Hold::viewable(x, h.handingTo)) {
            // Its desktop shows: the keys held meanwhile go to it.
            h.letGo(x, h.handingTo);
        } else if (h.handingTo != XCB_WINDOW_NONE) {
            // Nothing tells us when a window on another desktop comes on screen.
            h.changed.wait_for(lock, handingPollInterval);
        } else if (h.frozen && h.holding()) {
            h.changed.wait_until(lock, h.frozenAt + h.frozenLimit);
        } else if (h.unclaimed) {
            h.changed.wait_until(lock, h.keptAt + keptClaimLimit);
        } else {
            h.changed.wait(lock);
        }
    }
}

bool X11GlobalInput::hasTap() const
{
    return m_connection && !m_connection->broken();
}

bool X11GlobalInput::createTap()
{
    if (hasTap())
        return true;
    m_connection.reset();
    m_grabs.clear();
    m_grabbedKeys.clear();
    m_plan.clear();
    m_pressesSinceDown.clear();
    m_dragging = false;
    ++m_generation;

    auto c = std::make_unique<Connection>();
    int screenNumber = 0;
    c->xcb = xcb_connect(nullptr, &screenNumber);
    if (c->broken())
        return false;
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c->xcb));
    for (int i = 0; i < screenNumber && it.rem; ++i)
        xcb_screen_next(&it);
    if (!it.rem)
        return false;
    c->root = it.data->root;
    xcb_connection_t *x = c->xcb;

    // Keyboard: XKB for key-ups that tell a held key from a repeated one, and for keymap changes.
    const xcb_query_extension_reply_t *xkbExt = xcb_get_extension_data(x, &xcb_xkb_id);
    xcb_xkb_use_extension_reply_t *xkb =
        xkbExt && xkbExt->present ? xcb_xkb_use_extension_reply(x, xcb_xkb_use_extension(x, 1, 0), nullptr)
                                  : nullptr;
    if (xkb && xkb->supported) {
        c->xkbFirstEvent = xkbExt->first_event;
        xcb_discard_reply(x, xcb_xkb_per_client_flags(x, XCB_XKB_ID_USE_CORE_KBD,
                                                      XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT,
                                                      XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT, 0, 0, 0)
                                 .sequence);
        // A map change is told only for the parts named here: a client that uses XKB hears of a
        // new modifier map (Num Lock or Scroll Lock moved, as xmodmap does) from nowhere else.
        const uint16_t events = XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY | XCB_XKB_EVENT_TYPE_MAP_NOTIFY |
                                XCB_XKB_EVENT_TYPE_CONTROLS_NOTIFY;
        const uint16_t mapParts = XCB_XKB_MAP_PART_KEY_SYMS | XCB_XKB_MAP_PART_MODIFIER_MAP;
        xcb_xkb_select_events(x, XCB_XKB_ID_USE_CORE_KBD, events, 0, events, mapParts, mapParts, nullptr);
    } else {
        qCWarning(lcGlobalInput) << "⚠️ XKB is missing: a held hotkey repeats";
    }
    std::free(xkb);

    // Drags: who owns the XdndSelection.
    const xcb_query_extension_reply_t *fixesExt = xcb_get_extension_data(x, &xcb_xfixes_id);
    if (fixesExt && fixesExt->present) {
        std::free(xcb_xfixes_query_version_reply(x, xcb_xfixes_query_version(x, 5, 0), nullptr));
        static constexpr char selectionName[] = "XdndSelection";
        xcb_intern_atom_reply_t *atom = xcb_intern_atom_reply(
            x, xcb_intern_atom(x, 0, sizeof(selectionName) - 1, selectionName), nullptr);
        if (atom) {
            c->xdndSelection = atom->atom;
            std::free(atom);
            c->xfixesFirstEvent = fixesExt->first_event;
            xcb_xfixes_select_selection_input(x, c->root, c->xdndSelection,
                                              XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER);
        }
    } else {
        qCWarning(lcGlobalInput) << "⚠️ XFixes is missing: file drags to a screen edge are not seen";
    }

    // Wheel, the drag's button and raw keys: XInput 2 raw events, delivered whoever holds a grab.
    const xcb_query_extension_reply_t *inputExt = xcb_get_extension_data(x, &xcb_input_id);
    xcb_input_xi_query_version_reply_t *xi =
        inputExt && inputExt->present
            ? xcb_input_xi_query_version_reply(x, xcb_input_xi_query_version(x, 2, 2), nullptr)
            : nullptr;
    if (xi && xi->major_version >= 2) {
        c->xinputOpcode = inputExt->major_opcode;
        // XInput 2.0 hides raw events from everyone but the grabbing client; from 2.1 on all see them.
        c->rawKeys = xi->minor_version >= 1;
        struct
        {
            xcb_input_event_mask_t head;
            uint32_t mask;
        } selection{{XCB_INPUT_DEVICE_ALL_MASTER, 1},
                    XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_PRESS | XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_RELEASE |
                        (c->rawKeys
                             ? XCB_INPUT_XI_EVENT_MASK_RAW_KEY_PRESS | XCB_INPUT_XI_EVENT_MASK_RAW_KEY_RELEASE
                             : 0u)};
        xcb_input_xi_select_events(x, c->root, 1, &selection.head);
    } else {
        qCWarning(lcGlobalInput)
            << "⚠️ XInput 2 is missing: the wheel over the Dock and file drags are not seen";
    }
    std::free(xi);

    c->dragSampler.setInterval(dragSampleIntervalMs);
    connect(&c->dragSampler, &QTimer::timeout, this, &X11GlobalInput::sampleDrag);
    {
        const std::lock_guard lock(m_hold->mutex);
        m_hold->root = c->root;
        m_hold->xinputOpcode = c->xinputOpcode;
        m_hold->rawKeys = c->rawKeys;
        m_hold->pressesSinceDown.clear();
    }
    m_connection = std::move(c);

    reloadKeymap();
    followRepeatDelay();
    m_refused = grab();
    shareShortcuts();
    {
        const std::lock_guard lock(m_hold->mutex);
        if (m_hold->holder != XCB_WINDOW_NONE)
            m_hold->watch(x, m_hold->holder, true);
    }
    takeKeyboard();
    xcb_flush(x);
    m_connection->reader = std::thread([this, x, generation = m_generation] { readLoop(x, generation); });
    m_connection->keyboardWatch = std::thread([this, x] { watchKeyboard(x); });
    setRefusedShortcuts(m_refused);
    return true;
}

void X11GlobalInput::holdKeyboard(quint64 window)
{
    const auto holder = xcb_window_t(window);
    {
        const std::lock_guard lock(m_hold->mutex);
        Hold &h = *m_hold;
        if (holder != h.holder) {
            if (hasTap() && h.holder != XCB_WINDOW_NONE)
                h.watch(m_connection->xcb, h.holder, false);
            // A hold that goes on from a shortcut's press, or from another holder, keeps its count
            // and its keys; a grab we hold on another window keeps the keys until this one's takes over.
            const bool continues = h.holding() || h.holder != XCB_WINDOW_NONE;
            if (h.grabbed) {
                h.kept = true;
                h.unclaimed = false;
            }
            h.grabbed = false;
            h.holder = holder;
            h.focusRetakes = 0;
            // Opened again while the keyboard waited for a chosen window: this surface has it.
            if (h.handingTo != XCB_WINDOW_NONE) {
                h.handingTo = XCB_WINDOW_NONE;
                h.frozen = false;
            }
            if (!continues) {
                if (hasTap())
                    h.rememberFocus(m_connection->xcb);
                ++h.epoch;
                h.sent = 0;
                h.handledAtChoice = ~quint64(0);
                h.deciding = false;
                m_handledPresses = 0;
                ++m_holdSerial;
            }
            if (hasTap())
                h.watch(m_connection->xcb, holder, true);
        }
        m_holdEpoch = h.epoch;
    }
    if (!m_holding && QCoreApplication::instance())
        QCoreApplication::instance()->installEventFilter(this);
    m_holding = true;
    takeKeyboard();
}

void X11GlobalInput::releaseKeyboard()
{
    handKeyboardTo(0);
}

void X11GlobalInput::handKeyboardTo(quint64 window)
{
    m_grabRetry->stop();
    m_holding = false;
    m_deciding = false;
    const std::lock_guard lock(m_hold->mutex);
    if (m_hold->epoch != m_holdEpoch)
        return; // ours ended already; the keyboard is kept for another surface now
    if (hasTap())
        m_hold->letGo(m_connection->xcb, xcb_window_t(window));
    else
        m_hold->holder = XCB_WINDOW_NONE;
}

quint64 X11GlobalInput::keyboardHolder() const
{
    const std::lock_guard lock(m_hold->mutex);
    return hasTap() && m_hold->grabbed ? m_hold->holder : 0;
}

void X11GlobalInput::setKeyboardChoice(quint64 returnWindow, quint64 escapeWindow, bool deciding)
{
    const auto window = [](quint64 id) { return id <= 0xffffffffu ? quint32(id) : 0u; };
    m_returnChoice = window(returnWindow);
    m_escapeChoice = window(escapeWindow);
    m_deciding = deciding;
    publishKeyboardChoice();
}

void X11GlobalInput::publishKeyboardChoice()
{
    const std::lock_guard lock(m_hold->mutex);
    Hold &h = *m_hold;
    h.returnWindow = m_returnChoice;
    h.escapeWindow = m_escapeChoice;
    h.handledAtChoice = m_handledPresses;
    h.deciding = m_deciding;
    if (hasTap())
        h.thawWhenHandled(m_connection->xcb);
}

void X11GlobalInput::countHandledPress()
{
    // Runs once the press, and whatever it made the holder do, is over: the choice the holder
    // published meanwhile is the one that follows it.
    QMetaObject::invokeMethod(
        this,
        [this, serial = m_holdSerial] {
            if (serial != m_holdSerial)
                return;
            ++m_handledPresses;
            publishKeyboardChoice();
        },
        Qt::QueuedConnection);
}

bool X11GlobalInput::eventFilter(QObject *watched, QEvent *event)
{
    // While the keyboard is held every key press of this process is one sent on to the holder.
    // The window is asked first: events other threads post (to objects, not windows) are not read.
    if (m_holding && watched->isWindowType() && event->type() == QEvent::KeyPress)
        countHandledPress();
    return GlobalInput::eventFilter(watched, event);
}

void X11GlobalInput::takeKeyboard()
{
    if (!hasTap()) {
        m_grabRetry->stop();
        return;
    }
    const std::lock_guard lock(m_hold->mutex);
    if (m_hold->holder == XCB_WINDOW_NONE || m_hold->grabbed || m_hold->take(m_connection->xcb) != Hold::Grab::refused) {
        m_grabRetry->stop();
        return;
    }
    if (!m_grabRetry->isActive())
        m_grabRetry->start();
}

void X11GlobalInput::dropUnclaimedKeyboard(int generation)
{
    if (generation != m_generation || !hasTap())
        return;
    const std::lock_guard lock(m_hold->mutex);
    Hold &h = *m_hold;
    // The shortcut opened nothing after all: the keyboard goes back to the window that had it.
    if (h.unclaimed && h.holder == XCB_WINDOW_NONE)
        h.giveUp(m_connection->xcb);
}

void X11GlobalInput::setKeyTakingShortcuts(const QList<KeyCombination> &combinations)
{
    // Whether a grab stops the keyboard at its press follows this: the combinations grabbed now
    // whose part changes are grabbed again.
    const bool regrab =
        !m_grabs.isEmpty() && std::any_of(m_wanted.cbegin(), m_wanted.cend(), [&](const auto &c) {
            return m_keyTaking.contains(c) != combinations.contains(c);
        });
    m_keyTaking = combinations;
    if (regrab)
        setShortcuts(m_wanted);
    else
        shareShortcuts();
}

void X11GlobalInput::shareShortcuts()
{
    const std::lock_guard lock(m_hold->mutex);
    m_hold->shortcuts.clear();
    m_hold->openers.clear();
    for (const ShortcutGrab &grab : std::as_const(m_grabs)) {
        m_hold->shortcuts.append(grab.key);
        if (m_keyTaking.contains(grab.combination))
            m_hold->openers.append(grab.key);
    }
}

QList<KeyCombination> X11GlobalInput::setShortcuts(const QList<KeyCombination> &combinations)
{
    m_wanted = combinations;
    if (!hasTap())
        return {};
    ungrabAll();
    m_refused = grab();
    shareShortcuts();
    xcb_flush(m_connection->xcb);
    setRefusedShortcuts(m_refused);
    return m_refused;
}

void X11GlobalInput::reloadKeymap()
{
    Connection &c = *m_connection;
    if (c.keysyms)
        xcb_key_symbols_free(c.keysyms);
    c.keysyms = xcb_key_symbols_alloc(c.xcb);
    c.altMask = c.superMask = c.numLockMask = c.scrollLockMask = 0;
    xcb_get_modifier_mapping_reply_t *mapping =
        xcb_get_modifier_mapping_reply(c.xcb, xcb_get_modifier_mapping(c.xcb), nullptr);
    if (!mapping)
        return;
    const xcb_keycode_t *codes = xcb_get_modifier_mapping_keycodes(mapping);
    const int perModifier = mapping->keycodes_per_modifier;
    for (int modifier = 0; modifier < 8; ++modifier) {
        for (int i = 0; i < perModifier; ++i) {
            const xcb_keycode_t code = codes[modifier * perModifier + i];
            if (code == 0)
                continue;
            for (int column = 0; column < 4; ++column) {
                const xcb_keysym_t sym = xcb_key_symbols_get_keysym(c.keysyms, code, column);
                const quint16 mask = quint16(1u << modifier);
                if (sym == XK_Alt_L || sym == XK_Alt_R || sym == XK_Meta_L || sym == XK_Meta_R)
                    c.altMask = c.altMask ? c.altMask : mask;
                else if (sym == XK_Super_L || sym == XK_Super_R)
                    c.superMask = c.superMask ? c.superMask : mask;
                else if (sym == XK_Num_Lock)
                    c.numLockMask = mask;
                else if (sym == XK_Scroll_Lock)
                    c.scrollLockMask = mask;
            }
        }
    }
    std::free(mapping);
    const auto codesOf = [&c](xcb_keysym_t symbol) {
        QList<quint8> list;
        if (xcb_keycode_t *codes = xcb_key_symbols_get_keycode(c.keysyms, symbol)) {
            for (const xcb_keycode_t *code = codes; *code != XCB_NO_SYMBOL; ++code)
                list.append(*code);
            std::free(codes);
        }
        return list;
    };
    const std::lock_guard lock(m_hold->mutex);
    m_hold->returnKeys = codesOf(XK_Return) + codesOf(XK_KP_Enter);
    m_hold->escapeKeys = codesOf(XK_Escape);
}

X11GlobalInput::GrabPlan X11GlobalInput::planGrabs() const
{
    const Connection &c = *m_connection;
    // Lock keys must not stop a shortcut: each combination is grabbed with every lock state.
    QList<quint16> lockVariants{0};
    for (const quint16 lock : {quint16(XCB_MOD_MASK_LOCK), c.numLockMask, c.scrollLockMask}) {
        if (!lock)
            continue;
        const qsizetype n = lockVariants.size();
        for (qsizetype i = 0; i < n; ++i)
            lockVariants.append(lockVariants[i] | lock);
    }
    GrabPlan plan;
    for (const auto &combination : std::as_const(m_wanted)) {
        quint16 modifiers = 0;
        bool mappable = true;
        const auto require = [&](quint32 flag, quint16 mask) {
            if (combination.flags & flag) {
                modifiers |= mask;
                mappable = mappable && mask != 0;
            }
        };
        require(keyShiftFlag, XCB_MOD_MASK_SHIFT);
        require(keyControlFlag, XCB_MOD_MASK_CONTROL);
        require(keyOptionFlag, c.altMask);
        require(keyCommandFlag, c.superMask);
        // The key at the stored place, whatever the layout types there; one the keyboard has no
        // symbol on cannot be typed (no variant: refused).
        const auto keycode = xcb_keycode_t(xkbKeycodeForKeyCode(combination.keyCode));
        const bool typeable =
            mappable && keycode != 0 && xcb_key_symbols_get_keysym(c.keysyms, keycode, 0) != XCB_NO_SYMBOL;
        QList<QPair<quint8, quint16>> variants;
        for (qsizetype i = 0; typeable && i < lockVariants.size(); ++i)
            variants.append({keycode, quint16(modifiers | lockVariants[i])});
        plan.append({combination, variants});
    }
    return plan;
}

QList<KeyCombination> X11GlobalInput::grab()
{
    Connection &c = *m_connection;
    QList<KeyCombination> refused;
    m_plan = planGrabs();
    for (const auto &[combination, variants] : std::as_const(m_plan)) {
        QList<xcb_void_cookie_t> cookies;
        // A combination that opens a surface stops the keyboard at its press, so a key typed in the
        // same instant as its release waits for the reader thread instead of reaching the window
        // behind; the reader makes the grab last or ends it as soon as it reads the press, whatever
        // the main thread is doing. Only a process stopped whole (a debugger) holds the keyboard
        // there, as it would with any grab. Any other combination leaves the keyboard running.
        const uint8_t keyboardMode =
            m_keyTaking.contains(combination) ? XCB_GRAB_MODE_SYNC : XCB_GRAB_MODE_ASYNC;
        for (const auto &[key, mods] : variants)
            cookies.append(
                xcb_grab_key_checked(c.xcb, 1, c.root, mods, key, XCB_GRAB_MODE_ASYNC, keyboardMode));
        bool ok = !cookies.isEmpty();
        for (const auto &cookie : std::as_const(cookies)) {
            if (xcb_generic_error_t *error = xcb_request_check(c.xcb, cookie)) {
                ok = false;
                std::free(error);
            }
        }
        if (!ok) {
            // Half a combination (some lock states) would behave by chance; give back what we got.
            for (const auto &[key, mods] : variants)
                xcb_ungrab_key(c.xcb, key, c.root, mods);
            refused.append(combination);
            continue;
        }
        for (const auto &variant : variants) {
            m_grabs.append({variant, combination});
            m_grabbedKeys.insert(variant.first, combination.keyCode);
        }
    }
    return refused;
}

void X11GlobalInput::ungrabAll()
{
    for (const ShortcutGrab &grab : std::as_const(m_grabs))
        xcb_ungrab_key(m_connection->xcb, grab.key.first, m_connection->root, grab.key.second);
    m_grabs.clear();
    m_grabbedKeys.clear();
    m_plan.clear();
}

void X11GlobalInput::followRepeatDelay()
{
    Connection &c = *m_connection;
    if (c.xkbFirstEvent < 0)
        return;
    xcb_xkb_get_controls_reply_t *controls =
        xcb_xkb_get_controls_reply(c.xcb, xcb_xkb_get_controls(c.xcb, XCB_XKB_ID_USE_CORE_KBD), nullptr);
    if (!controls)
        return;
    std::chrono::milliseconds limit = longestFrozenLimit;
    if (controls->enabledControls & XCB_XKB_BOOL_CTRL_REPEAT_KEYS)
        limit = std::clamp(std::chrono::milliseconds(controls->repeatDelay) - repeatMargin,
                           shortestFrozenLimit, longestFrozenLimit);
    std::free(controls);
    const std::lock_guard lock(m_hold->mutex);
    m_hold->frozenLimit = limit;
    m_hold->changed.notify_all();
}

void X11GlobalInput::followKeymap()
{
    reloadKeymap();
    // A program typing a symbol the keymap lacks maps it onto a spare key for a moment, twice per
    // symbol: the shortcuts stay where they are then, and grabbing them again each time would leave
    // them ungrabbed for a moment, again and again, while the user goes on typing.
    if (planGrabs() != m_plan)
        setShortcuts(m_wanted);
}

quint32 X11GlobalInput::flagsFromState(quint16 state) const
{
    const Connection &c = *m_connection;
    quint32 flags = 0;
    if (state & XCB_MOD_MASK_SHIFT)
        flags |= keyShiftFlag;
    if (state & XCB_MOD_MASK_CONTROL)
        flags |= keyControlFlag;
    if (c.altMask && (state & c.altMask))
        flags |= keyOptionFlag;
    if (c.superMask && (state & c.superMask))
        flags |= keyCommandFlag;
    return flags;
}

void X11GlobalInput::readLoop(xcb_connection_t *x, int generation)
{
    Connection *connection = m_connection.get();
    while (true) {
        xcb_generic_event_t *event = xcb_poll_for_queued_event(x);
        if (!event) {
            // Every event read: the key owed since the keyboard was stopped may come.
            {
                const std::lock_guard lock(m_hold->mutex);
                if (m_hold->owesNext) {
                    m_hold->allowNext(x);
                    xcb_flush(x);
                }
            }
            event = xcb_wait_for_event(x);
            if (!event)
                break;
        }
        KeyPath path = KeyPath::free;
        bool forMain = true;
        {
            const std::lock_guard lock(m_hold->mutex);
            forMain = readKeyboardEvent(x, event, path);
        }
        if (forMain && !connection->stopping) {
            const bool generic = (event->response_type & ~0x80) == XCB_GE_GENERIC;
            // xcb places its full sequence number after the 32 bytes of the wire, and the rest of a
            // longer event after that.
            const qsizetype size =
                qsizetype(sizeof(xcb_generic_event_t)) +
                (generic ? 4 * qsizetype(reinterpret_cast<const xcb_ge_generic_event_t *>(event)->length) : 0);
            handToMain([this, copy = QByteArray(reinterpret_cast<const char *>(event), size), path, generation] {
                if (generation == m_generation && m_connection)
                    handleEvent(copy.constData(), path);
            });
        }
        std::free(event);
    }
    if (!connection->stopping)
        handToMain([this, generation] {
            if (generation == m_generation && m_connection)
                dropConnection();
        });
}

void X11GlobalInput::handToMain(std::function<void()> work)
{
    {
        const std::lock_guard lock(m_handedMutex);
        m_handed.push_back(std::move(work));
    }
    // One queued call a hand-over, each running the oldest: the order among Qt's events stays.
    QMetaObject::invokeMethod(this, "runHandedOver", Qt::QueuedConnection);
}

void X11GlobalInput::runHandedOver()
{
    std::function<void()> work;
    {
        const std::lock_guard lock(m_handedMutex);
        if (m_handed.empty())
            return;
        work = std::move(m_handed.front());
        m_handed.pop_front();
    }
    work();
}

bool X11GlobalInput::readKeyboardEvent(xcb_connection_t *x, const void *raw, KeyPath &path)
{
    Hold &h = *m_hold;
    const auto *event = static_cast<const xcb_generic_event_t *>(raw);
    switch (event->response_type & ~0x80) {
    case XCB_KEY_PRESS: {
        const auto *press = static_cast<const xcb_key_press_event_t *>(raw);
        int &presses = h.pressesSinceDown[press->detail];
        // Without raw key events every press counts as a new one.
        const bool autorepeat = h.rawKeys && presses > 0;
        ++presses;
        const QPair<quint8, quint16> combination{press->detail, quint16(press->state & grabModifierBits)};
        const bool shortcut = h.shortcuts.contains(combination);
        if (h.holder != XCB_WINDOW_NONE || h.kept) {
            path = shortcut ? KeyPath::heldShortcut : KeyPath::held;
            // A shortcut again, Return or Esc may end the showing: the keyboard stays stopped until
            // the main thread has handled it, so the keys after it go where it decides.
            if (shortcut) {
                ++h.sent; // the filter has it
                h.freeze();
            } else if (!h.handOff(x, press)) {
                h.deliver(x, press);
                if (h.mayEndShowing(press->detail))
                    h.freeze();
            }
        } else if (shortcut && !autorepeat && h.openers.contains(combination) && h.keep(x, press->time)) {
            path = KeyPath::kept;
        } else {
            // It opens nothing that takes keys (or it came from a grab of a moment ago, stopped at
            // its press): the keys after it go on to the focused window, also while its key is
            // still down.
            xcb_ungrab_keyboard(x, XCB_CURRENT_TIME);
        }
        h.allowAfterKey(x, raw);
        xcb_flush(x);
        return true;
    }
    case XCB_KEY_RELEASE:
        if (h.holder != XCB_WINDOW_NONE || h.kept) {
            path = KeyPath::held;
            h.deliver(x, raw);
        }
        // Up, as the main thread counts it too: while a grab of ours is active the raw release is
        // not ours, and the key's next press would be taken for a repeat and kept for no surface.
        h.pressesSinceDown.remove(static_cast<const xcb_key_release_event_t *>(raw)->detail);
        h.allowAfterKey(x, raw);
        xcb_flush(x);
        return true;
    case XCB_GE_GENERIC: {
        const auto *generic = static_cast<const xcb_ge_generic_event_t *>(raw);
        if (generic->extension != h.xinputOpcode)
            return true;
        if (generic->event_type == XCB_INPUT_RAW_KEY_PRESS)
            h.pressesSinceDown[quint8(static_cast<const xcb_input_raw_key_press_event_t *>(raw)->detail)] = 0;
        else if (generic->event_type == XCB_INPUT_RAW_KEY_RELEASE)
            h.pressesSinceDown.remove(quint8(static_cast<const xcb_input_raw_key_release_event_t *>(raw)->detail));
        return true;
    }
    // Only the holder's own events are selected: they are the reader's.
    case XCB_MAP_NOTIFY:
    case XCB_REPARENT_NOTIFY:
        // Mapped, or framed by a window manager that just started: a window inside a frame still
        // to be mapped is not viewable yet, so the main thread asks again until the server agrees.
        if (reinterpret_cast<const xcb_map_notify_event_t *>(event)->window == h.holder && !h.grabbed &&
            h.take(x) == Hold::Grab::refused)
            handToMain([this] { takeKeyboard(); });
        return false;
    case XCB_UNMAP_NOTIFY:
        // The server ends a grab whose window stops being viewable.
        if (reinterpret_cast<const xcb_unmap_notify_event_t *>(event)->window == h.holder) {
            h.grabbed = false;
            h.frozen = false;
        }
        return false;
    case XCB_FOCUS_IN:
        return false;
    case XCB_FOCUS_OUT: {
        const auto *focus = reinterpret_cast<const xcb_focus_out_event_t *>(event);
        // Focus that moves away (not grabs starting or ending, not into a window of its own).
        const bool moved =
            focus->mode == XCB_NOTIFY_MODE_NORMAL || focus->mode == XCB_NOTIFY_MODE_WHILE_GRABBED;
        if (focus->event == h.holder && moved && focus->detail != XCB_NOTIFY_DETAIL_INFERIOR &&
            focus->detail != XCB_NOTIFY_DETAIL_POINTER && h.grabbed && h.focusRetakes < maxFocusRetakes) {
            ++h.focusRetakes;
            xcb_set_input_focus(x, XCB_INPUT_FOCUS_PARENT, h.holder, XCB_CURRENT_TIME);
            xcb_flush(x);
        }
        return false;
    }
    default:
        return true;
    }
}

void X11GlobalInput::dropConnection()
{
    qCWarning(lcGlobalInput) << "❌ Lost the X connection of the global input";
    const bool wasDragging = m_dragging;
    m_dragging = false;
    m_grabs.clear();
    m_grabbedKeys.clear();
    m_plan.clear();
    {
        // The server ends our grabs with the connection; the next tap takes the holder's again.
        const std::lock_guard lock(m_hold->mutex);
        m_hold->grabbed = m_hold->kept = m_hold->unclaimed = m_hold->frozen = false;
        m_hold->handingTo = XCB_WINDOW_NONE;
        m_hold->waiting.clear();
        m_hold->shortcuts.clear();
        m_hold->openers.clear();
    }
    m_grabRetry->stop();
    // The reader has ended (it told us); the connection goes once the loop is back.
    Connection *dead = m_connection.release();
    stopThreads(*dead);
    dead->dragSampler.stop();
    QTimer::singleShot(0, [dead] { delete dead; });
    if (wasDragging)
        emit dragEnded();
    emit tapDisabled();
}

void X11GlobalInput::handleEvent(const void *raw, KeyPath path)
{
    const auto *event = static_cast<const xcb_generic_event_t *>(raw);
    const int type = event->response_type & ~0x80;
    const Connection &c = *m_connection;
    if (type == XCB_KEY_PRESS) {
        handleKeyPress(event, path);
    } else if (type == XCB_KEY_RELEASE) {
        handleKeyRelease(event);
    } else if (type == XCB_GE_GENERIC) {
        if (reinterpret_cast<const xcb_ge_generic_event_t *>(event)->extension == c.xinputOpcode)
            handleInputEvent(event);
    } else if (type == XCB_MAPPING_NOTIFY) {
        const auto *notify = reinterpret_cast<const xcb_mapping_notify_event_t *>(event);
        if (notify->request != XCB_MAPPING_POINTER)
            followKeymap();
    } else if (c.xkbFirstEvent >= 0 && type == c.xkbFirstEvent) {
        // All XKB events share one type; the kind is in the second byte.
        const int xkbType = event->pad0;
        if (xkbType == XCB_XKB_NEW_KEYBOARD_NOTIFY || xkbType == XCB_XKB_MAP_NOTIFY)
            followKeymap();
        if (xkbType == XCB_XKB_NEW_KEYBOARD_NOTIFY || xkbType == XCB_XKB_CONTROLS_NOTIFY)
            followRepeatDelay();
    } else if (c.xfixesFirstEvent >= 0 && type == c.xfixesFirstEvent + XCB_XFIXES_SELECTION_NOTIFY) {
        handleSelectionOwner(event);
    }
}

void X11GlobalInput::handleKeyPress(const void *raw, KeyPath path)
{
    const auto *press = static_cast<const xcb_key_press_event_t *>(raw);
    const auto mapped = m_grabbedKeys.constFind(press->detail);
    int &presses = m_pressesSinceDown[press->detail];
    // Without raw key events every press counts as a new one.
    const bool autorepeat = m_connection->rawKeys && presses > 0;
    ++presses;
    const quint32 flags = flagsFromState(press->state) & keyModifierMask;
    const auto filter = [&] {
        return mapped != m_grabbedKeys.constEnd() && m_wanted.contains(KeyCombination{*mapped, flags}) &&
               filterKeyDown(GlobalKeyEvent{*mapped, flags, autorepeat, nanoseconds(press->time)});
    };
    switch (path) {
    case KeyPath::held:
        return; // the reader sent it on
    case KeyPath::heldShortcut:
        // The filter's, else the holder's (which counts it as it takes it).
        if (filter()) {
            countHandledPress();
            return;
        }
        {
            const std::lock_guard lock(m_hold->mutex);
            if (m_hold->holder != XCB_WINDOW_NONE && m_hold->grabbed) {
                Hold::send(m_connection->xcb, press, m_hold->holder);
                xcb_flush(m_connection->xcb);
            } else {
                countHandledPress();
            }
        }
        return;
    case KeyPath::kept:
        // The reader began a new count at this press.
        m_handledPresses = 0;
        ++m_holdSerial;
        filter();
        // Posted after whatever the filter posted, so the surface it opens has claimed the keyboard by then.
        QMetaObject::invokeMethod(
            this, [this, generation = m_generation] { dropUnclaimedKeyboard(generation); }, Qt::QueuedConnection);
        return;
    case KeyPath::free:
        // The server has already taken the key, without waiting for us: the filter still decides
        // what fires, but its answer cannot give the key back to the focused window.
        if (mapped != m_grabbedKeys.constEnd())
            filterKeyDown(GlobalKeyEvent{*mapped, flags, autorepeat, nanoseconds(press->time)});
        return;
    }
}

void X11GlobalInput::handleKeyRelease(const void *raw)
{
    // While a grab of ours is active the server sends raw events only to the other clients, so the
    // release of a grabbed key comes to us as this core event; the raw one covers keys whose
    // release went elsewhere. Whichever comes first reports it. The reader sent it on to a holder.
    reportKeyUp(static_cast<const xcb_key_release_event_t *>(raw)->detail);
}

void X11GlobalInput::reportKeyUp(quint8 code)
{
    if (!m_pressesSinceDown.remove(code))
        return;
    const auto mapped = m_grabbedKeys.constFind(code);
    if (mapped != m_grabbedKeys.constEnd())
        emit keyReleased(*mapped);
}

void X11GlobalInput::handleInputEvent(const void *raw)
{
    const auto *generic = static_cast<const xcb_ge_generic_event_t *>(raw);
    switch (generic->event_type) {
    case XCB_INPUT_RAW_KEY_PRESS: {
        const auto *key = static_cast<const xcb_input_raw_key_press_event_t *>(raw);
        m_pressesSinceDown[quint8(key->detail)] = 0;
        break;
    }
    case XCB_INPUT_RAW_KEY_RELEASE: {
        // Seen even when the key-up went to another window, so the latch always hears of it.
        reportKeyUp(quint8(static_cast<const xcb_input_raw_key_release_event_t *>(raw)->detail));
        break;
    }
    case XCB_INPUT_RAW_BUTTON_PRESS: {
        const auto *button = static_cast<const xcb_input_raw_button_press_event_t *>(raw);
        if (button->detail != 4 && button->detail != 5)
            break;
        if (const auto pointer = m_connection->queryPointer())
            emit wheelScrolled(button->detail == 4 ? 1 : -1, nanoseconds(button->time), pointer->first);
        break;
    }
    case XCB_INPUT_RAW_BUTTON_RELEASE: {
        const auto *button = static_cast<const xcb_input_raw_button_release_event_t *>(raw);
        if (button->detail == 1)
            endDrag();
        break;
    }
    default:
        break;
    }
}

void X11GlobalInput::handleSelectionOwner(const void *raw)
{
    const auto *notify = static_cast<const xcb_xfixes_selection_notify_event_t *>(raw);
    if (notify->selection != m_connection->xdndSelection || notify->owner == XCB_WINDOW_NONE || m_dragging)
        return;
    const auto pointer = m_connection->queryPointer();
    if (!pointer || !(pointer->second & XCB_BUTTON_MASK_1))
        return;
    m_dragging = true;
    m_connection->dragSampler.start();
    emit dragStarted();
    emit dragMoved(pointer->first);
}

void X11GlobalInput::sampleDrag()
{
    if (!m_dragging || !m_connection)
        return;
    const auto pointer = m_connection->queryPointer();
    // A release the raw events did not report (XInput 2 missing) still ends the drag.
    if (!pointer || !(pointer->second & XCB_BUTTON_MASK_1)) {
        endDrag();
        return;
    }
    emit dragMoved(pointer->first);
}

void X11GlobalInput::endDrag()
{
    if (!m_dragging)
        return;
    m_dragging = false;
    if (m_connection)
        m_connection->dragSampler.stop();
    emit dragEnded();
}

} // namespace qv
