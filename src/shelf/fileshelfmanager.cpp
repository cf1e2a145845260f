#include "shelf/fileshelfmanager.h"

#include <QBuffer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QLoggingCategory>
#include <QMimeDatabase>
#include <QScreen>
#include <QStandardPaths>
#include <QThread>

#include "core/diagnostics/diagevents.h"
#include "core/eventlog.h"
#include "platform/dragendreport.h"
#include "platform/fileicons.h"
#include "platform/imagedecoding.h"
#include "platform/ownedfiles.h"
#include "platform/webfetcher.h"
#include "runtime/workqueue.h"

#include <sys/stat.h>

namespace qv {

namespace {

Q_LOGGING_CATEGORY(lcShelf, "quorvantis.shelf")

QString newUuidString()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

// Symbolic links resolved and the path cleaned; a path that does not exist (yet) is resolved through
// the nearest folder that does.
QString resolvedPath(const QString &path)
{
    const QString clean = QDir::cleanPath(QDir(path).absolutePath());
    const QFileInfo info(clean);
    if (info.exists())
        return info.canonicalFilePath();
    const QString parent = info.absolutePath();
    if (parent == clean)
        return clean;
    return QDir::cleanPath(resolvedPath(parent) + QLatin1Char('/') + info.fileName());
}

bool entryExists(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

QByteArray xmlEscaped(const QString &text)
{
    QString escaped = text;
    escaped.replace(QLatin1Char('&'), QLatin1String("&amp;"));
    escaped.replace(QLatin1Char('<'), QLatin1String("&lt;"));
    escaped.replace(QLatin1Char('>'), QLatin1String("&gt;"));
    return escaped.toUtf8();
}

// `base` shortened (by whole characters) so that base + tail fits the byte limit of a file name.
QString fitName(QString base, const QString &tail)
{
    const qsizetype room = FileShelfManager::maxFileNameBytes - tail.toUtf8().size();
    while (!base.isEmpty() && base.toUtf8().size() > room) {
        base.chop(1);
        if (!base.isEmpty() && base.back().isHighSurrogate())
            base.chop(1);
    }
    return base + tail;
}

// The records one batch of a drop made, posted to the list together when the batch ends. Set on the
// intake thread only while it copies that batch, so addItem() elsewhere keeps posting one by one.
struct Gathering
{
    const FileShelfManager *owner;
    QList<ShelfItem> records;
};
thread_local Gathering *t_gathering = nullptr;

double screenScale()
{
    const QScreen *screen = qGuiApp ? QGuiApplication::primaryScreen() : nullptr;
    return screen ? screen->devicePixelRatio() : 2.0;
}

} // namespace

FileShelfManager::FileShelfManager(const Platform &platform, Scheduler &scheduler, WorkQueueFactory &queues,
                                   EventLog &eventLog, const QString &shelfDirectory, QObject *parent)
    : QObject(parent), m_platform(platform), m_scheduler(scheduler), m_eventLog(eventLog),
      m_shelfDirectory(QDir::cleanPath(
          QDir(shelfDirectory.isEmpty() ? defaultShelfDirectory() : shelfDirectory).absolutePath())),
      m_intakeQueue(queues.makeQueue(QStringLiteral("Quorvantis.ShelfIntake"), QueueKind::Serial)),
      m_utilityQueue(queues.makeQueue(QStringLiteral("Quorvantis.ShelfUtility"), QueueKind::Concurrent)),
      m_ocrExecutionQueue(queues.makeQueue(QStringLiteral("Quorvantis.OCRExecution"), QueueKind::Serial)),
      m_thumbnailPipeline(std::make_shared<ThumbnailPipeline>(*platform.thumbnails, scheduler, m_utilityQueue,
                                                              m_alive, this)),
      m_thumbnails(std::make_shared<ThumbnailCache>(scheduler, m_utilityQueue))
{
    connect(m_platform.dragEndReport, &DragEndReport::mouseUp, this, &FileShelfManager::onDragMouseUp);
    const OwnedFiles::Folder folder(m_shelfDirectory, OwnedFiles::Folder::Mode::Create);
    if (!folder.refusal().isEmpty()) {
        // A link in the folder's place (to the user's documents, say) is never swept nor written
        // into: files are then shelved where they lie.
        log(DiagEvents::folderRefused, OwnedFiles::warnRefused(folder, QStringLiteral("the shelf")));
    }
    cleanupOrphanedFiles();
}

FileShelfManager::~FileShelfManager()
{
    *m_alive = false;
    m_thumbnails->close();
    stopDragOutMonitor();
    if (m_activeOCRRequest)
        m_activeOCRRequest->store(true);
    // Serial queues finish their jobs here, while the members those jobs use still exist.
    m_intakeQueue.reset();
    m_ocrExecutionQueue.reset();
}

QString FileShelfManager::defaultShelfDirectory()
{
    QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (cache.isEmpty())
        cache = QDir::tempPath();
    return QDir(cache).filePath(QStringLiteral("QuorvantisShelf"));
}

void FileShelfManager::log(const QString &name, const QString &detail) const
{
    m_eventLog.log(name, detail);
}

void FileShelfManager::postToMain(std::function<void()> fn) const
{
    m_scheduler.post([alive = std::weak_ptr<bool>(m_alive), fn = std::move(fn)] {
        const auto living = alive.lock();
        if (living && *living)
            fn();
    });
}

void FileShelfManager::intake(std::function<void()> job)
{
    m_intakeQueue->async(std::move(job));
}

// The list

void FileShelfManager::setItems(QList<ShelfItem> items)
{
    if (items == m_items)
        return;
    m_items = std::move(items);
    {
        QMutexLocker lock(&m_names->mutex);
        m_names->referenced.clear();
        for (const ShelfItem &item : std::as_const(m_items)) {
            if (item.url.isLocalFile())
                m_names->referenced.insert(QDir::cleanPath(item.url.toLocalFile()));
        }
    }
    emit itemsChanged();
}

int FileShelfManager::indexOf(const QUuid &id) const
{
    for (int i = 0; i < m_items.size(); ++i) {
        if (m_items.at(i).id == id)
            return i;
    }
    return -1;
}

QUuid FileShelfManager::addItem(const QUrl &fileURL, const std::optional<QUrl> &originalWebURL)
{
    ShelfItem record;
    const QString path = fileURL.toLocalFile();
    {
        // Held until the insertion, so a sweep running meanwhile leaves the file alone.
        QMutexLocker lock(&m_names->mutex);
        m_names->reserved.insert(QDir::cleanPath(path));
    }
    const QFileInfo info(path);
    record.type = info.exists() ? QMimeDatabase().mimeTypeForFile(info).name() : genericContentType;
    record.thumbnail = ItemThumbnail(m_platform.fileIcons->iconForFile(path));
    record.id = QUuid::createUuid();
    record.url = fileURL;
    record.date = QDateTime::fromMSecsSinceEpoch(qint64(m_scheduler.wallNow() * 1000.0));
    record.originalWebURL = originalWebURL;
    if (t_gathering && t_gathering->owner == this)
        t_gathering->records.append(record);
    else
        postToMain([this, record] { addItemsToShelf({record}); });
    return record.id;
}

void FileShelfManager::intakeFiles(const QList<QUrl> &files)
{
    for (qsizetype start = 0; start < files.size(); start += intakeBatch) {
        intake([this, batch = files.mid(start, intakeBatch)] {
            Gathering gathering{this, {}};
            t_gathering = &gathering;
            for (const QUrl &url : batch)
                processFile(url);
            t_gathering = nullptr;
            if (!gathering.records.isEmpty())
                postToMain([this, records = gathering.records] { addItemsToShelf(records); });
        });
    }
}

void FileShelfManager::addItemsToShelf(const QList<ShelfItem> &records)
{
    QList<ShelfItem> items = m_items;
    for (const ShelfItem &record : records) {
        qCInfo(lcShelf).noquote() << QStringLiteral("🖼 addItemToShelf: ") + record.url.fileName();
        items.prepend(record);
    }
    while (items.size() > capacity) {
        // The oldest unpinned item makes room; a pinned one goes only when every older item is
        // pinned. The item just dropped always stays.
        qsizetype victim = items.size() - 1;
        while (victim >= 1 && items.at(victim).isPinned)
            --victim;
        if (victim < 1)
            victim = items.size() - 1;
        const ShelfItem removed = items.takeAt(victim);
        deleteCachedFile(removed.url);
    }
    setItems(items);
    for (const ShelfItem &record : records) {
        releaseName(record.url);
        emit didReceiveFile();
        requestThumbnail(record.id, record.url.toLocalFile());
    }
}

void FileShelfManager::togglePin(const QUuid &id)
{
    updateItem(id, [](ShelfItem &item) { item.isPinned = !item.isPinned; });
}

void FileShelfManager::removeItem(const ShelfItem &item)
{
    // A copy: the caller may hand in a reference into the list this replaces.
    const ShelfItem record = item;
    removeFromList(record.id);
    deleteCachedFile(record.url);
}

void FileShelfManager::removeFromList(const QUuid &id)
{
    QList<ShelfItem> items = m_items;
    items.removeIf([&id](const ShelfItem &other) { return other.id == id; });
    setItems(items);
}

void FileShelfManager::removeDraggedItem(const QUuid &id)
{
    const int index = indexOf(id);
    if (index < 0 || m_items.at(index).isPinned)
        return;
    // The program that took the drop may still be reading the file (file managers queue large
    // copies), so only the item goes: the file stays until the next start's sweep.
    const QUrl url = m_items.at(index).url;
    if (url.isLocalFile()) {
        QMutexLocker lock(&m_names->mutex);
        m_names->draggedOut.insert(QDir::cleanPath(url.toLocalFile()));
    }
    removeFromList(id);
    cleanupOrphanedFiles();
}

void FileShelfManager::setDraggingItemID(const QUuid &id)
{
    if (id != m_draggingItemID) {
        m_draggingItemID = id;
        emit draggingItemIDChanged();
    }
    if (!id.isNull())
        startDragOutMonitor();
}

void FileShelfManager::dragEnded(bool taken)
{
    m_platform.dragEndReport->dragFinished(taken);
}

void FileShelfManager::startDragOutMonitor()
{
    stopDragOutMonitor();
    m_platform.dragEndReport->startMonitoring();
}

void FileShelfManager::stopDragOutMonitor()
{
    if (m_platform.dragEndReport->isMonitoring())
        m_platform.dragEndReport->stopMonitoring();
}

void FileShelfManager::onDragMouseUp()
{
    if (m_draggingItemID.isNull())
        return;
    const QUuid id = m_draggingItemID;
    m_draggingItemID = QUuid();
    emit draggingItemIDChanged();
    stopDragOutMonitor();
    m_scheduler.after(dragOutCheckDelay, [this, alive = std::weak_ptr<bool>(m_alive), id] {
        const auto living = alive.lock();
        if (living && *living && m_platform.dragEndReport->dragTypes().isEmpty())
            removeDraggedItem(id);
    });
}

void FileShelfManager::clearShelf()
{
    for (const ShelfItem &item : std::as_const(m_items))
        deleteCachedFile(item.url);
    setItems({});
}

// The folder

bool FileShelfManager::isInsideShelfDirectory(const QUrl &fileURL) const
{
    if (!fileURL.isLocalFile())
        return false;
    const QString path = resolvedPath(fileURL.toLocalFile());
    const QString folder = resolvedPath(m_shelfDirectory);
    return path == folder || path.startsWith(folder + QLatin1Char('/'));
}

void FileShelfManager::deleteCachedFile(const QUrl &fileURL)
{
    // Only an entry directly inside the real shelf folder: a file shelved where it lies, or one
    // reached through a link, is never deleted.
    if (fileURL.isLocalFile())
        OwnedFiles::removeInside(m_shelfDirectory, fileURL.toLocalFile());
}

void FileShelfManager::cleanupOrphanedFiles()
{
    m_utilityQueue->async([names = m_names, folder = m_shelfDirectory] {
        const OwnedFiles::Folder dir(folder);
        for (const QByteArray &name : dir.entryNames()) {
            if (name.startsWith('.'))
                continue;
            const QString path = folder + QLatin1Char('/') + QFile::decodeName(name);
            // Checked and deleted under the lock, so an insertion cannot slip in between.
            QMutexLocker lock(&names->mutex);
            if (!names->isTaken(path))
                dir.removeEntry(name);
        }
    });
}

// Names

QString FileShelfManager::sanitizedFileName(const QString &name)
{
    QString safe;
    safe.reserve(name.size());
    for (const QChar c : name) {
        const ushort code = c.unicode();
        safe.append(code == '/' || code < 0x20 || code == 0x7f ? QChar(u'_') : c);
    }
    qsizetype dots = 0;
    while (dots < safe.size() && safe.at(dots) == QLatin1Char('.'))
        ++dots;
    safe.remove(0, dots);
    if (safe.trimmed().isEmpty())
        return QString();
    if (safe.toUtf8().size() <= maxFileNameBytes)
        return safe;
    const auto [base, extension] = splitExtension(safe);
    if (!extension.isEmpty() && extension.size() <= 32 && !base.isEmpty())
        return fitName(base, QLatin1Char('.') + extension);
    return fitName(safe, QString());
}

std::pair<QString, QString> FileShelfManager::splitExtension(const QString &name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0 || dot == name.size() - 1)
        return {name, QString()};
    return {name.left(dot), name.mid(dot + 1)};
}

QUrl FileShelfManager::uniqueFileURL(const QString &fileName)
{
    QString safe = sanitizedFileName(fileName);
    if (safe.isEmpty())
        safe = QStringLiteral("Item_") + newUuidString();
    const auto [base, extension] = splitExtension(safe);
    const QString dotExtension = extension.isEmpty() ? QString() : QLatin1Char('.') + extension;
    QMutexLocker lock(&m_names->mutex);
    for (qint64 n = 1;; ++n) {
        const QString candidate =
            n == 1 ? safe : fitName(base, QLatin1Char(' ') + QString::number(n) + dotExtension);
        const QString path = m_shelfDirectory + QLatin1Char('/') + candidate;
        if (!m_names->reserved.contains(path) && !entryExists(path)) {
            m_names->reserved.insert(path);
            return QUrl::fromLocalFile(path);
        }
    }
}

void FileShelfManager::releaseName(const QUrl &fileURL)
{
    QMutexLocker lock(&m_names->mutex);
    m_names->reserved.remove(QDir::cleanPath(fileURL.toLocalFile()));
}

// Intake

namespace {

// File names are bytes here: a name that is not valid UTF-8 has no string that names the file again.
bool entryExists(const QByteArray &path)
{
    struct stat status = {};
    return ::lstat(path.constData(), &status) == 0;
}

} // namespace

void FileShelfManager::processFile(const QUrl &fileURL)
{
    const QString path = fileURL.toLocalFile();
    const QByteArray bytes = FileCopy::localPathBytes(fileURL);
    qCInfo(lcShelf).noquote() << QStringLiteral("⚙️ processFile 开始处理: ") + path;
    FileCopy::Outcome outcome = FileCopy::Outcome::Failed;
    if (const auto copy = copyFileToCache(fileURL, &outcome)) {
        qCInfo(lcShelf).noquote() << QStringLiteral("✅ 拷贝成功，缓存路径: ") + copy->toLocalFile();
        addItem(*copy);
        return;
    }
    qCInfo(lcShelf).noquote() << QStringLiteral("❌ copyFileToCache 失败，尝试直接使用原始 URL");
    if (!entryExists(bytes)) {
        // Gone between the drop and the copy: there is nothing to shelve.
        log(DiagEvents::shelfIntakeError, QStringLiteral("vanished"));
        return;
    }
    struct stat status = {};
    const bool found = ::stat(bytes.constData(), &status) == 0;
    const bool regular = found && S_ISREG(status.st_mode);
    if (outcome == FileCopy::Outcome::NotAFile || (!regular && !(found && S_ISDIR(status.st_mode)))) {
        // Pipes, devices and the kernel's own files are neither copied nor shelved where they lie.
        qCWarning(lcShelf).noquote() << QStringLiteral("⚠️ Not shelved, not a regular file: ") + path;
        log(DiagEvents::shelfIntakeError, QStringLiteral("not a regular file"));
        return;
    }
    if (outcome == FileCopy::Outcome::NoRoom) {
        // A PNG copy would need room too: the file is referenced where it is.
        qCWarning(lcShelf).noquote() << QStringLiteral("⚠️ Not copied into the shelf, the disk would be nearly "
                                                      "full; referenced in place: ") +
                                            path;
        log(DiagEvents::shelfIntakeError, QStringLiteral("no room"));
        addItem(fileURL);
        return;
    }
    log(DiagEvents::shelfIntakeError, QStringLiteral("copy failed"));
    const QImage image = regular ? ImageDecoding::readFile(path) : QImage();
    if (!image.isNull() && addImage(image, fileURL.fileName()))
        return;
    addItem(fileURL);
}

std::optional<QUrl> FileShelfManager::copyFileToCache(const QUrl &fileURL, FileCopy::Outcome *outcome)
{
    FileCopy::Outcome ignored = FileCopy::Outcome::Failed;
    FileCopy::Outcome &result = outcome ? *outcome : ignored;
    result = FileCopy::Outcome::Failed;
    if (!OwnedFiles::Folder(m_shelfDirectory, OwnedFiles::Folder::Mode::Create).isOpen()) {
        qCInfo(lcShelf).noquote() << QStringLiteral("❌ 创建 shelfDir 失败: ") + m_shelfDirectory;
        return std::nullopt;
    }
    const QByteArray source = FileCopy::localPathBytes(fileURL);
    // The shown name of a name that is not valid UTF-8 has replacement characters in its place.
    const QUrl destination = uniqueFileURL(QFileInfo(fileURL.toLocalFile()).fileName());
    result = FileCopy::copyEntry(source, QFile::encodeName(destination.toLocalFile()), m_minimumFreeBytes.load());
    if (result != FileCopy::Outcome::Copied) {
        qCInfo(lcShelf).noquote() << QStringLiteral("❌ 文件拷贝失败: ") + fileURL.toLocalFile();
        deleteCachedFile(destination);
        releaseName(destination);
        return std::nullopt;
    }
    return destination;
}

bool FileShelfManager::addImage(const QImage &image, const std::optional<QString> &name)
{
    QString base;
    if (name)
        base = sanitizedFileName(splitExtension(name->trimmed()).first);
    if (base.isEmpty())
        base = QStringLiteral("Image_") + newUuidString();
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (image.isNull() || !image.save(&buffer, "PNG")) {
        log(DiagEvents::shelfIntakeError, QStringLiteral("image encode failed"));
        return false;
    }
    const QUrl file = uniqueFileURL(base + QStringLiteral(".png"));
    if (!OwnedFiles::writeNewFile(m_shelfDirectory, file.toLocalFile(), png)) {
        releaseName(file);
        log(DiagEvents::shelfIntakeError, QStringLiteral("image write failed"));
        return false;
    }
    addItem(file);
    return true;
}

void FileShelfManager::downloadRemoteImage(const QUrl &webURL)
{
    postToMain([this, webURL] {
        m_platform.web->download(
            webURL, downloadTimeout, maxRemoteImageBytes,
            [this, alive = std::weak_ptr<bool>(m_alive), webURL](const DownloadResult &result) {
                const auto living = alive.lock();
                if (living && *living)
                    intake([this, webURL, result] { handleRemoteImageResponse(webURL, result); });
            });
    });
}

void FileShelfManager::handleRemoteImageResponse(const QUrl &webURL, const DownloadResult &result)
{
    if (result.tooLarge)
        log(DiagEvents::shelfIntakeError, QStringLiteral("download too large"));
    if (result.body.isEmpty()) {
        processWebLink(webURL);
        return;
    }
    const QString contentType = result.contentType.toLower();
    const QImage image = ImageDecoding::readData(result.body);
    if (!image.isNull() && addImage(image, webURL.fileName()))
        return;
    if (contentType.contains(QLatin1String("image/"))) {
        if (const auto file = persistRemoteImageData(result.body, webURL, contentType)) {
            addItem(*file);
            return;
        }
    }
    processWebLink(webURL);
}

const QStringList &FileShelfManager::imageExtensions()
{
    static const QStringList extensions = {
        QStringLiteral("png"),  QStringLiteral("jpg"),  QStringLiteral("jpeg"), QStringLiteral("gif"),
        QStringLiteral("webp"), QStringLiteral("heic"), QStringLiteral("heif"), QStringLiteral("tif"),
        QStringLiteral("tiff"), QStringLiteral("bmp"),  QStringLiteral("avif"), QStringLiteral("svg")};
    return extensions;
}

QString FileShelfManager::remoteImageExtension(const QUrl &webURL, const QString &lowerContentType)
{
    const QString extension = splitExtension(webURL.fileName()).second.toLower();
    if (imageExtensions().contains(extension))
        return extension;
    static const QList<QPair<QString, QString>> byType = {
        {QStringLiteral("png"), QStringLiteral("png")},   {QStringLiteral("jpeg"), QStringLiteral("jpg")},
        {QStringLiteral("jpg"), QStringLiteral("jpg")},   {QStringLiteral("gif"), QStringLiteral("gif")},
        {QStringLiteral("webp"), QStringLiteral("webp")}, {QStringLiteral("heic"), QStringLiteral("heic")},
        {QStringLiteral("heif"), QStringLiteral("heif")}, {QStringLiteral("tiff"), QStringLiteral("tiff")},
        {QStringLiteral("bmp"), QStringLiteral("bmp")},   {QStringLiteral("avif"), QStringLiteral("avif")},
        {QStringLiteral("svg"), QStringLiteral("svg")}};
    for (const auto &[word, result] : byType) {
        if (lowerContentType.contains(word))
            return result;
    }
    return QStringLiteral("png");
}

std::optional<QUrl> FileShelfManager::persistRemoteImageData(const QByteArray &bytes, const QUrl &webURL,
                                                             const QString &contentType)
{
    const QString extension = remoteImageExtension(webURL, contentType.toLower());
    QString base = sanitizedFileName(splitExtension(webURL.fileName()).first);
    if (base.isEmpty())
        base = QStringLiteral("Image_") + newUuidString();
    const QUrl file = uniqueFileURL(base + QLatin1Char('.') + extension);
    if (!OwnedFiles::writeNewFile(m_shelfDirectory, file.toLocalFile(), bytes)) {
        qCInfo(lcShelf).noquote() << QStringLiteral("❌ persistRemoteImageData 写入失败: ") +
                                         file.toLocalFile();
        releaseName(file);
        return std::nullopt;
    }
    return file;
}

QByteArray FileShelfManager::makeWeblocData(const QUrl &webURL)
{
    return QByteArrayLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                             "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                             "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                             "<plist version=\"1.0\">\n"
                             "<dict>\n"
                             "\t<key>URL</key>\n"
                             "\t<string>") +
           xmlEscaped(webURL.toString(QUrl::FullyEncoded)) +
           QByteArrayLiteral("</string>\n"
                             "</dict>\n"
                             "</plist>\n");
}

