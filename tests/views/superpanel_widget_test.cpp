#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPointer>
#include <QPainter>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

#include "core/localization.h"
#include "support/screenshot.h"
#include "support/textfit.h"
#include "ui/scalefadeeffect.h"
#include "views/peek/dropzoneview.h"
#include "views/superpanel/appsidebaritem.h"
#include "views/superpanel/globalwindowcard.h"
#include "views/superpanel/superpanelrules.h"
#include "views/superpanel/symbolbutton.h"
#include "views/superpanel/windowgrid.h"
#include "views/superpanelfixture.h"

using namespace qv;

namespace {

class SuperPanelWidget : public ::testing::Test, public SuperPanelFixture
{
protected:
    using SuperPanelFixture::open;
    // Opens the panel over `count` sample windows.
    void open(int count)
    {
        windows.setWindows(sampleWindows(count));
        open();
    }
    QLineEdit *search() { return static_cast<QLineEdit *>(view->searchField()); }
    QList<GlobalWindowCard *> cards() { return view->grid()->cards(); }
    void type(const QString &text)
    {
        QTest::keyClicks(search(), text);
        QApplication::processEvents();
    }
    void key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(search(), key, modifiers);
        QApplication::processEvents();
    }
    // A mouse event at a point of the card given in global coordinates (cards move while dragged).
    void mouse(GlobalWindowCard *card, QEvent::Type type, const QPointF &global)
    {
        const QPointF local = global - QPointF(card->mapToGlobal(QPoint(0, 0)));
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, local, local, global, button, held, Qt::NoModifier);
        QApplication::sendEvent(card, &event);
    }
    QPointF cardCentre(GlobalWindowCard *card)
    {
        return QPointF(card->mapToGlobal(card->cardRect().center()));
    }
    QRect visibleArea()
    {
        const QWidget *viewport = view->grid()->viewport();
        return QRect(viewport->mapToGlobal(QPoint(0, 0)), viewport->size());
    }
    QRect globalRect(GlobalWindowCard *card)
    {
        return QRect(card->mapToGlobal(card->cardRect().topLeft()), card->cardRect().size());
    }
    // Whether all that shows of `widget` was painted again once `change` and its events were done.
    static bool repaintedWholeBy(QWidget &widget, const std::function<void()> &change)
    {
        struct Recorder : QObject
        {
            QRegion painted;
            bool eventFilter(QObject *, QEvent *event) override
            {
                if (event->type() == QEvent::Paint)
                    painted += static_cast<QPaintEvent *>(event)->region();
                return false;
            }
        } recorder;
        widget.installEventFilter(&recorder);
        change();
        QApplication::processEvents();
        widget.removeEventFilter(&recorder);
        return (widget.visibleRegion() - recorder.painted).isEmpty();
    }
};

TEST_F(SuperPanelWidget, OpeningShowsACardPerWindowWithTheSearchFocusedAndTheFirstSelected)
{
    open(40);
    ASSERT_EQ(view->windowTitles().size(), 40);
    EXPECT_EQ(cards().first()->window().title, windows.itemAt(0).title);
    EXPECT_TRUE(cards().first()->isSelected());
    EXPECT_TRUE(cards().first()->eyeButton()->isVisible()) << "the selected card shows its eye";
    EXPECT_TRUE(search()->hasFocus() || !QApplication::activeWindow());
    EXPECT_TRUE(state->isSearchFocused());
    EXPECT_EQ(events, QStringList{"overlay_show route=all"});
    // "All Apps" and six applications, in code-point order.
    QStringList names;
    for (AppSidebarItem *item : view->sidebarItems())
        names.append(item->name());
    EXPECT_EQ(names, (QStringList{"All Apps", "Calendar", "Editor", "Files", "Firefox", "Mail", "Terminal"}));
    EXPECT_EQ(view->rightColumn()->width(), SuperPanelOverlay::rightColumnWidth);
    for (const QAbstractButton *button : view->findChildren<QAbstractButton *>())
        EXPECT_EQ(button->cursor().shape(), Qt::PointingHandCursor) << "a hand over every button";
    saveScreenshot(*backdrop, "superpanel_40_windows");
}

TEST_F(SuperPanelWidget, TypingFiltersTheCardsAndTheAppFilterCombinesWithIt)
{
    open(40);
    const QPointer<GlobalWindowCard> first = cards().first();
    type("inbox");
    EXPECT_EQ(view->windowTitles().size(), 5) << view->windowTitles().join(", ").toStdString();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(first) << "a card the search hides is kept for when it shows again";
    saveScreenshot(*backdrop, "superpanel_filtered");

    view->sidebarItems().at(4)->click(); // Firefox: no inbox among its windows
    QApplication::processEvents();
    EXPECT_TRUE(view->grid()->isShowingEmptyState());
    EXPECT_EQ(state->searchText(), "inbox") << "the search stays";
    EXPECT_TRUE(view->sidebarItems().at(4)->isSelected());
    EXPECT_FALSE(view->sidebarItems().at(0)->isSelected());
    saveScreenshot(*backdrop, "superpanel_empty_result");

    key(Qt::Key_Return);
    EXPECT_TRUE(presented) << "Return with nothing listed leaves the panel open";
    EXPECT_TRUE(calls.isEmpty());

    view->sidebarItems().at(0)->click();
    search()->clear();
    type("mail");
    EXPECT_EQ(view->windowTitles().size(), 7) << "Mail's windows by name, none by title";

    view->sidebarItems().at(6)->click(); // Terminal
    search()->clear();
    type("o");
    EXPECT_EQ(view->windowTitles().size(), 5) << view->windowTitles().join(", ").toStdString();
    saveScreenshot(*backdrop, "superpanel_filter_and_search");
}

