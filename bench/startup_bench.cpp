#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>

#include <poll.h>

#include "benchdesktop.h"
#include "benchmemory.h"

// Xlib's macros clash with Qt's names: its headers come after every Qt header.
#include <X11/Xlib.h>
#include <X11/Xproto.h>
#include <X11/extensions/record.h>

using namespace qv;

namespace {

// The program under its own X server with a whole desktop (BenchDesktop), so what the program does
// at start (panel walk, global input, tray icon) is what a user's start does.
class OwnDesktop
{
public:
    OwnDesktop() { m_problem = start(); }

private:
    // Why the desktop could not be built; empty once it runs.
    QString start()
    {
        if (!QFile::exists(QStringLiteral(QV_APP_BINARY)))
            return QStringLiteral("the application is not built");
        if (const QString problem = m_desktop.start(); !problem.isEmpty())
            return problem;
        m_display = XOpenDisplay(nullptr);
        if (!m_display)
            return QStringLiteral("cannot open the display");
        const Atom tray = XInternAtom(m_display, "_NET_SYSTEM_TRAY_S0", False);
        QElapsedTimer clock;
        clock.start();
        while (XGetSelectionOwner(m_display, tray) == None && clock.elapsed() < 10000)
            QThread::msleep(50);
        if (XGetSelectionOwner(m_display, tray) == None)
            return QStringLiteral("trayer did not take the tray");
        // The panel settles (its plugins, the accessibility bus) before the first start is timed.
        QThread::sleep(2);
        return {};
    }

public:
    Display *display() const { return m_display; }
    XfcePanelDesktop &desktop() { return m_desktop.panel(); }
    // Why start() failed; empty after a successful one.
    const QString &problem() const { return m_problem; }

private:
    QString m_problem;
    BenchDesktop m_desktop;
    Display *m_display = nullptr;
};

// One desktop for the whole run: the session bus Qt connects to in this process stays the first one.
OwnDesktop &sharedDesktop()
{
    static OwnDesktop desktop;
    return desktop;
}

// One start of the program as the server saw it: milliseconds from the start to its dock request
// to the tray (_NET_SYSTEM_TRAY_OPCODE, SYSTEM_TRAY_REQUEST_DOCK, sent through the server) and to
// the tray's reparenting of the icon window (the XEmbed embedding); resident and unshared memory
// once the program has settled.
struct Start
{
    double dockMs = -1;
    double embedMs = -1;
    double residentMB = 0;
    double unsharedMB = 0;
};

// Dock requests as the server records them (the RECORD extension, every client's SendEvent).
class DockRequestRecorder
{
public:
    explicit DockRequestRecorder(Display *control) : m_control(control)
    {
        int major = 0;
        int minor = 0;
        m_data = XOpenDisplay(DisplayString(control));
        if (!m_data || !XRecordQueryVersion(control, &major, &minor))
            return;
        m_opcode = XInternAtom(control, "_NET_SYSTEM_TRAY_OPCODE", False);
        XRecordRange *range = XRecordAllocRange();
        range->core_requests.first = X_SendEvent;
        range->core_requests.last = X_SendEvent;
        XRecordClientSpec clients = XRecordAllClients;
        m_context = XRecordCreateContext(control, 0, &clients, 1, &range, 1);
        XFree(range);
        XSync(control, False);
        if (m_context && !XRecordEnableContextAsync(m_data, m_context, &DockRequestRecorder::intercepted,
                                                    reinterpret_cast<XPointer>(this)))
            m_context = 0;
    }
    ~DockRequestRecorder()
    {
        if (m_context) {
            XRecordDisableContext(m_control, m_context);
            XRecordFreeContext(m_control, m_context);
            XSync(m_control, False);
        }
        if (m_data)
            XCloseDisplay(m_data);
    }

