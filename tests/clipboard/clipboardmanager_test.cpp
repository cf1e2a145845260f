#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

#include "clipboard/clipboardmanager.h"
#include "clipboard/graphemes.h"
#include "core/diagnostics/diagevents.h"
#include "core/settingskeys.h"
#include "core/settingsstore.h"
#include "platform/sim/simdesktop.h"
#include "printers.h"
#include "runtime/manualscheduler.h"
#include "runtime/workqueue.h"
#include "support/hostileimages.h"
#include "support/consolecapture.h"
#include "support/recordingeventlog.h"
#include "support/withoutfilerights.h"

namespace qv {
namespace {

QByteArray pngBytes(int width, int height, Qt::GlobalColor color = Qt::darkGreen)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(color);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

class ClipboardManagerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_cache.isValid());
        start();
    }

    void start()
    {
        m_manager = std::make_unique<ClipboardManager>(m_sim.pasteboard, m_sim.workspace, m_scheduler,
                                                       m_queues, m_settings, m_events, m_cache.path());
        QObject::connect(m_manager.get(), &ClipboardManager::didCapture, [this] { ++m_captures; });
    }

    // Long enough for a poll at the slowest period, a retry run and the quiet period.
    void settle() { m_scheduler.advance(3.0); }

    QStringList texts() const
    {
        QStringList result;
        for (const auto &item : m_manager->history())
            result.append(item.text);
        return result;
    }

    QStringList events(const QString &name) const { return m_events.details(name); }

    QStringList cachedFiles() const { return QDir(m_cache.path()).entryList(QDir::Files); }

    ClipboardItem textItem(const QString &text) const
    {
        ClipboardItem item;
        item.id = QUuid::createUuid();
        item.text = text;
        item.deviceSource = ClipboardManager::thisMac;
        return item;
    }

    ClipboardItem imageItem(const QString &fileName)
    {
        const QString path = QDir(m_cache.path()).filePath(fileName);
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(pngBytes(2, 2));
        ClipboardItem item = textItem(QStringLiteral("Image • 2×2"));
        item.isImage = true;
        item.imageURL = QUrl::fromLocalFile(path);
        return item;
    }

    QTemporaryDir m_cache;
    SimDesktop m_sim;
    ManualScheduler m_scheduler;
    SchedulerQueueFactory m_queues{m_scheduler};
    SettingsStore m_settings;
    std::unique_ptr<ClipboardManager> m_manager;
    RecordingEventLog m_events;
    int m_captures = 0;
};

// The history store

TEST_F(ClipboardManagerTest, RepeatedTextWithinOneQuietPeriodIsDroppedAtEnqueue)
{
    for (const char *text : {"A", "B", "A"}) {
        m_sim.pasteboard.copyText(QString::fromLatin1(text));
        m_scheduler.advance(0.18);
    }
    EXPECT_EQ(events(DiagEvents::clipboardChange),
              (QStringList{"type=text, pending=1", "type=text, pending=2"}));
    settle();
    EXPECT_EQ(texts(), (QStringList{"B", "A"}));
    EXPECT_EQ(events(DiagEvents::clipboardFlush), QStringList{"flushed=2, total=2"});
}

// The same text twice in a row is stored once; again after another text, it is a new item on top.
TEST_F(ClipboardManagerTest, TextCopiedAgainLaterMovesToTheTopAsANewItem)
{
    for (const char *text : {"A", "A", "B", "A"}) {
        m_sim.pasteboard.copyText(QString::fromLatin1(text));
        settle();
    }
    EXPECT_EQ(texts(), (QStringList{"A", "B"}));
    EXPECT_EQ(m_captures, 3);
    EXPECT_EQ(events(DiagEvents::clipboardChange).size(), 3);
}

// An empty flush posts and logs nothing; a batch the dedupe absorbed still does.
TEST_F(ClipboardManagerTest, BatchAbsorbedByTheDedupeStillPostsAndLogs)
{
    m_manager->flushPending();
    EXPECT_EQ(m_captures, 0);
    EXPECT_TRUE(m_events.events().isEmpty());
    m_sim.pasteboard.copyText(QStringLiteral("same"));
    settle();
    m_manager->enqueuePending(textItem(QStringLiteral("same")));
    m_manager->flushPending();
    EXPECT_EQ(texts(), QStringList{"same"});
    EXPECT_EQ(m_captures, 2);
    EXPECT_EQ(events(DiagEvents::clipboardFlush).last(), QStringLiteral("flushed=1, total=1"));
}

TEST_F(ClipboardManagerTest, FiveHundredAndFirstItemEvictsTheOldestAndItsFile)
{
    const ClipboardItem oldest = imageItem(QStringLiteral("oldest.png"));
    m_manager->enqueuePending(oldest);
    m_manager->flushPending();
    for (int i = 0; i < 499; ++i)
        m_manager->enqueuePending(textItem(QString::number(i)));
    m_manager->flushPending();
    ASSERT_EQ(m_manager->history().size(), 500);
    EXPECT_TRUE(QFileInfo::exists(oldest.imageURL.toLocalFile()));

    m_manager->enqueuePending(textItem(QStringLiteral("newest")));
    m_manager->flushPending();
    EXPECT_EQ(m_manager->history().size(), 500);
    EXPECT_EQ(m_manager->history().first().text, QStringLiteral("newest"));
    EXPECT_FALSE(m_manager->history().contains(oldest));
    m_scheduler.runPending(); // the image queue deletes it
    EXPECT_FALSE(QFileInfo::exists(oldest.imageURL.toLocalFile()));
}

