#include "platform/x11/x11atspiwalker.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QFile>
#include <QLoggingCategory>

#include <atspi/atspi.h>
#include <dlfcn.h>

#include <atomic>
#include <cmath>
#include <memory>
#include <utility>

#include "platform/x11/qtownsync.h"

namespace {

// The context of the walker running on this thread; none on every other thread.
thread_local GMainContext *t_walkerContext = nullptr;

} // namespace

// libatspi attaches each connection it opens to the process's default main context, which the main
// thread's event loop dispatches: the accessibility bus in atspi_init, and the private connection
// to every application it meets later, in the reply handler of its bus-address request
// (atspi_set_main_context moves only the connections known when it is called). The walker thread
// blocks in calls on those same connections, so two threads would dispatch one connection and free
// its pending calls twice. Opened on the walker's thread, a connection goes to the walker's context
// instead: the library reaches this entry point through the dynamic linker, which finds the
// program's definition first. (Where a build of the library binds the call to itself,
// adoptConnection() below moves each application's connection after the fact.)
extern "C" void atspi_dbus_connection_setup_with_g_main(DBusConnection *connection, GMainContext *context)
{
    using Setup = void (*)(DBusConnection *, GMainContext *);
    static const auto next =
        reinterpret_cast<Setup>(dlsym(RTLD_NEXT, "atspi_dbus_connection_setup_with_g_main"));
    if (next)
        next(connection, t_walkerContext ? t_walkerContext : context);
}

