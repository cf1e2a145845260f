#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QSet>
#include <QString>
#include <QUrl>
#include <QUuid>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

#include "platform/platform.h"
#include "platform/textrecognizer.h"
#include "platform/thumbnailer.h"
#include "platform/webfetcher.h"
#include "runtime/scheduler.h"
#include "shelf/filecopy.h"
#include "shelf/dropdata.h"
#include "shelf/shelfitem.h"

namespace qv {

class EventLog;
class WorkQueue;
class WorkQueueFactory;

// The file shelf of the running process: a newest-first list of at most 200 items whose files live
// in one flat folder ("QuorvantisShelf" in the XDG cache folder). Nothing is persisted: the shelf
// starts empty and construction sweeps what an earlier run left in the folder.
//
// Only files inside the shelf folder are ever deleted, and nothing is ever written outside it: names
// that come from outside (file names, page titles, addresses) are made safe first, and a name is
// reserved under a lock from the moment it is chosen until its item is on the shelf, so two intakes
// never share a file and the orphan sweep never takes a file still in flight.
//
// `items`, the drag-out state and every signal belong to the main thread. The intake operations
// (processFile, addImage, addItem, processWebLink, ...) may run on any thread; drops are taken in on
// the serial "Quorvantis.ShelfIntake" queue in the order they were dropped, and each new item
// reaches the list through one post to the main thread.
class FileShelfManager : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QList<qv::ShelfItem> items READ items NOTIFY itemsChanged)
    Q_PROPERTY(QUuid draggingItemID READ draggingItemID WRITE setDraggingItemID NOTIFY draggingItemIDChanged)
