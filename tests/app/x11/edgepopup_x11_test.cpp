// The edge popup on the real desktop: module hotkeys grabbed on the display, the clipboard read
// from the X server (xclip is the other application), the panel a real window without a
// compositor (and under picom where a test says so), and a drag out of the shelf onto a real XDND
// drop target.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <optional>

#include "core/diagnostics/diagevents.h"
#include "core/settingskeys.h"
#include "support/busyloops.h"
#include "support/overlaydesktop.h"
#include "support/pingtimer.h"
#include "support/screenshot.h"
#include "support/x11clients.h"
#include "support/x11focus.h"
#include "ui/panel.h"
#include "views/edgepopup/edgepopupview.h"
#include "views/items/edgeclipcard.h"
#include "views/items/edgeshelftile.h"
#include "views/superpanel/superpaneloverlay.h"
#include "views/superpanel/superpanelstate.h"

using namespace qv;

namespace {

// Console lines of one logging category, caught while it lives; every line still goes on to the
// handler that was there before.
class CategoryLines
{
public:
    explicit CategoryLines(const char *category)
    {
        s_category = category;
        s_lines.clear();
        s_previous = qInstallMessageHandler(&CategoryLines::handle);
    }
    ~CategoryLines() { qInstallMessageHandler(s_previous); }
    QStringList lines() const { return s_lines; }
    void clear() { s_lines.clear(); }

private:
    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &message)
    {
        if (context.category && qstrcmp(context.category, s_category) == 0)
            s_lines.append(message);
        if (s_previous)
            s_previous(type, context, message);
    }
    static inline const char *s_category = nullptr;
    static inline QStringList s_lines;
    static inline QtMessageHandler s_previous = nullptr;
};

class EdgePopupX11Test : public ::testing::Test, protected OverlayDesktop
{
protected:
    void SetUp() override
    {
        if (QStandardPaths::findExecutable(QStringLiteral("xclip")).isEmpty())
            GTEST_SKIP() << "needs xclip";
        ASSERT_TRUE(folder.isValid());
        addItemServices();
        settings.set(Settings::enableModuleHotkeys, true);
        QTest::qWait(200); // the module hotkeys are grabbed
    }

    // Shown as the server has it, so a click right after lands on what a person would see.
    bool popupShown()
    {
        KeyPanel &panel = *controller->globalOverlayWindow();
        return panel.isVisible() && controller->isGlobalSwitcherVisible() &&
               controller->edgePopup()->isVisible() && isViewable(connection, xcb_window_t(panel.winId()));
    }
    // A recording terminal behind the popup, once it has the keyboard (0 when it never gets it).
    qint64 startRecorderWithKeys(const QString &file)
    {
        const qint64 recorder = clients.startRecorder(QStringLiteral("rec-behind"), file,
                                                      {QStringLiteral("-geometry"), "60x12+500+200"});
        // Its file appears once the terminal reads raw: keys typed before would wait for a line.
        return recorder != 0 &&
                       QTest::qWaitFor([&] { return hasKeys(recorder) && QFile::exists(file); }, 10000)
                   ? recorder
                   : 0;
    }
    bool hasKeys(qint64 pid) { return pidOf(connection, activeWindow(connection)) == pid; }
    static QByteArray received(const QString &file)
    {
        QFile recorded(file);
        return recorded.open(QIODevice::ReadOnly) ? recorded.readAll() : QByteArray("(unreadable)");
    }
    QStringList clipTexts()
    {
        QStringList texts;
        for (QWidget *card : controller->edgePopup()->cards()) {
            if (auto *clip = qobject_cast<EdgeClipCard *>(card))
                texts.append(clip->item().text);
        }
        return texts;
    }
    QRect popupOnScreen()
    {
        const QRect frame = controller->edgePopup()->panelFrame();
        return QRect(controller->edgePopup()->mapToGlobal(frame.topLeft()), frame.size());
    }

