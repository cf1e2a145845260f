#include "platform/x11/x11pasteboard.h"

#include <QClipboard>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QHash>
#include <QLoggingCategory>
#include <QMimeData>
#include <QUrl>

#include <xcb/xcb.h>
#include <xcb/xfixes.h>

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcX11Pasteboard, "quorvantis.x11.pasteboard")

namespace qv {

namespace {

constexpr qint64 maxTransferBytes = 50000000;

struct FreeDeleter
{
    void operator()(void *p) const { std::free(p); }
};
template <typename T> using XcbPtr = std::unique_ptr<T, FreeDeleter>;

xcb_atom_t internAtom(xcb_connection_t *connection, const char *name)
{
    XcbPtr<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, uint16_t(strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

xcb_screen_t *firstScreen(xcb_connection_t *connection)
{
    return xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
}

// Targets that describe the selection protocol rather than the contents.
bool isMetaTarget(const QString &name)
{
    static const QStringList meta = {
        QStringLiteral("TARGETS"),          QStringLiteral("MULTIPLE"),
        QStringLiteral("TIMESTAMP"),        QStringLiteral("SAVE_TARGETS"),
        QStringLiteral("DELETE"),           QStringLiteral("INSERT_PROPERTY"),
        QStringLiteral("INSERT_SELECTION"), QStringLiteral("CLIPBOARD_MANAGER"),
    };
    return name.isEmpty() || meta.contains(name);
}

} // namespace

// Counts CLIPBOARD owner changes on its own connection and thread.
class X11Pasteboard::Watcher
{
public:
    Watcher()
    {
        // Windows of our own Qt connection share its resource-id base; that is how our own writes
        // are told apart without any timing.
        if (auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr) {
            if (xcb_connection_t *qt = x11->connection()) {
                const xcb_setup_t *setup = xcb_get_setup(qt);
                m_ownBase = setup->resource_id_base;
                m_ownMask = setup->resource_id_mask;
                m_ownKnown = true;
            }
        }

        m_connection = xcb_connect(nullptr, nullptr);
        if (!m_connection || xcb_connection_has_error(m_connection))
            return;
        const xcb_query_extension_reply_t *ext = xcb_get_extension_data(m_connection, &xcb_xfixes_id);
        if (!ext || !ext->present) {
            qCWarning(lcX11Pasteboard) << "⚠️ XFixes is missing: clipboard changes cannot be followed";
            return;
        }
        m_eventBase = ext->first_event;
        XcbPtr<xcb_xfixes_query_version_reply_t> version(xcb_xfixes_query_version_reply(
            m_connection,
            xcb_xfixes_query_version(m_connection, XCB_XFIXES_MAJOR_VERSION, XCB_XFIXES_MINOR_VERSION),
            nullptr));
        if (!version)
            return;
        m_clipboard = internAtom(m_connection, "CLIPBOARD");
        xcb_screen_t *screen = firstScreen(m_connection);
        m_window = xcb_generate_id(m_connection);
        xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, m_window, screen->root, 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
        xcb_xfixes_select_selection_input(m_connection, m_window, m_clipboard,
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER);
        xcb_flush(m_connection);
        if (pipe2(m_wake, O_CLOEXEC | O_NONBLOCK) != 0)
            return;
        m_watching = true;
        m_thread = std::thread([this] { run(); });
    }

    ~Watcher()
    {
        if (m_thread.joinable()) {
            const char byte = 0;
            [[maybe_unused]] const auto written = ::write(m_wake[1], &byte, 1);
            m_thread.join();
        }
        for (int fd : m_wake) {
            if (fd >= 0)
                ::close(fd);
        }
        if (m_connection)
            xcb_disconnect(m_connection);
    }

    bool isWatching() const { return m_watching; }
    qint64 changeCount() const { return m_count.load(); }

    bool isOwnChange(qint64 count) const
    {
        std::lock_guard lock(m_mutex);
        for (qint64 own : m_ownChanges) {
            if (own == count)
                return true;
        }
        return false;
    }

    qint64 lastOwnChange() const
    {
        std::lock_guard lock(m_mutex);
        return m_ownChanges.empty() ? 0 : m_ownChanges.back();
    }

    // Waits until an own change newer than `after` arrives; false on time-out.
    bool waitForOwnChange(qint64 after, int timeoutMs)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                  [&] { return !m_ownChanges.empty() && m_ownChanges.back() > after; });
    }

private:
    void run()
    {
        pollfd fds[2] = {{xcb_get_file_descriptor(m_connection), POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        for (;;) {
            while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection)) {
                handle(event);
                std::free(event);
            }
            if (xcb_connection_has_error(m_connection)) {
                qCWarning(lcX11Pasteboard) << "❌ Lost the X connection that follows the clipboard";
                return;
            }
            if (::poll(fds, 2, -1) < 0 && errno != EINTR)
                return;
            if (fds[1].revents)
                return;
        }
    }

