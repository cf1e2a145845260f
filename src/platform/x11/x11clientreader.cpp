#include "platform/x11/x11clientreader.h"

#include <QMargins>

#include <cstdlib>
#include <algorithm>
#include <memory>

#include <xcb/res.h>
#include <xcb/xcb_icccm.h>

#include "platform/x11/compoundtext.h"
#include "platform/x11/x11session.h"

namespace qv {

namespace {

struct FreeDeleter
{
    void operator()(void *p) const { std::free(p); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeDeleter>;

// Longest text property read, in 32-bit units; titles beyond 16 KiB are cut.
constexpr uint32_t textLength = 4096;
constexpr uint32_t listLength = 64;
// _NET_WM_ICON is walked entry by entry, reading only each entry's two-word header, and no more
// entries than this: a property of any size costs a few small round trips, never its bulk.
constexpr int maxIconEntries = 32;
// The side past which an entry is never taken: its pixels alone would be 4 MiB.
constexpr uint32_t maxIconSide = 1024;
constexpr uint32_t stickyDesktop = 0xFFFFFFFF;
// Frame extents beyond this are nonsense from a confused window manager; they are ignored.
constexpr uint32_t maxExtent = 4096;

// Layers in the spirit of a window server's levels: documents at 0, helpers above them, the
// desktop below. Only 0 is ever listed as a document window.
constexpr int desktopLayer = -1;
constexpr int documentLayer = 0;
constexpr int helperLayer = 3;
constexpr int panelLayer = 20;
constexpr int notificationLayer = 23;
constexpr int menuLayer = 101;

xcb_get_property_cookie_t getProperty(xcb_connection_t *c, xcb_window_t window, xcb_atom_t atom,
                                      uint32_t length)
{
    return xcb_get_property(c, 0, window, atom, XCB_GET_PROPERTY_TYPE_ANY, 0, length);
}

Reply<xcb_get_property_reply_t> propertyReply(xcb_connection_t *c, xcb_get_property_cookie_t cookie)
{
    Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(c, cookie, nullptr));
    if (reply && reply->type == XCB_ATOM_NONE)
        reply.reset();
    return reply;
}

// A text property by its type: UTF8_STRING, STRING (ISO 8859-1), COMPOUND_TEXT (older programs'
// titles, xterm's among them), else the locale's own encoding.
std::optional<QString> textOf(xcb_get_property_reply_t *reply, xcb_atom_t utf8,
                              xcb_atom_t compoundText = XCB_ATOM_NONE)
{
    if (!reply || reply->format != 8)
        return std::nullopt;
    const int length = xcb_get_property_value_length(reply);
    QByteArray bytes(static_cast<const char *>(xcb_get_property_value(reply)), length);
    while (bytes.endsWith('\0'))
        bytes.chop(1);
    if (reply->type == utf8)
        return QString::fromUtf8(bytes);
    if (reply->type == XCB_ATOM_STRING)
        return QString::fromLatin1(bytes);
    if (compoundText != XCB_ATOM_NONE && reply->type == compoundText)
        return decodeCompoundText(bytes);
    return QString::fromLocal8Bit(bytes);
}

QList<uint32_t> cardinalsOf(xcb_get_property_reply_t *reply)
{
    QList<uint32_t> values;
    if (!reply || reply->format != 32)
        return values;
    const auto *data = static_cast<const uint32_t *>(xcb_get_property_value(reply));
    const int count = xcb_get_property_value_length(reply) / 4;
    values.reserve(count);
    for (int i = 0; i < count; ++i)
        values.append(data[i]);
    return values;
}

QList<xcb_window_t> windowList(xcb_connection_t *c, xcb_window_t root, xcb_atom_t atom)
{
    Reply<xcb_get_property_reply_t> reply =
        propertyReply(c, xcb_get_property(c, 0, root, atom, XCB_ATOM_WINDOW, 0, 1 << 16));
    return cardinalsOf(reply.get());
}

struct Cookies
{
    xcb_get_window_attributes_cookie_t attributes;
    xcb_get_geometry_cookie_t geometry;
    xcb_translate_coordinates_cookie_t position;
    xcb_get_property_cookie_t netName, wmName, pid, wmClass, types, states, desktop, extents, gtkId, kdeFile,
        wmState;
};

} // namespace

std::optional<QList<xcb_window_t>> X11ClientReader::clientsFrontToBack()
{
    if (!m_session.isValid())
        return std::nullopt;
    xcb_connection_t *c = m_session.xcb();
    xcb_ewmh_connection_t *ewmh = m_session.ewmh();
    QList<xcb_window_t> stacking = windowList(c, m_session.root(), ewmh->_NET_CLIENT_LIST_STACKING);
    if (stacking.isEmpty())
        stacking = windowList(c, m_session.root(), ewmh->_NET_CLIENT_LIST);
    if (xcb_connection_has_error(c))
        return std::nullopt;
    std::reverse(stacking.begin(), stacking.end());
    return stacking;
}

std::optional<X11Client> X11ClientReader::readOne(xcb_window_t window)
{
    const QList<X11Client> clients = read({window});
    if (clients.isEmpty())
        return std::nullopt;
    return clients.first();
}

QList<X11Client> X11ClientReader::read(const QList<xcb_window_t> &windows)
{
    QList<X11Client> result;
    if (!m_session.isValid())
        return result;
    xcb_connection_t *c = m_session.xcb();
    xcb_ewmh_connection_t *ewmh = m_session.ewmh();
    const xcb_window_t root = m_session.root();

    QList<Cookies> cookies;
    cookies.reserve(windows.size());
    for (xcb_window_t w : windows) {
        cookies.append(Cookies{
            xcb_get_window_attributes(c, w),
            xcb_get_geometry(c, w),
            xcb_translate_coordinates(c, w, root, 0, 0),
            getProperty(c, w, ewmh->_NET_WM_NAME, textLength),
            getProperty(c, w, XCB_ATOM_WM_NAME, textLength),
            getProperty(c, w, ewmh->_NET_WM_PID, 1),
            getProperty(c, w, XCB_ATOM_WM_CLASS, textLength),
            getProperty(c, w, ewmh->_NET_WM_WINDOW_TYPE, listLength),
            getProperty(c, w, ewmh->_NET_WM_STATE, listLength),
            getProperty(c, w, ewmh->_NET_WM_DESKTOP, 1),
            getProperty(c, w, ewmh->_NET_FRAME_EXTENTS, 4),
            getProperty(c, w, m_session.atom(X11Session::Atom::gtkApplicationId), textLength),
            getProperty(c, w, m_session.atom(X11Session::Atom::kdeDesktopFile), textLength),
            getProperty(c, w, m_session.atom(X11Session::Atom::wmState), 2),
        });
    }

    const std::optional<uint32_t> current = currentDesktop();
    QList<qsizetype> withoutPid;
    for (qsizetype i = 0; i < windows.size(); ++i) {
        const Cookies &k = cookies[i];
        Reply<xcb_get_window_attributes_reply_t> attributes(
            xcb_get_window_attributes_reply(c, k.attributes, nullptr));
        Reply<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(c, k.geometry, nullptr));
        Reply<xcb_translate_coordinates_reply_t> position(
            xcb_translate_coordinates_reply(c, k.position, nullptr));
        auto netName = propertyReply(c, k.netName);
        auto wmName = propertyReply(c, k.wmName);
        auto pid = propertyReply(c, k.pid);
        auto wmClass = propertyReply(c, k.wmClass);
        auto types = propertyReply(c, k.types);
        auto states = propertyReply(c, k.states);
        auto desktop = propertyReply(c, k.desktop);
        auto extents = propertyReply(c, k.extents);
        auto gtkId = propertyReply(c, k.gtkId);
        auto kdeFile = propertyReply(c, k.kdeFile);
        auto wmState = propertyReply(c, k.wmState);
        // Destroyed between the list and this read: not a window any more.
        if (!attributes || !geometry || !position)
            continue;

        X11Client client;
        client.window = windows[i];
        client.viewable = attributes->map_state == XCB_MAP_STATE_VIEWABLE;
        const QList<uint32_t> extentValues = cardinalsOf(extents.get());
        if (extentValues.size() == 4 && std::all_of(extentValues.begin(), extentValues.end(),
                                                    [](uint32_t v) { return v <= maxExtent; })) {
            client.extents = QMargins(int(extentValues[0]), int(extentValues[2]), int(extentValues[1]),
                                      int(extentValues[3]));
        }
        const QRect inner(position->dst_x, position->dst_y, geometry->width, geometry->height);
        client.frame = inner.marginsAdded(client.extents);

        const std::optional<QString> net = textOf(netName.get(), ewmh->UTF8_STRING);
        const std::optional<QString> legacy =
            textOf(wmName.get(), ewmh->UTF8_STRING, m_session.atom(X11Session::Atom::compoundText));
        if (net && !net->isEmpty())
            client.title = net;
        else if (legacy)
            client.title = legacy;
        else
            client.title = net;

        const QList<uint32_t> pidValues = cardinalsOf(pid.get());
        if (!pidValues.isEmpty() && pidValues.first() > 0 && pidValues.first() < (1u << 31))
            client.pid = pidValues.first();
        if (wmClass && wmClass->format == 8) {
            const QList<QByteArray> parts =
                QByteArray(static_cast<const char *>(xcb_get_property_value(wmClass.get())),
                           xcb_get_property_value_length(wmClass.get()))
                    .split('\0');
            client.wmInstance = parts.value(0).isEmpty() ? QString() : QString::fromLocal8Bit(parts.value(0));
            client.wmClass = parts.value(1).isEmpty() ? QString() : QString::fromLocal8Bit(parts.value(1));
        }
        client.gtkApplicationId = textOf(gtkId.get(), ewmh->UTF8_STRING).value_or(QString());
        client.kdeDesktopFile = textOf(kdeFile.get(), ewmh->UTF8_STRING).value_or(QString());
        client.types = cardinalsOf(types.get());
        client.states = cardinalsOf(states.get());
        const QList<uint32_t> desktopValues = cardinalsOf(desktop.get());
        if (!desktopValues.isEmpty())
            client.desktop = desktopValues.first();
        const QList<uint32_t> wmStateValues = cardinalsOf(wmState.get());
        // Window managers also iconify (ICCCM) the windows of other desktops; only on the current
        // desktop does Iconic mean minimised.
        const bool iconic = !wmStateValues.isEmpty() && wmStateValues.first() == XCB_ICCCM_WM_STATE_ICONIC;
        client.hidden =
            client.states.contains(ewmh->_NET_WM_STATE_HIDDEN) || (iconic && isOnDesktop(client, current));
        client.fullScreen = client.states.contains(ewmh->_NET_WM_STATE_FULLSCREEN);
        if (client.pid == 0)
            withoutPid.append(result.size());
        result.append(client);
    }