    // The drag source of the tests, dragging one file or, given a file, its bytes as a uri-list.
    void startDragSource(const QStringList &arguments = {})
    {
        settings.set(Settings::popupEdge, QStringLiteral("bottom"));
        ASSERT_NE(clients.start(QStringLiteral(QV_DRAGSOURCE), arguments), 0);
        ASSERT_TRUE(X11Clients::moveNamedWindow(QStringLiteral("qv-drag-source"), 600, 300));
        QTest::qWait(300);
    }

    // Presses on the source, moves far enough for it to start the drag, holds at the left edge until
    // the shelf popup opens and lets go over it.
    void dropFromTheSourceOntoTheShelf()
    {
        ASSERT_TRUE(xdotool(QStringLiteral("mousemove --sync 700 400 mousedown 1")));
        for (int x = 690; x > 0; x -= 70) {
            ASSERT_TRUE(xdotool(QStringLiteral("mousemove %1 400").arg(x)));
            QTest::qWait(30);
        }
        ASSERT_TRUE(xdotool(QStringLiteral("mousemove 3 400")));
        ASSERT_TRUE(QTest::qWaitFor([&] { return popupShown(); }, 5000)) << "the edge opened nothing";
        EXPECT_EQ(controller->superPanel()->routeName(), "shelf");
        QTest::qWait(200); // the click catcher and the outline follow the map

        const QPoint onto = popupOnScreen().center();
        ASSERT_TRUE(xdotool(QStringLiteral("mousemove %1 %2").arg(onto.x()).arg(onto.y())));
        QTest::qWait(300);
        ASSERT_TRUE(xdotool(QStringLiteral("mousemove %1 %2").arg(onto.x() + 3).arg(onto.y())));
        QTest::qWait(300);
        ASSERT_TRUE(xdotool(QStringLiteral("mouseup 1")));
    }

    X11Clients clients;
};

} // namespace

TEST_F(EdgePopupX11Test, ClipboardHotkeyOpensThePopupAtItsEdgeAndTheHotkeyOrABackdropClickClosesIt)
{
    settings.set(Settings::popupEdge, QStringLiteral("top"));
    ASSERT_NE(clients.copyWithXclip("copied with xclip"), 0);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();

    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        ASSERT_TRUE(xdotool(QStringLiteral("key alt+c")));
        ASSERT_TRUE(QTest::qWaitFor([&] { return popupShown(); }, 3000));
        EXPECT_TRUE(QTest::qWaitFor([&] { return clipTexts().contains("copied with xclip"); }, 3000))
            << clipTexts().join(", ").toStdString();
        const QRect popup = popupOnScreen();
        EXPECT_EQ(popup.top(), screen.top() + 20) << "hugs the top edge";
        EXPECT_EQ(popup.width(), screen.width() - 40);
        if (!controller->globalOverlayWindow()->isTranslucent()) {
            EXPECT_FALSE(controller->globalOverlayWindow()->outline().isEmpty()) << "cut to the popup";
        }
        if (round == 0)
            saveScreenshot(*controller->globalOverlayWindow(), "edgepopup_x11_top_clipboard");

        QTest::qWait(100); // the window below that catches the clicks follows the map
        if (round == 0) {
            ASSERT_TRUE(xdotool(QStringLiteral("key alt+c")));
        } else {
            // Below the popup: the desktop shows there, and the click still closes the popup.
            ASSERT_TRUE(xdotool(QStringLiteral("mousemove %1 %2 click 1")
                                    .arg(screen.center().x())
                                    .arg(screen.bottom() - 40)));
        }
        ASSERT_TRUE(QTest::qWaitFor([&] { return !controller->globalOverlayWindow()->isVisible(); }, 3000));
        QTest::qWait(200);
    }

    // A backdrop click closes it on every opening, not just the first.
    ASSERT_TRUE(xdotool(QStringLiteral("key alt+c")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return popupShown(); }, 3000));
    QTest::qWait(100);
    ASSERT_TRUE(
        xdotool(QStringLiteral("mousemove %1 %2 click 1").arg(screen.left() + 30).arg(screen.bottom() - 30)));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !controller->globalOverlayWindow()->isVisible(); }, 3000));
}

