#include "platform/x11/x11dropreceiver.h"

#include <QAbstractEventDispatcher>
#include <QBuffer>
#include <QDeadlineTimer>
#include <QDropEvent>
#include <QGuiApplication>
#include <QImageReader>
#include <QLoggingCategory>
#include <QMimeData>
#include <QPointer>
#include <QSet>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <utility>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include "platform/droptypes.h"
#include "platform/memoryrelease.h"
#include "platform/x11/qtownsync.h"

Q_LOGGING_CATEGORY(lcX11Drop, "quorvantis.x11.drop")

namespace qv {

namespace {

struct FreeDeleter
{
    void operator()(void *p) const { std::free(p); }
};
template <typename T> using XcbPtr = std::unique_ptr<T, FreeDeleter>;

// Atoms of `names`, in one round trip; XCB_ATOM_NONE where the server gave none.
std::vector<xcb_atom_t> internAtoms(xcb_connection_t *connection, const QStringList &names)
{
    std::vector<xcb_intern_atom_cookie_t> cookies;
    for (const QString &name : names) {
        const QByteArray bytes = name.toUtf8();
        cookies.push_back(xcb_intern_atom(connection, 0, uint16_t(bytes.size()), bytes.constData()));
    }
    std::vector<xcb_atom_t> atoms;
    for (const auto &cookie : cookies) {
        XcbPtr<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(connection, cookie, nullptr));
        atoms.push_back(reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE));
    }
    return atoms;
}

// True when the bytes start like a picture the decoders know (the header only is read).
bool looksLikeImage(const QByteArray &data)
{
    QByteArray copy = data;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    return reader.canRead();
}

// One type a drop's read asks for, and what it keeps of it.
struct Wanted
{
    QString type;
    qsizetype maxBytes = 0;
    // A list is useful cut short (its parse drops the cut line); a picture is not.
    bool keepPrefix = false;
    bool image = false;
};

QList<Wanted> wantedTypes()
{
    QList<Wanted> wanted = {{DropType::uriList, DropType::maxUriListBytes, true, false},
                            {DropType::mozUrl, DropType::maxMozUrlBytes, true, false}};
    for (const QString &type : DropType::imageTypes())
        wanted.append({type, DropType::maxImageBytes, false, true});
    return wanted;
}

// The client message `message` holds, copied; false when it is another kind of event. Qt's reader
// thread hands each event to the main thread: the event's bytes are only touched by this and
// and everything else works on the copy.
QV_QT_OWN_SYNC bool copyClientMessage(const void *message, xcb_client_message_event_t *copy)
{
    // Word by word through volatile reads: a memcpy would be watched again by its interceptor.
    const volatile auto *from = static_cast<const volatile uint32_t *>(message);
    if ((from[0] & 0x7f) != XCB_CLIENT_MESSAGE)
        return false;
    uint32_t words[sizeof(xcb_client_message_event_t) / 4];
    for (size_t i = 0; i < std::size(words); ++i)
        words[i] = from[i];
    std::memcpy(copy, words, sizeof(words));
    return true;
}

} // namespace

// One drop's data, read on a thread of its own over a connection of its own. The main thread fills
// the drag's fields before the thread starts and reads the results only after `finished` is set
// under the receiver's lock.
class X11DropReceiver::Read
{
public:
    enum class Outcome { Got, Refused, TooLarge, Silent };

    Drag drag;
    xcb_timestamp_t time = XCB_CURRENT_TIME;
    QPointer<QWidget> widget;
    QPoint local;
    std::thread thread;
    bool finished = false;

    // Results: the list of files parsed, the other types' bytes as they came.
    std::optional<UriList> uriList;
    QList<QPair<QString, QByteArray>> data;
    // Types refused unread, each with why.
    QStringList notRead;
    // Why nothing came, when the source let the read down; empty when it answered.
    QString failure;

    void run(int wakeFd)
    {
        m_wakeFd = wakeFd;
        m_whole = QDeadlineTimer(readMs);
        m_connection = xcb_connect(nullptr, nullptr);
        if (m_connection && !xcb_connection_has_error(m_connection))
            readAll();
        else
            failure = QStringLiteral("no connection to the X server");
        if (m_connection)
            xcb_disconnect(m_connection);
        m_connection = nullptr;
        parseUriList();
    }

private:
    // A list of thousands of files costs a tenth of a second to parse and tens of megabytes while it
    // is parsed: both stay on this thread, and only what the drop can use goes on.
    void parseUriList()
    {
        const auto list = std::find_if(data.begin(), data.end(),
                                       [](const auto &entry) { return entry.first == DropType::uriList; });
        if (list == data.end())
            return;
        uriList = UriList::parse(
            list->second, {UriList::defaultMaxBytes, UriList::defaultMaxLines, DropType::maxUriListEntries});
        data.erase(list);
        releaseFreeMemory();
    }