// Regression: a program copying 155 times a second never gave the quiet period, so every copy waited
// in the pending list, and when it stopped the thousands of pictures that fell out of the history
// were deleted in the flush, on the main thread (unlinks that wait for the disk: over half a second).
// Only the newest 500 wait; the files of what falls out go on the image queue.
TEST_F(ClipboardManagerTest, AFloodKeepsTheNewestAndDeletesTheFilesOfTheRestOnTheImageQueue)
{
    const ClipboardItem listed = imageItem(QStringLiteral("listed.png"));
    m_manager->enqueuePending(listed);
    m_manager->flushPending();
    const ClipboardItem overtaken = imageItem(QStringLiteral("overtaken.png"));
    m_manager->enqueuePending(overtaken);
    for (int i = 0; i < ClipboardManager::maxHistory; ++i)
        m_manager->enqueuePending(textItem(QString::number(i)));
    EXPECT_EQ(m_manager->pendingItems().size(), ClipboardManager::maxHistory);
    EXPECT_FALSE(m_manager->pendingItems().contains(overtaken));
    m_manager->flushPending();
    EXPECT_EQ(m_manager->history().size(), ClipboardManager::maxHistory);
    EXPECT_EQ(m_manager->history().first().text, QString::number(ClipboardManager::maxHistory - 1));
    EXPECT_FALSE(m_manager->history().contains(listed));
    EXPECT_TRUE(QFileInfo::exists(listed.imageURL.toLocalFile())) << "deleted in the flush";
    EXPECT_TRUE(QFileInfo::exists(overtaken.imageURL.toLocalFile())) << "deleted as it was overtaken";
    m_scheduler.runPending();
    EXPECT_EQ(cachedFiles(), QStringList());
}

TEST_F(ClipboardManagerTest, ImagesCollapseBySharedFileOnly)
{
    const ClipboardItem shared = imageItem(QStringLiteral("shared.png"));
    ClipboardItem again = shared;
    again.id = QUuid::createUuid();
    ClipboardItem noFile = textItem(QStringLiteral("Image • 1×1"));
    noFile.isImage = true;
    ClipboardItem noFileToo = noFile;
    noFileToo.id = QUuid::createUuid();
    for (const auto &item : {shared, again, noFile, noFileToo})
        m_manager->enqueuePending(item);
    m_manager->flushPending();
    EXPECT_EQ(m_manager->history(), (QList<ClipboardItem>{noFileToo, noFile, shared}));
}

TEST_F(ClipboardManagerTest, DeleteAndClearRemoveFilesButLeavePendingItems)
{
    const ClipboardItem kept = imageItem(QStringLiteral("kept.png"));
    const ClipboardItem gone = imageItem(QStringLiteral("gone.png"));
    m_manager->enqueuePending(kept);
    m_manager->flushPending();
    // Not in the history any more, yet its file goes.
    m_manager->deleteItem(gone);
    EXPECT_FALSE(QFileInfo::exists(gone.imageURL.toLocalFile()));
    EXPECT_EQ(m_manager->history().size(), 1);

    m_manager->enqueuePending(textItem(QStringLiteral("pending")));
    m_manager->clearHistory();
    EXPECT_TRUE(m_manager->history().isEmpty());
    m_scheduler.runPending();
    EXPECT_FALSE(QFileInfo::exists(kept.imageURL.toLocalFile()));
    settle();
    EXPECT_EQ(texts(), QStringList{"pending"});
}

