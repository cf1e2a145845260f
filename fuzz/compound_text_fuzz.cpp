// COMPOUND_TEXT from X11 clipboard owners.
#include "fuzzsupport.h"
#include "platform/x11/compoundtext.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = qv::decodeCompoundText(qv::fuzz::bytes(data, size));
    // Every byte yields at most one character, except UTF-8 and two-byte segments which yield fewer.
    if (text.size() > qsizetype(size))
        __builtin_trap();
    return 0;
}
