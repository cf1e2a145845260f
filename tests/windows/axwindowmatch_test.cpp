#include <gtest/gtest.h>

#include <QHash>

#include "platform/sim/simaccessibility.h"
#include "platform/windowbounds.h"
#include "windows/appwindowmodel.h"
#include "windows/axwindowmatch.h"

using namespace qv;

namespace {

class FixedBounds : public WindowBoundsService
{
public:
    std::optional<QRectF> windowBounds(quint32 windowId) override
    {
        const auto it = frames.constFind(windowId);
        return it == frames.constEnd() ? std::nullopt : std::optional<QRectF>(*it);
    }
    QHash<quint32, QRectF> frames;
};

// One accessibility window of the application: an empty frame means position and size are
// unreadable; a number is also known to the window server, at `serverFrame` (else at `frame`).
struct AXWin
{
    QString title;
    std::optional<bool> minimized;
    QRectF frame;
    std::optional<quint32> number = std::nullopt;
    QRectF serverFrame = QRectF();
};

struct MatchCase
{
    const char *name;
    QList<AXWin> windows;
    QString modelTitle;
    QRectF modelRect;
    bool modelMinimized;
    // Index of the expected element; -1 for none.
    int expected;
};

void PrintTo(const MatchCase &c, std::ostream *os)
{
    *os << c.name;
}

AppWindowModel model(qint64 id, const QString &title, const QRectF &rect, bool minimized)
{
    AppWindowModel m;
    m.id = id;
    m.title = title;
    m.rect = rect;
    m.isMinimized = minimized;
    m.ownerPID = 42;
    return m;
}

class FindAXWindow : public ::testing::TestWithParam<MatchCase>
{
protected:
    QList<AXElementPtr> build(const QList<AXWin> &spec)
    {
        QList<AXElementPtr> elements;
        for (const AXWin &w : spec) {
            auto element = ax.makeElement(42);
            element->set("AXTitle", w.title);
            if (w.minimized)
                element->set("AXMinimized", *w.minimized);
            if (!w.frame.isEmpty()) {
                element->set("AXPosition", w.frame.topLeft());
                element->set("AXSize", w.frame.size());
            }
            if (w.number) {
                element->set("CGWindowID", double(*w.number));
                bounds.frames.insert(*w.number, w.serverFrame.isNull() ? w.frame : w.serverFrame);
            }
            elements.append(element);
        }
        ax.appElement(42)->set("AXWindows", elements);
        return elements;
    }

    SimAccessibility ax;
    FixedBounds bounds;
};

const QRectF doc(100, 100, 800, 600);

} // namespace

TEST_P(FindAXWindow, PicksTheExpectedElement)
{
    const MatchCase &c = GetParam();
    const QList<AXElementPtr> elements = build(c.windows);
    const AXElementPtr found =
        findAXWindow(*ax.appElement(42), model(9, c.modelTitle, c.modelRect, c.modelMinimized), bounds);
    if (c.expected < 0)
        EXPECT_EQ(found, nullptr);
    else
        EXPECT_EQ(found, elements[c.expected]);
}

