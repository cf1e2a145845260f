#pragma once

#include <QCoreApplication>
#include <QDir>

#include "platform/installation.h"

namespace qv {

// Linux has no folder applications must live in, so the running copy is always in place: there is
// no system applications folder, nothing is ever opened or asked, and an alert (never shown) answers
// "dismissed". Main thread.
class X11Installation final : public InstallationService
{
public:
    QString bundlePath() const override { return QCoreApplication::applicationFilePath(); }
    QString systemApplicationsFolder() const override { return {}; }
    QString homeFolder() const override { return QDir::homePath(); }
    QString openNewInstance(const QString &) override
    {
        return QStringLiteral("applications are not moved on this desktop");
    }
    int runAlert(const Alert &) override { return -1; }
};

} // namespace qv
