#include "platform/x11/x11pasteboard.h"

#include <QClipboard>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QHash>
#include <QImageReader>
#include <QLoggingCategory>
#include <QMimeData>
#include <QSet>
#include <QUrl>

#include <xcb/xcb.h>
#include <xcb/xfixes.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdlib>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include "platform/urilist.h"
#include "platform/x11/compoundtext.h"
#include "platform/x11/x11pictureoffer.h"

Q_LOGGING_CATEGORY(lcX11Pasteboard, "quorvantis.x11.pasteboard")

namespace qv {

namespace {

constexpr qint64 maxTransferBytes = 50000000;
const QString compoundTextType = QStringLiteral("COMPOUND_TEXT");

// A list of copied files is read only as far as a capture can use it.
UriList::Limits copiedFilesLimits()
{
    return {UriList::defaultMaxBytes, UriList::defaultMaxLines, PasteboardType::maxFiles};
}

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

// The content types the clipboard can use: an offer's other targets (the protocol's own, and whatever
// else an owner lists, thousands if it likes) are never looked at.
QStringList usableTypes()
{
    return {PasteboardType::fileURL,   PasteboardType::fileNames, PasteboardType::png,
            PasteboardType::tiff,      PasteboardType::plainText, PasteboardType::utf8String,
            PasteboardType::utf16Text, PasteboardType::text,      PasteboardType::rtf,
            PasteboardType::html,      QStringLiteral("STRING"),  QStringLiteral("TEXT"),
            compoundTextType};
}

// The picture types the image decoders read, besides those above. Asking loads every image plugin,
// so it is asked at the first read of an owned clipboard, not at start.
QStringList decodableImageTypes()
{
    const QStringList fixed = usableTypes();
    QStringList types;
    for (const QByteArray &mime : QImageReader::supportedMimeTypes()) {
        const QString type = QString::fromLatin1(mime);
        if (!fixed.contains(type) && !types.contains(type))
            types.append(type);
    }
    return types;
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

    // The next change that makes us the owner is a copy back.
    void expectCopyBack()
    {
        std::lock_guard lock(m_mutex);
        ++m_pendingCopyBacks;
    }

    void setChangeHandler(std::function<void()> handler)
    {
        std::lock_guard lock(m_handlerMutex);
        m_handler = std::move(handler);
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
        const bool ours =
            m_ownKnown && notify->owner != XCB_WINDOW_NONE && (notify->owner & ~m_ownMask) == m_ownBase;
        {
            std::lock_guard lock(m_mutex);
            const qint64 count = ++m_count;
            const bool own = ours && m_pendingCopyBacks > 0;
            if (own)
                --m_pendingCopyBacks;
            if (own) {
                m_ownChanges.push_back(count);
                if (m_ownChanges.size() > 64)
                    m_ownChanges.pop_front();
            }
        }
        std::lock_guard lock(m_handlerMutex);
        if (m_handler)
            m_handler();
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
    std::deque<qint64> m_ownChanges;
    int m_pendingCopyBacks = 0; // guarded by m_mutex
    // Held while the handler runs, so replacing it waits for a call under way.
    std::mutex m_handlerMutex;
    std::function<void()> m_handler;
    std::thread m_thread;
};

// Converts the CLIPBOARD selection on its own connection, on whichever thread reads.
//
// Each transfer goes into a property of its own, taken in turn from a small pool: an owner still
// sending the pieces of a transfer that was given up writes into a property nobody reads, never into
// the next transfer. Every piece must come from the owner the transfer started with and carry the
// transfer's type. close() ends a transfer under way at once and refuses later ones.
class X11Pasteboard::Reader
{
public:
    Reader()
    {
        if (pipe2(m_wake, O_CLOEXEC | O_NONBLOCK) != 0)
            return;
        m_connection = xcb_connect(nullptr, nullptr);
        if (!m_connection || xcb_connection_has_error(m_connection))
            return;
        m_clipboard = internAtom(m_connection, "CLIPBOARD");
        m_targets = internAtom(m_connection, "TARGETS");
        m_incr = internAtom(m_connection, "INCR");
        internTypes(usableTypes());
        m_utf8String = atom(PasteboardType::utf8String);
        m_compoundText = atom(compoundTextType);
        m_text = atom(QStringLiteral("TEXT"));
        for (size_t i = 0; i < m_properties.size(); ++i) {
            const QByteArray name = "QV_CLIPBOARD_TRANSFER_" + QByteArray::number(qulonglong(i));
            m_properties[i] = internAtom(m_connection, name.constData());
        }
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
        for (int fd : m_wake) {
            if (fd >= 0)
                ::close(fd);
        }
    }

    // Ends a transfer under way without waiting for it; later reads answer nothing.
    void close()
    {
        m_closed = true;
        if (m_wake[1] >= 0) {
            const char byte = 0;
            [[maybe_unused]] const auto written = ::write(m_wake[1], &byte, 1);
        }
    }

    PasteboardSnapshot read(const std::shared_ptr<Reader> &self)
    {
        std::lock_guard lock(m_mutex);
        if (!m_ok || m_closed || xcb_connection_has_error(m_connection))
            return {};
        XcbPtr<xcb_get_selection_owner_reply_t> owner(xcb_get_selection_owner_reply(
            m_connection, xcb_get_selection_owner(m_connection, m_clipboard), nullptr));
        if (!owner || owner->owner == XCB_WINDOW_NONE)
            return {};
        if (!m_imageTypesInterned) {
            m_imageTypesInterned = true;
            internTypes(decodableImageTypes());
        }
        // A list of atoms (some toolkits type it TARGETS); anything else is no answer.
        auto targets = convert(m_targets);
        if (targets && targets->type != XCB_ATOM_ATOM && targets->type != m_targets)
            targets.reset();
        if (!targets)
            return readWithoutTargets();
        // Offered atoms are compared with the atoms of the types we can use, never named one by one.
        QStringList types;
        QSet<xcb_atom_t> seen;
        const auto *atoms = reinterpret_cast<const xcb_atom_t *>(targets->bytes.constData());
        for (qsizetype i = 0; i < targets->bytes.size() / qsizetype(sizeof(xcb_atom_t)); ++i) {
            const auto usable = m_usable.constFind(atoms[i]);
            if (usable != m_usable.constEnd() && !seen.contains(atoms[i])) {
                seen.insert(atoms[i]);
                types.append(*usable);
            }
        }

        QList<PasteboardItem> items;
        QStringList rest = types;
        if (types.contains(PasteboardType::fileURL)) {
            rest.removeAll(PasteboardType::fileURL);
            // Only local files are file URLs; web addresses in the list are not.
            if (const auto list = convert(atom(PasteboardType::fileURL))) {
                for (const QUrl &url : UriList::parse(list->bytes, copiedFilesLimits()).files)
                    items.append(PasteboardItem{{PasteboardType::fileURL},
                                                {{PasteboardType::fileURL, url.toString()}}});
            }
        }
        // Text offered only in the older X11 forms is presented as UTF8_STRING, decoded here.
        QStringList legacy;
        for (const auto &type : legacyTextTypes()) {
            if (rest.contains(type))
                legacy.append(type);
        }
        const bool hasUnicodeText = std::any_of(unicodeTextTypes().cbegin(), unicodeTextTypes().cend(),
                                                [&](const QString &type) { return rest.contains(type); });
        if (!legacy.isEmpty() && !hasUnicodeText)
            rest.append(PasteboardType::utf8String);
        else
            legacy.clear();
        if (!rest.isEmpty())
            items.append(PasteboardItem{rest, {}});
        if (!legacy.isEmpty())
            types.append(PasteboardType::utf8String);

        std::weak_ptr<Reader> weak = self;
        return PasteboardSnapshot(types, items, [weak, legacy](int, const QString &type) -> QVariant {
            auto reader = weak.lock();
            if (!reader)
                return {};
            if (!legacy.isEmpty() && type == PasteboardType::utf8String)
                return reader->fetchLegacyText(legacy);
            return reader->fetch(type);
        });
    }

private:
    struct Transfer
    {
        QByteArray bytes;
        // The type the owner gave the value (for TEXT, the form it chose).
        xcb_atom_t type = XCB_ATOM_NONE;
    };

    static const QStringList &legacyTextTypes()
    {
        static const QStringList types = {QStringLiteral("STRING"), QStringLiteral("TEXT"), compoundTextType};
        return types;
    }

    static const QStringList &unicodeTextTypes()
    {
        static const QStringList types = {PasteboardType::plainText, PasteboardType::utf8String,
                                          PasteboardType::utf16Text, PasteboardType::text};
        return types;
    }

    // An owner that does not answer TARGETS may still hand over text when asked for it directly. Some
    // owners answer every target with their one value, so only a reply typed as text counts.
    PasteboardSnapshot readWithoutTargets()
    {
        std::optional<QString> text;
        if (const auto utf8 = convert(m_utf8String); utf8 && utf8->type == m_utf8String)
            text = decodeText(*utf8);
        if (!text) {
            if (const auto latin1 = convert(XCB_ATOM_STRING))
                text = decodeText(*latin1);
        }
        if (!text)
            return {};
        const QString type = PasteboardType::utf8String;
        return PasteboardSnapshot({type}, {PasteboardItem{{type}, {{type, *text}}}});
    }

    // Text by the type the owner gave its reply; nothing for a reply that is not text.
    std::optional<QString> decodeText(const Transfer &transfer) const
    {
        if (transfer.type == m_utf8String)
            return QString::fromUtf8(transfer.bytes);
        if (transfer.type == m_compoundText)
            return decodeCompoundText(transfer.bytes);
        // STRING is ISO 8859-1 by definition; a reply typed TEXT names no encoding of its own.
        if (transfer.type == XCB_ATOM_STRING || transfer.type == m_text)
            return QString::fromLatin1(transfer.bytes);
        return std::nullopt;
    }

    QVariant fetchLegacyText(const QStringList &offered)
    {
        std::lock_guard lock(m_mutex);
        for (const auto &type : offered) {
            if (const auto transfer = convert(atom(type))) {
                if (const auto text = decodeText(*transfer))
                    return *text;
            }
        }
        return {};
    }

    QVariant fetch(const QString &type)
    {
        std::lock_guard lock(m_mutex);
        const auto transfer = convert(atom(type));
        if (!transfer)
            return {};
        if (type == PasteboardType::fileNames) {
            // "copy" or "cut", then one URI per line.
            const qsizetype firstLine = transfer->bytes.indexOf('\n');
            QStringList paths;
            if (firstLine >= 0) {
                for (const QUrl &url :
                     UriList::parse(transfer->bytes.mid(firstLine + 1), copiedFilesLimits()).files)
                    paths.append(url.toLocalFile());
            }
            return paths;
        }
        return transfer->bytes;
    }

    // Usable types interned in one round trip.
    void internTypes(const QStringList &types)
    {
        std::vector<xcb_intern_atom_cookie_t> cookies;
        cookies.reserve(size_t(types.size()));
        for (const QString &type : types) {
            const QByteArray name = type.toUtf8();
            cookies.push_back(xcb_intern_atom(m_connection, 0, uint16_t(name.size()), name.constData()));
        }
        for (qsizetype i = 0; i < types.size(); ++i) {
            XcbPtr<xcb_intern_atom_reply_t> reply(
                xcb_intern_atom_reply(m_connection, cookies[size_t(i)], nullptr));
            if (reply && reply->atom != XCB_ATOM_NONE)
                m_usable.insert(reply->atom, types.at(i));
        }
    }

    // The atom of a usable type; a snapshot only ever asks for those.
    xcb_atom_t atom(const QString &name) const
    {
        for (auto it = m_usable.cbegin(); it != m_usable.cend(); ++it) {
            if (it.value() == name)
                return it.key();
        }
        return XCB_ATOM_NONE;
    }

    // Next event that `accept` takes, waiting at most until the deadline; null on time-out, on a lost
    // connection and once the reader is closed.
    template <typename Accept>
    XcbPtr<xcb_generic_event_t> waitFor(const QDeadlineTimer &deadline, Accept accept)
    {
        for (;;) {
            while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection)) {
                XcbPtr<xcb_generic_event_t> owned(event);
                if (accept(event))
                    return owned;
            }
            if (m_closed || xcb_connection_has_error(m_connection))
                return nullptr;
            const qint64 remaining = deadline.remainingTime();
            if (remaining == 0)
                return nullptr;
            pollfd fds[2] = {{xcb_get_file_descriptor(m_connection), POLLIN, 0}, {m_wake[0], POLLIN, 0}};
            if (::poll(fds, 2, int(remaining)) == 0)
                return nullptr;
        }
    }

