// The accessibility walker against xfce4-panel on a real accessibility bus.
#include <gtest/gtest.h>

#include <QTest>

#include <atomic>
#include <chrono>

#include <glib.h>

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
    {
        X11AtspiWalker walker;
        std::atomic<int> changes{0};
        walker.setOnChange([&] { ++changes; });
        ASSERT_TRUE(QTest::qWaitFor([&] { return panelButtons(walker) >= 2; }, 30000)) << "no launchers read";
        EXPECT_EQ(sourcesOnMainContext(), mainSources) << "a connection went to the main thread's loop";

        const int seen = changes;
        xfce.xterm(QStringLiteral("walker term"));
        EXPECT_TRUE(QTest::qWaitFor([&] { return changes > seen; }, 15000))
            << "the new task button went unreported";
        EXPECT_TRUE(QTest::qWaitFor([&] { return panelButtons(walker) >= 3; }, 15000));
    }
    X11AtspiWalker later;
    EXPECT_TRUE(QTest::qWaitFor([&] { return panelButtons(later) >= 3; }, 15000))
        << "the later walker read nothing";
    EXPECT_EQ(sourcesOnMainContext(), mainSources);

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
}