    void readAll()
    {
        const QList<Wanted> wanted = wantedTypes();
        QStringList names = {QStringLiteral("XdndSelection"), QStringLiteral("XdndTypeList"),
                             QStringLiteral("INCR")};
        for (const Wanted &w : wanted)
            names.append(w.type);
        for (qsizetype i = 0; i < wanted.size(); ++i)
            names.append(QStringLiteral("QV_DROP_TRANSFER_%1").arg(i));
        const std::vector<xcb_atom_t> atoms = internAtoms(m_connection, names);
        m_selection = atoms[0];
        m_incr = atoms[2];
        const size_t typesAt = 3;
        const size_t propertiesAt = typesAt + size_t(wanted.size());

        xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data;
        m_window = xcb_generate_id(m_connection);
        const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, m_window, screen->root, -10, -10, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_EVENT_MASK, &mask);

        const QSet<xcb_atom_t> offered = offeredTypes(atoms[1]);
        bool haveImage = false;
        for (qsizetype i = 0; i < wanted.size(); ++i) {
            const Wanted &w = wanted.at(i);
            const xcb_atom_t type = atoms[typesAt + size_t(i)];
            if (type == XCB_ATOM_NONE || !offered.contains(type) || (w.image && haveImage))
                continue;
            QByteArray bytes;
            const Outcome outcome = convert(type, atoms[propertiesAt + size_t(i)], w, &bytes);
            if (outcome == Outcome::Silent)
                return;
            if (outcome == Outcome::TooLarge)
                notRead.append(
                    QStringLiteral("%1: too large (more than %2 MB)").arg(w.type).arg(w.maxBytes / 1000000));
            if (outcome != Outcome::Got || (w.image && !looksLikeImage(bytes)))
                continue;
            haveImage = haveImage || w.image;
            data.append({w.type, bytes});
        }
    }

    // The source's types: the three of its enter message, or its full list (within a bound).
    QSet<xcb_atom_t> offeredTypes(xcb_atom_t typeList)
    {
        QSet<xcb_atom_t> offered;
        if (!drag.typeListOnSource) {
            for (uint32_t type : drag.enterTypes)
                offered.insert(type);
            return offered;
        }
        XcbPtr<xcb_get_property_reply_t> reply(xcb_get_property_reply(
            m_connection,
            xcb_get_property(m_connection, 0, drag.source, typeList, XCB_ATOM_ATOM, 0, maxOfferedTypes),
            nullptr));
        if (reply && reply->format == 32) {
            const auto *types = static_cast<const xcb_atom_t *>(xcb_get_property_value(reply.get()));
            const int count = xcb_get_property_value_length(reply.get()) / 4;
            for (int i = 0; i < count; ++i)
                offered.insert(types[i]);
        }
        return offered;
    }

    // The data of one type, asked of the source and waited for within the bounds; on Silent the
    // reason is in `failure`.
    Outcome convert(xcb_atom_t target, xcb_atom_t property, const Wanted &wanted, QByteArray *bytes)
    {
        xcb_delete_property(m_connection, m_window, property);
        xcb_convert_selection(m_connection, m_window, m_selection, target, property, time);
        xcb_flush(m_connection);
        auto event = waitFor([&](xcb_generic_event_t *e) {
            if ((e->response_type & 0x7f) != XCB_SELECTION_NOTIFY)
                return false;
            auto *notify = reinterpret_cast<xcb_selection_notify_event_t *>(e);
            return notify->requestor == m_window && notify->selection == m_selection &&
                   notify->target == target;
        });
        if (!event)
            return Outcome::Silent;
        if (reinterpret_cast<xcb_selection_notify_event_t *>(event.get())->property == XCB_ATOM_NONE)
            return Outcome::Refused;
        xcb_atom_t type = XCB_ATOM_NONE;
        bool more = false;
        // Taking the value (and deleting it) is also what lets an incremental source begin.
        *bytes = take(property, wanted.maxBytes, &type, &more);
        if (type != m_incr)
            return keep(bytes, wanted, more);
        bytes->clear();
        for (;;) {
            auto piece = waitFor([&](xcb_generic_event_t *e) {
                if ((e->response_type & 0x7f) != XCB_PROPERTY_NOTIFY)
                    return false;
                auto *notify = reinterpret_cast<xcb_property_notify_event_t *>(e);
                return notify->window == m_window && notify->atom == property &&
                       notify->state == XCB_PROPERTY_NEW_VALUE;
            });
            if (!piece)
                return Outcome::Silent;
            const QByteArray chunk = take(property, wanted.maxBytes - bytes->size(), &type, &more);
            if (chunk.isEmpty() && !more)
                return Outcome::Got;
            bytes->append(chunk);
            // Past the bound the rest is never asked for: the source's next piece is not taken.
            if (more || bytes->size() > wanted.maxBytes)
                return keep(bytes, wanted, true);
        }
    }

    Outcome keep(QByteArray *bytes, const Wanted &wanted, bool more) const
    {
        if (!more && bytes->size() <= wanted.maxBytes)
            return Outcome::Got;
        if (!wanted.keepPrefix)
            return Outcome::TooLarge;
        bytes->truncate(wanted.maxBytes);
        return Outcome::Got;
    }

    // At most `maxBytes` (plus one) of the property, deleted once read whole; `more` tells of a
    // value longer than what was read.
    QByteArray take(xcb_atom_t property, qsizetype maxBytes, xcb_atom_t *type, bool *more)
    {
        const uint32_t longs = uint32_t(std::max<qsizetype>(0, maxBytes) / 4 + 1);
        XcbPtr<xcb_get_property_reply_t> reply(xcb_get_property_reply(
            m_connection,
            xcb_get_property(m_connection, 1, m_window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, longs),
            nullptr));
        xcb_flush(m_connection);
        if (!reply) {
            *type = XCB_ATOM_NONE;
            *more = false;
            return QByteArray();
        }
        *type = reply->type;
        *more = reply->bytes_after > 0;
        return QByteArray(static_cast<const char *>(xcb_get_property_value(reply.get())),
                          xcb_get_property_value_length(reply.get()));
    }

    // The next event `accept` takes, within the answer time and the read's time; null (and the
    // reason in `failure`) when none came, the connection broke or the receiver is closing.
    template <typename Accept> XcbPtr<xcb_generic_event_t> waitFor(Accept accept)
    {
        const QDeadlineTimer answer(answerMs);
        for (;;) {
            while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection)) {
                XcbPtr<xcb_generic_event_t> owned(event);
                if (accept(event))
                    return owned;
            }
            if (xcb_connection_has_error(m_connection)) {
                failure = QStringLiteral("the X connection broke");
                return nullptr;
            }
            const qint64 remaining = std::min(answer.remainingTime(), m_whole.remainingTime());
            if (remaining == 0) {
                failure = m_whole.hasExpired()
                              ? QStringLiteral("the data was still coming after %1 s").arg(readMs / 1000)
                              : QStringLiteral("the source did not answer within %1 s").arg(answerMs / 1000);
                return nullptr;
            }
            pollfd fds[2] = {{xcb_get_file_descriptor(m_connection), POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
            if (::poll(fds, 2, int(remaining)) > 0 && fds[1].revents) {
                failure = QStringLiteral("the program is ending");
                return nullptr;
            }
        }
    }

    int m_wakeFd = -1;
    QDeadlineTimer m_whole;
    xcb_connection_t *m_connection = nullptr;
    xcb_window_t m_window = XCB_WINDOW_NONE;
    xcb_atom_t m_selection = XCB_ATOM_NONE;
    xcb_atom_t m_incr = XCB_ATOM_NONE;
};

