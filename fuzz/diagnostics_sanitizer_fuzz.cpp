// The diagnostics sanitiser over texts and over JSON documents.
#include <QJsonArray>
#include <QJsonDocument>

#include "core/diagnostics/diagnosticssanitizer.h"
#include "fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using qv::DiagnosticsSanitizer;
    const QString text = qv::fuzz::text(data, size);
    const QString clean = DiagnosticsSanitizer::sanitizeText(text);
    // What leaves the machine is valid UTF-16.
    for (qsizetype i = 0; i < clean.size(); ++i) {
        const QChar c = clean.at(i);
        if (c.isHighSurrogate() && !(i + 1 < clean.size() && clean.at(i + 1).isLowSurrogate()))
            __builtin_trap();
        if (c.isLowSurrogate() && !(i > 0 && clean.at(i - 1).isHighSurrogate()))
            __builtin_trap();
    }
    DiagnosticsSanitizer::isSensitiveKey(text);

    const QJsonDocument document = QJsonDocument::fromJson(qv::fuzz::bytes(data, size));
    if (document.isObject())
        DiagnosticsSanitizer::sanitizeDictionary(document.object());
    else if (document.isArray())
        DiagnosticsSanitizer::sanitizeValue(document.array());
    return 0;
}
