#include "platform/x11/x11pictureoffer.h"

#include <QAbstractEventDispatcher>
#include <QBuffer>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QImageWriter>
#include <QMimeData>

#include <atomic>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include "platform/imagedecoding.h"
#include "platform/ownedfiles.h"
#include "platform/x11/qtownsync.h"

namespace qv {

namespace {

const QString pngType = QStringLiteral("image/png");

struct FreeDeleter
{
    void operator()(void *p) const { std::free(p); }
};
template <typename T> using XcbPtr = std::unique_ptr<T, FreeDeleter>;

xcb_atom_t internAtom(xcb_connection_t *connection, const char *name)
{
    XcbPtr<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, uint16_t(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// The selection request `message` holds, copied; false for any other event. Qt's reader thread hands
// each event to the main thread: only this touches the event's own bytes.
QV_QT_OWN_SYNC bool copySelectionRequest(const void *message, xcb_selection_request_event_t *copy)
{
    const volatile auto *from = static_cast<const volatile uint32_t *>(message);
    if ((from[0] & 0x7f) != XCB_SELECTION_REQUEST)
        return false;
    uint32_t words[sizeof(xcb_selection_request_event_t) / 4];
    for (size_t i = 0; i < std::size(words); ++i)
        words[i] = from[i];
    std::memcpy(copy, words, sizeof(words));
    return true;
}

void notify(xcb_connection_t *connection, const xcb_selection_request_event_t &request, xcb_atom_t property)
{
    xcb_selection_notify_event_t event = {};
    event.response_type = XCB_SELECTION_NOTIFY;
    event.time = request.time;
    event.requestor = request.requestor;
    event.selection = request.selection;
    event.target = request.target;
    event.property = property;
    xcb_send_event(connection, 0, request.requestor, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char *>(&event));
    xcb_flush(connection);
}

// The PNG made from one offered picture, made once for every request of that offer.
class Conversion
{
public:
    explicit Conversion(QString path) : m_path(std::move(path)) {}

    // Empty when the file is gone, does not decode, or its PNG would pass the bound.
    QByteArray png()
    {
        std::lock_guard lock(m_mutex);
        if (!m_done) {
            m_done = true;
            m_png = encode();
        }
        return m_png;
    }

    // What is made by now, never waiting for a conversion under way.
    QByteArray madeAlready()
    {
        std::unique_lock lock(m_mutex, std::try_to_lock);
        return lock.owns_lock() && m_done ? m_png : QByteArray();
    }

private:
    QByteArray encode() const
    {
        const auto read = OwnedFiles::readRegularFile(m_path, X11PictureOffer::maxBytes);
        if (read.problem != OwnedFiles::ReadResult::None)
            return QByteArray();
        const QImage image = ImageDecoding::readData(read.bytes);
        if (image.isNull())
            return QByteArray();
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "png");
        // Light compression: a photo's PNG is large whatever the level, and the highest levels take
        // seconds for it.
        writer.setQuality(80);
        if (!writer.write(image) || png.size() > X11PictureOffer::maxBytes)
            return QByteArray();
        return png;
    }

    const QString m_path;
    std::mutex m_mutex;
    bool m_done = false;
    QByteArray m_png;
};

} // namespace

class X11PictureOffer::Picture final : public QMimeData
{
public:
    Picture(const QString &path, const QString &type)
        : m_path(path), m_type(type), m_conversion(std::make_shared<Conversion>(path))
    {
    }

    bool isPng() const { return m_type == pngType; }
    const std::shared_ptr<Conversion> &conversion() const { return m_conversion; }

