#pragma once

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "core/diagnostics/diagnosticsmanager.h"
#include "core/settingsstore.h"
#include "platform/sim/simfiledialogs.h"
#include "platform/sim/simfilerevealer.h"
#include "runtime/manualscheduler.h"
#include "runtime/workqueue.h"

namespace qv::test {

// The manual clock, except that while held every thread but the test's stops inside wallNow()
// until released.
class HeldClock final : public Scheduler
{
public:
    explicit HeldClock(ManualScheduler &inner) : m_inner(inner) {}

    double now() const override { return m_inner.now(); }
    double wallNow() const override
    {
        if (std::this_thread::get_id() != m_owner) {
            std::unique_lock lock(m_mutex);
            if (m_holding) {
                m_held = true;
                m_cv.notify_all();
                m_cv.wait(lock, [this] { return !m_holding; });
            }
        }
        return m_inner.wallNow();
    }
    TimerHandle after(double seconds, std::function<void()> fn) override
    {
        return m_inner.after(seconds, std::move(fn));
    }
    TimerHandle every(double seconds, std::function<void()> fn) override
    {
        return m_inner.every(seconds, std::move(fn));
    }
    void post(std::function<void()> fn) override { m_inner.post(std::move(fn)); }

    void hold()
    {
        std::lock_guard lock(m_mutex);
        m_holding = true;
    }
    bool waitUntilHeld()
    {
        std::unique_lock lock(m_mutex);
        return m_cv.wait_for(lock, std::chrono::seconds(5), [this] { return m_held; });
    }
    void release()
    {
        std::lock_guard lock(m_mutex);
        m_holding = false;
        m_cv.notify_all();
    }

private:
    ManualScheduler &m_inner;
    const std::thread::id m_owner = std::this_thread::get_id();
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_cv;
    bool m_holding = false;
    mutable bool m_held = false;
};

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
