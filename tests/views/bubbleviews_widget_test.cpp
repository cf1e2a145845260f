#include <QApplication>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

#include "core/color.h"
#include "core/localization.h"
#include "runtime/manualscheduler.h"
#include "support/backdrop.h"
#include "support/screenshot.h"
#include "support/textfit.h"
#include "ui/menulook.h"
#include "ui/theme.h"
#include "views/bubble/bubbleviewstate.h"
#include "views/bubble/contentview.h"
#include "views/bubble/horizontalscrollview.h"
#include "views/bubble/trafficlightbutton.h"
#include "views/bubble/windowpreviewcard.h"
#include "windows/windowlistmodel.h"

using namespace qv;

namespace {

const QColor wallpaperProbe(58, 96, 150);

AppWindowModel makeWindow(qint64 id, const QString &title, QColor colour = QColor(), double snapshotTime = 1)
{
    AppWindowModel window;
    window.id = id;
    window.appName = QStringLiteral("Files");
    window.title = title;
    window.snapshotTime = snapshotTime;
    if (colour.isValid()) {
        window.image = QImage(id % 2 ? 1200 : 600, 700, QImage::Format_ARGB32_Premultiplied);
        window.image.fill(colour);
    }
    return window;
}

QList<AppWindowModel> windows(int count)
{
    QList<AppWindowModel> list;
    for (int i = 0; i < count; ++i)
        list.append(makeWindow(i + 1, QStringLiteral("Report %1 — final draft.odt").arg(i + 1),
                               QColor::fromHsv(i * 50 % 360, 110, 210)));
    return list;
}

// What the user sees of a widget, over the gallery wallpaper.
QImage seen(QWidget &widget)
{
    QImage image(widget.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(wallpaperProbe);
    QPainter painter(&image);
    widget.render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

int distance(const QColor &a, const QColor &b)
{
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue());
}

bool isCyan(const QColor &c)
{
    return c.red() < 60 && c.green() > 190 && c.blue() > 220;
}

bool hasColour(const QImage &image, const QRect &area, const std::function<bool(const QColor &)> &test)
{
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (image.rect().contains(x, y) && test(image.pixelColor(x, y)))
                return true;
        }
    }
    return false;
}

