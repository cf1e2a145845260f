// The clipboard history on a real X server, against xclip as the other application.
#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include <signal.h>

#include <xcb/xcb.h>

#include "clipboard/clipboardmanager.h"
#include "core/diagnostics/diagevents.h"
#include "core/settingsstore.h"
#include "platform/sim/simdesktop.h"
#include "platform/x11/x11pasteboard.h"
#include "runtime/qtscheduler.h"
#include "runtime/workqueue.h"
#include "support/recordingeventlog.h"
#include "support/x11clients.h"

namespace qv {
namespace {

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

    // xclip taking the clipboard with these bytes; it stays in the foreground as the owner. It reads
    // them from a file, at once: fed through its input, it would take the clipboard only as the
    // event loop happened to write the last of them.
    QProcess *copyWithXclip(const QByteArray &bytes, const QString &type = QString())
    {
        const QString path = m_offers.filePath(QStringLiteral("copy-%1").arg(m_owners.size()));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        file.close();
        auto process = std::make_unique<QProcess>();
        qv::bindToTest(*process);
        QStringList args = {QStringLiteral("-quiet"), QStringLiteral("-selection"),
                            QStringLiteral("clipboard")};
        if (!type.isEmpty())
            args << QStringLiteral("-t") << type;
        process->start(QStringLiteral("xclip"), args << path);
        EXPECT_TRUE(process->waitForStarted(3000));
        m_owners.push_back(std::move(process));
        return m_owners.back().get();
    }

    // Our own owner program offering exactly these types ("TYPE" -> bytes); waits (up to `readyMs`)
    // until it owns the clipboard. `options` go to the program as they are.
    QProcess *offerWithOwner(const QList<std::pair<QString, QByteArray>> &offers,
                             const QStringList &options = {}, int readyMs = 5000)
    {
        QStringList args = options;
        for (const auto &[type, bytes] : offers) {
            const QString path = m_offers.filePath(QStringLiteral("offer-%1").arg(args.size()));
            QFile file(path);
            EXPECT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(bytes);
            args << type + QLatin1Char('=') + path;
        }
        auto process = std::make_unique<QProcess>();
        qv::bindToTest(*process);
        process->start(QStringLiteral(QV_CLIPBOARD_OWNER), args);
        EXPECT_TRUE(process->waitForStarted(3000));
        EXPECT_TRUE(QTest::qWaitFor([&] { return process->canReadLine(); }, readyMs));
        EXPECT_EQ(process->readLine(), QByteArray("ready\n"));
        m_owners.push_back(std::move(process));
        return m_owners.back().get();
    }

    static QByteArray noisePng(int width, int height)
    {
        QImage image(width, height, QImage::Format_RGB32);
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
        return png;
    }

    bool waitForHistory(int size)
    {
        return QTest::qWaitFor(
            [&] { return m_manager->history().size() >= size && m_manager->pendingItems().isEmpty(); });
    }

    QTemporaryDir m_cache;
    QTemporaryDir m_offers;
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
    const QByteArray png = noisePng(1800, 1200);
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

// A picture copied back was handed to the clipboard decoded, so each program that pasted it had it
// encoded anew as PNG on the main thread (a tenth of a second and more for a screenshot, each time).
// It goes back as the PNG that was copied, byte for byte.
TEST_F(ClipboardX11Test, APictureCopiedBackIsPastedAsTheBytesThatWereCopied)
{
    const QByteArray png = noisePng(1200, 800);
    copyWithXclip(png, QStringLiteral("image/png"));
    ASSERT_TRUE(waitForHistory(1));

    const qint64 before = m_pasteboard->changeCount();
    m_manager->copyToPasteboard(m_manager->history().first());
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_pasteboard->changeCount() > before; }, 5000));
    const QByteArray pasted = X11Clients::pasteWithXclip(QStringLiteral("image/png"));
    EXPECT_EQ(pasted.size(), png.size());
    EXPECT_TRUE(pasted == png) << "the picture was encoded again";
}

