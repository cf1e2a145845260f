#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include "clipboard/clipboardmanager.h"
#include "clipboard/richtext.h"
#include "platform/pasteboard.h"
#include "platform/urilist.h"
#include "printers.h"
#include "support/consolecapture.h"

namespace qv {
namespace {

const QString local = QStringLiteral("This Mac");

PasteboardItem item(std::initializer_list<std::pair<QString, QVariant>> values)
{
    PasteboardItem result;
    for (const auto &[type, value] : values) {
        result.types.append(type);
        result.values.insert(type, value);
    }
    return result;
}

PasteboardItem fileItem(const QString &path)
{
    return item({{PasteboardType::fileURL, QUrl::fromLocalFile(path).toString()}});
}

// Announced types are the union of the items' types, in order.
PasteboardSnapshot snapshot(const QList<PasteboardItem> &items)
{
    QStringList types;
    for (const auto &entry : items) {
        for (const auto &type : entry.types) {
            if (!types.contains(type))
                types.append(type);
        }
    }
    return PasteboardSnapshot(types, items);
}

QList<ScanPayload> scan(const QList<PasteboardItem> &items)
{
    return ClipboardManager::scanPasteboard(snapshot(items), 7).payloads;
}

class PasteboardScanTest : public ::testing::Test
{
protected:
    QString file(const QString &name, const QByteArray &contents = QByteArray())
    {
        const QString path = m_dir.filePath(name);
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(contents);
        return path;
    }

    QTemporaryDir m_dir;
};

TEST_F(PasteboardScanTest, FilesGiveImagePayloadsAndNamesInPasteboardOrder)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImage(4, 4, QImage::Format_RGB32).save(&buffer, "PNG");
    const QString first = file(QStringLiteral("first.png"), png);
    const QString report = file(QStringLiteral("report.pdf"), "%PDF-1.4\n");
    const QString second = file(QStringLiteral("second.png"), png);

    const ScanResult result = ClipboardManager::scanPasteboard(
        snapshot({fileItem(first), fileItem(report), fileItem(second), fileItem(first)}), 42);

