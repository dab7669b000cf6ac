#pragma once
// A per-thread cache of freed small blocks, for the objects a parse makes and frees in large
// numbers (components, date-times, rules, list nodes): a block freed on a thread is handed out
// again by the next allocation of its size class on that thread, without a trip through malloc.
// Each thread keeps at most kMaxCachedBytes; what a thread caches is freed when it ends. Under
// AddressSanitizer and ThreadSanitizer every block goes straight to the global heap, so that
// their checks see each allocation.
// Threads: safe; each thread has its own cache, and a block may be freed on any thread.
#include <cstddef>
#include <new>

namespace recycled {

inline constexpr std::size_t kLargestBlock = 1024;     // larger blocks come from the heap directly
// Room for what a sync round frees at once (a few hundred parsed resources), so that the next
// round's parse finds its blocks here rather than in malloc.
inline constexpr std::size_t kMaxCachedBytes = 1024 * 1024;

// The size given to Free must be the size given to Allocate for the block.
void* Allocate(std::size_t size);                 // throws std::bad_alloc
void* AllocateNoThrow(std::size_t size) noexcept;  // null when memory runs out
void Free(void* block, std::size_t size) noexcept;

}  // namespace recycled

// Derive from it (or declare the same members) to have a class's objects allocated through the
// cache; a class with a virtual destructor passes the size of the object's own type on delete.
struct RRecycled {
    static void* operator new(std::size_t size) { return recycled::Allocate(size); }
    static void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
        return recycled::AllocateNoThrow(size);
    }
    static void operator delete(void* block, std::size_t size) noexcept { recycled::Free(block, size); }
    // Used when a constructor throws after a nothrow allocation: every block the cache hands out
    // came from the global heap, so it can go straight back there.
    static void operator delete(void* block, const std::nothrow_t&) noexcept { ::operator delete(block); }
};
