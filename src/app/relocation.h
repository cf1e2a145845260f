#pragma once

#include <QString>
#include <QStringList>

#include "app/shellparts.h"
#include "runtime/scheduler.h"

namespace qv {

class ApplicationService;
class InstallationService;
class ProcessControl;
class SettingsStore;
class SingleInstance;

// Keeps one copy of the application running from the right place: the installed-in-place test and
// the move there (only where the desktop has an applications folder: the simulated one), ending the
// other running copies of this user, and the restart. Main thread; lives for the whole run.
class Relocation final : public Relocator
{
public:
    // `program` and `arguments` are what a restart starts again (this executable and its arguments).
    Relocation(InstallationService &installation, ApplicationService &application, SettingsStore &settings,
               Scheduler &scheduler, SingleInstance &singleInstance, ProcessControl &processes,
               QString program, QStringList arguments);

    bool isInApplicationsFolder() override;
    MoveAnswer askToMoveToApplications() override;
    // Copies next to the destination first and replaces an older copy only once the copy is
    // complete, so a failed move leaves the installed copy as it was.
    void moveToApplications() override;
    // SingleInstance's, which runs once: start-up has already ended the other copies by this step.
    void terminateOtherInstances() override;
    QString restartApp() override;

private:
    void showMoveFailure(const QString &error);

    InstallationService &m_installation;
    ApplicationService &m_application;
    SettingsStore &m_settings;
    Scheduler &m_scheduler;
    SingleInstance &m_singleInstance;
    ProcessControl &m_processes;
    QString m_program;
    QStringList m_arguments;
    TimerHandle m_quitAfterMove;
};

} // namespace qv
