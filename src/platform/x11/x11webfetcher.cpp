#include "platform/x11/x11webfetcher.h"

#include <QDir>
#include <QNetworkDiskCache>
#include <QNetworkReply>
#include <QPointer>
#include <QStandardPaths>
#include <QTimer>

#include <libxml/HTMLparser.h>
#include <libxml/tree.h>

#include "platform/imagedecoding.h"
#include "platform/ownedfiles.h"
#include "runtime/workqueue.h"

namespace qv {

namespace {

// A server's refusal (a status of 400 or more) reaches the reply as an error only after its body:
// aborting it before then ends it twice (Qt warns "must only be called once"). Such a body is read
// and let go, and the reply ends by itself.
bool isRefused(QNetworkReply *reply)
{
    if (reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() < 400)
        return false;
    reply->skip(reply->bytesAvailable());
    return true;
}

bool isWebScheme(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

QString attribute(xmlNode *node, const char *name)
{
    xmlChar *value = xmlGetProp(node, reinterpret_cast<const xmlChar *>(name));
    if (!value)
        return QString();
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(value));
    xmlFree(value);
    return text;
}

QString textOf(xmlNode *node)
{
    xmlChar *content = xmlNodeGetContent(node);
    if (!content)
        return QString();
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(content));
    xmlFree(content);
    return text;
}

bool named(xmlNode *node, const char *name)
{
    return node->type == XML_ELEMENT_NODE &&
           xmlStrcasecmp(node->name, reinterpret_cast<const xmlChar *>(name)) == 0;
}

struct HeadScan
{
    std::optional<QString> title;
    std::optional<QString> ogTitle;
    QString iconHref;
};

void scan(xmlNode *node, HeadScan &found, int depth)
{
    // Pages nest deeply only when they are hostile; the head lies near the top.
    if (depth > 64)
        return;
    for (xmlNode *child = node; child; child = child->next) {
        if (named(child, "body"))
            continue;
        if (named(child, "title") && !found.title) {
            found.title = textOf(child);
        } else if (named(child, "meta") && !found.ogTitle) {
            const QString property = attribute(child, "property").toLower();
            if (property == QLatin1String("og:title") ||
                attribute(child, "name").toLower() == QLatin1String("og:title"))
                found.ogTitle = attribute(child, "content");
        } else if (named(child, "link") && found.iconHref.isEmpty()) {
            const QStringList rel =
                attribute(child, "rel").toLower().split(QLatin1Char(' '), Qt::SkipEmptyParts);
            if (rel.contains(QLatin1String("icon")) || rel.contains(QLatin1String("apple-touch-icon")))
                found.iconHref = attribute(child, "href").trimmed();
        }
        if (child->children)
            scan(child->children, found, depth + 1);
    }
}

} // namespace

// Everything one metadata fetch holds while it runs; finished once.
struct X11WebFetcher::MetadataFetch
{
    std::function<void(const LinkMetadata &)> done;
    LinkMetadata result;
    QByteArray head;
    // How much of the head was searched for its end already.
    qsizetype searched = 0;
    QByteArray iconBytes;
    QPointer<QNetworkReply> page;
    QPointer<QNetworkReply> icon;
    QTimer deadline;
    // The head is read whole and handed to the parse.
    bool parsing = false;
    bool finished = false;

    void finish()
    {
        if (finished)
            return;
        finished = true;
        deadline.stop();
        // Drops the time-out's hold on this fetch.
        QObject::disconnect(&deadline, nullptr, nullptr, nullptr);
        if (page)
            page->abort();
        if (icon)
            icon->abort();
        done(result);
    }
};

X11WebFetcher::X11WebFetcher(QObject *parent, std::shared_ptr<WorkQueue> parseQueue)
    : QObject(parent), m_network(this), m_parseQueue(std::move(parseQueue))
{
    if (!m_parseQueue)
        m_parseQueue = ThreadQueueFactory().makeQueue(QStringLiteral("Quorvantis.LinkMetadata"), QueueKind::Serial);
    m_network.setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
    // Downloads prefer a cached answer, so there has to be a cache to answer from; its folder
    // follows the rule of all our folders, and without one the downloads go uncached.
    const QString folder = ownedCacheFolder();
    if (folder.isEmpty())
        return;
    auto *cache = new QNetworkDiskCache(this);
    cache->setCacheDirectory(folder);
    cache->setMaximumCacheSize(maxCacheBytes);
    m_network.setCache(cache);
}

QString X11WebFetcher::ownedCacheFolder()
{
    // The cache writes and expires files by path, under both levels: a link or anything else in
    // the place of either is refused, and nothing of it is touched.
    const QString base = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    for (const QString &path : {base, base + QStringLiteral("/web")}) {
        const OwnedFiles::Folder owned(path, OwnedFiles::Folder::Mode::Create);
        if (!owned.isOpen()) {
            if (!owned.refusal().isEmpty())
                OwnedFiles::warnRefused(owned, QStringLiteral("the web cache"));
            return QString();
        }
    }
    return base + QStringLiteral("/web");
}

