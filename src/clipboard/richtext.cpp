#include "clipboard/richtext.h"

#include <QSet>
#include <QStringDecoder>

#include <algorithm>
#include <vector>

#include <libxml/HTMLparser.h>
#include <libxml/parser.h>

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
    while (i < size && out.size() < maxRichTextLength) {
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
    out.truncate(maxRichTextLength);
    return out;
}

namespace {

// The text an HTML stream shows, built from the parser's events in one pass. Follows what a rich-text
// view shows as plain text: runs of white space collapse to one space and vanish at the edges of a
// block, block elements and table cells start a new line, <br> breaks one, <pre> keeps its white space,
// the head, scripts and style sheets show nothing, a no-break space reads as a space, images leave no
// trace.
class HtmlTextCollector
{
public:
    explicit HtmlTextCollector(xmlParserCtxtPtr *context) : m_context(context) {}

    QString takeText() { return std::move(m_text); }
    bool isFull() const { return m_full; }

    static void startElement(void *self, const xmlChar *name, const xmlChar **)
    {
        static_cast<HtmlTextCollector *>(self)->open(reinterpret_cast<const char *>(name));
    }
    static void endElement(void *self, const xmlChar *name)
    {
        static_cast<HtmlTextCollector *>(self)->close(reinterpret_cast<const char *>(name));
    }
    static void characters(void *self, const xmlChar *text, int length)
    {
        static_cast<HtmlTextCollector *>(self)->append(
            QString::fromUtf8(reinterpret_cast<const char *>(text), length));
    }

private:
    enum class Kind { Inline, Block, LineBreak, Hidden, Preformatted };

    static Kind kindOf(QByteArrayView name)
    {
        static const QSet<QByteArray> blocks = {
            "p",      "div",   "h1",   "h2",   "h3",   "h4",   "h5",         "h6",
            "li",     "ul",    "ol",   "dl",   "dt",   "dd",   "blockquote", "address",
            "center", "table", "tr",   "td",   "th",   "hr",   "caption",    "thead",
            "tbody",  "tfoot", "body", "html", "form", "menu", "dir",
        };
        static const QSet<QByteArray> hidden = {"head", "title", "style", "script", "template"};
        const QByteArray key = name.toByteArray();
        if (key == "br")
            return Kind::LineBreak;
        if (key == "pre")
            return Kind::Preformatted;
        if (hidden.contains(key))
            return Kind::Hidden;
        if (blocks.contains(key))
            return Kind::Block;
        return Kind::Inline;
    }

    void open(const char *name)
    {
        if (++m_depth > maxHtmlDepth) {
            // Deeper nesting than any real page needs: keep what was read so far.
            stop();
            return;
        }
        switch (kindOf(name)) {
        case Kind::Hidden:
            ++m_hidden;
            break;
        case Kind::Preformatted:
            ++m_preformatted;
            breakBlock();
            break;
        case Kind::Block:
            breakBlock();
            break;
        case Kind::LineBreak:
            if (m_hidden == 0)
                put(QLatin1Char('\n'));
            m_atLineStart = true;
            m_pendingSpace = false;
            break;
        case Kind::Inline:
            break;
        }
    }

    void close(const char *name)
    {
        m_depth = std::max(0, m_depth - 1);
        switch (kindOf(name)) {
        case Kind::Hidden:
            m_hidden = std::max(0, m_hidden - 1);
            break;
        case Kind::Preformatted:
            m_preformatted = std::max(0, m_preformatted - 1);
            breakBlock();
            break;
        case Kind::Block:
            breakBlock();
            break;
        default:
            break;
        }
    }

    void append(const QString &text)
    {
        if (m_hidden > 0)
            return;
        for (const QChar c : text) {
            if (m_preformatted > 0) {
                flushBreak();
                put(c == QChar::Nbsp ? QLatin1Char(' ') : c);
                m_atLineStart = c == QLatin1Char('\n');
                continue;
            }
            if (c == QLatin1Char(' ') || c == QLatin1Char('\n') || c == QLatin1Char('\t') ||
                c == QLatin1Char('\r') || c == QLatin1Char('\f')) {
                m_pendingSpace = true;
                continue;
            }
            flushBreak();
            if (m_pendingSpace && !m_atLineStart)
                put(QLatin1Char(' '));
            m_pendingSpace = false;
            m_atLineStart = false;
            put(c == QChar::Nbsp ? QLatin1Char(' ') : c);
        }
    }

    // A block edge: the next text starts a new line, however many edges come between.
    void breakBlock()
    {
        m_pendingSpace = false;
        if (!m_text.isEmpty() && !m_atLineStart)
            m_breakPending = true;
        m_atLineStart = true;
    }

    void flushBreak()
    {
        if (m_breakPending)
            put(QLatin1Char('\n'));
        m_breakPending = false;
    }

    void put(QChar c)
    {
        if (m_full)
            return;
        m_text.append(c);
        if (m_text.size() >= maxRichTextLength)
            stop();
    }

    void stop()
    {
        m_full = true;
        if (*m_context)
            xmlStopParser(*m_context);
    }

    xmlParserCtxtPtr *m_context;
    QString m_text;
    int m_depth = 0;
    int m_hidden = 0;
    int m_preformatted = 0;
    bool m_pendingSpace = false;
    bool m_atLineStart = true;
    bool m_breakPending = false;
    bool m_full = false;
};

} // namespace

std::optional<QString> htmlToPlainText(const QByteArray &html)
{
    if (html.isEmpty())
        return std::nullopt;
    static const bool initialised = [] {
        xmlInitParser();
        return true;
    }();
    Q_UNUSED(initialised);

    // The character set is decided here (byte order mark, then the document's own meta tag, then
    // UTF-8), and the parser reads the result as UTF-8 whatever the document claims.
    const QByteArray input = html.left(maxHtmlBytes);
    QStringDecoder decoder = QStringDecoder::decoderForHtml(input);
    const QByteArray utf8 = decoder.isValid() ? QString(decoder(input)).toUtf8() : input;

    xmlParserCtxtPtr context = nullptr;
    HtmlTextCollector collector(&context);
    htmlSAXHandler handler{};
    handler.startElement = &HtmlTextCollector::startElement;
    handler.endElement = &HtmlTextCollector::endElement;
    handler.characters = &HtmlTextCollector::characters;
    handler.ignorableWhitespace = &HtmlTextCollector::characters;
    handler.cdataBlock = &HtmlTextCollector::characters;
    context = htmlCreatePushParserCtxt(&handler, &collector, nullptr, 0, nullptr, XML_CHAR_ENCODING_UTF8);
    if (!context)
        return std::nullopt;
    htmlCtxtUseOptions(context, HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING |
                                    HTML_PARSE_NONET | HTML_PARSE_IGNORE_ENC);
    // Fed in slices so that a full text or too deep a nesting stops the reading early.
    constexpr qsizetype slice = 64 * 1024;
    for (qsizetype offset = 0; offset < utf8.size() && !collector.isFull(); offset += slice) {
        const qsizetype length = std::min(slice, utf8.size() - offset);
        const bool last = offset + length >= utf8.size();
        htmlParseChunk(context, utf8.constData() + offset, int(length), last ? 1 : 0);
    }
    if (!collector.isFull())
        htmlParseChunk(context, nullptr, 0, 1);
    htmlFreeParserCtxt(context);
    return collector.takeText();
}

} // namespace qv
