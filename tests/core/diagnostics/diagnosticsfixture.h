#pragma once

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

#include "core/diagnostics/diagnosticsmanager.h"
#include "core/settingsstore.h"
#include "platform/sim/simfiledialogs.h"
#include "platform/sim/simfilerevealer.h"
#include "runtime/manualscheduler.h"
#include "runtime/workqueue.h"

namespace qv::test {

// A recorder on a manual clock whose queues run when the test advances it. Wall time starts at
// 2023-11-14T22:13:20.123Z.
class DiagnosticsFixture : public ::testing::Test
{
protected:
    void makeManager(bool enabled)
    {
        settings.set(Settings::diagnosticsEnabled, enabled);
        manager =
            std::make_unique<DiagnosticsManager>(settings, scheduler, queues, dialogs, revealer, logDir());
    }
    QString logDir() const { return root.path() + QStringLiteral("/state/Quorvantis"); }
    // Names of every entry of the log folder, sorted.
    QStringList folderEntries() const { return QDir(logDir()).entryList(QDir::Files | QDir::NoDotAndDotDot); }
    QStringList logFiles() const
    {
        return QDir(logDir()).entryList({QStringLiteral("*.log")}, QDir::Files | QDir::CaseSensitive,
                                        QDir::Name);
    }
    QByteArray readLog(const QString &name) const
    {
        QFile file(logDir() + QLatin1Char('/') + name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    static void writeFile(const QString &path, const QByteArray &bytes)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    // Log files of an earlier run, named "quorvantis_20200101_0000NN.log" from NN = 00 on.
    static void writeOldLogs(const QString &folder, int count, const QByteArray &bytes)
    {
        if (count > 0)
            QDir().mkpath(folder);
        for (int i = 0; i < count; ++i)
            writeFile(folder +
                          QStringLiteral("/quorvantis_20200101_0000%1.log").arg(i, 2, 10, QLatin1Char('0')),
                      bytes);
    }

    QTemporaryDir root;
    ManualScheduler scheduler{1000.0, 1700000000.123};
    SchedulerQueueFactory queues{scheduler};
    SettingsStore settings;
    SimFileDialogs dialogs;
    SimFileRevealer revealer;
    std::unique_ptr<DiagnosticsManager> manager;
};

} // namespace qv::test
