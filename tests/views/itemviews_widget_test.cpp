#include <QImageWriter>
#include <QMenu>
#include <QMimeData>
#include <QRegularExpression>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include "clipboard/clipboardmanager.h"
#include "core/settingskeys.h"
#include "views/items/clipboarditemview.h"
#include "views/items/edgeclipcard.h"
#include "views/items/edgeshelftile.h"
#include "views/items/expandedclipboardcard.h"
#include "views/items/expandedshelfcard.h"
#include "views/items/safeimagepreview.h"
#include "views/items/shelfitemview.h"
#include "support/textfit.h"
#include "views/itemviewsfixture.h"

using namespace qv;

namespace {

const QDateTime captured = QDateTime::fromSecsSinceEpoch(qint64(1.7e9) - 185);

ClipboardItem textItem(const QString &text, bool sensitive = false,
                       const QString &device = QStringLiteral("This Mac"))
{
    ClipboardItem item;
    item.id = QUuid::createUuid();
    item.text = text;
    item.date = captured;
    item.deviceSource = device;
    item.isSensitive = sensitive;
    return item;
}

ClipboardItem imageItem(const QColor &color, const QString &device = QStringLiteral("This Mac"))
{
    ClipboardItem item = textItem(QStringLiteral("Image • 1920×1080"), false, device);
    item.isImage = true;
    item.imageSize = QSize(1920, 1080);
    QImage picture(320, 180, QImage::Format_RGB32);
    picture.fill(color);
    item.thumbnail = ItemThumbnail(picture);
    return item;
}

// --- Safe image preview ---------------------------------------------------------------------

class SafeImagePreviewTest : public ItemViewsTest
{
};

TEST_F(SafeImagePreviewTest, DecodesUprightAndBoundedOnlyWhenTheQueueRuns)
{
    QImage portrait(300, 200, QImage::Format_RGB32);
    portrait.fill(Qt::blue);
    QImageWriter writer(path(QStringLiteral("rotated.jpg")), "jpeg");
    writer.setTransformation(QImageIOHandler::TransformationRotate90);
    ASSERT_TRUE(writer.write(portrait));
    const QUrl big = writeImage(QStringLiteral("big.jpg"), QSize(6000, 4000), Qt::darkGreen, "JPG");

    SafeImagePreview rotated(QUrl::fromLocalFile(path(QStringLiteral("rotated.jpg"))), 1200, decodeQueue(),
                             m_scheduler);
    SafeImagePreview large(big, 1200, decodeQueue(), m_scheduler);
    rotated.resize(200, 200);
    large.resize(300, 200);
    rotated.show();
    large.show();
    EXPECT_EQ(large.state(), SafeImagePreview::State::Loading);
    shot(large, QStringLiteral("safeimagepreview-loading"));

    m_scheduler.runPending();
    ASSERT_EQ(rotated.state(), SafeImagePreview::State::Loaded);
    EXPECT_EQ(rotated.pixmap().size(), QSize(200, 300));
    ASSERT_EQ(large.state(), SafeImagePreview::State::Loaded);
    EXPECT_EQ(large.pixmap().size(), QSize(1200, 800));
    shot(large, QStringLiteral("safeimagepreview-loaded"));
}

TEST_F(SafeImagePreviewTest, MissingAndNonImageFilesFailInsteadOfSpinning)
{
    const QUrl lying = writeFile(QStringLiteral("notes.png"), "just some text, not a picture");
    for (const QUrl &url : {QUrl::fromLocalFile(path(QStringLiteral("missing.png"))), lying, QUrl()}) {
        SafeImagePreview preview(url, 400, decodeQueue(), m_scheduler);
        preview.resize(120, 80);
        preview.show();
        m_scheduler.runPending();
        EXPECT_EQ(preview.state(), SafeImagePreview::State::Failed) << url.toString().toStdString();
        shot(preview, QStringLiteral("safeimagepreview-failed"));
    }
}

TEST_F(SafeImagePreviewTest, ANewUrlReloadsAndALateResultOfTheOldUrlIsDropped)
{
    const QUrl first = writeImage(QStringLiteral("first.png"), QSize(400, 100), Qt::red);
    const QUrl second = writeImage(QStringLiteral("second.png"), QSize(100, 400), Qt::green);
    auto queue = std::make_shared<HeldQueue>();
    SafeImagePreview preview(first, 200, queue, m_scheduler);
    preview.show();
    queue->runNewestFirst();
    m_scheduler.runPending();
    ASSERT_EQ(preview.pixmap().size(), QSize(200, 50));

    preview.load(); // another appearance: a load of the first file is still on its way
    preview.setUrl(second);
    EXPECT_EQ(preview.state(), SafeImagePreview::State::Loading) << "the first file's picture must go";
    queue->runNewestFirst();
    m_scheduler.runPending();
    EXPECT_EQ(preview.pixmap().size(), QSize(50, 200));
    EXPECT_EQ(preview.pixmap().toImage().pixelColor(25, 100), QColor(Qt::green));
}

// --- Clipboard row --------------------------------------------------------------------------

class ClipboardRowTest : public ItemViewsTest
{
protected:
    std::unique_ptr<ClipboardItemView> row(const ClipboardItem &item)
    {
        ClipboardItemView::Actions actions;
        actions.onCopy = [this] { ++copies; };
        actions.onDelete = [this] { ++deletes; };
        actions.onShowPreview = [this](const QRectF &frame) {
            ++shows;
            lastFrame = frame;
        };
        actions.onEyeLeave = [this] { ++leaves; };
        auto view = std::make_unique<ClipboardItemView>(item, active, m_settings, actions, m_ages);
        view->resize(340, 48);
        return view;
    }