X11DropReceiver::X11DropReceiver(QObject *parent) : QObject(parent)
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    m_connection = x11 ? x11->connection() : nullptr;
    if (!m_connection || pipe2(m_wake, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    const std::vector<xcb_atom_t> atoms =
        internAtoms(m_connection,
                    {QStringLiteral("XdndEnter"), QStringLiteral("XdndPosition"), QStringLiteral("XdndLeave"),
                     QStringLiteral("XdndDrop"), QStringLiteral("XdndFinished"),
                     QStringLiteral("XdndActionCopy"), QStringLiteral("XdndStatus")});
    m_enter = atoms[0];
    m_position = atoms[1];
    m_leave = atoms[2];
    m_drop = atoms[3];
    m_finished = atoms[4];
    m_copy = atoms[5];
    m_status = atoms[6];
    if (auto *dispatcher = QAbstractEventDispatcher::instance())
        dispatcher->installNativeEventFilter(this);
}

X11DropReceiver::~X11DropReceiver()
{
    if (auto *dispatcher = QAbstractEventDispatcher::instance())
        dispatcher->removeNativeEventFilter(this);
    m_closing = true;
    if (m_wake[1] >= 0) {
        const char byte = 0;
        [[maybe_unused]] const auto written = ::write(m_wake[1], &byte, 1);
    }
    std::list<std::unique_ptr<Read>> reads;
    {
        std::lock_guard lock(m_mutex);
        reads.swap(m_reads);
    }
    for (const auto &read : reads)
        read->thread.join();
    for (int fd : m_wake) {
        if (fd >= 0)
            ::close(fd);
    }
}

int X11DropReceiver::pendingReads() const
{
    std::lock_guard lock(m_mutex);
    return int(m_reads.size());
}

namespace {

// The widget at `root` (root coordinates of the X server) in the window that takes drops there, and
// the point in its own coordinates.
QWidget *acceptingWidgetAt(xcb_window_t window, QPoint root, QPoint *local)
{
    QWidget *top = QWidget::find(WId(window));
    if (!top)
        return nullptr;
    // The server counts device pixels; the widgets count logical ones.
    const qreal ratio = top->windowHandle() ? top->windowHandle()->devicePixelRatio() : 1.0;
    const QPoint global = (QPointF(root) / ratio).toPoint();
    QWidget *widget = top->childAt(top->mapFromGlobal(global));
    for (widget = widget ? widget : top; widget;
         widget = widget->isWindow() ? nullptr : widget->parentWidget()) {
        if (widget->acceptDrops() && widget->isEnabled()) {
            *local = widget->mapFromGlobal(global);
            return widget;
        }
    }
    return nullptr;
}

} // namespace

bool X11DropReceiver::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
    if (eventType != "xcb_generic_event_t" || m_drop == XCB_ATOM_NONE)
        return false;
    xcb_client_message_event_t copy;
    if (!copyClientMessage(message, &copy) || copy.format != 32)
        return false;
    const xcb_client_message_event_t *client = &copy;
    const uint32_t *l = client->data.data32;
    if (client->type == m_enter) {
        leaveTarget();
        Drag drag;
        drag.source = l[0];
        drag.window = client->window;
        drag.typeListOnSource = l[1] & 1;
        std::memcpy(drag.enterTypes, l + 2, sizeof(drag.enterTypes));
        m_drag = drag;
    } else if (client->type == m_position) {
        if (!m_drag || m_drag->source != l[0] || m_drag->window != client->window)
            return true;
        m_drag->root = QPoint(int(l[2] >> 16), int(l[2] & 0xffff));
        // Followed once a turn of the event loop, for the latest position: a flood of them costs a
        // copy each.
        if (!std::exchange(m_positionOwed, true))
            QMetaObject::invokeMethod(this, &X11DropReceiver::followPosition, Qt::QueuedConnection);
    } else if (client->type == m_leave) {
        leaveTarget();
        m_drag.reset();
    } else if (client->type == m_drop) {
        takeDrop(copy);
    } else {
        return false;
    }
    // Qt never sees a drag from another program: its own target folds queued positions in a way
    // that costs seconds for a flood of them, and reads drops on the main thread.
    return true;
}