TEST_F(SuperPanelWidget, ArrowsWrapAndReturnFocusesTheSelectedWindowAndCloses)
{
    open(5);
    key(Qt::Key_Left);
    EXPECT_EQ(state->selectedIndex(), 4);
    key(Qt::Key_Right);
    EXPECT_EQ(state->selectedIndex(), 0);
    key(Qt::Key_Tab);
    EXPECT_EQ(state->selectedIndex(), 1);
    EXPECT_TRUE(search()->hasFocus() || !QApplication::activeWindow()) << "Tab keeps the focus in the field";
    EXPECT_EQ(haptics, 3);
    EXPECT_TRUE(cards().at(1)->isSelected());
    EXPECT_FALSE(cards().at(0)->isSelected());
    saveScreenshot(*backdrop, "superpanel_selected_card");
    // Down and Up move a row, wrapping through the list: five cards in three columns end in a partial row.
    ASSERT_EQ(state->currentGridColumns(), 3);
    for (const auto &[pressed, selected] : std::vector<std::pair<Qt::Key, int>>{
             {Qt::Key_Down, 4}, {Qt::Key_Down, 2}, {Qt::Key_Up, 4}, {Qt::Key_Up, 1}}) {
        key(pressed);
        EXPECT_EQ(state->selectedIndex(), selected);
    }

    key(Qt::Key_Return);
    EXPECT_EQ(calls, QStringList{"focus:" + windows.itemAt(1).title});
    EXPECT_FALSE(presented);
    EXPECT_EQ(events.last(), "overlay_hide");
}

// The selected card's spring kept the panel changing after it opened; it must come to rest with
// the selected look in place and no timer left, and a closing panel must swallow the keys while
// its content fades.
TEST_F(SuperPanelWidget, TheContentFadesInAndOutAndThenNothingMoves)
{
    windows.setWindows(sampleWindows(8));
    presented = true;
    state->presentationChanged(true);
    scheduler.advance(0.05);
    QApplication::processEvents();
    EXPECT_GT(view->presence(), 0);
    EXPECT_LT(view->presence(), 1);
    EXPECT_TRUE(view->fullPanel()->graphicsEffect()) << "it grows from 0.98 and fades in";
    scheduler.advance(0.5);
    GlobalWindowCard *selected = cards().first();
    EXPECT_EQ(view->presence(), 1);
    EXPECT_FALSE(view->fullPanel()->graphicsEffect());
    EXPECT_EQ(selected->scale(), 1.03);
    EXPECT_EQ(selected->selection(), 1);
    EXPECT_EQ(scheduler.pendingCount(), 0) << "the panel keeps changing at rest";

    state->dismiss();
    key(Qt::Key_Return);
    type(QStringLiteral("x"));
    EXPECT_TRUE(calls.isEmpty()) << "a key reached the fading panel";
    EXPECT_TRUE(state->searchText().isEmpty());
    EXPECT_TRUE(view->fullPanel()->isVisible()) << "the content fades out first";
    scheduler.advance(SuperPanelOverlay::fadeOutDuration + 0.02);
    EXPECT_FALSE(view->fullPanel()->isVisible());
    EXPECT_EQ(scheduler.pendingCount(), 0);
}

TEST_F(SuperPanelWidget, EscapeClosesTheGalleryFirstThenThePanel)
{
    open(3);
    state->setExpandedSection(SuperPanelState::ExpandedSection::clipboard);
    key(Qt::Key_Escape);
    EXPECT_TRUE(presented);
    EXPECT_FALSE(state->expandedSection());
    key(Qt::Key_Escape);
    EXPECT_FALSE(presented);
}

TEST_F(SuperPanelWidget, CtrlMMinimisesTheSelectedWindowAndKeepsThePanelAndIndex)
{
    open(5);
    backdrop->activateWindow();
    QApplication::processEvents();
    if (!backdrop->isActiveWindow())
        GTEST_SKIP() << "this platform plugin gives no window the keyboard";
    key(Qt::Key_Right);
    key(Qt::Key_Right);
    key(Qt::Key_M, Qt::ControlModifier);
    EXPECT_EQ(calls, QStringList{"minimize:" + windows.itemAt(2).title});
    EXPECT_TRUE(presented);
    EXPECT_EQ(state->selectedIndex(), 2);
    EXPECT_TRUE(search()->text().isEmpty()) << "the shortcut typed nothing";

    key(Qt::Key_W, Qt::ControlModifier);
    EXPECT_EQ(calls.last(), "close:" + windows.itemAt(2).title);
    EXPECT_TRUE(presented);
}

