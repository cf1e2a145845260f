#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

namespace qv {

// The body of one download. `body` is empty when the transfer failed, timed out or was cut off;
// `tooLarge` says the body passed the caller's limit (and was dropped).
struct DownloadResult
{
    QByteArray body;
    // The "Content-Type" header, as sent; empty when there was none.
    QString contentType;
    bool tooLarge = false;
    QString error;
};

// What a web page says about itself. `ok` false means the page could not be fetched (`error` says
// why); a fetched page may still have no title or icon.
struct LinkMetadata
{
    bool ok = false;
    std::optional<QString> title;
    QImage icon;
    QString error;
};

// The web, for the shelf: plain downloads and a page's title and icon. Main thread only; each
// completion runs exactly once on the main thread, never inside the call. Redirects are followed a
// bounded number of times; nothing but http and https is fetched.
class WebFetcher
{
public:
    virtual ~WebFetcher() = default;
    // Downloads `url`, taking a cached answer when there is one. Gives up after `timeoutSeconds`
    // and drops a body larger than `maxBytes`.
    virtual void download(const QUrl &url, double timeoutSeconds, qint64 maxBytes,
                          std::function<void(const DownloadResult &)> done) = 0;
    // Reads the page's head for its title and icon; the whole fetch, icon included, ends within
    // `timeoutSeconds`.
    virtual void fetchMetadata(const QUrl &url, double timeoutSeconds,
                               std::function<void(const LinkMetadata &)> done) = 0;
};

} // namespace qv
