#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QString>

namespace qv {

// Scrubs what leaves the machine in a diagnostics export: values under sensitive-looking keys are
// blanked with a placeholder, and texts are rewritten by six ordered redaction rules (bearer
// tokens, JWTs, key=value secrets, cookies and sessions, PEM private-key blocks, API-key-like
// words). Pure functions, safe from any thread; the rules are compiled once.
class DiagnosticsSanitizer
{
public:
    // Value under `key` (pass an empty key for array elements and the top level). Under a sensitive
    // key: "[REDACTED]" for a text or a scalar, "[REDACTED_OBJECT]" for an object,
    // "[REDACTED_ARRAY]" for an array. Otherwise texts pass the rules, objects and arrays are
    // walked, numbers, Booleans and null are kept.
    static QJsonValue sanitizeValue(const QJsonValue &value, const QString &key = QString());
    static QJsonObject sanitizeDictionary(const QJsonObject &object);
    // Applies every rule in order to the whole text; each rule sees the previous one's output, and
    // a match may span lines. Halves of surrogate pairs that stand alone come out as U+FFFD.
    static QString sanitizeText(const QString &text);
    // True when the lower-cased key contains one of the sensitive words ("token", "auth", "cookie", ...).
    static bool isSensitiveKey(const QString &key);
};

} // namespace qv
