#include "platform/pdfpages.h"

#include "platform/loadablemodule.h"

namespace qv {

PdfPages::Page PdfPages::render(const QString &path, int index, const Resolution &dpi)
{
    static const auto draw =
        reinterpret_cast<RenderFunction>(LoadableModule::resolve("quorvantis_pdf", renderSymbol));
    if (!draw)
        return Page{QImage(), 0, QStringLiteral("pdf unreadable")};
    Page page;
    draw(path, index, dpi, &page);
    return page;
}

} // namespace qv
