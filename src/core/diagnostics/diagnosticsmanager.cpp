#include "core/diagnostics/diagnosticsmanager.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMutex>
#include <QPointer>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUuid>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cmath>
#include <fcntl.h>
#include <sys/utsname.h>
#include <unistd.h>

#include "core/diagnostics/diagnosticssanitizer.h"
#include "core/diagnostics/mainthreadwatchdog.h"
#include "core/diagnostics/zipwriter.h"
#include "core/settingsstore.h"
#include "platform/filedialogs.h"
#include "platform/filerevealer.h"
#include "platform/ownedfiles.h"
#include "runtime/scheduler.h"
#include "runtime/workqueue.h"

namespace qv {

Q_LOGGING_CATEGORY(lcDiagnostics, "quorvantis.diagnostics")

namespace {

const QString logQueueLabel = QStringLiteral("com.quorvantis.diagnostics.log");
const QString exportQueueLabel = QStringLiteral("com.quorvantis.diagnostics.export");

const QStringList exportedSettingsKeys = {
    QStringLiteral("launchAtLogin"),
    QStringLiteral("showMenuBarIcon"),
    QStringLiteral("enableGlobalSwitcher"),
    QStringLiteral("ignoreSingleWindow"),
    QStringLiteral("showOnlyCurrentSpace"),
    QStringLiteral("sortMinimizedLast"),
    QStringLiteral("maskSensitiveClipboard"),
    QStringLiteral("animationSpeed"),
    QStringLiteral("blurAmount"),
    QStringLiteral("glowEffect"),
    QStringLiteral("hoverDelay"),
    QStringLiteral("enablePeeking"),
    QStringLiteral("enableSnapHaptic"),
    QStringLiteral("enableSnapSound"),
    QStringLiteral("popupEdge"),
    QStringLiteral("enableModuleHotkeys"),
    QStringLiteral("diagnosticsEnabled"),
    QStringLiteral("clipboardKeyCode"),
    QStringLiteral("shelfKeyCode"),
    QStringLiteral("customKeyCode"),
    QStringLiteral("appLanguage"),
};

qint64 toMillis(double seconds)
{
    return std::llround(seconds * 1000.0);
}

// "yyyy-MM-ddTHH:mm:ss.zzzZ" in UTC. Every recorded event pays for this on the caller's thread;
// QDateTime's general formatter costs several times more.
QString isoTimestampWithMillis(qint64 msecs)
{
    using namespace std::chrono;
    const sys_time<milliseconds> time{milliseconds(msecs)};
    const sys_days day = floor<days>(time);
    const year_month_day date{day};
    const hh_mm_ss<milliseconds> clock{time - day};
    char buffer[32];
    const int length = std::snprintf(buffer, sizeof buffer, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ",
                                     int(date.year()), unsigned(date.month()), unsigned(date.day()),
                                     int(clock.hours().count()), int(clock.minutes().count()),
                                     int(clock.seconds().count()), int(clock.subseconds().count()));
    return QString::fromLatin1(buffer, length);
}

QString localStamp(qint64 msecs)
{
    return QDateTime::fromMSecsSinceEpoch(msecs).toString(QStringLiteral("yyyyMMdd_HHmmss"));
}

// ".log" files of the folder (exact, lower-case extension), by full path, highest first. A link or
// anything but a folder of ours in the folder's place is not listed.
QStringList listLogFiles(const QString &directory)
{
    QStringList paths;
    if (!OwnedFiles::Folder(directory).isOpen())
        return paths;
    const QFileInfoList entries = QDir(directory).entryInfoList(QDir::Files | QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : entries) {
        if (entry.suffix() == QLatin1String("log"))
            paths.append(entry.absoluteFilePath());
    }
    std::sort(paths.begin(), paths.end(), std::greater<>());
    return paths;
}

bool writeAll(int fd, const QByteArray &bytes)
{
    const char *data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, size_t(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        left -= written;
    }
    return true;
}

QString writeFileAtomically(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return QStringLiteral("Could not write %1: %2").arg(path, file.errorString());
    return {};
}

} // namespace

QJsonObject DiagnosticsManager::DiagEvent::toJson() const
{
    return QJsonObject{{QStringLiteral("timestamp"), timestamp},
                       {QStringLiteral("name"), name},
                       {QStringLiteral("detail"), detail}};
}

std::optional<DiagnosticsManager::DiagEvent>
DiagnosticsManager::DiagEvent::fromJson(const QJsonObject &object)
{
    const QJsonValue timestamp = object.value(QStringLiteral("timestamp"));
    const QJsonValue name = object.value(QStringLiteral("name"));
    const QJsonValue detail = object.value(QStringLiteral("detail"));
    if (!timestamp.isString() || !name.isString() || !detail.isString())
        return std::nullopt;
    return DiagEvent{timestamp.toString(), name.toString(), detail.toString()};
}

// Everything the queued work needs, shared so that work still queued when the recorder goes away
// finds it gone (through its weak reference) instead of touching a destroyed object.
struct DiagnosticsManager::Core : std::enable_shared_from_this<DiagnosticsManager::Core>
{
    Core(SettingsStore &settings, Scheduler &scheduler, FileDialogs &dialogs, FileRevealer &revealer,
         QString directory, std::weak_ptr<WorkQueue> queue)
        : settings(settings), scheduler(scheduler), dialogs(dialogs), revealer(revealer),
          logDirectory(std::move(directory)), logQueue(std::move(queue))
    {
    }
    ~Core() { closeLogFile(); }

