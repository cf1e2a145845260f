// The clipboard history on a real X server, against xclip as the other application.
#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include <signal.h>

#include "clipboard/clipboardmanager.h"
#include "core/settingsstore.h"
#include "platform/sim/simdesktop.h"
#include "platform/x11/x11pasteboard.h"
#include "runtime/qtscheduler.h"
#include "runtime/workqueue.h"
#include "support/recordingeventlog.h"

namespace qv {
namespace {

// Processes events until the condition holds or the time runs out.
bool waitUntil(const std::function<bool()> &condition, int timeoutMs = 5000)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
    return true;
}

class ClipboardX11Test : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            GTEST_SKIP() << "needs the xcb platform on an X display";
        if (QStandardPaths::findExecutable(QStringLiteral("xclip")).isEmpty())
            GTEST_SKIP() << "needs xclip";
        ASSERT_TRUE(m_cache.isValid());
        m_pasteboard = std::make_unique<X11Pasteboard>();
        ASSERT_TRUE(m_pasteboard->isWatching());
        m_manager = std::make_unique<ClipboardManager>(*m_pasteboard, m_sim.workspace, m_scheduler, m_queues,
                                                       m_settings, m_events, m_cache.path());
    }

    void TearDown() override
    {
        m_manager.reset();
        for (auto &process : m_owners) {
            if (process->state() != QProcess::NotRunning) {
                process->kill();
                process->waitForFinished(2000);
            }
        }
    }

    // xclip taking the clipboard with these bytes; it stays in the foreground as the owner.
    QProcess *copyWithXclip(const QByteArray &bytes, const QString &type = QString())
    {
        auto process = std::make_unique<QProcess>();
        QStringList args = {QStringLiteral("-quiet"), QStringLiteral("-selection"),
                            QStringLiteral("clipboard")};
        if (!type.isEmpty())
            args << QStringLiteral("-t") << type;
        process->start(QStringLiteral("xclip"), args);
        EXPECT_TRUE(process->waitForStarted(3000));
        process->write(bytes);
        process->closeWriteChannel();
        m_owners.push_back(std::move(process));
        return m_owners.back().get();
    }

    // What another application pastes; the event loop keeps running so our own selection is served.
    QByteArray pasteWithXclip(const QString &type = QString())
    {
        QProcess process;
        QStringList args = {QStringLiteral("-o"), QStringLiteral("-selection"), QStringLiteral("clipboard")};
        if (!type.isEmpty())
            args << QStringLiteral("-t") << type;
        process.start(QStringLiteral("xclip"), args);
        EXPECT_TRUE(process.waitForStarted(3000));
        EXPECT_TRUE(waitUntil([&] { return process.state() == QProcess::NotRunning; }));
        return process.readAllStandardOutput();
    }

    bool waitForHistory(int size)
    {
        return waitUntil(
            [&] { return m_manager->history().size() >= size && m_manager->pendingItems().isEmpty(); });
    }

    QTemporaryDir m_cache;
    SimDesktop m_sim;
    QtScheduler m_scheduler;
    ThreadQueueFactory m_queues;
    SettingsStore m_settings;
    RecordingEventLog m_events;
    std::unique_ptr<X11Pasteboard> m_pasteboard;
    std::unique_ptr<ClipboardManager> m_manager;
    std::vector<std::unique_ptr<QProcess>> m_owners;
};

TEST_F(ClipboardX11Test, TextCopiedWithXclipAppearsAfterTheQuietPeriod)
{
    int captures = 0;
    QObject::connect(m_manager.get(), &ClipboardManager::didCapture, [&] { ++captures; });
    qint64 waited = -1;
    QObject::connect(m_manager.get(), &ClipboardManager::historyChanged, m_manager.get(), [&] {
        if (waited < 0 && !m_manager->history().isEmpty())
            waited =
                QDateTime::currentMSecsSinceEpoch() - m_manager->history().first().date.toMSecsSinceEpoch();
    });
    copyWithXclip("hello from xclip\n");

    ASSERT_TRUE(waitForHistory(1));
    EXPECT_GE(waited, 240) << "published before the quiet period was over";
    EXPECT_EQ(m_manager->history().first().text, QStringLiteral("hello from xclip"));
    EXPECT_EQ(m_manager->history().first().deviceSource, QStringLiteral("This Mac"));
    EXPECT_EQ(captures, 1);
}

TEST_F(ClipboardX11Test, PngCopiedWithXclipBecomesAnImageItemWithCachedFileAndThumbnail)
{
    // Noise does not compress, so the PNG is several megabytes and xclip sends it incrementally.
    QImage image(1800, 1200, QImage::Format_RGB32);
    auto *random = QRandomGenerator::global();
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<quint32 *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] = random->generate() | 0xFF000000u;
    }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG", 0);
    ASSERT_GT(png.size(), 5000000);
    copyWithXclip(png, QStringLiteral("image/png"));

    ASSERT_TRUE(waitForHistory(1));
    const ClipboardItem item = m_manager->history().first();
    EXPECT_TRUE(item.isImage);
    EXPECT_EQ(item.text, QStringLiteral("Image • 1800×1200"));
    EXPECT_EQ(item.thumbnail.size(), QSize(320, 213));
    const QFileInfo cached(item.imageURL.toLocalFile());
    EXPECT_EQ(cached.absolutePath(), QDir(m_cache.path()).absolutePath());
    EXPECT_EQ(cached.suffix(), QStringLiteral("png"));
    QFile file(cached.absoluteFilePath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll() == png) << "the cached copy differs from what was copied";
}

