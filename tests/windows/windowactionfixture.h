#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QDir>

#include "core/settingsstore.h"
#include "platform/sim/simdesktop.h"
#include "runtime/manualscheduler.h"
#include "runtime/workqueue.h"
#include "support/recordingeventlog.h"
#include "windows/snapshotcache.h"
#include "windows/windowengine.h"

namespace qv {

// The main screen and one above it; in top-left coordinates the upper one spans y -1080 to 0.
inline const ScreenInfo mainScreenInfo{QRectF(0, 0, 1440, 900), QRectF(0, 70, 1440, 805)};
inline const ScreenInfo upperScreenInfo{QRectF(0, 900, 1920, 1080), QRectF(0, 900, 1920, 1055)};

// A simulated desktop that records every accessibility call, activation and feedback with its
// time, and an engine acting on it.
class WindowActionTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QDir(snapshotDiskCacheDirectory()).removeRecursively();
        desktop.screens.setScreens({mainScreenInfo});
        desktop.screens.setMouseLocation(QPointF(720, 450));
        desktop.useScheduler(scheduler);
        engine = std::make_unique<WindowEngine>(desktop.platform(), scheduler, queues, settings, events);
        QObject::connect(engine.get(), &WindowEngine::windowsChanged, [this] { ++publications; });
        scheduler.runPending();
    }
    void TearDown() override { engine.reset(); }

    qint64 launch(const QString &name)
    {
        return desktop.workspace.launch(
            RunningApp{0, QStringLiteral("org.example.") + name.toLower(), name, false, false, true});
    }
    quint32 addWindow(qint64 pid, const QString &title, QRectF frame = QRectF(100, 100, 800, 600))
    {
        return desktop.windowServer.addWindow(pid, frame, title);
    }
    // The card of a window as a scan would build it.
    AppWindowModel card(quint32 id) const
    {
        const WindowInfo info = *desktop.windowServer.window(id);
        AppWindowModel model;
        model.id = id;
        model.appName = info.ownerName;
        model.title = info.title.value_or(QString());
        model.ownerPID = info.ownerPID;
        model.bundleIdentifier = info.ownerBundleIdentifier;
        model.rect = info.frame;
        model.isMinimized = !info.isOnScreen;
        return model;
    }
    // Lists the application's windows through an ordinary scan.
    void list(const QString &appName)
    {
        engine->fetchWindows(appName);
        scheduler.advance(WindowEngine::fetchDebounceInterval);
        publications = 0;
    }
    std::optional<AppWindowModel> listed(quint32 id) const
    {
        for (const auto &model : engine->windows()) {
            if (model.id == id)
                return model;
        }
        return std::nullopt;
    }
    QRectF frameOf(quint32 id) const { return desktop.windowServer.window(id)->frame; }
    // Accessibility writes and actions (reads left out) as "element kind name", from `since` on.
    QStringList writes(double since = 0) const
    {
        QStringList out;
        for (const SimAXCall &call : desktop.accessibility.calls()) {
            if (call.kind != QLatin1String("read") && call.time >= since - 1e-9)
                out.append(call.element + ' ' + call.kind + ' ' + call.name);
        }
        return out;
    }
    // Time (after t0) of the first write or action matching, or -1.
    double timeOf(const QString &element, const QString &name) const
    {
        for (const SimAXCall &call : desktop.accessibility.calls()) {
            if (call.kind != QLatin1String("read") && call.element == element && call.name == name)
                return call.time - t0;
        }
        return -1;
    }
    void start() { t0 = scheduler.now(); }
    double at(double offset) const { return t0 + offset; }

    SimDesktop desktop;
    ManualScheduler scheduler;
    SchedulerQueueFactory queues{scheduler};
    SettingsStore settings;
    RecordingEventLog events;
    std::unique_ptr<WindowEngine> engine;
    int publications = 0;
    double t0 = 0;
};

// Activation records compared with a tolerance on the time.
MATCHER_P4(ActivationAt, time, what, pid, options, "")
{
    return std::abs(arg.time - time) < 1e-6 && arg.what == what && arg.pid == pid && arg.options == options;
}

} // namespace qv