    void handle(xcb_generic_event_t *event)
    {
        if ((event->response_type & 0x7f) != m_eventBase + XCB_XFIXES_SELECTION_NOTIFY)
            return;
        auto *notify = reinterpret_cast<xcb_xfixes_selection_notify_event_t *>(event);
        if (notify->selection != m_clipboard)
            return;
        const bool own =
            m_ownKnown && notify->owner != XCB_WINDOW_NONE && (notify->owner & ~m_ownMask) == m_ownBase;
        {
            std::lock_guard lock(m_mutex);
            const qint64 count = ++m_count;
            if (own) {
                m_ownChanges.push_back(count);
                if (m_ownChanges.size() > 64)
                    m_ownChanges.pop_front();
            }
        }
        m_changed.notify_all();
    }

    xcb_connection_t *m_connection = nullptr;
    xcb_window_t m_window = XCB_WINDOW_NONE;
    xcb_atom_t m_clipboard = XCB_ATOM_NONE;
    uint8_t m_eventBase = 0;
    bool m_ownKnown = false;
    uint32_t m_ownBase = 0;
    uint32_t m_ownMask = 0;
    bool m_watching = false;
    int m_wake[2] = {-1, -1};
    std::atomic<qint64> m_count{0};
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<qint64> m_ownChanges;
    std::thread m_thread;
};

// Converts the CLIPBOARD selection on its own connection, on whichever thread reads.
class X11Pasteboard::Reader
{
public:
    Reader()
    {
        m_connection = xcb_connect(nullptr, nullptr);
        if (!m_connection || xcb_connection_has_error(m_connection))
            return;
        m_clipboard = internAtom(m_connection, "CLIPBOARD");
        m_targets = internAtom(m_connection, "TARGETS");
        m_incr = internAtom(m_connection, "INCR");
        m_property = internAtom(m_connection, "QV_CLIPBOARD_TRANSFER");
        xcb_screen_t *screen = firstScreen(m_connection);
        m_window = xcb_generate_id(m_connection);
        const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, m_window, screen->root, -10, -10, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(m_connection);
        m_ok = true;
    }

    ~Reader()
    {
        if (m_connection)
            xcb_disconnect(m_connection);
    }

    PasteboardSnapshot read(const std::shared_ptr<Reader> &self)
    {
        std::lock_guard lock(m_mutex);
        if (!m_ok || xcb_connection_has_error(m_connection))
            return {};
        XcbPtr<xcb_get_selection_owner_reply_t> owner(xcb_get_selection_owner_reply(
            m_connection, xcb_get_selection_owner(m_connection, m_clipboard), nullptr));
        if (!owner || owner->owner == XCB_WINDOW_NONE)
            return {};
        const auto targets = convert(m_targets);
        if (!targets)
            return {};
        QStringList types;
        const auto *atoms = reinterpret_cast<const xcb_atom_t *>(targets->constData());
        for (qsizetype i = 0; i < targets->size() / qsizetype(sizeof(xcb_atom_t)); ++i) {
            const QString name = atomName(atoms[i]);
            if (!isMetaTarget(name) && !types.contains(name))
                types.append(name);
        }

        QList<PasteboardItem> items;
        QStringList rest = types;
        if (types.contains(PasteboardType::fileURL)) {
            rest.removeAll(PasteboardType::fileURL);
            // Only local files are file URLs; web addresses in the list are not.
            if (const auto list = convert(atom(PasteboardType::fileURL))) {
                for (const QByteArray &line : list->split('\n')) {
                    const QByteArray uri = line.trimmed();
                    if (uri.isEmpty() || uri.startsWith('#'))
                        continue;
                    const QUrl url(QString::fromUtf8(uri));
                    if (url.isLocalFile())
                        items.append(PasteboardItem{{PasteboardType::fileURL},
                                                    {{PasteboardType::fileURL, url.toString()}}});
                }
            }
        }
        if (!rest.isEmpty())
            items.append(PasteboardItem{rest, {}});

        std::weak_ptr<Reader> weak = self;
        return PasteboardSnapshot(types, items, [weak](int, const QString &type) -> QVariant {
            auto reader = weak.lock();
            return reader ? reader->fetch(type) : QVariant();
        });
    }

private:
    QVariant fetch(const QString &type)
    {
        std::lock_guard lock(m_mutex);
        const auto bytes = convert(atom(type));
        if (!bytes)
            return {};
        if (type == PasteboardType::fileNames) {
            // "copy" or "cut", then one URI per line.
            QStringList paths;
            const QList<QByteArray> lines = bytes->split('\n');
            for (qsizetype i = 1; i < lines.size(); ++i) {
                const QUrl url(QString::fromUtf8(lines.at(i).trimmed()));
                if (url.isLocalFile())
                    paths.append(url.toLocalFile());
            }
            return paths;
        }
        return *bytes;
    }

