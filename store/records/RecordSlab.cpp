#include "store/records/RecordSlab.h"

#include <cstdlib>
#include <new>

// A slot is its header followed by the object; the header names the slot's block, so that Free
// finds it, and links the slot into the block's free list while it is free.
struct RecordSlab::Slot {
    Block* owner;
    Slot* nextFree;
};

struct alignas(__STDCPP_DEFAULT_NEW_ALIGNMENT__) RecordSlab::Block {
    Block* previous;
    Block* next;
    Slot* free;              // slots given back, to be handed out again first
    std::uint32_t used;      // slots handed out
    std::uint32_t carved;    // slots taken from the block's untouched end so far
};

namespace {

constexpr std::size_t kAlignment = __STDCPP_DEFAULT_NEW_ALIGNMENT__;
// Just under 64 KiB with the allocator's own header, and well under its threshold for mapping
// memory of its own, so that blocks come from and go back to the heap cheaply.
constexpr std::size_t kBlockBytes = 65536 - 64;

constexpr std::size_t RoundUp(std::size_t bytes) { return (bytes + kAlignment - 1) / kAlignment * kAlignment; }

}  // namespace

RecordSlab::RecordSlab(std::size_t objectSize)
    : slotSize(RoundUp(sizeof(Slot)) + RoundUp(objectSize == 0 ? 1 : objectSize)),
      slotsPerBlock(static_cast<std::uint32_t>(
          kBlockBytes > sizeof(Block) + slotSize ? (kBlockBytes - sizeof(Block)) / slotSize : 1)) {}

RecordSlab::~RecordSlab() {
    // Only blocks without objects may be left by then; the partial list may still hold some.
    platform::MutexLock lock(mutex);
    while (partial != nullptr) {
        Block* block = partial;
        Unlink(block);
        std::free(block);
    }
    std::free(spare);
}

void* RecordSlab::Allocate() noexcept {
    platform::MutexLock lock(mutex);
    Block* block = partial;
    if (block == nullptr) {
        if (spare != nullptr) {
            block = spare;
            spare = nullptr;
        } else {
            block = static_cast<Block*>(std::malloc(sizeof(Block) + slotsPerBlock * slotSize));
            if (block == nullptr) {
                return nullptr;
            }
            ++blocks;
        }
        block->free = nullptr;
        block->used = 0;
        block->carved = 0;
        PushPartial(block);
    }
    Slot* slot = block->free;
    if (slot != nullptr) {
        block->free = slot->nextFree;
    } else {
        slot = reinterpret_cast<Slot*>(reinterpret_cast<char*>(block + 1) + block->carved * slotSize);
        slot->owner = block;
        ++block->carved;
    }
    if (++block->used == slotsPerBlock) {
        Unlink(block);  // full: not offered again until a slot is freed
    }
    return reinterpret_cast<char*>(slot) + RoundUp(sizeof(Slot));
}

void RecordSlab::Free(void* object) noexcept {
    if (object == nullptr) {
        return;
    }
    auto* slot = reinterpret_cast<Slot*>(static_cast<char*>(object) - RoundUp(sizeof(Slot)));
    Block* block = slot->owner;
    platform::MutexLock lock(mutex);
    const bool wasFull = block->used == slotsPerBlock;
    slot->nextFree = block->free;
    block->free = slot;
    if (--block->used == 0) {
        if (!wasFull) {
            Unlink(block);
        }
        if (spare == nullptr) {
            spare = block;
        } else {
            std::free(block);
            --blocks;
        }
    } else if (wasFull) {
        PushPartial(block);
    }
}

std::size_t RecordSlab::BlockCount() const {
    platform::MutexLock lock(mutex);
    return blocks;
}

void RecordSlab::Unlink(Block* block) {
    if (block->previous != nullptr) {
        block->previous->next = block->next;
    } else {
        partial = block->next;
    }
    if (block->next != nullptr) {
        block->next->previous = block->previous;
    }
    block->previous = nullptr;
    block->next = nullptr;
}

void RecordSlab::PushPartial(Block* block) {
    block->previous = nullptr;
    block->next = partial;
    if (partial != nullptr) {
        partial->previous = block;
    }
    partial = block;
}
