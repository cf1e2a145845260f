#pragma once

#include <QStringList>

namespace qv {

// Keeps one copy of the application running from the right place: the install-location check, the
// question to move, the move itself, and the end of other running copies.
//
// Stand-in until that work lands: it answers what its public fields say (by default: installed in
// place, so no question is asked) and records every call. It moves nothing and ends no process.
class Relocation
{
public:
    enum class MoveAnswer { move, notNow, quit };

    bool isInApplicationsFolder();
    MoveAnswer askToMoveToApplications();
    void moveToApplications();
    void terminateOtherInstances();

    bool inApplicationsFolder = true;
    MoveAnswer answer = MoveAnswer::notNow;
    // Names of the calls made, in order.
    QStringList calls;
};

} // namespace qv