    void drainEvents()
    {
        while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection))
            std::free(event);
    }

    xcb_window_t currentOwner()
    {
        XcbPtr<xcb_get_selection_owner_reply_t> reply(xcb_get_selection_owner_reply(
            m_connection, xcb_get_selection_owner(m_connection, m_clipboard), nullptr));
        return reply ? reply->owner : xcb_window_t(XCB_WINDOW_NONE);
    }

    // The selection converted to one target; nothing when refused, too large, not in time, or when
    // the owner changed on the way.
    std::optional<Transfer> convert(xcb_atom_t target)
    {
        if (target == XCB_ATOM_NONE || m_closed)
            return std::nullopt;
        drainEvents();
        m_property = m_properties[m_nextProperty];
        m_nextProperty = (m_nextProperty + 1) % m_properties.size();
        // Whatever an abandoned transfer left in this property is not part of this one.
        xcb_delete_property(m_connection, m_window, m_property);
        const xcb_window_t owner = currentOwner();
        if (owner == XCB_WINDOW_NONE)
            return std::nullopt;
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
        if (!value)
            return std::nullopt;
        if (type != m_incr)
            return Transfer{*value, type};
        const uint32_t announced =
            value->size() >= 4 ? *reinterpret_cast<const uint32_t *>(value->constData()) : 0;
        return receiveIncremental(announced, owner);
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

    // The pieces of an INCR transfer until the empty one. Given up (nothing) on a time-out, a piece
    // of another type than the first, an owner change, or more than maxTransferBytes in all; the
    // owner's remaining pieces then land in a property no later transfer uses.
    std::optional<Transfer> receiveIncremental(uint32_t announcedSize, xcb_window_t owner)
    {
        if (announcedSize > maxTransferBytes)
            return std::nullopt;
        xcb_flush(m_connection);
        Transfer transfer;
        transfer.bytes.reserve(qsizetype(announcedSize));
        bool first = true;
        for (;;) {
            auto event = waitFor(QDeadlineTimer(transferTimeoutMs), [&](xcb_generic_event_t *e) {
                if ((e->response_type & 0x7f) != XCB_PROPERTY_NOTIFY)
                    return false;
                auto *notify = reinterpret_cast<xcb_property_notify_event_t *>(e);
                return notify->window == m_window && notify->atom == m_property &&
                       notify->state == XCB_PROPERTY_NEW_VALUE;
            });
            if (!event || currentOwner() != owner)
                return std::nullopt;
            xcb_atom_t type = XCB_ATOM_NONE;
            const auto chunk = takeProperty(&type);
            xcb_flush(m_connection);
            if (!chunk || (!first && type != transfer.type))
                return std::nullopt;
            if (first) {
                transfer.type = type;
                first = false;
            }
            if (chunk->isEmpty())
                return transfer;
            if (transfer.bytes.size() + chunk->size() > maxTransferBytes)
                return std::nullopt;
            transfer.bytes.append(*chunk);
        }
    }

    std::mutex m_mutex;
    std::atomic<bool> m_closed{false};
    int m_wake[2] = {-1, -1};
    xcb_connection_t *m_connection = nullptr;
    bool m_ok = false;
    xcb_window_t m_window = XCB_WINDOW_NONE;
    xcb_atom_t m_clipboard = XCB_ATOM_NONE;
    xcb_atom_t m_targets = XCB_ATOM_NONE;
    xcb_atom_t m_incr = XCB_ATOM_NONE;
    xcb_atom_t m_utf8String = XCB_ATOM_NONE;
    xcb_atom_t m_compoundText = XCB_ATOM_NONE;
    xcb_atom_t m_text = XCB_ATOM_NONE;
    std::array<xcb_atom_t, 8> m_properties{};
    size_t m_nextProperty = 0;
    xcb_atom_t m_property = XCB_ATOM_NONE;
    // Fixed once interned: offers cannot grow it.
    QHash<xcb_atom_t, QString> m_usable;
    bool m_imageTypesInterned = false;
};

