#pragma once

#include <QList>

#include "platform/installation.h"

namespace qv {

// The simulated installation. Paths are real paths (tests point them into temporary folders so a
// move really copies files); by default the copy sits in "/Applications", so a run by hand is never
// asked to move. Records every alert and every instance opened; answers alerts from a script.
class SimInstallation final : public InstallationService
{
public:
    QString bundlePath() const override { return bundle; }
    QString systemApplicationsFolder() const override { return applicationsFolder; }
    QString homeFolder() const override { return home; }
    QString openNewInstance(const QString &path) override;
    int runAlert(const Alert &alert) override;

    QString bundle = QStringLiteral("/Applications/Quorvantis.app");
    QString applicationsFolder = QStringLiteral("/Applications");
    QString home = QStringLiteral("/Users/sim");

    // The next alerts' answers, in order; with none left an alert is dismissed (-1).
    QList<int> alertAnswers;
    QList<Alert> alerts;
    // Opening fails with this description while it is set.
    QString openFailure;
    QStringList openedInstances;
};

} // namespace qv