void send(QWidget &widget, QEvent::Type type, const QPointF &local, Qt::MouseButton button = Qt::NoButton,
          Qt::MouseButtons buttons = Qt::NoButton)
{
    QMouseEvent event(type, local, widget.mapToGlobal(local), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(&widget, &event);
}

class BubbleViews : public ::testing::Test
{
protected:
    BubbleViews()
    {
        actions.focusWindow = [this](const AppWindowModel &w) {
            calls.append("focus " + QString::number(w.id));
        };
        actions.startPeeking = [this](const AppWindowModel &w) {
            calls.append("peek " + QString::number(w.id));
        };
        actions.stopPeeking = [this] { calls.append("stopPeeking"); };
        actions.updateDrag = [this](const QPointF &) { calls.append("drag"); };
        actions.cancelDrag = [this] { calls.append("cancelDrag"); };
        actions.endDrag = [this](const AppWindowModel &w) {
            calls.append("endDrag " + QString::number(w.id));
        };
        actions.minimizeWindow = [this](const AppWindowModel &w) {
            calls.append("minimize " + QString::number(w.id));
        };
        state.setHeaderTitle("Files");
        state.setLanguage(AppLanguage::english);
    }

    // A bubble of `count` cards at its controller's size, arrow on `edge`, on a wallpaper.
    ContentView &bubble(int count, const QString &edge = "bottom", double arrow = 0.5)
    {
        model.setWindows(windows(count));
        view = new ContentView(state, model, actions, scheduler);
        const int n = std::clamp(count, 1, 4);
        view->resize((n - 1) * 12 + n * 175 + 68, 233);
        view->handleArrowUpdate(arrow, edge);
        scheduler.advance(1);
        backdrop = std::make_unique<Backdrop>(*view, view->size() + QSize(40, 40));
        backdrop->show(); // scroll ranges follow resizes of shown widgets only
        return *view;
    }

    WindowPreviewCard &card(int index) { return *view->cards().at(index); }

    // Presses the card in its middle and moves the pointer by `travel` with the button held.
    void pressAndMove(WindowPreviewCard &c, const QPointF &travel)
    {
        const QPointF start = c.cardRect().center();
        send(c, QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
        send(c, QEvent::MouseMove, start + travel, Qt::NoButton, Qt::LeftButton);
    }

    void picture(const QString &name) { saveScreenshot(*backdrop, name); }

    // Whether the screen shows the bubble as it is now, once the repaints asked for are done: a
    // change that asks for none leaves the old look on the screen until something else repaints.
    bool shownAsItIs()
    {
        QApplication::processEvents();
        const QImage screen = backdrop->screen()->grabWindow(backdrop->winId()).toImage();
        const QImage drawn = backdrop->grab().toImage();
        // Composed in other steps, the two may differ by a shade.
        int worst = 0;
        for (int y = 0; y < drawn.height(); ++y) {
            for (int x = 0; x < drawn.width(); ++x)
                worst = std::max(worst, distance(screen.pixelColor(x, y), drawn.pixelColor(x, y)));
        }
        return worst < 8;
    }

    ManualScheduler scheduler;
    BubbleViewState state;
    WindowListModel model;
    CardActions actions;
    QStringList calls;
    ContentView *view = nullptr; // owned by the backdrop
    std::unique_ptr<Backdrop> backdrop;
};

} // namespace

TEST_F(BubbleViews, CardsFollowTheListAndKeepTheirWidgetWhenThePictureChanges)
{
    bubble(3);
    ASSERT_EQ(view->cards().size(), 3);
    WindowPreviewCard *second = &card(1);
    ASSERT_TRUE(shownAsItIs());

    QList<AppWindowModel> updated = windows(3);
    updated[1] = makeWindow(2, "Report 2 — renamed", Qt::red, 2);
    model.setWindows(updated);
    EXPECT_EQ(&card(1), second);
    EXPECT_EQ(card(1).window().title, "Report 2 — renamed");
    EXPECT_TRUE(shownAsItIs());

    model.setWindows({updated[2], updated[0]});
    ASSERT_EQ(view->cards().size(), 2);
    EXPECT_EQ(card(0).window().id, 3);
    EXPECT_LT(card(0).x(), card(1).x());
}

TEST_F(BubbleViews, FewCardsSitCentredAndManyScrollSidewaysWithTheWheel)
{
    bubble(2);
    const int middle = (card(0).geometry().left() + card(1).geometry().right()) / 2;
    EXPECT_NEAR(view->scrollView()->mapTo(view, QPoint(middle, 0)).x(), view->width() / 2, 2);

    model.setWindows(windows(6));
    HorizontalScrollView &scroll = *view->scrollView();
    QScrollBar &bar = *scroll.horizontalScrollBar();
    ASSERT_GT(bar.maximum(), 0);
    // A synthetic wheel event is not passed up from a card as a real one is: send it to the row's
    // viewport.
    auto wheel = [&](int notches) {
        QWidget &target = *scroll.viewport();
        QWheelEvent event(QPointF(50, 50), target.mapToGlobal(QPointF(50, 50)), QPoint(),
                          QPoint(0, 120 * notches), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&target, &event);
    };
    wheel(-10);
    EXPECT_EQ(bar.value(), 30);
    wheel(-1000);
    EXPECT_EQ(bar.value(), bar.maximum());
    wheel(1000);
    EXPECT_EQ(bar.value(), 0);

    // A dragged card holds the keyboard; an arrow key does not scroll the row out from under it.
    pressAndMove(card(0), QPointF(0, -20));
    QTest::keyClick(backdrop->windowHandle(), Qt::Key_Right);
    EXPECT_EQ(bar.value(), 0);
    QTest::keyClick(backdrop->windowHandle(), Qt::Key_Escape);
    EXPECT_FALSE(card(0).isPressed());
}

TEST_F(BubbleViews, HoveredCardShowsItsButtonsAndACyanBorderAndAMinimisedWindowCannotBeMinimised)
{
    bubble(2);
    for (TrafficLightButton *button : card(0).trafficLights())
        EXPECT_FALSE(button->isVisibleTo(&card(0)));
    send(card(0), QEvent::MouseMove, card(0).cardRect().center());
    EXPECT_TRUE(card(0).isHovered());
    for (TrafficLightButton *button : card(0).trafficLights())
        EXPECT_TRUE(button->isVisibleTo(&card(0)));
    scheduler.advance(1);
    EXPECT_DOUBLE_EQ(card(0).scale(), 1.05);
    const QImage image = seen(card(0));
    const QRect border = card(0).cardRect();
    EXPECT_TRUE(hasColour(image, QRect(border.center().x() - 5, border.top() - 6, 10, 10), isCyan));
    picture("bubble_hovered_card");

    AppWindowModel minimised = card(1).window();
    minimised.isMinimized = true;
    card(1).setWindow(minimised);
    EXPECT_FALSE(card(1).trafficLights().at(1)->isEnabled());
    // A right click opens the window menu on the card, not on the room around it; closed, it goes.
    const auto rightClick = [&](const QPoint &at) {
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, card(1).mapToGlobal(at));
        QApplication::sendEvent(&card(1), &event);
        return qobject_cast<QMenu *>(QApplication::activePopupWidget());
    };
    EXPECT_EQ(rightClick(QPoint(2, 2)), nullptr);
    const QPointer<QMenu> menu = rightClick(card(1).cardRect().center());
    ASSERT_NE(menu, nullptr);
    const QList<QAction *> items = menu->actions();
    ASSERT_EQ(items.size(), 10); // seven actions, three dividers
    EXPECT_EQ(items.at(1)->text(), Localization::text(u"ctx_minimize", AppLanguage::english));
    EXPECT_FALSE(items.at(1)->isEnabled());
    EXPECT_TRUE(items.at(0)->isEnabled());
    items.at(1)->trigger(); // disabled: nothing happens
    EXPECT_FALSE(calls.contains("minimize 2"));
    menu->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(menu.isNull());
}