X11WebFetcher::~X11WebFetcher()
{
    // A parse under way finishes (it is bounded) before the members it reports to go.
    m_parseQueue.reset();
}

void X11WebFetcher::offMainThread(std::function<std::function<void()>()> work)
{
    m_parseQueue->async([main = &m_mainThread, work = std::move(work)] { main->post(work()); });
}

QNetworkRequest X11WebFetcher::makeRequest(const QUrl &url, double timeoutSeconds) const
{
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::PreferCache);
    request.setMaximumRedirectsAllowed(maxRedirects);
    request.setTransferTimeout(int(timeoutSeconds * 1000));
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Quorvantis"));
    return request;
}

void X11WebFetcher::download(const QUrl &url, double timeoutSeconds, qint64 maxBytes,
                             std::function<void(const DownloadResult &)> done)
{
    if (!isWebScheme(url)) {
        QTimer::singleShot(0, this, [done = std::move(done)] {
            done(DownloadResult{QByteArray(), QString(), false, QStringLiteral("not a web address")});
        });
        return;
    }
    QNetworkReply *reply = m_network.get(makeRequest(url, timeoutSeconds));
    limitBuffering(reply);
    struct Body
    {
        QByteArray bytes;
        bool tooLarge = false;
    };
    auto body = std::make_shared<Body>();
    // The transfer time-out only measures silence; a trickling server is stopped here.
    QTimer::singleShot(int(timeoutSeconds * 1000), reply, [reply] { reply->abort(); });
    auto refuse = [reply, body] {
        if (body->tooLarge)
            return;
        body->tooLarge = true;
        body->bytes = QByteArray();
        reply->abort();
    };
    connect(reply, &QNetworkReply::metaDataChanged, reply, [reply, maxBytes, refuse] {
        if (!isRefused(reply) && reply->header(QNetworkRequest::ContentLengthHeader).toLongLong() > maxBytes)
            refuse();
    });
    // Counted as the bytes arrive: nothing past the cap is ever held.
    connect(reply, &QNetworkReply::readyRead, reply, [reply, body, maxBytes, refuse] {
        if (body->tooLarge || isRefused(reply))
            return;
        body->bytes.append(reply->read(maxBytes + 1 - body->bytes.size()));
        if (body->bytes.size() > maxBytes)
            refuse();
    });
    connect(reply, &QNetworkReply::finished, this, [reply, body, maxBytes, done = std::move(done)] {
        reply->deleteLater();
        DownloadResult result;
        result.tooLarge = body->tooLarge;
        result.contentType = reply->header(QNetworkRequest::ContentTypeHeader).toString();
        if (reply->error() == QNetworkReply::NoError && !result.tooLarge) {
            body->bytes.append(reply->read(maxBytes + 1 - body->bytes.size()));
            result.tooLarge = body->bytes.size() > maxBytes;
        }
        if (reply->error() == QNetworkReply::NoError && !result.tooLarge)
            result.body = std::move(body->bytes);
        else
            result.error = result.tooLarge ? QStringLiteral("body too large") : reply->errorString();
        done(result);
    });
}

void X11WebFetcher::limitBuffering(QNetworkReply *reply)
{
    // Without a limit the network thread reads as fast as the server sends and queues it all for us.
    // The limit reaches that thread as an event behind the request's start. Should the thread get to
    // the body first (this one held up between the two), it reads on unlimited, taking no events,
    // until the socket runs dry, which a server that keeps sending can put off to the end of its body.
    reply->setReadBufferSize(readBufferBytes);
    // A redirect is followed by a new request inside the same reply, and that request starts
    // unlimited: the whole redirected body was read whatever our cap. The reply starts it from the
    // event queue just before it says it was redirected, so a limit queued from here follows that
    // start as the first one follows the first.
    connect(reply, &QNetworkReply::redirected, reply, [reply] {
        QMetaObject::invokeMethod(
            reply, [reply] { reply->setReadBufferSize(readBufferBytes); }, Qt::QueuedConnection);
    });
}

X11WebFetcher::PageHead X11WebFetcher::parseHead(const QByteArray &html, const QUrl &pageURL)
{
    PageHead head;
    if (html.isEmpty())
        return head;
    const QByteArray base = pageURL.toString(QUrl::FullyEncoded).toUtf8();
    htmlDocPtr document = htmlReadMemory(html.constData(), int(html.size()), base.constData(), nullptr,
                                         HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING |
                                             HTML_PARSE_NONET | HTML_PARSE_NOIMPLIED);
    if (!document)
        return head;
    HeadScan found;
    scan(xmlDocGetRootElement(document), found, 0);
    xmlFreeDoc(document);
    if (found.title && !found.title->trimmed().isEmpty())
        head.title = found.title;
    else if (found.ogTitle)
        head.title = found.ogTitle;
    else
        head.title = found.title;
    // A page decides how long its title is; a name is no longer than this.
    if (head.title && head.title->size() > maxTitleLength) {
        qsizetype cut = maxTitleLength;
        if (head.title->at(cut - 1).isHighSurrogate())
            --cut;
        head.title->truncate(cut);
    }
    if (!found.iconHref.isEmpty()) {
        const QUrl icon = pageURL.resolved(QUrl(found.iconHref));
        if (isWebScheme(icon))
            head.icon = icon;
    }
    return head;
}