X11Pasteboard::X11Pasteboard()
    : m_watcher(std::make_unique<Watcher>()), m_reader(std::make_shared<Reader>()),
      m_pictures(std::make_unique<X11PictureOffer>())
{
    // The clipboard's scan queue finishes its job before the application ends; a transfer under way
    // must not hold that up.
    if (auto *app = QCoreApplication::instance()) {
        std::weak_ptr<Reader> weak = m_reader;
        QObject::connect(app, &QCoreApplication::aboutToQuit, app, [weak] {
            if (auto reader = weak.lock())
                reader->close();
        });
    }
}

X11Pasteboard::~X11Pasteboard()
{
    // A scan still reading on its worker thread gives up at once instead of holding up the quit.
    m_reader->close();
}

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

qint64 X11Pasteboard::writeText(const QString &text, WriteOrigin origin)
{
    auto *data = new QMimeData;
    data->setText(text);
    return write(data, origin);
}

qint64 X11Pasteboard::writeImageFile(const QString &path, const QString &type, WriteOrigin origin)
{
    return write(m_pictures->offer(path, type), origin);
}

qint64 X11Pasteboard::writeFileURL(const QUrl &fileURL)
{
    auto *data = new QMimeData;
    data->setUrls({fileURL});
    // What GNOME's and most other file managers paste a copied file from.
    data->setData(QStringLiteral("x-special/gnome-copied-files"), "copy\n" + fileURL.toEncoded());
    return write(data, WriteOrigin::newCopy);
}

qint64 X11Pasteboard::write(QMimeData *data, WriteOrigin origin)
{
    // Every write makes us the owner; only a copy back is told apart as ours.
    if (origin == WriteOrigin::copyBack)
        m_watcher->expectCopyBack();
    QGuiApplication::clipboard()->setMimeData(data, QClipboard::Clipboard);
    // The owner change reaches the watcher a moment later; isOwnChange() knows it when it does, so
    // the GUI thread does not wait for it.
    return changeCount();
}

bool X11Pasteboard::reportsChanges() const
{
    return m_watcher->isWatching();
}

void X11Pasteboard::setChangeHandler(std::function<void()> handler)
{
    m_watcher->setChangeHandler(std::move(handler));
}

} // namespace qv