TEST_F(ClipboardManagerTest, StartSweepsOldFilesAndIgnoresWhatIsAlreadyCopied)
{
    m_manager.reset();
    QFile(QDir(m_cache.path()).filePath(QStringLiteral("left-over.png"))).open(QIODevice::WriteOnly);
    QDir(m_cache.path()).mkdir(QStringLiteral("stray"));
    m_sim.pasteboard.copyText(QStringLiteral("copied before start"));
    start();
    settle();
    EXPECT_TRUE(QDir(m_cache.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
    EXPECT_TRUE(m_manager->history().isEmpty());
}

// Regression: with the image folder gone or not writable, copied pictures vanished without a card
// or a line. Each cause is told once, on the console and as an event, however many copies fail.
TEST_F(ClipboardManagerTest, PicturesThatCannotBeKeptAreToldOncePerCause)
{
    test::ConsoleCapture console;
    ASSERT_TRUE(QDir(m_cache.path()).removeRecursively());
    for (Qt::GlobalColor color : {Qt::red, Qt::green, Qt::blue}) {
        m_sim.pasteboard.copyImage(pngBytes(30, 20, color));
        settle();
    }
    EXPECT_TRUE(m_manager->history().isEmpty());
    EXPECT_EQ(events(DiagEvents::clipboardImageNotKept), QStringList{QStringLiteral("No such file or directory")});
    EXPECT_EQ(console.linesWith(QStringLiteral("Copied images are not kept")).size(), 1);

    // Then the folder is back but may not be written: another cause, told once more.
    ASSERT_TRUE(QDir().mkpath(m_cache.path()));
    ASSERT_TRUE(QFile::setPermissions(m_cache.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    test::runWithFileModesEnforced([&] {
        for (Qt::GlobalColor color : {Qt::cyan, Qt::magenta}) {
            m_sim.pasteboard.copyImage(pngBytes(30, 20, color));
            settle();
        }
    });
    QFile::setPermissions(m_cache.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_EQ(events(DiagEvents::clipboardImageNotKept),
              (QStringList{QStringLiteral("No such file or directory"), QStringLiteral("Permission denied")}));
    const QStringList lines = console.linesWith(QStringLiteral("Copied images are not kept"));
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral(": Permission denied"))) << lines[1].toStdString();
    EXPECT_TRUE(m_manager->history().isEmpty());
}

// Regression: with the image folder a link to ~/Pictures, the start-up sweep deleted the user's
// pictures. A linked folder is refused: nothing is swept or written through it.
TEST_F(ClipboardManagerTest, ALinkInPlaceOfTheImageFolderIsRefusedAndThePicturesSurvive)
{
    m_manager.reset();
    QTemporaryDir home;
    QDir root(home.path());
    ASSERT_TRUE(root.mkpath(QStringLiteral("Pictures/holiday")));
    const QStringList pictures = {QStringLiteral("Pictures/cat.png"),
                                  QStringLiteral("Pictures/holiday/beach.png")};
    for (const QString &name : pictures)
        ASSERT_TRUE(QImage::fromData(pngBytes(4, 4)).save(root.filePath(name)));
    const QString linked = root.filePath(QStringLiteral("QuorvantisClipboard"));
    ASSERT_TRUE(QFile::link(root.filePath(QStringLiteral("Pictures")), linked));
    m_manager = std::make_unique<ClipboardManager>(m_sim.pasteboard, m_sim.workspace, m_scheduler, m_queues,
                                                   m_settings, m_events, linked);
    m_sim.pasteboard.copyImage(pngBytes(30, 20));
    settle();
    m_manager->clearHistory();
    settle();
    EXPECT_EQ(events(DiagEvents::folderRefused),
              QStringList{QStringLiteral("QuorvantisClipboard: it is a symbolic link")});
    EXPECT_TRUE(QFileInfo(linked).isSymLink());
    for (const QString &name : pictures)
        EXPECT_TRUE(QFile::exists(root.filePath(name))) << name.toStdString();
    EXPECT_EQ(QDir(root.filePath(QStringLiteral("Pictures")))
                  .entryList(QDir::AllEntries | QDir::NoDotAndDotDot)
                  .size(),
              2);
}

// Regression: the history dedupe keyed masked items on their mask, so a new six-digit code replaced
// an older, different one that masked to the same bullets.
TEST_F(ClipboardManagerTest, DedupeComparesRealTextNotTheMask)
{
    m_sim.pasteboard.copyText(QStringLiteral("111111"));
    settle();
    m_sim.pasteboard.copyText(QStringLiteral("222222"));
    settle();
    // And within one quiet period, where the enqueue test compared masks the same way.
    for (const char *code : {"333333", "444444"}) {
        m_sim.pasteboard.copyText(QString::fromLatin1(code));
        m_manager->checkNow();
        m_scheduler.runPending();
    }
    settle();
    QStringList raw;
    for (const auto &item : m_manager->history())
        raw.append(item.rawText.value_or(QString()));
    EXPECT_EQ(raw, (QStringList{"444444", "333333", "222222", "111111"}));
    EXPECT_EQ(texts(), QStringList(4, QStringLiteral("••••••")));
}

// Capture

struct MaskSettingCase
{
    const char *name;
    std::optional<bool> stored;
    bool masked;
};

class CaptureMasking : public ClipboardManagerTest, public ::testing::WithParamInterface<MaskSettingCase>
{
};

// Regression (absent key): capture read a missing "maskSensitiveClipboard" as false and stored
// secrets in the clear while every view showed masking as on.
TEST_P(CaptureMasking, FollowsTheSettingAtCaptureTime)
{
    if (GetParam().stored)
        m_settings.set(Settings::maskSensitiveClipboard, *GetParam().stored);
    m_sim.pasteboard.copyText(QStringLiteral("sk-abcd1234efgh"));
    settle();
    ASSERT_EQ(m_manager->history().size(), 1);
    const ClipboardItem item = m_manager->history().first();
    EXPECT_TRUE(item.isSensitive);
    if (GetParam().masked) {
        EXPECT_EQ(item.text, QStringLiteral("sk-•••fgh"));
        EXPECT_EQ(item.rawText, QStringLiteral("sk-abcd1234efgh"));
    } else {
        EXPECT_EQ(item.text, QStringLiteral("sk-abcd1234efgh"));
        EXPECT_FALSE(item.rawText.has_value());
    }
}

INSTANTIATE_TEST_SUITE_P(Setting, CaptureMasking,
                         ::testing::Values(MaskSettingCase{"absent", std::nullopt, true},
                                           MaskSettingCase{"on", true, true},
                                           MaskSettingCase{"off", false, false}),
                         [](const auto &info) { return std::string(info.param.name); });

struct CapCase
{
    const char *name;
    QString copied;
    QString stored;
};

class CaptureCap : public ClipboardManagerTest, public ::testing::WithParamInterface<CapCase>
{
};

// Regression (marks on one letter): the cap counted characters only, so a letter carrying 24.5
// million marks (49 MB) was one character, held whole, and walked on the main thread for seconds.
TEST_P(CaptureCap, KeepsAHundredThousandCharactersOfAtMostFourUnitsEach)
{
    m_sim.pasteboard.copyText(GetParam().copied);
    settle();
    ASSERT_EQ(m_manager->history().size(), 1);
    const QString stored = m_manager->history().first().text;
    EXPECT_TRUE(stored == GetParam().stored) << stored.size();
}

INSTANTIATE_TEST_SUITE_P(
    Texts, CaptureCap,
    ::testing::Values(
        // Each "é" is two units: the cut counts what the user sees as characters.
        CapCase{"accented", QStringLiteral("e\u0301").repeated(100001),
                QStringLiteral("e\u0301").repeated(100000)},
        CapCase{"marksOnOneLetter", QStringLiteral("NNNNc") + QString(1000000, QChar(0x0301)),
                QStringLiteral("NNNNc") + QString(399995, QChar(0x0301))},
        // A mark outside the basic plane is a surrogate pair; the unit cut falls inside the last one.
        CapCase{"pairAtTheCut", QStringLiteral("c") + QStringLiteral("\U0001D167").repeated(200000),
                QStringLiteral("c") + QStringLiteral("\U0001D167").repeated(199999)},
        CapCase{"zeroWidthStart", QString(100000, QChar(0x200D)) + QStringLiteral("hello"),
                QString(100000, QChar(0x200D)) + QStringLiteral("hello")}),
    [](const auto &info) { return std::string(info.param.name); });

// Regression: Qt's finder puts a boundary inside the pair after a mark that opens a text, and the
// cut kept the high half alone.
TEST(FirstGraphemes, NeverKeepHalfAPair)
{
    const QString text = QStringLiteral("\u0D00\U00010200\U00010200");
    for (int limit = 1; limit <= 3; ++limit) {
        const QString kept = firstGraphemes(text, limit);
        EXPECT_TRUE(kept.isValidUtf16() && text.startsWith(kept)) << limit;
    }
}

TEST_F(ClipboardManagerTest, CopyBackWritesTheRealTextAndIsNotCapturedAgain)
{
    m_sim.pasteboard.copyText(QStringLiteral("password: hunter2"));
    settle();
    const ClipboardItem item = m_manager->history().first();
    ASSERT_TRUE(item.rawText.has_value());
    m_manager->copyToPasteboard(item);
    settle();
    ASSERT_EQ(m_sim.pasteboard.writes().size(), 1);
    EXPECT_EQ(m_sim.pasteboard.writes().first().text, QStringLiteral("password: hunter2"));
    EXPECT_EQ(m_manager->history(), QList<ClipboardItem>{item});
    EXPECT_EQ(m_captures, 1);
}

// Regression: any change within 1.0 s of a copy back was taken as our own, so a genuine copy made
// right after it in another application was lost.
TEST_F(ClipboardManagerTest, GenuineCopyRightAfterACopyBackIsCaptured)
{
    m_sim.pasteboard.copyText(QStringLiteral("first"));
    settle();
    m_manager->copyToPasteboard(m_manager->history().first());
    m_scheduler.advance(0.1);
    m_sim.pasteboard.copyText(QStringLiteral("genuine"));
    m_manager->checkNow();
    settle();
    EXPECT_EQ(texts(), (QStringList{"genuine", "first"}));
}

TEST_F(ClipboardManagerTest, OwnChangeReportedByThePlatformIsNotCaptured)
{
    // Our write lands after another application's copy: only the platform can tell it is ours.
    m_sim.pasteboard.copyText(QStringLiteral("theirs"));
    m_sim.pasteboard.writeText(QStringLiteral("ours"), WriteOrigin::copyBack);
    settle();
    EXPECT_TRUE(m_manager->history().isEmpty());
}

// Regression: a picture went back as PNG encoded on the image queue at every copy back, seconds
// for a large photo, and the clipboard stayed the old one meanwhile. It goes back at the click now, as
// its file: a PNG as it was copied, a photo as its own JPEG bytes under its own type.
TEST_F(ClipboardManagerTest, CopyBackOfAnImageWritesItsOwnFileAtOnceOrItsTitleWhenTheFileIsGone)
{
    const QByteArray png = pngBytes(30, 20);
    m_sim.pasteboard.copyImage(png);
    settle();
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(QImage::fromData(pngBytes(12, 8)).save(&buffer, "JPG"));
    m_sim.pasteboard.copyImage(jpeg, QStringLiteral("image/jpeg"));
    settle();
    ASSERT_EQ(m_manager->history().size(), 2);
    const ClipboardItem photo = m_manager->history().at(0);
    const ClipboardItem item = m_manager->history().at(1);
    // Written within the click itself, with no turn of the queues.
    m_manager->copyToPasteboard(item);
    ASSERT_EQ(m_sim.pasteboard.writes().size(), 1) << "the clipboard was not ours at the click";
    settle();
    m_manager->copyToPasteboard(photo);
    ASSERT_EQ(m_sim.pasteboard.writes().size(), 2) << "the clipboard was not ours at the click";
    settle();
    QFile::remove(item.imageURL.toLocalFile());
    m_manager->copyToPasteboard(item);
    settle();
    const auto writes = m_sim.pasteboard.writes();
    ASSERT_EQ(writes.size(), 3);
    EXPECT_EQ(writes.at(0).kind, SimPasteboard::Write::Image);
    EXPECT_EQ(writes.at(0).type, QStringLiteral("image/png"));
    EXPECT_TRUE(writes.at(0).bytes == png) << "the PNG as copied";
    EXPECT_EQ(writes.at(1).kind, SimPasteboard::Write::Image);
    EXPECT_EQ(writes.at(1).type, QStringLiteral("image/jpeg"));
    EXPECT_TRUE(writes.at(1).bytes == jpeg) << "the photo's own bytes, not encoded again";
    EXPECT_EQ(writes.at(2).kind, SimPasteboard::Write::Text);
    EXPECT_EQ(writes.at(2).text, QStringLiteral("Image • 30×20"));
}

// A picture was read off the main thread and written once read, seconds later for a large one, so
// a copy made meanwhile could be overwritten by the older picture. The copy back is written at the
// click now: the latest copy, another program's or a later copy back, is what stays.
TEST_F(ClipboardManagerTest, ACopyBackIsWrittenAtTheClickSoTheLatestCopyWins)
{
    m_sim.pasteboard.copyImage(pngBytes(30, 20));
    settle();
    const ClipboardItem picture = m_manager->history().first();
    m_manager->copyToPasteboard(picture);
    EXPECT_EQ(m_sim.pasteboard.writes().size(), 1) << "not written at the click";
    m_sim.pasteboard.copyText(QStringLiteral("newer"));
    settle();
    EXPECT_EQ(m_sim.pasteboard.writes().size(), 1);
    EXPECT_EQ(texts().first(), QStringLiteral("newer"));

    m_manager->copyToPasteboard(picture);
    m_manager->copyToPasteboard(m_manager->history().first());
    settle();
    ASSERT_EQ(m_sim.pasteboard.writes().size(), 3);
    EXPECT_EQ(m_sim.pasteboard.writes().last().text, QStringLiteral("newer"));
    EXPECT_EQ(m_sim.pasteboard.read().types().value(0), PasteboardType::plainText);
}

TEST_F(ClipboardManagerTest, PollingBacksOffWhileIdleAndSnapsBackAfterACapture)
{
    QList<int> periods;
    for (int i = 0; i < 8; ++i) {
        periods.append(qRound(m_manager->pollInterval() * 1000));
        m_scheduler.advance(m_manager->pollInterval());
    }
    EXPECT_EQ(periods, (QList<int>{180, 300, 420, 540, 660, 780, 900, 900}));
    m_sim.pasteboard.copyText(QStringLiteral("wake up"));
    m_scheduler.advance(0.9);
    EXPECT_EQ(m_manager->pollInterval(), 0.18);
    // Our own copy back is a change without payloads: idle.
    m_manager->copyToPasteboard(textItem(QStringLiteral("x")));
    m_sim.pasteboard.writeText(QStringLiteral("own again"), WriteOrigin::copyBack);
    m_scheduler.advance(0.18);
    EXPECT_EQ(m_manager->pollInterval(), 0.3);
}

// A desktop that reports changes gets every copy checked as it happens: two copies within one
// polling period after an idle spell are both captured, and a copy is published a quiet period
// after it was made, not up to a polling period later.
TEST_F(ClipboardManagerTest, ReportedChangesAreCheckedAtOnceSoNoCopyIsLost)
{
    m_sim.pasteboard.setSendsChangeEvents(true);
    m_scheduler.advance(10.0); // idle: only the safety poll is left
    ASSERT_EQ(m_manager->pollInterval(), 15.0);
    for (int i = 1; i <= 3; ++i) {
        m_sim.pasteboard.copyText(QStringLiteral("copy %1").arg(i));
        m_scheduler.advance(0.3);
    }
    m_scheduler.advance(0.26);
    EXPECT_EQ(texts(), (QStringList{"copy 3", "copy 2", "copy 1"}));

    m_manager.reset();
    m_sim.pasteboard.copyText(QStringLiteral("after the manager is gone"));
    m_scheduler.advance(1.0);
}

// The clipboard was polled at least every 0.9 s although the desktop reported each copy: an idle
// minute cost some 70 checks on two threads. Now only a slow safety poll is left, and a copy that
// was never reported is still caught by it.
TEST_F(ClipboardManagerTest, WhereCopiesAreReportedAnIdleMinuteCostsOnlyTheSafetyPolls)
{
    m_sim.pasteboard.setSendsChangeEvents(true);
    m_manager.reset();
    start();
    m_scheduler.advance(1.0);
    const int reads = m_sim.pasteboard.readCount();
    const auto callbacks = m_scheduler.callbacksRun();
    m_scheduler.advance(60.0);
    // Four polls, each with its job on the scan queue and its answer.
    EXPECT_LE(m_scheduler.callbacksRun() - callbacks, 12u);
    EXPECT_EQ(m_sim.pasteboard.readCount(), reads);

    // A report lost on the way: the copy waits for the next safety poll.
    m_sim.pasteboard.setSendsChangeEvents(false);
    m_sim.pasteboard.copyText(QStringLiteral("unreported"));
    m_sim.pasteboard.setSendsChangeEvents(true);
    m_scheduler.advance(15.0 + 0.3);
    EXPECT_EQ(texts(), QStringList{"unreported"});
}

// Regression: a one-shot check overlapping another check scanned the same change twice and cached
// the same image into two files.
TEST_F(ClipboardManagerTest, OverlappingChecksHandleAChangeOnce)
{
    m_sim.pasteboard.copyImage(pngBytes(10, 10));
    m_manager->checkNow();
    m_manager->checkNow();
    settle();
    EXPECT_EQ(m_manager->history().size(), 1);
    EXPECT_EQ(cachedFiles().size(), 1);
}

// Regression: the overlapping check was told apart only while the change count it saw was still the
// last one; a copy back landing between the two results moved that count on, and the second result
// cached the same image a second time.
TEST_F(ClipboardManagerTest, OverlappingCheckIsStaleAfterACopyBackInBetween)
{
    m_sim.pasteboard.copyText(QStringLiteral("earlier"));
    settle();
    const ClipboardItem earlier = m_manager->history().first();
    m_sim.pasteboard.copyImage(pngBytes(10, 10));
    int reads = 0;
    // The second snapshot's read runs after the first result is already on its way back; the copy
    // back is queued behind that result and ahead of the second.
    m_sim.pasteboard.setReadHook([&] {
        if (++reads == 2)
            m_scheduler.post([&] { m_manager->copyToPasteboard(earlier); });
    });
    m_manager->checkNow();
    m_manager->checkNow();
    settle();
    EXPECT_EQ(texts(), (QStringList{"Image • 10×10", "earlier"}));
    EXPECT_EQ(cachedFiles().size(), 1);
}

struct SleepCase
{
    const char *name;
    void (SimWorkspace::*sleep)();
    void (SimWorkspace::*wake)();
};

class CaptureSleep : public ClipboardManagerTest, public ::testing::WithParamInterface<SleepCase>
{
};

TEST_P(CaptureSleep, WakeSkipsWhatWasCopiedWhileAsleep)
{
    (m_sim.workspace.*GetParam().sleep)();
    EXPECT_FALSE(m_manager->isPolling());
    m_sim.pasteboard.copyText(QStringLiteral("while asleep"));
    settle();
    (m_sim.workspace.*GetParam().wake)();
    settle();
    EXPECT_TRUE(m_manager->history().isEmpty());
    m_sim.pasteboard.copyText(QStringLiteral("after wake"));
    settle();
    EXPECT_EQ(texts(), QStringList{"after wake"});
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, CaptureSleep,
    ::testing::Values(SleepCase{"screens", &SimWorkspace::sleepScreens, &SimWorkspace::wakeScreens},
                      SleepCase{"system", &SimWorkspace::sleepSystem, &SimWorkspace::wakeSystem}),
    [](const auto &info) { return std::string(info.param.name); });

struct RetryCase
{
    int unreadableReads;
    QString status;
    bool captured;
};

class CaptureRetry : public ClipboardManagerTest, public ::testing::WithParamInterface<RetryCase>
{
};

TEST_P(CaptureRetry, RetriesUnreadableContentsAndLogsEachOutcome)
{
    m_sim.pasteboard.setUnreadableReads(GetParam().unreadableReads);
    m_sim.pasteboard.copyText(QStringLiteral("late data"));
    settle();
    EXPECT_EQ(events(DiagEvents::clipboardSnapshotStatus), QStringList{GetParam().status});
    EXPECT_EQ(m_manager->history().size(), GetParam().captured ? 1 : 0);
    EXPECT_EQ(m_sim.pasteboard.readCount(), std::min(GetParam().unreadableReads + 1, 5));
    // Whatever the outcome, polling goes on: the next copy is captured.
    m_sim.pasteboard.copyText(QStringLiteral("next"));
    settle();
    EXPECT_EQ(texts().value(0), QStringLiteral("next"));
}

INSTANTIATE_TEST_SUITE_P(
    Attempts, CaptureRetry,
    ::testing::Values(
        RetryCase{0, "attempt=1, availableTypesCount=2, resolved=true, source=This Computer", true},
        RetryCase{1, "attempt=2, availableTypesCount=2, resolved=true, source=universal_guess", true},
        RetryCase{4, "attempt=5, availableTypesCount=2, resolved=true, source=universal_guess", true},
        RetryCase{5, "attempt=5, availableTypesCount=2, resolved=false, source=universal_guess", false}));

TEST_F(ClipboardManagerTest, ContentsReplacedDuringRetriesArePickedUpByTheNextPoll)
{
    m_sim.pasteboard.setUnreadableReads(1);
    m_sim.pasteboard.copyText(QStringLiteral("unreadable"));
    m_scheduler.advance(0.18);
    m_sim.pasteboard.copyText(QStringLiteral("replacement"));
    settle();
    EXPECT_EQ(events(DiagEvents::clipboardSnapshotStatus).first(),
              QStringLiteral("attempt=5, availableTypesCount=2, resolved=false, source=universal_guess"));
    EXPECT_EQ(texts(), QStringList{"replacement"});
}

// Images

TEST_F(ClipboardManagerTest, LargeImageGivesItsTitleSizeAndA320PixelThumbnail)
{
    m_sim.pasteboard.copyImage(pngBytes(4000, 3000));
    settle();
    ASSERT_EQ(m_manager->history().size(), 1);
    const ClipboardItem item = m_manager->history().first();
    EXPECT_TRUE(item.isImage);
    EXPECT_FALSE(item.isSensitive);
    EXPECT_EQ(item.text, QStringLiteral("Image • 4000×3000"));
    EXPECT_EQ(item.imageSize, QSize(4000, 3000));
    EXPECT_EQ(item.thumbnail.size(), QSize(320, 240));
    EXPECT_EQ(item.thumbnail.image().size(), QSize(320, 240));
    // Views that place the picture by its own size (the edge preview) show one pixel a point.
    EXPECT_EQ(item.thumbnail.image().deviceIndependentSize(), QSizeF(320, 240));
    EXPECT_EQ(QFileInfo(item.imageURL.toLocalFile()).suffix(), QStringLiteral("png"));
    EXPECT_EQ(events(DiagEvents::clipboardChange), QStringList{"type=image, pending=1"});

    // Regression: a very narrow image's thumbnail rounded its short side to 0 and made no item at all.
    m_sim.pasteboard.copyImage(pngBytes(2, 1000));
    settle();
    ASSERT_EQ(m_manager->history().size(), 2);
    EXPECT_EQ(m_manager->history().first().text, QStringLiteral("Image • 2×1000"));
    EXPECT_EQ(m_manager->history().first().thumbnail.size(), QSize(1, 320));
}

// Decoded thumbnails nobody released stay within the budget, the least recently used leaving
// first; a released one leaves once no one holds it; a picture asked for twice while on its way is
// decoded once and answers both; once the manager is gone, pictures are decoded at once and nothing
// is posted.
// Pictures of 20 x 20 pixels decoded on a queue of the test's own time.
class ThumbnailCacheTest : public ::testing::Test
{
protected:
    std::shared_ptr<WorkQueue> decodeQueue()
    {
        return queues.makeQueue(QStringLiteral("decode"), QueueKind::Concurrent);
    }

    ManualScheduler scheduler;
    SchedulerQueueFactory queues{scheduler};
    const QByteArray png = pngBytes(20, 20);
    const qint64 picture = 20 * 20 * 4;
};

TEST_F(ThumbnailCacheTest, KeepsTheMostRecentlyUsedWithinItsBudgetAndAnswersEveryWaiter)
{
    ThumbnailCache cache(scheduler, decodeQueue(), 3 * picture);
    for (qint64 key = 1; key <= 3; ++key)
        cache.decode(key, png);
    EXPECT_FALSE(cache.find(1).isNull());
    cache.decode(4, png);
    EXPECT_TRUE(cache.find(2).isNull()) << "the least recently used leaves";
    EXPECT_FALSE(cache.find(1).isNull());
    EXPECT_EQ(cache.usedBytes(), 3 * picture);
    QImage shown = cache.find(3);
    cache.release(3);
    EXPECT_FALSE(cache.find(3).isNull()) << "still shown";
    shown = QImage();
    cache.release(3);
    EXPECT_TRUE(cache.find(3).isNull());

    auto owner = std::make_shared<ThumbnailCache>(scheduler, decodeQueue(), 3 * picture);
    int answers = 0;
    owner->request(5, png, 1, [&] { ++answers; });
    owner->request(5, png, 1, [&] { ++answers; });
    EXPECT_TRUE(owner->find(5).isNull());
    scheduler.runPending();
    EXPECT_EQ(answers, 2);
    EXPECT_EQ(owner->count(), 1);

    owner->close();
    owner->request(6, png, 1, [&] { ++answers; });
    EXPECT_FALSE(owner->find(6).isNull());
    EXPECT_EQ(scheduler.pendingCount(), 0);
    EXPECT_EQ(answers, 2);
}

// A picture larger than the whole budget stays while it is the only one (a view is about to show
// it; dropped at once, it was decoded again at every paint); the next picture takes its place.
TEST_F(ThumbnailCacheTest, APictureOverTheWholeBudgetStaysWhileItIsTheOnlyOne)
{
    ThumbnailCache cache(scheduler, decodeQueue(), picture / 2);
    ASSERT_FALSE(cache.decode(1, png).isNull());
    EXPECT_EQ(cache.count(), 1) << "the only picture left the cache as it came";
    EXPECT_FALSE(cache.find(1).isNull()) << "the only picture left the cache as it came";
    EXPECT_EQ(cache.usedBytes(), picture);
    cache.decode(2, png);
    EXPECT_TRUE(cache.find(1).isNull()) << "the older picture stayed over the budget";
    EXPECT_FALSE(cache.find(2).isNull()) << "the newest picture left the cache as it came";
    EXPECT_EQ(cache.usedBytes(), picture);
}

// Regression (found by fuzzing): bytes whose header reads as an image but whose body is cut off or
// corrupt were written to the cache before decoding failed, and stayed there as a broken file.
// Regression: a progressive JPEG of 600 bytes announcing 20000 x 20000 pixels was decoded by a reader
// of the clipboard's own, outside the decoding limits, and took 2.4 GB, copied or as a copied file.
TEST_F(ClipboardManagerTest, ImageThatDoesNotDecodeLeavesNothingInTheCache)
{
    QByteArray broken = pngBytes(300, 200, Qt::red);
    broken.truncate(broken.size() / 2);
    QByteArray corrupt = pngBytes(300, 200, Qt::blue);
    corrupt.replace(corrupt.indexOf("IDAT") + 6, 8, QByteArray(8, '\xff'));
    QTemporaryDir files;
    for (const QByteArray &bytes : {broken, corrupt, progressiveJpeg(QSize(20000, 20000))}) {
        EXPECT_FALSE(ClipboardManager::cacheImageData(bytes, m_cache.path()).has_value());
        const QString copied = files.filePath(QStringLiteral("copied.jpg"));
        QFile file(copied);
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
        file.close();
        EXPECT_FALSE(ClipboardManager::cacheImageFile(QUrl::fromLocalFile(copied), m_cache.path()).has_value());
        EXPECT_TRUE(cachedFiles().isEmpty()) << cachedFiles().join(u' ').toStdString();
    }
    m_sim.pasteboard.copyImage(broken);
    settle();
    EXPECT_TRUE(m_manager->history().isEmpty());
    EXPECT_TRUE(cachedFiles().isEmpty());
}

// Regression: a copied PNG claiming 100000 x 100000 pixels and a progressive JPEG claiming
// 20000 x 20000 were refused by the decoder and vanished without a word. Each refused copy now says
// why, on the console and as an event.
TEST_F(ClipboardManagerTest, APictureRefusedByItsHeaderIsToldWithItsCause)
{
    test::ConsoleCapture console;
    m_sim.pasteboard.copyImage(pngClaiming(pngBytes(4, 4), 100000, 100000));
    settle();
    m_sim.pasteboard.copyImage(progressiveJpeg(QSize(20000, 20000)), QStringLiteral("image/jpeg"));
    settle();
    EXPECT_TRUE(m_manager->history().isEmpty());
    EXPECT_EQ(events(DiagEvents::clipboardImageRefused),
              (QStringList{QStringLiteral("too many pixels (100000×100000)"),
                           QStringLiteral("too many pixels (20000×20000)")}));
    const QStringList lines = console.linesWith(QStringLiteral("copied picture was not taken"));
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].endsWith(QStringLiteral("too many pixels (100000×100000)")))
        << lines[0].toStdString();
}

// Regression: one file-manager copy of 40 large pictures put 40 items and 1.08 GB into the image
// cache; past its budget the oldest image items now leave the history with their files.
TEST_F(ClipboardManagerTest, TheImageCacheStaysWithinItsBudgetDroppingTheOldestImages)
{
    QTemporaryDir files;
    QStringList paths;
    qint64 newestThree = 0;
    const Qt::GlobalColor colors[] = {Qt::red, Qt::green, Qt::blue, Qt::cyan, Qt::magenta};
    for (const Qt::GlobalColor color : colors) {
        paths.append(files.filePath(QStringLiteral("shot-%1.png").arg(paths.size())));
        QFile file(paths.last());
        file.open(QIODevice::WriteOnly);
        file.write(pngBytes(400, 300, color));
        newestThree += paths.size() > 2 ? file.size() : 0;
    }
    m_manager->setImageCacheBudgetBytes(newestThree);
    m_sim.pasteboard.copyText(QStringLiteral("words in between"));
    settle();
    m_sim.pasteboard.copyFiles(paths);
    settle();
    // The last file is the newest item; the three newest fill the budget exactly and stay, the text too;
    // one byte short of them, the oldest of the three leaves too.
    QStringList kept;
    for (const auto &item : m_manager->history())
        kept.append(item.isImage ? QString::number(item.thumbnail.image().pixelColor(0, 0).rgb(), 16)
                                 : item.text);
    EXPECT_EQ(kept, (QStringList{QString::number(QColor(Qt::magenta).rgb(), 16),
                                 QString::number(QColor(Qt::cyan).rgb(), 16),
                                 QString::number(QColor(Qt::blue).rgb(), 16), u"words in between"_qs}));
    EXPECT_EQ(cachedFiles().size(), 3);
    m_manager->setImageCacheBudgetBytes(newestThree - 1);
    m_sim.pasteboard.copyText(QStringLiteral("more words"));
    settle();
    EXPECT_EQ(cachedFiles().size(), 2);
}

// Regression: an image cached while the program quit (captured, not yet past the quiet period, or
// still queued) stayed in the cache until the next start.
TEST_F(ClipboardManagerTest, ACaptureCutShortByQuittingLeavesNoFile)
{
    m_sim.pasteboard.copyImage(pngBytes(64, 64));
    for (int step = 0; step < 100 && m_manager->pendingItems().isEmpty(); ++step)
        m_scheduler.advance(0.01);
    ASSERT_EQ(m_manager->pendingItems().size(), 1);
    m_sim.pasteboard.copyImage(pngBytes(32, 32));
    m_scheduler.advance(0.2);
    m_manager.reset();
    settle();
    EXPECT_TRUE(cachedFiles().isEmpty()) << cachedFiles().join(u' ').toStdString();
}

TEST_F(ClipboardManagerTest, CopiedFilesKeepTheirExtensionAndArriveInOrder)
{
    QTemporaryDir files;
    const QString photo = files.filePath(QStringLiteral("photo.JPG"));
    QImage(64, 48, QImage::Format_RGB32).save(photo, "JPG");
    const QString shot = files.filePath(QStringLiteral("shot.png"));
    QFile shotFile(shot);
    shotFile.open(QIODevice::WriteOnly);
    shotFile.write(pngBytes(8, 8));
    shotFile.close();
    const QString doc = files.filePath(QStringLiteral("brief.odt"));
    QFile(doc).open(QIODevice::WriteOnly);

    m_sim.pasteboard.copyFiles({photo, doc, shot});
    settle();
    // The text item comes first; the images follow in order, so the last one is on top.
    EXPECT_EQ(texts(), (QStringList{"Image • 8×8", "Image • 64×48", "brief.odt"}));
    EXPECT_EQ(QFileInfo(m_manager->history().at(1).imageURL.toLocalFile()).suffix(), QStringLiteral("JPG"));
    EXPECT_EQ(cachedFiles().size(), 2);
}

// The scan's lines named every offered type and copied file on every capture, so clipboard
// contents landed in the session's log. They are debug lines now, off unless diagnostics are on.
TEST_F(ClipboardManagerTest, ScanLinesAreDebugLinesThatFollowTheDiagnosticsSetting)
{
    m_settings.set(Settings::diagnosticsEnabled, false);
    EXPECT_FALSE(ClipboardManager::isScanDebugLogging());
    m_settings.set(Settings::diagnosticsEnabled, true);
    EXPECT_TRUE(ClipboardManager::isScanDebugLogging());
    m_settings.set(Settings::diagnosticsEnabled, false);
    EXPECT_FALSE(ClipboardManager::isScanDebugLogging());
}

} // namespace
} // namespace qv