bool FileShelfManager::processWebLink(const QUrl &webURL)
{
    const QUrl file = uniqueFileURL(newUuidString() + QStringLiteral(".webloc"));
    if (!OwnedFiles::writeNewFile(m_shelfDirectory, file.toLocalFile(), makeWeblocData(webURL))) {
        qCInfo(lcShelf).noquote() << QStringLiteral("❌ processWebLink: failed to write .webloc: ") +
                                         file.toLocalFile();
        releaseName(file);
        log(DiagEvents::shelfIntakeError, QStringLiteral("webloc write failed"));
        return false;
    }
    const QUuid id = addItem(file, webURL);
    postToMain([this, webURL, id] { fetchLinkMetadata(webURL, id); });
    return true;
}

// Thumbnails

ThumbnailRequest::Representations FileShelfManager::representationTypes(const QString &path)
{
    const QString extension = splitExtension(QFileInfo(path).fileName()).second;
    if (extension == QLatin1String("webloc"))
        return ThumbnailRequest::Icon | ThumbnailRequest::Thumbnail;
    if (extension.isEmpty())
        return ThumbnailRequest::Icon | ThumbnailRequest::LowQualityThumbnail | ThumbnailRequest::Thumbnail;
    return ThumbnailRequest::Thumbnail;
}

