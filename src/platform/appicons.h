#pragma once

#include <QImage>
#include <QList>
#include <QString>

namespace qv {

// An application installed on the desktop, as a chooser lists it.
struct InstalledApplication
{
    // The identifier the window engine knows its windows by (on Linux the desktop-file id).
    QString bundleIdentifier;
    QString name;
    bool operator==(const InstalledApplication &) const = default;
};

// Icons of applications, and the installed applications they belong to. A null image means the
// application has no icon that way. Each may be called from any thread: the window scans read
// theirs on a queue of their own (a lookup may take trips to the window server), and
// iconForBundle and installedApplications read the desktop's files (hundreds of them).
class AppIconService
{
public:
    virtual ~AppIconService() = default;
    // The icon a running application shows for itself.
    virtual QImage applicationIcon(qint64 pid) = 0;
    // The icon installed for an application identifier (its desktop entry), running or not.
    virtual QImage iconForBundle(const QString &bundleIdentifier) = 0;
    // Every installed application as installed now, sorted by name (ignoring case); empty when none
    // can be listed.
    virtual QList<InstalledApplication> installedApplications() = 0;
};

} // namespace qv
