#include <QMimeDatabase>
#include <QPdfWriter>
#include <QPlainTextEdit>

#include "views/items/safeimagepreview.h"
#include "views/items/universalquicklookview.h"
#include "views/itemviewsfixture.h"

using namespace qv;

namespace {

using Kind = UniversalQuickLookView::Kind;

struct KindCase
{
    const char *mime;
    Kind kind;
};

class PreviewKinds : public ::testing::TestWithParam<KindCase>
{
};

TEST_P(PreviewKinds, FollowTheContentType)
{
    EXPECT_EQ(
        UniversalQuickLookView::kindFor(QMimeDatabase().mimeTypeForName(QString::fromUtf8(GetParam().mime))),
        GetParam().kind)
        << GetParam().mime;
}

INSTANTIATE_TEST_SUITE_P(
    Types, PreviewKinds,
    ::testing::Values(KindCase{"image/png", Kind::Image}, KindCase{"image/webp", Kind::Image},
                      KindCase{"image/svg+xml", Kind::Svg}, KindCase{"application/pdf", Kind::Pdf},
                      KindCase{"text/plain", Kind::Text}, KindCase{"text/x-csrc", Kind::Text},
                      KindCase{"application/json", Kind::Text}, KindCase{"video/webm", Kind::Media},
                      KindCase{"audio/ogg", Kind::Media}, KindCase{"application/zip", Kind::Other},
                      KindCase{"application/octet-stream", Kind::Other}));

class QuickLookTest : public ItemViewsTest
{
protected:
    QUrl writePdf(const QString &name, int pages)
    {
        QPdfWriter writer(path(name));
        QPainter painter(&writer);
        for (int i = 0; i < pages; ++i) {
            if (i)
                writer.newPage();
            painter.setFont(QFont(QStringLiteral("Sans"), 48));
            painter.drawText(QRect(0, 0, writer.width(), writer.height() / 2), Qt::AlignCenter,
                             QStringLiteral("Page %1").arg(i + 1));
        }
        return QUrl::fromLocalFile(path(name));
    }

    std::unique_ptr<UniversalQuickLookView> preview(const QUrl &url, std::shared_ptr<WorkQueue> queue = {})
    {
        auto view = std::make_unique<UniversalQuickLookView>(url, m_sim.fileIcons,
                                                             queue ? queue : decodeQueue(), m_scheduler);
        view->resize(480, 360);
        view->show();
        m_scheduler.runPending();
        return view;
    }
};

TEST_F(QuickLookTest, EachFileIsShownAsItsKindAndWhatCannotBeReadAsItsIcon)
{
    struct Case
    {
        QUrl url;
        Kind kind;
        const char *shot;
    };
    const QList<Case> cases = {
        {writeImage(QStringLiteral("photo.png"), QSize(640, 480), Qt::darkCyan), Kind::Image,
         "quicklook-image"},
        {writeFile(QStringLiteral("logo.svg"),
                   "<svg xmlns='http://www.w3.org/2000/svg' width='100' height='100'>"
                   "<circle cx='50' cy='50' r='40' fill='orange'/></svg>"),
         Kind::Svg, "quicklook-svg"},
        {writePdf(QStringLiteral("doc.pdf"), 1), Kind::Pdf, "quicklook-pdf"},
        {writeFile(QStringLiteral("notes.txt"), "first line\nsecond line\n"), Kind::Text, "quicklook-text"},
        {writeFile(QStringLiteral("data.bin"), QByteArray(64, '\0')), Kind::Other, "quicklook-icon"},
        {writeFile(QStringLiteral("broken.pdf"), "%PDF-1.4\nnot really a document"), Kind::Other, nullptr},
        {writeFile(QStringLiteral("bad.svg"), "<svg"), Kind::Other, nullptr},
        // A drawing that names another file is shown as a file, never with that file's picture.
        {writeFile(QStringLiteral("outside.svg"),
                   "<svg xmlns='http://www.w3.org/2000/svg' width='100' height='100'><image href='photo.png' "
                   "width='100' height='100'/></svg>"),
         Kind::Other, nullptr},
        {QUrl::fromLocalFile(path(QStringLiteral("gone.pdf"))), Kind::Other, "quicklook-missing"},
    };
    for (const Case &c : cases) {
        auto view = preview(c.url);
        EXPECT_FALSE(view->isLoading()) << c.url.fileName().toStdString();
        EXPECT_EQ(view->shownKind(), c.kind) << c.url.fileName().toStdString();
        if (c.shot)
            shot(*view, QString::fromUtf8(c.shot));
    }
}

TEST_F(QuickLookTest, ATextFileNamedLikeAPictureFailsInsteadOfSpinning)
{
    auto view = preview(writeFile(QStringLiteral("fake.png"), "plain words"));
    auto *image = qobject_cast<SafeImagePreview *>(view->content());
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->state(), SafeImagePreview::State::Failed);
}