// The buttons and the hover look switched at once: the buttons now come in growing from 0.9 of
// their size and fading, and leave the same way, while the fill and the cyan border follow the
// hover's spring.
TEST_F(BubbleViews, TheHoverLookAndTheButtonsComeAndGoOnTheHoverSpring)
{
    bubble(1);
    WindowPreviewCard &c = card(0);
    TrafficLightButton *close = c.trafficLights().at(0);
    // A point of the close button's dot beside its glyph.
    const QPoint dot = close->mapTo(&c, close->rect().center() + QPoint(0, -5));
    const QPoint edge(c.cardRect().center().x(), c.cardRect().top());
    const QImage rest = seen(c);

    send(c, QEvent::MouseMove, c.cardRect().center());
    scheduler.advance(0.04);
    EXPECT_GT(c.hoverProgress(), 0.05);
    EXPECT_LT(c.hoverProgress(), 0.9);
    const QImage coming = seen(c);
    picture("bubble_card_hover_coming");
    scheduler.advance(1);
    EXPECT_EQ(c.hoverProgress(), 1);
    const QImage hovered = seen(c);
    const QPoint shownDot = close->mapTo(&c, close->rect().center() + QPoint(0, -5));

    // Half-way the close button is a fainter red than when it has come in.
    const QColor red = Theme::systemRed();
    EXPECT_LT(distance(hovered.pixelColor(shownDot), red), 40);
    EXPECT_GT(distance(coming.pixelColor(dot), red), distance(hovered.pixelColor(shownDot), red) + 40);
    // The border goes from nothing to cyan by way of a fainter cyan.
    const auto awayFromCyan = [&](const QImage &image) {
        int nearest = 1000;
        for (int dy = -6; dy <= 6; ++dy)
            nearest = std::min(nearest, distance(image.pixelColor(edge + QPoint(0, dy)), Color::neonCyan()));
        return nearest;
    };
    EXPECT_LT(awayFromCyan(coming), awayFromCyan(rest) - 20);
    EXPECT_GT(awayFromCyan(coming), awayFromCyan(hovered) + 20);

    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&c, &leave);
    scheduler.advance(0.04);
    EXPECT_TRUE(close->isVisibleTo(&c)) << "the buttons fade out, they do not vanish";
    EXPECT_GT(c.lightsPresence(), 0.05);
    scheduler.advance(1);
    EXPECT_FALSE(close->isVisibleTo(&c));
    EXPECT_EQ(c.hoverProgress(), 0);
    EXPECT_EQ(scheduler.pendingCount(), 0) << "nothing moves at rest";
}

