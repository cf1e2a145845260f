#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include <xcb/xcb_ewmh.h>

#include "platform/x11/x11connection.h"
#include "platform/x11/x11desktopentries.h"
#include "platform/x11/x11session.h"
#include "platform/x11/x11workspace.h"
#include "support/x11clients.h"

using namespace qv;

namespace {

// Real client programs that nobody here wrote, started and ended like a user would.
class X11WorkspaceTest : public ::testing::Test
{
protected:
    // The window manager is done with the windows of the tests before: this test's windows may be
    // given their numbers, and an old one leaving the list late would be counted as this test's.
    void SetUp() override
    {
        ASSERT_TRUE(session.isValid());
        ASSERT_TRUE(X11Clients::windowManagerCaughtUp(session));
    }

    qint64 startXterm()
    {
        return clients.start(QStringLiteral("xterm"), {QStringLiteral("-geometry"), QStringLiteral("40x8"),
                                                       QStringLiteral("-e"), QStringLiteral("sleep 600")});
    }

    bool isListed(qint64 pid) const
    {
        for (const RunningApp &app : workspace.runningApplications()) {
            if (app.pid == pid)
                return true;
        }
        return false;
    }

    // A window of our own that claims to belong to process `pid`, of `type`, mapped; its id.
    xcb_window_t mapClaimed(uint32_t pid, xcb_atom_t type)
    {
        xcb_connection_t *c = connection.xcb();
        const xcb_window_t window = xcb_generate_id(c);
        xcb_create_window(c, XCB_COPY_FROM_PARENT, window, connection.root(), 100, 100, 200, 120, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
        static constexpr char wmClass[] = "qvclaimed\0QvClaimed";
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                            sizeof(wmClass), wmClass);
        xcb_ewmh_set_wm_pid(connection.ewmh(), window, pid);
        xcb_ewmh_set_wm_window_type(connection.ewmh(), window, 1, &type);
        xcb_map_window(c, window);
        xcb_flush(c);
        made.append(window);
        return window;
    }

    ~X11WorkspaceTest() override
    {
        for (const xcb_window_t window : std::as_const(made))
            xcb_destroy_window(connection.xcb(), window);
        xcb_flush(connection.xcb());
    }

    X11Connection connection;
    QList<xcb_window_t> made;
    X11Session session;
    X11DesktopEntries entries;
    X11Workspace workspace{connection, session, entries};
    X11Clients clients;
};

} // namespace

TEST_F(X11WorkspaceTest, ClientProgramAppearsWhenItMapsAndGoesWhenKilled)
{
    ASSERT_TRUE(connection.isValid());
    QSignalSpy launched(&workspace, &WorkspaceService::applicationLaunched);
    QSignalSpy terminated(&workspace, &WorkspaceService::applicationTerminated);

    const qint64 pid = startXterm();
    ASSERT_NE(pid, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return isListed(pid); }, 10000));
    EXPECT_EQ(launched.count(), 1);
    EXPECT_EQ(launched.first().first().toLongLong(), pid);
    for (const RunningApp &app : workspace.runningApplications()) {
        if (app.pid == pid) {
            // Matched to Debian's desktop entry through its StartupWMClass.
            EXPECT_EQ(app.bundleIdentifier, "debian-xterm");
            EXPECT_EQ(app.name, "XTerm");
            EXPECT_TRUE(app.isRegular);
            EXPECT_FALSE(app.isHidden);
        }
    }

    clients.kill(pid);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !isListed(pid); }, 10000));
    ASSERT_EQ(terminated.count(), 1);
    EXPECT_EQ(terminated.first().first().toLongLong(), pid);
    EXPECT_EQ(launched.count(), 1);
}

TEST_F(X11WorkspaceTest, ActivatingAnApplicationMakesItFrontmost)
{
    const qint64 first = startXterm();
    const qint64 second = startXterm();
    ASSERT_TRUE(QTest::qWaitFor([&] { return isListed(first) && isListed(second); }, 10000));

    // Where the window manager put the focus on its own is its business; start from a known state.
    EXPECT_TRUE(workspace.activate(second));
    ASSERT_TRUE(QTest::qWaitFor([&] { return workspace.frontmostApplication().pid == second; }, 10000));

    QSignalSpy activated(&workspace, &WorkspaceService::applicationActivated);
    for (const qint64 pid : {first, second}) {
        EXPECT_TRUE(workspace.activate(pid));
        ASSERT_TRUE(QTest::qWaitFor([&] { return workspace.frontmostApplication().pid == pid; }, 10000));
        EXPECT_TRUE(workspace.frontmostApplication().isActive);
        ASSERT_FALSE(activated.isEmpty());
        EXPECT_EQ(activated.last().first().toLongLong(), pid);
    }
    EXPECT_EQ(activated.count(), 2);
    int active = 0;
    for (const RunningApp &app : workspace.runningApplications())
        active += app.isActive;
    EXPECT_EQ(active, 1);

    EXPECT_FALSE(workspace.activate(999999));
}