TEST_F(SuperPanelWidget, HoveringSelectsWithoutScrollingAndAClickFocusesAndCloses)
{
    open(8);
    GlobalWindowCard *third = cards().at(2);
    const QPointF centre = cardCentre(third);
    mouse(third, QEvent::MouseMove, centre);
    // The move arrives as a plain hover: no button held.
    EXPECT_EQ(state->selectedIndex(), 2);
    EXPECT_TRUE(third->isHovered());
    EXPECT_EQ(view->grid()->verticalScrollBar()->value(), 0);
    mouse(cards().at(4), QEvent::MouseMove, cardCentre(cards().at(4)));
    EXPECT_EQ(state->selectedIndex(), 4);
    state->setSelectedIndex(2); // as the keyboard would, with the pointer still on the fifth card
    EXPECT_TRUE(cards().at(4)->isHovered());
    EXPECT_TRUE(cards().at(4)->eyeButton()->isVisible());
    EXPECT_FALSE(cards().at(4)->showsReturnHint()) << "only the selected card hints at Return";
    scheduler.advance(0.5); // the hover and selection springs settle
    saveScreenshot(*backdrop, "superpanel_hovered_card");

    // The first card answers as the others do.
    GlobalWindowCard *first = cards().at(0);
    mouse(first, QEvent::MouseMove, cardCentre(first));
    EXPECT_EQ(state->selectedIndex(), 0);
    mouse(first, QEvent::MouseButtonPress, cardCentre(first));
    mouse(first, QEvent::MouseButtonRelease, cardCentre(first));
    EXPECT_EQ(calls, QStringList{"focus:" + windows.itemAt(0).title});
    EXPECT_FALSE(presented);
    EXPECT_EQ(dragSteps, 0) << "a press without 10 pt of movement runs no drag step";
}

// The hovered card's eye brings its window forward with the other applications hidden; a click on
// it once did nothing at all.
TEST_F(SuperPanelWidget, TheHoveredCardsEyeFocusesItsWindowHidingTheOthersAndCloses)
{
    open(6);
    GlobalWindowCard *card = cards().at(3);
    mouse(card, QEvent::MouseMove, cardCentre(card));
    scheduler.advance(0.5);
    QAbstractButton *eye = card->eyeButton();
    ASSERT_TRUE(eye->isVisible());
    QTest::mouseClick(eye, Qt::LeftButton, {}, eye->rect().center());
    QApplication::processEvents();
    const QString title = windows.itemAt(3).title;
    EXPECT_EQ(calls, (QStringList{"focus:" + title, "hideOthers:" + title}));
    EXPECT_FALSE(presented);
}

// Events reach widgets at whole points; the fractional edges are SuperPanelRules' cases.
TEST_F(SuperPanelWidget, ADragShorterThan14PtFocusesHidingOthersALongerOneEndsTheDrag)
{
    struct Row
    {
        double travel;
        bool focuses;
    };
    for (const Row row : {Row{13, true}, Row{14, false}}) {
        SCOPED_TRACE(row.travel);
        open(4);
        calls.clear();
        dragSteps = 0;
        GlobalWindowCard *card = cards().at(1);
        const QPointF start = cardCentre(card);
        mouse(card, QEvent::MouseButtonPress, start);
        mouse(card, QEvent::MouseMove, start + QPointF(9, 0));
        EXPECT_FALSE(card->isDraggingLocal()) << "under 10 pt is no drag yet";
        mouse(card, QEvent::MouseMove, start + QPointF(row.travel, 0));
        EXPECT_TRUE(card->isDraggingLocal());
        EXPECT_EQ(dragSteps, 1);
        mouse(card, QEvent::MouseButtonRelease, start + QPointF(row.travel, 0));
        const QString title = windows.itemAt(1).title;
        if (row.focuses)
            EXPECT_EQ(calls, (QStringList{"peek:" + title, "endDrag:" + title, "focus:" + title,
                                          "hideOthers:" + title}));
        else
            EXPECT_EQ(calls, (QStringList{"peek:" + title, "endDrag:" + title}));
        EXPECT_FALSE(presented) << "either way the panel closes";
        EXPECT_FALSE(card->isDraggingLocal());
    }
}

// While dragged, a card stands faint in the grid under its travelling picture. The card is kept for
// the next opening: it came back faint, and each drag left its picture behind.
TEST_F(SuperPanelWidget, ADroppedCardComesBackWholeAndItsTravellingPictureGoes)
{
    open(4);
    GlobalWindowCard *card = cards().at(1);
    const QImage before = card->grab().toImage();
    const qsizetype labels = view->findChildren<QLabel *>().size();
    const QPointF start = cardCentre(card);
    mouse(card, QEvent::MouseButtonPress, start);
    mouse(card, QEvent::MouseMove, start + QPointF(0, 80));
    const QPointer<QWidget> ghost = view->grid()->dragGhost();
    ASSERT_TRUE(ghost);
    mouse(card, QEvent::MouseButtonRelease, start + QPointF(0, 80));
    ASSERT_TRUE(ghost);
    EXPECT_TRUE(ghost->isHidden()) << "the picture goes at once, before it is freed";
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(view->findChildren<QLabel *>().size(), labels);

    open(4);
    scheduler.advance(1.0);
    ASSERT_EQ(cards().at(1), card);
    EXPECT_TRUE(card->grab().toImage() == before);
}