    QStringList formats() const override
    {
        return isPng() ? QStringList{m_type} : QStringList{m_type, pngType};
    }
    bool hasFormat(const QString &type) const override { return formats().contains(type); }

protected:
    QVariant retrieveData(const QString &type, QMetaType) const override
    {
        if (type == m_type) {
            if (!m_read) {
                m_read = true;
                const auto read = OwnedFiles::readRegularFile(m_path, maxBytes);
                if (read.problem == OwnedFiles::ReadResult::None)
                    m_bytes = read.bytes;
            }
            return m_bytes;
        }
        // Asked on the main thread only when the request came some other way than on its own
        // (within MULTIPLE): what is made by then, never a conversion here.
        if (type == pngType)
            return m_conversion->madeAlready();
        return QVariant();
    }

private:
    const QString m_path;
    const QString m_type;
    std::shared_ptr<Conversion> m_conversion;
    mutable bool m_read = false;
    mutable QByteArray m_bytes;
};

struct X11PictureOffer::Serve
{
    std::thread thread;
    std::atomic<bool> finished{false};
};

X11PictureOffer::X11PictureOffer()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    m_connection = x11 ? x11->connection() : nullptr;
    if (!m_connection || pipe2(m_wake, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_clipboard = internAtom(m_connection, "CLIPBOARD");
    m_png = internAtom(m_connection, "image/png");
    if (auto *dispatcher = QAbstractEventDispatcher::instance())
        dispatcher->installNativeEventFilter(this);
}

X11PictureOffer::~X11PictureOffer()
{
    if (auto *dispatcher = QAbstractEventDispatcher::instance())
        dispatcher->removeNativeEventFilter(this);
    if (m_wake[1] >= 0) {
        const char byte = 0;
        [[maybe_unused]] const auto written = ::write(m_wake[1], &byte, 1);
    }
    std::list<std::unique_ptr<Serve>> serves;
    {
        std::lock_guard lock(m_mutex);
        serves.swap(m_serves);
    }
    for (const auto &serve : serves)
        serve->thread.join();
    for (int fd : m_wake) {
        if (fd >= 0)
            ::close(fd);
    }
}

QMimeData *X11PictureOffer::offer(const QString &path, const QString &type)
{
    auto *picture = new Picture(path, type);
    m_current = picture;
    return picture;
}

bool X11PictureOffer::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
    if (eventType != "xcb_generic_event_t" || m_png == XCB_ATOM_NONE)
        return false;
    xcb_selection_request_event_t request;
    if (!copySelectionRequest(message, &request) || request.selection != m_clipboard ||
        request.target != m_png)
        return false;
    // Qt still holds the offer while the clipboard is ours with it; it deletes it otherwise.
    const auto *picture = dynamic_cast<const Picture *>(m_current.data());
    if (!picture || picture->isPng())
        return false;
    serve(request);
    return true;
}

namespace {

// Waits for the requestor to take the last piece (it deletes the property); false on a time-out, a
// lost connection or a wake-up.
bool waitForDelete(xcb_connection_t *connection, const xcb_selection_request_event_t &request,
                   xcb_atom_t property, int wakeFd)
{
    const QDeadlineTimer deadline(X11PictureOffer::stepTimeoutMs);
    for (;;) {
        while (xcb_generic_event_t *event = xcb_poll_for_event(connection)) {
            XcbPtr<xcb_generic_event_t> owned(event);
            auto *change = reinterpret_cast<xcb_property_notify_event_t *>(event);
            if ((event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY && change->window == request.requestor &&
                change->atom == property && change->state == XCB_PROPERTY_DELETE)
                return true;
        }
        const qint64 remaining = deadline.remainingTime();
        if (xcb_connection_has_error(connection) || remaining == 0)
            return false;
        pollfd fds[2] = {{xcb_get_file_descriptor(connection), POLLIN, 0}, {wakeFd, POLLIN, 0}};
        if (::poll(fds, 2, int(remaining)) > 0 && fds[1].revents)
            return false;
    }
}

// Closes the connection once the server has handled everything sent on it: closed at once, the last
// piece of a transfer was seen to go missing.
void closeWhenHandled(xcb_connection_t *connection)
{
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
    xcb_disconnect(connection);
}

void hand(const xcb_selection_request_event_t &request, const std::shared_ptr<Conversion> &conversion,
          int wakeFd)
{
    xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return;
    }
    const QByteArray png = conversion->png();
    const xcb_atom_t property = request.property != XCB_ATOM_NONE ? request.property : request.target;
    if (png.isEmpty()) {
        notify(connection, request, XCB_ATOM_NONE);
        closeWhenHandled(connection);
        return;
    }
    const qsizetype piece = 256 * 1024;
    if (png.size() <= piece) {
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, request.requestor, property, request.target, 8,
                            uint32_t(png.size()), png.constData());
        notify(connection, request, property);
        closeWhenHandled(connection);
        return;
    }
    // In pieces: each one written once the requestor has taken the one before.
    const uint32_t watch = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(connection, request.requestor, XCB_CW_EVENT_MASK, &watch);
    const uint32_t size = uint32_t(png.size());
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, request.requestor, property,
                        internAtom(connection, "INCR"), 32, 1, &size);
    notify(connection, request, property);
    for (qsizetype offset = 0;;) {
        if (!waitForDelete(connection, request, property, wakeFd))
            break;
        const qsizetype length = std::min(piece, png.size() - offset);
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, request.requestor, property, request.target, 8,
                            uint32_t(length), png.constData() + offset);
        xcb_flush(connection);
        offset += length;
        if (length == 0)
            break;
    }
    closeWhenHandled(connection);
}

} // namespace

void X11PictureOffer::serve(const xcb_selection_request_event_t &request)
{
    std::lock_guard lock(m_mutex);
    reapServes();
    if (m_serves.size() >= size_t(maxServesAtOnce)) {
        refuse(request);
        return;
    }
    auto serve = std::make_unique<Serve>();
    Serve *raw = serve.get();
    const auto conversion = static_cast<const Picture *>(m_current.data())->conversion();
    raw->thread = std::thread([raw, request, conversion, wake = m_wake[0]] {
        hand(request, conversion, wake);
        raw->finished = true;
    });
    m_serves.push_back(std::move(serve));
}

void X11PictureOffer::refuse(const xcb_selection_request_event_t &request)
{
    notify(m_connection, request, XCB_ATOM_NONE);
}

void X11PictureOffer::reapServes()
{
    for (auto it = m_serves.begin(); it != m_serves.end();) {
        if ((*it)->finished) {
            (*it)->thread.join();
            it = m_serves.erase(it);
        } else {
            ++it;
        }
    }
}

} // namespace qv
