#include <QSignalSpy>

#include <gtest/gtest.h>

#include "runtime/manualscheduler.h"
#include "views/superpanel/columnrules.h"
#include "views/superpanel/columnstate.h"
#include "views/superpanel/superpanelstate.h"
#include "windows/windowlistmodel.h"

using namespace qv;

namespace {

ClipboardItem clip(const QString &text)
{
    ClipboardItem item;
    item.id = QUuid::createUuid();
    item.text = text;
    return item;
}

ShelfItem shelfItem(const QString &name)
{
    ShelfItem item;
    item.id = QUuid::createUuid();
    item.url = QUrl::fromLocalFile(QStringLiteral("/tmp/") + name);
    return item;
}

} // namespace

TEST(ColumnRules, splitTakesTheBottomInsetOnlyWhenThereIsOne)
{
    struct Row
    {
        double height;
        double bottomInset;
        double clipboard;
        double shelf;
        double bottomSpacer;
    };
    // A = H - 60 - (B, else 20) - 20, shared 0.6 / 0.4.
    for (const Row &row : {Row{900, 0, 480, 320, 20}, Row{900, 40, 468, 312, 10}, Row{50, 0, 0, 0, 20}}) {
        const ColumnRules::Split split = ColumnRules::split(row.height, QMarginsF(0, 0, 0, row.bottomInset));
        EXPECT_DOUBLE_EQ(split.clipboard, row.clipboard) << row.height << " " << row.bottomInset;
        EXPECT_DOUBLE_EQ(split.shelf, row.shelf) << row.height << " " << row.bottomInset;
        EXPECT_DOUBLE_EQ(split.bottom, row.bottomSpacer);
        EXPECT_DOUBLE_EQ(split.top, 60);
    }
}

TEST(ColumnRules, charCountCountsWhatAPersonSees)
{
    EXPECT_EQ(ColumnRules::charCount(QStringLiteral("0123456789")), QStringLiteral("10 chars"));
    EXPECT_EQ(ColumnRules::charCount(QString()), QStringLiteral("0 chars"));
    // A family emoji (7 code units joined) and an e with a combining accent are one each.
    EXPECT_EQ(ColumnRules::charCount(QStringLiteral("👨‍👩‍👧e\u0301")), QStringLiteral("2 chars"));
}

TEST(ColumnRules, galleryKeepsTheTwentyNewestSplitByPosition)
{
    QList<int> history;
    for (int i = 0; i < 25; ++i)
        history.append(i);
    const auto columns = ColumnRules::galleryColumns(history);
    EXPECT_EQ(columns.left, (QList<int>{0, 2, 4, 6, 8, 10, 12, 14, 16, 18}));
    EXPECT_EQ(columns.right, (QList<int>{1, 3, 5, 7, 9, 11, 13, 15, 17, 19}));
    const auto one = ColumnRules::galleryColumns(QList<int>{7});
    EXPECT_EQ(one.left, QList<int>{7});
    EXPECT_TRUE(one.right.isEmpty());
}

TEST(ColumnRules, bubbleContentFollowsTheItemAndMasking)
{
    ClipboardItem image = clip(QStringLiteral("Image • 10×10"));
    image.isImage = true;
    EXPECT_EQ(ColumnRules::bubbleContent(image, true), ColumnRules::BubbleContent::Nothing);
    image.imageURL = QUrl::fromLocalFile(QStringLiteral("/tmp/a.png"));
    EXPECT_EQ(ColumnRules::bubbleContent(image, true), ColumnRules::BubbleContent::File);
    image.thumbnail = ItemThumbnail(QImage(4, 4, QImage::Format_RGB32));
    EXPECT_EQ(ColumnRules::bubbleContent(image, true), ColumnRules::BubbleContent::Thumbnail);
    ClipboardItem secret = clip(QStringLiteral("••••••••"));
    secret.isSensitive = true;
    EXPECT_EQ(ColumnRules::bubbleContent(secret, true), ColumnRules::BubbleContent::Protected);
    EXPECT_EQ(ColumnRules::bubbleContent(secret, false), ColumnRules::BubbleContent::Text);
    // Placement: centred in the 320 column, 25 below the eye's middle, not clamped.
    EXPECT_EQ(ColumnRules::bubbleFrame(320, 900, 100, true), QRectF(15, 825, 290, 240));
    EXPECT_EQ(ColumnRules::bubbleFrame(320, 200, 100, false), QRectF(15, 125, 290, 180));
}

