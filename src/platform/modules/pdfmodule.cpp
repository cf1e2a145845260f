#include <memory>

#include <poppler-qt6.h>

#include "platform/pdfpages.h"

using qv::PdfPages::Page;

namespace {

Page renderPage(const QString &path, int index, const qv::PdfPages::Resolution &dpi)
{
    const std::unique_ptr<Poppler::Document> document = Poppler::Document::load(path);
    if (!document || document->isLocked() || document->numPages() < 1)
        return Page{QImage(), 0, QStringLiteral("pdf unreadable")};
    Page result{QImage(), document->numPages(), QString()};
    const std::unique_ptr<Poppler::Page> page =
        index >= 0 && index < result.count ? document->page(index) : nullptr;
    if (!page) {
        result.error = QStringLiteral("pdf has no such page");
        return result;
    }
    const QSizeF points = page->pageSizeF();
    if (points.width() <= 0 || points.height() <= 0) {
        result.error = QStringLiteral("pdf page is empty");
        return result;
    }
    const double resolution = dpi(points);
    document->setRenderHint(Poppler::Document::Antialiasing);
    document->setRenderHint(Poppler::Document::TextAntialiasing);
    result.image = page->renderToImage(resolution, resolution);
    if (result.image.isNull())
        result.error = QStringLiteral("pdf page does not render");
    return result;
}

} // namespace

extern "C" Q_DECL_EXPORT void quorvantis_render_pdf_page(const QString &path, int index,
                                                         const qv::PdfPages::Resolution &dpi, Page *page)
{
    *page = renderPage(path, index, dpi);
}