// A card keeps its widget while the bubble hides and shows again: hidden with the pointer on it, it
// came back with the hover's fill and cyan border on a card nobody points at.
TEST_F(BubbleViews, ACardHiddenWhileHoveredComesBackAtRest)
{
    bubble(1);
    WindowPreviewCard &c = card(0);
    const QImage rest = seen(c);
    send(c, QEvent::MouseMove, c.cardRect().center());
    scheduler.advance(1);
    ASSERT_EQ(c.hoverProgress(), 1);

    c.hide();
    c.show();
    EXPECT_FALSE(c.isHovered());
    EXPECT_EQ(c.hoverProgress(), 0);
    scheduler.advance(1);
    EXPECT_TRUE(seen(c) == rest) << "the card at rest, as before the hover";

    // Hidden while dragged, it hears no release: the drag ends there.
    pressAndMove(c, QPointF(0, -40));
    calls.clear();
    c.hide();
    EXPECT_EQ(calls, QStringList{"cancelDrag"});
    EXPECT_FALSE(c.isPressed());
}

// On X11 the card's menu was black without an edge, with invisible separators, dark symbols on
// black and none for the snaps; the edit menu Qt makes for a text field had the desktop's look,
// light or dark. Every menu now has the view kit's look wherever it opens, and the destructive
// entry is red.
TEST_F(BubbleViews, EveryMenuHasAVisibleEdgeSeparatorsAndLightSymbols)
{
    bubble(2);
    applyMenuLookEverywhere();
    QLineEdit field;
    std::unique_ptr<QMenu> edit(field.createStandardContextMenu());
    edit->ensurePolished(); // has the look before its size is measured: no theme symbols widen it
    for (QAction *action : edit->actions())
        EXPECT_FALSE(action->isIconVisibleInMenu()) << action->text().toStdString();
    std::unique_ptr<QMenu> menu(card(0).buildContextMenu(nullptr));
    menu->ensurePolished();
    menu->resize(menu->sizeHint());
    const QImage image = menu->grab().toImage();
    const QImage editImage = edit->grab().toImage();
    saveScreenshot(*menu, "bubble_card_menu");
    auto brightness = [&](int x, int y) { return qGray(image.pixel(x, y)); };
    const int middle = image.height() / 2;
    const int fill = brightness(image.width() / 2, 2);
    // A light edge around a dark fill, the same in Qt's own menus.
    EXPECT_LT(fill, 80);
    EXPECT_GT(brightness(0, middle), fill + 40);
    EXPECT_GT(brightness(image.width() - 1, middle), fill + 40);
    EXPECT_EQ(editImage.pixel(editImage.width() / 2, 2), image.pixel(image.width() / 2, 2));
    EXPECT_EQ(editImage.pixel(0, editImage.height() / 2), image.pixel(0, middle));
    // Every separator is a light line across the menu.
    int separators = 0;
    for (QAction *action : menu->actions()) {
        if (!action->isSeparator())
            continue;
        const QRect row = menu->actionGeometry(action);
        bool light = false;
        for (int y = row.top(); y <= row.bottom(); ++y)
            light = light || brightness(row.center().x(), y) > fill + 25;
        separators += light ? 1 : 0;
    }
    EXPECT_EQ(separators, 3);
    // Every entry shows its symbol, light on the dark fill (the snaps too); only the destructive one
    // is red, title and symbol.
    for (QAction *action : menu->actions()) {
        if (action->isSeparator())
            continue;
        const QRect row = menu->actionGeometry(action);
        int red = 0;
        for (int y = row.top(); y <= row.bottom(); ++y) {
            for (int x = row.left(); x <= row.right(); ++x)
                red = std::max(red, qRed(image.pixel(x, y)) - qGreen(image.pixel(x, y)));
        }
        const bool destructive = action->objectName() == "ctx_hide_app";
        EXPECT_EQ(red > 100, destructive) << action->text().toStdString();
        const QImage symbol = action->icon().pixmap(16).toImage();
        ASSERT_FALSE(symbol.isNull()) << action->text().toStdString();
        int lightest = 0;
        for (int y = 0; y < symbol.height(); ++y) {
            for (int x = 0; x < symbol.width(); ++x) {
                if (qAlpha(symbol.pixel(x, y)) > 128)
                    lightest = std::max(lightest, qGray(symbol.pixel(x, y)));
            }
        }
        EXPECT_TRUE(destructive || lightest > 200) << action->text().toStdString();
    }
}

