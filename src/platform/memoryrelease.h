#pragma once

namespace qv {

// Hands the allocator's free memory back to the system. Large transfers and decoded pictures are
// freed into the allocator's heaps, which keep the pages resident; after a burst of them this gives
// them back. Takes a few milliseconds; any thread.
void releaseFreeMemory();

} // namespace qv