public:
    static constexpr int capacity = 200;
    // Files of one drop copied in one step of the intake queue; their items reach the list together.
    static constexpr int intakeBatch = 20;
    static constexpr int thumbnailSide = 300;
    static constexpr qint64 maxRemoteImageBytes = 50000000;
    static constexpr double downloadTimeout = 12.0;
    static constexpr double metadataTimeout = 8.0;
    static constexpr double metadataGuard = 10.0;
    static constexpr double dragOutCheckDelay = 0.3;
    static constexpr double ocrTimeoutInterval = 3.5;
    // Longest side a picture is scaled down to before its text is read.
    static constexpr int ocrMaxSide = 3000;
    static constexpr int maxFileNameBytes = 255;
    // The content type of a file whose type cannot be told.
    static inline const QString genericContentType = QStringLiteral("application/octet-stream");
    // The name the status item knows the arrival of a file by.
    static inline const QString didReceiveFileName = QStringLiteral("FileShelfManager.didReceiveFile");
    static inline const QStringList ocrLanguages = {QStringLiteral("zh-Hans"), QStringLiteral("en-US"),
                                                    QStringLiteral("fr-FR"),   QStringLiteral("de-DE"),
                                                    QStringLiteral("es-ES"),   QStringLiteral("pl-PL")};

    // shelfDirectory empty: "QuorvantisShelf" in the XDG cache folder (the temporary folder when
    // there is none). The platform's services and the scheduler must outlive the manager: answers
    // still on their way when it goes are dropped through them.
    FileShelfManager(const Platform &platform, Scheduler &scheduler, WorkQueueFactory &queues,
                     EventLog &eventLog, const QString &shelfDirectory = QString(),
                     QObject *parent = nullptr);
    ~FileShelfManager() override;

    static QString defaultShelfDirectory();

    QList<ShelfItem> items() const { return m_items; }
    QString shelfDirectory() const { return m_shelfDirectory; }
    QUuid draggingItemID() const { return m_draggingItemID; }
    // A view that begins dragging an item out sets its id; a non-null id starts the drag-out monitor.
    void setDraggingItemID(const QUuid &id);
    // The view that ran the drag reports how it ended (`taken`: a target accepted the drop), so the
    // drag-out check can tell a taken item from a cancelled drag on every desktop.
    void dragEnded(bool taken);

    // Intake; any thread.
    // Copies a file or folder into the shelf and adds it; when the copy fails, an image file is added
    // as a PNG copy and anything else in place (where no removal ever deletes it). A copy that would
    // leave the disk with less than minimumFreeBytes free fails too, and its file is added in place.
    void processFile(const QUrl &fileURL);
    // The copy's address, or nothing when the folder cannot be made or the copy fails (`outcome`
    // says which, when given).
    std::optional<QUrl> copyFileToCache(const QUrl &fileURL, FileCopy::Outcome *outcome = nullptr);
    // The free space a copy into the shelf must leave on the disk.
    static constexpr qint64 defaultMinimumFreeBytes = 512LL * 1024 * 1024;
    qint64 minimumFreeBytes() const { return m_minimumFreeBytes.load(); }
    void setMinimumFreeBytes(qint64 bytes) { m_minimumFreeBytes = bytes; }
    // Builds the record at once and posts its insertion; returns the new id before the item is listed.
    QUuid addItem(const QUrl &fileURL, const std::optional<QUrl> &originalWebURL = std::nullopt);
    // Stores the image as "<name>.png" (a free name; "Image_<UUID>.png" without a usable name) and
    // adds it. False, with nothing added, when the image cannot be encoded or written.
    bool addImage(const QImage &image, const std::optional<QString> &name = std::nullopt);
    // Downloads an image address (12 s, cache first). A decodable body becomes a PNG item, an
    // undecodable body typed as an image is kept as it came, and anything else (no body, a body over
    // 50,000,000 bytes, a page) becomes a link item. Returns at once.
    void downloadRemoteImage(const QUrl &webURL);
    // Writes downloaded bytes under a free name taken from the address; nothing when writing fails.
    std::optional<QUrl> persistRemoteImageData(const QByteArray &bytes, const QUrl &webURL,
                                               const QString &contentType);
    // Writes "<UUID>.webloc" for the address, adds it and starts its metadata fetch.
    bool processWebLink(const QUrl &webURL);
    // Takes in a drop in order of what it offers (files, file data, images, image data, web links):
    // the first stage that yields anything decides what the drop was. Main thread; the copies and
    // encodings run on the intake queue. A file listed twice is taken once, and a drop takes at most
    // `capacity` files (the rest is reported once), copied `intakeBatch` at a time. False when the
    // drop offered nothing usable.
    bool handleDrop(const DropData &drop);

    // List operations; main thread.
    void togglePin(const QUuid &id);
    // Removes every item with the record's id, then deletes the record's file when it is ours.
    void removeItem(const ShelfItem &item);
    // Removal after a drag-out; pinned items are spared. The item leaves the list, its file stays
    // (the receiving program may still be copying it) until the next start's sweep.
    void removeDraggedItem(const QUuid &id);
    void startDragOutMonitor();
    void stopDragOutMonitor();
    // Deletes the files of all items inside the shelf folder (pinned ones too) and empties the list.
    void clearShelf();
    // Deletes, off the main thread, every non-hidden entry of the shelf folder that no item uses and
    // no intake has reserved.
    void cleanupOrphanedFiles();

    // A free address in the shelf folder for a safe form of `fileName` ("name 2.ext", "name 3.ext",
    // ... when taken), reserved until releaseName() or the item's insertion. Any thread.
    QUrl uniqueFileURL(const QString &fileName);
    void releaseName(const QUrl &fileURL);
    // Deletes the file (or folder) when it lies inside the shelf folder; errors are ignored.
    void deleteCachedFile(const QUrl &fileURL);
    // True when the address, symbolic links resolved, is the shelf folder or lies inside it.
    bool isInsideShelfDirectory(const QUrl &fileURL) const;

    // Asks for the page's title and icon; the item's `isWebFetched` is set when the fetch ends, at
    // the latest after 10 s. Main thread.
    void fetchLinkMetadata(const QUrl &webURL, const QUuid &id);

    // Reads the text of an image file. `done` runs on the main thread at most once: "" for no text,
    // a failure, the 3.5 s time-out, or a newer request that cut this one short. One recognition
    // runs at a time and only the newest request waits; a waiting request that is replaced is never
    // answered. Any thread.
    void extractText(const QUrl &imageURL, std::function<void(const QString &)> done);
    int activeOCRJobID() const { return m_activeOCRJobID; }
    bool isOCRRunning() const { return m_isOCRRunning; }

    // Pure helpers; any thread.
    // A name safe inside the shelf folder: no "/", NUL or control characters, no leading dot, not
    // "." or "..", at most 255 bytes of UTF-8 (the extension kept). Empty when nothing is left.
    static QString sanitizedFileName(const QString &name);
    // Splits at the last "." that neither starts nor ends the name; the extension may be empty.
    static std::pair<QString, QString> splitExtension(const QString &name);
    // Lower-case extensions that mark a file or an address as a picture.
    static const QStringList &imageExtensions();
    static QString remoteImageExtension(const QUrl &webURL, const QString &lowerContentType);
    static QByteArray makeWeblocData(const QUrl &webURL);
    static bool isImageURL(const QUrl &webURL);
    static ThumbnailRequest::Representations representationTypes(const QString &path);
    // Seconds to wait before asking the generator again after `attempt` failed; none after the last.
    static std::optional<double> thumbnailRetryDelay(int attempt);
    // The picture for a file when the generator has none; null when it does not decode.
    static QImage makeDirectThumbnail(const QString &path, int width, int height);