// Regression: a photo copied back was decoded and encoded as PNG first, 6-7 s for 4000 x 3000, and
// the clipboard stayed another program's meanwhile (a paste then pasted the old contents). The
// clipboard is ours when the copy back returns; the photo's own bytes are pasted under its own type,
// and PNG is made when a program asks for it.
TEST_F(ClipboardX11Test, APhotoCopiedBackOwnsTheClipboardAtOnceAsItsOwnJpegAndGivesPngOnRequest)
{
    QImage photo(4000, 3000, QImage::Format_RGB32);
    for (int y = 0; y < photo.height(); ++y) {
        auto *line = reinterpret_cast<quint32 *>(photo.scanLine(y));
        for (int x = 0; x < photo.width(); ++x)
            line[x] = qRgb(x % 256, y % 256, (x / 16 + y / 16) % 256);
    }
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(photo.save(&buffer, "JPG"));
    copyWithXclip(jpeg, QStringLiteral("image/jpeg"));
    ASSERT_TRUE(waitForHistory(1));

    xcb_connection_t *qt = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
    const xcb_setup_t *setup = xcb_get_setup(qt);
    const auto ownerIsUs = [&] {
        xcb_connection_t *other = xcb_connect(nullptr, nullptr);
        const QByteArray name("CLIPBOARD");
        xcb_intern_atom_reply_t *atom = xcb_intern_atom_reply(
            other, xcb_intern_atom(other, 0, uint16_t(name.size()), name.constData()), nullptr);
        xcb_get_selection_owner_reply_t *owner =
            atom ? xcb_get_selection_owner_reply(other, xcb_get_selection_owner(other, atom->atom), nullptr)
                 : nullptr;
        const bool ours = owner && owner->owner != XCB_WINDOW_NONE &&
                          (owner->owner & ~setup->resource_id_mask) == setup->resource_id_base;
        std::free(owner);
        std::free(atom);
        xcb_disconnect(other);
        return ours;
    };
    ASSERT_FALSE(ownerIsUs());
    m_manager->copyToPasteboard(m_manager->history().first());
    EXPECT_TRUE(ownerIsUs()) << "the clipboard was not ours when the copy back returned";

    const QByteArray pasted = X11Clients::pasteWithXclip(QStringLiteral("image/jpeg"));
    EXPECT_EQ(pasted.size(), jpeg.size());
    EXPECT_TRUE(pasted == jpeg) << "not the photo's own bytes";
    // Into a file: megabytes through a pipe would wait on this test's own event loop.
    const QString pasteFile = m_offers.filePath(QStringLiteral("pasted.png"));
    QProcess xclip;
    xclip.setStandardOutputFile(pasteFile);
    xclip.start(QStringLiteral("xclip"), {"-o", "-selection", "clipboard", "-t", "image/png"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return xclip.state() == QProcess::NotRunning; }, 60000));
    const QImage png(pasteFile, "PNG");
    EXPECT_EQ(png.size(), QSize(4000, 3000)) << "no PNG when asked for";
    EXPECT_EQ(m_manager->history().size(), 1) << "the copy back was captured again";
}

TEST_F(ClipboardX11Test, CopyBackIsPastedByAnotherApplicationAndAGenuineCopyRightAfterIsCaptured)
{
    copyWithXclip("first text");
    ASSERT_TRUE(waitForHistory(1));

    m_manager->copyToPasteboard(m_manager->history().first());
    EXPECT_EQ(X11Clients::pasteWithXclip(), QByteArray("first text"));

    // Well within a second of the copy back: still a copy of its own.
    copyWithXclip("second text");
    ASSERT_TRUE(waitForHistory(2));
    const auto history = m_manager->history();
    ASSERT_EQ(history.size(), 2) << "the copy back was captured again";
    EXPECT_EQ(history.at(0).text, QStringLiteral("second text"));
    EXPECT_EQ(history.at(1).text, QStringLiteral("first text"));
}

