#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

#include "core/localization.h"
#include "support/overlaydesktop.h"
#include "support/screenshot.h"
#include "support/x11clients.h"
#include "support/x11focus.h"
#include "ui/panel.h"
#include "views/items/clipboarditemview.h"
#include "views/items/itemrules.h"
#include "views/superpanel/clipboardpreviewbubble.h"
#include "views/superpanel/clipboardshelfcolumn.h"
#include "views/superpanel/lazyitemgrid.h"
#include "views/superpanel/superpanelgallery.h"
#include "views/superpanel/superpaneloverlay.h"
#include "views/superpanel/superpanelstate.h"

using namespace qv;

namespace {

// The whole program's overlay on the real desktop with the clipboard history and the shelf wired
// in, as the application runs them.
class SuperPanelColumnX11Test : public ::testing::Test, protected OverlayDesktop
{
protected:
    SuperPanelColumnX11Test() { addItemServices(); }

    ~SuperPanelColumnX11Test() override
    {
        (void)QTest::qWaitFor([&] { return !engine->isFetchPending() && !engine->isWarmingSnapshots(); },
                              3000);
        QTest::qWait(300);
        controller.reset();
    }

    static bool movePointer(const QPoint &global)
    {
        return xdotool(QStringLiteral("mousemove %1 %2").arg(global.x()).arg(global.y()));
    }
    // "report.txt" holding `content`, taken onto the empty shelf; true once it is there.
    bool addShelfFile(const QByteArray &content)
    {
        QFile file(folder.filePath("report.txt"));
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
            return false;
        file.close();
        shelf->processFile(QUrl::fromLocalFile(file.fileName()));
        return QTest::qWaitFor([&] { return shelf->items().size() == 1; }, 5000);
    }
    ClipboardShelfColumn *column() const
    {
        return controller->superPanel()->rightColumn()->findChild<ClipboardShelfColumn *>();
    }
    QString topRowText() const
    {
        const QList<QWidget *> rows = column()->clipboardList()->builtCells();
        if (rows.isEmpty() || !rows.first()->isVisible())
            return {};
        return static_cast<ClipboardItemView *>(rows.first())->titleText();
    }

    X11Clients clients;
};

} // namespace

TEST_F(SuperPanelColumnX11Test, TextCopiedWithXclipAppearsAtTheTopOfTheOpenPanel)
{
    if (QStandardPaths::findExecutable(QStringLiteral("xclip")).isEmpty())
        GTEST_SKIP() << "needs xclip";
    ASSERT_TRUE(connection.isValid());
    const qint64 xterm =
        clients.start(QStringLiteral("xterm"), {QStringLiteral("-geometry"), QStringLiteral("80x24+40+40"),
                                                QStringLiteral("-e"), QStringLiteral("sleep 600")});
    ASSERT_NE(xterm, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return pidOf(connection, activeWindow(connection)) == xterm; }, 10000));

    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(xdotool(QStringLiteral("key alt+Tab")));
        ASSERT_TRUE(QTest::qWaitFor([&] { return controller->isGlobalSwitcherVisible(); }, 3000));
        ASSERT_TRUE(QTest::qWaitFor([&] { return column() && column()->isVisible(); }, 3000));

        const QString text = QStringLiteral("copied while the panel is open %1").arg(round);
        const qint64 owner = clients.copyWithXclip(text.toUtf8());
        ASSERT_NE(owner, 0);
        EXPECT_TRUE(QTest::qWaitFor([&] { return topRowText() == text; }, 5000))
            << "top row: " << topRowText().toStdString();
        if (round == 0)
            saveScreenshot(*controller->globalOverlayWindow(), QStringLiteral("superpanel_x11_column"));

        // The pointer resting on the row's eye opens the bubble; moving into the bubble keeps it;
        // moving away closes it.
        auto *row = static_cast<ClipboardItemView *>(column()->clipboardList()->builtCells().first());
        ASSERT_TRUE(movePointer(row->mapToGlobal(row->rect().center())));
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return !row->buttonRect(ClipboardItemView::Eye).isEmpty(); }, 3000));
        ASSERT_TRUE(
            movePointer(row->mapToGlobal(row->buttonRect(ClipboardItemView::Eye).center().toPoint())));
        ClipboardPreviewBubble *bubble = column()->bubble();
        ASSERT_TRUE(QTest::qWaitFor([&] { return bubble->isVisible(); }, 3000));
        ASSERT_TRUE(movePointer(bubble->mapToGlobal(bubble->rect().center())));
        QTest::qWait(500);
        EXPECT_TRUE(bubble->isVisible()) << "the bubble closed under the pointer";
        if (round == 0)
            saveScreenshot(*controller->globalOverlayWindow(),
                           QStringLiteral("superpanel_x11_column_bubble"));
        ASSERT_TRUE(movePointer(column()->mapToGlobal(QPoint(160, column()->height() - 40))));
        EXPECT_TRUE(QTest::qWaitFor([&] { return !bubble->isVisible(); }, 3000));

        ASSERT_TRUE(xdotool(QStringLiteral("key alt+Tab")));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !controller->globalOverlayWindow()->isVisible(); }, 3000));
        clients.kill(owner);
    }
    EXPECT_EQ(clipboard->history().size(), 2);
}