    bool isValid() const { return m_context != 0; }
    int fd() const { return m_data ? ConnectionNumber(m_data) : -1; }
    void read() { XRecordProcessReplies(m_data); }
    // The icon window of the first dock request since the last call, if one came.
    std::optional<Window> takeDockRequest() { return std::exchange(m_docked, std::nullopt); }

private:
    static void intercepted(XPointer self, XRecordInterceptData *data)
    {
        auto *recorder = reinterpret_cast<DockRequestRecorder *>(self);
        // A SendEvent request carries the 32 bytes of the event after 12 bytes of header.
        if (data->category == XRecordFromClient && data->data_len * 4 >= 44) {
            const auto *event = reinterpret_cast<const xEvent *>(data->data + 12);
            if ((event->u.u.type & 0x7f) == ClientMessage &&
                event->u.clientMessage.u.l.type == recorder->m_opcode &&
                event->u.clientMessage.u.l.longs1 == 0 && !recorder->m_docked)
                recorder->m_docked = Window(event->u.clientMessage.u.l.longs2);
        }
        XRecordFreeData(data);
    }

    Display *m_control;
    Display *m_data = nullptr;
    XRecordContext m_context = 0;
    Atom m_opcode = None;
    std::optional<Window> m_docked;
};

double kilobytesField(const QString &path, const QByteArrayList &names)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    double sum = 0;
    for (const QByteArray &line : file.readAll().split('\n')) {
        for (const QByteArray &name : names) {
            if (line.startsWith(name + ':'))
                sum += line.mid(name.size() + 1).trimmed().split(' ').value(0).toDouble();
        }
    }
    return sum;
}

double median(QList<double> values)
{
    if (values.isEmpty())
        return -1;
    std::sort(values.begin(), values.end());
    const qsizetype middle = values.size() / 2;
    return values.size() % 2 ? values.at(middle) : (values.at(middle - 1) + values.at(middle)) / 2;
}

// The program's environment: this desktop's display and buses, and XDG folders of its own in `home`.
QStringList appEnvironment(const QTemporaryDir &home)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home.path());
    for (const char *name :
         {"XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR"}) {
        const QString folder = home.filePath(QString::fromLatin1(name));
        QDir().mkpath(folder);
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        environment.insert(QString::fromLatin1(name), folder);
    }
    environment.insert(QStringLiteral("DISPLAY"), QString::fromLocal8Bit(qgetenv("DISPLAY")));
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                       QString::fromLocal8Bit(qgetenv("DBUS_SESSION_BUS_ADDRESS")));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    return environment.toStringList();
}

