#pragma once

// For a function whose only shared data Qt hands between its threads itself: Qt is not built with
// ThreadSanitizer, so its atomics and queues are invisible to it, and each read of what Qt handed
// over looks like a race. The function's own accesses are then not watched; it must touch nothing
// of ours that another thread writes.
#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define QV_QT_OWN_SYNC __attribute__((no_sanitize("thread"), noinline))
#endif
#endif
#ifndef QV_QT_OWN_SYNC
#define QV_QT_OWN_SYNC
#endif
