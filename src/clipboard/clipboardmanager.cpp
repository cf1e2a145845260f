#include "clipboard/clipboardmanager.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QMimeDatabase>
#include <QSet>
#include <QStandardPaths>

#include <array>
#include <cerrno>
#include <cstring>
#include <mutex>

#include "clipboard/graphemes.h"
#include "core/diagnostics/diagevents.h"
#include "core/eventlog.h"
#include "core/settingsstore.h"
#include "platform/imagedecoding.h"
#include "platform/memoryrelease.h"
#include "platform/ownedfiles.h"
#include "platform/pasteboard.h"
#include "platform/workspace.h"
#include "runtime/workqueue.h"

Q_DECLARE_LOGGING_CATEGORY(lcClipboardScan)
Q_LOGGING_CATEGORY(lcClipboard, "quorvantis.clipboard")

namespace qv {

namespace {

double seconds(qint64 nanos)
{
    return double(nanos) / 1e9;
}

QString imageSuffixFor(const QByteArray &head)
{
    const QMimeType type = QMimeDatabase().mimeTypeForData(head);
    const QString suffix =
        type.name().startsWith(QLatin1String("image/")) ? type.preferredSuffix() : QString();
    return suffix.isEmpty() ? QStringLiteral("png") : suffix;
}

QString newCachePath(const QString &folder, const QString &suffix)
{
    return QDir(folder).filePath(QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper() +
                                 QLatin1Char('.') + suffix);
}

// The thumbnail of a picture, decoded within the decoding budget, and the size it announced.
struct Decoded
{
    QImage thumbnail;
    QSize stated;
};

std::optional<Decoded> decodeThumbnail(const std::function<QImage(const QSize &, QSize *)> &read)
{
    const int limit = ClipboardManager::thumbnailMaxPixels;
    Decoded decoded;
    decoded.thumbnail = read(QSize(limit, limit), &decoded.stated);
    if (decoded.thumbnail.isNull())
        return std::nullopt;
    return decoded;
}

// Thumbnail, size and title of a cached image file.
std::optional<PreparedImageRecord> makeImageRecord(const QString &path, const Decoded &decoded)
{
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !decoded.thumbnail.save(&buffer, "PNG"))
        return std::nullopt;

    const int width = std::max(1, decoded.stated.width());
    const int height = std::max(1, decoded.stated.height());
    PreparedImageRecord record;
    record.fileURL = QUrl::fromLocalFile(path);
    record.thumbnailData = png;
    record.thumbnailSize = decoded.thumbnail.size();
    record.imageSize = QSize(width, height);
    record.title = QStringLiteral("Image • %1×%2").arg(width).arg(height);
    return record;
}

// Removes a cached image file; anything that is not an entry of the image folder is left alone.
void removeCachedFile(const QString &folder, const QString &path)
{
    if (!path.isEmpty())
        OwnedFiles::removeInside(folder, path);
}

std::optional<PreparedImageRecord> recordOrDiscard(const QString &folder, const QString &path,
                                                   const Decoded &decoded)
{
    auto record = makeImageRecord(path, decoded);
    if (!record)
        removeCachedFile(folder, path);
    return record;
}

QString dedupeKey(const ClipboardItem &item)
{
    if (item.isImage) {
        if (item.imageURL.isEmpty())
            return QLatin1String("img:") + item.id.toString(QUuid::WithoutBraces);
        return QLatin1String("img:") + item.imageURL.toString();
    }
    // The real text, not the mask: two different secrets that mask alike are different items.
    return QLatin1String("txt:") + item.realText();
}

} // namespace

struct ClipboardManager::CachedFiles
{
    explicit CachedFiles(const QString &folder) : folder(folder) {}

    const QString folder;
    std::mutex mutex;
    bool closed = false;
    QSet<QString> unclaimed;

    // False once the manager is gone: the job then leaves nothing behind.
    bool claimLater(const QString &path)
    {
        std::lock_guard lock(mutex);
        if (closed)
            return false;
        unclaimed.insert(path);
        return true;
    }