INSTANTIATE_TEST_SUITE_P(
    Matching, FindAXWindow,
    ::testing::Values(
        // The number decides at once, however well an earlier window scores.
        MatchCase{"NumberWins",
                  {{"Report", false, doc, 3}, {"Other", false, QRectF(900, 700, 90, 90), 9}},
                  "Report",
                  doc,
                  false,
                  1},
        MatchCase{
            "LoneMismatchedWindow", {{"Mail", true, QRectF(900, 700, 300, 200)}}, "Report", doc, false, 0},
        MatchCase{"TieGoesToTheEarlier", {{"", false, doc}, {"", false, doc}}, "", doc, false, 0},
        MatchCase{"LoneMinimisedWinsOverABetterScore",
                  {{"Report", false, doc}, {"Notes", true, QRectF(900, 700, 200, 100)}},
                  "Report",
                  doc,
                  true,
                  1},
        // Equal but for the minimised state: the state the model names wins.
        MatchCase{"MatchingMinimisedStateDecides",
                  {{"Report", true, doc}, {"Report", false, doc}},
                  "Report",
                  doc,
                  false,
                  1},
        // Two minimised windows are no lone one: the title decides.
        MatchCase{"TwoMinimisedDecidedByTitle",
                  {{"Report", true, {}}, {"Notes", true, {}}},
                  "Report",
                  doc,
                  true,
                  0},
        MatchCase{
            "EmptyTitleAndRectMatchNothing", {{"", false, doc}, {"", false, doc}}, "", QRectF(), false, -1},
        MatchCase{"CaseInsensitiveEqualityBeatsContainment",
                  {{"report - draft", {}, {}}, {"  REPORT\n", {}, {}}},
                  "Report",
                  QRectF(),
                  false,
                  1},
        MatchCase{"UnrelatedTitlesStayBelowTheThreshold",
                  {{"Report", {}, {}}, {"Notes", {}, {}}},
                  "Budget",
                  QRectF(),
                  false,
                  -1},
        // Both frames are top-left based: flipping one of them would prefer the window 100 pt below.
        MatchCase{"GeometryComparesTopLeftFrames",
                  {{"", {}, QRectF(0, 200, 800, 600)}, {"", {}, QRectF(0, 100, 800, 600)}},
                  "",
                  QRectF(0, 100, 800, 600),
                  false,
                  1},
        // The window server's frame counts too: it tells two equal accessibility windows apart.
        MatchCase{"WindowServerFrameDecides",
                  {{"", {}, QRectF(), 4, doc.translated(2000, 0)}, {"", {}, QRectF(), 5, doc}},
                  "",
                  doc,
                  false,
                  1}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(GeometryScore, RewardsOverlapAndNearCentres)
{
    FixedBounds bounds;
    bounds.frames.insert(1, doc);
    bounds.frames.insert(2, doc.translated(400, 0));
    bounds.frames.insert(3, QRectF(5000, 5000, 100, 100));
    EXPECT_EQ(geometryScore(bounds, 1, doc), 160 + 120);
    // Half covered: 110 for overlap; centres 400 pt apart: 120 - 28.
    EXPECT_EQ(geometryScore(bounds, 2, doc), 110 + 92);
    EXPECT_EQ(geometryScore(bounds, 3, doc), 0);
    EXPECT_EQ(geometryScore(bounds, 1, QRectF()), 0);
    EXPECT_EQ(geometryScore(bounds, 8, doc), 0);
    EXPECT_EQ(geometryScore(bounds, -1, doc), 0);
}

TEST(AXWindowSteps, PreferredWindowAndButtonPresses)
{
    SimAccessibility ax;
    auto app = ax.appElement(42);
    auto first = ax.makeElement(42);
    auto main = ax.makeElement(42);
    app->set("AXWindows", QList<AXElementPtr>{first, main});
    EXPECT_EQ(preferredAXWindow(*app), first);
    app->set("AXMainWindow", AXElementPtr(main));
    EXPECT_EQ(preferredAXWindow(*app), main);
    app->set("AXFocusedWindow", QString("not an element"));
    EXPECT_EQ(preferredAXWindow(*app), main);

    // A press counts only when the button exists and accepts it.
    EXPECT_FALSE(pressAXButton(*first, axMinimizeButton));
    auto button = ax.makeElement(42);
    first->set(axMinimizeButton, AXElementPtr(button));
    EXPECT_TRUE(pressAXButton(*first, axMinimizeButton));
    button->setElementError(AXError::cannotComplete);
    EXPECT_FALSE(pressAXButton(*first, axMinimizeButton));
    EXPECT_EQ(button->performedActions(), QStringList({"AXPress"}));
}