TEST_F(BubbleViews, ACardWithoutSnapshotShowsThePlaceholderSymbol)
{
    model.setWindows({makeWindow(7, "Untitled")});
    view = new ContentView(state, model, actions, scheduler);
    view->resize(243, 233);
    backdrop = std::make_unique<Backdrop>(*view, QSize(283, 273));
    const QImage image = seen(card(0));
    const QRect thumb(card(0).cardRect().left() + 8 + 72 - 12, card(0).cardRect().top() + 30, 24, 30);
    // The photo symbol is white at 20 % over the dark thumbnail: lighter pixels in its middle.
    const QColor corner = image.pixelColor(card(0).cardRect().left() + 14, card(0).cardRect().top() + 22);
    EXPECT_TRUE(
        hasColour(image, thumb, [&](const QColor &c) { return c.lightness() > corner.lightness() + 15; }));
    picture("bubble_card_without_snapshot");
    send(card(0), QEvent::MouseMove, card(0).cardRect().center());
    scheduler.advance(1);
    picture("bubble_card_without_snapshot_hovered");
}

struct DragCase
{
    const char *name;
    double travel;
    QStringList expected;
};

class CardDrag : public BubbleViews, public ::testing::WithParamInterface<DragCase>
{
};

TEST_P(CardDrag, ThresholdsDecideBetweenClickPeekAndDrop)
{
    bubble(1);
    WindowPreviewCard &c = card(0);
    const QPointF start = c.cardRect().center();
    send(c, QEvent::MouseMove, start);
    pressAndMove(c, QPointF(GetParam().travel, 0));
    send(c, QEvent::MouseButtonRelease, start + QPointF(GetParam().travel, 0), Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(calls, GetParam().expected);
    EXPECT_FALSE(c.isDraggingLocal());
}

INSTANTIATE_TEST_SUITE_P(
    Travel, CardDrag,
    ::testing::Values(DragCase{"Still", 0, {"focus 1"}}, DragCase{"Eleven", 11, {"focus 1"}},
                      DragCase{"Twelve", 12, {"peek 1", "drag", "endDrag 1", "focus 1"}},
                      DragCase{"Fifteen", 15, {"peek 1", "drag", "endDrag 1", "focus 1"}},
                      DragCase{"Sixteen", 16, {"peek 1", "drag", "endDrag 1"}}),
    [](const auto &info) { return std::string(info.param.name); });

// While dragged the card grows a little above its hover size and hides its buttons; let go on
// itself it comes back to its place at the hover size.
TEST_F(BubbleViews, ButtonsHideWhileDraggingAndLeavingTheCardAlwaysStopsPeeking)
{
    bubble(1);
    WindowPreviewCard &c = card(0);
    const QPointF start = c.cardRect().center();
    send(c, QEvent::MouseMove, start);
    calls.clear();
    pressAndMove(c, QPointF(0, -40));
    EXPECT_TRUE(c.isDraggingLocal());
    EXPECT_FALSE(c.trafficLights().at(0)->isVisibleTo(&c));
    scheduler.advance(1);
    EXPECT_DOUBLE_EQ(c.scale(), 1.08);
    EXPECT_EQ(c.dragOffset(), QPointF(0, -40));
    send(c, QEvent::MouseButtonRelease, start + QPointF(0, -40), Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(calls, (QStringList{"peek 1", "drag", "endDrag 1"})) << "40 pt away is no click";
    scheduler.advance(1);
    EXPECT_DOUBLE_EQ(c.scale(), 1.05);
    EXPECT_EQ(c.dragOffset(), QPointF());

    // A click focuses the window, and so does a drag let go of within 16 pt.
    for (const double travel : {0.0, 15.0}) {
        calls.clear();
        pressAndMove(c, QPointF(0, -travel));
        send(c, QEvent::MouseButtonRelease, start + QPointF(0, -travel), Qt::LeftButton, Qt::NoButton);
        EXPECT_TRUE(calls.endsWith(QStringLiteral("focus 1"))) << travel;
    }

    calls.clear();
    send(c, QEvent::MouseMove, start);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&c, &leave);
    EXPECT_FALSE(c.isHovered());
    EXPECT_EQ(calls, QStringList({"stopPeeking"}));
}

// A dragged card is shown where it is at every step: following the pointer, growing, sliding back.
// Pressed again while it slides back, it is dragged from there and no late step of the slide moves
// it; a drag ended elsewhere puts it at rest in its place at once.
TEST_F(BubbleViews, ADraggedCardIsShownAsItIsAndSettlesOnce)
{
    bubble(1);
    WindowPreviewCard &c = card(0);
    const QPointF start = c.cardRect().center();
    TrafficLightButton *close = c.trafficLights().at(0);
    send(c, QEvent::MouseMove, start);
    scheduler.advance(1);
    ASSERT_TRUE(shownAsItIs());
    pressAndMove(c, QPointF(-16, -12));
    EXPECT_TRUE(shownAsItIs()) << "following the pointer";
    EXPECT_EQ(QWidget::keyboardGrabber(), &c) << "Esc reaches the card from wherever the keyboard was";
    scheduler.advance(1);
    EXPECT_TRUE(shownAsItIs()) << "grown";
    picture("bubble_card_dragged");
    send(c, QEvent::MouseButtonRelease, start + QPointF(-16, -12), Qt::LeftButton, Qt::NoButton);
    scheduler.advance(0.05);
    picture("bubble_card_settling");
    scheduler.advance(1);
    EXPECT_TRUE(shownAsItIs()) << "settled";
    EXPECT_EQ(QWidget::keyboardGrabber(), nullptr);
    EXPECT_EQ(c.hoverProgress(), 1);
    EXPECT_TRUE(close->isVisibleTo(&c)) << "dropped on itself, the card is hovered again";

    // Unhovered (a card scrolled under a still pointer), held and let go of elsewhere.
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&c, &leave);
    scheduler.advance(1);
    pressAndMove(c, QPointF(-16, -12));
    scheduler.advance(1);
    ASSERT_TRUE(shownAsItIs());
    calls.clear();
    QTest::keyClick(backdrop->windowHandle(), Qt::Key_Escape);
    EXPECT_EQ(calls, QStringList{"cancelDrag"});
    EXPECT_FALSE(c.isPressed());
    EXPECT_TRUE(shownAsItIs()) << "at rest at once";
    EXPECT_EQ(QWidget::keyboardGrabber(), nullptr);
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);

    // Let go of and dragged again at once, it is dragged from there.
    pressAndMove(c, QPointF(-16, -12));
    send(c, QEvent::MouseButtonRelease, start + QPointF(-16, -12), Qt::LeftButton, Qt::NoButton);
    pressAndMove(c, QPointF(25, 0));
    scheduler.advance(1);
    EXPECT_EQ(c.dragOffset(), QPointF(25, 0));

    // Let go of and pressed again while it slides back, then let go of elsewhere: at rest for good.
    send(c, QEvent::MouseButtonRelease, start + QPointF(25, 0), Qt::LeftButton, Qt::NoButton);
    send(c, QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
    c.releasePress();
    scheduler.advance(0.05);
    EXPECT_EQ(c.dragOffset(), QPointF());
    scheduler.advance(1);
    EXPECT_EQ(c.scale(), 1);
    EXPECT_FALSE(c.isHovered());
    EXPECT_EQ(c.hoverProgress(), 0);
    EXPECT_FALSE(close->isVisibleTo(&c));
    EXPECT_TRUE(shownAsItIs());
}