// The letters typed right after the clipboard hotkey reached the window behind the popup; those
// typed right after Esc went into the popup as it faded out.
TEST_F(EdgePopupX11Test, LettersAfterTheHotkeyStayInThePopupAndThoseAfterEscapeReachTheWindowThatHadTheKeys)
{
    const QString file = folder.filePath(QStringLiteral("behind"));
    const qint64 recorder = startRecorderWithKeys(file);
    ASSERT_NE(recorder, 0);

    QByteArray expected;
    for (int round = 0; round < 5; ++round) {
        SCOPED_TRACE(round);
        ASSERT_TRUE(xdotoolWhileRunning(QStringLiteral("key alt+c type hj")));
        ASSERT_TRUE(QTest::qWaitFor([&] { return popupShown(); }, 3000));
        QTest::qWait(100);
        // No pause at all between Esc and the letters.
        ASSERT_TRUE(xdotoolWhileRunning(QStringLiteral("key --delay 0 Escape k l")));
        expected += "kl";
        EXPECT_TRUE(QTest::qWaitFor([&] { return received(file) == expected; }, 3000))
            << received(file).data();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !controller->globalOverlayWindow()->isVisible(); }, 3000));
        ASSERT_TRUE(QTest::qWaitFor([&] { return hasKeys(recorder); }, 3000));
    }
}

// With no pause at all from the letters to the text after Esc, the first letters after Esc were lost
// while the popup faded out; half the rounds run with the processors kept busy.
TEST_F(EdgePopupX11Test, TextTypedAtOnceAfterTheHotkeyLettersAndEscapeReachesTheWindowThatHadTheKeysWhole)
{
    const QString file = folder.filePath(QStringLiteral("behind"));
    const qint64 recorder = startRecorderWithKeys(file);
    ASSERT_NE(recorder, 0);

    QByteArray expected;
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        std::optional<BusyLoops> busy;
        if (round >= 10)
            busy.emplace(4);
        const QString letter = QString(QChar(u'a' + round));
        // The first letter in the same instant as the hotkey's release.
        ASSERT_TRUE(xdotoolWhileRunning(QStringLiteral("key --delay 0 alt+c h j Escape k l ") + letter));
        expected += "kl" + letter.toLatin1();
        EXPECT_TRUE(QTest::qWaitFor([&] { return received(file) == expected; }, 4000))
            << received(file).data();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !controller->globalOverlayWindow()->isVisible(); }, 3000));
        ASSERT_TRUE(QTest::qWaitFor([&] { return hasKeys(recorder); }, 3000));
    }
}

TEST_F(EdgePopupX11Test, TextCopiedWhileThePopupShowsAppearsInIt)
{
    ASSERT_NE(clients.copyWithXclip("first text"), 0);
    ASSERT_TRUE(xdotool(QStringLiteral("key alt+c")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return popupShown() && clipTexts().contains("first text"); }, 3000));
    QWidget *first = controller->edgePopup()->cards().value(0);

    ASSERT_NE(clients.copyWithXclip("copied while it shows"), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return clipTexts().value(0) == "copied while it shows"; }, 5000))
        << clipTexts().join(", ").toStdString();
    EXPECT_EQ(controller->edgePopup()->cards().value(1), first) << "the earlier card keeps its widget";
    EXPECT_EQ(controller->edgePopup()->countText(), "2");
    ASSERT_TRUE(xdotool(QStringLiteral("key alt+c")));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !controller->globalOverlayWindow()->isVisible(); }, 3000));
}