// Starts the program once, follows the server until the tray has embedded its icon, waits until its
// resident memory holds still for a second, reads it, runs `whileRunning`, and ends the program as
// the session would.
Start startOnce(OwnDesktop &own, const QStringList &environment,
                const std::function<void(QProcess &app)> &whileRunning = {})
{
    Display *display = own.display();
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, True);
    DockRequestRecorder recorder(display);
    XSync(display, False);

    Start start;
    QProcess app;
    app.setEnvironment(environment);
    // The program's console stays out of the figures; QV_BENCH_APP_LOG names a file to keep it in.
    app.setStandardOutputFile(QProcess::nullDevice());
    app.setStandardErrorFile(qEnvironmentVariable("QV_BENCH_APP_LOG", QProcess::nullDevice()), QIODevice::Append);
    QElapsedTimer clock;
    clock.start();
    app.start(QStringLiteral(QV_APP_BINARY), {QStringLiteral("--platform=x11")});
    app.waitForStarted(5000);
    std::optional<Window> icon;
    while ((start.dockMs < 0 || start.embedMs < 0) && clock.elapsed() < 10000) {
        pollfd fds[2] = {{ConnectionNumber(display), POLLIN, 0}, {recorder.fd(), POLLIN, 0}};
        ::poll(fds, recorder.isValid() ? 2 : 1, 20);
        if (recorder.isValid()) {
            recorder.read();
            if (const std::optional<Window> docked = recorder.takeDockRequest()) {
                start.dockMs = double(clock.nsecsElapsed()) / 1e6;
                icon = docked;
            }
        }
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            // The icon window leaves the root for the tray's socket: embedded. Before the request
            // was seen (no RECORD), the first reparented window carrying XEmbed information is it.
            if (event.type == ReparentNotify && event.xreparent.parent != DefaultRootWindow(display) &&
                start.embedMs < 0 && (!icon || *icon == event.xreparent.window)) {
                start.embedMs = double(clock.nsecsElapsed()) / 1e6;
                if (!recorder.isValid())
                    start.dockMs = start.embedMs;
            }
        }
    }
    XSelectInput(display, DefaultRootWindow(display), NoEventMask);
    XSync(display, True);

    const QString status = QStringLiteral("/proc/%1/status").arg(app.processId());
    const QString rollup = QStringLiteral("/proc/%1/smaps_rollup").arg(app.processId());
    double last = -1;
    int steady = 0;
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 15000 && app.state() == QProcess::Running) {
        QThread::msleep(250);
        const double now = kilobytesField(status, {"VmRSS"});
        steady = now == last ? steady + 1 : 0;
        last = now;
        if (steady >= 4 && settle.elapsed() >= 2000)
            break;
    }
    start.residentMB = last / 1024;
    start.unsharedMB = kilobytesField(rollup, {"Private_Clean", "Private_Dirty"}) / 1024;
    if (whileRunning)
        whileRunning(app);
    app.terminate();
    if (!app.waitForFinished(5000)) {
        app.kill();
        app.waitForFinished(3000);
    }
    return start;
}

// From the program's start to its tray icon on a desktop with a tray, and its resident memory once
// started. Goals: the dock request within 80 ms (median), at most 45 MB resident (median). Each run
// is a later start in the same folders (the first one, which writes the settings, is not counted).
// QV_STARTUP_RUNS sets the number of runs (15 unless set).
void startToTrayIcon(benchmark::State &state)
{
    OwnDesktop &own = sharedDesktop();
    if (const QString missing = own.problem(); !missing.isEmpty()) {
        state.SkipWithError(qPrintable(missing));
        return;
    }
    QTemporaryDir home;
    const QStringList environment = appEnvironment(home);
    const int runs = std::max(1, qEnvironmentVariableIntValue("QV_STARTUP_RUNS") > 0
                                     ? qEnvironmentVariableIntValue("QV_STARTUP_RUNS")
                                     : 15);
    for (auto _ : state) {
        startOnce(own, environment);
        QList<double> dock, embed, resident, unshared;
        for (int i = 0; i < runs; ++i) {
            const Start start = startOnce(own, environment);
            dock.append(start.dockMs);
            embed.append(start.embedMs);
            resident.append(start.residentMB);
            unshared.append(start.unsharedMB);
        }
        state.counters["runs"] = runs;
        state.counters["dock_request_ms"] = median(dock);
        state.counters["dock_request_ms_max"] = *std::max_element(dock.begin(), dock.end());
        state.counters["dock_goal_ms"] = 80;
        state.counters["embedded_ms"] = median(embed);
        state.counters["rss_start_MB"] = median(resident);
        state.counters["rss_start_MB_max"] = *std::max_element(resident.begin(), resident.end());
        state.counters["rss_goal_MB"] = 45;
        state.counters["uss_start_MB"] = median(unshared);
    }
}
BENCHMARK(startToTrayIcon)->Iterations(1)->Unit(benchmark::kSecond);

bool run(const QString &program, const QStringList &arguments, const QByteArray &input = {})
{
    QProcess process;
    process.start(program, arguments);
    if (!input.isEmpty())
        process.write(input);
    process.closeWriteChannel();
    return process.waitForFinished(10000) && process.exitCode() == 0;
}