    void claim(const QString &path)
    {
        std::lock_guard lock(mutex);
        unclaimed.remove(path);
    }

    bool isClosed()
    {
        std::lock_guard lock(mutex);
        return closed;
    }

    void close()
    {
        std::lock_guard lock(mutex);
        closed = true;
        for (const QString &path : std::as_const(unclaimed))
            removeCachedFile(folder, path);
        unclaimed.clear();
    }
};

struct ClipboardManager::Check
{
    std::function<void(bool)> done;
    std::function<bool()> isCancelled;
    // The change the retries are about, and what its first snapshot announced.
    qint64 changeCount = 0;
    int firstTypesCount = 0;
    int attempt = 1;
};

ClipboardManager::ClipboardManager(Pasteboard &pasteboard, WorkspaceService &workspace, Scheduler &scheduler,
                                   WorkQueueFactory &queues, SettingsStore &settings, EventLog &eventLog,
                                   const QString &cacheDirectory, QObject *parent)
    : QObject(parent), m_pasteboard(pasteboard), m_workspace(workspace), m_scheduler(scheduler),
      m_settings(settings), m_eventLog(eventLog),
      m_cacheDirectory(cacheDirectory.isEmpty() ? defaultCacheDirectory() : cacheDirectory),
      m_scanQueue(queues.makeQueue(QStringLiteral("Quorvantis.ClipboardScan"), QueueKind::Serial)),
      m_imageProcessQueue(
          queues.makeQueue(QStringLiteral("Quorvantis.ClipboardImageProcess"), QueueKind::Serial)),
      m_cachedFiles(std::make_shared<CachedFiles>(m_cacheDirectory)),
      m_thumbnails(std::make_shared<ThumbnailCache>(
          scheduler, queues.makeQueue(QStringLiteral("Quorvantis.ThumbnailDecode"), QueueKind::Concurrent)))
{
    // Whatever is on the clipboard now is not a new copy.
    m_lastChangeCount = m_pasteboard.changeCount();
    const OwnedFiles::Folder folder(m_cacheDirectory, OwnedFiles::Folder::Mode::Create);
    if (!folder.refusal().isEmpty()) {
        // A link (say to the user's pictures) is never swept nor written into: images are not kept.
        log(DiagEvents::folderRefused, OwnedFiles::warnRefused(folder, QStringLiteral("clipboard images")));
    }
    cleanupOrphanedImages();
    startPolling();
    // Where the desktop reports each change, each one is checked at once: copies made within one
    // polling period would otherwise leave only the last, and a copy would wait up to a period.
    QPointer<ClipboardManager> self(this);
    m_pasteboard.setChangeHandler([self, mainThread = &m_scheduler] {
        mainThread->post([self] {
            if (self && self->m_polling)
                self->checkNow();
        });
    });

    applyDebugLogging();
    connect(&m_settings, &SettingsStore::changed, this, [this](const QString &key) {
        if (key == Settings::diagnosticsEnabled.key())
            applyDebugLogging();
    });

    connect(&m_workspace, &WorkspaceService::screensDidSleep, this, &ClipboardManager::screensDidSleep);
    connect(&m_workspace, &WorkspaceService::willSleep, this, &ClipboardManager::screensDidSleep);
    connect(&m_workspace, &WorkspaceService::screensDidWake, this, &ClipboardManager::screensDidWake);
    connect(&m_workspace, &WorkspaceService::didWake, this, &ClipboardManager::screensDidWake);
}

ClipboardManager::~ClipboardManager()
{
    m_pasteboard.setChangeHandler({});
    m_thumbnails->close();
    stopPolling();
    m_debounceTimer.cancel();
    abandonCaptures();
}

void ClipboardManager::abandonCaptures()
{
    // Captures cut short by quitting leave no files: those cached but not yet listed, and those of
    // items still waiting for the quiet period. Queued image jobs are skipped, not waited for.
    m_cachedFiles->close();
    for (const auto &item : std::as_const(m_pendingItems))
        removeImageFile(item.imageURL);
    m_pendingItems.clear();
}