// Nothing reported the end of a drag on X11, so a file dropped into another application never left
// the shelf. Under a compositor the popup's see-through backdrop took the whole screen's input, and
// the program below never heard of the drag. Once the drag leaves the popup, the popup steps aside,
// with a compositor or without: let go where nothing takes it, the popup comes back and a click
// beside it still closes it; taken below, the file leaves the shelf and the popup closes.
TEST_F(EdgePopupX11Test, AFileDraggedFromTheShelfPopupOntoADropTargetLeavesTheShelfWithAndWithoutACompositor)
{
    settings.set(Settings::popupEdge, QStringLiteral("bottom"));
    QProcess drop;
    ASSERT_TRUE(startDropTarget(drop, QStringLiteral(QV_DROPTARGET), QPoint(100, 100)));
    KeyPanel &panel = *controller->globalOverlayWindow();
    int asides = 0;
    QObject::connect(controller->superPanelState(), &SuperPanelState::steppedAsideChanged, &panel, [&] {
        if (panel.isAside())
            ++asides;
    });
    const auto open = [&] {
        return xdotool(QStringLiteral("key alt+s")) &&
               QTest::qWaitFor([&] { return popupShown() && controller->edgePopup()->cards().size() == 1; },
                               3000);
    };
    // Over the desktop: nothing there takes a drop.
    const QPoint nowhere(1000, 250);
    HandDrag hand(connection);

    for (const bool compositing : {false, true}) {
        SCOPED_TRACE(compositing ? "under picom" : "without a compositor");
        if (compositing) {
            if (!hasPicom())
                GTEST_SKIP() << "picom is not installed (scripts/install-deps.sh installs it)";
            ASSERT_NE(startPicom(clients), 0);
        }
        ASSERT_EQ(panel.isTranslucent(), compositing);
        const QString name = QStringLiteral("report-%1.txt").arg(compositing);
        QFile file(folder.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("a report");
        file.close();
        shelf->processFile(QUrl::fromLocalFile(file.fileName()));
        ASSERT_TRUE(QTest::qWaitFor([&] { return shelf->items().size() == 1; }, 5000));

        ASSERT_TRUE(open());
        QTest::qWait(300); // the click catcher follows the map, the compositor draws
        QWidget *tile = controller->edgePopup()->cards().at(0);
        const QPoint from = tile->mapToGlobal(tile->rect().center());
        asides = 0;
        hand.start(from, nowhere);
        ASSERT_TRUE(hand.finish());
        QTest::qWait(500);
        EXPECT_EQ(asides, 1) << "the popup stayed over the windows below during the drag";
        EXPECT_TRUE(popupShown()) << "a drop nobody took closed the popup";
        EXPECT_FALSE(panel.isAside()) << "the popup did not come back after a drop nobody took";
        EXPECT_TRUE(drop.readAll().isEmpty());
        EXPECT_EQ(shelf->items().size(), 1) << "a drop nobody took emptied the shelf";
        // The screen as people see it, through the compositor where one runs.
        saveScreenshot(QGuiApplication::primaryScreen()->grabWindow(0).toImage(),
                       QStringLiteral("edgepopup_x11_back_after_a_drag_") +
                           (compositing ? QStringLiteral("picom") : QStringLiteral("plain")));
        fakeInput(connection, XCB_MOTION_NOTIFY, 0, nowhere);
        QTest::qWait(60);
        fakeInput(connection, XCB_BUTTON_PRESS, 1, nowhere);
        fakeInput(connection, XCB_BUTTON_RELEASE, 1, nowhere);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !panel.isVisible(); }, 3000))
            << "a click beside the popup that came back did not close it";

        ASSERT_TRUE(open());
        QTest::qWait(300);
        const QString stored = shelf->items().at(0).url.fileName();
        hand.start(from, QPoint(250, 250));
        ASSERT_TRUE(QTest::qWaitFor([&] { return drop.canReadLine(); }, 10000))
            << "the program below the popup never got the drop";
        const QUrl dropped(QString::fromUtf8(drop.readLine()).trimmed());
        EXPECT_EQ(dropped.fileName(), stored);
        QFile handed(dropped.toLocalFile());
        EXPECT_TRUE(handed.open(QIODevice::ReadOnly) && handed.readAll() == "a report");
        EXPECT_TRUE(QTest::qWaitFor([&] { return !controller->isGlobalSwitcherVisible(); }, 3000))
            << "the popup stayed over the program that took the drop";
        EXPECT_TRUE(QTest::qWaitFor([&] { return shelf->items().isEmpty(); }, 3000))
            << "taken, so it left the shelf";
        ASSERT_TRUE(QTest::qWaitFor([&] { return !panel.isVisible(); }, 3000));
        EXPECT_FALSE(panel.isAside());
        QTest::qWait(300);
    }
    drop.kill();
    drop.waitForFinished(3000);
}

