#pragma once

#include <QMutex>

#include "platform/textrecognizer.h"

namespace qv {

// Text recognition with tesseract 5, which lives in a module loaded at the first recognition. Each
// recognition loads the engine with every asked-for language whose data is installed (English
// alone when the others fail) and frees it when it ends, so nothing of it stays resident between
// requests; when it cannot be loaded at all, every answer is "". Pictures larger than `maxSide` are
// scaled down first. Any thread, one call at a time (calls are serialised).
class X11TextRecognizer final : public TextRecognizer
{
public:
    X11TextRecognizer();
    ~X11TextRecognizer() override;

    QString recognize(const QImage &image, const QStringList &languages,
                      const RecognitionCancel &cancel) override;

    static constexpr int maxSide = 3000;
    // The tesseract name of a BCP 47 tag ("zh-Hans" gives "chi_sim"); empty for one it has no data for.
    static QString tesseractLanguage(const QString &tag);

private:
    QMutex m_mutex;
};

} // namespace qv
