// A minimal X11 clipboard owner for the x11 tests, offering exactly what it is told to, the way
// older toolkits and odd owners do:
//   clipboardowner [--no-targets | --targets-type=NAME | --targets-as-value | --silent] [--junk-targets=N]
//                  [--incr-switch-type | --incr-hand-over=FILE] TYPE=FILE...
// takes the CLIPBOARD selection, prints "ready" once it owns it, serves each TYPE with the bytes of
// its FILE (in one piece), answers TARGETS with the offered types unless --no-targets (then it
// refuses TARGETS like an owner that does not know it; --targets-type types the list NAME instead of
// ATOM; --targets-as-value answers it with the first offer, as owners that answer every target with
// their one value do), and exits when another program takes the
// clipboard or after 60 s. --junk-targets=N lists N more targets of fresh names (interned for this run)
// before the offered types, as a hostile owner would, and serves none of them. --silent answers no
// request at all, as a hung owner does.
// The --incr modes serve the offers incrementally (INCR, in four pieces) and break the transfer the
// way a faulty or replaced owner would: --incr-switch-type gives the pieces after the first another
// type; --incr-hand-over hands the clipboard to a second window of this program after the first
// piece (that window serves every offered type with FILE's bytes, in one piece) while the first
// window goes on sending its pieces.
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <poll.h>
#include <unistd.h>

namespace {

struct Offer
{
    xcb_atom_t type;
    std::string bytes;
};

xcb_atom_t intern(xcb_connection_t *connection, const std::string &name)
{
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, uint16_t(name.size()), name.c_str()), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

// `count` atoms of names no other program uses, interned in one round trip.
std::vector<xcb_atom_t> internJunk(xcb_connection_t *connection, int count)
{
    std::vector<xcb_intern_atom_cookie_t> cookies;
    for (int i = 0; i < count; ++i) {
        const std::string name = "QV_JUNK_" + std::to_string(getpid()) + "_" + std::to_string(i);
        cookies.push_back(xcb_intern_atom(connection, 0, uint16_t(name.size()), name.c_str()));
    }
    std::vector<xcb_atom_t> atoms;
    for (const auto cookie : cookies) {
        xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(connection, cookie, nullptr);
        if (reply)
            atoms.push_back(reply->atom);
        std::free(reply);
    }
    return atoms;
}

void answer(xcb_connection_t *connection, const xcb_selection_request_event_t &request, xcb_atom_t property)
{
    xcb_selection_notify_event_t notify{};
    notify.response_type = XCB_SELECTION_NOTIFY;
    notify.time = request.time;
    notify.requestor = request.requestor;
    notify.selection = request.selection;
    notify.target = request.target;
    notify.property = property;
    xcb_send_event(connection, 0, request.requestor, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char *>(&notify));
    xcb_flush(connection);
}

// One incremental transfer under way: the requestor's property, the next piece to send.
struct Incremental
{
    bool active = false;
    xcb_window_t requestor = XCB_WINDOW_NONE;
    xcb_atom_t property = XCB_ATOM_NONE;
    xcb_atom_t type = XCB_ATOM_NONE;
    const std::string *bytes = nullptr;
    size_t sent = 0;
    int pieces = 0;
};

} // namespace

