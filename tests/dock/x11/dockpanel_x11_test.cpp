#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <vector>

#include <signal.h>

#include "core/settingsstore.h"
#include "dock/dockmonitor.h"
#include "platform/screens.h"
#include "platform/workspace.h"
#include "platform/x11/x11desktop.h"
#include "runtime/qtscheduler.h"
#include "runtime/workqueue.h"
#include "support/recordingeventlog.h"

using namespace qv;

namespace {

const QString busLauncher = QStringLiteral("/usr/libexec/at-spi-bus-launcher");

// A bottom panel with two launchers and a task list, as xfconf stores it.
const char panelConfig[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfce4-panel" version="1.0">
  <property name="configver" type="int" value="2"/>
  <property name="panels" type="array">
    <value type="int" value="1"/>
    <property name="panel-1" type="empty">
      <property name="position" type="string" value="p=8;x=0;y=0"/>
      <property name="length" type="uint" value="100"/>
      <property name="position-locked" type="bool" value="true"/>
      <property name="size" type="uint" value="40"/>
      <property name="plugin-ids" type="array">
        <value type="int" value="1"/>
        <value type="int" value="2"/>
        <value type="int" value="3"/>
      </property>
    </property>
  </property>
  <property name="plugins" type="empty">
    <property name="plugin-1" type="string" value="launcher">
      <property name="items" type="array"><value type="string" value="terminal.desktop"/></property>
    </property>
    <property name="plugin-2" type="string" value="launcher">
      <property name="items" type="array"><value type="string" value="clock.desktop"/></property>
    </property>
    <property name="plugin-3" type="string" value="tasklist"/>
  </property>
</channel>
)";

bool writeFile(const QString &path, const QByteArray &contents)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}

bool xdotool(const QStringList &arguments)
{
    return QProcess::execute(QStringLiteral("xdotool"), arguments) == 0;
}

// xdotool's mousemove warps the pointer, which no device reports as motion; the nudge after it
// moves it as a mouse would.
bool movePointer(const QPointF &point)
{
    return xdotool({QStringLiteral("mousemove"), QString::number(int(point.x())), QString::number(int(point.y())),
                    QStringLiteral("mousemove_relative"), QStringLiteral("1"), QStringLiteral("0"),
                    QStringLiteral("mousemove_relative"), QStringLiteral("--"), QStringLiteral("-1"),
                    QStringLiteral("0")});
}

// The task button's rectangle the panel itself wrote on the window, read back with the X tools.
QRect iconGeometryOf(const QString &title)
{
    QProcess search;
    search.start(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--name"), title});
    search.waitForFinished(5000);
    const QString window =
        QString::fromLatin1(search.readAllStandardOutput()).split(u'\n').value(0).trimmed();
    QProcess xprop;
    xprop.start(QStringLiteral("xprop"),
                {QStringLiteral("-id"), window, QStringLiteral("_NET_WM_ICON_GEOMETRY")});
    xprop.waitForFinished(5000);
    const auto match = QRegularExpression(QStringLiteral("= (\\d+), (\\d+), (\\d+), (\\d+)"))
                           .match(QString::fromLatin1(xprop.readAllStandardOutput()));
    if (!match.hasMatch())
        return {};
    return QRect(match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt(),
                 match.captured(4).toInt());
}

// A desktop of its own around xfce4-panel: a private session bus, the accessibility bus, the panel
// with a configuration written here in its own HOME and XDG folders, and two terminals titled
// differently. Every process started here is ended by its id.
class DockPanelX11Test : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (QStandardPaths::findExecutable(QStringLiteral("xfce4-panel")).isEmpty() ||
            QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty() ||
            !QFile::exists(busLauncher))
            GTEST_SKIP() << "xfce4-panel, dbus-daemon or the accessibility bus launcher is not installed";
        ASSERT_TRUE(home.isValid());
        const QString root = home.path();
        env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), root);
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), root + QStringLiteral("/config"));
        env.insert(QStringLiteral("XDG_DATA_HOME"), root + QStringLiteral("/data"));
        env.insert(QStringLiteral("XDG_CACHE_HOME"), root + QStringLiteral("/cache"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), root + QStringLiteral("/run"));
        env.remove(QStringLiteral("SESSION_MANAGER"));
        QDir().mkpath(root + QStringLiteral("/run"));
        QFile::setPermissions(root + QStringLiteral("/run"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QString config = root + QStringLiteral("/config/xfce4/");
        ASSERT_TRUE(
            writeFile(config + QStringLiteral("xfconf/xfce-perchannel-xml/xfce4-panel.xml"), panelConfig));
        ASSERT_TRUE(writeFile(config + QStringLiteral("panel/launcher-1/terminal.desktop"),
                              "[Desktop Entry]\nType=Application\nName=Terminal\nExec=xterm\n"));
        ASSERT_TRUE(writeFile(config + QStringLiteral("panel/launcher-2/clock.desktop"),
                              "[Desktop Entry]\nType=Application\nName=Clock\nExec=xclock\n"));

        // The session bus first: the services it starts on demand (xfconfd) inherit its folders.
        QProcess *bus =
            start(QStringLiteral("dbus-daemon"), {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                                  QStringLiteral("--print-address=1")});
        ASSERT_TRUE(bus->waitForReadyRead(5000));
        const QByteArray address = bus->readLine().trimmed();
        ASSERT_FALSE(address.isEmpty());
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QString::fromLatin1(address));
        // This process has not touched the session bus yet, so Qt and the backend use this one.
        qputenv("DBUS_SESSION_BUS_ADDRESS", address);

        start(busLauncher, {QStringLiteral("--launch-immediately")});
        ASSERT_TRUE(QTest::qWaitFor(
            [] {
                return QDBusConnection::sessionBus().interface()->isServiceRegistered(
                    QStringLiteral("org.a11y.Bus"));
            },
            10000));
        panel = start(QStringLiteral("xfce4-panel"), {});
        for (const QString &title : {QStringLiteral("left term"), QStringLiteral("right term")}) {
            terminals.push_back(
                start(QStringLiteral("xterm"),
                      {QStringLiteral("-T"), title, QStringLiteral("-geometry"),
                       QStringLiteral("40x8+300+200"), QStringLiteral("-e"), QStringLiteral("sleep 600")}));
        }
    }

    void TearDown() override
    {
        monitor.reset();
        desktop.reset();
        // Newest first, so the buses outlive their clients; the bus launcher ends its own bus.
        for (auto it = processes.rbegin(); it != processes.rend(); ++it) {
            QProcess &process = **it;
            if (process.state() == QProcess::NotRunning)
                continue;
            process.terminate();
            if (!process.waitForFinished(3000)) {
                process.kill();
                process.waitForFinished(3000);
            }
        }
    }

    QProcess *start(const QString &program, const QStringList &arguments)
    {
        auto process = std::make_unique<QProcess>();
        process->setProcessEnvironment(env);
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process->start(program, arguments);
        process->waitForStarted(5000);
        processes.push_back(std::move(process));
        return processes.back().get();
    }

    void startMonitor()
    {
        desktop = std::make_unique<X11Desktop>();
        platform = desktop->platform();
        monitor = std::make_unique<DockMonitor>(platform, scheduler, queues, settings, eventLog);
    }

    QList<DockIcon> tilesOf(const QString &app) const
    {
        QList<DockIcon> tiles;
        for (const DockIcon &icon : monitor->cachedIcons()) {
            if (icon.appName == app)
                tiles.append(icon);
        }
        return tiles;
    }

    QString appNameOf(qint64 pid) const
    {
        for (const RunningApp &app : platform.workspace->runningApplications()) {
            if (app.pid == pid)
                return app.name;
        }
        return {};
    }

    bool dockListed() const
    {
        for (const RunningApp &app : platform.workspace->runningApplications()) {
            if (app.bundleIdentifier == QLatin1String("com.apple.dock"))
                return true;
        }
        return false;
    }

    QTemporaryDir home;
    QProcessEnvironment env;
    std::vector<std::unique_ptr<QProcess>> processes;
    QProcess *panel = nullptr;
    std::vector<QProcess *> terminals;

    std::unique_ptr<X11Desktop> desktop;
    Platform platform;
    QtScheduler scheduler;
    ThreadQueueFactory queues;
    SettingsStore settings;
    RecordingEventLog eventLog;
    std::unique_ptr<DockMonitor> monitor;
};

} // namespace

