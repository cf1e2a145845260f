#pragma once

#include <QProcess>
#include <QRect>
#include <QRegularExpression>
#include <QStringList>
#include <QTest>

#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>
#include <utility>

#include "platform/x11/x11session.h"
#include "helperprocess.h"

// xdotool with `line` split at its spaces; whether it succeeded within 20 s. Keys and pointer moves
// go through XTEST, the path a real keyboard's and mouse's take, grabs included. Its --sync waits
// have no end of their own (an activation the window manager refuses, a move to where the window
// already is): one that outlasts the bound is ended and fails the step instead of the whole run.
inline bool xdotool(const QString &line)
{
    QProcess tool;
    tool.setProcessChannelMode(QProcess::ForwardedChannels);
    tool.start(QStringLiteral("xdotool"), line.split(u' ', Qt::SkipEmptyParts));
    if (!tool.waitForFinished(20000)) {
        tool.kill();
        tool.waitForFinished(2000);
        return false;
    }
    return tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0;
}

// Starts the tests' own drop target (`program`, a window that takes file drops and prints their
// addresses, one a line) with its top left at `at`; true once it said it is ready and had time to be
// mapped and managed.
inline bool startDropTarget(QProcess &target, const QString &program, const QPoint &at)
{
    target.start(program, {QString::number(at.x()), QString::number(at.y())});
    if (!target.waitForStarted(3000) || !QTest::qWaitFor([&] { return target.canReadLine(); }, 5000))
        return false;
    target.readLine();
    QTest::qWait(500);
    return true;
}

// xdotool as above, with this process's event loop running meanwhile, as it runs while a person
// types: keys that come fast after one another find us reading, not waiting for xdotool to end.
inline bool xdotoolWhileRunning(const QString &line)
{
    QProcess tool;
    tool.start(QStringLiteral("xdotool"), line.split(u' ', Qt::SkipEmptyParts));
    if (!tool.waitForStarted(5000))
        return false;
    return QTest::qWaitFor([&] { return tool.state() == QProcess::NotRunning; }, 10000) &&
           tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0;
}

// Real client programs nobody here wrote (xterm, xeyes, xclock), started for a test and ended by
// their process id when it ends, and the standard X tools that read the window manager's state
// back, so a check never trusts our own reading of it.
class X11Clients
{
public:
    X11Clients() = default;
    X11Clients(const X11Clients &) = delete;
    X11Clients &operator=(const X11Clients &) = delete;
    ~X11Clients()
    {
        for (auto &[pid, process] : m_processes) {
            if (process->state() != QProcess::NotRunning) {
                process->kill();
                process->waitForFinished(5000);
            }
        }
    }

    // The process id, 0 when the program would not start.
    qint64 start(const QString &program, const QStringList &arguments = {})
    {
        auto process = std::make_unique<QProcess>();
        qv::bindToTest(*process);
        process->start(program, arguments);
        if (!process->waitForStarted(5000))
            return 0;
        const qint64 pid = process->processId();
        m_processes.emplace_back(pid, std::move(process));
        return pid;
    }

    // Whether the program ended by itself within the time.
    bool hasExited(qint64 pid, int timeoutMs)
    {
        for (auto &[id, process] : m_processes) {
            if (id == pid)
                return process->state() == QProcess::NotRunning || process->waitForFinished(timeoutMs);
        }
        return false;
    }

    void kill(qint64 pid)
    {
        for (auto &[id, process] : m_processes) {
            if (id == pid && process->state() != QProcess::NotRunning) {
                process->kill();
                process->waitForFinished(5000);
            }
        }
    }

    // An xterm titled `title` that writes every byte it receives, as it comes, into `file`: a key
    // that reached it shows there. `options` go to xterm; the process id, 0 when it would not start.
    qint64 startRecorder(const QString &title, const QString &file, const QStringList &options = {})
    {
        return start(QStringLiteral("xterm"),
                     QStringList{QStringLiteral("-T"), title} + options +
                         QStringList{QStringLiteral("-e"), QStringLiteral("sh"), QStringLiteral("-c"),
                                     QStringLiteral("stty raw -echo; exec cat > '%1'").arg(file)});
    }

    // xclip owning the clipboard with `text` (fed through its input) until it ends; the process id,
    // 0 when it would not start.
    qint64 copyWithXclip(const QByteArray &text)
    {
        const qint64 pid =
            start(QStringLiteral("xclip"),
                  {QStringLiteral("-quiet"), QStringLiteral("-selection"), QStringLiteral("clipboard")});
        if (pid != 0) {
            m_processes.back().second->write(text);
            m_processes.back().second->closeWriteChannel();
        }
        return pid;
    }