TEST_F(ClipboardX11Test, CopyBackIsPastedByAnotherApplicationAndAGenuineCopyRightAfterIsCaptured)
{
    copyWithXclip("first text");
    ASSERT_TRUE(waitForHistory(1));

    m_manager->copyToPasteboard(m_manager->history().first());
    EXPECT_EQ(pasteWithXclip(), QByteArray("first text"));

    // Well within a second of the copy back: still a copy of its own.
    copyWithXclip("second text");
    ASSERT_TRUE(waitForHistory(2));
    const auto history = m_manager->history();
    ASSERT_EQ(history.size(), 2) << "the copy back was captured again";
    EXPECT_EQ(history.at(0).text, QStringLiteral("second text"));
    EXPECT_EQ(history.at(1).text, QStringLiteral("first text"));
}

TEST_F(ClipboardX11Test, TokenIsStoredMaskedWithItsRawTextKeptAndCopiedBackInFull)
{
    const QString token = QStringLiteral("sk-live4f9c2a7b81d3e6");
    copyWithXclip(token.toUtf8());

    ASSERT_TRUE(waitForHistory(1));
    const ClipboardItem item = m_manager->history().first();
    EXPECT_TRUE(item.isSensitive);
    EXPECT_EQ(item.text, QStringLiteral("sk-•••3e6"));
    EXPECT_EQ(item.rawText, token);

    m_manager->copyToPasteboard(item);
    EXPECT_EQ(pasteWithXclip(), token.toUtf8());
}

TEST_F(ClipboardX11Test, OwnerExitingKeepsTheCapturedItems)
{
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    QProcess *imageOwner = copyWithXclip(png, QStringLiteral("image/png"));
    ASSERT_TRUE(waitForHistory(1));
    imageOwner->kill();
    QProcess *textOwner = copyWithXclip("kept after exit");
    ASSERT_TRUE(waitForHistory(2));
    textOwner->kill();
    ASSERT_TRUE(textOwner->waitForFinished(3000));
    ASSERT_TRUE(waitUntil([&] { return m_pasteboard->read().types().isEmpty(); }))
        << "the clipboard kept an owner";

    const auto history = m_manager->history();
    ASSERT_EQ(history.size(), 2);
    EXPECT_EQ(history.at(0).text, QStringLiteral("kept after exit"));
    EXPECT_TRUE(QFileInfo::exists(history.at(1).imageURL.toLocalFile()));

    m_manager->copyToPasteboard(history.at(1));
    const QImage pasted = QImage::fromData(pasteWithXclip(QStringLiteral("image/png")), "PNG");
    EXPECT_EQ(pasted.size(), QSize(40, 30));
}

TEST_F(ClipboardX11Test, OwnerThatStopsAnsweringHoldsNothingUp)
{
    QProcess *frozen = copyWithXclip("frozen owner");
    ASSERT_TRUE(waitUntil([&] { return !m_pasteboard->read().types().isEmpty(); }));
    ASSERT_EQ(::kill(pid_t(frozen->processId()), SIGSTOP), 0);
    // The read gives up on the owner instead of waiting for it.
    EXPECT_TRUE(m_pasteboard->read().types().isEmpty());

    // A check that met the frozen owner may still be retrying; it ends once the clipboard moves on.
    copyWithXclip("next owner");
    EXPECT_TRUE(waitUntil(
        [&] {
            return !m_manager->history().isEmpty() &&
                   m_manager->history().first().text == QLatin1String("next owner");
        },
        10000));
    ::kill(pid_t(frozen->processId()), SIGCONT);
}

TEST_F(ClipboardX11Test, FileListIsReadAsOneItemPerLocalFile)
{
    QTemporaryDir files;
    const QString picture = files.filePath(QStringLiteral("holiday photo.JPG"));
    QImage(8, 6, QImage::Format_RGB32).save(picture, "JPG");
    const QString notes = files.filePath(QStringLiteral("notes.pdf"));
    QFile(notes).open(QIODevice::WriteOnly);
    const QByteArray list = QUrl::fromLocalFile(picture).toEncoded() + "\r\nhttps://example.org/page\r\n" +
                            QUrl::fromLocalFile(notes).toEncoded() + "\r\n";
    copyWithXclip(list, QStringLiteral("text/uri-list"));

    ScanResult result;
    ASSERT_TRUE(waitUntil([&] {
        result = ClipboardManager::scanPasteboard(m_pasteboard->read(), 0);
        return !result.payloads.isEmpty();
    }));
    ASSERT_EQ(result.payloads.size(), 2);
    EXPECT_EQ(result.payloads.at(0).kind, ScanPayload::ImageFileURL);
    EXPECT_EQ(result.payloads.at(0).fileURL.toLocalFile(), picture);
    EXPECT_EQ(result.payloads.at(1),
              ScanPayload::makeText(QStringLiteral("notes.pdf"), QStringLiteral("This Mac")));
}

} // namespace
} // namespace qv