QString ClipboardManager::defaultCacheDirectory()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation))
        .filePath(QStringLiteral("QuorvantisClipboard"));
}

// Polling

void ClipboardManager::startPolling()
{
    stopPolling();
    m_polling = true;
    m_pollInterval = minPollInterval;
    schedulePoll();
}

void ClipboardManager::stopPolling()
{
    ++m_pollGeneration;
    m_pollTimer.cancel();
    m_polling = false;
}

void ClipboardManager::schedulePoll()
{
    const quint64 generation = m_pollGeneration;
    QPointer<ClipboardManager> self(this);
    auto stale = [self, generation] { return !self || self->m_pollGeneration != generation; };
    m_pollTimer = m_scheduler.after(seconds(currentPollInterval()), [self, stale] {
        if (stale())
            return;
        self->checkPasteboard(
            [self, stale](bool captured) {
                if (stale())
                    return;
                // A change without payloads (our own copy, nothing readable) counts as idle.
                self->m_pollInterval = captured
                                           ? minPollInterval
                                           : std::min(self->m_pollInterval + intervalStep, maxPollInterval);
                self->schedulePoll();
            },
            stale);
    });
}

bool ClipboardManager::isScanDebugLogging()
{
    return lcClipboardScan().isDebugEnabled();
}

void ClipboardManager::applyDebugLogging()
{
    // QT_LOGGING_RULES in the environment still has the last word.
    QLoggingCategory::setFilterRules(m_settings.get(Settings::diagnosticsEnabled)
                                         ? QStringLiteral("quorvantis.clipboard.scan.debug=true")
                                         : QString());
}

qint64 ClipboardManager::currentPollInterval() const
{
    // Each change is reported and checked as it happens; polling only catches a lost report.
    return m_pasteboard.reportsChanges() ? safetyPollInterval : m_pollInterval;
}

void ClipboardManager::screensDidSleep()
{
    stopPolling();
}

void ClipboardManager::screensDidWake()
{
    // What was copied while asleep is not captured.
    m_lastChangeCount = m_pasteboard.changeCount();
    startPolling();
}

void ClipboardManager::checkNow()
{
    checkPasteboard();
}

// Checks

void ClipboardManager::checkPasteboard(std::function<void(bool)> done, std::function<bool()> isCancelled)
{
    auto check = std::make_shared<Check>();
    check->done = std::move(done);
    check->isCancelled = std::move(isCancelled);
    runSnapshot(check);
}

void ClipboardManager::runSnapshot(const std::shared_ptr<Check> &check)
{
    const qint64 last = m_lastChangeCount;
    const std::optional<qint64> selfCopy = m_selfCopyChangeCount;
    Pasteboard *pasteboard = &m_pasteboard;
    Scheduler *scheduler = &m_scheduler;
    QPointer<ClipboardManager> self(this);
    m_scanQueue->async([pasteboard, scheduler, self, check, last, selfCopy] {
        ScanResult result = takeSnapshot(*pasteboard, last, selfCopy);
        scheduler->post([self, check, result = std::move(result)] {
            if (self)
                self->finishSnapshot(check, result);
        });
    });
}

void ClipboardManager::finishCheck(const std::shared_ptr<Check> &check, bool captured)
{
    if (check->done)
        check->done(captured);
}

void ClipboardManager::finishSnapshot(const std::shared_ptr<Check> &check, const ScanResult &result)
{
    if (!result.didChange) {
        finishCheck(check, false);
        return;
    }
    // Another check (a one-shot check overlapping a poll) or a copy back already dealt with this
    // change, or a newer one, while the snapshot was on its way; handling it again would duplicate its
    // items. Change counts only grow.
    if (result.changeCount <= m_lastChangeCount) {
        finishCheck(check, false);
        return;
    }
    m_lastChangeCount = result.changeCount;
    if (result.isSelfCopy) {
        m_selfCopyChangeCount.reset();
        finishCheck(check, false);
        return;
    }
    if (!result.payloads.isEmpty()) {
        handleScanResult(result.payloads);
        log(DiagEvents::clipboardSnapshotStatus,
            QStringLiteral("attempt=1, availableTypesCount=%1, resolved=true, source=%2")
                .arg(result.availableTypesCount)
                .arg(result.sourceName == thisMac ? thisComputer : result.sourceName));
        finishCheck(check, true);
        return;
    }
    if (result.availableTypesCount < 1) {
        finishCheck(check, false);
        return;
    }
    // Types announced but nothing readable yet: the owner may still be preparing its data.
    check->changeCount = result.changeCount;
    check->firstTypesCount = result.availableTypesCount;
    check->attempt = 2;
    scheduleRetry(check);
}

