#include <gtest/gtest.h>

#include "platform/sim/simaccessibility.h"
#include "platform/sim/simdesktop.h"
#include "windows/axwindowlookup.h"

using namespace qv;

namespace {

class AXLookupTest : public ::testing::Test
{
protected:
    std::shared_ptr<SimAXElement> addWindow(const QString &title, std::optional<bool> minimized,
                                            std::optional<double> number = std::nullopt)
    {
        auto window = ax.makeElement(pid);
        window->set("AXTitle", title);
        if (minimized)
            window->set("AXMinimized", *minimized);
        if (number)
            window->set("CGWindowID", *number);
        windows.append(window);
        ax.appElement(pid)->set("AXWindows", windows);
        return window;
    }

    SimAccessibility ax;
    qint64 pid = 42;
    QList<AXElementPtr> windows;
};

} // namespace

TEST_F(AXLookupTest, FindsWindowsByTheirNumberOnly)
{
    addWindow("One", false, 7);
    auto two = addWindow("Two", false, 9);
    addWindow("Three", false);
    EXPECT_EQ(axWindowForWindowID(*ax.appElement(pid), 9), two);
    EXPECT_EQ(axWindowForWindowID(*ax.appElement(pid), 8), nullptr);
    ax.appElement(pid)->setError("AXWindows", AXError::cannotComplete);
    EXPECT_EQ(axWindowForWindowID(*ax.appElement(pid), 9), nullptr);
}

TEST_F(AXLookupTest, MinimisedStateByNumberThenTitleThenAgreement)
{
    addWindow("Report", true);
    addWindow("Notes", false);
    addWindow("Other", true, 55);
    // By number.
    EXPECT_EQ(axMinimizedState(ax, pid, 55, "whatever", true), true);
    // By matching title.
    EXPECT_EQ(axMinimizedState(ax, pid, 1, " report ", true), true);
    EXPECT_EQ(axMinimizedState(ax, pid, 1, "Notes", false), false);
    // No number, no title match, mixed answers: unknown on screen, minimised off screen.
    EXPECT_EQ(axMinimizedState(ax, pid, 1, "Unrelated", true), std::nullopt);
    EXPECT_EQ(axMinimizedState(ax, pid, 1, "Unrelated", false), true);
    // Unreadable windows give nothing.
    EXPECT_EQ(axMinimizedState(ax, 999, 1, "Report", true), std::nullopt);
}

TEST_F(AXLookupTest, MinimisedStateWhenAllWindowsAgree)
{
    addWindow("A", false);
    addWindow("B", false);
    addWindow("C", std::nullopt); // unreadable: not counted
    EXPECT_EQ(axMinimizedState(ax, pid, 1, "", true), false);
    EXPECT_EQ(axMinimizedState(ax, pid, 1, "", false), std::nullopt);
}

TEST_F(AXLookupTest, ConfirmationByNumberTitleSingleWindowOrSize)
{
    const QRectF small(0, 0, 419, 600);
    const QRectF large(0, 0, 420, 260);
    EXPECT_FALSE(axConfirmsWindow(*ax.appElement(pid), 1, "", small)); // no windows at all
    EXPECT_TRUE(axConfirmsWindow(*ax.appElement(pid), 1, "", large));
    addWindow("Inbox", false);
    EXPECT_TRUE(axConfirmsWindow(*ax.appElement(pid), 1, "Unrelated", small)); // the only window
    addWindow("Drafts", false, 77);
    EXPECT_FALSE(axConfirmsWindow(*ax.appElement(pid), 1, "Unrelated", small));
    EXPECT_TRUE(axConfirmsWindow(*ax.appElement(pid), 1, "inbox - Mail", small));
    EXPECT_TRUE(axConfirmsWindow(*ax.appElement(pid), 77, "", small));
    EXPECT_FALSE(axConfirmsWindow(*ax.appElement(pid), 1, "  ", small));
}

TEST_F(AXLookupTest, ProbeCollectsMinimisedNumbersOfTheTargetOnly)
{
    addWindow("A", true, 11);
    addWindow("B", false, 12);
    addWindow("C", true, -3); // not a window number
    auto other = ax.makeElement(43);
    other->set("AXMinimized", true);
    other->set("CGWindowID", 21.0);
    ax.appElement(43)->set("AXWindows", QList<AXElementPtr>{other});
    const QList<AXProbeTarget> targets = {{42, "org.a"}, {43, "org.b"}};
    EXPECT_EQ(probeMinimizedWindows(ax, targets, "org.a"), QSet<quint32>({11}));
    EXPECT_EQ(probeMinimizedWindows(ax, targets, ""), QSet<quint32>({11, 21}));
}

// The simulated desktop stands in for the real one in every service test: a window it closed but kept
// in its application's accessibility list would let a lookup find a window that is gone.
TEST(SimulatedWindowsTest, AClosedWindowLeavesItsApplicationsAccessibilityList)
{
    SimDesktop desktop;
    desktop.addDefaultScreen();
    const qint64 pid = desktop.workspace.launch(
        RunningApp{0, QStringLiteral("org.example.files"), QStringLiteral("Files"), false, false, true});
    const quint32 first =
        desktop.windowServer.addWindow(pid, QRectF(100, 100, 400, 300), QStringLiteral("One"));
    const quint32 second =
        desktop.windowServer.addWindow(pid, QRectF(140, 130, 400, 300), QStringLiteral("Two"));
    const auto app = desktop.accessibility.appElement(pid);
    ASSERT_NE(axWindowForWindowID(*app, first), nullptr);

    desktop.windowServer.removeWindow(first);
    EXPECT_EQ(axWindowForWindowID(*app, first), nullptr);
    EXPECT_EQ(axWindowForWindowID(*app, second), desktop.windowServer.axWindow(second));
}