// Every write of our process counted as our own on X11, so a recognised text or a shelf file copied
// to the clipboard never entered the history there (it did on the simulated desktop).
TEST_F(ClipboardX11Test, OurNewCopiesEnterTheHistoryAndAFileIsOfferedToFileManagers)
{
    m_pasteboard->writeText(QStringLiteral("recognised text"), WriteOrigin::newCopy);
    ASSERT_TRUE(waitForHistory(1));
    EXPECT_EQ(m_manager->history().first().text, QStringLiteral("recognised text"));

    QFile file(m_offers.filePath(QStringLiteral("shelf file.txt")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("on the shelf");
    file.close();
    const QUrl url = QUrl::fromLocalFile(file.fileName());
    m_pasteboard->writeFileURL(url);
    EXPECT_EQ(X11Clients::pasteWithXclip(QStringLiteral("x-special/gnome-copied-files")),
              "copy\n" + url.toEncoded());
    ASSERT_TRUE(waitForHistory(2));
    EXPECT_EQ(m_manager->history().size(), 2);

    // The copy back of an item stays out, right after those.
    m_manager->copyToPasteboard(m_manager->history().last());
    EXPECT_EQ(X11Clients::pasteWithXclip(), QByteArray("recognised text"));
    QTest::qWait(600);
    EXPECT_EQ(m_manager->history().size(), 2);
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
    EXPECT_EQ(X11Clients::pasteWithXclip(), token.toUtf8());
}

// Regression: a letter carrying millions of marks counted as one character and was held whole.
TEST_F(ClipboardX11Test, AFloodOfMarksOnOneLetterIsHeldWithinTheCapAndCopiedBackAsHeld)
{
    const QString flood = QStringLiteral("NNNNc") + QString(2000000, QChar(0x0301));
    copyWithXclip(flood.toUtf8());

    ASSERT_TRUE(waitForHistory(1));
    const ClipboardItem item = m_manager->history().first();
    EXPECT_EQ(item.text.size(), 400000);
    EXPECT_TRUE(item.text == flood.left(400000));

    m_manager->copyToPasteboard(item);
    EXPECT_TRUE(X11Clients::pasteWithXclip() == flood.left(400000).toUtf8());
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
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_pasteboard->read().types().isEmpty(); }))
        << "the clipboard kept an owner";

    const auto history = m_manager->history();
    ASSERT_EQ(history.size(), 2);
    EXPECT_EQ(history.at(0).text, QStringLiteral("kept after exit"));
    EXPECT_TRUE(QFileInfo::exists(history.at(1).imageURL.toLocalFile()));

    const qint64 before = m_pasteboard->changeCount();
    m_manager->copyToPasteboard(history.at(1));
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_pasteboard->changeCount() != before; }))
        << "the picture was not written";
    const QImage pasted = QImage::fromData(X11Clients::pasteWithXclip(QStringLiteral("image/png")), "PNG");
    EXPECT_EQ(pasted.size(), QSize(40, 30));
}