    xcb_atom_t atom(const QString &name)
    {
        for (auto it = m_names.cbegin(); it != m_names.cend(); ++it) {
            if (it.value() == name)
                return it.key();
        }
        const xcb_atom_t a = internAtom(m_connection, name.toUtf8().constData());
        if (a != XCB_ATOM_NONE)
            m_names.insert(a, name);
        return a;
    }

    QString atomName(xcb_atom_t a)
    {
        const auto found = m_names.constFind(a);
        if (found != m_names.constEnd())
            return *found;
        XcbPtr<xcb_get_atom_name_reply_t> reply(
            xcb_get_atom_name_reply(m_connection, xcb_get_atom_name(m_connection, a), nullptr));
        if (!reply)
            return {};
        const QString name = QString::fromUtf8(xcb_get_atom_name_name(reply.get()),
                                               xcb_get_atom_name_name_length(reply.get()));
        m_names.insert(a, name);
        return name;
    }

    // Next event that `accept` takes, waiting at most until the deadline; null on time-out.
    template <typename Accept>
    XcbPtr<xcb_generic_event_t> waitFor(const QDeadlineTimer &deadline, Accept accept)
    {
        for (;;) {
            while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection)) {
                XcbPtr<xcb_generic_event_t> owned(event);
                if (accept(event))
                    return owned;
            }
            if (xcb_connection_has_error(m_connection))
                return nullptr;
            const qint64 remaining = deadline.remainingTime();
            if (remaining == 0)
                return nullptr;
            pollfd fd{xcb_get_file_descriptor(m_connection), POLLIN, 0};
            if (::poll(&fd, 1, int(remaining)) == 0)
                return nullptr;
        }
    }

    void drainEvents()
    {
        while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection))
            std::free(event);
    }

    // The selection converted to one target; nothing when refused, too large or not in time.
    std::optional<QByteArray> convert(xcb_atom_t target)
    {
        if (target == XCB_ATOM_NONE)
            return std::nullopt;
        drainEvents();
        xcb_delete_property(m_connection, m_window, m_property);
        xcb_convert_selection(m_connection, m_window, m_clipboard, target, m_property, XCB_CURRENT_TIME);
        xcb_flush(m_connection);
        auto event = waitFor(QDeadlineTimer(transferTimeoutMs), [&](xcb_generic_event_t *e) {
            if ((e->response_type & 0x7f) != XCB_SELECTION_NOTIFY)
                return false;
            auto *notify = reinterpret_cast<xcb_selection_notify_event_t *>(e);
            return notify->requestor == m_window && notify->selection == m_clipboard &&
                   notify->target == target;
        });
        if (!event)
            return std::nullopt;
        if (reinterpret_cast<xcb_selection_notify_event_t *>(event.get())->property == XCB_ATOM_NONE)
            return std::nullopt;

        xcb_atom_t type = XCB_ATOM_NONE;
        auto value = takeProperty(&type);
        if (!value || type != m_incr)
            return value;
        return receiveIncremental(value->size() >= 4 ? *reinterpret_cast<const uint32_t *>(value->constData())
                                                     : 0);
    }

    // Reads and deletes the transfer property (the deletion tells an INCR owner to go on).
    std::optional<QByteArray> takeProperty(xcb_atom_t *type)
    {
        const uint32_t longs = uint32_t(maxTransferBytes / 4 + 1);
        XcbPtr<xcb_get_property_reply_t> reply(xcb_get_property_reply(
            m_connection,
            xcb_get_property(m_connection, 1, m_window, m_property, XCB_GET_PROPERTY_TYPE_ANY, 0, longs),
            nullptr));
        if (!reply)
            return std::nullopt;
        if (reply->bytes_after > 0) {
            xcb_delete_property(m_connection, m_window, m_property);
            xcb_flush(m_connection);
            return std::nullopt;
        }
        *type = reply->type;
        const int length = xcb_get_property_value_length(reply.get());
        if (length > maxTransferBytes)
            return std::nullopt;
        return QByteArray(static_cast<const char *>(xcb_get_property_value(reply.get())), length);
    }

    std::optional<QByteArray> receiveIncremental(uint32_t announcedSize)
    {
        if (announcedSize > maxTransferBytes)
            return std::nullopt;
        xcb_flush(m_connection);
        QByteArray data;
        data.reserve(qsizetype(announcedSize));
        for (;;) {
            auto event = waitFor(QDeadlineTimer(transferTimeoutMs), [&](xcb_generic_event_t *e) {
                if ((e->response_type & 0x7f) != XCB_PROPERTY_NOTIFY)
                    return false;
                auto *notify = reinterpret_cast<xcb_property_notify_event_t *>(e);
                return notify->window == m_window && notify->atom == m_property &&
                       notify->state == XCB_PROPERTY_NEW_VALUE;
            });
            if (!event)
                return std::nullopt;
            xcb_atom_t type = XCB_ATOM_NONE;
            const auto chunk = takeProperty(&type);
            xcb_flush(m_connection);
            if (!chunk)
                return std::nullopt;
            if (chunk->isEmpty())
                return data;
            if (data.size() + chunk->size() > maxTransferBytes)
                return std::nullopt;
            data.append(*chunk);
        }
    }

    std::mutex m_mutex;
    xcb_connection_t *m_connection = nullptr;
    bool m_ok = false;
    xcb_window_t m_window = XCB_WINDOW_NONE;
    xcb_atom_t m_clipboard = XCB_ATOM_NONE;
    xcb_atom_t m_targets = XCB_ATOM_NONE;
    xcb_atom_t m_incr = XCB_ATOM_NONE;
    xcb_atom_t m_property = XCB_ATOM_NONE;
    QHash<xcb_atom_t, QString> m_names;
};