    void log(const QString &name, const QString &detail);

    // Log queue only.
    void writeLine(const QByteArray &line);
    void openNewLogFile();
    void openLogFileIfNeeded();
    void rotateIfNeeded();
    void pruneOldLogFiles();
    void closeLogFile();

    QList<DiagEvent> ringCopy() const
    {
        QMutexLocker lock(&ringLock);
        return ringBuffer;
    }
    void runExport(const QString &destination);
    // An export job holds the core, which holds references to the settings, the clock and the
    // revealer; those go away soon after the recorder does. The recorder therefore lets running
    // jobs finish before it goes, and jobs that start later do nothing.
    bool beginExportJob();
    void endExportJob();
    void closeExportJobs();
    QString buildExportArchive(const QString &destination) const;
    QJsonObject settingsSnapshot() const;
    QString readmeText() const;

    SettingsStore &settings;
    Scheduler &scheduler;
    FileDialogs &dialogs;
    FileRevealer &revealer;
    const QString logDirectory;
    const std::weak_ptr<WorkQueue> logQueue;
    // Set once at start-up, before any export reads them.
    QString buildVersion;
    QString buildRevision;

    mutable QMutex ringLock;
    QList<DiagEvent> ringBuffer;

    QMutex exportJobsLock;
    // Waits in our own code, where a thread checker sees the lock released and retaken.
    std::condition_variable_any exportJobsDone;
    int runningExportJobs = 0;
    bool exportJobsClosed = false;