    EXPECT_TRUE(result.didChange);
    EXPECT_EQ(result.changeCount, 42);
    EXPECT_EQ(result.availableTypesCount, 1);
    EXPECT_EQ(result.sourceName, local);
    const QList<ScanPayload> expected = {
        ScanPayload::makeImageFile(QUrl::fromLocalFile(first), local),
        ScanPayload::makeText(QStringLiteral("report.pdf"), local),
        ScanPayload::makeImageFile(QUrl::fromLocalFile(second), local),
    };
    EXPECT_EQ(result.payloads, expected);
}

TEST_F(PasteboardScanTest, FileAnnouncedByUrlAndByNameListGivesOnePayload)
{
    const QString notes = file(QStringLiteral("notes.txt"), "x");
    const QString other = file(QStringLiteral("other.txt"), "y");
    PasteboardItem names = item({{PasteboardType::fileNames, QStringList{notes + "/", other}}});
    EXPECT_EQ(scan({fileItem(notes), names}),
              (QList<ScanPayload>{ScanPayload::makeText(QStringLiteral("notes.txt"), local),
                                  ScanPayload::makeText(QStringLiteral("other.txt"), local)}));
}

// Copying 10,000 files made as many items on the main thread, each capture stalling it near a second.
TEST_F(PasteboardScanTest, ACopyOfMoreFilesThanTheHistoryHoldsIsCutThere)
{
    QStringList paths;
    for (int i = 0; i < PasteboardType::maxFiles + 100; ++i)
        paths.append(QStringLiteral("/nowhere/f%1.txt").arg(i));
    const QList<ScanPayload> payloads = scan({item({{PasteboardType::fileNames, paths}})});
    ASSERT_EQ(payloads.size(), PasteboardType::maxFiles);
    EXPECT_EQ(payloads.last(), ScanPayload::makeText(QStringLiteral("f499.txt"), local));
}

TEST(UriListTest, ReadsABoundedPrefixTakingEachFileOnce)
{
    const struct
    {
        const char *name;
        QByteArray list;
        UriList::Limits limits;
        QStringList files;
        QStringList others;
        bool cut;
    } rows[] = {
        {"comments, blanks and CR LF",
         "# a comment\r\n\r\nfile:///tmp/a\r\n  https://example.com/p  \r\n",
         {1000, 10, 10},
         {"file:///tmp/a"},
         {"https://example.com/p"},
         false},
        {"one file by three spellings, and a repeated address",
         "file:///tmp/a\nfile:///tmp//a\nfile:///tmp/./a\nhttps://e.org/\nhttps://e.org/\nfile:///tmp/%FF\n"
         "file:///tmp/%ff\n",
         {1000, 10, 10},
         {"file:///tmp/a", "file:///tmp/%FF"},
         {"https://e.org/"},
         false},
        {"more files than entries",
         "file:///a\nfile:///b\nfile:///a\nfile:///c\n",
         {1000, 10, 2},
         {"file:///a", "file:///b"},
         {},
         true},
        {"more lines than the bound",
         "file:///a\nfile:///a\nfile:///b\n",
         {1000, 2, 10},
         {"file:///a"},
         {},
         true},
        // The bound runs through the second line: a shorter path there would name another file.
        {"a line cut by the byte bound is left out",
         "file:///tmp/abc\nfile:///tmp/abcdef\n",
         {20, 10, 10},
         {"file:///tmp/abc"},
         {},
         true},
        // Past the other addresses' bound, lines are passed over unparsed unless they name a file.
        {"a file after the other addresses ran out",
         "https://a.org/\nhttps://b.org/\nhttps://c.org/\nFILE:///tmp/x\nfile:/tmp/y\n",
         {1000, 10, 2},
         {"file:///tmp/x", "file:///tmp/y"},
         {"https://a.org/", "https://b.org/"},
         true},
        {"no line end at the end", "file:///a", {1000, 10, 10}, {"file:///a"}, {}, false},
        // A list exactly as long as its bounds is read whole and not reported cut.
        {"exactly the line bound", "file:///a\nfile:///b\n", {1000, 2, 10}, {"file:///a", "file:///b"}, {}, false},
        {"exactly the byte bound", "file:///a\n", {10, 10, 10}, {"file:///a"}, {}, false},
        {"a bound of no bytes reads nothing", "file:///a\n", {0, 10, 10}, {}, {}, true},
        // Duplicates alone never cut a list, also once the other addresses are all taken.
        {"an address repeated at the bound",
         "https://a.org/\nhttps://a.org/\n",
         {1000, 10, 1},
         {},
         {"https://a.org/"},
         false},
        {"nothing usable", "not an address\n\x00\xff\n#file:///a", {1000, 10, 10}, {}, {}, false},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const UriList list = UriList::parse(row.list, row.limits);
        QStringList files;
        for (const QUrl &url : list.files)
            files.append(url.toString(QUrl::FullyEncoded));
        QStringList others;
        for (const QUrl &url : list.others)
            others.append(url.toString(QUrl::FullyEncoded));
        EXPECT_EQ(files, row.files);
        EXPECT_EQ(others, row.others);
        EXPECT_EQ(list.cut, row.cut);
    }
}

// Regression: "file:///tmp/plain.txt%00.png" was taken, and the file opened under that name was
// plain.txt, shelved as "plain.txt_.png". Such an address is refused, with a line saying so, and
// the addresses beside it are still read.
TEST(UriListTest, AFileAddressWhoseDecodedPathHoldsANulIsRefusedWithALine)
{
    const test::ConsoleCapture console;
    const UriList list =
        UriList::parse("file:///tmp/plain.txt%00.png\nfile:///tmp/a%00b/c\nfile:///tmp/ok.txt\n"
                       "https://e.org/%00\n",
                       {1000, 10, 10});
    ASSERT_EQ(list.files.size(), 1);
    EXPECT_EQ(list.files.first().toLocalFile(), QStringLiteral("/tmp/ok.txt"));
    EXPECT_EQ(list.others.size(), 1) << "a NUL outside a file path names no file, so it is no concern here";
    EXPECT_FALSE(list.cut);
    const QStringList lines = console.linesWith(QStringLiteral("NUL"));
    ASSERT_EQ(lines.size(), 1) << lines.join(u'\n').toStdString();
    EXPECT_TRUE(lines.first().contains(QStringLiteral("2 "))) << lines.first().toStdString();
    EXPECT_TRUE(lines.first().contains(QStringLiteral("plain.txt%00.png"))) << lines.first().toStdString();
}

// Regression: a file URL whose name holds a space (as pasteboards hand them over, "file:///a b.png")
// was not read as a URL but as a relative path, so a copied screenshot became a text item.
TEST_F(PasteboardScanTest, FileNameWithASpaceIsStillTheFile)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImage(4, 4, QImage::Format_RGB32).save(&buffer, "PNG");
    const QString shot = file(QStringLiteral("Screenshot from today.png"), png);
    for (const QString &string :
         {QUrl::fromLocalFile(shot).toString(), QString::fromUtf8(QUrl::fromLocalFile(shot).toEncoded())}) {
        EXPECT_EQ(scan({item({{PasteboardType::fileURL, string}})}),
                  QList<ScanPayload>{ScanPayload::makeImageFile(QUrl::fromLocalFile(shot), local)})
            << string.toStdString();
    }
}

