#pragma once

#include <QString>
#include <QStringList>

namespace qv {

// Where this copy of the application is installed and where applications belong, with the two
// things moving it there needs: opening the moved copy and asking the user. Main thread.
//
// A desktop without a folder applications belong in (X11: programs live wherever the package
// manager or the user put them) answers an empty systemApplicationsFolder(); the copy then always
// counts as installed in place and nothing else here is called.
class InstallationService
{
public:
    enum class AlertStyle { informational, warning };
    struct Alert
    {
        AlertStyle style = AlertStyle::informational;
        QString message;
        QString informativeText;
        QStringList buttons; // left to right as the user reads them; the first is the default
    };

    virtual ~InstallationService() = default;

    // The running copy's path as started (not resolved); empty when unknown.
    virtual QString bundlePath() const = 0;
    // The system-wide folder applications belong in, without a trailing "/"; empty when none.
    virtual QString systemApplicationsFolder() const = 0;
    // The user's home folder; its "Applications" subfolder also counts as installed.
    virtual QString homeFolder() const = 0;

    // Opens a new instance of the application at `path`, even while one of that name runs. Empty on
    // success, else a description of why it did not start.
    virtual QString openNewInstance(const QString &path) = 0;
    // Shows the alert modally; the index of the button pressed, -1 when dismissed without one.
    virtual int runAlert(const Alert &alert) = 0;
};

} // namespace qv
