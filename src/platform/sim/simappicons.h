#pragma once

#include <QHash>
#include <QImage>
#include <QStringList>

#include "platform/appicons.h"

namespace qv {

// Icons of the simulated applications: set per process or per identifier; every lookup is recorded.
class SimAppIcons final : public AppIconService
{
public:
    QImage applicationIcon(qint64 pid) override;
    QImage iconForBundle(const QString &bundleIdentifier) override;
    QList<InstalledApplication> installedApplications() override { return installed; }

    void setApplicationIcon(qint64 pid, const QImage &icon) { m_byPid.insert(pid, icon); }
    void setBundleIcon(const QString &bundleIdentifier, const QImage &icon)
    {
        m_byBundle.insert(bundleIdentifier, icon);
    }
    // What installedApplications answers, as the test set it.
    QList<InstalledApplication> installed;
    // "pid:N" or "bundle:ID" for each lookup, in order.
    QStringList lookups;

private:
    QHash<qint64, QImage> m_byPid;
    QHash<QString, QImage> m_byBundle;
};

} // namespace qv