std::optional<double> FileShelfManager::thumbnailRetryDelay(int attempt)
{
    static constexpr double delays[] = {0.18, 0.45, 0.9};
    if (attempt < 0 || attempt > 2)
        return std::nullopt;
    return delays[attempt];
}

QImage FileShelfManager::makeDirectThumbnail(const QString &path, int width, int height)
{
    const QImage image = ImageDecoding::readFile(path, QSize(width, height));
    if (image.isNull())
        return QImage();
    return ImageDecoding::aspectFit(image, QSize(width, height));
}

// The thumbnail pipeline runs on the generator's threads and the utility queue. It holds only what
// outlives the manager (the services, the scheduler, the queue) and reaches the manager through
// posts to the main thread that check it still exists.
struct FileShelfManager::ThumbnailPipeline : std::enable_shared_from_this<ThumbnailPipeline>
{
    ThumbnailPipeline(ThumbnailService &service, Scheduler &scheduler, std::shared_ptr<WorkQueue> utility,
                      std::weak_ptr<bool> alive, FileShelfManager *manager)
        : service(service), scheduler(scheduler), utility(std::move(utility)), alive(std::move(alive)),
          manager(manager)
    {
    }

    void onMain(std::function<void(FileShelfManager &)> fn) const
    {
        scheduler.post([alive = alive, manager = manager, fn = std::move(fn)] {
            const auto living = alive.lock();
            if (living && *living)
                fn(*manager);
        });
    }

