#pragma once

#include <QHash>
#include <QList>
#include <QMutex>
#include <QStringList>

#include <atomic>
#include <functional>

#include "platform/dragendreport.h"
#include "platform/fileicons.h"
#include "platform/textrecognizer.h"
#include "platform/thumbnailer.h"
#include "platform/webfetcher.h"

namespace qv {

class Scheduler;

// Answers from a script: a path with a scripted picture gets it at once (inside the call, as a real
// generator may); any other path fails with "no thumbnail". Records every request. Any thread.
class SimThumbnailer final : public ThumbnailService
{
public:
    void generate(const ThumbnailRequest &request,
                  std::function<void(const QImage &, const QString &)> done) override;

    void script(const QString &path, const QImage &image);
    QList<ThumbnailRequest> requests() const;
    int requestCount(const QString &path) const;

private:
    mutable QMutex m_mutex;
    QHash<QString, QImage> m_answers;
    QList<ThumbnailRequest> m_requests;
};

// A 16x16 grey square for every file; records the paths asked about. After `useIconTheme`, a call
// on the main thread answers the icon theme's picture of the file's type instead, as the real
// desktop does (for tests whose pictures people look at). Any thread.
class SimFileIcons final : public FileIconService
{
public:
    QImage iconForFile(const QString &path) override;
    QStringList asked() const;
    static QImage genericIcon();
    void useIconTheme() { m_themed = true; }

private:
    mutable QMutex m_mutex;
    QStringList m_asked;
    std::atomic<bool> m_themed = false;
};

// Scripted web. A scripted answer is delivered through the scheduler's post (set one before use);
// an unscripted request waits until the test answers it, or for ever. Main thread.
class SimWebFetcher final : public WebFetcher
{
public:
    void download(const QUrl &url, double timeoutSeconds, qint64 maxBytes,
                  std::function<void(const DownloadResult &)> done) override;
    void fetchMetadata(const QUrl &url, double timeoutSeconds,
                       std::function<void(const LinkMetadata &)> done) override;

    void setScheduler(Scheduler *scheduler) { m_scheduler = scheduler; }
    void scriptDownload(const QUrl &url, const DownloadResult &result) { m_downloads.insert(url, result); }
    void scriptMetadata(const QUrl &url, const LinkMetadata &result) { m_metadata.insert(url, result); }
    // Answers a waiting metadata request; false when none waits for that address.
    bool answerMetadata(const QUrl &url, const LinkMetadata &result);

    QList<QUrl> downloadsAsked;
    QList<QUrl> metadataAsked;
    // The limits of the last requests.
    double lastDownloadTimeout = 0;
    double lastMetadataTimeout = 0;
    qint64 lastMaxBytes = 0;

private:
    void deliver(std::function<void()> fn);

    Scheduler *m_scheduler = nullptr;
    QHash<QUrl, DownloadResult> m_downloads;
    QHash<QUrl, LinkMetadata> m_metadata;
    QList<QPair<QUrl, std::function<void(const LinkMetadata &)>>> m_waitingMetadata;
};

// Answers each recognition with the next scripted text ("" when the script is used up). `during`
// runs inside each call, so a test can hold a recognition open. Any thread.
class SimTextRecognizer final : public TextRecognizer
{
public:
    QString recognize(const QImage &image, const QStringList &languages,
                      const RecognitionCancel &cancel) override;

    void script(const QStringList &answers);
    std::function<void(const RecognitionCancel &)> during;
    int callCount() const;
    QStringList lastLanguages() const;

private:
    mutable QMutex m_mutex;
    QStringList m_answers;
    int m_calls = 0;
    QStringList m_languages;
};

// The drag-out monitor of a simulated desktop: release() is the user letting go of the button,
// takeDrag() another application accepting the drop.
class SimDragEndReport final : public DragEndReport
{
    Q_OBJECT
public:
    void startMonitoring() override;
    void stopMonitoring() override { m_monitoring = false; }
    bool isMonitoring() const override { return m_monitoring; }
    QStringList dragTypes() const override { return m_types; }
    // The simulated desktop reports drag ends itself (release() with the types set by the test).
    void dragFinished(bool) override { ++m_finishedReports; }
    int finishedReports() const { return m_finishedReports; }

    // A mouse-up reaches the monitor only while it is installed.
    void release();
    void setDragTypes(const QStringList &types) { m_types = types; }
    int installCount() const { return m_installs; }

private:
    bool m_monitoring = false;
    int m_installs = 0;
    int m_finishedReports = 0;
    QStringList m_types;
};

} // namespace qv
