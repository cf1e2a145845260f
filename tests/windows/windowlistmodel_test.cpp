#include <QAbstractItemModelTester>
#include <QImage>
#include <QPersistentModelIndex>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <memory>

#include "core/settingsstore.h"
#include "platform/sim/simdesktop.h"
#include "runtime/manualscheduler.h"
#include "runtime/workqueue.h"
#include "support/recordingeventlog.h"
#include "windows/windowengine.h"
#include "windows/windowlistmodel.h"

using namespace qv;

namespace {

class WindowListModelTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        desktop.addDefaultScreen();
        engine = std::make_unique<WindowEngine>(desktop.platform(), scheduler, queues, settings, events);
        model = std::make_unique<WindowListModel>(*engine);
        tester = std::make_unique<QAbstractItemModelTester>(
            model.get(), QAbstractItemModelTester::FailureReportingMode::Fatal);
        pid = desktop.workspace.launch(RunningApp{0, "org.example.editor", "Editor", false, false, true});
    }

    quint32 addWindow(const QString &title)
    {
        QImage image(400, 300, QImage::Format_ARGB32);
        image.fill(Qt::darkCyan);
        return desktop.windowServer.addWindow(pid, QRectF(100, 100, 400, 300), title, image);
    }

    // A fresh list of the editor's windows: past the request throttle, then the quiet period.
    void refresh()
    {
        scheduler.advance(0.3);
        engine->fetchWindows("Editor");
        scheduler.advance(0.3);
    }

    QStringList rows() const
    {
        QStringList out;
        for (int row = 0; row < model->rowCount(); ++row)
            out.append(model->index(row).data().toString());
        return out;
    }

    SimDesktop desktop;
    ManualScheduler scheduler;
    SchedulerQueueFactory queues{scheduler};
    SettingsStore settings;
    RecordingEventLog events;
    std::unique_ptr<WindowEngine> engine;
    std::unique_ptr<WindowListModel> model;
    std::unique_ptr<QAbstractItemModelTester> tester;
    qint64 pid = 0;
};

} // namespace

TEST_F(WindowListModelTest, RowsFollowTheWindowsByIdentitySoAKeptWindowKeepsItsRow)
{
    const quint32 one = addWindow("One");
    addWindow("Two");
    const quint32 three = addWindow("Three");
    refresh();
    ASSERT_EQ(rows(), QStringList({"One", "Two", "Three"}));
    EXPECT_EQ(model->index(2).data(WindowListModel::WindowIdRole).toLongLong(), three);
    const QPersistentModelIndex two = model->index(1);

    QSignalSpy inserted(model.get(), &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(model.get(), &QAbstractItemModel::rowsRemoved);
    QSignalSpy reset(model.get(), &QAbstractItemModel::modelReset);
    desktop.windowServer.removeWindow(one);
    addWindow("Four");
    refresh();

    EXPECT_EQ(rows(), QStringList({"Two", "Three", "Four"}));
    EXPECT_EQ(removed.size(), 1);
    EXPECT_EQ(inserted.size(), 1);
    EXPECT_EQ(reset.size(), 0);
    ASSERT_TRUE(two.isValid());
    EXPECT_EQ(two.row(), 0);
    EXPECT_EQ(two.data().toString(), "Two");
}

TEST_F(WindowListModelTest, RepublishedListChangesNoRowAndAFreshSnapshotOnlyChangesItsRow)
{
    addWindow("One");
    addWindow("Two");
    refresh();
    scheduler.advance(0.3);

    QSignalSpy changed(model.get(), &QAbstractItemModel::dataChanged);
    QSignalSpy layout(model.get(), &QAbstractItemModel::rowsMoved);
    QSignalSpy inserted(model.get(), &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(model.get(), &QAbstractItemModel::rowsRemoved);
    QSignalSpy published(engine.get(), &WindowEngine::windowsChanged);
    // The cached list of the editor is published again at once: the same windows, the same pictures.
    engine->fetchWindows("Editor");
    ASSERT_GE(published.size(), 1);
    EXPECT_EQ(changed.size(), 0);
    EXPECT_EQ(inserted.size() + removed.size() + layout.size(), 0);

    // The scan after the quiet period takes new snapshots: each row changes in place.
    scheduler.advance(0.3);
    EXPECT_EQ(rows(), QStringList({"One", "Two"}));
    EXPECT_EQ(inserted.size() + removed.size() + layout.size(), 0);
    EXPECT_EQ(changed.size(), 2);
}

TEST_F(WindowListModelTest, AWindowThatChangesPlaceIsMovedNotReplaced)
{
    const quint32 first = addWindow("First");
    addWindow("Second");
    refresh();
    const QPersistentModelIndex firstRow = model->index(0);
    QSignalSpy moved(model.get(), &QAbstractItemModel::rowsMoved);
    QSignalSpy removed(model.get(), &QAbstractItemModel::rowsRemoved);

    engine->setSortMinimizedLast(true);
    desktop.windowServer.setMinimized(first, true);
    refresh();

    EXPECT_EQ(rows(), QStringList({"Second", "First"}));
    EXPECT_EQ(moved.size(), 1);
    EXPECT_EQ(removed.size(), 0);
    EXPECT_EQ(firstRow.row(), 1);
    EXPECT_TRUE(firstRow.data(WindowListModel::IsMinimizedRole).toBool());
}

TEST_F(WindowListModelTest, ClearingTheWindowsEmptiesTheModel)
{
    addWindow("One");
    refresh();
    ASSERT_EQ(model->rowCount(), 1);
    engine->clearWindows();
    EXPECT_EQ(model->rowCount(), 0);
    // A model made while windows are listed starts with them.
    refresh();
    WindowListModel late(*engine);
    EXPECT_EQ(late.rowCount(), 1);
}