namespace qv {

namespace {

Q_LOGGING_CATEGORY(lcAccessibility, "quorvantis.x11.accessibility")

// Listened to all the time: the changes of a panel's layout (and the desktop's children, the
// applications).
constexpr const char *layoutEvents[] = {"object:children-changed", "object:state-changed:showing"};
// Listened to while the bounds watch is open.
constexpr const char *boundsEvent = "object:bounds-changed";
// The rule by which the library hears every property change on the bus (see start()).
constexpr const char *propertyChangeRule =
    "type='signal',interface='org.a11y.atspi.Event.Object',member='PropertyChange'";

double monotonicSeconds()
{
    return double(g_get_monotonic_time()) / 1e6;
}

// Whether libatspi has been set up in this process: once, for good (see the header).
bool s_libraryReady = false;
// The accessibility bus the library was set up on; it keeps this one connection for good.
DBusConnection *s_libraryBus = nullptr;
// Whether the loss of that bus has been told: once a run, whichever walker meets it.
std::atomic<bool> s_busLossTold{false};

// The library holds on to the bus it was set up on: when that bus goes, it cannot be given the
// next one (it keeps every application it knew as gone, the registry among them), so nothing is
// asked of it any more.
bool libraryBusLost()
{
    return s_libraryBus && !dbus_connection_get_is_connected(s_libraryBus);
}

// Frees a GError and says whether there was one.
bool failed(GError *&error)
{
    const bool failure = error != nullptr;
    g_clear_error(&error);
    return failure;
}

// Lets go of a reference the library or GLib handed out.
struct Unref
{
    void operator()(gpointer object) const { g_object_unref(object); }
    void operator()(GSource *source) const { g_source_unref(source); }
};
template <typename T>
using Ref = std::unique_ptr<T, Unref>;

QString takeString(gchar *text)
{
    QString result = text ? QString::fromUtf8(text) : QString();
    g_free(text);
    return result;
}

// An object's name; empty when it does not answer.
QString nameOf(AtspiAccessible *object)
{
    GError *error = nullptr;
    const QString name = takeString(atspi_accessible_get_name(object, &error));
    if (failed(error))
        return {};
    return name;
}

// The process of an application's object; none (0) when it cannot be told.
qint64 processIdOf(AtspiAccessible *object)
{
    GError *error = nullptr;
    const qint64 pid = atspi_accessible_get_process_id(object, &error);
    if (failed(error))
        return {};
    return pid;
}

QString processName(qint64 pid)
{
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    if (!comm.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(comm.read(256)).trimmed();
}

X11AccessibleNode::Role roleOf(AtspiRole role)
{
    switch (role) {
    case ATSPI_ROLE_PUSH_BUTTON:
        return X11AccessibleNode::Role::pushButton;
    case ATSPI_ROLE_TOGGLE_BUTTON:
        return X11AccessibleNode::Role::toggleButton;
    default:
        return X11AccessibleNode::Role::other;
    }
}

QRect extentsOf(AtspiAccessible *object)
{
    const Ref<AtspiComponent> component(atspi_accessible_get_component_iface(object));
    if (!component)
        return {};
    GError *error = nullptr;
    AtspiRect *rect = atspi_component_get_extents(component.get(), ATSPI_COORD_TYPE_SCREEN, &error);
    QRect extents;
    if (!failed(error) && rect)
        extents = X11DockTiles::frameFrom(rect->x, rect->y, rect->width, rect->height).value_or(QRect());
    g_free(rect);
    return extents;
}

// Reads one object and, for containers that show, its children. `budget` counts the objects left
// for this walk. Objects that stop answering are read as hidden structure and left out.
X11AccessibleNode readNode(AtspiAccessible *object, int depth, int &budget, bool isApplication)
{
    X11AccessibleNode node;
    --budget;
    GError *error = nullptr;
    const AtspiRole role = atspi_accessible_get_role(object, &error);
    if (failed(error))
        return node;
    node.role = roleOf(role);
    if (isApplication) {
        node.showing = true;
    } else {
        const Ref<AtspiStateSet> states(atspi_accessible_get_state_set(object));
        node.showing = states && atspi_state_set_contains(states.get(), ATSPI_STATE_SHOWING);
    }
    if (!node.showing)
        return node;
    // The panel windows (depth 1) give the panel's frame; the buttons give the tiles.
    if (node.role != X11AccessibleNode::Role::other || depth == 1) {
        node.name = nameOf(object);
        node.extents = extentsOf(object);
    }
    if (node.role != X11AccessibleNode::Role::other || depth >= X11AtspiWalker::maxDepth)
        return node;
    const int count = atspi_accessible_get_child_count(object, &error);
    if (failed(error))
        return node;
    for (int i = 0; i < count && budget > 0; ++i) {
        const Ref<AtspiAccessible> child(atspi_accessible_get_child_at_index(object, i, &error));
        if (failed(error) || !child)
            continue;
        node.children.append(readNode(child.get(), depth + 1, budget, false));
    }
    return node;
}

} // namespace

struct X11AtspiWalker::Callbacks
{
    // An event the bus reports. Nothing is asked of the bus here: a call made inside the callback
    // lets the library dispatch further events inside this one. The source is read by takeEvents().
    static void busEvent(AtspiEvent *event, void *data)
    {
        auto *walker = static_cast<X11AtspiWalker *>(data);
        if (!event)
            return;
        ++walker->m_eventsReceived;
        if (event->source) {
            const bool layout = !(event->type && g_str_has_prefix(event->type, boundsEvent));
            if (walker->m_events.size() < maxQueuedEvents) {
                walker->m_events.append({g_object_ref(event->source), layout});
            } else {
                walker->m_eventsDropped = true;
                walker->m_layoutDropped = walker->m_layoutDropped || layout;
            }
        }
        g_boxed_free(ATSPI_TYPE_EVENT, event);
    }

    // The bounds watch's time may be up: the timer only wakes the thread, and updateBoundsWatch()
    // asks the watch, outside the library's calls.
    static gboolean boundsTimeUp(gpointer data)
    {
        static_cast<X11AtspiWalker *>(data)->m_boundsTimer = nullptr;
        return G_SOURCE_REMOVE;
    }

