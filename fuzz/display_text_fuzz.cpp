// What capture keeps of a text and what a view shows of it.
#include "clipboard/graphemes.h"
#include "fuzzsupport.h"
#include "views/items/itemrules.h"

namespace {

// A surrogate pair of the source cut in two at `at`.
bool splitsPair(const QString &text, qsizetype at)
{
    return at > 0 && at < text.size() && text.at(at - 1).isHighSurrogate() && text.at(at).isLowSurrogate();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = qv::fuzz::text(data, size);
    // Small bounds, so that short inputs reach every cut.
    const QString kept = qv::cappedText(text, 20, 4);
    if (kept.size() > 80 || !text.startsWith(kept) || splitsPair(text, kept.size()))
        __builtin_trap();

    const qv::ItemRules::TextBounds bounds{60, 4, 25};
    const QString shown = qv::ItemRules::displayText(text, bounds);
    if (shown.size() > bounds.units + 1 || shown.count(QLatin1Char('\n')) >= bounds.lines)
        __builtin_trap();
    // Whatever is cut or left out, a well-formed text stays well-formed.
    if (text.isValidUtf16() && (!kept.isValidUtf16() || !shown.isValidUtf16()))
        __builtin_trap();
    return 0;
}
