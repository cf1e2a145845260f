#include <QApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

#include "support/overlaydesktop.h"
#include "support/screenshot.h"
#include "support/x11focus.h"
#include "ui/panel.h"
#include "views/items/clipboarditemview.h"
#include "views/superpanel/clipboardpreviewbubble.h"
#include "views/superpanel/clipboardshelfcolumn.h"
#include "views/superpanel/lazyitemgrid.h"
#include "views/superpanel/superpaneloverlay.h"

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
        for (QProcess *process : {&owner, &xterm}) {
            if (process->state() != QProcess::NotRunning) {
                process->kill();
                process->waitForFinished(3000);
            }
        }
    }

    static bool movePointer(const QPoint &global)
    {
        return QProcess::execute(QStringLiteral("xdotool"),
                                 {QStringLiteral("mousemove"), QString::number(global.x()),
                                  QString::number(global.y())}) == 0;
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

    QProcess xterm;
    QProcess owner;
};

} // namespace

TEST_F(SuperPanelColumnX11Test, TextCopiedWithXclipAppearsAtTheTopOfTheOpenPanel)
{
    if (QStandardPaths::findExecutable(QStringLiteral("xclip")).isEmpty())
        GTEST_SKIP() << "needs xclip";
    ASSERT_TRUE(connection.isValid());
    xterm.start(QStringLiteral("xterm"), {QStringLiteral("-geometry"), QStringLiteral("80x24+40+40"),
                                          QStringLiteral("-e"), QStringLiteral("sleep 600")});
    ASSERT_TRUE(xterm.waitForStarted(5000));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return pidOf(connection, activeWindow(connection)) == xterm.processId(); }, 10000));

    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(
            QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("alt+Tab")}),
            0);
        ASSERT_TRUE(QTest::qWaitFor([&] { return controller->isGlobalSwitcherVisible(); }, 3000));
        ASSERT_TRUE(QTest::qWaitFor([&] { return column() && column()->isVisible(); }, 3000));

        const QString text = QStringLiteral("copied while the panel is open %1").arg(round);
        owner.start(QStringLiteral("xclip"),
                    {QStringLiteral("-quiet"), QStringLiteral("-selection"), QStringLiteral("clipboard")});
        ASSERT_TRUE(owner.waitForStarted(3000));
        owner.write(text.toUtf8());
        owner.closeWriteChannel();
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

        ASSERT_EQ(
            QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("alt+Tab")}),
            0);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !controller->globalOverlayWindow()->isVisible(); }, 3000));
        owner.kill();
        owner.waitForFinished(3000);
    }
    EXPECT_EQ(clipboard->history().size(), 2);
}