// Regression: the eye's preview of one 100,000-character line took 3.7 s on the main thread, and of
// 50,000 lines 1.1 s. The pointer and its button go through XTEST, as a person's would.
TEST_F(SuperPanelColumnX11Test, LongTextsPreviewTheirStartAndAreCopiedBackWhole)
{
    if (QStandardPaths::findExecutable(QStringLiteral("xclip")).isEmpty())
        GTEST_SKIP() << "needs xclip";
    ASSERT_TRUE(connection.isValid());
    auto moveTo = [&](const QPoint &global) {
        fakeInput(connection, XCB_MOTION_NOTIFY, 0, global);
        QTest::qWait(50);
    };
    // Both within the 100,000 characters capture keeps.
    for (const QString &text : {QStringLiteral("word ").repeated(20000).trimmed(),
                                QStringLiteral("x\n").repeated(50000).trimmed()}) {
        const qint64 owner = clients.copyWithXclip(text.toUtf8());
        ASSERT_NE(owner, 0);
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return !clipboard->history().isEmpty() && clipboard->history().first().text == text; },
            5000))
            << "copied " << text.size() << " units";

        ASSERT_TRUE(xdotool(QStringLiteral("key alt+Tab")));
        ASSERT_TRUE(QTest::qWaitFor([&] { return column() && column()->isVisible(); }, 3000));
        ASSERT_TRUE(QTest::qWaitFor([&] { return topRowText() == text; }, 3000));
        auto *row = static_cast<ClipboardItemView *>(column()->clipboardList()->builtCells().first());
        moveTo(row->mapToGlobal(row->rect().center()));
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return !row->buttonRect(ClipboardItemView::Eye).isEmpty(); }, 3000));
        moveTo(row->mapToGlobal(row->buttonRect(ClipboardItemView::Eye).center().toPoint()));
        ClipboardPreviewBubble *bubble = column()->bubble();
        ASSERT_TRUE(QTest::qWaitFor([&] { return bubble->isVisible(); }, 3000));
        const QString shown = bubble->textView()->toPlainText();
        EXPECT_LE(shown.size(), ItemRules::previewText.units + 1);
        EXPECT_TRUE(shown.endsWith(QStringLiteral("…")));
        EXPECT_TRUE(text.startsWith(shown.chopped(1)));
        if (text.startsWith(QStringLiteral("word")))
            saveScreenshot(*controller->globalOverlayWindow(),
                           QStringLiteral("superpanel_x11_bubble_long_line"));

        moveTo(row->mapToGlobal(row->buttonRect(ClipboardItemView::Copy).center().toPoint()));
        ASSERT_TRUE(QTest::qWaitFor([&] { return row->hoveredButton() == ClipboardItemView::Copy; }, 3000));
        fakeInput(connection, XCB_BUTTON_PRESS, 1);
        fakeInput(connection, XCB_BUTTON_RELEASE, 1);
        ASSERT_TRUE(QTest::qWaitFor([&] { return row->isShowingCopied(); }, 3000));
        clients.kill(owner);
        const QString pasted = QString::fromUtf8(X11Clients::pasteWithXclip());
        EXPECT_TRUE(pasted == text) << "copy back gave " << pasted.size() << " of " << text.size()
                                    << " units";

        ASSERT_TRUE(xdotool(QStringLiteral("key alt+Tab")));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !controller->globalOverlayWindow()->isVisible(); }, 3000));
        // Any change within a second of a copy back counts as our own.
        QTest::qWait(1100);
    }
}