class ColumnStateTest : public ::testing::Test
{
protected:
    ColumnStateTest()
        : panel(windows, scheduler, SuperPanelActions(),
                SuperPanelState::Presented{[this] { return presented; },
                                           [this](bool shown) {
                                               presented = shown;
                                               panel.presentationChanged(shown);
                                           }}),
          state(panel, scheduler, [this](const QUrl &url, bool reveal, std::function<void(bool)> done) {
              opened.append((reveal ? QStringLiteral("reveal:") : QStringLiteral("open:")) + url.fileName());
              revealAnswer = std::move(done);
          })
    {
        presented = true;
        panel.presentationChanged(true);
    }

    // What a row does when the pointer rests on its eye.
    void restOnEye(const ClipboardItem &item)
    {
        state.activeItemID().setValue(item.id);
        state.showClipboardPreview(item, QRectF(280, 200, 26, 26));
    }
    QString shown() const
    {
        return state.clipboardPreviewItem() ? state.clipboardPreviewItem()->text : QString();
    }

    ManualScheduler scheduler;
    WindowListModel windows;
    bool presented = false;
    SuperPanelState panel;
    QStringList opened;
    // The file manager's answer to the last reveal, still to be given.
    std::function<void(bool)> revealAnswer;
    SuperPanelColumnState state;
};

TEST_F(ColumnStateTest, eyeHandshake)
{
    const ClipboardItem a = clip(QStringLiteral("A"));
    const ClipboardItem b = clip(QStringLiteral("B"));

    // A then B within 0.2 s: A's check finds B active and does nothing.
    restOnEye(a);
    state.scheduleClipboardPreviewHide(a.id);
    scheduler.advance(0.1);
    restOnEye(b);
    scheduler.advance(0.15);
    EXPECT_EQ(shown(), QStringLiteral("B"));

    // Reaching the bubble within 0.2 s keeps it.
    state.scheduleClipboardPreviewHide(b.id);
    scheduler.advance(0.1);
    state.bubbleHoverChanged(true);
    scheduler.advance(0.5);
    EXPECT_EQ(shown(), QStringLiteral("B"));

    // Leaving the bubble and coming back within 0.08 s keeps it.
    state.bubbleHoverChanged(false);
    scheduler.advance(0.05);
    state.bubbleHoverChanged(true);
    scheduler.advance(0.1);
    EXPECT_EQ(shown(), QStringLiteral("B"));

    // Leaving it for good closes it 0.08 s later.
    state.bubbleHoverChanged(false);
    scheduler.advance(0.07);
    EXPECT_EQ(shown(), QStringLiteral("B"));
    scheduler.advance(0.02);
    EXPECT_EQ(shown(), QString());
    EXPECT_TRUE(state.activeItemID().value().isNull());
    EXPECT_FALSE(state.isBubbleHovered());
}

TEST_F(ColumnStateTest, aTileEyeTogglesThePreviewAndNeverEndsTheSafePeriod)
{
    const ShelfItem one = shelfItem(QStringLiteral("one.txt"));
    const ShelfItem two = shelfItem(QStringLiteral("two.txt"));
    state.previews().toggleShelfPreview(one);
    EXPECT_EQ(state.previews().galleryPreviewItem()->id, one.id);
    scheduler.advance(2);
    EXPECT_TRUE(state.previews().isPreviewSafePeriod());
    state.previews().toggleShelfPreview(two);
    EXPECT_EQ(state.previews().galleryPreviewItem()->id, two.id);
    state.previews().toggleShelfPreview(two);
    EXPECT_FALSE(state.previews().galleryPreviewItem().has_value());

    // From the gallery the safe period ends 0.5 s after the first opening.
    state.previews().openShelfPreviewFromGallery(one);
    scheduler.advance(0.3);
    state.previews().openShelfPreviewFromGallery(two);
    scheduler.advance(0.25);
    EXPECT_FALSE(state.previews().isPreviewSafePeriod());
}

