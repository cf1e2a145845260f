#include <QAbstractItemModelTester>
#include <QSet>
#include <QSignalSpy>

#include "core/diagnostics/diagevents.h"
#include "shelf/shelflistmodel.h"
#include "shelffixture.h"

namespace qv {
namespace {

class ShelfStoreTest : public ShelfTest
{
protected:
    // An item whose file lies in the shelf folder, inserted at once.
    ShelfItem addShelfFile(const QString &name)
    {
        const QString path = QDir(shelfPath()).filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("x");
        file.close();
        const QUuid id = m_manager->addItem(QUrl::fromLocalFile(path));
        settle();
        return m_manager->items().first().id == id ? m_manager->items().first() : ShelfItem();
    }
};

TEST_F(ShelfStoreTest, InsertsNewestFirstAndAnnouncesEachItem)
{
    QSignalSpy received(m_manager.get(), &FileShelfManager::didReceiveFile);
    const QUuid first = m_manager->addItem(makeFile(QStringLiteral("a.txt")));
    const QUuid second = m_manager->addItem(makeFile(QStringLiteral("b.txt")));
    // The id comes back before the item is listed.
    EXPECT_TRUE(m_manager->items().isEmpty());
    settle();
    ASSERT_EQ(m_manager->items().size(), 2);
    EXPECT_EQ(m_manager->items().at(0).id, second);
    EXPECT_EQ(m_manager->items().at(1).id, first);
    EXPECT_EQ(received.count(), 2);
    const ShelfItem &item = m_manager->items().at(0);
    EXPECT_EQ(item.type, QStringLiteral("text/plain"));
    EXPECT_FALSE(item.thumbnail.isNull());
    EXPECT_FALSE(item.isPinned || item.isWebFetched || item.customName || item.originalWebURL);
}

// The trim used to take the last item even when it was pinned and unpinned ones were there to go.
TEST_F(ShelfStoreTest, CapacityTrimSparesPinnedItemsWhileUnpinnedOnesExist)
{
    for (int i = 0; i < FileShelfManager::capacity; ++i)
        addShelfFile(QStringLiteral("f%1.txt").arg(i));
    const ShelfItem oldest = m_manager->items().last();
    const ShelfItem secondOldest = m_manager->items().at(FileShelfManager::capacity - 2);
    m_manager->togglePin(oldest.id);

    addShelfFile(QStringLiteral("new.txt"));
    ASSERT_EQ(m_manager->items().size(), FileShelfManager::capacity);
    EXPECT_EQ(m_manager->items().last().id, oldest.id);
    EXPECT_EQ(m_manager->items().first().url.fileName(), QStringLiteral("new.txt"));
    EXPECT_FALSE(QFile::exists(secondOldest.url.toLocalFile()));
    EXPECT_TRUE(QFile::exists(oldest.url.toLocalFile()));
}

TEST_F(ShelfStoreTest, CapacityTrimTakesThePinnedOldestWhenEverythingIsPinned)
{
    for (int i = 0; i < FileShelfManager::capacity; ++i)
        m_manager->togglePin(addShelfFile(QStringLiteral("f%1.txt").arg(i)).id);
    const ShelfItem oldest = m_manager->items().last();
    addShelfFile(QStringLiteral("new.txt"));
    ASSERT_EQ(m_manager->items().size(), FileShelfManager::capacity);
    EXPECT_NE(m_manager->items().last().id, oldest.id);
    EXPECT_FALSE(QFile::exists(oldest.url.toLocalFile()));
}

// A full shelf whose every item but one is pinned: the one unpinned item makes room wherever it
// stands (the newest before the drop, the middle, the oldest), and no pinned item goes.
TEST_F(ShelfStoreTest, CapacityTrimTakesTheOneUnpinnedItemWhereverItStands)
{
    for (const int unpinned : {0, FileShelfManager::capacity / 2, FileShelfManager::capacity - 1}) {
        SCOPED_TRACE(unpinned);
        m_manager->clearShelf();
        for (int i = 0; i < FileShelfManager::capacity; ++i)
            addShelfFile(QStringLiteral("f%1.txt").arg(i));
        const QList<ShelfItem> before = m_manager->items();
        for (int i = 0; i < before.size(); ++i) {
            if (i != unpinned)
                m_manager->togglePin(before.at(i).id);
        }
        const ShelfItem added = addShelfFile(QStringLiteral("new.txt"));
        ASSERT_EQ(m_manager->items().size(), FileShelfManager::capacity);
        EXPECT_EQ(m_manager->items().first().id, added.id) << "the dropped item went";
        QSet<QUuid> kept;
        for (const ShelfItem &item : m_manager->items())
            kept.insert(item.id);
        EXPECT_FALSE(kept.contains(before.at(unpinned).id)) << "the unpinned item stayed";
        EXPECT_FALSE(QFile::exists(before.at(unpinned).url.toLocalFile())) << "its file stayed";
        for (int i = 0; i < before.size(); ++i) {
            if (i != unpinned && !kept.contains(before.at(i).id))
                ADD_FAILURE() << "pinned item " << i << " made room while an unpinned one was there";
        }
    }
}

TEST_F(ShelfStoreTest, ClearingEmptiesTheShelfButDeletesOnlyItsOwnFiles)
{
    const ShelfItem inside = addShelfFile(QStringLiteral("inside.txt"));
    const QUrl outside = makeFile(QStringLiteral("outside.txt"));
    m_manager->addItem(outside);
    settle();
    m_manager->togglePin(m_manager->items().first().id);
    m_manager->togglePin(inside.id);

    m_manager->clearShelf();
    EXPECT_TRUE(m_manager->items().isEmpty());
    EXPECT_FALSE(QFile::exists(inside.url.toLocalFile()));
    EXPECT_TRUE(QFile::exists(outside.toLocalFile()));
}

TEST_F(ShelfStoreTest, RemovalDeletesOwnFilesOnlyAndUnknownIdsChangeNothing)
{
    const ShelfItem inside = addShelfFile(QStringLiteral("a.txt"));
    m_manager->addItem(makeFile(QStringLiteral("b.txt")));
    settle();
    const ShelfItem outside = m_manager->items().first();
    const QList<ShelfItem> before = m_manager->items();
    m_manager->togglePin(QUuid::createUuid());
    m_manager->removeDraggedItem(QUuid::createUuid());
    EXPECT_EQ(m_manager->items(), before);

    m_manager->removeItem(outside);
    m_manager->removeItem(inside);
    EXPECT_TRUE(m_manager->items().isEmpty());
    EXPECT_TRUE(QFile::exists(outside.url.toLocalFile()));
    EXPECT_FALSE(QFile::exists(inside.url.toLocalFile()));
}

TEST_F(ShelfStoreTest, StartSweepsLeftoversButKeepsHiddenFilesAndSiblingFolders)
{
    m_manager.reset();
    QDir root(m_root.path());
    root.mkpath(QStringLiteral("QuorvantisShelf/old folder"));
    root.mkpath(QStringLiteral("QuorvantisShelf2"));
    for (const QString &name :
         {QStringLiteral("QuorvantisShelf/old.png"), QStringLiteral("QuorvantisShelf/.hidden"),
          QStringLiteral("QuorvantisShelf/old folder/inner.txt"),
          QStringLiteral("QuorvantisShelf2/neighbour.txt")}) {
        QFile file(root.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    // A link left inside the folder goes as a link: what it points to stays.
    ASSERT_TRUE(QFile::link(root.filePath(QStringLiteral("QuorvantisShelf2")),
                            root.filePath(QStringLiteral("QuorvantisShelf/link"))));
    start();
    settle();
    EXPECT_EQ(shelfFiles(), QStringList{QStringLiteral(".hidden")});
    EXPECT_TRUE(QFile::exists(root.filePath(QStringLiteral("QuorvantisShelf2/neighbour.txt"))));
}

// Regression: with the shelf folder a link to ~/Documents, the start-up sweep deleted the user's
// documents. A linked folder is refused: never swept, never written into, nothing deleted through it.
TEST_F(ShelfStoreTest, ALinkInPlaceOfTheFolderIsRefusedAndTheUsersFilesSurvive)
{
    m_manager.reset();
    QDir root(m_root.path());
    ASSERT_TRUE(QDir(shelfPath()).removeRecursively());
    ASSERT_TRUE(root.mkpath(QStringLiteral("Documents/project")));
    const QStringList documents = {QStringLiteral("Documents/letter.txt"),
                                   QStringLiteral("Documents/.hidden"),
                                   QStringLiteral("Documents/project/notes.txt")};
    for (const QString &name : documents) {
        QFile file(root.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("the user's");
    }
    ASSERT_TRUE(QFile::link(root.filePath(QStringLiteral("Documents")), shelfPath()));
    start();
    settle();
    EXPECT_EQ(m_events.details(DiagEvents::folderRefused),
              QStringList{QStringLiteral("QuorvantisShelf: it is a symbolic link")});

    // A drop is shelved where it lies; removals reach neither it nor anything behind the link.
    m_manager->processFile(makeFile(QStringLiteral("dropped.txt")));
    m_manager->addItem(QUrl::fromLocalFile(shelfPath() + QStringLiteral("/letter.txt")));
    settle();
    ASSERT_EQ(m_manager->items().size(), 2);
    EXPECT_EQ(m_manager->items().at(1).url.toLocalFile(), outsidePath(QStringLiteral("dropped.txt")));
    m_manager->removeItem(m_manager->items().first());
    m_manager->clearShelf();
    m_manager->cleanupOrphanedFiles();
    settle();
    EXPECT_TRUE(QFileInfo(shelfPath()).isSymLink());
    EXPECT_TRUE(QFile::exists(outsidePath(QStringLiteral("dropped.txt"))));
    for (const QString &name : documents)
        EXPECT_TRUE(QFile::exists(root.filePath(name))) << name.toStdString();
    EXPECT_EQ(QDir(root.filePath(QStringLiteral("Documents")))
                  .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
                  .size(),
              3);
}

TEST_F(ShelfStoreTest, SweepKeepsListedFilesAndNamesStillInFlight)
{
    const ShelfItem listed = addShelfFile(QStringLiteral("listed.txt"));
    // An intake chose this name and wrote its file, but its item is not on the shelf yet.
    const QUrl inFlight = m_manager->uniqueFileURL(QStringLiteral("coming.txt"));
    QFile file(inFlight.toLocalFile());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();

    m_manager->cleanupOrphanedFiles();
    settle();
    EXPECT_EQ(shelfFiles(), (QStringList{QStringLiteral("coming.txt"), QStringLiteral("listed.txt")}));

    m_manager->releaseName(inFlight);
    m_manager->cleanupOrphanedFiles();
    settle();
    EXPECT_EQ(shelfFiles(), QStringList{QStringLiteral("listed.txt")});
    EXPECT_EQ(m_manager->items().first().id, listed.id);
}

TEST_F(ShelfStoreTest, InsideTheShelfFolderMeansUnderItAfterResolvingLinks)
{
    QDir root(m_root.path());
    ASSERT_TRUE(root.mkpath(QStringLiteral("QuorvantisShelf2")));
    ASSERT_TRUE(QFile::link(shelfPath(), root.filePath(QStringLiteral("shortcut"))));
    ASSERT_TRUE(QFile::link(outsidePath(), QDir(shelfPath()).filePath(QStringLiteral("escape"))));
    const struct
    {
        QString path;
        bool inside;
    } rows[] = {
        {shelfPath(), true},
        {shelfPath() + QStringLiteral("/a.txt"), true},
        {shelfPath() + QStringLiteral("/sub/b.txt"), true},
        {root.filePath(QStringLiteral("QuorvantisShelf2/a.txt")), false},
        {shelfPath() + QStringLiteral("2"), false},
        {shelfPath() + QStringLiteral("/../outside/x"), false},
        {root.filePath(QStringLiteral("shortcut/a.txt")), true},
        {shelfPath() + QStringLiteral("/escape/x"), false},
    };
    for (const auto &row : rows)
        EXPECT_EQ(m_manager->isInsideShelfDirectory(QUrl::fromLocalFile(row.path)), row.inside)
            << qPrintable(row.path);
    EXPECT_FALSE(m_manager->isInsideShelfDirectory(QUrl(QStringLiteral("https://example.com/a"))));
}

class DragOutTest : public ShelfStoreTest, public ::testing::WithParamInterface<std::tuple<bool, bool, bool>>
{
};

// (pinned, drag data still on offer, expect removal)
TEST_P(DragOutTest, RemovesOnlyUnpinnedItemsThatAnotherApplicationTook)
{
    const auto [pinned, stillOffered, removed] = GetParam();
    const ShelfItem item = addShelfFile(QStringLiteral("drag.txt"));
    if (pinned)
        m_manager->togglePin(item.id);
    m_sim.dragEndReport.setDragTypes(stillOffered ? QStringList{QStringLiteral("text/uri-list")}
                                                  : QStringList());

    m_manager->setDraggingItemID(item.id);
    EXPECT_TRUE(m_sim.dragEndReport.isMonitoring());
    m_sim.dragEndReport.release();
    EXPECT_TRUE(m_manager->draggingItemID().isNull());
    EXPECT_FALSE(m_sim.dragEndReport.isMonitoring());
    settle(0.29);
    EXPECT_EQ(m_manager->items().size(), 1);
    settle(0.02);
    EXPECT_EQ(m_manager->items().isEmpty(), removed);
    // The file stays for the program that took it (it may copy later) until the next start's sweep.
    m_manager->removeItem(addShelfFile(QStringLiteral("other.txt")));
    m_manager->cleanupOrphanedFiles();
    settle();
    EXPECT_EQ(shelfFiles(), QStringList{QStringLiteral("drag.txt")});
    start();
    settle();
    EXPECT_TRUE(shelfFiles().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Outcomes, DragOutTest,
                         ::testing::Values(std::tuple(false, false, true), std::tuple(true, false, false),
                                           std::tuple(false, true, false)));

TEST_F(ShelfStoreTest, MouseUpWithoutADragLeavesTheMonitorInstalled)
{
    addShelfFile(QStringLiteral("a.txt"));
    m_manager->startDragOutMonitor();
    m_manager->startDragOutMonitor();
    m_sim.dragEndReport.release();
    settle(1.0);
    EXPECT_TRUE(m_sim.dragEndReport.isMonitoring());
    EXPECT_EQ(m_manager->items().size(), 1);
}

TEST_F(ShelfStoreTest, ListModelFollowsTheShelfByIdentity)
{
    ShelfListModel model(*m_manager);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    const ShelfItem a = addShelfFile(QStringLiteral("a.txt"));
    const ShelfItem b = addShelfFile(QStringLiteral("b.txt"));
    ASSERT_EQ(model.rowCount(), 2);
    EXPECT_EQ(model.data(model.index(0), ShelfListModel::DisplayNameRole).toString(),
              QStringLiteral("b.txt"));

    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    m_manager->togglePin(a.id);
    EXPECT_EQ(changed.count(), 1);
    EXPECT_TRUE(model.data(model.index(1), ShelfListModel::IsPinnedRole).toBool());
    EXPECT_EQ(removed.count(), 0);
    m_manager->removeItem(b);
    EXPECT_EQ(removed.count(), 1);
    EXPECT_EQ(model.rowOf(a.id), 0);
}

} // namespace
} // namespace qv
