#include <QAbstractButton>
#include <QAction>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

#include "core/settingskeys.h"
#include "shelf/appkitdropzone.h"
#include "views/items/clipboarditemview.h"
#include "views/items/expandedshelfcard.h"
#include "views/items/itemrules.h"
#include "views/items/safeimagepreview.h"
#include "views/items/shelfitemview.h"
#include "views/items/universalquicklookview.h"
#include "views/superpanel/clipboardpreviewbubble.h"
#include "views/superpanel/gallerypreviewlayer.h"
#include "views/items/expandedclipboardcard.h"
#include "views/superpanel/lazyitemgrid.h"
#include "views/superpanel/superpanelgallery.h"
#include "views/superpanel/superpaneloverlay.h"
#include "views/superpanelcolumnfixture.h"
#include "views/superpanelfixture.h"

using namespace qv;

namespace {

QStringList rowTexts(LazyItemGrid &list)
{
    QStringList texts;
    for (QWidget *cell : list.builtCells())
        texts.append(static_cast<ClipboardItemView *>(cell)->titleText());
    return texts;
}

} // namespace

TEST_F(SuperPanelColumnTest, showsTheHistoryNewestFirstWithSeparatorsBetweenRows)
{
    EXPECT_EQ(m_column->clipboardList()->separatorCount(), 0);
    addClip(QStringLiteral("first"));
    EXPECT_EQ(m_column->clipboardList()->separatorCount(), 0);
    addClip(QStringLiteral("second"));
    addImageClip(QColor(40, 160, 220));
    addClip(QStringLiteral("hunter2-password"), true);
    QApplication::processEvents();
    EXPECT_EQ(rowTexts(*m_column->clipboardList()),
              (QStringList{QString(8, QChar(0x2022)), QStringLiteral("Image • 1920×1080"),
                           QStringLiteral("second"), QStringLiteral("first")}));
    EXPECT_EQ(m_column->clipboardList()->separatorCount(), 3);
    addShelfFile(QStringLiteral("report.pdf"));
    addShelfFile(QStringLiteral("notes.txt"));
    // The rows and tiles spring into place first.
    m_scheduler.advance(1);
    shot(*m_column, QStringLiteral("superpanel-column-history"));
}

TEST_F(SuperPanelColumnTest, buildsOnlyTheRowsNearTheVisiblePartOfALongHistory)
{
    for (int i = 0; i < 500; ++i)
        addClip(QStringLiteral("clip %1").arg(i));
    QApplication::processEvents();
    LazyItemGrid &list = *m_column->clipboardList();
    const int built = int(list.builtCells().size());
    EXPECT_GT(built, 5);
    EXPECT_LT(built, 60);
    EXPECT_EQ(rowTexts(list).first(), QStringLiteral("clip 499"));
    // Scrolling to the end builds the oldest rows and lets the newest go.
    list.verticalScrollBar()->setValue(list.verticalScrollBar()->maximum());
    QApplication::processEvents();
    EXPECT_EQ(rowTexts(list).last(), QStringLiteral("clip 0"));
    EXPECT_LT(int(list.builtCells().size()), 60);
}

TEST_F(SuperPanelColumnTest, aDraggedSensitiveRowCarriesItsMaskNotTheSecret)
{
    addClip(QStringLiteral("hunter2-password"), true);
    std::unique_ptr<QMimeData> data(ClipboardShelfColumn::clipboardDragData(m_clipboard->history().first()));
    EXPECT_EQ(data->text(), QString(8, QChar(0x2022)));
}

TEST_F(SuperPanelColumnTest, shelfClearButtonAndDropHintFollowTheShelf)
{
    EXPECT_FALSE(m_column->shelfClearButton()->isVisible());
    EXPECT_TRUE(m_column->clipboardClearButton()->isVisible());
    EXPECT_EQ(m_column->dropHintText(), QStringLiteral("Drop Files Here"));
    m_state->setTargetingShelf(true);
    EXPECT_EQ(m_column->dropHintText(), QStringLiteral("Release to Drop"));
    shot(*m_column, QStringLiteral("superpanel-column-targeting"));
    m_state->setTargetingShelf(false);
    addShelfFile(QStringLiteral("a.txt"));
    EXPECT_TRUE(m_column->shelfClearButton()->isVisible());
    EXPECT_EQ(m_column->dropHintText(), QString());
    EXPECT_EQ(m_column->shelfGrid()->builtCells().size(), 1);
}