TEST_F(PasteboardScanTest, PathLikeStringInTheFileUrlTypeIsTakenAsAPath)
{
    EXPECT_EQ(scan({item({{PasteboardType::fileURL, QStringLiteral("  /nowhere/plan.key \n")}})}),
              QList<ScanPayload>{ScanPayload::makeText(QStringLiteral("plan.key"), local)});
}

// The limit holds per representation: exactly 50,000,000 bytes are taken; one more are not, and a
// smaller TIFF is taken instead.
TEST_F(PasteboardScanTest, ImageLimitIsInclusiveAndAnOversizedPngIsSkippedForASmallerTiff)
{
    const QByteArray atLimit(ClipboardManager::maxImageBytes, 'p');
    const QByteArray overLimit(ClipboardManager::maxImageBytes + 1, 'p');
    const QByteArray tiff("II*\0small", 9);
    EXPECT_EQ(scan({item({{PasteboardType::png, atLimit}})}),
              QList<ScanPayload>{ScanPayload::makeImageData(atLimit, local)});
    EXPECT_EQ(scan({item({{PasteboardType::png, overLimit}, {PasteboardType::tiff, tiff}})}),
              QList<ScanPayload>{ScanPayload::makeImageData(tiff, local)});
    const ScanResult alone =
        ClipboardManager::scanPasteboard(snapshot({item({{PasteboardType::png, overLimit}})}), 1);
    EXPECT_TRUE(alone.payloads.isEmpty());
    EXPECT_EQ(alone.availableTypesCount, 1) << "types announced, so capture retries";
}

// X11 programs offer images under their own types; any type that decodes is taken after PNG and
// TIFF, in the owner's order, and a type nothing can decode is not.
TEST_F(PasteboardScanTest, OtherDecodableImageTypesAreTakenAfterPngAndTiff)
{
    const QByteArray jpeg("jpeg bytes"), gif("gif bytes"), png("png bytes");
    EXPECT_EQ(scan({item({{QStringLiteral("image/jpeg"), jpeg}, {QStringLiteral("image/gif"), gif}})}),
              QList<ScanPayload>{ScanPayload::makeImageData(jpeg, local)});
    EXPECT_EQ(scan({item({{QStringLiteral("image/gif"), gif}, {PasteboardType::png, png}})}),
              QList<ScanPayload>{ScanPayload::makeImageData(png, local)});
    EXPECT_TRUE(scan({item({{QStringLiteral("image/x-unknown-format"), gif}})}).isEmpty());
}

struct TextCase
{
    const char *name;
    QList<PasteboardItem> items;
    std::optional<QString> text;
};

class PasteboardTextScan : public ::testing::TestWithParam<TextCase>
{
};

TEST_P(PasteboardTextScan, FindsTheText)
{
    const QList<ScanPayload> payloads = scan(GetParam().items);
    if (!GetParam().text) {
        EXPECT_TRUE(payloads.isEmpty()) << GetParam().name;
        return;
    }
    EXPECT_EQ(payloads, QList<ScanPayload>{ScanPayload::makeText(*GetParam().text, local)})
        << GetParam().name;
}

const QByteArray rtfDocument =
    R"({\rtf1\ansi\ansicpg1252{\fonttbl\f0\fswiss Helvetica;}{\colortbl;\red255\green0\blue0;}
{\*\expandedcolortbl;;}\f0\fs24 Caf\'e9 \{menu\}\par
{\b Tarte} \u8364?5\line end}
)";

