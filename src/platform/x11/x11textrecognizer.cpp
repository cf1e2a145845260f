#include "platform/x11/x11textrecognizer.h"

#include <QHash>
#include <QPainter>
#include <QScopeGuard>

#include <memory>

#include "platform/loadablemodule.h"
#include "platform/memoryrelease.h"
#include "platform/modules/ocrengine.h"

namespace qv {

X11TextRecognizer::X11TextRecognizer() = default;
X11TextRecognizer::~X11TextRecognizer() = default;

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
    const auto make =
        reinterpret_cast<MakeOcrEngine>(LoadableModule::resolve("quorvantis_ocr", makeOcrEngineSymbol));
    if (!make)
        return QString();
    // The engine with its language models takes over 100 MB, and a recognition is a rare, explicit
    // request: it is made for each one and freed as that ends, the freed pages given back.
    // Runs last, once the engine and the pictures below are gone.
    const auto release = qScopeGuard([] { releaseFreeMemory(); });
    const std::unique_ptr<OcrEngine> engine(make());

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

    return engine->read(gray, names.join(QLatin1Char('+')), cancel.get());
}

} // namespace qv