    void generate(const ThumbnailRequest &request, const QUuid &id, int attempt)
    {
        service.generate(request, [self = shared_from_this(), request, id, attempt](const QImage &image,
                                                                                    const QString &error) {
            self->handle(image, error, id, request, attempt);
        });
    }

    void handle(const QImage &image, const QString &error, const QUuid &id, const ThumbnailRequest &request,
                int attempt)
    {
        const QSize canvas = QSize(thumbnailSide, thumbnailSide);
        QImage thumbnail;
        if (!image.isNull()) {
            const double scale = std::max(1.0, request.scale);
            thumbnail = ImageDecoding::aspectFit(image, canvas * scale);
            thumbnail.setDevicePixelRatio(scale);
        } else {
            thumbnail = makeDirectThumbnail(request.path, canvas.width(), canvas.height());
        }
        if (!thumbnail.isNull()) {
            // Kept as PNG, a fraction of its pixels' size: the views decode what they show.
            QByteArray png;
            QBuffer buffer(&png);
            if (!buffer.open(QIODevice::WriteOnly) || !thumbnail.save(&buffer, "PNG"))
                png.clear();
            onMain([thumbnail, png, id](FileShelfManager &shelf) {
                shelf.applyThumbnail(png.isEmpty()
                                         ? ItemThumbnail(thumbnail)
                                         : ItemThumbnail(png, thumbnail.size(), thumbnail.devicePixelRatio(),
                                                         shelf.m_thumbnails),
                                     id);
            });
            return;
        }
        const auto delay = thumbnailRetryDelay(attempt);
        if (!delay) {
            const QString reason = error.isEmpty() ? QFileInfo(request.path).fileName() : error;
            qCInfo(lcShelf).noquote() << QStringLiteral("⚠️ QL/Direct thumbnail 最终失败: ") + reason;
            onMain([](FileShelfManager &shelf) {
                shelf.log(DiagEvents::shelfThumbnailFailed, QStringLiteral("gave up"));
            });
            return;
        }
        onMain([self = shared_from_this(), request, id, attempt, delay](FileShelfManager &) {
            self->scheduler.after(*delay, [self, request, id, attempt] {
                const auto living = self->alive.lock();
                if (living && *living)
                    self->utility->async(
                        [self, request, id, attempt] { self->generate(request, id, attempt + 1); });
            });
        });
    }

