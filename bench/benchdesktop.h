#pragma once

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <xcb/xcb.h>

#include "../tests/support/xfcepanel.h"

namespace qv {

// A desktop of its own for benchmarks that run the real program: Xvfb on a display it picks
// itself, openbox without its own Alt+Tab (as the tests run it, so the program's hotkey reaches
// it), xfce4-panel with its task list on the accessibility bus, and trayer as the tray at the top
// right. start() sets DISPLAY and this process's session bus to the desktop's.
class BenchDesktop
{
public:
    static constexpr int width = 1920;
    static constexpr int height = 1080;

    ~BenchDesktop() { stop(); }

    // Why the desktop could not be built; empty once it runs.
    QString start()
    {
        for (const char *tool : {"Xvfb", "openbox", "trayer"}) {
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
                return QStringLiteral("%1 is not installed").arg(QLatin1String(tool));
        }
        if (const QString missing = XfcePanelDesktop::missing(); !missing.isEmpty())
            return missing;

        m_xvfb.setStandardErrorFile(QProcess::nullDevice());
        m_xvfb.start(QStringLiteral("Xvfb"),
                     {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                      QStringLiteral("0"), QStringLiteral("%1x%2x24").arg(width).arg(height),
                      QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        if (!m_xvfb.waitForReadyRead(10000))
            return QStringLiteral("Xvfb did not start");
        const QByteArray display = ":" + m_xvfb.readLine().trimmed();
        qputenv("DISPLAY", display);

        QFile rc(QStringLiteral("/etc/xdg/openbox/rc.xml"));
        if (!m_folder.isValid() || !rc.open(QIODevice::ReadOnly))
            return QStringLiteral("no openbox configuration");
        QString config = QString::fromUtf8(rc.readAll());
        config.remove(QRegularExpression(QStringLiteral("<keybind key=\"A-S?-?Tab\">.*?</keybind>"),
                                         QRegularExpression::DotMatchesEverythingOption));
        QFile ownRc(m_folder.filePath(QStringLiteral("rc.xml")));
        if (!ownRc.open(QIODevice::WriteOnly) || ownRc.write(config.toUtf8()) < 0)
            return QStringLiteral("cannot write the openbox configuration");
        ownRc.close();
        m_openbox.start(QStringLiteral("openbox"), {QStringLiteral("--config-file"), ownRc.fileName()});
        if (!waitForWindowManager(display))
            return QStringLiteral("openbox did not start");

        if (!m_panel.start())
            return QStringLiteral("the panel's desktop did not start");
        m_panel.run(QStringLiteral("trayer"),
                    {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"),
                     QStringLiteral("right"), QStringLiteral("--widthtype"), QStringLiteral("request"),
                     QStringLiteral("--height"), QStringLiteral("28")});
        return {};
    }

    // Ends the panel's processes, then openbox and the server.
    void stop()
    {
        m_panel.stop();
        for (QProcess *process : {&m_openbox, &m_xvfb}) {
            if (process->state() == QProcess::NotRunning)
                continue;
            process->terminate();
            process->waitForFinished(3000);
        }
    }

    XfcePanelDesktop &panel() { return m_panel; }

private:
    // The panel and trayer need a window manager that already manages windows.
    static bool waitForWindowManager(const QByteArray &display)
    {
        xcb_connection_t *c = xcb_connect(display.constData(), nullptr);
        bool managed = false;
        if (!xcb_connection_has_error(c)) {
            const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
            const char name[] = "_NET_SUPPORTING_WM_CHECK";
            xcb_intern_atom_reply_t *atom =
                xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, sizeof name - 1, name), nullptr);
            const auto managing = [&] {
                xcb_get_property_reply_t *reply = xcb_get_property_reply(
                    c, xcb_get_property(c, 0, root, atom->atom, XCB_GET_PROPERTY_TYPE_ANY, 0, 1), nullptr);
                const bool set = reply && xcb_get_property_value_length(reply) > 0;
                free(reply);
                return set;
            };
            managed = atom && QTest::qWaitFor(managing, 10000);
            free(atom);
        }
        xcb_disconnect(c);
        return managed;
    }

    QProcess m_xvfb;
    QProcess m_openbox;
    QTemporaryDir m_folder;
    XfcePanelDesktop m_panel;
};

} // namespace qv
