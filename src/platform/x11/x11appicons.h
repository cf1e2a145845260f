#pragma once

#include "platform/appicons.h"

namespace qv {

class X11DesktopEntries;
class X11Session;

// Application icons on X11. A running application's icon is the best size of the _NET_WM_ICON of
// its frontmost window, else its desktop entry's icon through the icon theme; an application that
// has windows but neither gets a generic application icon, so its cards never go without one.
// iconForBundle answers the desktop entry's icon only (null for an identifier without one).
// Safe from any thread: the reads go through the thread-safe session and desktop entries, and
// installedApplications reads the desktop entries afresh.
class X11AppIcons final : public AppIconService
{
public:
    // The size icons are looked up for; larger ones are kept as they are.
    static constexpr int preferredSize = 128;

    X11AppIcons(X11Session &session, X11DesktopEntries &entries);

    QImage applicationIcon(qint64 pid) override;
    QImage iconForBundle(const QString &bundleIdentifier) override;
    // The desktop entries that are shown in menus.
    QList<InstalledApplication> installedApplications() override;

    // The icon shown for an application that names none.
    static QImage genericIcon();

private:
    static QImage drawGenericIcon();

    X11Session &m_session;
    X11DesktopEntries &m_entries;
};

} // namespace qv
