#include "platform/sim/siminstallation.h"

namespace qv {

QString SimInstallation::openNewInstance(const QString &path)
{
    if (!openFailure.isEmpty())
        return openFailure;
    openedInstances.append(path);
    return {};
}

int SimInstallation::runAlert(const Alert &alert)
{
    alerts.append(alert);
    return alertAnswers.isEmpty() ? -1 : alertAnswers.takeFirst();
}

} // namespace qv
