#include "app/relocation.h"

namespace qv {

bool Relocation::isInApplicationsFolder()
{
    calls.append(QStringLiteral("isInApplicationsFolder"));
    return inApplicationsFolder;
}

Relocation::MoveAnswer Relocation::askToMoveToApplications()
{
    calls.append(QStringLiteral("askToMoveToApplications"));
    return answer;
}

void Relocation::moveToApplications()
{
    calls.append(QStringLiteral("moveToApplications"));
}

void Relocation::terminateOtherInstances()
{
    calls.append(QStringLiteral("terminateOtherInstances"));
}

} // namespace qv