void ClipboardManager::scheduleRetry(const std::shared_ptr<Check> &check)
{
    QPointer<ClipboardManager> self(this);
    m_scheduler.after(seconds(retryNanos), [self, check] {
        if (!self)
            return;
        if (check->isCancelled && check->isCancelled()) {
            self->logSnapshotFailure(check);
            self->finishCheck(check, false);
            return;
        }
        Pasteboard *pasteboard = &self->m_pasteboard;
        Scheduler *scheduler = &self->m_scheduler;
        const qint64 expected = check->changeCount;
        self->m_scanQueue->async([pasteboard, scheduler, self, check, expected] {
            ScanResult result = retrySnapshot(*pasteboard, expected);
            scheduler->post([self, check, result = std::move(result)] {
                if (self)
                    self->finishRetry(check, result);
            });
        });
    });
}

void ClipboardManager::finishRetry(const std::shared_ptr<Check> &check, const ScanResult &result)
{
    if (!result.payloads.isEmpty()) {
        handleScanResult(result.payloads);
        log(DiagEvents::clipboardSnapshotStatus,
            QStringLiteral("attempt=%1, availableTypesCount=%2, resolved=true, source=universal_guess")
                .arg(check->attempt)
                .arg(result.availableTypesCount));
        finishCheck(check, true);
        return;
    }
    if (check->attempt >= maxSnapshotAttempts) {
        logSnapshotFailure(check);
        finishCheck(check, false);
        return;
    }
    ++check->attempt;
    scheduleRetry(check);
}

void ClipboardManager::logSnapshotFailure(const std::shared_ptr<Check> &check)
{
    log(DiagEvents::clipboardSnapshotStatus,
        QStringLiteral("attempt=%1, availableTypesCount=%2, resolved=false, source=universal_guess")
            .arg(maxSnapshotAttempts)
            .arg(check->firstTypesCount));
}

// Making items

void ClipboardManager::handleScanResult(const QList<ScanPayload> &payloads)
{
    QPointer<ClipboardManager> self(this);
    Scheduler *scheduler = &m_scheduler;
    const QString folder = m_cacheDirectory;
    for (const auto &payload : payloads) {
        switch (payload.kind) {
        case ScanPayload::Text:
            addTextItem(payload.text, payload.source);
            break;
        case ScanPayload::ImageData:
        case ScanPayload::ImageFileURL:
            m_imageProcessQueue->async([self, scheduler, folder, payload, files = m_cachedFiles] {
                if (files->isClosed())
                    return;
                QString notKept;
                QString refused;
                const auto record = payload.kind == ScanPayload::ImageData
                                        ? cacheImageData(payload.imageData, folder, &notKept, &refused)
                                        : cacheImageFile(payload.fileURL, folder, &notKept, &refused);
                // The transfer and the decoded picture are freed by now; their pages go back.
                releaseFreeMemory();
                if (!record) {
                    if (!refused.isEmpty()) {
                        scheduler->post([self, refused] {
                            if (self)
                                self->reportImageRefused(refused);
                        });
                    }
                    if (!notKept.isEmpty()) {
                        scheduler->post([self, notKept] {
                            if (self)
                                self->reportImageNotKept(notKept);
                        });
                    }
                    return;
                }
                const QString path = record->fileURL.toLocalFile();
                if (!files->claimLater(path)) {
                    removeCachedFile(folder, path);
                    return;
                }
                scheduler->post([self, record = *record, source = payload.source, files, path] {
                    files->claim(path);
                    if (self)
                        self->addImageItem(record, source);
                    else
                        removeCachedFile(files->folder, path);
                });
            });
            break;
        }
    }
}

