#include "platform/x11/compoundtext.h"

#include <QStringDecoder>

namespace qv {

namespace {

constexpr char esc = 0x1B;
constexpr uchar csi = 0x9B;

// A character set as one decoder over bytes with the high bit set (ISO 8859 right halves, and the
// two-byte sets in their EUC form); an empty name stands for a set that cannot be decoded.
struct Charset
{
    const char *name = "ISO-8859-1";
    int width = 1;
};

Charset rightHalf96(char final)
{
    switch (final) {
    case 'A':
        return {"ISO-8859-1", 1};
    case 'B':
        return {"ISO-8859-2", 1};
    case 'C':
        return {"ISO-8859-3", 1};
    case 'D':
        return {"ISO-8859-4", 1};
    case 'F':
        return {"ISO-8859-7", 1};
    case 'G':
        return {"ISO-8859-6", 1};
    case 'H':
        return {"ISO-8859-8", 1};
    case 'L':
        return {"ISO-8859-5", 1};
    case 'M':
        return {"ISO-8859-9", 1};
    default:
        return {"", 1};
    }
}

Charset twoByte94(char final)
{
    switch (final) {
    case 'A':
        return {"GB2312", 2};
    case 'B':
        return {"EUC-JP", 2};
    case 'C':
        return {"EUC-KR", 2};
    default:
        return {"", 2};
    }
}

class Decoder
{
public:
    explicit Decoder(const QByteArray &bytes) : m_in(bytes) {}

    QString run()
    {
        while (m_pos < m_in.size()) {
            const uchar c = uchar(m_in.at(m_pos));
            if (c == uchar(esc)) {
                escape();
            } else if (c == csi) {
                skipControlSequence();
            } else if (m_utf8) {
                m_segment.append(char(c));
                ++m_pos;
            } else if (c == '\t' || c == '\n' || c == ' ') {
                flush();
                m_out.append(QLatin1Char(char(c)));
                ++m_pos;
            } else if (c >= 0x21 && c <= 0x7E) {
                put(m_left, m_leftAscii, c | 0x80);
            } else if (c >= 0xA0) {
                put(m_right, false, c);
            } else {
                ++m_pos; // other controls carry no text
            }
        }
        flush();
        return m_out;
    }

private:
    // Adds one byte of the current set, gathering runs of one set to decode together.
    void put(const Charset &set, bool ascii, uchar highByte)
    {
        const QByteArray key = ascii ? QByteArray("ASCII") : QByteArray(set.name);
        if (key != m_segmentSet) {
            flush();
            m_segmentSet = key;
        }
        m_segment.append(char(ascii ? (highByte & 0x7F) : highByte));
        ++m_pos;
    }

    void flush()
    {
        if (m_segment.isEmpty())
            return;
        if (m_utf8 || m_segmentSet == "UTF-8") {
            m_out.append(QString::fromUtf8(m_segment));
        } else if (m_segmentSet == "ASCII") {
            m_out.append(QString::fromLatin1(m_segment));
        } else if (m_segmentSet.isEmpty()) {
            m_out.append(QString(m_segment.size(), QChar::ReplacementCharacter));
        } else {
            QStringDecoder decoder(m_segmentSet.constData());
            m_out.append(decoder.isValid() ? QString(decoder(m_segment))
                                           : QString(m_segment.size(), QChar::ReplacementCharacter));
        }
        m_segment.clear();
    }

    char at(qsizetype i) const { return i < m_in.size() ? m_in.at(i) : '\0'; }

    void escape()
    {
        const char a = at(m_pos + 1);
        const char b = at(m_pos + 2);
        const char c = at(m_pos + 3);
        if (a == '%' && b == 'G') {
            flush();
            m_utf8 = true;
            m_segmentSet = "UTF-8";
            m_pos += 3;
            return;
        }
        if (a == '%' && b == '@') {
            flush();
            m_utf8 = false;
            m_segmentSet.clear();
            m_pos += 3;
            return;
        }
        if (m_utf8) {
            // Inside a UTF-8 segment only its end is recognised.
            m_segment.append(esc);
            ++m_pos;
            return;
        }
        if (a == '%' && b == '/') {
            skipExtendedSegment();
            return;
        }
        if (a == '(') {
            m_leftAscii = b == 'B' || b == 'J';
            m_left = m_leftAscii ? Charset{} : Charset{"", 1};
        } else if (a == '-') {
            m_right = rightHalf96(b);
        } else if (a == ')') {
            m_right = Charset{"", 1};
        } else if (a == '$' && (b == '(' || b == ')')) {
            const Charset set = twoByte94(c);
            if (b == '(') {
                m_left = set;
                m_leftAscii = false;
            } else {
                m_right = set;
            }
        }
        skipEscapeSequence();
    }

    // ESC, intermediate bytes (0x20..0x2F), one final byte (0x30..0x7E).
    void skipEscapeSequence()
    {
        ++m_pos;
        while (m_pos < m_in.size() && uchar(m_in.at(m_pos)) >= 0x20 && uchar(m_in.at(m_pos)) <= 0x2F)
            ++m_pos;
        if (m_pos < m_in.size())
            ++m_pos;
    }

    // CSI, parameter bytes (0x30..0x3F), intermediates (0x20..0x2F), one final byte (0x40..0x7E).
    void skipControlSequence()
    {
        ++m_pos;
        while (m_pos < m_in.size() && uchar(m_in.at(m_pos)) >= 0x20 && uchar(m_in.at(m_pos)) <= 0x3F)
            ++m_pos;
        if (m_pos < m_in.size())
            ++m_pos;
    }

    // ESC % / F M L, then (M - 128) * 128 + (L - 128) bytes of data.
    void skipExtendedSegment()
    {
        flush();
        const uchar m = uchar(at(m_pos + 4));
        const uchar l = uchar(at(m_pos + 5));
        m_pos += 6;
        if (m >= 0x80 && l >= 0x80)
            m_pos += qsizetype(m - 0x80) * 128 + (l - 0x80);
    }

    const QByteArray &m_in;
    qsizetype m_pos = 0;
    QString m_out;
    Charset m_left;
    bool m_leftAscii = true;
    Charset m_right;
    bool m_utf8 = false;
    QByteArray m_segment;
    QByteArray m_segmentSet;
};

} // namespace

QString decodeCompoundText(const QByteArray &bytes)
{
    return Decoder(bytes).run();
}

} // namespace qv
