#pragma once

#include <QImage>
#include <QString>

#include <atomic>

namespace qv {

// The text recognition engine inside the "quorvantis_ocr" module (tesseract 5). `read` takes an
// 8-bit grey picture and tesseract's language list ("eng+fra"); it loads the engine for those
// languages on first use (English alone when they fail) and keeps it for later calls; "" when the
// engine cannot be loaded, nothing was read or `cancel` was set. One call at a time.
class OcrEngine
{
public:
    virtual ~OcrEngine() = default;
    virtual QString read(const QImage &gray, const QString &languages, std::atomic<bool> *cancel) = 0;
};

// The module's one entry point: a new engine, owned by the caller.
using MakeOcrEngine = OcrEngine *(*)();
inline constexpr char makeOcrEngineSymbol[] = "quorvantis_make_ocr_engine";

} // namespace qv