signals:
    void itemsChanged();
    void draggingItemIDChanged();
    // One for every item inserted ("FileShelfManager.didReceiveFile"); the status item flashes.
    void didReceiveFile();

private:
    struct OCRJob
    {
        int id = 0;
        QUrl url;
        std::function<void(const QString &)> completion;
    };

    // Inserts records in the order they were made, each in front of the ones before.
    void addItemsToShelf(const QList<ShelfItem> &records);
    // Copies the files on the intake queue, a batch a step; each batch's items come in one post.
    void intakeFiles(const QList<QUrl> &files);
    // A drop's distinct files, at most `capacity`; says once when the drop offered more.
    QList<QUrl> takenFiles(const QList<QUrl> &offered, bool offeredMore);
    void setItems(QList<ShelfItem> items);
    void removeFromList(const QUuid &id);
    int indexOf(const QUuid &id) const;
    // Changes the first item with this id; nothing when there is none.
    void updateItem(const QUuid &id, const std::function<void(ShelfItem &)> &change);
    struct ThumbnailPipeline;
    void requestThumbnail(const QUuid &id, const QString &path);
    void applyThumbnail(const ItemThumbnail &thumbnail, const QUuid &id);
    void applyLinkMetadata(const std::optional<QString> &title, const QImage &icon, const QUuid &id);
    void markWebFetched(const QUuid &id);
    void handleRemoteImageResponse(const QUrl &webURL, const DownloadResult &result);
    void onDragMouseUp();
    void intake(std::function<void()> job);
    void log(const QString &name, const QString &detail) const;
    void postToMain(std::function<void()> fn) const;

    void enqueueOCRJob(OCRJob job);
    void startOCRJob(OCRJob job);
    void handleOCRTimeout(int jobID);
    void finishOCRJob(int jobID, const QString &text);
    void cancelActiveOCRCompletion();
    static QString performTextRecognition(TextRecognizer &recognizer, const QUrl &url,
                                          const RecognitionCancel &cancel);

    Platform m_platform;
    Scheduler &m_scheduler;
    EventLog &m_eventLog;
    QString m_shelfDirectory;
    std::atomic<qint64> m_minimumFreeBytes{defaultMinimumFreeBytes};
    std::shared_ptr<WorkQueue> m_intakeQueue;
    std::shared_ptr<WorkQueue> m_utilityQueue;
    std::shared_ptr<WorkQueue> m_ocrExecutionQueue;
    // Lets escaping callbacks find out on the main thread whether the manager still exists.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    std::shared_ptr<ThumbnailPipeline> m_thumbnailPipeline;
    // The decoded thumbnails of the views; closed when the manager goes.
    std::shared_ptr<ThumbnailCache> m_thumbnails;

    QList<ShelfItem> m_items;
    QUuid m_draggingItemID;

    // Names chosen by an intake and not yet on the shelf, the files the shelf refers to, and the
    // files of items dragged out (kept for the program that took them until the next start); the
    // sweep consults all three under the same lock as it deletes.
    struct Names
    {
        QMutex mutex;
        QSet<QString> reserved;
        QSet<QString> referenced;
        QSet<QString> draggedOut;
        bool isTaken(const QString &path) const
        {
            return reserved.contains(path) || referenced.contains(path) || draggedOut.contains(path);
        }
    };
    // Shared with sweeps still running off the main thread.
    std::shared_ptr<Names> m_names = std::make_shared<Names>();

    // Text recognition; main thread.
    int m_nextOCRJobID = 0;
    bool m_isOCRRunning = false;
    int m_activeOCRJobID = 0;
    bool m_activeOCRTimedOut = false;
    std::function<void(const QString &)> m_activeOCRCompletion;
    std::optional<OCRJob> m_pendingOCRJob;
    RecognitionCancel m_activeOCRRequest;
};

} // namespace qv