TEST_F(X11WorkspaceTest, DesktopSwitchIsAnActiveSpaceChange)
{
    QSignalSpy changed(&workspace, &WorkspaceService::activeSpaceChanged);
    xcb_ewmh_connection_t *ewmh = connection.ewmh();
    for (const uint32_t desktop : {1u, 0u}) {
        const int before = changed.count();
        xcb_ewmh_request_change_current_desktop(ewmh, connection.screenNumber(), desktop, XCB_CURRENT_TIME);
        xcb_flush(connection.xcb());
        EXPECT_TRUE(QTest::qWaitFor([&] { return changed.count() > before; }, 10000));
    }
}

TEST_F(X11WorkspaceTest, HidingOtherApplicationsIconifiesTheirWindowsOnlyAndAnnouncesListChanges)
{
    ASSERT_TRUE(connection.isValid());
    QSignalSpy changes(&workspace, &WorkspaceService::windowListChanged);
    const qint64 kept = startXterm();
    const qint64 other = startXterm();
    ASSERT_TRUE(QTest::qWaitFor([&] { return isListed(kept) && isListed(other); }, 10000));
    EXPECT_GE(changes.count(), 1) << "windows that map change the list";

    // What the window manager says, read with a tool of its own: WM_STATE of each client.
    auto iconic = [](qint64 pid) {
        const QString windows =
            X11Clients::output(QStringLiteral("xdotool"),
                               {QStringLiteral("search"), QStringLiteral("--pid"), QString::number(pid)});
        for (const QString &window : windows.split(u'\n', Qt::SkipEmptyParts)) {
            if (X11Clients::output(QStringLiteral("xprop"),
                                   {QStringLiteral("-id"), window, QStringLiteral("WM_STATE")})
                    .contains(QStringLiteral("Iconic")))
                return true;
        }
        return false;
    };
    workspace.hideOtherApplications(kept);
    EXPECT_TRUE(QTest::qWaitFor([&] { return iconic(other); }, 3000));
    EXPECT_FALSE(iconic(kept));
}

// An application is regular when one of its own windows is a document or it has a desktop entry; the
// document windows of a process listed after it, however many, do not count for it.
TEST_F(X11WorkspaceTest, AnotherProcesssDocumentWindowLeavesAHelperApplicationIrregular)
{
    ASSERT_TRUE(connection.isValid());
    // Numbers above the kernel's largest pid: no real process answers to them.
    constexpr uint32_t helperPid = 5000001;
    constexpr uint32_t documentPid = 5000002;
    xcb_ewmh_connection_t *ewmh = connection.ewmh();
    // Listed in this order by the window manager, as it maps them.
    const QList<xcb_window_t> windows = {mapClaimed(helperPid, ewmh->_NET_WM_WINDOW_TYPE_UTILITY),
                                         mapClaimed(documentPid, ewmh->_NET_WM_WINDOW_TYPE_NORMAL),
                                         mapClaimed(documentPid, ewmh->_NET_WM_WINDOW_TYPE_NORMAL)};
    const auto allListed = [&] {
        xcb_ewmh_get_windows_reply_t list;
        if (!xcb_ewmh_get_client_list_reply(ewmh, xcb_ewmh_get_client_list(ewmh, connection.screenNumber()),
                                            &list, nullptr))
            return false;
        int found = 0;
        for (uint32_t i = 0; i < list.windows_len; ++i)
            found += windows.contains(list.windows[i]);
        xcb_ewmh_get_windows_reply_wipe(&list);
        return found == windows.size();
    };
    ASSERT_TRUE(QTest::qWaitFor(allListed, 10000));

    // A workspace made now reads the whole list at once.
    X11Workspace fresh{connection, session, entries};
    QHash<qint64, bool> regular;
    for (const RunningApp &app : fresh.runningApplications())
        regular.insert(app.pid, app.isRegular);
    ASSERT_TRUE(regular.contains(helperPid) && regular.contains(documentPid));
    EXPECT_TRUE(regular.value(documentPid));
    EXPECT_FALSE(regular.value(helperPid));
}