TEST_F(ClipboardX11Test, OwnerThatStopsAnsweringHoldsNothingUp)
{
    QProcess *frozen = copyWithXclip("frozen owner");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !m_pasteboard->read().types().isEmpty(); }));
    ASSERT_EQ(::kill(pid_t(frozen->processId()), SIGSTOP), 0);
    // The read gives up on the owner instead of waiting for it.
    EXPECT_TRUE(m_pasteboard->read().types().isEmpty());

    // A check that met the frozen owner may still be retrying; it ends once the clipboard moves on.
    copyWithXclip("next owner");
    EXPECT_TRUE(QTest::qWaitFor(
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
    ASSERT_TRUE(QTest::qWaitFor([&] {
        result = ClipboardManager::scanPasteboard(m_pasteboard->read(), 0);
        return !result.payloads.isEmpty();
    }));
    ASSERT_EQ(result.payloads.size(), 2);
    EXPECT_EQ(result.payloads.at(0).kind, ScanPayload::ImageFileURL);
    EXPECT_EQ(result.payloads.at(0).fileURL.toLocalFile(), picture);
    EXPECT_EQ(result.payloads.at(1),
              ScanPayload::makeText(QStringLiteral("notes.pdf"), QStringLiteral("This Mac")));
}

// Copying 10,000 files as one uri-list stalled each capture near a second, a 100,000-line list at
// every copy: the list is read only as far as the history can hold it.
TEST_F(ClipboardX11Test, AHugeFileListIsReadOnlyAsFarAsTheHistoryHolds)
{
    QByteArray list;
    for (int i = 0; i < 10000; ++i) {
        const QByteArray line =
            "file:///nowhere/f" + QByteArray::number(i).rightJustified(5, '0') + ".txt\r\n";
        for (int copy = 0; copy < 10; ++copy)
            list += line;
    }
    copyWithXclip(list, QStringLiteral("text/uri-list"));
    ASSERT_TRUE(waitForHistory(PasteboardType::maxFiles));
    QTest::qWait(500);
    QStringList texts;
    for (const ClipboardItem &item : m_manager->history())
        texts.append(item.text);
    EXPECT_EQ(texts.size(), PasteboardType::maxFiles);
    EXPECT_TRUE(texts.contains(QStringLiteral("f00000.txt")));
    EXPECT_TRUE(texts.contains(QStringLiteral("f00499.txt")));
    EXPECT_FALSE(texts.contains(QStringLiteral("f00500.txt")));
}

struct LegacyOffer
{
    const char *name;
    QList<std::pair<QString, QByteArray>> offers;
    QStringList options;
    QString text;
};

class ClipboardX11LegacyText : public ClipboardX11Test, public ::testing::WithParamInterface<LegacyOffer>
{
};

// Older toolkits and terminals offer text only in the forms X11 had before UTF-8; some owners do not
// answer TARGETS at all, type the list TARGETS, or answer it with their text (no list, then).
TEST_P(ClipboardX11LegacyText, IsCapturedAndDecoded)
{
    offerWithOwner(GetParam().offers, GetParam().options);
    ASSERT_TRUE(waitForHistory(1)) << GetParam().name;
    EXPECT_EQ(m_manager->history().first().text, GetParam().text) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Offers, ClipboardX11LegacyText,
    ::testing::Values(
        LegacyOffer{"only STRING, in Latin-1", {{"STRING", "caf\xe9 cr\xe8me"}}, {}, u"café crème"_qs},
        LegacyOffer{"only TEXT, TARGETS typed TARGETS",
                    {{"TEXT", "na\xefve"}},
                    {"--targets-type=TARGETS"},
                    u"naïve"_qs},
        LegacyOffer{"only COMPOUND_TEXT, with Latin-1, UTF-8 and Cyrillic segments",
                    {{"COMPOUND_TEXT", "caf\xe9 \x1b%G\xe2\x82\xac\x1b%@ \x1b-L\xbf"}},
                    {},
                    u"café € П"_qs},
        LegacyOffer{"TARGETS answered with the text, UTF8_STRING",
                    {{"UTF8_STRING", "gr\xc3\xbc\xc3\x9f dich"}},
                    {"--targets-as-value"},
                    u"grüß dich"_qs},
        LegacyOffer{"no TARGETS, only STRING", {{"STRING", "\xe9t\xe9"}}, {"--no-targets"}, u"été"_qs}),
    [](const auto &info) {
        return QString::fromLatin1(info.param.name).replace(QRegularExpression("\\W"), "_").toStdString();
    });

TEST_F(ClipboardX11Test, ImageOfferedOnlyAsJpegIsStoredLikeAPng)
{
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(Qt::darkMagenta);
    image.save(&buffer, "JPG");
    offerWithOwner({{QStringLiteral("image/jpeg"), jpeg}});

    ASSERT_TRUE(waitForHistory(1));
    const ClipboardItem item = m_manager->history().first();
    EXPECT_TRUE(item.isImage);
    EXPECT_EQ(item.text, QStringLiteral("Image • 64×48"));
    EXPECT_EQ(item.thumbnail.size(), QSize(64, 48));
    QFile cached(item.imageURL.toLocalFile());
    ASSERT_TRUE(cached.open(QIODevice::ReadOnly));
    EXPECT_TRUE(cached.readAll() == jpeg);
}

// A session of which we are the first client: the atoms the reader uses exist only once it names
// them, and the first copy is read all the same.
TEST_F(ClipboardX11Test, TheFirstCopyOnAFreshServerIsRead)
{
    QProcess server;
    qv::bindToTest(server);
    server.start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1")});
    ASSERT_TRUE(server.waitForStarted(3000) && QTest::qWaitFor([&] { return server.canReadLine(); }));
    const QByteArray shared = qgetenv("DISPLAY");
    qputenv("DISPLAY", ":" + server.readLine().trimmed());
    const auto restore = qScopeGuard([&] { qputenv("DISPLAY", shared); });
    X11Pasteboard fresh;
    offerWithOwner({{PasteboardType::utf8String, "first copy"}});
    EXPECT_EQ(fresh.read().string(PasteboardType::utf8String), QStringLiteral("first copy"));
    server.kill();
    server.waitForFinished(3000);
}

// An incremental transfer whose later pieces had another type, or kept coming from the owner after it
// had handed the clipboard over, was taken whole: mixed pieces read as the copy.
TEST_F(ClipboardX11Test, BrokenIncrementalTransfersAreNotRead)
{
    m_manager.reset(); // only this test reads the clipboard
    const QByteArray broken = QByteArray("broken transfer ").repeated(2000);
    const QString handedOverFile = m_offers.filePath(QStringLiteral("handed-over"));
    QFile file(handedOverFile);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("the new owner's text");
    file.close();
    const struct
    {
        QString option;
        std::optional<QString> next; // what a second read gives
    } rows[] = {
        {QStringLiteral("--incr-switch-type"), std::nullopt},
        {QStringLiteral("--incr-hand-over=") + handedOverFile, QStringLiteral("the new owner's text")},
    };
    for (const auto &row : rows) {
        offerWithOwner({{PasteboardType::utf8String, broken}}, {row.option});
        EXPECT_EQ(m_pasteboard->read().string(PasteboardType::utf8String), std::nullopt)
            << qPrintable(row.option);
        EXPECT_EQ(m_pasteboard->read().string(PasteboardType::utf8String), row.next)
            << qPrintable(row.option);
    }
}

// Regression: after a text over the transfer limit was refused part way through its incremental
// transfer, its remaining pieces reached the next read: the following image was lost or cached
// corrupt, and the next small copy could be lost too.
TEST_F(ClipboardX11Test, RefusedTransferDoesNotPoisonTheNextOnes)
{
    // The next copy waits until this one has been refused for good (its last attempt): made sooner,
    // it would queue behind those attempts, and how long they take is no test's to guess.
    copyWithXclip(QByteArray(60000000, 'x'));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return m_events.details(DiagEvents::clipboardSnapshotStatus)
                .join(u'\n')
                .contains(u"resolved=false");
        },
        60000));
    const QByteArray png = noisePng(3700, 3700);
    ASSERT_GT(png.size(), 40000000);
    ASSERT_LT(png.size(), ClipboardManager::maxImageBytes);
    copyWithXclip(png, QStringLiteral("image/png"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_manager->history().size() >= 1; }, 30000));
    copyWithXclip("short text after");
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_manager->history().size() >= 2; }, 15000));

    const auto history = m_manager->history();
    ASSERT_EQ(history.size(), 2);
    EXPECT_EQ(history.at(0).text, QStringLiteral("short text after"));
    ASSERT_TRUE(history.at(1).isImage);
    EXPECT_EQ(history.at(1).imageSize, QSize(3700, 3700));
    QFile cached(history.at(1).imageURL.toLocalFile());
    ASSERT_TRUE(cached.open(QIODevice::ReadOnly));
    EXPECT_TRUE(cached.readAll() == png) << "the cached image differs from what was copied";
    EXPECT_EQ(QDir(m_cache.path()).entryList(QDir::Files).size(), 1) << "something partial was cached";
}

