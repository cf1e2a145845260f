// The head of a web page as a server sends it, parsed for the shelf's link title and icon.
#include "fuzzsupport.h"
#include "platform/x11/x11webfetcher.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QUrl page(QStringLiteral("https://example.org/dir/page.html"));
    const auto head = qv::X11WebFetcher::parseHead(qv::fuzz::bytes(data, size), page);
    // An icon is always an absolute address, never a local file the page points the program at.
    if (!head.icon.isEmpty() && (head.icon.isRelative() || head.icon.isLocalFile()))
        __builtin_trap();
    return 0;
}
