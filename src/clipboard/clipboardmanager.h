#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QSize>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

#include "clipboard/clipboarditem.h"
#include "clipboard/scanresult.h"
#include "runtime/scheduler.h"

namespace qv {

class EventLog;
class Pasteboard;
class PasteboardSnapshot;
class SettingsStore;
class WorkQueue;
class WorkQueueFactory;
class WorkspaceService;

// The result of caching one copied image.
struct PreparedImageRecord
{
    // The copy inside the clipboard image folder.
    QUrl fileURL;
    // PNG of the thumbnail, at most 320 pixels on the longer side, and its pixel size.
    QByteArray thumbnailData;
    QSize thumbnailSize;
    QSize imageSize;
    // "Image • " + width + "×" + height.
    QString title;
};

// The clipboard history of the running process.
//
// Capture starts in the constructor: the change count on the pasteboard at that moment is taken as
// seen (what is on the clipboard then never becomes an item), the image folder is emptied, and the
// pasteboard is polled every 180 ms, backing off by 120 ms per idle poll to 900 ms and snapping back
// after a capture; where the pasteboard reports changes as they happen, each change is checked at
// once instead and the poll is only a safety net every 15 s. A change is read on the
// "Quorvantis.ClipboardScan" queue; texts become items at once, images are copied into the image
// folder with a thumbnail on "Quorvantis.ClipboardImageProcess".
// New items wait in a pending list (the newest 500) and are merged into `history` (newest first, at
// most 500 items) once 250 ms pass without another; the files of images that leave are deleted on
// the image queue. Polling stops while the screens or the system sleep; what is copied meanwhile is
// not captured.
//
// Main thread only. Nothing is persisted: the history lives in memory, and each start empties the
// image folder. Every escaping callback holds the manager weakly and does nothing once it is gone.
class ClipboardManager : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QList<qv::ClipboardItem> history READ history NOTIFY historyChanged)
public:
    static constexpr int maxHistory = 500;
    // Periods in nanoseconds, so the back-off adds up exactly.
    static constexpr qint64 minPollInterval = 180000000;
    static constexpr qint64 maxPollInterval = 900000000;
    static constexpr qint64 intervalStep = 120000000;
    static constexpr qint64 safetyPollInterval = 15000000000;
    static constexpr qint64 debounceNanos = 250000000;
    static constexpr qint64 retryNanos = 200000000;
    static constexpr int maxSnapshotAttempts = 5;
    // A text is cut to this many characters (grapheme clusters) and at most four UTF-16 units for
    // each, so a held text never exceeds 400,000 units whatever marks it stacks.
    static constexpr int maxTextLength = 100000;
    static constexpr int maxTextUnitsPerCharacter = 4;
    static constexpr qint64 maxImageBytes = 50000000;
    static constexpr int thumbnailMaxPixels = 320;
    // What the cached files of the history's images may take in all; past it the oldest image
    // items leave the history. One copy of many files makes one item per file, so this is the only
    // limit on such a copy.
    static constexpr qint64 defaultImageCacheBudgetBytes = 1024LL * 1024 * 1024;
    // The source of everything copied on this machine. The name is kept as stored histories and the
    // item views know it; what a person reads (the diagnostics log) names it as this desktop does.
    static inline const QString thisMac = QStringLiteral("This Mac");
    static inline const QString thisComputer = QStringLiteral("This Computer");

    // cacheDirectory empty: "QuorvantisClipboard" in the XDG cache folder.
    ClipboardManager(Pasteboard &pasteboard, WorkspaceService &workspace, Scheduler &scheduler,
                     WorkQueueFactory &queues, SettingsStore &settings, EventLog &eventLog,
                     const QString &cacheDirectory = QString(), QObject *parent = nullptr);
    ~ClipboardManager() override;

    static QString defaultCacheDirectory();

    QList<ClipboardItem> history() const { return m_history; }
    QList<ClipboardItem> pendingItems() const { return m_pendingItems; }
    QString cacheDirectory() const { return m_cacheDirectory; }
    // The period the polling loop waits before its next check, in seconds.
    double pollInterval() const { return double(currentPollInterval()) / 1e9; }
    bool isPolling() const { return m_polling; }

    // For the end of the run, which waits for no worker: removes the images of captures not yet
    // listed, and makes the image work still queued or running keep nothing. Also on destruction.
    void abandonCaptures();

    // Whether the scan's "📋 [ClipboardDebug]" lines are printed now.
    static bool isScanDebugLogging();

    // One check outside the polling loop (the "clipboard" route runs it when it shows the history).
    // Leaves the polling period alone.
    void checkNow();
    // Looks at the pasteboard once; `done` receives true exactly when a snapshot produced payloads
    // that were handed on. `isCancelled` is asked between retries.
    void checkPasteboard(std::function<void(bool)> done = {}, std::function<bool()> isCancelled = {});

    void enqueuePending(const ClipboardItem &item);
    void flushPending();
    // Puts an item back on the clipboard at once: an image item's file (its own bytes under its own
    // type, other types made from it when a program asks) while the file is there, else the real
    // (unmasked) text. The change this makes is recognised as ours and not captured.
    void copyToPasteboard(const ClipboardItem &item);
    // Removes every history item with this id and deletes its image file (even when it is no longer
    // in the history). Pending items are left alone.
    void deleteItem(const ClipboardItem &item);
    // Empties the history and deletes every history item's image file (on the image queue); pending
    // items still arrive.
    void clearHistory();

    // Sensitive-text classifier and mask. Pure; callable from any thread.
    static bool isSensitiveText(const QString &text);
    static QString maskedText(const QString &text);

    // Reads one pasteboard snapshot into payloads. Pure apart from reading the files it names;
    // callable from any thread.
    static ScanResult scanPasteboard(const PasteboardSnapshot &pasteboard, qint64 changeCount);
    // A file URL, or a path given as text; empty when the string holds neither.
    static QUrl parseFileURLString(const QString &string);
    // Plain text (the longest of the items' when the pasteboard has none of its own), else rich text;
    // trimmed; nothing when all of it is blank.
    static std::optional<QString> extractText(const PasteboardSnapshot &pasteboard, const QStringList &types);
    static std::optional<QString> extractRichText(const PasteboardSnapshot &pasteboard,
                                                  const QStringList &types);

    // Reads the pasteboard after the change count moved; own copies are reported, not scanned.
    static ScanResult takeSnapshot(Pasteboard &pasteboard, qint64 lastChangeCount,
                                   std::optional<qint64> selfCopyChangeCount);
    static ScanResult retrySnapshot(Pasteboard &pasteboard, qint64 expectedChangeCount);

    qint64 imageCacheBudgetBytes() const { return m_imageCacheBudgetBytes; }
    void setImageCacheBudgetBytes(qint64 bytes) { m_imageCacheBudgetBytes = bytes; }

    // Copy a copied image into `folder` and make its thumbnail; nothing when it does not decode or
    // cannot be written.
    // `notKept` receives why a picture could not be written into the folder (nothing when it did
    // not decode, or was written); `refused`, why the decoder refused it by its header (too many
    // pixels, too costly).
    static std::optional<PreparedImageRecord> cacheImageData(const QByteArray &bytes, const QString &folder,
                                                             QString *notKept = nullptr,
                                                             QString *refused = nullptr);
    static std::optional<PreparedImageRecord> cacheImageFile(const QUrl &fileURL, const QString &folder,
                                                             QString *notKept = nullptr,
                                                             QString *refused = nullptr);

