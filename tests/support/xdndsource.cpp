// An XDND drag source for the x11 tests that misbehaves on request, as some programs do:
//   qv_xdndsource WINDOW X Y MODE[/DRAG] TYPE=FILE...
// drags the offers (each TYPE served with the bytes of FILE) onto the top-level WINDOW (decimal id)
// at root position X, Y, drops, and then serves the data the way MODE says: "normal" (pieces of
// 64 KiB by INCR when larger), "noanswer" (never answers a request) or "incrstall" (starts an INCR
// transfer and sends nothing more). DRAG changes how it gets to the drop: "reenter" sends a second
// XdndEnter after its two positions and drops without a position since; "rush:FX,FY" sends its
// enter, a position at root FX, FY, one at X, Y and the drop all at once, without waiting for any
// answer; "flood:N" sends N positions at X, Y at once before the usual two. It prints "dropped" once the drop
// is sent, "finished N" when the target answers (N is 1 when it took the drop) and "request" for each data
// request; it ends after 60 s.
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <poll.h>

namespace {

constexpr size_t pieceBytes = 64 * 1024;

xcb_connection_t *connection = nullptr;

xcb_atom_t intern(const std::string &name)
{
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, uint16_t(name.size()), name.c_str()), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

struct Offer
{
    xcb_atom_t type;
    std::string bytes;
};

struct Incremental
{
    xcb_window_t requestor = XCB_WINDOW_NONE;
    xcb_atom_t property = XCB_ATOM_NONE;
    xcb_atom_t type = XCB_ATOM_NONE;
    const std::string *bytes = nullptr;
    size_t offset = 0;
    bool done = true;
};

void sendMessage(xcb_window_t to, xcb_atom_t type, const uint32_t (&data)[5])
{
    xcb_client_message_event_t event = {};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = to;
    event.type = type;
    std::memcpy(event.data.data32, data, sizeof(data));
    xcb_send_event(connection, 0, to, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char *>(&event));
    xcb_flush(connection);
}

void notify(const xcb_selection_request_event_t *request, xcb_atom_t property)
{
    xcb_selection_notify_event_t event = {};
    event.response_type = XCB_SELECTION_NOTIFY;
    event.time = request->time;
    event.requestor = request->requestor;
    event.selection = request->selection;
    event.target = request->target;
    event.property = property;
    xcb_send_event(connection, 0, request->requestor, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char *>(&event));
    xcb_flush(connection);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 6)
        return 2;
    const xcb_window_t target = xcb_window_t(std::strtoul(argv[1], nullptr, 10));
    const uint32_t x = uint32_t(std::atoi(argv[2]));
    const uint32_t y = uint32_t(std::atoi(argv[3]));
    std::string mode = argv[4];
    std::string how;
    if (const size_t slash = mode.find('/'); slash != std::string::npos) {
        how = mode.substr(slash + 1);
        mode.resize(slash);
    }
    connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection))
        return 1;
    std::vector<Offer> offers;
    for (int i = 5; i < argc; ++i) {
        const std::string arg = argv[i];
        const size_t eq = arg.find('=');
        std::ifstream file(arg.substr(eq + 1), std::ios::binary);
        offers.push_back({intern(arg.substr(0, eq)),
                          std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>())});
    }
    const xcb_atom_t selection = intern("XdndSelection");
    const xcb_atom_t enter = intern("XdndEnter");
    const xcb_atom_t position = intern("XdndPosition");
    const xcb_atom_t status = intern("XdndStatus");
    const xcb_atom_t drop = intern("XdndDrop");
    const xcb_atom_t finished = intern("XdndFinished");
    const xcb_atom_t copy = intern("XdndActionCopy");
    const xcb_atom_t typeList = intern("XdndTypeList");
    const xcb_atom_t incr = intern("INCR");

    xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const xcb_window_t window = xcb_generate_id(connection);
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    xcb_set_selection_owner(connection, window, selection, XCB_CURRENT_TIME);
    std::vector<xcb_atom_t> types;
    for (const Offer &offer : offers)
        types.push_back(offer.type);
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, typeList, XCB_ATOM_ATOM, 32,
                        uint32_t(types.size()), types.data());
    types.resize(std::max<size_t>(types.size(), 3), XCB_ATOM_NONE);
    sendMessage(target, enter,
                {window, (5u << 24) | (offers.size() > 3 ? 1u : 0u), types[0], types[1], types[2]});

    Incremental incremental;
    bool dropped = false;
    int positions = 0;
    const auto start = std::chrono::steady_clock::now();
    if (how.rfind("rush:", 0) == 0) {
        const uint32_t fx = uint32_t(std::atoi(how.c_str() + 5));
        const uint32_t fy = uint32_t(std::atoi(std::strchr(how.c_str(), ',') + 1));
        sendMessage(target, position, {window, 0, (fx << 16) | fy, XCB_CURRENT_TIME, copy});
        sendMessage(target, position, {window, 0, (x << 16) | y, XCB_CURRENT_TIME, copy});
        sendMessage(target, drop, {window, 0, XCB_CURRENT_TIME, 0, 0});
        dropped = true;
        std::printf("dropped\n");
        std::fflush(stdout);
    } else {
        if (how.rfind("flood:", 0) == 0) {
            for (int i = std::atoi(how.c_str() + 6); i > 0; --i)
                sendMessage(target, position, {window, 0, (x << 16) | y, XCB_CURRENT_TIME, copy});
        }
        sendMessage(target, position, {window, 0, (x << 16) | y, XCB_CURRENT_TIME, copy});
    }
    while (std::chrono::steady_clock::now() - start < std::chrono::seconds(60)) {
        xcb_generic_event_t *event = xcb_poll_for_event(connection);
        if (!event) {
            if (xcb_connection_has_error(connection))
                return 1;
            pollfd fd = {xcb_get_file_descriptor(connection), POLLIN, 0};
            ::poll(&fd, 1, 100);
            continue;
        }
        const uint8_t kind = event->response_type & 0x7f;
        if (kind == XCB_CLIENT_MESSAGE) {
            auto *message = reinterpret_cast<xcb_client_message_event_t *>(event);
            if (message->type == status && !dropped) {
                // A second position first, as a moving pointer would send, then the drop.
                if (++positions < 2) {
                    sendMessage(target, position, {window, 0, (x << 16) | (y + 1), XCB_CURRENT_TIME, copy});
                } else {
                    if (how == "reenter")
                        sendMessage(target, enter,
                                    {window, (5u << 24) | (offers.size() > 3 ? 1u : 0u), types[0], types[1],
                                     types[2]});
                    sendMessage(target, drop, {window, 0, XCB_CURRENT_TIME, 0, 0});
                    dropped = true;
                    std::printf("dropped\n");
                    std::fflush(stdout);
                }
            } else if (message->type == finished) {
                std::printf("finished %u\n", message->data.data32[1] & 1);
                std::fflush(stdout);
            }
        } else if (kind == XCB_SELECTION_REQUEST) {
            auto *request = reinterpret_cast<xcb_selection_request_event_t *>(event);
            std::printf("request\n");
            std::fflush(stdout);
            const Offer *offer = nullptr;
            for (const Offer &o : offers) {
                if (o.type == request->target)
                    offer = &o;
            }
            const xcb_atom_t property = request->property ? request->property : request->target;
            if (mode == "noanswer") {
                // never answers
            } else if (!offer) {
                notify(request, XCB_ATOM_NONE);
            } else if (mode == "incrstall" || offer->bytes.size() > pieceBytes) {
                const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
                xcb_change_window_attributes(connection, request->requestor, XCB_CW_EVENT_MASK, &mask);
                const uint32_t size = uint32_t(offer->bytes.size());
                xcb_change_property(connection, XCB_PROP_MODE_REPLACE, request->requestor, property, incr,
                                    32, 1, &size);
                notify(request, property);
                if (mode != "incrstall")
                    incremental = {request->requestor, property, offer->type, &offer->bytes, 0, false};
            } else {
                xcb_change_property(connection, XCB_PROP_MODE_REPLACE, request->requestor, property,
                                    offer->type, 8, uint32_t(offer->bytes.size()), offer->bytes.data());
                notify(request, property);
            }
        } else if (kind == XCB_PROPERTY_NOTIFY) {
            auto *change = reinterpret_cast<xcb_property_notify_event_t *>(event);
            if (!incremental.done && change->window == incremental.requestor &&
                change->atom == incremental.property && change->state == XCB_PROPERTY_DELETE) {
                const size_t length = std::min(pieceBytes, incremental.bytes->size() - incremental.offset);
                xcb_change_property(connection, XCB_PROP_MODE_REPLACE, incremental.requestor,
                                    incremental.property, incremental.type, 8, uint32_t(length),
                                    incremental.bytes->data() + incremental.offset);
                xcb_flush(connection);
                incremental.offset += length;
                incremental.done = length == 0;
            }
        }
        std::free(event);
    }
    return 0;
}