// Pressed on the buttons' capsule rather than on the picture, the card is dragged all the same: the
// capsule, hidden as the drag starts, held the press, and the card stopped following the pointer.
TEST_F(BubbleViews, ACardPressedOnItsButtonsCapsuleFollowsTheWholeDrag)
{
    bubble(1);
    WindowPreviewCard &c = card(0);
    QWindow *window = backdrop->windowHandle();
    QTest::mouseMove(window, c.mapTo(backdrop.get(), c.cardRect().center()));
    scheduler.advance(1);
    ASSERT_TRUE(c.isHovered());
    const QWidget *capsule = c.trafficLights().at(0)->parentWidget();
    // The capsule's own fill, past its last button.
    const QPoint press = capsule->mapTo(backdrop.get(), QPoint(capsule->width() - 3, capsule->height() / 2));
    ASSERT_EQ(backdrop->childAt(press), capsule);
    QTest::mousePress(window, Qt::LeftButton, {}, press);
    // The second step passes the threshold: the drag starts and the capsule hides.
    for (int step = 2; step <= 5; ++step) {
        QTest::mouseMove(window, press + QPoint(-10 * step, 5 * step));
        EXPECT_EQ(c.dragOffset(), QPointF(-10 * step, 5 * step)) << "step " << step;
    }
    calls.clear();
    QTest::mouseRelease(window, Qt::LeftButton, {}, press + QPoint(-50, 25));
    EXPECT_FALSE(c.isPressed());
    EXPECT_EQ(calls, QStringList{"endDrag 1"});
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
}

