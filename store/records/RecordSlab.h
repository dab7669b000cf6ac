#pragma once
// Memory for many objects of one size, taken from blocks of about 64 KiB: a range query makes
// and frees thousands of records at a time, and records of over 1 KiB each would otherwise take
// the allocator's slow path for large requests one by one. A block goes back to the allocator
// once its last object is freed (one empty block is kept, so that a loop that makes and frees
// one object does not take and give back a block each time).
// Threads: safe to share; objects may be freed on another thread than the one that made them.
#include <cstddef>
#include <cstdint>

#include "platform/threads/Mutex.h"

class RecordSlab {
public:
    explicit RecordSlab(std::size_t objectSize);
    RecordSlab(const RecordSlab&) = delete;
    RecordSlab& operator=(const RecordSlab&) = delete;
    ~RecordSlab();

    // Room for one object of the slab's size, aligned as operator new aligns; null when memory
    // runs out.
    void* Allocate() noexcept;
    // Gives back what Allocate handed out; null is allowed.
    void Free(void* object) noexcept;

    // Blocks held, the kept empty one included (for tests of what is given back).
    std::size_t BlockCount() const;

private:
    struct Block;
    struct Slot;

    void Unlink(Block* block) ORVANE_REQUIRES(mutex);
    void PushPartial(Block* block) ORVANE_REQUIRES(mutex);

    const std::size_t slotSize;
    const std::uint32_t slotsPerBlock;
    mutable platform::Mutex mutex;
    // Blocks with at least one free slot, most recently freed into first.
    Block* partial ORVANE_GUARDED_BY(mutex) = nullptr;
    Block* spare ORVANE_GUARDED_BY(mutex) = nullptr;  // the one empty block kept
    std::size_t blocks ORVANE_GUARDED_BY(mutex) = 0;
};