TEST_F(SuperPanelWidget, WhileACardIsDraggedThePanelDimsAndTheZoneUnderThePointerLights)
{
    open(12);
    GlobalWindowCard *card = cards().at(6);
    const QPointF start = cardCentre(card);
    mouse(card, QEvent::MouseButtonPress, start);
    mouse(card, QEvent::MouseMove, start + QPointF(-180, -60));
    state->setDragging(true); // what the engine publishes once the drag runs
    state->setDragTargetZone(SnapPosition::left);
    QApplication::processEvents();
    ASSERT_EQ(view->zones().size(), 3);
    EXPECT_TRUE(view->zones().at(0)->isVisible());
    EXPECT_TRUE(view->zones().at(0)->isHighlighted());
    EXPECT_FALSE(view->zones().at(2)->isHighlighted());
    EXPECT_TRUE(view->fullPanel()->graphicsEffect()) << "the panel is dimmed";
    ASSERT_TRUE(view->grid()->dragGhost());
    EXPECT_EQ(view->grid()->dragGhost()->mapToGlobal(QPoint(0, 0)),
              card->mapToGlobal(QPoint(0, 0)) + QPoint(-180, -60))
        << "the card's picture follows the pointer beyond the grid";
    // The tiles fade in on their spring: once it has run they are drawn, the one under the
    // pointer outlined in cyan, the others as a faint lighter fill.
    QWidget *tiles = view->zones().at(0)->parentWidget();
    const auto *fade = qobject_cast<const ScaleFadeEffect *>(tiles->graphicsEffect());
    ASSERT_TRUE(fade) << "the tiles do not pop up at full strength";
    EXPECT_LT(fade->opacity(), 0.5);
    scheduler.advance(1.0);
    QApplication::processEvents();
    const QImage seen = backdrop->grab().toImage();
    const QRectF tile = view->zones().at(0)->tileRect();
    const QRectF left = QRectF(tile.center() - QPointF(tile.width(), tile.height()) * 1.05 / 2,
                               tile.size() * 1.05); // grown while highlighted
    const QRectF right = view->zones().at(1)->tileRect();
    int cyan = 0;
    for (int y = int(left.top()) + 30; y < int(left.bottom()) - 30; ++y) {
        bool found = false;
        for (int x = int(left.right()) - 2; x <= int(left.right()) + 1; ++x) {
            const QColor p = seen.pixelColor(x, y);
            found = found || (p.red() < 90 && p.green() > 170 && p.blue() > 200);
        }
        cyan += found;
    }
    EXPECT_GT(cyan, int(left.height()) / 2) << "the left tile's cyan outline";
    const QColor insideRight = seen.pixelColor(int(right.left()) + 12, int(right.center().y()) + 60);
    const QColor besideRight = seen.pixelColor(int(right.left()) - 12, int(right.center().y()) + 60);
    EXPECT_GT(insideRight.lightness(), besideRight.lightness() + 8) << "the right tile's white fill";
    saveScreenshot(*backdrop, "superpanel_dragging_zones");

    mouse(card, QEvent::MouseButtonRelease, start + QPointF(-180, -60));
    EXPECT_FALSE(view->grid()->dragGhost());
    state->setDragging(false);
    EXPECT_FALSE(view->fullPanel()->graphicsEffect()) << "no longer dimmed";
    scheduler.advance(0.05);
    fade = qobject_cast<const ScaleFadeEffect *>(tiles->graphicsEffect());
    ASSERT_TRUE(fade) << "the tiles fade out, not vanish at once";
    EXPECT_GT(fade->opacity(), 0);
    EXPECT_LT(fade->opacity(), 1);
    EXPECT_TRUE(view->zones().at(0)->isVisible());
    scheduler.advance(1.0);
    EXPECT_FALSE(view->zones().at(0)->isVisible());
}

// A card that is hidden or goes while dragged hears no release: its drag, zones and peek would stay.
TEST_F(SuperPanelWidget, ADragEndsWithoutSnappingWhenThePanelClosesOrTheWindowGoes)
{
    for (const bool windowGoes : {false, true}) {
        SCOPED_TRACE(windowGoes);
        QList<AppWindowModel> list = sampleWindows(4);
        windows.setWindows(list);
        open();
        calls.clear();
        GlobalWindowCard *card = cards().at(2);
        const QPointF start = cardCentre(card);
        mouse(card, QEvent::MouseButtonPress, start);
        mouse(card, QEvent::MouseMove, start + QPointF(0, 40));
        ASSERT_TRUE(card->isDraggingLocal());
        ASSERT_TRUE(view->grid()->dragGhost());
        if (windowGoes) {
            list.removeAt(2);
            windows.setWindows(list);
            QApplication::processEvents();
        } else {
            state->dismiss(); // Esc, say
            scheduler.advance(SuperPanelOverlay::fadeOutDuration + 0.02); // the cards go with the content
        }
        EXPECT_EQ(calls, (QStringList{"peek:" + sampleWindows(4).at(2).title, "cancelDrag"}));
        EXPECT_FALSE(view->grid()->dragGhost());
        windows.setWindows({});
        QApplication::processEvents();
    }
}