void ClipboardManager::addTextItem(const QString &text, const QString &source)
{
    const QString cut = cappedText(text, maxTextLength, maxTextUnitsPerCharacter);
    // Copying the same text twice in a row stores it once.
    auto isRepeat = [&](const ClipboardItem &newest) {
        return !newest.isImage && newest.realText() == cut && newest.deviceSource == source;
    };
    if (!m_history.isEmpty() && isRepeat(m_history.first()))
        return;
    if (!m_pendingItems.isEmpty() && isRepeat(m_pendingItems.first()))
        return;

    const bool masking = m_settings.get(Settings::maskSensitiveClipboard);
    const bool sensitive = isSensitiveText(cut);
    ClipboardItem item;
    item.id = QUuid::createUuid();
    item.date = nowDate();
    item.deviceSource = source;
    item.isSensitive = sensitive;
    if (sensitive && masking) {
        item.text = maskedText(cut);
        item.rawText = cut;
    } else {
        item.text = cut;
    }
    enqueuePending(item);
}

void ClipboardManager::addImageItem(const PreparedImageRecord &record, const QString &source)
{
    // Only the PNG is kept: the views decode what they show. Its size was measured on the image queue.
    const QSize thumbnailSize = record.thumbnailSize;
    if (thumbnailSize.isEmpty() || record.thumbnailData.isEmpty()) {
        removeImageFile(record.fileURL);
        return;
    }
    ClipboardItem item;
    item.id = QUuid::createUuid();
    item.text = record.title;
    item.date = nowDate();
    item.isImage = true;
    item.imageURL = record.fileURL;
    item.thumbnail = ItemThumbnail(record.thumbnailData, thumbnailSize, 1, m_thumbnails);
    item.imageSize = record.imageSize;
    item.deviceSource = source;
    enqueuePending(item);
}

// A picture is decoded before anything is written: one that does not decode, or would cost more than
// the decoding budget, leaves nothing in the cache.
namespace {

// Writes a copied picture into the image folder; `notKept` receives why it could not be.
bool writeCachedImage(const QString &folder, const QString &path, const QByteArray &bytes, QString *notKept)
{
    int error = 0;
    if (OwnedFiles::writeNewFile(folder, path, bytes, 0600, &error))
        return true;
    if (notKept)
        *notKept = error == ENOTDIR ? QStringLiteral("the folder is refused")
                                    : QString::fromLocal8Bit(std::strerror(error));
    return false;
}

} // namespace

std::optional<PreparedImageRecord> ClipboardManager::cacheImageData(const QByteArray &bytes,
                                                                    const QString &folder, QString *notKept,
                                                                    QString *refused)
{
    const auto decoded = decodeThumbnail([&](const QSize &fit, QSize *stated) {
        return ImageDecoding::readData(bytes, fit, stated, refused);
    });
    if (!decoded)
        return std::nullopt;
    const QString path = newCachePath(folder, imageSuffixFor(bytes.left(4096)));
    if (!writeCachedImage(folder, path, bytes, notKept))
        return std::nullopt;
    return recordOrDiscard(folder, path, *decoded);
}

std::optional<PreparedImageRecord> ClipboardManager::cacheImageFile(const QUrl &fileURL,
                                                                    const QString &folder, QString *notKept,
                                                                    QString *refused)
{
    const QString source = QDir::cleanPath(fileURL.toLocalFile());
    const auto decoded = decodeThumbnail([&](const QSize &fit, QSize *stated) {
        return ImageDecoding::readFile(source, fit, stated, refused);
    });
    if (!decoded)
        return std::nullopt;
    // The file the user copied, read once more within the bound of a clipboard image; a pipe or a
    // device put in its place is not read.
    const auto read = OwnedFiles::readRegularFile(source, maxImageBytes, OwnedFiles::Links::Follow);
    if (read.problem != OwnedFiles::ReadResult::None)
        return std::nullopt;
    QString suffix = QFileInfo(source).suffix().trimmed();
    if (suffix.isEmpty())
        suffix = imageSuffixFor(read.bytes.left(4096));
    const QString path = newCachePath(folder, suffix);
    if (!writeCachedImage(folder, path, read.bytes, notKept))
        return std::nullopt;
    return recordOrDiscard(folder, path, *decoded);
}

