#pragma once

namespace qv {

// Hands the allocator's free memory back to the system. Large transfers and decoded pictures are
// freed into the allocator's heaps, which keep the pages resident; after a burst of them this gives
// them back. Takes a few milliseconds; any thread.
void releaseFreeMemory();

// Makes blocks of 256 KiB and more (decoded pictures, transfers, snapshots) separate mappings that
// go back to the system the moment they are freed. By default the allocator starts keeping blocks
// of the size it last freed inside its heaps, whose tops a worker thread's heap never gives back,
// and releaseFreeMemory() cannot reach them. Call once at start, before other threads run.
void returnLargeBlocksAtOnce();

} // namespace qv
