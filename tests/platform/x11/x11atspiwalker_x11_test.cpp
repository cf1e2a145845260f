// The accessibility walker against xfce4-panel on a real accessibility bus.
#include <gtest/gtest.h>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QFile>
#include <QHash>
#include <QTest>

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <thread>

#include <glib.h>
#include <malloc.h>
#include <xcb/xcb.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/x11/x11atspiwalker.h"
#include "support/consolecapture.h"
#include "support/xfcepanel.h"

using namespace qv;

namespace {

// The sources on the default main context, the one the main thread's event loop dispatches.
int sourcesOnMainContext()
{
    GMainContext *main = g_main_context_default();
    GSource *marker = g_idle_source_new();
    const guint next = g_source_attach(marker, main);
    int count = 0;
    for (guint id = 1; id < next; ++id)
        count += g_main_context_find_source_by_id(main, id) ? 1 : 0;
    g_source_destroy(marker);
    g_source_unref(marker);
    return count;
}

int buttonsIn(const X11AccessibleNode &node)
{
    int count = node.role != X11AccessibleNode::Role::other && !node.extents.isEmpty() ? 1 : 0;
    for (const X11AccessibleNode &child : node.children)
        count += buttonsIn(child);
    return count;
}

int panelButtons(X11AtspiWalker &walker)
{
    int count = 0;
    for (const X11PanelWalk &panel : walker.walk(std::chrono::seconds(2)).value_or(QList<X11PanelWalk>()))
        count += buttonsIn(panel.root);
    return count;
}

void collectButtons(const X11AccessibleNode &node, QHash<QString, QRect> &buttons)
{
    if (node.role != X11AccessibleNode::Role::other)
        buttons.insert(node.name, node.extents);
    for (const X11AccessibleNode &child : node.children)
        collectButtons(child, buttons);
}

// The panels' buttons of a walk now, by name.
QHash<QString, QRect> panelButtonsByName(X11AtspiWalker &walker)
{
    QHash<QString, QRect> buttons;
    for (const X11PanelWalk &panel : walker.walk(std::chrono::seconds(2)).value_or(QList<X11PanelWalk>()))
        collectButtons(panel.root, buttons);
    return buttons;
}

// The accessibility bus's address; empty when it does not tell.
QString accessibilityBusAddress()
{
    const QDBusMessage address = QDBusConnection::sessionBus().call(
        QDBusMessage::createMethodCall(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                                       QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress")),
        QDBus::Block, 2000);
    if (address.type() != QDBusMessage::ReplyMessage || address.arguments().isEmpty())
        return {};
    return address.arguments().constFirst().toString();
}

// A connection of the test's own to the accessibility bus.
QDBusConnection testConnection()
{
    return QDBusConnection::connectToBus(accessibilityBusAddress(), QStringLiteral("test-a11y"));
}

// The first value `method` of the accessibility bus's `service` answers, asked on the test's own
// connection; none when it does not answer.
std::optional<QDBusArgument> askAccessibilityBus(const QString &service, const QString &path,
                                                 const QString &interface, const QString &method)
{
    QDBusConnection bus = testConnection();
    if (!bus.isConnected())
        return std::nullopt;
    const QDBusMessage reply =
        bus.call(QDBusMessage::createMethodCall(service, path, interface, method), QDBus::Block, 2000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return std::nullopt;
    return reply.arguments().constFirst().value<QDBusArgument>();
}

// The events the listeners on the accessibility bus asked its registry for, which are what the
// applications send; the walkers are the only listeners here. None when the registry cannot be asked.
std::optional<QStringList> registeredEvents()
{
    const auto list = askAccessibilityBus(
        QStringLiteral("org.a11y.atspi.Registry"), QStringLiteral("/org/a11y/atspi/registry"),
        QStringLiteral("org.a11y.atspi.Registry"), QStringLiteral("GetRegisteredEvents"));
    if (!list)
        return std::nullopt;
    QStringList events;
    list->beginArray();
    while (!list->atEnd()) {
        QString sender;
        QString event;
        list->beginStructure();
        *list >> sender >> event;
        list->endStructure();
        events.append(event);
    }
    list->endArray();
    return events;
}

// The signals every connection to the accessibility bus asked it for (its match rules), as the bus
// itself keeps them. None when it does not tell.
std::optional<QStringList> matchRules()
{
    const auto map = askAccessibilityBus(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus.Debug.Stats"), QStringLiteral("GetAllMatchRules"));
    if (!map)
        return std::nullopt;
    QStringList rules;
    map->beginMap();
    while (!map->atEnd()) {
        QString connection;
        QStringList ofConnection;
        map->beginMapEntry();
        *map >> connection >> ofConnection;
        map->endMapEntry();
        rules += ofConnection;
    }
    map->endMap();
    return rules;
}

// Whether the kernel shows process `pid` stopped.
bool isStopped(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray line = stat.read(1024);
    const qsizetype name = line.lastIndexOf(')');
    return name > 0 && line.mid(name + 2, 1) == "T";
}

// Ends a walker on a thread of its own, also when a check failed on the way. One that slept on
// through its end would hold up the program's exit for good: the test process then ends at once,
// failed, rather than wait out its time.
struct EndPromptly
{
    void operator()(X11AtspiWalker *walker) const
    {
        std::atomic<bool> ended{false};
        std::thread ending([&] {
            delete walker;
            ended = true;
        });
        if (!QTest::qWaitFor([&] { return ended.load(); }, 15000)) {
            std::fprintf(stderr, "The accessibility walker did not end\n");
            std::_Exit(EXIT_FAILURE);
        }
        ending.join();
    }
};
using Walker = std::unique_ptr<X11AtspiWalker, EndPromptly>;

// Retitles a window as its program would, through the X server.
class Retitler
{
public:
    Retitler() : m_c(xcb_connect(nullptr, nullptr))
    {
        m_name = atom("_NET_WM_NAME");
        m_utf8 = atom("UTF8_STRING");
    }
    ~Retitler() { xcb_disconnect(m_c); }

    void retitle(xcb_window_t window, const QString &title)
    {
        const QByteArray text = title.toUtf8();
        xcb_change_property(m_c, XCB_PROP_MODE_REPLACE, window, m_name, m_utf8, 8, uint32_t(text.size()),
                            text.constData());
        xcb_change_property(m_c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                            uint32_t(text.size()), text.constData());
        xcb_flush(m_c);
    }

private:
    xcb_atom_t atom(const char *name)
    {
        xcb_intern_atom_reply_t *reply =
            xcb_intern_atom_reply(m_c, xcb_intern_atom(m_c, 0, uint16_t(strlen(name)), name), nullptr);
        const xcb_atom_t result = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        free(reply);
        return result;
    }

    xcb_connection_t *m_c;
    xcb_atom_t m_name = XCB_ATOM_NONE;
    xcb_atom_t m_utf8 = XCB_ATOM_NONE;
};

} // namespace

// The library's connections (the bus and the private one to the panel) are dispatched by the
// walker's thread alone; the panel's changes reach the change callback; and the library, which
// cannot be started over, is set up once: a later walker reads the panel as well as the first.
TEST(X11AtspiWalkerX11Test, ReadsThePanelOnItsOwnThreadAgainInALaterWalkerAndToldWhenTheBusGoes)
{
    if (const QString missing = XfcePanelDesktop::missing(); !missing.isEmpty())
        GTEST_SKIP() << missing.toStdString();
    XfcePanelDesktop xfce;
    ASSERT_TRUE(xfce.start());
    const int mainSources = sourcesOnMainContext();
    const auto boundsRegistered = [] {
        return registeredEvents().value_or(QStringList()).contains(QStringLiteral("Object:BoundsChanged:"));
    };
    {
        std::atomic<int> changes{0};
        Walker owner(new X11AtspiWalker());
        X11AtspiWalker &walker = *owner;
        walker.setOnChange([&] { ++changes; });
        ASSERT_TRUE(QTest::qWaitFor([&] { return panelButtons(walker) >= 2; }, 30000)) << "no launchers read";
        EXPECT_EQ(sourcesOnMainContext(), mainSources) << "a connection went to the main thread's loop";
        // The panel's windows give its frame.
        int frames = 0;
        for (const X11PanelWalk &panel : walker.walk(std::chrono::seconds(2)).value_or(QList<X11PanelWalk>()))
            for (const X11AccessibleNode &window : panel.root.children)
                frames += window.extents.isEmpty() ? 0 : 1;
        EXPECT_GT(frames, 0) << "no panel window read with its place";

        const int seen = changes;
        xfce.xterm(QStringLiteral("walker term"));
        EXPECT_TRUE(QTest::qWaitFor([&] { return changes > seen; }, 15000))
            << "the new task button went unreported";
        EXPECT_TRUE(QTest::qWaitFor([&] { return panelButtons(walker) >= 3; }, 15000));

        // Ended while it listens to bounds too.
        walker.expectLayoutChange();
        ASSERT_TRUE(QTest::qWaitFor(boundsRegistered, 15000));
        owner.reset();
    }
    // The library outlives the walker, and the applications send what its listener asked for: an
    // event left registered would reach a walker that is gone.
    EXPECT_TRUE(QTest::qWaitFor([] { return registeredEvents() == QStringList(); }, 15000))
        << registeredEvents().value_or(QStringList()).join(u' ').toStdString();

    std::atomic<int> walksDone{0};
    // Also told of a panel by its program's name, which the bus names otherwise (below).
    Walker laterOwner(new X11AtspiWalker(X11AtspiWalker::defaultPanels() << QStringLiteral("qv_twowindows")));
    X11AtspiWalker &later = *laterOwner;
    later.setOnWalk([&](const std::optional<QList<X11PanelWalk>> &) { ++walksDone; });
    // The panels may still be laying their buttons out when a walker starts.
    EXPECT_TRUE(QTest::qWaitFor([&] { return later.isFollowingBounds(); }, 15000))
        << "bounds unheard at the start";
    // ... and for a while only, also when nothing wakes the walker.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !later.isFollowingBounds(); }, 15000))
        << "bounds listened to until the next walk";
    EXPECT_TRUE(QTest::qWaitFor([&] { return panelButtons(later) >= 3; }, 15000))
        << "the later walker read nothing";
    EXPECT_EQ(sourcesOnMainContext(), mainSources);

    // Regression: a window retitling itself 50 times a second kept the otherwise idle program busy
    // on a few per cent of a core: the panel reported its task button's bounds at every title, and
    // each report was read. Once the panel has settled, nothing of a retitle reaches the walker. A
    // window opening still brings a report (the panel tells of its new button by bounds alone), and
    // the walks find every button where the panel drew it.
    {
        ASSERT_TRUE(QTest::qWaitFor([&] { return !later.isFollowingBounds(); }, 15000))
            << "bounds are listened to for good";
        // What the panel is asked to send, not only what the walker says of itself.
        EXPECT_TRUE(QTest::qWaitFor([&] { return !boundsRegistered(); }, 15000)) << "bounds still asked for";
        EXPECT_TRUE(
            registeredEvents().value_or(QStringList()).contains(QStringLiteral("Object:ChildrenChanged:")));
        // Nor does the bus pass on the property changes (a retitle renames a task button), which
        // the library would hear by a rule of its own.
        const std::optional<QStringList> rules = matchRules();
        ASSERT_TRUE(rules.has_value()) << "the bus does not tell its match rules";
        for (const QString &rule : *rules)
            EXPECT_FALSE(rule.contains(QStringLiteral("PropertyChange")) ||
                         rule.contains(QStringLiteral("BoundsChanged")))
                << rule.toStdString();
        std::atomic<int> changes{0};
        std::atomic<bool> followingAtChange{false};
        later.setOnChange([&] {
            followingAtChange = later.isFollowingBounds();
            ++changes;
        });
        const auto window = xcb_window_t(XfcePanelDesktop::windowNamed(QStringLiteral("walker term")).toUInt());
        ASSERT_NE(window, xcb_window_t(XCB_WINDOW_NONE));
        const quint64 received = later.eventsReceived();
        Retitler titles;
        const int retitles = 100;
        for (int i = 1; i <= retitles; ++i) {
            titles.retitle(window, QStringLiteral("walker term %1").arg(i * 37));
            QTest::qWait(10);
        }
        const QString last = QStringLiteral("walker term %1").arg(retitles * 37);
        // Once the last title shows on the button, the panel has handled them all.
        ASSERT_TRUE(QTest::qWaitFor([&] { return panelButtonsByName(later).contains(last); }, 15000))
            << panelButtonsByName(later).keys().join(u',').toStdString();
        EXPECT_LT(later.eventsReceived() - received, quint64(retitles / 10))
            << "the retitles reached the walker";
        EXPECT_EQ(changes, 0);

        // A window opens: the desktop says so (the client list), as the tile source passes on.
        xfce.xterm(QStringLiteral("second term"));
        later.expectLayoutChange();
        EXPECT_TRUE(QTest::qWaitFor([&] { return changes > 0; }, 15000)) << "the new task button went unreported";
        EXPECT_TRUE(followingAtChange) << "bounds unheard while the panel lays its new button out";
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                later.expectLayoutChange();
                return boundsRegistered();
            },
            15000))
            << "bounds not asked for while the watch is open";
        for (const QString &title : {last, QStringLiteral("second term")}) {
            const QRect drawn = XfcePanelDesktop::iconGeometryOf(title);
            EXPECT_FALSE(drawn.isEmpty()) << title.toStdString();
            EXPECT_TRUE(QTest::qWaitFor([&] { return panelButtonsByName(later).value(title) == drawn; }, 15000))
                << title.toStdString();
        }
        // Its counts end with this block.
        later.setOnChange({});
    }

