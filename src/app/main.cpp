#include <QApplication>
#include <QSocketNotifier>
#include <QWindow>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include <sys/socket.h>
#include <unistd.h>

// Built with AddressSanitizer or LeakSanitizer (clang says so through __has_feature, GCC through
// __SANITIZE_ADDRESS__): the leak check is run by hand before the end, see below.
#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(leak_sanitizer)
#define QV_CHECK_LEAKS 1
#endif
#endif
#if !defined(QV_CHECK_LEAKS) && defined(__SANITIZE_ADDRESS__)
#define QV_CHECK_LEAKS 1
#endif
#ifdef QV_CHECK_LEAKS
#include <sanitizer/lsan_interface.h>
#endif

#include "app/appdelegate.h"
#include "app/launchmanager.h"
#include "app/onboardingcontroller.h"
#include "app/overlaycontroller.h"
#include "app/processcontrol.h"
#include "app/quorvantisapp.h"
#include "app/relocation.h"
#include "app/singleinstance.h"
#include "app/trayicon.h"
#include "clipboard/clipboardmanager.h"
#include "core/diagnostics/diagnosticsmanager.h"
#include "core/diagnostics/mainthreadwatchdog.h"
#include "core/localization.h"
#include "core/settingsstore.h"
#include "platform/application.h"
#include "platform/memoryrelease.h"
#include "platform/sim/simdesktop.h"
#include "platform/x11/x11desktop.h"
#include "runtime/qtscheduler.h"
#include "runtime/workqueue.h"
#include "shelf/fileshelfmanager.h"
#include "ui/interfacelanguage.h"
#include "ui/menulook.h"
#include "views/settings/settingswindowmanager.h"

namespace {

QtMessageHandler g_qtMessageHandler = nullptr;
int g_signalFds[2] = {-1, -1};

// The program's own console lines carry their tag already ("✅ ...", "⚠️ ..."): print them as they
// are, on standard output, where developers follow them; everything else (Qt's own categories)
// keeps Qt's format.
void printMessage(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (!g_qtMessageHandler ||
        (type != QtFatalMsg && context.category && qstrncmp(context.category, "quorvantis", 10) == 0)) {
        std::fprintf(stdout, "%s\n", message.toUtf8().constData());
        std::fflush(stdout);
        return;
    }
    g_qtMessageHandler(type, context, message);
}

void onQuitSignal(int)
{
    const char byte = 1;
    const ssize_t written = ::write(g_signalFds[1], &byte, 1);
    static_cast<void>(written);
}

// SIGTERM and SIGINT end the event loop like Quit does, so everything is torn down in order.
void quitOnSignals()
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalFds) != 0)
        return;
    auto *notifier = new QSocketNotifier(g_signalFds[0], QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, qApp, [] {
        char byte = 0;
        const ssize_t got = ::read(g_signalFds[0], &byte, 1);
        static_cast<void>(got);
        QCoreApplication::quit();
    });
    struct sigaction action = {};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

} // namespace