// Pictures kept for a window are let go when it closes: the closed windows of other programs are
// named, each once, and a window of our own coming and going names none.
TEST_F(X11WorkspaceTest, AClosedWindowOfAnotherProgramIsNamedOnce)
{
    ASSERT_TRUE(connection.isValid());
    constexpr uint32_t otherPid = 5000003; // above the kernel's largest pid
    const auto ownPid = uint32_t(QCoreApplication::applicationPid());
    const xcb_atom_t normal = connection.ewmh()->_NET_WM_WINDOW_TYPE_NORMAL;
    const xcb_window_t closing = mapClaimed(otherPid, normal);
    const xcb_window_t staying = mapClaimed(otherPid, normal);
    const xcb_window_t ours = mapClaimed(ownPid, normal);
    QSignalSpy closed(&workspace, &WorkspaceService::windowsClosed);
    QSignalSpy changes(&workspace, &WorkspaceService::windowListChanged);
    ASSERT_TRUE(QTest::qWaitFor([&] { return isListed(otherPid) && isListed(ownPid); }, 10000));
    const auto destroy = [&](xcb_window_t window) {
        xcb_destroy_window(connection.xcb(), window);
        xcb_flush(connection.xcb());
        made.removeOne(window);
    };
    // Counted by id: windows an earlier test left may still be leaving the list on a slow machine.
    const auto named = [&](xcb_window_t window) {
        qsizetype times = 0;
        for (const QList<QVariant> &arguments : std::as_const(closed))
            times += arguments.at(0).value<QList<quint32>>().count(window);
        return times;
    };
    destroy(ours);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !isListed(ownPid); }, 10000));
    destroy(closing);
    ASSERT_TRUE(QTest::qWaitFor([&] { return named(closing) > 0; }, 10000));
    const int changesThen = changes.count();
    destroy(staying);
    ASSERT_TRUE(QTest::qWaitFor([&] { return named(staying) > 0; }, 10000));
    EXPECT_GT(changes.count(), changesThen);
    EXPECT_EQ(named(closing), 1);
    EXPECT_EQ(named(staying), 1);
    EXPECT_EQ(named(ours), 0);
}

// A window retitling itself many times a second woke the program at every title while nothing
// showed it (each client's property changes were heard all the time). Titles are heard only while
// a list follows them, and each is then a change of the window list.
TEST_F(X11WorkspaceTest, TitlesAreHeardOnlyWhileFollowed)
{
    ASSERT_TRUE(connection.isValid());
    constexpr uint32_t otherPid = 5000004;
    const xcb_window_t window = mapClaimed(otherPid, connection.ewmh()->_NET_WM_WINDOW_TYPE_NORMAL);
    ASSERT_TRUE(QTest::qWaitFor([&] { return isListed(otherPid); }, 10000));
    QSignalSpy heard(&connection, &X11Connection::windowPropertyChanged);
    QSignalSpy changes(&workspace, &WorkspaceService::windowListChanged);
    X11Session other;
    const auto roundTrip = [](xcb_connection_t *c) {
        std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    };
    // Five titles from another client; every event they caused has reached this connection's queue
    // and been handed on when this returns.
    const auto retitle = [&](int round) {
        for (int i = 0; i < 5; ++i) {
            const QByteArray title = QByteArray("title-") + QByteArray::number(round) + '-' + QByteArray::number(i);
            xcb_change_property(other.xcb(), XCB_PROP_MODE_REPLACE, window, other.ewmh()->_NET_WM_NAME,
                                other.ewmh()->UTF8_STRING, 8, uint32_t(title.size()), title.constData());
        }
        roundTrip(other.xcb());
        roundTrip(connection.xcb());
        connection.readQueuedEvents();
        QCoreApplication::processEvents();
    };
    const auto titlesHeard = [&] {
        return std::count_if(heard.cbegin(), heard.cend(), [&](const QList<QVariant> &arguments) {
            return arguments.at(0).toUInt() == window && arguments.at(1).toUInt() == other.ewmh()->_NET_WM_NAME;
        });
    };
    int round = 0;
    for (const bool follow : {false, true, false}) {
        SCOPED_TRACE(follow);
        workspace.followWindowTitles(follow);
        roundTrip(connection.xcb());
        heard.clear();
        changes.clear();
        retitle(++round);
        EXPECT_EQ(titlesHeard(), follow ? 5 : 0);
        EXPECT_EQ(changes.count() > 0, follow);
    }
}