int main(int argc, char **argv)
{
    xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) {
        std::fprintf(stderr, "no X display\n");
        return 1;
    }
    bool answersTargets = true;
    bool silent = false;
    bool targetsAsValue = false;
    std::string targetsType = "ATOM";
    bool switchType = false;
    bool handOver = false;
    std::string handedOverBytes;
    std::vector<Offer> offers;
    std::vector<xcb_atom_t> junk;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--junk-targets=", 0) == 0) {
            junk = internJunk(connection, std::atoi(arg.c_str() + 15));
            continue;
        }
        if (arg == "--no-targets") {
            answersTargets = false;
            continue;
        }
        if (arg == "--silent") {
            silent = true;
            continue;
        }
        if (arg == "--targets-as-value") {
            targetsAsValue = true;
            continue;
        }
        if (arg.rfind("--targets-type=", 0) == 0) {
            targetsType = arg.substr(std::strlen("--targets-type="));
            continue;
        }
        if (arg == "--incr-switch-type") {
            switchType = true;
            continue;
        }
        if (arg.rfind("--incr-hand-over=", 0) == 0) {
            handOver = true;
            std::ifstream file(arg.substr(std::strlen("--incr-hand-over=")), std::ios::binary);
            handedOverBytes.assign(std::istreambuf_iterator<char>(file), {});
            continue;
        }
        const auto equals = arg.find('=');
        if (equals == std::string::npos)
            return 2;
        std::ifstream file(arg.substr(equals + 1), std::ios::binary);
        offers.push_back({intern(connection, arg.substr(0, equals)),
                          std::string(std::istreambuf_iterator<char>(file), {})});
    }
    const xcb_atom_t clipboard = intern(connection, "CLIPBOARD");
    const xcb_atom_t targets = intern(connection, "TARGETS");
    const xcb_atom_t listType = intern(connection, targetsType);
    const xcb_atom_t incrType = intern(connection, "INCR");
    const xcb_atom_t utf8String = intern(connection, "UTF8_STRING");
    const bool incremental = switchType || handOver;

    xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const xcb_window_t window = xcb_generate_id(connection);
    const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_EVENT_MASK, &mask);
    // A timestamp for the ownership, from a property change of our own.
    xcb_change_property(connection, XCB_PROP_MODE_APPEND, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, 0,
                        "");
    xcb_flush(connection);
    xcb_timestamp_t now = XCB_CURRENT_TIME;
    while (xcb_generic_event_t *event = xcb_wait_for_event(connection)) {
        const bool stamped = (event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY;
        if (stamped)
            now = reinterpret_cast<xcb_property_notify_event_t *>(event)->time;
        std::free(event);
        if (stamped)
            break;
    }
    xcb_set_selection_owner(connection, window, clipboard, now);
    xcb_get_selection_owner_reply_t *owner =
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, clipboard), nullptr);
    const bool owns = owner && owner->owner == window;
    std::free(owner);
    if (!owns)
        return 3;
    xcb_window_t current = window;
    // The owner that takes over in --incr-hand-over mode.
    const xcb_window_t second = xcb_generate_id(connection);
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, second, screen->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
    std::printf("ready\n");
    std::fflush(stdout);
    Incremental transfer;

    pollfd fd{xcb_get_file_descriptor(connection), POLLIN, 0};
    for (;;) {
        xcb_generic_event_t *event = xcb_poll_for_event(connection);
        if (!event) {
            if (xcb_connection_has_error(connection) || ::poll(&fd, 1, 60000) <= 0)
                return 0;
            continue;
        }
        const uint8_t type = event->response_type & 0x7f;
        if (type == XCB_SELECTION_CLEAR &&
            reinterpret_cast<xcb_selection_clear_event_t *>(event)->owner == current) {
            std::free(event);
            return 0;
        }
        if (type == XCB_PROPERTY_NOTIFY && transfer.active) {
            // The requestor deleted the last piece: the next one, an empty one at the end.
            const auto *notify = reinterpret_cast<xcb_property_notify_event_t *>(event);
            if (notify->window == transfer.requestor && notify->atom == transfer.property &&
                notify->state == XCB_PROPERTY_DELETE) {
                if (handOver && transfer.pieces == 1) {
                    xcb_set_selection_owner(connection, second, clipboard, notify->time);
                    current = second;
                }
                const size_t size =
                    std::min(transfer.bytes->size() / 4 + 1, transfer.bytes->size() - transfer.sent);
                const xcb_atom_t pieceType =
                    switchType && transfer.pieces > 0
                        ? (transfer.type == XCB_ATOM_STRING ? utf8String : xcb_atom_t(XCB_ATOM_STRING))
                        : transfer.type;
                xcb_change_property(connection, XCB_PROP_MODE_REPLACE, transfer.requestor, transfer.property,
                                    pieceType, 8, uint32_t(size), transfer.bytes->data() + transfer.sent);
                xcb_flush(connection);
                transfer.sent += size;
                ++transfer.pieces;
                transfer.active = size > 0;
            }
        }
        if (type == XCB_SELECTION_REQUEST && silent) {
            std::free(event);
            continue;
        }
        if (type == XCB_SELECTION_REQUEST) {
            const auto request = *reinterpret_cast<xcb_selection_request_event_t *>(event);
            const bool handedOver = request.owner == second;
            const xcb_atom_t property = request.property == XCB_ATOM_NONE ? request.target : request.property;
            xcb_atom_t served = XCB_ATOM_NONE;
            if (request.target == targets && targetsAsValue && !offers.empty()) {
                xcb_change_property(connection, XCB_PROP_MODE_REPLACE, request.requestor, property,
                                    offers[0].type, 8, uint32_t(offers[0].bytes.size()), offers[0].bytes.data());
                served = property;
            } else if (request.target == targets && (answersTargets || handedOver)) {
                std::vector<xcb_atom_t> list = {targets};
                list.insert(list.end(), junk.begin(), junk.end());
                for (const auto &offer : offers)
                    list.push_back(offer.type);
                xcb_change_property(connection, XCB_PROP_MODE_REPLACE, request.requestor, property, listType,
                                    32, uint32_t(list.size()), list.data());
                served = property;
            }
            for (const auto &offer : offers) {
                if (offer.type != request.target)
                    continue;
                const std::string &bytes = handedOver ? handedOverBytes : offer.bytes;
                if (incremental && !handedOver) {
                    // Announced with its size; the pieces follow as the requestor deletes each.
                    const uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
                    xcb_change_window_attributes(connection, request.requestor, XCB_CW_EVENT_MASK, &events);
                    const uint32_t size = uint32_t(bytes.size());
                    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, request.requestor, property,
                                        incrType, 32, 1, &size);
                    transfer = Incremental{true, request.requestor, property, offer.type, &bytes, 0, 0};
                } else {
                    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, request.requestor, property,
                                        offer.type, 8, uint32_t(bytes.size()), bytes.data());
                }
                served = property;
            }
            answer(connection, request, served);
        }
        std::free(event);
    }
}
