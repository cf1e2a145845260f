#include "app/relocation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

#include <cerrno>

#include "app/processcontrol.h"
#include "app/singleinstance.h"
#include "core/localization.h"
#include "platform/application.h"
#include "platform/installation.h"
#include "platform/ownedfiles.h"

namespace qv {

Q_LOGGING_CATEGORY(lcRelocation, "quorvantis.relocation")

namespace {

constexpr double quitAfterMoveDelay = 0.5;

QString resolved(const QString &path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(path) : canonical;
}

bool renamePath(const QString &from, const QString &to, QString *error)
{
    // Never over an entry: whatever appeared at `to` meanwhile is not ours to replace.
    if (OwnedFiles::moveEntry(from, to))
        return true;
    *error = QStringLiteral("%1: %2").arg(to, qt_error_string(errno));
    return false;
}

// Removes one of our own entries of the Applications folder; a link is removed, never followed.
bool removePath(const QString &path)
{
    return OwnedFiles::removeEntry(path);
}

// Copies a file, a symbolic link (as a link) or a whole folder.
bool copyPath(const QString &from, const QString &to, QString *error)
{
    const QFileInfo info(from);
    if (info.isSymLink()) {
        if (QFile::link(info.symLinkTarget(), to))
            return true;
        *error = QStringLiteral("%1: cannot create link").arg(to);
        return false;
    }
    if (!info.isDir()) {
        QFile file(from);
        if (file.copy(to))
            return true;
        *error = QStringLiteral("%1: %2").arg(from, file.errorString());
        return false;
    }
    if (!QDir().mkdir(to)) {
        *error = QStringLiteral("%1: cannot create folder").arg(to);
        return false;
    }
    const QFileInfoList entries =
        QDir(from).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : entries) {
        if (!copyPath(entry.filePath(), to + QLatin1Char('/') + entry.fileName(), error))
            return false;
    }
    return true;
}

} // namespace

Relocation::Relocation(InstallationService &installation, ApplicationService &application,
                       SettingsStore &settings, Scheduler &scheduler, SingleInstance &singleInstance,
                       ProcessControl &processes, QString program, QStringList arguments)
    : m_installation(installation), m_application(application), m_settings(settings), m_scheduler(scheduler),
      m_singleInstance(singleInstance), m_processes(processes), m_program(std::move(program)),
      m_arguments(std::move(arguments))
{
}

bool Relocation::isInApplicationsFolder()
{
    const QString systemFolder = m_installation.systemApplicationsFolder();
    if (systemFolder.isEmpty())
        return true;
    const QString path = resolved(m_installation.bundlePath());
    if (path.startsWith(resolved(systemFolder) + QLatin1Char('/')))
        return true;
    const QString home = m_installation.homeFolder();
    return !home.isEmpty() && path.startsWith(resolved(home) + QStringLiteral("/Applications/"));
}

Relocator::MoveAnswer Relocation::askToMoveToApplications()
{
    const AppLanguage language = Localization::storedLanguage(m_settings);
    InstallationService::Alert alert;
    alert.style = InstallationService::AlertStyle::informational;
    alert.message = Localization::text("move_title", language);
    alert.informativeText = Localization::text("move_body", language);
    alert.buttons = {Localization::text("move_btn", language), Localization::text("move_not_now", language),
                     Localization::text("move_quit", language)};
    switch (m_installation.runAlert(alert)) {
    case 0:
        return MoveAnswer::move;
    case 1:
        return MoveAnswer::notNow;
    default:
        return MoveAnswer::quit;
    }
}

void Relocation::moveToApplications()
{
    const QString source = m_installation.bundlePath();
    const QString name = QFileInfo(source).fileName();
    const QString folder = m_installation.systemApplicationsFolder();
    const QString destination = folder + QLatin1Char('/') + name;
    const QString incoming = folder + QStringLiteral("/.") + name + QStringLiteral(".incoming");
    const QString replaced = folder + QStringLiteral("/.") + name + QStringLiteral(".replaced");

    QString error;
    // Leftovers of an earlier move that was cut short.
    removePath(incoming);
    removePath(replaced);
    if (!copyPath(source, incoming, &error)) {
        removePath(incoming);
        showMoveFailure(error);
        return;
    }
    const QFileInfo existing(destination);
    const bool hadCopy = existing.exists() || existing.isSymLink();
    if (hadCopy && !renamePath(destination, replaced, &error)) {
        removePath(incoming);
        showMoveFailure(error);
        return;
    }
    if (!renamePath(incoming, destination, &error)) {
        QString restoreError;
        if (hadCopy)
            renamePath(replaced, destination, &restoreError);
        removePath(incoming);
        showMoveFailure(error);
        return;
    }
    if (hadCopy)
        removePath(replaced);

    error = m_installation.openNewInstance(destination);
    if (!error.isEmpty()) {
        showMoveFailure(error);
        return;
    }
    m_quitAfterMove = m_scheduler.after(quitAfterMoveDelay, [this] { m_application.terminate(); });
}

void Relocation::showMoveFailure(const QString &error)
{
    const AppLanguage language = Localization::storedLanguage(m_settings);
    InstallationService::Alert alert;
    alert.style = InstallationService::AlertStyle::warning;
    alert.message = Localization::text("move_failed", language);
    alert.informativeText = error;
    alert.buttons = {QStringLiteral("OK")};
    m_installation.runAlert(alert);
}

void Relocation::terminateOtherInstances()
{
    m_singleInstance.terminateOtherInstances();
}

QString Relocation::restartApp()
{
    const QString error = m_processes.startDetached(m_program, m_arguments);
    if (!error.isEmpty()) {
        qCWarning(lcRelocation).noquote()
            << QStringLiteral("❌ Restart failed, keeping this instance: ") + error;
        return error;
    }
    m_application.terminate();
    return {};
}

} // namespace qv
