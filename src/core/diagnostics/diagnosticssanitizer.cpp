#include "core/diagnostics/diagnosticssanitizer.h"

#include <QJsonArray>
#include <QList>
#include <QRegularExpression>
#include <QStringList>

namespace qv {

namespace {

struct RedactionRule
{
    QRegularExpression pattern;
    QString replacement; // Qt's back-reference form: \1
};

// Unicode semantics for \s, \S and \w, so that a token is not cut short at (or let through after)
// a non-ASCII blank.
QList<RedactionRule> compileRules()
{
    const std::pair<const char *, const char *> sources[] = {
        {R"((Bearer\s+)\S+)", R"(\1[REDACTED_TOKEN])"},
        {R"(eyJ[A-Za-z0-9_-]+\.eyJ[A-Za-z0-9_-]+\.[A-Za-z0-9_-]+)", "[REDACTED_JWT]"},
        {R"((?i)(token|apikey|api_key|access_key|client_secret|refresh_token|authorization|password|secret|license_key)\s*[=:]\s*\S+)",
         R"(\1=[REDACTED_SECRET])"},
        {R"((?i)(cookie|session)\s*[=:]\s*\S+)", R"(\1=[REDACTED_SESSION])"},
        {R"(-----BEGIN\s+[\w\s]*PRIVATE KEY-----[\s\S]*?-----END\s+[\w\s]*PRIVATE KEY-----)",
         "[REDACTED_PEM]"},
        {R"((?<![A-Za-z0-9])(sk-|rk-|pk_|ls_|tok_)[A-Za-z0-9_-]{8,})", "[REDACTED_KEY]"},
    };
    QList<RedactionRule> rules;
    for (const auto &[pattern, replacement] : sources) {
        QRegularExpression re(QString::fromLatin1(pattern), QRegularExpression::UseUnicodePropertiesOption);
        // A rule that does not compile is left out rather than breaking the export.
        if (!re.isValid())
            continue;
        re.optimize();
        rules.append({re, QString::fromLatin1(replacement)});
    }
    return rules;
}

const QList<RedactionRule> &redactionRules()
{
    static const QList<RedactionRule> rules = compileRules();
    return rules;
}

const QStringList &sensitiveKeyWords()
{
    static const QStringList words = {
        QStringLiteral("token"),         QStringLiteral("secret"),      QStringLiteral("password"),
        QStringLiteral("passwd"),        QStringLiteral("auth"),        QStringLiteral("authorization"),
        QStringLiteral("bearer"),        QStringLiteral("cookie"),      QStringLiteral("session"),
        QStringLiteral("license"),       QStringLiteral("keychain"),    QStringLiteral("api_key"),
        QStringLiteral("apikey"),        QStringLiteral("access_key"),  QStringLiteral("refresh_token"),
        QStringLiteral("client_secret"), QStringLiteral("private_key"), QStringLiteral("instance_id"),
    };
    return words;
}

// The regular-expression engine matches nothing at all in a text that is not valid UTF-16, so a
// single lone surrogate would let every secret of that text through. Such halves become U+FFFD.
QString withoutLoneSurrogates(const QString &text)
{
    QString out;
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = text.at(i);
        bool lone = false;
        if (c.isHighSurrogate())
            lone = i + 1 >= size || !text.at(i + 1).isLowSurrogate();
        else if (c.isLowSurrogate())
            lone = i == 0 || !text.at(i - 1).isHighSurrogate();
        if (lone && out.isNull())
            out = text;
        if (lone)
            out[i] = QChar::ReplacementCharacter;
    }
    return out.isNull() ? text : out;
}

} // namespace

QJsonValue DiagnosticsSanitizer::sanitizeValue(const QJsonValue &value, const QString &key)
{
    if (!key.isEmpty() && isSensitiveKey(key)) {
        if (value.isObject())
            return QStringLiteral("[REDACTED_OBJECT]");
        if (value.isArray())
            return QStringLiteral("[REDACTED_ARRAY]");
        return QStringLiteral("[REDACTED]");
    }
    if (value.isString())
        return sanitizeText(value.toString());
    if (value.isObject())
        return sanitizeDictionary(value.toObject());
    if (value.isArray()) {
        QJsonArray out;
        for (const QJsonValue &element : value.toArray())
            out.append(sanitizeValue(element));
        return out;
    }
    return value;
}

QJsonObject DiagnosticsSanitizer::sanitizeDictionary(const QJsonObject &object)
{
    QJsonObject out;
    for (auto it = object.begin(); it != object.end(); ++it)
        out.insert(it.key(), sanitizeValue(it.value(), it.key()));
    return out;
}

QString DiagnosticsSanitizer::sanitizeText(const QString &text)
{
    QString out = withoutLoneSurrogates(text);
    for (const RedactionRule &rule : redactionRules())
        out.replace(rule.pattern, rule.replacement);
    return out;
}

bool DiagnosticsSanitizer::isSensitiveKey(const QString &key)
{
    const QString lower = key.toLower();
    for (const QString &word : sensitiveKeyWords()) {
        if (lower.contains(word))
            return true;
    }
    return false;
}

} // namespace qv
