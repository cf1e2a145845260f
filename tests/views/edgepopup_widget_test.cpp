#include <QApplication>
#include <QBuffer>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

#include "clipboard/clipboardhistorymodel.h"
#include "clipboard/clipboardmanager.h"
#include "core/localization.h"
#include "core/settingsstore.h"
#include "platform/sim/simdesktop.h"
#include "runtime/manualscheduler.h"
#include "runtime/workqueue.h"
#include "shelf/appkitdropzone.h"
#include "shelf/fileshelfmanager.h"
#include "shelf/shelflistmodel.h"
#include "support/backdrop.h"
#include "support/recordingeventlog.h"
#include "support/screenshot.h"
#include "support/textfit.h"
#include "ui/noticeline.h"
#include "views/edgepopup/edgepopuprules.h"
#include "views/edgepopup/edgepopupstate.h"
#include "views/edgepopup/edgepopupview.h"
#include "views/edgepopup/edgepreviewlayer.h"
#include "views/edgepopup/horizontalwheelscroll.h"
#include "views/items/ageclock.h"
#include "views/items/edgeclipcard.h"
#include "views/items/edgeshelftile.h"
#include "views/items/filedrag.h"
#include "views/items/itemrules.h"

using namespace qv;

namespace {

constexpr QSize screen(1440, 900);

// The edge popup over a wallpaper, on a simulated clipboard and shelf with manual time.
class EdgePopupWidget : public ::testing::Test
{
protected:
    EdgePopupWidget()
    {
        sim.fileIcons.useIconTheme();
        clipboard = std::make_unique<ClipboardManager>(sim.pasteboard, sim.workspace, scheduler, queues,
                                                       settings, events, root.filePath("cache"));
        shelf = std::make_unique<FileShelfManager>(sim.platform(), scheduler, queues, events,
                                                   root.filePath("shelf"));
        clips = std::make_unique<ClipboardHistoryModel>(*clipboard);
        shelfItems = std::make_unique<ShelfListModel>(*shelf);
        EdgePopupActions actions;
        actions.copy = [this](const ClipboardItem &item) { copied.append(item.text); };
        actions.openShelfItem = [this](const ShelfItem &item) { opened.append(item.url); };
        actions.dismiss = [this] { ++dismissals; };
        actions.dragOut = [this](QWidget *source, QMimeData *data, const QImage &) {
            const std::unique_ptr<QMimeData> carried(data);
            drags.append({source, carried->urls()});
            return true;
        };
        state = std::make_unique<EdgePopupState>(std::move(actions));
    }

    void open(OverlayRoute route, PopupEdge edge)
    {
        state->show(route, edge);
        if (!view) {
            view = new EdgePopupView(
                *state, EdgePopupView::Services{*clips, *shelfItems, *shelf, sim.fileIcons,
                                                queues.makeQueue("previews", QueueKind::Concurrent), ages,
                                                scheduler});
            view->resize(screen);
            backdrop = std::make_unique<Backdrop>(*view, screen, QPoint(0, 0));
            backdrop->show();
        }
        state->presented();
        scheduler.advance(0.2);
        QApplication::processEvents();
    }