    // What another application pastes (xclip -o); the event loop runs meanwhile, so a clipboard
    // this process owns is served.
    static QByteArray pasteWithXclip(const QString &type = QString())
    {
        QStringList arguments{QStringLiteral("-o"), QStringLiteral("-selection"),
                              QStringLiteral("clipboard")};
        if (!type.isEmpty())
            arguments << QStringLiteral("-t") << type;
        QProcess xclip;
        xclip.start(QStringLiteral("xclip"), arguments);
        (void)QTest::qWaitFor([&] { return xclip.state() == QProcess::NotRunning; }, 5000);
        return xclip.readAllStandardOutput();
    }

    static QString output(const QString &program, const QStringList &arguments)
    {
        QProcess tool;
        tool.start(program, arguments);
        tool.waitForFinished(5000);
        return QString::fromLocal8Bit(tool.readAllStandardOutput());
    }

    // The window the window manager says is active (xprop -root _NET_ACTIVE_WINDOW).
    static quint32 activeWindow()
    {
        const QString text =
            output(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_ACTIVE_WINDOW")});
        const auto match = QRegularExpression(QStringLiteral("# (0x[0-9a-f]+)")).match(text);
        return match.hasMatch() ? match.captured(1).toUInt(nullptr, 16) : 0;
    }

    // The window's _NET_WM_STATE atoms by name, as xprop prints them.
    static QStringList windowState(quint32 window)
    {
        const QString text = output(QStringLiteral("xprop"), {QStringLiteral("-id"), QString::number(window),
                                                              QStringLiteral("_NET_WM_STATE")});
        const qsizetype eq = text.indexOf(u'=');
        if (eq < 0)
            return {};
        QStringList states = text.mid(eq + 1).split(u',', Qt::SkipEmptyParts);
        for (QString &state : states)
            state = state.trimmed();
        return states;
    }

    // The size of the display's default screen, as the X server has it.
    static QSize screenSize()
    {
        const qv::X11Session session;
        xcb_get_geometry_reply_t *root =
            xcb_get_geometry_reply(session.xcb(), xcb_get_geometry(session.xcb(), session.root()), nullptr);
        const QSize size = root ? QSize(root->width, root->height) : QSize();
        std::free(root);
        return size;
    }

    // Moves the first window named `name` to (x, y) and waits until it is there; whether it did. Not
    // with windowmove's --sync, which waits for ever when the window manager placed it there already.
    static bool moveNamedWindow(const QString &name, int x, int y)
    {
        if (!xdotool(QStringLiteral("search --sync --name %1 windowmove %2 %3").arg(name).arg(x).arg(y)))
            return false;
        const quint32 window =
            output(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--name"), name})
                .section(u'\n', 0, 0)
                .toUInt();
        return window && QTest::qWaitFor([&] { return clientArea(window).topLeft() == QPoint(x, y); }, 5000);
    }

    // The client's absolute area as the X server has it (xwininfo).
    static QRect clientArea(quint32 window)
    {
        const QString info =
            output(QStringLiteral("xwininfo"), {QStringLiteral("-id"), QString::number(window)});
        const auto number = [&info](const QString &label) {
            const auto match = QRegularExpression(label + QStringLiteral(":\\s+(-?\\d+)")).match(info);
            return match.hasMatch() ? match.captured(1).toInt() : -1;
        };
        return QRect(number(QStringLiteral("Absolute upper-left X")), number(QStringLiteral("Absolute upper-left Y")),
                     number(QStringLiteral("Width")), number(QStringLiteral("Height")));
    }

    // The outer frame as the X server has it: the client's area grown by the window manager's
    // _NET_FRAME_EXTENTS (xprop).
    static QRect frame(quint32 window)
    {
        QRect client = clientArea(window);
        const QString extents =
            output(QStringLiteral("xprop"),
                   {QStringLiteral("-id"), QString::number(window), QStringLiteral("_NET_FRAME_EXTENTS")});
        const auto match =
            QRegularExpression(QStringLiteral("= (\\d+), (\\d+), (\\d+), (\\d+)")).match(extents);
        if (match.hasMatch()) {
            client.adjust(-match.captured(1).toInt(), -match.captured(3).toInt(), match.captured(2).toInt(),
                          match.captured(4).toInt());
        }
        return client;
    }

    // A window of `c`'s on the root, not mapped yet. One that overrides redirection lies exactly
    // where asked: no window manager moves it. The caller destroys it.
    static xcb_window_t createWindow(xcb_connection_t *c, xcb_window_t root, const QRect &frame,
                                     bool overrideRedirect = false)
    {
        const xcb_window_t window = xcb_generate_id(c);
        const uint32_t overrides = overrideRedirect ? 1 : 0;
        xcb_create_window(c, XCB_COPY_FROM_PARENT, window, root, int16_t(frame.x()), int16_t(frame.y()),
                          uint16_t(frame.width()), uint16_t(frame.height()), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                          XCB_COPY_FROM_PARENT, XCB_CW_OVERRIDE_REDIRECT, &overrides);
        return window;
    }

    // A window written here with xcb, owned (by its _NET_WM_PID) by a process that draws nothing
    // itself, named by WM_CLASS "broken", "Broken" and the title, carrying `icon` as its
    // _NET_WM_ICON however malformed. The caller destroys it.
    static xcb_window_t createClientWindow(qv::X11Session &session, qint64 owner, const QByteArray &title,
                                           const std::vector<uint32_t> &icon)
    {
        const xcb_window_t window = createUnmappedClientWindow(session, owner, title, icon);
        xcb_map_window(session.xcb(), window);
        xcb_flush(session.xcb());
        return window;
    }

    // As createClientWindow, not mapped yet: what is written on it before it is mapped the window
    // manager reads once, when it takes the window on, not at every change.
    static xcb_window_t createUnmappedClientWindow(qv::X11Session &session, qint64 owner, const QByteArray &title,
                                                   const std::vector<uint32_t> &icon)
    {
        xcb_connection_t *c = session.xcb();
        const xcb_window_t window = createWindow(c, session.root(), QRect(0, 0, 400, 300));
        const uint32_t pid = uint32_t(owner);
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, session.ewmh()->_NET_WM_PID, XCB_ATOM_CARDINAL,
                            32, 1, &pid);
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, session.ewmh()->_NET_WM_ICON, XCB_ATOM_CARDINAL,
                            32, uint32_t(icon.size()), icon.data());
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8, 14,
                            "broken\0Broken\0");
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                            uint32_t(title.size()), title.constData());
        return window;
    }

    // Waits until the window manager has handled every event the server sent it before now; whether
    // it did within `waitMs`. The server hands a new connection the window numbers of one that
    // closed, and a window manager still busy with the destroyed windows (a test before gave it icons
    // of 100 MB to read) acts on the new windows of the same number as on the old ones: it marks
    // them framed, moves and resizes them to the old place and size, before it has even seen them
    // mapped. A window mapped now is taken on after everything before it, so once the window
    // manager lists it (and, destroyed, no longer does) nothing older is left in its queue.
    static bool windowManagerCaughtUp(qv::X11Session &session, int waitMs = 10000)
    {
        xcb_connection_t *c = session.xcb();
        const auto listed = [&](xcb_window_t window) {
            xcb_ewmh_get_windows_reply_t list;
            if (!xcb_ewmh_get_client_list_reply(session.ewmh(), xcb_ewmh_get_client_list(session.ewmh(), 0), &list,
                                                nullptr))
                return false;
            const bool found = std::find(list.windows, list.windows + list.windows_len, window) !=
                               list.windows + list.windows_len;
            xcb_ewmh_get_windows_reply_wipe(&list);
            return found;
        };
        const xcb_window_t probe = createWindow(c, session.root(), QRect(0, 0, 10, 10));
        xcb_map_window(c, probe);
        xcb_flush(c);
        const bool taken = QTest::qWaitFor([&] { return listed(probe); }, waitMs);
        xcb_destroy_window(c, probe);
        xcb_flush(c);
        return QTest::qWaitFor([&] { return !listed(probe); }, waitMs) && taken;
    }

    // Replaces the window's _NET_WM_ICON with `words` 32-bit values that start with `head` (zeros
    // after it), written in pieces of 4 MiB: one request may carry no more than the server takes.
    static void setLargeIcon(qv::X11Session &session, xcb_window_t window, const std::vector<uint32_t> &head,
                             size_t words)
    {
        constexpr size_t piece = 1024 * 1024;
        std::vector<uint32_t> data(piece, 0);
        xcb_connection_t *c = session.xcb();
        for (size_t done = 0; done < words; done += piece) {
            const size_t count = std::min(piece, words - done);
            std::fill(data.begin(), data.end(), 0);
            for (size_t i = done; i < head.size() && i < done + count; ++i)
                data[i - done] = head[i];
            xcb_change_property(c, done == 0 ? XCB_PROP_MODE_REPLACE : XCB_PROP_MODE_APPEND, window,
                                session.ewmh()->_NET_WM_ICON, XCB_ATOM_CARDINAL, 32, uint32_t(count),
                                data.data());
            // A round trip a piece, so the connection's buffer never holds more than one.
            std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
        }
    }

    // Whether the window manager has framed the window (it sets _NET_FRAME_EXTENTS when it does).
    static bool isFramed(quint32 window)
    {
        return output(QStringLiteral("xprop"),
                      {QStringLiteral("-id"), QString::number(window), QStringLiteral("_NET_FRAME_EXTENTS")})
            .contains(u'=');
    }

private:
    std::vector<std::pair<qint64, std::unique_ptr<QProcess>>> m_processes;
};
