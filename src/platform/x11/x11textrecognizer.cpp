#include "platform/x11/x11textrecognizer.h"

#include <QHash>
#include <QLoggingCategory>
#include <QPainter>

#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>
#include <tesseract/resultiterator.h>

namespace qv {

namespace {

Q_LOGGING_CATEGORY(lcOcr, "quorvantis.x11.ocr")

bool cancelRequested(void *flag, int)
{
    return static_cast<std::atomic<bool> *>(flag)->load();
}

} // namespace

X11TextRecognizer::X11TextRecognizer() = default;
X11TextRecognizer::~X11TextRecognizer()
{
    if (m_api)
        m_api->End();
}

QString X11TextRecognizer::tesseractLanguage(const QString &tag)
{
    static const QHash<QString, QString> names = {{QStringLiteral("zh-hans"), QStringLiteral("chi_sim")},
                                                  {QStringLiteral("en"), QStringLiteral("eng")},
                                                  {QStringLiteral("fr"), QStringLiteral("fra")},
                                                  {QStringLiteral("de"), QStringLiteral("deu")},
                                                  {QStringLiteral("es"), QStringLiteral("spa")},
                                                  {QStringLiteral("pl"), QStringLiteral("pol")}};
    const QString lower = tag.toLower();
    if (names.contains(lower))
        return names.value(lower);
    return names.value(lower.section(QLatin1Char('-'), 0, 0));
}

bool X11TextRecognizer::ensureEngine(const QString &languages)
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

QString X11TextRecognizer::recognize(const QImage &image, const QStringList &languages,
                                     const RecognitionCancel &cancel)
{
    QStringList names;
    for (const QString &tag : languages) {
        const QString name = tesseractLanguage(tag);
        if (!name.isEmpty() && !names.contains(name))
            names.append(name);
    }
    if (names.isEmpty())
        names.append(QStringLiteral("eng"));
    if (image.isNull())
        return QString();

    QMutexLocker lock(&m_mutex);
    if (!ensureEngine(names.join(QLatin1Char('+'))))
        return QString();

    QImage gray = image;
    if (gray.width() > maxSide || gray.height() > maxSide)
        gray = gray.scaled(maxSide, maxSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    // Transparent pixels read as white paper, not black.
    if (gray.hasAlphaChannel()) {
        QImage flattened(gray.size(), QImage::Format_RGB32);
        flattened.fill(Qt::white);
        QPainter painter(&flattened);
        painter.drawImage(0, 0, gray);
        painter.end();
        gray = flattened;
    }
    gray = gray.convertToFormat(QImage::Format_Grayscale8);

    m_api->SetImage(gray.constBits(), gray.width(), gray.height(), 1, int(gray.bytesPerLine()));
    m_api->SetSourceResolution(300);
    tesseract::ETEXT_DESC monitor;
    monitor.cancel = &cancelRequested;
    monitor.cancel_this = cancel.get();
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

} // namespace qv