// The program on the desktop with a full history, its surfaces opened 20 times each as a user opens
// them, by their hotkeys: 500 texts and 50 pictures of 1920 x 1080 copied with xclip (the history
// keeps its 500 newest), then the Super Panel (Alt+Tab) and the clipboard and shelf edge popups
// (Alt+C, Alt+S), each shown for 0.3 s and closed with Escape. Goal: at most 75 MB resident. The
// shelf's files, the galleries and the settings window are opened in memory_bench, in process.
void everySurfaceOnTheDesktop(benchmark::State &state)
{
    OwnDesktop &own = sharedDesktop();
    if (const QString missing = own.problem(); !missing.isEmpty()) {
        state.SkipWithError(qPrintable(missing));
        return;
    }
    for (const char *tool : {"xclip", "xdotool"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
            state.SkipWithError("xclip or xdotool is not installed");
            return;
        }
    }
    // Windows for the Super Panel to show.
    own.desktop().xterm(QStringLiteral("first"), QStringLiteral("80x24+200+150"));
    own.desktop().xterm(QStringLiteral("second"), QStringLiteral("100x30+500+300"));
    QTemporaryDir home;
    const QStringList environment = appEnvironment(home);
    const QString config = home.filePath(QStringLiteral("XDG_CONFIG_HOME/Quorvantis"));
    QDir().mkpath(config);
    QFile defaults(config + QStringLiteral("/defaults.json"));
    if (!defaults.open(QIODevice::WriteOnly) ||
        defaults.write(R"({"enableModuleHotkeys": true, "showMenuBarIcon": true})") < 0)
        return state.SkipWithError("cannot write the settings");
    defaults.close();
    QList<QString> pictures;
    for (int i = 0; i < 50; ++i) {
        QFile png(home.filePath(QStringLiteral("shot-%1.png").arg(i)));
        if (png.open(QIODevice::WriteOnly))
            png.write(screenshotPng(i));
        pictures.append(png.fileName());
    }
    for (auto _ : state) {
        double started = 0;
        double filled = 0;
        double opened = 0;
        double showing = 0;
        startOnce(own, environment, [&](QProcess &app) {
            const QString status = QStringLiteral("/proc/%1/status").arg(app.processId());
            started = kilobytesField(status, {"VmRSS"}) / 1024;
            const QStringList clipboard = {QStringLiteral("-selection"), QStringLiteral("clipboard")};
            for (int i = 0; i < 550; ++i) {
                if (i >= 50 && i % 10 == 9)
                    run(QStringLiteral("xclip"),
                        clipboard + QStringList{QStringLiteral("-t"), QStringLiteral("image/png"),
                                                QStringLiteral("-i"), pictures.at(i / 10 - 5)});
                else
                    run(QStringLiteral("xclip"), clipboard,
                        QStringLiteral("copied text number %1 with a few words after it").arg(i).toUtf8());
                QThread::msleep(i % 10 == 9 ? 150 : 30);
            }
            QThread::sleep(2);
            filled = kilobytesField(status, {"VmRSS"}) / 1024;
            for (int i = 0; i < 20; ++i) {
                for (const char *key : {"alt+Tab", "alt+c", "alt+s"}) {
                    run(QStringLiteral("xdotool"), {QStringLiteral("key"), QString::fromLatin1(key)});
                    QThread::msleep(300);
                    showing = std::max(showing, kilobytesField(status, {"VmRSS"}) / 1024);
                    run(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Escape")});
                    QThread::msleep(300);
                }
            }
            QThread::sleep(2);
            opened = kilobytesField(status, {"VmRSS"}) / 1024;
        });
        state.counters["rss_start_MB"] = started;
        state.counters["rss_history_MB"] = filled;
        state.counters["rss_surfaces_20x_MB"] = opened;
        state.counters["rss_while_shown_max_MB"] = showing;
        state.counters["rss_goal_MB"] = 75;
    }
}
BENCHMARK(everySurfaceOnTheDesktop)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace
