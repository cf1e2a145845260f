// The classifier as it was before the hand-written matchers: PCRE2 expressions, a grapheme count
// and 27 substring searches. Kept only so the benchmark shows both in one run.
#include "legacyclassifier.h"

#include <QRegularExpression>
#include <QTextBoundaryFinder>

#include <array>

namespace qv {

namespace {

// ICU's \d and \s are Unicode-aware; PCRE2 needs UCP for the same meaning.
QRegularExpression makePattern(const char *pattern)
{
    QRegularExpression re(QString::fromLatin1(pattern), QRegularExpression::UseUnicodePropertiesOption);
    re.optimize();
    return re;
}

struct Patterns
{
    // Tried in this order; the first match decides.
    std::array<QRegularExpression, 5> always{
        makePattern(R"(^\d{4,8}$)"),
        makePattern(R"(^(?:\d[ -]*?){15,19}$)"),
        makePattern(R"(^eyJ[A-Za-z0-9_-]+\.eyJ[A-Za-z0-9_-]+\.[A-Za-z0-9_-]+)"),
        makePattern(R"((?i)^Bearer\s+\S{20,})"),
        makePattern(R"(^(?:sk-|rk-|pk_|ls_|tok_)[A-Za-z0-9_-]{8,})"),
    };
    QRegularExpression hex = makePattern(R"(^[0-9a-fA-F]{64,}$)");
    QRegularExpression base64 = makePattern(R"(^[A-Za-z0-9+/=_-]{40,}$)");
    std::array<QString, 27> keywords{
        QStringLiteral("password"),      QStringLiteral("passwd"),  QStringLiteral("pwd"),
        QStringLiteral("passcode"),      QStringLiteral("secret"),  QStringLiteral("client_secret"),
        QStringLiteral("client secret"), QStringLiteral("token"),   QStringLiteral("access_token"),
        QStringLiteral("refresh_token"), QStringLiteral("bearer"),  QStringLiteral("authorization"),
        QStringLiteral("api_key"),       QStringLiteral("apikey"),  QStringLiteral("api key"),
        QStringLiteral("cookie"),        QStringLiteral("session"), QStringLiteral("license"),
        QStringLiteral("license_key"),   QStringLiteral("otp"),     QStringLiteral("verification code"),
        QStringLiteral("auth code"),     QStringLiteral("cvv"),     QStringLiteral("密码"),
        QStringLiteral("验证码"),        QStringLiteral("口令"),    QStringLiteral("密钥"),
    };
};

const Patterns &patterns()
{
    static const Patterns instance;
    return instance;
}

// Counts extended grapheme clusters, stopping once `limit` is reached.
int graphemeCount(const QString &text, int limit)
{
    if (text.isEmpty())
        return 0;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    int count = 0;
    while (count < limit && finder.toNextBoundary() != -1)
        ++count;
    return count;
}

bool matches(const QRegularExpression &re, const QString &text)
{
    return re.match(text).hasMatch();
}

bool classifyTrimmed(const QString &trimmed)
{
    if (trimmed.isEmpty())
        return false;
    const Patterns &p = patterns();
    for (const auto &re : p.always) {
        if (matches(re, trimmed))
            return true;
    }
    // Only the counts 40 and 64 matter; no need to walk a long text to its end.
    const int length = graphemeCount(trimmed, 64);
    if (length >= 64 && matches(p.hex, trimmed))
        return true;
    if (length >= 40 && !trimmed.contains(QLatin1Char(' ')) && matches(p.base64, trimmed))
        return true;
    const QString lower = trimmed.toLower();
    for (const auto &keyword : p.keywords) {
        if (lower.contains(keyword))
            return true;
    }
    return false;
}

} // namespace

bool legacyIsSensitiveText(const QString &text)
{
    return classifyTrimmed(text.trimmed());
}

} // namespace qv
