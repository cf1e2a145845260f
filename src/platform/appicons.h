#pragma once

#include <QImage>
#include <QString>

namespace qv {

// Icons of applications. A null image means the application has no icon that way. Main thread.
class AppIconService
{
public:
    virtual ~AppIconService() = default;
    // The icon a running application shows for itself.
    virtual QImage applicationIcon(qint64 pid) = 0;
    // The icon installed for an application identifier (its desktop entry), running or not.
    virtual QImage iconForBundle(const QString &bundleIdentifier) = 0;
};

} // namespace qv