void ClipboardManager::reportImageRefused(const QString &cause)
{
    qCWarning(lcClipboard).noquote()
        << QStringLiteral("⚠️ A copied picture was not taken: %1").arg(cause);
    log(DiagEvents::clipboardImageRefused, cause);
}

void ClipboardManager::reportImageNotKept(const QString &cause)
{
    // A full disk or an unwritable folder fails every copy alike: said once per cause.
    if (m_imageProblemsTold.contains(cause))
        return;
    m_imageProblemsTold.insert(cause);
    qCWarning(lcClipboard).noquote() << QStringLiteral("⚠️ Copied images are not kept in %1: %2")
                                            .arg(m_cacheDirectory, cause);
    log(DiagEvents::clipboardImageNotKept, cause);
}

// The history

void ClipboardManager::enqueuePending(const ClipboardItem &item)
{
    for (const auto &pending : std::as_const(m_pendingItems)) {
        if (!item.isImage && !pending.isImage && pending.realText() == item.realText())
            return;
        if (item.isImage && !item.imageURL.isEmpty() && pending.imageURL == item.imageURL)
            return;
    }
    m_pendingItems.prepend(item);
    // A flood of copies never gives the quiet period: what would fall out of the history at the
    // flush anyway leaves now, so the list and the flush stay bounded however long it lasts.
    if (m_pendingItems.size() > maxHistory)
        removeImageFilesLater({m_pendingItems.takeLast().imageURL});

    m_debounceTimer.cancel();
    QPointer<ClipboardManager> self(this);
    m_debounceTimer = m_scheduler.after(seconds(debounceNanos), [self] {
        if (self)
            self->flushPending();
    });
    log(DiagEvents::clipboardChange, QStringLiteral("type=%1, pending=%2")
                                         .arg(item.isImage ? QStringLiteral("image") : QStringLiteral("text"))
                                         .arg(m_pendingItems.size()));
}

void ClipboardManager::flushPending()
{
    if (m_pendingItems.isEmpty())
        return;
    const QList<ClipboardItem> batch = std::exchange(m_pendingItems, {});

    QList<ClipboardItem> merged;
    merged.reserve(batch.size() + m_history.size());
    QSet<QString> seen;
    const std::array<const QList<ClipboardItem> *, 2> lists{&batch, &m_history};
    for (const auto *list : lists) {
        for (const auto &item : *list) {
            const QString key = dedupeKey(item);
            if (seen.contains(key))
                continue;
            seen.insert(key);
            merged.append(item);
        }
    }
    QList<QUrl> leaving;
    if (merged.size() > maxHistory) {
        for (qsizetype i = maxHistory; i < merged.size(); ++i)
            leaving.append(merged.at(i).imageURL);
        merged.resize(maxHistory);
    }
    keepImagesWithinBudget(merged, leaving);
    removeImageFilesLater(std::move(leaving));
    setHistory(std::move(merged));
    emit didCapture();
    log(DiagEvents::clipboardFlush,
        QStringLiteral("flushed=%1, total=%2").arg(batch.size()).arg(m_history.size()));
}

void ClipboardManager::keepImagesWithinBudget(QList<ClipboardItem> &items, QList<QUrl> &leaving) const
{
    qint64 total = 0;
    int dropped = 0;
    qint64 droppedBytes = 0;
    // Newest first: once the budget is spent, every older image leaves.
    for (qsizetype i = 0; i < items.size();) {
        const ClipboardItem &item = items.at(i);
        if (!item.isImage || item.imageURL.isEmpty()) {
            ++i;
            continue;
        }
        const qint64 size = QFileInfo(item.imageURL.toLocalFile()).size();
        if (total + size <= m_imageCacheBudgetBytes && dropped == 0) {
            total += size;
            ++i;
            continue;
        }
        ++dropped;
        droppedBytes += size;
        leaving.append(item.imageURL);
        items.removeAt(i);
    }
    if (dropped > 0)
        qCInfo(lcClipboard).noquote()
            << QStringLiteral("📋 The image cache is over its budget of %1 MB: the %2 oldest images left the "
                              "history (%3 MB)")
                   .arg(m_imageCacheBudgetBytes / 1000000)
                   .arg(dropped)
                   .arg(droppedBytes / 1000000);
}