    ActiveItemID active;
    int copies = 0, deletes = 0, shows = 0, leaves = 0;
    QRectF lastFrame;
};

TEST_F(ClipboardRowTest, SensitiveTextIsEightBulletsUntilMaskingIsTurnedOff)
{
    auto view = row(textItem(QStringLiteral("abc"), true));
    EXPECT_EQ(view->titleText(), QString(8, QChar(0x2022))) << "no stored value counts as masking on";
    shot(*view, QStringLiteral("clipboardrow-masked"));
    m_settings.set(Settings::maskSensitiveClipboard, false);
    EXPECT_EQ(view->titleText(), QStringLiteral("abc"));
    shot(*view, QStringLiteral("clipboardrow-unmasked"));

    auto picture = row(imageItem(Qt::red));
    EXPECT_EQ(picture->titleText(), QStringLiteral("Image • 1920×1080"));
    m_ages.setLanguage(AppLanguage::polish);
    EXPECT_EQ(picture->titleText(), QStringLiteral("Obraz • 1920×1080"));
}

TEST_F(ClipboardRowTest, ARemoteImageShowsThePhoneAndALocalOneItsThumbnail)
{
    auto remote = row(imageItem(Qt::red, QStringLiteral("iPhone/iPad")));
    auto local = row(imageItem(Qt::red));
    const QRect tile(10, 12, 24, 24);
    const QImage remoteSeen = seen(*remote);
    EXPECT_EQ(countPixels(remoteSeen, tile, isRed), 0);
    EXPECT_GT(countPixels(remoteSeen, tile, isCyan), 10);
    EXPECT_GT(countPixels(seen(*local), tile, isRed), 400);
    shot(*remote, QStringLiteral("clipboardrow-remote"));
    shot(*local, QStringLiteral("clipboardrow-image"));
}

TEST_F(ClipboardRowTest, EyeThenOutOfTheRowShowsOnceAndLeavesOnce)
{
    auto view = row(textItem(QStringLiteral("hello")));
    auto other = row(textItem(QStringLiteral("other")));
    view->show();
    other->pointerMoved(QPointF(60, 20));
    other->pointerLeft();
    m_scheduler.runPending();
    EXPECT_EQ(shows + leaves, 0) << "moving along a row without touching the eye calls neither";

    view->pointerMoved(QPointF(60, 20));
    const QPointF eye = view->buttonRect(ClipboardItemView::Eye).center();
    view->pointerMoved(eye);
    EXPECT_EQ(shows, 0) << "not inside the hover callback";
    view->pointerMoved(eye + QPointF(1, 1));
    m_scheduler.runPending();
    EXPECT_EQ(shows, 1);
    EXPECT_EQ(active.value(), view->item().id);
    EXPECT_EQ(lastFrame.size(), QSizeF(26, 26));
    shot(*view, QStringLiteral("clipboardrow-hovered-eye"));
    const QRect trash = view->buttonRect(ClipboardItemView::Trash).toRect();
    view->pointerMoved(trash.center()); // and out of the row from the trash
    view->pointerLeft();
    EXPECT_EQ(leaves, 1);
    EXPECT_EQ(active.value(), view->item().id) << "the owner closes the bubble, not the row";
    EXPECT_FALSE(view->buttonRect(ClipboardItemView::Eye).isEmpty()) << "the strip stays while active";
    EXPECT_EQ(countPixels(seen(*view), trash, isRed), 0) << "the trash no longer lit";
}

// Scrolling the list moved the row's parent, not the row, so the eye's frame stayed where the row
// had been.
TEST_F(ClipboardRowTest, ScrollingTheListUpdatesTheEyeFrame)
{
    QScrollArea area;
    auto *content = new QWidget;
    content->resize(340, 1000);
    auto view = row(textItem(QStringLiteral("hello")));
    view->setParent(content);
    view->move(0, 400);
    area.setWidget(content);
    area.resize(360, 300);
    area.show();
    const double before = view->eyeGlobalFrame().top();
    area.verticalScrollBar()->setValue(250);
    EXPECT_DOUBLE_EQ(view->eyeGlobalFrame().top(), before - 250);
    view->setParent(nullptr); // the fixture owns the row
}

TEST_F(ClipboardRowTest, DeletingTheActiveRowClearsTheActiveIdAndAnotherRowLeavesIt)
{
    auto first = row(textItem(QStringLiteral("one")));
    auto second = row(textItem(QStringLiteral("two")));
    active.setValue(first->item().id);
    second->pointerMoved(QPointF(10, 10));
    QTest::mouseClick(second.get(), Qt::LeftButton, {},
                      second->buttonRect(ClipboardItemView::Trash).center().toPoint());
    EXPECT_EQ(deletes, 1);
    EXPECT_EQ(active.value(), first->item().id);
    QTest::mouseClick(first.get(), Qt::LeftButton, {},
                      first->buttonRect(ClipboardItemView::Trash).center().toPoint());
    EXPECT_EQ(deletes, 2);
    EXPECT_TRUE(active.value().isNull());
}

// --- Shelf tile -------------------------------------------------------------------------------

class ShelfTileTest : public ItemViewsTest
{
protected:
    ShelfItem shelfItem(const QString &name, const QColor &color = Qt::white)
    {
        ShelfItem item;
        item.id = QUuid::createUuid();
        item.url = QUrl::fromLocalFile(path(name));
        item.date = captured;
        QImage picture(64, 64, QImage::Format_RGB32);
        picture.fill(color);
        item.thumbnail = ItemThumbnail(picture);
        return item;
    }
};

TEST_F(ShelfTileTest, APendingLinkIsDimmedUntilItsMetadataArrives)
{
    ShelfItem link = shelfItem(QStringLiteral("0b7c.webloc"));
    ShelfItemView view(link, {}, {}, m_ages);
    view.resize(110, 100);
    const QPoint corner = view.thumbnailRect().topLeft().toPoint() + QPoint(2, 2);
    EXPECT_NEAR(seen(view).pixelColor(corner).red(), 140, 20) << "half opacity over the well";
    shot(view, QStringLiteral("shelftile-link-pending"));
    link.isWebFetched = true;
    link.customName = QStringLiteral("Example Domain");
    view.setItem(link);
    EXPECT_EQ(seen(view).pixelColor(corner).red(), 255);
    shot(view, QStringLiteral("shelftile-link-fetched"));

    ShelfItemView shouting(shelfItem(QStringLiteral("page.WEBLOC")), {}, {}, m_ages);
    shouting.resize(110, 100);
    EXPECT_EQ(seen(shouting).pixelColor(corner).red(), 255);
}

TEST_F(ShelfTileTest, LongNamesKeepBothEndsAndWideThumbnailsAreLetterBoxed)
{
    ShelfItem item =
        shelfItem(QStringLiteral("Quarterly revenue projections for the northern region final.pdf"));
    QImage picture(1000, 100, QImage::Format_RGB32);
    picture.fill(Qt::gray);
    item.thumbnail = ItemThumbnail(picture);
    ShelfItemView view(item, {}, {}, m_ages);
    view.resize(110, 100);
    EXPECT_TRUE(view.shownName().startsWith(QStringLiteral("Qua")));
    EXPECT_TRUE(view.shownName().endsWith(QStringLiteral("nal")));
    EXPECT_TRUE(view.shownName().contains(QChar(0x2026)));
    EXPECT_EQ(view.wellRect().height(), ShelfItemView::wellHeight);
    EXPECT_NEAR(view.thumbnailRect().width(), view.wellRect().width() - 16, 0.5);
    shot(view, QStringLiteral("shelftile-longname"));
}

TEST_F(ShelfTileTest, ButtonsExistOnlyWhileThePointerIsOnTheTile)
{
    int previews = 0, deletes = 0;
    ShelfItemView view(
        shelfItem(QStringLiteral("Report 2.pdf")), [&] { ++previews; }, [&] { ++deletes; }, m_ages);
    view.resize(110, 100);
    EXPECT_TRUE(view.buttonRect(ShelfItemView::Eye).isEmpty());
    view.pointerMoved(QPointF(50, 20));
    const QPoint eye = view.buttonRect(ShelfItemView::Eye).center().toPoint();
    m_scheduler.advance(1.0);
    shot(view, QStringLiteral("shelftile-hovered"));
    view.pointerLeft();
    QTest::mouseClick(&view, Qt::LeftButton, {}, eye);
    EXPECT_EQ(previews, 0);
    view.pointerMoved(QPointF(50, 20));
    QTest::mouseClick(&view, Qt::LeftButton, {}, eye);
    QTest::mouseClick(&view, Qt::LeftButton, {}, view.buttonRect(ShelfItemView::Trash).center().toPoint());
    EXPECT_EQ(previews, 1);
    EXPECT_EQ(deletes, 1);
}

// Counts the paint events a widget gets.
class PaintCount : public QObject
{
public:
    explicit PaintCount(QWidget &widget) { widget.installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        count += event->type() == QEvent::Paint;
        return false;
    }
};

// The hover look is drawn as its spring moves: without a repaint at each step the tile stayed as it
// was until something else redrew it.
TEST_F(ShelfTileTest, TheHoverLookIsRepaintedAsItComesAndGoes)
{
    ShelfItemView view(shelfItem(QStringLiteral("Report 3.pdf")), {}, {}, m_ages);
    view.resize(110, 100);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    PaintCount paints(view);
    for (const bool hovered : {true, false}) {
        if (hovered)
            view.pointerMoved(QPointF(50, 20));
        else
            view.pointerLeft();
        QApplication::processEvents();
        paints.count = 0; // the buttons come and go at once
        m_scheduler.advance(0.05);
        QApplication::processEvents();
        EXPECT_GT(paints.count, 0) << (hovered ? "coming" : "going");
    }
}

// --- Edge card, row and tile --------------------------------------------------------------

class EdgeViewsTest : public ShelfTileTest
{
};

TEST_F(EdgeViewsTest, CopyShowsTheCheckmarkForOneSecondAndEveryActionGetsTheWholeItem)
{
    QList<ClipboardItem> copied, previewed;
    const ClipboardItem item =
        textItem(QStringLiteral("A line of text\nand another"), false, QStringLiteral("iPhone/iPad"));
    EdgeClipCard card(
        item, [&](const ClipboardItem &i) { copied.append(i); },
        [&](const ClipboardItem &i) { previewed.append(i); }, {}, m_ages);
    EXPECT_TRUE(card.showsBadge());
    EXPECT_TRUE(card.buttonRect(EdgeClipCard::Copy).isEmpty());
    shot(card, QStringLiteral("edgeclipcard-text"));

    card.pointerMoved(card.frameRect().center());
    QTest::mouseClick(&card, Qt::LeftButton, {}, card.frameRect().center().toPoint());
    EXPECT_TRUE(copied.isEmpty() && previewed.isEmpty()) << "the body takes no clicks";
    const QPoint copy = card.buttonRect(EdgeClipCard::Copy).center().toPoint();
    QTest::mouseClick(&card, Qt::LeftButton, {}, copy);
    m_scheduler.advance(0.5);
    QTest::mouseClick(&card, Qt::LeftButton, {}, copy);
    m_scheduler.advance(0.49);
    EXPECT_TRUE(card.isShowingCopied());
    shot(card, QStringLiteral("edgeclipcard-hovered-copied"));
    m_scheduler.advance(0.02);
    EXPECT_FALSE(card.isShowingCopied());
    QTest::mouseClick(&card, Qt::LeftButton, {}, card.buttonRect(EdgeClipCard::Eye).center().toPoint());
    ASSERT_EQ(copied.size(), 2);
    ASSERT_EQ(previewed.size(), 1);
    EXPECT_EQ(previewed.first().text, item.text);

    EdgeClipRow row(imageItem(Qt::darkCyan, QStringLiteral("iPhone/iPad")), {}, {}, {}, m_ages);
    row.resize(320, row.heightForWidth(320));
    EXPECT_FALSE(row.showsBadge());
    shot(row, QStringLiteral("edgecliprow-image"));
}

// The border comes in on the hover's spring with the fill: part-way in, the frame's top edge is
// neither its resting nor its hovered colour.
TEST_F(EdgeViewsTest, TheBorderComesInOnTheHoverSpring)
{
    EdgeClipCard card(textItem(QStringLiteral("text"), false, QStringLiteral("This Mac")), {}, {}, {},
                      m_ages);
    const QPoint top(int(card.frameRect().center().x()), int(card.frameRect().top()));
    // How far the colours about the frame's top edge are from `colour`, at the nearest.
    const auto nearest = [&](const QImage &image, const QColor &colour) {
        int best = 1000;
        for (int dy = -6; dy <= 6; ++dy) {
            const QColor c = image.pixelColor(top + QPoint(0, dy));
            best = std::min(best, std::abs(c.red() - colour.red()) + std::abs(c.green() - colour.green()) +
                                      std::abs(c.blue() - colour.blue()));
        }
        return best;
    };
    const QImage rest = seen(card);
    card.pointerMoved(card.frameRect().center());
    m_scheduler.advance(0.03);
    ASSERT_GT(card.hoverProgress(), 0.05);
    ASSERT_LT(card.hoverProgress(), 0.7);
    const QImage coming = seen(card);
    m_scheduler.advance(1);
    const QImage hovered = seen(card);
    // The hovered border: the most coloured point about the edge (the hover scale moves it out).
    QColor lit;
    for (int dy = -6; dy <= 6; ++dy) {
        const QColor c = hovered.pixelColor(top + QPoint(0, dy));
        if (c.hsvSaturation() * c.value() > lit.hsvSaturation() * lit.value())
            lit = c;
    }
    EXPECT_GT(nearest(rest, lit), 60) << "the hovered border differs from the resting one";
    EXPECT_GT(nearest(coming, lit), 60) << "the border did not come in on the spring";
}

// A captured thumbnail is decoded off the main thread for the card that shows it; once the card is
// hidden nothing keeps the decoded picture, and it comes back when the card shows again.
TEST_F(EdgeViewsTest, ACapturedThumbnailComesBackAfterItsDecodedCopyWasDropped)
{
    const auto redPixels = [](const QImage &image) { return countPixels(image, image.rect(), isRed); };
    const auto cache = std::make_shared<ThumbnailCache>(m_scheduler, decodeQueue());
    ClipboardItem item = imageItem(Qt::red);
    QFile png(writeImage(QStringLiteral("thumbnail.png"), QSize(320, 180), Qt::red).toLocalFile());
    ASSERT_TRUE(png.open(QIODevice::ReadOnly));
    item.thumbnail = ItemThumbnail(png.readAll(), QSize(320, 180), 1, cache);
    EdgeClipCard card(item, {}, {}, {}, m_ages);
    card.resize(240, 180);
    card.show();
    EXPECT_EQ(redPixels(seen(card)), 0) << "decoded off the main thread, not in the paint";
    m_scheduler.runPending();
    EXPECT_GT(redPixels(seen(card)), 20000);
    shot(card, QStringLiteral("edgeclipcard-captured-image"));

    card.hide();
    EXPECT_EQ(cache->count(), 0);
    card.show();
    EXPECT_EQ(redPixels(seen(card)), 0);
    m_scheduler.runPending();
    EXPECT_GT(redPixels(seen(card)), 20000);
}

// A card hidden on its own inside a parent that stays shown (a cell scrolled out of its list) lets
// its decoded picture go, as does one hidden with its parent.
TEST_F(EdgeViewsTest, ACardLetsItsPictureGoWhenItHidesAloneOrWithItsParent)
{
    const auto cache = std::make_shared<ThumbnailCache>(m_scheduler, decodeQueue());
    ClipboardItem item = imageItem(Qt::red);
    QFile png(writeImage(QStringLiteral("thumbnail.png"), QSize(320, 180), Qt::red).toLocalFile());
    ASSERT_TRUE(png.open(QIODevice::ReadOnly));
    item.thumbnail = ItemThumbnail(png.readAll(), QSize(320, 180), 1, cache);
    QWidget list;
    list.resize(300, 220);
    auto *card = new EdgeClipCard(item, {}, {}, {}, m_ages, &list);
    card->resize(240, 180);
    list.show();
    const auto decoded = [&] {
        seen(*card);
        m_scheduler.runPending();
        return cache->count();
    };
    ASSERT_EQ(decoded(), 1);
    card->hide();
    EXPECT_EQ(cache->count(), 0) << "a card hidden inside its shown list kept its decoded picture";
    card->show();
    ASSERT_EQ(decoded(), 1);
    list.hide();
    EXPECT_EQ(cache->count(), 0) << "a card hidden with its list kept its decoded picture";
}

TEST_F(EdgeViewsTest, ShelfTileMenuFollowsThePinAndADragMarksTheItemForTheShelfWatch)
{
    writeFile(QStringLiteral("report.pdf"), "%PDF");
    ShelfItem item = shelfItem(QStringLiteral("report.pdf"));
    int opens = 0;
    EdgeShelfTile tile(
        item, [&](const ShelfItem &) { ++opens; }, {}, {}, {}, {}, *m_shelf, m_ages);
    EXPECT_EQ(menuTexts(tile.buildContextMenu(nullptr)),
              (QStringList{"Open", "Show in File Manager", "Quick Look", "-", "Pin", "-", "Delete"}));
    // The menu stayed English whatever the language of the texts beside it.
    m_ages.setLanguage(AppLanguage::french);
    EXPECT_EQ(menuTexts(tile.buildContextMenu(nullptr)),
              (QStringList{"Ouvrir", "Afficher dans le gestionnaire de fichiers", "Aperçu rapide", "-", "Épingler",
                           "-", "Supprimer"}));
    m_ages.setLanguage(AppLanguage::english);
    EXPECT_FALSE(tile.isMedia());
    shot(tile, QStringLiteral("edgeshelftile-file"));

    QTest::mouseClick(&tile, Qt::LeftButton, {}, tile.frameRect().center().toPoint());
    EXPECT_EQ(opens, 0);
    QTest::mouseDClick(&tile, Qt::LeftButton, {}, tile.frameRect().center().toPoint());
    EXPECT_EQ(opens, 1);

    std::unique_ptr<QMimeData> data(tile.beginDrag());
    EXPECT_EQ(m_shelf->draggingItemID(), item.id);
    EXPECT_TRUE(m_sim.dragEndReport.isMonitoring());
    EXPECT_EQ(data->urls(), QList<QUrl>{item.url});

    item.isPinned = true;
    item.url = QUrl::fromLocalFile(path(QStringLiteral("Photo.JPG")));
    EdgeShelfTile pinned(item, {}, {}, {}, {}, {}, *m_shelf, m_ages);
    EXPECT_TRUE(pinned.isMedia());
    EXPECT_TRUE(menuTexts(pinned.buildContextMenu(nullptr)).contains(QStringLiteral("Unpin")));
    std::unique_ptr<QMimeData> vanished(pinned.beginDrag());
    EXPECT_FALSE(vanished->hasUrls()) << "a file that is gone is not handed over";
    pinned.pointerMoved(pinned.frameRect().center());
    m_scheduler.advance(1.0);
    shot(pinned, QStringLiteral("edgeshelftile-media-pinned-hovered"));
}

// --- Expanded cards -------------------------------------------------------------------------

class ExpandedCardsTest : public ShelfTileTest
{
protected:
    ShelfItem addToShelf(const QUrl &url)
    {
        m_shelf->addItem(url);
        m_scheduler.runPending();
        return m_shelf->items().first();
    }
};

TEST_F(ExpandedCardsTest, TheProtectedBlockFollowsTheSettingAndImagesAreNeverMasked)
{
    ExpandedClipboardCard secret(textItem(QStringLiteral("hunter2"), true), {}, {}, {}, m_settings,
                                 decodeQueue(), m_ages);
    secret.resize(320, secret.heightForWidth(320));
    EXPECT_EQ(secret.body(), ExpandedClipboardCard::Body::Protected);
    shot(secret, QStringLiteral("expandedclipboardcard-protected"));
    m_settings.set(Settings::maskSensitiveClipboard, false);
    EXPECT_EQ(secret.body(), ExpandedClipboardCard::Body::Text);

    ClipboardItem bare = imageItem(Qt::red);
    bare.thumbnail = ItemThumbnail();
    ExpandedClipboardCard headerOnly(bare, {}, {}, {}, m_settings, decodeQueue(), m_ages);
    EXPECT_EQ(headerOnly.body(), ExpandedClipboardCard::Body::None);
    bare.imageURL = writeImage(QStringLiteral("cached.png"), QSize(800, 600), Qt::darkMagenta);
    bare.isSensitive = true;
    m_settings.set(Settings::maskSensitiveClipboard, true);
    QWidget room; // the hover glow falls outside the card
    auto &fromFile = *new ExpandedClipboardCard(bare, {}, {}, {}, m_settings, decodeQueue(), m_ages, &room);
    fromFile.setGeometry(24, 24, 320, fromFile.heightForWidth(320));
    room.resize(fromFile.width() + 48, fromFile.height() + 48);
    room.show();
    m_scheduler.runPending();
    ASSERT_NE(fromFile.filePreview(), nullptr);
    EXPECT_EQ(fromFile.filePreview()->pixmap().size(), QSize(400, 300));
    auto greenBelow = [&] {
        QImage image(room.size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::black);
        room.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        return qGreen(image.pixel(room.width() / 2, fromFile.geometry().bottom() + 3));
    };
    const int resting = greenBelow();
    fromFile.pointerMoved(QPointF(20, 20));
    // Faint: the shadow follows the card's see-through fill.
    EXPECT_GT(greenBelow(), resting) << "a green glow under the hovered card";
    shot(room, QStringLiteral("expandedclipboardcard-image-hovered"));
    fromFile.pointerLeft();
    EXPECT_EQ(greenBelow(), resting);
}

// The card measured its text wrapped anywhere and drew it wrapped at words, so a text that needed a
// line more than measured lost its last one without an ellipsis (a 115-character text showed two of
// its three lines). At several widths: a text that fits shows every word, and one longer than twelve
// lines shows twelve, the last ending in "…".
TEST_F(ExpandedCardsTest, TheTextCardShowsEveryLineItMeasuredAndCutsOnlyPastTwelveWithAnEllipsis)
{
    const QString fits = QStringLiteral("Meeting moved to Thursday afternoon: bring the quarterly figures, "
                                        "the signed contracts and your badge for the lobby");
    ASSERT_EQ(fits.size(), 115);
    QStringList words;
    for (int i = 0; i < 160; ++i)
        words << QStringLiteral("word%1").arg(i);
    const QString tooLong = words.join(QLatin1Char(' '));
    for (const int width : {240, 300, 333, 420}) {
        ExpandedClipboardCard card(textItem(fits), {}, {}, {}, m_settings, decodeQueue(), m_ages);
        card.resize(width, card.heightForWidth(width));
        const QStringList lines = paintedLines(card).filter(QRegularExpression(QStringLiteral("\\S")));
        EXPECT_TRUE(lines.join(QLatin1Char(' ')).contains(QStringLiteral("your badge for the lobby")))
            << width << ": " << lines.join(QStringLiteral(" | ")).toStdString();
        for (const QString &line : lines)
            EXPECT_FALSE(line.endsWith(QStringLiteral("…"))) << width << ": " << line.toStdString();
        if (width == 300)
            shot(card, QStringLiteral("expandedclipboardcard-text"));

        ExpandedClipboardCard cut(textItem(tooLong), {}, {}, {}, m_settings, decodeQueue(), m_ages);
        cut.resize(width, cut.heightForWidth(width));
        const QStringList shown = paintedLines(cut).filter(QRegularExpression(QStringLiteral("word")));
        ASSERT_EQ(shown.size(), 12) << width << ": " << shown.join(QStringLiteral(" | ")).toStdString();
        EXPECT_TRUE(shown.last().endsWith(QStringLiteral("…"))) << width << ": " << shown.last().toStdString();
    }
}

TEST_F(ExpandedCardsTest, OnlyImagesOfferTextRecognitionAndAPinnedItemSurvivesRemove)
{
    const ShelfItem document = addToShelf(writeFile(QStringLiteral("report.pdf"), "%PDF-1.4"));
    ExpandedShelfCard card(document, {}, {}, {}, *m_shelf, m_sim.pasteboard, m_ages);
    card.resize(card.sizeHint());
    card.pointerMoved(QPointF(20, 20));
    EXPECT_TRUE(card.buttonRect(ExpandedShelfCard::ExtractText).isEmpty());
    EXPECT_FALSE(menuTexts(card.buildContextMenu(nullptr)).contains(QStringLiteral("Extract Text")));
    shot(card, QStringLiteral("expandedshelfcard-file-hovered"));

    const ShelfItem picture = addToShelf(writeImage(QStringLiteral("shot.png"), QSize(64, 48), Qt::yellow));
    ExpandedShelfCard imageCard(picture, {}, {}, {}, *m_shelf, m_sim.pasteboard, m_ages);
    imageCard.resize(imageCard.sizeHint());
    imageCard.pointerMoved(QPointF(20, 20));
    EXPECT_FALSE(imageCard.buttonRect(ExpandedShelfCard::ExtractText).isEmpty());
    EXPECT_EQ(
        menuTexts(imageCard.buildContextMenu(nullptr)),
        (QStringList{"Open", "Show in File Manager", "Copy to Clipboard", "Extract Text", "-", "Remove"}));

    m_shelf->togglePin(document.id);
    ExpandedShelfCard::removeItem(*m_shelf, m_shelf->items().at(1));
    ExpandedShelfCard::removeItem(*m_shelf, picture);
    m_scheduler.runPending();
    ASSERT_EQ(m_shelf->items().size(), 1);
    EXPECT_EQ(m_shelf->items().first().id, document.id);
}

TEST_F(ExpandedCardsTest, RecognisedTextReplacesTheClipboardAndNoTextLeavesIt)
{
    const ShelfItem picture = addToShelf(writeImage(QStringLiteral("scan.png"), QSize(64, 48), Qt::white));
    const qint64 before = m_sim.pasteboard.changeCount();
    m_sim.textRecognizer.script({QString()});
    ExpandedShelfCard::extractText(*m_shelf, m_sim.pasteboard, picture);
    m_scheduler.advance(1.0);
    EXPECT_EQ(m_sim.pasteboard.changeCount(), before);

    m_sim.textRecognizer.script({QStringLiteral("Invoice 42")});
    ExpandedShelfCard::extractText(*m_shelf, m_sim.pasteboard, picture);
    m_scheduler.advance(1.0);
    EXPECT_EQ(m_sim.pasteboard.read().string(PasteboardType::plainText), QStringLiteral("Invoice 42"));
}

TEST_F(ExpandedCardsTest, CopyToClipboardLeavesOneFileReferenceThatTheHistoryTakesLikeAnyCopy)
{
    const ShelfItem document = addToShelf(writeFile(QStringLiteral("notes.txt"), "hello"));
    QTemporaryDir cache;
    ClipboardManager history(m_sim.pasteboard, m_sim.workspace, m_scheduler, m_queues, m_settings, m_events,
                             cache.path());
    m_scheduler.advance(2.0);
    ExpandedShelfCard::copyFileToPasteboard(m_sim.pasteboard, document);
    const PasteboardSnapshot contents = m_sim.pasteboard.read();
    ASSERT_EQ(contents.itemCount(), 1);
    EXPECT_EQ(QUrl(contents.itemString(0, PasteboardType::fileURL).value_or(QString())), document.url);

    history.checkNow();
    m_scheduler.advance(2.0);
    ASSERT_EQ(history.history().size(), 1);
    EXPECT_EQ(history.history().first().text, QStringLiteral("notes.txt"));
}

} // namespace