// The bubble's list drops the card of a window that closes at once, even while it is dragged: the
// card went without a word, and the snap zones and the peek of the drag stayed up.
TEST_F(BubbleViews, AWindowClosingWhileItsCardIsDraggedEndsTheDrag)
{
    bubble(2);
    WindowPreviewCard &c = card(1);
    pressAndMove(c, QPointF(0, -40));
    ASSERT_TRUE(c.isDraggingLocal());
    calls.clear();
    model.setWindows({windows(2).at(0)});
    ASSERT_EQ(view->cards().size(), 1);
    EXPECT_EQ(calls, QStringList{"cancelDrag"});
}

// A drag let go of off the card takes the hover look away as leaving the card does, step by step.
TEST_F(BubbleViews, ADragLetGoOffTheCardFadesTheHoverAsLeavingItDoes)
{
    bubble(1);
    WindowPreviewCard &c = card(0);
    const QPointF start = c.cardRect().center();
    const QPointF off(start.x(), c.cardRect().top() - 20);
    const auto fading = [&] {
        QList<double> steps;
        for (int i = 0; i < 6; ++i) {
            scheduler.advance(0.05);
            steps.append(c.hoverProgress());
        }
        scheduler.advance(1);
        return steps;
    };
    send(c, QEvent::MouseMove, start);
    scheduler.advance(1);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&c, &leave);
    const QList<double> left = fading();

    send(c, QEvent::MouseMove, start);
    scheduler.advance(1);
    ASSERT_EQ(c.hoverProgress(), 1);
    pressAndMove(c, off - start);
    ASSERT_TRUE(c.isDraggingLocal());
    send(c, QEvent::MouseButtonRelease, off, Qt::LeftButton, Qt::NoButton);
    const QList<double> dropped = fading();
    ASSERT_EQ(dropped.size(), left.size());
    for (qsizetype i = 0; i < left.size(); ++i)
        EXPECT_NEAR(dropped[i], left[i], 0.01) << "step " << i;
}

TEST_F(BubbleViews, ArrowUpdatesMoveAlongTheEdgeAndIgnoreUnknownEdges)
{
    bubble(2);
    view->handleArrowUpdate(0.3, "middle");
    scheduler.advance(1);
    EXPECT_EQ(view->bubbleEdge(), BubbleEdge::bottom);
    EXPECT_DOUBLE_EQ(view->arrowPosition(), 0.3);
    view->handleArrowUpdate(std::nullopt, "left");
    scheduler.advance(1);
    EXPECT_EQ(view->bubbleEdge(), BubbleEdge::left);
    EXPECT_DOUBLE_EQ(view->arrowPosition(), 0.3);
    // The drawn tip is where the shape says: glass at the tip, wallpaper just outside it.
    const QPointF tip = view->arrowTipAt(0.3);
    const QImage image = seen(*view);
    EXPECT_GT(distance(image.pixelColor((tip + QPointF(4, 0)).toPoint()), wallpaperProbe), 40);
    EXPECT_LT(distance(image.pixelColor((tip + QPointF(4, -14)).toPoint()), wallpaperProbe),
              30); // shadow only
}

