#pragma once

#include <QThreadPool>

#include "platform/thumbnailer.h"

namespace qv {

class FileIconService;

// Thumbnails made on a small thread pool of its own: raster images through the image decoders
// (turned upright, size-limited, read scaled), SVG drawings through QtSvg (only self-contained ones:
// a drawing that refers to other files or addresses is not rendered), and the first page of a PDF
// through poppler (loaded at the first one). A request that asks for an icon and gets no picture is
// answered with the file's icon. Anything else fails with a reason.
class X11Thumbnailer final : public ThumbnailService
{
public:
    explicit X11Thumbnailer(FileIconService &icons);
    ~X11Thumbnailer() override;

    void generate(const ThumbnailRequest &request,
                  std::function<void(const QImage &, const QString &)> done) override;

    // The work of one request, on the calling thread.
    static QImage render(const QString &path, const QSize &pixels, QString *error);

private:
    FileIconService &m_icons;
    QThreadPool m_pool;
};

} // namespace qv