void ClipboardManager::copyToPasteboard(const ClipboardItem &item)
{
    // A picture goes back at once, as its file: reading it, and converting it for a program that
    // asks for another type, wait until someone pastes, off the main thread.
    const QString path = item.isImage ? item.imageURL.toLocalFile() : QString();
    const QMimeType type = path.isEmpty() ? QMimeType() : QMimeDatabase().mimeTypeForFile(path);
    // An image whose file is gone goes back as its title.
    const qint64 count = type.name().startsWith(QLatin1String("image/")) && ImageDecoding::isRegularFile(path)
                             ? m_pasteboard.writeImageFile(path, type.name(), WriteOrigin::copyBack)
                             : m_pasteboard.writeText(item.realText(), WriteOrigin::copyBack);
    m_selfCopyChangeCount = count;
    m_lastChangeCount = count;
}

void ClipboardManager::deleteItem(const ClipboardItem &item)
{
    removeImageFile(item.imageURL);
    QList<ClipboardItem> history = m_history;
    if (history.removeIf([&](const ClipboardItem &entry) { return entry.id == item.id; }) > 0)
        setHistory(std::move(history));
}

void ClipboardManager::clearHistory()
{
    QList<QUrl> leaving;
    for (const auto &item : std::as_const(m_history))
        leaving.append(item.imageURL);
    removeImageFilesLater(std::move(leaving));
    setHistory({});
}

void ClipboardManager::cleanupOrphanedImages()
{
    QSet<QString> kept;
    for (const auto &item : std::as_const(m_history)) {
        if (!item.imageURL.isEmpty())
            kept.insert(QDir::cleanPath(item.imageURL.toLocalFile()));
    }
    // On the image queue, ahead of any caching, so a freshly cached image is never swept.
    m_imageProcessQueue->async([folder = m_cacheDirectory, kept] {
        // Only entries of a real folder of ours, by descriptor: a link in the folder's place (to
        // the user's pictures, say) is never swept.
        const OwnedFiles::Folder dir(folder);
        for (const QByteArray &name : dir.entryNames()) {
            const QString path = QDir::cleanPath(folder + QLatin1Char('/') + QFile::decodeName(name));
            if (!name.startsWith('.') && !kept.contains(path))
                dir.removeEntry(name);
        }
    });
}

void ClipboardManager::removeImageFile(const QUrl &url) const
{
    if (!url.isEmpty())
        removeCachedFile(m_cacheDirectory, url.toLocalFile());
}

void ClipboardManager::removeImageFilesLater(QList<QUrl> urls) const
{
    urls.removeAll(QUrl());
    if (urls.isEmpty())
        return;
    // Hundreds of files leave at once when a flood of copied pictures lands: unlinking them took
    // the main thread over half a second. Queued behind the captures, which never reuse a name.
    m_imageProcessQueue->async([folder = m_cacheDirectory, urls = std::move(urls)] {
        for (const QUrl &url : urls)
            removeCachedFile(folder, url.toLocalFile());
    });
}

void ClipboardManager::setHistory(QList<ClipboardItem> history)
{
    if (history == m_history)
        return;
    m_history = std::move(history);
    emit historyChanged();
}

void ClipboardManager::log(const QString &name, const QString &detail) const
{
    m_eventLog.log(name, detail);
}

QDateTime ClipboardManager::nowDate() const
{
    return QDateTime::fromMSecsSinceEpoch(qint64(m_scheduler.wallNow() * 1000.0));
}

} // namespace qv