X11Pasteboard::X11Pasteboard() : m_watcher(std::make_unique<Watcher>()), m_reader(std::make_shared<Reader>())
{
}

X11Pasteboard::~X11Pasteboard() = default;

bool X11Pasteboard::isWatching() const
{
    return m_watcher->isWatching();
}

qint64 X11Pasteboard::changeCount() const
{
    return m_watcher->changeCount();
}

bool X11Pasteboard::isOwnChange(qint64 changeCount) const
{
    return m_watcher->isOwnChange(changeCount);
}

PasteboardSnapshot X11Pasteboard::read()
{
    return m_reader->read(m_reader);
}

qint64 X11Pasteboard::writeText(const QString &text)
{
    auto *data = new QMimeData;
    data->setText(text);
    return write(data);
}

qint64 X11Pasteboard::writeImage(const QImage &image)
{
    auto *data = new QMimeData;
    data->setImageData(image);
    return write(data);
}

qint64 X11Pasteboard::write(QMimeData *data)
{
    const qint64 before = m_watcher->lastOwnChange();
    QGuiApplication::clipboard()->setMimeData(data, QClipboard::Clipboard);
    // The owner change reaches the watcher a moment later; wait for it so the caller gets the change
    // count its write produced. Should it not come, isOwnChange() still knows the write once it does.
    if (m_watcher->isWatching() && m_watcher->waitForOwnChange(before, 250))
        return m_watcher->lastOwnChange();
    return changeCount();
}

} // namespace qv
