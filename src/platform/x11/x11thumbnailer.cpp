#include "platform/x11/x11thumbnailer.h"

#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>

#include "platform/fileicons.h"
#include "platform/imagedecoding.h"
#include "platform/ownedfiles.h"
#include "platform/pdfpages.h"
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
    const PdfPages::Page page = PdfPages::render(path, 0, [pixels](const QSizeF &points) {
        return 72.0 * std::min(pixels.width() / points.width(), pixels.height() / points.height());
    });
    *error = page.error;
    return page.image;
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