// A file dragged out of another program and held at the left edge of the screen opens the shelf
// popup, which takes the drop, on every drag, not just the first.
TEST_F(EdgePopupX11Test, AFileHeldAtTheScreenEdgeOpensTheShelfWhichTakesTheDrop)
{
    startDragSource();
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        ASSERT_NO_FATAL_FAILURE(dropFromTheSourceOntoTheShelf());
        ASSERT_TRUE(QTest::qWaitFor([&] { return shelf->items().size() == round + 1; }, 5000))
            << "the popup did not take the drop";
        EXPECT_TRUE(shelf->items().at(0).url.fileName().startsWith("hostname"));
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return controller->edgePopup()->cards().size() == round + 1; }, 3000));

        ASSERT_TRUE(xdotool(QStringLiteral("key alt+s")));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !controller->globalOverlayWindow()->isVisible(); }, 3000));
        QTest::qWait(300);
    }
}

// A uri-list of 100,000 lines (10,000 files, each listed ten times) dropped on the shelf popup copied
// every line, duplicates under new names, far past the 200 the shelf holds, and held the interface
// for minutes.
TEST_F(EdgePopupX11Test, AFloodedDropTakesEachFileOnceAndNoMoreThanTheShelfHolds)
{
    QDir(folder.path()).mkdir("dropped");
    QByteArray list;
    for (int i = 0; i < 10000; ++i) {
        const QString path =
            folder.filePath(QStringLiteral("dropped/f%1.txt").arg(i, 5, 10, QLatin1Char('0')));
        // Only the first few hundred can be taken: the rest need not exist.
        if (i < 300) {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write("x");
        }
        const QByteArray line = QUrl::fromLocalFile(path).toEncoded() + "\r\n";
        for (int copy = 0; copy < 10; ++copy)
            list += line;
    }
    QFile listFile(folder.filePath("list"));
    ASSERT_TRUE(listFile.open(QIODevice::WriteOnly));
    listFile.write(list);
    listFile.close();

    // Each change the main thread makes to the list: the items arrive step by step, so the main loop
    // turns between the steps of the intake.
    QList<qsizetype> sizes;
    QObject::connect(shelf.get(), &FileShelfManager::itemsChanged, [&] {
        if (sizes.isEmpty() || sizes.last() != shelf->items().size())
            sizes.append(shelf->items().size());
    });
    startDragSource({listFile.fileName()});
    ASSERT_NO_FATAL_FAILURE(dropFromTheSourceOntoTheShelf());
    ASSERT_TRUE(QTest::qWaitFor([&] { return shelf->items().size() == FileShelfManager::capacity; }, 15000))
        << "the popup did not take the drop";
    QTest::qWait(500);
    EXPECT_EQ(shelf->items().size(), FileShelfManager::capacity);
    EXPECT_GT(sizes.size(), 1);
    QStringList names;
    for (const ShelfItem &item : shelf->items())
        names.append(item.url.fileName());
    EXPECT_EQ(names.first(), "f00199.txt");
    EXPECT_EQ(names.last(), "f00000.txt");
    EXPECT_EQ(QSet<QString>(names.begin(), names.end()).size(), FileShelfManager::capacity);
    EXPECT_EQ(QDir(shelf->shelfDirectory()).entryList(QDir::Files | QDir::NoDotAndDotDot).size(),
              FileShelfManager::capacity);
    EXPECT_EQ(events.details(DiagEvents::shelfDropCut), QStringList{"taken=200"});
    saveScreenshot(*controller->globalOverlayWindow(), QStringLiteral("edgepopup_shelf_flooded_drop"));

    ASSERT_TRUE(xdotool(QStringLiteral("key alt+s")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !controller->globalOverlayWindow()->isVisible(); }, 3000));
}