    // A hover walks the panels afresh each time, for as long as the program runs: the walks keep
    // nothing of what they read (the library hands out copies of names and extents).
    {
        for (int i = 0; i < 20; ++i)
            later.walk(std::chrono::seconds(2));
        // Answered, so every walk asked for so far has been made.
        ASSERT_TRUE(QTest::qWaitFor([&] { return later.walk(std::chrono::seconds(2)).has_value(); }, 15000));
        const auto before = qint64(mallinfo2().uordblks);
        const int walked = walksDone;
        const int walks = 200;
        for (int i = 0; i < walks; ++i)
            ASSERT_TRUE(later.walk(std::chrono::seconds(2)).has_value());
        const qint64 grown = qint64(mallinfo2().uordblks) - before;
        EXPECT_LT(grown, 16 * 1024) << "the walks' memory grew by " << grown << " bytes";
        // The walker walks only when asked, once for each request.
        EXPECT_EQ(walksDone - walked, walks);
    }

    // While the watch is open, the panel reports its buttons' bounds as often as a window retitles
    // itself: each report is let go once read, so memory does not grow with their number.
    {
        const auto window =
            xcb_window_t(XfcePanelDesktop::windowNamed(QStringLiteral("second term")).toUInt());
        ASSERT_NE(window, xcb_window_t(XCB_WINDOW_NONE));
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                later.expectLayoutChange();
                return boundsRegistered();
            },
            15000));
        // Whether the panel's application is a panel is asked once, not at each report (the
        // question costs the bus a round trip for its process).
        QProcess *monitor = xfce.run(
            QStringLiteral("dbus-monitor"),
            {QStringLiteral("--address"), accessibilityBusAddress(),
             QStringLiteral("type='method_call',member='GetConnectionUnixProcessID'")});
        ASSERT_TRUE(monitor->waitForReadyRead(5000)) << "no bus monitor";
        monitor->readAll();
        Retitler titles;
        const quint64 received = later.eventsReceived();
        const auto before = qint64(mallinfo2().uordblks);
        const int retitles = 100;
        for (int i = 1; i <= retitles; ++i) {
            later.expectLayoutChange();
            const quint64 heard = later.eventsReceived();
            titles.retitle(window, QStringLiteral("second term %1").arg(i * 37));
            ASSERT_TRUE(QTest::qWaitFor([&] { return later.eventsReceived() > heard; }, 5000)) << i;
        }
        // A walk asks for each application's process, after every question the reports led to.
        ASSERT_TRUE(later.walk(std::chrono::seconds(2)).has_value());
        QByteArray calls;
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                calls += monitor->readAll();
                return calls.contains("member=GetConnectionUnixProcessID");
            },
            5000));
        EXPECT_LT(calls.count("member=GetConnectionUnixProcessID"), retitles / 10)
            << "asked at each report whether the panel is one";
        monitor->kill();
        const QString last = QStringLiteral("second term %1").arg(retitles * 37);
        ASSERT_TRUE(QTest::qWaitFor([&] { return panelButtonsByName(later).contains(last); }, 15000));
        const qint64 grown = qint64(mallinfo2().uordblks) - before;
        EXPECT_LT(grown, 16 * 1024) << "memory grew by " << grown << " bytes over "
                                    << later.eventsReceived() - received << " events";
    }

    // An application registering on the bus (a panel that starts late) is reported, and the panels'
    // bounds are heard while it lays its buttons out.
    {
        ASSERT_TRUE(QTest::qWaitFor([&] { return !later.isFollowingBounds(); }, 15000));
        std::atomic<int> changes{0};
        std::atomic<bool> followingAtChange{false};
        later.setOnChange([&] {
            followingAtChange = later.isFollowingBounds();
            ++changes;
        });
        // Its name on the bus is the one it was started by, not its program's.
        QProcess *application =
            xfce.run(QStringLiteral("env"),
                     {QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1"), QStringLiteral("bash"),
                      QStringLiteral("-c"), QStringLiteral("exec -a late-panel \"$0\" late-one late-two"),
                      QStringLiteral(QV_TWOWINDOWS)});
        EXPECT_TRUE(QTest::qWaitFor([&] { return changes > 0; }, 15000))
            << "the new application went unreported";
        EXPECT_TRUE(followingAtChange) << "bounds unheard after an application came";
        // A panel the bus names otherwise is known by its program.
        const auto walked = [&] {
            for (const X11PanelWalk &panel :
                 later.walk(std::chrono::seconds(2)).value_or(QList<X11PanelWalk>()))
                if (panel.pid == application->processId())
                    return true;
            return false;
        };
        EXPECT_TRUE(QTest::qWaitFor(walked, 15000)) << "a panel known by its program went unread";
        const int seen = changes;
        application->kill();
        application->waitForFinished(3000);
        EXPECT_TRUE(QTest::qWaitFor([&] { return changes > seen; }, 15000)) << "the application's end went unreported";
        later.setOnChange({});
    }

    // A panel that stops answering (hung, or stopped as here) holds up no walk for good: each call
    // to it gives up after a while, the walks answer without its buttons, and read them all again
    // once it answers. Events of an application that is no panel are no change, unless they come in
    // a flood, more than the walker keeps while it waits for the panel: those it could not keep may
    // have concerned a panel, so they count as a change of layout.
    {
        const qint64 panel = xfce.panel()->processId();
        ASSERT_EQ(::kill(pid_t(panel), SIGSTOP), 0);
        ASSERT_TRUE(QTest::qWaitFor([&] { return isStopped(panel); }, 5000));
        // Once the panel has settled (the watch closes a while after its last change).
        ASSERT_TRUE(QTest::qWaitFor([&] { return !later.isFollowingBounds(); }, 15000));
        std::atomic<int> changes{0};
        later.setOnChange([&] { ++changes; });
        QDBusConnection flooding = testConnection();
        const auto flood = [&](int events) {
            for (int i = 0; i < events; ++i) {
                QDBusMessage event = QDBusMessage::createSignal(
                    QStringLiteral("/org/a11y/atspi/accessible/flood"), QStringLiteral("org.a11y.atspi.Event.Object"),
                    QStringLiteral("StateChanged"));
                event << QStringLiteral("showing") << 1 << 0 << QVariant::fromValue(QDBusVariant(0)) << QVariantMap();
                flooding.send(event);
            }
        };
        const quint64 heard = later.eventsReceived();
        flood(10);
        const bool heardAll = QTest::qWaitFor([&] { return later.eventsReceived() >= heard + 10; }, 5000);
        const bool quiet = heardAll && later.walk(std::chrono::seconds(15)).has_value() && changes == 0;
        later.requestWalk();
        flood(300);
        const std::optional<QList<X11PanelWalk>> walks = later.walk(std::chrono::seconds(15));
        const bool reported = changes > 0;
        const bool following = later.isFollowingBounds();
        // For a while only, though nothing wakes the walker (the panel still hangs).
        const bool closed = walks && QTest::qWaitFor([&] { return !later.isFollowingBounds(); }, 15000);
        ::kill(pid_t(panel), SIGCONT);
        ASSERT_TRUE(walks.has_value()) << "no walk answered while the panel hung";
        int buttons = 0;
        for (const X11PanelWalk &walked : *walks)
            buttons += buttonsIn(walked.root);
        EXPECT_EQ(buttons, 0);
        EXPECT_TRUE(quiet) << "the events of an application that is no panel were reported";
        EXPECT_TRUE(reported) << "the events past the bound went unreported";
        EXPECT_TRUE(following) << "bounds unheard after the events past the bound";
        EXPECT_TRUE(closed) << "bounds listened to until the next walk";
        later.setOnChange({});
        EXPECT_TRUE(QTest::qWaitFor([&] { return panelButtons(later) >= 3; }, 15000))
            << "the panel's buttons went unread once it answered again";
    }

    // Regression: after the accessibility bus died and came back, the launchers gave no bubble and
    // nothing said why: the library keeps the bus it was set up on for good. The loss is told once
    // and reported as a change (the launchers read from it are gone), and the walks ask the library
    // nothing more. (Last: the library is of no use after it, and this process has one session bus.)
    test::ConsoleCapture console;
    std::atomic<int> changes{0};
    later.setOnChange([&] { ++changes; });
    ASSERT_TRUE(xfce.restartAccessibilityBus());
    const auto told = [&] { return console.linesWith(QStringLiteral("accessibility bus went away")).size(); };
    EXPECT_TRUE(QTest::qWaitFor([&] { return told() > 0; }, 15000)) << "the loss went untold";
    EXPECT_GT(changes, 0);
    EXPECT_EQ(panelButtons(later), 0);
    for (int i = 0; i < 3; ++i)
        later.walk(std::chrono::seconds(1));
    EXPECT_EQ(told(), qsizetype(1));
    // Asleep with nothing to do, it still ends when told to.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !later.isFollowingBounds(); }, 15000));
    laterOwner.reset();
}

