#include "platform/x11/x11globalinput.h"

#include <QAbstractEventDispatcher>
#include <QLoggingCategory>
#include <QSocketNotifier>
#include <QTimer>

#include <X11/keysym.h>
#include <cstdlib>
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
    QSocketNotifier *notifier = nullptr;
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

    ~Connection()
    {
        delete notifier;
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

X11GlobalInput::X11GlobalInput() : m_grabRetry(new QTimer(this))
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
    m_pressesSinceDown.clear();
    m_dragging = false;

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
        const uint16_t events = XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY | XCB_XKB_EVENT_TYPE_MAP_NOTIFY;
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

    c->notifier = new QSocketNotifier(xcb_get_file_descriptor(x), QSocketNotifier::Read);
    connect(c->notifier, &QSocketNotifier::activated, this, [this] { readEvents(false); });
    c->dragSampler.setInterval(dragSampleIntervalMs);
    connect(&c->dragSampler, &QTimer::timeout, this, &X11GlobalInput::sampleDrag);
    m_connection = std::move(c);
    // Waiting for a reply can pull events into xcb's queue without waking the notifier.
    if (auto *dispatcher = QAbstractEventDispatcher::instance(thread()))
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &X11GlobalInput::readQueuedEvents,
                Qt::UniqueConnection);

    reloadKeymap();
    m_refused = grab();
    if (m_holder != 0) {
        watchHolder(true);
        takeKeyboard();
    }
    xcb_flush(x);
    setRefusedShortcuts(m_refused);
    return true;
}

void X11GlobalInput::holdKeyboard(quint64 window)
{
    if (quint32(window) != m_holder) {
        releaseKeyboard();
        m_holder = quint32(window);
        m_focusRetakes = 0;
        if (hasTap())
            watchHolder(true);
    }
    takeKeyboard();
}

void X11GlobalInput::releaseKeyboard()
{
    m_grabRetry->stop();
    if (hasTap() && m_holder != 0) {
        if (m_keyboardGrabbed)
            xcb_ungrab_keyboard(m_connection->xcb, XCB_CURRENT_TIME);
        watchHolder(false);
        xcb_flush(m_connection->xcb);
    }
    m_holder = 0;
    m_keyboardGrabbed = false;
}

void X11GlobalInput::watchHolder(bool watch)
{
    // Our own selection on the holder: its map state and who has the focus.
    const uint32_t mask = watch ? XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_FOCUS_CHANGE : 0;
    xcb_change_window_attributes(m_connection->xcb, m_holder, XCB_CW_EVENT_MASK, &mask);
}