// Pictures arrive one after another while the panel shows: each changes the list, and a card being
// dragged or hovered at that moment must keep its drag and its hover.
TEST_F(SuperPanelWidget, APictureArrivingLeavesTheHoveredAndTheDraggedCardAlone)
{
    QList<AppWindowModel> list = sampleWindows(4);
    windows.setWindows(list);
    open();
    calls.clear();
    int hue = 200;
    const auto pictureArrives = [&](int row) {
        list[row].image = fakeSnapshot(hue += 20, 99);
        list[row].snapshotTime += 1;
        windows.setWindows(list);
        QApplication::processEvents();
        ASSERT_EQ(cards().at(row)->window().image.cacheKey(), list[row].image.cacheKey());
    };
    GlobalWindowCard *hovered = cards().at(0);
    mouse(hovered, QEvent::MouseMove, cardCentre(hovered));
    ASSERT_TRUE(hovered->isHovered());
    pictureArrives(1);
    EXPECT_TRUE(hovered->isHovered());

    GlobalWindowCard *dragged = cards().at(2);
    const QPointF start = cardCentre(dragged);
    mouse(dragged, QEvent::MouseButtonPress, start);
    mouse(dragged, QEvent::MouseMove, start + QPointF(0, 40));
    ASSERT_TRUE(dragged->isDraggingLocal());
    pictureArrives(3);
    EXPECT_TRUE(dragged->isDraggingLocal());
    EXPECT_TRUE(view->grid()->dragGhost());
    EXPECT_FALSE(calls.contains("cancelDrag"));
    mouse(dragged, QEvent::MouseButtonRelease, start + QPointF(0, 40));
}

// The list was cut off with no sign past what fitted the screen; the grid scrolls and a keyboard
// move brings the selected card into view.
TEST_F(SuperPanelWidget, KeyboardMovesScrollTheSelectedCardIntoView)
{
    open(200);
    // Opening built a card for every window and stalled on hundreds of them: cards are built as
    // they come into view.
    EXPECT_LT(cards().size(), 50);
    key(Qt::Key_Left); // wraps to the last card
    scheduler.advance(1.0);
    ASSERT_EQ(cards().last()->window().id, windows.itemAt(199).id);
    EXPECT_TRUE(cards().last()->isSelected());
    EXPECT_TRUE(visibleArea().contains(globalRect(cards().last())));
    QScrollBar *bar = view->grid()->verticalScrollBar();
    key(Qt::Key_Right); // wraps back to the first card
    scheduler.advance(1.0);
    EXPECT_EQ(bar->value(), 0);

    // A card far down comes to the middle, moving there frame by frame and coming to rest on it.
    QList<int> frames;
    QObject watcher;
    QObject::connect(bar, &QScrollBar::valueChanged, &watcher,
                     [&frames](int value) { frames.append(value); });
    state->selectAndScroll(100);
    scheduler.advance(1.0);
    GlobalWindowCard *middle = view->grid()->cardFor(windows.itemAt(100).id);
    ASSERT_TRUE(middle);
    EXPECT_NEAR(globalRect(middle).center().y(), visibleArea().center().y(), 1);
    ASSERT_GE(frames.size(), 10);
    EXPECT_LT(frames.first(), frames.last() / 2) << "no jump at the start";
    EXPECT_LT(std::abs(frames.last() - frames.at(frames.size() - 2)), frames.last() / 100)
        << "no snap at the end";

    // Another application starts the grid at the top, even while it scrolls.
    state->selectAndScroll(150);
    scheduler.advance(0.1);
    view->sidebarItems().at(2)->click();
    QApplication::processEvents();
    scheduler.advance(1.0);
    EXPECT_EQ(bar->value(), 0);
}

// Only the first cards of a long list got pictures: the grid never said which cards a search or a
// scroll brought into view.
TEST_F(SuperPanelWidget, TheGridReportsTheCardsInViewAsTheyChange)
{
    open(200);
    ASSERT_FALSE(inView.isEmpty());
    const QList<qint64> first = inView.last();
    EXPECT_EQ(first.first(), windows.itemAt(0).id);
    EXPECT_GE(first.size(), 8);
    EXPECT_LT(first.size(), 50);
    for (GlobalWindowCard *card : cards()) {
        if (visibleArea().intersects(globalRect(card))) {
            EXPECT_TRUE(first.contains(card->window().id)) << card->window().title.toStdString();
        }
    }
    const qsizetype reports = inView.size();
    QApplication::processEvents();
    EXPECT_EQ(inView.size(), reports) << "an unchanged view is not reported again";

    // A search that leaves one card far down the list.
    type(QStringLiteral("187"));
    EXPECT_EQ(inView.last(), QList<qint64>{windows.itemAt(186).id});

    key(Qt::Key_Backspace);
    key(Qt::Key_Backspace);
    key(Qt::Key_Backspace);
    view->grid()->verticalScrollBar()->setValue(view->grid()->verticalScrollBar()->maximum());
    QApplication::processEvents();
    EXPECT_TRUE(inView.last().contains(windows.itemAt(199).id));
    EXPECT_FALSE(inView.last().contains(windows.itemAt(0).id));

    // Windows close and the grid scrolls before its cards follow: no card is built for a row that went.
    QScrollBar *bar = view->grid()->verticalScrollBar();
    windows.setWindows(sampleWindows(50));
    bar->setValue(int(view->grid()->layout().cardRect(50).top()));
    QApplication::processEvents();
    ASSERT_FALSE(cards().isEmpty());
    EXPECT_EQ(cards().last()->window().id, windows.itemAt(49).id);
}

