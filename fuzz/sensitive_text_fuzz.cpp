// The sensitive-text classifier and its mask.
#include "clipboard/clipboardmanager.h"
#include "fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = qv::fuzz::text(data, size);
    const bool sensitive = qv::ClipboardManager::isSensitiveText(text);
    const QString masked = qv::ClipboardManager::maskedText(text);
    // Classifying works on the trimmed text, so padding never changes the answer; a sensitive text
    // never comes back unmasked.
    if (qv::ClipboardManager::isSensitiveText(QStringLiteral(" \n") + text + QStringLiteral("\t")) !=
        sensitive)
        __builtin_trap();
    if (sensitive && masked == text)
        __builtin_trap();
    if (!sensitive && masked != text)
        __builtin_trap();
    return 0;
}
