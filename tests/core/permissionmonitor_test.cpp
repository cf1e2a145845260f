#include <gtest/gtest.h>

#include <QSignalSpy>

#include <memory>

#include "core/permissionmonitor.h"
#include "platform/sim/simdesktop.h"
#include "runtime/manualscheduler.h"

using namespace qv;

namespace {

class PermissionMonitorTest : public ::testing::Test
{
protected:
    // Every change the monitor announced, in order, as "name=value".
    QStringList announced;

    std::unique_ptr<PermissionMonitor> make()
    {
        auto monitor = std::make_unique<PermissionMonitor>(desktop.permissions, scheduler);
        record(*monitor);
        return monitor;
    }
    void record(PermissionMonitor &monitor)
    {
        auto log = [this](const char *name) {
            return [this, name](bool value) {
                announced.append(QString::fromLatin1(name) + (value ? "=1" : "=0"));
            };
        };
        QObject::connect(&monitor, &PermissionMonitor::screenRecordGrantedChanged, log("screen"));
        QObject::connect(&monitor, &PermissionMonitor::accessibilityGrantedChanged, log("accessibility"));
        QObject::connect(&monitor, &PermissionMonitor::inputMonitoringGrantedChanged, log("input"));
    }
    void setAll(bool granted)
    {
        desktop.permissions.screenCapture = granted;
        desktop.permissions.accessibility = granted;
        desktop.permissions.inputMonitoring = granted;
    }

    SimDesktop desktop;
    ManualScheduler scheduler;
};

} // namespace

TEST_F(PermissionMonitorTest, AllGrantedAtConstructionPublishesAtOnceAndStopsAfterOneSilentRead)
{
    auto monitor = make();
    EXPECT_TRUE(monitor->screenRecordGranted() && monitor->accessibilityGranted() &&
                monitor->inputMonitoringGranted());
    EXPECT_EQ(desktop.permissions.probes.size(), 3);
    // refresh() announces every value, changed or not.
    monitor->refresh();
    EXPECT_EQ(announced, QStringList({"screen=1", "accessibility=1", "input=1"}));
    announced.clear();

    scheduler.advance(0.5);
    EXPECT_EQ(desktop.permissions.probes.size(), 9);
    EXPECT_TRUE(announced.isEmpty());
    EXPECT_FALSE(monitor->isPolling());
    scheduler.advance(5);
    EXPECT_EQ(desktop.permissions.probes.size(), 9);
}

TEST_F(PermissionMonitorTest, PollsPublishOnlyRealChangesUntilAllAreGranted)
{
    setAll(false);
    auto monitor = make();
    EXPECT_FALSE(monitor->screenRecordGranted() || monitor->accessibilityGranted() ||
                 monitor->inputMonitoringGranted());

    desktop.permissions.accessibility = true;
    scheduler.advance(0.49);
    EXPECT_TRUE(announced.isEmpty());
    scheduler.advance(0.01);
    EXPECT_EQ(announced, QStringList({"accessibility=1"}));

    // Withdrawn before the set was complete: published at the next read.
    desktop.permissions.accessibility = false;
    desktop.permissions.screenCapture = true;
    scheduler.advance(0.5);
    EXPECT_EQ(announced, QStringList({"accessibility=1", "screen=1", "accessibility=0"}));

    setAll(true);
    scheduler.advance(0.5);
    EXPECT_FALSE(monitor->isPolling());
    // Done: a later withdrawal goes unnoticed.
    desktop.permissions.screenCapture = false;
    const qsizetype reads = desktop.permissions.probes.size();
    scheduler.advance(2);
    EXPECT_EQ(desktop.permissions.probes.size(), reads);
    EXPECT_TRUE(monitor->screenRecordGranted());
}

TEST_F(PermissionMonitorTest, DestroyingTheMonitorEndsThePoll)
{
    setAll(false);
    auto monitor = make();
    scheduler.advance(0.5);
    const qsizetype reads = desktop.permissions.probes.size();
    monitor.reset();
    scheduler.advance(3);
    EXPECT_EQ(desktop.permissions.probes.size(), reads);
    EXPECT_EQ(scheduler.pendingCount(), 0);
}

TEST_F(PermissionMonitorTest, RestartingThePollLeavesOneTaskAndRestartsTheInterval)
{
    setAll(false);
    auto monitor = make();
    scheduler.advance(0.3);
    monitor->startPolling();
    monitor->startPolling();
    desktop.permissions.probes.clear();
    scheduler.advance(0.3); // the first poll would have read here
    EXPECT_TRUE(desktop.permissions.probes.isEmpty());
    scheduler.advance(0.2);
    EXPECT_EQ(desktop.permissions.probes, QStringList({"screenCapture", "accessibility", "inputMonitoring"}));
    scheduler.advance(0.5);
    EXPECT_EQ(desktop.permissions.probes.size(), 6);
}

TEST_F(PermissionMonitorTest, AnObserverMayDestroyTheMonitorWhenAPermissionArrives)
{
    setAll(false);
    auto monitor = make();
    QObject::connect(monitor.get(), &PermissionMonitor::screenRecordGrantedChanged, [&monitor](bool granted) {
        if (granted)
            monitor.reset();
    });
    setAll(true);
    scheduler.advance(0.5);
    EXPECT_EQ(monitor, nullptr);
    EXPECT_EQ(announced, QStringList({"screen=1"}));
    scheduler.advance(2);
}
