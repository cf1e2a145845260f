// Names from outside (dropped page titles, addresses, remote file names) made into shelf file names.
#include "fuzzsupport.h"
#include "shelf/fileshelfmanager.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString name = qv::FileShelfManager::sanitizedFileName(qv::fuzz::text(data, size));
    // Whatever comes in, the result names one entry inside the shelf folder.
    if (name.contains(QLatin1Char('/')) || name.contains(QChar(0)) || name.startsWith(QLatin1Char('.')) ||
        name.toUtf8().size() > qv::FileShelfManager::maxFileNameBytes)
        __builtin_trap();
    return 0;
}