// Regression: polling alone lost the first copy after an idle spell when the next came within one
// polling period; each owner change now starts a check.
TEST_F(ClipboardX11Test, TwentyCopiesInQuickSuccessionAfterAnIdleMinuteAreAllCaptured)
{
    QTest::qWait(60000);
    QStringList copied;
    for (int i = 1; i <= 20; ++i) {
        copied.prepend(QStringLiteral("quick copy %1").arg(i));
        copyWithXclip(copied.first().toUtf8());
        QTest::qWait(300);
    }
    ASSERT_TRUE(waitForHistory(20));
    QStringList texts;
    for (const auto &item : m_manager->history())
        texts.append(item.text);
    EXPECT_EQ(texts, copied);
}

// Regression: every offered target was named with a round trip of its own (and kept in a cache
// that never shrank), so an owner offering 40,000 targets took seconds to capture, held up the
// normal copy after it, and raised memory for good. Only the types the clipboard can use are
// looked at now; whatever else is listed is never named.
TEST_F(ClipboardX11Test, AHugeTargetListIsNotNamedAndHoldsUpNoCopy)
{
    for (const int junk : {40000, 20000}) {
        // Owners offering the text among `junk` targets of fresh names.
        offerWithOwner({{PasteboardType::utf8String, "among junk " + QByteArray::number(junk)}},
                       {QStringLiteral("--junk-targets=%1").arg(junk)}, 20000);
        const PasteboardSnapshot snapshot = m_pasteboard->read();
        EXPECT_EQ(snapshot.types(), QStringList{PasteboardType::utf8String}) << junk;
    }
    copyWithXclip("a normal copy right after");
    ASSERT_TRUE(QTest::qWaitFor([&] {
        return !m_manager->history().isEmpty() && m_manager->pendingItems().isEmpty() &&
               m_manager->history().first().text == u"a normal copy right after"_qs;
    }));
}

} // namespace
} // namespace qv