// A window killed while the panel showed stayed listed until the panel was opened again.
TEST_F(SuperPanelWidget, CardsFollowTheListInPlace)
{
    QList<AppWindowModel> list = sampleWindows(5);
    windows.setWindows(list);
    open();
    // A grid made over a list that already has windows shows them at once.
    WindowGrid another(*state, scheduler);
    ASSERT_FALSE(another.cards().isEmpty());
    EXPECT_EQ(another.cards().first()->window().id, list.first().id);
    GlobalWindowCard *second = cards().at(1);
    list[1].image = fakeSnapshot(200, 99);
    list[1].snapshotTime = 2;
    list.removeAt(3);
    windows.setWindows(list);
    QApplication::processEvents();
    ASSERT_EQ(cards().size(), 4);
    EXPECT_EQ(cards().at(1), second) << "a new snapshot keeps the card";
    EXPECT_EQ(second->window().image.cacheKey(), list[1].image.cacheKey());
    EXPECT_FALSE(view->windowTitles().contains(sampleWindows(5).at(3).title));

    // The selection on the last card follows a shrinking list back.
    state->selectAndScroll(3);
    list.removeLast();
    windows.setWindows(list);
    QApplication::processEvents();
    EXPECT_EQ(state->selectedIndex(), 2);
}

// A card kept the picture it had scaled for the last one when the new picture had the same size: a
// window captured again (after a resize back, or at every showing) went on showing what it was.
TEST_F(SuperPanelWidget, ANewPictureOfTheSameSizeIsShownNotTheOneScaledBefore)
{
    QList<AppWindowModel> list = sampleWindows(4);
    const auto solid = [](Qt::GlobalColor colour) {
        QImage image(800, 500, QImage::Format_ARGB32_Premultiplied);
        image.fill(colour);
        return image;
    };
    list[1].image = solid(Qt::red);
    windows.setWindows(list);
    open();
    GlobalWindowCard *card = cards().at(1);
    const QPoint middle(card->cardRect().center().x(),
                        qRound(card->cardRect().y() + SuperPanelRules::thumbnailHeight / 2));
    const auto shown = [&] { return QColor(card->grab().toImage().pixel(middle)); };
    ASSERT_GT(shown().red(), 200) << "the first picture is not where the card shows its picture";

    for (const Qt::GlobalColor colour : {Qt::blue, Qt::green}) {
        list[1].image = solid(colour);
        list[1].snapshotTime += 1;
        windows.setWindows(list);
        QApplication::processEvents();
        ASSERT_EQ(cards().at(1), card);
        const QColor seen = shown();
        const QColor wanted(colour);
        EXPECT_TRUE(std::abs(seen.red() - wanted.red()) < 40 &&
                    std::abs(seen.green() - wanted.green()) < 40 &&
                    std::abs(seen.blue() - wanted.blue()) < 40)
            << "shows " << seen.name().toStdString() << " for " << wanted.name().toStdString();
    }
}

// A search or a new order of the same windows puts other cards in the first places: the highlight
// stayed on the card that had been first, and a new order left the cards where they were.
TEST_F(SuperPanelWidget, TheHighlightAndThePlacesFollowTheRowsAsTheyChange)
{
    open(40);
    const auto selectedTitles = [&] {
        QStringList titles;
        for (GlobalWindowCard *card : cards()) {
            if (card->isSelected())
                titles.append(card->window().title);
        }
        return titles;
    };
    type("inbox");
    ASSERT_EQ(state->selectedIndex(), 0);
    EXPECT_EQ(selectedTitles(), QStringList{view->windowTitles().first()});

    for (int i = 0; i < 5; ++i)
        key(Qt::Key_Backspace);
    ASSERT_EQ(view->windowTitles().size(), 40);
    // The same windows, pictures and all, in another order: only the rows move.
    QList<AppWindowModel> reordered = windows.items();
    std::reverse(reordered.begin(), reordered.end());
    windows.setWindows(reordered);
    QApplication::processEvents();
    ASSERT_GE(cards().size(), 2);
    EXPECT_EQ(cards().at(0)->window().id, reordered.first().id);
    EXPECT_EQ(cards().at(0)->pos(), QPoint(cards().at(0)->pos().x(), cards().at(1)->pos().y()));
    EXPECT_LT(cards().at(0)->pos().x(), cards().at(1)->pos().x());
    EXPECT_EQ(selectedTitles(), QStringList{reordered.first().title});
}

// The grid waits for the list with nothing drawn; when the list comes and is empty it says so at
// once, not at the next repaint of something else.
TEST_F(SuperPanelWidget, AnEmptyListIsSaidAsSoonAsItIsKnown)
{
    state->setListReady(false);
    open(0);
    ASSERT_FALSE(view->grid()->isShowingEmptyState());
    QWidget &content = *view->grid()->widget();
    EXPECT_TRUE(repaintedWholeBy(content, [&] { state->setListReady(true); }));
    EXPECT_TRUE(view->grid()->isShowingEmptyState());

    // A search that hides the one card says so over the whole grid, not only where the card was.
    windows.setWindows(sampleWindows(1));
    QApplication::processEvents();
    ASSERT_FALSE(view->grid()->isShowingEmptyState());
    EXPECT_TRUE(repaintedWholeBy(content, [&] { type("zzz"); }));
    EXPECT_TRUE(view->grid()->isShowingEmptyState());
}