    ThumbnailService &service;
    Scheduler &scheduler;
    std::shared_ptr<WorkQueue> utility;
    std::weak_ptr<bool> alive;
    FileShelfManager *manager;
};

void FileShelfManager::requestThumbnail(const QUuid &id, const QString &path)
{
    ThumbnailRequest request;
    request.path = path;
    request.size = QSize(thumbnailSide, thumbnailSide);
    request.scale = screenScale();
    request.types = representationTypes(path);
    m_thumbnailPipeline->generate(request, id, 0);
}

void FileShelfManager::updateItem(const QUuid &id, const std::function<void(ShelfItem &)> &change)
{
    const int index = indexOf(id);
    if (index < 0)
        return;
    QList<ShelfItem> items = m_items;
    change(items[index]);
    setItems(items);
}

void FileShelfManager::applyThumbnail(const ItemThumbnail &thumbnail, const QUuid &id)
{
    updateItem(id, [&thumbnail](ShelfItem &item) { item.thumbnail = thumbnail; });
}

// Link metadata

void FileShelfManager::fetchLinkMetadata(const QUrl &webURL, const QUuid &id)
{
    // The guard and the fetch's completion both run on the main thread, so a shared flag is enough
    // to let exactly one of them act.
    auto done = std::make_shared<bool>(false);
    const std::weak_ptr<bool> alive = m_alive;
    m_scheduler.after(metadataGuard, [this, alive, done, id] {
        const auto living = alive.lock();
        if (*done || !living || !*living)
            return;
        *done = true;
        log(DiagEvents::shelfLinkFetch, QStringLiteral("timeout"));
        markWebFetched(id);
    });
    m_platform.web->fetchMetadata(
        webURL, metadataTimeout, [this, alive, done, id](const LinkMetadata &metadata) {
            const auto living = alive.lock();
            if (*done || !living || !*living)
                return;
            *done = true;
            if (!metadata.ok) {
                qCInfo(lcShelf).noquote()
                    << QStringLiteral("🌐 LPMetadataProvider error: ") +
                           (metadata.error.isEmpty() ? QStringLiteral("unknown") : metadata.error);
                log(DiagEvents::shelfLinkFetch, QStringLiteral("error"));
                markWebFetched(id);
                return;
            }
            std::optional<QString> title;
            if (metadata.title)
                title = metadata.title->trimmed();
            log(DiagEvents::shelfLinkFetch, QStringLiteral("ok"));
            applyLinkMetadata(title, metadata.icon, id);
        });
}

