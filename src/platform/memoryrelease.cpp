#include "platform/memoryrelease.h"

#include <malloc.h>

namespace qv {

void releaseFreeMemory()
{
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

} // namespace qv
