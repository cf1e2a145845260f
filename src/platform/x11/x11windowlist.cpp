#include "platform/x11/x11windowlist.h"

#include "platform/x11/x11clientreader.h"
#include "platform/x11/x11desktopentries.h"
#include "platform/x11/x11session.h"
#include "runtime/workqueue.h"

namespace qv {

X11WindowList::X11WindowList(X11Session &session, X11DesktopEntries &entries)
    : m_session(session), m_entries(entries)
{
    m_reader.setMaxThreadCount(1);
    m_reader.setObjectName(QStringLiteral("Quorvantis.WindowList"));
}

X11WindowList::~X11WindowList()
{
    m_reader.waitForDone();
}

void X11WindowList::requestWindows(Completion done)
{
    QMutexLocker lock(&m_mutex);
    m_waiting.append(std::move(done));
    if (m_reading)
        return;
    m_reading = true;
    startOnPool(m_reader, [this] { readPending(); });
}

void X11WindowList::readPending()
{
    for (;;) {
        QList<Completion> answering;
        {
            QMutexLocker lock(&m_mutex);
            if (m_waiting.isEmpty()) {
                m_reading = false;
                return;
            }
            answering.swap(m_waiting);
        }
        // Read after the requests were taken: each is answered by a list read after it was made.
        const std::optional<QList<WindowInfo>> list = windows();
        for (const Completion &done : std::as_const(answering))
            done(list);
    }
}

std::optional<QList<WindowInfo>> X11WindowList::windows()
{
    X11ClientReader reader(m_session);
    const std::optional<QList<xcb_window_t>> stacking = reader.clientsFrontToBack();
    if (!stacking)
        return std::nullopt;
    const std::optional<uint32_t> desktop = reader.currentDesktop();
    const QList<X11Client> clients = reader.read(*stacking);
    QHash<qint64, X11AppIdentity> identities;
    const QHash<qint64, X11Client> first = X11ClientReader::firstPerProcess(clients);
    for (auto it = first.cbegin(); it != first.cend(); ++it)
        identities.insert(it.key(), m_entries.identify(*it));
    QList<WindowInfo> result;
    for (const X11Client &client : clients) {
        WindowInfo info;
        info.windowId = client.window;
        info.frame = QRectF(client.frame);
        info.title = client.title;
        info.layer = reader.layerOf(client);
        info.isOnScreen = client.viewable && !client.hidden && X11ClientReader::isOnDesktop(client, desktop);
        info.ownerPID = client.pid;
        if (client.pid != 0) {
            const X11AppIdentity identity = identities.value(client.pid);
            info.ownerName = identity.name;
            info.ownerBundleIdentifier = identity.bundleIdentifier;
        }
        result.append(info);
    }
    m_session.discardEvents();
    return result;
}

} // namespace qv
