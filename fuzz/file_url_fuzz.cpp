// File URL strings as clipboard owners hand them over.
#include "clipboard/clipboardmanager.h"
#include "fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QUrl url = qv::ClipboardManager::parseFileURLString(qv::fuzz::text(data, size));
    // Whatever the string, the answer is nothing or a local file.
    if (!url.isEmpty() && !url.isLocalFile())
        __builtin_trap();
    return 0;
}
