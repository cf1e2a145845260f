#pragma once

#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include "app/overlaycontroller.h"
#include "clipboard/clipboardmanager.h"
#include "core/settingsstore.h"
#include "dock/dockmonitor.h"
#include "platform/x11/x11connection.h"
#include "platform/x11/x11desktop.h"
#include "runtime/qtscheduler.h"
#include "runtime/workqueue.h"
#include "shelf/fileshelfmanager.h"
#include "support/recordingeventlog.h"
#include "support/x11clients.h"
#include "ui/panel.h"
#include "windows/windowengine.h"

namespace qv {

// The overlay on the real desktop, wired as the application wires it: the Dock monitor, the window
// engine and the overlay controller with its three windows, over the X11 desktop. The clipboard
// history and the shelf join with `addItemServices`, kept in a folder of their own that outlives
// them. Fixtures of the overlay's x11 tests derive from it.
class OverlayDesktop
{
public:
    OverlayDesktop()
    {
        const Platform platform = x11.platform();
        monitor = std::make_unique<DockMonitor>(platform, scheduler, queues, settings, events);
        engine = std::make_unique<WindowEngine>(platform, scheduler, queues, settings, events);
        controller = std::make_unique<OverlayController>(platform, scheduler, settings, [this] {
            ++clipboardChecks;
            if (clipboard)
                clipboard->checkNow();
        });
        controller->setupOverlayWindow();
        controller->setupGlobalOverlayWindow();
        controller->setupPeekingWindow();
        controller->setupBindings(*monitor, *engine);
    }

    ~OverlayDesktop()
    {
        // The views go before the services they show, the monitor before the engine it asks.
        controller.reset();
        shelf.reset();
        clipboard.reset();
        monitor.reset();
        engine.reset();
    }

    void addItemServices()
    {
        const Platform platform = x11.platform();
        clipboard = std::make_unique<ClipboardManager>(*platform.pasteboard, *platform.workspace, scheduler,
                                                       queues, settings, events, folder.filePath("clips"));
        shelf =
            std::make_unique<FileShelfManager>(platform, scheduler, queues, events, folder.filePath("shelf"));
        controller->setItemServices(*clipboard, *shelf, queues.makeQueue("previews", QueueKind::Concurrent));
    }

    static bool hasPicom() { return !QStandardPaths::findExecutable(QStringLiteral("picom")).isEmpty(); }
    // picom as it comes (it blurs nothing), started among `clients`, taken on by the panels and
    // drawing the screen: its process id, 0 when it did not start or the panels did not turn
    // translucent.
    qint64 startPicom(X11Clients &clients)
    {
        // picom claims the compositor's selection long before it draws: on a loaded machine its first
        // frames, a whole screen of black, came a quarter of a second later, into what a test was
        // watching. It writes its process id once it is set up, and redirects the screen and draws
        // within a few of its frames after that.
        const QString pidFile = folder.filePath(QStringLiteral("picom.pid"));
        QFile::remove(pidFile);
        const qint64 picom = clients.start(QStringLiteral("picom"), {"--config", "/dev/null", "--backend",
                                                                     "xrender", "--write-pid-path", pidFile});
        const auto translucent = [&] { return controller->globalOverlayWindow()->isTranslucent(); };
        if (picom == 0 || !QTest::qWaitFor(translucent, 5000) ||
            !QTest::qWaitFor([&] { return QFile::exists(pidFile); }, 10000))
            return 0;
        QTest::qWait(300);
        return picom;
    }

    QTemporaryDir folder;
    // The scheduler outlives the desktop, whose workers may still hand it results as it goes.
    QtScheduler scheduler;
    X11Desktop x11;
    X11Connection connection;
    ThreadQueueFactory queues;
    SettingsStore settings;
    RecordingEventLog events;
    std::unique_ptr<DockMonitor> monitor;
    std::unique_ptr<WindowEngine> engine;
    std::unique_ptr<ClipboardManager> clipboard;
    std::unique_ptr<FileShelfManager> shelf;
    std::unique_ptr<OverlayController> controller;
    // How often the controller asked for a clipboard check (opening the "clipboard" route does).
    int clipboardChecks = 0;
};

} // namespace qv