TEST_F(SuperPanelWidget, TheCardMenuIsTheSharedWindowMenu)
{
    QList<AppWindowModel> list = sampleWindows(2);
    list[1].isMinimized = true;
    windows.setWindows(list);
    open();
    for (int i = 0; i < 2; ++i) {
        std::unique_ptr<QMenu> menu(cards().at(i)->buildContextMenu(nullptr));
        QStringList entries;
        for (QAction *action : menu->actions()) {
            entries.append(action->isSeparator() ? QStringLiteral("-") : action->objectName());
            const bool minimize = action->objectName() == "ctx_minimize";
            EXPECT_EQ(action->isEnabled(), !minimize || i == 0) << action->objectName().toStdString();
        }
        EXPECT_EQ(entries, (QStringList{"ctx_focus", "ctx_minimize", "-", "ctx_snap_left", "ctx_snap_right",
                                        "ctx_maximize", "-", "ctx_close", "-", "ctx_hide_app"}));
    }
    // A right click on a card leaves the typing with the search field: once the menu is gone, the
    // arrows still move the selection rather than scroll the grid.
    QTest::mousePress(cards().at(0), Qt::RightButton, Qt::NoModifier, cards().at(0)->cardRect().center());
    if (QWidget *menu = QApplication::activePopupWidget())
        menu->close();
    EXPECT_EQ(backdrop->focusWidget(), search());
}

TEST_F(SuperPanelWidget, ASidebarItemShowsItsWholeNameWhileHovered)
{
    QList<AppWindowModel> list = sampleWindows(3);
    list[2].appName = "A Remarkably Long Application Name";
    list[2].appIcon = QImage();
    windows.setWindows(list);
    open();
    AppSidebarItem *item = view->sidebarItems().at(1);
    ASSERT_EQ(item->name(), list[2].appName);
    EXPECT_TRUE(item->icon().isNull());
    QEnterEvent enter(QPointF(10, 10), QPointF(10, 10), QPointF(item->mapToGlobal(QPoint(10, 10))));
    QApplication::sendEvent(item, &enter);
    ASSERT_TRUE(item->caption());
    EXPECT_EQ(item->caption()->text(), list[2].appName);
    EXPECT_GT(item->caption()->width(), SuperPanelOverlay::sidebarWidth) << "not cut to the column";
    scheduler.advance(0.5);
    saveScreenshot(*backdrop, "superpanel_sidebar_caption");
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(item, &leave);
    EXPECT_FALSE(item->caption());
}

// The card's eye sat on a darker disc dropped one pixel below it; its shadow is soft and centred.
TEST_F(SuperPanelWidget, TheEyeCastsASoftShadowAllAround)
{
    open(4);
    auto *eye = dynamic_cast<SymbolButton *>(cards().first()->eyeButton());
    ASSERT_NE(eye, nullptr);
    // The eye alone, over nothing.
    QImage picture(eye->size(), QImage::Format_ARGB32);
    picture.fill(Qt::transparent);
    eye->render(&picture, QPoint(), QRegion(), QWidget::DrawChildren);
    const QRectF disc = eye->discRect();
    const QPointF c = disc.center();
    const double r = disc.width() / 2;
    const auto alphaAt = [&](double dx, double dy) {
        return qAlpha(picture.pixel(int(std::floor(c.x() + dx)), int(std::floor(c.y() + dy))));
    };
    const int above = alphaAt(0, -r - 1.5), below = alphaAt(0, r + 1.5);
    const int left = alphaAt(-r - 1.5, 0), right = alphaAt(r + 1.5, 0);
    for (const int shade : {above, below, left, right})
        EXPECT_GT(shade, 12) << "a shadow around the disc";
    EXPECT_LE(std::abs(above - below), 8) << "not dropped below it";
    EXPECT_LE(std::abs(left - right), 8);
    EXPECT_GT(qAlpha(picture.pixel(int(c.x()), int(c.y()))), 250) << "the disc itself is solid";
    calls.clear();
    QTest::mouseClick(eye, Qt::LeftButton, {}, QPoint(1, 1));
    EXPECT_FALSE(calls.contains("hideOthers:" + windows.itemAt(0).title)) << "the shadow is not the eye";
    QTest::mouseClick(eye, Qt::LeftButton, {}, c.toPoint());
    EXPECT_TRUE(calls.contains("hideOthers:" + windows.itemAt(0).title));
}

// The module routes' popup came in growing from 0.98 of the screen like the full panel, so it slid
// towards the middle from its screen edge; it only fades.
TEST_F(SuperPanelWidget, TheModuleViewFadesInWithoutGrowing)
{
    class Module : public QWidget
    {
    protected:
        void paintEvent(QPaintEvent *) override { QPainter(this).fillRect(rect(), QColor(255, 140, 0)); }
    };
    view->setModuleView(new Module);
    state->setRoute(OverlayRoute::clipboard);
    presented = true;
    state->presentationChanged(true);
    scheduler.advance(0.05);
    QApplication::processEvents();
    ASSERT_GT(view->presence(), 0.2);
    ASSERT_LT(view->presence(), 0.9);
    const QImage seen = backdrop->grab().toImage();
    // Grown from 0.98, its corners would still lie 7 pixels in from the screen's.
    for (const QPoint &corner : {QPoint(1, 1), QPoint(seen.width() - 2, seen.height() - 2)}) {
        const QColor c = seen.pixelColor(corner);
        EXPECT_GT(c.red() - c.blue(), 40) << "the module's colour, faded, at the corner";
    }
    saveScreenshot(*backdrop, "superpanel_module_fading_in");
}