void X11DropReceiver::followPosition()
{
    if (!std::exchange(m_positionOwed, false) || !m_drag || !m_drag->root)
        return;
    QPoint local;
    QWidget *widget = acceptingWidgetAt(m_drag->window, *m_drag->root, &local);
    if (widget != m_drag->target) {
        leaveTarget();
        m_drag->target = widget;
        m_drag->accepted = false;
        if (widget) {
            QDragEnterEvent enter(local, Qt::CopyAction, &m_dragData, Qt::NoButton, Qt::NoModifier);
            enter.setAccepted(false);
            QCoreApplication::sendEvent(widget, &enter);
            // A widget may run an event loop of its own meanwhile, in which the drag can end.
            if (!m_drag)
                return;
            m_drag->accepted = enter.isAccepted();
        }
    }
    if (m_drag->target && m_drag->accepted) {
        QDragMoveEvent move(local, Qt::CopyAction, &m_dragData, Qt::NoButton, Qt::NoModifier);
        move.setAccepted(false);
        QCoreApplication::sendEvent(m_drag->target, &move);
        if (!m_drag)
            return;
        m_drag->accepted = move.isAccepted();
    }
    xcb_client_message_event_t status = {};
    status.response_type = XCB_CLIENT_MESSAGE;
    status.format = 32;
    status.window = m_drag->source;
    status.type = m_status;
    status.data.data32[0] = m_drag->window;
    // Positions are wanted everywhere (bit 1): the rectangle is empty.
    status.data.data32[1] = (m_drag->accepted ? 1u : 0u) | 2u;
    status.data.data32[4] = m_drag->accepted ? m_copy : xcb_atom_t(XCB_ATOM_NONE);
    xcb_send_event(m_connection, 0, m_drag->source, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char *>(&status));
    xcb_flush(m_connection);
}