void X11GlobalInput::takeKeyboard()
{
    if (!hasTap() || m_holder == 0 || m_keyboardGrabbed) {
        m_grabRetry->stop();
        return;
    }
    xcb_connection_t *x = m_connection->xcb;
    xcb_grab_keyboard_reply_t *reply = xcb_grab_keyboard_reply(
        x, xcb_grab_keyboard(x, 0, m_holder, XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
        nullptr);
    const bool granted = reply && reply->status == XCB_GRAB_STATUS_SUCCESS;
    const bool gone = !reply; // the window no longer exists
    std::free(reply);
    if (granted) {
        m_keyboardGrabbed = true;
        m_grabRetry->stop();
        xcb_set_input_focus(x, XCB_INPUT_FOCUS_PARENT, m_holder, XCB_CURRENT_TIME);
        xcb_flush(x);
        return;
    }
    if (gone) {
        m_grabRetry->stop();
        return;
    }
    if (!m_grabRetry->isActive())
        m_grabRetry->start();
}

void X11GlobalInput::handleHolderEvent(const void *raw)
{
    const auto *event = static_cast<const xcb_generic_event_t *>(raw);
    switch (event->response_type & ~0x80) {
    case XCB_MAP_NOTIFY:
        if (reinterpret_cast<const xcb_map_notify_event_t *>(event)->window == m_holder)
            takeKeyboard();
        break;
    case XCB_UNMAP_NOTIFY:
        // The server ends a grab whose window stops being viewable.
        if (reinterpret_cast<const xcb_unmap_notify_event_t *>(event)->window == m_holder)
            m_keyboardGrabbed = false;
        break;
    case XCB_FOCUS_OUT: {
        const auto *focus = reinterpret_cast<const xcb_focus_out_event_t *>(event);
        // Focus that moves away (not grabs starting or ending, not into a window of its own).
        const bool moved =
            focus->mode == XCB_NOTIFY_MODE_NORMAL || focus->mode == XCB_NOTIFY_MODE_WHILE_GRABBED;
        if (focus->event != m_holder || !moved || focus->detail == XCB_NOTIFY_DETAIL_INFERIOR ||
            focus->detail == XCB_NOTIFY_DETAIL_POINTER || !m_keyboardGrabbed ||
            m_focusRetakes >= maxFocusRetakes)
            break;
        ++m_focusRetakes;
        xcb_set_input_focus(m_connection->xcb, XCB_INPUT_FOCUS_PARENT, m_holder, XCB_CURRENT_TIME);
        break;
    }
    default:
        break;
    }
}

void X11GlobalInput::forwardKey(const void *raw)
{
    // Press and release share one layout.
    xcb_key_press_event_t event = *static_cast<const xcb_key_press_event_t *>(raw);
    event.response_type &= ~0x80;
    event.event = m_holder;
    event.child = XCB_WINDOW_NONE;
    event.same_screen = 1;
    const uint32_t mask =
        event.response_type == XCB_KEY_PRESS ? XCB_EVENT_MASK_KEY_PRESS : XCB_EVENT_MASK_KEY_RELEASE;
    xcb_send_event(m_connection->xcb, 0, m_holder, mask, reinterpret_cast<const char *>(&event));
}

QList<KeyCombination> X11GlobalInput::setShortcuts(const QList<KeyCombination> &combinations)
{
    m_wanted = combinations;
    if (!hasTap())
        return {};
    ungrabAll();
    m_refused = grab();
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
}

QList<KeyCombination> X11GlobalInput::grab()
{
    Connection &c = *m_connection;
    QList<KeyCombination> refused;
    // Lock keys must not stop a shortcut: each combination is grabbed with every lock state.
    QList<quint16> lockVariants{0};
    for (const quint16 lock : {quint16(XCB_MOD_MASK_LOCK), c.numLockMask, c.scrollLockMask}) {
        if (!lock)
            continue;
        const qsizetype n = lockVariants.size();
        for (qsizetype i = 0; i < n; ++i)
            lockVariants.append(lockVariants[i] | lock);
    }
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
        // symbol on cannot be typed.
        const auto keycode = xcb_keycode_t(xkbKeycodeForKeyCode(combination.keyCode));
        const bool typeable =
            mappable && keycode != 0 && xcb_key_symbols_get_keysym(c.keysyms, keycode, 0) != XCB_NO_SYMBOL;
        QList<QPair<quint8, quint16>> taken;
        QList<xcb_void_cookie_t> cookies;
        for (qsizetype i = 0; typeable && i < lockVariants.size(); ++i) {
            const auto variantModifiers = quint16(modifiers | lockVariants[i]);
            cookies.append(xcb_grab_key_checked(c.xcb, 1, c.root, variantModifiers, keycode,
                                                XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
            taken.append({keycode, variantModifiers});
        }
        bool ok = !cookies.isEmpty();
        for (const auto &cookie : std::as_const(cookies)) {
            if (xcb_generic_error_t *error = xcb_request_check(c.xcb, cookie)) {
                ok = false;
                std::free(error);
            }
        }
        if (!ok) {
            // Half a combination (some lock states) would behave by chance; give back what we got.
            for (const auto &[key, mods] : std::as_const(taken))
                xcb_ungrab_key(c.xcb, key, c.root, mods);
            refused.append(combination);
            continue;
        }
        m_grabs.append(taken);
        for (const auto &grabbed : std::as_const(taken))
            m_grabbedKeys.insert(grabbed.first, combination.keyCode);
    }
    return refused;
}

void X11GlobalInput::ungrabAll()
{
    for (const auto &[key, mods] : std::as_const(m_grabs))
        xcb_ungrab_key(m_connection->xcb, key, m_connection->root, mods);
    m_grabs.clear();
    m_grabbedKeys.clear();
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

void X11GlobalInput::readEvents(bool queuedOnly)
{
    if (!m_connection)
        return;
    if (m_connection->broken()) {
        dropConnection();
        return;
    }
    xcb_connection_t *x = m_connection->xcb;
    while (xcb_generic_event_t *event = queuedOnly ? xcb_poll_for_queued_event(x) : xcb_poll_for_event(x)) {
        handleEvent(event);
        std::free(event);
        // A handler may have dropped the connection.
        if (!m_connection)
            return;
    }
    xcb_flush(x);
}

void X11GlobalInput::dropConnection()
{
    qCWarning(lcGlobalInput) << "❌ Lost the X connection of the global input";
    const bool wasDragging = m_dragging;
    m_dragging = false;
    m_grabs.clear();
    m_grabbedKeys.clear();
    // The server ends our grab with the connection; the next tap takes it again.
    m_keyboardGrabbed = false;
    m_grabRetry->stop();
    // This may run inside the notifier's own signal: the connection goes once the loop is back.
    Connection *dead = m_connection.release();
    dead->notifier->setEnabled(false);
    dead->dragSampler.stop();
    QTimer::singleShot(0, [dead] { delete dead; });
    if (wasDragging)
        emit dragEnded();
    emit tapDisabled();
}

void X11GlobalInput::handleEvent(const void *raw)
{
    const auto *event = static_cast<const xcb_generic_event_t *>(raw);
    const int type = event->response_type & ~0x80;
    const Connection &c = *m_connection;
    if (type == XCB_KEY_PRESS) {
        handleKeyPress(event);
    } else if (type == XCB_KEY_RELEASE) {
        handleKeyRelease(event);
    } else if (type == XCB_GE_GENERIC) {
        if (reinterpret_cast<const xcb_ge_generic_event_t *>(event)->extension == c.xinputOpcode)
            handleInputEvent(event);
    } else if (type == XCB_MAPPING_NOTIFY) {
        const auto *notify = reinterpret_cast<const xcb_mapping_notify_event_t *>(event);
        if (notify->request != XCB_MAPPING_POINTER) {
            reloadKeymap();
            setShortcuts(m_wanted);
        }
    } else if (c.xkbFirstEvent >= 0 && type == c.xkbFirstEvent) {
        // All XKB events share one type; the kind is in the second byte.
        const int xkbType = event->pad0;
        if (xkbType == XCB_XKB_NEW_KEYBOARD_NOTIFY || xkbType == XCB_XKB_MAP_NOTIFY) {
            reloadKeymap();
            setShortcuts(m_wanted);
        }
    } else if (c.xfixesFirstEvent >= 0 && type == c.xfixesFirstEvent + XCB_XFIXES_SELECTION_NOTIFY) {
        handleSelectionOwner(event);
    } else if (type == XCB_MAP_NOTIFY || type == XCB_UNMAP_NOTIFY || type == XCB_FOCUS_OUT) {
        handleHolderEvent(event);
    }
}

void X11GlobalInput::handleKeyPress(const void *raw)
{
    const auto *press = static_cast<const xcb_key_press_event_t *>(raw);
    const auto mapped = m_grabbedKeys.constFind(press->detail);
    int &presses = m_pressesSinceDown[press->detail];
    // Without raw key events every press counts as a new one.
    const bool autorepeat = m_connection->rawKeys && presses > 0;
    ++presses;
    const quint32 flags = flagsFromState(press->state) & keyModifierMask;
    if (m_holder != 0) {
        // Every key comes here while the keyboard is held: a shortcut's goes to the filter, the
        // rest to the holder.
        const bool shortcut =
            mapped != m_grabbedKeys.constEnd() && m_wanted.contains(KeyCombination{*mapped, flags});
        if (!shortcut || !filterKeyDown(GlobalKeyEvent{*mapped, flags, autorepeat, nanoseconds(press->time)}))
            forwardKey(press);
        return;
    }
    // The server has already taken the key, without waiting for us: the filter still decides
    // what fires, but its answer cannot give the key back to the focused window.
    if (mapped != m_grabbedKeys.constEnd())
        filterKeyDown(GlobalKeyEvent{*mapped, flags, autorepeat, nanoseconds(press->time)});
}

void X11GlobalInput::handleKeyRelease(const void *raw)
{
    // While our grab is active the server sends raw events only to the other clients, so the
    // release of a grabbed key comes to us as this core event; the raw one covers keys whose
    // release went elsewhere. Whichever comes first reports it.
    reportKeyUp(static_cast<const xcb_key_release_event_t *>(raw)->detail);
    if (m_holder != 0)
        forwardKey(raw);
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
