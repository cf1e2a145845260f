// RTF from the clipboard to text.
#include "clipboard/richtext.h"
#include "fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const auto text = qv::rtfToPlainText(qv::fuzz::bytes(data, size));
    if (text && text->size() > qv::maxRichTextLength)
        __builtin_trap();
    return 0;
}