void FileShelfManager::applyLinkMetadata(const std::optional<QString> &title, const QImage &icon,
                                         const QUuid &id)
{
    updateItem(id, [&](ShelfItem &item) {
        if (title && !title->isEmpty())
            item.customName = *title;
        if (!icon.isNull())
            item.thumbnail = ItemThumbnail(icon);
        item.isWebFetched = true;
    });
}

void FileShelfManager::markWebFetched(const QUuid &id)
{
    updateItem(id, [](ShelfItem &item) { item.isWebFetched = true; });
}

// Text recognition. The job state lives on the main thread; the recognition runs on the serial
// "Quorvantis.OCRExecution" queue and hands its text back through a post, so neither side waits
// for the other.

void FileShelfManager::extractText(const QUrl &imageURL, std::function<void(const QString &)> done)
{
    postToMain([this, imageURL, done = std::move(done)] { enqueueOCRJob(OCRJob{0, imageURL, done}); });
}

void FileShelfManager::enqueueOCRJob(OCRJob job)
{
    job.id = ++m_nextOCRJobID;
    if (!m_isOCRRunning) {
        startOCRJob(std::move(job));
        return;
    }
    // Only the newest request waits; the one it replaces is never answered.
    m_pendingOCRJob = std::move(job);
    cancelActiveOCRCompletion();
    if (m_activeOCRRequest)
        m_activeOCRRequest->store(true);
}