INSTANTIATE_TEST_SUITE_P(
    Texts, PasteboardTextScan,
    ::testing::Values(
        TextCase{"trimmed",
                 {item({{PasteboardType::plainText, QStringLiteral("   padded\n")}})},
                 QStringLiteral("padded")},
        TextCase{"white space only gives nothing",
                 {item({{PasteboardType::utf8String, QStringLiteral("   ")}})},
                 std::nullopt},
        TextCase{"longest item text wins; a tie keeps the first",
                 {item({{PasteboardType::utf8String, QStringLiteral("short")}}),
                  item({{PasteboardType::text, QStringLiteral("longer one")}}),
                  item({{PasteboardType::utf8String, QStringLiteral("also ten!!")}})},
                 QStringLiteral("longer one")},
        TextCase{"the plain string type comes before longer item texts",
                 {item({{PasteboardType::utf8String, QStringLiteral("a much longer text")}}),
                  item({{PasteboardType::plainText, QStringLiteral("short")}})},
                 QStringLiteral("short")},
        TextCase{"UTF-16 text",
                 {item({{PasteboardType::utf16Text, QByteArray("\xff\xfeh\0i\0", 6)}})},
                 QStringLiteral("hi")},
        TextCase{"RTF only",
                 {item({{PasteboardType::rtf, rtfDocument}})},
                 QStringLiteral("Café {menu}\nTarte €5\nend")},
        TextCase{"HTML only",
                 {item({{PasteboardType::html,
                         QByteArray("<p>Hello&nbsp;<b>world</b><img src='x.png'></p><p>&amp; more</p>")}})},
                 QStringLiteral("Hello world\n& more")},
        TextCase{"plain text comes before rich text",
                 {item({{PasteboardType::html, QByteArray("<b>rich</b>")},
                        {PasteboardType::text, QStringLiteral("plain")}})},
                 QStringLiteral("plain")}),
    [](const auto &info) {
        return QString::fromLatin1(info.param.name).replace(QRegularExpression("\\W"), "_").toStdString();
    });

TEST(RtfToPlainText, RejectsWhatIsNotRtfAndSurvivesDeepNesting)
{
    EXPECT_FALSE(rtfToPlainText("plain words").has_value());
    const QByteArray deep = "{\\rtf1 " + QByteArray(200000, '{') + "deep" + QByteArray(200000, '}') + "}";
    EXPECT_EQ(rtfToPlainText(deep), QStringLiteral("deep"));
    // A \u escape drops its fallback character; \bin skips raw bytes; \' takes hex digits of either case.
    EXPECT_EQ(rtfToPlainText("{\\rtf1\\uc2 a\\u20320\\'c4\\'e3b\\bin2 xyc\\'0a\\'a9\\'Af\\'FA\\'f0\\'9F}"),
              QStringLiteral("a你bc\n©¯úðŸ"));
}

// Regression: a hyperlink's whole field group was skipped, so the link's visible text (its result)
// vanished from the converted text.
TEST(RtfToPlainText, KeepsTheVisibleTextOfALink)
{
    const QByteArray rtf = R"({\rtf1\ansi Visit {\field{\*\fldinst{HYPERLINK "https://example.org"}})"
                           R"({\fldrslt{\ul example.org}}} today.})";
    EXPECT_EQ(rtfToPlainText(rtf), QStringLiteral("Visit example.org today."));
}

// Regression: building the HTML document followed its style-sheet imports into the local file system,
// so copied HTML naming "@import url(/dev/zero)" read without end and brought the application down.
TEST(HtmlToPlainText, ReadsNoFileTheHtmlNames)
{
    QTemporaryDir dir;
    const QString sheet = dir.filePath(QStringLiteral("pre.css"));
    QFile file(sheet);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("p { white-space: pre }");
    file.close();
    // Read, the sheet would keep the four spaces.
    const QByteArray html =
        "<style>@import url(" + QUrl::fromLocalFile(sheet).toEncoded() + ");</style><p>a    b</p>";
    EXPECT_EQ(htmlToPlainText(html), QStringLiteral("a b"));
}

struct HtmlCase
{
    const char *name;
    QByteArray html;
    QString text;
};

class HtmlText : public ::testing::TestWithParam<HtmlCase>
{
};

