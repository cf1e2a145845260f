#include "platform/sim/simshelfservices.h"

#include <QCoreApplication>
#include <QMimeDatabase>
#include <QMutexLocker>
#include <QThread>

#include "platform/icontheme.h"
#include "runtime/scheduler.h"

namespace qv {

void SimThumbnailer::generate(const ThumbnailRequest &request,
                              std::function<void(const QImage &, const QString &)> done)
{
    QImage answer;
    {
        QMutexLocker lock(&m_mutex);
        m_requests.append(request);
        answer = m_answers.value(request.path);
    }
    done(answer, answer.isNull() ? QStringLiteral("no thumbnail") : QString());
}

void SimThumbnailer::script(const QString &path, const QImage &image)
{
    QMutexLocker lock(&m_mutex);
    m_answers.insert(path, image);
}

QList<ThumbnailRequest> SimThumbnailer::requests() const
{
    QMutexLocker lock(&m_mutex);
    return m_requests;
}

int SimThumbnailer::requestCount(const QString &path) const
{
    QMutexLocker lock(&m_mutex);
    return int(std::count_if(m_requests.begin(), m_requests.end(),
                             [&path](const ThumbnailRequest &request) { return request.path == path; }));
}

QImage SimFileIcons::iconForFile(const QString &path)
{
    {
        QMutexLocker lock(&m_mutex);
        m_asked.append(path);
    }
    if (m_themed && QCoreApplication::instance() &&
        QThread::currentThread() == QCoreApplication::instance()->thread()) {
        const QImage themed = themeIconForMimeType(
            QMimeDatabase().mimeTypeForFile(path, QMimeDatabase::MatchExtension).name(), 64);
        if (!themed.isNull())
            return themed;
    }
    return genericIcon();
}

QStringList SimFileIcons::asked() const
{
    QMutexLocker lock(&m_mutex);
    return m_asked;
}

QImage SimFileIcons::genericIcon()
{
    static const QImage icon = [] {
        QImage image(16, 16, QImage::Format_ARGB32);
        image.fill(Qt::gray);
        return image;
    }();
    return icon;
}

void SimWebFetcher::deliver(std::function<void()> fn)
{
    if (m_scheduler)
        m_scheduler->post(std::move(fn));
    else
        QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(fn), Qt::QueuedConnection);
}

void SimWebFetcher::download(const QUrl &url, double timeoutSeconds, qint64 maxBytes,
                             std::function<void(const DownloadResult &)> done)
{
    downloadsAsked.append(url);
    lastDownloadTimeout = timeoutSeconds;
    lastMaxBytes = maxBytes;
    DownloadResult result = m_downloads.value(url);
    if (!m_downloads.contains(url))
        result.error = QStringLiteral("not scripted");
    if (result.body.size() > maxBytes)
        result = DownloadResult{QByteArray(), result.contentType, true, QStringLiteral("too large")};
    deliver([done = std::move(done), result] { done(result); });
}

void SimWebFetcher::fetchMetadata(const QUrl &url, double timeoutSeconds,
                                  std::function<void(const LinkMetadata &)> done)
{
    metadataAsked.append(url);
    lastMetadataTimeout = timeoutSeconds;
    if (m_metadata.contains(url)) {
        deliver([done = std::move(done), result = m_metadata.value(url)] { done(result); });
        return;
    }
    m_waitingMetadata.append({url, std::move(done)});
}

bool SimWebFetcher::answerMetadata(const QUrl &url, const LinkMetadata &result)
{
    for (int i = 0; i < m_waitingMetadata.size(); ++i) {
        if (m_waitingMetadata.at(i).first == url) {
            auto done = m_waitingMetadata.takeAt(i).second;
            done(result);
            return true;
        }
    }
    return false;
}

QString SimTextRecognizer::recognize(const QImage &, const QStringList &languages,
                                     const RecognitionCancel &cancel)
{
    {
        QMutexLocker lock(&m_mutex);
        ++m_calls;
        m_languages = languages;
    }
    if (during)
        during(cancel);
    QMutexLocker lock(&m_mutex);
    return m_answers.isEmpty() ? QString() : m_answers.takeFirst();
}

void SimTextRecognizer::script(const QStringList &answers)
{
    QMutexLocker lock(&m_mutex);
    m_answers = answers;
}

int SimTextRecognizer::callCount() const
{
    QMutexLocker lock(&m_mutex);
    return m_calls;
}

QStringList SimTextRecognizer::lastLanguages() const
{
    QMutexLocker lock(&m_mutex);
    return m_languages;
}

void SimDragEndReport::startMonitoring()
{
    if (m_monitoring)
        return;
    m_monitoring = true;
    ++m_installs;
}

void SimDragEndReport::release()
{
    if (m_monitoring)
        emit mouseUp();
}

} // namespace qv