    // Clients that do not say their PID (xeyes, most Xt programs): the server knows the process of
    // local connections.
    if (!withoutPid.isEmpty() && m_session.hasRes()) {
        QList<xcb_res_query_client_ids_cookie_t> pidCookies;
        for (qsizetype index : std::as_const(withoutPid)) {
            xcb_res_client_id_spec_t spec{result[index].window, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
            pidCookies.append(xcb_res_query_client_ids(c, 1, &spec));
        }
        for (qsizetype j = 0; j < withoutPid.size(); ++j) {
            Reply<xcb_res_query_client_ids_reply_t> reply(
                xcb_res_query_client_ids_reply(c, pidCookies[j], nullptr));
            if (!reply)
                continue;
            for (auto it = xcb_res_query_client_ids_ids_iterator(reply.get()); it.rem;
                 xcb_res_client_id_value_next(&it)) {
                if ((it.data->spec.mask & XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID) && it.data->length >= 4) {
                    result[withoutPid[j]].pid = *xcb_res_client_id_value_value(it.data);
                    break;
                }
            }
        }
    }
    return result;
}

QList<xcb_window_t> X11ClientReader::possiblyOwnedBy(const QList<xcb_window_t> &windows, qint64 pid)
{
    QList<xcb_window_t> owned;
    if (!m_session.isValid())
        return owned;
    xcb_connection_t *c = m_session.xcb();
    QList<xcb_get_property_cookie_t> cookies;
    cookies.reserve(windows.size());
    for (xcb_window_t w : windows)
        cookies.append(getProperty(c, w, m_session.ewmh()->_NET_WM_PID, 1));
    for (qsizetype i = 0; i < windows.size(); ++i) {
        const QList<uint32_t> values = cardinalsOf(propertyReply(c, cookies[i]).get());
        // A value read() would not take as a process either leaves the answer to the server.
        const bool told = !values.isEmpty() && values.first() > 0 && values.first() < (1u << 31);
        if (!told || qint64(values.first()) == pid)
            owned.append(windows[i]);
    }
    return owned;
}

xcb_window_t X11ClientReader::activeWindow()
{
    if (!m_session.isValid())
        return XCB_WINDOW_NONE;
    xcb_ewmh_connection_t *ewmh = m_session.ewmh();
    xcb_window_t active = XCB_WINDOW_NONE;
    if (!xcb_ewmh_get_active_window_reply(ewmh, xcb_ewmh_get_active_window(ewmh, m_session.screenNumber()),
                                          &active, nullptr))
        return XCB_WINDOW_NONE;
    return active;
}

std::optional<uint32_t> X11ClientReader::currentDesktop()
{
    if (!m_session.isValid())
        return std::nullopt;
    xcb_ewmh_connection_t *ewmh = m_session.ewmh();
    uint32_t desktop = 0;
    if (!xcb_ewmh_get_current_desktop_reply(
            ewmh, xcb_ewmh_get_current_desktop(ewmh, m_session.screenNumber()), &desktop, nullptr))
        return std::nullopt;
    return desktop;
}

int X11ClientReader::layerOf(const X11Client &client) const
{
    xcb_ewmh_connection_t *ewmh = m_session.ewmh();
    // The first type the window names that we know decides, as the window manager reads it.
    for (xcb_atom_t type : client.types) {
        if (type == ewmh->_NET_WM_WINDOW_TYPE_NORMAL || type == ewmh->_NET_WM_WINDOW_TYPE_DIALOG)
            break;
        if (type == ewmh->_NET_WM_WINDOW_TYPE_DESKTOP)
            return desktopLayer;
        if (type == ewmh->_NET_WM_WINDOW_TYPE_DOCK)
            return panelLayer;
        if (type == ewmh->_NET_WM_WINDOW_TYPE_NOTIFICATION)
            return notificationLayer;
        if (type == ewmh->_NET_WM_WINDOW_TYPE_MENU || type == ewmh->_NET_WM_WINDOW_TYPE_DROPDOWN_MENU ||
            type == ewmh->_NET_WM_WINDOW_TYPE_POPUP_MENU || type == ewmh->_NET_WM_WINDOW_TYPE_TOOLTIP ||
            type == ewmh->_NET_WM_WINDOW_TYPE_COMBO || type == ewmh->_NET_WM_WINDOW_TYPE_DND)
            return menuLayer;
        if (type == ewmh->_NET_WM_WINDOW_TYPE_UTILITY || type == ewmh->_NET_WM_WINDOW_TYPE_TOOLBAR ||
            type == ewmh->_NET_WM_WINDOW_TYPE_SPLASH)
            return helperLayer;
    }
    // A window that asks to stay out of taskbars and pagers is a helper, not a document.
    if (client.states.contains(ewmh->_NET_WM_STATE_SKIP_TASKBAR))
        return helperLayer;
    return documentLayer;
}

QHash<qint64, X11Client> X11ClientReader::firstPerProcess(const QList<X11Client> &clients)
{
    QHash<qint64, X11Client> first;
    for (const X11Client &client : clients) {
        auto it = first.find(client.pid);
        if (it == first.end())
            first.insert(client.pid, client);
        else if (client.window < it->window)
            *it = client;
    }
    return first;
}

bool X11ClientReader::isOnDesktop(const X11Client &client, std::optional<uint32_t> current)
{
    if (!current || !client.desktop)
        return true;
    return *client.desktop == stickyDesktop || *client.desktop == *current;
}

QImage X11ClientReader::icon(xcb_window_t window, int preferredSize)
{
    if (!m_session.isValid())
        return QImage();
    xcb_connection_t *c = m_session.xcb();
    const xcb_atom_t atom = m_session.ewmh()->_NET_WM_ICON;
    // The property's length first (a read of no data says what follows), then each entry's header:
    // the pixels of the one picked are the only bulk read, and it is at most 1024 x 1024.
    Reply<xcb_get_property_reply_t> head =
        propertyReply(c, xcb_get_property(c, 0, window, atom, XCB_ATOM_CARDINAL, 0, 0));
    if (!head || head->format != 32 || head->type != XCB_ATOM_CARDINAL)
        return QImage();
    const size_t length = head->bytes_after / 4;
    QList<IconEntry> entries;
    size_t offset = 0;
    while (length - offset >= 2 && entries.size() < maxIconEntries) {
        Reply<xcb_get_property_reply_t> header =
            propertyReply(c, xcb_get_property(c, 0, window, atom, XCB_ATOM_CARDINAL, uint32_t(offset), 2));
        if (!header || header->format != 32 || xcb_get_property_value_length(header.get()) != 8)
            break;
        const auto *words = static_cast<const uint32_t *>(xcb_get_property_value(header.get()));
        const std::optional<IconEntry> entry = iconEntryAt(offset, words[0], words[1], length);
        if (!entry)
            break;
        entries.append(*entry);
        offset += 2 + size_t(entry->width) * entry->height;
    }
    const std::optional<IconEntry> best = bestIconEntry(entries, preferredSize);
    if (!best)
        return QImage();
    const size_t pixels = size_t(best->width) * best->height;
    Reply<xcb_get_property_reply_t> data =
        propertyReply(c, xcb_get_property(c, 0, window, atom, XCB_ATOM_CARDINAL, uint32_t(best->offset + 2),
                                          uint32_t(pixels)));
    // Changed meanwhile (shorter now): none rather than a picture of half one icon and half another.
    if (!data || data->format != 32 || size_t(xcb_get_property_value_length(data.get())) != pixels * 4)
        return QImage();
    return iconImage(*best, static_cast<const uint32_t *>(xcb_get_property_value(data.get())));
}

std::optional<X11ClientReader::IconEntry> X11ClientReader::iconEntryAt(size_t offset, uint32_t width,
                                                                       uint32_t height, size_t length)
{
    if (width == 0 || height == 0 || width > maxIconSide || height > maxIconSide)
        return std::nullopt;
    if (size_t(width) * height > length - offset - 2)
        return std::nullopt;
    return IconEntry{offset, width, height};
}

std::optional<X11ClientReader::IconEntry> X11ClientReader::bestIconEntry(const QList<IconEntry> &entries,
                                                                         int preferredSize)
{
    std::optional<IconEntry> best;
    for (const IconEntry &entry : entries) {
        const uint32_t side = std::max(entry.width, entry.height);
        const uint32_t bestSide = best ? std::max(best->width, best->height) : 0;
        const bool bigEnough = side >= uint32_t(preferredSize);
        const bool bestBigEnough = bestSide >= uint32_t(preferredSize);
        // Prefer the smallest icon that needs no upscaling, else the largest there is.
        if (!best || (bigEnough && (!bestBigEnough || side < bestSide)) ||
            (!bigEnough && !bestBigEnough && side > bestSide))
            best = entry;
    }
    return best;
}

QImage X11ClientReader::iconImage(const IconEntry &entry, const uint32_t *pixels)
{
    QImage image(int(entry.width), int(entry.height), QImage::Format_ARGB32);
    for (uint32_t y = 0; y < entry.height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(int(y)));
        for (uint32_t x = 0; x < entry.width; ++x)
            line[x] = pixels[size_t(y) * entry.width + x];
    }
    return image;
}

QImage X11ClientReader::pickIcon(const uint32_t *data, size_t length, int preferredSize)
{
    QList<IconEntry> entries;
    size_t pos = 0;
    while (length - pos >= 2 && entries.size() < maxIconEntries) {
        const std::optional<IconEntry> entry = iconEntryAt(pos, data[pos], data[pos + 1], length);
        if (!entry)
            break;
        entries.append(*entry);
        pos += 2 + size_t(entry->width) * entry->height;
    }
    const std::optional<IconEntry> best = bestIconEntry(entries, preferredSize);
    return best ? iconImage(*best, data + best->offset + 2) : QImage();
}

} // namespace qv