TEST_F(DockPanelX11Test, HoveringATaskButtonPublishesItsApplicationWithTheButtonsFrame)
{
    startMonitor();
    QString terminal;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            terminal = appNameOf(terminals.front()->processId());
            return !terminal.isEmpty() && tilesOf(terminal).size() == 2 &&
                   tilesOf(QStringLiteral("Terminal")).size() == 1 &&
                   tilesOf(QStringLiteral("Clock")).size() == 1;
        },
        30000))
        << "no panel tiles were scanned";

    // The task button the panel drew for the right terminal, as the panel itself reports it.
    const QRect button = iconGeometryOf(QStringLiteral("right term"));
    ASSERT_FALSE(button.isEmpty());
    bool scanned = false;
    for (const DockIcon &icon : tilesOf(terminal))
        scanned = scanned || icon.frame == QRectF(button);
    ASSERT_TRUE(scanned) << "no terminal tile at the panel's own rectangle";

    ASSERT_TRUE(movePointer(QRectF(button).center()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return monitor->hoveredApp() == terminal; }, 5000));
    const double flip = platform.screens->flipHeight();
    EXPECT_EQ(monitor->iconFrame(),
              QRectF(button.x(), flip - button.y() - button.height(), button.width(), button.height()));

    // Away from the panel the hover goes.
    ASSERT_TRUE(movePointer(QPointF(640, 200)));
    ASSERT_TRUE(QTest::qWaitFor([&] { return monitor->hoveredApp().isEmpty(); }, 5000));

    // A panel that stops answering holds up nobody: walks give up on it within their timeouts and
    // the hover over its task button is still answered.
    ASSERT_EQ(::kill(pid_t(panel->processId()), SIGSTOP), 0);
    QTest::qWait(2500);
    ASSERT_TRUE(movePointer(QRectF(button).center()));
    EXPECT_TRUE(QTest::qWaitFor([&] { return monitor->hoveredApp() == terminal; }, 5000));
    ASSERT_EQ(::kill(pid_t(panel->processId()), SIGCONT), 0);
    ASSERT_TRUE(movePointer(QPointF(640, 200)));

    // The panel quits mid-run: its Dock goes, the terminals and this program stay, and its old
    // place shows nothing.
    panel->kill();
    panel->waitForFinished(5000);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dockListed(); }, 10000));
    ASSERT_TRUE(movePointer(QRectF(button).center()));
    QTest::qWait(500);
    EXPECT_TRUE(monitor->hoveredApp().isEmpty());
    for (QProcess *process : terminals)
        EXPECT_EQ(process->state(), QProcess::Running);
    EXPECT_FALSE(appNameOf(terminals.back()->processId()).isEmpty());
}