TEST_F(BubbleViews, WithoutPermissionOnlyThePermissionCardShows)
{
    bubble(3);
    state.setHasPermission(false);
    EXPECT_FALSE(view->scrollView()->isVisibleTo(view));
    const QImage image = seen(*view);
    EXPECT_TRUE(hasColour(image, image.rect(), [](const QColor &c) {
        return c.red() > 200 && c.green() < 110 && c.blue() < 100; // the red lock
    }));
    picture("bubble_permission_card_en");
    state.setLanguage(AppLanguage::german);
    picture("bubble_permission_card_de");
}

// The bubble in every language with a hovered card, without windows and without permission: every
// text, control and picture shows whole.
TEST_F(BubbleViews, EverythingFitsInEveryLanguage)
{
    for (const AppLanguage language : allAppLanguages) {
        const QString code = Localization::languageCode(language).toString();
        state.setLanguage(language);
        state.setHasPermission(true);
        bubble(3);
        send(card(1), QEvent::MouseMove, card(1).cardRect().center());
        scheduler.advance(1);
        EXPECT_EQ(cutTexts(*view).join(u'\n').toStdString(), "") << qPrintable(code) << " cards";
        state.setHasPermission(false);
        scheduler.advance(1);
        EXPECT_EQ(cutTexts(*view).join(u'\n').toStdString(), "") << qPrintable(code) << " permission";
        state.setHasPermission(true);
        bubble(0);
        EXPECT_EQ(cutTexts(*view).join(u'\n').toStdString(), "") << qPrintable(code) << " no windows";
    }
}

TEST_F(BubbleViews, WithoutWindowsTheBubbleSaysSoAndCountsZero)
{
    bubble(0);
    EXPECT_TRUE(view->cards().isEmpty());
    EXPECT_FALSE(view->scrollView()->isVisibleTo(view));
    picture("bubble_empty_en");
    state.setLanguage(AppLanguage::german);
    picture("bubble_empty_de");
}

struct GalleryCase
{
    const char *name;
    int count;
    const char *edge;
    double arrow;
};

class BubbleGallery : public BubbleViews, public ::testing::WithParamInterface<GalleryCase>
{
};

TEST_P(BubbleGallery, DrawsTheCardsInsideTheOutline)
{
    const GalleryCase &c = GetParam();
    bubble(c.count, c.edge, c.arrow);
    EXPECT_EQ(view->cards().size(), c.count);
    // Every card's middle lies inside the bubble's outline.
    for (WindowPreviewCard *card : view->cards()) {
        const QPoint middle = card->mapTo(view, card->cardRect().center());
        if (view->rect().contains(middle)) {
            EXPECT_TRUE(view->outline().contains(QPointF(middle))) << c.name;
        }
    }
    picture(QStringLiteral("bubble_%1_en").arg(QString::fromLatin1(c.name)));
    state.setLanguage(AppLanguage::german);
    AppWindowModel minimised = card(0).window();
    minimised.isMinimized = true;
    card(0).setWindow(minimised);
    send(card(0), QEvent::MouseMove, card(0).cardRect().center());
    scheduler.advance(1);
    picture(QStringLiteral("bubble_%1_de_first_minimised_hovered").arg(QString::fromLatin1(c.name)));
}

INSTANTIATE_TEST_SUITE_P(Docks, BubbleGallery,
                         ::testing::Values(GalleryCase{"1_window_bottom", 1, "bottom", 0.5},
                                           GalleryCase{"4_windows_bottom", 4, "bottom", 0.3},
                                           GalleryCase{"6_windows_bottom", 6, "bottom", 0.1},
                                           GalleryCase{"4_windows_left", 4, "left", 0.5},
                                           GalleryCase{"6_windows_right", 6, "right", 0.7}),
                         [](const auto &info) { return std::string(info.param.name); });