    void copyText(const QString &text)
    {
        sim.pasteboard.copyText(text);
        scheduler.advance(3.0);
    }
    void addShelfFile(const QString &name)
    {
        QFile file(root.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("content of " + name.toUtf8());
        file.close();
        shelf->processFile(QUrl::fromLocalFile(file.fileName()));
        scheduler.advance(1.0);
    }
    void click(QWidget *widget, const QPoint &pos)
    {
        QTest::mouseClick(widget, Qt::LeftButton, {}, pos);
        QApplication::processEvents();
    }
    void shot(const char *name)
    {
        QApplication::processEvents();
        saveScreenshot(*backdrop, QString::fromLatin1(name));
    }

    QTemporaryDir root;
    SimDesktop sim;
    ManualScheduler scheduler;
    SchedulerQueueFactory queues{scheduler};
    SettingsStore settings;
    RecordingEventLog events;
    AgeClock ages{scheduler};
    std::unique_ptr<ClipboardManager> clipboard;
    std::unique_ptr<FileShelfManager> shelf;
    std::unique_ptr<ClipboardHistoryModel> clips;
    std::unique_ptr<ShelfListModel> shelfItems;
    std::unique_ptr<EdgePopupState> state;
    EdgePopupView *view = nullptr; // child of the backdrop
    std::unique_ptr<Backdrop> backdrop;
    QStringList copied;
    QList<QUrl> opened;
    int dismissals = 0;
    // The drags run through the owner: their source and what they carried.
    QList<std::pair<QWidget *, QList<QUrl>>> drags;
};

} // namespace

TEST_F(EdgePopupWidget, AFilterThatMatchesNothingShowsTheEmptyStateWithCountZeroAndKeepsTheChips)
{
    copyText("one");
    copyText("two");
    open(OverlayRoute::clipboard, PopupEdge::bottom);
    EXPECT_EQ(view->shownCount(), 2);
    EXPECT_EQ(view->countText(), "2");
    EXPECT_FALSE(view->showsEmptyState());
    EXPECT_EQ(view->strip()->contentWidth(), 240 * 2 + 48 + 16);
    shot("edgepopup_bottom_clipboard");

    state->setSelectedFilter(EdgePopupState::ClipFilter::image);
    QApplication::processEvents();
    EXPECT_EQ(view->shownCount(), 0);
    EXPECT_EQ(view->countText(), "0") << "the filtered count, not the history's length";
    EXPECT_TRUE(view->showsEmptyState());
    EXPECT_EQ(view->chipCaptions(), QStringList({"All", "Text", "Images"})) << "chips stay";
    scheduler.advance(1.0); // the chips' spring
    shot("edgepopup_filtered_empty");

    state->setSelectedFilter(EdgePopupState::ClipFilter::text);
    EXPECT_EQ(view->shownCount(), 2);
    // A new popup starts with every kind again, its cards as well as its chips: a popup reopened
    // once kept the old filter's cards (here none) under chips that said "All".
    state->setSelectedFilter(EdgePopupState::ClipFilter::image);
    open(OverlayRoute::clipboard, PopupEdge::bottom);
    EXPECT_EQ(state->selectedFilter(), EdgePopupState::ClipFilter::all);
    EXPECT_EQ(view->shownCount(), 2);
    EXPECT_EQ(view->countText(), "2");
    EXPECT_FALSE(view->showsEmptyState());
}

TEST_F(EdgePopupWidget, TheFilterCountsAndStacksTheKeptRowsOfALongHistory)
{
    for (int i = 0; i < 80; ++i) {
        if (i % 10 == 0) {
            QImage picture(40, 30, QImage::Format_RGB32);
            picture.fill(QColor(i, 120, 140)); // a different picture each time
            QBuffer png;
            png.open(QIODevice::WriteOnly);
            picture.save(&png, "PNG");
            sim.pasteboard.copyImage(png.data());
            scheduler.advance(3.0);
        } else {
            copyText(
                i % 3 ? QStringLiteral("line %1").arg(i)
                      : QStringLiteral("a longer text %1 that wraps over several lines of the row").arg(i));
        }
    }
    open(OverlayRoute::clipboard, PopupEdge::leading);
    ASSERT_EQ(view->shownCount(), 80);
    struct Case
    {
        EdgePopupState::ClipFilter filter;
        int count;
    };
    for (const Case &c :
         {Case{EdgePopupState::ClipFilter::image, 8}, Case{EdgePopupState::ClipFilter::text, 72},
          Case{EdgePopupState::ClipFilter::all, 80}}) {
        state->setSelectedFilter(c.filter);
        QApplication::processEvents();
        scheduler.advance(1.0); // the rows that stay spring to their places
        SCOPED_TRACE(c.count);
        EXPECT_EQ(view->shownCount(), c.count);
        EXPECT_EQ(view->countText(), QString::number(c.count));
        const QList<QWidget *> rows = view->cards();
        ASSERT_FALSE(rows.isEmpty());
        EXPECT_LT(rows.size(), c.count == 8 ? 9 : 30);
        for (int i = 0; i < rows.size(); ++i) {
            const ClipboardItem &item = qobject_cast<EdgeClipCard *>(rows.at(i))->item();
            EXPECT_TRUE(EdgePopupRules::keeps(c.filter, item));
            EXPECT_EQ(rows.at(i)->height(), rows.at(i)->heightForWidth(rows.at(i)->width()));
            if (i > 0) { // 10 apart, margins taken back
                EXPECT_EQ(rows.at(i)->y(), rows.at(i - 1)->geometry().bottom() + 1 + 10 - 20);
            }
        }
    }

    // Scrolled down, closed and opened again: the list starts at the newest once more.
    QScrollBar *scroll = view->findChild<QScrollArea *>()->verticalScrollBar();
    scroll->setValue(scroll->maximum());
    open(OverlayRoute::clipboard, PopupEdge::leading);
    EXPECT_EQ(scroll->value(), 0);
    EXPECT_EQ(qobject_cast<EdgeClipCard *>(view->cards().value(0))->item().text, clips->itemAt(0).text);
}

TEST_F(EdgePopupWidget, SideChipsShowOnlyTheSelectedCaptionAndTopChipsShowAll)
{
    copyText("alpha");
    open(OverlayRoute::clipboard, PopupEdge::trailing);
    EXPECT_EQ(view->chipCaptions(), QStringList({"All", "", ""}));
    QWidget *all = view->chips().at(0);
    QWidget *text = view->chips().at(1);
    const int narrow = text->sizeHint().width();
    const int wide = all->sizeHint().width();
    state->setSelectedFilter(EdgePopupState::ClipFilter::text);
    EXPECT_EQ(view->chipCaptions(), QStringList({"", "Text", ""}));
    // The caption's room opens on a spring: a little past its size, then back.
    int widest = 0;
    for (int frame = 0; frame < 60; ++frame) {
        scheduler.advance(1.0 / 60);
        widest = std::max(widest, text->sizeHint().width());
    }
    EXPECT_GT(text->sizeHint().width(), narrow);
    EXPECT_GT(widest, text->sizeHint().width());
    EXPECT_EQ(all->sizeHint().width(), narrow) << "the chip left closes";
    shot("edgepopup_trailing_clipboard");
    state->presented();
    EXPECT_EQ(all->sizeHint().width(), wide) << "a fresh popup starts with its chips at rest";

    open(OverlayRoute::clipboard, PopupEdge::top);
    EXPECT_EQ(view->chipCaptions(), QStringList({"All", "Text", "Images"}));
    shot("edgepopup_top_clipboard");

    // A click on a chip picks its kind.
    click(view->chips().at(2), QPoint(5, 5));
    EXPECT_EQ(state->selectedFilter(), EdgePopupState::ClipFilter::image);
}

TEST_F(EdgePopupWidget, ATapOutsideThePanelDismissesAndOneInsideDoesNot)
{
    copyText("alpha");
    open(OverlayRoute::clipboard, PopupEdge::bottom);
    const QRect panel = view->panelFrame();
    click(view, panel.topLeft() + QPoint(300, 20));
    EXPECT_EQ(dismissals, 0);
    click(view, QPoint(panel.center().x(), panel.top() - 40));
    EXPECT_EQ(dismissals, 1);
}

// A tile ran its drag itself, so the panel never stepped aside for it, and under a compositor the
// popup's backdrop kept the drop from every program below. The owner runs it, given the tile and
// its file, and the shelf hears how it ended.
TEST_F(EdgePopupWidget, ADraggedTileRunsItsDragThroughTheOwnerAndTheShelfHearsItsEnd)
{
    addShelfFile("report.txt");
    open(OverlayRoute::shelf, PopupEdge::bottom);
    ASSERT_EQ(view->cards().size(), 1);
    QWidget *tile = view->cards().at(0);
    const QPoint from = tile->rect().center();
    QTest::mousePress(tile, Qt::LeftButton, {}, from);
    const QPoint to = from + QPoint(-30, 0);
    QMouseEvent move(QEvent::MouseMove, to, tile->mapToGlobal(to), Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(tile, &move);

    ASSERT_EQ(drags.size(), 1) << "the tile ran its drag without the owner";
    EXPECT_EQ(drags[0].first, tile);
    EXPECT_EQ(drags[0].second, QList<QUrl>{shelf->items().at(0).url});
    EXPECT_EQ(shelf->draggingItemID(), shelf->items().at(0).id) << "the shelf's drag-out watch never started";
    EXPECT_EQ(sim.dragEndReport.finishedReports(), 1) << "the shelf never heard the drag end";
}

TEST_F(EdgePopupWidget, OnlyTheShelfRouteTakesDropsAndADropAddsToTheShelf)
{
    open(OverlayRoute::clipboard, PopupEdge::bottom);
    EXPECT_EQ(view->dropZone(), nullptr);

    open(OverlayRoute::shelf, PopupEdge::bottom);
    ASSERT_NE(view->dropZone(), nullptr);
    EXPECT_TRUE(view->showsEmptyState());
    EXPECT_EQ(view->dropZone()->geometry(), view->panelFrame()) << "the whole panel";
    shot("edgepopup_bottom_shelf_empty");

    QFile file(root.filePath("dropped.txt"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("dropped");
    file.close();
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(file.fileName())});
    const QPoint at = view->dropZone()->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(view->dropZone(), &enter);
    scheduler.advance(0.1);
    EXPECT_TRUE(state->isTargetingShelfDrop());
    shot("edgepopup_shelf_targeting");
    QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(view->dropZone(), &drop);
    scheduler.advance(1.0);
    QApplication::processEvents();
    EXPECT_FALSE(state->isTargetingShelfDrop());
    EXPECT_EQ(shelf->items().size(), 1);
    EXPECT_EQ(view->shownCount(), 1);
}

TEST_F(EdgePopupWidget, ACaptureWhileItShowsBuildsOneCardAndKeepsTheOthers)
{
    for (int i = 0; i < 60; ++i)
        copyText(QStringLiteral("clip %1").arg(i));
    open(OverlayRoute::clipboard, PopupEdge::bottom);
    const QList<QWidget *> before = view->cards();
    ASSERT_GT(before.size(), 5);
    EXPECT_LT(before.size(), 30) << "only the cards in and near the visible part are built";
    copyText("fresh");
    QApplication::processEvents(); // cards that leave go on a later turn
    scheduler.advance(0.05);
    EXPECT_GT(before.first()->x(), 10)
        << "the cards that stay jumped to their new places instead of springing";
    EXPECT_LT(before.first()->x(), 10 + 256)
        << "the cards that stay jumped to their new places instead of springing";
    scheduler.advance(1.0);
    const QList<QWidget *> after = view->cards();
    ASSERT_EQ(after.size(), before.size());
    EXPECT_EQ(qobject_cast<EdgeClipCard *>(after.at(0))->item().text, "fresh");
    EXPECT_EQ(after.mid(1), before.first(before.size() - 1)) << "one card pushed out at the far end";
    EXPECT_EQ(view->shownCount(), 61);
    EXPECT_EQ(view->strip()->contentWidth(), 61 * 240 + 48 + 60 * 16);
    for (int i = 0; i < after.size(); ++i)
        EXPECT_EQ(after.at(i)->x(), 10 + 256 * i) << "placed in order, 16 apart";
}

TEST_F(EdgePopupWidget, ScrollingBuildsTheCardsThatComeIntoView)
{
    for (int i = 0; i < 60; ++i)
        copyText(QStringLiteral("clip %1").arg(i));
    open(OverlayRoute::clipboard, PopupEdge::bottom);
    HorizontalWheelScroll *strip = view->strip();
    const QPoint inside = strip->viewport()->rect().center();
    QWheelEvent wheel(inside, strip->viewport()->mapToGlobal(inside), {}, {0, -120 * 10000}, Qt::NoButton, {},
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(strip->viewport(), &wheel);
    QApplication::processEvents();
    const QList<QWidget *> cards = view->cards();
    ASSERT_FALSE(cards.isEmpty());
    EXPECT_EQ(qobject_cast<EdgeClipCard *>(cards.last())->item().text, "clip 0") << "the oldest, at the end";
    EXPECT_LT(cards.size(), 30);
    const QRect seen(strip->offset(), 0, strip->viewport()->width(), 200);
    int visible = 0;
    for (QWidget *card : cards)
        visible += seen.intersects(card->geometry()) ? 1 : 0;
    EXPECT_GE(visible, 5) << "the visible part is filled";
}

TEST_F(EdgePopupWidget, TheWheelScrollsTheStripSidewaysAndPassesSwipesOn)
{
    for (int i = 0; i < 12; ++i)
        copyText(QStringLiteral("clip %1").arg(i));
    open(OverlayRoute::clipboard, PopupEdge::bottom);
    HorizontalWheelScroll *strip = view->strip();
    const QPoint inside = strip->viewport()->rect().center();
    auto wheel = [&](QPoint pixel, QPoint angle) {
        QWheelEvent event(inside, strip->viewport()->mapToGlobal(inside), pixel, angle, Qt::NoButton, {},
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(strip->viewport(), &event);
    };
    wheel({}, {0, -120 * 3}); // three notches down
    EXPECT_EQ(strip->offset(), 30);
    wheel({}, {0, 120});
    EXPECT_EQ(strip->offset(), 20);
    wheel({}, {0, 120 * 5});
    EXPECT_EQ(strip->offset(), 0) << "never before the start";
    wheel({}, {0, -120 * 1000});
    EXPECT_EQ(strip->offset(), strip->widget()->width() - strip->viewport()->width()) << "nor past the end";
    const int end = strip->offset();
    wheel({0, 0}, {240, 0}); // a sideways swipe goes to the scroll area itself
    EXPECT_LE(strip->offset(), end);
}

TEST_F(EdgePopupWidget, TheFilePreviewClosesOnTheDimOrItsButtonButNotInside)
{
    addShelfFile("notes.txt");
    open(OverlayRoute::shelf, PopupEdge::bottom);
    auto *tile = qobject_cast<EdgeShelfTile *>(view->cards().value(0));
    ASSERT_NE(tile, nullptr);
    state->previewShelfItem(tile->item());
    scheduler.advance(1.0); // the panel has sprung in
    EdgePreviewLayer *layer = view->previewLayer();
    ASSERT_TRUE(layer->isShown());
    EXPECT_EQ(layer->panelFrame().size(), QSize(560, 420));
    EXPECT_EQ(layer->titleText(), tile->item().url.fileName());
    EXPECT_TRUE(view->outline().contains(QPointF(5, 5))) << "the dim covers the screen";
    shot("edgepopup_file_preview");

    click(layer, layer->panelFrame().center());
    EXPECT_TRUE(layer->isShown());
    click(layer, QPoint(10, 10));
    EXPECT_FALSE(layer->isShown());
    EXPECT_EQ(dismissals, 0) << "the popup underneath stays";

    state->previewShelfItem(tile->item());
    click(layer->closeButton(), QPoint(5, 5));
    EXPECT_FALSE(layer->isShown());
}

// A name longer than the header was cut off at the header's edge, with no sign that it goes on.
TEST_F(EdgePopupWidget, ALongFileNameInThePreviewEndsInAnEllipsisBeforeTheCloseButton)
{
    const QString name = QStringLiteral(
        "Quarterly planning notes for the infrastructure migration — final reviewed draft v12.txt");
    addShelfFile(name);
    for (const AppLanguage language : {AppLanguage::english, AppLanguage::german}) {
        state->setLanguage(language);
        open(OverlayRoute::shelf, PopupEdge::bottom);
        auto *tile = qobject_cast<EdgeShelfTile *>(view->cards().value(0));
        ASSERT_NE(tile, nullptr);
        state->previewShelfItem(tile->item());
        scheduler.advance(1.0);
        EdgePreviewLayer *layer = view->previewLayer();
        ASSERT_TRUE(layer->isShown());
        EXPECT_EQ(layer->titleText(), name);
        const QString shown = layer->shownTitleText();
        EXPECT_TRUE(shown.endsWith(QChar(0x2026))) << qPrintable(shown);
        EXPECT_TRUE(name.startsWith(shown.chopped(1))) << "one line, cut at its end";
        auto *title = layer->findChild<QWidget *>(QStringLiteral("previewTitle"));
        ASSERT_NE(title, nullptr);
        EXPECT_LT(title->geometry().right(), layer->closeButton()->geometry().left());
        EXPECT_EQ(layer->panelFrame().size(), QSize(560, 420)) << "the name does not widen the panel";
        shot(language == AppLanguage::english ? "edgepopup_file_preview_long_name_en"
                                              : "edgepopup_file_preview_long_name_de");
        state->closeFilePreview();
        scheduler.advance(1.0);
    }
}

TEST_F(EdgePopupWidget, TheClipPreviewCountsCharactersOfTextOnly)
{
    copyText(QString::fromUtf8("héllo 👍🏽"));
    open(OverlayRoute::clipboard, PopupEdge::bottom);
    state->previewClip(clips->itemAt(0));
    EdgePreviewLayer *layer = view->previewLayer();
    EXPECT_EQ(layer->titleText(), "Text Preview");
    EXPECT_EQ(layer->countText(), "7 chars") << "graphemes, not code units";
    EXPECT_EQ(layer->textView()->toPlainText(), clips->itemAt(0).text);
    EXPECT_EQ(layer->panelFrame().width(), 560);
    scheduler.advance(1.0);
    shot("edgepopup_clip_preview");

    ClipboardItem image = clips->itemAt(0);
    image.isImage = true;
    QImage picture(400, 300, QImage::Format_RGB32);
    picture.fill(QColor(80, 160, 220));
    image.thumbnail = ItemThumbnail(picture);
    state->previewClip(image);
    EXPECT_EQ(layer->titleText(), "Image Preview");
    EXPECT_EQ(layer->countText(), QString());
    state->closeClipPreview();
    EXPECT_FALSE(layer->isShown());
}

// Regressions: marks piled on one letter were drawn over the panel above the cards, a text opening
// with 100,000 zero-width characters showed an empty card, and the preview laid out a whole
// 100,000-character line on the main thread.
TEST_F(EdgePopupWidget, HostileTextsDrawInsideTheirCardsAndPreviewTheirStart)
{
    const QString acute(1, QChar(0x0301));
    copyText(QStringLiteral("word ").repeated(20000));
    copyText(QString(100000, QChar(0x200D)) + QStringLiteral("seen after 100,000 zero-width joiners"));
    copyText(QStringLiteral("NNNNc") + acute.repeated(1000000));
    copyText(QStringLiteral("Zalgo: ") + (QStringLiteral("o") + acute.repeated(40)).repeated(8));
    open(OverlayRoute::clipboard, PopupEdge::bottom);
    shot("edgepopup_hostile_texts");
    EXPECT_EQ(clips->itemAt(1).text.size(), 400000) << "the cap in units";

    EdgePreviewLayer *layer = view->previewLayer();
    state->previewClip(clips->itemAt(2));
    EXPECT_TRUE(layer->textView()->toPlainText().startsWith(QStringLiteral("seen after")));
    state->previewClip(clips->itemAt(3));
    EXPECT_EQ(layer->textView()->toPlainText(),
              clips->itemAt(3).text.left(ItemRules::previewText.lineUnits) + QStringLiteral("…"));
    state->closeClipPreview();
    open(OverlayRoute::clipboard, PopupEdge::leading);
    shot("edgepopup_hostile_texts_rows");
}

TEST_F(EdgePopupWidget, ALinkItemPreviewsItsFileAndDragsItsWebAddress)
{
    open(OverlayRoute::shelf, PopupEdge::leading);
    ShelfItem link;
    link.url = QUrl::fromLocalFile(root.filePath("Example.webloc"));
    link.originalWebURL = QUrl("https://example.org/");
    // Quick Look shows the stored file in the preview panel; only Open leaves for the address.
    state->previewShelfItem(link);
    EXPECT_EQ(state->edgePreviewURL(), std::optional<QUrl>(link.url)) << "the preview panel stayed shut";
    EXPECT_TRUE(opened.isEmpty()) << "Quick Look handed the link to the browser";
    state->closeFilePreview();

    std::unique_ptr<QMimeData> data(FileDrag::makeData(link));
    EXPECT_EQ(data->urls(), QList<QUrl>({QUrl("https://example.org/")}));
    EXPECT_EQ(data->text(), "https://example.org/");
}

// The empty clipboard and shelf popups at a side and at the bottom in every language: the header,
// the chips and the empty line fit (the German drop tile read "ateien hierher ziehe"). Then the
// same popups with items: cards, tiles, their pictures and controls show whole.
TEST_F(EdgePopupWidget, PopupsFitInEveryLanguageEmptyAndWithItems)
{
    for (const bool withItems : {false, true}) {
        if (withItems) {
            copyText("Grüße aus Köln");
            addShelfFile("Bericht.txt");
        }
        for (const AppLanguage language : allAppLanguages) {
            state->setLanguage(language);
            for (const OverlayRoute route : {OverlayRoute::clipboard, OverlayRoute::shelf}) {
                for (const PopupEdge edge : {PopupEdge::leading, PopupEdge::bottom}) {
                    open(route, edge);
                    EXPECT_EQ(cutTexts(*view).join(u'\n').toStdString(), "")
                        << qPrintable(rawValue(language)) << (withItems ? " with items" : " empty");
                }
            }
            if (language == AppLanguage::german && !withItems)
                shot("edgepopup_bottom_shelf_empty_german");
        }
    }
}

// A card's age speaks the interface language and changes with it (it read "4 sec" in German too).
TEST_F(EdgePopupWidget, ACardTellsItsAgeInTheInterfaceLanguage)
{
    copyText("Grüße aus Köln");
    // The footer's age is the last thing the card paints; runs of another font come as pieces of
    // their own, so what shows is read without its spaces.
    const auto shows = [this](const char *age) {
        auto *card = view->findChild<EdgeClipCard *>();
        const QString painted = card ? paintedLines(*card).join(QString()).remove(u' ') : QString();
        return painted.endsWith(QString::fromUtf8(age).remove(u' ')) ? QString() : painted;
    };
    open(OverlayRoute::clipboard, PopupEdge::bottom);
    EXPECT_EQ(shows("3 sec"), "");
    state->setLanguage(AppLanguage::german);
    QApplication::processEvents();
    EXPECT_EQ(shows("3 Sek."), "");
    shot("edgepopup_bottom_clipboard_german_age");
    scheduler.advance(61.0);
    EXPECT_EQ(shows("1 Min., 4 Sek."), "");
    state->setLanguage(AppLanguage::japanese);
    QApplication::processEvents();
    EXPECT_EQ(shows("1 分 4 秒"), "");
}

TEST_F(EdgePopupWidget, GermanTextsAndAShelfColumnWithANotice)
{
    state->setLanguage(AppLanguage::german);
    addShelfFile("Bericht.txt");
    addShelfFile("Liste.csv");
    open(OverlayRoute::shelf, PopupEdge::leading);
    EXPECT_EQ(view->shownCount(), 2);
    shot("edgepopup_leading_shelf_german");
    state->showNotice(Localization::text(u"reveal_failed", AppLanguage::german));
    EXPECT_EQ(view->noticeText(), "Kein Dateimanager konnte diese Datei anzeigen.");
    shot("edgepopup_leading_shelf_notice_german");
    scheduler.advance(NoticeLine::duration);
    EXPECT_EQ(view->noticeText(), QString());
    open(OverlayRoute::clipboard, PopupEdge::leading);
    EXPECT_TRUE(view->showsEmptyState());
    shot("edgepopup_leading_clipboard_empty_german");
}

// With nothing to show, a side popup's header stretched over the screen's height with its title in
// the middle, and its count badge became a capsule 830 pixels tall.
TEST_F(EdgePopupWidget, AnEmptySidePopupKeepsItsHeaderAndEmptyStateAtTheirSizes)
{
    for (auto [route, edge] : {std::pair(OverlayRoute::clipboard, PopupEdge::leading),
                               std::pair(OverlayRoute::shelf, PopupEdge::trailing)}) {
        open(route, edge);
        const QRect panel = view->panelFrame();
        const QRect empty(view->emptyState()->mapTo(view, QPoint()), view->emptyState()->size());
        const QLabel *title = view->findChild<QLabel *>("popupTitle");
        EXPECT_LE(view->findChild<QLabel *>("countBadge")->height(), 24);
        EXPECT_LE(title->height(), 30);
        EXPECT_EQ(empty.height(), 200);
        // Together in the middle of the full-height panel; 14 is the header's top padding.
        EXPECT_NEAR(title->mapTo(view, QPoint()).y() - 14 - panel.top(), panel.bottom() - empty.bottom(), 2);
        shot(edge == PopupEdge::leading ? "edgepopup_leading_clipboard_empty"
                                        : "edgepopup_trailing_shelf_empty");
    }
}