void X11DropReceiver::leaveTarget()
{
    if (!m_drag || !m_drag->target)
        return;
    const QPointer<QWidget> target = std::exchange(m_drag->target, nullptr);
    QDragLeaveEvent leave;
    QCoreApplication::sendEvent(target, &leave);
}

void X11DropReceiver::takeDrop(const xcb_client_message_event_t &event)
{
    const uint32_t *l = event.data.data32;
    // It lands at the latest position, followed or not; the widget under the drag sees it leave
    // and, when it is read, enter again with its data.
    m_positionOwed = false;
    leaveTarget();
    const std::optional<Drag> known = std::exchange(m_drag, std::nullopt);
    // A drop with no position since its entry (a second XdndEnter clears it) has no place to land.
    QWidget *widget = nullptr;
    QPoint local;
    if (known && known->source == l[0] && known->window == event.window && known->root)
        widget = acceptingWidgetAt(known->window, *known->root, &local);
    if (!widget) {
        sendFinished(xcb_window_t(l[0]), event.window, false);
        return;
    }
    const Drag drag = *known;

    std::lock_guard lock(m_mutex);
    if (m_reads.size() >= size_t(maxReadsAtOnce)) {
        qCWarning(lcX11Drop).noquote()
            << QStringLiteral("⚠️ A drop came while %1 others were still being read: it was not taken")
                   .arg(maxReadsAtOnce);
        sendFinished(drag.source, drag.window, false);
        return;
    }
    auto read = std::make_unique<Read>();
    read->drag = drag;
    read->time = l[2];
    read->widget = widget;
    read->local = local;
    Read *raw = read.get();
    m_reads.push_back(std::move(read));
    const int wake = m_wake[0];
    raw->thread = std::thread([this, raw, wake] {
        raw->run(wake);
        {
            std::lock_guard lock(m_mutex);
            raw->finished = true;
        }
        if (!m_closing)
            QMetaObject::invokeMethod(this, "deliver", Qt::QueuedConnection);
    });
}

void X11DropReceiver::deliver()
{
    std::list<std::unique_ptr<Read>> done;
    {
        std::lock_guard lock(m_mutex);
        for (auto it = m_reads.begin(); it != m_reads.end();) {
            auto next = std::next(it);
            if ((*it)->finished)
                done.splice(done.end(), m_reads, it);
            it = next;
        }
    }
    for (const auto &read : done) {
        read->thread.join();
        bool taken = false;
        if (!read->failure.isEmpty() && read->data.isEmpty() && !read->uriList && read->notRead.isEmpty()) {
            qCWarning(lcX11Drop).noquote()
                << QStringLiteral("⚠️ A drop's source handed over nothing (%1): nothing was taken")
                       .arg(read->failure);
        } else if (!read->widget) {
            qCWarning(lcX11Drop).noquote()
                << QStringLiteral("⚠️ A drop's data came after the place it was dropped on had gone");
        } else {
            ReadDropData mime(std::move(read->uriList));
            mime.setNotRead(read->notRead);
            for (const auto &[type, bytes] : read->data)
                mime.setData(type, bytes);
            // Qt hands a drop only to the widget that took the drag's entry, so it enters again.
            QDragEnterEvent enter(read->local, Qt::CopyAction, &mime, Qt::NoButton, Qt::NoModifier);
            enter.setDropAction(Qt::CopyAction);
            enter.setAccepted(false);
            QCoreApplication::sendEvent(read->widget, &enter);
            if (enter.isAccepted() && read->widget) {
                QDropEvent drop(QPointF(read->local), Qt::CopyAction, &mime, Qt::NoButton, Qt::NoModifier);
                drop.setDropAction(Qt::CopyAction);
                drop.setAccepted(false);
                QCoreApplication::sendEvent(read->widget, &drop);
                taken = drop.isAccepted();
            }
        }
        sendFinished(read->drag.source, read->drag.window, taken);
    }
}

void X11DropReceiver::sendFinished(xcb_window_t source, xcb_window_t target, bool taken)
{
    xcb_client_message_event_t finished = {};
    finished.response_type = XCB_CLIENT_MESSAGE;
    finished.format = 32;
    finished.window = source;
    finished.type = m_finished;
    finished.data.data32[0] = target;
    finished.data.data32[1] = taken ? 1 : 0;
    finished.data.data32[2] = taken ? m_copy : xcb_atom_t(XCB_ATOM_NONE);
    xcb_send_event(m_connection, 0, source, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char *>(&finished));
    xcb_flush(m_connection);
}

} // namespace qv