signals:
    void historyChanged();
    // New copies reached the history ("ClipboardManager.didCapture"); the status item flashes.
    void didCapture();

private:
    struct Check;

    void startPolling();
    void stopPolling();
    void schedulePoll();
    qint64 currentPollInterval() const;
    // The scan's debug lines follow "diagnosticsEnabled" (QT_LOGGING_RULES may turn them on too).
    void applyDebugLogging();
    void screensDidSleep();
    void screensDidWake();
    void runSnapshot(const std::shared_ptr<Check> &check);
    void finishSnapshot(const std::shared_ptr<Check> &check, const ScanResult &result);
    void scheduleRetry(const std::shared_ptr<Check> &check);
    void finishRetry(const std::shared_ptr<Check> &check, const ScanResult &result);
    void handleScanResult(const QList<ScanPayload> &payloads);
    void addTextItem(const QString &text, const QString &source);
    void addImageItem(const PreparedImageRecord &record, const QString &source);
    // One console line and one "clipboard_image_not_kept" event for each cause, the first time.
    void reportImageNotKept(const QString &cause);
    // One console line and one "clipboard_image_refused" event for every picture refused unread.
    void reportImageRefused(const QString &cause);
    void cleanupOrphanedImages();
    // Deletes an item's file when it is an entry of the image folder.
    void removeImageFile(const QUrl &url) const;
    // The same for many files, on the image queue.
    void removeImageFilesLater(QList<QUrl> urls) const;
    void setHistory(QList<ClipboardItem> history);
    void finishCheck(const std::shared_ptr<Check> &check, bool captured);
    void logSnapshotFailure(const std::shared_ptr<Check> &check);
    void log(const QString &name, const QString &detail) const;
    QDateTime nowDate() const;
    // Drops the oldest image items whose files pass the image cache budget; their files join `leaving`.
    void keepImagesWithinBudget(QList<ClipboardItem> &items, QList<QUrl> &leaving) const;

    Pasteboard &m_pasteboard;
    WorkspaceService &m_workspace;
    Scheduler &m_scheduler;
    SettingsStore &m_settings;
    EventLog &m_eventLog;
    QString m_cacheDirectory;
    std::shared_ptr<WorkQueue> m_scanQueue;
    std::shared_ptr<WorkQueue> m_imageProcessQueue;
    // Files cached by the image queue that no item holds yet; what is left of them when the manager
    // goes (a capture cut short by quitting) is removed then, and later jobs write nothing.
    struct CachedFiles;
    std::shared_ptr<CachedFiles> m_cachedFiles;
    qint64 m_imageCacheBudgetBytes = defaultImageCacheBudgetBytes;
    // The decoded thumbnails of the views; closed when the manager goes.
    std::shared_ptr<ThumbnailCache> m_thumbnails;

    QList<ClipboardItem> m_history;
    QList<ClipboardItem> m_pendingItems;
    qint64 m_lastChangeCount = 0;
    std::optional<qint64> m_selfCopyChangeCount;

    QSet<QString> m_imageProblemsTold;

    bool m_polling = false;
    // Bumped whenever polling starts or stops, so callbacks of an older loop end quietly.
    quint64 m_pollGeneration = 0;
    qint64 m_pollInterval = minPollInterval;
    TimerHandle m_pollTimer;
    TimerHandle m_debounceTimer;
};

} // namespace qv