// On a 1920-pixel screen the search box was about 475 wide: the row's free space went to the
// spaces beside it as much as to the box. It takes the width the settings button leaves, up to 680.
TEST_F(SuperPanelWidget, TheSearchBoxTakesTheHeaderRowUpTo680)
{
    windows.setWindows(sampleWindows(6));
    struct Screen
    {
        QSize size;
        int expected;
        const char *picture;
    };
    const QWidget *settings = view->settingsButton();
    const int narrowArea = 1000 - SuperPanelOverlay::sidebarWidth - SuperPanelOverlay::rightColumnWidth;
    for (const Screen &screen : {Screen{{1920, 1080}, 680, "superpanel_1920_en"},
                                 Screen{{1000, 760}, narrowArea - 15 - settings->width(), nullptr}}) {
        backdrop->resize(screen.size);
        view->resize(screen.size);
        open();
        const QWidget *box = view->searchField()->parentWidget();
        EXPECT_EQ(box->width(), screen.expected) << screen.size.width();
        const QRect row = box->geometry().united(settings->geometry());
        EXPECT_LE(std::abs(row.center().x() - view->windowArea()->width() / 2), 1) << "the row is centred";
        if (screen.picture)
            saveScreenshot(*backdrop, screen.picture);
        state->presentationChanged(false);
        scheduler.advance(1);
    }
}

// The sidebar and the right-hand column stopped 20 above the screen's bottom edge, the glass
// showing under them; their content keeps that room, their backgrounds reach the edge.
TEST_F(SuperPanelWidget, TheSideColumnsReachTheBottomEdge)
{
    open(6);
    const QImage seen = backdrop->grab().toImage();
    const int bottom = seen.height() - 1;
    const int sidebarX = SuperPanelOverlay::sidebarWidth / 2;
    const int columnX = seen.width() - 40;
    const int areaX = SuperPanelOverlay::sidebarWidth + 40;
    for (const int x : {sidebarX, columnX}) {
        const QColor atEdge = seen.pixelColor(x, bottom);
        EXPECT_LE(std::abs(atEdge.lightness() - seen.pixelColor(x, bottom - 60).lightness()), 3) << x;
        EXPECT_LT(atEdge.lightness(), seen.pixelColor(areaX, bottom).lightness() - 5)
            << "darker than the window area beside it, at " << x;
    }
}

TEST_F(SuperPanelWidget, LabelsFollowTheLanguage)
{
    windows.setWindows(sampleWindows(6));
    state->setLanguage(AppLanguage::german);
    open();
    EXPECT_EQ(search()->placeholderText(), "Fenster suchen ...");
    EXPECT_EQ(cards().last()->eyeButton()->toolTip(),
              Localization::text(u"focus_mode_help", AppLanguage::german));
    saveScreenshot(*backdrop, "superpanel_german");
    type("zzz");
    saveScreenshot(*backdrop, "superpanel_german_empty");

    // The empty state is said again in the new language at once.
    EXPECT_TRUE(repaintedWholeBy(*view->grid()->widget(), [&] { state->setLanguage(AppLanguage::english); }));
}

// The panel in every language, with cards and with nothing found: every text, control and picture
// shows whole.
TEST_F(SuperPanelWidget, EverythingFitsInEveryLanguage)
{
    windows.setWindows(sampleWindows(6));
    for (const AppLanguage language : allAppLanguages) {
        state->setLanguage(language);
        open();
        const QString code = Localization::languageCode(language).toString();
        EXPECT_EQ(cutTexts(*view).join(u'\n').toStdString(), "") << qPrintable(code);
        type("zzz");
        EXPECT_EQ(cutTexts(*view).join(u'\n').toStdString(), "") << qPrintable(code) << " nothing found";
        search()->clear();
        QApplication::processEvents();
    }
}

TEST_F(SuperPanelWidget, OpeningAgainResetsTheSearchFilterSelectionAndNotice)
{
    open(6);
    type("files");
    view->sidebarItems().at(3)->click();
    key(Qt::Key_Right);
    state->showNotice(QStringLiteral("No file manager could show this file."));
    EXPECT_EQ(view->noticeText(), "No file manager could show this file.");
    saveScreenshot(*backdrop, "superpanel_notice");
    state->presentationChanged(false);
    open();
    EXPECT_TRUE(view->noticeText().isEmpty());
    EXPECT_TRUE(search()->text().isEmpty());
    EXPECT_FALSE(state->selectedAppFilter());
    EXPECT_EQ(state->selectedIndex(), 0);
    EXPECT_EQ(events, (QStringList{"overlay_show route=all", "overlay_show route=all"}))
        << "closing from outside records nothing";
}

} // namespace
