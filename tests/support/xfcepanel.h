#pragma once

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <vector>

#include "helperprocess.h"

namespace qv {

// A desktop of its own around xfce4-panel: a private session bus, the accessibility bus, and the
// panel with a configuration written here in its own HOME and XDG folders (two launchers, a task
// list), along the bottom or the top of the screen. Every process started here, clients too, is
// ended by its id, newest first, so the buses outlive their clients.
class XfcePanelDesktop
{
public:
    enum class Edge { bottom, top };

    ~XfcePanelDesktop() { stop(); }

    // Why the desktop cannot be built here; empty when it can.
    static QString missing()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("xfce4-panel")).isEmpty() ||
            QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty() ||
            !QFile::exists(busLauncher()))
            return QStringLiteral(
                "xfce4-panel, dbus-daemon or the accessibility bus launcher is not installed");
        return {};
    }

    // Starts the buses and the panel. The session bus becomes this process's too: call it before
    // anything here touches the session bus.
    bool start(Edge edge = Edge::bottom)
    {
        if (!m_home.isValid())
            return false;
        const QString root = m_home.path();
        m_env = QProcessEnvironment::systemEnvironment();
        m_env.insert(QStringLiteral("HOME"), root);
        m_env.insert(QStringLiteral("XDG_CONFIG_HOME"), root + QStringLiteral("/config"));
        m_env.insert(QStringLiteral("XDG_DATA_HOME"), root + QStringLiteral("/data"));
        m_env.insert(QStringLiteral("XDG_CACHE_HOME"), root + QStringLiteral("/cache"));
        m_env.insert(QStringLiteral("XDG_RUNTIME_DIR"), root + QStringLiteral("/run"));
        m_env.remove(QStringLiteral("SESSION_MANAGER"));
        QDir().mkpath(root + QStringLiteral("/run"));
        QFile::setPermissions(root + QStringLiteral("/run"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QString config = root + QStringLiteral("/config/xfce4/");
        if (!writeFile(config + QStringLiteral("xfconf/xfce-perchannel-xml/xfce4-panel.xml"),
                       panelConfig(edge)) ||
            !writeFile(config + QStringLiteral("panel/launcher-1/terminal.desktop"),
                       "[Desktop Entry]\nType=Application\nName=Terminal\nExec=xterm\n") ||
            !writeFile(config + QStringLiteral("panel/launcher-2/clock.desktop"),
                       "[Desktop Entry]\nType=Application\nName=Clock\nExec=xclock\n"))
            return false;

        // The session bus first: the services it starts on demand (xfconfd) inherit its folders.
        QProcess *bus =
            run(QStringLiteral("dbus-daemon"), {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                                QStringLiteral("--print-address=1")});
        if (!bus->waitForReadyRead(5000))
            return false;
        const QByteArray address = bus->readLine().trimmed();
        if (address.isEmpty())
            return false;
        m_env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QString::fromLatin1(address));
        // This process has not touched the session bus yet, so Qt and the backend use this one.
        qputenv("DBUS_SESSION_BUS_ADDRESS", address);

        if (!startAccessibilityBus())
            return false;
        m_panel = run(QStringLiteral("xfce4-panel"), {});
        return true;
    }

    // Ends the accessibility bus (its launcher takes the bus with it) and starts a new one, as a
    // session does when the bus dies; the panel registers on the new bus by itself.
    bool restartAccessibilityBus()
    {
        if (!m_busLauncher)
            return false;
        m_busLauncher->terminate();
        if (!m_busLauncher->waitForFinished(5000) ||
            !QTest::qWaitFor(
                [] {
                    return !QDBusConnection::sessionBus().interface()->isServiceRegistered(
                        QStringLiteral("org.a11y.Bus"));
                },
                5000))
            return false;
        return startAccessibilityBus();
    }

    // Ends every process started here, newest first; the bus launcher ends its own bus.
    void stop()
    {
        for (auto it = m_processes.rbegin(); it != m_processes.rend(); ++it) {
            QProcess &process = **it;
            if (process.state() == QProcess::NotRunning)
                continue;
            process.terminate();
            if (!process.waitForFinished(3000)) {
                process.kill();
                process.waitForFinished(3000);
            }
        }
        m_processes.clear();
    }

    // A program started in this desktop's environment.
    QProcess *run(const QString &program, const QStringList &arguments)
    {
        auto process = std::make_unique<QProcess>();
        process->setProcessEnvironment(m_env);
        bindToTest(*process);
        process->start(program, arguments);
        process->waitForStarted(5000);
        m_processes.push_back(std::move(process));
        return m_processes.back().get();
    }

    // An xterm titled `title` that stays open.
    QProcess *xterm(const QString &title, const QString &geometry = QStringLiteral("40x8+300+200"))
    {
        return run(QStringLiteral("xterm"), {QStringLiteral("-T"), title, QStringLiteral("-geometry"),
                                             geometry, QStringLiteral("-e"), QStringLiteral("sleep 600")});
    }

    QProcess *panel() const { return m_panel; }
    // The environment its programs run in: its HOME, XDG folders and session bus.
    const QProcessEnvironment &environment() const { return m_env; }

    // Moves the running panel to `edge` through its settings, as its preferences dialog would.
    bool moveTo(Edge edge)
    {
        QProcess *query = run(QStringLiteral("xfconf-query"),
                              {QStringLiteral("-c"), QStringLiteral("xfce4-panel"), QStringLiteral("-p"),
                               QStringLiteral("/panels/panel-1/position"), QStringLiteral("-s"),
                               QStringLiteral("p=%1;x=0;y=0").arg(edgeCode(edge))});
        return query->waitForFinished(5000) && query->exitCode() == 0;
    }

    // The first window whose title is `title`, found with the X tools; empty when none.
    // xdotool dies on the first window that vanishes while it walks the tree (a menu or a bubble
    // closing meanwhile), so a walk cut short that way is walked again.
    static QString windowNamed(const QString &title)
    {
        for (int attempt = 0; attempt < 10; ++attempt) {
            QProcess search;
            search.start(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--name"), title});
            search.waitForFinished(5000);
            if (!search.readAllStandardError().contains("X Error"))
                return QString::fromLatin1(search.readAllStandardOutput()).split(u'\n').value(0).trimmed();
        }
        return {};
    }

    // The task button's rectangle the panel itself wrote on the window, read back with the X tools.
    static QRect iconGeometryOf(const QString &title)
    {
        QProcess xprop;
        xprop.start(QStringLiteral("xprop"),
                    {QStringLiteral("-id"), windowNamed(title), QStringLiteral("_NET_WM_ICON_GEOMETRY")});
        xprop.waitForFinished(5000);
        const auto match = QRegularExpression(QStringLiteral("= (\\d+), (\\d+), (\\d+), (\\d+)"))
                               .match(QString::fromLatin1(xprop.readAllStandardOutput()));
        if (!match.hasMatch())
            return {};
        return QRect(match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt(),
                     match.captured(4).toInt());
    }

private:
    bool startAccessibilityBus()
    {
        m_busLauncher = run(busLauncher(), {QStringLiteral("--launch-immediately")});
        return QTest::qWaitFor(
            [] {
                return QDBusConnection::sessionBus().interface()->isServiceRegistered(
                    QStringLiteral("org.a11y.Bus"));
            },
            10000);
    }

    static QString busLauncher() { return QStringLiteral("/usr/libexec/at-spi-bus-launcher"); }

    // One panel with two launchers and a task list, as xfconf stores it (the file is shared with
    // scripts/sanitized-run.sh); "p=8" is the bottom edge, "p=6" the top.
    static QByteArray panelConfig(Edge edge)
    {
        QFile file(QStringLiteral(QV_TEST_SUPPORT_DIR "/xfce4-panel.xml"));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return file.readAll().replace("p=EDGE", "p=" + QByteArray::number(edgeCode(edge)));
    }
    static int edgeCode(Edge edge) { return edge == Edge::bottom ? 8 : 6; }

    static bool writeFile(const QString &path, const QByteArray &contents)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
    }

    QTemporaryDir m_home;
    QProcessEnvironment m_env;
    std::vector<std::unique_ptr<QProcess>> m_processes;
    QProcess *m_panel = nullptr;
    QProcess *m_busLauncher = nullptr;
};

} // namespace qv