// Regression: with no file manager, Show in File Manager closed the panel and nothing showed the
// file; only the console said "Unable to detect a launcher". The pointer goes through XTEST.
TEST_F(SuperPanelColumnX11Test, ShowInFileManagerWithoutAFileManagerSaysSoAndThePanelStays)
{
    if (!QStandardPaths::findExecutable(QStringLiteral("xdg-open")).isEmpty())
        GTEST_SKIP() << "xdg-open would take the folder";
    ASSERT_TRUE(addShelfFile(""));
    const auto click = [&](const QPoint &at, uint8_t button) {
        for (const uint8_t type : {XCB_MOTION_NOTIFY, XCB_BUTTON_PRESS, XCB_BUTTON_RELEASE})
            fakeInput(connection, type, type == XCB_MOTION_NOTIFY ? 0 : button, at);
    };
    ASSERT_TRUE(xdotool(QStringLiteral("key alt+Tab")));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return column() && column()->isVisible() && !column()->shelfGrid()->builtCells().isEmpty(); },
        3000));
    QTest::qWait(200);

    // The tile's menu runs a loop of its own, so the entry is chosen from inside that loop.
    QTimer chooser;
    QObject::connect(&chooser, &QTimer::timeout, [&] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        for (QAction *action : menu && menu->isVisible() ? menu->actions() : QList<QAction *>()) {
            if (action->text() == QStringLiteral("Show in File Manager")) {
                chooser.stop();
                click(menu->mapToGlobal(menu->actionGeometry(action).center()), 1);
            }
        }
    });
    chooser.start(100);
    QWidget *tile = column()->shelfGrid()->builtCells().first();
    click(tile->mapToGlobal(tile->rect().center()), 3);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !chooser.isActive(); }, 3000)) << "no menu";
    const QString told = Localization::text(u"reveal_failed", controller->superPanelState()->language());
    EXPECT_TRUE(QTest::qWaitFor([&] { return controller->superPanel()->noticeText() == told; }, 5000));
    EXPECT_TRUE(controller->isGlobalSwitcherVisible()) << "the panel stays";
    saveScreenshot(*controller->globalOverlayWindow(), QStringLiteral("superpanel_x11_reveal_failed"));
}

