#include <QElapsedTimer>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>
#include <QThread>

#include <future>

#include "platform/memoryrelease.h"
#include "platform/x11/x11textrecognizer.h"
#include "shelffixture.h"

namespace qv {
namespace {

class ShelfOcrTest : public ShelfTest
{
protected:
    std::function<void(const QString &)> answerTo(const QString &job)
    {
        return [this, job](const QString &text) { m_answers.append(job + QLatin1Char('=') + text); };
    }

    QUrl image() { return makeImageFile(QStringLiteral("text.png"), 40, 20); }

    QStringList m_answers;
};

TEST_F(ShelfOcrTest, ANewerRequestCutsTheRunningOneShortAndOnlyTheNewestWaits)
{
    m_sim.textRecognizer.script({QStringLiteral("line one\nline two")});
    const QUrl file = image();
    m_manager->extractText(file, answerTo(QStringLiteral("A")));
    m_manager->extractText(file, answerTo(QStringLiteral("B")));
    m_manager->extractText(file, answerTo(QStringLiteral("C")));
    EXPECT_TRUE(m_answers.isEmpty());
    settle();
    EXPECT_EQ(m_answers, (QStringList{QStringLiteral("A="), QStringLiteral("C=line one\nline two")}));
    // A was cut short before the engine started on it: one recognition served the burst.
    EXPECT_EQ(m_sim.textRecognizer.callCount(), 1);
    EXPECT_EQ(m_sim.textRecognizer.lastLanguages(), FileShelfManager::ocrLanguages);
    EXPECT_FALSE(m_manager->isOCRRunning());
    EXPECT_EQ(m_manager->activeOCRJobID(), 0);
}

TEST_F(ShelfOcrTest, FilesThatAreNoPicturesGiveEmptyText)
{
    m_sim.textRecognizer.script({QStringLiteral("never")});
    m_manager->extractText(makeFile(QStringLiteral("doc.pdf"), "%PDF-1.4 broken"),
                           answerTo(QStringLiteral("pdf")));
    settle();
    m_manager->extractText(QUrl::fromLocalFile(outsidePath(QStringLiteral("missing.png"))),
                           answerTo(QStringLiteral("gone")));
    settle();
    EXPECT_EQ(m_answers, (QStringList{QStringLiteral("pdf="), QStringLiteral("gone=")}));
    EXPECT_EQ(m_sim.textRecognizer.callCount(), 0);
}

// Recognition on a real thread that the test holds open, with the rest on manual time.
class ThreadedOcrQueues final : public WorkQueueFactory
{
public:
    explicit ThreadedOcrQueues(Scheduler &scheduler) : m_posting(scheduler) {}
    std::shared_ptr<WorkQueue> makeQueue(const QString &label, QueueKind kind) override
    {
        return label == QLatin1String("Quorvantis.OCRExecution") ? m_threads.makeQueue(label, kind)
                                                                 : m_posting.makeQueue(label, kind);
    }

private:
    SchedulerQueueFactory m_posting;
    ThreadQueueFactory m_threads;
};

TEST_F(ShelfOcrTest, ASlowRecognitionIsAnsweredEmptyAtTheTimeOutAndItsTextDropped)
{
    ThreadedOcrQueues queues(m_scheduler);
    m_manager =
        std::make_unique<FileShelfManager>(m_sim.platform(), m_scheduler, queues, m_events, shelfPath());
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<bool> sawCancel = false;
    m_sim.textRecognizer.during = [released, &sawCancel](const RecognitionCancel &cancel) {
        released.wait();
        sawCancel = cancel->load();
    };
    m_sim.textRecognizer.script({QStringLiteral("late"), QStringLiteral("next")});
    const QUrl file = image();
    m_manager->extractText(file, answerTo(QStringLiteral("slow")));
    settle();
    QElapsedTimer waited;
    waited.start();
    while (m_sim.textRecognizer.callCount() == 0 && waited.elapsed() < 5000)
        QThread::msleep(1);
    settle(FileShelfManager::ocrTimeoutInterval - 0.01);
    EXPECT_TRUE(m_answers.isEmpty());
    settle(0.02);
    EXPECT_EQ(m_answers, QStringList{QStringLiteral("slow=")});
    EXPECT_TRUE(m_manager->isOCRRunning());

    release.set_value();
    waited.restart();
    while (m_manager->isOCRRunning() && waited.elapsed() < 5000) {
        settle();
        QThread::msleep(1);
    }
    EXPECT_FALSE(m_manager->isOCRRunning());
    EXPECT_TRUE(sawCancel);
    settle(10.0);
    EXPECT_EQ(m_answers, QStringList{QStringLiteral("slow=")});

    m_sim.textRecognizer.during = nullptr;
    m_manager->extractText(file, answerTo(QStringLiteral("after")));
    waited.restart();
    while (m_answers.size() < 2 && waited.elapsed() < 5000) {
        settle();
        QThread::msleep(1);
    }
    EXPECT_EQ(m_answers.value(1), QStringLiteral("after=next"));
    m_manager.reset();
}

// Two lines of black text on white, large enough to read.
QImage twoLinePage(const QString &family, const QString &first, const QString &second)
{
    QImage page(900, 260, QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter painter(&page);
    QFont font(family);
    font.setPixelSize(56);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(QPoint(30, 90), first);
    painter.drawText(QPoint(30, 200), second);
    return page;
}

TEST(TesseractRecognizerTest, ReadsRenderedLinesInOrder)
{
    const QImage page = twoLinePage(QStringLiteral("DejaVu Sans"), QStringLiteral("Hello Shelf"),
                                    QStringLiteral("Second line 42"));
    X11TextRecognizer recognizer;
    const QString text = recognizer.recognize(page, FileShelfManager::ocrLanguages,
                                              std::make_shared<std::atomic<bool>>(false));
    EXPECT_EQ(text, QStringLiteral("Hello Shelf\nSecond line 42"));
    // Asked to stop before it starts, it gives nothing.
    EXPECT_EQ(
        recognizer.recognize(page, FileShelfManager::ocrLanguages, std::make_shared<std::atomic<bool>>(true)),
        QString());
}

// The engine loads every language asked for: read with English alone (as it falls back to when they
// fail to load), the Chinese line comes out as "(RUF FR" and the German one as "Grofse flr Strake".
TEST(TesseractRecognizerTest, ReadsChineseAndGermanWithTheLanguagesAsked)
{
    const QImage page = twoLinePage(QStringLiteral("Noto Sans CJK SC"), QStringLiteral("你好世界"),
                                    QStringLiteral("Größe für Straße"));
    X11TextRecognizer recognizer;
    EXPECT_EQ(recognizer.recognize(page, FileShelfManager::ocrLanguages,
                                   std::make_shared<std::atomic<bool>>(false)),
              QStringLiteral("你好世界\nGröße für Straße"));
}

// Without the engine's language data (none installed, or an installation broken) a recognition
// answers empty and the program goes on. The recognition runs in a process of its own (this test
// program run again up to here), so that an engine used unloaded fails this test by name.
TEST(TesseractRecognizerTest, WithoutLanguageDataTheAnswerIsEmpty)
{
    QTemporaryDir noData;
    ASSERT_TRUE(noData.isValid());
    const QImage page = twoLinePage(QStringLiteral("DejaVu Sans"), QStringLiteral("Hello Shelf"),
                                    QStringLiteral("Second line 42"));
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            qputenv("TESSDATA_PREFIX", QFile::encodeName(noData.path()));
            X11TextRecognizer recognizer;
            const QString text = recognizer.recognize(page, FileShelfManager::ocrLanguages,
                                                      std::make_shared<std::atomic<bool>>(false));
            noData.remove(); // the process ends without unwinding
            std::_Exit(text.isEmpty() ? 0 : 2);
        },
        ::testing::ExitedWithCode(0), "")
        << "a recognition without the engine's language data ended the program or read text";
}

double residentMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return 0;
}

// Regression: one "Extract Text" left the engine with its six languages' models resident until
// quit (110-120 MB). What the recognition loaded is gone when it has answered; only the module's
// own code stays mapped.
TEST(TesseractRecognizerTest, WhatARecognitionLoadedIsFreedWhenItEnds)
{
    const QImage page = twoLinePage(QStringLiteral("DejaVu Sans"), QStringLiteral("Hello Shelf"),
                                    QStringLiteral("Second line 42"));
    X11TextRecognizer recognizer;
    // What earlier tests freed is given back first, so it cannot hide what this one keeps.
    releaseFreeMemory();
    const double before = residentMegabytes();
    ASSERT_GT(before, 0);
    for (int run = 0; run < 2; ++run) {
        EXPECT_EQ(recognizer.recognize(page, FileShelfManager::ocrLanguages,
                                       std::make_shared<std::atomic<bool>>(false)),
                  QStringLiteral("Hello Shelf\nSecond line 42"));
        EXPECT_LT(residentMegabytes() - before, 30.0) << "after recognition " << run + 1;
    }
}

} // namespace
} // namespace qv
