#include "platform/sim/simappicons.h"

namespace qv {

QImage SimAppIcons::applicationIcon(qint64 pid)
{
    lookups.append(QStringLiteral("pid:%1").arg(pid));
    return m_byPid.value(pid);
}

QImage SimAppIcons::iconForBundle(const QString &bundleIdentifier)
{
    lookups.append(QStringLiteral("bundle:") + bundleIdentifier);
    return m_byBundle.value(bundleIdentifier);
}

} // namespace qv
