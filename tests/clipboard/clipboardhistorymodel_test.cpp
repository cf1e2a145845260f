#include <QAbstractItemModelTester>
#include <QPersistentModelIndex>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

#include "clipboard/clipboardhistorymodel.h"
#include "clipboard/clipboardmanager.h"
#include "core/settingsstore.h"
#include "platform/sim/simdesktop.h"
#include "runtime/manualscheduler.h"
#include "runtime/workqueue.h"
#include "support/recordingeventlog.h"

using namespace qv;

namespace {

class ClipboardHistoryModelTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        manager = std::make_unique<ClipboardManager>(sim.pasteboard, sim.workspace, scheduler, queues,
                                                     settings, events, cache.path());
        model = std::make_unique<ClipboardHistoryModel>(*manager);
        tester = std::make_unique<QAbstractItemModelTester>(
            model.get(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    }

    void copy(const QString &text)
    {
        sim.pasteboard.copyText(text);
        scheduler.advance(3.0);
    }

    QStringList rows() const
    {
        QStringList out;
        for (int row = 0; row < model->rowCount(); ++row)
            out.append(model->index(row).data().toString());
        return out;
    }

    QTemporaryDir cache;
    SimDesktop sim;
    ManualScheduler scheduler;
    SchedulerQueueFactory queues{scheduler};
    SettingsStore settings;
    RecordingEventLog events;
    std::unique_ptr<ClipboardManager> manager;
    std::unique_ptr<ClipboardHistoryModel> model;
    std::unique_ptr<QAbstractItemModelTester> tester;
};

} // namespace

TEST_F(ClipboardHistoryModelTest, NewCopiesAreInsertedOnTopAndOlderRowsKeepTheirIdentity)
{
    copy("first");
    const QPersistentModelIndex first = model->index(0);
    QSignalSpy inserted(model.get(), &QAbstractItemModel::rowsInserted);
    QSignalSpy reset(model.get(), &QAbstractItemModel::modelReset);
    copy("second");

    EXPECT_EQ(rows(), QStringList({"second", "first"}));
    EXPECT_EQ(inserted.size(), 1);
    EXPECT_EQ(reset.size(), 0);
    EXPECT_EQ(first.row(), 1);
    EXPECT_EQ(first.data(ClipboardHistoryModel::IdRole).toUuid(), manager->history().at(1).id);
}

TEST_F(ClipboardHistoryModelTest, CopyingAgainMovesTheTextUpAsANewRowAndDeletingRemovesOneRow)
{
    copy("a");
    copy("b");
    copy("c");
    QSignalSpy removed(model.get(), &QAbstractItemModel::rowsRemoved);
    QSignalSpy inserted(model.get(), &QAbstractItemModel::rowsInserted);
    copy("a");
    // The earlier "a" went and a new item took the top.
    EXPECT_EQ(rows(), QStringList({"a", "c", "b"}));
    EXPECT_EQ(removed.size(), 1);
    EXPECT_EQ(inserted.size(), 1);

    manager->deleteItem(manager->history().at(1));
    EXPECT_EQ(rows(), QStringList({"a", "b"}));
    EXPECT_EQ(removed.size(), 2);

    manager->clearHistory();
    EXPECT_EQ(model->rowCount(), 0);
}

TEST_F(ClipboardHistoryModelTest, SensitiveTextShowsItsMaskAndSaysSo)
{
    copy("password: hunter2hunter2");
    ASSERT_EQ(model->rowCount(), 1);
    const QModelIndex row = model->index(0);
    EXPECT_TRUE(row.data(ClipboardHistoryModel::IsSensitiveRole).toBool());
    EXPECT_NE(row.data().toString(), QStringLiteral("password: hunter2hunter2"));
    EXPECT_EQ(row.data(ClipboardHistoryModel::TextRole), row.data(Qt::DisplayRole));
}