void FileShelfManager::startOCRJob(OCRJob job)
{
    m_isOCRRunning = true;
    m_activeOCRJobID = job.id;
    m_activeOCRTimedOut = false;
    m_activeOCRCompletion = std::move(job.completion);
    m_activeOCRRequest = std::make_shared<std::atomic<bool>>(false);
    const int id = job.id;
    const std::weak_ptr<bool> alive = m_alive;
    m_scheduler.after(ocrTimeoutInterval, [this, alive, id] {
        const auto living = alive.lock();
        if (living && *living)
            handleOCRTimeout(id);
    });
    m_ocrExecutionQueue->async(
        [this, recognizer = m_platform.textRecognizer, url = job.url, cancel = m_activeOCRRequest, id] {
            const QString text = performTextRecognition(*recognizer, url, cancel);
            postToMain([this, id, text] { finishOCRJob(id, text); });
        });
}

void FileShelfManager::handleOCRTimeout(int jobID)
{
    if (!m_isOCRRunning || m_activeOCRJobID != jobID || m_activeOCRTimedOut)
        return;
    m_activeOCRTimedOut = true;
    log(DiagEvents::shelfOcrTimeout, QStringLiteral("job=%1").arg(jobID));
    cancelActiveOCRCompletion();
    if (m_activeOCRRequest)
        m_activeOCRRequest->store(true);
}