// A drop whose source never handed its data over (accepted, dropped, then silent, or an incremental
// transfer that stops after its start) froze the whole program for 5 s a drop: the data was read on
// the main thread, which waited for the source. Now the main thread keeps answering the window
// manager's pings whatever the source does, the source hears a refusal, and one console line tells
// of it; a source that behaves still has its file taken. What is bounded is the longest the thread
// went without answering, 2 s: far above a healthy round trip (milliseconds, a few hundred on a
// loaded machine) and far below the 5 s the old wait held the thread, so it tells a frozen thread
// from a busy test machine; it is no speed goal. How many pings fit in the drop is the machine's
// business, not the program's: one answered is enough to know the pings were heard at all.
TEST_F(EdgePopupX11Test, ADropWhoseSourceNeverHandsOverItsDataLeavesTheProgramAnswering)
{
    QFile given(folder.filePath("given.txt"));
    ASSERT_TRUE(given.open(QIODevice::WriteOnly));
    given.write("x");
    given.close();
    // Longer than one piece of the source's, so a source that behaves sends it incrementally.
    QByteArray list = QUrl::fromLocalFile(given.fileName()).toEncoded() + "\r\n";
    while (list.size() < 200 * 1024)
        list += "# a comment line that only makes the list long enough to come in pieces\r\n";
    QFile listFile(folder.filePath("list"));
    ASSERT_TRUE(listFile.open(QIODevice::WriteOnly));
    listFile.write(list);
    listFile.close();

    ASSERT_TRUE(xdotool(QStringLiteral("key alt+s")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return popupShown(); }, 3000));
    EXPECT_EQ(controller->superPanel()->routeName(), "shelf");
    QTest::qWait(200);
    const QString window = QString::number(controller->globalOverlayWindow()->winId());
    const QPoint onto = popupOnScreen().center();
    CategoryLines lines("quorvantis.x11.drop");
    PingTimer pings(xcb_window_t(controller->globalOverlayWindow()->winId()));

    struct Row
    {
        const char *mode;
        bool taken;
    };
    for (const Row &row : {Row{"noanswer", false}, Row{"incrstall", false}, Row{"normal", true}}) {
        SCOPED_TRACE(row.mode);
        lines.clear();
        pings.reset();
        QProcess source;
        source.start(QStringLiteral(QV_XDNDSOURCE),
                     {window, QString::number(onto.x()), QString::number(onto.y()), row.mode,
                      "text/uri-list=" + listFile.fileName()});
        ASSERT_TRUE(source.waitForStarted(3000));
        QStringList said;
        auto heard = [&](const QString &line) {
            while (source.canReadLine())
                said.append(QString::fromUtf8(source.readLine()).trimmed());
            return std::any_of(said.begin(), said.end(), [&](const QString &s) { return s.startsWith(line); });
        };
        ASSERT_TRUE(QTest::qWaitFor([&] { return heard("dropped"); }, 5000)) << "the popup took no drag";
        EXPECT_TRUE(QTest::qWaitFor([&] { return heard("finished"); }, 8000)) << "the source heard no answer";
        QTest::qWait(300);
        EXPECT_LT(pings.longest(), 2.0)
            << "the main thread stopped answering for " << pings.longest() << " s";
        EXPECT_GT(pings.answered(), 0) << "no ping was answered during the drop";
        EXPECT_TRUE(said.contains(row.taken ? "finished 1" : "finished 0")) << said.join(", ").toStdString();
        if (row.taken) {
            ASSERT_TRUE(QTest::qWaitFor([&] { return shelf->items().size() == 1; }, 5000));
            EXPECT_EQ(shelf->items().at(0).url.fileName(), "given.txt");
            EXPECT_TRUE(lines.lines().isEmpty()) << lines.lines().join(", ").toStdString();
        } else {
            EXPECT_TRUE(shelf->items().isEmpty());
            EXPECT_EQ(lines.lines().size(), 1) << lines.lines().join(", ").toStdString();
        }
        source.kill();
        source.waitForFinished(3000);
    }
    ASSERT_TRUE(xdotool(QStringLiteral("key alt+s")));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !controller->globalOverlayWindow()->isVisible(); }, 3000));
}

