#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

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

    X11Connection connection;
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