    // Whether an event from `source` concerns a panel, or the set of applications.
    static bool concernsPanel(AtspiAccessible *source, X11AtspiWalker &walker)
    {
        GError *error = nullptr;
        const AtspiRole role = atspi_accessible_get_role(source, &error);
        if (!failed(error) && role == ATSPI_ROLE_DESKTOP_FRAME) {
            walker.m_panelApplications.clear();
            return true; // an application registered or left: perhaps a panel
        }
        void *key = source->parent.app;
        if (key) {
            const auto known = walker.m_panelApplications.constFind(key);
            if (known != walker.m_panelApplications.constEnd())
                return *known;
        }
        const bool panel = isPanelApplication(source, walker);
        if (key)
            walker.m_panelApplications.insert(key, panel);
        return panel;
    }

    static bool isPanelApplication(AtspiAccessible *source, const X11AtspiWalker &walker)
    {
        GError *error = nullptr;
        const Ref<AtspiAccessible> app(atspi_accessible_get_application(source, &error));
        if (failed(error) || !app)
            return false;
        return walker.isPanel(nameOf(app.get()), processIdOf(app.get()));
    }
};

namespace {

// Hands an application's connection to the walker's context where the library bound its own call
// to the default one past the entry point above; a no-op where it is there already.
void adoptConnection(AtspiAccessible *object, GMainContext *context)
{
    AtspiApplication *app = object->parent.app;
    if (app && app->bus)
        atspi_dbus_connection_setup_with_g_main(app->bus, context);
}

} // namespace

void X11AtspiWalker::tellBusLoss()
{
    if (!libraryBusLost() || s_busLossTold.exchange(true))
        return;
    qCWarning(lcAccessibility).noquote()
        << "⚠️ The accessibility bus went away: the panels' launchers are read again only when Quorvantis "
           "starts again; task buttons that taskbars publish on the windows still show";
    // The launchers it read are gone with it.
    reportChange();
}

void X11AtspiWalker::takeEvents()
{
    bool relevant = false;
    // Reading a source, or starting to listen to bounds, may bring in further events: they join the
    // queue, bounded as above.
    while (!m_events.isEmpty() || m_eventsDropped) {
        if (m_events.isEmpty()) {
            m_eventsDropped = false;
            relevant = true;
            if (std::exchange(m_layoutDropped, false))
                noteLayoutChange();
            continue;
        }
        const QueuedEvent event = m_events.takeFirst();
        const Ref<AtspiAccessible> source(static_cast<AtspiAccessible *>(event.source));
        // One panel's bounds are enough for a report; every change of layout keeps the watch open.
        if ((event.layout || !relevant) && Callbacks::concernsPanel(source.get(), *this)) {
            relevant = true;
            if (event.layout)
                noteLayoutChange();
        }
    }
    if (relevant)
        reportChange();
}

namespace {

// A failure is not told: it comes only with a bus that is gone, which is told by itself.
void setListening(void *listener, const char *type, bool on)
{
    auto *atspiListener = static_cast<AtspiEventListener *>(listener);
    if (on)
        atspi_event_listener_register(atspiListener, type, nullptr);
    else
        atspi_event_listener_deregister(atspiListener, type, nullptr);
}

} // namespace

void X11AtspiWalker::listen(bool on)
{
    for (const char *type : layoutEvents)
        setListening(m_listener, type, on);
}

void X11AtspiWalker::followBounds(bool on)
{
    m_followingBounds = on;
    if (m_listener && !libraryBusLost())
        setListening(m_listener, boundsEvent, on);
}

void X11AtspiWalker::noteLayoutChange()
{
    const double now = monotonicSeconds();
    if (m_boundsWatch.noteLayoutChange(now))
        followBounds(true);
    armBoundsTimer(now);
}

void X11AtspiWalker::armBoundsTimer(double now)
{
    if (m_boundsTimer || !m_boundsWatch.until())
        return;
    // One timer at a time: when it fires early for a watch kept open since, it is set again. The
    // watch is open at `now`, so its end is ahead of it.
    const double left = *m_boundsWatch.until() - now;
    // The context holds it until it fires or is destroyed.
    const Ref<GSource> timer(g_timeout_source_new(guint(std::ceil(left * 1000))));
    g_source_set_callback(timer.get(), &Callbacks::boundsTimeUp, this, nullptr);
    g_source_attach(timer.get(), static_cast<GMainContext *>(m_context));
    m_boundsTimer = timer.get();
}

void X11AtspiWalker::updateBoundsWatch()
{
    // Before the library is set up there is nothing to listen with; its start opens the watch.
    if (m_layoutExpected.exchange(false) && m_listener)
        noteLayoutChange();
    const double now = monotonicSeconds();
    if (m_boundsWatch.expire(now))
        followBounds(false);
    else
        armBoundsTimer(now);
}

X11AtspiWalker::X11AtspiWalker(QStringList panels) : m_panels(std::move(panels))
{
    m_context = g_main_context_new();
    m_thread = std::thread([this] { run(); });
}

X11AtspiWalker::~X11AtspiWalker()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    wakeThread();
    m_thread.join();
    g_main_context_unref(static_cast<GMainContext *>(m_context));
}

QStringList X11AtspiWalker::defaultPanels()
{
    return {QStringLiteral("xfce4-panel"), QStringLiteral("mate-panel"), QStringLiteral("lxpanel")};
}

void X11AtspiWalker::wakeThread()
{
    g_main_context_wakeup(static_cast<GMainContext *>(m_context));
}

std::optional<QList<X11PanelWalk>> X11AtspiWalker::walk(std::chrono::milliseconds wait)
{
    std::unique_lock lock(m_mutex);
    const quint64 ticket = ++m_requested;
    wakeThread();
    if (!m_wake.wait_for(lock, wait, [&] { return m_answered >= ticket; }))
        return std::nullopt;
    return m_lastWalk;
}

void X11AtspiWalker::requestWalk()
{
    std::lock_guard lock(m_mutex);
    ++m_requested;
    wakeThread();
}

void X11AtspiWalker::setOnWalk(std::function<void(const std::optional<QList<X11PanelWalk>> &)> onWalk)
{
    std::lock_guard lock(m_mutex);
    m_onWalk = std::move(onWalk);
}

void X11AtspiWalker::setOnChange(std::function<void()> onChange)
{
    std::lock_guard lock(m_mutex);
    m_onChange = std::move(onChange);
}

void X11AtspiWalker::expectLayoutChange()
{
    m_layoutExpected = true;
    wakeThread();
}

void X11AtspiWalker::reportChange()
{
    std::function<void()> onChange;
    {
        std::lock_guard lock(m_mutex);
        onChange = m_onChange;
    }
    if (onChange)
        onChange();
}

void X11AtspiWalker::answer(quint64 ticket, std::optional<QList<X11PanelWalk>> walk)
{
    std::function<void(const std::optional<QList<X11PanelWalk>> &)> onWalk;
    {
        std::lock_guard lock(m_mutex);
        onWalk = m_onWalk;
    }
    if (onWalk)
        onWalk(walk);
    std::lock_guard lock(m_mutex);
    m_lastWalk = std::move(walk);
    m_answered = ticket;
    m_wake.notify_all();
}

bool X11AtspiWalker::isPanel(const QString &name, qint64 pid) const
{
    // A process the library could not tell (0) has no name either.
    return m_panels.contains(name, Qt::CaseInsensitive) ||
           m_panels.contains(processName(pid), Qt::CaseInsensitive);
}

// Qt D-Bus shares each reply's data with its connection thread through reference counts.
QV_QT_OWN_SYNC bool X11AtspiWalker::accessibilityBusAvailable()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    // Only a running accessibility bus: asking an activatable one for its address would start it,
    // which is the desktop's decision (panels that want it start it themselves).
    if (!bus.interface()->isServiceRegistered(QStringLiteral("org.a11y.Bus")))
        return false;
    const QDBusMessage call =
        QDBusMessage::createMethodCall(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                                       QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress"));
    const QDBusMessage reply = bus.call(call, QDBus::Block, 1000);
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
           !reply.arguments().constFirst().toString().isEmpty();
}

void X11AtspiWalker::run()
{
    auto *context = static_cast<GMainContext *>(m_context);
    g_main_context_push_thread_default(context);
    t_walkerContext = context;
    const auto start = [&] {
        if (!atspi_get_a11y_bus())
            return;
        // First, so that the library's deferred work goes to this context from the start; a walker
        // before this one left the connections on its own.
        atspi_set_main_context(context);
        if (!s_libraryReady) {
            DBusConnection *bus = atspi_get_a11y_bus();
            if (atspi_init() != 0)
                return;
            s_libraryReady = true;
            s_libraryBus = bus;
            atspi_set_timeout(callTimeoutMs, 1000);
            // The library hears every object's property changes to keep the names it caches
            // current; a window that retitles itself renames its task button at every title, and
            // that stream would cost in proportion to its rate. The walks read every name afresh
            // (they clear the cache first), so the library's rule goes; no reply is waited for.
            dbus_bus_remove_match(bus, propertyChangeRule, nullptr);
        }
        m_listener = atspi_event_listener_new(&Callbacks::busEvent, this, nullptr);
        listen(true);
        // The panels may still be laying their buttons out.
        noteLayoutChange();
    };
    if (s_libraryReady)
        start();

    for (;;) {
        // The latest request when one waits for its answer; none (0, requests count from 1) else.
        quint64 ticket = 0;
        {
            std::lock_guard lock(m_mutex);
            if (m_stopping)
                break;
            if (m_requested > m_answered)
                ticket = m_requested;
        }
        std::optional<QList<X11PanelWalk>> result;
        if (ticket) {
            if (!m_listener && !s_libraryReady && accessibilityBusAvailable())
                start();
            if (m_listener && !libraryBusLost())
                result = walkNow();
            // Let the library take in what arrived meanwhile (tree changes, a lost connection).
            while (g_main_context_iteration(context, FALSE)) {
            }
        } else {
            // Asleep until a request wakes the context or the bus has something to say.
            g_main_context_iteration(context, TRUE);
        }
        updateBoundsWatch();
        takeEvents();
        tellBusLoss();
        if (ticket)
            answer(ticket, std::move(result));
    }
    // A bounds timer still due stays in the context, which nothing runs any more: the library's
    // connections leave it for the next walker's.
    if (m_listener) {
        // The library outlives this walker: nothing of it may call back here.
        listen(false);
        if (m_followingBounds)
            followBounds(false);
        g_object_unref(m_listener);
        m_listener = nullptr;
    }
    for (const QueuedEvent &event : std::as_const(m_events))
        g_object_unref(event.source);
    t_walkerContext = nullptr;
    g_main_context_pop_thread_default(context);
}

std::optional<QList<X11PanelWalk>> X11AtspiWalker::walkNow()
{
    const Ref<AtspiAccessible> desktop(atspi_get_desktop(0));
    if (!desktop)
        return std::nullopt;
    // The desktop is the registry's, on the accessibility bus itself, which start() moved to this
    // thread's context; only the applications' own connections may need moving.
    auto *context = static_cast<GMainContext *>(m_context);
    GError *error = nullptr;
    const int count = atspi_accessible_get_child_count(desktop.get(), &error);
    if (failed(error))
        return std::nullopt;
    QList<X11PanelWalk> walks;
    for (int i = 0; i < count; ++i) {
        const Ref<AtspiAccessible> app(atspi_accessible_get_child_at_index(desktop.get(), i, &error));
        if (failed(error) || !app)
            continue;
        adoptConnection(app.get(), context);
        const QString name = nameOf(app.get());
        const qint64 pid = processIdOf(app.get());
        if (isPanel(name, pid)) {
            // Names, states and extents change without notice worth trusting: read them afresh.
            atspi_accessible_clear_cache(app.get());
            int budget = maxNodes;
            walks.append({pid, name, readNode(app.get(), 0, budget, true)});
        }
    }
    return walks;
}

} // namespace qv
