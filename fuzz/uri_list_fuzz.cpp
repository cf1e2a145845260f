// A text/uri-list as a drag or a clipboard owner hands it over, read within small bounds.
#include <QSet>

#include "fuzzsupport.h"
#include "platform/urilist.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The first byte chooses the bounds, so that each of them is met.
    const int entries = size > 0 ? data[0] % 8 : 0;
    const qv::UriList::Limits limits{qsizetype(size > 0 ? data[0] * 4 : 0), 1 + entries * 3, entries};
    const QByteArray bytes = size > 0 ? qv::fuzz::bytes(data + 1, size - 1) : QByteArray();
    const qv::UriList list = qv::UriList::parse(bytes, limits);
    // Never more than asked for, local files only among the files, each file once.
    if (list.files.size() > entries || list.others.size() > entries)
        __builtin_trap();
    QSet<QString> keys;
    for (const QUrl &url : list.files) {
        if (!url.isLocalFile() || keys.contains(qv::UriList::fileKey(url)))
            __builtin_trap();
        keys.insert(qv::UriList::fileKey(url));
    }
    for (const QUrl &url : list.others) {
        if (url.isLocalFile())
            __builtin_trap();
    }
    // Past a bound the list is always said to be cut.
    if (bytes.size() > limits.bytes && !list.cut)
        __builtin_trap();
    return 0;
}
