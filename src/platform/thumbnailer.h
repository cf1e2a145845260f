#pragma once

#include <QFlags>
#include <QImage>
#include <QSize>
#include <QString>

#include <functional>

namespace qv {

// One request for a file's picture: `size` in logical pixels, `scale` the screen's device pixel ratio.
struct ThumbnailRequest
{
    enum Representation { Icon = 0x1, LowQualityThumbnail = 0x2, Thumbnail = 0x4 };
    Q_DECLARE_FLAGS(Representations, Representation)

    QString path;
    QSize size;
    double scale = 2.0;
    Representations types = Thumbnail;
};
Q_DECLARE_OPERATORS_FOR_FLAGS(ThumbnailRequest::Representations)

// Renders the best picture of a file the desktop can make (image, vector drawing, first page of a
// document). The completion runs exactly once, on any thread, possibly before the call returns;
// a null image means no picture could be made, with `error` saying why (may be empty). The image
// keeps the file's aspect ratio and fits size * scale. Callable from any thread.
class ThumbnailService
{
public:
    virtual ~ThumbnailService() = default;
    virtual void generate(const ThumbnailRequest &request,
                          std::function<void(const QImage &image, const QString &error)> done) = 0;
};

} // namespace qv
