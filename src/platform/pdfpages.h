#pragma once

#include <QImage>
#include <QSizeF>
#include <QString>

#include <functional>

namespace qv {

// Pages of PDF documents drawn through poppler, which lives in the "quorvantis_pdf" module loaded at
// the first page asked for.
namespace PdfPages {

struct Page
{
    QImage image;  // null when the page could not be drawn
    int count = 0; // the document's pages; 0 when it could not be read
    QString error; // why there is no picture
};

// The resolution, in dots per inch, to draw a page of `points` (its size in points, never empty) at.
using Resolution = std::function<double(const QSizeF &points)>;

// Draws page `index` (from 0) of the document at `path`. Blocking and uninterruptible: run it where
// it can be left behind (ImageDecoding::runWithin). Any thread.
Page render(const QString &path, int index, const Resolution &dpi);

using RenderFunction = void (*)(const QString &path, int index, const Resolution &dpi, Page *page);
inline constexpr char renderSymbol[] = "quorvantis_render_pdf_page";

} // namespace PdfPages

} // namespace qv