void X11WebFetcher::fetchMetadata(const QUrl &url, double timeoutSeconds,
                                  std::function<void(const LinkMetadata &)> done)
{
    auto fetch = std::make_shared<MetadataFetch>();
    fetch->done = std::move(done);
    if (!isWebScheme(url)) {
        fetch->result.error = QStringLiteral("not a web address");
        QTimer::singleShot(0, this, [fetch] { fetch->finish(); });
        return;
    }
    fetch->deadline.setSingleShot(true);
    QObject::connect(&fetch->deadline, &QTimer::timeout, this, [fetch] {
        if (!fetch->result.ok)
            fetch->result.error = QStringLiteral("timed out");
        fetch->finish();
    });
    fetch->deadline.start(int(timeoutSeconds * 1000));

    QNetworkRequest request = makeRequest(url, timeoutSeconds);
    request.setRawHeader("Accept", "text/html,application/xhtml+xml;q=0.9,*/*;q=0.5");
    QNetworkReply *page = m_network.get(request);
    limitBuffering(page);
    fetch->page = page;

    auto parsePage = [this, fetch](const QUrl &pageURL) {
        if (fetch->finished || fetch->parsing)
            return;
        fetch->parsing = true;
        offMainThread([this, fetch, pageURL, html = std::move(fetch->head)]() -> std::function<void()> {
            const PageHead head = parseHead(html, pageURL);
            return [this, fetch, pageURL, head] { fetchIcon(fetch, pageURL, head); };
        });
    };
    connect(page, &QNetworkReply::readyRead, this, [fetch, page, parsePage] {
        if (fetch->parsing || isRefused(page))
            return;
        fetch->head.append(page->read(maxHeadBytes - fetch->head.size()));
        // Only what arrived since the last look is searched (with room for an end split across reads).
        const qsizetype from = std::max<qsizetype>(0, fetch->searched - 6);
        fetch->searched = fetch->head.size();
        if (fetch->head.size() >= maxHeadBytes || fetch->head.indexOf("</head>", from) >= 0 ||
            fetch->head.indexOf("</HEAD>", from) >= 0) {
            // Handed to the parse before the abort, whose finished signal then finds the page taken.
            parsePage(page->url());
            page->abort();
        }
    });
    connect(page, &QNetworkReply::finished, this, [fetch, page, parsePage] {
        page->deleteLater();
        if (fetch->finished || fetch->parsing)
            return;
        const int status = page->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (page->error() != QNetworkReply::NoError || status >= 400) {
            fetch->result.error = page->errorString();
            fetch->finish();
            return;
        }
        fetch->head.append(page->read(maxHeadBytes - fetch->head.size()));
        parsePage(page->url());
    });
}

void X11WebFetcher::fetchIcon(const std::shared_ptr<MetadataFetch> &fetch, const QUrl &pageURL,
                              const PageHead &head)
{
    if (fetch->finished)
        return;
    fetch->result.ok = true;
    fetch->result.title = head.title;
    const QUrl iconURL =
        head.icon.isValid() ? head.icon : pageURL.resolved(QUrl(QStringLiteral("/favicon.ico")));
    QNetworkReply *icon = m_network.get(makeRequest(iconURL, 5));
    limitBuffering(icon);
    fetch->icon = icon;
    // Counted as the bytes arrive; an icon past its cap is no icon.
    auto takeIcon = [fetch, icon] {
        if (isRefused(icon))
            return;
        fetch->iconBytes.append(icon->read(maxIconBytes + 1 - fetch->iconBytes.size()));
        if (fetch->iconBytes.size() > maxIconBytes) {
            fetch->iconBytes = QByteArray();
            fetch->finish();
        }
    };
    connect(icon, &QNetworkReply::readyRead, icon, takeIcon);
    connect(icon, &QNetworkReply::finished, this, [this, fetch, icon, takeIcon] {
        icon->deleteLater();
        if (fetch->finished)
            return;
        if (icon->error() != QNetworkReply::NoError) {
            fetch->finish();
            return;
        }
        takeIcon();
        if (fetch->finished)
            return;
        offMainThread([fetch, bytes = std::move(fetch->iconBytes)]() -> std::function<void()> {
            QImage decoded = ImageDecoding::readData(bytes, QSize(256, 256));
            return [fetch, decoded = std::move(decoded)] {
                if (fetch->finished)
                    return;
                fetch->result.icon = decoded;
                fetch->finish();
            };
        });
    });
}

} // namespace qv