// A link's eye opened its web page in the browser (and with no browser did nothing at all) instead of
// showing the item's stored file in the preview panel.
TEST_F(ColumnStateTest, aLinksEyePreviewsItsStoredFileAndNeverOpensTheBrowser)
{
    ShelfItem link = shelfItem(QStringLiteral("Example.webloc"));
    link.originalWebURL = QUrl(QStringLiteral("https://example.org/guide"));
    using Eye = SuperPanelColumnState::ShelfEye;
    for (const Eye eye : {Eye::columnTile, Eye::galleryCard}) {
        state.previews().closeShelfPreview();
        state.previewShelfItem(link, eye);
        ASSERT_TRUE(state.previews().galleryPreviewItem().has_value()) << "the preview panel stayed shut";
        EXPECT_EQ(state.previews().galleryPreviewItem()->url, link.url);
        scheduler.advance(0.2);
        EXPECT_TRUE(opened.isEmpty()) << "handed to the browser: " << opened.join(", ").toStdString();
    }
}

// An item dragged out of the panel: taken by another program once the panel stepped aside, the panel
// closes; let go where nothing took it, the panel comes back; dropped on the panel's own shelf
// before it left, nothing changes.
TEST_F(ColumnStateTest, aDragOutClosesThePanelOnlyWhenAnotherProgramTookItAfterThePanelSteppedAside)
{
    struct Case
    {
        const char *name;
        bool left;
        bool taken;
        bool stillPresented;
    };
    for (const Case &row : {Case{"taken below", true, true, false}, Case{"let go", true, false, true},
                            Case{"onto the shelf", false, true, true}}) {
        SCOPED_TRACE(row.name);
        presented = true;
        panel.presentationChanged(true);
        int changes = 0;
        const auto watch = QObject::connect(&panel, &SuperPanelState::steppedAsideChanged, [&] { ++changes; });
        if (row.left) {
            panel.stepAsideForDrag();
            panel.stepAsideForDrag();
            EXPECT_TRUE(panel.isSteppedAside());
        }
        panel.dragOutEnded(row.taken);
        QObject::disconnect(watch);
        EXPECT_FALSE(panel.isSteppedAside()) << "the panel stayed aside after the drag";
        EXPECT_EQ(presented, row.stillPresented);
        EXPECT_EQ(changes, row.left ? 2 : 0);
    }
}

TEST_F(ColumnStateTest, openingAShelfFileDismissesAtOnceAndOpensItLater)
{
    const ClipboardItem a = clip(QStringLiteral("A"));
    restOnEye(a);
    state.previews().toggleShelfPreview(shelfItem(QStringLiteral("x.txt")));
    panel.setExpandedSection(SuperPanelState::ExpandedSection::shelf);
    state.openShelfURL(QUrl::fromLocalFile(QStringLiteral("/tmp/report.pdf")), false);
    EXPECT_FALSE(presented);
    EXPECT_FALSE(panel.expandedSection().has_value());
    EXPECT_FALSE(state.previews().galleryPreviewItem().has_value());
    EXPECT_EQ(shown(), QString());
    EXPECT_TRUE(opened.isEmpty());
    scheduler.advance(0.2);
    EXPECT_EQ(opened, QStringList{QStringLiteral("open:report.pdf")});
}

// Regression: with no file manager, Show in File Manager closed the panel and nothing showed the
// file; only the console said so.
TEST_F(ColumnStateTest, aRevealClosesThePanelOnlyOnceAFileManagerHasTheFileElseItSaysSo)
{
    QSignalSpy notices(&panel, &SuperPanelState::noticeRequested);
    const QUrl file = QUrl::fromLocalFile(QStringLiteral("/tmp/report.pdf"));
    state.openShelfURL(file, true);
    revealAnswer(false);
    EXPECT_TRUE(presented);
    ASSERT_EQ(notices.size(), 1);
    EXPECT_EQ(notices.at(0).at(0).toString(), "No file manager could show this file.");
    state.openShelfURL(file, true);
    revealAnswer(true);
    EXPECT_FALSE(presented);

    // An answer that comes after the panel closed and opened again leaves the new one open.
    panel.presentationChanged(presented = true);
    state.openShelfURL(file, true);
    panel.dismiss();
    panel.presentationChanged(presented = true);
    revealAnswer(true);
    EXPECT_TRUE(presented);
}