TEST_F(SuperPanelColumnTest, clearingAnEmptyHistoryChangesNothing)
{
    static_cast<QAbstractButton *>(m_column->clipboardClearButton())->click();
    EXPECT_TRUE(m_clipboard->history().isEmpty());
    addClip(QStringLiteral("one"));
    static_cast<QAbstractButton *>(m_column->clipboardClearButton())->click();
    EXPECT_TRUE(m_clipboard->history().isEmpty());
}

// The tile menu: image items add a separator and Extract Text before the separator of Remove.
TEST_F(SuperPanelColumnTest, tileMenusDifferForImagesOnly)
{
    const ShelfItem text = addShelfFile(QStringLiteral("notes.txt"));
    const QStringList common = {"Open", "Show in File Manager", "Copy to Clipboard"};
    EXPECT_EQ(
        menuTexts(ExpandedShelfCard::shelfMenu(nullptr, text, *m_shelf, m_sim.pasteboard, {}, {}, true)),
        common + QStringList({"-", "Remove"}));
    ShelfItem image = text;
    image.type = QStringLiteral("image/png");
    EXPECT_EQ(
        menuTexts(ExpandedShelfCard::shelfMenu(nullptr, image, *m_shelf, m_sim.pasteboard, {}, {}, true)),
        common + QStringList({"-", "Extract Text", "-", "Remove"}));
}

TEST_F(SuperPanelColumnTest, aPinnedItemSurvivesRemoveAndTrashButNotClearAll)
{
    const ShelfItem item = addShelfFile(QStringLiteral("keep.txt"));
    m_shelf->togglePin(item.id);
    m_scheduler.advance(0.1);
    const ShelfItem pinned = m_shelf->items().first();
    ASSERT_TRUE(pinned.isPinned);
    QMenu *menu = ExpandedShelfCard::shelfMenu(nullptr, pinned, *m_shelf, m_sim.pasteboard, {}, {}, true);
    menu->actions().last()->trigger();
    delete menu;
    m_scheduler.advance(0.1);
    EXPECT_EQ(m_shelf->items().size(), 1);

    auto *tile = static_cast<ShelfItemView *>(m_column->shelfGrid()->builtCells().first());
    tile->pointerMoved(QPointF(tile->rect().center()));
    QTest::mouseClick(tile, Qt::LeftButton, {}, tile->buttonRect(ShelfItemView::Trash).center().toPoint());
    m_scheduler.advance(0.1);
    EXPECT_EQ(m_shelf->items().size(), 1);

    static_cast<QAbstractButton *>(m_column->shelfClearButton())->click();
    m_scheduler.advance(0.1);
    EXPECT_TRUE(m_shelf->items().isEmpty());
}

