#include "platform/memoryrelease.h"

#include <malloc.h>

namespace qv {

void releaseFreeMemory()
{
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

void returnLargeBlocksAtOnce()
{
#ifdef __GLIBC__
    // Setting the threshold also turns off its moving upwards.
    mallopt(M_MMAP_THRESHOLD, 256 * 1024);
#endif
}

} // namespace qv
