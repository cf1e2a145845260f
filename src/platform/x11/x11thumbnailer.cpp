#include "platform/x11/x11thumbnailer.h"

#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>

#include <poppler-qt6.h>

#include "platform/fileicons.h"
#include "platform/imagedecoding.h"
#include "platform/ownedfiles.h"
#include "runtime/workqueue.h"

namespace qv {

namespace {

QImage renderSvg(const QString &path, const QSize &pixels, QString *error)
{
    const auto read =
        OwnedFiles::readRegularFile(path, ImageDecoding::maxSvgBytes, OwnedFiles::Links::Follow);
    if (read.problem != OwnedFiles::ReadResult::None) {
        *error = QStringLiteral("svg unreadable");
        return QImage();
    }
    const QByteArray &svg = read.bytes;
    if (!ImageDecoding::isSelfContainedSvg(svg)) {
        *error = QStringLiteral("svg refers to other files");
        return QImage();
    }
    const QImage image = ImageDecoding::renderSvg(svg, pixels);
    if (image.isNull())
        *error = QStringLiteral("svg invalid or too slow to draw");
    return image;
}

QImage renderPdfNow(const QString &path, const QSize &pixels, QString *error)
{
    const std::unique_ptr<Poppler::Document> document = Poppler::Document::load(path);
    if (!document || document->isLocked() || document->numPages() < 1) {
        *error = QStringLiteral("pdf unreadable");
        return QImage();
    }
    const std::unique_ptr<Poppler::Page> page = document->page(0);
    if (!page) {
        *error = QStringLiteral("pdf has no first page");
        return QImage();
    }
    const QSizeF points = page->pageSizeF();
    if (points.width() <= 0 || points.height() <= 0) {
        *error = QStringLiteral("pdf page is empty");
        return QImage();
    }
    const double scale = std::min(pixels.width() / points.width(), pixels.height() / points.height());
    document->setRenderHint(Poppler::Document::Antialiasing);
    document->setRenderHint(Poppler::Document::TextAntialiasing);
    const QImage image = page->renderToImage(72.0 * scale, 72.0 * scale);
    if (image.isNull())
        *error = QStringLiteral("pdf page does not render");
    return image;
}

// Poppler cannot be interrupted, and a hostile document can keep it busy for minutes: the page is
// drawn where it can be left behind, so it holds neither a pooled thread nor quitting.
QImage renderPdf(const QString &path, const QSize &pixels, QString *error)
{
    struct Drawn
    {
        QImage image;
        QString error;
    };
    const std::optional<Drawn> drawn = ImageDecoding::runWithin<Drawn>(
        [path, pixels] {
            Drawn drawn;
            drawn.image = renderPdfNow(path, pixels, &drawn.error);
            return drawn;
        },
        ImageDecoding::pdfTimeLimitMs);
    if (!drawn) {
        *error = QStringLiteral("pdf too slow to draw");
        return QImage();
    }
    *error = drawn->error;
    return drawn->image;
}

} // namespace

X11Thumbnailer::X11Thumbnailer(FileIconService &icons) : m_icons(icons)
{
    m_pool.setMaxThreadCount(2);
}

X11Thumbnailer::~X11Thumbnailer()
{
    m_pool.clear();
    m_pool.waitForDone();
}

QImage X11Thumbnailer::render(const QString &path, const QSize &pixels, QString *error)
{
    const QFileInfo info(path);
    if (!info.isFile()) {
        *error = QStringLiteral("not a file");
        return QImage();
    }
    const QString mime = QMimeDatabase().mimeTypeForFile(info).name();
    if (mime == QLatin1String("image/svg+xml") || mime == QLatin1String("image/svg+xml-compressed"))
        return renderSvg(path, pixels, error);
    if (mime == QLatin1String("application/pdf"))
        return renderPdf(path, pixels, error);
    const QImage image = ImageDecoding::readFile(path, pixels);
    if (image.isNull())
        *error = QStringLiteral("no preview for ") + mime;
    return image;
}

void X11Thumbnailer::generate(const ThumbnailRequest &request,
                              std::function<void(const QImage &, const QString &)> done)
{
    startOnPool(m_pool, [this, request, done = std::move(done)] {
        const QSize pixels = request.size * std::max(1.0, request.scale);
        QString error;
        QImage image = render(request.path, pixels, &error);
        if (image.isNull() && (request.types & ThumbnailRequest::Icon))
            image = m_icons.iconForFile(request.path);
        done(image, image.isNull() ? error : QString());
    });
}

} // namespace qv