TEST_F(SuperPanelColumnTest, doubleClickDismissesAtOnceAndOpensLater)
{
    addShelfFile(QStringLiteral("plan.txt"));
    QWidget *tile = m_column->shelfGrid()->builtCells().first();
    QTest::mouseDClick(tile, Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_FALSE(m_presented);
    m_scheduler.advance(0.19);
    EXPECT_TRUE(m_opened.isEmpty());
    m_scheduler.advance(0.02);
    EXPECT_EQ(m_opened, QStringList{QStringLiteral("open:plan.txt")});
}

TEST_F(SuperPanelColumnTest, restingOnAnEyeOpensTheBubbleBelowIt)
{
    addClip(QStringLiteral("0123456789"));
    ClipboardItemView *row = restOnTopEye();
    ClipboardPreviewBubble *bubble = m_column->bubble();
    ASSERT_TRUE(bubble->isVisible());
    EXPECT_EQ(bubble->countText(), QStringLiteral("10 chars"));
    EXPECT_EQ(bubble->textView()->toPlainText(), QStringLiteral("0123456789"));
    const QRect eye =
        QRect(row->mapTo(m_column.get(), row->buttonRect(ClipboardItemView::Eye).topLeft().toPoint()),
              row->buttonRect(ClipboardItemView::Eye).size().toSize());
    EXPECT_NEAR(bubble->geometry().top(), eye.center().y() + 25, 1.5);
    EXPECT_EQ(bubble->geometry().left(), 15);
    shot(*m_column, QStringLiteral("superpanel-column-bubble"));

    // Leaving the row without reaching the bubble closes it 0.2 s later.
    row->pointerLeft();
    m_scheduler.advance(0.19);
    EXPECT_TRUE(bubble->isVisible());
    m_scheduler.advance(0.02);
    EXPECT_FALSE(bubble->isVisible());
}

// The card filled the bubble's whole frame with no shadow of its own: it sits centred in the frame,
// as high as what it holds, and its shadow falls below it inside the frame.
TEST_F(SuperPanelColumnTest, thePreviewCardFloatsOnItsOwnShadowInsideTheBubble)
{
    addClip(QStringLiteral("a short text"));
    restOnTopEye();
    ClipboardPreviewBubble *bubble = m_column->bubble();
    ASSERT_TRUE(bubble->isVisible());
    const QRectF card = bubble->cardRect();
    EXPECT_EQ(card.width(), bubble->width());
    EXPECT_LT(card.height(), bubble->height());
    EXPECT_NEAR(card.center().y(), bubble->height() / 2.0, 0.5);
    const QImage picture = bubble->grab().toImage().convertToFormat(QImage::Format_ARGB32);
    const int x = bubble->width() / 2;
    const int below = qAlpha(picture.pixel(x, int(card.bottom()) + 4));
    const int above = qAlpha(picture.pixel(x, int(card.top()) - 4));
    EXPECT_GT(below, 20) << "the shadow below the card";
    EXPECT_GT(below, above + 10) << "dropped, so darker below than above";
    EXPECT_GT(qAlpha(picture.pixel(x, int(card.center().y()))), 250) << "the card itself";
    EXPECT_GE(bubble->textView()->geometry().top(), card.top() + 12 + 16) << "the text is inside the card";
    shot(*m_column, QStringLiteral("superpanel-column-bubble-card-shadow"));
}

TEST_F(SuperPanelColumnTest, aSensitiveTextShowsTheProtectedNoticeWhileMaskingIsOn)
{
    ClipboardItem cached = newClip();
    cached.isImage = true;
    cached.imageURL = writeImage(QStringLiteral("cached.png"), QSize(400, 300), Qt::darkMagenta);
    m_state->showClipboardPreview(cached, QRectF(200, 150, 26, 26));
    ASSERT_TRUE(m_column->bubble()->filePreview()->isVisible());
    addClip(QStringLiteral("4111 1111 1111 1111"), true);
    m_state->showClipboardPreview(m_clipboard->history().first(), QRectF(200, 150, 26, 26));
    QApplication::processEvents();
    EXPECT_EQ(m_column->bubble()->content(), ColumnRules::BubbleContent::Protected);
    EXPECT_FALSE(m_column->bubble()->textView()->isVisible());
    EXPECT_FALSE(m_column->bubble()->filePreview()->isVisible()) << "the picture before gives way";
    shot(*m_column, QStringLiteral("superpanel-column-masked-bubble"));
    m_settings.set(Settings::maskSensitiveClipboard, false);
    EXPECT_EQ(m_column->bubble()->content(), ColumnRules::BubbleContent::Text);
}

class SuperPanelGalleryTest : public SuperPanelColumnTest
{
protected:
    SuperPanelGalleryTest()
    {
        m_gallery = std::make_unique<SuperPanelGallery>(*m_state, services());
        m_gallery->resize(1100, 760);
        QApplication::processEvents();
    }

    static QStringList cardTexts(const QList<QWidget *> &cards)
    {
        QStringList texts;
        for (QWidget *card : cards)
            texts.append(static_cast<ExpandedClipboardCard *>(card)->item().text);
        return texts;
    }

    // The whole panel, as the program shows it, with a column and a gallery of its own.
    std::unique_ptr<SuperPanelOverlay> openWholePanel()
    {
        auto overlay = std::make_unique<SuperPanelOverlay>(*m_panel, m_scheduler);
        overlay->setColumn(new ClipboardShelfColumn(*m_state, services()));
        overlay->setGallery(new SuperPanelGallery(*m_state, services()));
        overlay->resize(1440, 900);
        overlay->show();
        m_panel->presentationChanged(true);
        m_scheduler.advance(0.05);
        QApplication::processEvents();
        return overlay;
    }

    std::unique_ptr<SuperPanelGallery> m_gallery;
};

TEST_F(SuperPanelGalleryTest, showsTheTwentyNewestClipsInTwoColumnsAndReflowsAfterADeletion)
{
    for (int i = 0; i < 25; ++i)
        addClip(QStringLiteral("clip %1").arg(i));
    EXPECT_FALSE(m_gallery->isGalleryShown());
    static_cast<QAbstractButton *>(m_column->clipboardGalleryButton())->click();
    QApplication::processEvents();
    ASSERT_TRUE(m_gallery->isVisible());
    EXPECT_EQ(m_gallery->titleText(), QStringLiteral("Clipboard Gallery"));
    ASSERT_EQ(m_gallery->leftCards().size(), 10);
    ASSERT_EQ(m_gallery->rightCards().size(), 10);
    EXPECT_EQ(cardTexts(m_gallery->leftCards()).first(), QStringLiteral("clip 24"));
    EXPECT_EQ(cardTexts(m_gallery->rightCards()).first(), QStringLiteral("clip 23"));
    EXPECT_EQ(cardTexts(m_gallery->leftCards()).last(), QStringLiteral("clip 6"));
    shot(*m_gallery, QStringLiteral("superpanel-gallery-clipboard"));

    const QPoint topLeft = m_gallery->leftCards().first()->pos();
    m_clipboard->deleteItem(m_clipboard->history().first());
    QApplication::processEvents();
    EXPECT_EQ(cardTexts(m_gallery->leftCards()).first(), QStringLiteral("clip 23"));
    EXPECT_EQ(cardTexts(m_gallery->rightCards()).first(), QStringLiteral("clip 22"));
    EXPECT_EQ(cardTexts(m_gallery->rightCards()).last(), QStringLiteral("clip 4"));
    // The cards spring across and end exactly where the columns place them.
    QWidget *moved = m_gallery->leftCards().first();
    EXPECT_NE(moved->pos(), topLeft) << "still on its way from the right column";
    // A card whose content changes on the way (its age ticks on) asks the columns to lay out again.
    m_scheduler.advance(0.05);
    const QPoint onTheWay = moved->pos();
    moved->updateGeometry();
    QApplication::processEvents();
    EXPECT_EQ(moved->pos(), onTheWay)
        << "the card jumped to its place when the columns were laid out on its way";
    m_scheduler.advance(1);
    QApplication::processEvents();
    EXPECT_EQ(moved->pos(), topLeft);
    m_clipboard->deleteItem(m_clipboard->history().first());
    m_scheduler.advance(0.05);
    m_gallery->hide();
    EXPECT_EQ(m_gallery->leftCards().first()->pos(), topLeft) << "hidden on its way, it stops in place";
}

// Both columns start at the top, and a card is as tall as its content at the width it was given:
// a picture card next to a text card stood lower and cut its picture off.
TEST_F(SuperPanelGalleryTest, bothColumnsStartAtTheTopAndCardsHoldTheirWholeContent)
{
    addImageClip(QColor(230, 120, 40));
    addClip(QStringLiteral("some text copied"));
    static_cast<QAbstractButton *>(m_column->clipboardGalleryButton())->click();
    QApplication::processEvents();
    m_scheduler.advance(1);
    QApplication::processEvents();
    ASSERT_EQ(m_gallery->leftCards().size(), 1);
    ASSERT_EQ(m_gallery->rightCards().size(), 1);
    auto *text = static_cast<ExpandedClipboardCard *>(m_gallery->leftCards().first());
    auto *picture = static_cast<ExpandedClipboardCard *>(m_gallery->rightCards().first());
    shot(*m_gallery, QStringLiteral("superpanel-gallery-clipboard-picture"));
    EXPECT_EQ(picture->y(), text->y());
    for (ExpandedClipboardCard *card : {text, picture})
        EXPECT_EQ(card->height(), card->heightForWidth(card->width())) << card->item().text.toStdString();
}

TEST_F(SuperPanelGalleryTest, aClickBesideTheGalleryClosesItAndKeepsThePanel)
{
    addShelfFile(QStringLiteral("notes.txt"));
    addShelfFile(QStringLiteral("photo.png"));
    static_cast<QAbstractButton *>(m_column->shelfGalleryButton())->click();
    QApplication::processEvents();
    EXPECT_EQ(m_gallery->titleText(), QStringLiteral("Shelf Gallery"));
    EXPECT_EQ(m_gallery->shelfGrid()->builtCells().size(), 2);
    shot(*m_gallery, QStringLiteral("superpanel-gallery-shelf"));

    // Inside the panel nothing closes.
    QTest::mouseClick(m_gallery.get(), Qt::LeftButton, {}, m_gallery->panelFrame().center());
    EXPECT_TRUE(m_panel->expandedSection().has_value());
    QTest::mouseClick(m_gallery.get(), Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_FALSE(m_panel->expandedSection().has_value());
    EXPECT_TRUE(m_presented);
    // It shrinks out first, then goes.
    EXPECT_TRUE(m_gallery->isTransitionRunning());
    m_scheduler.advance(1);
    EXPECT_FALSE(m_gallery->isVisible());
}

TEST_F(SuperPanelGalleryTest, eachLargePreviewHasItsSizeAndClosesOnlyByItsDimOrItsCloseButton)
{
    const ShelfItem file =
        addShelfFile(QStringLiteral("Quarterly Report.txt"), "Revenue up 4 %\nCosts flat\n");
    ClipboardItem picture = addImageClip(QColor(230, 120, 40));
    picture.imageURL = writeImage(QStringLiteral("capture.png"), QSize(1920, 1080), QColor(230, 120, 40));
    const ClipboardItem text = addClip(QStringLiteral("Gr\u00fc\u00dfe \U0001F44B\U0001F3FD aus K\u00f6ln"));
    PreviewLayerState &previews = m_state->previews();
    struct Row
    {
        const char *name;
        GalleryPreviewLayer *layer;
        SuperPanelState::ExpandedSection gallery;
        QSize size;
        QString title;
        QString count;
        std::function<void()> open;
    };
    const Row rows[] = {
        {"text", m_gallery->clipPreview(), SuperPanelState::ExpandedSection::clipboard, QSize(700, 500),
         QStringLiteral("Text Preview"), QStringLiteral("16 chars"),
         [&] { previews.openGalleryClipPreview(text); }},
        {"picture", m_gallery->clipPreview(), SuperPanelState::ExpandedSection::clipboard, QSize(700, 500),
         QStringLiteral("Image Preview"), QStringLiteral("17 chars"),
         [&] { previews.openGalleryClipPreview(picture); }},
        {"file", m_gallery->shelfPreview(), SuperPanelState::ExpandedSection::shelf, QSize(800, 600),
         QStringLiteral("Quarterly Report"), QString(), [&] { previews.openShelfPreviewFromGallery(file); }},
    };
    m_gallery->resize(1400, 900);
    for (const Row &row : rows) {
        m_panel->setExpandedSection(row.gallery);
        row.open();
        m_scheduler.advance(1);
        QApplication::processEvents();
        ASSERT_TRUE(row.layer->isVisible()) << row.name;
        EXPECT_EQ(row.layer->panelFrame().size(), row.size) << row.name;
        EXPECT_EQ(row.layer->titleText(), row.title) << row.name;
        EXPECT_EQ(row.layer->countText(), row.count) << row.name;
        shot(*m_gallery, QStringLiteral("superpanel-gallery-preview-%1").arg(QLatin1String(row.name)));
        if (QPlainTextEdit *shown = row.layer->textView(); shown && shown->isVisible()) {
            QTest::keyClick(shown, Qt::Key_End, Qt::ShiftModifier);
            EXPECT_EQ(shown->textCursor().selectedText().toStdString(), text.text.toStdString())
                << "the keyboard selects as the mouse does";
        }

        QTest::mouseClick(row.layer, Qt::LeftButton, {}, row.layer->panelFrame().topLeft() + QPoint(30, 30));
        EXPECT_TRUE(row.layer->isShown()) << row.name << ": a click inside keeps it";
        QTest::mouseClick(row.layer, Qt::LeftButton, {}, QPoint(5, 5));
        EXPECT_FALSE(row.layer->isShown()) << row.name;
        EXPECT_TRUE(m_panel->expandedSection().has_value()) << "the gallery under it stays";
        m_scheduler.advance(1);
        EXPECT_FALSE(row.layer->isVisible()) << row.name;

        row.open();
        m_scheduler.advance(1);
        static_cast<QAbstractButton *>(row.layer->closeButton())->click();
        m_scheduler.advance(1);
        EXPECT_FALSE(row.layer->isVisible()) << row.name;
    }
}

// Regression: the eye preview laid out the whole of one 100,000-character line (3.7 s on the main
// thread) and of 50,000 lines (1.1 s).
TEST_F(SuperPanelGalleryTest, previewsOfLongTextsShowTheirStartWhileCopyGivesTheWholeText)
{
    QString lines;
    for (int i = 0; i < 50000; ++i)
        lines += QStringLiteral("line %1\n").arg(i);
    const QString texts[] = {QStringLiteral("0123456789").repeated(10000), lines};
    m_panel->setExpandedSection(SuperPanelState::ExpandedSection::clipboard);
    for (const QString &text : texts) {
        addClip(text);
        ClipboardItemView *row = restOnTopEye();
        ASSERT_TRUE(m_column->bubble()->isVisible());
        QPlainTextEdit *bubble = m_column->bubble()->textView();
        const QString bubbleText = bubble->toPlainText();
        const int bubbleBlocks = bubble->document()->blockCount();
        m_state->previews().openGalleryClipPreview(m_clipboard->history().first());
        m_scheduler.advance(1);
        QApplication::processEvents();
        QPlainTextEdit *gallery = m_gallery->clipPreview()->textView();
        for (const auto &[shown, blocks] :
             {std::pair(bubbleText, bubbleBlocks),
              std::pair(gallery->toPlainText(), gallery->document()->blockCount())}) {
            EXPECT_LE(shown.size(), ItemRules::previewText.units + 1);
            EXPECT_LE(blocks, ItemRules::previewText.lines);
            EXPECT_TRUE(shown.endsWith(QStringLiteral("…")));
            EXPECT_TRUE(text.startsWith(shown.chopped(1)));
        }
        m_state->previews().closeGalleryClipPreview();
        m_scheduler.advance(1);
        const QPoint copy = row->buttonRect(ClipboardItemView::Copy).center().toPoint();
        row->pointerMoved(copy);
        QTest::mouseClick(row, Qt::LeftButton, {}, copy);
        ASSERT_FALSE(m_sim.pasteboard.writes().isEmpty());
        EXPECT_TRUE(m_sim.pasteboard.writes().last().text == text);
    }
    // Marks piled on letters stay inside their rows and cards; a zero-width start is skipped.
    const QString acute(1, QChar(0x0301));
    addClip(QString(100000, QChar(0x200D)) + QStringLiteral("seen after 100,000 zero-width joiners"));
    addClip(QStringLiteral("Zalgo: ") + (QStringLiteral("o") + acute.repeated(40)).repeated(8));
    for (QWidget *row : m_column->clipboardList()->builtCells())
        static_cast<ClipboardItemView *>(row)->pointerLeft();
    for (int turn = 0; turn < 3; ++turn) {
        m_scheduler.advance(1);
        QApplication::processEvents();
    }
    shot(*m_column, QStringLiteral("superpanel-column-hostile-texts"));
    shot(*m_gallery, QStringLiteral("superpanel-gallery-hostile-texts"));
}

struct LeaveCase
{
    const char *name;
    bool fromGallery;
    double leaveAfter;
    bool stillShown;
};

TEST_F(SuperPanelGalleryTest, theShelfPreviewClosesWhenThePointerLeavesItOnlyAfterTheGallerysSafePeriod)
{
    const ShelfItem file = addShelfFile(QStringLiteral("notes.txt"));
    const LeaveCase cases[] = {{"gallery, left at once", true, 0.2, true},
                               {"gallery, left later", true, 0.6, false},
                               {"tile, left later", false, 5.0, true}};
    GalleryPreviewLayer *layer = m_gallery->shelfPreview();
    for (const LeaveCase &c : cases) {
        if (c.fromGallery)
            m_state->previews().openShelfPreviewFromGallery(file);
        else
            m_state->previews().toggleShelfPreview(file);
        m_scheduler.advance(c.leaveAfter);
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(layer->panel(), &leave);
        EXPECT_EQ(layer->isShown(), c.stillShown) << c.name;
        m_state->previews().closeShelfPreview();
        m_scheduler.advance(1);
    }
}

TEST_F(SuperPanelGalleryTest, aPreviewLeavingWhenThePanelHidesIsGoneWhenItShowsAgain)
{
    const ClipboardItem clip = addClip(QStringLiteral("hello"));
    QWidget panel;
    panel.resize(1400, 900);
    auto *gallery = new SuperPanelGallery(*m_state, services(), &panel);
    gallery->resize(panel.size());
    panel.show();
    GalleryPreviewLayer *layer = gallery->clipPreview();
    m_state->previews().openGalleryClipPreview(clip);
    m_scheduler.advance(1);
    ASSERT_TRUE(layer->isVisible());
    static_cast<QAbstractButton *>(layer->closeButton())->click();
    ASSERT_TRUE(layer->isTransitionRunning());
    panel.hide();
    panel.show();
    EXPECT_FALSE(layer->isVisible());
    EXPECT_FALSE(gallery->isVisible());

    // Closing the panel clears the previews at once, without their spring.
    m_state->previews().openGalleryClipPreview(clip);
    m_scheduler.advance(1);
    m_panel->dismiss();
    EXPECT_FALSE(layer->isVisible());
    EXPECT_FALSE(layer->isTransitionRunning());
}

// Quick Look on a link item opened the web browser (and, with none, did nothing) instead of showing
// the item's file in the preview panel as it does for any other file.
TEST_F(SuperPanelGalleryTest, aLinkTilesEyeShowsItsStoredFileInThePreviewPanel)
{
    ASSERT_TRUE(m_shelf->processWebLink(QUrl(QStringLiteral("https://example.org/guide"))));
    m_scheduler.advance(0.1);
    QApplication::processEvents();
    ASSERT_EQ(m_shelf->items().size(), 1);
    const ShelfItem link = m_shelf->items().first();
    const std::unique_ptr<SuperPanelOverlay> whole = openWholePanel();
    SuperPanelOverlay &overlay = *whole;
    auto *column = overlay.findChild<ClipboardShelfColumn *>();

    GalleryPreviewLayer *preview = overlay.findChild<SuperPanelGallery *>()->shelfPreview();
    auto *tile = static_cast<ShelfItemView *>(column->shelfGrid()->builtCells().first());
    tile->pointerMoved(QPointF(tile->rect().center()));
    QTest::mouseClick(tile, Qt::LeftButton, {}, tile->buttonRect(ShelfItemView::Eye).center().toPoint());
    const bool loaded = QTest::qWaitFor(
        [&] {
            m_scheduler.advance(0.1);
            return preview->fileView() && !preview->fileView()->isLoading();
        },
        5000);
    EXPECT_TRUE(m_opened.isEmpty()) << "Quick Look handed the link on: " << m_opened.join(", ").toStdString();
    ASSERT_TRUE(preview->isShown()) << "the preview panel stayed shut";
    ASSERT_TRUE(loaded) << "the preview never showed the link's file";
    EXPECT_EQ(preview->fileView()->url(), link.url);
    EXPECT_EQ(preview->fileView()->shownKind(), UniversalQuickLookView::Kind::Text)
        << "the stored link shows as its text, which holds the address";
    shot(overlay, QStringLiteral("superpanel-link-preview"));
}

TEST_F(SuperPanelGalleryTest, theColumnSitsBesideTheWindowsInTheWholePanel)
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    m_panel->setLanguage(AppLanguage::german);
    m_windows.setWindows(sampleWindows(6));
    addImageClip(QColor(230, 120, 40));
    addClip(QStringLiteral("Besprechung um 15 Uhr verschoben"));
    addClip(QStringLiteral("sk-live-4f9a8b7c6d5e4f3a2b1c"), true);
    addShelfFile(QStringLiteral("Rechnung.pdf"));
    const std::unique_ptr<SuperPanelOverlay> whole = openWholePanel();
    SuperPanelOverlay &overlay = *whole;
    auto *column = overlay.findChild<ClipboardShelfColumn *>();
    EXPECT_TRUE(column->isVisible());
    EXPECT_EQ(column->width(), SuperPanelOverlay::rightColumnWidth);
    EXPECT_EQ(column->clipboardList()->builtCells().size(), 3);
    shot(overlay, QStringLiteral("superpanel-column-german"));
    QLocale::setDefault(QLocale::c());

    // A tile's eye opens the file preview, which dims the whole screen to its bottom edge; a second
    // click closes it.
    auto *gallery = overlay.findChild<SuperPanelGallery *>();
    GalleryPreviewLayer *preview = gallery->shelfPreview();
    auto *tile = static_cast<ShelfItemView *>(column->shelfGrid()->builtCells().first());
    tile->pointerMoved(QPointF(tile->rect().center()));
    const QPoint eye = tile->buttonRect(ShelfItemView::Eye).center().toPoint();
    QTest::mouseClick(tile, Qt::LeftButton, {}, eye);
    EXPECT_EQ(QRect(preview->mapTo(&overlay, QPoint()), preview->size()), overlay.rect());
    tile->pointerMoved(eye);
    QTest::mouseClick(tile, Qt::LeftButton, {}, eye);
    EXPECT_FALSE(preview->isShown());
    EXPECT_FALSE(gallery->isVisible());

    // A gallery centres on the window area, which blurs behind it until the gallery closes.
    static_cast<QAbstractButton *>(column->clipboardGalleryButton())->click();
    m_scheduler.advance(1);
    QApplication::processEvents();
    const QRect area(overlay.windowArea()->mapTo(&overlay, QPoint()), overlay.windowArea()->size());
    EXPECT_EQ(gallery->mapTo(&overlay, gallery->panelFrame().center()), area.center());
    EXPECT_NE(overlay.windowArea()->graphicsEffect(), nullptr);
    shot(overlay, QStringLiteral("superpanel-gallery-over-grid"));
    // Closed over its gallery, the panel opens again on the windows.
    m_panel->dismiss();
    m_panel->presentationChanged(m_presented = true);
    m_scheduler.advance(1);
    EXPECT_FALSE(gallery->isVisible());
    EXPECT_EQ(overlay.windowArea()->graphicsEffect(), nullptr);
}

TEST_F(SuperPanelColumnTest, aDeletionSpringsTheRowsBelowUpAndClearingLeavesNoFadingRowBehind)
{
    addClip(QStringLiteral("oldest"));
    addClip(QStringLiteral("middle"));
    const ClipboardItem newest = addClip(QStringLiteral("newest"));
    QApplication::processEvents();
    LazyItemGrid &list = *m_column->clipboardList();
    QWidget *middle = list.cellAt(1);
    const QRect top = list.cellAt(0)->geometry();
    m_clipboard->deleteItem(newest);
    QApplication::processEvents();
    EXPECT_TRUE(list.isAnimating());
    EXPECT_NE(middle->geometry(), top) << "still on its way up";
    m_scheduler.advance(1);
    EXPECT_EQ(list.cellAt(0), middle);
    EXPECT_EQ(middle->geometry(), top);

    m_clipboard->clearHistory();
    QApplication::processEvents();
    EXPECT_TRUE(list.isAnimating()) << "the rows fade out";
    EXPECT_EQ(list.widget()->findChildren<QLabel *>(Qt::FindDirectChildrenOnly).size(), 2)
        << "both rows fade, not only the last one removed";
    m_scheduler.advance(1);
    QApplication::processEvents();
    EXPECT_FALSE(list.isAnimating());
    const QList<QWidget *> left = list.widget()->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
    EXPECT_TRUE(std::none_of(left.begin(), left.end(), [](QWidget *child) { return child->isVisible(); }));
}

TEST_F(SuperPanelColumnTest, extractTextCopiesOnlyTextThatWasFound)
{
    m_shelf->addItem(writeImage(QStringLiteral("scan.png"), QSize(40, 20), Qt::white));
    m_scheduler.advance(0.1);
    const ShelfItem image = m_shelf->items().value(0);
    ASSERT_TRUE(image.type.startsWith(QStringLiteral("image/")));
    auto extract = [&] {
        QMenu *menu = ExpandedShelfCard::shelfMenu(nullptr, image, *m_shelf, m_sim.pasteboard, {}, {}, true);
        for (QAction *action : menu->actions()) {
            if (action->text() == QStringLiteral("Extract Text"))
                action->trigger();
        }
        delete menu;
        m_scheduler.advance(4);
    };
    m_sim.textRecognizer.script({QString(), QStringLiteral("Invoice 2026-114")});
    extract();
    EXPECT_TRUE(m_sim.pasteboard.writes().isEmpty()) << "nothing found must leave the clipboard as it was";
    extract();
    ASSERT_EQ(m_sim.pasteboard.writes().size(), 1);
    EXPECT_EQ(m_sim.pasteboard.writes().first().text, QStringLiteral("Invoice 2026-114"));
}
