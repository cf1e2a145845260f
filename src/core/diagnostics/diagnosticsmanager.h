#pragma once

#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>

#include <memory>
#include <optional>
#include <shared_mutex>

#include "core/diagnostics/diagevents.h"
#include "core/eventlog.h"

namespace qv {

class FileDialogs;
class FileRevealer;
class MainThreadWatchdog;
class Scheduler;
class SettingsStore;
class WorkQueue;
class WorkQueueFactory;

// Opt-in event recorder. While "diagnosticsEnabled" is on, every log() call keeps the event in a
// ring of the newest 50 and appends one line to a rotating log file in the log folder; while it is
// off, log() costs one settings read and records nothing. The flag is read on every call, so
// recording follows the setting at once, whether or not the file work has caught up.
//
// Log lines are "[" + UTC time with milliseconds + "] " + name, then " | " + detail when the detail
// is not empty. Files are "quorvantis_yyyyMMdd_HHmmss.log" (local time of opening), always opened
// for appending; one stays open between lines and is replaced once it reaches 2 MiB or 7 days, after
// which only the ten newest ".log" files of the folder are kept (plus the one opened next).
//
// Threads: log(), bufferedEventCount(), recentEvents() and logFileURLs() may be called from any
// thread; everything else from the main thread. All file work of the log runs in order on the
// serial queue "com.quorvantis.diagnostics.log"; queued work holds the recorder weakly. Failures of
// the log are swallowed: an unopenable file drops its lines (the ring still keeps them) and the next
// line tries again.
//
// The diagnostics export (exportDiagnostics) asks where to save, then on a worker queue builds a
// ZIP with the sanitised newest log files, the ring, a settings snapshot and a README, writes it to
// the chosen place and reveals it. A failure is only recorded as the event "export_error".
class DiagnosticsManager : public QObject, public EventLog
{
    Q_OBJECT
public:
    struct DiagEvent
    {
        QString timestamp; // ISO 8601, UTC, milliseconds, "Z"
        QString name;
        QString detail;

        QJsonObject toJson() const;
        // Needs "timestamp", "name" and "detail", all texts.
        static std::optional<DiagEvent> fromJson(const QJsonObject &object);
        bool operator==(const DiagEvent &) const = default;
    };

    static constexpr int ringCapacity = 50;
    static constexpr qint64 maxLogFileSize = 2097152;      // bytes
    static constexpr qint64 maxLogFileAgeSeconds = 604800; // 7 days
    static constexpr int keptLogFiles = 10;
    // The largest log file the export takes; ours rotate at maxLogFileSize.
    static constexpr qint64 maxExportedLogBytes = 4 * maxLogFileSize;

    // A quiet recorder: records nothing, writes nothing, exports nothing.
    explicit DiagnosticsManager(QObject *parent = nullptr);
    // The real recorder. Creates the log folder (an error is ignored) and, when "diagnosticsEnabled"
    // is on, enables the log. The dialogs and the revealer serve the export.
    DiagnosticsManager(SettingsStore &settings, Scheduler &scheduler, WorkQueueFactory &queues,
                       FileDialogs &dialogs, FileRevealer &revealer,
                       const QString &logDirectory = defaultLogDirectory(), QObject *parent = nullptr);
    // Waits for an export job that is running, finishes the file work already queued, then closes
    // the log file.
    ~DiagnosticsManager() override;

    // "Quorvantis" in the XDG state folder ($XDG_STATE_HOME, else ~/.local/state).
    static QString defaultLogDirectory();

    // The watchdog started and stopped with the log. When diagnostics are on, it is started here.
    void setWatchdog(MainThreadWatchdog *watchdog);
    MainThreadWatchdog *watchdog() const { return m_watchdog; }
    // Finishes the log lines and any export still queued, and records nothing more; for the end of
    // the run. Callers on other threads that are inside log() at that moment are waited for (a call
    // takes microseconds); later calls record nothing. Main thread.
    void finishWrites();

    // Records one event (pass an empty detail when there is none). Any thread; never fails.
    void log(const QString &name, const QString &detail = QString()) override;

    // Queues the opening of a log file unless one is open (the settings page calls this after
    // storing the flag on, then starts the watchdog itself). Returns at once.
    void enable();
    // Stops the watchdog, then queues the closing of the log file. Returns at once.
    void disable();

    // The ".log" files of the log folder, newest first; empty when the folder cannot be listed.
    QList<QUrl> logFileURLs() const;
    int bufferedEventCount() const;
    // A copy of the ring, oldest first.
    QList<DiagEvent> recentEvents() const;
    QString logDirectory() const;

    // Main thread: asks where to save the archive and, when a place is chosen, runs the export on a
    // worker queue; success reveals the archive, failure records "export_error". Nothing else.
    void exportDiagnostics();
    // The export job itself (any thread): build, then reveal on the main thread or record the failure.
    void runExport(const QString &destination);
    // Builds the archive at `destination`. Returns an empty string on success, else the failure.
    QString buildExportArchive(const QString &destination) const;
    // The exported settings that have a value (stored or registered default), each sanitised under its key.
    QJsonObject settingsSnapshot() const;
    QString readmeText() const;
    // The build the README names: its version and, when it was built from a git checkout, the
    // revision. Main thread, at start-up before any export.
    void setBuildVersion(const QString &version, const QString &revision);
    // The README's version line: "App Version: 0.1.0 (1a2b3c4)", the version alone without a
    // revision, "?" for a missing version.
    static QString versionLine(const QString &version, const QString &revision);
    // The README's system line from the text of os-release(5) and the kernel as `uname -sr` names
    // it: "System: Debian GNU/Linux 12 (bookworm), Linux 6.1.0-18-amd64" (PRETTY_NAME, else NAME).
    static QString systemLine(const QByteArray &osRelease, const QString &kernel);
    static constexpr qint64 maxOsReleaseBytes = 65536;
    static constexpr int maxSystemNameLength = 200;

private:
    struct Core;
    // Held shared by every call that may come from another thread while it uses the core, and
    // exclusively to let the core go: a worker or the watchdog may be inside log() at the quit.
    mutable std::shared_mutex m_coreLock;
    std::shared_ptr<Core> d;
    std::shared_ptr<WorkQueue> m_logQueue;
    std::shared_ptr<WorkQueue> m_exportQueue;
    MainThreadWatchdog *m_watchdog = nullptr;
};

} // namespace qv
