#pragma once

#include <QNetworkAccessManager>
#include <QObject>

#include <functional>
#include <memory>
#include <optional>

#include "platform/webfetcher.h"
#include "runtime/qtscheduler.h"

namespace qv {

class WorkQueue;

// The web over QtNetwork. At most 10 redirects, never to a less safe scheme. A page's head is read
// up to "</head>" or 512 KiB, whichever comes first, and parsed with libxml2's HTML parser (no
// network access of its own) for `<title>` (else "og:title", either cut to 1000 characters) and
// the icon links (else "/favicon.ico"); the icon may be up to 1 MB. The parse and the icon's
// decoding run on `parseQueue`, never on the main thread; a fetch still ends at its time-out
// whatever they do. Answers are kept in a disk cache of at most 64 MiB in the application's cache
// folder. Main thread.
class X11WebFetcher final : public QObject, public WebFetcher
{
    Q_OBJECT
public:
    // Without a queue, the fetcher makes a serial one of its own.
    explicit X11WebFetcher(QObject *parent = nullptr, std::shared_ptr<WorkQueue> parseQueue = {});
    ~X11WebFetcher() override;

    void download(const QUrl &url, double timeoutSeconds, qint64 maxBytes,
                  std::function<void(const DownloadResult &)> done) override;
    void fetchMetadata(const QUrl &url, double timeoutSeconds,
                       std::function<void(const LinkMetadata &)> done) override;

    static constexpr qint64 maxHeadBytes = 512 * 1024;
    static constexpr int maxTitleLength = 1000;
    static constexpr qint64 maxIconBytes = 1000000;
    static constexpr int maxRedirects = 10;
    static constexpr qint64 maxCacheBytes = 64 * 1024 * 1024;
    // What the network thread may read ahead of us on one reply.
    static constexpr qint64 readBufferBytes = 64 * 1024;

    struct PageHead
    {
        std::optional<QString> title;
        // The first icon link, resolved against the page's address; empty when the page names none.
        QUrl icon;
    };
    // Parses what was read of a page. Any thread.
    static PageHead parseHead(const QByteArray &html, const QUrl &pageURL);

private:
    // "web" in the application's cache folder, made when missing; empty (and said on the console)
    // when either folder is refused.
    static QString ownedCacheFolder();
    QNetworkRequest makeRequest(const QUrl &url, double timeoutSeconds) const;
    static void limitBuffering(QNetworkReply *reply);
    struct MetadataFetch;
    void fetchIcon(const std::shared_ptr<MetadataFetch> &fetch, const QUrl &pageURL,
                   const PageHead &head);
    // Runs `work` on the parse queue and then what it returns on the main thread, unless the fetcher
    // is gone by then.
    void offMainThread(std::function<std::function<void()>()> work);

    QNetworkAccessManager m_network;
    QtScheduler m_mainThread;
    // Last, so that it goes first: its jobs hand their results to the members above.
    std::shared_ptr<WorkQueue> m_parseQueue;
};

} // namespace qv
