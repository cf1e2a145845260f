#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>
#include <memory>

#include "app/localization.h"
#include "app/notificationhub.h"
#include "app/settingsstore.h"
#include "platform/qtscheduler.h"
#include "platform/sim/simdesktop.h"
#include "platform/x11/x11desktop.h"

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
    if (platformName.isEmpty())
        platformName = haveDisplay ? QStringLiteral("x11") : QStringLiteral("sim");
    if (platformName == QLatin1String("x11") && !haveDisplay) {
        std::fprintf(stderr, "quorvantis: no X display found (set DISPLAY, or run with --platform=sim)\n");
        return 2;
    }
    if (!haveDisplay)
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvantis"));
    QApplication::setQuitOnLastWindowClosed(false);

    SettingsStore settings(SettingsStore::defaultFilePath());
    SettingsStore::setShared(&settings);
    NotificationHub hub;
    NotificationHub::setShared(&hub);
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
    return app.exec();
}