    // Touched only on the log queue. The path and opening time outlive a close, so the first line
    // after re-enabling checks the previous file for rotation.
    int logFd = -1;
    QString currentLogFilePath;
    std::optional<qint64> currentLogFileCreationMs;
};

void DiagnosticsManager::Core::log(const QString &name, const QString &detail)
{
    if (!settings.get(Settings::diagnosticsEnabled))
        return;
    QString timestamp = isoTimestampWithMillis(toMillis(scheduler.wallNow()));

    QString line;
    line.reserve(timestamp.size() + name.size() + detail.size() + 8);
    line += QLatin1Char('[') + timestamp + QLatin1String("] ") + name;
    if (!detail.isEmpty())
        line += QLatin1String(" | ") + detail;
    line += QLatin1Char('\n');

    {
        QMutexLocker lock(&ringLock);
        if (ringBuffer.size() >= ringCapacity)
            ringBuffer.removeFirst();
        ringBuffer.append(DiagEvent{std::move(timestamp), name, detail});
    }

    if (auto queue = logQueue.lock()) {
        queue->async([weak = weak_from_this(), bytes = line.toUtf8()] {
            if (auto core = weak.lock())
                core->writeLine(bytes);
        });
    }
}

void DiagnosticsManager::Core::writeLine(const QByteArray &line)
{
    rotateIfNeeded();
    if (logFd < 0)
        openNewLogFile();
    // A line that cannot be written is dropped; the ring still holds its event.
    if (logFd >= 0)
        writeAll(logFd, line);
}

void DiagnosticsManager::Core::openNewLogFile()
{
    const qint64 nowMs = toMillis(scheduler.wallNow());
    const QString path =
        logDirectory + QStringLiteral("/quorvantis_") + localStamp(nowMs) + QStringLiteral(".log");
    // Only inside the folder of ours, never through a link in its place or at the file's name.
    // Append, never truncate: a second file opened within the same second has the same name, and
    // the first one's lines must survive it.
    const OwnedFiles::Folder folder(logDirectory);
    const QByteArray name = folder.entryName(path);
    if (name.isEmpty())
        return;
    const int fd = ::openat(folder.descriptor(), name.constData(),
                            O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    logFd = fd;
    currentLogFilePath = path;
    currentLogFileCreationMs = nowMs;
}

void DiagnosticsManager::Core::openLogFileIfNeeded()
{
    if (logFd >= 0)
        return;
    rotateIfNeeded();
    openNewLogFile();
}

void DiagnosticsManager::Core::rotateIfNeeded()
{
    if (currentLogFilePath.isEmpty() || !currentLogFileCreationMs)
        return;
    const QFileInfo info(currentLogFilePath);
    // Unreadable attributes leave only the age rule.
    const bool tooLarge = info.exists() && info.size() >= maxLogFileSize;
    const qint64 ageMs = toMillis(scheduler.wallNow()) - *currentLogFileCreationMs;
    if (!tooLarge && ageMs < maxLogFileAgeSeconds * 1000)
        return;
    closeLogFile();
    currentLogFilePath.clear();
    currentLogFileCreationMs.reset();
    pruneOldLogFiles();
}

void DiagnosticsManager::Core::pruneOldLogFiles()
{
    const QStringList files = listLogFiles(logDirectory);
    const OwnedFiles::Folder folder(logDirectory);
    for (qsizetype i = keptLogFiles; i < files.size(); ++i)
        folder.removeEntry(folder.entryName(files.at(i)));
}

void DiagnosticsManager::Core::closeLogFile()
{
    if (logFd >= 0)
        ::close(logFd);
    logFd = -1;
}

QJsonObject DiagnosticsManager::Core::settingsSnapshot() const
{
    QJsonObject snapshot;
    for (const QString &key : exportedSettingsKeys) {
        const QVariant value = settings.value(key);
        if (value.isValid())
            snapshot.insert(key, DiagnosticsSanitizer::sanitizeValue(QJsonValue::fromVariant(value), key));
    }
    return snapshot;
}

QString DiagnosticsManager::Core::readmeText() const
{
    const QString exportTime =
        QDateTime::fromSecsSinceEpoch(qint64(std::floor(scheduler.wallNow())), Qt::UTC).toString(Qt::ISODate);
    // os-release(5): /etc/os-release first, else /usr/lib/os-release. Distributions often make the
    // first a link to the second; a link is not read, so that one is then read directly.
    OwnedFiles::ReadResult osRelease;
    for (const char *path : {"/etc/os-release", "/usr/lib/os-release"}) {
        osRelease = OwnedFiles::readRegularFile(QString::fromLatin1(path), maxOsReleaseBytes);
        if (osRelease.problem == OwnedFiles::ReadResult::None)
            break;
    }
    QString kernel;
    struct utsname names;
    if (::uname(&names) == 0)
        kernel = QString::fromUtf8(names.sysname) + QLatin1Char(' ') + QString::fromUtf8(names.release);
    const QStringList lines = {
        QStringLiteral("Quorvantis Diagnostics Export"),
        QString(29, QLatin1Char('=')),
        QStringLiteral("Export Time: ") + exportTime,
        versionLine(buildVersion, buildRevision),
        systemLine(osRelease.problem == OwnedFiles::ReadResult::None ? osRelease.bytes : QByteArray(),
                   kernel),
        QString(),
        QStringLiteral("Contents:"),
        QStringLiteral("- logs/           Recent log files"),
        QStringLiteral("- recent_events.json   Last 50 diagnostic events"),
        QStringLiteral("- settings.json   App settings (sanitized)"),
        QStringLiteral("- README.txt      This file"),
    };
    return lines.join(QLatin1Char('\n'));
}

QString DiagnosticsManager::versionLine(const QString &version, const QString &revision)
{
    QString line = QStringLiteral("App Version: ") + (version.isEmpty() ? QStringLiteral("?") : version);
    if (!revision.isEmpty())
        line += QStringLiteral(" (") + revision + QLatin1Char(')');
    return line;
}

QString DiagnosticsManager::systemLine(const QByteArray &osRelease, const QString &kernel)
{
    // Shell-style assignments; the last one of a name counts. A value may be quoted, and inside
    // double quotes a backslash escapes the next character.
    const auto value = [&osRelease](const QByteArray &name) {
        QByteArray found;
        for (const QByteArray &raw : osRelease.split('\n')) {
            const QByteArray line = raw.trimmed();
            if (!line.startsWith(name + '='))
                continue;
            QByteArray text = line.mid(name.size() + 1);
            const char quote = text.isEmpty() ? 0 : text.front();
            if ((quote == '"' || quote == '\'') && text.size() >= 2 && text.back() == quote) {
                text = text.mid(1, text.size() - 2);
                if (quote == '"') {
                    QByteArray plain;
                    for (qsizetype i = 0; i < text.size(); ++i) {
                        if (text.at(i) == '\\' && i + 1 < text.size())
                            ++i;
                        plain += text.at(i);
                    }
                    text = plain;
                }
            }
            found = text;
        }
        QString shown = QString::fromUtf8(found).left(maxSystemNameLength);
        shown.removeIf([](QChar c) { return c.category() == QChar::Other_Control; });
        return shown.trimmed();
    };
    QString name = value("PRETTY_NAME");
    if (name.isEmpty())
        name = value("NAME");
    QStringList parts;
    if (!name.isEmpty())
        parts << name;
    if (!kernel.isEmpty())
        parts << kernel;
    return QStringLiteral("System: ") +
           (parts.isEmpty() ? QStringLiteral("Linux") : parts.join(QStringLiteral(", ")));
}

void DiagnosticsManager::Core::runExport(const QString &destination)
{
    const QString problem = buildExportArchive(destination);
    if (problem.isEmpty()) {
        scheduler.post([weak = weak_from_this(), destination] {
            if (auto core = weak.lock())
                core->revealer.revealFile(destination, {});
        });
        return;
    }
    // The description names paths and may quote file contents; it passes the rules like the rest.
    log(DiagEvents::exportError, DiagnosticsSanitizer::sanitizeText(problem));
}

bool DiagnosticsManager::Core::beginExportJob()
{
    QMutexLocker lock(&exportJobsLock);
    if (exportJobsClosed)
        return false;
    ++runningExportJobs;
    return true;
}

void DiagnosticsManager::Core::endExportJob()
{
    QMutexLocker lock(&exportJobsLock);
    if (--runningExportJobs == 0)
        exportJobsDone.notify_all();
}

void DiagnosticsManager::Core::closeExportJobs()
{
    QMutexLocker lock(&exportJobsLock);
    exportJobsClosed = true;
    while (runningExportJobs > 0)
        exportJobsDone.wait(exportJobsLock);
}

QString DiagnosticsManager::Core::buildExportArchive(const QString &destination) const
{
    const QString folder = QDir::tempPath() + QStringLiteral("/QuorvantisDiag_") +
                           QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    if (!QDir().mkpath(folder))
        return QStringLiteral("Could not create the folder %1").arg(folder);
    const auto fail = [&folder](const QString &problem) {
        // The temporary folder is the system's; only our own entry in it goes.
        OwnedFiles::removeEntry(folder);
        return problem;
    };

    const QString logs = folder + QStringLiteral("/logs");
    if (!QDir().mkdir(logs))
        return fail(QStringLiteral("Could not create the folder %1").arg(logs));

    const QStringList logFiles = listLogFiles(logDirectory);
    for (qsizetype i = 0; i < std::min<qsizetype>(keptLogFiles, logFiles.size()); ++i) {
        // An unreadable file is left out: nothing goes into the archive unsanitised. So is anything
        // but a regular file (a link to a device, a pipe) and a file far past the size our logs
        // rotate at, which keeps the export's memory bounded.
        const auto read = OwnedFiles::readRegularFile(logFiles.at(i), maxExportedLogBytes);
        if (read.problem != OwnedFiles::ReadResult::None) {
            qCWarning(lcDiagnostics).noquote()
                << QStringLiteral("⚠️ Log file %1 left out of the export: %2")
                       .arg(logFiles.at(i), read.description);
            continue;
        }
        // Lossy decoding keeps a damaged log exportable; every byte still passes the rules.
        const QString text = QString::fromUtf8(read.bytes);
        const QString problem =
            writeFileAtomically(logs + QLatin1Char('/') + QFileInfo(logFiles.at(i)).fileName(),
                                DiagnosticsSanitizer::sanitizeText(text).toUtf8());
        if (!problem.isEmpty())
            return fail(problem);
    }

    // The events are sanitised as values, field by field, so there is no encoded form that could
    // fail to parse back and slip through unsanitised.
    QJsonArray events;
    for (const DiagEvent &event : ringCopy())
        events.append(event.toJson());
    const QJsonValue sanitizedEvents = DiagnosticsSanitizer::sanitizeValue(events);
    const QByteArray eventsJson = QJsonDocument(sanitizedEvents.toArray()).toJson(QJsonDocument::Indented);
    QString problem = writeFileAtomically(folder + QStringLiteral("/recent_events.json"), eventsJson);
    if (!problem.isEmpty())
        return fail(problem);
    const QByteArray settingsJson = QJsonDocument(settingsSnapshot()).toJson(QJsonDocument::Indented);
    problem = writeFileAtomically(folder + QStringLiteral("/settings.json"), settingsJson);
    if (!problem.isEmpty())
        return fail(problem);

    problem = writeFileAtomically(folder + QStringLiteral("/README.txt"), readmeText().toUtf8());
    if (!problem.isEmpty())
        return fail(problem);

    // Written next to the destination and renamed over it: a failed write is a failed export.
    problem = ZipWriter::writeFolder(folder, destination);
    if (!problem.isEmpty())
        return fail(problem);
    fail(QString());
    return {};
}

DiagnosticsManager::DiagnosticsManager(QObject *parent) : QObject(parent) {}

DiagnosticsManager::DiagnosticsManager(SettingsStore &settings, Scheduler &scheduler,
                                       WorkQueueFactory &queues, FileDialogs &dialogs, FileRevealer &revealer,
                                       const QString &logDirectory, QObject *parent)
    : QObject(parent), m_logQueue(queues.makeQueue(logQueueLabel, QueueKind::Serial)),
      m_exportQueue(queues.makeQueue(exportQueueLabel, QueueKind::Concurrent))
{
    d = std::make_shared<Core>(settings, scheduler, dialogs, revealer, logDirectory, m_logQueue);
    // A folder that cannot be made only makes every open fail later; the ring keeps working. One
    // that is refused (a link, a file in its place) is said once, here.
    const OwnedFiles::Folder folder(logDirectory, OwnedFiles::Folder::Mode::Create);
    const bool refused = !folder.isOpen() && !folder.refusal().isEmpty();
    const QString refusal = refused ? OwnedFiles::warnRefused(folder, QStringLiteral("the diagnostics log"))
                                    : QString();
    if (settings.get(Settings::diagnosticsEnabled))
        enable();
    if (refused)
        d->log(DiagEvents::folderRefused, refusal);
}

DiagnosticsManager::~DiagnosticsManager()
{
    finishWrites();
}

void DiagnosticsManager::finishWrites()
{
    if (d)
        d->closeExportJobs();
    std::shared_ptr<Core> core;
    {
        std::unique_lock lock(m_coreLock);
        core = std::move(d);
    }
    // A thread queue finishes what was queued before it goes; posted work then finds the core gone.
    m_logQueue.reset();
    m_exportQueue.reset();
    core.reset();
}

QString DiagnosticsManager::defaultLogDirectory()
{
    QString state;
#if QT_VERSION >= QT_VERSION_CHECK(6, 7, 0)
    state = QStandardPaths::writableLocation(QStandardPaths::GenericStateLocation);
#else
    state = qEnvironmentVariable("XDG_STATE_HOME");
    // The XDG rules ignore a relative path.
    if (state.isEmpty() || QDir::isRelativePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
#endif
    return state + QStringLiteral("/Quorvantis");
}

void DiagnosticsManager::setWatchdog(MainThreadWatchdog *watchdog)
{
    m_watchdog = watchdog;
    if (d && m_watchdog && d->settings.get(Settings::diagnosticsEnabled))
        m_watchdog->start();
}

void DiagnosticsManager::log(const QString &name, const QString &detail)
{
    std::shared_lock lock(m_coreLock);
    if (d)
        d->log(name, detail);
}

void DiagnosticsManager::enable()
{
    if (!d)
        return;
    m_logQueue->async([weak = std::weak_ptr<Core>(d)] {
        if (auto core = weak.lock())
            core->openLogFileIfNeeded();
    });
}

void DiagnosticsManager::disable()
{
    if (!d)
        return;
    if (m_watchdog)
        m_watchdog->stop();
    m_logQueue->async([weak = std::weak_ptr<Core>(d)] {
        if (auto core = weak.lock())
            core->closeLogFile();
    });
}

QList<QUrl> DiagnosticsManager::logFileURLs() const
{
    QList<QUrl> urls;
    std::shared_lock lock(m_coreLock);
    if (!d)
        return urls;
    for (const QString &path : listLogFiles(d->logDirectory))
        urls.append(QUrl::fromLocalFile(path));
    return urls;
}

int DiagnosticsManager::bufferedEventCount() const
{
    std::shared_lock coreLock(m_coreLock);
    if (!d)
        return 0;
    QMutexLocker lock(&d->ringLock);
    return int(d->ringBuffer.size());
}

QList<DiagnosticsManager::DiagEvent> DiagnosticsManager::recentEvents() const
{
    std::shared_lock lock(m_coreLock);
    return d ? d->ringCopy() : QList<DiagEvent>();
}

QString DiagnosticsManager::logDirectory() const
{
    return d ? d->logDirectory : QString();
}

void DiagnosticsManager::exportDiagnostics()
{
    if (!d)
        return;
    FileDialogs::SaveRequest request;
    request.suggestedName = QStringLiteral("Quorvantis_Diagnostics_") +
                            localStamp(toMillis(d->scheduler.wallNow())) + QStringLiteral(".zip");
    request.suffix = QStringLiteral("zip");
    request.kindName = QStringLiteral("ZIP archive");
    d->dialogs.askSaveFile(request, [self = QPointer<DiagnosticsManager>(this)](const QString &path) {
        if (path.isEmpty() || !self)
            return;
        self->m_exportQueue->async([weak = std::weak_ptr<Core>(self->d), path] {
            const auto core = weak.lock();
            if (!core || !core->beginExportJob())
                return;
            core->runExport(path);
            core->endExportJob();
        });
    });
}

void DiagnosticsManager::runExport(const QString &destination)
{
    if (d)
        d->runExport(destination);
}

QString DiagnosticsManager::buildExportArchive(const QString &destination) const
{
    return d ? d->buildExportArchive(destination) : QStringLiteral("Diagnostics are not available");
}

QJsonObject DiagnosticsManager::settingsSnapshot() const
{
    return d ? d->settingsSnapshot() : QJsonObject();
}

QString DiagnosticsManager::readmeText() const
{
    return d ? d->readmeText() : QString();
}

void DiagnosticsManager::setBuildVersion(const QString &version, const QString &revision)
{
    if (d) {
        d->buildVersion = version;
        d->buildRevision = revision;
    }
}

} // namespace qv
