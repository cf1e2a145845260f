#include "clipboard/richtext.h"

#include <QSet>
#include <QStringDecoder>
#include <QTextDocument>
#include <QUrl>
#include <QVariant>

#include <vector>

namespace qv {

namespace {

// Windows-1252 differs from Latin-1 only in 0x80..0x9F.
QChar fromCodePage1252(uchar byte)
{
    static const char16_t high[32] = {
        0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178,
    };
    if (byte >= 0x80 && byte <= 0x9F)
        return QChar(high[byte - 0x80]);
    return QChar(byte);
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

const QSet<QByteArray> &skippedDestinations()
{
    static const QSet<QByteArray> names = {
        "fonttbl",    "colortbl",
        "stylesheet", "info",
        "pict",       "object",
        "header",     "headerl",
        "headerr",    "headerf",
        "footer",     "footerl",
        "footerr",    "footerf",
        "footnote",   "xmlnstbl",
        "listtable",  "listoverridetable",
        "rsidtbl",    "generator",
        "themedata",  "colorschememapping",
        "datastore",  "latentstyles",
        "filetbl",    "revtbl",
        "fldinst",    "mmathPr",
        "pgdsctbl",   "bkmkstart",
        "bkmkend",    "private",
    };
    return names;
}

// Clipboard HTML is foreign input: a style sheet it names ("@import url(/dev/zero)") would otherwise
// be read from the local file system while the document is built, without bound.
class ResourcelessDocument final : public QTextDocument
{
protected:
    QVariant loadResource(int, const QUrl &) override { return {}; }
};

struct GroupState
{
    bool skip = false;
    int unicodeSkip = 1;
};

} // namespace

std::optional<QString> rtfToPlainText(const QByteArray &rtf)
{
    const QByteArray head = rtf.left(64).trimmed();
    if (!head.startsWith("{\\rtf"))
        return std::nullopt;

    QString out;
    std::vector<GroupState> stack;
    GroupState state;
    // Characters still to drop after a \u escape (its plain-text fallback).
    int pendingSkip = 0;
    const qsizetype size = rtf.size();
    const char *data = rtf.constData();

    auto put = [&](QChar c) {
        if (pendingSkip > 0) {
            --pendingSkip;
            return;
        }
        if (!state.skip)
            out.append(c);
    };

    qsizetype i = 0;
    while (i < size) {
        const char c = data[i];
        if (c == '{') {
            stack.push_back(state);
            pendingSkip = 0;
            ++i;
            continue;
        }
        if (c == '}') {
            if (!stack.empty()) {
                state = stack.back();
                stack.pop_back();
            }
            pendingSkip = 0;
            ++i;
            continue;
        }
        if (c == '\r' || c == '\n') {
            ++i;
            continue;
        }
        if (c != '\\') {
            put(fromCodePage1252(uchar(c)));
            ++i;
            continue;
        }
        // A control word or symbol.
        ++i;
        if (i >= size)
            break;
        const char s = data[i];
        if (!isLetter(s)) {
            ++i;
            switch (s) {
            case '\\':
            case '{':
            case '}':
                put(QLatin1Char(s));
                break;
            case '~':
                put(QChar(0x00A0));
                break;
            case '_':
                put(QLatin1Char('-'));
                break;
            case '*':
                state.skip = true;
                break;
            case '\'':
                if (i + 1 < size && hexValue(data[i]) >= 0 && hexValue(data[i + 1]) >= 0) {
                    put(fromCodePage1252(uchar(hexValue(data[i]) * 16 + hexValue(data[i + 1]))));
                    i += 2;
                }
                break;
            case '\r':
            case '\n':
                put(QLatin1Char('\n'));
                break;
            default: // optional hyphen, formula character and the like
                break;
            }
            continue;
        }
        const qsizetype wordStart = i;
        while (i < size && isLetter(data[i]))
            ++i;
        const QByteArray word(data + wordStart, i - wordStart);
        bool hasParam = false;
        bool negative = false;
        qint64 param = 0;
        if (i < size && data[i] == '-' && i + 1 < size && isDigit(data[i + 1])) {
            negative = true;
            ++i;
        }
        while (i < size && isDigit(data[i])) {
            hasParam = true;
            if (param < 100000000)
                param = param * 10 + (data[i] - '0');
            ++i;
        }
        if (negative)
            param = -param;
        if (i < size && data[i] == ' ')
            ++i;

        if (word == "bin") {
            // Raw binary data follows; never text.
            i += std::max<qint64>(0, param);
            continue;
        }
        if (skippedDestinations().contains(word)) {
            state.skip = true;
            continue;
        }
        if (word == "uc") {
            state.unicodeSkip = hasParam ? int(std::max<qint64>(0, param)) : 1;
            continue;
        }
        if (word == "u" && hasParam) {
            const qint64 code = param < 0 ? param + 65536 : param;
            put(QChar(char16_t(code & 0xFFFF)));
            pendingSkip = state.unicodeSkip;
            continue;
        }
        QChar replacement;
        if (word == "par" || word == "line" || word == "row" || word == "sect" || word == "page")
            replacement = QLatin1Char('\n');
        else if (word == "tab" || word == "cell")
            replacement = QLatin1Char('\t');
        else if (word == "emdash")
            replacement = QChar(0x2014);
        else if (word == "endash")
            replacement = QChar(0x2013);
        else if (word == "bullet")
            replacement = QChar(0x2022);
        else if (word == "lquote")
            replacement = QChar(0x2018);
        else if (word == "rquote")
            replacement = QChar(0x2019);
        else if (word == "ldblquote")
            replacement = QChar(0x201C);
        else if (word == "rdblquote")
            replacement = QChar(0x201D);
        else if (word == "emspace" || word == "enspace" || word == "qmspace")
            replacement = QLatin1Char(' ');
        if (!replacement.isNull()) {
            put(replacement);
        } else if (pendingSkip > 0) {
            // Any other control word stands for one fallback character too.
            --pendingSkip;
        }
    }
    return out;
}

std::optional<QString> htmlToPlainText(const QByteArray &html)
{
    if (html.isEmpty())
        return std::nullopt;
    QStringDecoder decoder = QStringDecoder::decoderForHtml(html);
    const QString source = decoder.isValid() ? QString(decoder(html)) : QString::fromUtf8(html);
    ResourcelessDocument document;
    document.setHtml(source);
    QString text = document.toPlainText();
    // Images and other embedded objects leave a placeholder character; it is not text.
    text.remove(QChar(QChar::ObjectReplacementCharacter));
    return text;
}

} // namespace qv