// A shelf tile dragged out of the Super Panel reached no other program: the panel covers the whole
// screen, so no window under it ever heard of the drag. Once the drag leaves the panel's drop
// targets the panel steps aside: the program below takes the file, the tile stays on the shelf, and
// the panel closes, to show whole and take clicks again at its next opening.
TEST_F(SuperPanelColumnX11Test, ATileDraggedOutOfThePanelReachesTheProgramBelowAndStaysOnTheShelf)
{
    ASSERT_TRUE(addShelfFile("a report"));
    const QString name = shelf->items().at(0).url.fileName();

    QProcess drop;
    ASSERT_TRUE(startDropTarget(drop, QStringLiteral(QV_DROPTARGET), QPoint(100, 100)));

    KeyPanel &panel = *controller->globalOverlayWindow();
    const auto opened = [&] {
        return controller->isGlobalSwitcherVisible() && column() && column()->isVisible() &&
               !column()->shelfGrid()->builtCells().isEmpty() &&
               isViewable(connection, xcb_window_t(panel.winId()));
    };
    ASSERT_TRUE(xdotool(QStringLiteral("key alt+Tab")));
    ASSERT_TRUE(QTest::qWaitFor(opened, 3000));
    QTest::qWait(300);

    // Out of the tile, over the windows area, then onto where it is let go.
    QWidget *tile = column()->shelfGrid()->builtCells().first();
    QPoint from = tile->mapToGlobal(tile->rect().center());
    HandDrag hand(connection);
    const auto dragTo = [&](const QPoint &onto) { hand.start(from, onto); };

    // Let go where nothing takes it, the drag ends and the panel is back as it was.
    dragTo(QPoint(700, 600));
    ASSERT_TRUE(hand.finish());
    QTest::qWait(500);
    EXPECT_TRUE(controller->isGlobalSwitcherVisible()) << "a drop nobody took closed the panel";
    EXPECT_FALSE(panel.isAside()) << "the panel did not come back after a drop nobody took";
    EXPECT_TRUE(drop.readAll().isEmpty());
    ASSERT_EQ(shelf->items().size(), 1);

    dragTo(QPoint(250, 250));
    ASSERT_TRUE(QTest::qWaitFor([&] { return drop.canReadLine(); }, 10000))
        << "the program below the panel never got the drop";
    EXPECT_EQ(QUrl(QString::fromUtf8(drop.readLine()).trimmed()).fileName(), name);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !controller->isGlobalSwitcherVisible(); }, 3000))
        << "the panel stayed over the program that took the drop";
    QTest::qWait(300);
    ASSERT_EQ(shelf->items().size(), 1) << "the dragged tile left the shelf";
    EXPECT_EQ(shelf->items().at(0).url.fileName(), name);

    // Opened again, the panel shows and takes the pointer: no shape of the drag is left on it.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !panel.isVisible(); }, 3000));
    ASSERT_TRUE(xdotool(QStringLiteral("key alt+Tab")));
    ASSERT_TRUE(QTest::qWaitFor(opened, 3000));
    EXPECT_FALSE(panel.isAside());
    // The server finds the panel under the pointer only where its shapes let the pointer in.
    const auto reaches = [&](const QPoint &at) {
        xcb_connection_t *c = connection.xcb();
        xcb_window_t window = connection.root();
        for (int depth = 0; depth < 8; ++depth) {
            xcb_translate_coordinates_reply_t *reply = xcb_translate_coordinates_reply(
                c, xcb_translate_coordinates(c, connection.root(), window, int16_t(at.x()), int16_t(at.y())),
                nullptr);
            const xcb_window_t child = reply ? reply->child : xcb_window_t(XCB_WINDOW_NONE);
            std::free(reply);
            if (child == xcb_window_t(panel.winId()))
                return true;
            if (child == XCB_WINDOW_NONE)
                return false;
            window = child;
        }
        return false;
    };
    for (const QPoint &at : {QPoint(254, 254), from})
        EXPECT_TRUE(reaches(at)) << "the panel let the pointer through at " << at.x() << "," << at.y()
                                 << " at its next showing";

    // A card of the Shelf Gallery, over the middle of the panel, goes the same way.
    static_cast<QAbstractButton *>(column()->shelfGalleryButton())->click();
    LazyItemGrid *gallery = controller->superPanel()->findChild<SuperPanelGallery *>()->shelfGrid();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return gallery->isVisible() && !gallery->builtCells().isEmpty(); }, 3000));
    QTest::qWait(500);
    QWidget *card = gallery->builtCells().first();
    from = card->mapToGlobal(card->rect().center());
    dragTo(QPoint(150, 150));
    ASSERT_TRUE(QTest::qWaitFor([&] { return drop.canReadLine(); }, 10000))
        << "the program below the panel never got the gallery card's drop";
    EXPECT_EQ(QUrl(QString::fromUtf8(drop.readLine()).trimmed()).fileName(), name);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !panel.isVisible(); }, 3000))
        << "the panel stayed over the program that took the gallery card";
    drop.kill();
    drop.waitForFinished(3000);
}
