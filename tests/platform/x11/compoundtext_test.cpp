#include <gtest/gtest.h>

#include "platform/x11/compoundtext.h"

namespace qv {
namespace {

TEST(CompoundText, DecodesTheSetsItDesignates)
{
    const struct
    {
        const char *name;
        QByteArray bytes;
        QString text;
    } rows[] = {
        {"ASCII and the Latin-1 right half by default", "caf\xe9\tna\xefve\n", u"café\tnaïve\n"_qs},
        {"a UTF-8 segment and back", "a \x1b%G\xe2\x82\xac\xf0\x9f\x99\x82\x1b%@ \xe9", u"a €🙂 é"_qs},
        {"Cyrillic and Greek right halves", "\x1b-L\xbf\xe0\x1b-F\xe1", u"Прα"_qs},
        {"GB 2312 in the left half, then ASCII again", "\x1b$(A\x44\x63\x1b(B ok", u"你 ok"_qs},
        {"JIS X 0208 in the right half", "\x1b$)B\xa4\xa2", u"あ"_qs},
        {"direction and unknown controls are skipped", "\x9b\x31]ab\x9b]\x07", u"ab"_qs},
        {"an extended segment in the set it names", "\x1b%/1\x80\x8ciso8859-15\x02\xa4 x", u"€ x"_qs},
        {"an unknown set leaves the Latin-1 right half", "\x1b-Z\xe9", u"é"_qs},
        {"a list's strings run on", QByteArray("one\0two", 7), u"onetwo"_qs},
        {"Japanese, German and French in one title, as xterm sets it",
         "\xdc"
         "n\xef"
         "c\xf8"
         "d\xe9 \x1b$(B%&%#%s%I%&\x1b(B Stra\xdf"
         "e",
         u"Ünïcødé ウィンドウ Straße"_qs},
        // What libX11 refuses reads as Latin-1 without its controls.
        {"cut inside an escape sequence", QByteArray("ab\x1b$"), u"ab$"_qs},
        {"an extended segment longer than the text", "z\x1b%/1\xff\xff", u"z%/1ÿÿ"_qs},
    };
    for (const auto &row : rows)
        EXPECT_EQ(decodeCompoundText(row.bytes), row.text) << row.name;
}

} // namespace
} // namespace qv
