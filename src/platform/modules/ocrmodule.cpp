#include <QLoggingCategory>

#include <memory>

#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>
#include <tesseract/resultiterator.h>

#include "platform/modules/ocrengine.h"

namespace qv {

namespace {

Q_LOGGING_CATEGORY(lcOcr, "quorvantis.x11.ocr")

bool cancelRequested(void *flag, int)
{
    return static_cast<std::atomic<bool> *>(flag)->load();
}

class TesseractEngine final : public OcrEngine
{
public:
    ~TesseractEngine() override
    {
        if (m_api)
            m_api->End();
    }

    QString read(const QImage &gray, const QString &languages, std::atomic<bool> *cancel) override
    {
        if (!ensureEngine(languages))
            return QString();
        m_api->SetImage(gray.constBits(), gray.width(), gray.height(), 1, int(gray.bytesPerLine()));
        m_api->SetSourceResolution(300);
        tesseract::ETEXT_DESC monitor;
        monitor.cancel = &cancelRequested;
        monitor.cancel_this = cancel;
        if (m_api->Recognize(&monitor) != 0 || cancel->load()) {
            m_api->Clear();
            return QString();
        }
        QStringList lines;
        std::unique_ptr<tesseract::ResultIterator> iterator(m_api->GetIterator());
        if (iterator) {
            do {
                const std::unique_ptr<char[]> text(iterator->GetUTF8Text(tesseract::RIL_TEXTLINE));
                if (!text)
                    continue;
                const QString line = QString::fromUtf8(text.get()).trimmed();
                if (!line.isEmpty())
                    lines.append(line);
            } while (iterator->Next(tesseract::RIL_TEXTLINE));
        }
        m_api->Clear();
        return lines.join(QLatin1Char('\n'));
    }

private:
    bool ensureEngine(const QString &languages)
    {
        if (m_api && m_loadedLanguages == languages)
            return true;
        if (m_failed && m_loadedLanguages == languages)
            return false;
        m_api = std::make_unique<tesseract::TessBaseAPI>();
        m_loadedLanguages = languages;
        if (m_api->Init(nullptr, languages.toUtf8().constData(), tesseract::OEM_LSTM_ONLY) == 0)
            return true;
        qCWarning(lcOcr).noquote() << QStringLiteral("⚠️ OCR languages unavailable: ") + languages;
        m_api = std::make_unique<tesseract::TessBaseAPI>();
        if (m_api->Init(nullptr, "eng", tesseract::OEM_LSTM_ONLY) == 0)
            return true;
        m_api.reset();
        m_failed = true;
        return false;
    }

    std::unique_ptr<tesseract::TessBaseAPI> m_api;
    QString m_loadedLanguages;
    bool m_failed = false;
};

} // namespace

} // namespace qv

extern "C" Q_DECL_EXPORT qv::OcrEngine *quorvantis_make_ocr_engine()
{
    return new qv::TesseractEngine;
}
