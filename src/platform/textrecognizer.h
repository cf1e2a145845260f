#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>

namespace qv {

// Set from any thread to ask a running recognition to stop early.
using RecognitionCancel = std::shared_ptr<std::atomic<bool>>;

// Reads the text in a picture. `languages` are BCP 47 tags in order of preference ("zh-Hans",
// "en-US", ...); languages the desktop has no data for are left out. Returns the lines in reading
// order joined by "\n"; the empty string when nothing was read, the engine is unavailable or the
// recognition was cancelled. Blocking: call it off the main thread, one call at a time.
class TextRecognizer
{
public:
    virtual ~TextRecognizer() = default;
    virtual QString recognize(const QImage &image, const QStringList &languages,
                              const RecognitionCancel &cancel) = 0;
};

} // namespace qv
