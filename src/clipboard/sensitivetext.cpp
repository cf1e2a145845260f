// The sensitive-text classifier and mask of ClipboardManager.
//
// The seven shapes are matched by hand rather than by regular expressions: each is anchored at the
// start and decided by one forward pass, and a text that arrives with a lone UTF-16 surrogate (which
// a regular-expression engine in UTF mode refuses outright) is still classified, the surrogate
// counting as one character that is neither a digit, a space nor a key character. The semantics are
// those of the expressions with Unicode properties: a digit is any decimal digit (Nd), a space is
// tab to carriage return or a separator (Z*), and counts are in code points.
#include "clipboard/clipboardmanager.h"

#include <QStringView>
#include <QTextBoundaryFinder>

#include <array>
#include <bit>

#include "clipboard/graphemes.h"

namespace qv {

namespace {

// One code point at a time; a lone surrogate is returned as itself.
class CodePoints
{
public:
    explicit CodePoints(QStringView text) : m_text(text) {}
    bool atEnd() const { return m_pos >= m_text.size(); }
    qsizetype position() const { return m_pos; }
    char32_t next()
    {
        const char16_t high = m_text[m_pos++].unicode();
        if (QChar::isHighSurrogate(high) && m_pos < m_text.size()) {
            const char16_t low = m_text[m_pos].unicode();
            if (QChar::isLowSurrogate(low)) {
                ++m_pos;
                return QChar::surrogateToUcs4(high, low);
            }
        }
        return high;
    }

private:
    QStringView m_text;
    qsizetype m_pos = 0;
};

bool isDecimalDigit(char32_t c)
{
    if (c < 0x80)
        return c >= '0' && c <= '9';
    if (QChar::isSurrogate(c))
        return false;
    return QChar::category(c) == QChar::Number_DecimalDigit;
}

bool isSpace(char32_t c)
{
    if (c < 0x80)
        return c == ' ' || (c >= 0x09 && c <= 0x0D);
    if (QChar::isSurrogate(c))
        return false;
    switch (QChar::category(c)) {
    case QChar::Separator_Space:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return true;
    default:
        return false;
    }
}

bool isKeyChar(char16_t c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
}

bool isBase64Char(char16_t c)
{
    return isKeyChar(c) || c == '+' || c == '/' || c == '=';
}

// Length of the run of key characters starting at `from`.
qsizetype keyRun(QStringView text, qsizetype from)
{
    qsizetype end = from;
    while (end < text.size() && isKeyChar(text[end].unicode()))
        ++end;
    return end - from;
}

// "^\d{4,8}$": a one-time code or PIN.
bool isCode(QStringView text)
{
    CodePoints points(text);
    int digits = 0;
    while (!points.atEnd()) {
        if (!isDecimalDigit(points.next()) || ++digits > 8)
            return false;
    }
    return digits >= 4;
}

// "^(?:\d[ -]*?){15,19}$": a digit first, then digits, spaces and hyphens only, 15 to 19 digits.
bool isCardNumber(QStringView text)
{
    CodePoints points(text);
    int digits = 0;
    bool first = true;
    while (!points.atEnd()) {
        const char32_t c = points.next();
        if (isDecimalDigit(c)) {
            if (++digits > 19)
                return false;
        } else if (first || (c != ' ' && c != '-')) {
            return false;
        }
        first = false;
    }
    return digits >= 15;
}

// "^eyJ[A-Za-z0-9_-]+\.eyJ[A-Za-z0-9_-]+\.[A-Za-z0-9_-]+": a web token's three segments.
bool isWebToken(QStringView text)
{
    static const QString head = QStringLiteral("eyJ");
    qsizetype pos = 0;
    for (int segment = 0; segment < 2; ++segment) {
        if (!text.mid(pos).startsWith(head))
            return false;
        pos += head.size();
        const qsizetype run = keyRun(text, pos);
        pos += run;
        if (run == 0 || pos >= text.size() || text[pos] != QLatin1Char('.'))
            return false;
        ++pos;
    }
    return keyRun(text, pos) > 0;
}

// "(?i)^Bearer\s+\S{20,}".
bool isBearerToken(QStringView text)
{
    static const QString word = QStringLiteral("bearer");
    if (!text.startsWith(word, Qt::CaseInsensitive))
        return false;
    CodePoints points(text.mid(word.size()));
    int spaces = 0;
    int rest = 0;
    while (!points.atEnd() && rest < 20) {
        const bool space = isSpace(points.next());
        if (rest == 0 && space)
            ++spaces;
        else if (!space && spaces > 0)
            ++rest;
        else
            return false;
    }
    return rest >= 20;
}

// "^(?:sk-|rk-|pk_|ls_|tok_)[A-Za-z0-9_-]{8,}".
bool isPrefixedKey(QStringView text)
{
    static const std::array<QString, 5> prefixes = {
        QStringLiteral("sk-"), QStringLiteral("rk-"),  QStringLiteral("pk_"),
        QStringLiteral("ls_"), QStringLiteral("tok_"),
    };
    for (const auto &prefix : prefixes) {
        if (text.startsWith(prefix))
            return keyRun(text, prefix.size()) >= 8;
    }
    return false;
}

// "^[A-Za-z0-9+/=_-]{40,}$", tried from 40 characters without a space. Its set is ASCII, so a match
// has as many characters as code units, and holds no space. The long hexadecimal rule
// ("^[0-9a-fA-F]{64,}$" from 64 characters) needs no pass of its own: every text it matches matches
// this one too.
bool isLongBase64(QStringView text)
{
    if (text.size() < 40)
        return false;
    for (const QChar c : text) {
        if (!isBase64Char(c.unicode()))
            return false;
    }
    return true;
}

// The keywords, searched in the lower-cased text. Those that contain another one ("client_secret",
// "access_token", "license_key"...) are left out: the shorter one already decides.
const std::array<QStringView, 22> &keywords()
{
    static const std::array<QStringView, 22> list = {
        u"password",  u"passwd",  u"pwd",     u"passcode",
        u"secret",    u"token",   u"bearer",  u"authorization",
        u"api_key",   u"apikey",  u"api key", u"cookie",
        u"session",   u"license", u"otp",     u"verification code",
        u"auth code", u"cvv",     u"密码",    u"验证码",
        u"口令",      u"密钥",
    };
    return list;
}

// Which keywords can start with a given ASCII letter or CJK character, as a bit set over
// keywords(), built once.
struct KeywordStarts
{
    KeywordStarts()
    {
        const auto &list = keywords();
        for (size_t k = 0; k < list.size(); ++k) {
            const char16_t first = list[k].front().unicode();
            if (first < 0x80)
                ascii[first] |= 1u << k;
            else
                other |= 1u << k;
        }
    }
    std::array<quint32, 128> ascii{};
    quint32 other = 0;
};

char16_t asciiLower(char16_t c)
{
    return (c >= 'A' && c <= 'Z') ? char16_t(c + 32) : c;
}

// Whether `text`, with ASCII capitals taken as small letters, contains a keyword.
bool containsKeywordFoldingAscii(QStringView text)
{
    static const KeywordStarts starts;
    const auto &list = keywords();
    const qsizetype size = text.size();
    const QChar *data = text.data();
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = asciiLower(data[i].unicode());
        quint32 candidates = c < 0x80 ? starts.ascii[c] : (c >= 0x3000 ? starts.other : 0);
        while (candidates) {
            const int k = std::countr_zero(candidates);
            candidates &= candidates - 1;
            const QStringView keyword = list[size_t(k)];
            if (keyword.size() > size - i)
                continue;
            qsizetype j = 0;
            while (j < keyword.size() && asciiLower(data[i + j].unicode()) == keyword[j].unicode())
                ++j;
            if (j == keyword.size())
                return true;
        }
    }
    return false;
}

bool containsKeywordIgnoringCase(QStringView text)
{
    // Outside ASCII the full Unicode lower-casing decides: one character may become several, and some
    // (the Kelvin sign) become ASCII letters.
    for (const QChar c : text) {
        if (c.unicode() >= 0x80)
            return containsKeywordFoldingAscii(text.toString().toLower());
    }
    return containsKeywordFoldingAscii(text);
}

bool classifyTrimmed(QStringView trimmed)
{
    if (trimmed.isEmpty())
        return false;
    return isCode(trimmed) || isCardNumber(trimmed) || isWebToken(trimmed) || isBearerToken(trimmed) ||
           isPrefixedKey(trimmed) || isLongBase64(trimmed) || containsKeywordIgnoringCase(trimmed);
}

} // namespace

bool ClipboardManager::isSensitiveText(const QString &text)
{
    return classifyTrimmed(QStringView(text).trimmed());
}

QString ClipboardManager::maskedText(const QString &text)
{
    static const QString shortMask = QStringLiteral("••••••");
    static const QString middleMask = QStringLiteral("•••");
    const QString trimmed = text.trimmed();
    if (!classifyTrimmed(trimmed))
        return text;
    if (graphemeCount(trimmed, 9) < 9)
        return shortMask;

    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, trimmed);
    finder.toStart();
    for (int i = 0; i < 3; ++i)
        finder.toNextBoundary();
    const qsizetype headEnd = finder.position();
    finder.toEnd();
    for (int i = 0; i < 3; ++i)
        finder.toPreviousBoundary();
    const qsizetype tailStart = finder.position();
    return trimmed.left(headEnd) + middleMask + trimmed.mid(tailStart);
}

} // namespace qv
