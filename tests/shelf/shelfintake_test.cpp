#include <QSignalSpy>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStorageInfo>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>

#include <limits>
#include <iterator>

#include "core/diagnostics/diagevents.h"
#include "shelf/filecopy.h"
#include "shelf/shelflistmodel.h"
#include "shelffixture.h"
#include "testimages.h"

namespace qv {
namespace {

class ShelfIntakeTest : public ShelfTest
{
protected:
    // Makes the shelf folder unusable: a plain file stands where it should be.
    void breakShelfFolder()
    {
        QDir(shelfPath()).removeRecursively();
        QFile blocker(shelfPath());
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    }

    QImage shelvedImage(int row) const { return QImage(m_manager->items().at(row).url.toLocalFile()); }
};

TEST_F(ShelfIntakeTest, CopiesGetFreeNamesNumberedBeforeTheLastExtension)
{
    const struct
    {
        QString dropped;
        QStringList stored;
    } rows[] = {
        {QStringLiteral("report.pdf"),
         {QStringLiteral("report.pdf"), QStringLiteral("report 2.pdf"), QStringLiteral("report 3.pdf")}},
        {QStringLiteral("README"), {QStringLiteral("README"), QStringLiteral("README 2")}},
        {QStringLiteral("archive.tar.gz"),
         {QStringLiteral("archive.tar.gz"), QStringLiteral("archive.tar 2.gz")}},
    };
    for (const auto &row : rows) {
        const QUrl source = makeFile(row.dropped, QByteArrayLiteral("original"));
        for (int i = 0; i < row.stored.size(); ++i)
            m_manager->processFile(source);
        settle();
        for (const QString &name : row.stored) {
            QFile copy(QDir(shelfPath()).filePath(name));
            ASSERT_TRUE(copy.open(QIODevice::ReadOnly)) << qPrintable(name);
            EXPECT_EQ(copy.readAll(), QByteArrayLiteral("original"));
        }
    }
    EXPECT_EQ(m_manager->items().size(), 7);
    // A name chosen but not yet written is not handed out twice.
    EXPECT_EQ(m_manager->uniqueFileURL(QStringLiteral("new.txt")).fileName(), QStringLiteral("new.txt"));
    EXPECT_EQ(m_manager->uniqueFileURL(QStringLiteral("new.txt")).fileName(), QStringLiteral("new 2.txt"));
}

TEST_F(ShelfIntakeTest, NamesFromOutsideAreMadeSafe)
{
    const QString longBase = QString(150, QChar(u'é'));
    const struct
    {
        QString name;
        QString safe;
    } rows[] = {
        {QStringLiteral("../../x"), QStringLiteral("_.._x")},
        {QStringLiteral("a/b"), QStringLiteral("a_b")},
        {QStringLiteral(".."), QString()},
        {QStringLiteral("."), QString()},
        {QStringLiteral(".bashrc"), QStringLiteral("bashrc")},
        {QStringLiteral("tab\there\nnul") + QChar(u'\0'), QStringLiteral("tab_here_nul_")},
        {QStringLiteral("Report: Q3 (final).pdf"), QStringLiteral("Report: Q3 (final).pdf")},
    };
    for (const auto &row : rows)
        EXPECT_EQ(FileShelfManager::sanitizedFileName(row.name), row.safe) << qPrintable(row.name);

    const QString truncated = FileShelfManager::sanitizedFileName(longBase + QStringLiteral(".txt"));
    EXPECT_LE(truncated.toUtf8().size(), FileShelfManager::maxFileNameBytes);
    EXPECT_TRUE(truncated.endsWith(QStringLiteral("é.txt")));
    // The numbered form of a name at the limit stays within it too.
    m_manager->uniqueFileURL(truncated);
    const QString second = m_manager->uniqueFileURL(truncated).fileName();
    EXPECT_LE(second.toUtf8().size(), FileShelfManager::maxFileNameBytes);
    EXPECT_TRUE(second.endsWith(QStringLiteral(" 2.txt")));

    for (const QString &hostile :
         {QStringLiteral("../../x"), QStringLiteral("a/b"), QStringLiteral("/etc/passwd")}) {
        ASSERT_TRUE(m_manager->addImage(solidImage(Qt::red), hostile));
        ASSERT_TRUE(m_manager->processWebLink(QUrl(QStringLiteral("https://example.com/"))));
    }
    settle();
    for (const ShelfItem &item : m_manager->items())
        EXPECT_EQ(QFileInfo(item.url.toLocalFile()).absolutePath(), shelfPath());
    EXPECT_EQ(QDir(outsidePath()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

TEST_F(ShelfIntakeTest, ImagesAreStoredAsPngUnderTheirNameWithoutOverwriting)
{
    ASSERT_TRUE(m_manager->addImage(solidImage(Qt::red), QStringLiteral("  photo.jpeg \n")));
    ASSERT_TRUE(m_manager->addImage(solidImage(Qt::blue), QStringLiteral("photo")));
    ASSERT_TRUE(m_manager->addImage(solidImage(Qt::green)));
    settle();
    ASSERT_EQ(m_manager->items().size(), 3);
    EXPECT_EQ(itemNames().mid(1), (QStringList{QStringLiteral("photo 2.png"), QStringLiteral("photo.png")}));
    EXPECT_EQ(shelvedImage(2).pixelColor(0, 0), QColor(Qt::red));
    EXPECT_EQ(shelvedImage(1).pixelColor(0, 0), QColor(Qt::blue));
    static const QRegularExpression generated(QStringLiteral("^Image_[0-9A-F-]{36}\\.png$"));
    EXPECT_TRUE(generated.match(itemNames().first()).hasMatch()) << qPrintable(itemNames().first());
    EXPECT_EQ(m_manager->items().first().type, QStringLiteral("image/png"));
}

// A write that failed used to add an item whose file did not exist.
TEST_F(ShelfIntakeTest, AnImageThatCannotBeWrittenAddsNoItem)
{
    breakShelfFolder();
    EXPECT_FALSE(m_manager->addImage(solidImage(Qt::red), QStringLiteral("lost")));
    EXPECT_FALSE(m_manager->addImage(QImage()));
    settle();
    EXPECT_TRUE(m_manager->items().isEmpty());
    EXPECT_EQ(m_events.details(DiagEvents::shelfIntakeError),
              (QStringList{QStringLiteral("image write failed"), QStringLiteral("image encode failed")}));
}

TEST_F(ShelfIntakeTest, AFailedCopyShelvesTheOriginalWhichNoRemovalDeletes)
{
    const QUrl original = makeFile(QStringLiteral("notes.txt"));
    breakShelfFolder();
    m_manager->processFile(original);
    m_manager->processFile(QUrl::fromLocalFile(outsidePath(QStringLiteral("vanished.txt"))));
    settle();
    ASSERT_EQ(m_manager->items().size(), 1);
    EXPECT_EQ(m_manager->items().first().url, original);
    m_manager->clearShelf();
    m_manager->cleanupOrphanedFiles();
    settle();
    EXPECT_TRUE(QFile::exists(original.toLocalFile()));
    EXPECT_EQ(m_events.details(DiagEvents::shelfIntakeError),
              (QStringList{QStringLiteral("copy failed"), QStringLiteral("vanished")}));
}

// Pipes inside or as the drop are passed over: copying one would never end.
TEST_F(ShelfIntakeTest, FoldersAreCopiedWholeAsOneEntryWithoutPipes)
{
    QDir outside(outsidePath());
    ASSERT_TRUE(outside.mkpath(QStringLiteral("project/src")));
    makeFile(QStringLiteral("project/src/main.cpp"));
    makeFile(QStringLiteral("project/.hidden"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(outsidePath(QStringLiteral("project/pipe"))).constData(), 0600), 0);
    ASSERT_EQ(::mkfifo(QFile::encodeName(outsidePath(QStringLiteral("pipe"))).constData(), 0600), 0);
    m_manager->processFile(QUrl::fromLocalFile(outsidePath(QStringLiteral("pipe"))));
    m_manager->processFile(QUrl::fromLocalFile(outsidePath(QStringLiteral("project"))));
    settle();
    EXPECT_EQ(itemNames(), QStringList{QStringLiteral("project")});
    EXPECT_TRUE(QFile::exists(shelfPath() + QStringLiteral("/project/src/main.cpp")));
    EXPECT_TRUE(QFile::exists(shelfPath() + QStringLiteral("/project/.hidden")));
    EXPECT_FALSE(QFileInfo::exists(shelfPath() + QStringLiteral("/project/pipe")));
    EXPECT_EQ(m_events.details(DiagEvents::shelfIntakeError),
              QStringList{QStringLiteral("not a regular file")});
    m_manager->removeItem(m_manager->items().first());
    EXPECT_EQ(shelfFiles(), QStringList());
    EXPECT_TRUE(QFile::exists(outsidePath(QStringLiteral("project/src/main.cpp"))));
}

// Regression: /proc/cpuinfo, /proc/version and a link to /proc/self/mem report a size of 0 and were
// shelved as empty files and announced as added; a copy is judged by the bytes read. A file of sysfs
// reports a page whatever it holds: the kernel's file systems are refused by their kind.
TEST_F(ShelfIntakeTest, FilesThatReportNoSizeButAreNotFilesAreRefused)
{
    QSignalSpy received(m_manager.get(), &FileShelfManager::didReceiveFile);
    ASSERT_TRUE(QFile::link(QStringLiteral("/proc/self/mem"), outsidePath(QStringLiteral("mem"))));
    const QUrl empty = makeFile(QStringLiteral("empty.txt"), QByteArray());
    QStringList paths{QStringLiteral("/proc/cpuinfo"), QStringLiteral("/proc/version"),
                      outsidePath(QStringLiteral("mem"))};
    if (QFileInfo(QStringLiteral("/sys/devices/system/cpu/online")).size() > 0)
        paths << QStringLiteral("/sys/devices/system/cpu/online");
    for (const QString &path : paths + QStringList{empty.toLocalFile()})
        m_manager->processFile(QUrl::fromLocalFile(path));
    settle();
    EXPECT_EQ(itemNames(), QStringList{QStringLiteral("empty.txt")});
    EXPECT_EQ(received.size(), 1);
    EXPECT_EQ(shelfFiles(), QStringList{QStringLiteral("empty.txt")});
    EXPECT_EQ(m_events.details(DiagEvents::shelfIntakeError),
              QStringList(paths.size(), QStringLiteral("not a regular file")));
}

// Regression: a file whose name is not valid UTF-8 ("bad\xff\xfe.txt") was reported vanished, as a
// file URL and inside a dropped folder: its name went through a string that could not name it again.
TEST_F(ShelfIntakeTest, AFileWhoseNameIsNotUtf8IsShelved)
{
    const QByteArray outside = QFile::encodeName(outsidePath());
    const QByteArray bad = "bad\xff\xfe.txt";
    ASSERT_EQ(::mkdir((outside + "/folder").constData(), 0700), 0);
    for (const QByteArray &path : {outside + '/' + bad, outside + "/folder/" + bad}) {
        QFile file;
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_TRUE(file.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle));
        file.write("raw name");
    }
    m_manager->processFile(QUrl::fromEncoded("file://" + outside.toPercentEncoding("/") + "/bad%FF%FE.txt"));
    m_manager->processFile(QUrl::fromLocalFile(outsidePath(QStringLiteral("folder"))));
    settle();
    EXPECT_EQ(itemNames(), (QStringList{u"folder"_qs, u"bad\ufffd\ufffd.txt"_qs}));
    EXPECT_TRUE(m_events.details(DiagEvents::shelfIntakeError).isEmpty());
    QFile shelved(m_manager->items().at(1).url.toLocalFile());
    ASSERT_TRUE(shelved.open(QIODevice::ReadOnly));
    EXPECT_EQ(shelved.readAll(), QByteArray("raw name"));
    struct stat inFolder = {};
    EXPECT_EQ(::stat((QFile::encodeName(shelfPath()) + "/folder/" + bad).constData(), &inFolder), 0);
}

// Regression: a 2 GB sparse file became 2 GiB of real disk in the shelf and held the serial intake
// up for seconds.
TEST_F(ShelfIntakeTest, SparseFilesKeepTheirHoles)
{
    constexpr qint64 size = 2LL * 1024 * 1024 * 1024;
    const QString path = outsidePath(QStringLiteral("sparse.img"));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(size));
        ASSERT_TRUE(file.seek(size / 2));
        file.write(QByteArray(4096, 'd'));
    }
    struct stat source = {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &source), 0);
    if (qint64(source.st_blocks) * 512 > 64 * 1024 * 1024)
        GTEST_SKIP() << "this file system keeps no holes";
    // Room is judged by what the file takes on disk, not by its size: room for half of it is enough.
    m_manager->setMinimumFreeBytes(QStorageInfo(shelfPath()).bytesAvailable() - size / 2);
    m_manager->processFile(QUrl::fromLocalFile(path));
    settle();
    ASSERT_EQ(m_manager->items().size(), 1);
    const QString copy = m_manager->items().first().url.toLocalFile();
    ASSERT_EQ(QFileInfo(copy).absolutePath(), shelfPath()) << "refused for want of room";
    struct stat copied = {};
    ASSERT_EQ(::stat(QFile::encodeName(copy).constData(), &copied), 0);
    EXPECT_EQ(qint64(copied.st_size), size);
    EXPECT_LE(qint64(copied.st_blocks) * 512, 64 * 1024 * 1024);
    QFile file(copy);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    ASSERT_TRUE(file.seek(size / 2 - 1));
    EXPECT_EQ(file.read(4098), QByteArray(1, '\0') + QByteArray(4096, 'd') + QByteArray(1, '\0'));
}

// A copy that would leave the disk nearly full is a failed copy: the file is referenced where it is,
// said on the console and in diagnostics, and nothing partial stays in the shelf.
TEST_F(ShelfIntakeTest, ACopyThatWouldFillTheDiskIsReferencedInPlace)
{
    const QUrl original = makeFile(QStringLiteral("big.bin"), QByteArray(100000, 'b'));
    QDir(outsidePath()).mkpath(QStringLiteral("tree/inner"));
    makeFile(QStringLiteral("tree/inner/leaf.bin"), QByteArray(100000, 'l'));
    m_manager->setMinimumFreeBytes(std::numeric_limits<qint64>::max() / 2);
    m_manager->processFile(original);
    m_manager->processFile(QUrl::fromLocalFile(outsidePath(QStringLiteral("tree"))));
    settle();
    ASSERT_EQ(m_manager->items().size(), 2);
    EXPECT_EQ(m_manager->items().at(1).url, original);
    EXPECT_EQ(m_events.details(DiagEvents::shelfIntakeError), (QStringList{u"no room"_qs, u"no room"_qs}));
    EXPECT_EQ(shelfFiles(), QStringList());
    EXPECT_TRUE(FileCopy::hasRoom(100, 1100, 1000)) << "exactly the minimum left free is enough";
    EXPECT_FALSE(FileCopy::hasRoom(101, 1100, 1000));
}

// A copy keeps its original's permissions, made readable and writable by its owner so the shelf can
// remove it again; a plain document never turns into a program (copies once came out executable).
TEST_F(ShelfIntakeTest, CopiesKeepTheirPermissionsAndStayWritableByTheirOwner)
{
    const mode_t previousMask = ::umask(022);
    const auto restoreMask = qScopeGuard([previousMask] { ::umask(previousMask); });
    const struct
    {
        QString name;
        mode_t mode;
        mode_t copied;
    } rows[] = {
        {QStringLiteral("notes.txt"), 0644, 0644},      {QStringLiteral("secret.txt"), 0400, 0600},
        {QStringLiteral("run.sh"), 0755, 0755},         {QStringLiteral("shared.txt"), 0666, 0644},
        {QStringLiteral("tree"), 0550, 0750},           {QStringLiteral("tree/inner.txt"), 0640, 0640},
    };
    QDir(outsidePath()).mkpath(QStringLiteral("tree"));
    for (const auto &row : rows) {
        if (row.name != u"tree")
            makeFile(row.name, "content");
    }
    for (auto row = std::rbegin(rows); row != std::rend(rows); ++row) // the folder is closed last
        ASSERT_EQ(::chmod(QFile::encodeName(outsidePath(row->name)).constData(), row->mode), 0) << qPrintable(row->name);
    const auto reopen = qScopeGuard([this] { ::chmod(QFile::encodeName(outsidePath(u"tree"_qs)).constData(), 0700); });
    for (const auto &row : rows) {
        if (!row.name.contains(u'/'))
            m_manager->processFile(QUrl::fromLocalFile(outsidePath(row.name)));
    }
    settle();
    ASSERT_EQ(m_manager->items().size(), 5);
    for (const auto &row : rows) {
        struct stat copied = {};
        ASSERT_EQ(::stat(QFile::encodeName(shelfPath() + u'/' + row.name).constData(), &copied), 0) << qPrintable(row.name);
        EXPECT_EQ(copied.st_mode & 07777, row.copied) << qPrintable(row.name) << " copied as "
                                                       << QString::number(copied.st_mode & 07777, 8).toStdString();
    }
}

TEST_F(ShelfIntakeTest, WeblocHoldsTheExactAddressEscaped)
{
    const QUrl address(QStringLiteral("https://example.com/search?q=a&lang=en&x=<y>"));
    ASSERT_TRUE(m_manager->processWebLink(address));
    settle();
    ASSERT_EQ(m_manager->items().size(), 1);
    const ShelfItem item = m_manager->items().first();
    EXPECT_EQ(item.originalWebURL, address);
    static const QRegularExpression uuidName(
        QStringLiteral("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\.webloc$"));
    EXPECT_TRUE(uuidName.match(item.url.fileName()).hasMatch());
    QFile file(item.url.toLocalFile());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArrayLiteral(R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
	<key>URL</key>
	<string>https://example.com/search?q=a&amp;lang=en&amp;x=%3Cy%3E</string>
</dict>
</plist>
)"));
    EXPECT_EQ(m_sim.web.metadataAsked, QList<QUrl>{address});
}

// The shelf showed a link as its stored "<uuid>.webloc" file instead of the page's title.
TEST_F(ShelfIntakeTest, ALinkShowsThePagesTitle)
{
    const QUrl address(QStringLiteral("https://example.com/article"));
    m_sim.web.scriptMetadata(address,
                             LinkMetadata{true, QStringLiteral(" Moving day "), QImage(), QString()});
    ASSERT_TRUE(m_manager->processWebLink(address));
    settle();
    ShelfListModel model(*m_manager);
    ASSERT_EQ(model.rowCount(), 1);
    EXPECT_EQ(model.data(model.index(0), ShelfListModel::DisplayNameRole).toString(),
              QStringLiteral("Moving day"));
    EXPECT_EQ(model.data(model.index(0), Qt::DisplayRole).toString(), QStringLiteral("Moving day"));
}

struct RemoteRow
{
    const char *address;
    DownloadResult answer;
    QString storedName; // "*.webloc" for a link item
    bool isLink;
};

class RemoteImageTest : public ShelfIntakeTest, public ::testing::WithParamInterface<RemoteRow>
{
};

TEST_P(RemoteImageTest, DownloadsBecomeImagesRawFilesOrLinks)
{
    const RemoteRow &row = GetParam();
    const QUrl address(QString::fromLatin1(row.address));
    m_sim.web.scriptDownload(address, row.answer);
    m_manager->downloadRemoteImage(address);
    settle();
    EXPECT_EQ(m_sim.web.lastDownloadTimeout, FileShelfManager::downloadTimeout);
    EXPECT_EQ(m_sim.web.lastMaxBytes, FileShelfManager::maxRemoteImageBytes);
    ASSERT_EQ(m_manager->items().size(), 1);
    const ShelfItem item = m_manager->items().first();
    EXPECT_EQ(item.originalWebURL.has_value(), row.isLink);
    if (row.isLink)
        EXPECT_TRUE(item.url.fileName().endsWith(QStringLiteral(".webloc")));
    else
        EXPECT_EQ(item.url.fileName(), row.storedName);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, RemoteImageTest,
    ::testing::Values(
        RemoteRow{"https://img.example/cat.JPG",
                  {encodedImage(solidImage(Qt::red), "JPG"), "image/jpeg", false, {}},
                  "cat.png",
                  false},
        RemoteRow{"https://img.example/drawing",
                  {"<not-an-image/>", "image/svg+xml", false, {}},
                  "drawing.svg",
                  false},
        RemoteRow{
            "https://img.example/photo", {"\x89PNG broken", "IMAGE/PNG", false, {}}, "photo.png", false},
        RemoteRow{"https://example.com/page", {"<html></html>", "text/html", false, {}}, {}, true},
        RemoteRow{"https://example.com/empty.png", {{}, "image/png", false, {}}, {}, true},
        RemoteRow{"https://example.com/huge.png", {{}, "image/png", true, "body too large"}, {}, true}));

class ShelfDropTest : public ShelfIntakeTest
{
};

// The drop used to copy everything inside the drop callback, freezing the interface for a big folder.
TEST_F(ShelfDropTest, DropReturnsAtOnceAndTakesFilesInDropOrder)
{
    DropData drop;
    drop.fileURLs = {makeFile(QStringLiteral("one.txt")), makeFile(QStringLiteral("two.txt")),
                     makeFile(QStringLiteral("three.txt"))};
    drop.images = {solidImage(Qt::red)};
    drop.urls = {QUrl(QStringLiteral("https://example.com/x.png"))};
    EXPECT_TRUE(m_manager->handleDrop(drop));
    EXPECT_EQ(shelfFiles(), QStringList());
    settle();
    EXPECT_EQ(itemNames(), (QStringList{QStringLiteral("three.txt"), QStringLiteral("two.txt"),
                                        QStringLiteral("one.txt")}));
    EXPECT_TRUE(m_sim.web.downloadsAsked.isEmpty());
}

// A drop of thousands of entries, each file listed several times, copied every entry (duplicates under
// new names) far past the 200 the shelf holds, and held the interface for minutes.
TEST_F(ShelfDropTest, AFloodedDropTakesEachFileOnceUpToCapacityInBatches)
{
    DropData drop;
    for (int i = 0; i < FileShelfManager::capacity + 30; ++i) {
        const QString name = QStringLiteral("f%1.txt").arg(i, 3, 10, QLatin1Char('0'));
        const QUrl file = makeFile(name);
        drop.fileURLs << file << file << QUrl::fromLocalFile(outsidePath(QStringLiteral("./") + name));
    }
    QList<qsizetype> sizes;
    QObject::connect(m_manager.get(), &FileShelfManager::itemsChanged, [&] {
        if (sizes.isEmpty() || sizes.last() != m_manager->items().size())
            sizes.append(m_manager->items().size());
    });
    EXPECT_TRUE(m_manager->handleDrop(drop));
    EXPECT_EQ(shelfFiles(), QStringList());
    settle();
    // One insertion a batch.
    QList<qsizetype> batches;
    for (int taken = FileShelfManager::intakeBatch; taken <= FileShelfManager::capacity;
         taken += FileShelfManager::intakeBatch)
        batches.append(taken);
    EXPECT_EQ(sizes, batches);
    EXPECT_EQ(shelfFiles().size(), FileShelfManager::capacity);
    EXPECT_EQ(itemNames().first(), QStringLiteral("f199.txt"));
    EXPECT_EQ(itemNames().last(), QStringLiteral("f000.txt"));
    EXPECT_EQ(m_events.details(DiagEvents::shelfDropCut), QStringList{QStringLiteral("taken=200")});

    // A drop that fits says nothing.
    drop.fileURLs = {makeFile(QStringLiteral("one.txt"))};
    m_manager->handleDrop(drop);
    settle();
    EXPECT_EQ(m_events.details(DiagEvents::shelfDropCut).size(), 1);
}

TEST_F(ShelfDropTest, FileDataOfItemsIsTheSecondChoice)
{
    DropData drop;
    // An item's picture of the file is not a second item.
    drop.items = {DropDataItem{makeFile(QStringLiteral("a.txt")),
                               {{QStringLiteral("image/png"), encodedImage(solidImage(Qt::red), "PNG")}},
                               {}},
                  DropDataItem{}, DropDataItem{QUrl(QStringLiteral("https://example.com/b")), {}, {}}};
    EXPECT_TRUE(m_manager->handleDrop(drop));
    settle();
    EXPECT_EQ(itemNames(), QStringList{QStringLiteral("a.txt")});
}

TEST_F(ShelfDropTest, ImageObjectsWinOverAddressesAndTakeTheLinkTitle)
{
    DropData drop;
    drop.images = {solidImage(Qt::red)};
    drop.urlName = QStringLiteral("Sunset.jpg");
    drop.urls = {QUrl(QStringLiteral("https://example.com/sunset.jpg"))};
    EXPECT_TRUE(m_manager->handleDrop(drop));
    settle();
    EXPECT_EQ(itemNames(), QStringList{QStringLiteral("Sunset.png")});
    EXPECT_TRUE(m_sim.web.downloadsAsked.isEmpty());
}

TEST_F(ShelfDropTest, EachItemYieldsOneImageInTypeOrder)
{
    DropData drop;
    // PNG is preferred over TIFF whatever the order offered; a PNG that does not decode yields to the TIFF.
    drop.items = {DropDataItem{std::nullopt,
                               {{QStringLiteral("image/tiff"), encodedImage(solidImage(Qt::blue), "TIFF")},
                                {QStringLiteral("image/png"), encodedImage(solidImage(Qt::red), "PNG")}},
                               QStringLiteral("first")},
                  DropDataItem{std::nullopt,
                               {{QStringLiteral("image/png"),
                                 encodedImage(solidImage(Qt::red, 64, 64), "PNG").left(60)},
                                {QStringLiteral("image/tiff"), encodedImage(solidImage(Qt::green), "TIFF")}},
                               QStringLiteral("second")}};
    EXPECT_TRUE(m_manager->handleDrop(drop));
    settle();
    ASSERT_EQ(itemNames(), (QStringList{QStringLiteral("second.png"), QStringLiteral("first.png")}));
    EXPECT_EQ(shelvedImage(1).pixelColor(0, 0), QColor(Qt::red));
    EXPECT_EQ(shelvedImage(0).pixelColor(0, 0), QColor(Qt::green));
}

TEST_F(ShelfDropTest, OneWebAddressIsFetchedPreferringImages)
{
    const struct
    {
        QStringList offered;
        QString fetched; // empty: the drop is refused
    } rows[] = {
        {{QStringLiteral("https://example.com/page"), QStringLiteral("https://cdn.example.com/PHOTO.JPG")},
         QStringLiteral("https://cdn.example.com/PHOTO.JPG")},
        {{QStringLiteral("https://example.com/page")}, QStringLiteral("https://example.com/page")},
        {{QStringLiteral("https://example.com/a"), QStringLiteral("https://cdn.example.com/x?FM=PNG&w=80")},
         QStringLiteral("https://cdn.example.com/x?FM=PNG&w=80")},
        {{QStringLiteral("ftp://example.com/a.png"), QStringLiteral("https://example.com/images/a")},
         QStringLiteral("https://example.com/images/a")},
        {{QStringLiteral("ftp://example.com/a.png"), QStringLiteral("mailto:someone@example.com")},
         QString()},
        {{}, QString()},
    };
    for (const auto &row : rows) {
        m_sim.web.downloadsAsked.clear();
        DropData drop;
        for (const QString &address : row.offered)
            drop.urls.append(QUrl(address));
        EXPECT_EQ(m_manager->handleDrop(drop), !row.fetched.isEmpty());
        settle();
        EXPECT_EQ(m_sim.web.downloadsAsked,
                  row.fetched.isEmpty() ? QList<QUrl>() : QList<QUrl>{QUrl(row.fetched)});
    }
}

// A copy the system stops half-way (a disk that fills up, a write refused) is a failed copy and
// leaves nothing: a cut file must never be shelved as the whole one. The file size limit stops it
// here, after 64 KiB of 1 MiB.
TEST(FileCopyTest, ACopyStoppedHalfWayFailsAndLeavesNothing)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString source = dir.filePath(QStringLiteral("source.bin"));
    const QString copy = dir.filePath(QStringLiteral("copy.bin"));
    {
        QFile file(source);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(QByteArray(1 << 20, 'x')), 1 << 20);
    }
    struct rlimit saved = {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    struct rlimit limited = saved;
    limited.rlim_cur = 64 * 1024;
    const auto savedSignal = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    const FileCopy::Outcome outcome =
        FileCopy::copyEntry(QFile::encodeName(source), QFile::encodeName(copy), 0);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, savedSignal);
    EXPECT_EQ(outcome, FileCopy::Outcome::Failed)
        << "a copy stopped after 64 KiB of 1 MiB was reported whole";
    EXPECT_FALSE(QFileInfo::exists(copy)) << "a copy stopped half-way was left behind";
}

} // namespace
} // namespace qv