// Animated pictures were decoded frame by frame by QMovie on the GUI thread while they played.
TEST_F(QuickLookTest, AnAnimatedGifPlaysFramesDecodedOffTheGuiThread)
{
    // Two 1x1 frames (black, then white), 100 ms each, looping.
    const QByteArray gif =
        QByteArray::fromHex("47494638396101000100800000000000ffffff21ff0b4e45545343415045322e300301000000"
                            "21f904000a0000002c000000000100010000020244010021f904000a0000002c00000000010001"
                            "000002024c01003b");
    auto view = preview(writeFile(QStringLiteral("blink.gif"), gif));
    EXPECT_EQ(view->shownKind(), Kind::Image);
    QWidget *player = view->content();
    ASSERT_NE(player, nullptr);
    EXPECT_EQ(qobject_cast<SafeImagePreview *>(player), nullptr) << "played, not shown still";
    player->resize(40, 40);
    view->show();
    auto pixel = [&] { return player->grab().toImage().pixelColor(20, 20).lightness(); };
    const int first = pixel();
    m_scheduler.advance(0.11);
    EXPECT_NE(pixel(), first) << "the next frame after its delay";
}

TEST_F(QuickLookTest, PdfPagesTurnWithinTheirRange)
{
    auto view = preview(writePdf(QStringLiteral("three.pdf"), 3));
    ASSERT_EQ(view->pageCount(), 3);
    view->showPage(2);
    m_scheduler.runPending();
    EXPECT_EQ(view->pageIndex(), 2);
    view->showPage(3);
    view->showPage(-1);
    m_scheduler.runPending();
    EXPECT_EQ(view->pageIndex(), 2);
    EXPECT_EQ(view->shownKind(), Kind::Pdf); // not the icon of a page that does not exist
    shot(*view, QStringLiteral("quicklook-pdf-last-page"));
}

TEST_F(QuickLookTest, AHugeTextShowsOnlyItsBeginning)
{
    QByteArray text;
    while (text.size() < 3 * UniversalQuickLookView::textLimit)
        text += "0123456789 abcdefghijklmnopqrstuvwxyz\n";
    auto view = preview(writeFile(QStringLiteral("huge.log"), text));
    auto *edit = qobject_cast<QPlainTextEdit *>(view->content());
    ASSERT_NE(edit, nullptr);
    EXPECT_LE(edit->toPlainText().size(), UniversalQuickLookView::textLimit + 2);
}

// A text file of exactly the limit is shown whole; one byte more is shown as cut. The file starts
// with zero-width characters, which the view does not lay out, so the few characters that follow
// are all that shows and the mark of the cut is the only difference.
TEST_F(QuickLookTest, ATextOfExactlyTheLimitIsShownWholeAndOneByteMoreAsCut)
{
    QByteArray text;
    while (text.size() + 3 <= UniversalQuickLookView::textLimit - 4)
        text += "\xE2\x80\x8B"; // U+200B
    text += QByteArray(UniversalQuickLookView::textLimit - 4 - text.size(), ' ') + "tail";
    ASSERT_EQ(text.size(), UniversalQuickLookView::textLimit);
    for (const auto &[name, bytes, shown] :
         {std::tuple{"exact.txt", text, QStringLiteral("tail")},
          std::tuple{"over.txt", text + "!", QStringLiteral("tail\n\u2026")}}) {
        SCOPED_TRACE(name);
        auto view = preview(writeFile(QString::fromLatin1(name), bytes));
        auto *edit = qobject_cast<QPlainTextEdit *>(view->content());
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(edit->toPlainText().trimmed().toStdString(), shown.toStdString())
            << "a whole file shown as cut, or a cut one as whole";
    }
}

TEST_F(QuickLookTest, ANewUrlSwapsTheDocumentInTheSameViewAndDropsTheOldOnesLateAnswer)
{
    const QUrl text = writeFile(QStringLiteral("a.txt"), "alpha");
    const QUrl picture = writeImage(QStringLiteral("b.png"), QSize(64, 64), Qt::red);
    // Answers arrive newest first, so the text's late answer comes after the picture's.
    auto queue = std::make_shared<HeldQueue>();
    auto view = preview(text, queue);
    UniversalQuickLookView *same = view.get();
    view->setUrl(picture);
    view->setUrl(text);
    view->setUrl(picture);
    queue->runNewestFirst();
    m_scheduler.runPending();
    EXPECT_EQ(view.get(), same);
    EXPECT_EQ(view->shownKind(), Kind::Image);
    EXPECT_NE(qobject_cast<SafeImagePreview *>(view->content()), nullptr);
}

} // namespace
