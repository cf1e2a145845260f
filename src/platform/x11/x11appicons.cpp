#include "platform/x11/x11appicons.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>

#include "platform/icontheme.h"
#include "platform/x11/x11clientreader.h"
#include "platform/x11/x11desktopentries.h"
#include "platform/x11/x11session.h"

namespace qv {

X11AppIcons::X11AppIcons(X11Session &session, X11DesktopEntries &entries)
    : m_session(session), m_entries(entries)
{
}

QImage X11AppIcons::applicationIcon(qint64 pid)
{
    if (pid <= 0)
        return QImage();
    X11ClientReader reader(m_session);
    const std::optional<QList<xcb_window_t>> stacking = reader.clientsFrontToBack();
    if (!stacking)
        return QImage();
    QList<X11Client> own;
    for (const X11Client &client : reader.read(reader.possiblyOwnedBy(*stacking, pid))) {
        if (client.pid != pid)
            continue;
        const QImage icon = reader.icon(client.window, preferredSize);
        if (!icon.isNull())
            return icon;
        own.append(client);
    }
    if (own.isEmpty())
        return QImage();
    const X11Client first = X11ClientReader::firstPerProcess(own).value(pid);
    const X11AppIdentity identity = m_entries.identify(first);
    if (identity.hasDesktopEntry) {
        const QImage icon = m_entries.iconFor(identity.bundleIdentifier, preferredSize);
        if (!icon.isNull())
            return icon;
    }
    // Old programs (xclock) have neither: the icon theme often has one under their class name, as
    // the desktop's own panel finds it.
    QStringList names;
    for (const QString &name :
         {first.wmClass, first.wmInstance, first.wmClass.toLower(), first.wmInstance.toLower()}) {
        if (!name.isEmpty() && !names.contains(name) && !name.contains(u'/'))
            names.append(name);
    }
    for (const QString &name : std::as_const(names)) {
        const QImage icon = m_entries.iconNamed(name, preferredSize);
        if (!icon.isNull())
            return icon;
    }
    return genericIcon();
}

QImage X11AppIcons::iconForBundle(const QString &bundleIdentifier)
{
    return m_entries.iconFor(bundleIdentifier, preferredSize);
}

QList<InstalledApplication> X11AppIcons::installedApplications()
{
    // Applications installed while we run are offered without a restart.
    m_entries.refresh();
    QList<InstalledApplication> installed;
    for (const X11DesktopEntries::Entry &entry : m_entries.entries()) {
        if (!entry.noDisplay)
            installed.append({entry.id, entry.name.isEmpty() ? entry.id : entry.name});
    }
    std::sort(installed.begin(), installed.end(), [](const auto &a, const auto &b) {
        const int byName = QString::compare(a.name, b.name, Qt::CaseInsensitive);
        return byName != 0 ? byName < 0 : a.bundleIdentifier < b.bundleIdentifier;
    });
    return installed;
}

QImage X11AppIcons::genericIcon()
{
    // Drawn once: a storm of new programs without icons of their own asks for it at each.
    static const QImage icon = drawGenericIcon();
    return icon;
}

QImage X11AppIcons::drawGenericIcon()
{
    const QImage themed = themeIconImage(QStringLiteral("application-x-executable"), preferredSize);
    if (!themed.isNull())
        return themed;
    // No icon theme installed: a plain window shape, neutral enough for any application.
    QImage image(preferredSize, preferredSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF body(12, 20, preferredSize - 24, preferredSize - 40);
    QPainterPath outline;
    outline.addRoundedRect(body, 10, 10);
    painter.fillPath(outline, QColor(0x5a, 0x5f, 0x66));
    painter.fillRect(QRectF(body.left() + 8, body.top() + 22, body.width() - 16, body.height() - 30),
                     QColor(0xd8, 0xdc, 0xe0));
    return image;
}

} // namespace qv