QString FileShelfManager::performTextRecognition(TextRecognizer &recognizer, const QUrl &url,
                                                 const RecognitionCancel &cancel)
{
    // Very large pictures are read scaled down: the text stays legible and the engine stays quick.
    const QImage image = ImageDecoding::readFile(url.toLocalFile(), QSize(ocrMaxSide, ocrMaxSide));
    if (image.isNull() || cancel->load())
        return QString();
    return recognizer.recognize(image, ocrLanguages, cancel);
}

void FileShelfManager::finishOCRJob(int jobID, const QString &text)
{
    if (!m_isOCRRunning || m_activeOCRJobID != jobID)
        return;
    const bool timedOut = m_activeOCRTimedOut;
    auto completion = std::exchange(m_activeOCRCompletion, nullptr);
    m_isOCRRunning = false;
    m_activeOCRJobID = 0;
    m_activeOCRTimedOut = false;
    m_activeOCRRequest.reset();
    if (!timedOut && completion)
        postToMain([completion, text] { completion(text); });
    if (m_pendingOCRJob) {
        OCRJob next = std::move(*m_pendingOCRJob);
        m_pendingOCRJob.reset();
        startOCRJob(std::move(next));
    }
}

void FileShelfManager::cancelActiveOCRCompletion()
{
    if (auto completion = std::exchange(m_activeOCRCompletion, nullptr))
        postToMain([completion] { completion(QString()); });
}

} // namespace qv