// Our receiver missed drops its own record of the drag could not place, and left them to Qt, which
// read the data on the main thread with none of our bounds: a source that sent a second XdndEnter
// between its positions and the drop, and never answered, froze the program for 5 s; so did one
// whose positions came faster than the main thread turned, since Qt folds queued positions this
// program's filter never sees; and Qt's folding of 100,000 queued positions held the main thread
// for 6 s. Every drop now hears XdndFinished from our receiver, a refusal at once wherever the drop
// has no place that takes it (unanswered, the dragging program would wait for its own time-out);
// the main thread keeps answering pings (1 s is far above a healthy round trip and far below the
// freezes).
TEST_F(EdgePopupX11Test, EveryDropOnOurWindowIsTakenOrRefusedByOurReceiverWhateverItsPositions)
{
    QFile given(folder.filePath("given.txt"));
    ASSERT_TRUE(given.open(QIODevice::WriteOnly));
    given.write("x");
    given.close();
    QFile listFile(folder.filePath("list"));
    ASSERT_TRUE(listFile.open(QIODevice::WriteOnly));
    listFile.write(QUrl::fromLocalFile(given.fileName()).toEncoded() + "\r\n");
    listFile.close();

    ASSERT_TRUE(xdotool(QStringLiteral("key alt+s")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return popupShown(); }, 3000));
    EXPECT_EQ(controller->superPanel()->routeName(), "shelf");
    QTest::qWait(200);
    const QString window = QString::number(controller->globalOverlayWindow()->winId());
    const QPoint onto = popupOnScreen().center();
    // Inside our window, well away from the popup (which lies along the bottom edge): no drop zone.
    const QPoint beside(onto.x(), popupOnScreen().top() - 200);
    ASSERT_FALSE(popupOnScreen().contains(beside));

    struct Row
    {
        const char *name;
        QString mode;
        QPoint at;
        // The source's messages all sent before the main thread looks at any of them.
        bool queued;
        bool taken;
        // Its data is asked for (by our receiver's own reader, never by Qt's on the main thread).
        bool read;
    };
    const QString rush = QStringLiteral("noanswer/rush:%1,%2").arg(beside.x()).arg(beside.y());
    const Row rows[] = {
        {"a second enter before the drop", "noanswer/reenter", onto, false, false, false},
        {"positions queued behind one on no drop zone", rush, onto, true, false, true},
        {"dropped beside the popup", "normal", beside, false, false, false},
        {"a flood of positions, then a drop that is taken", "normal/flood:100000", onto, false, true, true},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        QProcess source;
        source.start(QStringLiteral(QV_XDNDSOURCE),
                     {window, QString::number(row.at.x()), QString::number(row.at.y()), row.mode,
                      "text/uri-list=" + listFile.fileName()});
        ASSERT_TRUE(source.waitForStarted(3000));
        QStringList said;
        auto heard = [&](const QString &line) {
            while (source.canReadLine())
                said.append(QString::fromUtf8(source.readLine()).trimmed());
            return std::any_of(said.begin(), said.end(),
                               [&](const QString &s) { return s.startsWith(line); });
        };
        std::optional<PingTimer> pings;
        if (row.queued) {
            // Blocks the main thread until the source has sent everything, so the whole drag waits
            // in Qt's queue; the pings start only after.
            ASSERT_TRUE(source.waitForReadyRead(5000));
            QThread::msleep(300);
            pings.emplace(xcb_window_t(controller->globalOverlayWindow()->winId()));
        } else {
            pings.emplace(xcb_window_t(controller->globalOverlayWindow()->winId()));
            ASSERT_TRUE(QTest::qWaitFor([&] { return heard("dropped"); }, 10000)) << "the popup took no drag";
        }
        EXPECT_TRUE(QTest::qWaitFor([&] { return heard("finished"); }, 8000)) << "the source heard no answer";
        QTest::qWait(300);
        EXPECT_LT(pings->longest(), 1.0) << "the main thread stopped answering";
        EXPECT_TRUE(said.contains(row.taken ? "finished 1" : "finished 0")) << said.join(", ").toStdString();
        if (row.taken) {
            EXPECT_TRUE(QTest::qWaitFor([&] { return shelf->items().size() == 1; }, 5000));
        } else {
            EXPECT_TRUE(shelf->items().isEmpty());
        }
        if (!row.read) {
            EXPECT_FALSE(said.contains("request")) << "the refused drop's data was asked for";
        }
        source.kill();
        source.waitForFinished(3000);
    }
    ASSERT_TRUE(xdotool(QStringLiteral("key alt+s")));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !controller->globalOverlayWindow()->isVisible(); }, 3000));
}