TEST_P(HtmlText, ShowsWhatAPageShows)
{
    EXPECT_EQ(htmlToPlainText(GetParam().html), GetParam().text) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    VisibleText, HtmlText,
    ::testing::Values(
        HtmlCase{"head, scripts and styles show nothing",
                 "<html><head><title>T</title><style>p{}</style></head><body><script>var a = '<p>x</p>';"
                 "</script><h1>Title</h1></body></html>",
                 QStringLiteral("Title")},
        HtmlCase{"white space collapses and vanishes at block edges",
                 "<p>  one\n two   <span> three </span></p>", QStringLiteral("one two three")},
        HtmlCase{"blocks, list items and cells start lines; empty blocks add none",
                 "<ul><li>a</li><li>b <i>c</i></li></ul><p></p><table><tr><td>d</td><td>e</td></tr></table>f",
                 QStringLiteral("a\nb c\nd\ne\nf")},
        HtmlCase{"each line break counts", "line<br>break<br><br>twice",
                 QStringLiteral("line\nbreak\n\ntwice")},
        HtmlCase{"preformatted text keeps its white space", "<pre>  keep\n   this </pre>text",
                 QStringLiteral("  keep\n   this \ntext")},
        HtmlCase{"entities resolve; unknown ones stay", "&lt;tag&gt; &eacute; &#x263A; &bogus;",
                 QStringLiteral("<tag> é ☺ &bogus;")},
        HtmlCase{"the document's character set is honoured", "<meta charset=\"iso-8859-1\"><p>caf\xe9</p>",
                 QStringLiteral("café")}),
    [](const auto &info) {
        return QString::fromLatin1(info.param.name).replace(QRegularExpression("\\W"), "_").toStdString();
    });

// Regression: the conversion built a layout document, so a few hundred bytes of nested tables stalled
// capture for seconds and deep nesting took quadratic time. Each limit now ends the reading and keeps
// the text read until then.
TEST(HtmlToPlainText, HostileShapesStopAtTheirLimit)
{
    const QByteArray shallow = "<p>kept</p>" + QByteArray("<div>").repeated(maxHtmlDepth + 10) + "lost";
    EXPECT_EQ(htmlToPlainText(shallow), QStringLiteral("kept"));

    const auto cells = htmlToPlainText("<table><tr>" + QByteArray("<td>x").repeated(int(maxRichTextLength)));
    ASSERT_TRUE(cells.has_value());
    EXPECT_EQ(cells->size(), maxRichTextLength);

    // Only the first maxHtmlBytes are read: the end of this script is never seen.
    const QByteArray tooLong = "<script>" + QByteArray("x").repeated(maxHtmlBytes) + "</script>after";
    EXPECT_EQ(htmlToPlainText(tooLong), QString());
}

TEST(RtfToPlainText, StopsAtTheTextLimit)
{
    const QByteArray rtf = "{\\rtf1 " + QByteArray("\\u8364?").repeated(int(maxRichTextLength) + 5) + "}";
    EXPECT_EQ(rtfToPlainText(rtf)->size(), maxRichTextLength);
}

// Regression (found by fuzzing): a path given as text that began with two slashes became a URL with a
// network host, and "//[x" an invalid one that was not empty, so callers took it for a file.
TEST(FileURLString, IsALocalFileOrNothing)
{
    const struct
    {
        QString string;
        QString path;
    } rows[] = {
        {QStringLiteral("file:///home/a/My Pictures/b 1.png"), QStringLiteral("/home/a/My Pictures/b 1.png")},
        {QStringLiteral("file:///home/a/My%20Pictures/b.png"), QStringLiteral("/home/a/My Pictures/b.png")},
        {QStringLiteral("  /tmp/report.pdf\n"), QStringLiteral("/tmp/report.pdf")},
        {QStringLiteral("//tmp/a.png"), QStringLiteral("/tmp/a.png")},
        {QStringLiteral("//[\x0f"), QStringLiteral("/[\x0f")},
        {QStringLiteral(" \t "), QString()},
    };
    for (const auto &row : rows) {
        const QUrl url = ClipboardManager::parseFileURLString(row.string);
        EXPECT_EQ(url.toLocalFile(), row.path) << qPrintable(row.string);
        EXPECT_TRUE(url.isEmpty() || url.isLocalFile()) << qPrintable(row.string);
    }
}

} // namespace
} // namespace qv