int main(int argc, char **argv)
{
    using namespace qv;
    QString platformName;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg.startsWith(QLatin1String("--platform=")))
            platformName = arg.mid(11);
    }
    const bool haveDisplay = X11Desktop::isAvailable();
    // The real desktop unless the simulated one is asked for: without a display that is an error,
    // not a silent switch to a desktop the user cannot see.
    if (platformName.isEmpty())
        platformName = QStringLiteral("x11");
    if (platformName != QLatin1String("x11") && platformName != QLatin1String("sim")) {
        std::fprintf(stderr, "quorvantis: unknown platform \"%s\" (use --platform=x11 or --platform=sim)\n",
                     qPrintable(platformName));
        return 2;
    }
    if (platformName == QLatin1String("x11") && !haveDisplay) {
        std::fprintf(stderr, "quorvantis: no X display found (set DISPLAY, or run with --platform=sim)\n");
        return 2;
    }
    if (!haveDisplay)
        qputenv("QT_QPA_PLATFORM", "offscreen");

    returnLargeBlocksAtOnce();
    g_qtMessageHandler = qInstallMessageHandler(printMessage);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvantis"));
    QApplication::setApplicationVersion(QStringLiteral(QUORVANTIS_VERSION));
    QApplication::setQuitOnLastWindowClosed(false);
    applyMenuLookEverywhere();
    quitOnSignals();

    QtScheduler scheduler;
    std::unique_ptr<SimDesktop> sim;
    std::unique_ptr<X11Desktop> x11;
    Platform platform;
    if (platformName == QLatin1String("sim")) {
        sim = std::make_unique<SimDesktop>();
        sim->populateDemo();
        platform = sim->platform();
    } else {
        x11 = std::make_unique<X11Desktop>();
        platform = x11->platform();
    }
    Localization::setLocaleService(platform.locale);

    // Two running copies would sweep each other's caches and rewrite each other's settings: the other
    // copies end before anything here touches a file.
    PosixProcessControl processes;
    SingleInstance singleInstance(processes);
    singleInstance.terminateOtherInstances();

    // Then the settings: the store, and the application object whose construction prepares them. The
    // diagnostics manager comes first only because the application hands it to its delegate as the
    // event log; it reads "diagnosticsEnabled", which the preparation never writes.
    SettingsStore settings(SettingsStore::defaultFilePath());
    InterfaceLanguage interfaceLanguage(settings);
    ThreadQueueFactory queues;
    DiagnosticsManager diagnostics(settings, scheduler, queues, *platform.fileDialogs,
                                   *platform.fileRevealer);
    MainThreadWatchdog watchdog(diagnostics, scheduler); // destroyed before the manager it reports to
    diagnostics.setWatchdog(&watchdog);
    diagnostics.setBuildVersion(QStringLiteral(QUORVANTIS_VERSION), QStringLiteral(QUORVANTIS_REVISION));

    auto relocation = std::make_unique<Relocation>(
        *platform.installation, *platform.application, settings, scheduler, singleInstance, processes,
        QCoreApplication::applicationFilePath(), QCoreApplication::arguments().mid(1));
    Relocator &relocator = *relocation;
    // Made after the settings are prepared, but declared first so it outlives the overlay controller,
    // which asks it for a check whenever the clipboard route opens.
    std::unique_ptr<ClipboardManager> clipboard;
    std::unique_ptr<FileShelfManager> shelf; // outlives the edge popup's views too
    auto overlay = std::make_unique<OverlayController>(platform, scheduler, settings, [&clipboard] {
        if (clipboard)
            clipboard->checkNow();
    });
    OverlayController &overlayController = *overlay;
    overlayController.setEventLog(&diagnostics);
    // The one settings window; its Shortcuts page learns of the Dock monitor once the start-up
    // sequence has made it.
    SettingsWindowManager settingsWindows(SettingsContext{
        settings, scheduler, *platform.permissions,
        [&platform](bool enabled) { LaunchManager::setLaunchAtLogin(*platform.loginItem, enabled); }, nullptr,
        diagnostics, [&platform](const QUrl &url) { platform.fileRevealer->openURL(url); },
        [&platform] { return platform.appIcons->installedApplications(); },
        [&platform](const QString &identity) { return platform.appIcons->iconForBundle(identity); },
        platform.feedback->hasHaptics(),
        queues.makeQueue(QStringLiteral("installed applications"), QueueKind::Serial)});
    QObject::connect(platform.application, &ApplicationService::windowDestroyedElsewhere, &settingsWindows,
                     &SettingsWindowManager::windowDestroyedElsewhere);
    // The Super Panel's gear opens this window.
    overlayController.setOpenSettings([&settingsWindows] { settingsWindows.showSettings(); });
    auto tray = std::make_unique<TrayIcon>(
        settings, scheduler,
        TrayIcon::Actions{[&relocator] { relocator.restartApp(); },
                          [&platform] { platform.application->terminate(); },
                          [&overlayController] { overlayController.showAllWindows(); },
                          [&settingsWindows] { settingsWindows.showSettings(); }});
    TrayIcon &trayIcon = *tray;
    auto onboarding = std::make_unique<OnboardingController>(*platform.permissions, settings, scheduler,
                                                             [&relocator] { relocator.restartApp(); });
    QuorvantisApp quorvantis(
        platform, scheduler, queues, settings, diagnostics,
        ShellParts{std::move(relocation), std::move(overlay), std::move(tray), std::move(onboarding)});

    // The clipboard manager polls and sweeps its cache folder as soon as it exists.
    clipboard = std::make_unique<ClipboardManager>(*platform.pasteboard, *platform.workspace, scheduler,
                                                   queues, settings, diagnostics);
    // Created at start-up so the shelf folder is made and last run's files are swept at once.
    shelf = std::make_unique<FileShelfManager>(platform, scheduler, queues, diagnostics);
    trayIcon.observeCaptures(*clipboard, *shelf);
    overlayController.setItemServices(
        *clipboard, *shelf, queues.makeQueue(QStringLiteral("edge previews"), QueueKind::Concurrent));
    QObject::connect(&quorvantis.appDelegate(), &AppDelegate::servicesStarted, &quorvantis.appDelegate(),
                     [&quorvantis, &settingsWindows] {
                         settingsWindows.setDockMonitor(quorvantis.appDelegate().dockMonitor());
                     });
    scheduler.post([&quorvantis] { quorvantis.appDelegate().applicationDidFinishLaunching(); });
    const int status = QApplication::exec();

    // A desktop program ends at once (Quit, Restart, the session's SIGTERM). Settings are written as
    // they change; the diagnostics log and an export under way are finished, and the images of
    // clipboard captures not yet listed are removed. Whatever a worker is still doing for this run
    // alone (a walk of the panels, a Dock scan, a window capture, a clipboard transfer, a file on
    // its way into the shelf, swept at the next start) is abandoned rather than waited for, and the
    // X server takes back our grabs and selections as the connections close.
    clipboard->abandonCaptures();
    diagnostics.finishWrites();
    std::fflush(nullptr);
#ifdef QV_CHECK_LEAKS
    // _Exit skips LeakSanitizer's check at exit, so it runs here, while everything main still holds
    // is reachable: what it finds was lost on the way. A leak fails the run as any report does.
    if (__lsan_do_recoverable_leak_check() != 0)
        std::_Exit(status != 0 ? status : 23);
#endif
    std::_Exit(status);
}