// A picture dropped past the 50 MB bound was reported only as "could not read any file or link".
TEST_F(EdgePopupX11Test, APictureDroppedPastItsBoundIsToldAsTooLarge)
{
    QFile picture(folder.filePath("huge.png"));
    ASSERT_TRUE(picture.open(QIODevice::WriteOnly));
    picture.write(QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray(51 * 1000 * 1000, '\0'));
    picture.close();
    ASSERT_TRUE(xdotool(QStringLiteral("key alt+s")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return popupShown(); }, 3000));
    QTest::qWait(200);
    const QPoint onto = popupOnScreen().center();
    CategoryLines lines("quorvantis.shelf.drop");
    QProcess source;
    source.start(QStringLiteral(QV_XDNDSOURCE),
                 {QString::number(controller->globalOverlayWindow()->winId()), QString::number(onto.x()),
                  QString::number(onto.y()), "normal", "image/png=" + picture.fileName()});
    ASSERT_TRUE(source.waitForStarted(3000));
    QStringList said;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            while (source.canReadLine())
                said.append(QString::fromUtf8(source.readLine()).trimmed());
            return said.contains("finished 0") || said.contains("finished 1");
        },
        15000))
        << said.join(", ").toStdString();
    EXPECT_TRUE(said.contains("finished 0"));
    EXPECT_TRUE(shelf->items().isEmpty());
    const QStringList told = lines.lines().filter("not taken");
    ASSERT_EQ(told.size(), 1) << lines.lines().join(", ").toStdString();
    EXPECT_TRUE(told[0].contains("image/png: too large (more than 50 MB)")) << told[0].toStdString();
    const QStringList errors = events.details(DiagEvents::shelfIntakeError);
    ASSERT_EQ(errors.size(), 1) << errors.join(", ").toStdString();
    EXPECT_TRUE(errors[0].contains("too large")) << errors[0].toStdString();
    source.kill();
    source.waitForFinished(3000);
    ASSERT_TRUE(xdotool(QStringLiteral("key alt+s")));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !controller->globalOverlayWindow()->isVisible(); }, 3000));
}
